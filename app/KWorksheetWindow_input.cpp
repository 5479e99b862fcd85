// The worksheet window's input: keys with their movement table, the mouse with selection
// tracking and the auto-scroll step, and drag and drop with the shared drag record.
//
// Key to caret movement code (Shift extends the selection from an anchor set at the first
// extended move; without Shift, or with Tab, the selection is cleared first):
//
// | key          | code |   | key          | code |
// |--------------|------|---|--------------|------|
// | Left         | 0    |   | Page Down    | 7    |
// | Ctrl+Left    | 1    |   | Home         | 8    |
// | Right        | 2    |   | End          | 9    |
// | Ctrl+Right   | 3    |   | Ctrl+Home    | 10   |
// | Up           | 4    |   | Ctrl+End     | 11   |
// | Down         | 5    |   | Ctrl+Up      | 12   |
// | Page Up      | 6    |   | Ctrl+Down    | 13   |
// | Tab          | 14   |   | Shift+Tab    | 15   |
#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>

#include "app/KEditorPart.h"
#include "app/KFrameAdaptor.h"
#include "app/KMainFrame.h"
#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "util/errjump.h"
#include "util/messages.h"

int KWorksheetWindow::injectedDropError = 0;

namespace {

struct MovementKey {
    uint16_t key;
    bool ctrl;
    int movement;
};

constexpr MovementKey kMovementKeys[] = {
    {KEY_LEFT, false, 0},  {KEY_LEFT, true, 1},   {KEY_RIGHT, false, 2},   {KEY_RIGHT, true, 3},
    {KEY_UP, false, 4},    {KEY_DOWN, false, 5},  {KEY_PAGEUP, false, 6},  {KEY_PAGEDOWN, false, 7},
    {KEY_HOME, false, 8},  {KEY_END, false, 9},   {KEY_HOME, true, 10},    {KEY_END, true, 11},
    {KEY_UP, true, 12},    {KEY_DOWN, true, 13},  {KEY_TAB, false, 14},    {KEY_TAB, true, 14},
};

int movementOf(const KeyEvent& e) {
    for (const MovementKey& k : kMovementKeys)
        if (k.key == e.getCode() && k.ctrl == e.isMod1()) return k.movement;
    return -1;
}

// The application's drag-scroll timer and the window it works for.
KWorksheetWindow* gDragWindow = nullptr;

class DragScrollTimer : public Timer {
public:
    void Timeout() override {
        if (gDragWindow) gDragWindow->dragScrollStep();
    }
};

DragScrollTimer& dragScrollTimer() {
    static DragScrollTimer timer;
    return timer;
}

}  // namespace

KWorksheetWindow* KWorksheetWindow::dragWindow() { return gDragWindow; }

KWorksheetWindow::DragRecord& KWorksheetWindow::dragRecord() {
    static DragRecord record;
    return record;
}

Point KWorksheetWindow::documentPoint(Point windowPoint) const {
    ElementPoint out{static_cast<int>(windowPoint.x), static_cast<int>(windowPoint.y)};
    if (view()) view()->windowToDocument({out.x, out.y}, out);
    return Point(out.x, out.y);
}

// ---- keys ---------------------------------------------------------------------------------------

void KWorksheetWindow::moveCaretByKey(int movement, bool shift, bool tab) {
    ViewCaret* c = caret();
    Selection* s = selection();
    Element* root = document_->root();
    if (!shift || tab) {
        if (root && root->mark != 0) clearMarks();
        selecting_ = false;
    } else if (!selecting_) {
        s->setAnchor(*c);
        selecting_ = true;
    }
    if (movement == 10) scrollTo({0, 0}, false);
    if (movement == 11) scrollTo({0, docHeight}, true);
    if (movement == 14 && shift) movement = 15;
    c->moveByAndShow(movement);
    if (movement == 8) scrollBy(scrollX, 0);
    if (shift && !tab) {
        s->extendTo(*c);
        updateCaretState(false);
        invalidate();
    }
}

