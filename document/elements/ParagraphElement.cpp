// ParagraphElement: data, construction, prompt, style and child access of the paragraph.
#include "document/elements/ParagraphElement.h"

#include <algorithm>
#include <cstring>

#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/elements/InlineElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/PageSink.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "options/KOptions.h"

namespace {
std::unique_ptr<char[]> copyText(const char* text) {
    if (!text) return nullptr;
    std::size_t n = std::strlen(text);
    auto copy = std::make_unique<char[]>(n + 1);
    std::memcpy(copy.get(), text, n + 1);
    return copy;
}
}  // namespace

ParagraphElement::ParagraphElement(int index, const char* prompt)
    : styleIndex(static_cast<std::int16_t>(index)), prompt_(copyText(prompt)) {}

ParagraphElement::ParagraphElement(const ParagraphElement& other)
    : CompositeElement(other),
      styleIndex(other.styleIndex),
      bookmark(other.bookmark),
      prompt_(copyText(other.prompt_.get())),
      outputFlag_(other.outputFlag_) {
    fixedWidth = other.fixedWidth;
    other.copyChildrenTo(this);
}

ParagraphElement::~ParagraphElement() {
    if (bookmark.length() > 0) clearBookmarkIndex();
}

void ParagraphElement::clearBookmarkIndex() {
    auto* doc = dynamic_cast<Document*>(document());
    if (doc && doc->bookmarks()) doc->bookmarks()->invalidate();
}

void ParagraphElement::setPrompt(const char* text) {
    prompt_ = copyText(text);
    markNeedsLayout();
}

const ParaStyle* ParagraphElement::paraStyle(Document* doc) {
    if (!doc) doc = dynamic_cast<Document*>(document());
    if (!doc || !doc->styleSet()) return nullptr;
    return &doc->styleSet()->resolvedParaStyle(styleIndex);
}

bool ParagraphElement::isPromptOrList() const {
    return prompt_ != nullptr || styleIndex == STYLE_BULLET_ITEM || styleIndex == STYLE_DASH_ITEM;
}

// ---- layout -------------------------------------------------------------------------------------

namespace {

constexpr int WIDE = 1 << 30;
constexpr int MIN_CONTENT_WIDTH = 50;
constexpr int RESULT_ALLOWANCE_POINTS = 20;
constexpr char BULLET_MARKER[] = "\xB7  ";
constexpr char DASH_MARKER[] = "-  ";
constexpr char END_MARK[] = "\xB6";
constexpr int PROMPT_CHAR_STYLE = 1;
constexpr int SYMBOL_CHAR_STYLE = 16;

bool keepsCaret(Element* e) {
    auto* in = dynamic_cast<InlineElement*>(e);
    return !in || in->acceptsInnerCaret();
}

// The last offset inside a child (its text length for text kinds, 2 after a picture).  Text
// runs go to their end with code 18, the other inline kinds after themselves with 19.
int endOffset(Element* e) {
    if (!e) return 0;
    TextPosition probe;
    probe.setPosition(e, 0);
    if (!e->movePosition(probe, e->isText() ? 18 : 19, nullptr, -1)) return 0;
    return probe.offset();
}

}  // namespace

const ParaStyle* ParagraphElement::styleOrDefaults(ParaStyle& fallback) {
    if (const ParaStyle* style = paraStyle()) return style;
    fallback.completeWithDefaults();
    return &fallback;
}

int ParagraphElement::units(int points, bool zoomed) const {
    auto* self = const_cast<ParagraphElement*>(this);
    DocumentView* view = self->activeView();
    if (!view) return points;
    std::int64_t v = std::int64_t(points) * view->unitsPerPointNumerator() / view->unitsPerPointDenominator();
    if (zoomed) v = v * view->zoomNumerator() / view->zoomDenominator();
    return static_cast<int>(std::clamp<std::int64_t>(v, -WIDE, WIDE));
}

ParagraphLine* ParagraphElement::lineAt(int index) const {
    return index >= 0 && index < lineCount() ? lines_[static_cast<std::size_t>(index)].get() : nullptr;
}

void ParagraphElement::newLine() {
    if (currentLine_ >= 0 && lines_[static_cast<std::size_t>(currentLine_)]->pieces.empty()) return;
    bool first = lines_.empty();
    auto line = std::make_unique<ParagraphLine>(this);
    if (first && firstIndent_ > 0) line->x = firstIndent_;
    if (!first && firstIndent_ < 0) line->x = -firstIndent_;
    line->x += markerIndent_;
    line->first = first;
    line->prompt = &promptBox_;
    line->marker = first ? &markerBox_ : nullptr;
    line->fontHeight = fontHeight_;
    line->fontAscent = fontAscent_;
    lines_.push_back(std::move(line));
    currentLine_ = lineCount() - 1;
}

