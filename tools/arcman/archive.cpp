// Library archive index and data files: hashing, table sizes, slots, probing, locking and the
// recovery of interrupted rebuilds.  Layout and rules are drawn in archive.h.
#include "tools/arcman/archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive {

// ---- Arithmetic ----------------------------------------------------------------------------

std::uint32_t archive_hash(std::string_view name) {
    std::uint32_t h = 0;
    for (char c : name) h = h * 131u + static_cast<unsigned char>(c);
    return h;
}

std::uint64_t next_prime(std::uint64_t n) {
    std::uint64_t candidate = (n % 2 == 0) ? n + 1 : n;
    for (;; candidate += 2) {
        bool prime = true;
        for (std::uint64_t d = 3; d * d <= candidate; d += 2) {
            if (candidate % d == 0) {
                prime = false;
                break;
            }
        }
        if (prime) return candidate;
    }
}

std::uint64_t archive_table_buckets(long tableSize) {
    const std::uint64_t twice = 2 * static_cast<std::uint64_t>(tableSize);
    return next_prime((twice > 64 ? twice : 64) / 64 + 1);
}

std::uint64_t archive_rehash_buckets(const std::vector<std::uint32_t>& hashes) {
    // 64 equal hashes share a bucket for every bucket count: say so at once instead of
    // counting through every prime up to the limit.
    {
        std::vector<std::uint32_t> sorted(hashes);
        std::sort(sorted.begin(), sorted.end());
        std::size_t run = 0;
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            run = (i > 0 && sorted[i] == sorted[i - 1]) ? run + 1 : 1;
            if (run >= kSlotsPerBucket)
                throw ArchiveError(ErrorKind::systemFailed,
                                   "64 or more names share one hash value; the index cannot be "
                                   "rehashed");
        }
    }
    std::vector<std::uint32_t> counts;
    for (std::uint64_t buckets = 3; buckets <= kMaxRehashBuckets; buckets = next_prime(buckets + 1)) {
        counts.assign(buckets, 0);
        bool fits = true;
        for (std::uint32_t h : hashes) {
            if (++counts[h % buckets] >= kSlotsPerBucket) {
                fits = false;
                break;
            }
        }
        if (fits) return buckets;
    }
    throw ArchiveError(ErrorKind::systemFailed,
                       "the names crowd too many into one bucket; the index cannot be rehashed");
}

ArchivePaths::ArchivePaths(const std::string& directory)
    : index(directory + "/kelvo.ind"),
      data(directory + "/kelvo.lib"),
      tempIndex(directory + "/ovlek.ind"),
      tempData(directory + "/ovlek.lib") {}

// ---- Slots -------------------------------------------------------------------------------

namespace {

void put_be32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t get_be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// Length of the live name in a slot, or kSlotSize when no NUL lies within bytes 1..51.
std::size_t live_name_length(const SlotBytes& bytes) {
    for (std::size_t i = 1; i <= kMaxNameLength; ++i)
        if (bytes[i] == 0) return i;
    return kSlotSize;
}

}  // namespace

SlotEntry slot_decode(const SlotBytes& bytes, std::uint64_t slotNumber) {
    SlotEntry entry;
    if (bytes[0] == kEmptyMark) return entry;
    if (bytes[0] == kDeletedMark) {
        entry.kind = SlotKind::deleted;
        return entry;
    }
    const std::size_t n = live_name_length(bytes);
    if (n == kSlotSize)
        throw ArchiveError(ErrorKind::slotWithoutNul,
                           "the archive index is damaged: slot " + std::to_string(slotNumber) +
                               " holds a name without its terminating NUL");
    entry.kind = SlotKind::live;
    entry.name.assign(reinterpret_cast<const char*>(bytes), n);
    entry.offset = get_be32(bytes + n + 1);
    entry.length = get_be32(bytes + n + 5);
    entry.time = get_be32(bytes + n + 9);
    return entry;
}

void slot_set_entry(SlotBytes& bytes, std::string_view name, std::uint32_t offset,
                    std::uint32_t length, std::uint32_t time) {
    if (name_problem(name) != NameProblem::none)
        throw std::invalid_argument("slot_set_entry: name cannot be stored");
    std::memcpy(bytes, name.data(), name.size());
    bytes[name.size()] = 0;
    slot_set_numbers(bytes, offset, length, time);
}

void slot_set_numbers(SlotBytes& bytes, std::uint32_t offset, std::uint32_t length,
                      std::uint32_t time) {
    const std::size_t n = live_name_length(bytes);
    if (bytes[0] == kEmptyMark || bytes[0] == kDeletedMark || n == kSlotSize)
        throw std::invalid_argument("slot_set_numbers: slot holds no live name");
    put_be32(bytes + n + 1, offset);
    put_be32(bytes + n + 5, length);
    put_be32(bytes + n + 9, time);
}

void slot_mark_deleted(SlotBytes& bytes) {
    bytes[0] = kDeletedMark;
    bytes[1] = 0;
}

