// The archive tool's commands: file bytes after each command, a round trip, messages and exit
// codes of the tool run as a process, damaged archives, interrupted rebuilds and concurrent runs.
#include "tools/arcman/arcman.h"

#include "arcman_fixture.h"
#include "tools/arcman/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

using namespace arcman_test;
using archive::archive_hash;
using archive::archive_table_buckets;

namespace {

std::uint64_t home_slot(const std::string& name, std::uint64_t buckets) {
    return (archive_hash(name) % buckets) * 64;
}

// Slot number of a live name in an index image, or -1.
long find_slot(const Bytes& index, const std::string& name) {
    for (std::size_t s = 0; s < index.size() / 64; ++s)
        if (view_slot(index, s).name == name) return static_cast<long>(s);
    return -1;
}

Bytes pattern(std::size_t size, unsigned seed) {
    Bytes b(size);
    std::mt19937 rng(seed);
    for (auto& c : b) c = static_cast<std::uint8_t>(rng());
    return b;
}

const char* const kUsage =
    "Usage:\tarcman -[au] archiveDir { fileName indexName }\n"
    "\tarcman -[plr] archiveDir\n"
    "\tarcman -c archiveDir tableSize\n"
    "\tarcman -x archiveDir { indexName fileName }\n"
    "\tarcman -d archiveDir { indexName }\n";

// ---- Bytes after each command, for several table sizes ----------------------------------

class ArcmanBytes : public ScratchTest, public ::testing::WithParamInterface<long> {};

TEST_P(ArcmanBytes, EachCommandLeavesTheExpectedBytes) {
    const long t = GetParam();
    const std::uint64_t buckets = archive_table_buckets(t);

    // -c: B buckets of zeros, a data file of one zero byte.
    make_archive(t);
    Bytes index = index_bytes();
    ASSERT_EQ(index.size(), buckets * 4096);
    EXPECT_TRUE(std::all_of(index.begin(), index.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(data_bytes(), Bytes{0});

    // -a: members appended from offset 1, slots at their home slots.
    const Bytes one = pattern(10, 1), two = pattern(300, 2), three = pattern(7, 3);
    write_bytes(path("one"), one);
    write_bytes(path("two"), two);
    write_bytes(path("three"), three);
    const std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr));
    RunResult r = run({"-a", arc(), path("one"), "alpha", path("two"), "beta"});
    const std::uint32_t after = static_cast<std::uint32_t>(std::time(nullptr));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    index = index_bytes();
    ASSERT_EQ(index.size(), buckets * 4096);
    // "alpha" goes first, so it sits at its home slot; "beta" at its home slot or, when the
    // two share a home bucket, right behind "alpha".
    const SlotView alpha = view_slot(index, home_slot("alpha", buckets));
    const long betaSlot = find_slot(index, "beta");
    const std::uint64_t betaHome = home_slot("beta", buckets);
    ASSERT_GE(betaSlot, 0);
    EXPECT_EQ(static_cast<std::uint64_t>(betaSlot),
              betaHome == home_slot("alpha", buckets) ? betaHome + 1 : betaHome);
    const SlotView beta = view_slot(index, static_cast<std::uint64_t>(betaSlot));
    EXPECT_EQ(alpha.name, "alpha");
    EXPECT_EQ(alpha.offset, 1u);
    EXPECT_EQ(alpha.length, 10u);
    EXPECT_GE(alpha.time, before);
    EXPECT_LE(alpha.time, after);
    EXPECT_EQ(beta.name, "beta");
    EXPECT_EQ(beta.offset, 11u);
    EXPECT_EQ(beta.length, 300u);
    Bytes expectedData{0};
    expectedData.insert(expectedData.end(), one.begin(), one.end());
    expectedData.insert(expectedData.end(), two.begin(), two.end());
    EXPECT_EQ(data_bytes(), expectedData);

    // -u with a file no longer than the member: appended too, never written over the live
    // bytes; the old bytes stay as dead space until a pack.
    r = run({"-u", arc(), path("three"), "beta"});
    ASSERT_EQ(r.status, 0) << r.err;
    index = index_bytes();
    const SlotView b2 = view_slot(index, static_cast<std::uint64_t>(betaSlot));
    EXPECT_EQ(b2.offset, 311u);
    EXPECT_EQ(b2.length, 7u);
    expectedData.insert(expectedData.end(), three.begin(), three.end());
    EXPECT_EQ(data_bytes(), expectedData);

    // -u with a longer file: appended; the old bytes stay until a pack.
    r = run({"-u", arc(), path("two"), "alpha"});
    ASSERT_EQ(r.status, 0) << r.err;
    index = index_bytes();
    const SlotView a2 = view_slot(index, home_slot("alpha", buckets));
    EXPECT_EQ(a2.offset, 318u);
    EXPECT_EQ(a2.length, 300u);
    expectedData.insert(expectedData.end(), two.begin(), two.end());
    EXPECT_EQ(data_bytes(), expectedData);

    // -d: byte 0 := 1, byte 1 := 0, the rest of the slot and the data untouched.
    const Bytes beforeDelete = index;
    r = run({"-d", arc(), "alpha"});
    ASSERT_EQ(r.status, 0) << r.err;
    index = index_bytes();
    const std::size_t at = home_slot("alpha", buckets) * 64;
    EXPECT_EQ(index[at], 1);
    EXPECT_EQ(index[at + 1], 0);
    for (std::size_t i = 2; i < 64; ++i) EXPECT_EQ(index[at + i], beforeDelete[at + i]) << i;
    EXPECT_EQ(data_bytes(), expectedData);

    // -a of a name with the same home bucket reuses the deleted slot.
    std::string sameHome;
    for (int k = 0; sameHome.empty(); ++k) {
        const std::string n = "s" + std::to_string(k);
        if (archive_hash(n) % buckets == archive_hash("alpha") % buckets) sameHome = n;
    }
    r = run({"-a", arc(), path("one"), sameHome});
    ASSERT_EQ(r.status, 0) << r.err;
    index = index_bytes();
    EXPECT_EQ(view_slot(index, home_slot("alpha", buckets)).name, sameHome);
    EXPECT_EQ(view_slot(index, home_slot("alpha", buckets)).offset, 618u);
    expectedData.insert(expectedData.end(), one.begin(), one.end());

    // -p: members contiguous from offset 1 in slot order, slot layout kept, other bytes kept.
    r = run({"-d", arc(), "beta"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes beforePack = index_bytes();
    r = run({"-p", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    index = index_bytes();
    ASSERT_EQ(index.size(), beforePack.size());
    const long s = find_slot(index, sameHome);
    ASSERT_GE(s, 0);
    EXPECT_EQ(view_slot(index, s).offset, 1u);
    EXPECT_EQ(view_slot(index, s).length, 10u);
    EXPECT_EQ(view_slot(index, s).time, view_slot(beforePack, s).time);
    for (std::size_t i = 0; i < index.size(); ++i) {
        const bool inNumbers = i >= static_cast<std::size_t>(s) * 64 + sameHome.size() + 1 &&
                               i < static_cast<std::size_t>(s) * 64 + sameHome.size() + 5;
        if (!inNumbers) {
            ASSERT_EQ(index[i], beforePack[i]) << "byte " << i;
        }
    }
    Bytes packed{0};
    packed.insert(packed.end(), one.begin(), one.end());
    EXPECT_EQ(data_bytes(), packed);

    // -r: 3 buckets for one entry, the entry first in its home bucket, data untouched.
    r = run({"-r", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 index entries\n3 buckets\n0 entries in smallest bucket\n"
                     "1 entries in largest bucket\n");
    index = index_bytes();
    ASSERT_EQ(index.size(), 3u * 4096);
    const std::uint64_t home = home_slot(sameHome, 3);
    EXPECT_EQ(view_slot(index, home).name, sameHome);
    EXPECT_EQ(view_slot(index, home).offset, 1u);
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (i / 64 != home) {
            ASSERT_EQ(index[i], 0) << "byte " << i;
        }
    }
    EXPECT_EQ(data_bytes(), packed);
    EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.ind")));
    EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.lib")));
}

INSTANTIATE_TEST_SUITE_P(TableSizes, ArcmanBytes, ::testing::Values(1L, 96L, 1000L, 5000L));

// ---- Round trip --------------------------------------------------------------------------

class ArcmanRoundTrip : public ScratchTest {};

TEST_F(ArcmanRoundTrip, AddListExtractDeleteReaddPackRehashExtract) {
    make_archive(1000);
    constexpr int kMembers = 400;
    std::map<std::string, Bytes> members;
    std::vector<std::string> add{"-a", arc()};
    std::mt19937 rng(42);
    for (int i = 0; i < kMembers; ++i) {
        const std::string name = "member_" + std::to_string(i) + (i % 7 == 0 ? std::string(30, 'x') : "");
        const Bytes content = pattern(rng() % 2000, static_cast<unsigned>(i));
        const auto file = path("in" + std::to_string(i));
        write_bytes(file, content);
        members[name] = content;
        add.push_back(file.string());
        add.push_back(name);
    }
    RunResult r = run(add);
    ASSERT_EQ(r.status, 0) << r.err;

    r = run({"-l", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> listed;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) listed.insert(line.substr(0, line.find(' ')));
    std::set<std::string> expectedNames;
    for (const auto& [name, content] : members) expectedNames.insert(name);
    EXPECT_EQ(listed, expectedNames);

    auto extract_all = [&](const char* stage) {
        std::vector<std::string> x{"-x", arc()};
        int k = 0;
        for (const auto& [name, content] : members) {
            x.push_back(name);
            x.push_back(path("out" + std::to_string(k++)).string());
        }
        const RunResult rx = run(x);
        ASSERT_EQ(rx.status, 0) << stage << ": " << rx.err;
        EXPECT_EQ(rx.err, "") << stage;
        k = 0;
        for (const auto& [name, content] : members)
            ASSERT_EQ(read_bytes(path("out" + std::to_string(k++))), content) << stage << ": " << name;
    };
    extract_all("after adding");

    // Delete one member and store the name again: it goes back into its old slot.
    const std::string reused = members.begin()->first;
    const long oldSlot = find_slot(index_bytes(), reused);
    ASSERT_GE(oldSlot, 0);
    r = run({"-d", arc(), reused});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(find_slot(index_bytes(), reused), -1);
    EXPECT_EQ(index_bytes()[static_cast<std::size_t>(oldSlot) * 64], 1);
    r = run({"-x", arc(), reused, path("gone").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "arcman: warning, \"" + reused + "\" not found in archive, skipping\n");
    const Bytes again = pattern(123, 999);
    write_bytes(path("again"), again);
    r = run({"-a", arc(), path("again"), reused});
    ASSERT_EQ(r.status, 0) << r.err;
    members[reused] = again;
    EXPECT_EQ(find_slot(index_bytes(), reused), oldSlot);

    // Delete a quarter of the members.
    std::vector<std::string> del{"-d", arc()};
    int k = 0;
    for (auto it = members.begin(); it != members.end(); ++k) {
        if (k % 4 == 1) {
            del.push_back(it->first);
            it = members.erase(it);
        } else {
            ++it;
        }
    }
    r = run(del);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    extract_all("after deleting and re-adding");

    const std::size_t dataBefore = data_bytes().size();
    r = run({"-p", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t total = 1;
    for (const auto& [name, content] : members) total += content.size();
    EXPECT_EQ(data_bytes().size(), total);
    EXPECT_LT(total, dataBefore);
    extract_all("after packing");

    r = run({"-r", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), std::to_string(members.size()) + " index entries");
    const Bytes rehashed = index_bytes();
    const std::uint64_t buckets = rehashed.size() / 4096;
    for (const auto& [name, content] : members) {
        const long slot = find_slot(rehashed, name);
        ASSERT_GE(slot, 0) << name;
        EXPECT_EQ(static_cast<std::uint64_t>(slot) / 64, archive_hash(name) % buckets) << name;
    }
    extract_all("after rehashing");
}

// ---- Messages and exit codes of the tool as a process ------------------------------------

class ArcmanProcess : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        make_archive(10);
        write_text(path("f"), "member text");
        ASSERT_EQ(run({"-a", arc(), path("f"), "present"}).status, 0);
    }
};

TEST_F(ArcmanProcess, MessagesAndExitCodes) {
    const std::string lib = arc();
    const std::string fresh = path("fresh").string();
    const std::string missing = path("missing").string();
    const std::string file = path("f").string();
    const std::string name52(52, 'n');
    // Halves of an archive: only the data file, only the index.
    const std::string onlyData = path("onlydata").string(), onlyIndex = path("onlyindex").string();
    std::filesystem::create_directory(onlyData);
    std::filesystem::create_directory(onlyIndex);
    write_bytes(onlyData + "/kelvo.lib", Bytes{0});
    write_bytes(onlyIndex + "/kelvo.ind", Bytes(4096, 0));
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string err;
        std::string out;
    };
    const Row rows[] = {
        {"no arguments", {}, 1, kUsage, ""},
        {"directory only", {lib}, 1, kUsage, ""},
        {"no minus", {"l", lib}, 1, kUsage, ""},
        {"lone minus", {"-", lib}, 1, kUsage, ""},
        {"unknown letter", {"-q", lib}, 1, kUsage, ""},
        {"two letters", {"-ll", lib}, 1, kUsage, ""},
        {"list with operand", {"-l", lib, "x"}, 1, kUsage, ""},
        {"add without pair", {"-a", lib, file}, 1, kUsage, ""},
        {"add odd operands", {"-a", lib, file, "n", file}, 1,
         "arcman: there must be an indexName for each fileName\n", ""},
        {"update odd operands", {"-u", lib, file, "n", file}, 1,
         "arcman: there must be an indexName for each fileName\n", ""},
        {"extract without pair", {"-x", lib, "n"}, 1, kUsage, ""},
        {"extract odd operands", {"-x", lib, "n", "f", "m"}, 1,
         "arcman: there must be a fileName for each indexName\n", ""},
        {"delete without names", {"-d", lib}, 1, kUsage, ""},
        {"create without size", {"-c", fresh}, 1, kUsage, ""},
        {"create size not a number", {"-c", fresh, "many"}, 1, kUsage, ""},
        {"create size zero", {"-c", fresh, "0"}, 1, kUsage, ""},
        {"create size too large", {"-c", fresh, "100000"}, 1,
         "arcman: the table size must be between 1 and 99999\n", ""},
        {"create size negative", {"-c", fresh, "-4"}, 1,
         "arcman: the table size must be between 1 and 99999\n", ""},
        {"create size huge", {"-c", fresh, "99999999999999999999999"}, 1,
         "arcman: the table size must be between 1 and 99999\n", ""},
        {"create over archive", {"-c", lib, "10"}, 1,
         "arcman: there is already an archive in \"" + lib + "\"\n", ""},
        {"create in missing directory", {"-c", missing + "/x", "10"}, 1,
         "arcman: the archive index file could not be created\n", ""},
        {"create beside a data file", {"-c", onlyData, "10"}, 1,
         "arcman: there is already an archive in \"" + onlyData + "\"\n", ""},
        {"create beside an index", {"-c", onlyIndex, "10"}, 1,
         "arcman: there is already an archive in \"" + onlyIndex + "\"\n", ""},
        {"list index without data", {"-l", onlyIndex}, 1,
         "arcman: there is no existing archive in \"" + onlyIndex + "\"\n", ""},
        {"add beside data without index", {"-a", onlyData, file, "n"}, 1,
         "arcman: there is no existing archive in \"" + onlyData + "\"\n", ""},
        {"list without archive", {"-l", missing}, 1,
         "arcman: there is no existing archive in \"" + missing + "\"\n", ""},
        {"add name too long", {"-a", lib, file, "ok", file, name52}, 1,
         "arcman: the name \"" + name52 + "\" is longer than 51 characters\n", ""},
        {"add name with deleted mark", {"-a", lib, file, "\x01z"}, 1,
         "arcman: the name \"\x01z\" cannot be stored: an index name cannot begin with the byte 0x01\n", ""},
        {"add present name", {"-a", lib, file, "present"}, 0,
         "arcman: warning, \"present\" already in archive, skipping\n", ""},
        {"add missing file", {"-a", lib, missing, "n"}, 0,
         "arcman: warning, the file \"" + missing + "\" could not be opened, skipping\n", ""},
        {"add a directory", {"-a", lib, lib, "n"}, 0,
         "arcman: warning, the file \"" + lib + "\" could not be opened, skipping\n", ""},
        {"update absent name", {"-u", lib, file, "absent"}, 0,
         "arcman: warning, \"absent\" not found in archive, skipping\n", ""},
        {"extract absent name", {"-x", lib, "absent", path("o").string()}, 0,
         "arcman: warning, \"absent\" not found in archive, skipping\n", ""},
        {"extract to unwritable path", {"-x", lib, "present", missing + "/o"}, 0,
         "arcman: warning, file \"" + missing + "/o\" could not be opened, skipping\n", ""},
        {"delete absent name", {"-d", lib, "absent"}, 0,
         "arcman: warning, \"absent\" not found in archive, skipping\n", ""},
        {"rehash", {"-r", lib}, 0, "",
         "1 index entries\n3 buckets\n0 entries in smallest bucket\n1 entries in largest bucket\n"},
    };
    for (const Row& row : rows) {
        const RunResult r = spawn(row.args);
        EXPECT_EQ(r.status, row.status) << row.name;
        EXPECT_EQ(r.err, row.err) << row.name;
        EXPECT_EQ(r.out, row.out) << row.name;
    }
    // None of the refused commands changed the archive or created one.
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(read_bytes(onlyData + "/kelvo.lib"), Bytes{0});
    EXPECT_FALSE(std::filesystem::exists(onlyData + "/kelvo.ind"));
    EXPECT_FALSE(std::filesystem::exists(onlyIndex + "/kelvo.lib"));
    const Bytes index = index_bytes();
    EXPECT_GE(find_slot(index, "present"), 0);
    EXPECT_EQ(find_slot(index, "ok"), -1);   // the long name stopped the whole command
    EXPECT_EQ(data_bytes().size(), 1 + std::string("member text").size());
}

TEST_F(ArcmanProcess, ListingColumnsAndDates) {
    // Set the stored times directly: recent, in the future, and before the earliest listed time.
    write_text(path("g"), "0123456789");
    ASSERT_EQ(run({"-a", arc(), path("g"), "future", path("g"), "old"}).status, 0);
    Bytes index = index_bytes();
    const std::time_t now = std::time(nullptr);
    const std::time_t recent = now - 3600;
    auto set_time = [&](const std::string& name, std::uint32_t t) {
        const std::size_t at = static_cast<std::size_t>(find_slot(index, name)) * 64 + name.size() + 9;
        index[at] = static_cast<std::uint8_t>(t >> 24);
        index[at + 1] = static_cast<std::uint8_t>(t >> 16);
        index[at + 2] = static_cast<std::uint8_t>(t >> 8);
        index[at + 3] = static_cast<std::uint8_t>(t);
    };
    set_time("present", static_cast<std::uint32_t>(recent));
    set_time("future", static_cast<std::uint32_t>(now + 1000));
    set_time("old", 799048799u);
    write_bytes(path("lib/kelvo.ind"), index);

    const RunResult r = spawn({"-l", arc()});
    ASSERT_EQ(r.status, 0) << r.err;
    struct tm local {};
    localtime_r(&recent, &local);
    char date[32];
    std::snprintf(date, sizeof date, "%4d-%02d-%02d %2d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    std::map<std::string, std::string> expected{
        {"present", "present" + std::string(41, ' ') + " " + date + " " + "       1    11\n"},
        {"future", "future" + std::string(42, ' ') + " " + std::string(14, ' ') + " " + "      12    10\n"},
        {"old", "old" + std::string(45, ' ') + " " + std::string(14, ' ') + " " + "      22    10\n"},
    };
    std::istringstream lines(r.out);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::string name = line.substr(0, line.find(' '));
        ASSERT_TRUE(expected.count(name)) << line;
        EXPECT_EQ(line + "\n", expected[name]);
    }
    EXPECT_EQ(count, expected.size());
}

TEST_F(ArcmanProcess, FullIndexStopsTheCommandAfterStoringEarlierPairs) {
    // Table size 10 gives 3 buckets, 192 slots; one is taken by "present".
    std::vector<std::string> add{"-a", arc()};
    for (int i = 0; i < 192; ++i) {
        add.push_back(path("f").string());
        add.push_back("n" + std::to_string(i));
    }
    const RunResult r = spawn(add);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "arcman: no more files can be added to the index\n");
    const Bytes index = index_bytes();
    EXPECT_GE(find_slot(index, "n190"), 0);
    EXPECT_EQ(find_slot(index, "n191"), -1);
    for (std::size_t s = 0; s < 192; ++s) EXPECT_GT(index[s * 64], 1) << "slot " << s;
    // A deleted slot makes room again.
    ASSERT_EQ(run({"-d", arc(), "n5"}).status, 0);
    EXPECT_EQ(run({"-a", arc(), path("f"), "n191"}).status, 0);
}

// ---- Damaged archives --------------------------------------------------------------------

class ArcmanDamaged : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        make_archive(10);
        write_text(path("f"), "0123456789");
        ASSERT_EQ(run({"-a", arc(), path("f"), "a", path("f"), "d"}).status, 0);
    }
};

TEST_F(ArcmanDamaged, EveryCommandRefusesADamagedIndex) {
    const Bytes good = index_bytes();
    Bytes noNul = good;
    std::memset(&noNul[64 * 64], 'q', 64);   // slot 64, home of "a", without a NUL
    struct Row {
        const char* name;
        Bytes index;
        std::string message;
    };
    const Row rows[] = {
        {"empty index", Bytes{}, "arcman: the archive index is damaged: it holds 0 bytes, less than one bucket of 4096\n"},
        {"short index", Bytes(100, 0), "arcman: the archive index is damaged: it holds 100 bytes, less than one bucket of 4096\n"},
        {"partial bucket", Bytes(good.begin(), good.end() - 1),
         "arcman: the archive index is damaged: its size of 12287 bytes is not a whole number of 4096-byte buckets\n"},
        {"slot without NUL", noNul, "arcman: the archive index is damaged: slot 64 holds a name without its terminating NUL\n"},
    };
    const std::vector<std::vector<std::string>> commands = {
        {"-l", arc()}, {"-x", arc(), "d", path("o").string()}, {"-d", arc(), "d"},
        {"-a", arc(), path("f").string(), "g"}, {"-u", arc(), path("f").string(), "d"},
        {"-p", arc()}, {"-r", arc()},
    };
    for (const Row& row : rows) {
        for (const auto& command : commands) {
            write_bytes(path("lib/kelvo.ind"), row.index);
            const RunResult r = spawn(command);
            EXPECT_EQ(r.status, 1) << row.name << " " << command[0];
            EXPECT_EQ(r.err, row.message) << row.name << " " << command[0];
            EXPECT_EQ(read_bytes(path("lib/kelvo.ind")), row.index) << row.name << " " << command[0];
            EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.ind"))) << row.name;
            EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.lib"))) << row.name;
        }
    }
}

TEST_F(ArcmanDamaged, MembersBeyondTheDataFileAreRefused) {
    const Bytes data = data_bytes();
    write_bytes(path("lib/kelvo.lib"), Bytes(data.begin(), data.begin() + 15));   // cuts "d"
    const Bytes index = index_bytes();
    const std::string beyond =
        "arcman: the archive is damaged: \"d\" (offset 11, length 10) reaches beyond the end of "
        "the data file (15 bytes)\n";
    RunResult r = spawn({"-x", arc(), "a", path("oa").string(), "d", path("od").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, beyond);
    EXPECT_EQ(read_text(path("oa")), "0123456789");   // pairs before the damage are done
    EXPECT_FALSE(std::filesystem::exists(path("od")));

    r = spawn({"-p", arc()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, beyond);
    EXPECT_EQ(index_bytes(), index);
    EXPECT_EQ(data_bytes().size(), 15u);
    EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.ind")));
    EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.lib")));

    write_text(path("short"), "xy");
    r = spawn({"-u", arc(), path("short").string(), "d"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, beyond);
}

TEST_F(ArcmanDamaged, DataFileCannotGrowPastThirtyTwoBitOffsets) {
    // A sparse data file just below 4 GiB: the next member would not be addressable.
    std::filesystem::resize_file(path("lib/kelvo.lib"), 0xFFFFFFF0ull);
    const Bytes index = index_bytes();
    write_bytes(path("big"), Bytes(100, 7));
    const RunResult r = spawn({"-a", arc(), path("big").string(), "big"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "arcman: \"" + path("big").string() +
                         "\" does not fit: the archive data file cannot grow beyond 4294967295 bytes\n");
    EXPECT_EQ(index_bytes(), index);
    EXPECT_EQ(std::filesystem::file_size(path("lib/kelvo.lib")), 0xFFFFFFF0ull);
}

// ---- Interrupted rebuilds ----------------------------------------------------------------

class ArcmanRecovery : public ScratchTest {
public:
    // For the table's set-up steps.
    using ScratchTest::path;
    using ScratchTest::run;

protected:
    void SetUp() override {
        ScratchTest::SetUp();
        prepare();
    }
    // An archive holding "two" behind the deleted "one", so that a pack moves it.
    void prepare() {
        make_archive(10);
        write_text(path("f1"), "first member");
        write_text(path("f2"), "second");
        ASSERT_EQ(run({"-a", arc(), path("f1"), "one", path("f2"), "two"}).status, 0);
        ASSERT_EQ(run({"-d", arc(), "one"}).status, 0);
    }
};

// Every entry of the archive directory: regular files with their bytes, other kinds by name.
std::map<std::string, Bytes> directory_state(const std::filesystem::path& dir) {
    std::map<std::string, Bytes> state;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = e.path().lexically_relative(dir).string();
        state[name] = e.is_regular_file() ? read_bytes(e.path()) : Bytes{'<', 'd', 'i', 'r', '>'};
    }
    return state;
}

// The states an interrupted rebuild (or something in a temporary's place) leaves.  Extracting
// and listing read the right bytes and change nothing, temporaries included; a rebuild settles
// the state first, or fails with one message and leaves the archive as it was.
TEST_F(ArcmanRecovery, ReadersLeaveTemporariesAndRebuildsSettleThem) {
    struct Row {
        const char* name;
        std::function<void(ArcmanRecovery&)> leave;
        bool settles;   // whether a pack can clear the state
    };
    const Row rows[] = {
        {"unfinished rebuild before its commit",
         [](ArcmanRecovery& t) {
             write_text(t.path("lib/ovlek.ind"), "half an index");
             write_text(t.path("lib/ovlek.lib"), "half a data file");
         },
         true},
        {"pack stopped between its renames",
         [](ArcmanRecovery& t) {
             // The packed index is in place; its data still has the temporary's name.
             std::filesystem::copy(t.path("lib"), t.path("copy"));
             ASSERT_EQ(t.run({"-p", t.path("copy").string()}).status, 0);
             std::filesystem::copy_file(t.path("copy/kelvo.ind"), t.path("lib/kelvo.ind"),
                                        std::filesystem::copy_options::overwrite_existing);
             std::filesystem::copy_file(t.path("copy/kelvo.lib"), t.path("lib/ovlek.lib"));
         },
         true},
        {"stray data temporary too short for the members",
         [](ArcmanRecovery& t) { write_text(t.path("lib/ovlek.lib"), "x"); }, true},
        {"directory in the index temporary's place",
         [](ArcmanRecovery& t) {
             std::filesystem::create_directory(t.path("lib/ovlek.ind"));
             write_text(t.path("lib/ovlek.ind/inside"), "kept");
         },
         false},
        {"directory in the data temporary's place",
         [](ArcmanRecovery& t) { std::filesystem::create_directory(t.path("lib/ovlek.lib")); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(path("lib"));
        std::filesystem::remove_all(path("copy"));
        prepare();
        row.leave(*this);
        const auto before = directory_state(path("lib"));

        const RunResult x = spawn({"-x", arc(), "two", path("o").string()});
        ASSERT_EQ(x.status, 0) << x.err;
        EXPECT_EQ(read_text(path("o")), "second");
        const RunResult l = spawn({"-l", arc()});
        ASSERT_EQ(l.status, 0) << l.err;
        EXPECT_NE(l.out.find("two"), std::string::npos) << l.out;
        EXPECT_EQ(directory_state(path("lib")), before) << "a reader changed the archive directory";

        const RunResult p = spawn({"-p", arc()});
        if (row.settles) {
            ASSERT_EQ(p.status, 0) << p.err;
            EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.ind")));
            EXPECT_FALSE(std::filesystem::exists(path("lib/ovlek.lib")));
            ASSERT_EQ(spawn({"-x", arc(), "two", path("o").string()}).status, 0);
            EXPECT_EQ(read_text(path("o")), "second");
        } else {
            EXPECT_EQ(p.status, 1);
            EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 1) << p.err;
            EXPECT_NE(p.err.find("could not be removed"), std::string::npos) << p.err;
            EXPECT_EQ(directory_state(path("lib")), before) << "a failed pack changed the archive";
        }
    }
}

// ---- Concurrent runs ---------------------------------------------------------------------

TEST_F(ArcmanProcess, ConcurrentChangesAreSerialised) {
    // Eight writers add distinct members while packs and rehashes replace the files.
    constexpr int kWriters = 8, kPerWriter = 15;
    ASSERT_EQ(run({"-d", arc(), "present"}).status, 0);
    std::filesystem::remove_all(arc());
    make_archive(500);
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters + 2; ++w) {
        std::vector<std::string> args;
        if (w == kWriters) {
            args = {"-p", arc()};
        } else if (w == kWriters + 1) {
            args = {"-r", arc()};
        } else {
            args = {"-a", arc()};
            for (int k = 0; k < kPerWriter; ++k) {
                const std::string tag = std::to_string(w) + "_" + std::to_string(k);
                write_text(path("c" + tag), "content of " + tag);
                args.push_back(path("c" + tag).string());
                args.push_back("m" + tag);
            }
        }
        args.insert(args.begin(), ARCMAN_BINARY);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> x{"-x", arc()};
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kPerWriter; ++k) {
            const std::string tag = std::to_string(w) + "_" + std::to_string(k);
            x.push_back("m" + tag);
            x.push_back(path("o" + tag).string());
        }
    const RunResult r = run(x);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kPerWriter; ++k) {
            const std::string tag = std::to_string(w) + "_" + std::to_string(k);
            EXPECT_EQ(read_text(path("o" + tag)), "content of " + tag);
        }
}

}  // namespace
