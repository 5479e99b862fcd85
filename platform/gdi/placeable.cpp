// The placeable metafile header: writer, reader and checksum.
#include "platform/gdi/placeable.h"

#include "platform/gdi/gdi_bytes.h"

namespace {
void writeFirstTen(const PlaceableHeader& h, gdi::ByteWriter& w) {
    w.u32(h.key);
    w.u16(h.hmf);
    w.i16(h.left);
    w.i16(h.top);
    w.i16(h.right);
    w.i16(h.bottom);
    w.u16(h.inch);
    w.u32(h.reserved);
}
}  // namespace

uint16_t placeable_checksum(const PlaceableHeader& h) {
    gdi::ByteWriter w;
    writeFirstTen(h, w);
    uint16_t sum = 0;
    for (std::size_t i = 0; i < 20; i += 2) sum ^= static_cast<uint16_t>(w.bytes()[i] | (w.bytes()[i + 1] << 8));
    return sum;
}

PlaceableHeader placeable_header_make(int width, int height, int unitsPerInch) {
    PlaceableHeader h;
    h.right = static_cast<int16_t>(width);
    h.bottom = static_cast<int16_t>(height);
    h.inch = static_cast<uint16_t>(unitsPerInch);
    h.checksum = placeable_checksum(h);
    return h;
}

void placeable_header_write(const PlaceableHeader& h, uint8_t out[PLACEABLE_HEADER_BYTES]) {
    gdi::ByteWriter w;
    writeFirstTen(h, w);
    w.u16(h.checksum);
    for (std::size_t i = 0; i < PLACEABLE_HEADER_BYTES; ++i) out[i] = w.bytes()[i];
}

bool placeable_header_read(const uint8_t* data, std::size_t size, PlaceableHeader& out) {
    if (!data || size < PLACEABLE_HEADER_BYTES) return false;
    gdi::ByteReader r(data, size);
    PlaceableHeader h;
    h.key = r.u32();
    if (h.key != PLACEABLE_KEY) return false;
    h.hmf = static_cast<uint16_t>(r.u16());
    h.left = static_cast<int16_t>(r.i16());
    h.top = static_cast<int16_t>(r.i16());
    h.right = static_cast<int16_t>(r.i16());
    h.bottom = static_cast<int16_t>(r.i16());
    h.inch = static_cast<uint16_t>(r.u16());
    h.reserved = r.u32();
    h.checksum = static_cast<uint16_t>(r.u16());
    out = h;
    return true;
}
