// An OLE object on the clipboard: its bytes under "Embedded Object" and a descriptor under
// "Object Descriptor".  The caller starts the copy (Clipboard::clear) so that an object can join
// other formats of the same copy; a paste needs the "Embedded Object" format and takes its bytes
// as they are (the clipboard layer bounds their size).
#include <cstring>

#include "platform/gui/Clipboard.h"
#include "platform/gui/base/text_tables.h"
#include "platform/ole/ole_object.h"

namespace {

constexpr std::size_t kDescriptorSize = 52;
constexpr uint32_t kAspectContent = 1;

void put32(std::vector<uint8_t>& out, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> ole_object_descriptor(const OleDescription& d)
{
    std::vector<uint8_t> out(kDescriptorSize, 0);
    for (unsigned char c : d.userType) {
        const char32_t u = cp1252ToUnicode(c);  // every cp1252 character lies in the BMP
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    put32(out, 0, static_cast<uint32_t>(out.size()));
    std::memcpy(out.data() + 4, d.classId.data(), 16);
    put32(out, 20, kAspectContent);
    put32(out, 24, static_cast<uint32_t>(d.width));
    put32(out, 28, static_cast<uint32_t>(d.height));
    // 32, 36: position 0; 40: status 0.
    put32(out, 44, kDescriptorSize);  // the name follows the fixed part
    // 48: no source of the copy.
    return out;
}

bool ole_copy_to_clipboard(const OleObject& o)
{
    const uint32_t embedded = Clipboard::registerFormat(String(kOleEmbeddedFormat));
    const uint32_t descriptor = Clipboard::registerFormat(String(kOleDescriptorFormat));
    const std::vector<uint8_t> about = ole_object_descriptor(o.description);
    return Clipboard::copyData(embedded, o.bytes.data(), static_cast<std::size_t>(o.length)) &&
           Clipboard::copyData(descriptor, about.data(), about.size());
}

bool ole_paste_from_clipboard(OleObject& o)
{
    const uint32_t embedded = Clipboard::registerFormat(String(kOleEmbeddedFormat));
    if (!Clipboard::hasFormat(embedded)) return false;
    const std::size_t size = Clipboard::getDataLength(embedded);
    if (size == 0 || size > 0x7FFFFFFF) return false;
    std::vector<uint8_t> data(size);
    if (Clipboard::pasteData(embedded, data.data(), size) != size) return false;
    o.assign(std::move(data), static_cast<int32_t>(size));
    return true;
}
