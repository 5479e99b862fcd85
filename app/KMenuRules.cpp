// The menu and command-state rules of the main frame (interfaces in KMenuRules.h).
//
// updateMenu's table, by the id of the popup's first item ("active": a worksheet window exists):
//
// | first item        | popup          | rule                                                    |
// |-------------------|----------------|---------------------------------------------------------|
// | 1101              | File           | 1103 1104 1107 1108 2750 enabled when active            |
// | 1151              | Edit           | updateEditMenu                                          |
// | 1201              | View           | 1204 1205 1209 1210 1211 1800 1900 enabled when active  |
// | 1241              | Palettes       | 1241 1242 1243 checked while the palette is visible     |
// | 1410              | Help           | 1408's text from the context topic; 1406 1407 active    |
// | 1901              | Bookmarks      | one item per bookmark, ids 1902, 1903, ...              |
// | 2506, 1607        | Insert         | 1601 1602 1604 1605 2800 2850 without a selection       |
// | 2603              | Split or Join  | 2601 2603 without a selection                           |
// | 2651              | Execute        | 2651 with a selection                                   |
// | 2701              | Remove Output  | 2701 with a selection                                   |
// | 2901, 2951, 3001  | display popups | all enabled unless the choice is -1; the choice checked |
// | 4851              | print resolution | all enabled; the window's choice checked              |
// | 4801              | input display  | 4801, 4802 enabled; checked from "Typeset Input"        |
// | 1251, 1255, 1258  | Format         | updateFormatMenu                                        |
// | 3152              | spreadsheet    | updateSpreadsheetMenu                                   |
// | 3352              | fill           | each item enabled when the spreadsheet can fill that way |
//
// The Insert, Split or Join, Execute and Remove Output items act on the window's document:
// without a window none of them can act, so they are disabled then.
#include "app/KMenuRules.h"

#include <initializer_list>
#include <new>

#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "options/KOptions.h"
#include "platform/gui/Menu.h"
#include "platform/gui/ToolBox.h"
#include "util/errjump.h"
#include "util/mem.h"
#include "util/messages.h"

KMenuSpreadsheet::~KMenuSpreadsheet() = default;
KMenuWindow::~KMenuWindow() = default;
KMenuTextBar::~KMenuTextBar() = default;
KMenuFrame::~KMenuFrame() = default;

namespace {

// Element kinds the rules look at beyond Element.h's named ones.
constexpr int kKindSpreadsheet = 18;

// Popups of the menu bar that the command states also set.
constexpr int kEditPopup = 1150;
constexpr int kFormatPopup = 1250;
// The menu-bar item of the spreadsheet menu.
constexpr int kSpreadsheetMenuItem = 3100;
// The first bookmark item; the Bookmarks popup's own first item stays.
constexpr int kFirstBookmarkItem = 1902;
// Command ids whose state updateCommandState(0) brings up to date, in this order.
constexpr int kCommandStateIds[] = {1151, 1152, 1153, 1154, 1155, 1262, 1263};

void enable(Menu* popup, std::initializer_list<int> ids, bool on) {
    for (int id : ids) popup->enableItem(static_cast<uint16_t>(id), on);
}

int kindOf(const Element* e) { return e ? e->elementKind() : 0; }

// The paragraph style of a paragraph, or of the paragraph an inline element sits in, or null.
const ParaStyle* paraStyleOf(Element* e) {
    if (e && e->elementKind() != KIND_PARAGRAPH && e->isInline()) e = e->parent();
    if (!e || e->elementKind() != KIND_PARAGRAPH) return nullptr;
    auto* paragraph = dynamic_cast<ParagraphElement*>(e);
    return paragraph ? paragraph->paraStyle() : nullptr;
}

// The character style of a text or math element, or null for other elements.  A text run
// without a style of its own (-1) and a math element show in their paragraph's character
// style.
const CharStyle* charStyleOf(Element* e, StyleSet* styles) {
    const int kind = kindOf(e);
    if (kind != KIND_TEXT && kind != KIND_MATH && kind != KIND_EXPRESSION_EDIT) return nullptr;
    auto* text = kind == KIND_TEXT ? dynamic_cast<TextElement*>(e) : nullptr;
    const int index = text ? text->styleIndex() : -1;
    if (index >= 0) return styles ? styles->charStyle(index) : nullptr;
    const ParaStyle* paragraph = paraStyleOf(e);
    return paragraph ? &paragraph->charPart : nullptr;
}

// Clears the busy flag that the pass set, whichever way the pass ends.
class CaretBusyScope {
public:
    explicit CaretBusyScope(ViewCaret* caret) : caret_(caret && !caret->busy ? caret : nullptr) {
        if (caret_) caret_->busy = true;
    }
    ~CaretBusyScope() {
        if (caret_) caret_->refreshWindow();
    }
    CaretBusyScope(const CaretBusyScope&) = delete;
    CaretBusyScope& operator=(const CaretBusyScope&) = delete;

private:
    ViewCaret* caret_;
};

}  // namespace

