// The worksheet window's dialog commands (style management, paragraph and character style,
// bookmark), the Find dialog and the search it sends, the fit-window command, the math editor's
// editing action, and the replacement of the shown document.
//
// Style management runs inside one undo group, "format style": a style edit record copies the
// style set before the dialog and again after it, so that Undo gives back the whole set as it
// was.  The paragraph and character dialogs start from an empty record (nothing defined) and
// apply only what the user defined, as editing action 3.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/KFrameAdaptor.h"
#include "app/KMainFrame.h"
#include "app/KWindowRegistry.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/dialogs/KBookmarkDialog.h"
#include "app/dialogs/KCharStyleDialog.h"
#include "app/dialogs/KFindDialog.h"
#include "app/dialogs/KParaStyleDialog.h"
#include "app/dialogs/KStyleManagerDialog.h"
#include "document/edit/EditBracket.h"
#include "document/edit/EditRecord.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/FormatCommand.h"
#include "document/elements/ParagraphElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/StyleSet.h"
#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "util/messages.h"

// ---- style dialogs ---------------------------------------------------------------------------------

bool KWorksheetWindow::styleManager() {
    StyleSet* styles = document_ ? document_->styleSet() : nullptr;
    if (!styles) return false;
    UndoHistory* history = document_->undoHistory();
    if (history) history->beginGroup("format style", caret(), false);
    long answer = 0;
    // The group closes on every path, an error in the dialog included.
    guardedHandler("format style", [&] {
        EditBracket bracket(static_cast<Document*>(document_));
        const bool recording = bracket.isRecording();
        if (recording) {
            bracket.open();
            bracket.setUndoRecord(new StyleEditRecord(document_));
            bracket.captureUndoState();
        }
        KStyleManagerDialog dialog(this, styles);
        answer = dialog.execute();
        if (recording) {
            bracket.setRedoRecord(new StyleEditRecord(document_));
            bracket.captureRedoState();
        }
    });
    if (history) history->endUndoGroup(caret());
    if (answer == 0) return false;
    relayoutAll();
    invalidate();
    if (KWorksheetApp* app = worksheetApp(); app && app->frame)
        app->frame->updateTextBar(document_->styleSet(), nullptr, nullptr);
    if (ViewCaret* c = caret()) c->notifyElement();
    return true;
}

bool KWorksheetWindow::formatDialog(int id) {
    StyleSet* styles = document_ ? document_->styleSet() : nullptr;
    if (!styles) return false;
    if (id == FormatCommand::PARAGRAPH) {
        KParaStyleDialog dialog(this, styles);
        dialog.setStyle(ParaStyle(-1), false, false);
        if (dialog.execute() == 0) return false;
        return setFormat(id, nullptr, nullptr, &dialog.style);
    }
    KCharStyleDialog dialog(this, styles);
    dialog.setStyle(CharStyle(-1), false, false);
    if (dialog.execute() == 0) return false;
    return setFormat(id, nullptr, &dialog.style, nullptr);
}

bool KWorksheetWindow::setFormat(int id, const char* text, const CharStyle* charStyle, const ParaStyle* paraStyle) {
    FormatCommand format;
    format.id = id;
    format.text = text;
    format.size = id == FormatCommand::SIZE && text ? std::atoi(text) : 0;
    format.charStyle = charStyle;
    format.paraStyle = paraStyle;
    // The elements take the command record from the action's argument.
    return executeAction(kSetFormat, text, reinterpret_cast<std::intptr_t>(&format));
}

// ---- bookmarks --------------------------------------------------------------------------------------

bool KWorksheetWindow::editBookmark() {
    ViewCaret* c = caret();
    Element* e = c ? c->element() : nullptr;
    while (e && e->elementKind() != KIND_PARAGRAPH) e = e->parent();
    auto* paragraph = dynamic_cast<ParagraphElement*>(e);
    if (!paragraph) {
        showMessage("Bookmarks can only be set on a paragraph.");
        return false;
    }
    KBookmarkDialog dialog(this);
    dialog.setName(paragraph->bookmark);
    if (dialog.execute() == 0) return false;
    // Taken as typed: an empty name removes the bookmark.
    paragraph->bookmark.assign(dialog.name().text());
    paragraph->clearBookmarkIndex();
    document_->modified = true;
    return true;
}

// ---- find --------------------------------------------------------------------------------------------

bool KWorksheetWindow::showFindDialog() {
    KWorksheetApp* app = worksheetApp();
    if (!app) return false;
    if (!app->findDialog) app->findDialog = new KFindDialog(app->frame);
    auto* dialog = dynamic_cast<KFindDialog*>(app->findDialog);
    if (!dialog) return false;
    dialog->prepare();
    dialog->show(true);
    return true;
}

