#pragma once
// Expression DAGs: blocks of words whose first word (the header) gives the type and the length,
// followed by operands that point at other DAGs or hold immediate values.  Sub-expressions are
// shared freely.  Every DAG lives in a storage area (storage.h) and is released with it.
//
// Header word:
//
// | bits  | meaning                                                            |
// |-------|--------------------------------------------------------------------|
// | 0-16  | length in words, header included (1 to 131071)                     |
// | 17-22 | type code (1-46 below; 0 for untyped scratch blocks)               |
// | 23-   | 0; tests of a header compare its low 23 bits only                  |
//
// A word is a DagWord (uintptr_t).  Operand i (1-based) is d[i]: a Dag pointer, or an immediate
// machine integer for the few types that hold one (LOCAL, PARAM, LEXICAL indices, SERIES
// exponents, HFARRAY count and bounds).  NAME and STRING keep their NUL-terminated text from
// word 3 on, so their length is (text length + 1 + 7) / 8 + 3 words.
//
// Integers: INTPOS/INTNEG hold the magnitude in base-10000 digits, one digit a word, least
// significant first, no leading zero digit (zero is the single digit 0).  NULL is the EXPSEQ of
// length 1.  Names and strings built through dag_intern exist once per text (see below).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "storage.h"

using Dag = DagWord*;
using K_INT = std::int32_t;

enum DagType : unsigned {
    DAG_INTNEG = 1, DAG_INTPOS = 2, DAG_RATIONAL = 3, DAG_FLOAT = 4, DAG_STRING = 5,
    DAG_NAME = 6, DAG_TABLEREF = 7, DAG_DCOLON = 8, DAG_CATENATE = 9, DAG_POWER = 10,
    DAG_PROD = 11, DAG_SERIES = 12, DAG_SUM = 13, DAG_FUNCTION = 14, DAG_UNEVAL = 15,
    DAG_EQUATION = 16, DAG_INEQUAT = 17, DAG_LESSEQ = 18, DAG_LESSTHAN = 19, DAG_AND = 20,
    DAG_NOT = 21, DAG_OR = 22, DAG_EXPSEQ = 23, DAG_LIST = 24, DAG_LOCAL = 25, DAG_PARAM = 26,
    DAG_LEXICAL = 27, DAG_PROC = 28, DAG_RANGE = 29, DAG_SET = 30, DAG_TABLE = 31,
    DAG_HFARRAY = 32, DAG_ASSIGN = 33, DAG_FOR = 34, DAG_IF = 35, DAG_READ = 36, DAG_SAVE = 37,
    DAG_STATSEQ = 38, DAG_STOP = 39, DAG_HASH = 40, DAG_HASHTAB = 41, DAG_GARBAGE = 42,
    DAG_FOREIGN = 43, DAG_CONTROL = 44, DAG_PROMPT = 45, DAG_DEBUG = 46,
};
constexpr unsigned DAG_TYPE_COUNT = 46;
constexpr std::size_t DAG_MAX_LENGTH = 0x1FFFF;

// Type names indexed by code - 1 ("INTNEG" ... "DEBUG").
extern const char* const dag_type_names[DAG_TYPE_COUNT];

// ---- header and operand access -----------------------------------------------------------
inline DagWord dag_header(unsigned type, std::size_t length) {
    return (DagWord(type) << 17) | DagWord(length);
}
inline std::size_t dag_length(const DagWord* d) { return d[0] & 0x1FFFF; }
inline unsigned dag_type(const DagWord* d) { return unsigned((d[0] >> 17) & 0x3F); }
inline bool dag_is_null(const DagWord* d) { return (d[0] & 0x7FFFFF) == 0x2E0001; }
inline Dag dag_op(const DagWord* d, std::size_t i) { return reinterpret_cast<Dag>(d[i]); }
inline void dag_set_op(Dag d, std::size_t i, const DagWord* v) { d[i] = reinterpret_cast<DagWord>(v); }
inline std::intptr_t dag_word(const DagWord* d, std::size_t i) { return std::intptr_t(d[i]); }
// Text of a NAME or STRING.
inline const char* dag_text(const DagWord* d) { return reinterpret_cast<const char*>(d + 3); }
inline char* dag_text(Dag d) { return reinterpret_cast<char*>(d + 3); }
inline bool dag_is_integer(const DagWord* d) {
    return dag_type(d) == DAG_INTPOS || dag_type(d) == DAG_INTNEG;
}

// ---- shared constants (made once per process in an area that is never freed) -------------
extern Dag dag_NULL;                 // the empty EXPSEQ
extern Dag dag_intpos[140];          // INTPOS 0 .. 139, by value
extern Dag dag_intneg[140];          // INTNEG 1 .. 140, by magnitude - 1
extern Dag dag_zero, dag_one, dag_minus_one;

// ---- built-in names -------------------------------------------------------------------------
constexpr int DAG_BUILTIN_COUNT = 217;
extern const char* const dag_builtin_texts[DAG_BUILTIN_COUNT];   // in their fixed order
extern Dag dag_builtins[DAG_BUILTIN_COUNT];                      // interned NAMEs
int dag_builtin_index(std::string_view text);                    // -1 when not built in
// A few indices other modules use by number.
enum : int {
    BUILTIN_DIGITS = 5, BUILTIN_FAIL = 6, BUILTIN_NULL = 8, BUILTIN_O = 10, BUILTIN_PI = 12,
    BUILTIN_BUILTIN = 23, BUILTIN_FALSE = 27, BUILTIN_INFINITY = 30, BUILTIN_TRUE = 49,
};

