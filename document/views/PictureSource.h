#pragma once
// PictureSource: how code that exports or compares pictures reads a picture-like element's
// image: its size, the colour of each pixel, the palette it was matched against and, where the
// element keeps one, a bitmap of the whole image.  PictureHolder (app/PictureHolder.h) answers
// it from an off-screen device.
//
// Colours are 8-bit components (the high bytes of the GUI layer's 16-bit ones).  Free of Qt:
// the bitmap type is only declared.

#include <cstdint>
#include <vector>

class Bitmap;

// A picture's size: width and height in pixels and a third value kept with them for the
// picture's owner.
struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t extra = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// One pixel's colour; the fourth byte is always 0.
struct PictureColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t zero = 0;
    friend bool operator==(const PictureColor&, const PictureColor&) = default;
};

// A palette: its entries, each a red, green and blue byte.
struct PicturePalette {
    struct Entry {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    std::vector<Entry> entries;
};

class PictureSource {
public:
    virtual ~PictureSource() = default;
    virtual void getSize(PictureSize& out) const = 0;
    // The colour at (x, y); 0 outside the picture.
    virtual void pixelColor(PictureColor& out, std::int32_t x, std::int32_t y) = 0;
    // The palette last matched, or null.
    virtual const PicturePalette* palette() const = 0;
    virtual bool hasOwnBitmap() const { return false; }
    // The whole picture as a bitmap; false when there is none.
    virtual bool getBitmap(Bitmap& out) {
        (void)out;
        return false;
    }
};
