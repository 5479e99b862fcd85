// TextElement's layout: measuring, placing, breaking into lines, drawing with the highlight,
// hit tests, caret rectangles and joining with neighbouring runs.
//
// Breaking (flowIntoLines) fills the paragraph's lines from its current line.  Each pass places
// one piece: it scans characters while they fit the room left on the line, remembering the last
// break point (a blank in mode 1, any position in mode 2, only newlines in mode 3, the places
// between characters in the Japanese mode, which also keeps the line-start and line-end rules).
// Blanks at a break stay on the line; the line's width is then capped at the room it had.
//
// Progress: every pass places at least one character, or (only on the run's first line, when
// not even its first word fits) starts a new line and passes on; a second pass in a row never
// does that.  So no text, however narrow the line, loops or piles up empty lines.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "platform/os/mbtext.h"

namespace {

// Views of this kind measure every scanned prefix whole instead of summing character widths.
constexpr int PREFIX_MEASURING_VIEW = 6;

void fontBox(DocumentView& view, ExtentRecord& extent) {
    if (const FontEntryMetrics* m = view.fontMetrics()) {
        extent.height = m->height;
        extent.ascent = m->ascent;
    }
}

}  // namespace

void TextElement::selectOwnStyle(DocumentView& view) { view.selectStyle(styleKey(charStyle_), false); }

int TextElement::pieceLength(int k) const {
    const TextPiece& p = pieces_[std::size_t(k)];
    int rest = std::max(0, text_.length() - p.start);
    return p.length < 0 ? rest : std::min(p.length, rest);
}

int TextElement::pieceAt(int offset) const {
    int found = -1;
    for (int k = 0; k < int(pieces_.size()); ++k) {
        if (pieces_[std::size_t(k)].start <= offset) found = k;
        else break;
    }
    return found < 0 && !pieces_.empty() ? 0 : found;
}

// ---- measuring and placing ---------------------------------------------------------------------

void TextElement::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    out = ExtentRecord{};
    if (DocumentView* view = activeView()) {
        selectOwnStyle(*view);
        view->textExtent(out, text_.text(), text_.length());
        fontBox(*view, out);
    }
    width = out.width;
    height = out.height;
    ascent = out.ascent;
    flows = true;
    hasLineBreak = std::memchr(text_.text(), '\n', std::size_t(text_.length())) != nullptr;
}

void TextElement::placeInLine(int childIndex, const ExtentRecord& extent) {
    pieces_.clear();
    ParagraphElement* p = paragraph();
    if (!p) return;
    TextPiece piece{0, -1, -1, -1};
    p->addPiece(childIndex, extent, 0, piece.lineIndex, piece.pieceIndex);
    pieces_.push_back(piece);
    lineIndex = piece.lineIndex;
    pieceIndex = piece.pieceIndex;
}

