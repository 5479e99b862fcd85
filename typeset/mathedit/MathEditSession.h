#pragma once
// The math-input editor of one math element: its linear history of versions (each an
// EditSelection with its own cursor), the editor commands 4004 to 4014 and the message of the
// last failure.
//
// History.  Version 0 is the expression the element got from outside.  A successful edit builds
// a new version (the edit operations copy only the changed spine), drops the versions after the
// current one and shows the new one; undo and redo only move `currentIndex`.  A compound edit
// (move, template insertion) works on one pending version and becomes one history step at its
// end, or nothing when any step failed.
//
// Invariants:
//   1. 0 <= currentIndex < entryCount once the history holds a version; entries at and above
//      entryCount are null; the array's size is a multiple of 32.
//   2. While inCompound is set every edit reads and replaces pendingEntry.
//   3. editor_command never lets a library error out: the command is refused with the error's
//      text, the areas it pushed are popped, history and shown version stay as they were.
//
// The editor reaches its element only through MathEditElement (the math element implements it).

#include <memory>
#include <string>
#include <vector>

#include "edit_ops.h"

// What the editor asks of the math element it edits.
class MathEditElement {
public:
    virtual ~MathEditElement() = default;
    // Lays the element's current expression out again for its page width.
    virtual void relayout() = 0;
    // Replaces the element's holder by one holding a private copy of the DAG (wrapped into a
    // one-element sequence when it is not one) and resets the element's editor to it.
    virtual void setExpression(const DagWord* dag) = 0;
    virtual void dropLinePictures(int flag) = 0;
    // Told the expression of the version now shown.
    virtual void newExpression(const DagWord* dag) = 0;
    virtual bool canShowVersionInPlace(int n) = 0;
    // Builds a new element from version n (elsewhere in the worksheet).
    virtual void replaceByInputText(int n) = 0;
    virtual void setEndsWithColon(bool on) = 0;
    virtual DagHolder* dagHolder() = 0;
    // Whether the element's worksheet is computing (the kernel may have areas pushed and may be
    // using default-area DAGs while the GUI is pumped).
    virtual bool worksheetComputing() = 0;
};

// The shared placeholder NAMEs "%?", "%??" and "%c".  The application hands its own in; until
// then the editor makes them on first use in an area of its own that storage_reset never frees.
void mathedit_set_placeholders(const DagWord* missing, const DagWord* second, const DagWord* cursorMark);
const DagWord* mathedit_placeholder();
const DagWord* mathedit_cursor_mark();

// The argument of a command: a text (4006, 4011, 4013, 4014), a DAG (4012), a typeset position
// (4010) or a flag (4009).
struct EditorArgument {
    const char* text = nullptr;
    const DagWord* dag = nullptr;
    const TypesetPath* path = nullptr;
    bool flag = false;
};

enum : int {
    EDIT_UNDO = 4004, EDIT_REDO = 4005, EDIT_REPLACE_TEXT = 4006, EDIT_NOTHING = 4007,
    EDIT_NOT_A_COMMAND = 4008, EDIT_DELETE = 4009, EDIT_MOVE = 4010, EDIT_GLOBAL_REPLACE = 4011,
    EDIT_REPLACE_DAG = 4012, EDIT_REPLACE_TEXT2 = 4013, EDIT_TEMPLATE = 4014,
};

class MathEditSession {
public:
    explicit MathEditSession(MathEditElement* element);
    // The editor of a copy of an element, started from version n of `other` (its current one
    // when n < 0).
    MathEditSession(MathEditElement* element, const MathEditSession& other, int n);
    ~MathEditSession();
    MathEditSession(const MathEditSession&) = delete;
    MathEditSession& operator=(const MathEditSession&) = delete;

    void reset(DagHolder* holder);
    bool canUndo() const { return currentIndex_ > 0; }
    bool canRedo() const { return currentIndex_ + 1 < entryCount_; }

    bool hasSelection() const;
    bool selectionIsPlaceholder() const;
    bool wholeSelected() const;
    bool selectionIsName() const;
    const DagWord* selectedExpression() const;
    bool hasError() const { return failed_; }
    const char* errorMessage() const { return message_.empty() ? nullptr : message_.c_str(); }
    void showSelection();
    void setSelection(const TypesetPath* firstPath, const TypesetPath* lastPath);
    // Places a cursor on the current version directly (a copy is taken); the element uses it
    // for a selection it computed itself.
    void selectCursor(const NodeCursor* cursor);
    bool navigate(int code, int mode, const TypesetPath* path);
    bool editor_command(int id, const EditorArgument& argument);

    int entryCount() const { return entryCount_; }
    int currentIndex() const { return currentIndex_; }
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }
    const EditSelection* entry(int n) const;
    const EditSelection* currentEntry() const;

private:
    EditSelection* current() const;
    EditSelection* newEntry(DagHolder* holder = nullptr) const;
    void appendEntry();
    void store(int index, EditSelection* entry);
    void commitEntry(EditSelection* entry, bool goTo);
    void truncateHistory(int start);
    void gotoEntry(int n);
    void beginCompound(bool keepSelection);
    void endCompound();
    void clearMessage();
    void setMessage(const char* text);
    void dropPending();

    void undo();
    void redo();
    void replaceSelectionText(const char* text);
    void replaceSelection(const DagWord* expression, bool copy);
    void globalReplaceText(const char* text);
    void replaceName(const DagWord* expression, const char* name);
    void insertExpression(const DagWord* expression, bool copy);
    void deleteSelection(bool leavePlaceholder);
    void moveSelection(const TypesetPath* path);
    void insertTemplate(const char* text);
    const DagWord* parseText(const char* text);
    const DagWord* adoptExpression(const DagWord* dag);
    bool replaceNameIn(EditSelection* entry, const char* name, const DagWord* replacement);

    MathEditElement* element_;
    std::vector<std::unique_ptr<EditSelection>> entries_;
    int entryCount_ = 0;
    int currentIndex_ = 0;
    std::unique_ptr<EditSelection> pendingEntry_;
    bool inCompound_ = false;
    bool failed_ = false;
    std::string message_;
    bool changed_ = false;
};
