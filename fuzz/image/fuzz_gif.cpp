// Fuzz target of the GIF writer: arbitrary bytes choose the size, the flags, a colour list,
// a refusing sink and the pixels.  Every call must end, stop writing at a refused byte, and
// every stream it completes must be well formed: container, sub-blocks, LZW data decoding to
// width x height indices inside the colour table, black as 0 and white as 1.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image/GifWriter.h"
#include "tests/image/GifStreamWalk.h"

namespace {

// Bounds a picture's area so that one input stays fast; sizes outside the format still reach
// the writer, which refuses them before allocating.
constexpr long maxArea = 1L << 16;

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    int u16() { return byte() | byte() << 8; }
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> colours;   // cycled over the pixels
    unsigned stride = 1;
    long asked = 0;
};

std::uint32_t pixelOf(void* userData, int x, int y)
{
    auto* picture = static_cast<Picture*>(userData);
    if (x < 0 || y < 0 || x >= picture->width || y >= picture->height)
        std::abort();   // asked outside the picture
    ++picture->asked;
    if (picture->colours.empty())
        return 0;
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture->width) +
                           static_cast<std::size_t>(x)) * picture->stride;
    return picture->colours[i % picture->colours.size()];
}

struct Sink {
    std::vector<std::uint8_t> bytes;
    long calls = 0;
    long failAt = -1;
    bool refused = false;

    GifByteSink function()
    {
        return [this](std::uint8_t byte) {
            if (refused)
                std::abort();   // a byte offered after a refusal
            if (calls++ == failAt) {
                refused = true;
                return false;
            }
            bytes.push_back(byte);
            return true;
        };
    }
};

void readSize(Input& in, int& width, int& height)
{
    const std::uint8_t form = in.byte();
    width = in.u16();
    height = in.u16();
    switch (form % 8) {
    case 0: width = -width; break;
    case 1: height += 65536; break;
    default: break;
    }
    if (width > 0 && height > 0 && width <= gifMaxSide && height <= gifMaxSide &&
        static_cast<long>(width) * height > maxArea)
        height = static_cast<int>(maxArea / width);
    if (height == 0 && (form & 16))
        height = 1;
}

void readColours(Input& in, std::vector<std::uint32_t>& colours, std::size_t count)
{
    for (std::size_t i = 0; i < count && in.at + 4 <= in.size; ++i) {
        const std::uint32_t c = std::uint32_t{in.byte()} << 16 | std::uint32_t{in.byte()} << 8 |
                                in.byte();
        colours.push_back((in.byte() & 1) ? c | 0xFF000000u : c);
    }
}

