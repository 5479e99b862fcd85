// The user type name and extent of an OLE object's bytes (formats in ole_describe.h).
#include "platform/ole/ole_describe.h"

#include <vector>

#include "platform/ole/cfb_reader.h"

namespace {

// A little-endian reader over one stream that answers false instead of reading past its end.
struct Cursor {
    const std::vector<uint8_t>& bytes;
    std::size_t pos = 0;
    bool u32(uint32_t& v)
    {
        if (bytes.size() - pos < 4) return false;
        v = static_cast<uint32_t>(bytes[pos]) | static_cast<uint32_t>(bytes[pos + 1]) << 8 |
            static_cast<uint32_t>(bytes[pos + 2]) << 16 | static_cast<uint32_t>(bytes[pos + 3]) << 24;
        pos += 4;
        return true;
    }
    bool skip(uint64_t n)
    {
        if (bytes.size() - pos < n) return false;
        pos += static_cast<std::size_t>(n);
        return true;
    }
};

std::string userTypeOf(const std::vector<uint8_t>& stream)
{
    Cursor c{stream};
    uint32_t length = 0;
    if (!c.skip(28) || !c.u32(length)) return std::string();
    std::string name;
    for (std::size_t i = 0; i < length && c.pos + i < stream.size() && name.size() < OleDescription::kMaxName; ++i) {
        const uint8_t b = stream[c.pos + i];
        if (b == 0) break;
        name.push_back(static_cast<char>(b));
    }
    return name;
}

bool extentOf(const std::vector<uint8_t>& stream, long& width, long& height)
{
    Cursor c{stream};
    uint32_t marker = 0, value = 0, device = 0, w = 0, h = 0;
    if (!c.u32(marker)) return false;
    if (marker == 0xFFFFFFFF || marker == 0xFFFFFFFE) {
        if (!c.skip(4)) return false;
    } else if (!c.skip(marker)) {
        return false;
    }
    if (!c.u32(device) || device < 4) return false;
    if (device > 4 && !c.skip(device)) return false;
    // Aspect, lindex, advise flags, reserved.
    for (int i = 0; i < 4; ++i)
        if (!c.u32(value)) return false;
    if (!c.u32(w) || !c.u32(h)) return false;
    const int32_t sw = static_cast<int32_t>(w), sh = static_cast<int32_t>(h);
    if (sw <= 0 || sh <= 0 || sw > OleDescription::kMaxExtent || sh > OleDescription::kMaxExtent) return false;
    width = sw;
    height = sh;
    return true;
}

}  // namespace

OleDescription ole_describe(const uint8_t* data, std::size_t size)
{
    OleDescription d;
    CompoundFile file;
    if (!file.open(data, size)) return d;
    d.compound = true;
    d.classId = file.rootClassId();
    std::vector<uint8_t> stream;
    if (file.readRootStream("\001CompObj", stream)) {
        std::string name = userTypeOf(stream);
        if (!name.empty()) d.userType = std::move(name);
    }
    if (file.readRootStream("\002OlePres000", stream)) extentOf(stream, d.width, d.height);
    return d;
}
