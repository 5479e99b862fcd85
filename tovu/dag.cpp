// Expression DAGs: the shared constants, the built-in names, the typed constructors and flat
// copies, the DAG hash tables with the unique names and strings built on them, the keep table,
// the walker, attributes, hardware-float arrays and structural equality.
//
// All allocation goes to the current storage area (storage.h).

#include "tovu/dag.h"

#include "tovu/storage.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/os/pages.h"
#include "tovu/errors.h"
#include "util/errjump.h"

namespace {

constexpr const char* kDagSource = "tovu/dag";

Dag backrefTable = nullptr;   // the DAG text reader's and writer's back references
Dag copiedTable = nullptr;    // parts already copied by the deep copy
Dag keepTable = nullptr;      // DAGs followed into their extended copies; made on first use

constexpr std::size_t kTableBuckets = 512;
constexpr std::size_t kKeepBuckets = 256;

Dag allocDag(std::size_t n, unsigned type) {
    if (n == 0 || n > DAG_MAX_LENGTH) tovu_error("object too large");
    StorageArea* area = storage_current();
    Dag d = dag_alloc(area, n);
    // Areas zero what they hand out unless made with STORAGE_NOZERO (storage.h); clearing
    // again here doubled the cost of every large DAG.
    if (area->flags & STORAGE_NOZERO) std::memset(d + 1, 0, (n - 1) * sizeof(DagWord));
    d[0] = dag_header(type, n);
    return d;
}

std::size_t bucketOf(DagKey key, const DagWord* table) {
    auto k = static_cast<std::intptr_t>(key);
    std::size_t buckets = dag_length(table) - 1;   // a power of two
    return static_cast<std::size_t>(k + (k >> 4)) & (buckets - 1);
}

// The growth of a full bucket, in words (even, so that pairs stay aligned).
std::size_t bucketGrowth(std::size_t length) { return (length / 10) * 2 + 10; }

}  // namespace

const char* const dag_type_names[DAG_TYPE_COUNT] = {
    "INTNEG", "INTPOS", "RATIONAL", "FLOAT", "STRING", "NAME", "TABLEREF", "DCOLON",
    "CATENATE", "POWER", "PROD", "SERIES", "SUM", "FUNCTION", "UNEVAL", "EQUATION",
    "INEQUAT", "LESSEQ", "LESSTHAN", "AND", "NOT", "OR", "EXPSEQ", "LIST", "LOCAL", "PARAM",
    "LEXICAL", "PROC", "RANGE", "SET", "TABLE", "HFARRAY", "ASSIGN", "FOR", "IF", "READ",
    "SAVE", "STATSEQ", "STOP", "HASH", "HASHTAB", "GARBAGE", "FOREIGN", "CONTROL", "PROMPT",
    "DEBUG",
};

// The built-in names in their fixed order; other modules refer to them by index.  Some texts
// occur twice ("=", "<", "<=", "<>"); both indices intern to the same NAME.
const char* const dag_builtin_texts[DAG_BUILTIN_COUNT] = {
    "%", "%%", "%%%", "ARRAY", "Catalan", "Digits", "FAIL", "Float", "NULL", "Normalizer",
    "O", "Order", "Pi", "RootOf", "TABLE", "Testzero", "all", "angle", "args", "arrow",
    "@", "@@", "break", "builtin", "column", "constants", "factorial", "false", "gamma", "inert",
    "infinity", "infolevel", "int", "lasterror", "leadterm", "libname", "ln", "matrix", "mod", "nargs",
    "index/newtable", "next", "operator", "printlevel", "procname", "protected", "remember", "row", "trace", "true",
    "undefined", "uneval", "unknown", "inner", "ASSERT", "*", "**", "^", "DEBUG", "=",
    "ERROR", ">=", ">", "Im", "<=", "<", "MorrBrilCull", "<>", "+", "RETURN",
    "Re", "SearchText", "abs", "add", "addressof", "alias", "anames", "appendto", "array", "assemble",
    "assigned", "attributes", "call_external", "callback", "cat", "coeff", "coeffs", "convert", "crinterp", "debugopts",
    "define_external", "degree", "denom", "diff", "disassemble", "divide", "$", "entries", "eval", "evalb",
    "evalf", "evalhf", "evaln", "expand", "frontend", "gc", "genpoly", "getuserinterface", "goto", "has",
    "hastype", "hfarray", "evalf/hypergeom/kernel", "icontent", "if", "igcd", "ilog10", "indets", "indices", "intersect",
    "int/series", "iolib", "iquo", "irem", "isqrt", "kernelopts", "lcoeff", "ldegree", "length", "lexorder",
    "lprint", "macro", "map", "map2", "max", "maxnorm", "member", "min", "minus", "modp",
    "modp1", "mods", "mul", "nops", "normal", "numboccur", "numer", "op", "order", "parse",
    "pointto", "print", "readlib", "searchtext", "select", "seq", "series", "setattribute", "setuserinterface", "sign",
    "sort", "ssystem", "subs", "subsop", "substring", "system", "table", "taylor", "tcoeff", "time",
    "timelimit", "kernel/transpose", "traperror", "trunc", "type", "typematch", "unames", "union", "userinfo", "writeto",
    "name", "integer", "fraction", "rational", "float", "numeric", "symbol", "literal", "atomic", "indexed",
    "function", "list", "set", "string", "equation", "=", "algebraic", "constant", "and", "not",
    "or", "procedure", "range", "..", "!", ".", "<", "<=", "::", "<>",
    "boolean", "relation", "polynom", "ratpoly", "radical", "anything", "complex",
};

