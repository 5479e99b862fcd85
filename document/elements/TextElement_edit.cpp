// TextElement's editing: caret moves, word marking, range marking, the editing commands
// (typing, deleting, splitting the paragraph, style changes, conversions), splitting the run
// and deleting through a position or a range.  Everything that reaches a caret or a caret
// range is here.
//
// Typing and deleting at the caret re-fit the one piece that changed in place (the paragraph's
// childResized) instead of laying the paragraph out: insertion in any piece, deletion in the
// run's last piece.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "document/edit/Document.h"
#include "document/elements/ExpressionEditElement.h"
#include "document/elements/FormatCommand.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/elements/TextCaret.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "platform/os/mbtext.h"

namespace {

// Letters and digits make words for word moves and double clicks; bytes 128-255 count as
// letters too (the accented letters of the code page).
bool isWordChar(const char* t, int at) {
    unsigned char c = static_cast<unsigned char>(t[at]);
    return std::isalnum(c) || c >= 128;
}

StyleSet* stylesOf(Element* e) {
    auto* doc = dynamic_cast<Document*>(e->document());
    return doc ? doc->styleSet() : nullptr;
}

// A private copy of a character style for a part cut out of a run (none stays none).
int privateCopy(Element* e, int index) {
    StyleSet* set = stylesOf(e);
    return set && set->charStyle(index) ? set->copyCharStyleForEdit(index, true) : index;
}

// The caret's offset when it stands in the run, else -1.
int caretOffsetIn(TextElement* run) {
    ViewCaret* caret = run->activeCaret();
    return caret && caret->heldElement() == run ? caret->offset() : -1;
}

}  // namespace

// ---- caret moves -------------------------------------------------------------------------------

bool TextElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    (void)child, (void)index;
    const char* t = text_.text();
    int length = text_.length();
    int o = aligned(position.offset(), true);
    bool oneChar = styleFacts().doubleByte;
    int target = -1;
    switch (code) {
    case 0:
    case 20:
        if (o > 0) target = mb_prev(t, o);
        break;
    case 1:
        if (o > 0) {
            if (oneChar) {
                target = mb_prev(t, o);
            } else {
                int i = o;
                while (i > 0 && !isWordChar(t, mb_prev(t, i))) i = mb_prev(t, i);
                while (i > 0 && isWordChar(t, mb_prev(t, i))) i = mb_prev(t, i);
                target = i;
            }
        }
        break;
    case 2:
        if (o < length) target = mb_next(t, o);
        break;
    case 3:
        if (o < length) {
            if (oneChar) {
                target = mb_next(t, o);
            } else {
                int i = o;
                while (i < length && isWordChar(t, i)) i = mb_next(t, i);
                while (i < length && !isWordChar(t, i)) i = mb_next(t, i);
                target = i;
            }
        }
        break;
    case 18:
        target = length;
        break;
    case 19:
        target = 0;
        break;
    default:
        break;
    }
    if (target < 0) {
        Element* p = parent();
        return p ? p->movePosition(position, code, this, -1) : false;
    }
    bool toStart = code == 0 || code == 1 || code == 18 || code == 20;
    position.setPosition(this, aligned(target, toStart));
    return true;
}

// ---- marking -----------------------------------------------------------------------------------

bool TextElement::mouseDown(const ElementMouseEvent& event) {
    if (event.clicks == 2) {
        const char* t = text_.text();
        int length = text_.length();
        int o = caretOffsetIn(this);
        if (o < 0) o = 0;
        o = aligned(o, true);
        int start = o, end = o;
        while (start > 0 && isWordChar(t, mb_prev(t, start))) start = mb_prev(t, start);
        while (end < length && isWordChar(t, end)) end = mb_next(t, end);
        selectRange(start, end);
        return true;
    }
    if (event.clicks == 3) {
        if (mark != 0) selectionMarkChanged(0);   // the highlight goes (inverted again)
        mark = 0;
        markStart_ = markEnd_ = 0;
    }
    return false;
}

