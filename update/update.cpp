// The source update facility (see update.h).
//
// Edits are not made in the buffer as they come: each pass reads the text as it was when the
// pass began (the "pass text") and queues its insertions and replacements, which are applied in
// one sweep when the pass ends or is abandoned by an error.  Moving the rest of the buffer for
// every warning line made a run quadratic in the number of edits; the sweep keeps it linear in
// the text and n log n in the edits.
//
// Invariants of a pass:
//   1. text[length] is the NUL of the pass text, which does not change during the pass;
//      `updatedLength` is its length with the queued edits applied, always < capacity.
//   2. Every position of the pass (reading position, token and statement starts, edit places)
//      is an index into the pass text.  An edit at `at` goes after the insertions queued
//      earlier at `at` and, when it is an insertion, before a replacement starting at `at`;
//      replacements never overlap (each replaces text behind the previous one's end).
//   3. The place of a pass position q in the updated text is q plus the length changes of the
//      insertions at or before q and of the replacements that start before q (a replacement
//      starting at q leaves q on its new text); `shifts` sums them when a callback needs it.
//   4. The reader never looks past the NUL; `line` counts the line ends it has read (warning
//      lines are inserted behind the reading position and are never counted).
//   5. Whatever ends a pass, error or not, applies its queued edits first, so the buffer holds
//      the text updated up to that point.
#include "update/update.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "tovu/errors.h"
#include "tovu/parse_driver.h"
#include "tovu/scan.h"

// ---- the rewrite table ---------------------------------------------------------------------------
#define OBSOLETE_FUNCTION(op) \
    op " is now a function and care needs to be taken when it is used in structured types"
#define DAG_NUMBERS(name) \
    "DAG numbers for `" name "` have changed; use kernelopts(dagtag=...)"

const UpdateRule update_rules[UPDATE_RULE_COUNT] = {
    {"\"", ' ', "%", nullptr, true},
    {"\"\"", ' ', "%%", nullptr, true},
    {"\"\"\"", ' ', "%%%", nullptr, true},
    {"string", ' ', nullptr, "semantics of type `string` have changed", false},
    {"readline", '(', nullptr, "`readline` now returns a string", false},
    {"UNKNOWN", ' ', nullptr, "`UNKNOWN` is a protected name", false},
    {"maxorder", '(', "integral_basis", nullptr, false},
    {"rgf_seq", ' ', "ratseq", nullptr, false},
    {"arccoth", '(', nullptr, "definition of `arccoth` has changed", false},
    {"Testzero", ' ', nullptr, "`Testzero` is now initialized", false},
    {"degree", ' ', nullptr, "degree(0,x) now returns -infinity", false},
    {"ldegree", ' ', nullptr, "ldegree(0,x) now returns infinity", false},
    {"Beta", '(', nullptr, "`Beta` now sorts its arguments", false},
    {"define", '(', nullptr, "usage of `define` has changed", false},
    {"inttrans", '(', nullptr, "semantics of `inttrans` has changed", false},
    {"assemble", '(', nullptr, DAG_NUMBERS("assemble"), false},
    {"disassemble", '(', nullptr, DAG_NUMBERS("disassemble"), false},
    {"pointto", '(', nullptr, DAG_NUMBERS("pointto"), false},
    {"addressof", '(', nullptr, DAG_NUMBERS("addressof"), false},
    {"builtin", ' ', nullptr, "built-in function numbers have changed", false},
    {"dsolve", '(', nullptr,
     "`dsolve` has been extensively rewritten, many new result forms can occur and options are "
     "slightly different, see help page for details", false},
    {"galois", '(', nullptr, "`galois` output has changed; see help page for details", false},
    {"symbol", ' ', nullptr,
     "the definition of the type `symbol` has changed'; see help page for details", false},
    {"MeijerG", '(', nullptr, "the definition of MeijerG has changed; see help page for details",
     false},
    {"grobner", ' ', nullptr,
     "the grobner package is obsolete and has been replaced with the Groebner package", false},
    {"blockmatrix", ' ', nullptr, "calling sequence has changed; see help page for details",
     false},
    {"statplots", ' ', nullptr,
     "the statplots sub-package has been completely rewritten; see the help pages for details",
     false},
    {"define", '(', nullptr,
     "the define command has been completely rewritten and is incompatible with the old one;  "
     "see the help page for details", false},
    {"^", '(', nullptr, OBSOLETE_FUNCTION("^"), false},
    {"**", '(', nullptr, OBSOLETE_FUNCTION("**"), false},
    {"<", '(', nullptr, OBSOLETE_FUNCTION("<"), false},
    {"<=", '(', nullptr, OBSOLETE_FUNCTION("<="), false},
    {">=", '(', nullptr, OBSOLETE_FUNCTION(">="), false},
    {"=", '(', nullptr, OBSOLETE_FUNCTION("="), false},
    {"<>", '(', nullptr, OBSOLETE_FUNCTION("<>"), false},
    {">", '(', nullptr, OBSOLETE_FUNCTION(">"), false},
    {"sprintf", '(', nullptr, "sprintf now outputs strings; nprintf can be used if names are wanted",
     false},
    {"maxorder", '(', nullptr,
     "maxorder has been split into numtheory[integral_basis] and algcurves[integral_basis]",
     false},
    {"dispersion", ' ', nullptr,
     "LREtools[dispersion] has changed definition; see help page for details", false},
    {"stack", ' ', nullptr,
     "linalg[stack] has been renamed linalg[stackmatrix] to avoid collision with mainline stack",
     false},
    {"sscanf", ' ', nullptr, "sscanf now returns a string for the %s format instead of a name",
     false},
};

