// Multibyte character boundaries and Japanese line-breaking tables (see mbtext.h).
#include "platform/os/mbtext.h"

#include "platform/os/sysprobe.h"

#include <algorithm>
#include <iterator>
#include <cstring>

namespace {

// Characters that may not begin a line.  Single bytes: half-width ideographic comma and full
// stop, , . : ; ? ! ) ] }, half-width closing corner bracket, half-width katakana
// A I U E O TSU YA YU YO WA KA KE, half-width prolonged sound mark and the two voicing marks.
constexpr unsigned char noStartSingle[] = {
    0xA4, 0xA1, 0x2C, 0x2E, 0x3A, 0x3B, 0x3F, 0x21, 0x29, 0x5D, 0x7D, 0xA3, 0xB1, 0xB2,
    0xB3, 0xB4, 0xB5, 0xC2, 0xD4, 0xD5, 0xD6, 0xDC, 0xB6, 0xB9, 0xB0, 0xDE, 0xDF,
};
// Double bytes (Shift-JIS): full-width ; : . ideographic full stop and comma, full-width , ? !
// ) ] closing corner bracket }, hiragana a i u e o tsu ya yu yo wa, katakana a i u e o tsu ya
// yu yo wa ka ke, prolonged sound mark, the two voicing marks, closing double and single
// quotes, prime, double prime, degree Celsius, %, degree, the four iteration marks, hyphen,
// horizontal bar, ideographic iteration mark and the closing white corner, black lenticular,
// double angle, angle and tortoise-shell brackets.
constexpr unsigned short noStartDouble[] = {
    0x8147, 0x8146, 0x8144, 0x8142, 0x8141, 0x8143, 0x8148, 0x8149, 0x816A, 0x816E, 0x8176,
    0x8170, 0x82A0, 0x82A2, 0x82A4, 0x82A6, 0x82A8, 0x82C2, 0x82E2, 0x82E4, 0x82E6, 0x82ED,
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x8363, 0x8384, 0x8386, 0x8388, 0x838F, 0x834A,
    0x8350, 0x815B, 0x814B, 0x814A, 0x8168, 0x8166, 0x818C, 0x818D, 0x818E, 0x8193, 0x818B,
    0x8152, 0x8153, 0x8154, 0x8155, 0x815D, 0x815C, 0x8158, 0x8178, 0x817A, 0x8174, 0x8172,
    0x816C,
};
// Characters that may not end a line.  Single bytes: ( [ {, half-width opening corner bracket,
// backslash, $ @ #.
constexpr unsigned char noEndSingle[] = {0x28, 0x5B, 0x7B, 0xA2, 0x5C, 0x24, 0x40, 0x23};
// Double bytes: full-width ( [, opening corner bracket, postal mark, full-width $ @ yen #,
// opening single and double quotes, opening tortoise-shell, angle, double angle, white corner
// and black lenticular brackets, cent, pound and section signs.
constexpr unsigned short noEndDouble[] = {
    0x8169, 0x816D, 0x8175, 0x81A7, 0x8190, 0x8197, 0x818F, 0x8194, 0x8165,
    0x8167, 0x816B, 0x8171, 0x8173, 0x8177, 0x8179, 0x8191, 0x8192, 0x8198,
};

template <typename T, std::size_t N>
bool contains(const T (&table)[N], unsigned value)
{
    for (T entry : table)
        if (entry == value)
            return true;
    return false;
}

unsigned char byteAt(const char* text, int position)
{
    return static_cast<unsigned char>(text[position]);
}

// Start of the character that holds byte position (position > 0, inside the text).
int characterStart(const char* text, int position)
{
    int i = 0;
    for (;;) {
        const int next = i + mb_char_length(text, i);
        if (next > position)
            return i;
        i = next;
    }
}

// Tests the character at position against a single-byte and a double-byte table.
template <std::size_t NS, std::size_t ND>
bool inTables(const char* text, int position, const unsigned char (&single)[NS],
              const unsigned short (&pairs)[ND])
{
    if (text == nullptr || position < 0)
        return false;
    const unsigned char b = byteAt(text, position);
    if (contains(single, b))
        return true;
    if (mb_char_length(text, position) == 2) {
        const unsigned pair = (static_cast<unsigned>(b) << 8) | byteAt(text, position + 1);
        return contains(pairs, pair);
    }
    return false;
}

}  // namespace

bool mb_is_lead_byte(unsigned char b)
{
    if (!sys_is_japanese())
        return false;
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int mb_char_length(const char* text, int position)
{
    if (text == nullptr || position < 0)
        return 1;
    if (mb_is_lead_byte(byteAt(text, position)) && text[position + 1] != '\0')
        return 2;
    return 1;
}

int mb_next(const char* text, int position)
{
    return position + mb_char_length(text, position);
}

int mb_prev(const char* text, int position)
{
    if (text == nullptr || position <= 0)
        return -1;
    return characterStart(text, position - 1);
}

int mb_align(const char* text, int position, int length, bool toStart)
{
    if (text == nullptr || length <= 0)
        return 0;
    position = std::clamp(position, 0, length);
    if (position == length || position == 0)
        return position;
    const int start = characterStart(text, position);
    if (start == position)
        return position;
    return toStart ? start : start + mb_char_length(text, start);
}

const char* path_file_name(const char* path)
{
    if (path == nullptr)
        return nullptr;
    const char* name = path;
    int i = 0;
    while (path[i] != '\0') {
        const int n = mb_char_length(path, i);
        if (n == 1 && (path[i] == '\\' || path[i] == '/'))
            name = path + i + 1;
        i += n;
    }
    return name;
}

bool jp_may_start_line(const char* text, int position)
{
    return !inTables(text, position, noStartSingle, noStartDouble);
}

bool jp_may_end_line(const char* text, int position)
{
    return !inTables(text, position, noEndSingle, noEndDouble);
}
