// kbtree: the paged B-tree store (layout and invariants in kbtree.h).
//
// Every public operation runs inside a try block that is this module's guard: a failure throws
// KbtFail with its message; the guard drops the operation's pages (an implicit transaction is
// rolled back, so the file is untouched) and hands the message to the handle's error callback.
// Leaves and interior pages are parsed into vectors, changed there and written back whole; the
// parsers check every length against the page before reading it.
//
// Cost of a change (1,000 generated topics of 2 KB, one change each, Release: 7.8 s before the
// steps below, 2.0 s after, on a shared 8-core machine): the pages
// of a change are read once (with their aligned block of kReadBlock pages) and held for all of
// its operations; a page written back with the bytes it had stays clean, so a value rewritten
// over its chain writes and journals only the pages from its first changed byte on; commit
// writes runs of consecutive pages in one call.  What stays is set by the format: a value is one
// chain, so changing a long value reads its whole chain and rewrites everything behind the
// first changed byte.

#include "help/kbtree.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct KbtFail {
    std::string message;
};

[[noreturn]] void fail(const char* message) { throw KbtFail{message}; }

std::uint32_t rd16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t rd32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void wr16(unsigned char* p, std::uint32_t v) {
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
}
void wr32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xff;
}

struct Entry {
    Bytes key;
    Bytes value;
    std::size_t size() const { return key.size() + value.size() + 8; }
};

// A leaf as read: small entries, or the single entry of a big-entry leaf (its value gathered
// only when asked for).
struct Leaf {
    std::uint32_t page = 0;
    bool big = false;
    std::vector<Entry> entries;
    std::size_t used = 0;   // bytes of the small entries, without the closing 0
};

struct Interior {
    std::vector<std::uint32_t> children;   // one more than keys
    std::vector<Bytes> keys;
    std::size_t size() const {
        std::size_t s = 4 + 4;   // child 0 and the closing 0
        for (const auto& k : keys) s += 8 + k.size();
        return s;
    }
};

struct Level {
    std::uint32_t page = 0;
    std::size_t index = 0;   // child taken (interior levels)
};

struct Path {
    unsigned tree = 0;
    Level level[KBT_MAX_HEIGHT + 1];   // 0 = leaf
};

constexpr char kJournalMagic[4] = {'K', 'H', 'J', '1'};
constexpr char kJournalEnd[4] = {'K', 'H', 'J', 'E'};
// Pages read at once inside a transaction (see readBlock).
constexpr std::uint32_t kReadBlock = 8;
// Buffers per pwritev call (Linux allows 1024).
constexpr std::size_t kMaxIov = 1024;

// Makes a new file's name durable: a journal whose directory entry a power loss could take
// would leave the changed pages without their originals.  Best effort: not every file system
// syncs directories.
void syncDirectoryOf(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Page memory of closed handles, kept for the next handle.  The help database opens a handle
// for every change, and fresh memory costs a page fault per 4 KB on first touch, which was a
// third of the time of a change; the pool keeps at most kPoolChunks chunks (4 MB).
struct PagePool {
    std::mutex lock;
    std::vector<std::unique_ptr<unsigned char[]>> chunks;
    std::vector<std::uint32_t> slotOf;   // all zero
};
constexpr std::size_t kPoolChunks = 64;

PagePool& pagePool() {
    static PagePool pool;
    return pool;
}

}  // namespace

struct KbtHandle {
    unsigned pageSize = KBT_PAGE_SIZE;   // P
    unsigned flags = 0;                  // header flags
    std::uint32_t nextPage = 1;          // first page not in use
    std::uint32_t freeHead = 0;          // first free page, 0 = none
    unsigned treeCount = 0;              // N
    std::vector<std::uint32_t> roots;    // N root pages
    std::vector<std::uint32_t> heights;  // N heights
    int fd = -1;                         // owned by the caller
    std::vector<KbtCompare> compare;     // N comparisons
    KbtError error = nullptr;
    bool headerChanged = false;

    // Page cache.  Inside a transaction it holds every page read or written since begin: a
    // clean page holds the file's bytes, a dirty one what commit will write.  Outside a
    // transaction it lives for one public operation only (`depth` counts the nesting of public
    // operations; the outermost one drops it), so between operations no page is held.
    // Page bytes live in slots of an arena of fixed chunks that never move, so a pointer from
    // readPage stays valid until the cache is cleared; `slotOf` maps a page number to its slot
    // directly (page numbers are dense and below nextPage).
    // The first kPoolChunks chunks are allocated one by one (and pooled); a transaction that
    // needs more (a batch of many topics) takes them from mapped regions of kRegionChunks
    // chunks whose memory is faulted in by one call: touching fresh memory a page at a time
    // was a fifth of the time of a large batch.
    static constexpr std::size_t kChunkSlots = 64;
    static constexpr std::size_t kRegionChunks = 64;
    std::vector<unsigned char*> chunks;
    std::vector<std::unique_ptr<unsigned char[]>> ownChunks;   // chunks not in a region
    struct Region {
        void* data;
        std::size_t bytes;
    };
    std::vector<Region> regions;
    std::size_t regionLeft = 0;   // chunks of the last region not yet handed out
    std::size_t slotCount = 0;                 // slots handed out since the cache was cleared
    std::vector<std::uint32_t> slotOf;         // page -> slot + 1; 0 = not cached
    std::vector<std::uint32_t> cachedPages;    // the pages with a slot, to reset slotOf
    std::vector<char> slotDirty;               // per slot of a cached page
    std::size_t dirtyCount = 0;
    int depth = 0;
    bool holding = false;   // kbtree_hold_pages: pages stay cached between operations
    // Pages kept after a hold ended, valid only while the file is unchanged: `parkedStamp` is
    // the file's state when they were read, `parkedHeader` its header page.
    bool parked = false;
    struct stat parkedStamp {};
    Bytes parkedHeader;
    Bytes lastHeader;   // the header page as the last readHeader saw it
    Bytes block;   // buffer of readBlock

    // A region of fresh page memory, aligned to the huge-page size and advised to be backed by
    // huge pages, then faulted in by one call.  On a virtual machine every first touch of a 4 KB
    // page exits to the host: writing 64 MB of fresh 4 KB pages took 110-170 ms where huge pages
    // took 8-50 ms, and a batch of 10,000 topics fills 64 MB of page slots.  Where huge pages
    // are not available the advice is ignored and the region is ordinary memory.
    static Region mapRegion(std::size_t bytes) {
        constexpr std::size_t kHuge = std::size_t(2) << 20;
        const std::size_t span = bytes + kHuge;
        void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kHuge - 1) & ~std::uintptr_t(kHuge - 1);
        if (aligned > start) munmap(raw, aligned - start);
        if (const std::size_t tail = start + span - (aligned + bytes); tail > 0)
            munmap(reinterpret_cast<void*>(aligned + bytes), tail);
        void* data = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
        madvise(data, bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
        madvise(data, bytes, MADV_POPULATE_WRITE);
#endif
        return {data, bytes};
    }

    unsigned char* slotData(std::uint32_t slot) {
        return chunks[slot / kChunkSlots] + std::size_t(slot % kChunkSlots) * pageSize;
    }

