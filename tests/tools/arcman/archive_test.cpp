// The index and data file module: hash, primes, table sizes, slot bytes, index sizes, probing.
#include "tools/arcman/archive.h"

#include "arcman_fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace archive;
using arcman_test::ScratchTest;

namespace {

TEST(ArchiveHash, TableOfNames) {
    struct Row {
        const char* name;
        std::string input;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"empty", "", 0},
        {"one byte", "a", 97},
        {"two bytes", "ab", 97u * 131u + 98u},
        {"byte above 127 is unsigned", "\xff", 255},
        {"wraps modulo 2^32", "kelvo", 1675646623u},
        {"ten bytes", "abcdefghij", 3869181689u},
        {"51 bytes", std::string(51, 'x'), 0},   // filled in below
    };
    for (const Row& row : rows) {
        std::uint32_t expected = row.expected;
        if (row.input.size() == 51) {
            std::uint64_t h = 0;   // reference: the same recurrence in 64 bits, reduced each step
            for (unsigned char c : row.input) h = (h * 131 + c) % 4294967296ull;
            expected = static_cast<std::uint32_t>(h);
        }
        EXPECT_EQ(archive_hash(row.input), expected) << row.name;
    }
}

TEST(ArchiveNextPrime, Table) {
    const std::pair<std::uint64_t, std::uint64_t> rows[] = {
        {0, 1}, {1, 1}, {2, 3}, {3, 3}, {4, 5}, {8, 11}, {9, 11}, {24, 29},
        {25, 29}, {120, 127}, {313, 313}, {314, 317}, {3136, 3137},
    };
    for (auto [n, p] : rows) EXPECT_EQ(next_prime(n), p) << "n = " << n;
}

TEST(ArchiveTableBuckets, Table) {
    const std::pair<long, std::uint64_t> rows[] = {
        {1, 3}, {32, 3}, {95, 3}, {96, 5}, {100, 5}, {1000, 37}, {10000, 313}, {99999, 3137},
    };
    for (auto [t, b] : rows) EXPECT_EQ(archive_table_buckets(t), b) << "t = " << t;
}

TEST(ArchiveRehashBuckets, GrowsThroughPrimes) {
    struct Row {
        const char* name;
        std::uint32_t step;   // hashes 0, step, 2 step, ...
        std::size_t count;
        std::uint64_t expected;
    };
    const Row rows[] = {
        {"no entries", 1, 0, 3},
        {"63 in one bucket of 3 fit", 3, 63, 3},
        {"64 multiples of 3 need 5", 3, 64, 5},
        {"64 multiples of 15 need 7", 15, 64, 7},
        {"64 multiples of 3*5*7 need 11", 105, 64, 11},
        {"64 multiples of 3*5*7*11 need 13", 1155, 64, 13},
        {"spread hashes stay at 3", 1, 189, 3},
        {"190 spread hashes need 5", 1, 190, 5},
    };
    for (const Row& row : rows) {
        std::vector<std::uint32_t> hashes;
        for (std::size_t i = 0; i < row.count; ++i) hashes.push_back(static_cast<std::uint32_t>(i * row.step));
        EXPECT_EQ(archive_rehash_buckets(hashes), row.expected) << row.name;
    }
}

TEST(ArchiveRehashBuckets, SixtyFourEqualHashesAreRefusedNotLoopedOn) {
    std::vector<std::uint32_t> hashes(64, 12345u);
    EXPECT_THROW(archive_rehash_buckets(hashes), ArchiveError);
    hashes.pop_back();
    EXPECT_EQ(archive_rehash_buckets(hashes), 3u);   // 63 equal hashes still fit one bucket
}

TEST(ArchivePaths, FormedFromTheDirectory) {
    const ArchivePaths p("/x/lib");
    EXPECT_EQ(p.index, "/x/lib/kelvo.ind");
    EXPECT_EQ(p.data, "/x/lib/kelvo.lib");
    EXPECT_EQ(p.tempIndex, "/x/lib/ovlek.ind");
    EXPECT_EQ(p.tempData, "/x/lib/ovlek.lib");
}

// ---- Slots -------------------------------------------------------------------------------

