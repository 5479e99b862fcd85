#pragma once
// A device-independent image as BMP files, picture streams and the stretched-bitmap records of
// metafiles carry it.  Free of Qt, so the metafile player hands its images to the GUI layer in
// the same type that the GUI layer's bitmap conversion reads.

#include <cstddef>
#include <cstdint>
#include <vector>

// Width, height, bits per pixel (1, 4, 8 with a palette; 24 and 32 without), rows bottom first,
// each padded to a multiple of 4 bytes; palette entries 0x00RRGGBB.  24-bit pixels are blue,
// green, red; 32-bit ones blue, green, red, 0.
struct DeviceIndependentImage {
    int width = 0, height = 0;
    int bitCount = 24;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> rows;
    static std::size_t rowBytes(int width, int bitCount) {
        return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    }
};
