#pragma once
// The source update facility: brings a text written for the previous release of the language up
// to date, in place, in the caller's buffer.
//
// Pass 1 scans the raw text (names, quoted names, runs of double quotes, comments) and looks
// every token of at most 40 characters up in a table of 41 rewrite rules: a rule either replaces
// the token (the old ditto `"` becomes `%`, rgf_seq becomes ratseq, ...) or flags it with a
// warning line.  Pass 2 parses the text statement by statement with the language parser, turns
// the obsolete single colon of parameter declarations into `::`, and checks every procedure for
// the lexical scoping rules: names of enclosing procedures used inside a nested one, and names
// assigned without a declaration (which become implicit locals).
//
// A warning line is "### WARNING: <message>\n", inserted at the start of the line that holds the
// flagged text (for a scope warning: the line where the statement begins).  Every change and
// every warning is also passed to the caller's notify callback.
//
// State is process-wide: one run at a time.  Lengths, positions and the capacity are signed
// 32-bit, so a buffer is at most 2^31 - 1 bytes.
//
// Errors: "text to replace does not match", "out of space to perform replacement" (the text
// would reach `capacity` bytes with its NUL) and the first parse error of pass 2 ("on line %d,
// ..." or "unexpected end of input") are raised through tovu_error after the text has been
// updated up to that point; the caller must have a library handler in place (errors.h).

#include <cstdint>

#include "tovu/dag.h"

// Called for each rewrite and each warning: the position of the flagged text in the updated
// buffer and the message.
using UpdateNotify = void (*)(void* context, std::int32_t position, const char* message);

// Runs both passes over the NUL-terminated `text` in a buffer of `capacity` bytes.  0 on success.
int update_source(char* text, std::int32_t capacity, UpdateNotify notify, void* context);

// ---- the pieces, for the facility's tests -------------------------------------------------------
// One row of the rewrite table.
struct UpdateRule {
    const char* oldText;
    char context;              // ' ' any context; '(' only before an open parenthesis
    const char* replacement;   // or null
    const char* warning;       // or null
    bool special;              // the double-quote handler (a blank before a following name)
};
constexpr int UPDATE_RULE_COUNT = 41;
extern const UpdateRule update_rules[UPDATE_RULE_COUNT];

// Longest token pass 1 looks up.
constexpr int UPDATE_MAX_TOKEN = 40;

// Pass 1 alone over the buffer (same errors as update_source).
void update_pass1(char* text, std::int32_t capacity, UpdateNotify notify, void* context);

// The scope check of one parsed statement (the second pass runs it on every statement).  Warnings
// go to `report(context, message)`; procedures are changed in place: implicit locals are appended
// to their locals, the lexical references go into their eighth operand as (name, reference)
// pairs, and names in their bodies become PARAM, LOCAL and LEXICAL references.
using UpdateScopeReport = void (*)(void* context, const char* message);
void update_scope_check(Dag statement, UpdateScopeReport report, void* context);