int ParagraphElement::remainingWidth() const {
    if (fixedWidth > 0) return fixedWidth;
    const ParagraphLine* line = lineAt(currentLine_);
    if (!line) return std::max(0, contentWidth_);
    return std::max(0, contentWidth_ - (line->x + line->width));
}

int ParagraphElement::continuationWidth() const {
    return fixedWidth > 0 ? fixedWidth : contentWidth_ - markerIndent_;
}

void ParagraphElement::addPiece(int childIndex, const ExtentRecord& extent, int part, int& lineIndex, int& pieceIndex) {
    if (currentLine_ < 0) newLine();
    lineIndex = currentLine_;
    pieceIndex = lines_[static_cast<std::size_t>(currentLine_)]->addPiece(childIndex, extent, part);
}

ParagraphLine* ParagraphElement::piecePosition(int line, int piece, ElementPoint& point) const {
    ParagraphLine* l = lineAt(line);
    if (!l) return nullptr;
    point.x += l->x;
    point.y += l->y;
    l->pieceOffset(piece, point);
    return l;
}

ParagraphLine* ParagraphElement::pieceRectAt(int line, int piece, ElementRect& rect) const {
    ParagraphLine* l = lineAt(line);
    if (!l) return nullptr;
    rect.x = l->x;
    rect.y = l->y;
    l->pieceRect(piece, rect);
    return l;
}

void ParagraphElement::lineBottom(int n, ElementPoint& rightBottom, int& baselineY) const {
    const ParagraphLine* l = lineAt(n);
    if (!l) {
        rightBottom = {0, 0};
        baselineY = 0;
        return;
    }
    rightBottom = {l->x + l->width, l->y + l->height()};
    baselineY = l->y + l->baseline();
}

