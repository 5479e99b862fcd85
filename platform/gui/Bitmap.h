#pragma once
// Bitmap: an image the program shows, copies or stores.  Implicitly shared, copied on write
// (over QImage inside the layer).  A bitmap taken from a device is 24-bit.
//
// Qt stays out of this header; the layer reaches the image through gui::bitmapImage.

#include <memory>

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

namespace gui {
const QImage& bitmapImage(const Bitmap& b);
Bitmap makeBitmap(const QImage& image, int bitCount = 24);
}  // namespace gui