namespace {

// ---- facility state --------------------------------------------------------------------------------
// One queued edit: `oldLength` bytes of the pass text at `at` (0 for an insertion) become the
// `newLength` bytes at `newOffset` of Facility::newTexts.
struct Edit {
    std::int32_t at;
    std::int32_t oldLength;
    std::size_t newOffset;
    std::int32_t newLength;
};

struct Facility {
    char* text = nullptr;
    std::int32_t capacity = 0;
    UpdateNotify notify = nullptr;
    void* context = nullptr;
    std::int32_t length = 0;           // of the pass text
    std::int32_t updatedLength = 0;    // with the queued edits applied
    std::int32_t position = 0;
    std::int32_t line = 1;
    int previous = '\n';
    std::int32_t tokenStart = 0;
    std::int32_t statementStart = 0;
    // Queued edits of the pass, in the order they were made; their new texts back to back.
    std::vector<Edit> edits;
    std::string newTexts;
    std::int32_t replacedUpTo = 0;     // end of the last replacement
    std::vector<std::uint32_t> shifts; // Fenwick tree of length changes (see shift_before)
    // Cache of line_start: no line end lies in [lineStart, lineQuery).
    std::int32_t lineQuery = 0;
    std::int32_t lineStart = 0;
    // Second pass.
    bool parseFailed = false;
    std::string parseError;
    bool fatalSeen = false;     // a facility error inside a parse callback
    std::string fatalError;
};

Facility fac;

bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_name_char(int c) { return is_letter(c) || (c >= '0' && c <= '9') || c == '_'; }
bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// ---- reader -------------------------------------------------------------------------------------------
// The character at `position`, advancing; -1 at the NUL.  A line whose first character is "!"
// or "?" (commands to the old front end) is passed over up to its line end.
int read_char() {
    if (fac.position >= fac.length) return -1;
    int c = static_cast<unsigned char>(fac.text[fac.position]);
    if (fac.previous == '\n' && (c == '!' || c == '?')) {
        while (fac.position < fac.length && fac.text[fac.position] != '\n') ++fac.position;
        if (fac.position >= fac.length) return -1;
        c = '\n';
    }
    ++fac.position;
    if (c == '\n') ++fac.line;
    fac.previous = c;
    return c;
}

// ---- editing ------------------------------------------------------------------------------------------
// Length changes are summed in a Fenwick tree keyed by where they start to count: an insertion
// at p counts from p on, a replacement at p from p + 1 on (invariant 3).  The sums are taken
// modulo 2^32: every true prefix sum fits in 32 bits with its sign, so the wrapped result is
// exact.  The tree is only built when there is a callback to tell positions to.
void add_shift(std::int32_t key, std::int32_t difference) {
    if (fac.notify == nullptr) return;
    if (fac.shifts.empty()) fac.shifts.assign(std::size_t(fac.length) + 3, 0);
    for (std::size_t i = std::size_t(key) + 1; i < fac.shifts.size(); i += i & (~i + 1))
        fac.shifts[i] += std::uint32_t(difference);
}

std::int32_t shift_before(std::int32_t key) {
    std::uint32_t sum = 0;
    if (fac.shifts.empty()) return 0;
    for (std::size_t i = std::size_t(key) + 1; i > 0; i -= i & (~i + 1)) sum += fac.shifts[i];
    return std::int32_t(sum);
}

// Where the pass position `at` lies in the updated text.
std::int32_t updated_position(std::int32_t at) { return at + shift_before(at); }

// Queues the replacement of `old` at `at` by `replacement` (an insertion when `old` is empty).
void replace_text(const char* old, std::int32_t at, const char* replacement) {
    std::size_t oldLength = std::strlen(old);
    std::size_t newLength = std::strlen(replacement);
    if (at < 0 || at > fac.length || std::size_t(fac.length - at) < oldLength ||
        std::memcmp(fac.text + at, old, oldLength) != 0 ||
        (oldLength != 0 && at < fac.replacedUpTo)) {
        tovu_error("text to replace does not match");
    }
    std::int64_t difference = std::int64_t(newLength) - std::int64_t(oldLength);
    if (std::int64_t(fac.updatedLength) + difference >= fac.capacity)
        tovu_error("out of space to perform replacement");
    fac.edits.push_back(Edit{at, std::int32_t(oldLength), fac.newTexts.size(),
                             std::int32_t(newLength)});
    fac.newTexts.append(replacement, newLength);
    fac.updatedLength += std::int32_t(difference);
    if (oldLength != 0) fac.replacedUpTo = at + std::int32_t(oldLength);
    add_shift(oldLength == 0 ? at : at + 1, std::int32_t(difference));
}

// Applies the queued edits to the buffer in one sweep; the updated text becomes the pass text.
void apply_edits() {
    if (fac.edits.empty()) return;
    // Invariant 2: by place, insertions before a replacement at the same place, else in order.
    std::stable_sort(fac.edits.begin(), fac.edits.end(), [](const Edit& a, const Edit& b) {
        return a.at != b.at ? a.at < b.at : (a.oldLength == 0 && b.oldLength != 0);
    });
    std::string updated;
    updated.reserve(std::size_t(fac.updatedLength));
    std::int32_t from = 0;
    for (const Edit& e : fac.edits) {
        updated.append(fac.text + from, std::size_t(e.at - from));
        updated.append(fac.newTexts, e.newOffset, std::size_t(e.newLength));
        from = e.at + e.oldLength;
    }
    updated.append(fac.text + from, std::size_t(fac.length - from));
    std::memcpy(fac.text, updated.c_str(), updated.size() + 1);
    fac.length = std::int32_t(updated.size());
    fac.updatedLength = fac.length;
    fac.edits.clear();
    fac.newTexts.clear();
    fac.replacedUpTo = 0;
    fac.shifts.clear();
    fac.lineQuery = fac.lineStart = 0;
}

// Runs one pass; its edits reach the buffer however it ends.
template <typename F>
void run_pass(F&& pass) {
    try {
        pass();
    } catch (...) {
        apply_edits();
        throw;
    }
    apply_edits();
}

// The start of the line that holds `at`.  Queries come in nearly increasing order, so the last
// answer is kept: without it one long line with many warnings would be scanned once for each.
std::int32_t line_start(std::int32_t at) {
    if (at > fac.length) at = fac.length;
    if (at >= fac.lineStart && at <= fac.lineQuery) return fac.lineStart;
    std::int32_t stop = at > fac.lineQuery ? fac.lineQuery : 0;
    std::int32_t start = at;
    while (start > stop && fac.text[start - 1] != '\n') --start;
    if (start == stop && at > fac.lineQuery) start = fac.lineStart;
    fac.lineQuery = at;
    fac.lineStart = start;
    return start;
}

// Reports a message about the text at `at`; with `insertLine` a warning line goes in above it.
// The callback gets where the flagged text lies in the updated text.
void report(std::int32_t at, const char* message, bool insertLine) {
    if (insertLine) {
        std::string warning = std::string("### WARNING: ") + message + "\n";
        replace_text("", line_start(at), warning.c_str());
    }
    if (fac.notify != nullptr) fac.notify(fac.context, updated_position(at), message);
}

void start_run(char* text, std::int32_t capacity, UpdateNotify notify, void* context) {
    fac = Facility{};
    fac.text = text;
    fac.capacity = capacity;
    fac.notify = notify;
    fac.context = context;
    std::size_t n = capacity > 0 ? strnlen(text, std::size_t(capacity)) : 0;
    // A text that fills the whole buffer leaves no room even for its NUL.
    if (capacity <= 0 || n >= std::size_t(capacity)) tovu_error("out of space to perform replacement");
    fac.length = std::int32_t(n);
    fac.updatedLength = fac.length;
}

void restart_reader() {
    fac.position = 0;
    fac.line = 1;
    fac.previous = '\n';
}

// ---- first pass ---------------------------------------------------------------------------------------
enum class ScanMode { Plain, Quotes, QuotedName, Comment, Name };

// The next non-blank character after `end`, or -1 at the end of the text.
int context_after(std::int32_t end) {
    while (end < fac.length && is_blank(static_cast<unsigned char>(fac.text[end]))) ++end;
    return end < fac.length ? static_cast<unsigned char>(fac.text[end]) : -1;
}

// A token of pass 1 has ended at buffer index `end` (its closing backquote included): looks it
// up and applies every matching row.
void finish_token(const std::string& token, bool tooLong, std::int32_t end) {
    if (tooLong || token.empty()) return;
    int context = -2;   // computed on first need
    for (const UpdateRule& rule : update_rules) {
        if (token != rule.oldText) continue;
        if (rule.context != ' ') {
            if (context == -2) context = context_after(end);
            if (context != rule.context) continue;
        }
        char message[512];
        if (rule.replacement != nullptr) {
            if (rule.special) {
                std::int32_t after = fac.tokenStart + std::int32_t(std::strlen(rule.oldText));
                if (after < fac.length && is_name_char(static_cast<unsigned char>(fac.text[after])))
                    replace_text("", after, " ");
            }
            replace_text(rule.oldText, fac.tokenStart, rule.replacement);
        }
        if (rule.warning != nullptr)
            std::snprintf(message, sizeof message, "%s", rule.warning);
        else if (rule.replacement != nullptr)
            std::snprintf(message, sizeof message, "`%s` has been replaced by `%s`", rule.oldText,
                          rule.replacement);
        else
            std::snprintf(message, sizeof message, "`%s` is no longer available", rule.oldText);
        report(fac.tokenStart, message, rule.replacement == nullptr);
    }
}

void run_pass1() {
    restart_reader();
    ScanMode mode = ScanMode::Plain;
    std::string token;
    bool tooLong = false;
    auto collect = [&](int c) {
        if (token.size() < std::size_t(UPDATE_MAX_TOKEN)) token.push_back(char(c));
        else tooLong = true;
    };
    auto start = [&](ScanMode m, std::int32_t at) {
        mode = m;
        fac.tokenStart = at;
        token.clear();
        tooLong = false;
    };
    for (;;) {
        int before = fac.previous;
        int c = read_char();
        if (c < 0) {
            if (mode == ScanMode::Quotes || mode == ScanMode::Name || mode == ScanMode::QuotedName)
                finish_token(token, tooLong, fac.length);
            return;
        }
        switch (mode) {
        case ScanMode::Quotes:
            if (c == '"') { collect(c); continue; }
            finish_token(token, tooLong, fac.position - 1);
            break;
        case ScanMode::Name:
            if (is_name_char(c)) { collect(c); continue; }
            finish_token(token, tooLong, fac.position - 1);
            break;
        case ScanMode::QuotedName:
            if (c == '`' && before != '\\') {
                finish_token(token, tooLong, fac.position);
                mode = ScanMode::Plain;
            } else if (c == '\n' && before != '\\') {
                finish_token(token, tooLong, fac.position - 1);
                mode = ScanMode::Plain;
            } else {
                collect(c);
            }
            continue;
        case ScanMode::Comment:
            if (c == '\n') mode = ScanMode::Plain;
            continue;
        case ScanMode::Plain:
            break;
        }
        // Plain: the character that ended a token is looked at again here.
        mode = ScanMode::Plain;
        if (c == '"') {
            start(ScanMode::Quotes, fac.position - 1);
            collect(c);
        } else if (c == '#') {
            mode = ScanMode::Comment;
        } else if (c == '`') {
            start(ScanMode::QuotedName, fac.position);
        } else if (is_name_char(c)) {
            start(ScanMode::Name, fac.position - 1);
            collect(c);
        }
    }
}

// ---- second pass ----------------------------------------------------------------------------------------
// Characters the scanner holds as its lookahead (read from the text, not yet used).
std::int32_t pending_characters() {
    return scan.lookahead != -2 ? scan.lookaheadWidth : 0;
}

// The last character the scanner has used.
std::int32_t scanner_at() {
    std::int32_t at = fac.position - pending_characters() - 1;
    return at < 0 ? 0 : at;
}

// A facility error inside a parse callback: kept, and the parse abandoned; update_source raises
// it once the parse has unwound.
template <typename F>
void guarded(F&& f) {
    try {
        TovuHandlerGuard guard;
        f();
    } catch (const TovuError& e) {
        fac.fatalSeen = true;
        fac.fatalError = e.message;
        throw LangParseAbort{};
    }
}

int source_char(void*) {
    int c = read_char();
    return c < 0 ? -1 : c;
}

void on_premature_end(void*, int) {
    if (fac.parseFailed) return;
    fac.parseFailed = true;
    fac.parseError = "unexpected end of input";
}

void on_error(void*, int, const char* message) {
    if (fac.parseFailed) return;
    fac.parseFailed = true;
    char buffer[320];
    std::snprintf(buffer, sizeof buffer, "on line %d, %.224s", fac.line, message);
    fac.parseError = buffer;
}

void on_warning(void*, int, const char* message) {
    guarded([&] { report(scanner_at(), message, true); });
}

Dag on_label(void*, int) {
    guarded([&] {
        report(scanner_at(), "use of labels non-interactively can give inconsistent results", true);
    });
    return dag_zero;
}

int on_scanner_error(int, const char* message) {
    if (std::strcmp(message, "`:` is obsolete, use `::` instead") != 0) return 0;
    std::int32_t at = fac.position - 1;
    while (at >= 0 && fac.text[at] != ':') --at;
    if (at < 0) return 0;
    guarded([&] {
        replace_text(":", at, "::");
        report(at, "`:` has been replaced by `::`", false);
    });
    return 1;
}

// Removes the error hook when the parse ends, however it ends.
struct HookInstalled {
    HookInstalled() { lang_set_error_hook(on_scanner_error); }
    ~HookInstalled() { lang_set_error_hook(nullptr); }
    HookInstalled(const HookInstalled&) = delete;
    HookInstalled& operator=(const HookInstalled&) = delete;
};

// Where the statement about to be parsed begins: past blanks and comments from `from`.
std::int32_t statement_begin(std::int32_t from) {
    std::int32_t at = from;
    while (at < fac.length) {
        unsigned char c = static_cast<unsigned char>(fac.text[at]);
        if (is_blank(c)) { ++at; continue; }
        if (c == '#') {
            while (at < fac.length && fac.text[at] != '\n') ++at;
            continue;
        }
        if ((c == '!' || c == '?') && (at == 0 || fac.text[at - 1] == '\n')) {
            while (at < fac.length && fac.text[at] != '\n') ++at;
            continue;
        }
        break;
    }
    return at;
}

void scope_report(void*, const char* message) { report(fac.statementStart, message, true); }

bool input_left() {
    if (fac.position < fac.length) return true;
    // A character the scanner still holds counts unless it is white space.
    return scan.lookahead != -2 && scan.lookahead >= 0 && scan.lookahead < 256 &&
           !is_blank(scan.lookahead);
}

void run_pass2() {
    restart_reader();
    unsigned flags = LANG_FRESH_TEXT;
    // The first parse discards whatever an earlier parse left in the scanner.
    while ((flags == LANG_FRESH_TEXT ? fac.position < fac.length : input_left()) &&
           !fac.parseFailed) {
        // Before the first parse the scanner's lookahead is stale (it is discarded).
        std::int32_t from = flags == LANG_FRESH_TEXT ? fac.position
                                                     : fac.position - pending_characters();
        fac.statementStart = statement_begin(from < 0 ? 0 : from);
        Dag statement = nullptr;
        {
            HookInstalled hook;
            statement = lang_parse(source_char, on_premature_end, on_error, on_warning, on_label,
                                   flags, nullptr, nullptr);
        }
        flags = 0;
        if (fac.fatalSeen) tovu_error(fac.fatalError.c_str());
        if (statement == nullptr) {
            if (!fac.parseFailed) {   // a failure no handler saw
                fac.parseFailed = true;
                fac.parseError = "unexpected end of input";
            }
            break;
        }
        if (dag_type(statement) == DAG_CONTROL) continue;
        update_scope_check(statement, scope_report, nullptr);
    }
    if (fac.parseFailed) tovu_error(fac.parseError.c_str());
}

}  // namespace

