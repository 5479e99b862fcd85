// The worksheet window's command dispatcher (window_command) and the smaller window commands:
// view options and zoom, the command states, undo, redo, execute, bookmarks and the queries the
// menu rules ask.
//
// window_command maps a command id to an editing action (executeAction), to one of the window's
// own operations or to a display setting.  Around every command but Close and the plot
// commands the caret is hidden and its rectangle made stale, and afterwards it is scrolled into
// view and shown again.  An id the table does not list does nothing and answers false.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/KMainFrame.h"
#include "app/KMainFrameInterface.h"
#include "app/KFrameAdaptor.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "document/edit/BookmarkIndex.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/SectionElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/Selection.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "options/KOptions.h"
#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/ToolBox.h"
#include "tovu/ifvars.h"
#include "util/KString.h"
#include "util/messages.h"

namespace {

// Commands that run one editing action.  `data`: 0 none, 1 the flag byte 1, 2 the flag byte 0,
// 3 the command's text; `withId`: the id goes along as the action's argument.
struct ActionRow {
    int first, last;
    int action;
    int data;
    bool withId;
};

constexpr int kEditMenu = 1150;
constexpr int kOptionsMenu = 1300;

constexpr char kFlagOne[] = {1, 0};
constexpr char kFlagZero[] = {0, 0};

constexpr ActionRow kActionRows[] = {
    {1151, 1151, 32, 0, false}, {1152, 1152, 33, 0, false}, {1153, 1153, 19, 0, false},
    {1154, 1154, 20, 0, false}, {1155, 1155, 8, 0, false},  {1157, 1157, 5, 0, false},
    {1160, 1160, 17, 0, false}, {1161, 1161, 45, 0, false}, {1162, 1162, 29, 0, false},
    {1163, 1163, 24, 0, false}, {1166, 1166, 43, 0, false}, {1168, 1168, 44, 0, false},
    {1204, 1204, 21, 0, false}, {1205, 1205, 22, 0, false}, {1251, 1253, 3, 0, true},
    {1258, 1261, 3, 0, true},   {1262, 1262, 41, 0, false}, {1263, 1263, 42, 0, false},
    {1551, 1553, 16, 0, true},  {1554, 1554, 0, 0, false},  {1601, 1601, 2, 0, false},
    {1602, 1602, 1, 0, false},  {1604, 1604, 6, 0, false},  {1605, 1605, 7, 0, false},
    {1606, 1606, 28, 2, false}, {1607, 1607, 68, 0, false}, {1609, 1609, 46, 0, false},
    {2502, 2503, 3, 3, true},   {2505, 2505, 26, 0, false}, {2506, 2506, 27, 0, false},
    {2510, 2510, 4, 3, false},  {2511, 2511, 40, 3, false}, {2551, 2553, 31, 0, true},
    {2601, 2601, 35, 0, false}, {2602, 2602, 34, 0, false}, {2603, 2603, 37, 0, false},
    {2604, 2604, 36, 0, false}, {2651, 2651, 38, 1, false}, {2652, 2652, 38, 2, false},
    {2701, 2701, 39, 1, false}, {2702, 2702, 39, 2, false}, {2801, 2801, 18, 1, false},
    {2802, 2802, 18, 2, false}, {2811, 2811, 69, 0, false}, {2812, 2812, 70, 0, false},
    {2851, 2851, 28, 1, false}, {2852, 2852, 28, 2, false}, {3051, 3051, 20, 0, false},
    {3102, 3102, 56, 0, false}, {3105, 3105, 50, 0, false}, {3107, 3107, 51, 0, false},
    {3108, 3108, 55, 0, false}, {3151, 3151, 0, 0, false},  {3152, 3152, 53, 0, false},
    {3153, 3153, 54, 0, false}, {3251, 3251, 57, 0, false}, {3252, 3253, 58, 0, false},
    {3301, 3301, 60, 0, false}, {3302, 3303, 61, 0, false}, {3351, 3355, 63, 0, false},
    {4004, 4007, 48, 3, true},  {4011, 4011, 48, 3, true},  {4013, 4014, 48, 3, true},
    {4008, 4008, 0, 0, false},
};

// Ranges whose action counts up with the id (rows, columns, fill).
bool actionCountsUp(int first) { return first == 3252 || first == 3302 || first == 3351; }

const ActionRow* actionRowOf(int id) {
    for (const ActionRow& row : kActionRows)
        if (id >= row.first && id <= row.last) return &row;
    return nullptr;
}

struct ZoomRow {
    int command, numerator, denominator;
};
constexpr ZoomRow kZoomRows[] = {{1801, 1, 2}, {1802, 3, 4}, {1803, 1, 1}, {1804, 3, 2},
                                 {1805, 2, 1}, {1806, 3, 1}, {1807, 4, 1}};

InterfaceSettings* settingsOf(WorksheetDocument* document) {
    KInterfaceVars* vars = document ? document->interfaceVars() : nullptr;
    return vars ? vars->settings() : nullptr;
}

void checkItem(int menuId, int itemId, bool on) {
    if (KMainFrameInterface* frame = KMainFrameInterface::current())
        if (Menu* menu = frame->frameMenu(menuId)) {
            if (menu->getItemPos(static_cast<uint16_t>(itemId)) != ITEM_NOTFOUND)
                menu->checkItem(static_cast<uint16_t>(itemId), on);
        }
}

}  // namespace