void KWorksheetWindow::keyInput(const KeyEvent& e) {
    guardedHandler("key", [&] {
        if (adaptor && adaptor->isMinimized()) return;
        if (tracking_) {
            Sound::beep();
            return;
        }
        if (e.getFunction() >= KEYFUNC_CUT && e.getFunction() <= KEYFUNC_FIND) {
            KDocWindow::keyInput(e);
            return;
        }
        if (!document_ || !caret()) return;
        ViewCaret* c = caret();
        Element* root = document_->root();
        const uint16_t code = e.getCode();
        const int movement = movementOf(e);
        if (movement >= 0 && !computing_) {
            const bool marked = root && root->mark != 0;
            if (marked && !e.isShift() && (code == KEY_LEFT || code == KEY_RIGHT)) {
                // Collapse the selection to its start (Left) or end (Right).
                Selection* s = selection();
                const bool toStart = code == KEY_LEFT;
                TextPosition& end = (toStart == s->anchorFirst) ? s->anchor : s->current;
                Element* at = end.element();
                const int offset = end.offset();
                clearMarks();
                if (at) {
                    c->hideShow(3);
                    c->setPosition(at, offset);
                    c->invalidate();
                    c->hideShow(4);
                }
                return;
            }
            if (code == KEY_TAB) {
                if (Element* element = c->element(); element && element->command(kTypeChar, "\t", e.isShift()))
                    return;
            }
            moveCaretByKey(movement, e.isShift(), code == KEY_TAB);
            return;
        }
        DeleteRecord record;
        switch (code) {
        case KEY_RETURN:
            if (e.isShift()) {
                const char lineFeed[2] = {'\n', 0};
                executeAction(kTypeChar, lineFeed, 0);
            } else if (e.isMod1()) {
                executeAction(kSplit, nullptr, 0);
            } else {
                executeAction(kEnter, nullptr, 0);
            }
            return;
        case KEY_ESCAPE: clearMarks(); return;
        case KEY_BACKSPACE:
            record.backward = 1;
            executeAction(kDelete, reinterpret_cast<const char*>(&record), 0);
            return;
        case KEY_DELETE:
            executeAction(kDelete, reinterpret_cast<const char*>(&record), 0);
            return;
        default: break;
        }
        if (e.isMod1() && code == KEY_A + ('H' - 'A')) {
            record.backward = 1;
            executeAction(kDelete, reinterpret_cast<const char*>(&record), 0);
            return;
        }
        if (e.isMod1() && code == KEY_A + ('L' - 'A')) {
            invalidate();
            return;
        }
        const char ch = static_cast<char>(e.getCharCode());
        const bool altAlone = e.isMod2() && !e.isMod1();
        if (ch != 0 && !altAlone && static_cast<unsigned char>(ch) >= 32) {
            const char text[2] = {ch, 0};
            executeAction(kTypeChar, text, 0);
            return;
        }
        KDocWindow::keyInput(e);
    });
}

// ---- mouse ----------------------------------------------------------------------------------------

void KWorksheetWindow::startSelectionTracking() {
    tracking_ = true;
    selecting_ = true;
    captureMouse();
    gDragWindow = this;
    dragScrollTimer().setRepeat(true);
    dragScrollTimer().setTimeout(kDragScrollMs);
    dragScrollTimer().start();
}

void KWorksheetWindow::stopTracking() {
    if (gDragWindow == this) {
        dragScrollTimer().stop();
        gDragWindow = nullptr;
    }
    if (tracking_) releaseMouse();
    tracking_ = false;
}

