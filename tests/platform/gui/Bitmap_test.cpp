// Bitmaps from device-independent images and back: depth, palette and rows survive; damaged
// images are refused.
#include "platform/gui/Bitmap.h"

#include <QImage>

#include <random>

#include <gtest/gtest.h>

namespace {

// An image of the given depth with pseudo-random pixels (seeded), padding bytes 0.
DeviceIndependentImage makeDib(int w, int h, int bits, std::size_t paletteSize, unsigned seed) {
    std::mt19937 rng(seed);
    DeviceIndependentImage d;
    d.width = w;
    d.height = h;
    d.bitCount = bits;
    for (std::size_t i = 0; i < paletteSize; ++i) d.palette.push_back(rng() & 0xFFFFFF);
    const std::size_t stride = DeviceIndependentImage::rowBytes(w, bits);
    d.rows.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* row = d.rows.data() + stride * y;
            if (bits <= 8) {
                const uint8_t v = static_cast<uint8_t>(rng() % paletteSize);
                if (bits == 8) row[x] = v;
                else if (bits == 4) row[x / 2] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
                else row[x / 8] |= static_cast<uint8_t>(v << (7 - x % 8));
            } else {
                for (int k = 0; k < 3; ++k) row[x * (bits / 8) + k] = static_cast<uint8_t>(rng());
            }
        }
    return d;
}

TEST(BitmapDib, RoundTripsKeepDepthPaletteAndRows) {
    struct Row {
        const char* name;
        int width, height, bits;
        std::size_t palette;
    } rows[] = {
        {"1-bit odd width", 13, 5, 1, 2},   {"1-bit one colour", 8, 2, 1, 1}, {"4-bit", 7, 3, 4, 16},
        {"4-bit short palette", 5, 4, 4, 3}, {"8-bit", 9, 6, 8, 256},         {"8-bit short palette", 3, 3, 8, 20},
        {"24-bit padded rows", 5, 4, 24, 0}, {"32-bit", 4, 3, 32, 0},
    };
    unsigned seed = 1;
    for (const Row& r : rows) {
        DeviceIndependentImage in = makeDib(r.width, r.height, r.bits, r.palette, seed++);
        Bitmap b;
        ASSERT_TRUE(gui::bitmapFromDib(in, b)) << r.name;
        EXPECT_EQ(b.getBitCount(), r.bits) << r.name;
        EXPECT_EQ(b.getSizePixel(), Size(r.width, r.height)) << r.name;
        DeviceIndependentImage out = gui::dibFromBitmap(b);
        EXPECT_EQ(out.bitCount, r.bits) << r.name;
        EXPECT_EQ(out.width, r.width) << r.name;
        EXPECT_EQ(out.height, r.height) << r.name;
        EXPECT_EQ(out.palette, in.palette) << r.name;
        EXPECT_EQ(out.rows, in.rows) << r.name;
        // A copy keeps them too.
        Bitmap copy = b;
        EXPECT_EQ(gui::dibFromBitmap(copy).rows, in.rows) << r.name;
    }
}

TEST(BitmapDib, RowsAreBottomFirstAndPaletteIsRgb) {
    DeviceIndependentImage d;
    d.width = 2;
    d.height = 2;
    d.bitCount = 8;
    d.palette = {0xFF0000, 0x0000FF};
    d.rows = {1, 1, 0, 0, 0, 0, 0, 0};  // bottom row blue, top row red
    Bitmap b;
    ASSERT_TRUE(gui::bitmapFromDib(d, b));
    EXPECT_EQ(b.getPixel(Point(0, 0)), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(b.getPixel(Point(1, 1)), Color::fromRGB8(0, 0, 255));
}

TEST(BitmapDib, DamagedImagesAreRefused) {
    auto good = [] { return makeDib(4, 2, 8, 4, 99); };
    struct Row {
        const char* name;
        DeviceIndependentImage dib;
    } rows[] = {
        {"zero width", [&] { auto d = good(); d.width = 0; return d; }()},
        {"huge height", [&] { auto d = good(); d.height = 40000; return d; }()},
        {"16 bits", [&] { auto d = good(); d.bitCount = 16; return d; }()},
        {"rows short", [&] { auto d = good(); d.rows.pop_back(); return d; }()},
        {"rows long", [&] { auto d = good(); d.rows.push_back(0); return d; }()},
        {"no palette", [&] { auto d = good(); d.palette.clear(); return d; }()},
        {"palette too big", [&] { auto d = makeDib(4, 2, 1, 2, 3); d.palette.push_back(0); return d; }()},
        {"index past palette", [&] { auto d = good(); d.rows[0] = 9; return d; }()},
        {"palette on 24 bits", [&] { auto d = makeDib(2, 2, 24, 0, 4); d.palette.push_back(1); return d; }()},
    };
    for (const Row& r : rows) {
        Bitmap b = gui::makeBitmap(QImage(), 24);
        EXPECT_FALSE(gui::bitmapFromDib(r.dib, b)) << r.name;
        EXPECT_TRUE(b.isEmpty()) << r.name;
    }
}

TEST(BitmapDib, DeviceCopiesAndEmptyBitmaps) {
    EXPECT_EQ(gui::dibFromBitmap(Bitmap()).width, 0);
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    DeviceIndependentImage d = gui::dibFromBitmap(gui::makeBitmap(img));
    EXPECT_EQ(d.bitCount, 24);
    EXPECT_TRUE(d.palette.empty());
    ASSERT_EQ(d.rows.size(), 2u * DeviceIndependentImage::rowBytes(3, 24));
    EXPECT_EQ(d.rows[0], 3);  // blue first
    EXPECT_EQ(d.rows[2], 1);
    EXPECT_EQ(d.rows[9], 0);  // padding
}

}  // namespace