// ---- view options ---------------------------------------------------------------------------

void KWorksheetWindow::setViewOptions(const KViewOptions* options) {
    KViewOptions values;
    values.showSectionRanges = values.showGroupRanges = values.showInvisibles = 0;
    if (options) values = *options;
    int numerator = 1, denominator = 1;
    zoomCommand_ = zoomOfCommand(values.zoomCommand, numerator, denominator) ? values.zoomCommand : kDefaultZoomCommand;
    viewOptions_ = values;
    if (!view()) return;
    view()->showSectionRanges = values.showSectionRanges != 0;
    view()->showGroupRanges = values.showGroupRanges != 0;
    view()->showInvisible = values.showInvisibles != 0;
    view()->setZoom(numerator, denominator);
}

void KWorksheetWindow::getViewOptions(KViewOptions& out) const {
    out.showSectionRanges = view() && view()->showSectionRanges ? 1 : 0;
    out.showGroupRanges = view() && view()->showGroupRanges ? 1 : 0;
    out.showInvisibles = view() && view()->showInvisible ? 1 : 0;
    out.zoomNumerator = view() ? view()->zoomNumerator() : 1;
    out.zoomDenominator = view() ? view()->zoomDenominator() : 1;
    out.zoomCommand = zoomCommand_;
}

bool KWorksheetWindow::zoomOfCommand(int command, int& numerator, int& denominator) {
    for (const ZoomRow& row : kZoomRows)
        if (row.command == command) {
            numerator = row.numerator;
            denominator = row.denominator;
            return true;
        }
    numerator = denominator = 1;
    return false;
}

bool KWorksheetWindow::zoom(int command) {
    int numerator = 1, denominator = 1;
    zoomOfCommand(command, numerator, denominator);
    clearMarks();
    const int oldNumerator = view()->zoomNumerator(), oldDenominator = view()->zoomDenominator();
    if (!view()->setZoom(numerator, denominator) && (oldNumerator != numerator || oldDenominator != denominator))
        return false;
    // The view's fonts were realised at the old zoom: they go, and the layout takes new ones.
    view()->dropStyles(-1);
    relayoutAll();
    invalidate();
    zoomCommand_ = zoomOfCommand(command, numerator, denominator) ? command : kDefaultZoomCommand;
    getViewOptions(viewOptions_);
    refreshCommands();
    return true;
}

void KWorksheetWindow::refreshCommands() {
    if (!document_) return;
    if (KWorksheetApp* app = worksheetApp(); app && app->frame)
        if (ToolBox* box = app->frame->toolBox(KMainFrame::kWorksheetToolBox)) {
            box->enableItem(kInterruptButton, document_->evaluator() && !document_->hasIdleSession());
            box->checkItem(1209, view()->showInvisible);
            for (int id = 1803; id <= 1805; ++id) box->checkItem(static_cast<uint16_t>(id), zoomCommand_ == id);
        }
    checkItem(KDocWindow::kViewMenu, 1209, view()->showInvisible);
    checkItem(KDocWindow::kViewMenu, 1210, view()->showSectionRanges);
    checkItem(KDocWindow::kViewMenu, 1211, view()->showGroupRanges);
    for (const ZoomRow& row : kZoomRows) checkItem(KDocWindow::kViewMenu, row.command, zoomCommand_ == row.command);
    ViewCaret* c = caret();
    Element* e = c ? c->elementIfResolved() : nullptr;
    checkItem(kEditMenu, 1161, e && e->isMath());
    const bool worksheet = document_->documentKind() == 1;
    checkItem(kOptionsMenu, 1301, worksheet && document_->replaceOutput);
    checkItem(kOptionsMenu, 1302, worksheet && document_->insertMode);
}