void TextElement::selectRange(int start, int end) {
    start = aligned(start, true);
    end = aligned(end, true);
    ElementWindow* window = worksheetWindow();
    ViewCaret* caret = window ? window->caret() : nullptr;
    Selection* selection = window ? window->selection() : nullptr;
    if (start < end) {
        if (selection) selection->resetMarks();
        expandAncestors();
        setMarkRange(start, end);
        selectionMarkChanged(mark);
        setAncestorsMark(2);
        if (caret && selection) {
            caret->setPosition(this, start);
            selection->setAnchor(*caret);
            caret->setPosition(this, end);
            selection->extendTo(*caret);
            selection->active = true;
            window->selectionActivated();
            caret->scrollIntoView(false);
        }
        return;
    }
    bool wasMarked = mark != 0;
    if (caret) {
        caret->hide();
        caret->setPosition(this, start);
    }
    markStart_ = markEnd_ = start;
    if (caret) {
        caret->scrollIntoView(false);
        caret->show();
    }
    if (wasMarked && selection) selection->resetMarks();
}

int TextElement::markFromSelection(Selection& selection) {
    bool anchorHere = selection.anchor.heldElement() == this;
    bool currentHere = selection.current.heldElement() == this;
    int length = text_.length();
    if (anchorHere || currentHere) {
        int from, to;
        if (anchorHere && currentHere) {
            from = selection.anchor.offset();
            to = selection.current.offset();
        } else {
            // One end lies here: the run is marked from it to the run's end when that end comes
            // first in the document, else from the run's start up to it.
            int at = anchorHere ? selection.anchor.offset() : selection.current.offset();
            bool endIsFirst = anchorHere == selection.anchorFirst;
            from = endIsFirst ? at : 0;
            to = endIsFirst ? length : at;
        }
        setMarkRange(std::min(from, to), std::max(from, to));
        return mark;
    }
    ElementRect rect{};
    ParagraphElement* p = paragraph();
    if (!pieces_.empty() && p && p->pieceRectAt(pieces_[0].lineIndex, pieces_[0].pieceIndex, rect)) {
        ElementPoint o = p->absoluteOrigin();
        rect.x += o.x;
        rect.y += o.y;
    }
    if (selection.classifyRect(rect) == 1) {
        markStart_ = 0;
        markEnd_ = length;
        mark = 1;
    } else {
        markStart_ = markEnd_ = 0;
        mark = 0;
    }
    return mark;
}

void TextElement::createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) {
    if (!markedOnly || mark != 2) {
        InlineElement::createCaretRange(handle, markedOnly, byPath);
        return;
    }
    clampMarks();
    auto* range = new TextCaretRange(this, byPath);
    handle.put(range);
    range->start().setOffset(this, markStart_);
    range->end().setOffset(this, markEnd_);
}

// ---- changes at the caret ----------------------------------------------------------------------

void TextElement::refitPiece(int k, bool forceFull) {
    ParagraphElement* p = paragraph();
    DocumentView* view = activeView();
    if (!p || !view || k < 0 || k >= int(pieces_.size())) {
        ElementExtent ignored;
        layout(ignored);
        return;
    }
    const TextPiece& piece = pieces_[std::size_t(k)];
    ExtentRecord extent;
    selectOwnStyle(*view);
    view->textExtent(extent, text_.text() + piece.start, pieceLength(k));
    if (const FontEntryMetrics* m = view->fontMetrics()) {
        extent.height = m->height;
        extent.ascent = m->ascent;
    }
    p->childResized(this, piece.lineIndex, piece.pieceIndex, extent, forceFull);
}

