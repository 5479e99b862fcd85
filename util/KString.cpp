// The growable string (see KString.h).
#include "util/KString.h"

#include "platform/os/mbtext.h"
#include "util/errjump.h"
#include "util/mem.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int clampInt(long long v, int lo, int hi)
{
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

int lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// A length past what the 32-bit fields hold is a request no heap can satisfy.
[[noreturn]] void raiseTooLong(long long bytes)
{
    mem_set_out_of_memory(1);
    outOfMemoryRecord.bytes = bytes > 0 ? static_cast<std::size_t>(bytes) : SIZE_MAX;
    raiseRecord(&outOfMemoryRecord);
}

}  // namespace

KString::KString()
{
    reserve();
}

KString::KString(const char* text)
{
    reserve();
    assign(text);
}

KString::KString(const char* text, int n)
{
    reserve();
    if (text == nullptr)
        return;
    // Never read past the text's own NUL, whatever n says.
    const std::size_t len = n > 0 ? strnlen(text, static_cast<std::size_t>(n)) : std::strlen(text);
    appendN(text, clampInt(static_cast<long long>(std::min<std::size_t>(len, INT_MAX)), 0, INT_MAX));
}

KString::KString(const KString& other)
{
    reserve();
    assignString(other);
}

KString& KString::operator=(const KString& other)
{
    if (this != &other)
        assignString(other);
    return *this;
}

KString::~KString()
{
    delete[] text_;
}

void KString::reserve()
{
    const long long need = static_cast<long long>(length_) + 1;
    if (capacity_ > need)
        return;
    long long capacity = capacity_;
    const long long tenSteps = 10LL * step_;
    do {
        if (capacity < tenSteps)
            capacity += step_;
        else
            capacity = 2 * capacity + step_;
    } while (capacity < need);
    if (capacity > INT_MAX)
        capacity = INT_MAX;
    if (capacity < need)
        raiseTooLong(need);
    char* buffer = new char[static_cast<std::size_t>(capacity)];
    if (text_ != nullptr)
        std::memcpy(buffer, text_, static_cast<std::size_t>(capacity_));
    else
        buffer[0] = '\0';
    delete[] text_;
    text_ = buffer;
    capacity_ = static_cast<int>(capacity);
}

void KString::setLength(long long newLength)
{
    if (newLength >= INT_MAX)
        raiseTooLong(newLength + 1);
    length_ = static_cast<int>(newLength);
    reserve();
}

const char* KString::clear()
{
    if (text_ == nullptr)
        reserve();
    length_ = 0;
    text_[0] = '\0';
    return text_;
}

void KString::assignChar(char c)
{
    clear();
    appendChar(c);
}

void KString::assign(const char* text)
{
    clear();
    append(text);
}

void KString::assignString(const KString& other)
{
    if (this == &other)
        return;
    clear();
    appendN(other.text_, other.length_);
}

bool KString::equals(const char* text) const
{
    if (text == nullptr)
        text = "";
    const std::size_t n = std::strlen(text);
    return n == static_cast<std::size_t>(length_) && std::memcmp(text_, text, n) == 0;
}

bool KString::equalsString(const KString& other) const
{
    return length_ == other.length_ &&
           std::memcmp(text_, other.text_, static_cast<std::size_t>(length_)) == 0;
}

bool KString::matches(const KString& other, bool ignoreCase) const
{
    if (!ignoreCase)
        return equalsString(other);
    if (length_ != other.length_)
        return false;
    for (int i = 0; i < length_; ++i) {
        if (lowerAscii(static_cast<unsigned char>(text_[i])) !=
            lowerAscii(static_cast<unsigned char>(other.text_[i])))
            return false;
    }
    return true;
}

void KString::appendChar(char c)
{
    const int at = length_;
    setLength(static_cast<long long>(length_) + 1);
    text_[at] = c;
    text_[length_] = '\0';
}

void KString::append(const char* text)
{
    if (text == nullptr)
        return;
    const std::size_t n = std::strlen(text);
    if (n >= INT_MAX)
        raiseTooLong(static_cast<long long>(std::min<std::size_t>(n, LLONG_MAX)));
    appendN(text, static_cast<int>(n));
}