// ---- undo, redo, execute -------------------------------------------------------------------------

bool KWorksheetWindow::undo() {
    UndoHistory* history = document_ ? document_->undoHistory() : nullptr;
    if (!history) return false;
    document_->holdLayout(false);
    history->undo(caret());
    document_->holdLayout(true);
    return true;
}

bool KWorksheetWindow::redo() {
    UndoHistory* history = document_ ? document_->undoHistory() : nullptr;
    if (!history) return false;
    document_->holdLayout(false);
    history->redo(caret());
    document_->holdLayout(true);
    return true;
}

bool KWorksheetWindow::execute(bool selectionOnly) {
    if (!document_ || !document_->evaluator() || !document_->hasIdleSession() || !document_->root()) return false;
    WalkControl control;
    control.flags = WALK_BEFORE;
    control.code = selectionOnly ? 129 : 1;
    document_->root()->walkMethod(&Element::executeGroup, control);
    clearMarks();
    return true;
}

// ---- bookmarks ---------------------------------------------------------------------------------

bool KWorksheetWindow::gotoBookmark(const char* name) {
    BookmarkIndex* index = document_ ? document_->bookmarks() : nullptr;
    if (!index || !caret() || !name) return false;
    return gotoBookmarkElement(index->find(name));
}

bool KWorksheetWindow::gotoBookmarkNumber(int number) {
    BookmarkIndex* index = document_ ? document_->bookmarks() : nullptr;
    if (!index || !caret()) return false;
    return gotoBookmarkElement(number >= 0 && number < index->count() ? index->element(number) : nullptr);
}

bool KWorksheetWindow::gotoBookmarkElement(Element* element) {
    if (!element) {
        showMessage("Unable to locate bookmark");
        return false;
    }
    Element* target = element->firstChild() ? element->firstChild() : element;
    ViewCaret* c = caret();
    // A bookmark inside collapsed sections opens them, so that the caret can stand there.
    Element* section = nullptr;
    while (target->enclosingCollapsedSection(&section) && section) {
        auto* collapsed = dynamic_cast<SectionElement*>(section);
        if (!collapsed || !collapsed->isCollapsed()) break;
        collapsed->expand(false);
        section = nullptr;
    }
    c->setPosition(target, 0);
    document_->holdLayout(false);
    relayoutAll();
    const ElementRect r = c->rectangle();
    scrollTo(ElementPoint{0, std::max(0, r.y - 4)}, false);
    afterScroll();
    c->scrollIntoView(false);
    document_->holdLayout(true);
    invalidate();
    return true;
}

// ---- queries -------------------------------------------------------------------------------------

int KWorksheetWindow::query(int id, KString* word) {
    InterfaceSettings* s = settingsOf(document_);
    switch (id) {
    case 2512: {
        if (!word) return 0;
        KString found;
        ViewCaret* c = caret();
        Element* e = c ? c->elementIfResolved() : nullptr;
        if (e) e->helpWordAt(found, c->offset());
        std::string plain(found.text() ? found.text() : "");
        for (char& ch : plain)
            if (static_cast<unsigned char>(ch) < 32) ch = ' ';
        word->assign(plain.c_str());
        return plain.empty() ? 0 : 1;
    }
    case 2513: {
        ViewCaret* c = caret();
        Element* e = c ? c->elementIfResolved() : nullptr;
        if (!e) return 0;
        return e->isActiveInput() ? 1 : 2;
    }
    case 2514: return s && s->prettyprint >= 0 && s->prettyprint <= 3 ? 2951 + static_cast<int>(s->prettyprint) : 0;
    case 2515: return s && s->showassumed >= 0 && s->showassumed <= 2 ? 3001 + static_cast<int>(s->showassumed) : 0;
    case 2516:
        if (!s) return 0;
        if (std::strcmp(s->plotdevice, "inline") == 0) return 2901;
        return std::strncmp(s->plotdevice, "win", 3) == 0 ? 2902 : 0;
    default: return 0;
    }
}