    std::uint32_t newSlot() {
        if (slotCount == chunks.size() * kChunkSlots) {
            const std::size_t chunkBytes = kChunkSlots * pageSize;
            if (regionLeft == 0 && ownChunks.size() >= kPoolChunks) {
                const std::size_t bytes = kRegionChunks * chunkBytes;
                regions.push_back(mapRegion(bytes));
                regionLeft = kRegionChunks;
            }
            if (regionLeft > 0) {
                const Region& r = regions.back();
                chunks.push_back(static_cast<unsigned char*>(r.data) + (kRegionChunks - regionLeft) * chunkBytes);
                --regionLeft;
            } else {
                PagePool& pool = pagePool();
                std::unique_ptr<unsigned char[]> chunk;
                if (pageSize == KBT_PAGE_SIZE) {
                    std::lock_guard<std::mutex> guard(pool.lock);
                    if (!pool.chunks.empty()) {
                        chunk = std::move(pool.chunks.back());
                        pool.chunks.pop_back();
                    }
                }
                if (!chunk) chunk.reset(new unsigned char[chunkBytes]);
                chunks.push_back(chunk.get());
                ownChunks.push_back(std::move(chunk));
            }
        }
        slotDirty.push_back(0);
        return std::uint32_t(slotCount++);
    }

    // Takes the pool's page index (when the handle starts) and gives page memory back (when
    // it ends).
    void takeFromPool() {
        PagePool& pool = pagePool();
        std::lock_guard<std::mutex> guard(pool.lock);
        slotOf.swap(pool.slotOf);
    }

    void returnToPool() {
        clearPages();
        PagePool& pool = pagePool();
        std::lock_guard<std::mutex> guard(pool.lock);
        if (pageSize == KBT_PAGE_SIZE)
            while (!ownChunks.empty() && pool.chunks.size() < kPoolChunks) {
                pool.chunks.push_back(std::move(ownChunks.back()));
                ownChunks.pop_back();
            }
        if (slotOf.size() > pool.slotOf.size()) slotOf.swap(pool.slotOf);
        chunks.clear();
        for (const Region& r : regions) munmap(r.data, r.bytes);
        regions.clear();
        regionLeft = 0;
    }

    // The slot of a cached page, or -1.
    long slotFor(std::uint32_t n) const {
        return n < slotOf.size() && slotOf[n] != 0 ? long(slotOf[n]) - 1 : -1;
    }

    // Gives page n a new slot (replacing an earlier one) and returns its bytes.
    unsigned char* attach(std::uint32_t n, bool dirty) {
        if (n >= slotOf.size()) slotOf.resize(std::max<std::size_t>(n + 1, nextPage), 0);
        if (slotOf[n] == 0) cachedPages.push_back(n);
        const std::uint32_t slot = newSlot();
        slotOf[n] = slot + 1;
        slotDirty[slot] = dirty;
        return slotData(slot);
    }

    // Transaction state: the header as it was at begin, and the file's bytes of every page the
    // transaction changed that existed at begin (for the journal; each page is copied once).
    bool inTransaction = false;
    bool explicitTransaction = false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> originals;   // (page, slot)
    std::uint32_t savedNext = 0, savedFree = 0;
    std::vector<std::uint32_t> savedRoots, savedHeights;
    std::string journal;

    // ---- page input and output ------------------------------------------------------------