TEST(ArchiveSlot, FiftyOneCharacterNameFillsTheSlotExactly) {
    SlotBytes slot{};
    const std::string name(51, 'n');
    slot_set_entry(slot, name, 0x01020304u, 0xA0B0C0D0u, 0x11223344u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(slot), 51), name);
    const std::uint8_t tail[13] = {0, 1, 2, 3, 4, 0xA0, 0xB0, 0xC0, 0xD0, 0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(std::memcmp(slot + 51, tail, 13), 0);
    const SlotEntry e = slot_decode(slot, 0);
    EXPECT_EQ(e.kind, SlotKind::live);
    EXPECT_EQ(e.name, name);
    EXPECT_EQ(e.offset, 0x01020304u);
    EXPECT_EQ(e.length, 0xA0B0C0D0u);
    EXPECT_EQ(e.time, 0x11223344u);
}

TEST(ArchiveSlot, NumbersFollowTheNameAndLeaveTheRest) {
    SlotBytes slot;
    std::memset(slot, 0xEE, sizeof slot);
    slot_set_entry(slot, "ab", 1, 2, 3);
    const std::uint8_t expected[15] = {'a', 'b', 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3};
    EXPECT_EQ(std::memcmp(slot, expected, 15), 0);
    for (std::size_t i = 15; i < 64; ++i) EXPECT_EQ(slot[i], 0xEE) << "byte " << i;

    slot_set_numbers(slot, 0x10, 0x20, 0x30);
    EXPECT_EQ(slot[6], 0x10);
    EXPECT_EQ(slot[10], 0x20);
    EXPECT_EQ(slot[14], 0x30);
}

TEST(ArchiveSlot, DecodeKinds) {
    SlotBytes slot{};
    EXPECT_EQ(slot_decode(slot, 0).kind, SlotKind::empty);
    slot_set_entry(slot, "abc", 5, 6, 7);
    slot_mark_deleted(slot);
    EXPECT_EQ(slot[0], 1);
    EXPECT_EQ(slot[1], 0);
    EXPECT_EQ(slot[2], 'c');   // the former entry's bytes stay
    EXPECT_EQ(slot_decode(slot, 0).kind, SlotKind::deleted);
    EXPECT_THROW(slot_set_numbers(slot, 1, 2, 3), std::invalid_argument);
}

TEST(ArchiveSlot, NameWithoutNulIsDamage) {
    struct Row {
        const char* name;
        std::size_t nulAt;   // 64: none
        bool damaged;
    };
    const Row rows[] = {
        {"NUL after 51 bytes", 51, false},
        {"NUL after 1 byte", 1, false},
        {"NUL after 52 bytes", 52, true},
        {"NUL only in the last byte", 63, true},
        {"no NUL at all", 64, true},
    };
    for (const Row& row : rows) {
        SlotBytes slot;
        std::memset(slot, 'z', sizeof slot);
        if (row.nulAt < 64) slot[row.nulAt] = 0;
        if (row.damaged) {
            try {
                slot_decode(slot, 77);
                ADD_FAILURE() << row.name << ": no error";
            } catch (const ArchiveError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::slotWithoutNul) << row.name;
                EXPECT_NE(std::string(e.what()).find("slot 77"), std::string::npos) << row.name;
            }
        } else {
            EXPECT_EQ(slot_decode(slot, 0).name.size(), row.nulAt) << row.name;
        }
    }
}

TEST(ArchiveSlot, StorableNames) {
    const std::pair<std::string, NameProblem> rows[] = {
        {"a", NameProblem::none},
        {std::string(51, 'q'), NameProblem::none},
        {std::string(52, 'q'), NameProblem::tooLong},
        {"", NameProblem::empty},
        {"\x01x", NameProblem::deletedMark},
        {"x\x01", NameProblem::none},
        {std::string("a\0b", 3), NameProblem::hasNul},
    };
    for (const auto& [name, problem] : rows) EXPECT_EQ(name_problem(name), problem) << name;
}

// ---- Index files -------------------------------------------------------------------------

