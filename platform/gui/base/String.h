#pragma once
// String: the GUI layer's text value, a byte string in Windows code page 1252 (Shift-JIS in the
// Japanese mode).  It may hold any byte including NUL; conversion to Unicode happens only at the
// screen, clipboard and file-name boundary (text_tables.h).
//
// Qt-free.

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

class String {
public:
    String() = default;
    String(const char* s) : s_(s ? s : "") {}
    String(std::string s) : s_(std::move(s)) {}
    String(std::string_view s) : s_(s) {}
    String(const char* s, std::size_t n) : s_(s, n) {}

    std::size_t len() const { return s_.size(); }
    bool isEmpty() const { return s_.empty(); }
    const char* c_str() const { return s_.c_str(); }
    const std::string& str() const { return s_; }
    std::string_view view() const { return s_; }
    unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(s_[i]); }

    String& operator+=(const String& o) { s_ += o.s_; return *this; }
    String& operator+=(char c) { s_ += c; return *this; }
    friend String operator+(String a, const String& b) { a += b; return a; }

    // True when the text is one or more decimal digits, optionally after one leading "-"
    // (so that a negative window position read from the ini file counts as a number).
    bool isAllDigits() const;
    // Decimal value of the text (leading blanks and a sign allowed; stops at the first
    // non-digit; saturates at the long range); 0 when there is no number.
    long toLong() const;
    // ASCII case folding; bytes above 0x7F are left alone.
    String upper() const;
    String lower() const;
    // Removes blanks and tabs at both ends.
    String trimmed() const;
    // Position of the first occurrence at or after `from`, or npos.
    std::size_t search(const String& what, std::size_t from = 0) const { return s_.find(what.s_, from); }
    String copy(std::size_t pos, std::size_t n = std::string::npos) const {
        return pos >= s_.size() ? String() : String(s_.substr(pos, n));
    }
    // Case-insensitive (ASCII) equality.
    bool equalsIgnoreCase(const String& o) const;

    friend bool operator==(const String&, const String&) = default;
    friend std::strong_ordering operator<=>(const String& a, const String& b) { return a.s_ <=> b.s_; }

    static constexpr std::size_t npos = std::string::npos;

private:
    std::string s_;
};
