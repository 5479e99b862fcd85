// The picture holder: the lazily built off-screen device, sizes, reference devices, pixels read
// back, palette matching, and sizes too large to build.
#include "app/PictureHolder.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"

namespace {

const PictureColor kWhite{255, 255, 255, 0};
const PictureColor kNone{0, 0, 0, 0};

class PictureHolderTest : public ::testing::Test {
protected:
    void SetUp() override { gui::ensureApplication(); }

    PictureColor at(int32_t x, int32_t y) {
        PictureColor c{1, 2, 3, 4};
        holder.pixelColor(c, x, y);
        return c;
    }
    void paintRed(int32_t x, int32_t y) {
        holder.device()->drawPixel(Point(x, y), Color::fromRGB8(255, 0, 0));
    }

    PictureHolder holder;
};

TEST_F(PictureHolderTest, ADeviceIsBuiltWhenFirstNeededWithTheBackgroundColour) {
    holder.setSize(PictureSize{40, 30, 7});
    EXPECT_FALSE(holder.hasDevice());
    PictureSize s;
    holder.getSize(s);
    EXPECT_EQ(s, (PictureSize{40, 30, 7}));
    VirtualDevice* d = holder.device();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->getOutputSizePixel(), Size(40, 30));
    EXPECT_EQ(d->getBackgroundBrush(), Brush(Color(PictureHolder::kBackgroundColour), BRUSH_SOLID));
    EXPECT_EQ(at(0, 0), kWhite);
    EXPECT_EQ(at(39, 29), kWhite);
    paintRed(5, 6);
    EXPECT_EQ(at(5, 6), (PictureColor{255, 0, 0, 0}));
    Bitmap b;
    ASSERT_TRUE(holder.getBitmap(b));
    EXPECT_EQ(b.getSizePixel(), Size(40, 30));
    EXPECT_EQ(b.getPixel(Point(5, 6)), Color::fromRGB8(255, 0, 0));
    holder.releaseDevice();
    EXPECT_FALSE(holder.hasDevice());
}

TEST_F(PictureHolderTest, SizeChangesTouchTheDeviceOnlyWhenTheSizeDiffers) {
    holder.setSize(PictureSize{20, 20, 0});
    VirtualDevice* d = holder.device();
    paintRed(3, 3);
    holder.setSize(PictureSize{20, 20, 0});
    EXPECT_EQ(holder.device(), d);
    EXPECT_EQ(at(3, 3), (PictureColor{255, 0, 0, 0}));
    // Only the third value differs: still a new size, the device takes it.
    holder.setSize(PictureSize{20, 20, 1});
    holder.setSize(PictureSize{50, 10, 1});
    EXPECT_EQ(holder.device(), d);
    EXPECT_EQ(d->getOutputSizePixel(), Size(50, 10));
}

TEST_F(PictureHolderTest, ANewReferenceDeviceDropsThePicture) {
    holder.setSize(PictureSize{16, 16, 0});
    paintRed(1, 1);
    VirtualDevice reference;
    holder.setReferenceDevice(&reference);
    EXPECT_FALSE(holder.hasDevice());
    ASSERT_NE(holder.device(), nullptr);
    EXPECT_EQ(holder.device()->getOutputSizePixel(), Size(16, 16));
    EXPECT_EQ(holder.device()->getDPIX(), reference.getDPIX());
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(at(x, y), kWhite) << x << "," << y;
}

TEST_F(PictureHolderTest, PixelsOutsideTheDeviceAnswerZero) {
    holder.setSize(PictureSize{10, 8, 0});
    const struct {
        int32_t x, y;
    } outside[] = {{-1, 0}, {0, -1}, {10, 0}, {0, 8}, {INT32_MAX, 0}, {0, INT32_MIN}, {40000, 40000}};
    for (const auto& p : outside) EXPECT_EQ(at(p.x, p.y), kNone) << p.x << "," << p.y;
    EXPECT_EQ(at(9, 7), kWhite);
}

TEST_F(PictureHolderTest, SizesTooLargeBuildNoDevice) {
    const PictureSize tooLarge[] = {
        {100000, 100000, 0},
        {32768, 1, 0},
        {1, 32768, 0},
        {8000, 8000, 0},   // within 16 bits a side, beyond the memory bound
    };
    for (const PictureSize& s : tooLarge) {
        SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
        PictureHolder h;
        h.setSize(s);
        EXPECT_EQ(h.device(), nullptr);
        PictureColor c{9, 9, 9, 9};
        h.pixelColor(c, 0, 0);
        EXPECT_EQ(c, kNone);
        Bitmap b;
        EXPECT_FALSE(h.getBitmap(b));
        // An existing device asked to grow that far is dropped, not kept at its old size.
        h.setSize(PictureSize{10, 10, 0});
        ASSERT_NE(h.device(), nullptr);
        h.setSize(s);
        EXPECT_FALSE(h.hasDevice());
        EXPECT_EQ(h.device(), nullptr);
    }
}

TEST_F(PictureHolderTest, MatchedPaletteHoldsTheColoursTheDeviceShows) {
    PicturePalette pal;
    for (int i = 0; i < 256; ++i)
        pal.entries.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
    PicturePalette original = pal;
    EXPECT_EQ(holder.palette(), nullptr);
    holder.matchPalette(&pal);
    EXPECT_EQ(holder.palette(), &pal);
    ASSERT_EQ(pal.entries.size(), original.entries.size());
    for (std::size_t i = 0; i < pal.entries.size(); ++i) {
        // What a device filled with the original colour shows.
        const PicturePalette::Entry& o = original.entries[i];
        VirtualDevice shown;
        shown.setBackgroundBrush(Brush(Color::fromRGB8(o.red, o.green, o.blue)));
        shown.setOutputSizePixel(Size(1, 1));
        Color c = shown.getPixel(Point(0, 0));
        EXPECT_EQ(pal.entries[i], (PicturePalette::Entry{c.red8(), c.green8(), c.blue8()})) << i;
    }
}

}  // namespace
