#pragma once
// Library archives: the index file "kelvo.ind" and the data file "kelvo.lib" of an archive
// directory.  This module is the one reader and writer of the pair; `arcman` changes archives
// through it and the syntax checker reads indexes through it.
//
// Data file: one byte of value 0, then the members' bytes.  A member lies at
// [offset, offset + length); no member has offset 0.  Space of deleted or replaced members stays
// until the archive is packed.
//
// Index file: B buckets of 4096 bytes, B = file size / 4096, stored nowhere else.  Bucket b holds
// the 64-byte slots 64 b .. 64 b + 63; slot s lies at byte 64 s.
//
//   slot bytes    | meaning
//   --------------+----------------------------------------------------------------
//   0             | 0 empty; 1 deleted; anything else: first byte of a live name
//   0 .. n        | live: the name, n bytes (1 <= n <= 51), then one NUL
//   n+1 .. n+4    | data offset, unsigned 32-bit big-endian
//   n+5 .. n+8    | data length, unsigned 32-bit big-endian
//   n+9 .. n+12   | time stored, seconds since 1970 UTC, unsigned 32-bit big-endian
//   n+13 .. 63    | not significant (leftovers of earlier contents)
//
// A deleted slot has byte 0 = 1 and byte 1 = 0; its other bytes keep the former entry.
//
// Hashing and probing: h = h * 131 + byte (mod 2^32) over the name; the home slot of a name is
// 64 (h mod B).  A probe walks forward from the home slot, wrapping from the last slot to slot 0,
// and examines every slot at most once.  Lookup stops at the first live slot with an equal name
// (found) or the first empty slot (not found); deleted slots are passed.  Insertion probes the
// same way, remembers the last deleted slot passed, and uses it in preference to the empty slot
// where the probe stopped.
//
// Outside data is never trusted: an index shorter than one bucket or not a whole number of
// buckets, a live slot whose name has no NUL within its first 52 bytes, and a member reaching
// beyond the end of the data file are reported as `ArchiveError`s, never read past.
//
// Concurrency: every command opens the index through `ArchiveIndexLock`, which holds an
// exclusive flock on the index file; packing and rehashing replace files by rename, so the lock
// holder checks after locking that its descriptor still names the file at the index path.
//
// Rebuilds write the temporary pair "ovlek.ind" / "ovlek.lib" in the archive directory and
// commit in this order:
//   1. both temporaries written and synced (a rehash writes only "ovlek.ind");
//   2. "ovlek.ind" renamed over "kelvo.ind"  -- the commit point;
//   3. "ovlek.lib" renamed over "kelvo.lib".
// A failed rebuild removes "ovlek.lib" before "ovlek.ind".  So "ovlek.ind" present means an
// unfinished rebuild (discard both temporaries); "ovlek.lib" alone means a pack that stopped
// between steps 2 and 3 (finish it).  `archive_recover` applies this under the lock.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

constexpr std::size_t kSlotSize = 64;
constexpr std::size_t kSlotsPerBucket = 64;
constexpr std::size_t kBucketSize = kSlotSize * kSlotsPerBucket;   // 4096
constexpr std::size_t kMaxNameLength = 51;
constexpr long kMinTableSize = 1;
constexpr long kMaxTableSize = 99999;
constexpr std::uint8_t kEmptyMark = 0;
constexpr std::uint8_t kDeletedMark = 1;

// Rehashing stops growing the table here (a 4 GiB index); names that still crowd 64 into one
// bucket are reported instead of looping on.
constexpr std::uint64_t kMaxRehashBuckets = 1u << 20;

enum class ErrorKind {
    indexTooShort,      // fewer than 4096 bytes
    indexNotBuckets,    // size not a multiple of 4096
    slotWithoutNul,     // live slot whose name does not end within 52 bytes
    memberBeyondData,   // offset + length past the end of the data file
    readFailed,         // a slot or member could not be read
    writeFailed,        // a slot could not be written
    systemFailed,       // open, lock, stat or rename failed
};

// A failure of the archive files; `what()` is a sentence without the tool's name.
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(ErrorKind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// ---- Arithmetic of the format ------------------------------------------------------------

std::uint32_t archive_hash(std::string_view name);

// First odd number >= n (n + 1 when n is even) with no odd divisor d, 3 <= d, d*d <= it.
// 1 counts as prime by this test; 2 is never returned.
std::uint64_t next_prime(std::uint64_t n);

// Bucket count of a new index for a requested table size t (1..99999).
std::uint64_t archive_table_buckets(long tableSize);

// Smallest bucket count from 3 upwards through `next_prime` for which no bucket gets more than
// 63 of the given hashes.  Throws ArchiveError(systemFailed) when no count up to
// kMaxRehashBuckets works (for example 64 names with one hash value).
std::uint64_t archive_rehash_buckets(const std::vector<std::uint32_t>& hashes);

// Paths inside an archive directory, formed as directory + "/" + file name.
struct ArchivePaths {
    explicit ArchivePaths(const std::string& directory);
    std::string index;       // kelvo.ind
    std::string data;        // kelvo.lib
    std::string tempIndex;   // ovlek.ind
    std::string tempData;    // ovlek.lib
};

// ---- Slots -------------------------------------------------------------------------------

using SlotBytes = std::uint8_t[kSlotSize];

enum class SlotKind { empty, deleted, live };

struct SlotEntry {
    SlotKind kind = SlotKind::empty;
    std::string name;            // live only
    std::uint32_t offset = 0;    // live only
    std::uint32_t length = 0;
    std::uint32_t time = 0;
};

// Reads one slot; `slotNumber` only names the slot in the error of a slot without its NUL.
SlotEntry slot_decode(const SlotBytes& bytes, std::uint64_t slotNumber);

// Writes name, NUL, offset, length and time; the bytes after them are left as they were.
// Precondition: 1 <= name.size() <= 51 (checked).
void slot_set_entry(SlotBytes& bytes, std::string_view name, std::uint32_t offset,
                    std::uint32_t length, std::uint32_t time);

// Rewrites offset, length and time behind the live name already in the slot.
void slot_set_numbers(SlotBytes& bytes, std::uint32_t offset, std::uint32_t length,
                      std::uint32_t time);

// Byte 0 := 1, byte 1 := 0; the rest stays.
void slot_mark_deleted(SlotBytes& bytes);

// Whether `name` may be stored: 1..51 bytes, no NUL, and a first byte that does not read as
// the deleted mark (such a name would vanish from every lookup).
enum class NameProblem { none, empty, tooLong, deletedMark, hasNul };
NameProblem name_problem(std::string_view name);
const char* name_problem_text(NameProblem problem);

// ---- Files -------------------------------------------------------------------------------

// An open descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    // Closes now; false when close reported an error (a failed write-back).
    bool close();

private:
    int fd_ = -1;
};