void TextElement::flowIntoLines(int childIndex) {
    ParagraphElement* p = paragraph();
    DocumentView* view = activeView();
    int length = text_.length();
    if (length == 0 || !p || !view) {
        ExtentRecord extent;
        bool flows = false, lineBreak = false;
        measure(extent, flows, lineBreak);
        placeInLine(childIndex, extent);
        return;
    }
    pieces_.clear();
    selectOwnStyle(*view);
    TextStyleFacts facts = styleFacts();
    const bool doubleByte = facts.doubleByte;
    const bool breakAtSpaces = !doubleByte && facts.lineBreak == 1;
    const bool breakAtReturns = !doubleByte && facts.lineBreak == 3;
    const bool prefixMeasuring = view->viewKind() == PREFIX_MEASURING_VIEW;
    const char* t = text_.text();
    int byteWidth[256];
    std::fill(std::begin(byteWidth), std::end(byteWidth), -1);

    int i = 0;
    bool first = true;
    while (i < length) {
        // a. The room on the line and the pass's state.
        const int available = p->remainingWidth();
        int width = 0, brk = -1, bytes = 0, previous = -1;
        const int start = i;
        // b. Scan the characters that fit.
        while (i < length) {
            int n = mb_char_length(t, i);
            if (i + n > length) break;
            if (prefixMeasuring) {
                width = view->textWidth(t + start, i - start + 1);
            } else if (n == 1) {
                // One byte always measures the same in one font: each byte value is asked once.
                int& w = byteWidth[static_cast<unsigned char>(t[i])];
                if (w < 0) w = view->textWidth(t + i, 1);
                width += w;
            } else {
                width += view->textWidth(t + i, n);
            }
            if (width > available && !breakAtReturns) break;
            unsigned char c = static_cast<unsigned char>(t[i]);
            bool newline = c == '\n';
            if (c == ' ' && (breakAtSpaces || (doubleByte && (previous < 0 || !mb_is_lead_byte(static_cast<unsigned char>(t[previous]))))))
                brk = i + n;
            if (newline) brk = i + n;
            if (mb_is_lead_byte(c)) brk = -1;
            bytes += n;
            previous = i;
            i += n;
            if (newline) break;
        }
        const bool restFits = i >= length && width <= available;
        // c. Japanese mode without a break: back to a place where a line may end and the next
        //    begin, unless that walks back to the piece's start.
        if (doubleByte && brk == -1 && !restFits) {
            int savedI = i, savedBytes = bytes;
            while (i > start) {
                int before = mb_prev(t, i);
                if (before >= start && jp_may_start_line(t, i) && jp_may_end_line(t, before)) break;
                bytes -= i - before;
                i = before;
            }
            if (i <= start) i = savedI, bytes = savedBytes;
        }
        // d. Blanks right after the scan stay on this line; the break goes after them.
        if (!restFits) {
            while (i < length && t[i] == ' ') {
                ++i;
                ++bytes;
                brk = i;
            }
        }
        // e. The whole rest fits, or a break is forced.
        if (restFits) {
            brk = length;
        } else if (brk == -1) {
            if (!first || breakAtReturns || doubleByte) brk = start + std::max(bytes, mb_char_length(t, start));
            else brk = start;   // the word moves whole to the next line
        }
        // f. Place the piece.
        bytes = brk - start;
        if (bytes > 0) {
            TextPiece piece{start, bytes, -1, -1};
            ExtentRecord extent;
            view->textExtent(extent, t + start, bytes);
            fontBox(*view, extent);
            char last = t[brk - 1];
            if (extent.width > available && !breakAtReturns && (last == ' ' || last == '\n'))
                extent.width = available;
            p->addPiece(childIndex, extent, int(pieces_.size()), piece.lineIndex, piece.pieceIndex);
            pieces_.push_back(piece);
        }
        // g. Go on from the break, on a new line.
        first = false;
        i = brk;
        if (i < length || t[length - 1] == '\n') p->newLine();
    }
    // 4. After a final newline, an empty piece as high as the font's line stands for the
    //    empty last line.
    if (t[length - 1] == '\n') {
        ExtentRecord extent;
        if (const FontEntryMetrics* m = view->fontMetrics()) {
            extent.height = m->lineSpacing;
            extent.ascent = m->ascent;
        }
        TextPiece piece{length, 0, -1, -1};
        p->addPiece(childIndex, extent, int(pieces_.size()), piece.lineIndex, piece.pieceIndex);
        pieces_.push_back(piece);
    }
    if (!pieces_.empty()) {
        lineIndex = pieces_.front().lineIndex;
        pieceIndex = pieces_.front().pieceIndex;
    }
}

// ---- drawing ---------------------------------------------------------------------------------------

namespace {

// The highlight of piece k: its rectangle in document coordinates, narrowed to the marked
// bytes; false when nothing of it is marked.
bool highlightOf(TextElement& run, ParagraphElement& p, DocumentView& view, int k, const TextPiece& piece,
                 int pieceBytes, ElementRect& rect) {
    if (!p.pieceRectAt(piece.lineIndex, piece.pieceIndex, rect)) return false;
    ElementPoint o = p.absoluteOrigin();
    rect.x += o.x;
    rect.y += o.y;
    (void)k;
    if (run.mark != 2) return true;
    int from = std::max(run.markStart(), piece.start);
    int to = std::min(run.markEnd(), piece.start + pieceBytes);
    if (from >= to) return false;
    const char* t = run.text();
    rect.x += from > piece.start ? view.textWidth(t + piece.start, from - piece.start) : 0;
    rect.width = view.textWidth(t + from, to - from);
    return true;
}

}  // namespace

void TextElement::draw(int x, int y, const ElementRect& clip, ExtentRecord& extent, int part) {
    (void)clip, (void)extent;
    DocumentView* view = activeView();
    if (!view) return;
    selectOwnStyle(*view);
    if (part < 0 || part >= int(pieces_.size())) {
        view->drawText({x, y}, text_.text(), text_.length(), true);
        return;
    }
    const TextPiece& piece = pieces_[std::size_t(part)];
    int bytes = pieceLength(part);
    if (bytes > 0) view->drawText({x, y}, text_.text() + piece.start, bytes, true);
    if (mark == 0 || !isTopOfMark()) return;
    clampMarks();
    ParagraphElement* p = paragraph();
    ElementRect rect;
    if (p && highlightOf(*this, *p, *view, part, piece, bytes, rect)) view->highlightRect(rect);
}

void TextElement::selectionMarkChanged(int newMark) {
    (void)newMark;
    DocumentView* view = activeView();
    ParagraphElement* p = paragraph();
    if (mark == 0 || !view || !p) return;
    clampMarks();
    selectOwnStyle(*view);
    for (int k = 0; k < int(pieces_.size()); ++k) {
        ElementRect rect;
        if (highlightOf(*this, *p, *view, k, pieces_[std::size_t(k)], pieceLength(k), rect)) view->highlightRect(rect);
    }
}

// ---- hit tests and caret rectangles -------------------------------------------------------------

