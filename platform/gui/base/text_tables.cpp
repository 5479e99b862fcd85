// Code-page tables and converters (see text_tables.h for the rules).
#include "platform/gui/base/text_tables.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <unordered_map>

namespace {

constexpr char32_t kBad = 0xFFFFFFFFu;

// cp1252 0x80..0x9F; unassigned bytes map to their C1 control.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Symbol encoding 0x20..0x7E and 0xA0..0xFE; 0 = unassigned.
constexpr char16_t kSymbolLow[95] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C,
};
constexpr char16_t kSymbolHigh[95] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118,
    0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x0000, 0x232A, 0x222B, 0x2320,
    0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD,
};

std::atomic<bool> gJapanese{false};

// iconv between UTF-8 and CP932, replacing what cannot be converted by "?".
std::string iconvConvert(const char* to, const char* from, std::string_view in, std::size_t* replaced) {
    std::string out;
    if (replaced) *replaced = 0;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, replace the rest.
        for (char c : in) {
            bool ascii = static_cast<unsigned char>(c) < 0x80;
            out += ascii ? c : '?';
            if (!ascii && replaced) ++*replaced;
        }
        return out;
    }
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buf[256];
    while (left > 0) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL: skip one source byte (or the whole UTF-8 character).
            std::size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                std::size_t pos = 0;
                decodeUtf8(std::string_view(src, left), pos);
                skip = pos;
            }
            out += '?';
            if (replaced) ++*replaced;
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

char32_t cp1252ToUnicode(uint8_t b) {
    return (b >= 0x80 && b <= 0x9F) ? kHigh1252[b - 0x80] : b;
}

int unicodeToCp1252(char32_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<int>(ch);
    static const std::unordered_map<char32_t, int> reverse = [] {
        std::unordered_map<char32_t, int> m;
        for (int i = 0; i < 32; ++i) m.emplace(kHigh1252[i], 0x80 + i);
        return m;
    }();
    auto it = reverse.find(ch);
    return it == reverse.end() ? -1 : it->second;
}

char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = at(pos);
    if (c < 0x80) { ++pos; return c; }
    int n;
    char32_t cp, min;
    if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; min = 0x10000; }
    else { ++pos; return kBad; }
    if (pos + n >= s.size()) { ++pos; return kBad; }  // truncated sequence
    for (int k = 1; k <= n; ++k) {
        if ((at(pos + k) & 0xC0) != 0x80) { ++pos; return kBad; }
        cp = (cp << 6) | (at(pos + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++pos; return kBad; }
    pos += static_cast<std::size_t>(n) + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) appendUtf8(out, cp1252ToUnicode(static_cast<uint8_t>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view utf8, std::size_t* replaced) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t bad = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t ch = decodeUtf8(utf8, pos);
        int b = ch == kBad ? -1 : unicodeToCp1252(ch);
        if (b < 0) { out += '?'; ++bad; }
        else out += static_cast<char>(b);
    }
    if (replaced) *replaced = bad;
    return out;
}

char32_t symbolToUnicode(uint8_t b) {
    if (b >= 0x20 && b <= 0x7E) return kSymbolLow[b - 0x20];
    if (b >= 0xA0 && b <= 0xFE) return kSymbolHigh[b - 0xA0];
    return 0;
}

std::string symbolToUtf8(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        char32_t u = symbolToUnicode(static_cast<uint8_t>(c));
        if (u == 0) out += '?';
        else appendUtf8(out, u);
    }
    return out;
}

std::string sjisToUtf8(std::string_view bytes) { return iconvConvert("UTF-8", "CP932", bytes, nullptr); }
std::string utf8ToSjis(std::string_view utf8, std::size_t* replaced) {
    return iconvConvert("CP932", "UTF-8", utf8, replaced);
}

void setJapaneseTextMode(bool on) { gJapanese = on; }
bool isJapaneseTextMode() { return gJapanese; }

std::string programTextToUtf8(std::string_view bytes) {
    return gJapanese ? sjisToUtf8(bytes) : cp1252ToUtf8(bytes);
}
std::string utf8ToProgramText(std::string_view utf8, std::size_t* replaced) {
    return gJapanese ? utf8ToSjis(utf8, replaced) : utf8ToCp1252(utf8, replaced);
}