class ArchiveIndexTest : public ScratchTest {
protected:
    // A zeroed index of `buckets` buckets, opened for update.
    ArchiveIndex make(std::uint64_t buckets) {
        write_bytes_to(path("idx"), arcman_test::Bytes(buckets * kBucketSize, 0));
        fd_ = UniqueFd(::open(path("idx").c_str(), O_RDWR));
        return ArchiveIndex(fd_.get());
    }
    static void write_bytes_to(const std::filesystem::path& p, const arcman_test::Bytes& b) {
        arcman_test::write_bytes(p, b);
    }
    void put(ArchiveIndex& index, const std::string& name, std::uint32_t offset = 1) {
        const ArchiveIndex::Probe p = index.insertion(name);
        ASSERT_EQ(p.outcome, ArchiveIndex::Probe::chosen) << name;
        SlotBytes bytes;
        std::memcpy(bytes, p.bytes, sizeof bytes);
        slot_set_entry(bytes, name, offset, 0, 0);
        index.writeSlot(p.slot, bytes);
    }
    void remove(ArchiveIndex& index, const std::string& name) {
        ArchiveIndex::Probe p = index.lookup(name);
        ASSERT_EQ(p.outcome, ArchiveIndex::Probe::found) << name;
        slot_mark_deleted(p.bytes);
        index.writeSlot(p.slot, p.bytes);
    }
    UniqueFd fd_;
};

TEST_F(ArchiveIndexTest, SizesThatAreNotWholeBucketsAreRejected) {
    struct Row {
        std::size_t size;
        bool ok;
        ErrorKind kind;
    };
    const Row rows[] = {
        {0, false, ErrorKind::indexTooShort},    {64, false, ErrorKind::indexTooShort},
        {4095, false, ErrorKind::indexTooShort}, {4097, false, ErrorKind::indexNotBuckets},
        {8191, false, ErrorKind::indexNotBuckets}, {12289, false, ErrorKind::indexNotBuckets},
        {4096, true, ErrorKind::readFailed},     {12288, true, ErrorKind::readFailed},
    };
    for (const Row& row : rows) {
        write_bytes_to(path("idx"), arcman_test::Bytes(row.size, 0));
        UniqueFd fd(::open(path("idx").c_str(), O_RDONLY));
        if (row.ok) {
            EXPECT_EQ(ArchiveIndex(fd.get()).bucketCount(), row.size / 4096) << row.size;
            continue;
        }
        try {
            ArchiveIndex index(fd.get());
            ADD_FAILURE() << row.size << ": accepted";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), row.kind) << row.size;
        }
    }
}

TEST_F(ArchiveIndexTest, CollidingNamesTakeConsecutiveSlotsAndDeletedSlotsDoNotStopLookup) {
    ArchiveIndex index = make(3);
    // "a" (97), "d" (100) and "g" (103) all have home bucket 1, home slot 64.
    put(index, "a");
    put(index, "d");
    EXPECT_EQ(index.lookup("a").slot, 64u);
    EXPECT_EQ(index.lookup("d").slot, 65u);
    remove(index, "a");
    EXPECT_EQ(index.lookup("a").outcome, ArchiveIndex::Probe::notFound);
    const ArchiveIndex::Probe d = index.lookup("d");
    EXPECT_EQ(d.outcome, ArchiveIndex::Probe::found);
    EXPECT_EQ(d.slot, 65u);
    EXPECT_EQ(index.insertion("d").outcome, ArchiveIndex::Probe::found);
    // A new name of the same home bucket reuses the deleted slot.
    const ArchiveIndex::Probe g = index.insertion("g");
    EXPECT_EQ(g.outcome, ArchiveIndex::Probe::chosen);
    EXPECT_EQ(g.slot, 64u);
}

TEST_F(ArchiveIndexTest, InsertionUsesTheLastDeletedSlotPassed) {
    ArchiveIndex index = make(3);
    put(index, "a");
    put(index, "d");
    put(index, "g");
    remove(index, "a");
    remove(index, "d");
    const ArchiveIndex::Probe p = index.insertion("j");   // 106: bucket 1 as well
    EXPECT_EQ(p.outcome, ArchiveIndex::Probe::chosen);
    EXPECT_EQ(p.slot, 65u);
}

TEST_F(ArchiveIndexTest, ProbeWrapsFromTheLastSlotToSlotZero) {
    ArchiveIndex index = make(3);
    // 64 names with home bucket 2 (hash mod 3 == 2) fill the last bucket.
    std::vector<std::string> names;
    for (int k = 0; names.size() < 64; ++k)
        if (archive_hash("z" + std::to_string(k)) % 3 == 2) names.push_back("z" + std::to_string(k));
    for (const std::string& n : names) put(index, n);
    EXPECT_EQ(index.lookup(names.back()).slot, 191u);
    std::string extra;
    for (int k = 100; extra.empty(); ++k)
        if (archive_hash("w" + std::to_string(k)) % 3 == 2) extra = "w" + std::to_string(k);
    const ArchiveIndex::Probe p = index.insertion(extra);
    EXPECT_EQ(p.outcome, ArchiveIndex::Probe::chosen);
    EXPECT_EQ(p.slot, 0u);
    put(index, extra);
    EXPECT_EQ(index.lookup(extra).slot, 0u);
}

