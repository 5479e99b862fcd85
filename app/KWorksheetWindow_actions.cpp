// The editing-action executor: the names of the action codes, the common frame every action
// runs in (guard, undo group, caret and selection, placeholder, modified flag, the kernel's
// STOP), the marked-selection path, the caret path, the two insert operations and the table of
// what each code does.
//
// Frame of executeAction, in order:
//    1. nothing while the window computes;
//       a lead byte of a two-byte character (Japanese mode) typed alone waits for the next
//       typed byte, and the pair runs as one text (code 9);
//    2. a read-only document (a help document without a kernel) runs only the codes it allows
//       and beeps at the others;
//    3. an undo group named after the action opens (merging only for code 10, so consecutive
//       typing joins one undo step);
//    4. the selection's zones go, the caret is hidden and made busy (not for code 30);
//    5. the operation runs under an error guard; an error is reported with the action's name;
//    6. on every path: the placeholder when the root is empty, the layout, the repaint, the
//       caret shown again (balanced with 4) and the busy flag restored;
//    7. the undo group closes;
//    8. a done action marks the document modified; after the kernel's STOP the window's close
//       is posted (it runs once the handler that called us has returned).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/KEditorPart.h"
#include "app/KMainFrame.h"
#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/PlaceholderElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "platform/os/mbtext.h"
#include "platform/os/sysprobe.h"
#include "util/errjump.h"
#include "util/messages.h"

int KWorksheetWindow::injectedActionError = 0;

namespace {

// The lead byte of a two-byte character typed as two bytes, waiting for its trail byte (0 when
// none).  One for the whole program: the two halves come from one key sequence.
char pendingLeadByte = 0;

// Names of codes 1 to 71 (0 is "Enter"; above 71 the empty text).
constexpr const char* kActionNames[72] = {
    "Enter", "Insert Subsection", "Insert Section", "Set Format", "Set Paragraph Style", "Insert OLE Object",
    "Insert Math Object", "Insert Hyperlink", "Paste", "Typing", "Typing", "Delete", "Edit Hyperlink",
    "Set Typeface", "Set Typesize", "Delete Paragraph", "Edit Math Object", "Edit OLE Links", "Insert Paragraph",
    "Cut", "Copy", "Expand Section", "Collapse Section", "Split", "Paste as Kelvo", "Export as LaTeX",
    "Insert Input", "Insert Text", "Insert Group", "Copy Examples", "Edit Plot", "Convert", "Undo", "Redo",
    "Join Sections", "Split Section", "Join Groups", "Split Group", "Execute", "Remove Output",
    "Set Character Style", "Indent", "Outdent", "Select All", "Copy as Kelvo Text", "Toggle Input",
    "Insert Spreadsheet", "Copy as OpenMath", "Math Editor Operation", "Context Menu Test",
    "Set Spreadsheet Properties", "Spreadsheet Snap to Grid", "Evaluate Cell", "Evaluate Selection",
    "Evaluate Spreadsheet", "Reject Input", "Toggle Spreadsheet Border", "Set Row Height", "Insert Row",
    "Delete Row", "Set Column Width", "Insert Column", "Delete Column", "Fill Up", "Fill Down", "Fill Left",
    "Fill Right", "Fill Detailed", "Insert Math", "Insert 2D Plot", "Insert 3D Plot", "Idle",
};

// Whether a read-only document lets the code run.
bool readOnlyAllows(int code, const char* data, Element* caretElement, const Element* root) {
    const int kind = caretElement ? caretElement->elementKind() : -1;
    switch (code) {
    case KWorksheetWindow::kEnter: return (!root || root->mark == 0) && kind == KIND_HYPERLINK;
    case KWorksheetWindow::kTypeChar:
        return kind == KIND_SECTION && data && (*data == '+' || *data == '-' || *data == ' ');
    case KWorksheetWindow::kCopy:
    case KWorksheetWindow::kExpandSection:
    case KWorksheetWindow::kCollapseSection:
    case 29:   // Copy Examples
    case KWorksheetWindow::kSelectAll: return true;
    default: return false;
    }
}

// The error record of an injected out-of-memory error.
void raiseInjected(int which) {
    if (which == 1) raiseRecord(&outOfMemoryRecord);
    raiseError(nullptr);
}

}  // namespace

