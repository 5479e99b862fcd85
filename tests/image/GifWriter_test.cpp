// GIF writer: every stream is read back twice, by giflib and by a strict walker written here
// (container layout, sub-blocks, LZW code widths and clear codes), and the pixels must come
// back through the colour table.

#include "image/GifWriter.h"

#include "image/ColourQuantiser.h"
#include "tests/image/GifStreamWalk.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- pictures and the writer ------------------------------------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

using Generator = std::function<std::uint32_t(int x, int y)>;

Picture makePicture(int width, int height, const Generator& generate)
{
    Picture picture{width, height, {}};
    picture.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(generate(x, y));
    return picture;
}

std::uint32_t pixelOf(void* userData, int x, int y)
{
    const auto* picture = static_cast<const Picture*>(userData);
    if (x < 0 || y < 0 || x >= picture->width || y >= picture->height) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") asked outside the picture";
        return 0;
    }
    return picture->at(x, y);
}

// Collects the stream; refuses the byte at position failAt (when >= 0) and counts every call.
struct Sink {
    std::vector<std::uint8_t> bytes;
    long calls = 0;
    long failAt = -1;

    GifByteSink function()
    {
        return [this](std::uint8_t byte) {
            if (calls++ == failAt)
                return false;
            bytes.push_back(byte);
            return true;
        };
    }
};

GifStatus writePicture(Sink& sink, const Picture& picture, unsigned flags,
                       const GifColourList* colours = nullptr)
{
    return gif_write(sink.function(), pixelOf, const_cast<Picture*>(&picture), colours,
                     picture.height, picture.width, flags);
}

// Ends whatever animation an earlier test left behind: a failed animation call clears it.
void endAnySequence()
{
    Sink sink;
    Picture none;
    EXPECT_EQ(gif_write(sink.function(), pixelOf, &none, nullptr, 0, 0, gifAnimation),
              GifStatus::emptyPicture);
}

using gif_walk::Clear;
using gif_walk::Walk;
using gif_walk::WalkedFrame;
using gif_walk::walkStream;

// ---- giflib ----------------------------------------------------------------------------

struct GiflibImage {
    std::string error;
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<std::uint32_t> table;
    std::vector<std::vector<std::uint8_t>> frames;
    int loopCount = -1;   // from the NETSCAPE2.0 block, -1 when there is none
};

struct MemoryReader {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int n)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t left = reader->bytes->size() - reader->at;
    const std::size_t count = std::min(left, static_cast<std::size_t>(n));
    std::memcpy(out, reader->bytes->data() + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

GiflibImage decodeWithGiflib(const std::vector<std::uint8_t>& bytes)
{
    GiflibImage image;
    MemoryReader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readMemory, &error);
    if (!gif) {
        image.error = std::string("DGifOpen: ") + GifErrorString(error);
        return image;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        image.error = std::string("DGifSlurp: ") + GifErrorString(gif->Error);
    } else {
        image.screenWidth = gif->SWidth;
        image.screenHeight = gif->SHeight;
        if (gif->SColorMap)
            for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
                const GifColorType c = gif->SColorMap->Colors[i];
                image.table.push_back(std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 |
                                      c.Blue);
            }
        for (int f = 0; f < gif->ImageCount; ++f) {
            const SavedImage& saved = gif->SavedImages[f];
            const std::size_t n = static_cast<std::size_t>(saved.ImageDesc.Width) *
                                  static_cast<std::size_t>(saved.ImageDesc.Height);
            image.frames.emplace_back(saved.RasterBits, saved.RasterBits + n);
            for (int e = 0; e + 1 < saved.ExtensionBlockCount; ++e) {
                const ExtensionBlock& block = saved.ExtensionBlocks[e];
                const ExtensionBlock& data = saved.ExtensionBlocks[e + 1];
                if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                    std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3 &&
                    data.Bytes[0] == 1)
                    image.loopCount = data.Bytes[1] | data.Bytes[2] << 8;
            }
        }
    }
    DGifCloseFile(gif, &error);
    return image;
}

int tableBitsFor(std::size_t quantised)
{
    int k = 1;
    while ((std::size_t{1} << k) < quantised + 2)
        ++k;
    return k;
}

