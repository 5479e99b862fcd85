// The checker's object store (see store.h).
#include "tools/vetlin/store.h"

#include <cstring>
#include <vector>

#include "tools/console/osl.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/scoping.h"

long storeLine = 0;
StoreTables storeTables;

namespace {

// Allocator tuning: chunks of 16381 words serve small requests; a request above 250 words gets a
// chunk of its own, 2 words larger.  Small blocks of the sizes the parser makes most (3, 4, 5
// and 7 words with the prefix) are pre-cut from the rest of a split block, at most 128 at a time.
constexpr long kChunkWords = 16381;
constexpr long kOwnChunkAbove = 250;
constexpr long kExactLists = 8;
constexpr int kPreCutMax = 128;

constexpr long kNameSlots = 137;
constexpr long kSimplifySlots = 1231;
constexpr long kDatabaseSlots = 251;

// Bucket growth: a new HASH has 7 words (three pairs); it grows by 10 words, or by a fifth of
// the insert position once it is longer than 50 words.
constexpr long kBucketWords = 7;
constexpr long kBucketStep = 10;
constexpr long kBucketLarge = 50;

struct Store {
    VWord* exact[kExactLists + 1] = {};   // exact lists by block size 1 .. 8
    VWord* classes[3] = {};               // 9-60, 61-300, above 300 words
    std::vector<void*> chunks;
    VObj recent[4] = {};                  // sequences appended to most recently, newest first
};
Store store;

VWord*& link_of(VWord* block) { return *reinterpret_cast<VWord**>(block); }

int size_class(long words) { return words <= 60 ? 0 : words <= 300 ? 1 : 2; }

// Gives a block of `words` words (prefix included) back to the free lists.
void release(VWord* block, long words) {
    if (words <= 0) return;
    if (words <= kExactLists) {
        link_of(block) = store.exact[words];
        store.exact[words] = block;
        return;
    }
    block[1] = VWord(words);
    VWord*& head = store.classes[size_class(words)];
    if (head != nullptr && long(head[1]) < words) {
        link_of(block) = link_of(head);
        link_of(head) = block;
    } else {
        link_of(block) = head;
        head = block;
    }
}

// Hands out the first `want` words of a block of `size` words and frees the rest, pre-cutting
// blocks of the popular small sizes first.
void split(VWord* block, long size, long want) {
    VWord* rest = block + want;
    long left = size - want;
    if (want == 3 || want == 4 || want == 5 || want == 7) {
        for (int cut = 0; cut < kPreCutMax && left > want + 2; ++cut) {
            release(rest, want);
            rest += want;
            left -= want;
        }
    }
    release(rest, left);
}

VWord* take_from_classes(long want) {
    for (int c = want < 9 ? 0 : size_class(want); c < 3; ++c) {
        for (VWord** link = &store.classes[c]; *link != nullptr; link = &link_of(*link)) {
            VWord* block = *link;
            long size = long(block[1]);
            if (size == want || size > want + 2) {
                *link = link_of(block);
                if (size > want) split(block, size, want);
                return block;
            }
        }
    }
    return nullptr;
}

void forget_recent(const VWord* sequence) {
    for (int i = 0; i < 4; ++i) {
        if (store.recent[i] != sequence) continue;
        for (int j = i; j < 3; ++j) store.recent[j] = store.recent[j + 1];
        store.recent[3] = nullptr;
        return;
    }
}

void make_recent(VObj sequence) {
    forget_recent(sequence);
    for (int j = 3; j > 0; --j) store.recent[j] = store.recent[j - 1];
    store.recent[0] = sequence;
}

bool raw_operands(unsigned type) {
    return type == DAG_INTNEG || type == DAG_INTPOS || type == DAG_STRING || type == DAG_NAME ||
           type == DAG_STOP;
}

// Types that never reach the simplifier in a sound tree: treated as raw, dumped in debug mode.
bool invalid_for_simplify(unsigned type) {
    return type == 0 || type == DAG_SERIES || type == DAG_LOCAL || type == DAG_PARAM ||
           type == DAG_LEXICAL || type == DAG_HFARRAY || type == DAG_TABLE || type >= DAG_HASH;
}

VWord simplify_hash(const VWord* o) {
    const unsigned type = vl_type(o);
    const long length = vl_length(o);
    VWord h;
    if (type == DAG_NAME) {
        h = reinterpret_cast<VWord>(o);
    } else if (type == DAG_SUM || type == DAG_PROD) {
        h = (o[0] & (VWord(0x3F) << 17)) + VWord(length);
        for (long i = 1; i + 1 < length; i += 2) h += o[i + 1] * (o[i] | 1);
    } else {
        h = (o[0] & (VWord(0x3F) << 17)) + VWord(length);
        for (long i = 1; i < length; ++i) h += o[i];
    }
    if (std::intptr_t(h) <= 0) h = (h & ~(VWord(1) << 63)) | 1;
    return h;
}

VObj simplify_find(const VWord* o, VWord key) {
    const VWord* bucket = store_hash_bucket(storeTables.simplify, key);
    if (bucket == nullptr) return nullptr;
    for (long i = 1; bucket[i] != 0; i += 2) {
        if (bucket[i] == key && store_equal(vl_op(bucket, i + 1), o)) return vl_op(bucket, i + 1);
    }
    return nullptr;
}

}  // namespace