NameProblem name_problem(std::string_view name) {
    if (name.empty()) return NameProblem::empty;
    if (name.size() > kMaxNameLength) return NameProblem::tooLong;
    if (static_cast<unsigned char>(name[0]) == kDeletedMark) return NameProblem::deletedMark;
    if (name.find('\0') != std::string_view::npos) return NameProblem::hasNul;
    return NameProblem::none;
}

const char* name_problem_text(NameProblem problem) {
    switch (problem) {
    case NameProblem::none: return "";
    case NameProblem::empty: return "an index name cannot be empty";
    case NameProblem::tooLong: return "an index name is at most 51 characters long";
    case NameProblem::deletedMark: return "an index name cannot begin with the byte 0x01";
    case NameProblem::hasNul: return "an index name cannot hold a NUL byte";
    }
    return "";
}

// ---- Files -------------------------------------------------------------------------------

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() { close(); }

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool UniqueFd::close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

bool archive_sync_close(std::initializer_list<UniqueFd*> files) {
    bool ok = true;
    for (UniqueFd* f : files) ok = ::fsync(f->get()) == 0 && ok;
    for (UniqueFd* f : files) ok = f->close() && ok;
    return ok;
}

int archive_commit_rename(const std::string& from, const std::string& to, const std::string& directory) {
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);   // best effort: not every file system syncs directories
        ::close(fd);
    }
    return 0;
}

ArchiveIndexLock::ArchiveIndexLock(const std::string& indexPath, int openFlags) {
    for (;;) {
        UniqueFd fd(::open(indexPath.c_str(), openFlags | O_CLOEXEC));
        if (!fd.valid()) {
            error_ = errno;
            return;
        }
        int rc;
        do rc = ::flock(fd.get(), LOCK_EX);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            error_ = errno;
            return;
        }
        struct stat held {}, named {};
        if (::fstat(fd.get(), &held) != 0) {
            error_ = errno;
            return;
        }
        if (::stat(indexPath.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            fd_ = std::move(fd);
            return;
        }
        // Replaced or removed while we waited: lock whatever the path names now.
    }
}

namespace {

bool path_exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void remove_if_there(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw ArchiveError(ErrorKind::systemFailed,
                           "\"" + path + "\" could not be removed: " + std::strerror(errno));
}

}  // namespace

