#pragma once
// Bitmap: an image the program shows, copies or stores.  Implicitly shared, copied on write
// (over QImage inside the layer).  A bitmap taken from a device is 24-bit.
//
// Qt stays out of this header; the layer reaches the image through gui::bitmapImage.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/dib.h"
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