void ParagraphElement::measure(ElementExtent& out, int givenWidth) {
    if (!(flags & ELEMENT_NEEDS_LAYOUT)) {
        out = {width, height};
        return;
    }
    DocumentView* view = activeView();
    ParaStyle fallback;
    const ParaStyle* style = styleOrDefaults(fallback);

    fontHeight_ = fontAscent_ = 0;
    if (view) {
        view->selectStyleParts(-1, styleIndex, -1, false);
        if (const FontEntryMetrics* m = view->fontMetrics()) {
            fontHeight_ = m->height;
            fontAscent_ = m->ascent;
        }
    }
    // An input paragraph shows its prompt (the execution group gives continuation lines
    // none); a paragraph of anything else has none.
    Element* first = firstChild();
    bool input = first && first->isActiveInput();
    if (!input && prompt_) prompt_.reset();

    if (givenWidth < 0) {
        auto* p = dynamic_cast<BlockElement*>(parent_);
        givenWidth = p ? p->availableWidth() : (view ? view->availableWidth() : 0);
    }
    int allowance = units(RESULT_ALLOWANCE_POINTS, false);
    bool mathResult = isOutput() && childCount() == 1 && first && first->elementKind() == KIND_MATH &&
                      (styleIndex == 11 || styleIndex == 12);
    if (mathResult) givenWidth -= allowance;

    int leftIndent = 0;
    contentWidth_ = givenWidth;
    if (style->leftMarginMode == 2 || style->leftMarginMode == 3) {
        leftIndent = units(style->leftMargin, true);
        contentWidth_ -= leftIndent;
    }
    if (style->rightMarginMode == 2 || style->rightMarginMode == 3) contentWidth_ -= units(style->rightMargin, false);
    if (contentWidth_ > givenWidth) {
        leftIndent = std::max(0, leftIndent - (contentWidth_ - givenWidth));
        contentWidth_ = givenWidth;
    }
    int reducedWidth = contentWidth_;

    markerBox_ = ExtentRecord{};
    listKind_ = style->listKind;
    if (view && (listKind_ == 2 || listKind_ == 5)) {
        view->selectStyleParts(SYMBOL_CHAR_STYLE, styleIndex, -1, false);
        view->textExtent(markerBox_, BULLET_MARKER, 3);
        if (const FontEntryMetrics* m = view->fontMetrics()) markerBox_.ascent = m->ascent;
        markerBox_.height = markerBox_.ascent;
    } else if (view && listKind_ == 3) {
        view->selectStyleParts(-1, styleIndex, -1, false);
        view->textExtent(markerBox_, DASH_MARKER, 3);
        if (const FontEntryMetrics* m = view->fontMetrics()) {
            markerBox_.height = m->height;
            markerBox_.ascent = m->ascent;
        }
    }
    markerIndent_ = markerBox_.width;
    contentWidth_ = std::max(contentWidth_, MIN_CONTENT_WIDTH);
    firstIndent_ = units(style->firstIndent, true);

    lines_.clear();
    currentLine_ = -1;
    newLine();

    promptBox_ = ExtentRecord{};
    bool showPrompts = !theOptions || theOptions->showPrompts;
    if (input && prompt_ && showPrompts && view) {
        view->selectStyleParts(PROMPT_CHAR_STYLE, styleIndex, -1, false);
        view->stringExtent(promptBox_, prompt_.get(), -1);
        if (const FontEntryMetrics* m = view->fontMetrics()) {
            promptBox_.height = m->height;
            promptBox_.ascent = m->ascent;
        }
        lines_[0]->width += promptBox_.width;
        promptBox_.x = 0;
        promptBox_.y = 0;
        markerIndent_ += std::min(promptBox_.width, contentWidth_ / 3);
    }

    bool noWrap = style->charPart.lineBreak == 3;
    int count = childCount();
    for (int i = 0; i < count; ++i) {
        auto* child = dynamic_cast<InlineElement*>(childAt(i));
        if (!child) continue;
        ExtentRecord extent;
        bool flows = false, lineBreak = false;
        child->measure(extent, flows, lineBreak);
        if (!noWrap && !lineBreak && extent.width <= remainingWidth()) {
            child->placeInLine(i, extent);
        } else if (!flows) {
            if (!noWrap) newLine();
            child->placeInLine(i, extent);
        } else {
            child->flowInLines(i, extent);
        }
        child->flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
    }
    if (mathResult && styleIndex == 11 && contentWidth_ == reducedWidth) contentWidth_ += allowance;

    int extra = 0;
    if (style->spacing == 2) extra = fontHeight_ / 2;
    else if (style->spacing == 3) extra = fontHeight_ / 4;
    finishLayout(out, extra, 0, leftIndent);
    if (markerBox_.width != 0) markerBox_.x = leftIndent;
    flags &= ~(ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT);
}

void ParagraphElement::finishLayout(ElementExtent& out, int extra, int hang, int leftIndent) {
    if (lineCount() >= 2 && lines_.back()->pieces.empty()) {
        lines_.pop_back();
        currentLine_ = lineCount() - 1;
    }
    ParaStyle fallback;
    const ParaStyle* style = styleOrDefaults(fallback);
    int pre = style->preleading > 0 ? units(style->preleading, false) : 0;
    int post = style->postleading > 0 ? units(style->postleading, false) : 0;
    int y = pre + extra / 2;
    int n = lineCount();
    int w = 0;
    for (int i = 0; i < n; ++i) {
        ParagraphLine& line = *lines_[static_cast<std::size_t>(i)];
        line.computeMetrics();
        line.y = y;
        y += line.height();
        if (i + 1 < n) y += extra;
        line.align(style->justification, contentWidth());
        if (style->justification == 1 && i > 0) line.x += hang;
        line.x += leftIndent;
        w = std::max(w, line.x + line.width);
    }
    height = y + post + extra / 2;
    width = w;
    out = {width, height};
}

void ParagraphElement::layout(ElementExtent& area) {
    ElementDocument* doc = document();
    if (!doc || !doc->activeView() || doc->layoutHeld()) {
        markNeedsLayout();
        area = {width, height};
        return;
    }
    int oldHeight = height;
    flags |= ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT;
    ElementExtent e;
    measure(e, -1);
    if (parent_ && ancestorsClean() && !enclosingCollapsedSection()) {
        if (auto* p = dynamic_cast<BlockElement*>(parent_)) {
            ElementPoint o;
            p->childOffset(this, o);
            p->childResized(this, o.x, o.y, width, height);
        }
        if (DocumentView* view = activeView()) {
            ElementPoint o = absoluteOrigin();
            view->redraw({o.x, o.y, WIDE, std::max(height, oldHeight)});
        }
    }
    area = {width, height};
}

