// Feeds arbitrary bytes to the clipboard picture reader; a picture that reads must write back to
// bytes that read again into an equal picture.
#include <cstdint>
#include <cstdlib>

#include "platform/gui/Picture.h"
#include "platform/gui/picture_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Picture picture;
    if (!picture_bytes_read(data, size, picture))
        return 0;
    std::vector<uint8_t> again = picture_bytes_write(picture);
    Picture second;
    if (!picture_bytes_read(again.data(), again.size(), second) || !(second == picture))
        std::abort();
    return 0;
}
