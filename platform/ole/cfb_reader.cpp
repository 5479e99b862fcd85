// Compound-file reader (format and checks in cfb_reader.h).
#include "platform/ole/cfb_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kEntrySize = 128;
constexpr unsigned kMiniShift = 6;
constexpr std::size_t kHeaderDifatCount = 109;

enum : uint8_t { kTypeUnused = 0, kTypeStorage = 1, kTypeStream = 2, kTypeRoot = 5 };

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

uint32_t CompoundFile::u32(std::size_t offset) const
{
    // Callers check offset + 4 <= size_.
    return static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
           static_cast<uint32_t>(data_[offset + 2]) << 16 | static_cast<uint32_t>(data_[offset + 3]) << 24;
}

bool CompoundFile::chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t limit,
                         std::vector<uint32_t>& out)
{
    out.clear();
    std::vector<bool> seen(table.size(), false);
    for (uint32_t s = start; s != kEndOfChain;) {
        if (s >= kMaxRegularSector || s >= limit || s >= table.size() || seen[s]) return false;
        seen[s] = true;  // a chain visits each sector at most once, so it ends
        out.push_back(s);
        s = table[s];
    }
    return true;
}

bool CompoundFile::readSectors(const std::vector<uint32_t>& sectors, uint64_t count, std::vector<uint8_t>& out) const
{
    const std::size_t sectorSize = std::size_t(1) << shift_;
    if (count > static_cast<uint64_t>(sectors.size()) * sectorSize) return false;  // size beyond the chain
    out.reserve(out.size() + count);
    for (uint32_t s : sectors) {
        if (count == 0) break;
        const std::size_t offset = (static_cast<std::size_t>(s) + 1) << shift_;
        if (offset >= size_) return false;
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(count, sectorSize));
        if (want > size_ - offset) return false;  // a short last sector that the stream needs
        out.insert(out.end(), data_ + offset, data_ + offset + want);
        count -= want;
    }
    return count == 0;
}

bool CompoundFile::open(const uint8_t* data, std::size_t size)
{
    *this = CompoundFile();
    if (data == nullptr || size < kHeaderSize || std::memcmp(data, kSignature, 8) != 0) return false;
    data_ = data;
    size_ = size;
    auto u16 = [&](std::size_t o) { return static_cast<unsigned>(data[o] | data[o + 1] << 8); };
    const unsigned major = u16(26);
    shift_ = u16(30);
    if (u16(28) != 0xFFFE || u16(32) != kMiniShift) return false;
    if (!((major == 3 && shift_ == 9) || (major == 4 && shift_ == 12))) return false;
    const std::size_t sectorSize = std::size_t(1) << shift_;
    const std::size_t perSector = sectorSize / 4;
    // Sectors that start inside the file; sector -1 is the header.
    const std::size_t whole = size / sectorSize;
    sectorCount_ = static_cast<uint32_t>(std::min<std::size_t>(whole - (size % sectorSize == 0 ? 1 : 0), kMaxRegularSector));
    miniCutoff_ = u32(56);

    // DIFAT: the FAT's sector numbers.
    const uint32_t fatSectors = u32(44);
    if (fatSectors > sectorCount_) return false;
    std::vector<uint32_t> fatList;
    for (std::size_t i = 0; i < kHeaderDifatCount && fatList.size() < fatSectors; ++i) fatList.push_back(u32(76 + 4 * i));
    {
        uint32_t next = u32(68);
        uint32_t left = u32(72);
        std::vector<bool> seen(sectorCount_, false);
        while (fatList.size() < fatSectors) {
            if (left == 0 || next >= sectorCount_ || seen[next]) return false;
            seen[next] = true;
            --left;
            const std::size_t offset = (static_cast<std::size_t>(next) + 1) << shift_;
            if (offset + sectorSize > size_) return false;
            for (std::size_t i = 0; i + 1 < perSector && fatList.size() < fatSectors; ++i)
                fatList.push_back(u32(offset + 4 * i));
            next = u32(offset + 4 * (perSector - 1));
        }
    }
    // FAT.
    fat_.reserve(fatList.size() * perSector);
    for (uint32_t s : fatList) {
        if (s >= sectorCount_) return false;
        const std::size_t offset = (static_cast<std::size_t>(s) + 1) << shift_;
        if (offset + sectorSize > size_) return false;
        for (std::size_t i = 0; i < perSector; ++i) fat_.push_back(u32(offset + 4 * i));
    }
    // Directory.
    std::vector<uint32_t> sectors;
    std::vector<uint8_t> bytes;
    if (!chain(fat_, u32(48), sectorCount_, sectors) || sectors.empty()) return false;
    if (!readSectors(sectors, static_cast<uint64_t>(sectors.size()) * sectorSize, bytes)) return false;
    dir_.resize(bytes.size() / kEntrySize);
    for (std::size_t i = 0; i < dir_.size(); ++i) {
        const uint8_t* e = bytes.data() + i * kEntrySize;
        DirEntry& d = dir_[i];
        d.type = e[66];
        if (d.type == kTypeUnused) continue;
        if (d.type != kTypeStorage && d.type != kTypeStream && d.type != kTypeRoot) return false;
        const unsigned nameBytes = static_cast<unsigned>(e[64] | e[65] << 8);
        if (nameBytes > 64 || nameBytes % 2 != 0) return false;
        for (unsigned k = 0; k + 2 <= nameBytes; k += 2) {
            char16_t c = static_cast<char16_t>(e[k] | e[k + 1] << 8);
            if (c == 0) break;
            d.name.push_back(c);
        }
        auto le32 = [&](int o) {
            return static_cast<uint32_t>(e[o]) | static_cast<uint32_t>(e[o + 1]) << 8 |
                   static_cast<uint32_t>(e[o + 2]) << 16 | static_cast<uint32_t>(e[o + 3]) << 24;
        };
        d.left = le32(68);
        d.right = le32(72);
        d.child = le32(76);
        d.start = le32(116);
        d.size = le32(120);
        if (major == 4) d.size |= static_cast<uint64_t>(le32(124)) << 32;
    }
    if (dir_.empty() || dir_[0].type != kTypeRoot) return false;
    std::memcpy(rootClsid_.data(), bytes.data() + 80, 16);

    // Mini FAT and mini stream.
    const uint32_t miniFatStart = u32(60);
    if (miniFatStart != kEndOfChain) {
        if (!chain(fat_, miniFatStart, sectorCount_, sectors) || sectors.size() != u32(64)) return false;
        bytes.clear();
        if (!readSectors(sectors, static_cast<uint64_t>(sectors.size()) * sectorSize, bytes)) return false;
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
            miniFat_.push_back(static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8 |
                               static_cast<uint32_t>(bytes[i + 2]) << 16 | static_cast<uint32_t>(bytes[i + 3]) << 24);
    }
    const DirEntry& root = dir_[0];
    if (root.size > 0 && root.start != kEndOfChain) {
        if (!chain(fat_, root.start, sectorCount_, sectors) || !readSectors(sectors, root.size, miniStream_))
            return false;
    }
    return true;
}

