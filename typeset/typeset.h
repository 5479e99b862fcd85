#pragma once
// The expression typesetter: records shared by every layout, device and writer.
//
// Owns:
//   - `TypesetNode` / `TypesetChild`: the tree (really a DAG) of boxes of one run, every node,
//     slot array and text living in the context's node arena "fmt";
//   - `TypesetContext`: one run's state and result; `LayoutOptions`: what a caller asks for;
//     `DagHolder`: a private copy of an expression that outlives the kernel's storage;
//   - `LineTable` / `TypesetLine`: the result of line breaking, in the line arena "lb";
//   - `TypesetDevice`: the constant descriptor through which every measure and every drawing
//     goes (devices/charcell.h has the character-cell device);
//   - the entry points `typeset_run`, `typeset_break_lines`, `typeset_draw`.
//
// Invariants:
//   1. A run empties both arenas first: every node, path and line of the previous run is gone.
//      A line breaking empties only the line arena.
//   2. Nodes are shared: a DAG met several times is laid out once per size level (work table),
//      so a node may hang in several slots.  Nothing writes a node after it was stored.
//   3. Glyph nodes with codes up to 192 may come from a device cache shared by every run; they
//      are never changed by a layout.
//   4. Layout depth is capped (TYPESET_MAX_DEPTH DAG levels); a deeper expression is refused
//      with code 3, never laid out on an exhausted stack.
//
// Error codes of a run: 0 success, 3 memory exhausted / library error / too deep, 5 no tree,
// other values are a device's open result passed through.
//
// Single-threaded: the allocation hook and the two guards are process-wide.

#include <cstddef>
#include <cstdint>

#include "tovu/dag.h"
#include "tovu/storage.h"
#include "tovu/ifvars.h"

struct TypesetContext;
struct TypesetNode;
struct TypesetDrawState;
struct LayoutOptions;

// ---- binding codes -------------------------------------------------------------------------
constexpr int bind_of(unsigned type) { return int(type) << 17; }
constexpr int BIND_INTPOS = bind_of(DAG_INTPOS);
constexpr int BIND_NAME = bind_of(DAG_NAME);
constexpr int BIND_TABLEREF = bind_of(DAG_TABLEREF);
constexpr int BIND_CATENATE = bind_of(DAG_CATENATE);
constexpr int BIND_POWER = bind_of(DAG_POWER);
constexpr int BIND_PROD = bind_of(DAG_PROD);
constexpr int BIND_SERIES = bind_of(DAG_SERIES);
constexpr int BIND_SUM = bind_of(DAG_SUM);
constexpr int BIND_EQUATION = bind_of(DAG_EQUATION);
constexpr int BIND_LIST = bind_of(DAG_LIST);
constexpr int BIND_ASSIGN = bind_of(DAG_ASSIGN);

// Deepest DAG nesting that a layout enters; deeper expressions are refused with code 3.
// Every walk of the tree (line breaker, drawing) is bounded by a small multiple of this.
constexpr int TYPESET_MAX_DEPTH = 400;

// ---- node flags ----------------------------------------------------------------------------
enum : unsigned char {
    TSF_LEVEL = 0x03,      // size level
    TSF_MEASURED = 0x04,   // number layouts: laid out
    TSF_INERT = 0x08,      // drawn "inverted" with everything below it
    TSF_BREAK = 0x10,      // holds a forced line break; propagates from first-array children
    TSF_ATOMIC = 0x40,     // never broken inside
    TSF_BRACKET = 0x80,    // bracketing wrapper / structural part
};

// ---- node type codes beyond the DAG types ----------------------------------------------------
enum : int {
    TS_MATRIX = 47, TS_TABLE = 48, TS_ARRAY = 49, TS_WRAPPER = 50, TS_LABELLED = 52,
    TS_FLOATPART = 53, TS_CALL = 54, TS_PIECEWISE = 65, TS_TEXT = 70, TS_ASSUMED_NOTE = 71,
    TS_GLYPH_FIRST = 129, TS_GLYPH_LAST = 192,
    TS_SLASH = 204, TS_SUMSIGN = 205, TS_PRODSIGN = 206, TS_RULE = 201, TS_RADICAL = 202,
    TS_TEXT_LEAF = 203, TS_UNDERBAR = 209,
};

