#pragma once
// UndoHistory: a document's bounded list of undo groups, each the record of one user-visible
// edit, with a cursor that separates what undo and what redo would apply.
//
// Fields: groups (IndexedList of UndoGroup, oldest first), cursor (index of the last group that
// is done; -1: nothing to undo), limit (most groups kept; negative: no limit; 0: nothing kept),
// currentGroup (the group recorded between beginGroup and endUndoGroup), the document, nesting
// (depth of nested beginGroup calls).
//
// Invariants:
//   1. -1 <= cursor < groups.count(); groups after the cursor are the redo groups.
//   2. With limit >= 0, groups.count() <= limit.
//   3. currentGroup is non-null exactly while nesting > 0 (an unmatched endUndoGroup is
//      ignored; clear() drops the current group and the nesting together).
//   4. A linked group and its partner point at each other or not at all: destroying either
//      unlinks the other, and closing a window unlinks every group linked to it, so undo never
//      reaches a destroyed window, group or history.
//
// Group life: beginGroup (outermost) creates the current group; endUndoGroup (outermost) keeps
// it when it holds a pair and the limit is not 0, after discarding the redo groups; it merges
// into the group at the cursor when both are typing into one text element.
//
// Ownership: the history owns its groups, a group its pairs, a pair its records.  Carets are
// borrowed for one call; windows are borrowed and unlinked when they close.

#include <memory>

#include "document/edit/EditRecord.h"
#include "document/edit/IndexedList.h"
#include "document/tree/CaretPosition.h"
#include "util/KString.h"

class ElementDocument;
class ElementPosition;
class ElementWindow;
class UndoHistory;

class UndoGroup : public IndexedListNode {
public:
    UndoGroup(const char* menuText, bool mergeable);
    ~UndoGroup() override;   // unlinks its partner

    KString menuText;
    IndexedList pairs;                 // EditRecordPair, recording order
    // The caret before and after the edit, as positions held by path: the records destroy
    // and re-create elements, and the path finds the re-created one at the same place.
    CaretHandle caretBefore;
    CaretHandle caretAfter;
    bool mergeable = false;
    ElementWindow* linkedWindow = nullptr;
    UndoGroup* linkedGroup = nullptr;
    UndoHistory* linkedHistory = nullptr;   // the history that owns linkedGroup

    EditRecordPair* pairAt(int index) { return static_cast<EditRecordPair*>(pairs.nodeAt(index)); }
    void unlink();
};

class UndoHistory {
public:
    explicit UndoHistory(ElementDocument* document);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    void setLimit(int n);
    void clear();
    void beginGroup(const char* menuText, ElementPosition* caret, bool mergeable);
    void endUndoGroup(ElementPosition* caret);
    // Appends to the current group; without one the pair is destroyed.
    void addPair(EditRecordPair* pair);
    // Links the current groups of this history and the other (both must be recording).
    void linkGroups(ElementWindow* thisWindow, ElementWindow* otherWindow, UndoHistory* other);

    bool undoMenuText(KString& text);
    bool redoMenuText(KString& text);
    bool canUndo() const { return cursor_ != -1; }
    bool canRedo() const { return cursor_ < groups_.count() - 1; }
    void undo(ElementPosition* caret);
    void redo(ElementPosition* caret);

    // Every group of every history linked to the window forgets the link (the window closes).
    static void unlinkWindow(const ElementWindow* window);
    static bool linkedUndoRunning;
    static bool linkedRedoRunning;

    int cursor() const { return cursor_; }
    int limit() const { return limit_; }
    int nesting() const { return nesting_; }
    int groupCount() const { return groups_.count(); }
    UndoGroup* currentGroup() const { return current_.get(); }
    UndoGroup* groupAt(int index) { return static_cast<UndoGroup*>(groups_.nodeAt(index)); }
    ElementDocument* document() const { return document_; }

private:
    bool canMerge(UndoGroup* a, UndoGroup* b);
    void destroyGroupAt(int index);

    IndexedList groups_;
    int cursor_ = -1;
    int limit_ = -1;
    std::unique_ptr<UndoGroup> current_;
    ElementDocument* document_;
    int nesting_ = 0;
};