TEST_F(ArchiveIndexTest, FullIndexRefusesUnlessASlotWasDeleted) {
    ArchiveIndex index = make(1);
    for (int k = 0; k < 64; ++k) put(index, "n" + std::to_string(k));
    EXPECT_EQ(index.insertion("another").outcome, ArchiveIndex::Probe::full);
    EXPECT_EQ(index.lookup("another").outcome, ArchiveIndex::Probe::notFound);
    EXPECT_EQ(index.lookup("n63").outcome, ArchiveIndex::Probe::found);
    remove(index, "n17");
    const ArchiveIndex::Probe p = index.insertion("another");
    EXPECT_EQ(p.outcome, ArchiveIndex::Probe::chosen);
    EXPECT_EQ(p.slot, index.lookup("n16").slot + 1);
}

TEST_F(ArchiveIndexTest, ProbeThroughADamagedSlotReportsIt) {
    ArchiveIndex index = make(3);
    put(index, "a");
    SlotBytes bad;
    std::memset(bad, 'q', sizeof bad);
    index.writeSlot(64, bad);
    EXPECT_THROW(index.lookup("d"), ArchiveError);
    EXPECT_EQ(index.lookup("b").outcome, ArchiveIndex::Probe::notFound);   // another bucket
}

TEST(ArchiveMember, MustLieInsideTheDataFile) {
    SlotEntry e;
    e.kind = SlotKind::live;
    e.name = "m";
    const struct {
        std::uint32_t offset, length;
        std::uint64_t size;
        bool ok;
    } rows[] = {
        {1, 9, 10, true}, {1, 10, 10, false}, {10, 0, 10, true}, {11, 0, 10, false},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 100, false},   // no 32-bit wrap-around
    };
    for (const auto& row : rows) {
        e.offset = row.offset;
        e.length = row.length;
        if (row.ok)
            EXPECT_NO_THROW(check_member_in_data(e, row.size)) << row.offset << "+" << row.length;
        else
            EXPECT_THROW(check_member_in_data(e, row.size), ArchiveError) << row.offset << "+" << row.length;
    }
}

}  // namespace

namespace {

using ArchiveCommitTest = ScratchTest;
using arcman_test::Bytes;
using arcman_test::read_bytes;
using arcman_test::write_bytes;

TEST_F(ArchiveCommitTest, SyncCloseClosesEveryFileAndReportsAnyFailure) {
    const std::string a = path("a").string(), b = path("b").string();
    UniqueFd fa(::open(a.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    UniqueFd fb(::open(b.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(fa.valid() && fb.valid());
    EXPECT_TRUE(archive_sync_close({&fa, &fb}));
    EXPECT_FALSE(fa.valid());
    EXPECT_FALSE(fb.valid());

    // A descriptor that cannot be synced fails the call, and the good one is still closed.
    UniqueFd good(::open(a.c_str(), O_WRONLY | O_CLOEXEC));
    int spare = ::dup(good.get());
    ::close(spare);
    UniqueFd bad(spare);
    EXPECT_FALSE(archive_sync_close({&bad, &good}));
    EXPECT_FALSE(good.valid());
}

TEST_F(ArchiveCommitTest, CommitRenameReplacesTheTargetOrLeavesItAlone) {
    const std::string from = path("new").string(), to = path("old").string();
    write_bytes(path("old"), Bytes{'o'});
    EXPECT_EQ(archive_commit_rename(from, to, path("").string()), ENOENT);
    EXPECT_EQ(read_bytes(path("old")), Bytes({'o'}));

    write_bytes(path("new"), Bytes{'n'});
    EXPECT_EQ(archive_commit_rename(from, to, path("").string()), 0);
    EXPECT_EQ(read_bytes(path("old")), Bytes({'n'}));
    EXPECT_FALSE(std::filesystem::exists(from));
}

}  // namespace
