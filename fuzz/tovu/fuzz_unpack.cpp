// Feeds arbitrary text to the byte unpacker; whatever it unpacks must pack and unpack back to
// the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tovu/encode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string bytes;
    if (!enc_unpack(text, &bytes)) return 0;
    std::string again;
    if (!enc_unpack(enc_pack(bytes), &again) || again != bytes) std::abort();
    return 0;
}