// ---- the dispatcher --------------------------------------------------------------------------------

bool KWorksheetWindow::window_command(int commandWord, const char* text, std::intptr_t argument) {
    const int id = commandWord & 0xffff;
    if (id == kCloseCommand) {
        if (adaptor) adaptor->closeFrame();
        return true;
    }
    if (theOptions && theOptions->balloonHelp) Window::update();
    ViewCaret* c = caret();
    if (c) {
        c->hideShow(1);
        c->invalidate();
    }
    bool result = false;
    guardedHandler("command", [&] { result = runCommand(id, text, argument); });
    if ((c = caret()) != nullptr) {
        c->scrollIntoView(false);
        c->hideShow(4);
    }
    return result;
}

bool KWorksheetWindow::runCommand(int id, const char* text, std::intptr_t argument) {
    if (const ActionRow* row = actionRowOf(id)) {
        const char* data = row->data == 1 ? kFlagOne : row->data == 2 ? kFlagZero : row->data == 3 ? (text ? text : reinterpret_cast<const char*>(argument)) : nullptr;
        const int action = actionCountsUp(row->first) ? row->action + (id - row->first) : row->action;
        const bool busy = id == 1153 || id == 1154 || id == 1162 || id == 1168 || id == 3051;
        const Pointer old = getPointer();
        if (busy) Window::setPointer(Pointer(POINTER_WAIT));
        const bool done = executeAction(action, data, row->withId ? id : argument);
        if (busy) Window::setPointer(old);
        return done;
    }
    if (id >= 1801 && id <= 1807) return zoom(id);
    if (id >= kFirstBookmarkCommand && id <= kLastBookmarkCommand) return gotoBookmarkNumber(id - kFirstBookmarkCommand);
    InterfaceSettings* s = settingsOf(document_);
    switch (id) {
    case 1901: return editBookmark();
    case 1103: return save();
    case 1104: return saveAs(kSaveWorksheet);
    case 1106: return print(argument ? *reinterpret_cast<const std::uint16_t*>(argument) : 0, this);
    case 1107: return printPreview();
    case 1108: return printerSetup();
    case 2751: return saveAs(kSaveText);
    case 2752: return saveAs(kSaveLatex);
    case 2753: return saveAs(kSaveKelvoText);
    case 2754: return saveAs(kSaveHtml);
    case 1209:
    case 1210:
    case 1211: {
        bool& flag = id == 1209 ? view()->showInvisible : id == 1210 ? view()->showSectionRanges : view()->showGroupRanges;
        flag = !flag;
        getViewOptions(viewOptions_);
        refreshCommands();
        relayoutAll();
        invalidate();
        return true;
    }
    case 1301:
    case 1302:
        if (document_->documentKind() != 1) return false;
        if (id == 1301) document_->replaceOutput = !document_->replaceOutput;
        else document_->insertMode = !document_->insertMode;
        refreshCommands();
        return true;
    case kInterruptButton:
        if (document_->evaluator()) document_->interrupt();
        return true;
    case 2507: {
        Element* root = document_->root();
        if (root && root->mark != 0) return false;
        return executeAction(kDeleteParagraph, nullptr, 0);
    }
    case 2512: return query(id, reinterpret_cast<KString*>(argument)) != 0;
    case 2513:
    case 2514:
    case 2515:
    case 2516: {
        const int answer = query(id, nullptr);
        if (argument != 0 && (id != 2513 || answer != 0)) *reinterpret_cast<int*>(argument) = answer;
        return true;
    }
    case 2901:
    case 2902:
        if (!s) return false;
        std::snprintf(s->plotdevice, sizeof s->plotdevice, "%s", id == 2901 ? "inline" : "window");
        return true;
    case 2951: case 2952: case 2953: case 2954:
        if (!s) return false;
        s->prettyprint = id - 2951;
        return true;
    case 3001: case 3002: case 3003:
        if (!s) return false;
        s->showassumed = id - 3001;
        return true;
    case 4801:
    case 4802:
        if (theOptions) theOptions->typesetInput = id == 4802;
        return true;
    case 4851: case 4852: case 4853:
        if (theOptions) theOptions->plotPrinterDpi = id == 4851 ? 300 : id == 4852 ? 200 : 100;
        return true;
    default: return false;
    }
}