KString undo_action_name(unsigned code) {
    KString name;
    name.assign(code <= unsigned(KWorksheetWindow::kLastAction) ? kActionNames[code] : "");
    return name;
}

// ---- the frame -------------------------------------------------------------------------------------

bool KWorksheetWindow::executeAction(int code, const char* data, std::intptr_t argument) {
    if (computing_ || !document_ || !editor_) return false;
    if (code == kTypeChar && data && data[0] != 0) {
        if (pendingLeadByte != 0) {
            const char pair[3] = {pendingLeadByte, data[0], 0};
            pendingLeadByte = 0;
            return executeAction(kTypeText, pair, argument);
        }
        if (mb_is_lead_byte(static_cast<unsigned char>(data[0]))) {
            pendingLeadByte = data[0];
            return false;
        }
    }
    ViewCaret* c = caret();
    Element* root = document_->root();
    if (isReadOnly() && !readOnlyAllows(code, data, c ? c->element() : nullptr, root)) {
        Sound::beep();
        return false;
    }
    const KString name = undo_action_name(unsigned(code));
    UndoHistory* history = document_->undoHistory();
    if (history) history->beginGroup(name.text(), c, code == kTypeChar);
    selection()->clear();
    selecting_ = false;
    const bool hides = code != kEditPlot;
    if (hides) c->hideShow(1);
    const bool wasBusy = c->busy;
    c->busy = true;
    bool result = false;
    try {
        ErrorGuard guard;
        if (injectedActionError != 0) {
            const int which = injectedActionError;
            injectedActionError = 0;
            raiseInjected(which);
        }
        result = runAction(code, data, argument);
    } catch (const ErrorJump&) {
        reportOutOfMemory(name.text());
        result = false;
    } catch (const std::bad_alloc&) {
        reportOutOfMemory(name.text());
        result = false;
    }
    // The after-steps run on every path, so that the caret hidden above shows again.
    try {
        ErrorGuard guard;
        if (!wasBusy) afterAction(code);
    } catch (const ErrorJump&) {
        reportOutOfMemory(name.text());
    } catch (const std::bad_alloc&) {
        reportOutOfMemory(name.text());
    }
    c->busy = wasBusy;
    if (hides) {
        c->invalidate();
        c->hideShow(4);
    }
    if (history) history->endUndoGroup(c);
    if (sys_resources_low()) warnLowResources();
    // An edit the action made counts even when the kernel stopped: the close question asks
    // about it.
    if (result) document_->modified = true;
    if (document_->stopped) postClose();
    return result;
}

void KWorksheetWindow::afterAction(int code) {
    Element* root = document_->root();
    if (root && root->childCount() == 0) {
        root->insertChild(new PlaceholderElement(), nullptr, kInsertAfter);
        invalidate();
    }
    document_->relayout();
    updateExtent();
    ViewCaret* c = caret();
    c->invalidate();
    c->refreshWindow();
    if (code != kEditPlot && KMainFrame::activeWorksheet() == this) {
        c->notifyElement();
        c->scrollIntoView(false);
    }
}

// ---- the table ----------------------------------------------------------------------------------

