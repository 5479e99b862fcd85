// Fuzzes the ini-file reader and writer: any bytes parse; writing the parse and reading it again
// gives the same entries; writing the second parse gives the same text (a fixed point).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/gui/base/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto groups = Config::parse(text);
    std::string once = Config::serialize(groups);
    auto again = Config::parse(once);
    std::string twice = Config::serialize(again);
    if (once != twice) std::abort();
    // Entries survive the round trip with their keys and values.
    if (groups.size() != again.size()) std::abort();
    for (size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].name != again[g].name || groups[g].lines.size() != again[g].lines.size()) std::abort();
        for (size_t i = 0; i < groups[g].lines.size(); ++i) {
            const auto& a = groups[g].lines[i];
            const auto& b = again[g].lines[i];
            if (a.kind != b.kind || a.key != b.key || a.value != b.value) std::abort();
        }
    }
    // A write through the in-memory object of a key and value taken from the input either is
    // refused or reads back exactly.
    if (size >= 2) {
        size_t cut = data[0] % size;
        std::string key(text.substr(1, cut)), value(text.substr(1 + cut > size ? size : 1 + cut));
        Config c;
        c.setGroup("G");
        if (c.writeKey(String(key), String(value))) {
            String got = c.readKey(String(key), String("\x01missing"));
            if (got != String(value).trimmed()) std::abort();
        }
    }
    return 0;
}