// ---- tests ------------------------------------------------------------------------------------

bool KMenuRules::canUndo() {
    KMenuWindow* w = frame_.activeWindow();
    return w && w->canUndo();
}

bool KMenuRules::canRedo() {
    KMenuWindow* w = frame_.activeWindow();
    return w && w->canRedo();
}

bool KMenuRules::canDeleteParagraph() {
    KMenuWindow* w = frame_.activeWindow();
    return w && w->canDeleteParagraph();
}

bool KMenuRules::canCutCopy(bool asText, bool cut) {
    if (!asText && frame_.contextBarFieldHasFocus()) return true;
    KMenuWindow* w = frame_.activeWindow();
    return w && w->canCutCopy(asText, cut);
}

bool KMenuRules::canPaste(bool asText) {
    if (frame_.contextBarFieldHasFocus()) return !asText && frame_.clipboardHasText();
    KMenuWindow* w = frame_.activeWindow();
    return w && w->canPaste(asText);
}

// ---- command states ---------------------------------------------------------------------------

bool KMenuRules::commandState(int id, bool old) {
    switch (id) {
    case 1151: return canUndo();
    case 1152: return canRedo();
    case 1153:
    case 1154: return canCutCopy(false, id == 1153);
    case 1155: return canPaste(false);
    case 1262:
    case 1263: {
        KMenuWindow* w = frame_.activeWindow();
        Element* e = w ? w->currentParagraphElement() : nullptr;
        return e && e->elementKind() != KIND_PLACEHOLDER;
    }
    default: return old;
    }
}

bool KMenuRules::updateCommandState(int id) {
    if (id == 0) {
        bool any = false;
        for (int each : kCommandStateIds) any = updateCommandState(each) || any;
        return any;
    }
    ToolBox* box = frame_.toolBox();
    if (!box) return false;
    Menu* bar = frame_.menuBar();
    Menu* popup = bar ? bar->getPopupMenu(id == 1262 || id == 1263 ? kFormatPopup : kEditPopup) : nullptr;
    const uint16_t item = static_cast<uint16_t>(id);
    const bool old = box->isItemEnabled(item);
    const bool now = commandState(id, old);
    if (popup) {
        popup->enableItem(item, now);
        if (id == 1153 || id == 1154) popup->enableItem(1168, canCutCopy(true, false));
        if (id == 1155) popup->enableItem(1163, canPaste(true));
    }
    if (now != old) box->enableItem(item, now);
    return true;
}

void KMenuRules::refreshContextBarState() {
    KMenuWindow* w = frame_.activeWindow();
    frame_.enableContextBar(w && !w->isHelpWindow() && !w->isReadOnly());
}

long KMenuRules::barHeights(int flags) {
    long sum = 0;
    for (int bar : {KMenuFrame::kToolBoxBar, KMenuFrame::kContextBar, KMenuFrame::kStatusBar})
        if (flags & bar) sum += frame_.visibleBarHeight(bar);
    return sum;
}

// ---- menus ------------------------------------------------------------------------------------

void KMenuRules::update_undo_menu(Menu* editMenu) {
    if (!editMenu) return;
    KMenuWindow* w = frame_.activeWindow();
    UndoHistory* history = w && w->document() ? w->document()->undoHistory() : nullptr;
    KString text;
    std::string undo = "~Undo";
    if (history && canUndo() && history->undoMenuText(text)) undo += std::string(" ") + text.text();
    std::string redo = "~Redo";
    if (history && canRedo() && history->redoMenuText(text)) redo += std::string(" ") + text.text();
    editMenu->setItemText(1151, String(undo.c_str()));
    editMenu->setItemText(1152, String(redo.c_str()));
}