bool KWorksheetWindow::runAction(int code, const char* data, std::intptr_t argument) {
    Element* root = document_->root();
    const bool marked = root && root->mark != 0;
    ViewCaret* c = caret();
    switch (code) {
    case kEnter:
    case kSetFormat:
    case kSetParagraphStyle:
    case kSetCharacterStyle:
        return marked ? markedPath(code, data, argument) : caretPath(code, data, argument);
    case kDelete:
        return marked ? markedPath(code, data, argument) : caretPath(code, data, argument);
    case kOutdent:
        return marked ? markedPath(code, data, argument) : caretPath(code, data, argument);
    case kTypeText:
    case kTypeChar:
        if (marked) {
            DeleteRecord record;
            record.beforeTyping = 1;
            runAction(kDelete, reinterpret_cast<const char*>(&record), 0);
        }
        return caretPath(code, data, argument);
    case 17:   // Edit OLE Links: nothing to do
        return false;
    case kInsertParagraph: {
        auto* paragraph = new ParagraphElement(0, nullptr);
        const bool before = data && *data != 0;
        if (!insertElement(paragraph, before ? kInsertBefore : kInsertAfter, true)) {
            delete paragraph;
            return false;
        }
        return true;
    }
    case kExpandSection:
    case kCollapseSection: {
        document_->holdLayout(false);
        if (root) editorPart()->walkElements(root, code, nullptr, 0, nullptr);
        std::vector<SectionElement*> sections;
        auto collect = [&](auto& self, Element* e) -> void {
            if (!e) return;
            if (auto* s = dynamic_cast<SectionElement*>(e); s && e != root) sections.push_back(s);
            for (int i = 0, n = e->childCount(); i < n; ++i) self(self, e->childAt(i));
        };
        collect(collect, root);
        for (SectionElement* s : sections) {
            if (code == kExpandSection) s->expand(false);
            else s->collapse(false);
        }
        document_->holdLayout(true);
        if (code == kCollapseSection && c) {
            Element* e = c->element();
            Element* section = nullptr;
            while (e && e->enclosingCollapsedSection(&section) && section) e = section;
            if (!e && root) e = root->firstCaretStop();
            if (e) c->setPosition(e, 0);
        }
        invalidate();
        return true;
    }
    case kInsertGroup: {
        auto* group = new ExecutionGroup(ExecutionGroup::WithInput{});
        Element* target = group->firstChild() ? group->firstChild()->firstChild() : nullptr;
        const bool before = data && *data != 0;
        if (!insertAndPlace(group, before ? kInsertBefore : kInsertAfter, target, 0)) {
            delete group;
            return false;
        }
        grabFocus();
        return true;
    }
    case kConvert:
        editorPart()->walkElements(root, 145, data, code, nullptr);
        clearMarks();
        return true;
    case kJoinSections:
        document_->joinOfKind(KIND_SECTION);
        clearMarks();
        return true;
    case kJoinGroups:
        document_->joinOfKind(KIND_GROUP);
        clearMarks();
        updateCaretState(false);
        return true;
    case kRemoveOutput: {
        if (c) c->holdAsPoint();
        WalkControl control;
        control.flags = WALK_BEFORE;
        control.code = data && *data == 1 ? 17 + 128 : 17;
        if (root) root->walkMethod(&Element::removeOutput, control);
        clearMarks();
        return true;
    }
    case kIndent:
        if (marked) {
            if (auto* section = dynamic_cast<SectionElement*>(root)) return section->wrapInSection(nullptr);
            return false;
        }
        return caretPath(code, data, argument);
    case kSelectAll: {
        if (!root || !c) return false;
        Element* first = root->firstCaretStop();
        if (!first) return false;
        c->setPosition(first, 0);
        Selection* s = selection();
        s->setAnchor(*c);
        c->moveBy(11);
        s->extendTo(*c);
        root->markSubtree(1);
        root->mark = 2;
        selecting_ = true;
        updateCaretState(false);
        invalidate();
        return true;
    }
    // The clipboard, the window commands and the element classes of other parts of the program
    // are not here yet: these codes do nothing.
    case kUndo: return undo();
    case kRedo: return redo();
    case kExecute: return execute(data && *data != 0);
    case 26: return insertInput(false);
    case 27: return insertText();
    case 45: return toggleInput();
    case 68: return insertMath();
    case 48: return mathEditorOperation(static_cast<int>(argument), data);
    case 5: case 6: case 7: case 8: case 12: case kCut: case kCopy: case 24: case 29:
    case 44: case 46: case 69: case 70:
        return false;
    default:
        return caretPath(code, data, argument);
    }
}

// ---- the marked-selection path -----------------------------------------------------------------

bool KWorksheetWindow::markedPath(int code, const char* data, std::intptr_t argument) {
    ViewCaret* c = caret();
    Element* root = document_->root();
    Element* e = c ? c->element() : nullptr;
    const bool inside = e && e->mark == 2 && document_->hasIdleSession();
    const bool mathTarget = inside && e->isMath();
    const bool textTarget = inside && e->elementKind() == KIND_INPUT_TEXT;
    switch (code) {
    case kEnter:
        if (mathTarget || textTarget) {
            clearMarks();
            return e->command(kEnter, data, argument);
        }
        Sound::beep();
        return false;
    case kDelete: {
        DeleteRecord local;
        auto* record = data ? reinterpret_cast<DeleteRecord*>(const_cast<char*>(data)) : &local;
        if (mathTarget && e->command(kDelete, reinterpret_cast<const char*>(record), argument)) return true;
        if (!mathTarget) record->marked = 1;
        document_->holdLayout(false);
        if (c) c->holdAsPoint();
        root->commandToMarked(kDelete, reinterpret_cast<const char*>(record), argument);
        document_->holdLayout(true);
        clearMarks();
        return true;
    }
    default:
        document_->holdLayout(false);
        root->commandToMarked(code, data, argument);
        document_->refreshTextLayout();
        document_->holdLayout(true);
        return true;
    }
}