void TextElement::caretRect(TextPosition& position, int offset, int k) {
    ParagraphElement* p = paragraph();
    DocumentView* view = activeView();
    ElementPoint o = p ? p->absoluteOrigin() : ElementPoint{};
    int start = 0, line = lineIndex, slot = pieceIndex;
    if (k >= 0) {
        start = pieces_[std::size_t(k)].start;
        line = pieces_[std::size_t(k)].lineIndex;
        slot = pieces_[std::size_t(k)].pieceIndex;
    }
    ElementPoint at = o;
    if (p) p->piecePosition(line, slot, at);
    int h = height;
    if (view) {
        selectOwnStyle(*view);
        if (offset > start) at.x += view->textWidth(text_.text() + start, offset - start);
        if (const FontEntryMetrics* m = view->fontMetrics()) h = m->height;
    }
    position.rect = {at.x, at.y, 2, std::max(h, 1)};
    position.ownCaret = false;
    position.hintA = line;
    position.hintB = slot;
    position.valid = true;
}

void TextElement::hitTest(TextPosition& position, int localX, int localY, int part) {
    (void)localY;
    DocumentView* view = activeView();
    int k = part >= 0 && part < int(pieces_.size()) ? part : -1;
    int start = k >= 0 ? pieces_[std::size_t(k)].start : 0;
    int bytes = k >= 0 ? pieceLength(k) : text_.length();
    int offset = start + bytes;
    if (view) {
        selectOwnStyle(*view);
        const char* t = text_.text() + start;
        int before = 0;   // width of the bytes before byte i - 1
        for (int i = 1; i <= bytes; ++i) {
            int w = view->textWidth(t + i - 1, 1);
            if (localX < before + w / 2) {
                offset = start + i - 1;
                break;
            }
            before += w;
        }
    }
    offset = aligned(offset, true);
    position.setPosition(this, offset);
    caretRect(position, offset, k >= 0 ? k : pieceAt(offset));
}

void TextElement::locatePosition(TextPosition& position) {
    int offset = aligned(position.offset(), true);
    caretRect(position, offset, pieceAt(offset));
}

ParagraphLine* TextElement::lineAtPosition(TextPosition& position) {
    ParagraphElement* p = paragraph();
    if (!p) return nullptr;
    int k = pieceAt(aligned(position.offset(), true));
    ElementPoint ignored;
    if (k < 0) return p->piecePosition(lineIndex, pieceIndex, ignored);
    return p->piecePosition(pieces_[std::size_t(k)].lineIndex, pieces_[std::size_t(k)].pieceIndex, ignored);
}

// ---- joining ---------------------------------------------------------------------------------------

namespace {

bool sameStyle(Element* a, int styleA, int styleB) {
    if (styleA == styleB) return true;
    auto* doc = dynamic_cast<Document*>(a->document());
    StyleSet* set = doc ? doc->styleSet() : nullptr;
    const CharStyle* x = set ? set->charStyle(styleA) : nullptr;
    const CharStyle* y = set ? set->charStyle(styleB) : nullptr;
    return x && y && !x->name && !y->name && x->equals(*y);
}

// The marked bytes of a run as [from, to); empty when unmarked.
void markedRange(const TextElement& run, int& from, int& to) {
    from = to = 0;
    if (run.mark == 1) to = run.textLength();
    else if (run.mark == 2) from = run.markStart(), to = run.markEnd();
}

}  // namespace

int TextElement::mergeWithNeighbours() {
    Element* p = parent();
    if (!p) return 0;
    ElementOperationScope scope;   // the absorbed runs are deleted once the joins are done
    int absorbed = 0;
    auto join = [&](TextElement* other, bool after) {
        int a0, a1, b0, b1;
        clampMarks();
        other->clampMarks();
        markedRange(*this, a0, a1);
        markedRange(*other, b0, b1);
        int shiftOwn = after ? 0 : other->textLength();
        int shiftOther = after ? textLength() : 0;
        int from = -1, to = -1;
        if (a1 > a0) from = a0 + shiftOwn, to = a1 + shiftOwn;
        if (b1 > b0) {
            from = from < 0 ? b0 + shiftOther : std::min(from, b0 + shiftOther);
            to = std::max(to, b1 + shiftOther);
        }
        std::string moved(other->text(), std::size_t(other->textLength()));
        recordChange([&] {
            if (after) text_.appendN(moved.data(), int(moved.size()));
            else text_.insert(0, moved.c_str());
            if (from >= 0) setMarkRange(from, to);
            else markStart_ = markEnd_ = 0;
        });
        p->removeChild(other);
        ++absorbed;
    };
    auto* next = dynamic_cast<TextElement*>(p->nextChild(this));
    if (next && next->elementKind() == elementKind() && sameStyle(this, charStyle_, next->charStyle_)) join(next, true);
    auto* previous = dynamic_cast<TextElement*>(p->previousChild(this));
    if (previous && previous->elementKind() == elementKind() && previous->charStyle_ == charStyle_) join(previous, false);
    if (absorbed > 0) {
        ElementExtent ignored;
        layout(ignored);
    }
    return absorbed;
}
