// Help database operations (see hdb.h).
//
// Every operation runs inside this module's guard: a failure throws HdbFail (hdb_raise, which is
// also the error callback of every kbtree handle opened here, so store failures land in the same
// guard).  The guard rolls the open transaction back, closes or unlocks the files, formats
// "during %s%s - %s" and hands it to the caller's callback.  Every value read from a tree is
// checked against its length before use.

#include "help/hdb.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "help/kbtree.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {

struct HdbFail {
    std::string message;
};

[[noreturn]] void hdb_raise(const char* message) { throw HdbFail{message}; }

const KbtCompare kCompare[HELP_TREE_COUNT] = {
    kbtree_compare_string, kbtree_compare_string, kbtree_compare_int16, kbtree_compare_int16,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_string, kbtree_compare_string,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_int16, kbtree_compare_string};

std::string idKey(unsigned id) {
    std::string k(2, '\0');
    k[0] = char(id & 0xff);
    k[1] = char((id >> 8) & 0xff);
    return k;
}

unsigned u16at(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8);
}

void put16(std::string& s, unsigned v) {
    s += char(v & 0xff);
    s += char((v >> 8) & 0xff);
}

[[noreturn]] void corrupt(const char* what) {
    hdb_raise((std::string("corrupt help database: ") + what).c_str());
}

// ---- tree access -------------------------------------------------------------------------------

int copyValue(void* user, std::size_t, const unsigned char*, std::size_t vl,
              const unsigned char* v) {
    static_cast<std::string*>(user)->assign(reinterpret_cast<const char*>(v), vl);
    return 1;
}

bool get(KbtHandle* h, unsigned tree, std::string_view key, std::string& out) {
    out.clear();
    return kbtree_lookup(h, tree, key.size(), key.data(), copyValue, &out) != 0;
}

bool has(KbtHandle* h, unsigned tree, std::string_view key) {
    std::string v;
    return get(h, tree, key, v);
}

void put(KbtHandle* h, unsigned tree, std::string_view key, std::string_view value) {
    kbtree_insert(h, tree, key.size(), key.data(), value.size(), value.data());
}

void del(KbtHandle* h, unsigned tree, std::string_view key) {
    kbtree_delete(h, tree, key.size(), key.data());
}

void delIfPresent(KbtHandle* h, unsigned tree, std::string_view key) {
    if (has(h, tree, key)) del(h, tree, key);
}

using WalkFn = std::function<bool(std::string_view key, std::string_view value)>;

int walkTrampoline(void* user, std::size_t kl, const unsigned char* k, std::size_t vl,
                   const unsigned char* v) {
    auto* fn = static_cast<WalkFn*>(user);
    return (*fn)(std::string_view(reinterpret_cast<const char*>(k), kl),
                 std::string_view(reinterpret_cast<const char*>(v), vl))
               ? 1
               : 0;
}

void walkFrom(KbtHandle* h, unsigned tree, std::string_view key, WalkFn fn) {
    if (key.empty()) kbtree_walk(h, tree, walkTrampoline, &fn);
    else kbtree_walk_from(h, tree, key.size(), key.data(), walkTrampoline, &fn);
}

void walkBack(KbtHandle* h, unsigned tree, std::string_view key, WalkFn fn) {
    kbtree_walk_back(h, tree, key.size(), key.data(), walkTrampoline, &fn);
}

// ---- value parsers (each checks the lengths it reads) ------------------------------------------

struct TopicId {
    unsigned id;
    int active;
};

TopicId parseTopicId(std::string_view v, int version) {
    if (v.size() < 2) corrupt("bad topic id");
    return {u16at(v, 0), (version >= 2 && v.size() >= 4) ? int(u16at(v, 2)) : 0};
}

// name, NUL, description, NUL (version 1: the name alone).
void parseTopicName(std::string_view v, std::string& name, std::string& description) {
    std::size_t nul = v.find('\0');
    name = std::string(v.substr(0, nul));
    description.clear();
    if (nul != std::string_view::npos) {
        std::string_view rest = v.substr(nul + 1);
        description = std::string(rest.substr(0, rest.find('\0')));
    }
}

struct WordList {
    unsigned total = 0;
    std::vector<std::pair<unsigned, unsigned>> ids;   // (id, count), ascending id
};

WordList parseWordList(std::string_view v) {
    if (v.size() < 3 || (v.size() - 3) % 4 != 0) corrupt("bad word entry");
    WordList w;
    w.total = static_cast<unsigned char>(v[0]) | (static_cast<unsigned char>(v[1]) << 8) |
              (static_cast<unsigned char>(v[2]) << 16);
    for (std::size_t i = 3; i < v.size(); i += 4) w.ids.emplace_back(u16at(v, i), u16at(v, i + 2));
    return w;
}

// The word lists are changed in their stored form: a topic's words touch lists of up to 64K
// entries, and one splice costs less than parsing and formatting the whole list again.

// Puts (id, count) into a stored list at its ascending place and adds count to the total
// (capped at the u24 maximum).  False, with the list unchanged, when the id is listed already.
bool addToWordList(std::string& v, unsigned id, unsigned count) {
    if (v.size() < 3 || (v.size() - 3) % 4 != 0) corrupt("bad word entry");
    std::size_t at = v.size();
    for (std::size_t i = 3; i < v.size(); i += 4) {
        const unsigned e = u16at(v, i);
        if (e == id) return false;
        if (e > id && at == v.size()) at = i;
    }
    unsigned total = static_cast<unsigned char>(v[0]) | (static_cast<unsigned char>(v[1]) << 8) |
                     (static_cast<unsigned char>(v[2]) << 16);
    total = std::min(total + count, 0xffffffu);
    v[0] = char(total & 0xff);
    v[1] = char((total >> 8) & 0xff);
    v[2] = char((total >> 16) & 0xff);
    const char entry[4] = {char(id & 0xff), char((id >> 8) & 0xff), char(count & 0xff),
                           char((count >> 8) & 0xff)};
    v.insert(at, entry, 4);
    return true;
}

// Drops every entry of the id from a stored list; the total becomes the sum of the counts
// left (capped at the u24 maximum).  False when no entry is left.
bool removeFromWordList(std::string& v, unsigned id) {
    if (v.size() < 3 || (v.size() - 3) % 4 != 0) corrupt("bad word entry");
    std::size_t out = 3;
    unsigned long long total = 0;
    for (std::size_t i = 3; i < v.size(); i += 4) {
        if (u16at(v, i) == id) continue;
        total += u16at(v, i + 2);
        if (out != i) std::memmove(&v[out], &v[i], 4);
        out += 4;
    }
    v.resize(out);
    if (out == 3) return false;
    const unsigned t = unsigned(std::min(total, 0xffffffull));
    v[0] = char(t & 0xff);
    v[1] = char((t >> 8) & 0xff);
    v[2] = char((t >> 16) & 0xff);
    return true;
}

struct NameEntry {
    unsigned id;
    std::string description;
};

