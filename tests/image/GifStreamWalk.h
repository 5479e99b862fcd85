#pragma once
// GifStreamWalk: a strict reader of the GIF streams the writer makes, shared by its tests and
// its fuzz target.  It checks the container (header, colour table, extensions, image
// descriptors, sub-blocks, trailer, nothing after it) and decodes the LZW data with the
// decoder's own rules, recording code widths and every clear code after the first, and
// answers the first fault it meets.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace gif_walk {

struct Clear {
    int nextCode;   // the decoder's next free code when the clear came
    int width;      // the code width the clear was written at
};

struct WalkedFrame {
    int width = 0;
    int height = 0;
    int minCodeSize = 0;
    std::vector<std::uint8_t> indices;
    int widestCode = 0;
    std::vector<Clear> clears;   // clear codes after the first
};

struct Walk {
    std::string error;           // empty when the stream is well formed
    int screenWidth = 0;
    int screenHeight = 0;
    int packed = 0;
    int background = -1;
    int aspect = -1;
    std::vector<std::uint32_t> table;
    int loopExtensions = 0;
    int otherExtensions = 0;
    std::vector<WalkedFrame> frames;
    bool trailer = false;
};

// Decodes one image's LZW data (the sub-blocks already joined); answers an error or "".
inline std::string decodeLzw(const std::vector<std::uint8_t>& data, WalkedFrame& frame)
{
    const int minCodeSize = frame.minCodeSize;
    if (minCodeSize < 2 || minCodeSize > 8)
        return "minimum code size " + std::to_string(minCodeSize);
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<std::uint8_t> suffix(4096, 0);
    for (int i = 0; i < clear; ++i)
        suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    const auto expand = [&](int code) {
        std::vector<std::uint8_t> text;
        for (; code >= 0; code = prefix[static_cast<std::size_t>(code)])
            text.push_back(suffix[static_cast<std::size_t>(code)]);
        std::reverse(text.begin(), text.end());
        return text;
    };
    int width = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    std::size_t bitPosition = 0;
    bool firstCode = true;
    for (;;) {
        if (bitPosition + static_cast<std::size_t>(width) > data.size() * 8)
            return "data ends before the end code";
        int code = 0;
        for (int bit = 0; bit < width; ++bit, ++bitPosition)
            code |= ((data[bitPosition / 8] >> (bitPosition % 8)) & 1) << bit;
        frame.widestCode = std::max(frame.widestCode, width);
        if (firstCode && code != clear)
            return "the first code is not a clear code";
        if (code == clear) {
            if (!firstCode)
                frame.clears.push_back({next, width});
            firstCode = false;
            width = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear)
                return "first code after a clear is not a literal";
            frame.indices.push_back(static_cast<std::uint8_t>(code));
            previous = code;
            continue;
        }
        std::vector<std::uint8_t> text;
        if (code < next && (code < clear || code > end)) {
            text = expand(code);
        } else if (code == next) {
            text = expand(previous);
            text.push_back(text.front());
        } else {
            return "code " + std::to_string(code) + " not yet defined";
        }
        if (next < 4096) {
            prefix[static_cast<std::size_t>(next)] = previous;
            suffix[static_cast<std::size_t>(next)] = text.front();
            ++next;
        }
        frame.indices.insert(frame.indices.end(), text.begin(), text.end());
        if (next == (1 << width) && width < 12)
            ++width;
        previous = code;
    }
    if ((bitPosition + 7) / 8 != data.size())
        return "bytes after the end code";
    return "";
}

inline Walk walkStream(const std::vector<std::uint8_t>& s)
{
    Walk walk;
    std::size_t at = 0;
    const auto need = [&](std::size_t n) { return at + n <= s.size(); };
    const auto u16 = [&](std::size_t i) { return s[i] | s[i + 1] << 8; };
    const auto fail = [&](const std::string& why) {
        walk.error = why + " at byte " + std::to_string(at);
        return walk;
    };
    // Reads sub-blocks up to the terminator; checks every block but the last is full.
    const auto subBlocks = [&](std::vector<std::uint8_t>& out, bool requireFull) {
        std::vector<std::size_t> lengths;
        while (need(1)) {
            const std::size_t length = s[at++];
            if (length == 0) {
                for (std::size_t i = 0; requireFull && i + 1 < lengths.size(); ++i)
                    if (lengths[i] != 255)
                        return false;
                return true;
            }
            if (!need(length))
                return false;
            out.insert(out.end(), s.begin() + static_cast<long>(at),
                       s.begin() + static_cast<long>(at + length));
            lengths.push_back(length);
            at += length;
        }
        return false;
    };

    if (!need(13) || std::memcmp(s.data(), "GIF89a", 6) != 0)
        return fail("no GIF89a header");
    walk.screenWidth = u16(6);
    walk.screenHeight = u16(8);
    walk.packed = s[10];
    walk.background = s[11];
    walk.aspect = s[12];
    at = 13;
    if (walk.packed & 0x80) {
        const std::size_t entries = std::size_t{2} << (walk.packed & 7);
        if (!need(entries * 3))
            return fail("short colour table");
        for (std::size_t i = 0; i < entries; ++i, at += 3)
            walk.table.push_back(std::uint32_t{s[at]} << 16 | std::uint32_t{s[at + 1]} << 8 |
                                 s[at + 2]);
    }
    while (need(1)) {
        const std::uint8_t introducer = s[at++];
        if (introducer == 0x3B) {
            walk.trailer = true;
            if (at != s.size())
                return fail("bytes after the trailer");
            return walk;
        }
        if (introducer == 0x21) {
            if (!need(1))
                return fail("short extension");
            const std::uint8_t label = s[at++];
            std::vector<std::uint8_t> body;
            if (!subBlocks(body, false))
                return fail("broken extension blocks");
            const std::vector<std::uint8_t> loop = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                                    '2', '.', '0', 1, 0, 0};
            if (label == 0xFF && body == loop)
                ++walk.loopExtensions;
            else
                ++walk.otherExtensions;
            continue;
        }
        if (introducer != 0x2C)
            return fail("unknown block " + std::to_string(introducer));
        if (!need(10))
            return fail("short image descriptor");
        WalkedFrame frame;
        if (u16(at) != 0 || u16(at + 2) != 0)
            return fail("image not at the origin");
        frame.width = u16(at + 4);
        frame.height = u16(at + 6);
        if (s[at + 8] != 0)
            return fail("image packed byte not 0");
        if (frame.width > walk.screenWidth || frame.height > walk.screenHeight)
            return fail("image larger than the screen");
        frame.minCodeSize = s[at + 9];
        at += 10;
        std::vector<std::uint8_t> data;
        if (!subBlocks(data, true))
            return fail("broken image data blocks");
        const std::string lzw = decodeLzw(data, frame);
        if (!lzw.empty())
            return fail("LZW: " + lzw);
        if (frame.indices.size() !=
            static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
            return fail("image has " + std::to_string(frame.indices.size()) + " pixels");
        for (std::uint8_t index : frame.indices)
            if (index >= walk.table.size())
                return fail("index " + std::to_string(index) + " outside the colour table");
        walk.frames.push_back(std::move(frame));
    }
    return fail("no trailer");
}

} // namespace gif_walk