    void readRaw(std::uint32_t n, unsigned char* buf) const {
        std::size_t done = 0;
        const off_t base = off_t(n) * pageSize;
        while (done < pageSize) {
            ssize_t r = pread(fd, buf + done, pageSize - done, base + off_t(done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) fail("read failed");
            done += std::size_t(r);
        }
    }

    void writeRaw(int to, std::uint32_t n, const unsigned char* buf) const {
        std::size_t done = 0;
        const off_t base = off_t(n) * pageSize;
        while (done < pageSize) {
            ssize_t r = pwrite(to, buf + done, pageSize - done, base + off_t(done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) fail("write failed");
            done += std::size_t(r);
        }
    }

    // Writes the buffers one after the other from `offset` with as few system calls as the
    // vector limit allows, carrying on after short writes.
    static void writeVector(int to, off_t offset, std::vector<iovec>& iov, const char* message) {
        std::size_t first = 0;
        while (first < iov.size()) {
            const int count = int(std::min<std::size_t>(iov.size() - first, kMaxIov));
            ssize_t r = pwritev(to, &iov[first], count, offset);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) fail(message);
            offset += off_t(r);
            std::size_t done = std::size_t(r);
            while (first < iov.size() && done >= iov[first].iov_len) {
                done -= iov[first].iov_len;
                ++first;
            }
            if (done > 0) {
                iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + done;
                iov[first].iov_len -= done;
            }
        }
    }

    void checkPage(std::uint32_t n) const {
        if (n == 0 || n >= nextPage) fail("corrupt help database: page number out of range");
    }

    // The page's current bytes (the transaction's own when it wrote the page); P bytes, valid
    // until the cache is cleared.
    const unsigned char* readPage(std::uint32_t n) {
        checkPage(n);
        long slot = slotFor(n);
        if (slot >= 0) return slotData(std::uint32_t(slot));
        if ((inTransaction && n < savedNext) || holding) {
            readBlock(n);
            slot = slotFor(n);
            if (slot >= 0) return slotData(std::uint32_t(slot));
        }
        Bytes buf(pageSize);
        readRaw(n, buf.data());
        unsigned char* data = attach(n, false);
        std::memcpy(data, buf.data(), pageSize);
        return data;
    }

    // Inside a transaction a missing page is read with the aligned block of kReadBlock pages
    // around it (only pages the file had at begin, and none the cache holds already): the
    // pages of one change cluster, and one call costs less than several.
    void readBlock(std::uint32_t n) {
        std::uint32_t lo = n - n % kReadBlock;
        const std::uint32_t hi = std::min<std::uint32_t>(lo + kReadBlock, inTransaction ? savedNext : nextPage);
        if (lo == 0) lo = 1;
        if (hi <= lo + 1) return;
        block.resize(std::size_t(hi - lo) * pageSize);
        ssize_t r;
        do r = pread(fd, block.data(), block.size(), off_t(lo) * pageSize);
        while (r < 0 && errno == EINTR);
        if (r <= 0) return;   // the single read of the page reports the failure
        const std::uint32_t got = std::uint32_t(std::size_t(r) / pageSize);
        for (std::uint32_t m = lo; m < lo + got; ++m) {
            if (slotFor(m) >= 0) continue;
            std::memcpy(attach(m, false), block.data() + std::size_t(m - lo) * pageSize, pageSize);
        }
    }

    // Replaces the page's bytes in the transaction.  A page written with the bytes it already
    // has stays clean: a rewritten chain whose front did not move costs neither a write nor a
    // journal copy for that front.
    void writePage(std::uint32_t n, Bytes buf) {
        checkPage(n);
        buf.resize(pageSize, 0);
        long slot = slotFor(n);
        if (slot < 0 && n < savedNext && !journal.empty()) {
            // The journal needs the file's bytes anyway; they also tell whether anything changes.
            readPage(n);
            slot = slotFor(n);
        }
        if (slot >= 0 && slotDirty[std::size_t(slot)]) {
            std::memcpy(slotData(std::uint32_t(slot)), buf.data(), pageSize);
            return;
        }
        if (slot >= 0) {
            if (std::memcmp(slotData(std::uint32_t(slot)), buf.data(), pageSize) == 0) return;
            // The clean slot keeps the file's bytes for the journal; the new bytes get their own.
            if (!journal.empty() && n < savedNext) originals.emplace_back(n, std::uint32_t(slot));
        }
        std::memcpy(attach(n, true), buf.data(), pageSize);
        ++dirtyCount;
    }

    // Forgets pages held outside a transaction (the end of a public operation, or a walk
    // moving on to another leaf).
    void dropReadCache() {
        if (!inTransaction && !holding && !parked) clearPages();
    }

    void unpark() {
        parked = false;
        dropReadCache();
    }

    // ---- pages kept between holds --------------------------------------------------------
    //
    // A change made by another process must never be answered from kept pages.  Every commit
    // writes the file, which sets its modification time to the kernel's clock at that moment;
    // that clock is coarse (one timer tick), so a change made in the same tick as the previous
    // one can leave the time as it was.  Pages are therefore kept past a hold only when the
    // file's last change is older than kQuietSeconds (far more than a tick) at the end of the
    // hold: any later change then bears a later time.  The next hold keeps them when the file's
    // identity, size, change and modification times and header page are as they were.
    static constexpr double kQuietSeconds = 1.0;
    static constexpr std::size_t kParkedPagesMax = 32768;   // 32 MB of 1 KB pages

    static bool sameFile(const struct stat& a, const struct stat& b) {
        return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    }

    // Re-reads the header (as kbtree_refresh), then checks the parked pages against it.
    void startHold() {
        readHeader(false, treeCount);
        if (parked) {
            parked = false;
            struct stat now;
            if (fstat(fd, &now) != 0 || !sameFile(now, parkedStamp) || lastHeader != parkedHeader)
                clearPages();
        }
        holding = true;
    }

    void endHold() {
        holding = false;
        struct stat now;
        struct timespec clock;
        if (!inTransaction && cachedPages.size() <= kParkedPagesMax && fstat(fd, &now) == 0 &&
            clock_gettime(CLOCK_REALTIME, &clock) == 0) {
            const double age = double(clock.tv_sec - now.st_mtim.tv_sec) +
                               double(clock.tv_nsec - now.st_mtim.tv_nsec) * 1e-9;
            if (age > kQuietSeconds) {
                parked = true;
                parkedStamp = now;
                parkedHeader = lastHeader;
                return;
            }
        }
        dropReadCache();
    }

    void clearPages() {
        for (std::uint32_t n : cachedPages) slotOf[n] = 0;
        cachedPages.clear();
        slotDirty.clear();
        slotCount = 0;
        originals.clear();
        dirtyCount = 0;
    }

    std::uint32_t allocPage() {
        std::uint32_t n;
        if (freeHead != 0) {
            n = freeHead;
            std::uint32_t next = rd32(readPage(n));
            if (next != 0 && (next >= nextPage || next == n))
                fail("corrupt help database: bad free-page link");
            freeHead = next;
        } else {
            if (nextPage == 0xffffffffu) fail("help database full");
            n = nextPage++;
        }
        headerChanged = true;
        writePage(n, Bytes(pageSize, 0));
        return n;
    }

    void freePage(std::uint32_t n) {
        Bytes p(pageSize, 0);
        wr32(p.data(), freeHead);
        writePage(n, std::move(p));
        freeHead = n;
        headerChanged = true;
    }

    // ---- header ----------------------------------------------------------------------------

    Bytes headerBytes() const {
        Bytes h(pageSize, 0);
        wr16(&h[0], pageSize);
        wr16(&h[2], flags);
        wr32(&h[4], nextPage);
        wr32(&h[8], freeHead);
        wr32(&h[12], treeCount);
        for (unsigned i = 0; i < treeCount; ++i) {
            wr32(&h[16 + 8 * i], roots[i]);
            wr32(&h[20 + 8 * i], heights[i]);
        }
        return h;
    }

    // Reads the header page; `full` also takes page size, flags and tree count.
    void readHeader(bool full, unsigned expectedTrees) {
        if (full) {
            unsigned char first[4];
            ssize_t r;
            do r = pread(fd, first, 4, 0);
            while (r < 0 && errno == EINTR);
            if (r != 4) fail("read failed");
            pageSize = rd16(first);
            if (pageSize < 128) fail("corrupt help database: bad page size");
        }
        Bytes h(pageSize);
        readRaw(0, h.data());
        lastHeader = h;
        std::uint32_t n = rd32(&h[12]);
        if (full) {
            if (n != expectedTrees) fail("corrupt help database: wrong number of trees");
            if (16 + 8 * std::size_t(n) > pageSize) fail("corrupt help database: bad page size");
            treeCount = n;
            flags = rd16(&h[2]);
        } else if (n != treeCount) {
            fail("corrupt help database: wrong number of trees");
        }
        std::uint32_t next = rd32(&h[4]);
        std::uint32_t free = rd32(&h[8]);
        if (next == 0 || (free != 0 && free >= next))
            fail("corrupt help database: bad header");
        // Every page below the first unused one has been written, so the file holds them all;
        // this also bounds every chain and value length by the file's real size.
        struct stat st;
        if (fstat(fd, &st) != 0) fail("read failed");
        if (std::uint64_t(next) * pageSize > std::uint64_t(st.st_size))
            fail("corrupt help database: file shorter than its header says");
        std::vector<std::uint32_t> r(treeCount), ht(treeCount);
        for (unsigned i = 0; i < treeCount; ++i) {
            r[i] = rd32(&h[16 + 8 * i]);
            ht[i] = rd32(&h[20 + 8 * i]);
            if (r[i] >= next || ht[i] > KBT_MAX_HEIGHT || (r[i] == 0 && ht[i] != 0))
                fail("corrupt help database: bad tree root");
        }
        nextPage = next;
        freeHead = free;
        roots = std::move(r);
        heights = std::move(ht);
    }

    // ---- transactions ----------------------------------------------------------------------

    void begin() {
        inTransaction = true;
        clearPages();
        savedNext = nextPage;
        savedFree = freeHead;
        savedRoots = roots;
        savedHeights = heights;
        headerChanged = false;
    }

    void rollback() {
        if (!inTransaction) return;
        nextPage = savedNext;
        freeHead = savedFree;
        roots = savedRoots;
        heights = savedHeights;
        clearPages();
        headerChanged = false;
        inTransaction = false;
        explicitTransaction = false;
    }

    // The dirty pages in ascending order (the order of the journal and of the writes).
    std::vector<std::uint32_t> dirtyPages() const {
        std::vector<std::uint32_t> pages;
        pages.reserve(dirtyCount);
        for (std::uint32_t n : cachedPages)
            if (slotDirty[slotOf[n] - 1]) pages.push_back(n);
        std::sort(pages.begin(), pages.end());
        return pages;
    }

    // Journal: "KHJ1", u32 P, u32 first unused page at begin, then (u32 page, P original bytes)
    // for the header and for every changed page that existed at begin, in ascending order,
    // then u32 record count and "KHJE".
    void writeJournal(const std::vector<std::uint32_t>& pages) {
        int jfd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (jfd < 0) fail("could not write journal");
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{jfd};
        std::vector<std::array<unsigned char, 4>> numbers;
        numbers.reserve(pages.size() + 8);   // no reallocation: iov points into it
        std::vector<iovec> iov;
        iov.reserve(2 * pages.size() + 8);
        auto number = [&](std::uint32_t v) {
            numbers.emplace_back();
            wr32(numbers.back().data(), v);
            iov.push_back({numbers.back().data(), 4});
        };
        iov.push_back({const_cast<char*>(kJournalMagic), 4});
        number(pageSize);
        number(savedNext);
        Bytes header(pageSize);
        readRaw(0, header.data());
        number(0);
        iov.push_back({header.data(), pageSize});
        std::uint32_t count = 1;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> saved = originals;
        std::sort(saved.begin(), saved.end());
        std::vector<Bytes> reread;   // originals missing when the journal was set mid-transaction
        reread.reserve(pages.size());
        std::size_t o = 0;
        for (std::uint32_t n : pages) {
            if (n >= savedNext) continue;
            while (o < saved.size() && saved[o].first < n) ++o;
            const unsigned char* bytes;
            if (o < saved.size() && saved[o].first == n) {
                bytes = slotData(saved[o].second);
            } else {
                reread.emplace_back(pageSize);
                readRaw(n, reread.back().data());
                bytes = reread.back().data();
            }
            number(n);
            iov.push_back({const_cast<unsigned char*>(bytes), pageSize});
            ++count;
        }
        number(count);
        iov.push_back({const_cast<char*>(kJournalEnd), 4});
        writeVector(jfd, 0, iov, "could not write journal");
        if (fsync(jfd) != 0) fail("could not write journal");
        syncDirectoryOf(journal);
    }

    void commit() {
        if (!inTransaction) return;
        if (dirtyCount == 0 && !headerChanged) {
            rollback();   // nothing to write; just leave the transaction
            return;
        }
        const bool journaled = !journal.empty();
        const std::vector<std::uint32_t> pages = dirtyPages();
        if (journaled) writeJournal(pages);
        // Runs of consecutive pages go out in one call each.
        std::vector<iovec> iov;
        for (std::size_t i = 0; i < pages.size();) {
            std::size_t j = i;
            iov.clear();
            while (j < pages.size() && pages[j] == pages[i] + (j - i)) {
                iov.push_back({slotData(slotOf[pages[j]] - 1), pageSize});
                ++j;
            }
            writeVector(fd, off_t(pages[i]) * pageSize, iov, "write failed");
            i = j;
        }
        Bytes h = headerBytes();
        writeRaw(fd, 0, h.data());
        if (journaled) {
            if (fsync(fd) != 0) fail("write failed");
            ::unlink(journal.c_str());
        }
        clearPages();
        headerChanged = false;
        inTransaction = false;
        explicitTransaction = false;
    }

    // ---- parsing ---------------------------------------------------------------------------

    bool smallEntry(std::size_t k, std::size_t v) const { return k + v + 12 < pageSize / 2; }

    std::size_t maxKey() const { return pageSize - 24; }

    // Parses a leaf page; a big-entry leaf yields its key and, when `gather`, its whole value.
    Leaf parseLeaf(std::uint32_t n, bool gather) {
        Leaf leaf;
        leaf.page = n;
        const unsigned char* p = readPage(n);
        const std::size_t P = pageSize;
        std::size_t off = 0;
        while (true) {
            if (off + 4 > P) fail("corrupt help database: leaf without end");
            std::size_t k = rd32(&p[off]);
            if (k == 0) break;
            if (k > P || off + 8 + k > P) fail("corrupt help database: bad key length");
            std::size_t v = rd32(&p[off + 4 + k]);
            if (off == 0 && !smallEntry(k, v)) {
                if (v > std::size_t(nextPage) * P) fail("corrupt help database: bad value length");
                leaf.big = true;
                Entry e;
                e.key.assign(p + 4, p + 4 + std::ptrdiff_t(k));
                if (gather) e.value = gatherChain(p, k, v);
                leaf.entries.push_back(std::move(e));
                return leaf;
            }
            if (!smallEntry(k, v) || off + 8 + k + v > P)
                fail("corrupt help database: bad entry length");
            Entry e;
            e.key.assign(p + std::ptrdiff_t(off + 4), p + std::ptrdiff_t(off + 4 + k));
            e.value.assign(p + std::ptrdiff_t(off + 8 + k),
                           p + std::ptrdiff_t(off + 8 + k + v));
            leaf.entries.push_back(std::move(e));
            off += 8 + k + v;
        }
        leaf.used = off;
        return leaf;
    }

    // Follows a chain from its first page; every link is checked, and the bytes left shrink
    // with each page, so the loop ends.  `pages` receives the chain's page numbers.
    Bytes gatherChain(const unsigned char* first, std::size_t k, std::size_t v,
                      std::vector<std::uint32_t>* pages = nullptr) {
        const std::size_t P = pageSize;
        Bytes value;
        if (k + v + 8 <= P) {
            value.assign(first + std::ptrdiff_t(8 + k),
                         first + std::ptrdiff_t(8 + k + v));
            return value;
        }
        if (k + 12 > P) fail("corrupt help database: bad key length");
        value.reserve(v);
        std::size_t take = P - k - 12;
        value.insert(value.end(), first + std::ptrdiff_t(8 + k),
                     first + std::ptrdiff_t(8 + k + take));
        std::uint32_t next = rd32(&first[P - 4]);
        while (value.size() < v) {
            checkPage(next);
            if (pages) pages->push_back(next);
            const unsigned char* p = readPage(next);
            std::size_t left = v - value.size();
            if (left <= P) {
                value.insert(value.end(), p, p + std::ptrdiff_t(left));
                break;
            }
            value.insert(value.end(), p, p + std::ptrdiff_t(P - 4));
            next = rd32(&p[P - 4]);
        }
        return value;
    }

    // The page numbers of a chain, following its links with the checks of gatherChain but
    // without gathering the value.
    std::vector<std::uint32_t> chainPages(std::uint32_t n) {
        std::vector<std::uint32_t> pages{n};
        const std::size_t P = pageSize;
        const unsigned char* p = readPage(n);
        std::size_t k = rd32(&p[0]);
        if (k == 0 || k + 8 > P) fail("corrupt help database: bad key length");
        std::size_t v = rd32(&p[4 + k]);
        if (v > std::size_t(nextPage) * P) fail("corrupt help database: bad value length");
        if (k + v + 8 <= P) return pages;
        if (k + 12 > P) fail("corrupt help database: bad key length");
        std::size_t left = v - (P - k - 12);
        std::uint32_t next = rd32(&p[P - 4]);
        while (left > 0) {
            checkPage(next);
            pages.push_back(next);
            const unsigned char* q = readPage(next);
            if (left <= P) break;
            left -= P - 4;
            next = rd32(&q[P - 4]);
        }
        return pages;
    }

    Interior parseInterior(std::uint32_t n) {
        Interior in;
        const unsigned char* p = readPage(n);
        const std::size_t P = pageSize;
        std::uint32_t c = rd32(&p[0]);
        checkPage(c);
        in.children.push_back(c);
        std::size_t off = 4;
        while (true) {
            if (off + 4 > P) fail("corrupt help database: interior page without end");
            std::size_t k = rd32(&p[off]);
            if (k == 0) break;
            if (k > P || off + 8 + k > P) fail("corrupt help database: bad separator length");
            in.keys.emplace_back(p + std::ptrdiff_t(off + 4),
                                 p + std::ptrdiff_t(off + 4 + k));
            c = rd32(&p[off + 4 + k]);
            checkPage(c);
            in.children.push_back(c);
            off += 8 + k;
        }
        return in;
    }

    // ---- page building ---------------------------------------------------------------------

    Bytes leafBytes(const std::vector<Entry>& entries, std::size_t from, std::size_t to) const {
        Bytes p(pageSize, 0);
        std::size_t off = 0;
        for (std::size_t i = from; i < to; ++i) {
            const Entry& e = entries[i];
            if (off + e.size() + 4 > pageSize) fail("page overflow");
            wr32(&p[off], std::uint32_t(e.key.size()));
            std::memcpy(&p[off + 4], e.key.data(), e.key.size());
            wr32(&p[off + 4 + e.key.size()], std::uint32_t(e.value.size()));
            if (!e.value.empty())
                std::memcpy(&p[off + 8 + e.key.size()], e.value.data(), e.value.size());
            off += e.size();
        }
        return p;
    }

    Bytes interiorBytes(const Interior& in) const {
        if (in.size() > pageSize) fail("page overflow");
        Bytes p(pageSize, 0);
        wr32(&p[0], in.children[0]);
        std::size_t off = 4;
        for (std::size_t i = 0; i < in.keys.size(); ++i) {
            wr32(&p[off], std::uint32_t(in.keys[i].size()));
            std::memcpy(&p[off + 4], in.keys[i].data(), in.keys[i].size());
            wr32(&p[off + 4 + in.keys[i].size()], in.children[i + 1]);
            off += 8 + in.keys[i].size();
        }
        return p;
    }

    // A small entry in a new one-page leaf, or a big entry in a new chain; returns its first page.
    // With `reuse`, its pages are taken first, in order (the caller frees what is left).
    std::uint32_t writeNewLeaf(const Entry& e, std::vector<std::uint32_t>* reuse = nullptr) {
        const std::size_t P = pageSize;
        const std::size_t k = e.key.size(), v = e.value.size();
        std::size_t used = 0;
        auto allocPage = [&]() -> std::uint32_t {
            if (reuse && used < reuse->size()) return (*reuse)[used++];
            return this->allocPage();
        };
        struct Trim {
            std::vector<std::uint32_t>* reuse;
            std::size_t& used;
            ~Trim() {
                if (reuse) reuse->erase(reuse->begin(), reuse->begin() + std::ptrdiff_t(used));
            }
        } trim{reuse, used};
        if (smallEntry(k, v)) {
            std::uint32_t n = allocPage();
            writePage(n, leafBytes({e}, 0, 1));
            return n;
        }
        std::uint32_t first = allocPage();
        Bytes p(P, 0);
        wr32(&p[0], std::uint32_t(k));
        std::memcpy(&p[4], e.key.data(), k);
        wr32(&p[4 + k], std::uint32_t(v));
        if (k + v + 8 <= P) {
            std::memcpy(&p[8 + k], e.value.data(), v);
            writePage(first, std::move(p));
            return first;
        }
        std::size_t take = P - k - 12;
        std::memcpy(&p[8 + k], e.value.data(), take);
        std::size_t pos = take;
        std::uint32_t current = first;
        while (true) {
            std::uint32_t next = allocPage();
            wr32(&p[P - 4], next);
            writePage(current, std::move(p));
            p.assign(P, 0);
            current = next;
            std::size_t left = v - pos;
            if (left <= P) {
                std::memcpy(&p[0], e.value.data() + pos, left);
                writePage(current, std::move(p));
                return first;
            }
            std::memcpy(&p[0], e.value.data() + pos, P - 4);
            pos += P - 4;
        }
    }

    void freeLeaf(std::uint32_t n, bool big) {
        if (!big) {
            freePage(n);
            return;
        }
        for (std::uint32_t page : chainPages(n)) freePage(page);
    }

    // ---- descent ---------------------------------------------------------------------------

    int cmp(unsigned tree, const Bytes& a, const Bytes& b) const {
        return compare[tree](a.size(), a.data(), b.size(), b.data());
    }

    // Fills levels height .. 0; the leaf page is level[0].page.  The separators are compared
    // in place in the page (descents are the most frequent step of every operation): one pass
    // over the length fields checks them and notes each separator's offset, then bisection
    // finds the first separator >= key (its child), or the last child when there is none.
    void descend(Path& path, unsigned tree, const Bytes& key) {
        path.tree = tree;
        const std::size_t P = pageSize;
        std::uint32_t page = roots[tree];
        std::uint32_t offsets[KBT_PAGE_SIZE / 8];
        std::vector<std::uint32_t> wide;   // pages larger than KBT_PAGE_SIZE
        for (std::uint32_t l = heights[tree]; l >= 1; --l) {
            const unsigned char* p = readPage(page);
            std::uint32_t* at = offsets;
            if (P > KBT_PAGE_SIZE) {
                wide.resize(P / 8);
                at = wide.data();
            }
            std::size_t count = 0, off = 4;
            while (true) {
                if (off + 4 > P) fail("corrupt help database: interior page without end");
                std::size_t k = rd32(&p[off]);
                if (k == 0) break;
                if (k > P || off + 8 + k > P) fail("corrupt help database: bad separator length");
                at[count++] = std::uint32_t(off);
                off += 8 + k;
            }
            std::size_t lo = 0, hi = count;   // separators [lo, hi) undecided
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo) / 2;
                const std::size_t o = at[mid];
                if (compare[tree](key.size(), key.data(), rd32(&p[o]), &p[o + 4]) <= 0) hi = mid;
                else lo = mid + 1;
            }
            const std::uint32_t child = lo == 0 ? rd32(&p[0]) : rd32(&p[at[lo - 1] + 4 + rd32(&p[at[lo - 1]])]);
            checkPage(child);
            path.level[l] = {page, lo};
            page = child;
        }
        path.level[0] = {page, 0};
    }

    // Makes `page` take the place of the leaf in its parent (or as root).
    void replaceLeaf(Path& path, std::uint32_t page) {
        unsigned t = path.tree;
        if (heights[t] == 0) {
            roots[t] = page;
            headerChanged = true;
            return;
        }
        Interior in = parseInterior(path.level[1].page);
        in.children[path.level[1].index] = page;
        writePage(path.level[1].page, interiorBytes(in));
    }

    // Replaces the child recorded at level L with (left, separator, right).
    void insertParent(Path& path, std::uint32_t L, std::uint32_t left, const Bytes& sep,
                      std::uint32_t right) {
        unsigned t = path.tree;
        if (heights[t] < L) {
            if (L > KBT_MAX_HEIGHT) fail("tree too deep");
            Interior root;
            root.children = {left, right};
            root.keys = {sep};
            std::uint32_t n = allocPage();
            writePage(n, interiorBytes(root));
            roots[t] = n;
            heights[t] = L;
            headerChanged = true;
            return;
        }
        const std::uint32_t old = path.level[L].page;
        const std::size_t idx = path.level[L].index;
        Interior in = parseInterior(old);
        if (idx >= in.children.size()) fail("corrupt help database: bad descent");
        in.children[idx] = left;
        in.children.insert(in.children.begin() + std::ptrdiff_t(idx + 1), right);
        in.keys.insert(in.keys.begin() + std::ptrdiff_t(idx), sep);
        if (in.size() < pageSize) {
            writePage(old, interiorBytes(in));
            return;
        }
        // Split: (child, key) pairs go left while the left page's size before the pair plus 4
        // stays at or below P/2 - 8; the first pair that does not fit gives the separator.
        // With long keys that rule can leave a half too big for a page; then the separator
        // that keeps the larger half smallest is taken instead (keys are at most maxKey(), so
        // both halves of that split fit).
        std::size_t total = 0;
        for (const auto& k : in.keys) total += 8 + k.size();
        auto halves = [&](std::size_t j, std::size_t before) {
            std::size_t leftSize = 8 + before;
            std::size_t rightSize = 8 + (total - before - 8 - in.keys[j].size());
            return std::max(leftSize, rightSize);
        };
        std::size_t best = 0, before = 0;
        while (best + 1 < in.keys.size() && before + 8 + in.keys[best].size() + 4 <= pageSize / 2 - 8) {
            before += 8 + in.keys[best].size();
            ++best;
        }
        if (halves(best, before) > pageSize) {
            std::size_t bestSize = SIZE_MAX;
            before = 0;
            for (std::size_t j = 0; j < in.keys.size(); ++j) {
                if (halves(j, before) < bestSize) {
                    bestSize = halves(j, before);
                    best = j;
                }
                before += 8 + in.keys[j].size();
            }
        }
        Interior a, b;
        a.children.assign(in.children.begin(), in.children.begin() + std::ptrdiff_t(best + 1));
        a.keys.assign(in.keys.begin(), in.keys.begin() + std::ptrdiff_t(best));
        b.children.assign(in.children.begin() + std::ptrdiff_t(best + 1), in.children.end());
        b.keys.assign(in.keys.begin() + std::ptrdiff_t(best + 1), in.keys.end());
        std::uint32_t na = allocPage(), nb = allocPage();
        writePage(na, interiorBytes(a));
        writePage(nb, interiorBytes(b));
        insertParent(path, L + 1, na, in.keys[best], nb);
        freePage(old);
    }

    // Writes the entries of a small leaf that no longer fits one page as two new leaves and
    // links them into the parent in place of the old leaf.
    void splitLeaf(Path& path, const std::vector<Entry>& entries) {
        const std::size_t half = pageSize / 2;
        std::size_t copied = 0, cut = entries.size();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (i > 0 && (copied > half || copied + entries[i].size() + 4 >= pageSize)) {
                cut = i;
                break;
            }
            copied += entries[i].size();
        }
        std::uint32_t left = allocPage();
        writePage(left, leafBytes(entries, 0, cut));
        std::uint32_t right = allocPage();
        writePage(right, leafBytes(entries, cut, entries.size()));
        std::uint32_t old = path.level[0].page;
        insertParent(path, 1, left, entries[cut - 1].key, right);
        freePage(old);
    }

    // ---- operations ------------------------------------------------------------------------

    void checkTree(unsigned tree) const {
        if (tree >= treeCount) fail("bad tree number");
    }

    void checkKey(std::size_t k) const {
        if (k == 0) fail("empty key");
        if (k > maxKey()) fail("key too long");
    }

    // Stores (key, value) as the only entry of a big leaf's place, around the leaf's small
    // entries: the ones before it, its chain, the ones after it.
    void placeBig(Path& path, const Bytes& key, std::uint32_t chain, std::vector<Entry> before,
                  const std::vector<Entry>& after, std::uint32_t oldLeaf) {
        if (before.empty() && after.empty()) {
            replaceLeaf(path, chain);
        } else if (before.empty()) {
            std::uint32_t r = allocPage();
            writePage(r, leafBytes(after, 0, after.size()));
            insertParent(path, 1, chain, key, r);
        } else {
            std::uint32_t l = allocPage();
            writePage(l, leafBytes(before, 0, before.size()));
            insertParent(path, 1, l, before.back().key, chain);
            if (!after.empty()) {
                std::uint32_t r = allocPage();
                writePage(r, leafBytes(after, 0, after.size()));
                Path again;
                descend(again, path.tree, key);
                if (again.level[0].page != chain) fail("corrupt help database: bad descent");
                insertParent(again, 1, chain, key, r);
            }
        }
        freePage(oldLeaf);
    }

    // Insert and update share this: `mustExist` is update, `mayExist` allows an insert to
    // replace a present key.
    void put(unsigned tree, Entry e, bool mustExist) {
        checkTree(tree);
        checkKey(e.key.size());
        if (e.value.size() > 0x7fffffffu) fail("value too long");
        const bool small = smallEntry(e.key.size(), e.value.size());
        if (roots[tree] == 0) {
            if (mustExist) fail("update not found");
            roots[tree] = writeNewLeaf(e);
            heights[tree] = 0;
            headerChanged = true;
            return;
        }
        Path path;
        descend(path, tree, e.key);
        const std::uint32_t leafPage = path.level[0].page;
        Leaf leaf = parseLeaf(leafPage, false);

        if (leaf.big) {
            const Bytes& oldKey = leaf.entries[0].key;
            int c = cmp(tree, e.key, oldKey);
            if (c == 0) {
                // Replace the big entry, rewriting its chain's pages in place (so the leaf keeps
                // its page number and its parent is untouched); pages left over are freed.
                std::vector<std::uint32_t> pages = chainPages(leafPage);
                writeNewLeaf(e, &pages);
                for (std::uint32_t n : pages) freePage(n);
                return;
            }
            if (mustExist) fail("not found");
            std::uint32_t n = writeNewLeaf(e);
            if (c < 0) insertParent(path, 1, n, e.key, leafPage);
            else insertParent(path, 1, leafPage, oldKey, n);
            return;
        }

        // Small leaf: position of the key.
        std::size_t pos = 0;
        while (pos < leaf.entries.size() && cmp(tree, e.key, leaf.entries[pos].key) > 0) ++pos;
        const bool present = pos < leaf.entries.size() && cmp(tree, e.key, leaf.entries[pos].key) == 0;
        if (mustExist && !present) fail("not found");
        std::size_t used = leaf.used;
        if (present) used -= leaf.entries[pos].size();

        if (small) {
            std::vector<Entry> entries = std::move(leaf.entries);
            if (present) entries[pos] = std::move(e);
            else entries.insert(entries.begin() + std::ptrdiff_t(pos), std::move(e));
            const std::size_t size = used + entries[pos].size() + 4;
            if (present ? size <= pageSize : size < pageSize) {
                writePage(leafPage, leafBytes(entries, 0, entries.size()));
                return;
            }
            splitLeaf(path, entries);
            return;
        }

        // A big entry: its own chain, between the smaller and the greater keys of the leaf.
        std::uint32_t chain = writeNewLeaf(e);
        std::vector<Entry> before(std::make_move_iterator(leaf.entries.begin()),
                                  std::make_move_iterator(leaf.entries.begin() + std::ptrdiff_t(pos)));
        std::vector<Entry> after(
            std::make_move_iterator(leaf.entries.begin() + std::ptrdiff_t(pos + (present ? 1 : 0))),
            std::make_move_iterator(leaf.entries.end()));
        placeBig(path, e.key, chain, std::move(before), after, leafPage);
    }

    void remove(unsigned tree, const Bytes& key) {
        checkTree(tree);
        if (roots[tree] == 0) fail("not found");
        Path path;
        descend(path, tree, key);
        const std::uint32_t leafPage = path.level[0].page;
        Leaf leaf = parseLeaf(leafPage, false);
        if (leaf.big) {
            if (cmp(tree, key, leaf.entries[0].key) != 0) fail("not found");
            std::uint32_t n = allocPage();   // a fresh empty leaf takes the chain's place
            replaceLeaf(path, n);
            freeLeaf(leafPage, true);
            return;
        }
        for (std::size_t i = 0; i < leaf.entries.size(); ++i) {
            int c = cmp(tree, key, leaf.entries[i].key);
            if (c < 0) break;
            if (c == 0) {
                leaf.entries.erase(leaf.entries.begin() + std::ptrdiff_t(i));
                writePage(leafPage, leafBytes(leaf.entries, 0, leaf.entries.size()));
                return;
            }
        }
        fail("not found");
    }

    int lookup(unsigned tree, const Bytes& key, KbtVisitor visitor, void* user) {
        checkTree(tree);
        if (roots[tree] == 0) return 0;
        Path path;
        descend(path, tree, key);
        // The leaf's small entries are compared in place; a big entry is gathered.
        const unsigned char* p = readPage(path.level[0].page);
        const std::size_t P = pageSize;
        std::size_t off = 0;
        while (true) {
            if (off + 4 > P) fail("corrupt help database: leaf without end");
            std::size_t k = rd32(&p[off]);
            if (k == 0) return 0;
            if (k > P || off + 8 + k > P) fail("corrupt help database: bad key length");
            std::size_t v = rd32(&p[off + 4 + k]);
            const bool small = smallEntry(k, v);
            if (!small && off != 0) fail("corrupt help database: bad entry length");
            if (small && off + 8 + k + v > P) fail("corrupt help database: bad entry length");
            int c = compare[tree](key.size(), key.data(), k, &p[off + 4]);
            if (c < 0) return 0;
            if (c == 0) {
                if (small) return visitor(user, k, &p[off + 4], v, &p[off + 8 + k]);
                Leaf full = parseLeaf(path.level[0].page, true);
                const Entry& f = full.entries[0];
                return visitor(user, f.key.size(), f.key.data(), f.value.size(), f.value.data());
            }
            if (!small) return 0;
            off += 8 + k + v;
        }
    }

    // mode 0: from the first entry; 1: from key forwards; 2: from key backwards.
    void walk(unsigned tree, int mode, const Bytes& key, KbtVisitor visitor, void* user) {
        checkTree(tree);
        if (roots[tree] == 0) return;
        const bool backwards = mode == 2;
        const std::uint32_t height = heights[tree];
        std::vector<Interior> levels(height + 1);
        std::vector<std::size_t> index(height + 1, 0);
        std::uint64_t leavesVisited = 0;

        // Descends from level `from` (whose page is in levels[from]) to a leaf, taking the key's
        // child, the first or the last.
        auto down = [&](std::uint32_t from, bool byKey, bool last) -> std::uint32_t {
            std::uint32_t page = 0;
            for (std::uint32_t l = from; l >= 1; --l) {
                const Interior& in = levels[l];
                std::size_t i = 0;
                if (byKey) {
                    while (i < in.keys.size() && cmp(tree, key, in.keys[i]) > 0) ++i;
                } else if (last) {
                    i = in.children.size() - 1;
                }
                index[l] = i;
                page = in.children[i];
                if (l > 1) levels[l - 1] = parseInterior(page);
            }
            return page;
        };

        std::uint32_t leafPage = roots[tree];
        if (height > 0) {
            levels[height] = parseInterior(roots[tree]);
            leafPage = down(height, mode != 0, false);
        }
        bool first = true;
        while (true) {
            if (++leavesVisited > nextPage) fail("corrupt help database: tree has a cycle");
            // Outside a transaction a walk keeps no more than one leaf's pages: what it needs
            // of the levels above is parsed into `levels`.
            if (depth == 1) dropReadCache();
            Leaf leaf = parseLeaf(leafPage, true);
            std::size_t n = leaf.entries.size();
            for (std::size_t k = 0; k < n; ++k) {
                const Entry& e = leaf.entries[backwards ? n - 1 - k : k];
                if (first && mode == 1 && cmp(tree, e.key, key) < 0) continue;
                if (first && mode == 2 && cmp(tree, e.key, key) > 0) continue;
                if (visitor(user, e.key.size(), e.key.data(), e.value.size(), e.value.data()) == 0)
                    return;
            }
            first = false;
            // Next (previous) leaf: the lowest level with a further child moves on.
            std::uint32_t l = 1;
            while (l <= height) {
                if (!backwards && index[l] + 1 < levels[l].children.size()) break;
                if (backwards && index[l] > 0) break;
                ++l;
            }
            if (l > height) return;
            index[l] += backwards ? std::size_t(-1) : 1;
            std::uint32_t page = levels[l].children[index[l]];
            if (l == 1) {
                leafPage = page;
            } else {
                levels[l - 1] = parseInterior(page);
                leafPage = down(l - 1, false, backwards);
            }
        }
    }

    // Runs one change in a transaction of its own unless one is open.
    template <class F>
    int change(F&& f) {
        const bool implicit = !inTransaction;
        if (implicit) begin();
        try {
            f();
            if (implicit) commit();
            return 1;
        } catch (...) {
            if (implicit) rollback();
            throw;
        }
    }

    void report(const char* message) const {
        (error ? error : kbtree_default_error)(message);
    }
};

