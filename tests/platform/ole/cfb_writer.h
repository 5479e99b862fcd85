#pragma once
// A small writer of OLE 2 compound files (version 3, 512-byte sectors) for the tests: streams in
// the root storage, short ones in the mini stream, and the two streams the OLE library reads.
// olefile lists what it writes (cfb_writer_test.cpp), so the reader's tests rest on files another
// reader accepts.
//
// Layout, in sector order: the FAT, the directory, the mini FAT, the mini stream, then each
// long stream.  Directory entry 0 is the root; entry i (1..n) is the i-th stream given, linked as
// a chain of right siblings from the root's child.  entryOffset tells where an entry lies so that
// a test can damage one field.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CfbStream {
    std::string name;  // ASCII, may start with \001 or \002
    std::vector<uint8_t> data;
};

struct CfbFile {
    std::vector<uint8_t> bytes;
    uint32_t fatStart = 0;   // sector of the first FAT sector
    uint32_t dirStart = 0;   // sector of the first directory sector
    std::size_t sectorOffset(uint32_t sector) const { return (static_cast<std::size_t>(sector) + 1) * 512; }
    std::size_t entryOffset(std::size_t i) const { return sectorOffset(dirStart + static_cast<uint32_t>(i / 4)) + (i % 4) * 128; }
    std::size_t fatEntryOffset(uint32_t sector) const { return sectorOffset(fatStart + sector / 128) + (sector % 128) * 4; }
};

CfbFile cfb_write(const std::vector<CfbStream>& streams, const std::array<uint8_t, 16>& rootClassId = {});

// "\001CompObj" naming `userType`; "\002OlePres000" with a metafile presentation of
// width x height HIMETRIC and no target device.
CfbStream cfb_comp_obj(const std::string& userType);
CfbStream cfb_ole_pres(int32_t width, int32_t height);

// Little-endian stores into a byte buffer (for damaging files).
void cfb_put16(std::vector<uint8_t>& b, std::size_t at, uint16_t v);
void cfb_put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v);