std::vector<NameEntry> parseNameList(std::string_view v) {
    std::vector<NameEntry> list;
    std::size_t i = 0;
    while (i < v.size()) {
        if (i + 2 > v.size()) corrupt("bad name entry");
        std::size_t nul = v.find('\0', i + 2);
        if (nul == std::string_view::npos) corrupt("bad name entry");
        list.push_back({u16at(v, i), std::string(v.substr(i + 2, nul - i - 2))});
        i = nul + 1;
    }
    return list;
}

std::string formatNameList(const std::vector<NameEntry>& list) {
    std::string v;
    for (const auto& e : list) {
        put16(v, e.id);
        v += e.description;
        v += '\0';
    }
    return v;
}

std::vector<std::pair<unsigned, int>> parseKindList(std::string_view v) {
    if (v.size() % 3 != 0) corrupt("bad reversed-name entry");
    std::vector<std::pair<unsigned, int>> list;
    for (std::size_t i = 0; i < v.size(); i += 3)
        list.emplace_back(u16at(v, i), static_cast<unsigned char>(v[i + 2]));
    return list;
}

std::string formatKindList(const std::vector<std::pair<unsigned, int>>& list) {
    std::string v;
    for (auto [id, kind] : list) {
        put16(v, id);
        v += char(kind);
    }
    return v;
}

std::vector<std::string> splitNuls(std::string_view v) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < v.size()) {
        std::size_t nul = v.find('\0', i);
        if (nul == std::string_view::npos) nul = v.size();
        parts.emplace_back(v.substr(i, nul - i));
        i = nul + 1;
    }
    return parts;
}

std::string reversed(std::string_view name) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (true) {
        std::size_t c = name.find(',', i);
        parts.push_back(name.substr(i, c == std::string_view::npos ? std::string_view::npos : c - i));
        if (c == std::string_view::npos) break;
        i = c + 1;
    }
    std::string out;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!out.empty() || it != parts.rbegin()) out += ',';
        out += *it;
    }
    return out;
}

// Browser path: parts separated by "/", a backslash taking the next character literally.
// Returns the end offsets of every proper prefix and the number of parts.
std::vector<std::size_t> browserPrefixes(std::string_view path, std::size_t& parts) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') {
            ++i;
            continue;
        }
        if (path[i] == '/') ends.push_back(i);
    }
    parts = ends.size() + 1;
    return ends;
}

std::string browserKey(std::size_t parts, std::string_view path) {
    if (parts > 255) hdb_raise("browser path has too many parts");
    std::string k(1, char(parts));
    k += path;
    return k;
}

// ---- records in the caller's area ----------------------------------------------------------------

constexpr std::size_t wordsFor(std::size_t bytes) {
    return (bytes + sizeof(DagWord) - 1) / sizeof(DagWord);
}

template <class T>
T* record(StorageArea* area) {
    return reinterpret_cast<T*>(dag_alloc(area, wordsFor(sizeof(T))));
}

char* text(StorageArea* area, std::string_view s) {
    auto* p = reinterpret_cast<char*>(dag_alloc(area, wordsFor(s.size() + 1)));
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\0';
    return p;
}

// Copies at most size - 1 bytes and always ends with a NUL.
char* copyOut(char* buffer, std::size_t size, std::string_view s) {
    if (!buffer || size == 0) return nullptr;
    std::size_t n = std::min(size - 1, s.size());
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return buffer;
}

// ---- journals left by a crash ------------------------------------------------------------------

std::string journalPath(const char* path) { return std::string(path) + "-journal"; }

bool lockingDisabled() { return std::getenv("DISABLELOCKING") != nullptr; }

// A change keeps its journal only while it holds the write lock, so a journal seen by a process
// that holds a lock of its own was left by a writer that died in its commit: the database is a
// mixture of old and new pages until the journal is played back.  Readers play it back too
// (with a descriptor of their own, under the write lock), so that no query ever answers from a
// half-written change.  Without locking a live writer's journal cannot be told from a dead one's,
// and only the next change plays it back.  Call without holding a lock on the file: closing the
// second descriptor drops every lock this process holds on it.
void settleJournal(const char* path) {
    if (lockingDisabled()) return;
    const std::string journal = journalPath(path);
    if (::access(journal.c_str(), F_OK) != 0) return;
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) hdb_raise("could not recover help database");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (!hdb_lock(fd, 1)) hdb_raise("could not lock help file");
    kbtree_recover_journal(fd, journal.c_str(), hdb_raise);
}

// ---- one open file ---------------------------------------------------------------------------

struct OneFile {
    int fd = -1;
    KbtHandle* handle = nullptr;
    bool locked = false;
    int version = 1;
    bool update = false;

    int readVersion() {
        std::string v;
        if (!get(handle, attributes, "version", v)) return 1;
        v = v.substr(0, v.find('\0'));
        return std::atoi(v.c_str());
    }

    void open(const char* path, bool forUpdate) {
        update = forUpdate;
        if (!forUpdate) settleJournal(path);
        for (int attempt = 0;; ++attempt) {
            fd = ::open(path, (forUpdate ? O_RDWR : O_RDONLY) | O_CLOEXEC);
            if (fd < 0) hdb_raise("could not open help database");
            if (!hdb_lock(fd, forUpdate ? 1 : 0)) hdb_raise("could not lock help file");
            locked = true;
            // A database created again while we waited for the lock is a new file: reopen.
            struct stat a, b;
            if (fstat(fd, &a) == 0 && ::stat(path, &b) == 0 &&
                (a.st_ino != b.st_ino || a.st_dev != b.st_dev) && attempt < 8) {
                release();
                continue;
            }
            break;
        }
        std::string journal = journalPath(path);
        if (forUpdate) kbtree_recover_journal(fd, journal.c_str(), hdb_raise);
        handle = kbtree_open(fd, HELP_TREE_COUNT, kCompare, hdb_raise);
        if (forUpdate) {
            kbtree_set_journal(handle, journal.c_str());
            kbtree_begin(handle);
        }
        version = readVersion();
    }

    // Commits and closes; raises on failure (the guard then releases what is left).
    void close() {
        if (handle && update) kbtree_commit(handle);
        if (handle) kbtree_close(handle);
        handle = nullptr;
        if (locked) hdb_unlock(fd);
        locked = false;
        int r = ::close(fd);
        fd = -1;
        if (r != 0) hdb_raise("could not close help database");
    }

    // Failure path: forgets the transaction, unlocks and closes without raising.
    void release() {
        if (handle) kbtree_close(handle);   // rolls back
        handle = nullptr;
        if (fd >= 0) {
            if (locked) hdb_unlock(fd);
            ::close(fd);
        }
        locked = false;
        fd = -1;
    }

    ~OneFile() { release(); }
};

void report(HdbErrorCallback error, const char* words, const char* subject, const std::string& msg) {
    std::string full = std::string("during ") + words + (subject ? subject : "") + " - " + msg;
    (error ? error : kbtree_default_error)(full.c_str());
}

// The guard of every operation.  `cleanup` runs on failure before the report.
template <class F, class R>
R guard(HdbErrorCallback error, const char* words, const char* subject, R failed, F&& f,
        const std::function<void()>& cleanup = {}) {
    std::string message;
    try {
        return f();
    } catch (const HdbFail& e) {
        message = e.message;
    } catch (const ErrorJump&) {
        message = "out of memory";
    } catch (const std::bad_alloc&) {
        message = "out of memory";
    }
    if (cleanup) cleanup();
    report(error, words, subject, message);
    return failed;
}