// ---- prefix word --------------------------------------------------------------------------------
namespace {
constexpr int kLastShift = 30;
constexpr VWord kLineMask = (VWord(1) << 30) - 1;
constexpr VWord kBackquote = VWord(1) << 60;
VWord clamp_line(long line) { return line < 0 ? 0 : line > VL_MAX_LINE ? VL_MAX_LINE : VWord(line); }
}  // namespace

long vl_first_line(const VWord* o) { return long(o[-1] & kLineMask); }
long vl_last_line(const VWord* o) { return long((o[-1] >> kLastShift) & kLineMask); }
void vl_set_lines(VObj o, long first, long last) {
    o[-1] = (o[-1] & kBackquote) | clamp_line(first) | (clamp_line(last) << kLastShift);
}
bool vl_backquoted(const VWord* o) { return (o[-1] & kBackquote) != 0; }
void vl_set_backquoted(VObj o, bool quoted) {
    o[-1] = quoted ? o[-1] | kBackquote : o[-1] & ~kBackquote;
}

const char* vl_type_name(unsigned type) {
    if (type == VL_END_OF_INPUT) return "EOF";
    if (type == VL_USAGE) return "USAGE";
    if (type == 0 || type == DAG_LEXICAL || type == DAG_HFARRAY || type > DAG_GARBAGE)
        return "unknown";
    return dag_type_names[type - 1];
}

// ---- run state ----------------------------------------------------------------------------------
void store_reset() {
    for (void* chunk : store.chunks) os_free(chunk);
    store = Store{};
    storeTables = StoreTables{};
    storeLine = 0;
}

void store_make_tables() {
    storeTables.names = store_hashtab(kNameSlots);
    storeTables.simplify = store_hashtab(kSimplifySlots);
    storeTables.database = store_hashtab(kDatabaseSlots);
}

std::size_t store_chunk_count() { return store.chunks.size(); }

// ---- allocation ---------------------------------------------------------------------------------
VObj store_alloc(long n) {
    const long want = n + 1;
    VWord* block = nullptr;
    if (want <= kExactLists && store.exact[want] != nullptr) {
        block = store.exact[want];
        store.exact[want] = link_of(block);
    } else {
        block = take_from_classes(want);
    }
    if (block == nullptr) {
        // Chunks from os_alloc never adjoin (each carries the layer's own header), so a new
        // chunk is always a block of its own.
        const long chunk = want > kOwnChunkAbove ? n + 2 : kChunkWords;
        void* memory = os_alloc(std::size_t(chunk) * sizeof(VWord));
        if (memory == nullptr) vl_fatal_too_large("allocating space (object too large)");
        store.chunks.push_back(memory);
        block = static_cast<VWord*>(memory);
        split(block, chunk, want);
    }
    block[0] = 0;
    return block + 1;
}

void store_free(VObj o, long n) {
    if (n <= 0 || o == nullptr) return;
    forget_recent(o);
    release(o - 1, n + 1);
}

// ---- constructors and operations ----------------------------------------------------------------
VObj store_new(long length, unsigned type) {
    if (length < 1 || length > VL_MAX_LENGTH) vl_fatal("object too large");
    VObj o = store_alloc(length);
    o[0] = vl_header(type, length);
    std::memset(o + 1, 0, std::size_t(length - 1) * sizeof(VWord));
    return o;
}

VObj store_new_words(int words, unsigned type) {
    if (words < 1 || words > 9) vl_fatal_system("new");
    return store_new(words, type);
}