void update_pass1(char* text, std::int32_t capacity, UpdateNotify notify, void* context) {
    start_run(text, capacity, notify, context);
    run_pass(run_pass1);
}

int update_source(char* text, std::int32_t capacity, UpdateNotify notify, void* context) {
    start_run(text, capacity, notify, context);
    run_pass(run_pass1);
    run_pass(run_pass2);
    return 0;
}

// ---- scope check ------------------------------------------------------------------------------------------
namespace {

enum class Role { None, Parameter, Local, Global };

// One procedure while its body is checked.
struct ProcScope {
    Dag proc = nullptr;
    std::vector<const DagWord*> params, locals, globals;   // declared names, 1-based in the DAG
    std::vector<const DagWord*> lexicalNames;             // entry k - 1 is lexical pair k
    std::vector<bool> lexicalIsParam;
    std::unordered_set<const DagWord*> reported;

    Role role(const DagWord* name) const {
        for (const DagWord* p : params) if (p == name) return Role::Parameter;
        for (const DagWord* l : locals) if (l == name) return Role::Local;
        for (const DagWord* g : globals) if (g == name) return Role::Global;
        return Role::None;
    }
};

struct ScopeChecker {
    UpdateScopeReport report;
    void* context;
    std::vector<ProcScope*> stack;   // enclosing procedures, innermost last
    std::unordered_set<const DagWord*> seen;