std::minstd_rand& idGenerator() {
    static std::minstd_rand generator(static_cast<unsigned>(getpid()));
    return generator;
}

unsigned nextIdStart() { return idGenerator()() & 0xffff; }

// Adds (id, description) to the name index entry of `key` unless the id is listed.
void addNameIndex(KbtHandle* h, std::string_view key, unsigned id, std::string_view description) {
    if (key.empty()) return;
    std::string v;
    std::vector<NameEntry> list;
    if (get(h, nameIndex, key, v)) list = parseNameList(v);
    for (const auto& e : list)
        if (e.id == id) return;
    auto at = std::find_if(list.begin(), list.end(), [&](const NameEntry& e) { return e.id > id; });
    list.insert(at, {id, std::string(description.substr(0, HDB_DESCRIPTION_INDEX_MAX))});
    put(h, nameIndex, key, formatNameList(list));
}

void removeNameIndex(KbtHandle* h, std::string_view key, unsigned id) {
    std::string v;
    if (key.empty() || !get(h, nameIndex, key, v)) return;
    auto list = parseNameList(v);
    list.erase(std::remove_if(list.begin(), list.end(), [&](const NameEntry& e) { return e.id == id; }),
               list.end());
    if (list.empty()) del(h, nameIndex, key);
    else put(h, nameIndex, key, formatNameList(list));
}

void addReversed(KbtHandle* h, std::string_view name, unsigned id, int kind) {
    if (name.find(',') == std::string_view::npos) return;
    std::string key = reversed(name), v;
    std::vector<std::pair<unsigned, int>> list;
    if (get(h, reversedNames, key, v)) list = parseKindList(v);
    for (auto& e : list)
        if (e.first == id) return;
    auto at = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first > id; });
    list.insert(at, {id, kind});
    put(h, reversedNames, key, formatKindList(list));
}

void removeReversed(KbtHandle* h, std::string_view name, unsigned id) {
    if (name.find(',') == std::string_view::npos) return;
    std::string key = reversed(name), v;
    if (!get(h, reversedNames, key, v)) return;
    auto list = parseKindList(v);
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& e) { return e.first == id; }),
               list.end());
    if (list.empty()) del(h, reversedNames, key);
    else put(h, reversedNames, key, formatKindList(list));
}

// Removes every entry that belongs to the id of the topic `name`.
void removeTopicId(KbtHandle* h, std::string_view name, unsigned id) {
    const std::string key = idKey(id);
    delIfPresent(h, topicNames, key);
    delIfPresent(h, pages, key);
    delIfPresent(h, parents, key);
    std::string v;
    if (get(h, topicWords, key, v)) {
        for (const std::string& word : splitNuls(v)) {
            std::string wv;
            if (word.empty() || !get(h, words, word, wv)) continue;
            if (!removeFromWordList(wv, id)) {
                del(h, words, word);
                continue;
            }
            put(h, words, word, wv);
        }
        del(h, topicWords, key);
    }
    removeReversed(h, name, id);
    removeNameIndex(h, name, id);
    if (get(h, topicAliases, key, v)) {
        for (const std::string& alias : splitNuls(v)) {
            removeNameIndex(h, alias, id);
            removeReversed(h, alias, id);
        }
        del(h, topicAliases, key);
    }
}

}  // namespace

void hdb_seed_ids(unsigned seed) { idGenerator().seed(seed); }

// ---- locking -------------------------------------------------------------------------------------

bool hdb_lock(int fd, int mode) {
    if (std::getenv("DISABLELOCKING")) return true;
    struct flock fl {};
    fl.l_type = mode ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    while (fcntl(fd, F_SETLKW, &fl) == -1) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool hdb_unlock(int fd) {
    if (std::getenv("DISABLELOCKING")) return true;
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &fl) != -1;
}

// ---- single-file operations ------------------------------------------------------------------------

int hdb_create(const char* path, int replaceable, const char* copyright, HdbErrorCallback error) {
    std::string tmp;
    int tfd = -1;
    OneFile old;
    auto cleanup = [&] {
        if (tfd >= 0) ::close(tfd);
        if (!tmp.empty()) ::unlink(tmp.c_str());
        old.release();
    };
    return guard(error, "create ", path, 0, [&] {
        // Build the new database beside the old one and rename it over, so that a failure
        // leaves the old file as it was and a finished create is always a fresh, short file.
        std::string p = path;
        tmp = p + ".XXXXXX";
        tfd = mkstemp(tmp.data());
        if (tfd < 0) {
            tmp.clear();
            hdb_raise("could not open file");
        }
        mode_t mask = umask(0);
        umask(mask);
        fchmod(tfd, 0666 & ~mask);
        KbtHandle* h = kbtree_create(tfd, HELP_TREE_COUNT, kCompare, hdb_raise);
        struct Closer {
            KbtHandle* h;
            ~Closer() { kbtree_close(h); }
        } closer{h};
        kbtree_begin(h);
        // Attribute values are stored with their closing NUL, as readers expect.
        static constexpr char kVersion[] = "2";
        static constexpr char kEmpty[] = "";
        put(h, attributes, "version", std::string_view(kVersion, sizeof kVersion));
        if (!replaceable) put(h, attributes, "noreplace", std::string_view(kEmpty, sizeof kEmpty));
        if (copyright) put(h, attributes, "copyright", std::string_view(copyright, std::strlen(copyright) + 1));
        kbtree_commit(h);
        if (fsync(tfd) != 0) hdb_raise("write failed");
        // Hold the old file's write lock while it is replaced.  A journal the old file still
        // has is played back (or removed when there is no old file) before the rename: left
        // behind, the next open would play it back over the new database.
        int ofd = ::open(path, O_RDWR | O_CLOEXEC);
        if (ofd >= 0) {
            old.fd = ofd;
            if (!hdb_lock(ofd, 1)) hdb_raise("could not lock help file");
            old.locked = true;
            kbtree_recover_journal(ofd, journalPath(path).c_str(), hdb_raise);
        } else {
            ::unlink(journalPath(path).c_str());
        }
        if (::rename(tmp.c_str(), path) != 0) hdb_raise("could not open file");
        tmp.clear();
        old.release();
        int r = ::close(tfd);
        tfd = -1;
        if (r != 0) hdb_raise("could not close help database");
        return 1;
    }, cleanup);
}