Dag dag_builtins[DAG_BUILTIN_COUNT] = {};
Dag dag_NULL = nullptr;
Dag dag_intpos[140] = {};
Dag dag_intneg[140] = {};
Dag dag_zero = nullptr;
Dag dag_one = nullptr;
Dag dag_minus_one = nullptr;
DagWord* const DAG_HASH_ABSENT = reinterpret_cast<DagWord*>(3);

int dag_builtin_index(std::string_view text) {
    for (int i = 0; i < DAG_BUILTIN_COUNT; ++i)
        if (text == dag_builtin_texts[i]) return i;
    return -1;
}

// ---- constructors --------------------------------------------------------------------------

Dag dag_new(std::size_t n, unsigned type) { return allocDag(n, type); }
Dag dag_new_plain(std::size_t n) { return allocDag(n, 0); }

Dag dag_new0(unsigned type) { return allocDag(1, type); }

Dag dag_new1(unsigned type, const DagWord* a) {
    Dag d = allocDag(2, type);
    dag_set_op(d, 1, a);
    return d;
}

Dag dag_new2(unsigned type, const DagWord* a, const DagWord* b) {
    Dag d = allocDag(3, type);
    dag_set_op(d, 1, a);
    dag_set_op(d, 2, b);
    return d;
}

Dag dag_new3(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c) {
    Dag d = allocDag(4, type);
    dag_set_op(d, 1, a);
    dag_set_op(d, 2, b);
    dag_set_op(d, 3, c);
    return d;
}

Dag dag_new4(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c, const DagWord* e) {
    Dag d = allocDag(5, type);
    dag_set_op(d, 1, a);
    dag_set_op(d, 2, b);
    dag_set_op(d, 3, c);
    dag_set_op(d, 4, e);
    return d;
}

Dag dag_new8(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c, const DagWord* d,
             const DagWord* e, const DagWord* f, const DagWord* g, const DagWord* h) {
    Dag r = allocDag(9, type);
    const DagWord* ops[8] = {a, b, c, d, e, f, g, h};
    for (std::size_t i = 0; i < 8; ++i) dag_set_op(r, i + 1, ops[i]);
    return r;
}

Dag dag_new_with2(std::size_t n, unsigned type, const DagWord* a, const DagWord* b) {
    if (n < 3) tovu_error("object too large");   // no room for the two operands
    Dag d = allocDag(n, type);
    dag_set_op(d, 1, a);
    dag_set_op(d, 2, b);
    return d;
}

Dag hash_new(std::size_t buckets) { return allocDag(buckets + 1, DAG_HASHTAB); }

// ---- copies and edits ------------------------------------------------------------------------

Dag dag_copy(const DagWord* d) {
    std::size_t n = dag_length(d);
    Dag r = allocDag(n, dag_type(d));
    std::memcpy(r + 1, d + 1, (n - 1) * sizeof(DagWord));
    return r;
}

Dag dag_extend(Dag d, std::size_t n) {
    if (n == 0) return d;
    std::size_t length = dag_length(d);
    Dag r = allocDag(length + n, dag_type(d));
    std::memcpy(r + 1, d + 1, (length - 1) * sizeof(DagWord));
    if (keepTable && hash_find(reinterpret_cast<DagKey>(d), keepTable) != DAG_HASH_ABSENT) {
        hash_remove(reinterpret_cast<DagKey>(d), keepTable);
        hash_insert(reinterpret_cast<DagKey>(r), reinterpret_cast<DagWord>(r), keepTable);
    }
    return r;
}

