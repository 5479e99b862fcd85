// InlineElement: parent link and the layout protocol of paragraph-level elements.
#include "document/elements/InlineElement.h"

#include <algorithm>
#include <cstring>

#include "document/elements/ParagraphElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"

ParagraphElement* InlineElement::paragraph() const { return dynamic_cast<ParagraphElement*>(parent_); }

StyleKey InlineElement::styleKey(int charStyle) const {
    ParagraphElement* p = paragraph();
    return StyleKey{static_cast<std::int16_t>(charStyle), static_cast<std::int16_t>(p ? p->styleIndex : 0), -1};
}

void InlineElement::measureText(ExtentRecord& out, int charStyle, const char* text, int length) {
    out = ExtentRecord{};
    DocumentView* view = activeView();
    if (!view) return;
    view->selectStyle(styleKey(charStyle), false);
    view->textExtent(out, text, length);
    if (const FontEntryMetrics* m = view->fontMetrics()) {
        out.height = m->height;
        out.ascent = m->ascent;
    }
}

void InlineElement::drawTextAt(int x, int y, int charStyle, const char* text, int length) {
    DocumentView* view = activeView();
    if (!view || length <= 0) return;
    view->selectStyle(styleKey(charStyle), false);
    view->drawText({x, y}, text, length, true);
}

void InlineElement::draw(int x, int y, const ElementRect& clip, ExtentRecord& piece, int part) {
    (void)clip, (void)piece, (void)part;
    int length = 0, charStyle = -1;
    if (const char* text = layoutText(length, charStyle)) drawTextAt(x, y, charStyle, text, length);
}

void InlineElement::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    out = ExtentRecord{};
    hasLineBreak = false;
    int length = 0, charStyle = -1;
    if (const char* text = layoutText(length, charStyle)) {
        measureText(out, charStyle, text, length);
        hasLineBreak = std::memchr(text, '\n', static_cast<std::size_t>(length)) != nullptr;
    }
    width = out.width;
    height = out.height;
    ascent = out.ascent;
    flows = canFlow();
}

void InlineElement::placeInLine(int childIndex, const ExtentRecord& extent) {
    ParagraphElement* p = paragraph();
    if (!p) return;
    p->addPiece(childIndex, extent, -1, lineIndex, pieceIndex);
}

void InlineElement::flowInLines(int childIndex, const ExtentRecord& extent) {
    if (ParagraphElement* p = paragraph()) p->newLine();
    placeInLine(childIndex, extent);
}

namespace {
// The character boundary nearest to x in a text measured through the view.
int offsetAtX(DocumentView& view, const char* text, int length, int x) {
    int previous = 0;
    for (int i = 1; i <= length; ++i) {
        int w = view.textWidth(text, i);
        if (x < w) return x - previous < w - x ? i - 1 : i;
        previous = w;
    }
    return length;
}
}  // namespace

void InlineElement::hitTest(TextPosition& position, int localX, int localY, int part) {
    (void)localY, (void)part;
    int length = 0, charStyle = -1;
    const char* text = characterCaret() ? layoutText(length, charStyle) : nullptr;
    DocumentView* view = activeView();
    int offset;
    if (text && view) {
        view->selectStyle(styleKey(charStyle), false);
        offset = offsetAtX(*view, text, length, localX);
    } else {
        offset = localX < width / 2 ? 0 : 2;
    }
    position.setPosition(this, offset);
    locatePosition(position);
}

void InlineElement::locatePosition(TextPosition& position) {
    ParagraphElement* p = paragraph();
    ElementPoint origin = p ? p->absoluteOrigin() : ElementPoint{};
    ParagraphLine* line = p ? p->piecePosition(lineIndex, pieceIndex, origin) : nullptr;
    int length = 0, charStyle = -1;
    const char* text = characterCaret() ? layoutText(length, charStyle) : nullptr;
    if (text) {
        int offset = std::clamp(position.offset(), 0, length);
        int x = 0;
        if (DocumentView* view = activeView(); view && offset > 0) {
            view->selectStyle(styleKey(charStyle), false);
            x = view->textWidth(text, offset);
        }
        position.rect = {origin.x + x, origin.y, 2, std::max(height, 1)};
        position.ownCaret = false;
    } else {
        position.rect = {origin.x, origin.y, width, height};
        position.ownCaret = true;
    }
    position.hintA = line ? lineIndex : -1;
    position.hintB = line ? pieceIndex : -1;
    position.valid = true;
}

bool InlineElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    if (code == 18 || code == 19) {
        int length = 0, charStyle = -1;
        const char* text = characterCaret() ? layoutText(length, charStyle) : nullptr;
        position.setPosition(this, code == 18 ? 0 : (text ? length : 2));
        return true;
    }
    (void)child, (void)index;
    return parent_ ? parent_->movePosition(position, code, this, -1) : false;
}

ParagraphLine* InlineElement::lineAtPosition(TextPosition& position) {
    (void)position;
    ParagraphElement* p = paragraph();
    ElementPoint ignored;
    return p ? p->piecePosition(lineIndex, pieceIndex, ignored) : nullptr;
}

void InlineElement::caretArrived() {
    if (parent_) parent_->caretArrived();
}

void InlineElement::layout(ElementExtent& area) {
    if (parent_) {
        ElementExtent ignored;
        parent_->layout(ignored);
    }
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    area = {width, height};
}

bool InlineElement::command(int code, const char* text, std::intptr_t argument) {
    (void)argument;
    if (code != 11) return false;
    if (text && *text == '\0' && parent_) {
        parent_->removeChild(this);
    } else if (ElementDocument* doc = document()) {
        doc->beep();
    }
    return true;
}

void InlineElement::setCaretOffset(int offset) {
    if (ViewCaret* caret = activeCaret()) caret->setPosition(this, offset);
}

ElementRect InlineElement::documentRect() const {
    ElementPoint o = absoluteOrigin();
    return {o.x, o.y, width, height};
}

void InlineElement::drawCaret(TextPosition& position, int mode) {
    (void)mode;
    ElementWindow* window = worksheetWindow();
    if (DocumentView* view = window ? window->view() : nullptr) view->drawFrame(position.rect, 0);
}

void InlineElement::selectionMarkChanged(int newMark) {
    (void)newMark;
    ElementWindow* window = worksheetWindow();
    if (DocumentView* view = window ? window->view() : nullptr) view->highlightRect(documentRect());
}

int InlineElement::markFromSelection(Selection& selection) {
    return selection.classifyRect(documentRect()) == 1 ? 1 : 0;
}

void InlineElement::renderAt(const ElementPoint& baseline, DocumentView& view) {
    ExtentRecord e;
    bool flows = false, lineBreak = false;
    measure(e, flows, lineBreak);
    view.fillRect({baseline.x, baseline.y - e.ascent, e.width, e.height}, 0xFFFFFF, 0, 1);
    view.drawLine(baseline, {baseline.x + e.width, baseline.y}, 0);
}
