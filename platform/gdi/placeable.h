#pragma once
// The placeable header that goes before Windows-metafile bits in files and picture streams.
//
//   offset  size  field      meaning
//   0       4     key        0x9AC6CDD7
//   4       2     hmf        handle, 0 when written
//   6       8     bbox       left, top, right, bottom (16-bit signed, metafile units)
//   14      2     inch       metafile units per inch
//   16      4     reserved   0 when written
//   20      2     checksum   exclusive-or of the ten 16-bit words before it
//
// The reader checks the length and the key only (the checksum and reserved field are not
// examined, so that headers of other writers are accepted).

#include <cstddef>
#include <cstdint>

constexpr uint32_t PLACEABLE_KEY = 0x9AC6CDD7;
constexpr std::size_t PLACEABLE_HEADER_BYTES = 22;

struct PlaceableHeader {
    uint32_t key = PLACEABLE_KEY;
    uint16_t hmf = 0;
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = 0;
    uint32_t reserved = 0;
    uint16_t checksum = 0;
    friend bool operator==(const PlaceableHeader&, const PlaceableHeader&) = default;
};

// A header with key, handle 0, the bounding box (0, 0, width, height), units per inch, reserved 0
// and its checksum.
PlaceableHeader placeable_header_make(int width, int height, int unitsPerInch);
// The checksum of the header's first ten words.
uint16_t placeable_checksum(const PlaceableHeader& h);
// Writes the 22 bytes as the header holds them (checksum included).
void placeable_header_write(const PlaceableHeader& h, uint8_t out[PLACEABLE_HEADER_BYTES]);
// Reads 22 bytes; false when fewer are given or the key is not PLACEABLE_KEY.
bool placeable_header_read(const uint8_t* data, std::size_t size, PlaceableHeader& out);