VObj store_enlarge(VObj o, long extra) {
    const long length = vl_length(o);
    if (extra < 0 || length + extra > VL_MAX_LENGTH) vl_fatal_too_large("enlarge");
    VObj grown = store_new(length + extra, vl_type(o));
    grown[0] = (o[0] & ~VWord(0x1FFFF)) | VWord(length + extra);
    grown[-1] = o[-1];
    std::memcpy(grown + 1, o + 1, std::size_t(length - 1) * sizeof(VWord));
    store_free(o, length);
    return grown;
}

VObj store_insert(VObj o, long position, long count) {
    const long length = vl_length(o);
    if (position < 0 || position >= length || count < 0) vl_fatal_system("insert");
    VObj copy = store_new(length + count, vl_type(o));
    std::memcpy(copy + 1, o + 1, std::size_t(position) * sizeof(VWord));
    std::memcpy(copy + position + 1 + count, o + position + 1,
                std::size_t(length - 1 - position) * sizeof(VWord));
    return copy;
}

void store_delete1(VObj o, long index) {
    const long length = vl_length(o);
    if (index < 1 || index > length - 1) vl_fatal_system("shrin1");
    forget_recent(o);
    std::memmove(o + index, o + index + 1, std::size_t(length - 1 - index) * sizeof(VWord));
    vl_set_length(o, length - 1);
    release(o + length - 1, 1);
}

void store_delete2(VObj o, long index) {
    const long length = vl_length(o);
    if (index < 1 || index > length - 2) vl_fatal_system("shrin2");
    forget_recent(o);
    std::memmove(o + index, o + index + 2, std::size_t(length - 2 - index) * sizeof(VWord));
    vl_set_length(o, length - 2);
    release(o + length - 2, 2);
}

void store_truncate(VObj o, long oldLength, long newLength) {
    if (newLength < 1 || newLength >= oldLength) return;
    forget_recent(o);
    vl_set_length(o, newLength);
    release(o + newLength, oldLength - newLength);
}

VObj store_copy(const VWord* o) {
    const long length = vl_length(o);
    VObj copy = store_new(length, vl_type(o));
    std::memcpy(copy + 1, o + 1, std::size_t(length - 1) * sizeof(VWord));
    return copy;
}

void store_free_tree(VObj o) {
    if (o == nullptr) return;
    const long length = vl_length(o);
    if (!raw_operands(vl_type(o))) {
        for (long i = 1; i < length; ++i) {
            VObj child = vl_op(o, i);
            if (child != nullptr) store_free(child, vl_length(child));
        }
    }
    store_free(o, length);
}

// ---- growable sequences -----------------------------------------------------------------------
VObj store_sequence(long capacity, unsigned type) {
    if (capacity < 1) capacity = 1;
    VObj o = store_new(capacity, type);
    vl_set_length(o, 1);
    if (capacity > 1) {
        // A new sequence counts as recent: otherwise its room would never be used.
        o[1] = vl_header(DAG_GARBAGE, capacity - 1);
        make_recent(o);
    }
    return o;
}

long store_reserve(const VWord* sequence) {
    if (!store_is_recent(sequence)) return 0;
    return vl_length(sequence + vl_length(sequence));
}

bool store_is_recent(const VWord* sequence) {
    for (const VObj r : store.recent)
        if (r == sequence) return true;
    return false;
}

namespace {
VObj append(VObj sequence, const VWord* items[], long count) {
    long length = vl_length(sequence);
    if (!store_is_recent(sequence) && length <= 6) {
        sequence = store_enlarge(sequence, count);
        for (long i = 0; i < count; ++i) vl_set_op(sequence, length + i, items[i]);
        return sequence;
    }
    long reserve = store_reserve(sequence);
    if (reserve < count) {
        const long extra = length / 5 * 2 + 2;
        VWord* oldReserve = sequence + length;
        forget_recent(sequence);
        sequence = store_enlarge(sequence, extra);
        // The old reserve goes back with the old sequence.
        release(oldReserve, reserve);
        vl_set_length(sequence, length);
        reserve = extra;
    }
    for (long i = 0; i < count; ++i) vl_set_op(sequence, length + i, items[i]);
    length += count;
    reserve -= count;
    vl_set_length(sequence, length);
    if (reserve == 0) {
        forget_recent(sequence);
    } else {
        make_recent(sequence);
        sequence[length] = vl_header(DAG_GARBAGE, reserve);
    }
    return sequence;
}
}  // namespace

VObj store_append1(VObj sequence, const VWord* item) {
    const VWord* items[] = {item};
    return append(sequence, items, 1);
}