bool CompoundFile::readStream(const DirEntry& e, std::vector<uint8_t>& out) const
{
    out.clear();
    if (e.size == 0) return true;
    std::vector<uint32_t> sectors;
    if (e.size >= miniCutoff_) return chain(fat_, e.start, sectorCount_, sectors) && readSectors(sectors, e.size, out);

    // Mini stream: 64-byte sectors inside the root's stream.
    const std::size_t miniSize = std::size_t(1) << kMiniShift;
    const uint32_t miniCount = static_cast<uint32_t>(std::min<std::size_t>(miniStream_.size() / miniSize, kMaxRegularSector));
    if (!chain(miniFat_, e.start, miniCount, sectors)) return false;
    if (e.size > static_cast<uint64_t>(sectors.size()) * miniSize) return false;
    uint64_t count = e.size;
    for (uint32_t s : sectors) {
        if (count == 0) break;
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(count, miniSize));
        const std::size_t offset = static_cast<std::size_t>(s) * miniSize;  // s < miniCount
        out.insert(out.end(), miniStream_.begin() + offset, miniStream_.begin() + offset + want);
        count -= want;
    }
    return true;
}

bool CompoundFile::readRootStream(std::string_view name, std::vector<uint8_t>& out) const
{
    out.clear();
    if (dir_.empty()) return false;
    // The root's children form a binary tree through the sibling links; walk it with a stack,
    // visiting each entry at most once so that a looping tree ends.
    std::vector<bool> seen(dir_.size(), false);
    std::vector<uint32_t> stack{dir_[0].child};
    while (!stack.empty()) {
        const uint32_t i = stack.back();
        stack.pop_back();
        if (i == kNoStream || i >= dir_.size() || seen[i]) continue;
        seen[i] = true;
        const DirEntry& e = dir_[i];
        if (e.type == kTypeUnused) continue;
        if (e.type == kTypeStream && e.name.size() == name.size() &&
            std::equal(e.name.begin(), e.name.end(), name.begin(), [](char16_t a, char b) {
                return upper(a) == upper(static_cast<char16_t>(static_cast<unsigned char>(b)));
            }))
            return readStream(e, out);
        stack.push_back(e.left);
        stack.push_back(e.right);
    }
    return false;
}