    static const DagWord* declared(const DagWord* entry) {
        if (entry != nullptr && dag_type(entry) == DAG_DCOLON) entry = dag_op(entry, 1);
        return entry != nullptr && dag_type(entry) == DAG_NAME ? entry : nullptr;
    }

    static std::vector<const DagWord*> names_of(const DagWord* seq) {
        std::vector<const DagWord*> out;
        if (seq == nullptr || dag_type(seq) != DAG_EXPSEQ) return out;
        for (std::size_t i = 1; i < dag_length(seq); ++i) out.push_back(declared(dag_op(seq, i)));
        return out;
    }

    // Uses and assignment targets of a body, not entering nested procedures.
    static void gather(const DagWord* d, std::vector<const DagWord*>& used,
                       std::vector<const DagWord*>& assigned) {
        if (d == nullptr) return;
        unsigned type = dag_type(d);
        switch (type) {
        case DAG_NAME:
            used.push_back(d);
            return;
        case DAG_PROC: case DAG_INTPOS: case DAG_INTNEG: case DAG_STRING: case DAG_LOCAL:
        case DAG_PARAM: case DAG_LEXICAL: case DAG_HFARRAY: case DAG_SERIES: case DAG_TABLE:
        case DAG_HASHTAB: case DAG_HASH: case DAG_STOP:
            return;
        case DAG_ASSIGN:
            add_targets(dag_op(d, 1), assigned);
            break;
        case DAG_FOR:
            if (dag_type(dag_op(d, 1)) == DAG_NAME) assigned.push_back(dag_op(d, 1));
            break;
        default:
            if (type == 0 || type >= DAG_GARBAGE) return;
            break;
        }
        for (std::size_t i = 1; i < dag_length(d); ++i) gather(dag_op(d, i), used, assigned);
    }

