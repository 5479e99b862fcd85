// write_gif: a bitmap as the HTML export's picture source, written by its GIF path.

#include "app/write_gif.h"

#include <ostream>

#include "document/export/HtmlExporter.h"
#include "platform/gui/Bitmap.h"

namespace {

class BitmapPicture : public HtmlPictureSource {
public:
    explicit BitmapPicture(const Bitmap& bitmap) : bitmap_(bitmap), size_(bitmap.getSizePixel()) {}
    int pixelWidth() const override { return size_.width; }
    int pixelHeight() const override { return size_.height; }
    std::uint32_t pixelColor(int x, int y) const override {
        Color c = bitmap_.getPixel(Point(x, y));
        // Components are 16-bit; the picture's are the high bytes.
        return (std::uint32_t(c.getRed() >> 8) << 16) | (std::uint32_t(c.getGreen() >> 8) << 8) | (c.getBlue() >> 8);
    }

private:
    const Bitmap& bitmap_;
    Size size_;
};

}  // namespace

bool write_gif(std::ostream& stream, const Bitmap& bitmap, unsigned flags) {
    if (bitmap.isEmpty()) return false;
    BitmapPicture picture(bitmap);
    return write_picture_gif(stream, picture, flags);
}
