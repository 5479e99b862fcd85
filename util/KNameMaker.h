#pragma once
// KNameMaker: builds numbered names such as "plot1.gif" from a prefix, a middle part (a given
// text or a running number) and a suffix, within a maximum length that counts prefix and middle
// but not the suffix.
//
// Every user calls set right after construction.  The running number starts at 0; next
// increments it before use when no text is given.

#include "util/KString.h"

class KNameMaker {
public:
    KNameMaker() = default;

    // maxLength 0 or less means no limit.
    void set(const char* prefix, const char* suffix, int maxLength);
    // With a null text the running number is incremented first; then make.
    void next(KString& out, const char* text);
    // out = prefix + middle + suffix, the middle being the text or the running number.  When the
    // maximum length is positive and shorter than prefix plus middle, the prefix is cut to
    // maxLength - middle length (not below 0) and only the first min(maxLength, middle length)
    // bytes of the middle are kept.
    void make(KString& out, const char* text) const;
    void reset() { number_ = 0; }
    int number() const { return number_; }

private:
    KString prefix_;
    KString suffix_;
    int maxLength_ = 0;
    int number_ = 0;
};