void kbtree_default_error(const char* message) {
    std::fprintf(stderr, "Fatal error: %s\n", message);
    std::fflush(stderr);
    std::exit(-1);
}

int kbtree_compare_string(std::size_t len1, const unsigned char* key1, std::size_t len2,
                          const unsigned char* key2) {
    std::size_t n = std::min(len1, len2);
    for (std::size_t i = 0; i < n; ++i) {
        if (key1[i] != key2[i]) return int(key1[i]) - int(key2[i]);
        if (key1[i] == 0) break;
    }
    return len1 < len2 ? -1 : len1 > len2 ? 1 : 0;
}

int kbtree_compare_int16(std::size_t len1, const unsigned char* key1, std::size_t len2,
                         const unsigned char* key2) {
    auto value = [](std::size_t len, const unsigned char* k) {
        unsigned v = (len > 0 ? k[0] : 0) | (len > 1 ? k[1] << 8 : 0);
        return int(std::int16_t(std::uint16_t(v)));
    };
    return value(len1, key1) - value(len2, key2);
}

namespace {

// The guard of every public operation; returns `failed` after reporting.
template <class F>
auto guarded(KbtHandle* h, F&& f, decltype(f()) failed) -> decltype(f()) {
    // Pages read outside a transaction are held until the outermost operation ends.
    struct Depth {
        KbtHandle* h;
        explicit Depth(KbtHandle* handle) : h(handle) {
            // Parked pages serve only the hold that checks them.
            if (h->depth++ == 0 && h->parked && !h->holding) h->unpark();
        }
        ~Depth() {
            if (--h->depth == 0) h->dropReadCache();
        }
    };
    std::string message;
    try {
        Depth depth(h);
        return f();
    } catch (const KbtFail& e) {
        message = e.message;
    } catch (const std::bad_alloc&) {
        message = "out of memory";
    }
    h->report(message.c_str());
    return failed;
}

Bytes toBytes(std::size_t n, const void* p) {
    auto* b = static_cast<const unsigned char*>(p);
    return n && b ? Bytes(b, b + n) : Bytes(n, 0);
}

}  // namespace