void ParagraphElement::childResized(Element* child, int line, int piece, const ExtentRecord& extent, bool forceFull) {
    ParagraphLine* l = lineAt(line);
    int dy = 0;
    bool last = line == lineCount() - 1;
    if (forceFull || !l || !l->resizePiece(piece, extent, dy, last, contentWidth())) {
        ElementExtent ignored;
        layout(ignored);
        return;
    }
    if (auto* in = dynamic_cast<InlineElement*>(child)) {
        in->width = extent.width;
        in->height = extent.height;
        in->ascent = extent.ascent;
    }
    ParaStyle fallback;
    const ParaStyle* style = styleOrDefaults(fallback);
    if (style->justification == 2 || style->justification == 3) {
        int indent = l->x;
        l->x = 0;
        l->align(style->justification, contentWidth());
        if (l->x == 0) l->x = indent;
    }
    if (dy != 0) {
        for (int i = line + 1; i < lineCount(); ++i) lines_[static_cast<std::size_t>(i)]->y += dy;
        height += dy;
    }
    int w = 0;
    for (const auto& each : lines_) w = std::max(w, each->x + each->width);
    width = w;
    if (auto* p = dynamic_cast<BlockElement*>(parent_)) {
        ElementPoint o;
        p->childOffset(this, o);
        p->childResized(this, o.x, o.y, width, height);
    }
    if (DocumentView* view = activeView()) {
        ElementPoint o = absoluteOrigin();
        int x = style->justification == 1 ? l->x + l->pieces[static_cast<std::size_t>(piece)].x : 0;
        view->redraw({o.x + x, o.y + l->y, WIDE, dy == 0 ? l->height() : height - l->y});
    }
}

// ---- drawing ----------------------------------------------------------------------------------

void ParagraphElement::draw(int x, int y, const ElementRect& clip) {
    if (flags & ELEMENT_NEEDS_LAYOUT) return;
    DocumentView* view = activeView();
    if (!view) return;
    for (int i = 0; i < lineCount(); ++i) {
        ParagraphLine& line = *lines_[static_cast<std::size_t>(i)];
        int top = y + line.y;
        if (top >= clip.y + clip.height) break;
        if (top + line.height() <= clip.y) continue;
        if (i == 0) {
            if (prompt_ && promptBox_.width != 0) {
                view->selectStyleParts(PROMPT_CHAR_STYLE, styleIndex, -1, false);
                view->drawText({x + line.x + promptBox_.x, top + promptBox_.y}, prompt_.get(), -1, true);
            }
            if (listKind_ == 2 && markerBox_.width != 0) {
                view->selectStyleParts(SYMBOL_CHAR_STYLE, styleIndex, -1, false);
                view->drawText({x + markerBox_.x, top + markerBox_.y}, BULLET_MARKER, 1, false);
            } else if (listKind_ == 3 && markerBox_.width != 0) {
                view->selectStyleParts(-1, styleIndex, -1, false);
                view->drawText({x + markerBox_.x, top + markerBox_.y}, DASH_MARKER, 3, false);
            }
        }
        line.draw(x + line.x, top, clip);
    }
    if (view->showInvisible) {
        view->selectStyleParts(-1, styleIndex, -1, false);
        ElementPoint at{x, y};
        if (const ParagraphLine* last = lineAt(lineCount() - 1))
            at = {x + last->x + last->width, y + last->y + last->height() - fontAscent_};
        view->drawText(at, END_MARK, 1, false);
    }
    if (mark == 1 && isTopOfMark()) selectionMarkChanged(1);
}

// ---- hit tests and positions ----------------------------------------------------------------

int ParagraphElement::childOffset(const Element* child, ElementPoint& out) const {
    out = {0, 0};
    auto* in = dynamic_cast<const InlineElement*>(child);
    if (!in || in->parent() != this) return 0;
    piecePosition(in->lineIndex, in->pieceIndex, out);
    return 0;
}

namespace {
// The last line whose top is at or above y (line 0 above all).
int lineAtY(const std::vector<std::unique_ptr<ParagraphLine>>& lines, int y) {
    int lo = 0, hi = static_cast<int>(lines.size()) - 1;
    while (lo < hi) {
        int mid = lo + (hi - lo + 1) / 2;
        if (lines[static_cast<std::size_t>(mid)]->y <= y) lo = mid;
        else hi = mid - 1;
    }
    return lo;
}
}  // namespace