bool KWorksheetWindow::search(int id, const char* text) {
    Element* root = document_ ? document_->root() : nullptr;
    ViewCaret* c = caret();
    if (!text || !*text || !root || !c) return true;
    guardedHandler("search command", [&] {
        TextSearch search;
        search.pattern = text;
        search.backward = id == KFindDialog::kFindPreviousCommand;
        search.startOffset = c->offset();
        WalkControl control;
        control.flags = WALK_BEFORE;
        control.search = &search;
        control.searchStart = c->element();
        root->walkMethod(&Element::findText, control);
        if (!(search.flags & TextSearch::FOUND) || !search.foundElement) {
            Sound::beep();
            return;
        }
        clearMarks();
        // The match is marked from its first character for the text's length; the caret stands
        // at its start, so that the next search in either direction moves on from it.
        const int length = static_cast<int>(std::strlen(text));
        c->setPosition(search.foundElement, search.foundOffset);
        Selection* s = selection();
        s->setAnchor(*c);
        c->setPosition(search.foundElement, search.foundOffset + length);
        s->extendTo(*c);
        c->setPosition(search.foundElement, search.foundOffset);
        updateCaretState(false);
        invalidate();
    });
    return true;
}

// ---- fit window -----------------------------------------------------------------------------------

bool KWorksheetWindow::fitWindow() {
    KWorksheetApp* app = worksheetApp();
    KMainFrame* frame = app ? app->frame : nullptr;
    if (!frame || !adaptor) return false;
    // The client area lies under the menu bar; the tool box, context bar and status bar take
    // their heights from it.
    const Size out = frame->getOutputSizePixel();
    const long height = out.height - frame->getMenuBarHeight() - frame->barHeights(7);
    adaptor->setPos(0, 0);
    adaptor->setSize(static_cast<int32_t>(out.width), static_cast<int32_t>(std::max(0L, height)));
    return true;
}

// ---- the math editor's action ---------------------------------------------------------------------

bool KWorksheetWindow::mathEditorOperation(int id, const char* text) {
    ViewCaret* c = caret();
    if (!c) return false;
    constexpr int kInsertTemplate = 4014;
    if (id == kInsertTemplate) {
        Element* e = c->element();
        const bool ready = e && (e->isMath() || e->elementKind() == KIND_INPUT_TEXT);
        if (!ready && !insertInput(true)) return false;
    }
    return c->dispatchCommand(48, text, id);
}

// ---- the shown document ---------------------------------------------------------------------------

bool KWorksheetWindow::replaceDocument(std::unique_ptr<WorksheetDocument> document,
                                       std::unique_ptr<ElementPosition> position, const KViewOptions* options) {
    if (!document) {
        showMessage("Unable to locate document");
        return false;
    }
    if (!askToSave()) return false;
    if (document_) document_->notifyClosing();
    if (registry_) registry_->remove(this);
    // The position names an element of the new document; it must not outlive the check below.
    Element* target = position ? position->element() : nullptr;
    const int offset = position ? position->offset() : 0;
    position.reset();
    swapDocument(std::move(document));
    if (document_->documentKind() == 1) view()->setTitle(document_->title());
    if (registry_) {
        const std::string path = document_->filePath();
        if (document_->documentKind() == 1 && !path.empty()) registry_->add(this, path, KWindowRegistry::kModeFile);
        else registry_->add(this, document_->title(), 0);
    }
    document_->notifyShown();
    setViewOptions(options);
    scrollTo(ElementPoint{0, 0}, false);
    afterScroll();
    relayoutAll();
    ViewCaret* c = caret();
    Element* root = document_->root();
    Element* stop = target ? target : (root ? root->firstCaretStop() : nullptr);
    if (!stop && root) stop = root->lastChild() ? root->lastChild() : root;
    if (c && stop) {
        c->setPosition(stop, target ? offset : 0);
        c->scrollIntoView(false);
        c->notifyElement();
        c->show();
    }
    refreshCommands();
    invalidate();
    if (adaptor) adaptor->toTop();
    activate();
    return true;
}

bool KWorksheetWindow::openInWindow(const char* path) {
    if (!path) return false;
    std::unique_ptr<WorksheetDocument> document;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> options;
    loadWorksheet(path, document, mark, options, false);
    // What the replacement does not take (a refusal, a cancelled save question) is freed here.
    return replaceDocument(std::move(document), std::move(mark), options.get());
}