namespace {

// The pending part of a batch: every word list change of the batch's topics, merged into the
// words tree once at the end, and the ids in use, so that a new id costs no lookups.
struct PendingWords {
    // Looked up by string_view: a page's words are found without making a string of each.
    struct ViewHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // A word's pending entries, each id << 16 | count, in the order the topics came; an id
    // occurs once.  The last id sits in the map's node, so that a word met again in the same
    // topic is passed over without reaching the entries (a cache miss per word otherwise).
    struct IdList {
        std::uint16_t lastId = 0;   // 0: none yet (ids start at 1)
        std::vector<std::uint32_t> entries;
    };
    std::unordered_map<std::string, IdList, ViewHash, std::equal_to<>> lists;
    std::vector<bool> usedIds;   // 65,536 flags: the id has a page
    std::vector<bool> batchIds;  // the id's words are pending
};

// Merges the pending word lists into the words tree (each list read and written once) and
// clears them.  Words are put in ascending order, so consecutive puts touch neighbouring leaves.
void flushWords(KbtHandle* h, PendingWords& pending) {
    using Item = std::pair<const std::string, PendingWords::IdList>;
    std::vector<Item*> order;
    order.reserve(pending.lists.size());
    for (auto& item : pending.lists) order.push_back(&item);
    std::sort(order.begin(), order.end(), [](const Item* a, const Item* b) { return a->first < b->first; });
    std::string v;
    for (Item* item : order) {
        const std::string& word = item->first;
        std::vector<std::uint32_t>& list = item->second.entries;
        std::sort(list.begin(), list.end());
        auto idAt = [&](std::size_t b) { return unsigned(list[b] >> 16); };
        auto countAt = [&](std::size_t b) { return unsigned(list[b] & 0xffff); };
        WordList stored;
        if (get(h, words, word, v)) stored = parseWordList(v);
        unsigned long long total = stored.total;
        std::string merged(3, '\0');
        merged.reserve(3 + 4 * (stored.ids.size() + list.size()));
        auto entry = [&](unsigned id, unsigned count) {
            put16(merged, id);
            put16(merged, count);
        };
        std::size_t a = 0, b = 0;
        while (a < stored.ids.size() || b < list.size()) {
            if (b == list.size() || (a < stored.ids.size() && stored.ids[a].first < idAt(b))) {
                entry(stored.ids[a].first, stored.ids[a].second);
                ++a;
            } else if (a < stored.ids.size() && stored.ids[a].first == idAt(b)) {
                // Listed already: the stored entry stays, as a single insert keeps it.
                entry(stored.ids[a].first, stored.ids[a].second);
                ++a;
                ++b;
            } else {
                entry(idAt(b), countAt(b));
                total += countAt(b);
                ++b;
            }
        }
        const unsigned t = unsigned(std::min(total, 0xffffffull));
        merged[0] = char(t & 0xff);
        merged[1] = char((t >> 8) & 0xff);
        merged[2] = char((t >> 16) & 0xff);
        put(h, words, word, merged);
    }
    pending.lists.clear();
    std::fill(pending.batchIds.begin(), pending.batchIds.end(), false);
}

// The flags of the ids that have a page, from one walk of the pages tree.
std::vector<bool> usedIds(KbtHandle* h) {
    std::vector<bool> used(0x10000, false);
    walkFrom(h, pages, {}, [&](std::string_view key, std::string_view) {
        if (key.size() >= 2) used[u16at(key, 0)] = true;
        else if (key.size() == 1) used[static_cast<unsigned char>(key[0])] = true;
        return true;
    });
    return used;
}

// Adds one topic to the open change of `f`.  With `pending` (a batch), the topic's word list
// entries wait there and ids are taken from its flags; otherwise they are written at once.
void insertTopic(OneFile& f, const char* name, std::size_t pageLength, const char* page,
                 const char* parent, const HdbAlias* aliases, const HWord* wordList,
                 const char* description, int active, PendingWords* pending) {
    if (!name || !*name) hdb_raise("empty topic name");
    KbtHandle* h = f.handle;
    if (f.version != 2) hdb_raise("incorrect .hdb file version - cannot update old versions");
    if (kbtree_flags(h) & KBT_FLAG_READONLY) hdb_raise("attempt to insert into read only help file");
    const bool replaceable = !has(h, attributes, "noreplace");
    const std::string_view topic(name);
    std::string v;
    bool existed = get(h, topicIds, topic, v);
    unsigned oldId = 0;
    if (existed) {
        oldId = parseTopicId(v, f.version).id;
        if (!replaceable) hdb_raise("cannot update topic in production help file");
        // The replaced topic's word entries must be in the tree for removeTopicId to find.
        if (pending && pending->batchIds[oldId]) flushWords(h, *pending);
    }
    // A new id: probe upwards from a random start for one without a page.
    const unsigned start = nextIdStart();
    unsigned id = 0;
    for (unsigned i = 1; i < 0x10000; ++i) {
        unsigned candidate = (start + i) & 0xffff;
        if (candidate == 0) candidate = 1;
        if (pending ? !pending->usedIds[candidate] : !has(h, pages, idKey(candidate))) {
            id = candidate;
            break;
        }
    }
    if (id == 0) hdb_raise("help database full");
    const std::string key = idKey(id);

    put(h, pages, key, std::string_view(page ? page : "", page ? pageLength : 0));
    if (pending) pending->usedIds[id] = true;
    std::string nameValue(topic.substr(0, 1023));
    nameValue += '\0';
    std::string desc = description ? description : "";
    if (!desc.empty() && desc.size() + std::strlen(name) + 2 < 1024) nameValue += desc;
    nameValue += '\0';
    put(h, topicNames, key, nameValue);
    if (parent) put(h, parents, key, std::string_view(parent, std::strlen(parent) + 1));

    std::string wordsValue;
    for (const HWord* w = wordList; w; w = w->next) {
        if (!w->word || !*w->word) continue;
        const std::string_view word(w->word);
        const unsigned count = unsigned(std::clamp(w->count, 0, 0xffff));
        wordsValue += word;
        wordsValue += '\0';
        if (pending) {
            // A word listed twice in one topic keeps its first count, as addToWordList does.
            auto found = pending->lists.find(word);
            if (found == pending->lists.end())
                found = pending->lists.emplace(std::string(word), PendingWords::IdList()).first;
            PendingWords::IdList& list = found->second;
            if (list.lastId != id) {
                list.lastId = std::uint16_t(id);
                list.entries.push_back(std::uint32_t(id) << 16 | count);
            }
            pending->batchIds[id] = true;
            continue;
        }
        if (!get(h, words, word, v)) v.assign(3, '\0');
        if (addToWordList(v, id, count)) put(h, words, word, v);
    }

    addNameIndex(h, topic, id, desc);
    std::string aliasValue;
    for (const HdbAlias* a = aliases; a; a = a->next) {
        if (!a->text || !*a->text) continue;
        addNameIndex(h, a->text, id, desc);
        aliasValue += a->text;
        aliasValue += '\0';
    }
    addReversed(h, topic, id, 1);
    for (const HdbAlias* a = aliases; a; a = a->next)
        if (a->text && *a->text) addReversed(h, a->text, id, a->kind);

    if (replaceable) {
        if (!wordsValue.empty()) put(h, topicWords, key, wordsValue);
        if (!aliasValue.empty()) put(h, topicAliases, key, aliasValue);
    }
    std::string idValue;
    put16(idValue, id);
    put16(idValue, active ? 1 : 0);
    put(h, topicIds, topic, idValue);
    if (existed) {
        removeTopicId(h, topic, oldId);
        if (pending) pending->usedIds[oldId] = false;
    }
}

}  // namespace

