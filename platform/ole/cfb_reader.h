#pragma once
// Compound-file reader: the one reader of OLE 2 compound files (the stored form of an embedded
// OLE object) in this library.  It reads only what the placeholder and the extents need: the
// header, the FAT and mini FAT chains, the directory, and one stream of the root storage by
// name.
//
// Header (first 512 bytes, little-endian):
//   offset size meaning
//   0      8    signature D0 CF 11 E0 A1 B1 1A E1
//   24     2    minor version (ignored)
//   26     2    major version: 3 (512-byte sectors) or 4 (4096-byte sectors)
//   28     2    byte order FFFE
//   30     2    sector shift: 9 or 12
//   32     2    mini sector shift: 6 (64-byte mini sectors)
//   44     4    number of FAT sectors
//   48     4    first directory sector
//   56     4    mini stream cutoff: streams shorter than this live in the mini stream (4096)
//   60     4    first mini FAT sector
//   64     4    number of mini FAT sectors
//   68     4    first DIFAT sector (ENDOFCHAIN when none)
//   72     4    number of DIFAT sectors
//   76     436  the first 109 FAT sector numbers
// Sector n starts at byte (n + 1) << shift.  Sector numbers from 0xFFFFFFFA up are marks:
// 0xFFFFFFFC DIFAT sector, 0xFFFFFFFD FAT sector, 0xFFFFFFFE end of chain, 0xFFFFFFFF free.
//
// Directory entry (128 bytes): 0 name (UTF-16LE, 64 bytes), 64 name length in bytes with the
// terminating zero (2), 66 type (1: 1 storage, 2 stream, 5 root), 68 left sibling, 72 right
// sibling, 76 child (4 each), 80 CLSID (16), 116 first sector (4), 120 size (8; a version-3 file
// uses only the low 32 bits).  The root entry (0) holds the mini stream.
//
// Checks (the bytes come from worksheet files and from other programs' clipboard data): the
// signature, byte order and both sector shifts; every sector number against the file's size;
// every chain (DIFAT, FAT, mini FAT, directory, stream) for loops and for its length; each stream
// size against its chain; each used directory entry's name length (even, at most 64) and type;
// the sibling tree for loops.  Nothing is read past the given bytes.  A file that fails a check
// of its structure does not open; a damaged stream is reported absent.
//
// The reader keeps a pointer to the bytes given to open(); they must outlive it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CompoundFile {
public:
    // Reads the structure of `data`; false when the bytes are no compound file or it is damaged.
    bool open(const uint8_t* data, std::size_t size);

    // The bytes of the stream called `name` (ASCII, compared without regard to case) directly in
    // the root storage; false when there is none or its chain is damaged.
    bool readRootStream(std::string_view name, std::vector<uint8_t>& out) const;

    // The root storage's class id (zeros when none).
    const std::array<uint8_t, 16>& rootClassId() const { return rootClsid_; }

private:
    struct DirEntry {
        std::u16string name;
        uint8_t type = 0;
        uint32_t left = 0, right = 0, child = 0;
        uint32_t start = 0;
        uint64_t size = 0;
    };

    // The sectors of the chain from `start` in `table`, each below `limit`; false on a loop, a
    // mark other than end of chain, a sector number at or past `limit` or the table's end.
    static bool chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t limit, std::vector<uint32_t>& out);
    // Appends `count` bytes of the stream on `sectors` (regular sectors) to `out`; false when
    // the chain is too short or a sector lies past the file.
    bool readSectors(const std::vector<uint32_t>& sectors, uint64_t count, std::vector<uint8_t>& out) const;
    bool readStream(const DirEntry& e, std::vector<uint8_t>& out) const;
    uint32_t u32(std::size_t offset) const;

    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    unsigned shift_ = 9;
    uint32_t sectorCount_ = 0;    // sectors that start inside the file
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_, miniFat_;
    std::vector<DirEntry> dir_;
    std::vector<uint8_t> miniStream_;
    std::array<uint8_t, 16> rootClsid_{};
};