void KMenuRules::updateEditMenu(Menu* popup, KMenuWindow* w) {
    const bool active = w != nullptr;
    const int barId = frame_.menuBarId();
    if (barId == 1021 || barId == 1024) popup->checkItem(1159, theOptions && theOptions->showObjects);
    popup->enableItem(1155, active && canPaste(false));
    popup->enableItem(1153, active && canCutCopy(false, true));
    popup->enableItem(1168, active && canCutCopy(true, false));
    popup->enableItem(1151, active && canUndo());
    popup->enableItem(1152, active && canRedo());
    popup->enableItem(1163, active && canPaste(true));
    popup->enableItem(2507, active && canDeleteParagraph());
    popup->enableItem(1154, canCutCopy(false, false));
    enable(popup, {1157, 1159, 1166, 1167, 2600, 2650, 2700}, active);
    const int mode = active ? w->inputMode() : 0;
    popup->enableItem(1161, active && mode != 0);
    popup->checkItem(1161, mode == 1);
    update_undo_menu(popup);
}

void KMenuRules::updateFormatMenu(Menu* popup, KMenuWindow* w) {
    const bool active = w != nullptr;
    Element* e = active ? w->currentElement() : nullptr;
    Document* document = active ? w->document() : nullptr;
    const CharStyle* cs = charStyleOf(e, document ? document->styleSet() : nullptr);
    const ParaStyle* ps = paraStyleOf(e);
    const bool selection = active && w->hasSelection();
    enable(popup, {1251, 1252, 1253, 1257}, cs || selection);
    popup->enableItem(1256, ps || selection);
    enable(popup, {1258, 1259, 1260}, active && (ps || selection));
    enable(popup, {1262, 1263}, active && e && e->elementKind() != KIND_PLACEHOLDER);
    popup->enableItem(2550, kindOf(e) != KIND_INPUT_TEXT && selection);
    popup->checkItem(1252, cs && cs->bold == 1);
    popup->checkItem(1251, cs && cs->italic == 1);
    popup->checkItem(1253, cs && cs->underline == 1);
    popup->checkItem(1258, ps && ps->justification == 1);
    popup->checkItem(1259, ps && ps->justification == 2);
    popup->checkItem(1260, ps && ps->justification == 3);
}

void KMenuRules::updateSpreadsheetMenu(Menu* popup, KMenuWindow* w) {
    Element* e = w ? w->currentElement() : nullptr;
    KMenuSpreadsheet* sheet = kindOf(e) == kKindSpreadsheet ? w->spreadsheet() : nullptr;
    const bool isSheet = sheet != nullptr;
    enable(popup, {3102, 3103, 3104, 3105, 3106, 3107, 3152, 3153}, isSheet);
    if (Menu* bar = frame_.menuBar()) bar->enableItem(kSpreadsheetMenuItem, isSheet);
    frame_.setPalettesSpreadsheetMode(isSheet);
    if (!sheet) return;
    if (!sheet->hasBlockValue()) popup->enableItem(3106, false);
    popup->checkItem(3102, sheet->showsBorder());
}

void KMenuRules::updateBookmarks(Menu* popup, KMenuWindow* w) {
    while (popup->getItemCount() > 1) popup->removeItem(1);
    Document* document = w ? w->document() : nullptr;
    BookmarkIndex* index = document ? document->bookmarks() : nullptr;
    const int count = index ? index->count() : 0;
    if (count <= 0) return;
    popup->insertSeparator();
    for (int i = 0; i < count; ++i) {
        const KString* name = index->name(i);
        popup->insertItem(static_cast<uint16_t>(kFirstBookmarkItem + i), String(name ? name->text() : ""));
    }
}

