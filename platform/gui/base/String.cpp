// String operations that do not depend on the code page beyond ASCII.
#include "platform/gui/base/String.h"

#include <climits>

namespace {
char foldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char foldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

bool String::isAllDigits() const {
    std::size_t i = (!s_.empty() && s_[0] == '-') ? 1 : 0;
    if (i >= s_.size()) return false;
    for (; i < s_.size(); ++i)
        if (s_[i] < '0' || s_[i] > '9') return false;
    return true;
}

long String::toLong() const {
    std::size_t i = 0;
    while (i < s_.size() && isBlank(s_[i])) ++i;
    bool neg = false;
    if (i < s_.size() && (s_[i] == '-' || s_[i] == '+')) neg = s_[i++] == '-';
    long v = 0;
    for (; i < s_.size() && s_[i] >= '0' && s_[i] <= '9'; ++i) {
        int d = s_[i] - '0';
        if (neg) {
            if (v < (LONG_MIN + d) / 10) return LONG_MIN;
            v = v * 10 - d;
        } else {
            if (v > (LONG_MAX - d) / 10) return LONG_MAX;
            v = v * 10 + d;
        }
    }
    return v;
}

String String::upper() const {
    std::string r = s_;
    for (char& c : r) c = foldUpper(c);
    return String(std::move(r));
}

String String::lower() const {
    std::string r = s_;
    for (char& c : r) c = foldLower(c);
    return String(std::move(r));
}

String String::trimmed() const {
    std::size_t b = 0, e = s_.size();
    while (b < e && isBlank(s_[b])) ++b;
    while (e > b && isBlank(s_[e - 1])) --e;
    return String(s_.substr(b, e - b));
}

bool String::equalsIgnoreCase(const String& o) const {
    if (s_.size() != o.s_.size()) return false;
    for (std::size_t i = 0; i < s_.size(); ++i)
        if (foldLower(s_[i]) != foldLower(o.s_[i])) return false;
    return true;
}
