// The XML reader and writer for expressions (see xml.h).
#include "tools/console/xml.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tovu/errors.h"

namespace {

// ---- reader ------------------------------------------------------------------------------------
struct XmlAbort {};   // the read was abandoned after its report

int stdin_source(long, void*) { return std::getchar(); }

void default_printer(void*, long count, const char* message) {
    std::fprintf(stderr, "XML(%ld): %s\n", count, message);
}

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool name_start(int c) { return is_letter(c) || c == '_'; }
bool name_char(int c) { return is_letter(c) || is_digit(c) || c == '-' || c == '.' || c == '_'; }

struct Reader {
    XmlCharSource source;
    XmlEndReporter endReporter;
    XmlPrinter printer;
    unsigned flags;
    void* context;
    long count = 0;
    long lines = 0;
    int pushed = -2;

    int get() {
        if (pushed != -2) {
            int c = pushed;
            pushed = -2;
            return c;
        }
        int c = source(count, context);
        if (c == 0 || c == -1) return -1;
        c &= 0xFF;
        ++count;
        if (c == '\n') ++lines;
        return c;
    }
    void unget(int c) { pushed = c; }
    // A character that must be there: the end of input abandons the read.
    int need() {
        int c = get();
        if (c < 0) {
            if (endReporter != nullptr) endReporter(context, count);
            else printer(context, count, "unexpected end of input");
            throw XmlAbort{};
        }
        return c;
    }
    int skip_space() {
        int c = need();
        while (is_space(c)) c = need();
        return c;
    }

    std::string name(int first, const char* error) {
        if (!name_start(first)) tovu_error(error);
        std::string n(1, char(first));
        int c = need();
        while (name_char(c)) {
            n.push_back(char(c));
            c = need();
        }
        unget(c);
        return n;
    }

    std::string decode(const std::string& text) const {
        if ((flags & XML_ENTITIES) == 0) return text;
        static const struct { const char* entity; char c; } entities[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            bool done = false;
            if (text[i] == '&') {
                for (const auto& e : entities) {
                    std::size_t n = std::strlen(e.entity);
                    if (text.compare(i, n, e.entity) == 0) {
                        out.push_back(e.c);
                        i += n;
                        done = true;
                        break;
                    }
                }
            }
            if (!done) out.push_back(text[i++]);
        }
        return out;
    }

    Dag value(const std::string& raw) const {
        std::string text = decode(raw);
        if ((flags & XML_NUMBERS) != 0) {
            std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
            bool digits = text.size() > start;
            for (std::size_t i = start; i < text.size() && digits; ++i) digits = is_digit(text[i]);
            if (digits) {
                std::size_t lead = text.find_first_not_of('0', start);
                if (lead == std::string::npos) return dag_zero;
                std::string magnitude = text.substr(lead);
                return dag_integer_from_text(start == 1 ? "-" + magnitude : magnitude);
            }
        }
        return dag_intern(text.c_str(), DAG_STRING);
    }

    void add_text(std::string& text, std::vector<Dag>& items) const {
        std::size_t b = 0, e = text.size();
        while (b < e && is_space(static_cast<unsigned char>(text[b]))) ++b;
        while (e > b && is_space(static_cast<unsigned char>(text[e - 1]))) --e;
        std::string run = text.substr(b, e - b);
        text.clear();
        if (run.empty()) return;
        if ((flags & XML_SPLIT_TEXT) == 0) {
            items.push_back(value(run));
            return;
        }
        for (std::size_t i = 0; i < run.size();) {
            unsigned char c = static_cast<unsigned char>(run[i]);
            if (is_space(c)) { ++i; continue; }
            if (c == '"' || c == '\'') {
                std::size_t close = run.find(char(c), i + 1);
                if (close != std::string::npos) {
                    items.push_back(dag_intern(decode(run.substr(i + 1, close - i - 1)).c_str(),
                                               DAG_STRING));
                    i = close + 1;
                    continue;
                }
            }
            std::size_t j = i;
            while (j < run.size() && !is_space(static_cast<unsigned char>(run[j]))) ++j;
            items.push_back(value(run.substr(i, j - i)));
            i = j;
        }
    }

    static Dag call(const std::string& name, const DagWord* argument) {
        Dag args = argument != nullptr ? dag_new1(DAG_EXPSEQ, argument) : dag_new0(DAG_EXPSEQ);
        return dag_new2(DAG_FUNCTION, dag_name(name.c_str()), args);
    }

    // Reads up to and including `end`; the text before it is answered.
    std::string until(const char* end) {
        std::string text;
        std::size_t n = std::strlen(end);
        for (;;) {
            text.push_back(char(need()));
            if (text.size() >= n && text.compare(text.size() - n, n, end) == 0) {
                text.resize(text.size() - n);
                return text;
            }
        }
    }