VObj store_append2(VObj sequence, const VWord* first, const VWord* second) {
    const VWord* items[] = {first, second};
    return append(sequence, items, 2);
}

// ---- integers -----------------------------------------------------------------------------------
VObj store_integer(long value) {
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value)
                                        : static_cast<unsigned long>(value);
    VWord digits[5];
    int count = 0;
    do {
        digits[count++] = magnitude % 10000;
        magnitude /= 10000;
    } while (magnitude != 0);
    VObj o = store_new(count + 1, value < 0 ? DAG_INTNEG : DAG_INTPOS);
    for (int i = 0; i < count; ++i) o[i + 1] = digits[i];
    return store_simplify(o);
}

long store_to_integer(const VWord* o) {
    const long digits = vl_length(o) - 1;
    if (digits > 3 || (digits == 3 && o[3] * 10000 + o[2] > 214747))
        vl_fatal("Integer too large to represent");
    long value = 0;
    for (long i = digits; i >= 1; --i) value = value * 10000 + long(o[i]);
    return vl_type(o) == DAG_INTNEG ? -value : value;
}

// ---- hash tables and names ----------------------------------------------------------------------
VObj store_hashtab(long slots) { return store_new(slots + 1, DAG_HASHTAB); }

VObj store_hash_bucket(const VWord* table, VWord key) {
    const long slots = vl_length(table) - 1;
    return vl_op(table, 1 + long(key % VWord(slots)));
}

VWord store_hash_get(const VWord* table, VWord key) {
    const VWord* bucket = store_hash_bucket(table, key);
    if (bucket == nullptr) return 0;
    for (long i = 1; bucket[i] != 0; i += 2)
        if (bucket[i] == key) return bucket[i + 1];
    return 0;
}

void store_hash_add(VObj table, VWord key, VWord value) {
    const long slots = vl_length(table) - 1;
    const long slot = 1 + long(key % VWord(slots));
    VObj bucket = vl_op(table, slot);
    if (bucket == nullptr) {
        bucket = store_new(kBucketWords, DAG_HASH);
        vl_set_op(table, slot, bucket);
    }
    long i = 1;
    for (; bucket[i] != 0; i += 2) {
        if (bucket[i] == key && (slots == 79 || slots == 251)) {
            bucket[i + 1] = value;
            return;
        }
    }
    bucket[i] = key;
    bucket[i + 1] = value;
    // The pair after the last one in use must stay free as the end mark.
    const long length = vl_length(bucket);
    if (bucket[length - 4] != 0) {
        const long extra = length > kBucketLarge ? i / 10 * 2 : kBucketStep;
        vl_set_op(table, slot, store_enlarge(bucket, extra));
    }
}

VWord store_text_hash(const char* text) {
    VWord h = 13;
    VWord i = 1;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p, ++i)
        h = (h + VWord(*p) * i) & 0x7FFFFFFF;
    return h;
}

namespace {
VObj new_name(const char* text, std::size_t length) {
    if (length > std::size_t(VL_MAX_NAME)) vl_fatal("name too long");
    VObj o = store_new(long(length / 8 + 3), DAG_NAME);
    std::memcpy(o + 2, text, length);   // the rest is already zero
    return o;
}
}  // namespace

VObj store_name(const char* text, VObj table, bool setLine) {
    const std::size_t length = std::strlen(text);
    if (length > std::size_t(VL_MAX_NAME)) vl_fatal("name too long");
    const VWord key = store_text_hash(text);
    if (const VWord* bucket = store_hash_bucket(table, key)) {
        for (long i = 1; bucket[i] != 0; i += 2) {
            const VWord* name = vl_op(bucket, i + 1);
            if (bucket[i] == key && std::strcmp(vl_name_text(name), text) == 0)
                return const_cast<VObj>(name);
        }
    }
    VObj name = new_name(text, length);
    if (setLine) vl_set_lines(name, storeLine, storeLine);
    store_hash_add(table, key, reinterpret_cast<VWord>(name));
    return name;
}

VObj store_name(const char* text) { return store_name(text, storeTables.names, false); }

VObj store_plain_name(const char* text) {
    VObj name = new_name(text, std::strlen(text));
    vl_set_lines(name, storeLine, storeLine);
    return name;
}

VObj store_string(const char* text) {
    const std::size_t length = std::strlen(text);
    if (length / 8 + 2 > std::size_t(VL_MAX_LENGTH)) vl_fatal("object too large");
    VObj o = store_new(long(length / 8 + 2), DAG_STRING);
    std::memcpy(o + 1, text, length);
    return o;
}

