// Document: the document base: tree walks, views, layout hold, notices, caret movement.
#include "document/edit/Document.h"

#include <algorithm>
#include <cstring>

#include "document/tree/BlockElement.h"
#include "document/edit/BookmarkIndex.h"
#include "document/edit/EditRecord.h"
#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "document/edit/UndoHistory.h"
#include "document/tree/ViewCaret.h"

DocumentOptions documentOptions;

namespace {

constexpr int FAR_AWAY = 0x40000000;
constexpr std::uint8_t MARKED = WALK_MARKED_ONLY;

bool isMarkedSection(const Element* e) { return e->mark != 0 && e->elementKind() == KIND_SECTION; }
bool isMarkedGroup(const Element* e) { return e->mark != 0 && e->elementKind() == KIND_GROUP; }

}  // namespace

Document::Document()
    : styleSet_(std::make_unique<StyleSet>()),
      bookmarks_(std::make_unique<BookmarkIndex>(this)),
      undoHistory_(std::make_unique<UndoHistory>(this)) {
    styleSet_->setOwner(this);
    undoHistory_->setLimit(documentOptions.undoBufferLength);
}

Document::~Document() {
    // A document deleted while views still show it (its owner deleted it directly): the views
    // let go of it, so that their destructors do not reach it.
    for (DocumentView* v : views_) v->document_ = nullptr;
    views_.clear();
    viewCount_ = 0;
    activeView_ = nullptr;
    displayTitle_.clear();
    // Groups of other documents linked to this history let go before anything is torn down.
    if (undoHistory_) undoHistory_->clear();
    root_.reset();
    styleSet_.reset();
    bookmarks_.reset();
    undoHistory_.reset();
}

void Document::setRoot(Element* root) {
    if (root_.get() == root) return;
    if (undoHistory_) undoHistory_->clear();   // its paths name places in the old tree
    root_.reset(root);
    if (root_) root_->setDocument(this);
    if (bookmarks_) bookmarks_->invalidate();
}

void Document::replaceStyleSet(std::unique_ptr<StyleSet> styles) {
    if (!styles) return;
    styleSet_ = std::move(styles);
    styleSet_->setOwner(this);
    stylesChanged();
    notifyViewsParaStyle(-1);
}

void Document::forgetElement(Element* element) {
    if (currentElement_ == element) currentElement_ = nullptr;
    for (DocumentView* v : views_) v->forgetElement(element);
}

// ---- walks -------------------------------------------------------------------------------------

void Document::walkSubtreeOrMarked(Element* subtree, std::uint8_t flags, std::uint8_t markedFlags,
                                   void (Element::*method)(WalkControl&), WalkControl& control) {
    if (!root_) return;
    control.flags = subtree ? flags : markedFlags;
    (subtree ? subtree : root_.get())->walkMethod(method, control);
}

void Document::visitLeaves() {
    if (!root_) return;
    WalkControl control;
    control.flags = 4;
    root_->walkMethod(&Element::worksheetRenamed, control);
}

void Document::collectLeafItems(std::vector<Element*>& list) {
    list.clear();
    if (!root_) return;
    WalkControl control;
    control.flags = 4;
    control.collected = &list;
    root_->walkMethod(&Element::collectOleObjects, control);
}

bool Document::exportText(KExportWriter& writer) {
    if (!root_) return false;
    WalkControl control;
    control.flags = WALK_BEFORE | WALK_AFTER;
    control.exportWriter = &writer;
    root_->walkMethod(&Element::exportText, control);
    return true;
}

void Document::markUsedStyles(Element* subtree) {
    if (!root_ || !styleSet_) return;
    styleSet_->clearUsedMarks();
    WalkControl control;
    control.styleSet = styleSet_.get();
    walkSubtreeOrMarked(subtree, 5, 5 | MARKED, &Element::markUsedStyles, control);
}

void Document::collectWords(WordScanner& scanner) {
    if (!root_) return;
    WalkControl control;
    control.flags = 4;
    control.wordScanner = &scanner;
    root_->walkMethod(&Element::collectWords, control);
}

void Document::collectGroups(bool chain, bool markedOnly, Element** first) {
    GroupListRecord record;
    record.chain = chain;
    if (root_) {
        WalkControl control;
        control.flags = WALK_BEFORE | (markedOnly ? MARKED : 0);
        control.groupList = &record;
        root_->walkMethod(&Element::collectGroups, control);
    }
    if (first) *first = record.first;
}