    static void add_targets(const DagWord* target, std::vector<const DagWord*>& assigned) {
        if (target == nullptr) return;
        unsigned type = dag_type(target);
        if (type == DAG_EXPSEQ) {
            for (std::size_t i = 1; i < dag_length(target); ++i)
                add_targets(dag_op(target, i), assigned);
            return;
        }
        while (type == DAG_TABLEREF) {
            target = dag_op(target, 1);
            type = dag_type(target);
        }
        if (type == DAG_NAME) assigned.push_back(target);
    }

    static bool exempt(const char* name) {
        static const char* const names[] = {"%", "%%", "%%%", "Digits", "Order", "mod",
                                            "TestZero", "Normalizer", "printlevel", "newtable"};
        if (std::strncmp(name, "_Env", 4) == 0) return true;
        for (const char* n : names)
            if (std::strcmp(name, n) == 0) return true;
        return false;
    }

    void warn(ProcScope& scope, const DagWord* name, const char* format, const char* role) {
        if (!scope.reported.insert(name).second) return;
        char message[512];
        std::snprintf(message, sizeof message, format, dag_text(name), role);
        report(context, message);
    }

    static Dag reference(unsigned type, std::intptr_t index) {
        Dag r = dag_new(2, type);
        r[1] = DagWord(index);
        return r;
    }

