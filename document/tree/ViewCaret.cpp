// ViewCaret: hide counter, moves, scrolling into view and command dispatch.
#include "document/tree/ViewCaret.h"

#include "document/tree/Element.h"
#include <algorithm>

#include "document/tree/CaretPosition.h"
#include "document/tree/ParagraphLine.h"

ViewCaret::ViewCaret(ElementDocument* document, ElementWindow* window)
    : TextPosition(document), window_(window) {
    if (window_) cursor_.reset(window_->createCursor());
}

ViewCaret::~ViewCaret() {
    if (cursor_) cursor_->hide();
}

void ViewCaret::hideShow(int code) {
    switch (code) {
    case 1:
    case 3:
        if (!busy) {
            if (hideCount_ == 0 && element_ && ownCaret) {
                if (ownDrawn) {
                    element_->drawCaret(*this, 1);
                    ownDrawn = false;
                    busy = true;
                    if (window_) window_->update();
                    busy = false;
                }
            } else if (hideCount_ >= 0 && cursor_) {
                cursor_->hide();
            }
        }
        ++hideCount_;
        return;
    case 2:
        return;
    case 5:
        ++hideCount_;
        if (!busy) {
            if (ownDrawn) ownDrawn = false;
            else if (cursor_) cursor_->hide();
        }
        return;
    default:
        break;
    }
    if (hideCount_ > 0) --hideCount_;
    if (busy || hideCount_ != 0 || !window_ || !window_->allowsCaret()) return;
    Element* e = element();
    if (!e) return;
    const ElementRect& r = rectangle();
    if (!ownCaret) {
        if (!cursor_) return;
        cursor_->setSize(r.width, r.height);
        DocumentView* view = window_->view();
        ElementPoint p = view ? view->documentToWindowXY16(r.x, r.y) : ElementPoint{r.x, r.y};
        cursor_->setPos(p.x, p.y);
        cursor_->show();
    } else if (!ownDrawn) {
        window_->update();
        e->drawCaret(*this, 0);
        ownDrawn = true;
    }
}

void ViewCaret::moveBy(int code) {
    bool handled = document_ && document_->moveCaret(*this, code);
    if (!handled) {
        // Commands run by the moves may remove elements; deletions wait until the move returned.
        ElementOperationScope scope;
        Element* e = element();
        if (!e) return;
        switch (code) {
        case 12: {
            Element* p = e->parent();
            if (p && p->parent()) setPosition(p, 0);
            else moveBy(10);
            break;
        }
        case 13:
            break;
        case 14:
        case 15:
            if (!e->movePosition(*this, code, nullptr, -1)) {
                Element* target = e->nextActiveInput(code == 15);
                if (target) setPosition(target, 0);
                else if (window_) window_->beep();
            }
            break;
        default:
            e->movePosition(*this, code, nullptr, -1);
            break;
        }
    }
    switch (code) {
    case 0: case 1: case 2: case 3: case 8: case 9: case 20:
        column = rectangle().x;
        break;
    default:
        break;
    }
}

void ViewCaret::moveByAndShow(int code) {
    hideShow(3);
    moveBy(code);
    scrollIntoView(false);
    notifyElement();
    hideShow(4);
}

void ViewCaret::moveToPoint(int x, int y) {
    hideShow(3);
    setFromPoint(x, y, true);
    notifyElement();
    hideShow(4);
}

void ViewCaret::scrollIntoView(bool centre) {
    if (!window_) return;
    ElementRect r = rectangle();
    if (ParagraphLine* l = line()) {
        ElementRect lr;
        l->lineRect(lr);
        r.y = lr.y;
        r.height = lr.height;
    }
    Element* e = element();
    if (e && e->enclosingCollapsedSection()) e->expandAncestors();
    DocumentView* view = window_->view();
    if (view) {
        ElementPoint p;
        view->windowToDocument({r.x, r.y}, p);
        r.x = p.x;
        r.y = p.y;
    }
    // A margin of 4 pixels on every side keeps the caret off the window's edge.
    r.x -= 4;
    r.y -= 4;
    r.width += 8;
    r.height += 8;
    ElementRect extra;
    if (e && e->extraVisibleArea(extra) && !extra.empty()) {
        int right = std::max(r.right(), extra.right());
        int bottom = std::max(r.bottom(), extra.bottom());
        r.x = std::min(r.x, extra.x);
        r.y = std::min(r.y, extra.y);
        r.width = right - r.x;
        r.height = bottom - r.y;
    }
    if (window_->isRectVisible(r)) return;
    if (centre && view) {
        int half = view->availableHeight() / 2;
        r.y -= half;
        r.height += 2 * half;
    }
    window_->scrollIntoView(r);
}

void ViewCaret::notifyElement() {
    Element* e = element();
    if (!e) return;
    ElementDocument* doc = e->document();
    if (doc && doc->activeWindow()) e->caretArrived();
}

void ViewCaret::refreshWindow() {
    busy = false;
    if (window_) window_->update();
}

bool ViewCaret::dispatchCommand(int code, const char* text, std::intptr_t argument) {
    // An element may remove itself in its own command (a section's Delete): its deletion waits
    // until this dispatch has returned, and the caret has already left it by then.
    ElementOperationScope scope;
    for (Element* e = element(); e; e = e->parent())
        if (e->command(code, text, argument)) return true;
    return false;
}

bool ViewCaret::captureCaret(CaretHandle& handle, bool byPath) {
    bool result = TextPosition::captureCaret(handle, byPath);
    if (SingleCaret* caret = handle.single()) caret->isViewCaret = true;
    return result;
}

void ViewCaret::restoreFromCaret(CaretHandle& handle) {
    hideShow(3);
    TextPosition::restoreFromCaret(handle);
    valid = false;
    if (!busy) {
        scrollIntoView(false);
        notifyElement();
    }
    hideShow(4);
}
