// SectionElement: headings, collapse state, the editing commands on the tree, the "{SECT "
// record and the plain-text export of collapsed sections.
#include "document/elements/SectionElement.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "document/edit/Document.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/tree/ViewCaret.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/WorksheetTagTable.h"
#include "util/errjump.h"

namespace {

bool isHeadingStyle(int style) {
    return style == SectionElement::STYLE_HEADING_1 || style == SectionElement::STYLE_HEADING_2 ||
           style == SectionElement::STYLE_HEADING_3 || style == SectionElement::STYLE_HEADING_4;
}

// A paragraph with nothing typed in it (its runs, if any, are empty text).
bool isEmptyChild(const Element* e) {
    if (!e) return true;
    if (e->isEmpty()) return true;
    if (e->elementKind() != KIND_PARAGRAPH) return false;
    for (int i = 0, n = e->childCount(); i < n; ++i) {
        auto* text = dynamic_cast<const TextElement*>(e->childAt(i));
        if (!text || text->textLength() != 0) return false;
    }
    return true;
}

// Holds the document's layout for one editing operation.
class LayoutHold {
public:
    explicit LayoutHold(ElementDocument* document) : document_(document) {
        if (document_) document_->holdLayout();
    }
    ~LayoutHold() {
        if (document_) document_->releaseLayout();
    }
    LayoutHold(const LayoutHold&) = delete;
    LayoutHold& operator=(const LayoutHold&) = delete;

private:
    ElementDocument* document_;
};

}  // namespace

// ---- construction ------------------------------------------------------------------------------

SectionElement::SectionElement(int level) { insertHeading(level); }

SectionElement::SectionElement(const SectionElement& other)
    : ContainerElement(other),
      collapsed(other.collapsed),
      bracketShown(other.bracketShown),
      buttonGap(other.buttonGap),
      extraIndent(other.extraIndent),
      headingShifted(other.headingShifted) {
    if (collapsed) flags |= ELEMENT_COLLAPSED_SECTION;
    other.copyChildrenTo(this);
}

// ---- headings --------------------------------------------------------------------------------------

int SectionElement::headingStyleForLevel(int level) const {
    if (level <= 0) level = depth();
    switch (level) {
    case 1: return STYLE_HEADING_1;
    case 2: return STYLE_HEADING_2;
    case 3: return STYLE_HEADING_3;
    default: return STYLE_HEADING_4;
    }
}

void SectionElement::insertHeading(int level) {
    insertHeadingParagraph(headingStyleForLevel(level), firstChild(), kInsertBefore);
}

ParagraphElement* SectionElement::insertHeadingParagraph(int style, Element* reference, int mode) {
    auto* paragraph = new ParagraphElement(style, nullptr);
    paragraph->insertChild(new TextElement(-1, ""), nullptr, kInsertAfter);
    if (!insertChild(paragraph, reference, mode)) {
        delete paragraph;
        return nullptr;
    }
    return paragraph;
}

void SectionElement::ensureHeading() {
    if (!parent()) return;
    Element* first = firstChild();
    if (!first || first->elementKind() != KIND_PARAGRAPH) insertHeading(0);
}

// ---- children ------------------------------------------------------------------------------------

bool SectionElement::insertChild(Element* child, Element* reference, int mode) {
    // The placeholder of an empty worksheet stays last.
    if (!reference) {
        Element* last = lastChild();
        if (last && last->elementKind() == KIND_PLACEHOLDER && child != last) {
            reference = last;
            mode = 0;
        }
    } else if (reference->elementKind() == KIND_PLACEHOLDER) {
        mode = 0;
    }
    return ContainerElement::insertChild(child, reference, mode);
}

void SectionElement::removeChild(Element* child) {
    ElementOperationScope scope;
    bool wasOnly = childCount() == 1 && indexOfChild(child) == 0;
    ContainerElement::removeChild(child);
    // An emptied unmarked section has taken itself out of its parent: it gets no heading.
    if (!parent() || (wasOnly && mark == 0)) return;
    ensureHeading();
}

