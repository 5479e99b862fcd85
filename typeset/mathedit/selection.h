#pragma once
// Typeset selection: the three views of one position in a typeset expression and the maps
// between them, and the selected part written back as one-dimensional text.
//
//   point      (x, y) in the coordinates of one typeset line (as the line is drawn);
//   TypesetPath a chain of steps from the root box down to a leaf (which child of which array,
//              and in the leaf the character or glyph half);
//   NodeCursor operand indices from the root DAG down to a parent DAG, and a range of that
//              parent's operands (`first` .. `last`).
//
// Coordinates.  The laid-out tree has one coordinate system (x right, y down, the root box at
// 0, 0); each TypesetLine shows a slice of it, drawn at its indentation d (the line's x):
//   x_tree = left edge + start x + max(x, d) - d        y_tree = y + top edge + start y
// (points left of the indentation count as at the indentation) and back the other way.
//
// Mapping boxes to operands needs the operand indices that the layouts record on child slots
// when the context's keepPaths is set; with pathsAbsent set (a run without them) a selection is
// always the whole expression.
//
// Ownership: paths and cursors are heap records owned by the caller (typeset_path_free,
// node_cursor_free).  They point into the context's node arena and are valid until the next
// run.  The selection rectangle lives in the context until the next run or
// typeset_clear_selection.  Nothing here reads outside a node's child arrays or a DAG.

#include "typeset/typeset.h"

// One step of a path.  In a composite step `index` is the child index and the low byte of
// `word` the array (1 first, 0 second); in a leaf step `index` is the character offset in a text
// leaf (0 or 1: before or after a glyph) and `word` the x offset inside the leaf.
struct TypesetPath {
    const TypesetNode* node = nullptr;
    int index = 0;
    int word = 0;
    unsigned char leaf = 0;
    TypesetPath* next = nullptr;
    TypesetPath* prev = nullptr;
};

// A new zeroed element linked after `after` (or a new chain when null).
TypesetPath* typeset_path_append(TypesetContext* ctx, TypesetPath* after);
// A copy of the chain from `first` on; its first element.
TypesetPath* typeset_path_copy(TypesetContext* ctx, const TypesetPath* first);
// Frees the chain from `first` on (unlinking it from the element before it).
void typeset_path_free(TypesetContext* ctx, TypesetPath* first);
bool path_in_first_array(const TypesetPath* element);
bool path_in_second_array(const TypesetPath* element);
// The deepest element of a chain.
TypesetPath* typeset_path_last(TypesetPath* first);

// A position on the expression DAG.  `path`: operand indices from the root down to the parent
// of the selection; `selected`: a range rather than a caret; `first`, `last`: the range inside
// that parent (0 and -1: no range yet).
struct NodeCursor {
    IntStack* path = nullptr;
    unsigned char selected = 0;
    int first = 0, last = -1;
};
NodeCursor* node_cursor_new();
void node_cursor_free(NodeCursor* cursor);
NodeCursor* node_cursor_copy(const NodeCursor* cursor);
// Moves the path's last index into both `first` and `last`.
void node_cursor_pop(NodeCursor* cursor);

// ---- coordinates ----------------------------------------------------------------------------------
// False when the context has no line n.
bool typeset_line_to_tree(const TypesetContext* ctx, int n, int x, int y, int* treeX, int* treeY);
bool typeset_tree_to_line(const TypesetContext* ctx, int n, int treeX, int treeY, int* x, int* y);
// The first line whose slice holds tree x (left edge <= x - start x <= right edge), or -1.
int typeset_line_at_x(const TypesetContext* ctx, int x);

// ---- positions -------------------------------------------------------------------------------------
// The position under point (x, y) of line n: a chain of steps from the root, appended after
// `parent` when given.  Returns the chain's first element, or null without a tree or line n.
// With skipEmptyGlyph, a hidden caret (glyph 178) is never chosen.
TypesetPath* typeset_find_at_point(TypesetContext* ctx, TypesetPath* parent, int n, int x, int y,
                                   bool skipEmptyGlyph);
// The point of a position in line n's coordinates.  kind: 2 for a path ending in a leaf step
// (value: the leaf's height), 1 for one ending at a box (value: its height), 0 for none.
void typeset_node_offset(const TypesetContext* ctx, const TypesetPath* path, int n, int* x, int* y,
                         int* kind, int* value);
// The next (code 2) or previous (code 0) caret position: a new chain, or null at either end.
// A step ends in a text leaf or an empty expression sequence, never on a glyph.
TypesetPath* typeset_step(TypesetContext* ctx, const TypesetPath* path, int code);

// ---- selection ---------------------------------------------------------------------------------------
// The operand range between two positions into the cursor (and shown).
void typeset_selection_from_positions(TypesetContext* ctx, const TypesetPath* p, const TypesetPath* q,
                                      NodeCursor* cursor);
// With a cursor: typeset_selection_from_positions.  Without: only the highlight rectangle.
void typeset_select_range(TypesetContext* ctx, const TypesetPath* p, const TypesetPath* q,
                          NodeCursor* cursor);
// The highlight rectangle of a cursor; a null cursor clears the selection.  Whether it is shown.
bool typeset_show_selection(TypesetContext* ctx, const NodeCursor* cursor);
void typeset_clear_selection(TypesetContext* ctx);

// ---- linear text -------------------------------------------------------------------------------------
// The part of the tree inside the selection rectangle as one-dimensional text; a string from
// std::malloc that the caller frees with std::free (the empty text without a selection).
char* render_linear_text(TypesetContext* ctx);
// The linear text of a glyph code (" `?` " for codes without one).
const char* glyph_linear_text(int code);
