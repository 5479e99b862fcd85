// Font description hashing: every attribute that takes part in equality takes part in the hash.
#include "platform/gui/base/Font.h"

#include <functional>
#include <string>

std::size_t Font::hash() const {
    std::size_t h = std::hash<std::string>()(name_.str());
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(static_cast<std::size_t>(size_.width));
    mix(static_cast<std::size_t>(size_.height));
    mix(static_cast<std::size_t>(weight_));
    mix(italic_ | (underline_ << 1) | (transparent_ << 2));
    mix(static_cast<std::size_t>(charSet_));
    mix(static_cast<std::size_t>(family_));
    mix(static_cast<std::size_t>(pitch_));
    mix(static_cast<std::size_t>(align_));
    for (const Color& c : {color_, fillColor_})
        mix((std::size_t(c.getRed()) << 32) | (std::size_t(c.getGreen()) << 16) | c.getBlue());
    return h;
}
