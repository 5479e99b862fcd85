// write_gif: a bitmap's pixels come back from giflib as they were.

#include "app/write_gif.h"

#include <gtest/gtest.h>
#include <gif_lib.h>

#include <sstream>

#include "platform/gdi/dib.h"
#include "platform/gui/Bitmap.h"

namespace {

// Reads a GIF from memory.
int readBytes(GifFileType* gif, GifByteType* out, int n) {
    auto* in = static_cast<std::istringstream*>(gif->UserData);
    in->read(reinterpret_cast<char*>(out), n);
    return static_cast<int>(in->gcount());
}

TEST(WriteGif, BitmapPixelsSurvive) {
    DeviceIndependentImage dib;
    dib.width = 3;
    dib.height = 2;
    dib.bitCount = 24;
    const std::uint32_t colours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    dib.rows.assign(DeviceIndependentImage::rowBytes(3, 24) * 2, 0);
    // Bottom-up rows of blue, green, red bytes.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::uint32_t c = colours[y * 3 + x];
            std::uint8_t* p = &dib.rows[(1 - y) * DeviceIndependentImage::rowBytes(3, 24) + x * 3];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    Bitmap bitmap;
    ASSERT_TRUE(gui::bitmapFromDib(dib, bitmap));
    std::ostringstream out;
    ASSERT_TRUE(write_gif(out, bitmap, 0));

    std::istringstream in(out.str());
    int error = 0;
    GifFileType* gif = DGifOpen(&in, readBytes, &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_EQ(gif->ImageCount, 1);
    for (int i = 0; i < 6; ++i) {
        const GifColorType& c = gif->SColorMap->Colors[gif->SavedImages[0].RasterBits[i]];
        EXPECT_EQ((std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue, colours[i]) << i;
    }
    DGifCloseFile(gif, &error);

    std::ostringstream empty;
    EXPECT_FALSE(write_gif(empty, Bitmap(), 0));
}

}  // namespace
