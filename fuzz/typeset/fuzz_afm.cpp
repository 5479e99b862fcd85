// Feeds arbitrary bytes to the AFM reader, once with every section asked for and once with the
// LaTeX device's flags.  Any result is fine; the sanitizers catch reads or writes outside the
// token buffer and allocations sized by unchecked counts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "typeset/devices/afm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    for (int flags : {int(AFM_ALL), AFM_GLOBAL | AFM_WIDTHS}) {
        std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!f) return 0;
        std::unique_ptr<AfmFontInfo> info;
        afm_parse_file(f, &info, flags);
        std::fclose(f);
    }
    return 0;
}
