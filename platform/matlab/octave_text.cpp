// Texts sent to Octave and the marker scanner.

#include "platform/matlab/octave_text.h"

#include <cctype>
#include <cstring>

namespace mateng {

bool is_identifier(const char* name) {
    if (!name || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    size_t n = 0;
    for (; name[n]; ++n) {
        unsigned char c = static_cast<unsigned char>(name[n]);
        if (!(std::isalnum(c) || c == '_') || c >= 0x80) return false;
        if (n + 1 > kMaxNameLength) return false;
    }
    return true;
}

std::string string_literal(std::string_view text) {
    std::string out = "[''";
    bool inQuote = false;
    for (unsigned char c : text) {
        bool control = c < 0x20 || c == 0x7f;
        if (control) {
            if (inQuote) out += '\'';
            inQuote = false;
            out += " char(" + std::to_string(c) + ")";
            continue;
        }
        if (!inQuote) out += " '";
        inQuote = true;
        if (c == '\'') out += '\'';
        out += static_cast<char>(c);
    }
    if (inQuote) out += '\'';
    out += ']';
    return out;
}

MarkerScanner::MarkerScanner(std::string token, size_t limit) : token_(std::move(token)), limit_(limit) {}

void MarkerScanner::keep(const char* data, size_t n) {
    size_t room = captured_.size() < limit_ ? limit_ - captured_.size() : 0;
    captured_.append(data, n < room ? n : room);
}

bool MarkerScanner::feed(const char* data, size_t n) {
    if (done_) return true;
    pending_.append(data, n);
    // The marker is the token, a status digit and a newline.
    const size_t markerLength = token_.size() + 2;
    size_t at = pending_.find(token_);
    while (at != std::string::npos) {
        if (pending_.size() - at < markerLength) break;  // wait for the rest of it
        if (pending_[at + markerLength - 1] == '\n') {
            keep(pending_.data(), at);
            status_ = pending_[at + token_.size()];
            done_ = true;
            pending_.clear();
            return true;
        }
        at = pending_.find(token_, at + 1);
    }
    // Everything but a tail that could begin the marker is output.
    size_t hold = at != std::string::npos ? pending_.size() - at : (markerLength - 1 < pending_.size() ? markerLength - 1 : pending_.size());
    size_t out = pending_.size() - hold;
    keep(pending_.data(), out);
    pending_.erase(0, out);
    return false;
}

}  // namespace mateng
