#pragma once
// Internal interface of the layouts: the driver (layout.cpp), numbers and box arithmetic
// (numbers.cpp), sums, series and products (sumprod.cpp), names, assumptions and labels
// (names.cpp), the line breaker (linebreak.cpp) and the work table (typeset_node.cpp).
//
// Every layout writes into nodes of the context's node arena.  Layouts never raise errors of
// their own; allocation failures and library errors leave through the layout guard (a
// TypesetJump carrying the run's error code).

#include <string>

#include "typeset.h"

// Thrown by the armed allocation hook and by the depth cap; caught by layout_expression and
// typeset_break_lines.
struct TypesetJump {
    int code;
};

// Arms the allocation hook for the lifetime of the object (one layout or line breaking).
class TypesetHookArm {
public:
    TypesetHookArm();
    ~TypesetHookArm();
    TypesetHookArm(const TypesetHookArm&) = delete;
    TypesetHookArm& operator=(const TypesetHookArm&) = delete;
};

// Depth cap of the recursive layouts.
class TypesetDepth {
public:
    explicit TypesetDepth(TypesetContext* ctx) : ctx_(ctx) {
        if (++ctx_->depth > TYPESET_MAX_DEPTH) {
            --ctx_->depth;
            throw TypesetJump{3};
        }
    }
    ~TypesetDepth() { --ctx_->depth; }
    TypesetDepth(const TypesetDepth&) = delete;
    TypesetDepth& operator=(const TypesetDepth&) = delete;

private:
    TypesetContext* ctx_;
};

// ---- metrics shorthands -------------------------------------------------------------------
inline int metric(TypesetContext* ctx, int style, int level, int m) {
    return ctx->device->fontMetric(ctx, style, level, m);
}
inline int clamp_level(const TypesetContext* ctx, int level) {
    return level >= ctx->levelCount ? ctx->levelCount - 1 : level;
}
inline int script_level(const TypesetContext* ctx, int level) {
    return ctx->linearMode ? level : clamp_level(ctx, level + 1);
}

// ---- work table ----------------------------------------------------------------------------
struct WorkRecord {
    TypesetNode* nodes[3] = {nullptr, nullptr, nullptr};
    int codes[3] = {0, 0, 0};
    int uses = 0;           // labelling pass; -1 marks a labelled DAG
    int estimate = -1;      // memoised length estimate of the labelling pass
};
void typeset_work_begin(TypesetContext* ctx);
TypesetNode* typeset_work_lookup(TypesetContext* ctx, const DagWord* dag, int level, int* code);
void typeset_work_store(TypesetContext* ctx, const DagWord* dag, int level, TypesetNode* node,
                        int code);
void typeset_work_force(TypesetContext* ctx, const DagWord* dag, int level, TypesetNode* node,
                        int code);
void typeset_work_forget(TypesetContext* ctx, const DagWord* dag);
WorkRecord* typeset_work_record(TypesetContext* ctx, const DagWord* dag, bool create);
void typeset_release_work(TypesetContext* ctx);

// ---- driver and generic layouts (layout.cpp) ---------------------------------------------------
LineTable* layout_expression(TypesetContext* ctx, const DagWord* dag, int required);
int layout_dag(TypesetContext* ctx, const DagWord* dag, int required, int level, TypesetChild* slot,
               int pathIndex);
int bracket_if_needed(TypesetContext* ctx, TypesetChild* slot, int code, int required, int level);
void add_brackets(TypesetContext* ctx, TypesetNode* node, int level, int open, int close,
                  bool mayStretch, bool noGap);
void layout_call(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level);
void layout_call_brackets(TypesetContext* ctx, TypesetNode* node, int argumentLevel, int level,
                          bool isFunction);
void layout_sequence(TypesetContext* ctx, TypesetNode* node, const DagWord* seq, int level, int gap);
void layout_hfarray(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level);
// Special two-dimensional forms of calls of well-known functions (special.cpp); false when the
// call has none or its form declines (the call then shows in the ordinary form).
bool layout_named_operator(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level,
                           int* code);
void bracket_pair_link(TypesetNode* open, TypesetNode* close);

// ---- procedures and statements (statements.cpp) ------------------------------------------------
bool layout_procedure(TypesetContext* ctx, TypesetNode* node, const DagWord* p, int level);
void layout_statseq(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);
void layout_if(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);
void layout_for(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);
void layout_param(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);
void layout_local(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);
// A text leaf into node, or the DAG to lay out in the LEXICAL's place.
const DagWord* layout_lexical(TypesetContext* ctx, TypesetNode* node, const DagWord* d, int level);