// Glyph codes used by the layouts (texts on the character grid in devices/charcell.cpp).
enum : int {
    G_PLUS = 129, G_MINUS = 130, G_LPAREN = 131, G_RPAREN = 132, G_EQUAL = 133, G_NOTEQ = 134,
    G_LESS = 135, G_LESSEQ = 136, G_AND = 137, G_NOT = 138, G_OR = 139, G_COMMA = 140,
    G_RANGE = 141, G_ASSIGN = 142, G_DOTS = 143, G_SLASH = 144, G_LBRACE = 145, G_RBRACE = 146,
    G_LBRACK = 147, G_RBRACK = 148, G_LEADMINUS = 149, G_SEMI = 150, G_ARROW = 151,
    G_LANGLE = 152, G_RANGLE = 153, G_QUOTE = 154, G_DOT = 155, G_DCOLON = 156,
    G_CARET = 177, G_HIDDEN_CARET = 178, G_READ = 180, G_SAVE = 181, G_QUIT = 182, G_TIMES = 183,
    G_SLPAREN = 194, G_SRPAREN = 195, G_SLBRACE = 196, G_SRBRACE = 197, G_SLBRACK = 198,
    G_SRBRACK = 199,
};

// Font styles of text leaves and device operations.
enum : int { STYLE_ROMAN = 0, STYLE_ITALIC = 1, STYLE_SYMBOL = 2, STYLE_BOLD = 3 };

// ---- node model ------------------------------------------------------------------------------
struct TypesetChild {
    int x = 0, y = 0;              // offset of the child's top-left corner in the parent
    int* path = nullptr;           // count, then operand indices; null unless paths are kept
    TypesetNode* node = nullptr;   // null: an empty slot, skipped by every walk
};

struct TypesetNode {
    int type = 0;
    unsigned char flags = 0;       // TSF_* ; bits 0-1 the size level
    int width = -1, height = -1, ascent = -1;
    const void* source = nullptr;  // the DAG shown (null for glyphs and made-up parts)
    // composite nodes
    int firstCount = 0, secondCount = 0;
    TypesetChild* firstArray = nullptr;    // sub-boxes, drawn recursively
    TypesetChild* secondArray = nullptr;   // glyph and symbol leaves, drawn directly
    // text leaves
    unsigned char style = 0;       // high four bits: font style
    const char* text = nullptr;
    // stretchy symbols: the requested size; radical sign: length and hook width
    int size = 0, hook = 0;
    TypesetNode* partner = nullptr;   // the other bracket of a linked pair
};

inline int node_level(const TypesetNode* n) { return n->flags & TSF_LEVEL; }
inline int node_style(const TypesetNode* n) { return n->style >> 4; }

bool typeset_is_text_type(int type);
inline bool typeset_is_glyph_type(int type) { return type > 128; }
inline bool typeset_is_composite_type(int type) {
    return !typeset_is_text_type(type) && !typeset_is_glyph_type(type);
}

// ---- lines -----------------------------------------------------------------------------------
struct TypesetTextPiece {
    const TypesetNode* node = nullptr;
    int offset = 0, count = 0;     // characters of the node's text
    int xInNode = 0, width = 0;
};

struct TypesetLine {
    int width = 0, height = 0, ascent = 0;
    int number = 0, depth = 0;
    int extraGap = 0;              // gap above the line; replaced by its y when finished
    int y = 0;
    int x = 0;                     // indent
    int mode = 0;                  // continuation of a cut text, or inside a procedure
    const TypesetChild* start = nullptr;
    int startX = 0, startY = 0;    // absolute position of the start slot's node in the root
    int left = 0, right = 0, top = 0, bottom = 0;   // content edges relative to the start
    int baseline = 0;              // lowest baseline relative to the start
    bool used = false;             // holds something
    TypesetTextPiece piece;        // first cut text piece on the line
};

struct LineTable {
    int count = 0;
    TypesetLine* lines = nullptr;  // line arena
    TypesetChild* root = nullptr;  // node arena
    int totalHeight = 0;
    int firstLevel = 0;
    int alignment = 0;             // 0 plain, 1 procedure, 2 centred
};

// ---- options and context ---------------------------------------------------------------------
struct LabelOutput {
    bool hasLabels = false;
    int count = 0;
    const DagWord** dags = nullptr;   // heap array owned by the record (label_output_free)
};
void label_output_free(LabelOutput* out);

