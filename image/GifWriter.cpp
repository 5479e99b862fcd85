// GifWriter: palette building, pixel mapping, the GIF89a container and its LZW coder.

#include "image/GifWriter.h"

#include "image/ColourQuantiser.h"

#include <array>
#include <memory>
#include <new>
#include <span>
#include <vector>

namespace {

constexpr int quantisedColours = 254;   // 256 table entries less black and white
constexpr int lzwMaxBits = 12;
constexpr int hashSlots = 7039;         // prime, above the 4096 codes a table can hold

// The shared quantiser of an animation, between its calls.
struct Sequence {
    OctreeHandle quantiser;
    bool started = false;                // the first frame (and the header) has been written
    int screenWidth = 0;
    int screenHeight = 0;
};

Sequence& sequenceSlot()
{
    static Sequence slot;
    return slot;
}

// The sink with its failure latched: after the first refused byte nothing more goes out.
class ByteOut {
public:
    explicit ByteOut(const GifByteSink& sink) : sink(sink) {}

    void put(std::uint8_t byte)
    {
        if (!failedFlag && !sink(byte))
            failedFlag = true;
    }
    void put16(int value)
    {
        put(static_cast<std::uint8_t>(value & 0xFF));
        put(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    void putText(const char* text)
    {
        while (*text)
            put(static_cast<std::uint8_t>(*text++));
    }
    bool failed() const { return failedFlag; }

private:
    const GifByteSink& sink;
    bool failedFlag = false;
};

// LZW coder with variable code sizes up to 12 bits.  The string table is an open-addressing
// hash: the key of (prefix code, next index) is prefix | index << 12, probed linearly from
// key mod hashSlots.  At most 4096 - clear - 2 entries are held, so a probe always meets the
// key or an empty slot.
class LzwCoder {
public:
    LzwCoder(ByteOut& out, int minCodeSize)
        : out(out), minCodeSize(minCodeSize), clearCode(1 << minCodeSize),
          endCode(clearCode + 1)
    {
        resetTable();
    }

    // indices holds at least one pixel.
    void compress(std::span<const std::uint8_t> indices)
    {
        writeCode(clearCode);
        int prefix = indices[0];
        for (std::size_t i = 1; i < indices.size() && !out.failed(); ++i) {
            const int index = indices[i];
            const std::int32_t key = prefix | index << lzwMaxBits;
            int slot = key % hashSlots;
            while (keys[static_cast<std::size_t>(slot)] != -1 &&
                   keys[static_cast<std::size_t>(slot)] != key)
                slot = slot + 1 == hashSlots ? 0 : slot + 1;
            if (keys[static_cast<std::size_t>(slot)] == key) {
                prefix = codes[static_cast<std::size_t>(slot)];
                continue;
            }
            writeCode(prefix);
            // A decoder runs one entry behind: having read this code, its next free code is
            // the coder's freeCode, and it widens when that reaches 2^codeSize.  The coder
            // widens at the same point, before it adds the entry.
            if (freeCode > (1 << codeSize) - 1 && codeSize == lzwMaxBits) {
                // The table is full: start over with a clear code; no entry is added.
                writeCode(clearCode);
                resetTable();
            } else {
                if (freeCode > (1 << codeSize) - 1)
                    ++codeSize;
                keys[static_cast<std::size_t>(slot)] = key;
                codes[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(freeCode++);
            }
            prefix = index;
        }
        writeCode(prefix);
        // The decoder adds an entry for this last prefix too, and may widen before it reads
        // the end code.
        if (freeCode > (1 << codeSize) - 1 && codeSize < lzwMaxBits)
            ++codeSize;
        writeCode(endCode);
        if (bitCount > 0)
            blockByte(static_cast<std::uint8_t>(bits & 0xFF));
        bits = 0;
        bitCount = 0;
        flushBlock();
    }

private:
    void resetTable()
    {
        keys.fill(-1);
        codeSize = minCodeSize + 1;
        freeCode = clearCode + 2;
    }

    // Codes are packed least significant bit first.
    void writeCode(int code)
    {
        bits |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += codeSize;
        while (bitCount >= 8) {
            blockByte(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    }

    void blockByte(std::uint8_t byte)
    {
        block[blockLength++] = byte;
        if (blockLength == block.size())
            flushBlock();
    }

    void flushBlock()
    {
        if (blockLength == 0)
            return;
        out.put(static_cast<std::uint8_t>(blockLength));
        for (std::size_t i = 0; i < blockLength; ++i)
            out.put(block[i]);
        blockLength = 0;
    }

    ByteOut& out;
    const int minCodeSize;
    const int clearCode;
    const int endCode;
    int codeSize = 0;
    int freeCode = 0;
    std::uint32_t bits = 0;    // pending bits, the oldest in the low end
    int bitCount = 0;
    std::array<std::uint8_t, 255> block{};
    std::size_t blockLength = 0;
    std::array<std::int32_t, hashSlots> keys{};
    std::array<std::int16_t, hashSlots> codes{};
};

void gif_lzw_compress(ByteOut& out, std::span<const std::uint8_t> indices, int minCodeSize)
{
    auto coder = std::make_unique<LzwCoder>(out, minCodeSize);
    coder->compress(indices);
}

struct ImageParts {
    std::span<const std::uint32_t> palette;   // the quantised colours, from index 2
    int tableBits;                            // k: the colour table has 2^k entries
    std::span<const std::uint8_t> indices;
    int width;
    int height;
    bool first;
    bool last;
    bool animation;
};

void gif_write_image(ByteOut& out, const ImageParts& image)
{
    if (image.first) {
        out.putText("GIF89a");
        out.put16(image.width);
        out.put16(image.height);
        out.put(static_cast<std::uint8_t>(0xF0 | (image.tableBits - 1)));
        out.put(0);   // background index
        out.put(0);   // aspect ratio
        const std::size_t entries = std::size_t{1} << image.tableBits;
        for (std::size_t i = 0; i < entries && !out.failed(); ++i) {
            std::uint32_t colour = 0;
            if (i == 1)
                colour = 0xFFFFFF;
            else if (i >= 2 && i - 2 < image.palette.size())
                colour = image.palette[i - 2];
            out.put(static_cast<std::uint8_t>(colour >> 16));
            out.put(static_cast<std::uint8_t>(colour >> 8));
            out.put(static_cast<std::uint8_t>(colour));
        }
        if (image.animation && !image.last) {
            out.put(0x21);
            out.put(0xFF);
            out.put(0x0B);
            out.putText("NETSCAPE2.0");
            for (std::uint8_t byte : {0x03, 0x01, 0x00, 0x00, 0x00})
                out.put(byte);
        }
    }
    out.put(0x2C);
    out.put16(0);
    out.put16(0);
    out.put16(image.width);
    out.put16(image.height);
    out.put(0);   // no local table, not interlaced
    // Decoders accept no minimum code size below 2; a two-entry table codes the same way.
    const int minCodeSize = image.tableBits < 2 ? 2 : image.tableBits;
    out.put(static_cast<std::uint8_t>(minCodeSize));
    if (!out.failed())
        gif_lzw_compress(out, image.indices, minCodeSize);
    out.put(0);   // block terminator
    if (image.last)
        out.put(0x3B);
}

bool addColours(Octree& quantiser, const GifColourList* colours, GifPixelSource pixel,
                void* userData, int height, int width)
{
    if (colours) {
        for (std::size_t i = 0; i < colours->count; ++i)
            if (!octree_add_colour(quantiser, colours->colours[i] & 0xFFFFFFu))
                return false;
        return true;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (!octree_add_colour(quantiser, pixel(userData, x, y) & 0xFFFFFFu))
                return false;
    return true;
}

} // namespace

GifStatus gif_write(const GifByteSink& sink, GifPixelSource pixel, void* userData,
                    const GifColourList* colours, int height, int width, unsigned flags)
{
    const bool animation = (flags & gifAnimation) != 0;
    const bool first = !animation || (flags & gifFirstFrame) != 0;
    const bool last = !animation || (flags & gifLastFrame) != 0;
    const bool palettePass = animation && (flags & gifPalettePass) != 0;
    Sequence& sequence = sequenceSlot();
    // A failed call of an animation ends the sequence.
    const auto fail = [&](GifStatus status) {
        if (animation)
            sequence = Sequence{};
        return status;
    };

    if (width <= 0 || height <= 0)
        return fail(GifStatus::emptyPicture);
    if (width > gifMaxSide || height > gifMaxSide)
        return fail(GifStatus::pictureTooLarge);
    const bool addsColours = !animation || palettePass;
    const bool needsPixels = !palettePass || !colours;
    if (!sink || (needsPixels && !pixel) || (addsColours && colours && colours->count > 0 &&
                                            !colours->colours))
        return fail(GifStatus::badArguments);

    // 1. The palette: a single picture has its own quantiser, an animation the shared one.
    OctreeHandle own;
    Octree* quantiser = nullptr;
    if (!animation) {
        own = octree_new(quantisedColours);
        quantiser = own.get();
    } else if (palettePass && first) {
        sequence = Sequence{};
        sequence.quantiser = octree_new(quantisedColours);
        quantiser = sequence.quantiser.get();
    } else {
        quantiser = sequence.quantiser.get();
        if (!quantiser)
            return fail(GifStatus::noSequence);
    }
    if (!quantiser)
        return fail(GifStatus::outOfMemory);
    if (addsColours && !addColours(*quantiser, colours, pixel, userData, height, width))
        return fail(GifStatus::outOfMemory);
    if (palettePass)
        return GifStatus::ok;

    if (animation) {
        if (first) {
            sequence.started = true;
            sequence.screenWidth = width;
            sequence.screenHeight = height;
        } else if (!sequence.started) {
            return fail(GifStatus::noSequence);
        } else if (width > sequence.screenWidth || height > sequence.screenHeight) {
            return fail(GifStatus::frameOutsideScreen);
        }
    }

    const std::span<const std::uint32_t> palette = octree_palette(*quantiser);
    int tableBits = 1;
    while ((std::size_t{1} << tableBits) < palette.size() + 2)
        ++tableBits;

    // 2. Pixels to indices, row by row.
    std::vector<std::uint8_t> indices;
    try {
        indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return fail(GifStatus::outOfMemory);
    }
    std::size_t at = 0;
    std::uint32_t lastColour = 0;   // one-entry cache: runs of one colour are common
    std::uint8_t lastIndex = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = pixel(userData, x, y) & 0xFFFFFFu;
            if (colour != lastColour) {
                lastColour = colour;
                // With no quantised colours (an empty colour list) the table holds only
                // black and white, and other colours fall back to black.
                lastIndex = colour == 0xFFFFFF ? 1
                            : colour == 0 || palette.empty()
                                ? 0
                                : static_cast<std::uint8_t>(octree_lookup(*quantiser, colour) + 2);
            }
            indices[at++] = lastIndex;
        }
    }

    // 3. The stream.
    ByteOut out(sink);
    gif_write_image(out, ImageParts{palette, tableBits, indices, width, height, first, last,
                                    animation});
    if (out.failed())
        return fail(GifStatus::sinkFailed);

    // 4. The last frame ends the sequence.
    if (animation && last)
        sequence = Sequence{};
    return GifStatus::ok;
}