// Checks a finished stream of `frames` pictures; aborts on any fault.
void checkStream(const std::vector<std::uint8_t>& bytes, const std::vector<Picture>& frames,
                 bool loop)
{
    const gif_walk::Walk walk = gif_walk::walkStream(bytes);
    if (!walk.error.empty() || !walk.trailer || walk.frames.size() != frames.size() ||
        walk.loopExtensions != (loop ? 1 : 0) || walk.otherExtensions != 0 ||
        walk.table.size() < 2 || walk.table[0] != 0 || walk.table[1] != 0xFFFFFF) {
        std::fprintf(stderr, "malformed stream: %s (%zu frames, %d loop blocks)\n",
                     walk.error.c_str(), walk.frames.size(), walk.loopExtensions);
        std::abort();
    }
    for (std::size_t f = 0; f < frames.size(); ++f) {
        Picture probe = frames[f];
        const gif_walk::WalkedFrame& frame = walk.frames[f];
        if (frame.width != probe.width || frame.height != probe.height)
            std::abort();
        std::size_t i = 0;
        for (int y = 0; y < probe.height; ++y)
            for (int x = 0; x < probe.width; ++x, ++i) {
                const std::uint32_t colour = pixelOf(&probe, x, y) & 0xFFFFFF;
                const std::uint8_t index = frame.indices[i];
                if ((colour == 0 && index != 0) || (colour == 0xFFFFFF && index != 1))
                    std::abort();
            }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    const std::uint8_t mode = in.byte();
    const std::uint8_t failByte = in.byte();
    const std::uint8_t listLength = in.byte();
    const int frameCount = 1 + (mode >> 4) % 4;
    Sink sink;
    if (mode & 8)
        sink.failAt = failByte * 7;

    std::vector<std::uint32_t> listColours;
    GifColourList list;
    const bool useList = (mode & 4) != 0;
    if (useList) {
        readColours(in, listColours, listLength);
        list = {listColours.size(), listColours.data()};
    }

    std::vector<Picture> frames(static_cast<std::size_t>(frameCount));
    for (Picture& picture : frames) {
        readSize(in, picture.width, picture.height);
        picture.stride = 1 + in.byte() % 5;
    }
    // Flags of the calls in any order (the last mode).
    std::vector<unsigned> callFlags;
    if ((mode & 3) == 3)
        for (int i = 0; i < frameCount * 2; ++i)
            callFlags.push_back(in.byte());
    // The rest of the input is the pixels' colours, shared by all frames.
    std::vector<std::uint32_t> colours;
    readColours(in, colours, size);
    for (Picture& picture : frames)
        picture.colours = colours;

    switch (mode & 3) {
    case 0:
    case 1: {
        // One picture.
        Picture& picture = frames[0];
        const GifStatus status =
            gif_write(sink.function(), pixelOf, &picture, useList ? &list : nullptr,
                      picture.height, picture.width, (mode & 1) ? 0x7Fu & mode : 0u);
        if (status == GifStatus::ok)
            checkStream(sink.bytes, {picture}, false);
        else if (!sink.bytes.empty() && status != GifStatus::sinkFailed)
            std::abort();   // wrote part of a stream and then refused the call
        break;
    }
    case 2: {
        // An animation: palette passes, then frames.
        bool ok = true;
        for (int i = 0; i < frameCount && ok; ++i) {
            if (useList && i > 0)
                break;
            const unsigned flags = gifAnimation | gifPalettePass | (i == 0 ? gifFirstFrame : 0u);
            ok = gif_write(sink.function(), pixelOf, &frames[static_cast<std::size_t>(i)],
                           useList ? &list : nullptr, frames[static_cast<std::size_t>(i)].height,
                           frames[static_cast<std::size_t>(i)].width, flags) == GifStatus::ok;
        }
        if (sink.calls != 0)
            std::abort();   // a palette pass wrote
        for (int i = 0; i < frameCount && ok; ++i) {
            unsigned flags = gifAnimation;
            if (i == 0)
                flags |= gifFirstFrame;
            if (i + 1 == frameCount)
                flags |= gifLastFrame;
            Picture& picture = frames[static_cast<std::size_t>(i)];
            ok = gif_write(sink.function(), pixelOf, &picture, nullptr, picture.height,
                           picture.width, flags) == GifStatus::ok;
        }
        if (ok)
            checkStream(sink.bytes, frames, frameCount > 1);
        break;
    }
    default: {
        // Any order of calls with any flags: the sequence state must hold up.
        for (int i = 0; i < frameCount * 2; ++i) {
            Picture& picture = frames[static_cast<std::size_t>(i % frameCount)];
            const unsigned flags = callFlags[static_cast<std::size_t>(i)];
            Sink each;
            each.failAt = sink.failAt;
            const GifStatus status =
                gif_write(each.function(), pixelOf, &picture, useList ? &list : nullptr,
                          picture.height, picture.width, flags);
            if (status == GifStatus::ok && !(flags & gifAnimation))
                checkStream(each.bytes, {picture}, false);
        }
        // Leave no sequence behind for the next input.
        Picture none;
        gif_write(sink.function(), pixelOf, &none, nullptr, 0, 0, gifAnimation);
        break;
    }
    }
    if (mode & 2) {
        Picture none;
        gif_write(sink.function(), pixelOf, &none, nullptr, 0, 0, gifAnimation);
    }
    return 0;
}