KbtHandle* kbtree_create(int fd, unsigned trees, const KbtCompare* compare, KbtError error) {
    std::unique_ptr<KbtHandle> owner(new (std::nothrow) KbtHandle);
    KbtHandle* h = owner.get();
    if (!h) {
        (error ? error : kbtree_default_error)("out of memory");
        return nullptr;
    }
    h->fd = fd;
    h->error = error;
    h->takeFromPool();
    h->treeCount = trees;
    h->compare.assign(compare, compare + trees);
    h->roots.assign(trees, 0);
    h->heights.assign(trees, 0);
    KbtHandle* result = guarded(
        h,
        [&]() -> KbtHandle* {
            if (16 + 8 * std::size_t(trees) > h->pageSize) fail("too many trees");
            Bytes header = h->headerBytes();
            h->writeRaw(fd, 0, header.data());
            return h;
        },
        nullptr);
    // A callback that throws leaves through here too; the owner frees the handle.
    if (result) owner.release();
    return result;
}

KbtHandle* kbtree_open(int fd, unsigned trees, const KbtCompare* compare, KbtError error) {
    std::unique_ptr<KbtHandle> owner(new (std::nothrow) KbtHandle);
    KbtHandle* h = owner.get();
    if (!h) {
        (error ? error : kbtree_default_error)("out of memory");
        return nullptr;
    }
    h->fd = fd;
    h->error = error;
    h->takeFromPool();
    h->compare.assign(compare, compare + trees);
    KbtHandle* result = guarded(
        h,
        [&]() -> KbtHandle* {
            h->readHeader(true, trees);
            return h;
        },
        nullptr);
    // A callback that throws leaves through here too; the owner frees the handle.
    if (result) owner.release();
    return result;
}