// ---- the caret path ---------------------------------------------------------------------------------

bool KWorksheetWindow::caretPath(int code, const char* data, std::intptr_t argument) {
    ViewCaret* c = caret();
    if (!c) return false;
    auto* record = code == kDelete && data ? reinterpret_cast<DeleteRecord*>(const_cast<char*>(data)) : nullptr;
    if (record && record->backward && dynamic_cast<InputTextElement*>(c->element()) && c->offset() > 0) {
        // Inside an input the step back is one character.
        c->setPosition(c->element(), c->offset() - 1);
        record->backward = 0;
    } else if (record && record->backward) {
        // A backward delete never crosses into a group or a section.
        Element* before = c->element();
        const int offset = c->offset();
        c->moveBy(20);
        Element* now = c->element();
        if (now && (now->elementKind() == KIND_GROUP || now->elementKind() == KIND_SECTION)) {
            c->setPosition(before, offset);
            Sound::beep();
            return false;
        }
        if (now == before && c->offset() == offset && offset == 0) {
            Sound::beep();
            return false;
        }
        record->backward = 0;
    }
    // A one-line input types and deletes through its own commands; the placeholder makes an
    // input for typing and hands the text on to it.
    const bool result = c->dispatchCommand(code, data, argument);
    if (code == kDelete) c->invalidate();
    return result;
}

// ---- the insert operations ---------------------------------------------------------------------

bool KWorksheetWindow::insertElement(Element* element, int mode, bool moveCaret) {
    ViewCaret* c = caret();
    Element* p = c ? c->element() : nullptr;
    clearMarks();
    if (!element) return false;
    if (!p) p = document_->root();
    if (!p) return false;
    Element* place = nullptr;
    Element* reference = nullptr;
    Element* inserted = element;
    if (element->isInline()) {
        place = p;
        if (p->isInline()) {
            Element* after = p->splitAt(*c);
            place = p->parent();
            if (after && after != p) {
                reference = after;
                mode = kInsertBefore;
            } else {
                reference = p;
            }
        }
        if (!place) return false;
        if (place->elementKind() != KIND_PARAGRAPH) {
            auto* paragraph = new ParagraphElement(0, nullptr);
            paragraph->insertChild(element, nullptr, kInsertAfter);
            auto* group = new ExecutionGroup(paragraph);
            inserted = group;
            Element* outer = place->parent();
            if (!outer || !outer->insertChild(group, place, kInsertAfter)) {
                paragraph->removeChild(element);
                delete group;
                return false;
            }
        } else if (!place->insertChild(element, reference, mode)) {
            return false;
        }
    } else {
        reference = p;
        Element* candidate = p->parent();
        while (candidate) {
            const int kind = candidate->elementKind();
            if (kind == KIND_SECTION &&
                (mode == kInsertAfter || candidate->firstChild() != reference || !candidate->parent()))
                break;
            if (element->elementKind() == KIND_PARAGRAPH && kind == KIND_GROUP) break;
            reference = candidate;
            candidate = candidate->parent();
        }
        if (!candidate) {
            candidate = document_->root();
            reference = nullptr;
        }
        if (!candidate || !candidate->insertChild(element, reference, mode)) return false;
    }
    if (moveCaret && c) {
        Element* stop = inserted->firstCaretStop();
        c->setPosition(stop ? stop : inserted, 0);
    }
    return true;
}

bool KWorksheetWindow::insertAndPlace(Element* element, int mode, Element* caretTarget, int offset) {
    if (!insertElement(element, mode, false)) return false;
    if (ViewCaret* c = caret()) c->setPosition(caretTarget ? caretTarget : element, offset);
    return true;
}