void ParagraphElement::positionAtPoint(TextPosition& position, int x, int y) {
    if (lines_.empty() || childCount() == 0) {
        position.setPosition(this, 0);
        locatePosition(position);
        return;
    }
    int n = lineAtY(lines_, y);
    ParagraphLine& line = *lines_[static_cast<std::size_t>(n)];
    if (n == 0 && x > 0 && x < (markerBox_.width + promptBox_.width) / 2) {
        position.setPosition(this, 0);
        locatePosition(position);
        return;
    }
    int localY = std::clamp(y - line.y, 0, std::max(0, line.height() - 1));
    int localX = x - line.x;
    if (localX > line.width && !line.pieces.empty()) {
        int last = line.lastChildIndex();
        auto* child = dynamic_cast<InlineElement*>(childAt(last));
        if (child && !child->canFlow() && !child->acceptsInnerCaret()) {
            position.setPosition(this, last + 1);
            locatePosition(position);
            return;
        }
    }
    if (!line.hitTest(position, localX, localY)) {
        position.setPosition(this, 0);
        locatePosition(position);
    }
}

Element* ParagraphElement::elementAtPoint(int x, int y, ElementPoint& origin) {
    if (lines_.empty()) return nullptr;
    int n = lineAtY(lines_, y);
    const ParagraphLine& line = *lines_[static_cast<std::size_t>(n)];
    origin.x += line.x;
    origin.y += line.y;
    return line.childAtX(x - line.x, origin);
}

int ParagraphElement::lineIndexOfChild(int index) const {
    auto* in = dynamic_cast<InlineElement*>(childAt(index));
    return in && lineAt(in->lineIndex) ? in->lineIndex : -1;
}

void ParagraphElement::locatePosition(TextPosition& position) {
    ElementPoint o = absoluteOrigin();
    int index = position.offset();
    int count = childCount();
    int x = o.x, y = o.y;
    int lineIndex = -1, pieceIndex = -1;
    const ParagraphLine* line = nullptr;
    if (count == 0 || lines_.empty()) {
        x -= 3;
    } else if (index >= 0 && index < count) {
        auto* child = dynamic_cast<InlineElement*>(childAt(index));
        lineIndex = lineIndexOfChild(index);
        if (child && lineIndex >= 0) {
            pieceIndex = child->pieceIndex;
            ElementPoint p = o;
            line = piecePosition(lineIndex, pieceIndex, p);
            x = p.x;
            y = o.y + line->y;
            if (index == 0) {
                x -= promptBox_.width + markerBox_.width;
                y += std::min(promptBox_.y, markerBox_.y);
                if (promptBox_.width == 0 && markerBox_.width == 0) x -= 3;
            }
        }
    } else {
        lineIndex = lineCount() - 1;
        line = lines_.back().get();
        pieceIndex = line->pieceCount();
        x = o.x + line->x + line->width;
        y = o.y + line->y;
    }
    if (line && line->baseline() > fontAscent_) y = o.y + line->y + line->baseline() - fontAscent_;
    position.rect = {x, y, 2, fontHeight_};
    position.ownCaret = false;
    position.hintA = lineIndex;
    position.hintB = pieceIndex;
    position.valid = true;
}

ParagraphLine* ParagraphElement::lineAtPosition(TextPosition& position) {
    if (lines_.empty()) return nullptr;
    int index = position.offset();
    if (index >= 0 && index < childCount()) {
        int n = lineIndexOfChild(index);
        return n >= 0 ? lineAt(n) : nullptr;
    }
    return lines_.back().get();
}