void KWorksheetWindow::mouseButtonDown(const MouseEvent& e) {
    guardedHandler("mouse", [&] {
        if (captured_ || !document_ || !caret()) return;
        if (!hasFocus()) {
            if (adaptor) adaptor->toTop();
            grabFocus();
            if (e.getClicks() == 1) Window::update();
        }
        ViewCaret* c = caret();
        Selection* s = selection();
        Element* root = document_->root();
        const Point dp = documentPoint(e.getPosPixel());
        const int x = static_cast<int>(dp.x), y = static_cast<int>(dp.y);
        lastMouse_ = e.getPosPixel();
        if (e.isLeft()) {
            if (e.isShift()) {
                if (!selecting_) s->setAnchor(*c);
                c->moveToPoint(x, y);
                s->extendTo(*c);
                selecting_ = true;
                updateCaretState(false);
                invalidate();
                startSelectionTracking();
                return;
            }
            const bool marked = root && root->mark != 0;
            if (marked && e.getClicks() == 1 && !document_->isPointOutsideSelection(x, y)) {
                // A drag of the marked selection needs the clipboard's drag data; until it
                // comes the click goes on as a plain click.
                clearMarks();
            } else if (marked && !e.isMod1()) {
                clearMarks();
            }
        }
        if (e.getClicks() == 1 || e.getClicks() > 3) c->moveToPoint(x, y);
        ElementPoint origin;
        Element* hit = document_->elementAtPoint(x, y, origin);
        const ElementMouseEvent me{x - origin.x, y - origin.y, e.getClicks(), e.getButtons()};
        bool taken = false;
        if (hit && e.isLeft()) {
            taken = hit->mouseDown(me);
            if (!taken && e.getClicks() == 2) {
                // A double click selects the element under the point.
                Element* target = hit;
                if (Element* p = hit->parent(); hit->isInline() && !p) target = hit;
                s->setAnchor(*c);
                c->setPosition(target, 0);
                s->setAnchor(*c);
                c->moveBy(9);
                s->extendTo(*c);
                target->markSubtree(1);
                target->setAncestorsMark(2);
                selecting_ = true;
                updateCaretState(false);
                invalidate();
                return;
            }
        }
        if (!taken && e.isLeft() && e.getClicks() == 1) {
            s->setAnchor(*c);
            startSelectionTracking();
        }
    });
}

void KWorksheetWindow::mouseMove(const MouseEvent& e) {
    guardedHandler("mouse", [&] {
        if (!document_ || !caret()) return;
        if (!selecting_ || !tracking_) return;
        const Point p = e.getPosPixel();
        if (p == lastMouse_) return;
        lastMouse_ = p;
        const Size canvas = canvasSize();
        const Point clamped(std::clamp<long>(p.x, 0, std::max<long>(canvas.width - 1, 0)),
                            std::clamp<long>(p.y, 0, std::max<long>(canvas.height - 1, 0)));
        const Point dp = documentPoint(clamped);
        ViewCaret* c = caret();
        c->moveToPoint(static_cast<int>(dp.x), static_cast<int>(dp.y));
        selection()->extendTo(*c);
        updateCaretState(false);
        invalidate();
        if (captured_) {
            ElementPoint origin;
            captured_->getAbsoluteOrigin(origin);
            captured_->mouseDrag({static_cast<int>(dp.x) - origin.x, static_cast<int>(dp.y) - origin.y, 1, 1});
        }
    });
}

void KWorksheetWindow::mouseButtonUp(const MouseEvent& e) {
    guardedHandler("mouse", [&] {
        if (captured_) {
            const Point dp = documentPoint(e.getPosPixel());
            ElementPoint origin;
            captured_->getAbsoluteOrigin(origin);
            Element* held = captured_;
            held->mouseUp({static_cast<int>(dp.x) - origin.x, static_cast<int>(dp.y) - origin.y, e.getClicks(),
                           e.getButtons()});
        }
        if (tracking_) stopTracking();
        updateCaretState(true);
    });
}

void KWorksheetWindow::dragScrollStep() {
    guardedHandler("mouse", [&] {
        if (!tracking_) return;
        const Size canvas = canvasSize();
        long dx = 0, dy = 0;
        if (lastMouse_.x < 0) dx = lastMouse_.x;
        else if (lastMouse_.x >= canvas.width) dx = lastMouse_.x - canvas.width + 1;
        if (lastMouse_.y < 0) dy = lastMouse_.y;
        else if (lastMouse_.y >= canvas.height) dy = lastMouse_.y - canvas.height + 1;
        if (dx != 0 || dy != 0) scrollBy(dx, dy);
        const Point replay = lastMouse_;
        lastMouse_ = Point(replay.x + 1, replay.y);   // so the replay is not a move to the same point
        mouseMove(MouseEvent(replay, 1, MOUSE_LEFT, 0));
    });
}