    void check_proc(Dag proc) {
        seen.insert(proc);
        ProcScope scope;
        scope.proc = proc;
        // The locals as a plain sequence.
        Dag locals = dag_op(proc, 2);
        if (locals != nullptr && (dag_type(locals) == DAG_LIST || dag_type(locals) == DAG_SET)) {
            locals = dag_op(locals, 1);
            dag_set_op(proc, 2, locals);
        }
        scope.params = names_of(dag_op(proc, 1));
        scope.locals = names_of(locals);
        scope.globals = names_of(dag_op(proc, 7));

        std::vector<const DagWord*> used, assigned;
        gather(dag_op(proc, 5), used, assigned);

        // Names of enclosing procedures.
        Dag lexical = dag_NULL;
        for (const DagWord* name : used) {
            if (scope.role(name) != Role::None) continue;
            for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
                ProcScope& outer = **it;
                Role role = outer.role(name);
                if (role == Role::None) continue;
                bool first = scope.reported.count(name) == 0;
                warn(scope, name, "`%0.400s` is a lexically scoped %s",
                     role == Role::Parameter ? "parameter" : role == Role::Local ? "local" : "global");
                if (first && role != Role::Global) {
                    const auto& list = role == Role::Parameter ? outer.params : outer.locals;
                    std::intptr_t index = 1;
                    while (list[std::size_t(index - 1)] != name) ++index;
                    lexical = dag_append2(lexical, name,
                                          reference(role == Role::Parameter ? DAG_PARAM : DAG_LOCAL,
                                                    index));
                    scope.lexicalNames.push_back(name);
                    scope.lexicalIsParam.push_back(role == Role::Parameter);
                }
                break;
            }
        }
        if (!scope.lexicalNames.empty()) dag_set_op(proc, 8, lexical);