// Checks a frame's pixels came back exactly through the table, black as 0 and white as 1.
// Holds for pictures of at most 254 colours (black and white included) apart in their top
// seven bits: the quantiser then merges nothing.
void expectExactPixels(const Picture& picture, const std::vector<std::uint32_t>& table,
                       const std::vector<std::uint8_t>& indices)
{
    ASSERT_EQ(indices.size(), picture.pixels.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::uint32_t colour = picture.pixels[i] & 0xFFFFFF;
        ASSERT_LT(indices[i], table.size());
        ASSERT_EQ(table[indices[i]], colour) << "pixel " << i;
        if (colour == 0) {
            ASSERT_EQ(indices[i], 0) << "pixel " << i;
        }
        if (colour == 0xFFFFFF) {
            ASSERT_EQ(indices[i], 1) << "pixel " << i;
        }
    }
}

std::set<std::uint32_t> coloursOf(const Picture& picture)
{
    std::set<std::uint32_t> colours;
    for (std::uint32_t pixel : picture.pixels)
        colours.insert(pixel & 0xFFFFFF);
    return colours;
}

Generator noise(const std::vector<std::uint32_t>& colours, unsigned seed)
{
    auto random = std::make_shared<std::mt19937>(seed);
    return [colours, random](int, int) { return colours[(*random)() % colours.size()]; };
}

// Colours apart in their top seven bits (the quantiser ignores the lowest), never black or
// white: exact through the palette while there are at most 254 with black and white.
std::vector<std::uint32_t> distinctColours(int count)
{
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 1; i <= static_cast<std::uint32_t>(count); ++i)
        colours.push_back((i % 128) * 2 << 8 | (0x40 + 2 * (i / 128)));
    return colours;
}

class GifWriterTest : public ::testing::Test {
protected:
    void SetUp() override { endAnySequence(); }
    void TearDown() override { endAnySequence(); }
};

// ---- single pictures ------------------------------------------------------------------------

