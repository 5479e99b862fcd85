// ParagraphElement's editing commands, offered by the caret after the child at the caret has
// refused them: Enter, section insertion, paragraph formats and styles, typing at paragraph
// level and deletion across children and paragraphs.  Everything that reaches the caret is
// here.
#include <cstring>
#include <memory>

#include "document/edit/Document.h"
#include "document/edit/EditBracket.h"
#include "document/edit/EditRecord.h"
#include "document/elements/FormatCommand.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/StyleSet.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ViewCaret.h"

namespace {


StyleSet* stylesOf(Element* e) {
    auto* doc = dynamic_cast<Document*>(e->document());
    return doc ? doc->styleSet() : nullptr;
}

// Records the paragraph before and after `change` as a modify pair.
template <typename Change>
void recordParagraph(ParagraphElement* p, Change change) {
    EditBracket bracket(p->document());
    bool recording = bracket.isRecording();
    if (recording) {
        bracket.open();
        bracket.setUndoRecord(new ModifyRecord(p->document()));
        bracket.addUndoElement(p);
    }
    change();
    if (recording) {
        bracket.setRedoRecord(new ModifyRecord(p->document()));
        bracket.addRedoElement(p);
    }
}

}  // namespace

void ParagraphElement::fillIfEmpty(const ParagraphElement& model) {
    if (childCount() > 0) return;
    Element* first = model.firstChild();
    if (first && first->isActiveInput()) insertChild(new InputTextElement(1, ""), nullptr, kInsertAfter);
    else insertChild(new TextElement(-1, ""), nullptr, kInsertAfter);
}

bool ParagraphElement::enter() {
    ViewCaret* caret = activeCaret();
    Element* p = parent();
    if (!caret || !p) return false;
    Element* at = caret->heldElement();
    // Enter in an active input runs its group: the paragraph leaves it to the group above.
    if (at && at->isActiveInput()) return false;
    int count = childCount();
    Element* last = lastChild();
    auto* lastRun = at && at == last ? dynamic_cast<TextElement*>(at) : nullptr;
    bool atEnd = (at == this && caret->offset() >= count) || (lastRun && caret->offset() >= lastRun->textLength());
    ParagraphElement* target = nullptr;
    {
        LayoutHoldScope hold(document());
        if (atEnd) {
            int next = -1;
            if (const ParaStyle* style = paraStyle()) next = style->nextStyle;
            auto made = std::make_unique<ParagraphElement>(next >= 0 ? next : styleForSplit(), nullptr);
            made->insertChild(new TextElement(-1, ""), nullptr, kInsertAfter);
            if (!p->insertChild(made.get(), this, kInsertAfter)) return false;
            target = made.release();
        } else {
            int index = at == this ? caret->offset() : indexOfChild(at);
            if (at != this && at) {
                Element* second = at->splitAt(*caret);
                index = second ? indexOfChild(second) : childCount();
                if (index < 0) index = childCount();
            }
            if (index <= 0) {
                // At the very start: an empty paragraph of the same style above this one.
                auto made = std::make_unique<ParagraphElement>(styleIndex, nullptr);
                made->fillIfEmpty(*this);
                if (!p->insertChild(made.get(), this, kInsertBefore)) return false;
                target = made.release();
            } else {
                target = dynamic_cast<ParagraphElement*>(splitAtIndex(index));
                if (!target || target == this) return false;
                target->fillIfEmpty(*this);
            }
        }
    }
    if (Element* first = target->firstChild()) caret->setPosition(first, 0);
    else caret->setPosition(target, 0);
    return true;
}

bool ParagraphElement::insertSection(bool subsection) {
    Element* child = nullptr;
    Element* section = enclosingSection(&child);
    if (!section || !child) return false;
    Element* where = section;
    Element* after = child;
    int depth = section->ancestorCount();
    int level = depth + 1;
    if (!subsection && depth != 0 && section->parent()) {
        where = section->parent();
        after = section;
        level = depth;
    }
    auto made = std::make_unique<SectionElement>(level);
    SectionElement* raw = made.get();
    {
        LayoutHoldScope hold(document());
        if (!where->insertChild(raw, after, kInsertAfter)) return false;
        made.release();
    }
    if (ViewCaret* caret = activeCaret())
        if (Element* stop = raw->firstCaretStop()) caret->setPosition(stop, 0);
    return true;
}

