#pragma once
// Bitmap: an image the program shows, copies or stores.  Implicitly shared, copied on write
// (over QImage inside the layer).  A bitmap taken from a device is 24-bit.
//
// Qt stays out of this header; the layer reaches the image through gui::bitmapImage.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/base/Color.h"
#include "platform/gui/base/geometry.h"

class QImage;

class Bitmap {
public:
    Bitmap();
    Bitmap(const Bitmap& o);
    Bitmap& operator=(const Bitmap& o);
    ~Bitmap();

    bool isEmpty() const;
    Size getSizePixel() const;
    Color getPixel(const Point& p) const;
    // Bits per pixel the bitmap was built from (24 for device copies).
    int getBitCount() const;
    bool operator==(const Bitmap& o) const;  // same size and pixels

    struct Impl;
    explicit Bitmap(std::unique_ptr<Impl> impl);

private:
    friend const QImage& gui_bitmapImage(const Bitmap&);
    std::unique_ptr<Impl> impl_;
};

struct ResId;

// A device-independent image as BMP files and the picture stream carry it: width, height, bits
// per pixel (1, 4, 8 with a palette; 24 and 32 without), rows bottom first, each padded to a
// multiple of 4 bytes; palette entries 0x00RRGGBB.  24-bit pixels are blue, green, red; 32-bit
// ones blue, green, red, 0.
struct DeviceIndependentImage {
    int width = 0, height = 0;
    int bitCount = 24;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> rows;
    static std::size_t rowBytes(int width, int bitCount) {
        return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    }
};

// An image shown as a window's or dialog's icon.
class Icon {
public:
    Icon() = default;
    // The image registered under the id (gui::registerImage or an image resource).
    explicit Icon(const ResId& id);
    explicit Icon(const Bitmap& image) : image_(image) {}
    const Bitmap& getImage() const { return image_; }
    bool isEmpty() const { return image_.isEmpty(); }

private:
    Bitmap image_;
};

namespace gui {
// Builds a bitmap that keeps the image's depth and palette; false (and `out` untouched) when
// the image is inconsistent: a size outside 1..32767, another depth, a palette larger than the
// depth allows, row bytes that do not match, a pixel naming a missing palette entry.
bool bitmapFromDib(const DeviceIndependentImage& dib, Bitmap& out);
// The image of a bitmap at the depth and with the palette it was built from (24 bits for a
// device copy); an empty bitmap gives a 0 x 0 image.
DeviceIndependentImage dibFromBitmap(const Bitmap& b);
const QImage& bitmapImage(const Bitmap& b);
Bitmap makeBitmap(const QImage& image, int bitCount = 24);
}  // namespace gui