int hdb_insert_topic(const char* path, const char* name, std::size_t pageLength, const char* page,
                     const char* parent, const HdbAlias* aliases, const HWord* wordList,
                     const char* description, int active, HdbErrorCallback error) {
    OneFile f;
    return guard(error, "insert of ", name, 0, [&] {
        if (!name || !*name) hdb_raise("empty topic name");
        f.open(path, true);
        insertTopic(f, name, pageLength, page, parent, aliases, wordList, description, active, nullptr);
        f.close();
        return 1;
    });
}

// ---- batches -------------------------------------------------------------------------------------

struct HdbBatch {
    OneFile file;
    PendingWords pending;
    HdbErrorCallback error = nullptr;
    std::string path;
    bool failed = false;   // a failed insert abandoned the batch
};

HdbBatch* hdb_batch_begin(const char* path, HdbErrorCallback error) {
    auto batch = std::make_unique<HdbBatch>();
    batch->error = error;
    batch->path = path ? path : "";
    HdbBatch* b = batch.get();
    return guard(error, "insert into ", path, static_cast<HdbBatch*>(nullptr), [&]() -> HdbBatch* {
        b->file.open(b->path.c_str(), true);
        if (b->file.version != 2) hdb_raise("incorrect .hdb file version - cannot update old versions");
        if (kbtree_flags(b->file.handle) & KBT_FLAG_READONLY)
            hdb_raise("attempt to insert into read only help file");
        b->pending.usedIds = usedIds(b->file.handle);
        b->pending.batchIds.assign(0x10000, false);
        return batch.release();
    });
}

int hdb_batch_insert(HdbBatch* batch, const char* name, std::size_t pageLength, const char* page,
                     const char* parent, const HdbAlias* aliases, const HWord* wordList,
                     const char* description, int active) {
    if (!batch) return 0;
    return guard(batch->error, "insert of ", name, 0, [&] {
        if (batch->failed) hdb_raise("batch abandoned after an earlier failure");
        try {
            insertTopic(batch->file, name, pageLength, page, parent, aliases, wordList, description,
                        active, &batch->pending);
        } catch (...) {
            // The change is half made: drop all of it, so the file stays as before the batch.
            batch->failed = true;
            batch->file.release();
            throw;
        }
        return 1;
    });
}

int hdb_batch_end(HdbBatch* batch, int commit) {
    if (!batch) return 0;
    std::unique_ptr<HdbBatch> owner(batch);
    if (!commit || batch->failed) return 0;   // the destructor rolls back and unlocks
    return guard(batch->error, "insert into ", batch->path.c_str(), 0, [&] {
        flushWords(batch->file.handle, batch->pending);
        batch->file.close();
        return 1;
    });
}

int hdb_delete_topic(const char* path, const char* name, HdbErrorCallback error) {
    OneFile f;
    return guard(error, "delete of ", name, 0, [&] {
        f.open(path, true);
        KbtHandle* h = f.handle;
        if (f.version != 2) hdb_raise("incorrect .hdb file version");
        if (kbtree_flags(h) & KBT_FLAG_READONLY) hdb_raise("cannot delete from read only help file");
        if (has(h, attributes, "noreplace")) hdb_raise("cannot delete from production help file");
        std::string v;
        const std::string_view topic(name ? name : "");
        if (topic.empty() || !get(h, topicIds, topic, v)) hdb_raise("topic not found");
        unsigned id = parseTopicId(v, f.version).id;
        removeTopicId(h, topic, id);
        del(h, topicIds, topic);
        f.close();
        return 1;
    });
}

int addtobrowser(const char* path, const char* browserPath, const char* topic,
                 const char* description, HdbErrorCallback error) {
    OneFile f;
    return guard(error, "addtobrowser of ", browserPath, 0, [&] {
        f.open(path, true);
        KbtHandle* h = f.handle;
        if (f.version != 2) hdb_raise("incorrect .hdb file version");
        if (kbtree_flags(h) & KBT_FLAG_READONLY) hdb_raise("attempt to insert into read only help file");
        std::string bpath = std::string(browserPath ? browserPath : "").substr(0, 1022);
        std::size_t parts = 0;
        const auto ends = browserPrefixes(bpath, parts);
        const std::string whole = browserKey(parts, bpath);
        std::string v, old;
        const bool present = get(h, browserEntries, whole, old);
        if (present && topic && old.size() >= 4 && old[0] == 0 && u16at(old, 1) > 0)
            hdb_raise("browser entry prefix contains a help topic");
        // Adding a path that is already stored replaces it: the prefixes keep their counts.
        if (!present) {
            for (std::size_t k = 0; k < ends.size(); ++k) {
                const std::string key = browserKey(k + 1, std::string_view(bpath).substr(0, ends[k]));
                if (get(h, browserEntries, key, v)) {
                    if (v.empty() || v[0] == 1) hdb_raise("browser entry prefix contains a help topic");
                    if (v.size() < 4) corrupt("bad browser entry");
                    unsigned count = std::min(u16at(v, 1) + 1, 0xffffu);
                    v[1] = char(count & 0xff);
                    v[2] = char(count >> 8);
                    put(h, browserEntries, key, v);
                } else {
                    put(h, browserEntries, key, std::string("\0\1\0\0", 4));
                }
            }
        }
        if (present && !old.empty() && old[0] == 1) {
            // The path named another topic: drop that topic's location if it points here.
            std::string oldTopic = old.substr(1, old.find('\0', 1) - 1), loc;
            if (get(h, browserLocations, oldTopic, loc) && loc == bpath)
                del(h, browserLocations, oldTopic);
        }
        if (present) del(h, browserEntries, whole);
        std::string value;
        if (topic) {
            std::string t = std::string(topic).substr(0, 1021);
            value = '\1' + t + '\0';
            std::string d = description ? description : "";
            if (value.size() + d.size() + 1 > 1023) d.resize(1023 - value.size() - 1);
            value += d;
            value += '\0';
            put(h, browserEntries, whole, value);
            put(h, browserLocations, t, bpath);
        } else {
            put(h, browserEntries, whole, std::string("\0\0\0\0", 4));
        }
        f.close();
        return 1;
    });
}

int hdb_delete_from_browser(const char* path, const char* browserPath, HdbErrorCallback error) {
    OneFile f;
    return guard(error, "deletefrombrowser of ", browserPath, 0, [&] {
        f.open(path, true);
        KbtHandle* h = f.handle;
        if (f.version != 2) hdb_raise("incorrect .hdb file version");
        if (kbtree_flags(h) & KBT_FLAG_READONLY) hdb_raise("cannot delete from read only help file");
        std::string bpath = std::string(browserPath ? browserPath : "").substr(0, 1022);
        std::size_t parts = 0;
        const auto ends = browserPrefixes(bpath, parts);
        std::string v;
        for (std::size_t k = 0; k < ends.size(); ++k) {
            const std::string key = browserKey(k + 1, std::string_view(bpath).substr(0, ends[k]));
            if (!get(h, browserEntries, key, v)) continue;
            if (v.empty() || v[0] == 1) hdb_raise("browser entry prefix contains a help topic");
            if (v.size() < 4) corrupt("bad browser entry");
            unsigned count = u16at(v, 1);
            if (count <= 1) {
                del(h, browserEntries, key);
            } else {
                --count;
                v[1] = char(count & 0xff);
                v[2] = char(count >> 8);
                put(h, browserEntries, key, v);
            }
        }
        const std::string whole = browserKey(parts, bpath);
        if (!get(h, browserEntries, whole, v)) hdb_raise("not found");
        if (!v.empty() && v[0] == 1) {
            std::size_t nul = v.find('\0', 1);
            std::string t = v.substr(1, nul == std::string::npos ? std::string::npos : nul - 1);
            delIfPresent(h, browserLocations, t);
        }
        del(h, browserEntries, whole);
        f.close();
        return 1;
    });
}