        // Undeclared assigned names become locals.
        for (const DagWord* name : assigned) {
            if (scope.role(name) != Role::None || exempt(dag_text(name))) continue;
            bool outside = false;
            for (const ProcScope* outer : stack) outside = outside || outer->role(name) != Role::None;
            if (outside || scope.reported.count(name) != 0) continue;
            warn(scope, name, "`%0.400s` is implicitly declared %s", "local");
            locals = dag_append1(locals != nullptr ? locals : dag_NULL, name);
            dag_set_op(proc, 2, locals);
            scope.locals.push_back(name);
        }

        stack.push_back(&scope);
        resolve(reinterpret_cast<DagWord*>(proc + 5), scope);
        stack.pop_back();
    }

    Dag resolved(const DagWord* name, const ProcScope& scope) {
        for (std::size_t i = 0; i < scope.params.size(); ++i)
            if (scope.params[i] == name) return reference(DAG_PARAM, std::intptr_t(i + 1));
        for (std::size_t i = 0; i < scope.locals.size(); ++i)
            if (scope.locals[i] == name) return reference(DAG_LOCAL, std::intptr_t(i + 1));
        for (const DagWord* g : scope.globals)
            if (g == name) return nullptr;
        for (std::size_t i = 0; i < scope.lexicalNames.size(); ++i) {
            if (scope.lexicalNames[i] != name) continue;
            std::intptr_t k = std::intptr_t(i + 1);
            return reference(DAG_LEXICAL, scope.lexicalIsParam[i] ? -k : k);
        }
        const char* text = dag_text(name);
        if (std::strcmp(text, "nargs") == 0) return reference(DAG_PARAM, 0);
        if (std::strcmp(text, "args") == 0) return reference(DAG_PARAM, -1);
        if (std::strcmp(text, "procname") == 0) return reference(DAG_PARAM, -2);
        return nullptr;
    }