void Document::countKinds(ElementKindCounts& counts, Element* subtree) {
    counts.fill(0);
    if (!root_) return;
    WalkControl control;
    walkSubtreeOrMarked(subtree, WALK_BEFORE, WALK_BEFORE | MARKED, &Element::countKind, control);
    counts = control.counts;
}

void Document::countCharacters(CharacterCounts& counts) {
    counts.fill(0);
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.characterCounts = &counts;
    root_->walkMethod(&Element::countCharacters, control);
}

void Document::replaceStyleIndex(bool character, int oldIndex, int newIndex) {
    // The style set's notice: every use of a removed style moves to another; kind 1 names
    // character styles, 2 paragraph styles.
    replaceStyleIndex(oldIndex, newIndex, character ? 1 : 2, nullptr);
}

void Document::replaceStyleIndex(int oldIndex, int newIndex, int kind, Element* subtree) {
    if (!root_) return;
    StyleIndexChange change{oldIndex, newIndex, kind};
    WalkControl control;
    control.styleChange = &change;
    walkSubtreeOrMarked(subtree, WALK_BEFORE, WALK_BEFORE | MARKED, &Element::replaceStyleIndex, control);
}

void Document::placeChildWindows() {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    root_->walkMethod(&Element::placeChildWindow, control);
}

void Document::broadcastViewScale(const ViewScaleChange& change) {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.viewScale = &change;
    root_->walkMethod(&Element::viewScaleChanged, control);
}

void Document::showChildWindows(bool flag) {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.showFlag = flag;
    root_->walkMethod(&Element::showChildWindow, control);
}

void Document::updateInputSyntax() {
    if (!root_) return;
    WalkControl control;
    control.flags = 0;
    root_->walkMethod(&Element::updateInputSyntax, control);
}

void Document::repaintChildWindows() {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    root_->walkMethod(&Element::repaintChildWindow, control);
}

bool Document::findTextInSections(const char* pattern, Element** section) {
    if (section) *section = nullptr;
    if (!root_ || !pattern || !textOfElement) return false;
    for (int i = 0, n = root_->childCount(); i < n; ++i) {
        Element* s = root_->childAt(i);
        if (!s || s->elementKind() != KIND_SECTION) continue;
        for (int k = 0, m = s->childCount(); k < m; ++k) {
            Element* t = s->childAt(k);
            std::string text;
            if (!t || t->elementKind() != KIND_TEXT || !textOfElement(t, text)) continue;
            if (text.find(pattern) != std::string::npos) {
                if (section) *section = s;
                return true;
            }
        }
    }
    return false;
}

bool Document::joinOfKind(int kind) {
    if (kind != KIND_SECTION && kind != KIND_GROUP) return false;
    if (root_ && root_->mark != 0) {
        Element* found = root_->findDescendant(0, kind == KIND_SECTION ? &isMarkedSection : &isMarkedGroup);
        if (!found || !found->parent()) return false;
        ElementOperationScope scope;   // the joined siblings are deleted once the joins are done
        for (;;) {
            Element* parent = found->parent();
            Element* next = parent ? parent->nextChild(found) : nullptr;
            if (!next || next->mark == 0 || next->elementKind() != kind) break;
            found = found->joinWithSibling(2);
            // A join that did not take the sibling would repeat forever.
            if (!found || !found->parent() || found->parent()->nextChild(found) == next) break;
        }
        return true;
    }
    ViewCaret* caret = activeCaret();
    if (!caret) return false;
    return caret->dispatchCommand(kind == KIND_SECTION ? 34 : 36, nullptr, 0);
}

// ---- caret and selection -----------------------------------------------------------------------

void Document::positionAtPoint(TextPosition& position, int x, int y) {
    if (auto* block = dynamic_cast<BlockElement*>(root_.get())) block->positionAtPoint(position, x, y);
}

bool Document::moveCaret(ViewCaret& caret, int code) { return moveCaret(static_cast<TextPosition&>(caret), code); }

