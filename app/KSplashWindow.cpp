#include "app/KSplashWindow.h"

#include <cmath>
#include <utility>

#include "platform/gui/Application.h"

namespace {

KSplashWindow::PictureSource& pictureSource() {
    static KSplashWindow::PictureSource source;
    return source;
}

constexpr int kSplashWidth = 520;
constexpr int kSplashHeight = 316;

}  // namespace

void KSplashWindow::setPictureSource(PictureSource source) { pictureSource() = std::move(source); }

// The program's picture: a deep blue field shading into teal, crossed by the curve of a damped
// wave drawn in gold, with a light frame.  Colours 0-191 are the field's shades, 192-223 the
// wave's, 224-255 the frame's.
std::optional<SplashPicture> KSplashWindow::programPicture() {
    SplashPicture pic;
    DeviceIndependentImage& img = pic.image;
    img.width = kSplashWidth;
    img.height = kSplashHeight;
    img.bitCount = 8;
    img.palette.resize(256);
    for (int i = 0; i < 192; ++i) {
        unsigned r = 8 + i / 8, g = 24 + i * 100 / 191, b = 80 + i * 90 / 191;
        img.palette[i] = r << 16 | g << 8 | b;
    }
    for (int i = 0; i < 32; ++i) img.palette[192 + i] = (200u + i) << 16 | (150u + i * 3) << 8 | 40u;
    for (int i = 0; i < 32; ++i) img.palette[224 + i] = (190u + i * 2) << 16 | (200u + i) << 8 | (220u + i);
    pic.colorsUsed = 256;
    const std::size_t stride = DeviceIndependentImage::rowBytes(img.width, 8);
    img.rows.assign(stride * img.height, 0);
    for (int y = 0; y < img.height; ++y) {
        uint8_t* row = &img.rows[(img.height - 1 - y) * stride];   // rows bottom first
        for (int x = 0; x < img.width; ++x) {
            int shade = (x * 120 / img.width) + (y * 71 / img.height);
            row[x] = static_cast<uint8_t>(shade > 191 ? 191 : shade);
            if (x < 6 || y < 6 || x >= img.width - 6 || y >= img.height - 6)
                row[x] = static_cast<uint8_t>(224 + (x + y) % 32);
        }
    }
    for (int x = 20; x < img.width - 20; ++x) {
        double t = (x - 20) / 40.0;
        double v = std::exp(-t / 8.0) * std::sin(t * 1.7);
        int cy = img.height / 2 + static_cast<int>(v * 110);
        for (int dy = -2; dy <= 2; ++dy) {
            int y = cy + dy;
            if (y < 8 || y >= img.height - 8) continue;
            img.rows[(img.height - 1 - y) * stride + x] = static_cast<uint8_t>(192 + (x / 4) % 32);
        }
    }
    return pic;
}

unsigned KSplashWindow::paletteColorCount(int bitCount, unsigned colorsUsed) {
    if (colorsUsed != 0) return colorsUsed;
    return bitCount <= 8 ? 1u << bitCount : 0u;
}

Point KSplashWindow::centredPosition(const Size& screen, const Size& picture) {
    long x = (screen.width - picture.width) / 2;
    long y = (screen.height - picture.height) / 2;
    return Point(x & ~7L, y);
}

KSplashWindow::KSplashWindow() : WorkWindow(nullptr, WB_CHILD_PLAIN) {
    const PictureSource& source = pictureSource();
    std::optional<SplashPicture> pic = source ? source() : programPicture();
    if (pic) {
        Bitmap made;
        if (gui::bitmapFromDib(pic->image, made)) {
            picture_ = made;
            bitmap_ = made;
            unsigned count = paletteColorCount(pic->image.bitCount, pic->colorsUsed);
            // The colour table holds at most as many entries as the image has; a count beyond
            // it takes what is there.
            std::size_t have = pic->image.palette.size();
            for (std::size_t i = 0; i < count && i < have; ++i) {
                uint32_t rgb = pic->image.palette[i];
                palette_.colors.push_back(Color::fromRGB8(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff));
            }
        }
    }
    Size size = picture_.isEmpty() ? Size(kSplashWidth, kSplashHeight) : picture_.getSizePixel();
    setPosSizePixel(centredPosition(System::getScreenSize(), size), size);
    if (hasPalette()) setPalette(palette_);
    drawPicture();
}

KSplashWindow::~KSplashWindow() { hide(); }

void KSplashWindow::drawPicture() {
    if (bitmap_.isEmpty()) return;
    drawBitmap(Point(0, 0), bitmap_);
    // The product's name over the lower part of the picture.
    Font name(String("Times New Roman"), Size(0, 30));
    name.setColor(Color::fromRGB8(255, 255, 255));
    name.setTransparent(true);
    setFont(name);
    drawText(Point(28, bitmap_.getSizePixel().height - 84), String("Kelvo"));
    Font release(String("Arial"), Size(0, 14));
    release.setColor(Color::fromRGB8(230, 210, 120));
    release.setTransparent(true);
    setFont(release);
    drawText(Point(30, bitmap_.getSizePixel().height - 40), String("Release 5"));
}

void KSplashWindow::mouseButtonDown(const MouseEvent&) { hide(); }
void KSplashWindow::keyInput(const KeyEvent&) { hide(); }
void KSplashWindow::paint(const Rectangle&) { drawPicture(); }
