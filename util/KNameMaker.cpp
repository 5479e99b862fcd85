// Numbered-name builder (see KNameMaker.h).
#include "util/KNameMaker.h"

#include <algorithm>

void KNameMaker::set(const char* prefix, const char* suffix, int maxLength)
{
    prefix_.assign(prefix);
    suffix_.assign(suffix);
    maxLength_ = maxLength;
}

void KNameMaker::next(KString& out, const char* text)
{
    if (text == nullptr)
        ++number_;
    make(out, text);
}

void KNameMaker::make(KString& out, const char* text) const
{
    KString middle;
    if (text != nullptr)
        middle.assign(text);
    else
        middle.appendInt(number_);

    out.clear();
    const long long whole = static_cast<long long>(prefix_.length()) + middle.length();
    if (maxLength_ > 0 && maxLength_ < whole) {
        const int prefixKept = std::max(0, maxLength_ - middle.length());
        out.appendN(prefix_.text(), std::min(prefixKept, prefix_.length()));
        out.appendN(middle.text(), std::min(maxLength_, middle.length()));
    } else {
        out.appendString(prefix_);
        out.appendString(middle);
    }
    out.appendString(suffix_);
}