Dag dag_append1(Dag d, const DagWord* a) {
    std::size_t length = dag_length(d);
    Dag r = dag_extend(d, 1);
    dag_set_op(r, length, a);
    return r;
}

Dag dag_append2(Dag d, const DagWord* a, const DagWord* b) {
    std::size_t length = dag_length(d);
    Dag r = dag_extend(d, 2);
    dag_set_op(r, length, a);
    dag_set_op(r, length + 1, b);
    return r;
}

Dag dag_insert_words(Dag d, std::size_t position, std::size_t n) {
    std::size_t length = dag_length(d);
    TOVU_ASSERT(position < length, kDagSource, 301);
    Dag r = allocDag(length + n, dag_type(d));
    std::memcpy(r + 1, d + 1, position * sizeof(DagWord));
    std::memcpy(r + position + 1 + n, d + position + 1, (length - position - 1) * sizeof(DagWord));
    return r;
}

Dag dag_remove_words(Dag d, std::size_t position, std::size_t n) {
    std::size_t length = dag_length(d);
    TOVU_ASSERT(position >= 1 && position + n <= length && n < length, kDagSource, 311);
    Dag r = allocDag(length - n, dag_type(d));
    std::memcpy(r + 1, d + 1, (position - 1) * sizeof(DagWord));
    std::memcpy(r + position, d + position + n, (length - position - n) * sizeof(DagWord));
    return r;
}

Dag dag_slice(Dag d, std::size_t start, std::size_t n) {
    std::size_t length = dag_length(d);
    TOVU_ASSERT(start >= 1 && start + n <= length, kDagSource, 321);
    Dag r = allocDag(n + 1, dag_type(d));
    std::memcpy(r + 1, d + start, n * sizeof(DagWord));
    return r;
}

// ---- DAG hash tables ---------------------------------------------------------------------------
//
// A HASHTAB of b + 1 words (b a power of two); bucket i is null or a HASH of pairs (key, value)
// that always ends with at least one pair whose key is 0.

DagWord* hash_find(DagKey key, Dag table) {
    Dag bucket = dag_op(table, 1 + bucketOf(key, table));
    if (!bucket) return DAG_HASH_ABSENT;
    std::size_t length = dag_length(bucket);
    for (std::size_t i = 1; i + 1 < length && bucket[i] != 0; i += 2)
        if (bucket[i] == key) return bucket + i;
    return DAG_HASH_ABSENT;
}

void hash_insert(DagKey key, DagWord value, Dag table) {
    std::size_t slot = 1 + bucketOf(key, table);
    Dag bucket = dag_op(table, slot);
    if (!bucket) {
        bucket = dag_new(7, DAG_HASH);
        bucket[1] = key;
        bucket[2] = value;
        dag_set_op(table, slot, bucket);
        return;
    }
    std::size_t length = dag_length(bucket);
    if (bucket[length - 4] != 0) {   // the second-to-last pair is in use
        bucket = dag_extend(bucket, bucketGrowth(length));
        dag_set_op(table, slot, bucket);
        length = dag_length(bucket);
    }
    for (std::size_t i = 1; i + 1 < length; i += 2) {
        if (bucket[i] == 0) {
            bucket[i] = key;
            bucket[i + 1] = value;
            return;
        }
    }
}

void hash_remove(DagKey key, Dag table) {
    Dag bucket = dag_op(table, 1 + bucketOf(key, table));
    if (!bucket) return;
    std::size_t length = dag_length(bucket);
    std::size_t found = 0, last = 0;
    for (std::size_t i = 1; i + 1 < length && bucket[i] != 0; i += 2) {
        if (!found && bucket[i] == key) found = i;
        last = i;
    }
    if (!found) return;
    bucket[found] = bucket[last];
    bucket[found + 1] = bucket[last + 1];
    bucket[last] = 0;
    bucket[last + 1] = 0;
}

void hash_clear(Dag table, bool release) {
    std::size_t length = dag_length(table);
    for (std::size_t b = 1; b < length; ++b) {
        if (release) {
            table[b] = 0;
        } else if (Dag bucket = dag_op(table, b)) {
            std::memset(bucket + 1, 0, (dag_length(bucket) - 1) * sizeof(DagWord));
        }
    }
}

