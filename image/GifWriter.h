#pragma once
// GifWriter: encodes a picture of 0x00RRGGBB pixels as a GIF89a image through a byte sink, one
// byte per call; animations are written frame by frame with one shared palette and a loop
// extension.
//
// Palette: index 0 is black and index 1 white, always; the colours of an octree quantiser
// built for 254 colours follow from index 2.  A pixel of 0xFFFFFF maps to 1, 0 to 0, any
// other colour to its quantiser index + 2 (the top byte of a pixel is ignored).  The global
// colour table has 2^k entries, the smallest power of two >= colours + 2 with k >= 1; entries
// past the colours are black.
//
// Stream written:
//   first frame   "GIF89a", width, height (16-bit little-endian), 0xF0 | (k - 1), background
//                 0, aspect 0, the colour table;
//                 for an animation: 21 FF 0B "NETSCAPE2.0" 03 01 00 00 00 (loop for ever)
//   every frame   2C, left 0, top 0, width, height, packed 0; the LZW minimum code size; the
//                 LZW data in sub-blocks of at most 255 bytes; a 0 block
//   last frame    3B
// No graphic control extension is written.  The LZW minimum code size is max(k, 2): decoders
// accept no smaller size, and indices 0 and 1 fit either way.
//
// Animation (flag gifAnimation): palette passes (gifPalettePass, the first with gifFirstFrame
// as well) feed every frame's colours to a shared quantiser kept between calls; then frames are
// written, the first with gifFirstFrame and the last with gifLastFrame.  The shared quantiser
// is freed after the last frame, and after any call of the sequence that fails, so a broken
// sequence never leaks into the next one.  Without gifAnimation a call is one whole picture.
//
// Not re-entrant: the shared quantiser of an animation lives in one program-wide slot.  Each
// call keeps its own coding state.

#include <cstddef>
#include <cstdint>
#include <functional>

// Takes one byte of the stream; false stops the writer, which then writes nothing more.
using GifByteSink = std::function<bool(std::uint8_t byte)>;
// Answers the colour of the pixel at (x, y), 0 <= x < width, 0 <= y < height.
using GifPixelSource = std::uint32_t (*)(void* userData, int x, int y);

// Colours that replace the pixel walk when the palette is built.
struct GifColourList {
    std::size_t count = 0;
    const std::uint32_t* colours = nullptr;
};

enum GifFlags : unsigned {
    gifFirstFrame = 0x01,
    gifLastFrame = 0x02,
    gifPalettePass = 0x04,   // only adds colours to the shared quantiser; nothing is written
    gifAnimation = 0x80,
};

enum class GifStatus {
    ok,
    emptyPicture,        // width or height is 0 or negative
    pictureTooLarge,     // width or height above 65535, which the format cannot hold
    badArguments,        // no pixel source where pixels are needed, or a colour list without colours
    outOfMemory,
    sinkFailed,          // the sink refused a byte; nothing was written after it
    noSequence,          // an animation call without its palette pass or first frame before it
    frameOutsideScreen,  // an animation frame larger than the first frame
};

// Largest width or height of a picture.
inline constexpr int gifMaxSide = 65535;

GifStatus gif_write(const GifByteSink& sink, GifPixelSource pixel, void* userData,
                    const GifColourList* colours, int height, int width, unsigned flags);
