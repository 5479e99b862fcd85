// Fuzzes path parsing in the styles 0, 1, 6 and 7: no crash; the full text of a parsed path
// parses again (style 0) to an equal path; a length limit never yields a longer text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gui/base/FilePath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const int styles[] = {0, 1, 6, 7};
    int style = styles[data[0] & 3];
    size_t limit = data[0] >> 2;  // 0..63
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    FilePath p{String(text), style};
    String full = p.getFull(0);
    if (!p.hasError()) {
        FilePath again{full, 0};
        if (again.hasError() || again != p) std::abort();
        FilePath limited = p;
        String cut = limited.getFull(0, limit);
        if (cut.len() > limit) std::abort();
        if (!limited.hasError() && cut != full) std::abort();
        FilePath joined = p;
        joined += FilePath{String("x"), 0};
        joined.setExtension(String("html"));
        (void)joined.getFull(6);
        (void)p.getName();
        FilePath rel{String("a/b"), 0};
        rel += p;
        (void)rel.cutName();
    }
    return 0;
}
