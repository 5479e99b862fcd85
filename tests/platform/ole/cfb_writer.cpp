// The tests' compound-file writer (layout in cfb_writer.h).
#include "cfb_writer.h"

#include <cstring>

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD, kNone = 0xFFFFFFFF;
constexpr std::size_t kSector = 512, kMini = 64, kCutoff = 4096;

std::size_t sectorsFor(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit; }

void append32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void cfb_put16(std::vector<uint8_t>& b, std::size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void cfb_put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

CfbFile cfb_write(const std::vector<CfbStream>& streams, const std::array<uint8_t, 16>& rootClassId)
{
    // Where each stream goes: mini stream offsets (in mini sectors) or regular sector runs.
    std::vector<uint8_t> mini;
    std::vector<uint32_t> miniFat;
    std::vector<uint32_t> starts(streams.size(), kEnd);
    std::vector<std::size_t> longSectors;  // per stream, sectors it needs when long
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const auto& s = streams[i];
        longSectors.push_back(0);
        if (s.data.empty()) continue;
        if (s.data.size() < kCutoff) {
            const uint32_t first = static_cast<uint32_t>(mini.size() / kMini);
            const std::size_t n = sectorsFor(s.data.size(), kMini);
            for (std::size_t k = 0; k < n; ++k) miniFat.push_back(k + 1 < n ? first + static_cast<uint32_t>(k) + 1 : kEnd);
            mini.insert(mini.end(), s.data.begin(), s.data.end());
            mini.resize((first + n) * kMini, 0);
            starts[i] = first;
        } else {
            longSectors[i] = sectorsFor(s.data.size(), kSector);
        }
    }
    const std::size_t entries = streams.size() + 1;
    const std::size_t dirSectors = sectorsFor(entries * 128, kSector);
    const std::size_t miniFatSectors = sectorsFor(miniFat.size() * 4, kSector);
    const std::size_t miniStreamSectors = sectorsFor(mini.size(), kSector);
    std::size_t other = dirSectors + miniFatSectors + miniStreamSectors;
    for (std::size_t n : longSectors) other += n;
    std::size_t fatSectors = 1;
    while (fatSectors * 128 < fatSectors + other) ++fatSectors;
    const std::size_t total = fatSectors + other;

    CfbFile f;
    f.fatStart = 0;
    f.dirStart = static_cast<uint32_t>(fatSectors);
    std::vector<uint32_t> fat(fatSectors * 128, kFree);
    for (std::size_t k = 0; k < fatSectors; ++k) fat[k] = kFatSect;
    uint32_t next = static_cast<uint32_t>(fatSectors);
    auto run = [&](std::size_t n) {  // n contiguous sectors chained; the first or kEnd
        if (n == 0) return kEnd;
        const uint32_t first = next;
        for (std::size_t k = 0; k < n; ++k, ++next) fat[next] = k + 1 < n ? next + 1 : kEnd;
        return first;
    };
    run(dirSectors);
    const uint32_t miniFatStart = run(miniFatSectors);
    const uint32_t miniStreamStart = run(miniStreamSectors);
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (longSectors[i] > 0) starts[i] = run(longSectors[i]);

    std::vector<uint8_t>& b = f.bytes;
    b.assign((total + 1) * kSector, 0);
    // Header.
    const uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(b.data(), sig, 8);
    cfb_put16(b, 24, 0x3E);
    cfb_put16(b, 26, 3);
    cfb_put16(b, 28, 0xFFFE);
    cfb_put16(b, 30, 9);
    cfb_put16(b, 32, 6);
    cfb_put32(b, 44, static_cast<uint32_t>(fatSectors));
    cfb_put32(b, 48, f.dirStart);
    cfb_put32(b, 56, kCutoff);
    cfb_put32(b, 60, miniFatStart);
    cfb_put32(b, 64, static_cast<uint32_t>(miniFatSectors));
    cfb_put32(b, 68, kEnd);
    cfb_put32(b, 72, 0);
    for (std::size_t k = 0; k < 109; ++k) cfb_put32(b, 76 + 4 * k, k < fatSectors ? static_cast<uint32_t>(k) : kFree);
    // FAT.
    for (std::size_t k = 0; k < fat.size(); ++k) cfb_put32(b, f.sectorOffset(0) + 4 * k, fat[k]);
    // Directory: unused entries have no siblings.
    for (std::size_t i = 0; i < dirSectors * 4; ++i) {
        const std::size_t e = f.entryOffset(i);
        cfb_put32(b, e + 68, kNone);
        cfb_put32(b, e + 72, kNone);
        cfb_put32(b, e + 76, kNone);
    }
    auto entry = [&](std::size_t i, const std::string& name, uint8_t type, uint32_t start, uint32_t size) {
        const std::size_t e = f.entryOffset(i);
        for (std::size_t k = 0; k < name.size(); ++k) cfb_put16(b, e + 2 * k, static_cast<uint8_t>(name[k]));
        cfb_put16(b, e + 64, static_cast<uint16_t>((name.size() + 1) * 2));
        b[e + 66] = type;
        b[e + 67] = 1;  // black
        cfb_put32(b, e + 116, start);
        cfb_put32(b, e + 120, size);
    };
    entry(0, "Root Entry", 5, mini.empty() ? kEnd : miniStreamStart, static_cast<uint32_t>(mini.size()));
    std::memcpy(b.data() + f.entryOffset(0) + 80, rootClassId.data(), 16);
    if (!streams.empty()) cfb_put32(b, f.entryOffset(0) + 76, 1);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        entry(i + 1, streams[i].name, 2, starts[i], static_cast<uint32_t>(streams[i].data.size()));
        if (i + 1 < streams.size()) cfb_put32(b, f.entryOffset(i + 1) + 72, static_cast<uint32_t>(i + 2));
    }
    // Mini FAT, mini stream, long streams.
    if (miniFatSectors > 0) {
        for (std::size_t k = 0; k < miniFatSectors * 128; ++k)
            cfb_put32(b, f.sectorOffset(miniFatStart) + 4 * k, k < miniFat.size() ? miniFat[k] : kFree);
        std::memcpy(b.data() + f.sectorOffset(miniStreamStart), mini.data(), mini.size());
    }
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (longSectors[i] > 0)
            std::memcpy(b.data() + f.sectorOffset(starts[i]), streams[i].data.data(), streams[i].data.size());
    return f;
}

CfbStream cfb_comp_obj(const std::string& userType)
{
    CfbStream s{"\001CompObj", {}};
    auto& b = s.data;
    append32(b, 0xFFFE0001);  // reserved
    append32(b, 0x00000A03);  // version
    append32(b, 0xFFFFFFFF);
    b.resize(28, 0);          // reserved class id
    append32(b, static_cast<uint32_t>(userType.size() + 1));
    b.insert(b.end(), userType.begin(), userType.end());
    b.push_back(0);
    append32(b, 0);           // no clipboard format
    append32(b, 0);           // no program id
    return s;
}

CfbStream cfb_ole_pres(int32_t width, int32_t height)
{
    CfbStream s{"\002OlePres000", {}};
    auto& b = s.data;
    append32(b, 0xFFFFFFFF);  // a clipboard format number follows
    append32(b, 3);           // metafile picture
    append32(b, 4);           // no target device
    append32(b, 1);           // aspect: content
    append32(b, 0xFFFFFFFF);  // lindex
    append32(b, 0);           // advise flags
    append32(b, 0);           // reserved
    append32(b, static_cast<uint32_t>(width));
    append32(b, static_cast<uint32_t>(height));
    append32(b, 0);           // no presentation data
    return s;
}