// ---- rows and columns (matrix.cpp): true when the form was built ----------------------------------
bool layout_matrix_grid(TypesetContext* ctx, TypesetNode* node, const DagWord* list, int level,
                        int* code, bool callPaths);
bool layout_matrix_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code);
// A call VECTOR(L) or vector(L), or a LIST marked row or column.
bool layout_vector(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level, int* code);
bool layout_table_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code);
bool layout_array_call(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code);
bool layout_piecewise(TypesetContext* ctx, TypesetNode* node, const DagWord* call, int level, int* code);
TypesetNode* typeset_glyph(TypesetContext* ctx, int code, int level);

// ---- numbers and boxes (numbers.cpp) -----------------------------------------------------------
TypesetNode* typeset_text_leaf(TypesetContext* ctx, TypesetNode* leaf, const char* text, int font,
                               int level, bool copy);
void typeset_const_leaf(TypesetContext* ctx, TypesetNode* leaf, const char* text, int level);
void typeset_int_text_leaf(TypesetContext* ctx, TypesetNode* leaf, int level, long value);
char* integer_digits(TypesetContext* ctx, const DagWord* integer, bool isSigned);
void typeset_integer_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* integer, int level,
                          bool isSigned);
void typeset_integer_leaf_at(TypesetContext* ctx, TypesetChild* slot, const DagWord* integer,
                             int level, bool isSigned);
void typeset_small_int_leaf(TypesetContext* ctx, TypesetChild* slot, int level, long value);
TypesetNode* format_float(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level,
                          bool isSigned, TypesetChild* slot);
void float_fix_digits(const TypesetContext* ctx, std::string& text);
void typeset_hfloat_leaf(TypesetContext* ctx, TypesetNode* leaf, double value, int level);
TypesetNode* typeset_rational(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level,
                              bool isSigned, int inlinePreference);
void typeset_operator(TypesetContext* ctx, TypesetNode* node, int level);
int typeset_operator_glyph(int dagType, bool* prefix);
int typeset_place_script(TypesetContext* ctx, int mode, int level, TypesetNode* parent,
                         TypesetChild* base, TypesetChild* script);
void typeset_row_metrics(TypesetNode* node);
TypesetNode* typeset_radical_leaf(TypesetContext* ctx, TypesetNode* node, int level, int length,
                                  int hookWidth, int height, int ascent);
TypesetNode* typeset_rule_leaf(TypesetContext* ctx, int width, int thickness, int level);

// ---- sums, series, products (sumprod.cpp) -------------------------------------------------------
struct OperatorInfo {
    int opClass;          // -1 none, 0 word or symbol operator, 2 relation
    const char* text;     // non-null: an operator glyph is drawn
    int level;            // 0: the type's own level
    int operands;
    int limit1, limit2;
};
// Row of a DAG type; a code beyond the table gets an all-empty row.
const OperatorInfo& operator_row(unsigned type);
bool layout_sum(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level, bool handBack);
void layout_series(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level);
bool layout_product(TypesetContext* ctx, TypesetNode* node, const DagWord* dag,
                    const DagWord* coefficient, int level);
void power_linear(TypesetContext* ctx, TypesetNode* power, int level);
void power_hidden_caret(TypesetContext* ctx, TypesetNode* power, int level);
TypesetNode* text_leaf_new(TypesetContext* ctx, const char* text, int style, int level, bool copy);
// Bar leaf (node type 209): width, thickness t, ascent half of t (odd values taken up).
TypesetNode* bar_node_new(TypesetContext* ctx, int width, int thickness, int level);
// Radical sign around the radicand slot of node (square roots).
void layout_radical(TypesetContext* ctx, int level, TypesetNode* node, TypesetChild* radicand);

// ---- names, assumptions, labels (names.cpp) ----------------------------------------------------
void typeset_name_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* name, int level);
void typeset_function_name_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level);
void typeset_printed_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level);
char* typeset_printed_text(TypesetContext* ctx, const DagWord* dag);
void typeset_string_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level);
void typeset_assumed_name(TypesetContext* ctx, TypesetNode* leaf);
void typeset_note_assumed(TypesetContext* ctx, TypesetNode* leaf);
int typeset_assumed_count(const TypesetContext* ctx);
void typeset_assumptions_note(TypesetContext* ctx, TypesetChild* slot, int level);
void typeset_make_labels(TypesetContext* ctx, const DagWord* dag);
int labels_count(const TypesetContext* ctx);
const DagWord* label_dag(const TypesetContext* ctx, int n);   // 1-based

// ---- line breaker (linebreak.cpp) ----------------------------------------------------------------
int line_break_run(TypesetContext* ctx);
void line_break_discard(TypesetContext* ctx);