struct LayoutOptions {
    const char* fontFace = nullptr;
    int pointSize = 0;
    int levelCount = 0;
    int pageWidth = 0, pageHeight = 0;
    int indentStep = 0;
    int firstIndent = 0, contIndent = 0, lineGap = 0;
    unsigned char labelling = 0;
    int labelWidth = 0, verboseproc = 0, showAssumed = 0, floatDigits = -1;
    LabelOutput* labelOutput = nullptr;
};

// The typesetter reads the session's interface variables (InterfaceSettings, tovu/ifvars.h):
// indentamount, labelling, labelwidth, verboseproc and showassumed.

void layout_options_init(int preset, LayoutOptions* options, const InterfaceSettings* settings);
void layout_options_apply(TypesetContext* ctx, const LayoutOptions* options);

struct TypesetDevice {
    int kind;
    int firstLevel, lastLevel;
    int (*open)(TypesetContext* ctx, const LayoutOptions* options);
    int (*close)(TypesetContext* ctx);
    int (*fontMetric)(TypesetContext* ctx, int style, int level, int metric);
    int (*charWidth)(TypesetContext* ctx, int ch, int style, int level);
    int (*stringExtent)(TypesetContext* ctx, const char* text, int style, int level, TypesetNode* node);
    TypesetNode* (*glyphNode)(TypesetContext* ctx, int code, int level);
    int (*symbolKind)(TypesetContext* ctx, int code, int level);
    int (*sizeSymbol)(TypesetContext* ctx, TypesetNode* node, int level, int height);
    void (*drawText)(TypesetDrawState* state, const TypesetNode* node, int x, int y, int inverted);
    void (*drawTextClipped)(TypesetDrawState* state, const TypesetNode* node, int x, int y, int inverted);
    void (*drawSymbol)(TypesetDrawState* state, const TypesetNode* node, int x, int y, int inverted);
    void (*hook)(TypesetDrawState* state, int y, int code, int height);
};

struct WorkTable;   // layout_expression's map from DAG to nodes (typeset_node.cpp)
struct BreakState;  // the line breaker's working record (linebreak.cpp)

struct TypesetContext {
    const TypesetDevice* device = nullptr;
    StorageArea nodeArena;         // "fmt"
    StorageArea lineArena;         // "lb"
    WorkTable* work = nullptr;     // only during layout_expression
    LineTable* lines = nullptr;    // null after a failed run
    BreakState* breakState = nullptr;
    void* deviceData = nullptr;    // owned by the creator
    int firstLevel = 0, levelCount = 1;
    int pageWidth = 0, pageHeight = 0;
    int indentStep = 0, firstIndent = 0, contIndent = 0, lineGap = 0;
    int partLimit = 0;
    int lineEndReserve = 0;
    const DagWord* currentProcedure = nullptr;
    int procedureDepth = 0;
    unsigned char procedureMode = 0, linearMode = 0;
    unsigned char labelling = 0, keepPaths = 0;
    int verboseproc = 0, labelWidth = 0, showAssumed = 0, floatDigits = -1;
    bool selectionShown = false;
    int selLeft = 0, selTop = 0, selWidth = 0, selHeight = 0;
    int assumedCapacity = 0;
    TypesetNode** assumed = nullptr;   // node arena; the first null ends the list
    LabelOutput* labelOutput = nullptr;
    int errorCode = 0;
    int pathsAbsent = 0;
    TypesetContext* nextContext = nullptr;
    int depth = 0;                 // current layout nesting (capped by TYPESET_MAX_DEPTH)
};

struct DagHolder {
    StorageArea area;              // "dag": owns the copy
    Dag expression = nullptr;
    TypesetContext* current = nullptr;
    TypesetContext* contexts = nullptr;   // chain through nextContext
};

DagHolder* dag_holder_read(const DagWord* dag);
void dag_holder_free(DagHolder* holder);

TypesetContext* typeset_context_new(const TypesetDevice* device);
void typeset_context_free(TypesetContext* ctx);
int typeset_run(TypesetContext* ctx, const DagWord* dag, const LayoutOptions* options);
int typeset_break_lines(TypesetContext* ctx);