    // After "<!".
    Dag special() {
        int c = need();
        if (c == '-') {
            if (need() != '-') tovu_error("unrecognized special tag");
            return call("COMMENT", dag_intern(until("-->").c_str(), DAG_STRING));
        }
        if (c == '[') {
            for (const char* p = "CDATA["; *p != '\0'; ++p)
                if (need() != *p) tovu_error("unrecognized special tag");
            return call("CDATA", dag_intern(until("]]>").c_str(), DAG_STRING));
        }
        if (!name_start(c)) tovu_error("unrecognized special tag");
        std::string n = name(c, "unrecognized special tag");
        c = need();
        if (c == '>') return call("SPECIAL_" + n, dag_NULL);
        while (is_space(c)) c = need();
        unget(c);
        return call("SPECIAL_" + n, dag_intern(until(">").c_str(), DAG_STRING));
    }

    // After "<".
    Dag element(int depth) {
        if (depth > XML_MAX_DEPTH) tovu_error("elements nested too deeply");
        int c = need();
        if (c == '!') return special();
        if (c == '/') {
            std::string n = name(need(), "invalid first character of tag name");
            if (skip_space() != '>') tovu_error("`>` expected at end of closing tag");
            return dag_name(("OM_" + n).c_str());
        }
        std::string tag = name(c, "invalid first character of tag name");
        std::vector<Dag> attributes;
        for (;;) {
            c = skip_space();
            if (c == '/' || c == '>') break;
            std::string attribute = name(c, "invalid first character of attribute name");
            c = skip_space();
            if (c != '=') tovu_error("`=` expected after attribute name");
            c = skip_space();
            std::string raw;
            if (c == '"' || c == '\'') {
                int quote = c;
                for (c = need(); c != quote; c = need()) raw.push_back(char(c));
            } else {
                while (!is_space(c) && c != '/' && c != '>') {
                    raw.push_back(char(c));
                    c = need();
                }
                unget(c);
            }
            attributes.push_back(dag_new2(DAG_EQUATION, dag_name(attribute.c_str()), value(raw)));
        }
        std::vector<Dag> children;
        if (c == '/') {
            if (need() != '>') tovu_error("`>` expected at end of tag");
        } else {
            std::string text;
            for (;;) {
                c = need();
                if (c != '<') {
                    text.push_back(char(c));
                    continue;
                }
                add_text(text, children);
                c = need();
                if (c == '/') {
                    std::string n = name(need(), "invalid first character of tag name");
                    if (skip_space() != '>') tovu_error("`>` expected at end of closing tag");
                    if (n != tag) tovu_error("tag mismatch");
                    break;
                }
                unget(c);
                children.push_back(element(depth + 1));
            }
        }
        Dag seq = dag_new(children.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < children.size(); ++i) dag_set_op(seq, i + 1, children[i]);
        Dag f = dag_name(("OM_" + tag).c_str());
        if (attributes.empty()) return dag_new2(DAG_FUNCTION, f, seq);
        Dag attrs = attributes[0];
        if (attributes.size() > 1) {
            attrs = dag_new(attributes.size() + 1, DAG_EXPSEQ);
            for (std::size_t i = 0; i < attributes.size(); ++i) dag_set_op(attrs, i + 1, attributes[i]);
        }
        return dag_new3(DAG_FUNCTION, f, seq, attrs);
    }

    Dag document() {
        int c = skip_space();
        if (c != '<') tovu_error("`<` expected");
        return element(0);
    }
};

}  // namespace

Dag xml_read(XmlCharSource source, XmlEndReporter endReporter, XmlPrinter printer,
             unsigned flags, void* context) {
    Reader r{source != nullptr ? source : stdin_source, endReporter,
             printer != nullptr ? printer : default_printer, flags, context};
    try {
        TovuHandlerGuard guard;
        return r.document();
    } catch (const TovuError& e) {
        std::string message = e.message;
        if (r.lines > 0) message += " on line " + std::to_string(r.lines);
        r.printer(context, r.count, message.c_str());
    } catch (const XmlAbort&) {
    }
    return nullptr;
}

// ---- writer -----------------------------------------------------------------------------------------
namespace {

struct Writer {
    const XmlOutput& out;
    unsigned flags;

    void text(const char* t) { out.putText(out.data, t); }
    void ch(int c) { out.putChar(out.data, c); }

    void separator(int depth) {
        ch('\n');
        for (int i = 0; i < depth; ++i) text("  ");
    }

    void escaped(const char* s) {
        for (; *s != '\0'; ++s) {
            if ((flags & XML_ESCAPE) != 0) {
                switch (*s) {
                case '"': text("&quot;"); continue;
                case '&': text("&amp;"); continue;
                case '\'': text("&apos;"); continue;
                case '<': text("&lt;"); continue;
                case '>': text("&gt;"); continue;
                default: break;
                }
            }
            ch(static_cast<unsigned char>(*s));
        }
    }

