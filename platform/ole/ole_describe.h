#pragma once
// What the placeholder of an OLE object shows, read from the object's stored bytes: the user type
// name from the "\001CompObj" stream and the extent from the "\002OlePres000" stream of an OLE 2
// compound file (cfb_reader.h).
//
// "\001CompObj" (little-endian): a 28-byte header, then the user type name as a 32-bit length
// (with the terminating zero) and that many ANSI bytes.
// "\002OlePres000": the clipboard format (a 32-bit marker: 0 none, 0xFFFFFFFF or 0xFFFFFFFE then
// a 32-bit format number, else the length of an ANSI name that follows), the target device size
// (4 when there is no target device, else the size of the target device that follows), aspect,
// lindex, advise flags, a reserved word, then width and height in HIMETRIC (0.01 mm).
//
// Bytes that are no compound file, a damaged one or a missing stream give the defaults.  A name
// is cut at its first 0 byte and at 255 characters (an empty one gives the default); an extent
// with either side 0, negative or above kMaxExtent gives the default extent.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct OleDescription {
    static constexpr long kDefaultWidth = 5080;   // 2 inches in HIMETRIC
    static constexpr long kDefaultHeight = 2540;  // 1 inch
    static constexpr long kMaxExtent = 1000000;   // 10 metres: no device holds more
    static constexpr std::size_t kMaxName = 255;

    std::string userType = "OLE object";  // cp1252 bytes
    long width = kDefaultWidth;           // HIMETRIC
    long height = kDefaultHeight;
    bool compound = false;                // the bytes opened as a compound file
    std::array<uint8_t, 16> classId{};    // the root storage's class id
};

OleDescription ole_describe(const uint8_t* data, std::size_t size);