bool ParagraphElement::setFormat(const FormatCommand& format) {
    if (mark == 2 && format.isCharacterFormat()) return false;   // the runs apply it
    StyleSet* set = stylesOf(this);
    if (!set) return false;
    const ParaStyle& current = set->resolvedParaStyle(styleIndex);
    ParaStyle request(-1);
    auto toggled = [](int value) { return value == 1 ? 2 : 1; };
    switch (format.id) {
    case FormatCommand::ITALIC: request.charPart.italic = toggled(current.charPart.italic); break;
    case FormatCommand::BOLD: request.charPart.bold = toggled(current.charPart.bold); break;
    case FormatCommand::UNDERLINE: request.charPart.underline = toggled(current.charPart.underline); break;
    case FormatCommand::PARAGRAPH:
        if (!format.paraStyle) return false;
        request = *format.paraStyle;
        break;
    case FormatCommand::LEFT: request.justification = 1; break;
    case FormatCommand::RIGHT: request.justification = 2; break;
    case FormatCommand::CENTER: request.justification = 3; break;
    case FormatCommand::BULLET: request.listKind = current.listKind == 2 ? 1 : 2; break;
    case FormatCommand::FONT:
        if (!format.text) return false;
        request.charPart.setFontName(format.text);
        break;
    case FormatCommand::SIZE:
        request.charPart.sizeMode = 1;
        request.charPart.size = std::int16_t(format.size < 1 ? 1 : format.size > 32767 ? 32767 : format.size);
        break;
    default:
        return false;
    }
    int index = styleIndex;
    if (set->changeParaStyle(index, request)) {
        recordParagraph(this, [&] { styleIndex = std::int16_t(index); });
        if (auto* doc = dynamic_cast<Document*>(document())) doc->notifyStylesChanged(this);
        markNeedsLayout();
        ElementExtent ignored;
        layout(ignored);
        if (ViewCaret* caret = activeCaret()) caret->refreshWindow();
    }
    return true;
}

bool ParagraphElement::deleteWithBuffer(const char* text, Element* child) {
    bool backward = text && *text;
    Element* p = parent();
    int index = indexOfChild(child);
    if (index < 0) return false;
    LayoutHoldScope hold(document());
    if (backward && index == 0) {
        auto* previous = p ? dynamic_cast<ParagraphElement*>(p->previousChild(this)) : nullptr;
        if (!previous) return false;
        previous->moveChildrenTo(0, previous->childCount(), this, firstChild(), kInsertBefore);
        // The emptied paragraph goes: its text now stands in this one.
        if (previous->childCount() == 0) p->removeChild(previous);
        markNeedsLayout();
        return true;
    }
    if (!backward && index == childCount() - 1) {
        auto* next = p ? dynamic_cast<ParagraphElement*>(p->nextChild(this)) : nullptr;
        if (!next) return false;
        joinWithSibling(2);
        markNeedsLayout();
        return true;
    }
    // Backspace goes on at the end of the child before, Delete at the start of the one after;
    // the caret stands there for the call and comes back afterwards.
    Element* neighbour = backward ? childAt(index - 1) : childAt(index + 1);
    ViewCaret* caret = activeCaret();
    if (!neighbour || !caret) return false;
    Element* home = caret->heldElement();
    int homeOffset = caret->offset();
    TextPosition end(neighbour, 0);
    if (backward) neighbour->movePosition(end, 18, nullptr, -1);
    caret->setPosition(neighbour, backward ? end.offset() : 0);
    // An object before the caret goes whole, as Delete takes it.
    const char* passed = backward && neighbour->isText() ? text : "";
    bool handled = neighbour->command(11, passed, 0);
    if (home && home->parent()) caret->setPosition(home, homeOffset);
    markNeedsLayout();
    return handled;
}

bool ParagraphElement::command(int code, const char* text, std::intptr_t argument) {
    ViewCaret* caret = activeCaret();
    switch (code) {
    case 0:
        return enter();
    case 1:
    case 2:
        return insertSection(code == 1);
    case 3:
        return argument && setFormat(*reinterpret_cast<const FormatCommand*>(argument));
    case 4: {
        // The style by name (the style box of the context bar) or by index.
        int index = -1;
        if (text) {
            const StyleSet* styles = stylesOf(this);
            index = styles ? styles->findParaStyle(text) : -1;
            if (index < 0) return false;
        } else {
            index = int(argument);
        }
        if (index == styleIndex || index < 0 || index >= StyleSet::INDEX_LIMIT) return true;
        recordParagraph(this, [&] { styleIndex = std::int16_t(index); });
        if (auto* doc = dynamic_cast<Document*>(document())) doc->notifyStylesChanged(this);
        markNeedsLayout();
        ElementExtent ignored;
        layout(ignored);
        return true;
    }
    case 9:
    case 10: {
        if (!caret || caret->heldElement() != this || !text || !*text) return false;
        auto* run = new TextElement(-1, text);
        if (!insertChild(run, childAt(caret->offset()), kInsertBefore)) {
            delete run;
            return false;
        }
        caret->setPosition(run, run->textLength());
        return true;
    }
    case 11:
        if (mark == 1) break;
        if (!argument) return false;
        return deleteWithBuffer(text, reinterpret_cast<Element*>(argument));
    case 15:
        break;
    default:
        return false;
    }
    // Delete Paragraph (and Delete on a wholly marked paragraph).
    Element* p = parent();
    if (!p) return false;
    if (caret) caret->holdAsPoint();
    p->removeChild(this);
    return true;
}