Element* SectionElement::splitAtIndex(int index) {
    if (index <= 0 || index >= childCount()) return this;
    Element* p = parent();
    if (!p) return this;
    ElementOperationScope scope;
    LayoutHold hold(document());
    auto* second = new SectionElement(depth());
    if (!p->insertChild(second, this, kInsertAfter)) {
        delete second;
        return this;
    }
    moveChildrenTo(index, childCount() - index, second, second->firstChild(), kInsertAfter);
    markNeedsLayout();
    second->markNeedsLayout();
    return second;
}

// ---- collapse and expand ----------------------------------------------------------------------------

void SectionElement::setCollapsedFlag(bool on) {
    collapsed = on ? 1 : 0;
    if (on) flags |= ELEMENT_COLLAPSED_SECTION;
    else flags &= ~ELEMENT_COLLAPSED_SECTION;
}

void SectionElement::markDocumentModified() {
    if (auto* doc = dynamic_cast<Document*>(document())) doc->modified = true;
}

void SectionElement::collapse(bool redraw) {
    if (collapsed) return;
    setCollapsedFlag(true);
    collapseStateChanged(true, redraw);
}

void SectionElement::expand(bool redraw) {
    if (!collapsed) return;
    setCollapsedFlag(false);
    collapseStateChanged(false, redraw);
}

void SectionElement::collapseStateChanged(bool nowCollapsed, bool redraw) {
    // The collapsed flag is part of the file: the document has changed whether or not it is
    // laid out now.
    markDocumentModified();
    ElementDocument* doc = document();
    if (!doc || !doc->activeView() || doc->layoutHeld()) {
        markNeedsLayout();
        return;
    }
    WalkControl control;
    control.flags = WALK_BEFORE;
    walkMethod(nowCollapsed ? &Element::sectionCollapsed : &Element::sectionExpanded, control);
    // Stacking gives the collapsed extent (the heading and the button) or the full one.
    stackChildren();
    int newWidth = width;
    int newHeight = height;
    if (!nowCollapsed) {
        savedWidth = width;
        savedHeight = height;
    }
    width = newWidth;
    height = newHeight;
    auto* p = dynamic_cast<BlockElement*>(parent());
    if (p) {
        const ChildSlot* heading = slot(0);
        p->childResized(this, heading ? heading->x : 0, newHeight, newWidth, newHeight);
        if (redraw) p->showChild(this, {0, 0, newWidth, newHeight});
    }
    if (nowCollapsed) return;
    auto* document = dynamic_cast<Document*>(doc);
    ElementWindow* window = document ? document->activeWorksheetWindow() : nullptr;
    if (!window) return;
    ViewCaret* caret = window->caret();
    bool wasBusy = caret && caret->busy;
    if (caret) caret->busy = true;
    ElementPoint o = absoluteOrigin();
    window->scrollIntoView({o.x, o.y, savedWidth, savedHeight});
    if (caret && !wasBusy) caret->refreshWindow();
}

// ---- commands ------------------------------------------------------------------------------------