void kbtree_close(KbtHandle* handle) {
    if (!handle) return;
    handle->rollback();
    handle->returnToPool();
    delete handle;
}

int kbtree_refresh(KbtHandle* h) {
    return guarded(h, [&] { h->readHeader(false, h->treeCount); return 1; }, 0);
}

unsigned kbtree_flags(const KbtHandle* handle) { return handle->flags; }

void kbtree_set_error(KbtHandle* handle, KbtError error) { handle->error = error; }

std::size_t kbtree_max_key(const KbtHandle* handle) { return handle->maxKey(); }

int kbtree_insert(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key,
                  std::size_t valueLength, const void* value) {
    return guarded(h, [&] {
        return h->change([&] {
            h->put(tree, Entry{toBytes(keyLength, key), toBytes(valueLength, value)}, false);
        });
    }, 0);
}

int kbtree_update(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key,
                  std::size_t valueLength, const void* value) {
    return guarded(h, [&] {
        return h->change([&] {
            h->put(tree, Entry{toBytes(keyLength, key), toBytes(valueLength, value)}, true);
        });
    }, 0);
}

int kbtree_delete(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key) {
    return guarded(h, [&] {
        return h->change([&] { h->remove(tree, toBytes(keyLength, key)); });
    }, 0);
}

int kbtree_lookup(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key,
                  KbtVisitor visitor, void* user) {
    return guarded(h, [&] { return h->lookup(tree, toBytes(keyLength, key), visitor, user); }, 0);
}