void KMenuRules::updateMenu(Menu* popup) {
    if (!popup || popup->getItemCount() == 0) return;
    KMenuWindow* w = frame_.activeWindow();
    const bool active = w != nullptr;
    const int first = popup->getItemId(0);
    switch (first) {
    case 1101:
        enable(popup, {1103, 1104, 1107, 1108, 2750}, active);
        break;
    case 1151:
        updateEditMenu(popup, w);
        break;
    case 1201:
        enable(popup, {1204, 1205, 1209, 1210, 1211, 1800, 1900}, active);
        break;
    case 1241:
        for (int i = 0; i < 3; ++i) popup->checkItem(static_cast<uint16_t>(1241 + i), frame_.isPaletteVisible(i));
        break;
    case 1410: {
        const std::string topic = active ? w->contextTopic() : std::string();
        if (!topic.empty()) {
            popup->setItemText(1408, String(("H~elp on \"" + topic + "\"").c_str()));
            popup->setHelpText(1408, String("Retrieve help for the context-dependent topic"));
        } else {
            popup->setItemText(1408, String("H~elp on Context"));
            popup->setHelpText(1408, String("Context help"));
        }
        popup->enableItem(1408, !topic.empty());
        enable(popup, {1406, 1407}, active);
        break;
    }
    case 1901:
        updateBookmarks(popup, w);
        break;
    case 2506:
    case 1607:
        enable(popup, {1601, 1602, 1604, 1605, 2800, 2850}, active && !w->hasSelection());
        break;
    case 2603:
        enable(popup, {2601, 2603}, active && !w->hasSelection());
        break;
    case 2651:
    case 2701:
        popup->enableItem(static_cast<uint16_t>(first), active && w->hasSelection());
        break;
    case 2901:
    case 2951:
    case 3001:
    case 4851: {
        const int choice = active ? w->displayChoice(first) : -1;
        for (uint16_t pos = 0; pos < popup->getItemCount(); ++pos) {
            const uint16_t id = popup->getItemId(pos);
            if (id == 0) continue;
            popup->enableItem(id, first == 4851 || choice != -1);
            popup->checkItem(id, id == choice);
        }
        break;
    }
    case 4801: {
        const bool typeset = theOptions && theOptions->typesetInput;
        enable(popup, {4801, 4802}, true);
        popup->checkItem(4801, !typeset);
        popup->checkItem(4802, typeset);
        break;
    }
    case 1251:
    case 1255:
    case 1258:
        updateFormatMenu(popup, w);
        break;
    case 3152:
        updateSpreadsheetMenu(popup, w);
        break;
    case 3352: {
        Element* e = active ? w->currentElement() : nullptr;
        KMenuSpreadsheet* sheet = kindOf(e) == kKindSpreadsheet ? w->spreadsheet() : nullptr;
        for (uint16_t pos = 0; pos < popup->getItemCount(); ++pos)
            if (const uint16_t id = popup->getItemId(pos)) popup->enableItem(id, sheet && sheet->canFill(id));
        break;
    }
    default:
        break;
    }
}

void KMenuRules::updateTextBar(StyleSet* styleSet, const ParaStyle* ps, const CharStyle* cs) {
    struct Check {
        int id;
        bool on;
    };
    const Check checks[] = {
        {1252, cs && cs->bold == 1},           {1251, cs && cs->italic == 1},
        {1253, cs && cs->underline == 1},      {1258, ps && ps->justification == 1},
        {1260, ps && ps->justification == 3}, {1259, ps && ps->justification == 2},
    };
    KMenuTextBar* bar = frame_.textBar();
    if (bar) {
        for (const Check& c : checks) bar->checkButton(c.id, c.on);
        bar->checkButton(1261, ps && ps->listKind == 2);
    }
    if (Menu* menuBar = frame_.menuBar())
        if (Menu* format = menuBar->getPopupMenu(kFormatPopup)) {
            for (const Check& c : checks) format->checkItem(static_cast<uint16_t>(c.id), c.on);
            format->checkItem(1254, cs && cs->spareAttribute == 1);
        }
    if (!bar) return;
    if (cs && cs->fontName && bar->fontName() != *cs->fontName) bar->setFontName(*cs->fontName);
    if (cs) {
        const std::string size = std::to_string(cs->size);
        if (bar->fontSizeText() != size) bar->setFontSizeText(size);
    }
    bar->updateStyleBox(styleSet, ps, cs);
}

// ---- the refresh pass -------------------------------------------------------------------------

void KMenuRules::refreshPass() {
    updateCommandState(0);
    refreshContextBarState();
    Menu* bar = frame_.menuBar();
    if (!bar) return;
    for (uint16_t pos = 0; pos < bar->getItemCount(); ++pos)
        if (const uint16_t id = bar->getItemId(pos)) updateMenu(bar->getPopupMenu(id));
}

void KMenuRules::refreshMenus() {
    KMenuWindow* w = frame_.activeWindow();
    CaretBusyScope busy(w ? w->caret() : nullptr);
    // A window query may raise (out of memory): the pass ends, the error is reported, and the
    // caret's flag is released by the scope above all the same.
    try {
        ErrorGuard guard;
        refreshPass();
    } catch (const ErrorJump& jump) {
        if (jump.record == &outOfMemoryRecord) mem_set_out_of_memory(1);
        reportOutOfMemory("menu update");
    } catch (const std::bad_alloc&) {
        mem_set_out_of_memory(1);
        reportOutOfMemory("menu update");
    }
}