TEST_F(GifWriterTest, SinglePicturesRoundTripThroughThePalette)
{
    const std::vector<std::uint32_t> forty = [] {
        std::vector<std::uint32_t> colours;
        for (std::uint32_t i = 0; i < 40; ++i)
            colours.push_back((i * 6 + 1) << 16 | (250 - i * 5) << 8 | (i * 37 % 256));
        return colours;
    }();
    const std::vector<std::uint32_t> many = distinctColours(254);
    struct Row { const char* name; int width; int height; Generator generate; };
    const Row rows[] = {
        {"1x1 red", 1, 1, [](int, int) { return 0xFF0000u; }},
        {"1x1 black", 1, 1, [](int, int) { return 0x000000u; }},
        {"1x1 white", 1, 1, [](int, int) { return 0xFFFFFFu; }},
        {"top byte ignored", 2, 2, [](int x, int) { return x ? 0xAB00FF00u : 0xFF000000u; }},
        {"black and white only, 7x3", 7, 3,
         [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFu : 0u; }},
        {"odd 13x7, forty colours", 13, 7,
         [&](int x, int y) { return forty[static_cast<std::size_t>(x * 7 + y * 3) % 40]; }},
        {"254 colours fill the table", 127, 2,
         [&](int x, int y) { return many[static_cast<std::size_t>(y * 127 + x)]; }},
        {"wide 300x1", 300, 1, [](int x, int) { return static_cast<std::uint32_t>(x / 3 * 2) << 16; }},
        {"tall 1x300", 1, 300, [](int, int y) { return static_cast<std::uint32_t>(y % 50 * 2 + 1); }},
        {"widest 65535x1", 65535, 1,
         [](int x, int) { return static_cast<std::uint32_t>(x % 100 * 2 + 2) << 8; }},
        {"tallest 1x65535", 1, 65535, [](int, int y) { return y % 3 ? 0xFFFFFFu : 0x808080u; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Picture picture = makePicture(row.width, row.height, row.generate);
        Sink sink;
        ASSERT_EQ(writePicture(sink, picture, 0), GifStatus::ok);

        const Walk walk = walkStream(sink.bytes);
        ASSERT_EQ(walk.error, "");
        const std::set<std::uint32_t> colours = coloursOf(picture);
        const int k = tableBitsFor(colours.size());
        EXPECT_EQ(walk.screenWidth, row.width);
        EXPECT_EQ(walk.screenHeight, row.height);
        EXPECT_EQ(walk.packed, 0xF0 | (k - 1));
        EXPECT_EQ(walk.background, 0);
        EXPECT_EQ(walk.aspect, 0);
        ASSERT_EQ(walk.table.size(), std::size_t{1} << k);
        EXPECT_EQ(walk.table[0], 0x000000u);
        EXPECT_EQ(walk.table[1], 0xFFFFFFu);
        const std::set<std::uint32_t> quantised(walk.table.begin() + 2,
                                                walk.table.begin() + 2 +
                                                    static_cast<long>(colours.size()));
        EXPECT_EQ(quantised, colours);
        for (std::size_t i = colours.size() + 2; i < walk.table.size(); ++i)
            EXPECT_EQ(walk.table[i], 0u) << "padding entry " << i;
        EXPECT_EQ(walk.loopExtensions, 0);
        EXPECT_EQ(walk.otherExtensions, 0);
        EXPECT_TRUE(walk.trailer);
        ASSERT_EQ(walk.frames.size(), 1u);
        EXPECT_EQ(walk.frames[0].width, row.width);
        EXPECT_EQ(walk.frames[0].height, row.height);
        EXPECT_EQ(walk.frames[0].minCodeSize, std::max(k, 2));
        expectExactPixels(picture, walk.table, walk.frames[0].indices);

        const GiflibImage gif = decodeWithGiflib(sink.bytes);
        ASSERT_EQ(gif.error, "");
        EXPECT_EQ(gif.screenWidth, row.width);
        EXPECT_EQ(gif.screenHeight, row.height);
        EXPECT_EQ(gif.table, walk.table);
        EXPECT_EQ(gif.loopCount, -1);
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_EQ(gif.frames[0], walk.frames[0].indices);
    }
}

TEST_F(GifWriterTest, OneRedPixelIsThisExactStream)
{
    // Table of 4 (red + black + white needs 3 entries); LZW at 3 bits: clear 4, index 2, end 5
    // pack least significant bit first into 0x54 0x01.
    const std::vector<std::uint8_t> expected = {
        'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xF1, 0, 0,
        0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0,
        0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,
        2, 2, 0x54, 0x01, 0,
        0x3B};
    const Picture picture = makePicture(1, 1, [](int, int) { return 0xFF0000u; });
    Sink sink;
    ASSERT_EQ(writePicture(sink, picture, 0), GifStatus::ok);
    EXPECT_EQ(sink.bytes, expected);
}

TEST_F(GifWriterTest, ColourListsReplaceThePixelWalk)
{
    const Picture picture = makePicture(4, 3, [](int x, int y) {
        const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x000000, 0xFFFFFF};
        return colours[(x + y) % 4];
    });
    const std::uint32_t redOnly[] = {0xFF0000};
    const std::uint32_t redGreen[] = {0x00FF00, 0xFF0000};
    struct Row {
        const char* name;
        GifColourList list;
        std::vector<std::uint32_t> table;
        std::map<std::uint32_t, int> indexOf;   // picture colour -> expected index
        int minCodeSize;
    };
    const Row rows[] = {
        // Green's path is missing from the tree, so it lands on index 0 + 2: red.
        {"one listed colour", {1, redOnly}, {0, 0xFFFFFF, 0xFF0000, 0},
         {{0xFF0000, 2}, {0x00FF00, 2}, {0, 0}, {0xFFFFFF, 1}}, 2},
        {"two listed colours", {2, redGreen}, {0, 0xFFFFFF, 0x00FF00, 0xFF0000},
         {{0xFF0000, 3}, {0x00FF00, 2}, {0, 0}, {0xFFFFFF, 1}}, 2},
        // No quantised colours: a table of two, written with the smallest code size decoders
        // accept; other colours fall back to black.
        {"empty list", {0, nullptr}, {0, 0xFFFFFF},
         {{0xFF0000, 0}, {0x00FF00, 0}, {0, 0}, {0xFFFFFF, 1}}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Sink sink;
        ASSERT_EQ(writePicture(sink, picture, 0, &row.list), GifStatus::ok);
        const Walk walk = walkStream(sink.bytes);
        ASSERT_EQ(walk.error, "");
        EXPECT_EQ(walk.table, row.table);
        EXPECT_EQ(walk.packed & 7, tableBitsFor(row.table.size() - 2) - 1);
        ASSERT_EQ(walk.frames.size(), 1u);
        EXPECT_EQ(walk.frames[0].minCodeSize, row.minCodeSize);
        for (std::size_t i = 0; i < picture.pixels.size(); ++i)
            EXPECT_EQ(walk.frames[0].indices[i], row.indexOf.at(picture.pixels[i]))
                << "pixel " << i;
        const GiflibImage gif = decodeWithGiflib(sink.bytes);
        ASSERT_EQ(gif.error, "");
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_EQ(gif.frames[0], walk.frames[0].indices);
    }
}

// Noise fills the string table: codes must widen step by step to 12 bits and a clear code
// must come exactly when the decoder's table is full, after which codes restart narrow.
TEST_F(GifWriterTest, NoiseFillsTheCodeTableAndClears)
{
    std::vector<std::uint32_t> withBlackWhite = distinctColours(252);
    withBlackWhite.push_back(0);
    withBlackWhite.push_back(0xFFFFFF);
    struct Row { const char* name; int width; int height; Generator generate; bool exact; };
    std::mt19937 random(5);
    const Row rows[] = {
        {"254 colours", 256, 256, noise(withBlackWhite, 1), true},
        {"black and white", 320, 240, noise({0, 0xFFFFFF}, 2), true},
        {"five colours, odd size", 333, 111, noise({0, 0xFFFFFF, 0x102030, 0xC0C0C0, 0x0000FF}, 3),
         true},
        {"every pixel its own colour", 256, 256,
         [](int x, int y) { return static_cast<std::uint32_t>(y * 256 + x) * 0x9E3779u & 0xFFFFFF; },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Picture picture = makePicture(row.width, row.height, row.generate);
        Sink sink;
        ASSERT_EQ(writePicture(sink, picture, 0), GifStatus::ok);
        const Walk walk = walkStream(sink.bytes);
        ASSERT_EQ(walk.error, "");
        ASSERT_EQ(walk.frames.size(), 1u);
        const WalkedFrame& frame = walk.frames[0];
        EXPECT_EQ(frame.widestCode, 12);
        ASSERT_FALSE(frame.clears.empty());
        for (const Clear& clear : frame.clears) {
            EXPECT_EQ(clear.nextCode, 4096);
            EXPECT_EQ(clear.width, 12);
        }
        if (row.exact) {
            expectExactPixels(picture, walk.table, frame.indices);
        } else {
            // More colours than the table holds: the indices are the quantiser's.
            OctreeHandle quantiser = octree_new(254);
            ASSERT_TRUE(quantiser);
            for (std::uint32_t pixel : picture.pixels)
                ASSERT_TRUE(octree_add_colour(*quantiser, pixel));
            const auto palette = octree_palette(*quantiser);
            ASSERT_EQ(walk.table.size(), 256u);
            EXPECT_TRUE(std::equal(palette.begin(), palette.end(), walk.table.begin() + 2));
            for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
                const std::uint32_t colour = picture.pixels[i];
                const int expected = colour == 0 ? 0 : colour == 0xFFFFFF
                                                           ? 1
                                                           : octree_lookup(*quantiser, colour) + 2;
                ASSERT_EQ(frame.indices[i], expected) << "pixel " << i;
            }
        }
        const GiflibImage gif = decodeWithGiflib(sink.bytes);
        ASSERT_EQ(gif.error, "");
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_EQ(gif.frames[0], frame.indices);
    }
}

// The end code must come at the width a decoder reads it with: after the last prefix the
// decoder's table may reach the next width.  Every length of a strip lands the end somewhere
// else, on a width boundary among them.
TEST_F(GifWriterTest, EndCodeFollowsTheLastWidening)
{
    struct Row { const char* name; std::vector<std::uint32_t> colours; };
    const Row rows[] = {
        {"black and white", {0, 0xFFFFFF}},
        {"six colours", {0, 0xFFFFFF, 0x200000, 0x002000, 0x000020, 0x202020}},
        {"120 colours", distinctColours(120)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int length = 1; length <= 600; ++length) {
            const Picture picture =
                makePicture(length, 1, noise(row.colours, static_cast<unsigned>(length)));
            Sink sink;
            ASSERT_EQ(writePicture(sink, picture, 0), GifStatus::ok);
            const Walk walk = walkStream(sink.bytes);
            ASSERT_EQ(walk.error, "") << "length " << length;
            ASSERT_EQ(walk.frames.size(), 1u);
            expectExactPixels(picture, walk.table, walk.frames[0].indices);
        }
    }
}

// ---- animations ----------------------------------------------------------------------------

TEST_F(GifWriterTest, AnimationsShareOnePaletteAndLoop)
{
    const std::vector<Picture> frames = {
        makePicture(9, 5, [](int x, int) { return x < 4 ? 0xFF0000u : 0xFFFFFFu; }),
        makePicture(9, 5, [](int, int y) { return y % 2 ? 0x00FF00u : 0u; }),
        makePicture(9, 5, [](int x, int y) { return static_cast<std::uint32_t>(x * 9 + y + 1) * 2; }),
        makePicture(3, 2, [](int, int) { return 0x0000FFu; }),
    };
    std::vector<std::uint32_t> listColours;
    for (const Picture& frame : frames)
        for (std::uint32_t colour : coloursOf(frame))
            listColours.push_back(colour);
    const GifColourList list{listColours.size(), listColours.data()};
    const Picture other = makePicture(2, 2, [](int, int) { return 0x123456u; });

    struct Row { const char* name; std::size_t frameCount; bool byList; bool singleBetween; };
    const Row rows[] = {
        {"two frames", 2, false, false},
        {"four frames", 4, false, false},
        {"palette from a colour list", 3, true, false},
        {"a single picture between frames leaves the animation alone", 3, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Sink sink;
        for (std::size_t i = 0; i < (row.byList ? 1 : row.frameCount); ++i) {
            const unsigned flags = gifAnimation | gifPalettePass | (i == 0 ? gifFirstFrame : 0u);
            ASSERT_EQ(writePicture(sink, frames[i], flags, row.byList ? &list : nullptr),
                      GifStatus::ok);
        }
        EXPECT_EQ(sink.calls, 0) << "a palette pass wrote bytes";
        for (std::size_t i = 0; i < row.frameCount; ++i) {
            unsigned flags = gifAnimation;
            if (i == 0)
                flags |= gifFirstFrame;
            if (i + 1 == row.frameCount)
                flags |= gifLastFrame;
            ASSERT_EQ(writePicture(sink, frames[i], flags), GifStatus::ok);
            if (row.singleBetween && i == 0) {
                Sink aside;
                ASSERT_EQ(writePicture(aside, other, 0), GifStatus::ok);
                EXPECT_EQ(walkStream(aside.bytes).error, "");
            }
        }
        const Walk walk = walkStream(sink.bytes);
        ASSERT_EQ(walk.error, "");
        EXPECT_EQ(walk.screenWidth, 9);
        EXPECT_EQ(walk.screenHeight, 5);
        EXPECT_EQ(walk.loopExtensions, 1);
        EXPECT_EQ(walk.otherExtensions, 0);
        EXPECT_TRUE(walk.trailer);
        EXPECT_EQ(walk.table[0], 0u);
        EXPECT_EQ(walk.table[1], 0xFFFFFFu);
        ASSERT_EQ(walk.frames.size(), row.frameCount);
        const GiflibImage gif = decodeWithGiflib(sink.bytes);
        ASSERT_EQ(gif.error, "");
        EXPECT_EQ(gif.loopCount, 0);
        ASSERT_EQ(gif.frames.size(), row.frameCount);
        for (std::size_t i = 0; i < row.frameCount; ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            EXPECT_EQ(walk.frames[i].width, frames[i].width);
            EXPECT_EQ(walk.frames[i].height, frames[i].height);
            expectExactPixels(frames[i], walk.table, walk.frames[i].indices);
            EXPECT_EQ(gif.frames[i], walk.frames[i].indices);
        }
        // The last frame ended the sequence.
        Sink after;
        EXPECT_EQ(writePicture(after, frames[0], gifAnimation), GifStatus::noSequence);
    }
}

// ---- refusals and failures ---------------------------------------------------------------

TEST_F(GifWriterTest, RefusesBadCallsWithoutWriting)
{
    const Picture small = makePicture(4, 4, [](int x, int) { return x ? 0x112233u : 0u; });
    const Picture larger = makePicture(5, 4, [](int, int) { return 0x112233u; });
    const std::uint32_t colour = 0x112233;
    const GifColourList noColours{3, nullptr};
    const GifColourList oneColour{1, &colour};
    struct Call { const Picture* picture; int width; int height; unsigned flags;
                  const GifColourList* list = nullptr; bool pixels = true; };
    struct Row { const char* name; std::vector<Call> before; Call call; GifStatus status; };
    const unsigned A = gifAnimation;
    const Row rows[] = {
        {"zero width", {}, {&small, 0, 4, 0}, GifStatus::emptyPicture},
        {"zero height", {}, {&small, 4, 0, 0}, GifStatus::emptyPicture},
        {"negative size", {}, {&small, -4, -4, 0}, GifStatus::emptyPicture},
        {"width past 16 bits", {}, {&small, 65536, 1, 0}, GifStatus::pictureTooLarge},
        {"product past 31 bits", {}, {&small, 65536, 32768, 0}, GifStatus::pictureTooLarge},
        {"largest int height", {}, {&small, 1, 2147483647, 0}, GifStatus::pictureTooLarge},
        {"no pixel source", {}, {&small, 4, 4, 0, nullptr, false}, GifStatus::badArguments},
        {"list without its colours", {}, {&small, 4, 4, 0, &noColours},
         GifStatus::badArguments},
        {"frame without a palette pass", {}, {&small, 4, 4, A | gifFirstFrame},
         GifStatus::noSequence},
        {"palette pass that is not first", {}, {&small, 4, 4, A | gifPalettePass},
         GifStatus::noSequence},
        {"later frame before the first", {{&small, 4, 4, A | gifPalettePass | gifFirstFrame}},
         {&small, 4, 4, A}, GifStatus::noSequence},
        {"frame larger than the first",
         {{&small, 4, 4, A | gifPalettePass | gifFirstFrame}, {&small, 4, 4, A | gifFirstFrame}},
         {&larger, 5, 4, A}, GifStatus::frameOutsideScreen},
        {"failed call ends the sequence",
         {{&small, 4, 4, A | gifPalettePass | gifFirstFrame}, {&small, 4, 4, A | gifFirstFrame},
          {&small, 0, 4, A}},
         {&small, 4, 4, A | gifLastFrame}, GifStatus::noSequence},
        {"palette pass with a list needs no pixels", {},
         {&small, 4, 4, A | gifPalettePass | gifFirstFrame, &oneColour, false}, GifStatus::ok},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        endAnySequence();
        const auto run = [](Sink& sink, const Call& call) {
            return gif_write(sink.function(), call.pixels ? pixelOf : nullptr,
                             const_cast<Picture*>(call.picture), call.list, call.height,
                             call.width, call.flags);
        };
        Sink setup;
        for (const Call& call : row.before)
            run(setup, call);
        Sink sink;
        EXPECT_EQ(run(sink, row.call), row.status);
        EXPECT_EQ(sink.calls, 0);
    }
}

TEST_F(GifWriterTest, StopsAtTheFirstRefusedByte)
{
    std::vector<std::uint32_t> colours = distinctColours(60);
    const Picture picture = makePicture(40, 30, noise(colours, 9));
    Sink whole;
    ASSERT_EQ(writePicture(whole, picture, 0), GifStatus::ok);
    const long length = static_cast<long>(whole.bytes.size());
    ASSERT_GT(length, 400);
    struct Row { const char* name; long failAt; };
    const Row rows[] = {
        {"first byte", 0},          {"in the header", 4},      {"in the screen size", 7},
        {"in the colour table", 20}, {"block length", 13 + 3 * 64 + 11}, {"in the data", 300},
        {"at a block boundary", 13 + 3 * 64 + 11 + 256}, {"trailer", length - 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Sink sink;
        sink.failAt = row.failAt;
        EXPECT_EQ(writePicture(sink, picture, 0), GifStatus::sinkFailed);
        EXPECT_EQ(sink.calls, row.failAt + 1) << "bytes offered after the refusal";
        EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), whole.bytes.begin()));
    }

    // A refused frame ends its animation.
    Sink palette;
    ASSERT_EQ(writePicture(palette, picture, gifAnimation | gifPalettePass | gifFirstFrame),
              GifStatus::ok);
    Sink failing;
    failing.failAt = 50;
    EXPECT_EQ(writePicture(failing, picture, gifAnimation | gifFirstFrame),
              GifStatus::sinkFailed);
    Sink after;
    EXPECT_EQ(writePicture(after, picture, gifAnimation | gifLastFrame), GifStatus::noSequence);
    EXPECT_EQ(after.calls, 0);
}

} // namespace