// ---- constructors (current area) ------------------------------------------------------------
Dag dag_new0(unsigned type);
Dag dag_new1(unsigned type, const DagWord* a);
Dag dag_new2(unsigned type, const DagWord* a, const DagWord* b);
Dag dag_new3(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c);
Dag dag_new4(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c, const DagWord* d);
Dag dag_new8(unsigned type, const DagWord* a, const DagWord* b, const DagWord* c, const DagWord* d,
             const DagWord* e, const DagWord* f, const DagWord* g, const DagWord* h);
// Every constructor raises "object too large" through tovu_error for a length above
// DAG_MAX_LENGTH.
Dag dag_new(std::size_t n, unsigned type);           // n words, operands zeroed
Dag dag_new_plain(std::size_t n);                    // type 0
Dag dag_new_with2(std::size_t n, unsigned type, const DagWord* a, const DagWord* b);
Dag dag_new_float(Dag mantissa, Dag exponent);       // "integer too large in context"
// The shared zero for 0; a new INTPOS or INTNEG otherwise (the DAG writer numbers every one of
// them as a node of its own, so sharing more constants would change the written text).
Dag dag_of_int(long v);
Dag hash_new(std::size_t buckets);                   // HASHTAB of buckets + 1 words

// ---- copies and edits (the source is never changed) ---------------------------------------
Dag dag_copy(const DagWord* d);
Dag dag_extend(Dag d, std::size_t n);
Dag dag_append1(Dag d, const DagWord* a);
Dag dag_append2(Dag d, const DagWord* a, const DagWord* b);
Dag dag_insert_words(Dag d, std::size_t position, std::size_t n);
Dag dag_remove_words(Dag d, std::size_t position, std::size_t n);
Dag dag_slice(Dag d, std::size_t start, std::size_t n);

// ---- DAG hash tables -------------------------------------------------------------------------
// Keys are never 0.  hash_find answers the key's pair (pair[0] key, pair[1] value) or
// DAG_HASH_ABSENT.
using DagKey = DagWord;
extern DagWord* const DAG_HASH_ABSENT;   // the marker 3
DagWord* hash_find(DagKey key, Dag table);
void hash_insert(DagKey key, DagWord value, Dag table);
void hash_remove(DagKey key, Dag table);
void hash_clear(Dag table, bool release);
std::size_t hash_count(Dag table);

// Interned NAMEs and STRINGs exist once per text and live for the whole process in blocks of
// their own, whichever area is current when they are interned; nothing frees them, not even
// storage_reset, so they are compared by address across every area.  Their value (word 1) and
// attributes (word 2) are set only through dag_set_interned_field: a word that points into an
// area is set back to its fresh state (value null, attributes NULL) when that area's blocks are
// freed, and storage_reset sets every such word back.  The price: a process keeps every
// distinct text it ever read (about 60 bytes and the text's own length each), as the kernel
// keeps every distinct name in its own table; nothing can tell when no DAG refers to a name
// any more, since DAGs of any area hold names by address.
std::uint32_t text_hash(const char* text);
Dag dag_intern(const char* text, unsigned type);     // NAME or STRING
Dag dag_name(const char* text);
void dag_set_interned_field(Dag d, std::size_t i, const DagWord* value);   // i: 1 or 2
// Called by the storage code before an area's blocks are freed.
void dag_names_forget_area(const StorageArea* area);
// The pair (text hash, DAG) of an interned text, valid for the whole process; or
// DAG_HASH_ABSENT.
DagWord* dag_lookup_text(const char* text, unsigned type);
DagWord* dag_find_name(const char* text);
DagWord* dag_find_string(const char* text);
void dag_keep(Dag d);
bool dag_unkeep(Dag d);
void dag_unkeep_checked(Dag d);                      // assertion when d was not kept
void dag_forget_keep();                              // drops the keep table (storage_reset)
// The back-reference table shared by the DAG text reader and writer, and the deep-copy table.
Dag dag_backref_table();
Dag dag_copied_table();

void dag_init_constants();
// Sets the fields of interned names back to their fresh state, makes the back-reference and
// deep-copy tables in the current area, and interns the built-in names the first time.
void dag_init_names();
void dag_init();
// Starts the library for a program, test or tool: the constants, the default storage area as
// the only entry of the area stack, and the name tables with the built-in names.  Idempotent:
// only the first call of a process does anything.
void tovu_start();

// ---- integer arithmetic on K_INT and doubles ---------------------------------------------------
K_INT arith_to_int(const DagWord* d);                // "integer too large for K_INT"
double arith_to_double(const DagWord* d);
long arith_digit_count(const DagWord* d);
bool arith_is_negative(const DagWord* d);
Dag dag_join_digits(Dag high, Dag low);
void dag_set_last_number_digits(int count);          // set by the scanner for dag_join_digits

// ---- walker ------------------------------------------------------------------------------------
// The visitor gets the address of the word that points at the DAG.  1 stops everything, 2 skips
// the DAG's operands.
using DagVisitor = int (*)(DagWord* slot, void* context1, void* context2);
int dag_walk(DagWord* slot, DagVisitor visitor, void* context1, void* context2);
bool dag_walk_complete(DagWord* slot, DagVisitor visitor, void* context1, void* context2);

// ---- other ---------------------------------------------------------------------------------------
Dag dag_attributes(const DagWord* d);
void hfarray_alloc(Dag array, std::size_t count);
void hfarray_copy_data(Dag to, const DagWord* from);
inline double* hfarray_data(const DagWord* d) { return reinterpret_cast<double*>(d[1]); }

// Structural equality (same types, lengths, immediates and texts; operands compared
// recursively), used by tests and by code that compares expressions by value.
bool dag_equal(const DagWord* a, const DagWord* b);
// Builds integers from and to decimal text (any size; a leading "-" for negatives).
Dag dag_integer_from_text(std::string_view decimal);
std::string dag_integer_to_text(const DagWord* d);
