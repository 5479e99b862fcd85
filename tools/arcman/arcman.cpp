// The commands of the archive tool over the index and data file module (archive.h).
//
// Order of work in every command that changes the archive:
//   1. both files must exist (opened for reading), else "there is no existing archive";
//   2. the index is opened and locked (ArchiveIndexLock), an unfinished rebuild is settled;
//   3. the index size is checked (ArchiveIndex) and the command runs;
//   4. files are closed and close failures reported; the lock goes with the index descriptor.
// Members are stored by copying their bytes to the end of the data file, syncing them, and
// writing the slot that names them last, so an interrupted add or update never leaves a slot
// pointing at bytes that were not written (or were half overwritten).
#include "tools/arcman/arcman.h"

#include "tools/arcman/archive.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace archive;

namespace {

constexpr const char* kTool = "arcman";
constexpr std::uint64_t kMaxDataSize = 0xFFFFFFFFu;   // offsets and lengths are 32-bit
constexpr std::uint32_t kEarliestListedTime = 799048800;   // 1995-04-28 06:00 UTC
constexpr std::uint32_t kFutureSlack = 300;                // seconds a stored time may lead
constexpr std::size_t kCopyBuffer = 64 * 1024;

// Formats one whole message and writes it with one call.
class Console {
public:
    Console(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    __attribute__((format(printf, 2, 3))) void say(const char* fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        write(out_, fmt, ap);
        va_end(ap);
    }
    __attribute__((format(printf, 2, 3))) void complain(const char* fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        write(err_, fmt, ap);
        va_end(ap);
    }
    // "arcman: <text>\n" for a module error.
    void complain_text(const std::string& text) { complain("%s: %s\n", kTool, text.c_str()); }

    int usage() {
        complain("Usage:\t%s -[au] archiveDir { fileName indexName }\n"
                 "\t%s -[plr] archiveDir\n"
                 "\t%s -c archiveDir tableSize\n"
                 "\t%s -x archiveDir { indexName fileName }\n"
                 "\t%s -d archiveDir { indexName }\n",
                 kTool, kTool, kTool, kTool, kTool);
        return 1;
    }

private:
    void write(std::FILE* to, const char* fmt, va_list ap) {
        va_list again;
        va_copy(again, ap);
        const int n = std::vsnprintf(nullptr, 0, fmt, again);
        va_end(again);
        if (n < 0) return;
        std::string buffer(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(buffer.data(), buffer.size(), fmt, ap);
        std::fputs(buffer.c_str(), to);
        std::fflush(to);
    }

    std::FILE* out_;
    std::FILE* err_;
};

bool readable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Reads the table size as a decimal integer in the manner of atoi (leading blanks, a sign,
// digits, anything after ignored), but saturating instead of overflowing.
long read_table_size(const char* text) {
    errno = 0;
    const long long v = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || v > 1000000000LL) return 1000000000L;
    if (v < -1000000000LL) return -1000000000L;
    return static_cast<long>(v);
}

bool write_all(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool pwrite_all(int fd, const void* data, std::size_t size, std::uint64_t at) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies `count` bytes of `from` starting at `fromAt` to the current position of `to`.
// Returns false when the source ends early or a read or write fails.
bool copy_out(int from, std::uint64_t fromAt, int to, std::uint64_t count) {
    std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(count, kCopyBuffer));
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
        const ssize_t n = ::pread(from, buffer.data(), want, static_cast<off_t>(fromAt));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (!write_all(to, buffer.data(), static_cast<std::size_t>(n))) return false;
        fromAt += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return true;
}

std::uint32_t now32() { return static_cast<std::uint32_t>(std::time(nullptr)); }

enum class Temporaries { settle, leave };

// Locks the index and, for the commands that change the archive, settles an unfinished
// rebuild; the commands that only read leave the temporaries alone (see archive_data_to_read).
// Returns false after reporting.
bool open_locked(Console& console, const ArchivePaths& paths, const std::string& directory,
                 const char* openFailure, ArchiveIndexLock& lock,
                 Temporaries temporaries = Temporaries::settle) {
    if (!lock.valid()) {
        if (lock.error() == ENOENT)
            console.complain("%s: there is no existing archive in \"%s\"\n", kTool,
                             directory.c_str());
        else
            console.complain("%s: %s\n", kTool, openFailure);
        return false;
    }
    if (temporaries == Temporaries::settle) archive_recover(paths);
    return true;
}

// ---- -c ----------------------------------------------------------------------------------

int command_create(Console& console, const ArchivePaths& paths, long tableSize) {
    if (tableSize < kMinTableSize || tableSize > kMaxTableSize) {
        console.complain("%s: the table size must be between 1 and 99999\n", kTool);
        return 1;
    }
    const std::uint64_t buckets = archive_table_buckets(tableSize);

    // O_EXCL: of two runs creating one archive at once, only one makes the files.
    UniqueFd index(::open(paths.index.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!index.valid()) {
        console.complain("%s: the archive index file could not be created\n", kTool);
        return 1;
    }
    const std::vector<std::uint8_t> zeros(kBucketSize, 0);
    bool ok = true;
    for (std::uint64_t b = 0; b < buckets && ok; ++b) ok = write_all(index.get(), zeros.data(), zeros.size());
    ok = index.close() && ok;
    if (!ok) {
        console.complain("%s: an error occurred while creating the index\n", kTool);
        ::unlink(paths.index.c_str());
        return 1;
    }

    UniqueFd data(::open(paths.data.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!data.valid()) {
        console.complain("%s: the archive data file could not be created\n", kTool);
        ::unlink(paths.index.c_str());
        return 1;
    }
    const std::uint8_t leading = 0;
    ok = write_all(data.get(), &leading, 1);
    ok = data.close() && ok;
    if (!ok) {
        console.complain("%s: an error occurred while creating the archive\n", kTool);
        ::unlink(paths.index.c_str());
        ::unlink(paths.data.c_str());
        return 1;
    }
    return 0;
}

// ---- -a, -u ------------------------------------------------------------------------------

int command_store(Console& console, const ArchivePaths& paths, const std::string& directory,
                  bool update, int argc, const char* const* argv) {
    for (int i = 4; i < argc; i += 2) {
        const NameProblem problem = name_problem(argv[i]);
        if (problem == NameProblem::tooLong) {
            console.complain("%s: the name \"%s\" is longer than %d characters\n", kTool, argv[i],
                             static_cast<int>(kMaxNameLength));
            return 1;
        }
        if (problem != NameProblem::none) {
            console.complain("%s: the name \"%s\" cannot be stored: %s\n", kTool, argv[i],
                             name_problem_text(problem));
            return 1;
        }
    }

    ArchiveIndexLock lock(paths.index, O_RDWR);
    if (!open_locked(console, paths, directory, "the archive could not be opened for updating", lock))
        return 1;
    UniqueFd data(::open(paths.data.c_str(), O_RDWR | O_CLOEXEC));
    if (!data.valid()) {
        console.complain("%s: the archive could not be opened for updating\n", kTool);
        return 1;
    }
    ArchiveIndex index(lock.fd());
    std::uint64_t dataSize = file_size(data.get());
    std::vector<std::uint8_t> buffer(kCopyBuffer);

    for (int i = 3; i + 1 < argc; i += 2) {
        const char* fileName = argv[i];
        const char* name = argv[i + 1];
        UniqueFd member(::open(fileName, O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!member.valid() || ::fstat(member.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            console.complain("%s: warning, the file \"%s\" could not be opened, skipping\n", kTool,
                             fileName);
            continue;
        }
        const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);

        ArchiveIndex::Probe probe;
        try {
            probe = update ? index.lookup(name) : index.insertion(name);
        } catch (const ArchiveError& e) {
            if (e.kind() != ErrorKind::readFailed) throw;
            console.complain("%s: an error occurred while reading the index\n", kTool);
            return 1;
        }
        if (!update && probe.outcome == ArchiveIndex::Probe::found) {
            console.complain("%s: warning, \"%s\" already in archive, skipping\n", kTool, name);
            continue;
        }
        if (update && probe.outcome != ArchiveIndex::Probe::found) {
            console.complain("%s: warning, \"%s\" not found in archive, skipping\n", kTool, name);
            continue;
        }
        if (probe.outcome == ArchiveIndex::Probe::full) {
            console.complain("%s: no more files can be added to the index\n", kTool);
            return 1;
        }

        // Every member, a replacement too, goes to the end of the data file: the bytes a slot
        // names are never overwritten, so a run stopped at any write leaves each slot naming
        // either its old bytes or its new ones.  The old bytes of a replacement stay as dead
        // space until a pack.  A replacement that fits the old member's length still checks that
        // member, as an overwrite in place did before, so a damaged archive is reported alike.
        const std::uint64_t at = dataSize;
        if (update && probe.entry.length >= size) check_member_in_data(probe.entry, dataSize);
        if (at + size > kMaxDataSize) {
            console.complain("%s: \"%s\" does not fit: the archive data file cannot grow beyond "
                             "%llu bytes\n",
                             kTool, fileName, static_cast<unsigned long long>(kMaxDataSize));
            return 1;
        }

        std::uint64_t copied = 0;
        bool ok = true;
        while (copied < size) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - copied, buffer.size()));
            const ssize_t n = ::read(member.get(), buffer.data(), want);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;   // the file shrank since it was measured: store what is there
            if (!pwrite_all(data.get(), buffer.data(), static_cast<std::size_t>(n), at + copied)) {
                ok = false;
                break;
            }
            copied += static_cast<std::uint64_t>(n);
        }
        // The bytes reach the disk before the slot that names them, so that a power loss after
        // the slot write cannot leave a slot pointing at bytes the disk never got.
        if (ok && copied > 0 && ::fdatasync(data.get()) != 0) ok = false;
        if (!ok) {
            console.complain("%s: an error occurred while updating the archive\n", kTool);
            return 1;
        }

        if (update)
            slot_set_numbers(probe.bytes, static_cast<std::uint32_t>(at),
                             static_cast<std::uint32_t>(copied), now32());
        else
            slot_set_entry(probe.bytes, name, static_cast<std::uint32_t>(at),
                           static_cast<std::uint32_t>(copied), now32());
        try {
            index.writeSlot(probe.slot, probe.bytes);
        } catch (const ArchiveError&) {
            console.complain("%s: an error occurred while updating the index\n", kTool);
            return 1;
        }
        dataSize += copied;
    }

    const bool dataClosed = data.close();
    const bool indexClosed = lock.close();
    if (!dataClosed || !indexClosed) {
        console.complain("%s: an error occurred while updating the index or archive\n", kTool);
        return 1;
    }
    return 0;
}

// ---- -x ----------------------------------------------------------------------------------

int command_extract(Console& console, const ArchivePaths& paths, const std::string& directory,
                    int argc, const char* const* argv) {
    ArchiveIndexLock lock(paths.index, O_RDONLY);
    if (!open_locked(console, paths, directory, "the archive index could not be opened",
                     lock, Temporaries::leave))
        return 1;
    UniqueFd data(::open(archive_data_to_read(paths).c_str(), O_RDONLY | O_CLOEXEC));
    if (!data.valid()) {
        console.complain("%s: there is no existing archive in \"%s\"\n", kTool, directory.c_str());
        return 1;
    }
    const ArchiveIndex index(lock.fd());
    const std::uint64_t dataSize = file_size(data.get());

    for (int i = 3; i + 1 < argc; i += 2) {
        const char* name = argv[i];
        const char* fileName = argv[i + 1];
        ArchiveIndex::Probe probe;
        try {
            probe = index.lookup(name);
        } catch (const ArchiveError& e) {
            if (e.kind() != ErrorKind::readFailed) throw;
            console.complain("%s: an error occurred while reading the index\n", kTool);
            return 1;
        }
        if (probe.outcome != ArchiveIndex::Probe::found) {
            console.complain("%s: warning, \"%s\" not found in archive, skipping\n", kTool, name);
            continue;
        }
        check_member_in_data(probe.entry, dataSize);
        UniqueFd out(::open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!out.valid()) {
            console.complain("%s: warning, file \"%s\" could not be opened, skipping\n", kTool,
                             fileName);
            continue;
        }
        bool ok = copy_out(data.get(), probe.entry.offset, out.get(), probe.entry.length);
        ok = out.close() && ok;
        if (!ok) {
            console.complain("%s: an error occurred while creating \"%s\"\n", kTool, fileName);
            return 1;
        }
    }
    return 0;
}

// ---- -d ----------------------------------------------------------------------------------

int command_delete(Console& console, const ArchivePaths& paths, const std::string& directory,
                   int argc, const char* const* argv) {
    ArchiveIndexLock lock(paths.index, O_RDWR);
    if (!open_locked(console, paths, directory, "the index could not be opened for updating",
                     lock))
        return 1;
    ArchiveIndex index(lock.fd());
    for (int i = 3; i < argc; ++i) {
        ArchiveIndex::Probe probe;
        try {
            probe = index.lookup(argv[i]);
        } catch (const ArchiveError& e) {
            if (e.kind() != ErrorKind::readFailed) throw;
            console.complain("%s: an error occurred while reading the index\n", kTool);
            return 1;
        }
        if (probe.outcome != ArchiveIndex::Probe::found) {
            console.complain("%s: warning, \"%s\" not found in archive, skipping\n", kTool, argv[i]);
            continue;
        }
        slot_mark_deleted(probe.bytes);
        try {
            index.writeSlot(probe.slot, probe.bytes);
        } catch (const ArchiveError&) {
            console.complain("%s: an error occurred while updating the index\n", kTool);
            return 1;
        }
    }
    if (!lock.close()) {
        console.complain("%s: an error occurred while updating the index\n", kTool);
        return 1;
    }
    return 0;
}

// ---- -l ----------------------------------------------------------------------------------

int command_list(Console& console, const ArchivePaths& paths, const std::string& directory) {
    ArchiveIndexLock lock(paths.index, O_RDONLY);
    if (!open_locked(console, paths, directory, "the archive index could not be opened",
                     lock, Temporaries::leave))
        return 1;
    const ArchiveIndex index(lock.fd());
    const std::uint32_t now = now32();
    std::vector<std::uint8_t> bucket(kBucketSize);
    for (std::uint64_t b = 0; b < index.bucketCount(); ++b) {
        try {
            index.readBucket(b, bucket.data());
        } catch (const ArchiveError&) {
            console.complain("%s: an error occurred while reading the index\n", kTool);
            return 1;
        }
        for (std::size_t k = 0; k < kSlotsPerBucket; ++k) {
            SlotBytes slot;
            std::memcpy(slot, bucket.data() + k * kSlotSize, kSlotSize);
            const SlotEntry entry = slot_decode(slot, b * kSlotsPerBucket + k);
            if (entry.kind != SlotKind::live) continue;
            char date[64];
            // Times in the future (beyond a little clock skew) or before the format existed
            // are shown as a blank column.
            if (std::uint64_t{entry.time} > std::uint64_t{now} + kFutureSlack ||
                entry.time < kEarliestListedTime) {
                std::snprintf(date, sizeof date, "%14s", "");
            } else {
                const std::time_t t = entry.time;
                struct tm local {};
                localtime_r(&t, &local);
                std::snprintf(date, sizeof date, "%4d-%02d-%02d %2d:%02d", local.tm_year + 1900,
                              local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
            }
            console.say("%-*s %s %8ld%6ld\n", 48, entry.name.c_str(), date,
                        static_cast<long>(entry.offset), static_cast<long>(entry.length));
        }
    }
    return 0;
}

// ---- -p ----------------------------------------------------------------------------------

// Temporaries of a rebuild: removed (data first, see archive.h) unless committed.
struct TempPair {
    const ArchivePaths& paths;
    bool withData;
    bool committed = false;
    ~TempPair() {
        if (committed) return;
        if (withData) ::unlink(paths.tempData.c_str());
        ::unlink(paths.tempIndex.c_str());
    }
};

mode_t mode_of(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? (st.st_mode & 07777) : 0644;
}

int command_pack(Console& console, const ArchivePaths& paths, const std::string& directory) {
    ArchiveIndexLock lock(paths.index, O_RDONLY);
    if (!open_locked(console, paths, directory, "the archive index could not be opened",
                     lock))
        return 1;
    UniqueFd data(::open(paths.data.c_str(), O_RDONLY | O_CLOEXEC));
    if (!data.valid()) {
        console.complain("%s: there is no existing archive in \"%s\"\n", kTool, directory.c_str());
        return 1;
    }
    const ArchiveIndex index(lock.fd());
    const std::uint64_t dataSize = file_size(data.get());

    UniqueFd newIndex(::open(paths.tempIndex.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!newIndex.valid()) {
        console.complain("%s: temporary archive files could not be created\n", kTool);
        return 1;
    }
    TempPair temps{paths, false};
    UniqueFd newData(::open(paths.tempData.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!newData.valid()) {
        console.complain("%s: temporary archive files could not be created\n", kTool);
        return 1;
    }
    temps.withData = true;
    ::fchmod(newIndex.get(), mode_of(lock.fd()));
    ::fchmod(newData.get(), mode_of(data.get()));

    const std::uint8_t leading = 0;
    bool ok = write_all(newData.get(), &leading, 1);
    std::uint64_t running = 1;
    std::vector<std::uint8_t> bucket(kBucketSize);
    for (std::uint64_t b = 0; b < index.bucketCount() && ok; ++b) {
        try {
            index.readBucket(b, bucket.data());
        } catch (const ArchiveError&) {
            console.complain("%s: an error occurred while reading the index\n", kTool);
            return 1;
        }
        for (std::size_t k = 0; k < kSlotsPerBucket && ok; ++k) {
            SlotBytes slot;
            std::memcpy(slot, bucket.data() + k * kSlotSize, kSlotSize);
            const SlotEntry entry = slot_decode(slot, b * kSlotsPerBucket + k);
            if (entry.kind != SlotKind::live) continue;   // kept as it is: same slot layout
            check_member_in_data(entry, dataSize);
            slot_set_numbers(slot, static_cast<std::uint32_t>(running), entry.length, entry.time);
            std::memcpy(bucket.data() + k * kSlotSize, slot, kSlotSize);
            ok = copy_out(data.get(), entry.offset, newData.get(), entry.length);
            running += entry.length;
        }
        ok = ok && write_all(newIndex.get(), bucket.data(), bucket.size());
    }
    if (!ok) {
        console.complain("%s: could not write to new index or archive\n", kTool);
        return 1;
    }
    if (!archive_sync_close({&newData, &newIndex})) {
        console.complain("%s: an error occurred while closing the new archive\n", kTool);
        return 1;
    }

    // Commit: the index rename is the point of no return; a stop before the data rename is
    // finished by the next run (archive_recover).
    if (int err = archive_commit_rename(paths.tempIndex, paths.index, directory); err != 0) {
        console.complain("%s: the packed archive could not replace the old one: %s\n", kTool,
                         std::strerror(err));
        return 1;
    }
    temps.committed = true;
    if (int err = archive_commit_rename(paths.tempData, paths.data, directory); err != 0) {
        console.complain("%s: the packed data file could not replace the old one (%s); the next "
                         "run of %s on this archive finishes the pack\n",
                         kTool, std::strerror(err), kTool);
        return 1;
    }
    return 0;
}

// ---- -r ----------------------------------------------------------------------------------

struct KeptEntry {
    SlotBytes bytes;
    std::uint32_t hash;
};

int command_rehash(Console& console, const ArchivePaths& paths, const std::string& directory) {
    ArchiveIndexLock lock(paths.index, O_RDONLY);
    if (!open_locked(console, paths, directory, "the archive index could not be opened",
                     lock))
        return 1;
    const ArchiveIndex index(lock.fd());

    std::vector<KeptEntry> kept;
    std::vector<std::uint32_t> hashes;
    try {
        std::vector<std::uint8_t> bucket(kBucketSize);
        for (std::uint64_t b = 0; b < index.bucketCount(); ++b) {
            try {
                index.readBucket(b, bucket.data());
            } catch (const ArchiveError&) {
                console.complain("%s: an error occurred while reading the index\n", kTool);
                return 1;
            }
            for (std::size_t k = 0; k < kSlotsPerBucket; ++k) {
                KeptEntry e;
                std::memcpy(e.bytes, bucket.data() + k * kSlotSize, kSlotSize);
                const SlotEntry entry = slot_decode(e.bytes, b * kSlotsPerBucket + k);
                if (entry.kind != SlotKind::live) continue;
                e.hash = archive_hash(entry.name);
                kept.push_back(e);
                hashes.push_back(e.hash);
            }
        }
    } catch (const std::bad_alloc&) {
        console.complain("%s: out of memory allocating hash table\n", kTool);
        return 1;
    }
    console.say("%ld index entries\n", static_cast<long>(kept.size()));

    std::uint64_t buckets = 0;
    std::vector<std::vector<std::size_t>> members;   // per bucket: entries, newest slot first
    try {
        buckets = archive_rehash_buckets(hashes);
        members.resize(buckets);
        for (std::size_t i = kept.size(); i-- > 0;) members[kept[i].hash % buckets].push_back(i);
    } catch (const std::bad_alloc&) {
        console.complain("%s: out of memory allocating slot table\n", kTool);
        return 1;
    }
    console.say("%ld buckets\n", static_cast<long>(buckets));

    UniqueFd newIndex(::open(paths.tempIndex.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!newIndex.valid()) {
        console.complain("%s: a temporary index file could not be created\n", kTool);
        return 1;
    }
    TempPair temps{paths, false};
    ::fchmod(newIndex.get(), mode_of(lock.fd()));

    int smallest = 64;
    int largest = 0;
    std::vector<std::uint8_t> bucket(kBucketSize);
    for (std::uint64_t b = 0; b < buckets; ++b) {
        const std::vector<std::size_t>& list = members[b];
        if (list.size() >= kSlotsPerBucket) {
            console.complain("%s: internal error (%s,%d)\n", kTool, "tools/arcman", 864);
            return 1;
        }
        std::fill(bucket.begin(), bucket.end(), 0);
        for (std::size_t k = 0; k < list.size(); ++k)
            std::memcpy(bucket.data() + k * kSlotSize, kept[list[k]].bytes, kSlotSize);
        smallest = std::min(smallest, static_cast<int>(list.size()));
        largest = std::max(largest, static_cast<int>(list.size()));
        if (!write_all(newIndex.get(), bucket.data(), bucket.size())) {
            console.complain("%s: an error occurred while updating the index\n", kTool);
            return 1;
        }
    }
    console.say("%d entries in smallest bucket\n", smallest);
    console.say("%d entries in largest bucket\n", largest);

    if (!archive_sync_close({&newIndex})) {
        console.complain("%s: an error occurred while closing the new index\n", kTool);
        return 1;
    }
    if (int err = archive_commit_rename(paths.tempIndex, paths.index, directory); err != 0) {
        console.complain("%s: the rehashed index could not replace the old one: %s\n", kTool,
                         std::strerror(err));
        return 1;
    }
    temps.committed = true;
    return 0;
}

// ---- Arguments ---------------------------------------------------------------------------

int run(Console& console, int argc, const char* const* argv) {
    if (argc < 3 || argv[1][0] != '-' || std::strlen(argv[1]) != 2 ||
        std::strchr("auplrcxd", argv[1][1]) == nullptr || argv[1][1] == '\0')
        return console.usage();
    const char letter = argv[1][1];
    long tableSize = 0;
    switch (letter) {
    case 'a':
    case 'u':
        if (argc <= 4) return console.usage();
        if ((argc - 3) % 2 != 0) {
            console.complain("%s: there must be an indexName for each fileName\n", kTool);
            return 1;
        }
        break;
    case 'c':
        if (argc != 4) return console.usage();
        tableSize = read_table_size(argv[3]);
        if (tableSize == 0) return console.usage();
        break;
    case 'l':
    case 'p':
    case 'r':
        if (argc != 3) return console.usage();
        break;
    case 'x':
        if (argc <= 4) return console.usage();
        if ((argc - 3) % 2 != 0) {
            console.complain("%s: there must be a fileName for each indexName\n", kTool);
            return 1;
        }
        break;
    case 'd':
        if (argc <= 3) return console.usage();
        break;
    default:
        break;
    }

    const std::string directory = argv[2];
    const ArchivePaths paths(directory);
    const bool haveIndex = readable(paths.index);
    const bool haveData = readable(paths.data);
    if (letter == 'c') {
        if (haveIndex || haveData) {
            console.complain("%s: there is already an archive in \"%s\"\n", kTool, directory.c_str());
            return 1;
        }
    } else if (!haveIndex || !haveData) {
        console.complain("%s: there is no existing archive in \"%s\"\n", kTool, directory.c_str());
        return 1;
    }

    try {
        switch (letter) {
        case 'c': return command_create(console, paths, tableSize);
        case 'a': return command_store(console, paths, directory, false, argc, argv);
        case 'u': return command_store(console, paths, directory, true, argc, argv);
        case 'x': return command_extract(console, paths, directory, argc, argv);
        case 'd': return command_delete(console, paths, directory, argc, argv);
        case 'l': return command_list(console, paths, directory);
        case 'p': return command_pack(console, paths, directory);
        case 'r': return command_rehash(console, paths, directory);
        default: break;
        }
    } catch (const ArchiveError& e) {
        console.complain_text(e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        console.complain("%s: out of memory\n", kTool);
        return 1;
    }
    console.complain("%s: internal error in argument processing\n", kTool);
    return 1;
}

}  // namespace

int arcman_main(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    Console console(out, err);
    return run(console, argc, argv);
}