void TextElement::insertAtCaret(const char* text) {
    if (!text || !*text) return;
    if (styleFacts().readOnly) {
        if (ElementDocument* doc = document()) doc->beep();
        return;
    }
    int n = int(std::strlen(text));
    int o = caretOffsetIn(this);
    o = o < 0 ? text_.length() : aligned(o, true);
    recordChange([&] { text_.insert(o, text); });
    int k = pieceAt(o);
    if (k >= 0) {
        if (pieces_[std::size_t(k)].length >= 0) pieces_[std::size_t(k)].length += n;
        for (std::size_t j = std::size_t(k) + 1; j < pieces_.size(); ++j) pieces_[j].start += n;
        refitPiece(k, std::memchr(text, '\n', std::size_t(n)) != nullptr);
    } else {
        ElementExtent ignored;
        layout(ignored);
    }
    if (ViewCaret* caret = activeCaret()) {
        caret->setPosition(this, o + n);
        if (caret->window() && activeView() == caret->window()->view()) caretArrived();
    }
}

void TextElement::eraseAt(int o) {
    int end = mb_next(text_.text(), o);
    bool inLastPiece = !pieces_.empty() && o >= pieces_.back().start;
    recordChange([&] { text_.eraseRange(o, end - 1); });
    if (inLastPiece) {
        TextPiece& last = pieces_.back();
        if (last.length > 0) last.length = std::max(0, last.length - (end - o));
        refitPiece(int(pieces_.size()) - 1, false);
    } else {
        ElementExtent ignored;
        layout(ignored);
    }
}

bool TextElement::deleteAtCaret(const char* text) {
    bool backspace = text && *text;
    if (styleFacts().readOnly) {
        if (ElementDocument* doc = document()) doc->beep();
        return true;
    }
    Element* p = parent();
    bool alone = !p || p->childCount() == 1;
    ViewCaret* caret = activeCaret();
    if (mark == 1) {
        if (!alone) {
            p->removeChild(this);
            return true;
        }
        mark = 2;
        markStart_ = 0;
        markEnd_ = text_.length();
    }
    if (mark == 2) {
        clampMarks();
        if (caret && caret->heldElement() == this) caret->setPosition(this, markStart_);
        if (markEnd_ > markStart_) {
            int from = markStart_, to = markEnd_;
            recordChange([&] {
                text_.eraseRange(from, to - 1);
                mark = 0;
                markStart_ = markEnd_ = 0;
            });
            ElementExtent ignored;
            layout(ignored);
        }
        mark = 0;
        markStart_ = markEnd_ = 0;
        return true;
    }
    int o = caretOffsetIn(this);
    if (o < 0) return false;
    o = aligned(o, true);
    if ((backspace && o == 0) || (!backspace && o >= text_.length())) {
        return p ? p->command(11, text, reinterpret_cast<std::intptr_t>(this)) : false;
    }
    if (backspace) {
        o = mb_prev(text_.text(), o);
        caret->setPosition(this, o);
    }
    if (text_.length() == mb_char_length(text_.text(), 0) && !alone) {
        p->removeChild(this);
        return true;
    }
    eraseAt(o);
    return true;
}

// ---- splitting ---------------------------------------------------------------------------------

Element* TextElement::splitAt(ElementPosition& position) {
    int o = aligned(position.offset(), true);
    Element* p = parent();
    if (styleFacts().readOnly || o == 0) return this;
    if (o >= text_.length()) return p ? p->nextChild(this) : nullptr;
    auto tail = std::make_unique<TextElement>(privateCopy(this, charStyle_), text_.text() + o);
    TextElement* made = tail.get();
    if (!p || !p->insertChild(made, this, kInsertAfter)) return this;
    tail.release();
    recordChange([&] { text_.eraseRange(o, text_.length() - 1); });
    ElementExtent ignored;
    layout(ignored);
    return made;
}

Element* TextElement::splitAtCaret(const SingleCaret& caret) {
    if (!characterStyle() || styleFacts().readOnly) return this;
    int o = aligned(caret.offset(), true);
    Element* p = parent();
    if (o == 0) return this;
    auto tail = std::make_unique<TextElement>(privateCopy(this, charStyle_), text_.text() + o);
    TextElement* made = tail.get();
    if (!p || !p->insertChild(made, this, kInsertAfter)) return this;
    tail.release();
    if (o < text_.length()) recordChange([&] { text_.eraseRange(o, text_.length() - 1); });
    ElementExtent ignored;
    layout(ignored);
    return made;
}