char* hdb_get_attributes(const char* path, const char* name, char* buffer, std::size_t size,
                         HdbErrorCallback error) {
    OneFile f;
    return guard(error, "getting attributes of ", path, static_cast<char*>(nullptr), [&]() -> char* {
        f.open(path, false);
        char* result = nullptr;
        if (name && std::strcmp(name, "readonly") == 0) {
            if (kbtree_flags(f.handle) & KBT_FLAG_READONLY) result = copyOut(buffer, size, "");
        } else {
            std::string v;
            if (name && *name && get(f.handle, attributes, name, v))
                result = copyOut(buffer, size, std::string_view(v).substr(0, v.find('\0')));
        }
        f.close();
        return result;
    });
}

// ---- the set ---------------------------------------------------------------------------------------

struct HelpFileSet {
    StorageArea* area = nullptr;   // "Kelvo-help"
    HdbErrorCallback error = nullptr;
    struct File {
        KbtHandle* handle;
        int fd;
        int version;
        std::string path;
    };
    std::vector<File> files;

    void unlockAll() {
        for (auto& f : files) {
            kbtree_hold_pages(f.handle, 0);
            hdb_unlock(f.fd);
        }
    }

    // The query bracket: read locks and fresh headers on entry, unlocks on every exit.
    template <class R, class F>
    R query(const char* words, const char* subject, R failed, F&& f) {
        struct Unlock {
            HelpFileSet* set;
            ~Unlock() { set->unlockAll(); }
        };
        return guard(error, words, subject, failed, [&]() -> R {
            Unlock unlock{this};
            for (auto& file : files) {
                if (!hdb_lock(file.fd, 0)) hdb_raise("could not lock help file");
                if (!lockingDisabled() && ::access(journalPath(file.path.c_str()).c_str(), F_OK) == 0) {
                    // A writer died in its commit since the set was opened.
                    hdb_unlock(file.fd);
                    settleJournal(file.path.c_str());
                    if (!hdb_lock(file.fd, 0)) hdb_raise("could not lock help file");
                }
                // Fresh header fields; the read lock keeps writers out until unlockAll, so the
                // pages one lookup reads serve the next.
                kbtree_hold_pages(file.handle, 1);
            }
            return f();
        });
    }
};