    void integer(const DagWord* d) {
        if (dag_type(d) == DAG_INTNEG) ch('-');
        std::size_t n = dag_length(d);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%ld", long(d[n - 1]));
        text(digits);
        for (std::size_t i = n - 1; i-- > 1;) {
            std::snprintf(digits, sizeof digits, "%0*ld", 4, long(d[i]));
            text(digits);
        }
    }

    void string(const DagWord* d) {
        const char* s = dag_text(d);
        bool spaced = false;
        for (const char* p = s; *p != '\0'; ++p) spaced = spaced || is_space(static_cast<unsigned char>(*p));
        bool quote = (flags & XML_QUOTE_SPACED) != 0 && spaced;
        if (quote) ch('"');
        escaped(s);
        if (quote) ch('"');
    }

    static bool valid_name(const char* n) {
        if (!name_start(static_cast<unsigned char>(*n))) return false;
        for (++n; *n != '\0'; ++n)
            if (!name_char(static_cast<unsigned char>(*n))) return false;
        return true;
    }

    static const DagWord* string_argument(const DagWord* args, const char* error) {
        if (dag_type(args) != DAG_EXPSEQ || dag_length(args) != 2 ||
            dag_type(dag_op(args, 1)) != DAG_STRING)
            tovu_error(error);
        return dag_op(args, 1);
    }

    void attribute(const DagWord* eq) {
        if (eq == nullptr || dag_type(eq) != DAG_EQUATION || dag_type(dag_op(eq, 1)) != DAG_NAME ||
            !valid_name(dag_text(dag_op(eq, 1))))
            tovu_error("invalid attribute");
        const DagWord* v = dag_op(eq, 2);
        bool isString = dag_type(v) == DAG_STRING;
        if (!isString && !dag_is_integer(v)) tovu_error("invalid attribute");
        ch(' ');
        text(dag_text(dag_op(eq, 1)));
        ch('=');
        bool quoted = isString || (flags & XML_BARE_NUMBERS) == 0;
        if (quoted) ch('"');
        if (isString) escaped(dag_text(v)); else integer(v);
        if (quoted) ch('"');
    }

    void write(const DagWord* d, int depth) {
        if (depth > XML_MAX_DEPTH) tovu_error("elements nested too deeply");
        unsigned type = d != nullptr ? dag_type(d) : 0;
        if (type == DAG_INTPOS || type == DAG_INTNEG) return integer(d);
        if (type == DAG_STRING) return string(d);
        if (type != DAG_FUNCTION) tovu_error("integer, string, or function call expected");
        const DagWord* f = dag_op(d, 1);
        if (dag_type(f) != DAG_NAME) tovu_error("named function expected");
        const char* n = dag_text(f);
        const DagWord* args = dag_op(d, 2);
        if (std::strcmp(n, "COMMENT") == 0) {
            text("<!--");
            text(dag_text(string_argument(args, "string argument expected for COMMENT")));
            text("-->");
            return;
        }
        if (std::strcmp(n, "CDATA") == 0) {
            text("<![CDATA[");
            text(dag_text(string_argument(args, "string argument expected for CDATA")));
            text("]]>");
            return;
        }
        if (std::strncmp(n, "SPECIAL_", 8) == 0) {
            text("<!");
            text(n + 8);
            // SPECIAL_n(NULL), as the reader makes of "<!n>", writes back the same way.
            if (!(dag_type(args) == DAG_EXPSEQ && dag_length(args) == 2 &&
                  dag_is_null(dag_op(args, 1)))) {
                ch(' ');
                text(dag_text(string_argument(args, "string argument expected for SPECIAL")));
            }
            ch('>');
            return;
        }
        if (std::strncmp(n, "OM_", 3) == 0) n += 3;
        if (!valid_name(n)) tovu_error("invalid function name");
        ch('<');
        text(n);
        if (dag_length(d) > 3) {
            const DagWord* attrs = dag_op(d, 3);
            if (dag_type(attrs) == DAG_EXPSEQ) {
                for (std::size_t i = 1; i < dag_length(attrs); ++i) attribute(dag_op(attrs, i));
            } else {
                attribute(attrs);
            }
        }
        if (dag_type(args) != DAG_EXPSEQ || dag_length(args) < 2) {
            text("/>");
            return;
        }
        ch('>');
        for (std::size_t i = 1; i < dag_length(args); ++i) {
            separator(depth + 1);
            write(dag_op(args, i), depth + 1);
        }
        separator(depth);
        text("</");
        text(n);
        ch('>');
    }
};

}  // namespace

void xml_write(const DagWord* expression, const XmlOutput& output, unsigned flags) {
    Writer w{output, flags};
    w.write(expression, 0);
}
