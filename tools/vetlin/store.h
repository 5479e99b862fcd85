#pragma once
// The checker's object store: every parsed statement, name, number and bookkeeping list of
// `vetlin` is a word array with a one-word header, carved from chunks that the store takes from
// the console OS layer (os_alloc) and never gives back before the run ends (store_reset).  It is
// the checker's own store, not the expression library's: single-threaded, no garbage
// collection; objects live until the run ends unless a caller frees them.
//
// Header word (a VWord, 64 bits; the upper 32 bits stay 0):
//
// | bits  | meaning                                                                   |
// |-------|---------------------------------------------------------------------------|
// | 0-16  | length in words, header included (1 to 131071)                            |
// | 17-22 | type code (DagType of tovu/dag.h, plus the checker's 44 and 46 below)  |
// | 23-31 | 0x01000000 at creation: bits 24-31 read 1, bit 23 reads 0                  |
// | 31    | simplified flag (store_simplify)                                          |
//
// Two headers are equal for comparison when bits 0-22 are equal.
//
// Prefix word: the word before every object belongs to it.  The parser keeps there the first
// and last source line of statements and names, and a mark for names written in backquotes:
//
// | bits  | meaning                                                                   |
// |-------|---------------------------------------------------------------------------|
// | 0-29  | first source line (lines beyond 2^30 - 1 read as 2^30 - 1)                  |
// | 30-59 | last source line                                                          |
// | 60    | the name was written in backquotes                                        |
//
// A free block uses the same word as its link to the next free block; a free block of more than
// 8 words keeps its size (in words, prefix included) in its second word.
//
// Layouts the store itself relies on:
//   - INTPOS / INTNEG: the magnitude in base 10000, least significant digit first, a digit a
//     word.
//   - NAME: operand 1 a value slot (0, or an object the checker's own tables give it), then the
//     text, NUL-terminated, padded to whole words: n characters take n / 8 + 3 words.  At most
//     499 characters.
//   - STRING: the text from operand 1 on, NUL-terminated: n characters take n / 8 + 2 words.
//   - EXPSEQ: the elements; the EXPSEQ of length 1 is the NULL object.
//   - HASHTAB of length L: L - 1 bucket slots, each 0 or a HASH object; a HASH holds (key, value)
//     pairs ended by a 0 key, starting at 7 words.  Keys are positive machine integers.
//   - SUM and PROD: pairs of (term, coefficient).
//
// Every exhausted limit ends the run through the fatal path (run.h): "object too large",
// "name too long", "Integer too large to represent"; "Object too large (in enlarge)" and
// "Object too large (in allocating space (object too large))"; "System error (in new)" and
// "System error (in shrin1)" / "(in shrin2)".

#include <cstddef>
#include <cstdint>

#include "tovu/dag.h"

using VWord = std::uintptr_t;
using VObj = VWord*;

// The checker's own type codes beside DagType.
enum : unsigned {
    VL_END_OF_INPUT = 44,   // the parser's result at the end of the input
    VL_USAGE = 46,          // usage record: flags word, name object
};

constexpr long VL_MAX_LENGTH = 0x1FFFF;   // 131071 words
constexpr long VL_MAX_NAME = 499;         // characters of a name
constexpr VWord VL_MARKER = 0x01000000;   // bits 23-31 of every new header
constexpr VWord VL_SIMPLIFIED = VWord(1) << 31;
constexpr VWord VL_HEADER_KEY = 0x7FFFFF; // the header bits compared for equality

// ---- header, operands and prefix word ---------------------------------------------------------
inline long vl_length(const VWord* o) { return long(o[0] & 0x1FFFF); }
inline unsigned vl_type(const VWord* o) { return unsigned((o[0] >> 17) & 0x3F); }
inline VWord vl_header(unsigned type, long length) {
    return (VWord(type) << 17) | VWord(length) | VL_MARKER;
}
inline void vl_set_length(VObj o, long length) { o[0] = (o[0] & ~VWord(0x1FFFF)) | VWord(length); }
inline bool vl_simplified(const VWord* o) { return (o[0] & VL_SIMPLIFIED) != 0; }
inline VObj vl_op(const VWord* o, long i) { return reinterpret_cast<VObj>(o[i]); }
inline void vl_set_op(VObj o, long i, const VWord* v) { o[i] = reinterpret_cast<VWord>(v); }
inline const char* vl_name_text(const VWord* name) { return reinterpret_cast<const char*>(name + 2); }
inline const char* vl_string_text(const VWord* s) { return reinterpret_cast<const char*>(s + 1); }
inline bool vl_is_integer(const VWord* o) {
    return vl_type(o) == DAG_INTPOS || vl_type(o) == DAG_INTNEG;
}