// ---- drag and drop ------------------------------------------------------------------------------

bool KWorksheetWindow::queryDrop(const MouseEvent& e) {
    bool ok = false;
    guardedHandler("drop", [&] {
        if (!hasFocus() && adaptor) adaptor->toTop();
        const DragRecord& drag = dragRecord();
        if (!drag.fragment || isReadOnly() || !document_) return;
        const Point dp = documentPoint(e.getPosPixel());
        ElementPoint origin;
        Element* hit = document_->elementAtPoint(static_cast<int>(dp.x), static_cast<int>(dp.y), origin);
        if (hit && !hit->takeFragment(nullptr)) return;
        if (!document_->isPointOutsideSelection(static_cast<int>(dp.x), static_cast<int>(dp.y))) return;
        ok = true;
    });
    return ok;
}

bool KWorksheetWindow::drop(const MouseEvent& e) {
    return dropAt(e.getPosPixel(), e.getClicks() == DROP_COPY);
}

bool KWorksheetWindow::dropAt(Point windowPoint, bool copy) {
    DragRecord& drag = dragRecord();
    if (!drag.fragment || !document_) return false;
    const Point dp = documentPoint(windowPoint);
    const int x = static_cast<int>(dp.x), y = static_cast<int>(dp.y);
    if (!document_->isPointOutsideSelection(x, y)) return true;
    drag.target = this;
    KWorksheetWindow* source = drag.source ? drag.source : this;
    UndoHistory* sourceHistory = source->document_->undoHistory();
    UndoHistory* targetHistory = document_->undoHistory();
    const bool twoDocuments = source->document_ != document_;
    const int sourceBefore = sourceHistory->cursor();
    const int targetBefore = targetHistory->cursor();
    sourceHistory->beginGroup("Drag and Drop", source->caret(), false);
    if (twoDocuments) {
        targetHistory->beginGroup("Drag and Drop", caret(), false);
        sourceHistory->linkGroups(source->elementWindow(), elementWindow(), targetHistory);
    }
    bool ok = false;
    try {
        ErrorGuard guard;
        TextPosition at(document_);
        at.setFromPoint(x, y, false);
        DeleteRecord record;
        record.position = &at;
        if (!copy) source->executeAction(kDelete, reinterpret_cast<const char*>(&record), 0);
        else source->clearMarks();
        ViewCaret* c = caret();
        if (Element* e = at.element()) c->setPosition(e, at.offset());
        if (!record.movedByElement) {
            if (injectedDropError != 0) {
                const int which = injectedDropError;
                injectedDropError = 0;
                if (which == 1) raiseRecord(&outOfMemoryRecord);
                raiseError(nullptr);
            }
            for (int i = 0, n = drag.fragment->childCount(); i < n; ++i)
                if (!insertElement(drag.fragment->childAt(i)->cloneElement(), kInsertAfter, true)) break;
            invalidate();
        }
        ok = true;
    } catch (const ErrorJump&) {
        reportOutOfMemory("drop");
    } catch (const std::bad_alloc&) {
        reportOutOfMemory("drop");
    }
    if (twoDocuments) targetHistory->endUndoGroup(caret());
    sourceHistory->endUndoGroup(source->caret());
    if (!ok) {
        // What the move already did is taken back: both documents are as before.
        if (twoDocuments && targetHistory->cursor() != targetBefore) targetHistory->undo(caret());
        if (sourceHistory->cursor() != sourceBefore) sourceHistory->undo(source->caret());
    }
    document_->relayout();
    updateExtent();
    invalidate();
    if (twoDocuments) {
        source->document_->relayout();
        source->updateExtent();
        source->invalidate();
    }
    return ok;
}
