#pragma once
// The word side of the help databases: the word parser `wparse` (folding, stop words, suffix
// rules), the word scanner that counts the words of a page or a query, the words of a stored
// help page, and the normalisation of a typed help query ("?int", "??plot", "?:=").
//
// Folding: each byte is looked up by its unsigned value (code page 1252 / ISO 8859-1 letters):
// A-Z and a-z give the lower-case letter, accented Latin letters their base letter ("ae" for the
// ligature, "ss" for sharp s, eth and thorn stay as the bytes 240 and 254); every other byte
// (digits, punctuation, white space, 128-191, 215, 247) separates words.  A word is cut at 127
// characters; the rest of its characters are passed over.
//
// Suffix stripping, for a folded word of length n that is not a stop word, the first that
// applies: n > 10 and its last 5 characters are a suffix of the table; n > 9 and the last 4;
// n > 6 and the last 3; n > 5 and the last 2; n >= 5 and the last one.  The suffix is replaced
// by its replacement text, or removed when it has none.  Only one suffix is stripped.
//
// Word records (HWord) live in the storage area the caller gives and survive the scanner; the
// parser and scanner own nothing else the caller must free beyond wparse_delete /
// wordscanner_finish.

#include <cstddef>

struct StorageArea;
struct WParse;
struct WordScanner;

// A counted word: count of occurrences, next record, the NUL-terminated word.
struct HWord {
    int count;
    HWord* next;
    char* word;
};

struct WParseSuffix {
    const char* suffix;        // null ends a list
    const char* replacement;   // null: the suffix is removed
};

using WParseCallback = void (*)(void* user, const char* word);

// The default tables: 69 stop words (one of them twice) and 36 suffix rules.
extern const char* const wparse_default_stop_words[];
extern const WParseSuffix wparse_default_suffixes[];

constexpr std::size_t WPARSE_MAX_WORD = 127;

// Null lists select the defaults; a list whose first element ends it means no stop words /
// no suffix rules.
WParse* wparse_create(const char* const* stopWords, const WParseSuffix* suffixes,
                      WParseCallback callback, void* user);
void wparse_delete(WParse* parser);
// Splits the NUL-terminated text into words and hands each passing word to the callback.
void wparse_text(WParse* parser, const char* text);
// The same over `length` bytes (NUL bytes separate words).
void wparse_bytes(WParse* parser, const char* text, std::size_t length);

// Mode 0: text (default tables); mode 1: aliases (no stop words, no suffix rules).
WordScanner* wordscanner_create(StorageArea* area, int mode);
void wordscanner_add_text(WordScanner* scanner, const char* text);
// The distinct words in order of first appearance; frees the scanner.
HWord* wordscanner_finish(WordScanner* scanner);

// The words of a help page: the text of every double-quoted string of the worksheet text (a
// backslash inside quotes takes the next character literally; an unclosed quote ends the scan).
HWord* hdb_page_words(StorageArea* area, const char* text, std::size_t length);

// Normalises a query typed as "?topic", "??topic" (section "usage") or "???topic" (section
// "examples").  Returns the topic, valid at least until the next call (a built topic lives in a
// buffer that the next call overwrites); *section receives
// "usage", "examples" or null.
const char* help_query_normalise(const char* query, const char** section);

// Sorts a list of records whose first field is an int score, greatest first (stable).
template <class Record>
Record* help_sort_by_score(Record* list);

#include "help/hwords_sort.h"