constexpr long VL_MAX_LINE = (1L << 30) - 1;
long vl_first_line(const VWord* o);
long vl_last_line(const VWord* o);
void vl_set_lines(VObj o, long first, long last);
bool vl_backquoted(const VWord* o);
void vl_set_backquoted(VObj o, bool quoted);

// The type's name as the debug dump shows it; "unknown" for codes the checker does not know.
const char* vl_type_name(unsigned type);

// ---- run state --------------------------------------------------------------------------------
// Gives every chunk back and empties the free lists, the recent sequences and the tables: the
// next run starts from a fresh store.
void store_reset();

// The current input line, kept up to date by the reader; new names take it in their prefix.
extern long storeLine;

// The tables the run makes at start-up (store_make_tables): names (137 slots), simplification
// (1231 slots) and the procedure database (251 slots).
struct StoreTables {
    VObj names = nullptr;
    VObj simplify = nullptr;
    VObj database = nullptr;
};
extern StoreTables storeTables;
void store_make_tables();

// Chunks taken from the system so far (tests).
std::size_t store_chunk_count();

// ---- allocation ---------------------------------------------------------------------------------
// Storage for an n-word object (its prefix word comes with it, zeroed); the object's address.
VObj store_alloc(long n);
// Gives the n words of the object at `o` (and its prefix word) back; n <= 0 does nothing.
void store_free(VObj o, long n);

// ---- constructors and operations ----------------------------------------------------------------
VObj store_new(long length, unsigned type);                 // 1 to 131071 words, zeroed
VObj store_new_words(int words, unsigned type);             // 1 to 9 words ("new" otherwise)
// An object of the type with the given operands (0 to 8 of them).
template <typename... Ops>
VObj store_make(unsigned type, Ops... ops) {
    static_assert(sizeof...(Ops) <= 8, "at most 8 operands");
    VObj o = store_new_words(int(sizeof...(Ops)) + 1, type);
    long i = 1;
    ((o[i++] = VWord(ops)), ...);
    return o;
}
VObj store_enlarge(VObj o, long extra);        // frees `o`
VObj store_insert(VObj o, long position, long count);   // a copy with count zero words after position
void store_delete1(VObj o, long index);        // index 1 .. length - 1
void store_delete2(VObj o, long index);        // index 1 .. length - 2
void store_truncate(VObj o, long oldLength, long newLength);
VObj store_copy(const VWord* o);
void store_free_tree(VObj o);

// ---- growable sequences -----------------------------------------------------------------------
// An object with room for `capacity` words whose header says length 1; a GARBAGE filler covers
// the unused room right after the last element.  The store remembers the four sequences appended
// to most recently (a new sequence with room counts as one, or its room would never be used);
// only those keep their reserve.  Appends answer the sequence, which may have moved.
VObj store_sequence(long capacity, unsigned type);
VObj store_append1(VObj sequence, const VWord* item);
VObj store_append2(VObj sequence, const VWord* first, const VWord* second);
// The free reserve behind a sequence (0 unless it is among the recent four).
long store_reserve(const VWord* sequence);
bool store_is_recent(const VWord* sequence);

// ---- integers -----------------------------------------------------------------------------------
VObj store_integer(long value);                // INTPOS / INTNEG, simplified
// The value of an INTPOS / INTNEG of at most three digits whose upper two digits, read as one
// base-10000 number, are at most 214747; "Integer too large to represent" otherwise.
long store_to_integer(const VWord* o);

// ---- hash tables and names ----------------------------------------------------------------------
VObj store_hashtab(long slots);
// Adds (key, value), key > 0.  Tables of 79 and 251 slots replace the value of an equal key.
void store_hash_add(VObj table, VWord key, VWord value);
// The bucket (a HASH object) that holds `key`, or null.
VObj store_hash_bucket(const VWord* table, VWord key);
// The value of the first pair with `key`, or 0.
VWord store_hash_get(const VWord* table, VWord key);

VWord store_text_hash(const char* text);
// The unique NAME of the text in the table; a new one takes the current line when setLine.
VObj store_name(const char* text, VObj table, bool setLine);
VObj store_name(const char* text);             // in the names table, no line
VObj store_plain_name(const char* text);       // a new NAME every time, with the current line
VObj store_string(const char* text);

// ---- simplification and search ------------------------------------------------------------------
VObj store_simplify(VObj o);
// Simplifies a statement: its expressions are shared as store_simplify shares them, but the
// statement objects (assignments, loops, conditionals, sequences, READ, SAVE, STOP and equations
// used as statements) stay objects of their own, since their prefix words carry the lines of
// their own occurrence.  Procedures are never shared either.
VObj store_simplify_statement(VObj s);
bool store_equal(const VWord* a, const VWord* b);
bool store_contains(const VWord* o, const VWord* name);