void TextElement::deleteRange(CaretRange& range) {
    if (styleFacts().readOnly) {
        if (ElementDocument* doc = document()) doc->beep();
        return;
    }
    int from = aligned(range.startOffset(), true);
    int to = aligned(range.endOffset(), true);
    if (from > to) std::swap(from, to);
    if (from == to) return;
    recordChange([&] { text_.eraseRange(from, to - 1); });
    ElementExtent ignored;
    layout(ignored);
}

void TextElement::deleteAtPosition(SingleCaret& position) {
    if (styleFacts().readOnly) {
        if (ElementDocument* doc = document()) doc->beep();
        return;
    }
    int o = position.offset();
    if (o < 0 || o >= text_.length()) return;
    eraseAt(aligned(o, true));
}

bool TextElement::fitsWithin(int maxWidth, const CaretRange* range, CaretHandle& rangeHandle) {
    if (maxWidth < 1) return false;
    DocumentView* view = activeView();
    const char* t = text_.text();
    int length = text_.length();
    int start = 0;
    if (range && range->element() == this) start = std::min(length, mb_next(t, aligned(range->endOffset(), true)));
    TextStyleFacts facts = styleFacts();
    if (view) selectOwnStyle(*view);
    int width = 0, lastBreak = -1;
    for (int i = start; i < length && width <= maxWidth; i = mb_next(t, i)) {
        if (!facts.doubleByte) {
            unsigned char c = static_cast<unsigned char>(t[i]);
            bool isBreak = facts.lineBreak == 1 ? std::isspace(c) != 0 : facts.lineBreak == 3 ? c == '\n' : true;
            if (isBreak) lastBreak = i;
        }
        width += view ? view->textWidth(t + i, mb_char_length(t, i)) : 0;
    }
    int end = lastBreak >= 0 ? mb_next(t, lastBreak) : std::min(length, mb_next(t, start));
    // The old range may live in the handle: keep it alive until the new one is in place.
    CaretHandle keep = rangeHandle;
    auto* made = new TextCaretRange(this, false);
    rangeHandle.put(made);
    made->start().setOffset(this, start);
    made->end().setOffset(this, end);
    return true;
}

ElementExtent TextElement::rangeExtent(const CaretRange* range, DocumentView* view) const {
    if (!view) return {};
    int from = 0, to = text_.length();
    if (range && range->element() == this) {
        from = aligned(range->startOffset(), true);
        to = aligned(range->endOffset(), true);
        if (from > to) std::swap(from, to);
    }
    ExtentRecord extent;
    view->selectStyle(styleKey(charStyle_), false);
    view->textExtent(extent, text_.text() + from, to - from);
    return {extent.width, extent.height};
}

// ---- isolating the mark and the commands ---------------------------------------------------------

TextElement* TextElement::isolateMark() {
    Element* p = parent();
    if (mark == 1 || !p) return this;
    ElementDocument* doc = document();
    clampMarks();
    if (mark == 2 && markEnd_ <= markStart_) mark = 0;   // the marked bytes are gone
    if (mark == 2) {
        LayoutHoldScope hold(doc);
        int ms = markStart_, me = markEnd_, length = text_.length();
        TextElement* part = this;
        Element* after = this;
        if (ms >= 1) {
            part = new TextElement(privateCopy(this, charStyle_), text_.text() + ms, me - ms);
            p->insertChild(part, this, kInsertAfter);
            after = part;
        }
        if (me < length) p->insertChild(new TextElement(charStyle_, text_.text() + me), after, kInsertAfter);
        int keep = ms >= 1 ? ms : me;
        recordChange([&] {
            if (keep < length) text_.eraseRange(keep, length - 1);
            mark = ms >= 1 ? 0 : 1;
            markStart_ = 0;
            markEnd_ = ms >= 1 ? 0 : text_.length();
        });
        part->mark = 1;
        part->markStart_ = 0;
        part->markEnd_ = part->text_.length();
        return part;
    }
    // Unmarked: an empty run with its own copy of the style after the caret's split.
    ViewCaret* caret = activeCaret();
    int o = caretOffsetIn(this);
    if (caret && o >= 0) splitAt(*caret);
    auto* part = new TextElement(privateCopy(this, charStyle_), "");
    if (!p->insertChild(part, this, kInsertAfter)) {
        delete part;
        return this;
    }
    if (caret) caret->setPosition(part, 0);
    return part;
}

