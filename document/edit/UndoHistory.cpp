// UndoHistory: groups, the cursor, merging of typing, linked groups, undo and redo.
#include "document/edit/UndoHistory.h"

#include <algorithm>
#include <vector>

#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ViewCaret.h"

namespace {

// Every live history, so that a closing window can be unlinked from all of them.
std::vector<UndoHistory*>& liveHistories() {
    static std::vector<UndoHistory*> list;
    return list;
}

void captureInto(CaretHandle& handle, ElementPosition* caret) {
    handle.put(nullptr);
    if (caret) caret->captureCaret(handle, true);
}

void restoreFrom(CaretHandle& handle, ElementPosition* caret) {
    if (caret) caret->restoreFromCaret(handle);
}

}  // namespace

bool UndoHistory::linkedUndoRunning = false;
bool UndoHistory::linkedRedoRunning = false;

// ---- UndoGroup -------------------------------------------------------------------------------

UndoGroup::UndoGroup(const char* text, bool merge) : menuText(text), mergeable(merge) {}

UndoGroup::~UndoGroup() { unlink(); }

void UndoGroup::unlink() {
    if (linkedGroup && linkedGroup->linkedGroup == this) {
        linkedGroup->linkedGroup = nullptr;
        linkedGroup->linkedWindow = nullptr;
        linkedGroup->linkedHistory = nullptr;
    }
    linkedGroup = nullptr;
    linkedWindow = nullptr;
    linkedHistory = nullptr;
}

// ---- UndoHistory -----------------------------------------------------------------------------

UndoHistory::UndoHistory(ElementDocument* document) : document_(document) {
    liveHistories().push_back(this);
}

UndoHistory::~UndoHistory() {
    clear();
    auto& live = liveHistories();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void UndoHistory::destroyGroupAt(int index) { delete groups_.removeAt(index); }

void UndoHistory::setLimit(int n) {
    limit_ = n;
    if (n < 0) return;
    while (groups_.count() > n) {
        destroyGroupAt(0);
        if (cursor_ > -1) --cursor_;
    }
}

void UndoHistory::clear() {
    cursor_ = -1;
    groups_.deleteAll();
    nesting_ = 0;
    current_.reset();
}

void UndoHistory::beginGroup(const char* menuText, ElementPosition* caret, bool mergeable) {
    if (++nesting_ > 1) return;
    current_ = std::make_unique<UndoGroup>(menuText, mergeable);
    captureInto(current_->caretBefore, caret);
}

bool UndoHistory::canMerge(UndoGroup* a, UndoGroup* b) {
    if (!a || !b || !a->mergeable || !b->mergeable) return false;
    if (a->pairs.count() != 1 || b->pairs.count() != 1) return false;
    EditRecordPair* pa = a->pairAt(0);
    EditRecordPair* pb = b->pairAt(0);
    if (!pa->redoRecord || !pb->undoRecord) return false;
    return pa->redoRecord->mergeWith(*pb->undoRecord);
}

void UndoHistory::endUndoGroup(ElementPosition* caret) {
    if (nesting_ <= 0 || !current_) {   // unmatched: nothing is being recorded
        nesting_ = 0;
        return;
    }
    if (--nesting_ > 0) return;
    std::unique_ptr<UndoGroup> group = std::move(current_);
    if (group->pairs.count() == 0 || limit_ == 0) return;   // destroyed on return
    captureInto(group->caretAfter, caret);
    while (groups_.count() > cursor_ + 1) destroyGroupAt(cursor_ + 1);
    UndoGroup* last = cursor_ >= 0 ? groupAt(cursor_) : nullptr;
    if (canMerge(last, group.get())) {
        EditRecordPair* pa = last->pairAt(0);
        EditRecordPair* pb = group->pairAt(0);
        pa->redoRecord = std::move(pb->redoRecord);
        last->caretAfter = group->caretAfter;
        return;   // the merged group is destroyed on return
    }
    if (limit_ > 0 && groups_.count() >= limit_) {
        destroyGroupAt(0);
        if (cursor_ > -1) --cursor_;
    }
    groups_.append(group.release());
    ++cursor_;
}

void UndoHistory::addPair(EditRecordPair* pair) {
    if (!pair) return;
    if (!current_) {
        delete pair;
        return;
    }
    current_->pairs.append(pair);
}

void UndoHistory::linkGroups(ElementWindow* thisWindow, ElementWindow* otherWindow, UndoHistory* other) {
    if (!other || other == this || !current_ || !other->current_) return;
    UndoGroup* mine = current_.get();
    UndoGroup* theirs = other->current_.get();
    mine->unlink();
    theirs->unlink();
    mine->linkedWindow = otherWindow;
    mine->linkedGroup = theirs;
    mine->linkedHistory = other;
    theirs->linkedWindow = thisWindow;
    theirs->linkedGroup = mine;
    theirs->linkedHistory = this;
}

void UndoHistory::unlinkWindow(const ElementWindow* window) {
    if (!window) return;
    for (UndoHistory* h : liveHistories()) {
        auto unlinkIf = [window](UndoGroup* g) {
            if (g && g->linkedWindow == window) g->unlink();
        };
        unlinkIf(h->current_.get());
        for (IndexedListNode* n = h->groups_.head(); n; n = n->next) unlinkIf(static_cast<UndoGroup*>(n));
    }
}

bool UndoHistory::undoMenuText(KString& text) {
    text.assign("");
    if (cursor_ < 0) return false;
    UndoGroup* g = groupAt(cursor_);
    if (!g) return false;
    text.assignString(g->menuText);
    return true;
}

bool UndoHistory::redoMenuText(KString& text) {
    text.assign("");
    if (!canRedo()) return false;
    UndoGroup* g = groupAt(cursor_ + 1);
    if (!g) return false;
    text.assignString(g->menuText);
    return true;
}

void UndoHistory::undo(ElementPosition* caret) {
    if (cursor_ < 0) return;
    UndoGroup* g = groupAt(cursor_);
    if (!g) return;
    if (caret) caret->detach(true);
    for (int i = g->pairs.count() - 1; i >= 0; --i) {
        EditRecordPair* pair = g->pairAt(i);
        if (pair && pair->undoRecord) pair->undoRecord->apply();
    }
    UndoHistory* other = g->linkedHistory;
    if (g->linkedGroup && other && !linkedUndoRunning && other->cursor_ >= 0 &&
        other->groupAt(other->cursor_) == g->linkedGroup) {
        linkedUndoRunning = true;
        ElementWindow* window = g->linkedWindow;
        if (window) window->update();
        other->undo(window ? window->caret() : nullptr);
        linkedUndoRunning = false;
    }
    restoreFrom(g->caretBefore, caret);
    --cursor_;
}

void UndoHistory::redo(ElementPosition* caret) {
    if (!canRedo()) return;
    UndoGroup* g = groupAt(cursor_ + 1);
    if (!g) return;
    if (caret) caret->detach(true);
    for (int i = 0, n = g->pairs.count(); i < n; ++i) {
        EditRecordPair* pair = g->pairAt(i);
        if (pair && pair->redoRecord) pair->redoRecord->apply();
    }
    UndoHistory* other = g->linkedHistory;
    if (g->linkedGroup && other && !linkedRedoRunning && other->canRedo() &&
        other->groupAt(other->cursor_ + 1) == g->linkedGroup) {
        linkedRedoRunning = true;
        ElementWindow* window = g->linkedWindow;
        if (window) window->update();
        other->redo(window ? window->caret() : nullptr);
        linkedRedoRunning = false;
    }
    restoreFrom(g->caretAfter, caret);
    ++cursor_;
}
