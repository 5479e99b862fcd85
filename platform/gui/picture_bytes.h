#pragma once
// picture_bytes: the byte form of a recorded picture that the clipboard carries between
// processes of this program (clipboard format 3, MIME type "application/x-wkelvo-picture").
// Other programs get a PNG rendering beside it.
//
// Layout, all numbers little-endian:
//
//   offset  size  meaning
//   0       8     "KWPICT1\0"
//   8       8     preferred width, height (32-bit signed each)
//   16      28    preferred map mode: unit code, origin x, origin y, x numerator, x denominator,
//                 y numerator, y denominator (32-bit signed each)
//   44      4     byte count W of a wrapped Windows metafile, then W bytes
//   ..      4     action count N, then N action records
//
// An action record is a 16-bit type (1..29) followed by every field of PictureAction in
// declaration order: points as two 32-bit numbers, rectangles as four, colours as a 16-bit code
// and three 16-bit components, strings and byte blocks as a 32-bit length and the bytes, lists
// as a 32-bit count and the items, flags as one byte, bitmaps as a PNG block (length 0 = none)
// and their 16-bit bit count.
//
// The reader is the one place that reads these bytes: every length and count is checked against
// the bytes left, and a damaged block is refused as a whole (the picture is left empty).

#include <cstddef>
#include <cstdint>
#include <vector>

class Picture;

std::vector<uint8_t> picture_bytes_write(const Picture& picture);
// False for bytes that are not a whole, well-formed picture; `out` is then cleared.
bool picture_bytes_read(const uint8_t* data, std::size_t length, Picture& out);