bool Document::moveCaret(TextPosition& position, int code) {
    int x = 0, y = 0;
    switch (code) {
    case 6:
    case 7: {
        DocumentView* view = activeView_;
        int page = view ? view->availableHeight() : 0;
        const ElementRect& r = position.rectangle();
        x = r.x;
        y = r.y;
        ElementRect lineRect;
        bool hasLine = false;
        if (ParagraphLine* line = position.line()) {
            line->lineRect(lineRect);
            hasLine = true;
        }
        if (hasLine) y = lineRect.y;
        y += code == 6 ? -page : page;
        if (hasLine) {
            int top = lineRect.y, height = lineRect.height;
            int step = int(page * 0.9);
            if (code == 6 && y >= top) y = top - step - 1;
            if (code == 7 && top + height >= y) y = step + top + height + 1;
        }
        break;
    }
    case 8:
    case 9: {
        const ElementRect& r = position.rectangle();
        y = r.y;
        ElementRect lineRect;
        if (ParagraphLine* line = position.line()) {
            line->lineRect(lineRect);
            y = lineRect.y;
        }
        x = code == 8 ? 0 : FAR_AWAY;
        break;
    }
    case 10:
        break;
    case 11:
        x = y = FAR_AWAY;
        break;
    default:
        return false;
    }
    position.setFromPoint(x, y, false);
    return true;
}

void Document::caretPosition(TextPosition& out, bool atStart) {
    if (root_ && root_->mark != 0) {
        root_->placePositionAtEdge(out, atStart);
        return;
    }
    if (ViewCaret* caret = activeCaret()) {
        out.setPosition(caret->heldElement(), caret->offset());
        out.ownCaret = caret->ownCaret;
        out.valid = caret->valid;
        out.pending = caret->pending;
        out.pendingX = caret->pendingX;
        out.pendingY = caret->pendingY;
        out.rect = caret->rect;
        out.hintA = caret->hintA;
        out.hintB = caret->hintB;
        out.extra = caret->extra;
        out.column = caret->column;
    }
}

bool Document::hasCopyableSelection() const {
    ViewCaret* caret = activeCaret();
    if (!caret) return false;
    if (root_ && root_->mark != 0) return true;
    Element* e = caret->element();
    if (!e) return false;
    int kind = e->elementKind();
    return kind == 18 || (kind >= 20 && kind <= 23);
}

bool Document::isPointInSelection(int x, int y) const {
    if (!hasCopyableSelection()) return false;
    ElementPoint origin;
    Element* e = elementAtPoint(x, y, origin);
    if (!e || e->mark == 0) return false;
    if (e->mark == 1) return true;
    ElementPosition position(e, 0);
    return e->isPositionSelected(position);
}

bool Document::isPointOutsideSelection(int x, int y) {
    ElementPoint origin;
    Element* e = elementAtPoint(x, y, origin);
    if (!e) return true;
    if (e->mark == 1) return false;
    ElementPosition position(e, 0);
    return e->isPositionUnselected(position);
}

Element* Document::currentParagraph() const {
    Element* e = currentElement_;
    while (e && e->elementKind() != KIND_PARAGRAPH) e = e->parent();
    return e;
}

Element* Document::elementAtPoint(int x, int y, ElementPoint& origin) const {
    origin = {0, 0};
    if (!root_) return nullptr;
    return root_->elementAtPoint(x, y, origin);
}

// ---- views and layout -----------------------------------------------------------------------

namespace {
void invalidateLayout(Element* e) {
    e->flags |= ELEMENT_NEEDS_LAYOUT | ELEMENT_CHILD_NEEDS_LAYOUT;
    for (int i = 0, n = e->childCount(); i < n; ++i)
        if (Element* c = e->childAt(i)) invalidateLayout(c);
}
}  // namespace

void Document::setActiveView(DocumentView* view, int, ElementExtent* extentOut) {
    if (view != activeView_) {
        stylesChanged();
        activeView_ = view;
    }
    if (!root_) return;
    invalidateLayout(root_.get());
    ElementExtent extent;
    root_->layout(extent);
    if (extentOut) *extentOut = extent;
}

void Document::layoutForView(DocumentView* view, const ElementRect& area) {
    if (!view || view != activeView_ || !root_) return;
    view->pushPen(0, 5, 0, 1, false);
    if (auto* block = dynamic_cast<BlockElement*>(root_.get())) block->draw(0, 0, area);
    view->popPen();
}