std::size_t hash_count(Dag table) {
    std::size_t count = 0;
    std::size_t length = dag_length(table);
    for (std::size_t b = 1; b < length; ++b) {
        Dag bucket = dag_op(table, b);
        if (!bucket) continue;
        std::size_t n = dag_length(bucket);
        for (std::size_t i = 1; i + 1 < n && bucket[i] != 0; i += 2) ++count;
    }
    return count;
}

// h = 1, then h = byte + 1027 * h for each (signed) byte, modulo 2^32; 0 becomes 1.  Four
// bytes are folded at a time (h * 1027^4 + b0 * 1027^3 + ... + b3), which gives the same value
// with a quarter of the chain of dependent multiplications: hashing was a tenth of the time of
// reading a DAG text full of names already known.
std::uint32_t text_hash(const char* text) {
    constexpr std::uint32_t k1 = 1027u, k2 = k1 * k1, k3 = k2 * k1, k4 = k3 * k1;
    auto byte = [](char c) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c))); };
    std::size_t n = std::strlen(text);
    std::uint32_t h = 1;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4)
        h = h * k4 + byte(text[i]) * k3 + byte(text[i + 1]) * k2 + byte(text[i + 2]) * k1 + byte(text[i + 3]);
    for (; i < n; ++i) h = byte(text[i]) + k1 * h;
    return h ? h : 1;
}

namespace {

// ---- memory of the name table ------------------------------------------------------------------
// Names and the table's arrays are never moved (names are compared by address) and never freed:
// an index the table outgrows holds names from then on.  They come in large blocks: a block of
// 2 MB or more starts on a huge-page boundary and is offered for huge pages
// (platform/os/pages.h), since filling fresh memory page by page was most of the cost of reading
// a million new names.

// A block of `words` words, not cleared, never freed; raises the out-of-memory error when the
// heap is full.
DagWord* wordBlock(std::size_t words) {
    if (words * sizeof(DagWord) < OS_HUGE_PAGE_BYTES) return static_cast<DagWord*>(allocWordsOrRaise(words));
    void* raw = allocWordsOrRaise(words + OS_HUGE_PAGE_BYTES / sizeof(DagWord));
    std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(raw) + OS_HUGE_PAGE_BYTES - 1) & ~(OS_HUGE_PAGE_BYTES - 1);
    os_advise_huge_pages(reinterpret_cast<void*>(at), words * sizeof(DagWord));
    return reinterpret_cast<DagWord*>(at);
}

// The interned NAMEs and STRINGs, one after the other in chunks that double from 64 KB to 4 MB
// (a process that reads few names keeps a small footprint); a text too long for a quarter of a
// chunk gets a block of its own.  Nothing is freed: a name outlives every area that refers to it.
class NameArena {
public:
    // Takes a block that its owner no longer needs (an index the name table outgrew) for names
    // to come.  Its pages are already in memory, so names placed there cost no page faults; the
    // table grows exactly while new names arrive, so the block is soon filled.
    void take(DagWord* words, std::size_t n) { spare_.emplace_back(words, n); }
    Dag alloc(std::size_t n) {   // n words, zeroed
        if (n > left_) {
            if (n > chunkWords_ / 4) return clear(wordBlock(n), n);
            if (!spare_.empty() && spare_.back().second >= n) {
                next_ = spare_.back().first;
                left_ = spare_.back().second;
                spare_.pop_back();
            } else {
                next_ = wordBlock(chunkWords_);
                left_ = chunkWords_;
                if (chunkWords_ < kLastChunkWords) chunkWords_ *= 2;
            }
        }
        Dag d = next_;
        next_ += n;
        left_ -= n;
        return clear(d, n);
    }

private:
    static constexpr std::size_t kFirstChunkWords = std::size_t(1) << 13;   // 64 KB
    static constexpr std::size_t kLastChunkWords = std::size_t(1) << 19;    // 4 MB
    static Dag clear(Dag d, std::size_t n) {
        std::memset(d, 0, n * sizeof(DagWord));
        return d;
    }

    DagWord* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t chunkWords_ = kFirstChunkWords;
    std::vector<std::pair<DagWord*, std::size_t>> spare_;   // blocks given by take, not used yet
};

NameArena& namesArena() {
    static NameArena* const arena = new NameArena;   // never destroyed, as the names
    return *arena;
}