// The index file opened with `openFlags` (O_RDONLY or O_RDWR) and locked exclusively (flock,
// which needs no write access).  After locking it checks that the path still names the locked
// file -- a rebuild may have renamed a new index over it meanwhile -- and starts over when not.
// On failure `valid()` is false and `error()` holds the errno of the open or lock (ENOENT: there
// is no index).  The lock goes with the descriptor.
class ArchiveIndexLock {
public:
    ArchiveIndexLock(const std::string& indexPath, int openFlags);
    bool valid() const { return fd_.valid(); }
    int error() const { return error_; }
    int fd() const { return fd_.get(); }
    // Closes the descriptor (and so drops the lock); false when close failed.
    bool close() { return fd_.close(); }

private:
    UniqueFd fd_;
    int error_ = 0;
};

// The commit steps of a rebuild, written once.  archive_sync_close makes each new file durable
// (fsync, then close; every file is tried) and answers whether all succeeded.
// archive_commit_rename renames `from` onto `to` and then syncs `directory` so that the rename
// itself survives a crash; 0, or the errno of the failed rename (nothing synced then).
bool archive_sync_close(std::initializer_list<UniqueFd*> files);
int archive_commit_rename(const std::string& from, const std::string& to, const std::string& directory);

// Finishes or discards an interrupted rebuild (see the commit order above).  Call with the index
// lock held.  Throws ArchiveError(systemFailed) when a rename or unlink fails.
void archive_recover(const ArchivePaths& paths);
// For the commands that only read (extract, list): the data file that holds the members the
// index names, the temporaries left as they are.  That is the data temporary of a pack that
// stopped between its two renames (when it holds every member), else the archive's data file.
std::string archive_data_to_read(const ArchivePaths& paths);

// Slot access and probing over an open index descriptor.
class ArchiveIndex {
public:
    // Reads the size of the index; throws indexTooShort / indexNotBuckets for a damaged size.
    explicit ArchiveIndex(int fd);

    std::uint64_t bucketCount() const { return buckets_; }
    std::uint64_t slotCount() const { return buckets_ * kSlotsPerBucket; }
    std::uint64_t homeSlot(std::string_view name) const;

    void readSlot(std::uint64_t slot, SlotBytes& out) const;    // throws readFailed
    // The 4096 bytes of bucket b into `out`; throws readFailed.
    void readBucket(std::uint64_t bucket, std::uint8_t* out) const;
    void writeSlot(std::uint64_t slot, const SlotBytes& bytes); // throws writeFailed

    struct Probe {
        enum Outcome {
            found,      // lookup: live slot with the name; insertion: name already present
            notFound,   // lookup only
            chosen,     // insertion: `slot` is the deleted or empty slot to use
            full,       // insertion: no empty and no deleted slot anywhere
        } outcome = notFound;
        std::uint64_t slot = 0;
        SlotBytes bytes{};     // the slot's current bytes (found or chosen)
        SlotEntry entry;       // decoded `bytes`
    };
    Probe lookup(std::string_view name) const;
    Probe insertion(std::string_view name) const;

private:
    Probe probe(std::string_view name, bool inserting) const;

    int fd_;
    std::uint64_t buckets_ = 0;
};

// Size of an open file; throws systemFailed.
std::uint64_t file_size(int fd);

// Throws memberBeyondData unless [offset, offset + length) lies inside a data file of
// `dataSize` bytes.
void check_member_in_data(const SlotEntry& entry, std::uint64_t dataSize);

// ---- Read-only listing of slot texts ------------------------------------------------------

// Lists the index open on `fd` as a reader that only wants the names sees it: every whole
// 64-byte slot from byte 0 in order, its text the bytes up to the first NUL (all 64 when the
// slot has none).  No size check and no lock: an index of any size is read slot by slot, a last
// piece shorter than a slot is left out.  `each` gets every slot's text, empty ones included.
// False when a read fails; the slots before it were listed.
bool list_slot_texts(int fd, const std::function<void(std::string_view)>& each);

}  // namespace archive