void KString::appendN(const char* buffer, int n)
{
    if (buffer == nullptr || n <= 0)
        return;
    // buffer may be this string's own text: keep its offset across the reallocation.
    const bool own = text_ != nullptr && buffer >= text_ && buffer < text_ + capacity_;
    const std::ptrdiff_t offset = own ? buffer - text_ : 0;
    const int at = length_;
    setLength(static_cast<long long>(length_) + n);
    const char* source = own ? text_ + offset : buffer;
    std::memmove(text_ + at, source, static_cast<std::size_t>(n));
    text_[length_] = '\0';
}

void KString::appendString(const KString& other)
{
    appendN(other.text_, other.length_);
}

void KString::appendInt(int value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", value);
    append(digits);
}

void KString::openGap(int position, int n)
{
    if (n <= 0)
        return;
    position = std::clamp(position, 0, length_);
    const int oldLength = length_;
    setLength(static_cast<long long>(length_) + n);
    // The tail and its NUL move right by n.
    std::memmove(text_ + position + n, text_ + position,
                 static_cast<std::size_t>(oldLength - position + 1));
}

void KString::insertChar(int position, char c)
{
    position = std::clamp(position, 0, length_);
    openGap(position, 1);
    text_[position] = c;
}

void KString::insert(int position, const char* text)
{
    if (text == nullptr)
        return;
    insertString(position, KString(text));
}

void KString::insertString(int position, const KString& other)
{
    if (other.length_ == 0)
        return;
    if (this == &other) {
        insertString(position, KString(other));
        return;
    }
    position = std::clamp(position, 0, length_);
    openGap(position, other.length_);
    std::memcpy(text_ + position, other.text_, static_cast<std::size_t>(other.length_));
}

int KString::alignToChar(int& position, bool toStart) const
{
    position = mb_align(text_, position, length_, toStart);
    return position;
}

int KString::eraseRange(int first, int last)
{
    if (first >= length_ || last < 0 || first > last)
        return 0;
    first = std::clamp(first, 0, length_ - 1);
    last = std::clamp(last, 0, length_ - 1);
    if (first > last)
        return 0;
    alignToChar(first, true);
    alignToChar(last, true);
    const int end = std::min(length_, mb_next(text_, last));
    const int removed = end - first;
    std::memmove(text_ + first, text_ + end, static_cast<std::size_t>(length_ - end + 1));
    length_ -= removed;
    return removed;
}

KString KString::substring(int first, int last) const
{
    KString result;
    if (first >= length_ || last < 0 || first > last)
        return result;
    first = std::clamp(first, 0, length_ - 1);
    last = std::clamp(last, 0, length_ - 1);
    if (first > last)
        return result;
    alignToChar(first, true);
    alignToChar(last, true);
    const int end = std::min(length_, mb_next(text_, last));
    result.appendN(text_ + first, end - first);
    return result;
}

int KString::findChar(char c, int position) const
{
    if (position > length_)
        return -1;
    for (int i = std::max(position, 0); i <= length_; ++i) {
        if (text_[i] == c)
            return i;
    }
    return -1;
}

int KString::findCharBackward(char c, int position) const
{
    if (position < 0)
        return -1;
    for (int i = std::min(position, length_); i >= 0; --i) {
        if (text_[i] == c)
            return i;
    }
    return -1;
}

int KString::findClosing(int position, char open, char close) const
{
    // Counting open pairs is the same walk as skipping each nested pair recursively, without a
    // recursion as deep as the text is long.
    int nesting = 0;
    for (int i = std::max(position, 0); i < length_; ++i) {
        if (text_[i] == close) {
            if (nesting == 0)
                return i;
            --nesting;
        } else if (text_[i] == open) {
            ++nesting;
        }
    }
    return -1;
}

int KString::escapeChar(char c, char prefix)
{
    int count = 0;
    for (int i = 0; i < length_; ++i) {
        if (text_[i] == c) {
            insertChar(i, prefix);
            ++i;   // past the escaped byte, so it is escaped once
            ++count;
        }
    }
    return count;
}