HelpFileSet* hdb_open_all(const char* const* paths, HdbErrorCallback error) {
    auto* set = new HelpFileSet;
    set->error = error;
    auto cleanup = [&] {
        for (auto& f : set->files) {
            kbtree_close(f.handle);
            ::close(f.fd);
        }
        if (set->area) storage_delete(set->area);
        delete set;
    };
    return guard(error, "help initialization", "", static_cast<HelpFileSet*>(nullptr),
                 [&]() -> HelpFileSet* {
        set->area = storage_new(0, "Kelvo-help");
        for (const char* const* p = paths; p && *p; ++p) {
            // A file whose crash journal cannot be played back is passed over like one that
            // cannot be opened: its pages may be a mixture of two changes.
            try {
                settleJournal(*p);
            } catch (const HdbFail&) {
                continue;
            }
            int fd = ::open(*p, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            KbtHandle* h = nullptr;
            try {
                h = kbtree_open(fd, HELP_TREE_COUNT, kCompare, hdb_raise);
            } catch (...) {
                ::close(fd);
                throw;
            }
            set->files.push_back({h, fd, 1, *p});
            auto& file = set->files.back();
            OneFile probe;   // reads the version with the file's own handle
            probe.handle = h;
            const bool readOnly = kbtree_flags(h) & KBT_FLAG_READONLY;
            if (!readOnly && !hdb_lock(fd, 0)) {
                probe.handle = nullptr;
                hdb_raise("could not lock help file");
            }
            try {
                file.version = probe.readVersion();
            } catch (...) {
                probe.handle = nullptr;
                if (!readOnly) hdb_unlock(fd);
                throw;
            }
            probe.handle = nullptr;
            if (!readOnly) hdb_unlock(fd);
        }
        if (set->files.empty()) hdb_raise("could not open any help files");
        return set;
    }, cleanup);
}

int hdb_close_all(HelpFileSet* set) {
    if (!set) return 0;
    HdbErrorCallback error = set->error;
    bool failed = false;
    for (auto& f : set->files) {
        kbtree_close(f.handle);
        if (::close(f.fd) != 0) failed = true;
    }
    storage_delete(set->area);
    delete set;
    if (failed) report(error, "help shutdown", "", "close failed");
    return failed ? 0 : 1;
}

int hdb_set_file_count(const HelpFileSet* set) { return set ? int(set->files.size()) : 0; }

char* hdb_get_copyright(HelpFileSet* set, const char* topic, char* buffer, std::size_t size) {
    return set->query("get copyright for ", topic, static_cast<char*>(nullptr), [&]() -> char* {
        std::string v;
        for (auto& f : set->files) {
            if (!has(f.handle, topicIds, topic ? topic : "")) continue;
            if (!get(f.handle, attributes, "copyright", v)) return nullptr;
            return copyOut(buffer, size, std::string_view(v).substr(0, v.find('\0')));
        }
        return nullptr;
    });
}

namespace {

HdbTopicResult* topicResult(StorageArea* area, int score, std::string_view name,
                            std::string_view description) {
    auto* r = record<HdbTopicResult>(area);
    r->score = score;
    r->next = nullptr;
    r->name = text(area, name);
    r->description = text(area, description);
    return r;
}

bool nameOf(KbtHandle* h, unsigned id, std::string& name, std::string& description) {
    std::string v;
    if (!get(h, topicNames, idKey(id), v)) return false;
    parseTopicName(v, name, description);
    return true;
}

HdbTopicResult* searchOnce(HelpFileSet* set, StorageArea* area, const std::string& name) {
    std::string v, n, d;
    if (!name.empty()) {
        for (auto& f : set->files) {
            if (!get(f.handle, topicIds, name, v)) continue;
            unsigned id = parseTopicId(v, f.version).id;
            if (!nameOf(f.handle, id, n, d)) d.clear();
            return topicResult(area, 0, name, d);
        }
        for (auto& f : set->files) {
            if (!get(f.handle, nameIndex, name, v)) continue;
            auto list = parseNameList(v);
            if (list.empty() || !nameOf(f.handle, list[0].id, n, d)) continue;
            return topicResult(area, 0, n, d);
        }
    }
    // Part search: every topic or alias whose last comma-separated parts are the name.
    const std::string key = reversed(name) + ",";
    HdbTopicResult* head = nullptr;
    HdbTopicResult** tail = &head;
    for (auto& f : set->files) {
        std::vector<std::vector<std::pair<unsigned, int>>> lists;
        walkFrom(f.handle, reversedNames, key, [&](std::string_view k, std::string_view val) {
            if (k.substr(0, key.size()) != key) return false;
            lists.push_back(parseKindList(val));
            return true;
        });
        for (auto it = lists.rbegin(); it != lists.rend(); ++it) {
            for (auto [id, kind] : *it) {
                if (!nameOf(f.handle, id, n, d)) continue;
                bool seen = false;
                for (HdbTopicResult* r = head; r && !seen; r = r->next) seen = n == r->name;
                if (seen) continue;
                *tail = topicResult(area, kind, n, d);
                tail = &(*tail)->next;
            }
        }
    }
    return head;
}

}  // namespace

HdbTopicResult* hdb_search_topic(HelpFileSet* set, StorageArea* area, const char* name) {
    return set->query("search for help on ", name, static_cast<HdbTopicResult*>(nullptr),
                      [&]() -> HdbTopicResult* {
        std::string n = name ? name : "";
        HdbTopicResult* r = searchOnce(set, area, n);
        if (!r && n.size() > 3 && n.size() < 1024 && n.back() == 's' && n[n.size() - 2] != 's')
            r = searchOnce(set, area, n.substr(0, n.size() - 1));
        return r;
    });
}

int hdb_load_page(HelpFileSet* set, const char* name, HdbPageVisitor visitor, void* user) {
    std::string page;
    int active = 0;
    const std::string topic = name ? name : "";
    int found = set->query("load help on ", name, 0, [&]() -> int {
        std::string v;
        for (auto& f : set->files) {
            if (!get(f.handle, topicIds, topic, v)) continue;
            TopicId t = parseTopicId(v, f.version);
            active = t.active;
            return get(f.handle, pages, idKey(t.id), page) ? 1 : 0;
        }
        return 0;
    });
    // The files are unlocked before the visitor sees the page.
    if (found && visitor) visitor(user, topic.size() + 1, topic.c_str(), page.size(), page.data(), active);
    return found;
}

HdbTopicResult* hdb_word_search(HelpFileSet* set, StorageArea* area, HWord* wordList) {
    return set->query("word search", "", static_cast<HdbTopicResult*>(nullptr),
                      [&]() -> HdbTopicResult* {
        long long queryWords = 0;
        for (HWord* w = wordList; w; w = w->next) {
            w->count = 0;
            ++queryWords;
        }
        // A topic found in several files keeps its best score; topics are listed newest first
        // (files in order, ids ascending within a file), then stably by score.
        struct Found {
            std::string name, description;
            long long score;
        };
        std::vector<Found> found;
        std::unordered_map<std::string, std::size_t> byName;   // "topic hash": name -> found
        std::string v, n, d;
        std::vector<std::pair<unsigned, long long>> hits;
        for (auto& f : set->files) {
            hits.clear();
            for (HWord* w = wordList; w; w = w->next) {
                if (!w->word || !*w->word || !get(f.handle, words, w->word, v)) continue;
                WordList list = parseWordList(v);
                w->count = int(list.total);
                for (auto [id, c] : list.ids) {
                    // A total of 0 cannot come from a sound file; it adds nothing but the hit.
                    long long part = list.total ? (long long)c * 1000 / list.total : 0;
                    hits.emplace_back(id, part + 1000);
                }
            }
            // "id hash": the scores of each id summed, ids ascending.
            std::stable_sort(hits.begin(), hits.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (std::size_t i = 0; i < hits.size();) {
                const unsigned id = hits[i].first;
                long long score = 0;
                for (; i < hits.size() && hits[i].first == id; ++i) score += hits[i].second;
                if (!nameOf(f.handle, id, n, d)) continue;
                auto [it, fresh] = byName.try_emplace(n, found.size());
                if (fresh) found.push_back({n, d, score});
                else found[it->second].score = std::max(found[it->second].score, score);
            }
        }
        std::vector<std::pair<std::string, long long>> results;
        std::vector<std::string> descriptions;
        std::vector<std::size_t> rank(found.size());
        for (std::size_t i = 0; i < rank.size(); ++i) rank[i] = rank.size() - 1 - i;
        std::stable_sort(rank.begin(), rank.end(),
                         [&](std::size_t a, std::size_t b) { return found[a].score > found[b].score; });
        results.reserve(rank.size());
        descriptions.reserve(rank.size());
        for (std::size_t i : rank) {
            results.emplace_back(std::move(found[i].name), found[i].score);
            descriptions.push_back(std::move(found[i].description));
        }
        const long long q = queryWords * 1000;
        long long divisor;
        if (q <= 1000) {
            divisor = 0;
            for (auto& r : results) {
                r.second -= 1000;
                divisor += r.second;
            }
        } else {
            divisor = std::max(q, results.empty() ? 0 : results.front().second);
        }
        HdbTopicResult* head = nullptr;
        HdbTopicResult** tail = &head;
        for (std::size_t i = 0; i < results.size(); ++i) {
            const auto& [name, score] = results[i];
            int scaled = divisor > 0 ? int(score * 100 / divisor) : 0;
            *tail = topicResult(area, scaled, name, descriptions[i]);
            tail = &(*tail)->next;
        }
        return head;
    });
}

namespace {

char* neighbour(HelpFileSet* set, StorageArea* area, const char* name, bool next) {
    const std::string topic = name ? name : "";
    return set->query(next ? "locate next topic of " : "locate previous topic of ", name,
                      static_cast<char*>(nullptr), [&]() -> char* {
        bool found = false;
        std::string bestName;
        for (auto& f : set->files) {
            std::string candidate;
            bool have = false;
            WalkFn fn = [&](std::string_view k, std::string_view) {
                if (k == topic) return true;
                candidate = std::string(k);
                have = true;
                return false;
            };
            if (next) {
                walkFrom(f.handle, topicIds, topic, fn);
            } else if (!topic.empty()) {
                walkBack(f.handle, topicIds, topic, fn);
            }
            if (!have) continue;
            if (!found || (next ? std::strcmp(candidate.c_str(), bestName.c_str()) < 0
                                : std::strcmp(candidate.c_str(), bestName.c_str()) > 0)) {
                bestName = candidate;
                found = true;
            }
        }
        return found ? text(area, bestName) : nullptr;
    });
}

}  // namespace

char* hdb_next_topic(HelpFileSet* set, StorageArea* area, const char* name) {
    return neighbour(set, area, name, true);
}

char* hdb_previous_topic(HelpFileSet* set, StorageArea* area, const char* name) {
    return neighbour(set, area, name, false);
}

char* hdb_parent_topic(HelpFileSet* set, StorageArea* area, const char* name) {
    const std::string topic = name ? name : "";
    return set->query("locate parent topic of ", name, static_cast<char*>(nullptr), [&]() -> char* {
        std::string v, parent;
        for (auto& f : set->files) {
            if (topic.empty() || !get(f.handle, topicIds, topic, v)) continue;
            unsigned id = parseTopicId(v, f.version).id;
            if (get(f.handle, parents, idKey(id), parent))
                return text(area, std::string_view(parent).substr(0, parent.find('\0')));
            break;
        }
        std::size_t comma = topic.rfind(',');
        return text(area, comma == std::string::npos ? std::string_view("index")
                                                     : std::string_view(topic).substr(0, comma));
    });
}

HdbTopicEntry* hdb_browse_prefix(HelpFileSet* set, StorageArea* area, const char* start, int mode,
                                 int maxCount) {
    const std::string from = start ? start : "";
    return set->query("browsing on ", from.c_str(), static_cast<HdbTopicEntry*>(nullptr),
                      [&]() -> HdbTopicEntry* {
        const bool backwards = mode & HDB_BROWSE_BACKWARDS;
        const bool prefix = mode & HDB_BROWSE_PREFIX;
        if (maxCount <= 0) return nullptr;
        std::map<std::string, std::string> merged;   // name -> description, in name order
        for (auto& f : set->files) {
            int taken = 0;
            WalkFn fn = [&](std::string_view k, std::string_view v) {
                if (prefix && k.substr(0, from.size()) != from) return !(!backwards && k > from);
                auto list = parseNameList(v);
                std::string d = list.size() > 1 ? "Multiple matches"
                                                : list.empty() ? "" : list[0].description;
                merged.emplace(std::string(k), d);
                return ++taken < maxCount;
            };
            if (backwards) {
                std::string key = from.empty() ? std::string(kbtree_max_key(f.handle), '\xff') : from;
                walkBack(f.handle, nameIndex, key, fn);
            } else {
                walkFrom(f.handle, nameIndex, from, fn);
            }
        }
        // strcmp order of the merged names, descending when walking backwards.
        std::vector<std::pair<std::string, std::string>> all(merged.begin(), merged.end());
        std::sort(all.begin(), all.end(), [&](const auto& a, const auto& b) {
            int c = std::strcmp(a.first.c_str(), b.first.c_str());
            return backwards ? c > 0 : c < 0;
        });
        HdbTopicEntry* head = nullptr;
        HdbTopicEntry** tail = &head;
        int count = 0;
        std::string last;
        for (auto& [name, d] : all) {
            if (count >= maxCount) break;
            if (count > 0 && std::strcmp(name.c_str(), last.c_str()) == 0) continue;
            auto* e = record<HdbTopicEntry>(area);
            e->next = nullptr;
            e->name = text(area, name);
            e->description = text(area, d);
            *tail = e;
            tail = &e->next;
            last = name;
            ++count;
        }
        return head;
    });
}

HdbBrowserEntry* hdb_list_browser(HelpFileSet* set, StorageArea* area, const char* prefixPath) {
    const std::string path = prefixPath ? prefixPath : "";
    return set->query("browser - prefix = ", path.c_str(), static_cast<HdbBrowserEntry*>(nullptr),
                      [&]() -> HdbBrowserEntry* {
        std::string key;
        if (path.empty()) {
            key = std::string(1, '\1');
        } else {
            // A final "/" closes the path; it does not start another part.
            std::string_view body(path);
            std::size_t slashes = 0;
            std::size_t parts = 0;
            browserPrefixes(body, parts);
            for (std::size_t i = 0; i < body.size(); ++i) {
                if (body[i] == '\\') ++i;
                else if (body[i] == '/' && i + 1 == body.size()) slashes = 1;
            }
            key = browserKey(parts - slashes + 1, path);
            if (!slashes) key += '/';
        }
        struct Item {
            int kind;
            std::string topic, description;
        };
        std::map<std::string, Item> merged;
        for (auto& f : set->files) {
            if (f.version < 2) continue;
            walkFrom(f.handle, browserEntries, key, [&](std::string_view k, std::string_view v) {
                if (k.substr(0, key.size()) != key) return false;
                std::string part(k.substr(key.size()));
                if (merged.count(part)) return true;
                Item item{HDB_BROWSER_INNER, "", ""};
                if (!v.empty() && v[0] == 1) {
                    item.kind = HDB_BROWSER_TOPIC;
                    auto fields = splitNuls(v.substr(1));
                    if (!fields.empty()) item.topic = fields[0];
                    if (fields.size() > 1) item.description = fields[1];
                }
                merged.emplace(std::move(part), std::move(item));
                return true;
            });
        }
        std::vector<std::string> names;
        for (auto& m : merged) names.push_back(m.first);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return std::strcmp(a.c_str(), b.c_str()) < 0;
        });
        HdbBrowserEntry* head = nullptr;
        HdbBrowserEntry** tail = &head;
        for (const auto& n : names) {
            const Item& item = merged[n];
            auto* e = record<HdbBrowserEntry>(area);
            e->kind = item.kind;
            e->next = nullptr;
            e->topic = item.kind == HDB_BROWSER_TOPIC ? text(area, item.topic) : nullptr;
            e->description = text(area, item.description);
            e->part = text(area, n);
            *tail = e;
            tail = &e->next;
        }
        return head;
    });
}