// ---- drawing -----------------------------------------------------------------------------------
// One line's drawing state.  Coordinates handed to the devices are device coordinates: a node at
// (x, y) relative to the line's start node lands at column x - originShift, row y + originY.
struct TypesetDrawState {
    TypesetContext* ctx = nullptr;
    int leftLimit = 0, rightLimit = 0;   // visible range, relative to the start node
    int indent = 0;
    int originShift = 0;                 // left limit minus the indent
    int originY = 0;                     // minus the line's top edge
    TypesetTextPiece piece;              // first text piece, consumed by its first clipped draw
    bool pieceConsumed = false;
};
void typeset_draw_state_init(TypesetDrawState* state, TypesetContext* ctx, const TypesetLine* line);
void typeset_draw(TypesetDrawState* state, const TypesetLine* line, int x, int y);

// ---- allocation -------------------------------------------------------------------------------
using TypesetErrorHook = void (*)(int code);
void typeset_set_error_hook(TypesetErrorHook hook);
void* typeset_alloc(StorageArea* arena, std::size_t bytes);
void* typeset_mem_alloc(std::size_t bytes);
void typeset_mem_free(void* p);
char* typeset_strdup(const char* text);

TypesetNode* typeset_node_new(TypesetContext* ctx, int type, int level);
TypesetChild* typeset_children_alloc(TypesetContext* ctx, int n);
void typeset_node_children(TypesetContext* ctx, TypesetNode* node, int n, int m);
TypesetNode* typeset_leaf_new(int type, int level);   // heap, for device caches
char* typeset_arena_text(TypesetContext* ctx, const char* text, std::size_t length);
void typeset_flags_from_children(TypesetNode* node);
void copy_metrics(TypesetNode* dst, const TypesetNode* src);
void slot_clear(TypesetChild* slot);

// ---- paths (editing) ---------------------------------------------------------------------------
struct IntStack {
    int count = 0, capacity = 0;
    int* items = nullptr;
};
IntStack* int_stack_new();
void int_stack_free(IntStack* s);
IntStack* int_stack_copy(const IntStack* s);
void int_stack_clear(IntStack* s);
void int_stack_push(IntStack* s, int v);
void int_stack_pop(IntStack* s);
int int_stack_get(const IntStack* s, int i);
void int_stack_set(IntStack* s, int i, int v);
// Follows the stack's operand indices from a DAG, all but the last n; null when an index leaves
// the DAG (outside its operands, an empty slot or an immediate word).
const DagWord* int_stack_walk(const IntStack* s, const DagWord* dag, int n);
// Whether operand i of a DAG is a pointer to a DAG (not an immediate word, not past the end).
bool dag_operand_is_dag(const DagWord* d, std::size_t i);

void path_record_set(TypesetContext* ctx, TypesetChild* slot, int a);
void path_record_set(TypesetContext* ctx, TypesetChild* slot, int a, int b);
int path_count(const TypesetChild* slot);
int path_index(const TypesetChild* slot, int i);
int typeset_first_level_child(const TypesetChild* slot, int direction);
bool child_slot_empty(const TypesetChild* slot);
bool child_slot_selectable(const TypesetChild* slot);

// ---- DAG helpers used by the layouts ----------------------------------------------------------
bool dag_is_nonnegative(const DagWord* d);
bool dag_is_big_o(const DagWord* d);
bool dag_is_int_value(const DagWord* d, long v);   // an INTPOS/INTNEG of exactly that value
bool exprseq_has_name(const DagWord* seq, const char* name);
bool dag_has_attribute(const DagWord* d, const char* name);

// ---- identifier styles (styles.cpp) ------------------------------------------------------------
namespace IdentifierStyleTable {
int loadBuiltin();
void free();
}
int style_line_parse(const char* line);
// which: 1 function side, 2 variable side.  0 found (text and style set), -1 not found.
int identifier_style_lookup(TypesetContext* ctx, const char* name, int which, const char** text,
                            int* style);
void set_afm_directory(const char* path);
const char* afm_directory();

// ---- display denormalisation (denormal.cpp) -----------------------------------------------------
Dag denormalise_dag(Dag dag);

// ---- deep copy (dagtext.cpp) -----------------------------------------------------------------------
// Deep copy into an area, shared parts once; null when the DAG is too deep or malformed.
Dag typeset_copy_deep(const DagWord* dag, StorageArea* area);
