// Runs a sequence of KString operations decoded from the input.  In single-byte mode every result
// is compared with a std::string model; in the Japanese mode only the invariants are checked
// (terminator, capacity, no split double-byte character at a range's start).
#include "platform/os/mbtext.h"
#include "platform/os/sysprobe.h"
#include "util/KString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    int small() { return static_cast<int>(byte() % 48) - 4; }   // positions, some out of range
    std::string text()
    {
        const std::size_t n = byte() % 24;
        std::string s;
        for (std::size_t i = 0; i < n && more(); ++i) {
            const char c = static_cast<char>(byte());
            if (c != '\0')
                s += c;
        }
        return s;
    }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

int clampPos(int p, int length)
{
    return p < 0 ? 0 : (p > length ? length : p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const bool japanese = (in.byte() & 1) != 0;
    sys_set_japanese(japanese);
    KString s;
    std::string model;
    for (int steps = 0; in.more() && steps < 64; ++steps) {
        const int op = in.byte() % 10;
        switch (op) {
        case 0: {
            const std::string t = in.text();
            s.append(t.c_str());
            model += t;
            break;
        }
        case 1: {
            const int p = in.small();
            const std::string t = in.text();
            s.insert(p, t.c_str());
            model.insert(static_cast<std::size_t>(clampPos(p, static_cast<int>(model.size()))), t);
            break;
        }
        case 2: {
            const int first = in.small(), last = in.small();
            const int removed = s.eraseRange(first, last);
            if (!japanese) {
                const int n = static_cast<int>(model.size());
                int expected = 0;
                if (first < n && last >= 0 && first <= last) {
                    const int f = first < 0 ? 0 : first;
                    const int l = last >= n ? n - 1 : last;
                    if (f <= l) {
                        expected = l - f + 1;
                        model.erase(static_cast<std::size_t>(f), static_cast<std::size_t>(expected));
                    }
                }
                check(removed == expected);
            }
            break;
        }
        case 3: {
            const KString sub = s.substring(in.small(), in.small());
            check(sub.text()[sub.length()] == '\0' && sub.length() <= s.length());
            break;
        }
        case 4: {
            const char c = static_cast<char>(in.byte());
            const int p = in.small();
            const int found = s.findChar(c, p);
            check(found == -1 || (found >= 0 && found <= s.length() && s.text()[found] == c));
            break;
        }
        case 5: {
            const int r = s.findClosing(in.small(), '(', ')');
            check(r == -1 || s.text()[r] == ')');
            break;
        }
        case 6: {
            const char c = static_cast<char>(in.byte() | 1);
            s.escapeChar(c, '\\');
            if (!japanese) {
                std::string escaped;
                for (char m : model) {
                    if (m == c)
                        escaped += '\\';
                    escaped += m;
                }
                model = escaped;
            }
            break;
        }
        case 7: {
            int p = in.small();
            const int before = p;
            s.alignToChar(p, (in.byte() & 1) != 0);
            check(p >= 0 && p <= s.length());
            if (!japanese)
                check(p == clampPos(before, s.length()));
            break;
        }
        case 8: {
            const int v = static_cast<int>(in.byte()) * 1000 - 100000;
            s.appendInt(v);
            model += std::to_string(v);
            break;
        }
        default: {
            KString copy(s);
            check(copy.equalsString(s));
            s = copy;
            break;
        }
        }
        check(s.capacity() > s.length());
        check(s.text()[s.length()] == '\0');
        if (!japanese)
            check(model.size() == static_cast<std::size_t>(s.length()) &&
                  std::memcmp(model.data(), s.text(), model.size()) == 0);
        else
            check(path_file_name(s.text()) != nullptr);
    }
    sys_reset_japanese();
    return 0;
}