// The unique NAMEs and STRINGs of one type.  Entries, the pairs (text hash, DAG), are numbered in
// the order the texts were interned and kept in chunks that never move: chunk c holds 1024 * 2^c
// entries, so entry n lies in chunk bit_width(n + 1024) - 11.  An entry's address stays valid for
// the whole process.
//
// index_ is an open-addressing table with linear probing over the entries, each slot one word:
// the text hash in the high half, the entry's number + 1 in the low half (0: a free slot).  A
// text's first slot is the top bits of its hash times the golden ratio (Fibonacci hashing, which
// spreads the weak low bits of text_hash).  Invariants:
//   1. The index is at most half full, so finding or adding a text costs a few probes whatever
//      the number of names, and one probe sequence both finds a text and gives its free slot.
//   2. Every entry has exactly one slot; the index doubles when invariant 1 would break.
// Slots of one word keep the index small: a look-up of a text not seen before costs one cache
// miss in the index.  Since the first slot is taken from the top bits, the entries of slot i
// move to slots 2i and 2i + 1 when the index doubles: growing walks both arrays in order.
class InternTable {
public:
    // The entry of the text, or null with *free the slot where it belongs.
    DagWord* find(const char* text, std::uint32_t h, std::uint64_t** free) {
        // Texts tend to come back in the order they were first interned (a DAG read again, a
        // request like an earlier one), so the entry after the last one found is tried first:
        // it lies next to that one in memory, where a probe of the index is a cache miss.
        std::size_t next = last_ + 1;
        if (next < count_) {
            DagWord* entry = isChunkStart(next) ? entryAt(next) : lastEntry_ + 2;
            if (entry[0] == h && std::strcmp(dag_text(reinterpret_cast<Dag>(entry[1])), text) == 0) {
                last_ = next;
                lastEntry_ = entry;
                return entry;
            }
        }
        if (!index_) makeIndex(kFirstBits);
        std::size_t mask = (std::size_t(1) << bits_) - 1;
        for (std::size_t i = firstSlot(h);; i = (i + 1) & mask) {
            std::uint64_t slot = index_[i];
            if (slot == 0) {
                *free = &index_[i];
                return nullptr;
            }
            if (slot >> 32 == h) {
                std::size_t number = (slot & 0xFFFFFFFFu) - 1;
                DagWord* entry = entryAt(number);
                if (std::strcmp(dag_text(reinterpret_cast<Dag>(entry[1])), text) == 0) {
                    last_ = number;
                    lastEntry_ = entry;
                    return entry;
                }
            }
        }
    }
    // Adds the DAG at the free slot that find answered.
    void add(std::uint64_t* free, std::uint32_t h, Dag d) {
        if (count_ == capacity_) {
            std::size_t entries = kFirstChunkEntries << chunks_.size();
            chunks_.push_back(wordBlock(2 * entries));
            capacity_ += entries;
        }
        DagWord* entry = entryAt(count_);
        entry[0] = h;
        entry[1] = reinterpret_cast<DagWord>(d);
        last_ = count_++;
        lastEntry_ = entry;
        *free = (std::uint64_t(h) << 32) | count_;
        if (2 * count_ > (std::size_t(1) << bits_)) grow();   // invariant 1
    }

private:
    static constexpr int kFirstBits = 10;                                       // 1024 slots
    static constexpr std::size_t kFirstChunkEntries = std::size_t(1) << 10;    // 16 KB