bool TextElement::applyFormat(const FormatCommand& format) {
    StyleSet* set = stylesOf(this);
    if (!set) return false;
    CharStyle request(-1);
    const CharStyle* current = characterStyle();
    auto toggled = [](int value) { return value == 1 ? 2 : 1; };
    switch (format.id) {
    case FormatCommand::ITALIC: request.italic = toggled(current ? current->italic : 0); break;
    case FormatCommand::BOLD: request.bold = toggled(current ? current->bold : 0); break;
    case FormatCommand::UNDERLINE: request.underline = toggled(current ? current->underline : 0); break;
    case FormatCommand::CHARACTER:
        if (!format.charStyle) return false;
        request = *format.charStyle;
        break;
    case FormatCommand::FONT:
        if (!format.text) return false;
        request.setFontName(format.text);
        break;
    case FormatCommand::SIZE:
        request.sizeMode = 1;
        request.size = std::int16_t(std::clamp(format.size, 1, 32767));
        break;
    default:
        return false;
    }
    if (mark != 0)
        if (ViewCaret* caret = activeCaret()) caret->holdAsPoint();
    TextElement* part = isolateMark();
    int index = part->charStyle_;
    int paraStyle = paragraph() ? paragraph()->styleIndex : 0;
    if (set->changeCharStyle(index, paraStyle, request, -1)) {
        part->recordChange([&] { part->charStyle_ = std::int16_t(index); });
        ElementExtent ignored;
        part->layout(ignored);
    }
    return true;
}

bool TextElement::convertMark(int commandId) {
    if (mark == 0) return false;
    Element* made = nullptr;
    TextElement* part = isolateMark();
    std::string text(part->text(), std::size_t(part->textLength()));
    switch (commandId) {
    case 2552: made = new ExpressionEditElement(0, text.c_str()); break;
    case 2553: made = new InputTextElement(1, text.c_str()); break;
    default: return false;   // hyperlinks come with their own element class
    }
    Element* p = part->parent();
    if (!p || !p->replaceChild(part, made)) {
        delete made;
        return false;
    }
    destroyElement(part);
    if (ViewCaret* caret = made->activeCaret()) {
        caret->setPosition(made, 0);
        caret->holdAsPoint();
    }
    return true;
}

bool TextElement::command(int code, const char* text, std::intptr_t argument) {
    switch (code) {
    case 0:
        if (!styleFacts().readOnly) return false;
        if (ElementDocument* doc = document()) doc->beep();
        return true;
    case 3:
        return argument && applyFormat(*reinterpret_cast<const FormatCommand*>(argument));
    case 9:
    case 10:
        insertAtCaret(text);
        return true;
    case 11:
        return deleteAtCaret(text);
    case 23: {
        ViewCaret* caret = activeCaret();
        ParagraphElement* p = paragraph();
        if (!caret || !p || caret->heldElement() != this) return false;
        Element* second = splitAt(*caret);
        int index = second ? p->indexOfChild(second) : p->childCount();
        Element* made = p->splitAtIndex(index < 0 ? p->childCount() : index);
        if (made != p)
            if (Element* first = made->firstChild()) caret->setPosition(first, 0);
        return false;
    }
    case 31:
        return convertMark(int(argument));
    case 40: {
        if (argument == charStyle_) return false;
        int index = int(argument);
        TextElement* part = isolateMark();
        part->recordChange([&] { part->charStyle_ = std::int16_t(index); });
        ElementExtent ignored;
        part->layout(ignored);
        return false;
    }
    default:
        return false;
    }
}