void Document::zoomChanged(int oldNumerator, int oldDenominator, int newNumerator, int newDenominator) {
    if (!root_) return;
    ZoomChange change{oldNumerator, oldDenominator, newNumerator, newDenominator};
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.zoom = &change;
    root_->walkMethod(&Element::zoomChanged, control);
}

void Document::setDisplayTitle(const char* text) {
    displayTitle_ = text ? text : "";
    for (DocumentView* v : views_) v->setTitle(displayTitle_.c_str());
}

void Document::addView(DocumentView* view) {
    // A view registers itself at construction; a second registration changes nothing.
    if (!view || std::find(views_.begin(), views_.end(), view) != views_.end()) return;
    views_.push_back(view);
    ++viewCount_;
}

bool Document::removeView(DocumentView* view) {
    auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end()) return true;   // not one of ours: nothing changes
    views_.erase(it);
    --viewCount_;
    if (view && view->document_ == this) view->document_ = nullptr;
    // The window of the view goes with it: no undo group may keep reaching it.
    if (view) {
        UndoHistory::unlinkWindow(view->worksheetWindow());
        UndoHistory::unlinkWindow(view->docWindow());
    }
    if (activeView_ == view) activeView_ = nullptr;
    if (viewCount_ == 0) {
        delete this;
        return false;
    }
    return true;
}

void Document::stylesChanged() {
    notifyStylesChanged();
    if (styleSet_) styleSet_->invalidateResolved();
}

void Document::notifyStylesChanged(Element* subtree) {
    Element* start = subtree ? subtree : root_.get();
    if (!start) return;
    WalkControl control;
    control.flags = WALK_AFTER;
    start->walkMethod(&Element::stylesChanged, control);
}

void Document::refreshTextLayout(Element* subtree) {
    Element* start = subtree ? subtree : root_.get();
    if (!start) return;
    WalkControl control;
    control.flags = WALK_AFTER;
    start->walkMethod(&Element::refreshTextLayout, control);
}

void Document::holdLayout(bool release) {
    if (release) {
        if (layoutHold_ <= 0) return;   // unmatched release: ignored
        if (--layoutHold_ == 0) relayout();
    } else {
        ++layoutHold_;
    }
}

void Document::relayout() {
    ++relayoutCount_;
    if (!root_) return;
    ElementExtent extent;
    root_->layout(extent);
}

int Document::countMarkedInline(Element* subtree) {
    if (!root_) return 0;
    WalkControl control;
    int count = 0;
    control.context = &count;
    control.method = nullptr;
    control.flags = subtree ? WALK_BEFORE : WALK_BEFORE | MARKED;
    (subtree ? subtree : root_.get())->walk(
        [](Element* e, WalkControl& c) {
            if (e->mark != 0 && e->isInline()) ++*static_cast<int*>(c.context);
        },
        control);
    return count;
}

void Document::notifyShown() {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    root_->walkMethod(&Element::documentShown, control);
}

void Document::notifyClosing() {
    if (!root_) return;
    WalkControl control;
    control.flags = WALK_BEFORE;
    root_->walkMethod(&Element::documentClosing, control);
}

void Document::notifyViews(std::intptr_t argument) {
    viewsNotified = true;
    for (DocumentView* v : views_) v->documentNotice(argument);
}

void Document::notifyViewsParaStyle(int index) {
    for (DocumentView* v : views_) v->paraStyleChanged(index);
}

void Document::notifyViewsCharStyle(int charIndex, int paraIndex, int overrideIndex) {
    for (DocumentView* v : views_) v->charStyleChanged(charIndex, paraIndex, overrideIndex);
}

bool Document::hasOpenUndoGroup() const { return undoHistory_ && undoHistory_->currentGroup(); }

// ---- active window ---------------------------------------------------------------------------

ElementWindow* Document::activeWorksheetWindow() const {
    return activeView_ ? activeView_->worksheetWindow() : nullptr;
}

ElementWindow* Document::activeDocWindow() const { return activeView_ ? activeView_->docWindow() : nullptr; }

ElementWindow* Document::activeEditTarget() const {
    if (!activeView_) return nullptr;
    if (ElementWindow* w = activeView_->worksheetEditTarget()) return w;
    return activeView_->docEditTarget();
}

ViewCaret* Document::activeCaret() const {
    ElementWindow* target = activeEditTarget();
    return target ? target->caret() : nullptr;
}
