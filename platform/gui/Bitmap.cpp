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

namespace gui {

bool bitmapFromDib(const DeviceIndependentImage& dib, Bitmap& out) {
    const int bits = dib.bitCount;
    if (dib.width < 1 || dib.height < 1 || dib.width > 32767 || dib.height > 32767) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const bool indexed = bits <= 8;
    if (indexed ? (dib.palette.empty() || dib.palette.size() > (1u << bits)) : !dib.palette.empty()) return false;
    const std::size_t stride = DeviceIndependentImage::rowBytes(dib.width, bits);
    if (dib.rows.size() != stride * static_cast<std::size_t>(dib.height)) return false;
    QImage img(dib.width, dib.height, indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (img.isNull()) return false;
    if (indexed) {
        QList<QRgb> table;
        for (uint32_t c : dib.palette) table.push_back(qRgb(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF));
        img.setColorTable(table);
    }
    for (int y = 0; y < dib.height; ++y) {
        // Rows are stored bottom first.
        const uint8_t* row = dib.rows.data() + stride * static_cast<std::size_t>(dib.height - 1 - y);
        uchar* dst = img.scanLine(y);
        for (int x = 0; x < dib.width; ++x) {
            if (indexed) {
                int v = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF : (row[x / 8] >> (7 - x % 8)) & 1;
                if (static_cast<std::size_t>(v) >= dib.palette.size()) return false;
                dst[x] = static_cast<uchar>(v);
            } else {
                const uint8_t* p = row + static_cast<std::size_t>(x) * (bits / 8);
                reinterpret_cast<QRgb*>(dst)[x] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    out = makeBitmap(img, bits);
    return true;
}

DeviceIndependentImage dibFromBitmap(const Bitmap& b) {
    DeviceIndependentImage dib;
    const QImage& src = bitmapImage(b);
    if (src.isNull()) {
        dib.width = dib.height = 0;
        return dib;
    }
    int bits = b.getBitCount();
    const bool indexed = bits <= 8 && src.format() == QImage::Format_Indexed8 &&
                         src.colorCount() <= (1 << bits) && (bits == 1 || bits == 4 || bits == 8);
    if (!indexed) bits = bits == 32 ? 32 : 24;
    dib.width = src.width();
    dib.height = src.height();
    dib.bitCount = bits;
    const std::size_t stride = DeviceIndependentImage::rowBytes(dib.width, bits);
    dib.rows.assign(stride * static_cast<std::size_t>(dib.height), 0);
    if (indexed)
        for (QRgb c : src.colorTable()) dib.palette.push_back(static_cast<uint32_t>(qRed(c) << 16 | qGreen(c) << 8 | qBlue(c)));
    const QImage rgb = indexed ? src : src.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < dib.height; ++y) {
        uint8_t* row = dib.rows.data() + stride * static_cast<std::size_t>(dib.height - 1 - y);
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < dib.width; ++x) {
            if (indexed) {
                const uint8_t v = line[x];
                if (bits == 8) row[x] = v;
                else if (bits == 4) row[x / 2] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
                else row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
            } else {
                const QRgb c = reinterpret_cast<const QRgb*>(line)[x];
                uint8_t* p = row + static_cast<std::size_t>(x) * (bits / 8);
                p[0] = static_cast<uint8_t>(qBlue(c));
                p[1] = static_cast<uint8_t>(qGreen(c));
                p[2] = static_cast<uint8_t>(qRed(c));
            }
        }
    }
    return dib;
}

}  // namespace gui
