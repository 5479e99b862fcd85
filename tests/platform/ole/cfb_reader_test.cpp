// Tests of the compound-file reader and the object description: files from the tests' writer
// (which olefile lists, so the writer is right), short and long streams, bounded names and
// extents, and a table of damaged files that must read as "no compound file" or "no stream".
#include "platform/ole/cfb_reader.h"
#include "platform/ole/ole_describe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "cfb_writer.h"

namespace {

std::vector<uint8_t> pattern(std::size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return v;
}

// Python's repr of an ASCII stream name.
std::string pyRepr(const std::string& s)
{
    std::string out = "'";
    for (unsigned char c : s) {
        char buf[8];
        if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "'";
}

// 32-bit FNV-1a, computed the same way by the Python side.
uint32_t fnv1a(const std::vector<uint8_t>& v)
{
    uint32_t h = 2166136261u;
    for (uint8_t b : v) h = (h ^ b) * 16777619u;
    return h;
}

std::string runCommand(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(CfbWriterTest, OlefileListsTheStreamsWritten)
{
    // Short streams (mini stream), a long one (regular sectors, over several FAT sectors' worth of
    // directory and data), and the two the library reads.
    std::vector<CfbStream> streams = {
        cfb_comp_obj("Test Object"),
        cfb_ole_pres(2540, 1270),
        {"Contents", pattern(5000, 3)},
        {"Tiny", pattern(1, 9)},
        {"Exactly64", pattern(64, 5)},
    };
    CfbFile f = cfb_write(streams);
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("cfb_writer_" + std::to_string(getpid()) + ".bin");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    }
    const std::string script =
        "import olefile, sys\n"
        "o = olefile.OleFileIO(sys.argv[1])\n"
        "for p in sorted(o.listdir(), key=lambda p: p[0]):\n"
        "    d = o.openstream(p).read()\n"
        "    h = 2166136261\n"
        "    for b in d: h = ((h ^ b) * 16777619) & 0xFFFFFFFF\n"
        "    print(repr('/'.join(p)), len(d), h)\n";
    const std::filesystem::path py = path.string() + ".py";
    std::ofstream(py) << script;
    const std::string got = runCommand("/usr/bin/python3 " + py.string() + " " + path.string() + " 2>&1");
    std::filesystem::remove(path);
    std::filesystem::remove(py);

    std::vector<CfbStream> sorted = streams;
    std::sort(sorted.begin(), sorted.end(), [](const CfbStream& a, const CfbStream& b) { return a.name < b.name; });
    std::string want;
    for (const auto& s : sorted) want += pyRepr(s.name) + " " + std::to_string(s.data.size()) + " " + std::to_string(fnv1a(s.data)) + "\n";
    EXPECT_EQ(got, want);
}

TEST(CfbReaderTest, ReadsShortAndLongStreamsByName)
{
    const std::array<uint8_t, 16> clsid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<CfbStream> streams = {
        {"Alpha", pattern(100, 1)},
        {"Long", pattern(9000, 2)},
        {"Beta", pattern(4095, 3)},   // the longest that still lives in the mini stream
        {"Gamma", pattern(4096, 4)},  // the shortest regular one
        {"Empty", {}},
    };
    CfbFile f = cfb_write(streams, clsid);
    CompoundFile file;
    ASSERT_TRUE(file.open(f.bytes.data(), f.bytes.size()));
    EXPECT_EQ(file.rootClassId(), clsid);
    std::vector<uint8_t> got;
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        ASSERT_TRUE(file.readRootStream(s.name, got));
        EXPECT_EQ(got, s.data);
    }
    EXPECT_TRUE(file.readRootStream("ALPHA", got)) << "names compare without regard to case";
    EXPECT_FALSE(file.readRootStream("Delta", got));
    EXPECT_FALSE(file.readRootStream("Alph", got));
}

struct DescribeCase {
    const char* name;
    std::vector<CfbStream> streams;
    std::string userType;
    long width, height;
};

TEST(OleDescribeTest, NamesAndExtentsAreBounded)
{
    const std::string longName(300, 'N');
    const DescribeCase cases[] = {
        {"name and extent", {cfb_comp_obj("Test Object"), cfb_ole_pres(2540, 1270)}, "Test Object", 2540, 1270},
        {"no presentation", {cfb_comp_obj("Test Object")}, "Test Object", 5080, 2540},
        {"no CompObj", {cfb_ole_pres(100, 200)}, "OLE object", 100, 200},
        {"name cut at 255", {cfb_comp_obj(longName)}, std::string(255, 'N'), 5080, 2540},
        {"name cut at its 0 byte", {cfb_comp_obj(std::string("Abc\0Def", 7))}, "Abc", 5080, 2540},
        {"empty name", {cfb_comp_obj("")}, "OLE object", 5080, 2540},
        {"cp1252 name kept as bytes", {cfb_comp_obj("Gr\xfc\xdf" "e")}, "Gr\xfc\xdf" "e", 5080, 2540},
        {"zero width", {cfb_ole_pres(0, 100)}, "OLE object", 5080, 2540},
        {"negative height", {cfb_ole_pres(100, -5)}, "OLE object", 5080, 2540},
        {"largest extent", {cfb_ole_pres(1000000, 1000000)}, "OLE object", 1000000, 1000000},
        {"extent too large", {cfb_ole_pres(1000001, 100)}, "OLE object", 5080, 2540},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CfbFile f = cfb_write(c.streams);
        OleDescription d = ole_describe(f.bytes.data(), f.bytes.size());
        EXPECT_TRUE(d.compound);
        EXPECT_EQ(d.userType, c.userType);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
    }
}

TEST(OleDescribeTest, CompObjWithALengthPastItsEnd)
{
    // The name's length field claims more bytes than the stream holds: the name stops at the end.
    CfbStream comp = cfb_comp_obj("Abc");
    comp.data.resize(28 + 4 + 3);  // no terminating zero, nothing after the name
    cfb_put32(comp.data, 28, 0x7FFFFFFF);
    CfbFile f = cfb_write({comp});
    EXPECT_EQ(ole_describe(f.bytes.data(), f.bytes.size()).userType, "Abc");
}

// The damaged files every layer above must survive.  The base file holds "\002OlePres000" (entry
// 1, mini sector 0) and "\001CompObj" (entry 2, mini sector 1).
struct DamageCase {
    const char* name;
    std::function<void(CfbFile&)> damage;
    bool opens;  // the structure still reads (only a stream is lost)
};

std::vector<DamageCase> damageCases()
{
    return {
        {"sector number beyond the file", [](CfbFile& f) { cfb_put32(f.bytes, 48, 0x00100000); }, false},
        {"FAT chain that loops", [](CfbFile& f) { cfb_put32(f.bytes, f.fatEntryOffset(f.dirStart), f.dirStart); }, false},
        {"stream size beyond its chain", [](CfbFile& f) { cfb_put32(f.bytes, f.entryOffset(2) + 120, 4000); }, true},
        {"directory name length of 200", [](CfbFile& f) { cfb_put16(f.bytes, f.entryOffset(2) + 64, 200); }, false},
        {"mini stream cut short", [](CfbFile& f) { cfb_put32(f.bytes, f.entryOffset(0) + 120, 64); }, true},
        {"file cut inside the directory", [](CfbFile& f) { f.bytes.resize(f.sectorOffset(f.dirStart) + 100); }, false},
        {"sector shift 12 in version 3", [](CfbFile& f) { cfb_put16(f.bytes, 30, 12); }, false},
        {"sibling links that loop", [](CfbFile& f) { cfb_put32(f.bytes, f.entryOffset(1) + 72, 1); }, true},
        {"mini FAT chain that loops", [](CfbFile& f) {
             const std::size_t miniFat = f.sectorOffset(f.dirStart + 1);
             cfb_put32(f.bytes, miniFat + 4, 1);
         }, true},
        {"FAT sector count beyond the file", [](CfbFile& f) { cfb_put32(f.bytes, 44, 5000); }, false},
    };
}

CfbFile damageBase() { return cfb_write({cfb_ole_pres(2540, 1270), cfb_comp_obj("Test Object")}); }

TEST(CfbReaderTest, DamagedFilesAreRefusedOrLoseTheStream)
{
    for (const auto& c : damageCases()) {
        SCOPED_TRACE(c.name);
        CfbFile f = damageBase();
        c.damage(f);
        CompoundFile file;
        EXPECT_EQ(file.open(f.bytes.data(), f.bytes.size()), c.opens);
        std::vector<uint8_t> stream;
        EXPECT_FALSE(file.readRootStream("\001CompObj", stream));
        OleDescription d = ole_describe(f.bytes.data(), f.bytes.size());
        EXPECT_EQ(d.userType, "OLE object");
    }
}

TEST(CfbReaderTest, EveryPrefixOfAFileIsSafe)
{
    // AddressSanitizer watches: no prefix may be read past its end.
    CfbFile f = cfb_write({cfb_comp_obj("Test Object"), cfb_ole_pres(2540, 1270), {"Long", pattern(5000, 1)}});
    for (std::size_t n = 0; n <= f.bytes.size(); n += 13) {
        std::vector<uint8_t> prefix(f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(n));
        OleDescription d = ole_describe(prefix.data(), prefix.size());
        if (n < 512) {
            EXPECT_FALSE(d.compound) << n;  // not even a whole header
        }
    }
    OleDescription whole = ole_describe(f.bytes.data(), f.bytes.size());
    EXPECT_EQ(whole.userType, "Test Object");
}

TEST(CfbReaderTest, RandomBytesAreNoCompoundFile)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> bytes(1 + rng() % 3000);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        if (round % 2 == 0 && bytes.size() >= 8) {
            // With the signature, the rest is still noise.
            const uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
            std::copy(sig, sig + 8, bytes.begin());
        }
        OleDescription d = ole_describe(bytes.data(), bytes.size());
        EXPECT_EQ(d.userType, "OLE object");
        EXPECT_EQ(d.width, 5080);
        EXPECT_EQ(d.height, 2540);
    }
}

}  // namespace