namespace {

// Whether the data temporary of a pack that stopped between its two renames holds every member
// the (already renamed) index names, so that it is the archive's data.
bool pending_pack_holds_members(const ArchivePaths& paths, const char* failure) {
    UniqueFd index(::open(paths.index.c_str(), O_RDONLY | O_CLOEXEC));
    // Non-blocking, so that a FIFO in the temporary's place is refused rather than waited on.
    UniqueFd data(::open(paths.tempData.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!index.valid() || !data.valid())
        throw ArchiveError(ErrorKind::systemFailed, std::string(failure) + std::strerror(errno));
    struct stat st {};
    if (::fstat(data.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const ArchiveIndex reader(index.get());
    const std::uint64_t dataSize = file_size(data.get());
    SlotBytes bytes;
    for (std::uint64_t s = 0; s < reader.slotCount(); ++s) {
        reader.readSlot(s, bytes);
        const SlotEntry entry = slot_decode(bytes, s);
        if (entry.kind == SlotKind::live && std::uint64_t{entry.offset} + entry.length > dataSize)
            return false;
    }
    return true;
}

}  // namespace

void archive_recover(const ArchivePaths& paths) {
    if (path_exists(paths.tempIndex)) {
        // A rebuild that never reached its commit point: the archive itself is intact.
        remove_if_there(paths.tempData);
        remove_if_there(paths.tempIndex);
        return;
    }
    if (!path_exists(paths.tempData)) return;
    // The packed index is in place but its data file is not yet: finish the pack, provided the
    // temporary really holds every member the index names.
    if (!pending_pack_holds_members(paths, "an interrupted pack could not be finished: ")) {
        remove_if_there(paths.tempData);
        return;
    }
    if (::rename(paths.tempData.c_str(), paths.data.c_str()) != 0)
        throw ArchiveError(ErrorKind::systemFailed,
                           "an interrupted pack could not be finished: " +
                               std::string(std::strerror(errno)));
}

std::string archive_data_to_read(const ArchivePaths& paths) {
    if (path_exists(paths.tempIndex) || !path_exists(paths.tempData)) return paths.data;
    return pending_pack_holds_members(paths, "the data of an interrupted pack could not be read: ")
               ? paths.tempData
               : paths.data;
}

std::uint64_t file_size(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw ArchiveError(ErrorKind::systemFailed,
                           std::string("a file size could not be read: ") + std::strerror(errno));
    return static_cast<std::uint64_t>(st.st_size);
}

void check_member_in_data(const SlotEntry& entry, std::uint64_t dataSize) {
    if (std::uint64_t{entry.offset} + entry.length > dataSize)
        throw ArchiveError(ErrorKind::memberBeyondData,
                           "the archive is damaged: \"" + entry.name + "\" (offset " +
                               std::to_string(entry.offset) + ", length " +
                               std::to_string(entry.length) +
                               ") reaches beyond the end of the data file (" +
                               std::to_string(dataSize) + " bytes)");
}

ArchiveIndex::ArchiveIndex(int fd) : fd_(fd) {
    const std::uint64_t size = file_size(fd);
    if (size < kBucketSize)
        throw ArchiveError(ErrorKind::indexTooShort,
                           "the archive index is damaged: it holds " + std::to_string(size) +
                               " bytes, less than one bucket of 4096");
    if (size % kBucketSize != 0)
        throw ArchiveError(ErrorKind::indexNotBuckets,
                           "the archive index is damaged: its size of " + std::to_string(size) +
                               " bytes is not a whole number of 4096-byte buckets");
    buckets_ = size / kBucketSize;
}

std::uint64_t ArchiveIndex::homeSlot(std::string_view name) const {
    return (archive_hash(name) % buckets_) * kSlotsPerBucket;
}

void ArchiveIndex::readSlot(std::uint64_t slot, SlotBytes& out) const {
    std::size_t done = 0;
    while (done < kSlotSize) {
        const ssize_t n = ::pread(fd_, out + done, kSlotSize - done,
                                  static_cast<off_t>(slot * kSlotSize + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw ArchiveError(ErrorKind::readFailed,
                               "slot " + std::to_string(slot) + " of the index could not be read");
        done += static_cast<std::size_t>(n);
    }
}

void ArchiveIndex::readBucket(std::uint64_t bucket, std::uint8_t* out) const {
    std::size_t done = 0;
    while (done < kBucketSize) {
        const ssize_t n = ::pread(fd_, out + done, kBucketSize - done,
                                  static_cast<off_t>(bucket * kBucketSize + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw ArchiveError(ErrorKind::readFailed,
                               "bucket " + std::to_string(bucket) + " of the index could not be read");
        done += static_cast<std::size_t>(n);
    }
}

void ArchiveIndex::writeSlot(std::uint64_t slot, const SlotBytes& bytes) {
    std::size_t done = 0;
    while (done < kSlotSize) {
        const ssize_t n = ::pwrite(fd_, bytes + done, kSlotSize - done,
                                   static_cast<off_t>(slot * kSlotSize + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw ArchiveError(ErrorKind::writeFailed,
                               "slot " + std::to_string(slot) +
                                   " of the index could not be written");
        done += static_cast<std::size_t>(n);
    }
}

ArchiveIndex::Probe ArchiveIndex::lookup(std::string_view name) const {
    return probe(name, false);
}

ArchiveIndex::Probe ArchiveIndex::insertion(std::string_view name) const {
    return probe(name, true);
}

ArchiveIndex::Probe ArchiveIndex::probe(std::string_view name, bool inserting) const {
    Probe result;
    const std::uint64_t total = slotCount();
    const std::uint64_t start = homeSlot(name);
    bool haveDeleted = false;
    std::uint64_t deletedSlot = 0;
    SlotBytes deletedBytes{};
    SlotBytes bytes;

    auto choose_deleted = [&] {
        result.outcome = Probe::chosen;
        result.slot = deletedSlot;
        std::memcpy(result.bytes, deletedBytes, kSlotSize);
        result.entry = slot_decode(result.bytes, deletedSlot);
    };

    for (std::uint64_t i = 0; i < total; ++i) {
        const std::uint64_t s = (start + i) % total;
        readSlot(s, bytes);
        if (bytes[0] == kEmptyMark) {
            if (!inserting) {
                result.outcome = Probe::notFound;
                return result;
            }
            if (haveDeleted) {
                choose_deleted();
            } else {
                result.outcome = Probe::chosen;
                result.slot = s;
                std::memcpy(result.bytes, bytes, kSlotSize);
            }
            return result;
        }
        if (bytes[0] == kDeletedMark) {
            if (inserting) {
                // The last deleted slot passed is the one used.
                haveDeleted = true;
                deletedSlot = s;
                std::memcpy(deletedBytes, bytes, kSlotSize);
            }
            continue;
        }
        SlotEntry entry = slot_decode(bytes, s);
        if (entry.name == name) {
            result.outcome = Probe::found;
            result.slot = s;
            std::memcpy(result.bytes, bytes, kSlotSize);
            result.entry = std::move(entry);
            return result;
        }
    }
    if (inserting && haveDeleted) {
        choose_deleted();
        return result;
    }
    result.outcome = inserting ? Probe::full : Probe::notFound;
    return result;
}

// ---- Read-only listing of slot texts ------------------------------------------------------

bool list_slot_texts(int fd, const std::function<void(std::string_view)>& each) {
    SlotBytes bytes;
    for (std::uint64_t slot = 0;; ++slot) {
        std::size_t done = 0;
        while (done < kSlotSize) {
            const ssize_t n = ::pread(fd, bytes + done, kSlotSize - done,
                                      static_cast<off_t>(slot * kSlotSize + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;   // the end, within or after the last whole slot
            done += static_cast<std::size_t>(n);
        }
        const void* nul = std::memchr(bytes, 0, kSlotSize);
        const std::size_t length = nul != nullptr ? std::size_t(static_cast<const std::uint8_t*>(nul) - bytes)
                                                  : kSlotSize;
        each(std::string_view(reinterpret_cast<const char*>(bytes), length));
    }
}

}  // namespace archive
