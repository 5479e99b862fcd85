#include "lang_test_util.h"

ParseOutcome parseFull(const std::string& text, const DagWord* history, bool nullLabels) {
    ParseOutcome o;
    const char* error = nullptr;
    o.statement = parse_text_full(text.c_str(), &error, &o.errorPosition, &o.consumed, &o.premature,
                                  &o.terminator, history, nullptr, nullLabels);
    if (o.statement == nullptr && error != nullptr) o.error = error;
    return o;
}

namespace {
struct Source {
    const std::string* text;
    std::size_t at;
    Reports* reports;
};
int next(void* c) {
    auto* s = static_cast<Source*>(c);
    return s->at < s->text->size() ? static_cast<unsigned char>((*s->text)[s->at++]) : -1;
}
void error(void* c, int position, const char* message) {
    static_cast<Source*>(c)->reports->lines.push_back("E" + std::to_string(position) + ":" + message);
}
void warning(void* c, int position, const char* message) {
    static_cast<Source*>(c)->reports->lines.push_back("W" + std::to_string(position) + ":" + message);
}
void premature(void* c, int position) {
    static_cast<Source*>(c)->reports->lines.push_back("P" + std::to_string(position));
}
}  // namespace

Dag parseWithReports(const std::string& text, Reports* reports, bool defaultPremature) {
    Source s{&text, 0, reports};
    return lang_parse(next, defaultPremature ? nullptr : premature, error, warning, nullptr,
                      LANG_FRESH_TEXT, nullptr, &s);
}

std::string roundTrip(const std::string& text, unsigned flags) {
    ParseOutcome o = parseFull(text);
    if (o.statement == nullptr) return "<parse error: " + o.error + ">";
    std::string error;
    std::string printed = print_to_text(o.statement, flags, 0, &error);
    if (!error.empty()) return "<print error: " + error + ">";
    return printed;
}