char* hdb_browser_location(HelpFileSet* set, const char* topic, char* buffer, std::size_t size) {
    if (size <= 1 || !buffer) return nullptr;
    return set->query("browserlocation - topic = ", topic, static_cast<char*>(nullptr), [&]() -> char* {
        std::string v;
        for (auto& f : set->files) {
            if (f.version < 2 || !topic || !*topic) continue;
            if (get(f.handle, browserLocations, topic, v)) return copyOut(buffer, size, v);
        }
        return nullptr;
    });
}

// ---- helpers ---------------------------------------------------------------------------------------

void hdb_normalise_topic(char* name) {
    if (!name) return;
    std::string out;
    bool inRun = false;
    for (const char* p = name; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (std::isspace(c)) continue;
        if (c == ',' || c == '[' || c == ']' || c == '/') {
            inRun = true;
            continue;
        }
        if (inRun) out += ',';
        inRun = false;
        out += char(c);
    }
    std::strcpy(name, out.c_str());   // never longer than the input
}

void hdb_reverse_name(const char* name, char* out, std::size_t size) {
    copyOut(out, size, reversed(name ? name : ""));
}

char* wrap_text_as_worksheet(const char* const* lines, std::size_t count) {
    std::string page;
    if (count > 0 && lines[0] && std::strncmp(lines[0], "{VERSION", 8) == 0) {
        for (std::size_t i = 0; i < count; ++i) {
            page += lines[i] ? lines[i] : "";
            page += '\n';
        }
    } else {
        long total = 0;
        for (std::size_t i = 0; i < count; ++i) total += long(std::strlen(lines[i] ? lines[i] : ""));
        char head[160];
        std::snprintf(head, sizeof head,
                      "{VERSION 2 2 \"User Help Text\" \"2.2\"}\n{USTYLETAB }\n{SECT 0 {PARA 0 \"> \" "
                      "0 \"\" {TEXT -1 %ld\n\"",
                      total);
        page = head;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) page += "\\n\n";
            for (const char* p = lines[i] ? lines[i] : ""; *p; ++p) {
                if (*p == '\n' || *p == '"' || *p == '{' || *p == '}') page += '\\';
                page += *p;
            }
        }
        page += "\"}}}";
    }
    char* result = new (std::nothrow) char[page.size() + 1];
    if (!result) return nullptr;
    std::memcpy(result, page.c_str(), page.size() + 1);
    return result;
}