bool SectionElement::command(int code, const char* text, std::intptr_t argument) {
    auto* reference = reinterpret_cast<Element*>(argument);
    if (!parent()) return code == CMD_INDENT ? wrapInSection(reference) : false;
    ViewCaret* caret = activeCaret();
    Element* caretElement = caret ? caret->element() : nullptr;
    switch (code) {
    case CMD_ENTER: {
        // Enter on the section itself: a new section of the same depth goes before it.
        if (caretElement != this || mark != 0) return false;
        auto* section = new SectionElement(depth());
        if (!insertSibling(section, kInsertBefore)) {
            delete section;
            return true;
        }
        Element* heading = section->firstChild();
        Element* target = heading && heading->firstChild() ? heading->firstChild() : heading;
        if (target) caret->setPosition(target, 0);
        return true;
    }
    case CMD_DELETE:
        if (mark == 0) {
            // Delete on the section itself: its children stay, in its place.
            if (caretElement != this) return false;
            ElementOperationScope scope;
            Element* p = parent();
            {
                LayoutHold hold(document());
                moveChildrenTo(0, childCount(), p, this, kInsertAfter);
            }
            caret->holdAsPoint();
            p->removeChild(this);
            return true;
        }
        if (mark != 1) return false;   // partly marked
        [[fallthrough]];
    case CMD_DELETE_PARAGRAPH: {
        ElementOperationScope scope;
        if (caret) caret->holdAsPoint();
        parent()->removeChild(this);
        return true;
    }
    case CMD_SPLIT_SECTION: {
        // The child holding the caret and everything after it go into a new section.
        Element* child = caretElement;
        while (child && child->parent() != this) child = child->parent();
        if (child) splitAtChild(child);
        return true;
    }
    case CMD_INSERT_SUBSECTION:
    case CMD_INSERT_SECTION: {
        Element* first = firstChild();
        return first ? first->command(code, text, argument) : true;
    }
    case CMD_TYPING:
        if (!text) return false;
        switch (text[0]) {
        case ' ':
            if (collapsed) expand(true);
            else collapse(true);
            return true;
        case '+':
            expand(true);
            return true;
        case '-':
            collapse(true);
            return true;
        default:
            return false;
        }
    case CMD_EXPAND:
        expand(true);
        return true;
    case CMD_COLLAPSE:
        collapse(true);
        return true;
    case CMD_JOIN_SECTIONS:
        joinWithSibling(2);
        return true;
    case CMD_INDENT:
        return wrapInSection(reference);
    case CMD_OUTDENT:
        outdent(reference);
        return true;
    default:
        return false;
    }
}

bool SectionElement::wrapInSection(Element* reference) {
    std::vector<Element*> run;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* c = childAt(i);
        if (c && c->elementKind() != KIND_PLACEHOLDER && (c->mark != 0 || c == reference)) run.push_back(c);
    }
    if (run.empty()) return false;
    ElementOperationScope scope;
    LayoutHold hold(document());
    Element* first = run.front();
    SectionElement* target = nullptr;
    auto* before = reference ? dynamic_cast<SectionElement*>(previousChild(first)) : nullptr;
    if (before && !before->collapsed) {
        target = before;
    } else {
        int level = depth() + 1;
        if (first->elementKind() == KIND_PARAGRAPH) {
            target = new SectionElement();
            auto* paragraph = static_cast<ParagraphElement*>(first);
            if (paragraph->styleIndex == ParagraphElement::STYLE_NORMAL || isHeadingStyle(paragraph->styleIndex))
                paragraph->styleIndex = std::int16_t(headingStyleForLevel(level));
        } else {
            target = new SectionElement(level);
        }
        target->mark = mark;
        if (!ContainerElement::insertChild(target, first, kInsertAfter)) {
            delete target;
            return false;
        }
    }
    for (Element* c : run) {
        c->markSubtree(0);
        int index = indexOfChild(c);
        bool wasFirst = index == 0;
        if (!removeChildAt(index)) continue;
        if (!target->insertChild(c, nullptr, kInsertAfter)) {
            // Refused: back where it was, so nothing is lost.
            if (!ContainerElement::insertChild(c, childAt(index), kInsertBefore)) destroyElement(c);
            continue;
        }
        if (wasFirst && parent()) insertHeading(0);
    }
    return true;
}