    // Walks the operand slot: procedures are checked where they are found; inside a procedure
    // names are replaced by their references.
    void resolve(DagWord* slot, const ProcScope* scope) {
        Dag d = reinterpret_cast<Dag>(*slot);
        if (d == nullptr) return;
        unsigned type = dag_type(d);
        switch (type) {
        case DAG_NAME:
            if (scope != nullptr) {
                if (Dag r = resolved(d, *scope)) *slot = reinterpret_cast<DagWord>(r);
            }
            return;
        case DAG_PROC:
            if (seen.count(d) == 0) check_proc(d);
            return;
        case DAG_INTPOS: case DAG_INTNEG: case DAG_STRING: case DAG_LOCAL: case DAG_PARAM:
        case DAG_LEXICAL: case DAG_HFARRAY: case DAG_SERIES: case DAG_TABLE: case DAG_HASHTAB:
        case DAG_HASH: case DAG_STOP:
            return;
        default:
            if (type == 0 || type >= DAG_GARBAGE) return;
            break;
        }
        for (std::size_t i = 1; i < dag_length(d); ++i) resolve(d + i, scope);
    }
    void resolve(DagWord* slot, const ProcScope& scope) { resolve(slot, &scope); }
};

}  // namespace

void update_scope_check(Dag statement, UpdateScopeReport report, void* context) {
    if (statement == nullptr) return;
    ScopeChecker checker{report, context, {}, {}};
    DagWord slot = reinterpret_cast<DagWord>(statement);
    checker.resolve(&slot, nullptr);
}