bool ParagraphElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    if (child && index < 0) index = indexOfChild(child);
    if (!child) index = position.offset();
    int count = childCount();
    auto continueInParent = [&] {
        return parent_ ? parent_->movePosition(position, code, this, -1) : false;
    };
    switch (code) {
    case 0:
    case 1:
    case 20: {
        bool fromKeeps = !child || keepsCaret(child);
        if (index <= 0) {
            if (child && prompt_) {
                position.setPosition(this, 0);
                return true;
            }
            return continueInParent();
        }
        Element* previous = childAt(index - 1);
        if (!fromKeeps && !keepsCaret(previous)) {
            position.setPosition(this, index);
        } else if (keepsCaret(previous)) {
            // Entered from the right: one step left of its end.
            position.setPosition(previous, std::max(0, endOffset(previous) - 1));
        } else {
            position.setPosition(previous, 0);
        }
        return true;
    }
    case 2:
    case 3: {
        bool fromKeeps = !child || keepsCaret(child);
        int next = child ? index + 1 : index;
        if (next >= count) {
            if (child && !keepsCaret(child)) {
                position.setPosition(this, count);
                return true;
            }
            return continueInParent();
        }
        Element* target = childAt(next);
        if (!fromKeeps && !keepsCaret(target)) {
            position.setPosition(this, next);
        } else if (keepsCaret(target)) {
            // From the end of a text the caret steps over the first character of the next one.
            bool step = child && keepsCaret(child);
            position.setPosition(target, step ? std::min(1, endOffset(target)) : 0);
        } else {
            position.setPosition(target, 0);
        }
        return true;
    }
    case 4:
    case 5: {
        int from = position.hintA;
        if (from < 0 || from >= lineCount()) from = child ? lineIndexOfChild(index) : (index >= count ? lineCount() - 1 : lineIndexOfChild(index));
        int to = code == 4 ? from - 1 : from + 1;
        if (from < 0 || to < 0 || to >= lineCount()) return continueInParent();
        ElementPoint o = absoluteOrigin();
        position.setFromPoint(position.column, o.y + lines_[static_cast<std::size_t>(to)]->y, false);
        return true;
    }
    default:
        return continueInParent();
    }
}

int ParagraphElement::markFromSelection(Selection& selection) {
    if (enclosingCollapsedSection()) return 0;
    if (lines_.empty()) return BlockElement::markFromSelection(selection);
    ElementRect first, last;
    lines_.front()->lineRect(first);
    lines_.back()->lineRect(last);
    ElementPoint topLeft{first.x, first.y};
    ElementPoint bottomRight{last.x + std::max(last.width, 1) - 1, last.y + std::max(last.height, 1) - 1};
    return selection.classify(topLeft, bottomRight);
}

bool ParagraphElement::mouseDown(const ElementMouseEvent& event) {
    if (event.clicks != 3) return false;
    ElementWindow* window = worksheetWindow();
    ViewCaret* caret = window ? window->caret() : nullptr;
    Selection* selection = window ? window->selection() : nullptr;
    if (!caret || !selection) return true;
    caret->setPosition(this, 0);
    selection->setAnchor(*caret);
    caret->setPosition(this, childCount());
    selection->extendTo(*caret);
    caret->setPosition(this, 0);
    selection->active = true;
    window->selectionActivated();
    caret->refreshWindow();
    return true;
}

// ---- walks --------------------------------------------------------------------------------------

void ParagraphElement::collectBookmarks(WalkControl& control) { bookmarkVisit(this, bookmark.text(), control); }

void ParagraphElement::replaceStyleIndex(WalkControl& control) {
    const StyleIndexChange* change = control.styleChange;
    if (!change || change->kind != 2 || change->oldIndex != styleIndex) return;
    styleIndex = static_cast<std::int16_t>(change->newIndex);
    ElementExtent ignored;
    layout(ignored);
}

void ParagraphElement::markUsedStyles(WalkControl& control) {
    if (control.styleSet) control.styleSet->markParaStyleChainUsed(styleIndex);
}

void ParagraphElement::remapStyleIndex(WalkControl& control) {
    (void)control;
    if (styleIndex < StyleSet::FIRST_USER_INDEX) return;
    int mapped = WorksheetTagTable::renumbered(worksheetTagTable.paraStyleRenumber, styleIndex);
    if (mapped == 0) return;
    styleIndex = static_cast<std::int16_t>(mapped);
    markNeedsLayout();
}

void ParagraphElement::caretArrived() {
    ElementWindow* window = worksheetWindow();
    if (!window) return;
    auto* doc = dynamic_cast<Document*>(document());
    // Character style -1: the paragraph style's own character part.
    window->showStyles(doc ? doc->styleSet() : nullptr, styleIndex, -1);
    window->showContextBar(CONTEXT_BAR, this);
    Element::caretArrived();
}

void ParagraphElement::paginate(WalkControl& control) {
    control.requestStop(STOP_CHILDREN);   // the inline children have no lines of their own
    PageSink* pages = control.pages;
    if (!pages || control.pass() == PASS_AFTER || enclosingCollapsedSection()) return;
    ParaStyle fallback;
    if (styleOrDefaults(fallback)->newPage == 1) pages->newPage();
    ElementPoint origin = absoluteOrigin();
    for (const auto& line : lines_) {
        ExtentRecord box{line->x, line->y, line->width, line->height(), line->baseline()};
        if (!pages->fits(box, origin)) pages->newPage();
        pages->place(box, origin);
    }
}