int kbtree_walk(KbtHandle* h, unsigned tree, KbtVisitor visitor, void* user) {
    return guarded(h, [&] { h->walk(tree, 0, Bytes(), visitor, user); return 1; }, 0);
}

int kbtree_walk_from(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key,
                     KbtVisitor visitor, void* user) {
    return guarded(h, [&] {
        h->walk(tree, 1, toBytes(keyLength, key), visitor, user);
        return 1;
    }, 0);
}

int kbtree_walk_back(KbtHandle* h, unsigned tree, std::size_t keyLength, const void* key,
                     KbtVisitor visitor, void* user) {
    return guarded(h, [&] {
        h->walk(tree, 2, toBytes(keyLength, key), visitor, user);
        return 1;
    }, 0);
}

int kbtree_begin(KbtHandle* h) {
    return guarded(h, [&] {
        if (h->inTransaction) fail("transaction already open");
        h->begin();
        h->explicitTransaction = true;
        return 1;
    }, 0);
}

int kbtree_commit(KbtHandle* h) {
    return guarded(h, [&] {
        try {
            h->commit();
        } catch (...) {
            h->rollback();
            throw;
        }
        return 1;
    }, 0);
}

void kbtree_rollback(KbtHandle* h) { h->rollback(); }

int kbtree_hold_pages(KbtHandle* h, int hold) {
    if (!hold) {
        h->endHold();
        return 1;
    }
    h->holding = true;   // parked pages survive the guard's entry for startHold to check
    const int ok = guarded(h, [&] { h->startHold(); return 1; }, 0);
    if (!ok) {
        h->holding = false;
        h->unpark();
    }
    return ok;
}

