// Off-screen pictures: the lazily built device, pixels read back, palette matching.
#include "app/PictureHolder.h"

#include <algorithm>

PictureHolder::PictureHolder() = default;

PictureHolder::~PictureHolder() = default;

bool PictureHolder::sizeAllowed() const {
    std::int64_t w = std::max<std::int32_t>(size_.width, 0), h = std::max<std::int32_t>(size_.height, 0);
    return w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

void PictureHolder::setReferenceDevice(const OutputDevice* device) {
    reference_ = device;
    offscreen_.reset();
}

void PictureHolder::setSize(const PictureSize& size) {
    if (size == size_) return;
    size_ = size;
    if (!offscreen_) return;
    if (!sizeAllowed() || !offscreen_->setOutputSizePixel(Size(size_.width, size_.height))) offscreen_.reset();
}

VirtualDevice* PictureHolder::device() {
    if (offscreen_) return offscreen_.get();
    if (!sizeAllowed()) return nullptr;
    auto d = reference_ ? std::make_unique<VirtualDevice>(*reference_) : std::make_unique<VirtualDevice>();
    d->setBackgroundBrush(Brush(Color(kBackgroundColour), BRUSH_SOLID));
    if (!d->setOutputSizePixel(Size(size_.width, size_.height))) return nullptr;
    offscreen_ = std::move(d);
    return offscreen_.get();
}

void PictureHolder::releaseDevice() { offscreen_.reset(); }

void PictureHolder::pixelColor(PictureColor& out, std::int32_t x, std::int32_t y) {
    out = PictureColor{};
    VirtualDevice* d = device();
    if (!d || x < 0 || y < 0 || x >= size_.width || y >= size_.height) return;
    Color c = d->getPixel(Point(x, y));
    out.red = c.red8();
    out.green = c.green8();
    out.blue = c.blue8();
}

bool PictureHolder::getBitmap(Bitmap& out) {
    VirtualDevice* d = device();
    if (!d) return false;
    out = d->getBitmap(Point(0, 0), Size(size_.width, size_.height));
    return true;
}

void PictureHolder::matchPalette(PicturePalette* palette) {
    palette_ = palette;
    if (!palette) return;
    scratch_.setOutputSizePixel(Size(1, 1));
    scratch_.setPen(Pen(Color(), 0, PEN_NULL));
    for (PicturePalette::Entry& e : palette->entries) {
        scratch_.setFillInBrush(Brush(Color::fromRGB8(e.red, e.green, e.blue), BRUSH_SOLID));
        scratch_.drawRect(Rectangle(0, 0, 0, 0));
        Color shown = scratch_.getPixel(Point(0, 0));
        e.red = shown.red8();
        e.green = shown.green8();
        e.blue = shown.blue8();
    }
}