    static bool isChunkStart(std::size_t number) {
        std::size_t shifted = number + kFirstChunkEntries;
        return (shifted & (shifted - 1)) == 0;
    }
    DagWord* entryAt(std::size_t number) const {
        std::size_t shifted = number + kFirstChunkEntries;
        int top = std::bit_width(shifted) - 1;   // 10 for chunk 0
        return chunks_[static_cast<std::size_t>(top - 10)] + 2 * (shifted - (std::size_t(1) << top));
    }
    std::size_t firstSlot(std::uint32_t h) const {
        return static_cast<std::size_t>((std::uint64_t(h) * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
    }
    void makeIndex(int bits) {
        bits_ = bits;
        index_ = wordBlock(std::size_t(1) << bits);
        std::memset(index_, 0, (std::size_t(1) << bits) * sizeof(DagWord));
    }
    void grow() {
        std::uint64_t* old = index_;
        std::size_t oldSlots = std::size_t(1) << bits_;
        makeIndex(bits_ + 1);
        std::size_t mask = (std::size_t(1) << bits_) - 1;
        for (std::size_t s = 0; s < oldSlots; ++s) {
            std::uint64_t slot = old[s];
            if (slot == 0) continue;
            std::size_t i = firstSlot(static_cast<std::uint32_t>(slot >> 32));
            while (index_[i] != 0) i = (i + 1) & mask;
            index_[i] = slot;
        }
        namesArena().take(old, oldSlots);   // reused for names, never freed
    }

    std::vector<DagWord*> chunks_;       // chunk c: 2 * 1024 * 2^c words
    std::size_t count_ = 0;              // entries made
    std::size_t capacity_ = 0;           // entries the chunks hold
    std::uint64_t* index_ = nullptr;     // 2^bits_ slots
    int bits_ = 0;
    std::size_t last_ = 0;               // number of the entry found or added last
    DagWord* lastEntry_ = nullptr;       // that entry, once there is one
};

// The shared constants (dag_NULL, the small integers) live here, never freed, for the same
// reason: every name's fresh attributes word is dag_NULL, so dag_NULL must outlive the names.
// Made once per process; a second start-up in one process (shut-down freed the default and the
// fallback area) finds them, and the words of names that hold them, still valid.
StorageArea constantsArea{nullptr, nullptr, 0, 6, nullptr, 7, 0, 0, "DAG-CONSTANTS"};
bool builtinsInterned = false;

// The NAME and STRING tables.  Made once and never destroyed, like the names: code that runs
// while the process ends (destructors of static objects that free their areas) may still
// reach them.
InternTable& tableFor(unsigned type) {
    static InternTable* const tables = new InternTable[2];
    return tables[type == DAG_STRING ? 1 : 0];
}

// Interned NAMEs and STRINGs whose value or attributes word was set (dag_set_interned_field)
// and may point into an area that is freed later; see dag_names_forget_area.
std::unordered_set<Dag>& fieldsSet() {
    static auto* const set = new std::unordered_set<Dag>;   // never destroyed, as the tables
    return *set;
}

// What an interned NAME or STRING holds in its value (1) and attributes (2) words when nothing
// has set them: the built-in NULL has the empty sequence as its value.
DagWord freshField(const DagWord* d, std::size_t i) {
    if (i == 2 || d == dag_builtins[BUILTIN_NULL]) return reinterpret_cast<DagWord>(dag_NULL);
    return 0;
}

}  // namespace

// NAME and STRING: header, value (or spare) word, attributes, then the text and its NUL from
// word 3 on; with 8-byte words that is text length / 8 + 4 words.
Dag dag_intern(const char* text, unsigned type) {
    std::uint32_t h = text_hash(text);
    InternTable& table = tableFor(type);
    std::uint64_t* free = nullptr;
    if (DagWord* entry = table.find(text, h, &free)) return reinterpret_cast<Dag>(entry[1]);

    std::size_t textLength = std::strlen(text);
    std::size_t n = textLength / sizeof(DagWord) + 4;
    if (n > DAG_MAX_LENGTH) tovu_error("object too large");
    Dag d = namesArena().alloc(n);
    d[0] = dag_header(type, n);
    dag_set_op(d, 2, dag_NULL);
    std::memcpy(dag_text(d), text, textLength + 1);
    table.add(free, h, d);
    return d;
}

void dag_set_interned_field(Dag d, std::size_t i, const DagWord* value) {
    dag_set_op(d, i, value);
    if (reinterpret_cast<DagWord>(value) != freshField(d, i)) fieldsSet().insert(d);
}

void dag_names_forget_area(const StorageArea* area) {
    auto& set = fieldsSet();
    if (set.empty()) return;
    StorageExtents extents(area);
    for (auto it = set.begin(); it != set.end();) {
        Dag d = *it;
        for (std::size_t i = 1; i <= 2; ++i)
            if (d[i] != freshField(d, i) && extents.holds(reinterpret_cast<const DagWord*>(d[i])))
                d[i] = freshField(d, i);
        if (d[1] == freshField(d, 1) && d[2] == freshField(d, 2)) it = set.erase(it);
        else ++it;
    }
}

void dag_names_reset_fields() {
    for (Dag d : fieldsSet()) {
        d[1] = freshField(d, 1);
        d[2] = freshField(d, 2);
    }
    fieldsSet().clear();
}

Dag dag_name(const char* text) { return dag_intern(text, DAG_NAME); }

DagWord* dag_lookup_text(const char* text, unsigned type) {
    std::uint64_t* free = nullptr;
    DagWord* entry = tableFor(type).find(text, text_hash(text), &free);
    return entry ? entry : DAG_HASH_ABSENT;
}

DagWord* dag_find_name(const char* text) { return dag_lookup_text(text, DAG_NAME); }
DagWord* dag_find_string(const char* text) { return dag_lookup_text(text, DAG_STRING); }

void dag_keep(Dag d) {
    if (!keepTable) keepTable = hash_new(kKeepBuckets);
    hash_insert(reinterpret_cast<DagKey>(d), reinterpret_cast<DagWord>(d), keepTable);
}

bool dag_unkeep(Dag d) {
    if (!keepTable || hash_find(reinterpret_cast<DagKey>(d), keepTable) == DAG_HASH_ABSENT) return false;
    hash_remove(reinterpret_cast<DagKey>(d), keepTable);
    return true;
}

void dag_unkeep_checked(Dag d) { TOVU_ASSERT(dag_unkeep(d), kDagSource, 451); }

void dag_forget_keep() { keepTable = nullptr; }

Dag dag_backref_table() { return backrefTable; }
Dag dag_copied_table() { return copiedTable; }

// ---- start-up ------------------------------------------------------------------------------------

void dag_init_constants() {
    if (dag_NULL) return;   // made once per process
    StoragePush push(&constantsArea);
    dag_NULL = dag_new0(DAG_EXPSEQ);
    for (int i = 0; i < 140; ++i) {
        Dag p = dag_new(2, DAG_INTPOS);
        p[1] = static_cast<DagWord>(i);
        dag_intpos[i] = p;
        Dag n = dag_new(2, DAG_INTNEG);
        n[1] = static_cast<DagWord>(i + 1);
        dag_intneg[i] = n;
    }
    dag_zero = dag_intpos[0];
    dag_one = dag_intpos[1];
    dag_minus_one = dag_intneg[0];
}

void dag_init_names() {
    dag_names_reset_fields();
    backrefTable = hash_new(kTableBuckets);
    copiedTable = hash_new(kTableBuckets);
    if (!builtinsInterned) {
        for (int i = 0; i < DAG_BUILTIN_COUNT; ++i) dag_builtins[i] = dag_name(dag_builtin_texts[i]);
        builtinsInterned = true;
    }
    dag_set_op(dag_builtins[BUILTIN_NULL], 1, dag_NULL);
}

void dag_init() {
    dag_init_constants();
    dag_init_names();
}

void tovu_start() {
    static bool started = false;
    if (started) return;
    started = true;
    dag_init_constants();
    storage_init_default();
    dag_init_names();
}

// ---- walker ----------------------------------------------------------------------------------------

int dag_walk(DagWord* slot, DagVisitor visitor, void* context1, void* context2) {
    if (!slot || !visitor || *slot == 0) return 0;
    int result = visitor(slot, context1, context2);
    if (result == 1 || result == 2) return result;
    Dag d = reinterpret_cast<Dag>(*slot);
    unsigned type = dag_type(d);
    switch (type) {
    case 0: case DAG_INTNEG: case DAG_INTPOS: case DAG_STRING: case DAG_NAME:
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_HFARRAY: case DAG_STOP:
        return result;
    default:
        if (type >= DAG_GARBAGE) return result;
        break;
    }
    std::size_t length = dag_length(d);
    if (length < 2) return result;
    if (type == DAG_SERIES) {
        result = dag_walk(d + 1, visitor, context1, context2);
        if (result == 1) return result;
        for (std::size_t i = 2; i < length; i += 2) {
            result = dag_walk(d + i, visitor, context1, context2);
            if (result == 1) break;
        }
        return result;
    }
    for (std::size_t i = 1; i < length; ++i) {
        result = dag_walk(d + i, visitor, context1, context2);
        if (result == 1) break;
    }
    return result;
}

bool dag_walk_complete(DagWord* slot, DagVisitor visitor, void* context1, void* context2) {
    return dag_walk(slot, visitor, context1, context2) == 0;
}

// ---- other -----------------------------------------------------------------------------------------

Dag dag_attributes(const DagWord* d) {
    std::size_t length = dag_length(d);
    switch (dag_type(d)) {
    case DAG_FLOAT: case DAG_TABLEREF: case DAG_FUNCTION:
        return length == 4 ? dag_op(d, 3) : dag_NULL;
    case DAG_NAME: case DAG_STRING:
        return dag_op(d, 2);
    case DAG_LIST: case DAG_SET:
        return length == 3 ? dag_op(d, 2) : dag_NULL;
    case DAG_PROC: {
        if (length < 4) return dag_NULL;
        Dag options = dag_op(d, 3);
        if (options && dag_length(options) == 2) return dag_op(options, 1);
        return options;
    }
    default:
        return dag_NULL;
    }
}

// Arrays of up to 65534 doubles live in a DAG of the current area (one double a word);
// larger ones in a large block of the same area, so that both go with the area.
void hfarray_alloc(Dag array, std::size_t count) {
    constexpr std::size_t kInDag = 65534;
    constexpr std::size_t kLimit = std::size_t(1) << 28;   // 2 GB of doubles
    DagWord* data;
    if (count > kLimit) tovu_error("not enough memory to allocate hfarray");
    if (count <= kInDag) {
        Dag block = dag_new(count + 1, DAG_INTPOS);
        data = block + 1;
    } else {
        data = storage_alloc_current(count);
    }
    array[1] = reinterpret_cast<DagWord>(data);
    array[2] = static_cast<DagWord>(count);
}

void hfarray_copy_data(Dag to, const DagWord* from) {
    std::size_t length = std::min(dag_length(to), dag_length(from));
    for (std::size_t i = 2; i < length; ++i) to[i] = from[i];
    std::size_t count = from[2];
    if (count && to[1] && from[1]) std::memcpy(hfarray_data(to), hfarray_data(from), count * sizeof(double));
}

// ---- structural equality -----------------------------------------------------------------------------

namespace {

struct PairHash {
    std::size_t operator()(const std::pair<const DagWord*, const DagWord*>& p) const {
        return std::hash<const void*>()(p.first) * 31 + std::hash<const void*>()(p.second);
    }
};
using EqualMemo = std::unordered_set<std::pair<const DagWord*, const DagWord*>, PairHash>;

bool equalRec(const DagWord* a, const DagWord* b, EqualMemo& memo);

bool equalHashtab(const DagWord* a, const DagWord* b, EqualMemo& memo) {
    // Tables rebuilt elsewhere place their pairs by key address, so compare the pairs as a set.
    std::vector<const DagWord*> pa, pb;
    for (const DagWord* t : {a, b}) {
        auto& out = t == a ? pa : pb;
        for (std::size_t i = 1; i < dag_length(t); ++i) {
            const DagWord* bucket = dag_op(t, i);
            if (!bucket) continue;
            for (std::size_t j = 1; j + 1 < dag_length(bucket) && bucket[j] != 0; j += 2) out.push_back(bucket + j);
        }
    }
    if (pa.size() != pb.size()) return false;
    std::vector<bool> used(pb.size(), false);
    for (const DagWord* p : pa) {
        bool found = false;
        for (std::size_t k = 0; k < pb.size() && !found; ++k) {
            if (used[k]) continue;
            if (equalRec(dag_op(p, 0), dag_op(pb[k], 0), memo) && equalRec(dag_op(p, 1), dag_op(pb[k], 1), memo)) {
                used[k] = true;
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}

bool equalRec(const DagWord* a, const DagWord* b, EqualMemo& memo) {
    if (a == b) return true;
    if (!a || !b) return false;
    if ((a[0] & 0x7FFFFF) != (b[0] & 0x7FFFFF)) return false;
    if (memo.count({a, b})) return true;
    std::size_t length = dag_length(a);
    unsigned type = dag_type(a);
    switch (type) {
    case DAG_INTPOS: case DAG_INTNEG: case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL:
        return std::memcmp(a + 1, b + 1, (length - 1) * sizeof(DagWord)) == 0;
    case DAG_NAME: case DAG_STRING:
        return std::strcmp(dag_text(a), dag_text(b)) == 0;
    case DAG_HFARRAY: {
        if (length < 3) return std::memcmp(a + 1, b + 1, (length - 1) * sizeof(DagWord)) == 0;
        if (std::memcmp(a + 2, b + 2, (length - 2) * sizeof(DagWord)) != 0) return false;
        std::size_t count = a[2];
        if (!count) return true;
        return std::memcmp(hfarray_data(a), hfarray_data(b), count * sizeof(double)) == 0;
    }
    case DAG_HASHTAB:
        if (!equalHashtab(a, b, memo)) return false;
        break;
    case DAG_SERIES:
        for (std::size_t i = 1; i < length; ++i) {
            bool immediate = i >= 3 && i % 2 == 1;
            if (immediate ? a[i] != b[i] : !equalRec(dag_op(a, i), dag_op(b, i), memo)) return false;
        }
        break;
    default:
        for (std::size_t i = 1; i < length; ++i)
            if (!equalRec(dag_op(a, i), dag_op(b, i), memo)) return false;
        break;
    }
    memo.insert({a, b});
    return true;
}

}  // namespace

bool dag_equal(const DagWord* a, const DagWord* b) {
    EqualMemo memo;
    return equalRec(a, b, memo);
}