// ---- simplification and search ------------------------------------------------------------------
bool store_equal(const VWord* a, const VWord* b) {
    if (a == b) return true;
    if ((a[0] & VL_HEADER_KEY) != (b[0] & VL_HEADER_KEY)) return false;
    return std::memcmp(a + 1, b + 1, std::size_t(vl_length(a) - 1) * sizeof(VWord)) == 0;
}

VObj store_simplify(VObj o) {
    if (o == nullptr || vl_simplified(o)) return o;
    const unsigned type = vl_type(o);
    const long length = vl_length(o);
    if (type == DAG_FUNCTION) {
        for (long i = 1; i < length; ++i) vl_set_op(o, i, store_simplify(vl_op(o, i)));
        o[0] |= VL_SIMPLIFIED;
        return o;
    }
    if (type == DAG_PROC) {
        // A procedure keeps its own lines and scope: it is never shared.
        scoping_simplify_proc(o);
        o[0] |= VL_SIMPLIFIED;
        return o;
    }
    if (VObj found = simplify_find(o, simplify_hash(o))) return found;
    if (invalid_for_simplify(type)) {
        vl_dump(o, "simpl called with invalid object");
    } else if (!raw_operands(type)) {
        for (long i = 1; i < length; ++i) vl_set_op(o, i, store_simplify(vl_op(o, i)));
    }
    const VWord key = simplify_hash(o);
    if (VObj found = simplify_find(o, key)) return found;
    store_hash_add(storeTables.simplify, key, reinterpret_cast<VWord>(o));
    o[0] |= VL_SIMPLIFIED;
    return o;
}

VObj store_simplify_statement(VObj s) {
    if (s == nullptr || vl_simplified(s)) return s;
    const long length = vl_length(s);
    switch (vl_type(s)) {
    case DAG_STATSEQ:
        for (long i = 1; i < length; ++i) vl_set_op(s, i, store_simplify_statement(vl_op(s, i)));
        break;
    case DAG_IF:   // conditions and branches alternate; an odd last operand is the else branch
        for (long i = 1; i < length; ++i) {
            const bool branch = i % 2 == 0 || i == length - 1;
            vl_set_op(s, i, branch ? store_simplify_statement(vl_op(s, i)) : store_simplify(vl_op(s, i)));
        }
        break;
    case DAG_FOR:  // the body is the last operand
        for (long i = 1; i < length; ++i)
            vl_set_op(s, i, i == length - 1 ? store_simplify_statement(vl_op(s, i)) : store_simplify(vl_op(s, i)));
        break;
    case DAG_ASSIGN: case DAG_READ: case DAG_SAVE: case DAG_EQUATION:
        for (long i = 1; i < length; ++i) vl_set_op(s, i, store_simplify(vl_op(s, i)));
        break;
    case DAG_STOP:
        break;
    default:
        return store_simplify(s);
    }
    s[0] |= VL_SIMPLIFIED;
    return s;
}

bool store_contains(const VWord* o, const VWord* name) {
    if (o == nullptr) return false;
    const long length = vl_length(o);
    switch (vl_type(o)) {
    case DAG_NAME:
        return std::strcmp(vl_name_text(o), vl_name_text(name)) == 0;
    case DAG_INTNEG: case DAG_INTPOS: case DAG_RATIONAL: case DAG_FLOAT: case DAG_STRING:
    case DAG_LOCAL: case DAG_PARAM: case DAG_LEXICAL: case DAG_HFARRAY: case DAG_STOP:
    case DAG_GARBAGE: case 0:
        return false;
    case DAG_SERIES:   // the expansion point, then (coefficient, exponent) pairs
        if (store_contains(vl_op(o, 1), name)) return true;
        for (long i = 2; i < length; i += 2)
            if (store_contains(vl_op(o, i), name)) return true;
        return false;
    case DAG_HASH:     // (key, value) pairs: the keys are raw
        for (long i = 1; i + 1 < length && o[i] != 0; i += 2)
            if (store_contains(vl_op(o, i + 1), name)) return true;
        return false;
    case VL_USAGE:     // flags word, name
        return store_contains(vl_op(o, 2), name);
    default:
        if (vl_type(o) > DAG_GARBAGE) return false;
        for (long i = 1; i < length; ++i)
            if (store_contains(vl_op(o, i), name)) return true;
        return false;
    }
}