void kbtree_set_journal(KbtHandle* h, const char* path) { h->journal = path ? path : ""; }

int kbtree_recover_journal(int fd, const char* journalPath, KbtError error) {
    int jfd = ::open(journalPath, O_RDONLY | O_CLOEXEC);
    if (jfd < 0) return 1;   // no journal: nothing to do
    std::string data;
    char buf[65536];
    ssize_t r;
    while ((r = ::read(jfd, buf, sizeof buf)) > 0) data.append(buf, std::size_t(r));
    ::close(jfd);
    const auto* d = reinterpret_cast<const unsigned char*>(data.data());
    bool complete = data.size() >= 20 && std::memcmp(d, kJournalMagic, 4) == 0 &&
                    std::memcmp(d + data.size() - 4, kJournalEnd, 4) == 0;
    std::size_t P = complete ? rd32(d + 4) : 0;
    std::uint32_t count = complete ? rd32(d + data.size() - 8) : 0;
    if (complete && (P < 128 || P > 65535 ||
                     data.size() != 12 + std::size_t(count) * (4 + P) + 8)) {
        complete = false;
    }
    if (!complete) {
        // Commit syncs the whole journal before it touches the file, so a journal without
        // its end mark means the file was never changed.
        ::unlink(journalPath);
        return 1;
    }
    const std::uint32_t pages = rd32(d + 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* rec = d + 12 + std::size_t(i) * (4 + P);
        std::uint32_t n = rd32(rec);
        std::size_t done = 0;
        while (done < P) {
            ssize_t w = pwrite(fd, rec + 4 + done, P - done, off_t(n) * off_t(P) + off_t(done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                (error ? error : kbtree_default_error)("write failed");
                return 0;
            }
            done += std::size_t(w);
        }
    }
    if (ftruncate(fd, off_t(pages) * off_t(P)) != 0 || fsync(fd) != 0) {
        (error ? error : kbtree_default_error)("write failed");
        return 0;
    }
    ::unlink(journalPath);
    return 1;
}