void SectionElement::outdent(Element* reference) {
    Element* p = parent();
    if (!p) return;
    int first = -1, last = -1;
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* c = childAt(i);
        if (!c || c->elementKind() == KIND_PLACEHOLDER || !(c->mark != 0 || c == reference)) continue;
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return;
    ElementOperationScope scope;   // this section may go: its deletion waits for the scope
    LayoutHold hold(document());
    if (last + 1 < childCount()) splitAtIndex(last + 1);
    SectionElement* source = this;
    int runStart = first;
    if (first > 0) {
        auto* split = dynamic_cast<SectionElement*>(splitAtIndex(first));
        if (!split || split == this) return;
        source = split;
        runStart = split->indexOfChild(split->firstChild()) + 1;   // after its new heading
    } else if (auto* heading = dynamic_cast<ParagraphElement*>(firstChild());
               heading && isHeadingStyle(heading->styleIndex)) {
        heading->styleIndex = ParagraphElement::STYLE_NORMAL;
    }
    Element* after = source;
    while (runStart < source->childCount()) {
        Element* c = source->childAt(runStart);
        c->markSubtree(0);
        if (!source->removeChildAt(runStart)) {
            ++runStart;
            continue;
        }
        if (!p->insertChild(c, after, kInsertAfter)) {
            if (!source->ContainerElement::insertChild(c, source->childAt(runStart), kInsertBefore)) destroyElement(c);
            ++runStart;
            continue;
        }
        after = c;
    }
    if (source != this && childCount() == 1 && isEmptyChild(firstChild())) p->removeChild(this);
    // What is left of the source is its heading at most.
    p->removeChild(source);
}

// ---- records --------------------------------------------------------------------------------------

void SectionElement::writeElement(WalkControl& control) {
    if ((control.flags & WALK_MARKED_ONLY) && (!parent() || mark != 1)) return;
    if (control.pass() == PASS_BEFORE) {
        writeRecordHead(control);
        if (control.writer) control.writer->writeInt(collapsed);
    } else if (control.pass() == PASS_AFTER) {
        writeRecordTail(control);
    }
}

bool readSectRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    out = nullptr;
    long depth = reader.braceDepth();   // inside the record
    std::unique_ptr<SectionElement> section;
    try {
        ErrorGuard guard;
        section = std::make_unique<SectionElement>();
        if ((reader.majorVersion == 2 && reader.minorVersion > 0) || reader.majorVersion > 2) {
            int flag = 0;
            reader.readInt(flag);
            section->setCollapsedFlag(flag != 0);
        }
        for (;;) {
            Element* element = nullptr;
            if (!worksheetTagTable.readNewRep(reader, element, section.get(), true, nullptr)) break;
            if (!element) continue;
            int kind = element->elementKind();
            if (kind == KIND_SECTION || kind == KIND_PARAGRAPH || kind == KIND_GROUP) {
                if (!section->insertChild(element, nullptr, kInsertAfter)) delete element;
            } else {
                delete element;
            }
        }
    } catch (const ErrorJump&) {
        section.reset();
        if (reader.braceDepth() >= depth) reader.skipToDepth(depth - 1);
        return true;
    }
    if (section->childCount() == 0) return true;
    if (parent) {
        Element* first = section->firstChild();
        if (first->elementKind() != KIND_PARAGRAPH)
            section->insertHeadingParagraph(SectionElement::STYLE_HEADING_1, first, kInsertBefore);
    }
    out = section.release();
    return true;
}

bool readFragmentSectRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    int dropped = 0;
    for (int i = 0; i < 3; ++i) reader.readInt(dropped);
    return readSectRecord(reader, out, parent);
}

void registerSectionReaders() { worksheetTagTable.registerReader("SECT", readSectRecord); }

// ---- plain-text export ---------------------------------------------------------------------------------

void SectionElement::exportText(WalkControl& control) {
    if (!collapsed || control.pass() != PASS_BEFORE) return;
    // A collapsed section shows only its heading, and exports only that.
    bool exportsHeading = !(control.flags & WALK_MARKED_ONLY) || mark == 1;
    if (Element* heading = firstChild(); heading && exportsHeading) {
        WalkControl inner;
        inner.flags = control.flags;
        inner.context = control.context;
        inner.writer = control.writer;
        inner.exportWriter = control.exportWriter;
        heading->walkMethod(&Element::exportText, inner);
    }
    control.requestStop(STOP_CHILDREN);
}
