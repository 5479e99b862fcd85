#pragma once
// Structural edits of an expression DAG for the math-input editor: replace or delete the
// selected operand range, insert after it, replace every occurrence of a name, search for a
// name, read the selected subexpression, compare two selections, and the validity checks whose
// messages tell the user why an edit is refused.
//
// Versions.  An edit reads a source EditSelection and writes a new one: it copies the root and
// every DAG along the cursor's path ("the spine", flat copies in the holder's storage area) and
// changes only the copies, so the source version and everything off the path stay as they
// were, shared by both versions.
//
// Operand indices count from 1.  SUM and PROD hold pairs (term or factor at an odd index, its
// coefficient or exponent after it); a SERIES holds its variable, then (coefficient, exponent)
// pairs whose exponents are machine integers; LOCAL, PARAM and LEXICAL hold a machine integer.
// Such words are immediate slots: they hold no DAG.
//
// Soundness.  A cursor comes from outside the version it is applied to (an older layout, the
// editor's own bookkeeping).  Every operation first checks that the cursor fits the version
// (each path index names a DAG operand, 1 <= first <= last inside the parent) and refuses with
// "unknown error" otherwise.  Library errors raised inside an edit (an integer that does not
// fit, memory exhausted) are caught at the operation's boundary and returned as its message;
// the areas pushed are popped on every way out.

#include "selection.h"

// One version of the edited expression: the element's holder (not owned), the root DAG (not
// owned: it lives in the holder's area; always an expression sequence) and an owned cursor.
class EditSelection {
public:
    explicit EditSelection(DagHolder* holder);
    EditSelection(Dag expression, DagHolder* holder);
    EditSelection(const EditSelection& other);
    EditSelection& operator=(const EditSelection&) = delete;
    ~EditSelection();

    void setExpression(Dag expression);   // with a new empty cursor
    NodeCursor* resetCursor();
    NodeCursor* cursor() const { return cursor_; }
    void setCursor(NodeCursor* cursor);   // takes ownership

    DagHolder* holder = nullptr;
    Dag expression = nullptr;

private:
    NodeCursor* cursor_ = nullptr;
};

// Messages are constant texts (or the text of a library error, valid until the next edit).
bool edit_replace(const EditSelection* source, EditSelection* target, const DagWord* replacement,
                  const char** message);
bool edit_insert(const EditSelection* source, EditSelection* target, const DagWord* expression,
                 const char** message);
bool edit_replace_name(const EditSelection* source, EditSelection* target, const char* name,
                       const DagWord* replacement, const char** message);
// The next (previous) NAME with the text from the selection on; on success the target holds the
// expression and a selected cursor on the name.
bool edit_find_name(const EditSelection* entry, EditSelection* target, const char* name, bool backward);
const DagWord* edit_selected_expression(const EditSelection* entry);
bool edit_selection_is_placeholder(const EditSelection* entry);
// With a null text: the placeholders "%?" and "%??".
bool edit_selection_is_name(const EditSelection* entry, const char* text);
bool edit_whole_selected(const EditSelection* entry);
// -1, 1: a before / after b; 0 equal; -2 overlapping.  `inside` is set when one range lies
// within the other's operand.
int cursor_compare(const NodeCursor* a, const NodeCursor* b, bool* inside);
// Null when replacing (deleting, with a null replacement) the selection is allowed.
const char* edit_check(const EditSelection* entry, const DagWord* replacement);
// Null when an insertion is allowed at the level that holds the path's last operand.
const char* insert_check(const IntStack* path, const DagWord* root);
// Whether the cursor fits the expression (see Soundness above).
bool edit_cursor_fits(const DagWord* root, const NodeCursor* cursor);
