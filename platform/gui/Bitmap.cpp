// Bitmap over QImage.
#include "platform/gui/Bitmap.h"

#include <QImage>

struct Bitmap::Impl {
    QImage image;
    int bitCount = 24;
};

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::Bitmap(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Bitmap::Bitmap(const Bitmap& o) : impl_(std::make_unique<Impl>(*o.impl_)) {}
Bitmap& Bitmap::operator=(const Bitmap& o) {
    if (this != &o) *impl_ = *o.impl_;
    return *this;
}
Bitmap::~Bitmap() = default;

bool Bitmap::isEmpty() const { return impl_->image.isNull(); }
Size Bitmap::getSizePixel() const { return Size(impl_->image.width(), impl_->image.height()); }
int Bitmap::getBitCount() const { return impl_->bitCount; }

Color Bitmap::getPixel(const Point& p) const {
    if (!impl_->image.valid(p.x, p.y)) return Color();
    QRgb c = impl_->image.pixel(p.x, p.y);
    return Color::fromRGB8(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c)));
}

bool Bitmap::operator==(const Bitmap& o) const {
    return impl_->image.convertToFormat(QImage::Format_RGB32) == o.impl_->image.convertToFormat(QImage::Format_RGB32);
}

namespace gui {
const QImage& bitmapImage(const Bitmap& b) { return gui_bitmapImage(b); }
Bitmap makeBitmap(const QImage& image, int bitCount) {
    auto impl = std::make_unique<Bitmap::Impl>();
    impl->image = image;
    impl->bitCount = bitCount;
    return Bitmap(std::move(impl));
}
}  // namespace gui

const QImage& gui_bitmapImage(const Bitmap& b) { return b.impl_->image; }
