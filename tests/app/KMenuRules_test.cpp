// The menu and command-state rules over a frame double and a window double: a table of window
// states with the enabled and checked items of each popup, the Undo and Redo texts from a real
// undo history, the Bookmarks popup of a document with 495 bookmarks, the context-bar focus
// rule, the text bar, the bar heights, and an error raised by a window query during the refresh
// pass.
#include "app/KMenuRules.h"
#include "tests/app/menu_rules_doubles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ParagraphElement.h"
#include "document/exec/PlaceholderElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/tree/ElementEnvironment.h"
#include "document/tree/ViewCaret.h"
#include "app/KAppOptionsHost.h"
#include "options/KOptions.h"
#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

using namespace menu_rules_doubles;

// A document: root [ paragraph [ text run in a bold style, math, input, spreadsheet ],
// placeholder ], with the paragraph centred.
struct SmallDocument {
    SmallDocument() {
        doc.setRoot(root);
        auto bold = std::make_unique<CharStyle>();
        bold->bold = 1;
        bold->italic = 2;
        bold->fontName = "Arial";
        bold->sizeMode = 1;
        bold->size = 14;
        boldIndex = doc.styleSet()->addCharStyle(std::move(bold), -1);
        auto centred = std::make_unique<ParaStyle>();
        centred->justification = 3;
        centredIndex = doc.styleSet()->addParaStyle(std::move(centred), -1);
        paragraph = new ParagraphElement(centredIndex, nullptr);
        text = new TextElement(boldIndex, "bold", 4);
        math = new KindLeaf(KIND_MATH);
        input = new KindLeaf(KIND_INPUT_TEXT);
        sheet = new KindLeaf(18);
        for (Element* e : std::initializer_list<Element*>{text, math, input, sheet})
            paragraph->insertChild(e, nullptr, kInsertAfter);
        root->insertChild(paragraph, nullptr, kInsertAfter);
        placeholder = new PlaceholderElement();
        root->insertChild(placeholder, nullptr, kInsertAfter);
    }
    Document doc;
    SectionElement* root = new SectionElement();
    ParagraphElement* paragraph;
    TextElement* text;
    KindLeaf* math;
    KindLeaf* input;
    KindLeaf* sheet;
    PlaceholderElement* placeholder;
    int boldIndex = -1, centredIndex = -1;
};

// An options object with its defaults (its ini folder is a fresh temporary one), made the
// program's for the scope.
class ScopedOptions {
public:
    ScopedOptions() : dir_(std::filesystem::temp_directory_path() / ("kwsmenu_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        const char* words[] = {"wkelvo"};
        options_ = std::make_unique<KOptions>(1, words, host_);
        saved_ = theOptions;
        theOptions = options_.get();
    }
    ~ScopedOptions() {
        theOptions = saved_;
        options_.reset();
        std::filesystem::remove_all(dir_);
    }
    KOptions* operator->() { return options_.get(); }

private:
    std::filesystem::path dir_;
    KAppOptionsHost host_;
    std::unique_ptr<KOptions> options_;
    KOptions* saved_ = nullptr;
};

class MenuRulesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gui::ensureApplication(); }
    void SetUp() override {
        frame = std::make_unique<FrameDouble>();
        rules = std::make_unique<KMenuRules>(*frame);
        window.doc = &tree.doc;
    }
    SmallDocument tree;
    WindowDouble window;
    SheetDouble sheet;
    std::unique_ptr<FrameDouble> frame;
    std::unique_ptr<KMenuRules> rules;
};

// ---- the table of window states -------------------------------------------------------------

struct StateRow {
    const char* name;
    std::function<void(FrameDouble&, WindowDouble&, SmallDocument&, SheetDouble&)> set;
    Ids edit, editChecked, format, formatChecked, insert, execute, sheetItems, sheetChecked;
    bool contextBar;
};

const Ids kEditAlways = {1157, 1159, 1166, 1167, 2600, 2650, 2700};
Ids with(Ids a, const Ids& b) {
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    return a;
}

void caretIn(WindowDouble& w, Element* e) {
    w.current = e;
    w.paragraphPosition = e;
}

const StateRow kStates[] = {
    {"no window", [](FrameDouble& f, WindowDouble&, SmallDocument&, SheetDouble&) { f.window = nullptr; },
     {}, {}, {}, {}, {}, {}, {}, {}, false},
    {"caret on the placeholder, nothing to undo",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) { caretIn(w, t.placeholder); },
     kEditAlways, {}, {}, {}, {1601, 1602, 1604, 1605, 2800, 2850}, {}, {}, {}, true},
    {"help window", [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) {
         w.help = true;
         caretIn(w, t.placeholder);
     },
     kEditAlways, {}, {}, {}, {1601, 1602, 1604, 1605, 2800, 2850}, {}, {}, {}, false},
    {"read-only", [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) {
         w.readOnly = true;
         caretIn(w, t.placeholder);
     },
     kEditAlways, {}, {}, {}, {1601, 1602, 1604, 1605, 2800, 2850}, {}, {}, {}, false},
    {"caret in bold text of a centred paragraph, undo and redo",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) {
         caretIn(w, t.text);
         w.undo = w.redo = true;
         w.deleteParagraph = true;
         w.paste = true;
         w.mode = 2;
     },
     with(kEditAlways, {1151, 1152, 1155, 1161, 2507}), {},
     {1251, 1252, 1253, 1256, 1257, 1258, 1259, 1260, 1262, 1263}, {1252, 1260},
     {1601, 1602, 1604, 1605, 2800, 2850}, {}, {}, {}, true},
    {"selection in text: cut, copy, convert, execute",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) {
         caretIn(w, t.text);
         w.selection = true;
         w.canCut = w.canCopy = w.copyAsText = true;
         w.pasteAsText = true;
     },
     with(kEditAlways, {1153, 1154, 1163, 1168}), {},
     {1251, 1252, 1253, 1256, 1257, 1258, 1259, 1260, 1262, 1263, 2550}, {1252, 1260}, {}, {2651}, {}, {}, true},
    {"caret in input with a selection: no Convert to, math input mode",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) {
         caretIn(w, t.input);
         w.selection = true;
         w.mode = 1;
     },
     with(kEditAlways, {1161}), {1161},
     {1251, 1252, 1253, 1256, 1257, 1258, 1259, 1260, 1262, 1263}, {1260}, {}, {2651}, {}, {}, true},
    {"caret in math: the paragraph's character style",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble&) { caretIn(w, t.math); },
     kEditAlways, {}, {1251, 1252, 1253, 1256, 1257, 1258, 1259, 1260, 1262, 1263}, {1260},
     {1601, 1602, 1604, 1605, 2800, 2850}, {}, {}, {}, true},
    {"caret in a spreadsheet with a block value and its border on",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble& s) {
         caretIn(w, t.sheet);
         s.border = true;
         w.sheet = &s;
     },
     kEditAlways, {}, {1256, 1258, 1259, 1260, 1262, 1263}, {1260},
     {1601, 1602, 1604, 1605, 2800, 2850}, {}, {3102, 3103, 3104, 3105, 3106, 3107, 3152, 3153}, {3102}, true},
    {"caret in a spreadsheet with nothing in its block",
     [](FrameDouble&, WindowDouble& w, SmallDocument& t, SheetDouble& s) {
         caretIn(w, t.sheet);
         s.blockValue = false;
         w.sheet = &s;
     },
     kEditAlways, {}, {1256, 1258, 1259, 1260, 1262, 1263}, {1260},
     {1601, 1602, 1604, 1605, 2800, 2850}, {}, {3102, 3103, 3104, 3105, 3107, 3152, 3153}, {}, true},
};

TEST_F(MenuRulesTest, WindowStatesEnableAndCheckThePopups) {
    for (const StateRow& row : kStates) {
        SCOPED_TRACE(row.name);
        WindowDouble w;
        w.doc = &tree.doc;
        SheetDouble s;
        frame = std::make_unique<FrameDouble>();
        rules = std::make_unique<KMenuRules>(*frame);
        frame->window = &w;
        row.set(*frame, w, tree, s);
        frame->updateAll(*rules);
        rules->refreshContextBarState();
        EXPECT_EQ(frame->enabled(1150), row.edit);
        EXPECT_EQ(frame->checked(1150), row.editChecked);
        // 1254 (the fourth character attribute) is no item whose state the Format rule sets.
        EXPECT_EQ(frame->enabled(1250), with(row.format, {1254}));
        EXPECT_EQ(frame->checked(1250), row.formatChecked);
        EXPECT_EQ(frame->enabled(2500), with(row.insert, {2506}));
        EXPECT_EQ(frame->enabled(2650), row.execute);
        EXPECT_EQ(frame->enabled(2700), row.execute.empty() ? Ids() : Ids({2701}));
        EXPECT_EQ(frame->enabled(2602), row.insert.empty() ? Ids() : Ids({2601, 2603}));
        EXPECT_EQ(frame->enabled(3150), row.sheetItems);
        EXPECT_EQ(frame->checked(3150), row.sheetChecked);
        EXPECT_EQ(frame->bar.isItemEnabled(3100), !row.sheetItems.empty());
        EXPECT_EQ(frame->spreadsheetMode, !row.sheetItems.empty());
        EXPECT_EQ(frame->contextBarEnabled, row.contextBar);
        // File, View and Help follow whether a window exists.
        const bool active = frame->window != nullptr;
        const Ids file = active ? Ids({1101, 1102, 1103, 1104, 1107, 1108, 1109, 2750}) : Ids({1101, 1102, 1109});
        const Ids view = active ? kPopupItems.at(1200) : Ids({1201});
        const Ids help = active ? Ids({1406, 1407, 1410}) : Ids({1410});
        EXPECT_EQ(frame->enabled(1100), file);
        EXPECT_EQ(frame->enabled(1200), view);
        EXPECT_EQ(frame->enabled(1400), help);
    }
}

// ---- single rules ----------------------------------------------------------------------------

TEST_F(MenuRulesTest, ShowObjectsIsCheckedOnlyInTheWorksheetMenuBars) {
    ScopedOptions options;
    frame->window = &window;
    struct Row { int bar; bool show; bool checked; } rows[] = {
        {1021, true, true}, {1024, true, true}, {1021, false, false}, {1020, true, false}, {1022, true, false},
    };
    for (const Row& r : rows) {
        frame->popup(1150)->checkItem(1159, false);
        frame->barId = r.bar;
        options->showObjects = r.show;
        rules->updateMenu(frame->popup(1150));
        EXPECT_EQ(frame->popup(1150)->isItemChecked(1159), r.checked) << r.bar << " " << r.show;
    }
}

TEST_F(MenuRulesTest, InputDisplayFollowsTypesetInput) {
    ScopedOptions options;
    for (bool typeset : {false, true}) {
        options->typesetInput = typeset;
        rules->updateMenu(frame->popup(4800));
        EXPECT_EQ(frame->enabled(4800), (Ids{4801, 4802}));
        EXPECT_EQ(frame->checked(4800), (typeset ? Ids({4802}) : Ids({4801})));
    }
}

TEST_F(MenuRulesTest, DisplayPopupsCheckTheWindowsChoice) {
    struct Row {
        const char* name;
        bool withWindow;
        int choice;
        Ids enabled, checked, printEnabled, printChecked;
    } rows[] = {
        {"choice 2902", true, 2902, {2901, 2902, 2903}, {2902}, {4851, 4852, 4853}, {}},
        {"no choice", true, -1, {}, {}, {4851, 4852, 4853}, {}},
        {"no window", false, 2901, {}, {}, {4851, 4852, 4853}, {}},
    };
    for (const Row& r : rows) {
        window.choices = {{2901, r.choice}, {4851, r.choice == -1 ? -1 : 4853}};
        frame->window = r.withWindow ? &window : nullptr;
        rules->updateMenu(frame->popup(2900));
        rules->updateMenu(frame->popup(4850));
        EXPECT_EQ(frame->enabled(2900), r.enabled) << r.name;
        EXPECT_EQ(frame->checked(2900), r.checked) << r.name;
        EXPECT_EQ(frame->enabled(4850), r.printEnabled) << r.name;
        EXPECT_EQ(frame->checked(4850), (r.withWindow && r.choice != -1 ? Ids({4853}) : Ids())) << r.name;
    }
}

TEST_F(MenuRulesTest, PalettesAreCheckedWhileVisible) {
    frame->palettes[0] = true;
    frame->palettes[2] = true;
    rules->updateMenu(frame->popup(1240));
    EXPECT_EQ(frame->checked(1240), (Ids{1241, 1243}));
}

TEST_F(MenuRulesTest, HelpOnContextNamesTheTopic) {
    frame->window = &window;
    struct Row { const char* topic; const char* text; const char* help; bool enabled; } rows[] = {
        {"int", "H~elp on \"int\"", "Retrieve help for the context-dependent topic", true},
        {"", "H~elp on Context", "Context help", false},
    };
    for (const Row& r : rows) {
        window.topic = r.topic;
        rules->updateMenu(frame->popup(1400));
        EXPECT_EQ(frame->popup(1400)->getItemText(1408).str(), r.text);
        EXPECT_EQ(frame->popup(1400)->getHelpText(1408).str(), r.help);
        EXPECT_EQ(frame->popup(1400)->isItemEnabled(1408), r.enabled);
    }
}

TEST_F(MenuRulesTest, FillItemsFollowTheSpreadsheet) {
    frame->window = &window;
    caretIn(window, tree.sheet);
    window.sheet = &sheet;
    sheet.fills = {3353};
    rules->updateMenu(frame->popup(3350));
    EXPECT_EQ(frame->enabled(3350), (Ids{3353}));
    // Outside a spreadsheet nothing can fill.
    caretIn(window, tree.text);
    rules->updateMenu(frame->popup(3350));
    EXPECT_EQ(frame->enabled(3350), Ids{});
}

TEST_F(MenuRulesTest, UndoTextsNameTheHistorysGroups) {
    frame->window = &window;
    UndoHistory& history = *tree.doc.undoHistory();
    auto edit = [&](const char* name) {
        history.beginGroup(name, nullptr, false);
        tree.root->insertChild(new ParagraphElement(0, nullptr), nullptr, kInsertAfter);
        history.endUndoGroup(nullptr);
    };
    auto texts = [&] {
        window.undo = history.canUndo();
        window.redo = history.canRedo();
        rules->updateMenu(frame->popup(1150));
        return frame->popup(1150)->getItemText(1151).str() + "|" + frame->popup(1150)->getItemText(1152).str();
    };
    EXPECT_EQ(texts(), "~Undo|~Redo");
    edit("Typing");
    EXPECT_EQ(texts(), "~Undo Typing|~Redo");
    edit("result");
    EXPECT_EQ(texts(), "~Undo result|~Redo");
    history.undo(nullptr);
    EXPECT_EQ(texts(), "~Undo Typing|~Redo result");
    // The window's own answers decide: a window that cannot undo shows the bare texts.
    window.undo = window.redo = false;
    rules->update_undo_menu(frame->popup(1150));
    EXPECT_EQ(frame->popup(1150)->getItemText(1151).str(), "~Undo");
    EXPECT_EQ(frame->popup(1150)->getItemText(1152).str(), "~Redo");
    // Without a window too.
    frame->window = nullptr;
    rules->update_undo_menu(frame->popup(1150));
    EXPECT_EQ(frame->popup(1150)->getItemText(1151).str(), "~Undo");
}

TEST_F(MenuRulesTest, BookmarksPopupListsEveryBookmarkWithItsId) {
    // 495 paragraphs with bookmarks "b0" ... "b494".
    for (int i = 0; i < BookmarkIndex::MAX_NAMES; ++i) {
        auto* p = new ParagraphElement(0, nullptr);
        p->bookmark.assign(("b" + std::to_string(i)).c_str());
        tree.root->insertChild(p, nullptr, kInsertAfter);
    }
    tree.doc.bookmarks()->invalidate();
    frame->window = &window;
    Menu* popup = frame->popup(1900);
    popup->insertItem(1999, String("stale"));   // left from an earlier opening
    rules->updateMenu(popup);
    ASSERT_EQ(popup->getItemCount(), 2 + BookmarkIndex::MAX_NAMES);
    EXPECT_EQ(popup->getItemId(0), 1901);
    EXPECT_EQ(popup->getItemId(1), 0);   // the separator
    for (int i = 0; i < BookmarkIndex::MAX_NAMES; ++i) {
        ASSERT_EQ(popup->getItemId(static_cast<uint16_t>(2 + i)), 1902 + i);
        ASSERT_EQ(popup->getItemText(static_cast<uint16_t>(1902 + i)).str(), "b" + std::to_string(i));
    }
    EXPECT_EQ(popup->getItemId(static_cast<uint16_t>(1 + BookmarkIndex::MAX_NAMES)), 2396);
    // A document without bookmarks leaves the first item alone.
    SmallDocument plain;
    window.doc = &plain.doc;
    rules->updateMenu(popup);
    EXPECT_EQ(popup->getItemCount(), 1);
}

TEST_F(MenuRulesTest, ContextBarFieldFocusDecidesCutCopyAndPaste) {
    struct Row {
        const char* name;
        bool withWindow, focus, clipboardText;
        bool cut, copy, copyAsText, paste, pasteAsText;
    } rows[] = {
        {"no window, no focus", false, false, true, false, false, false, false, false},
        {"no window, a focused field with text on the clipboard", false, true, true, true, true, false, true, false},
        {"a focused field, empty clipboard", true, true, false, true, true, true, false, false},
        {"the window answers", true, false, false, true, false, true, true, false},
    };
    window.canCut = true;
    window.canCopy = false;
    window.copyAsText = true;
    window.paste = true;
    window.pasteAsText = false;
    for (const Row& r : rows) {
        frame->window = r.withWindow ? &window : nullptr;
        frame->fieldFocus = r.focus;
        frame->clipboardText = r.clipboardText;
        EXPECT_EQ(rules->canCutCopy(false, true), r.cut) << r.name;
        EXPECT_EQ(rules->canCutCopy(false, false), r.copy) << r.name;
        EXPECT_EQ(rules->canCutCopy(true, false), r.copyAsText) << r.name;
        EXPECT_EQ(rules->canPaste(false), r.paste) << r.name;
        EXPECT_EQ(rules->canPaste(true), r.pasteAsText) << r.name;
    }
}

TEST_F(MenuRulesTest, CommandStatesSetTheToolBoxAndTheEditAndFormatPopups) {
    frame->window = &window;
    caretIn(window, tree.text);
    window.undo = true;
    window.canCopy = true;
    window.copyAsText = true;
    window.paste = false;
    window.pasteAsText = true;
    EXPECT_TRUE(rules->updateCommandState(0));
    struct Row { int id; bool on; } rows[] = {
        {1151, true}, {1152, false}, {1153, false}, {1154, true}, {1155, false}, {1262, true}, {1263, true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(frame->box.isItemEnabled(static_cast<uint16_t>(r.id)), r.on) << r.id;
        const int popup = r.id >= 1262 ? 1250 : 1150;
        EXPECT_EQ(frame->popup(popup)->isItemEnabled(static_cast<uint16_t>(r.id)), r.on) << r.id;
    }
    EXPECT_TRUE(frame->popup(1150)->isItemEnabled(1168));
    EXPECT_TRUE(frame->popup(1150)->isItemEnabled(1163));
    // One id: on the placeholder Indent and Outdent cannot act.
    caretIn(window, tree.placeholder);
    EXPECT_TRUE(rules->updateCommandState(1262));
    EXPECT_FALSE(frame->box.isItemEnabled(1262));
    EXPECT_TRUE(frame->box.isItemEnabled(1263));
    // Without a tool box nothing changes.
    frame->withToolBox = false;
    window.undo = false;
    EXPECT_FALSE(rules->updateCommandState(1151));
    EXPECT_TRUE(frame->popup(1150)->isItemEnabled(1151));
}

TEST_F(MenuRulesTest, TextBarAndFormatPopupFollowTheStyles) {
    CharStyle cs;
    cs.bold = 1;
    cs.italic = 2;
    cs.underline = 1;
    cs.spareAttribute = 1;
    cs.fontName = "Arial";
    cs.size = 14;
    ParaStyle ps;
    ps.justification = 2;
    ps.listKind = 2;
    TextBarDouble& bar = frame->text;
    bar.font = "Times New Roman";
    bar.size = "14";
    rules->updateTextBar(tree.doc.styleSet(), &ps, &cs);
    std::map<int, bool> expected = {{1252, true}, {1251, false}, {1253, true}, {1258, false},
                                    {1260, false}, {1259, true}, {1261, true}};
    EXPECT_EQ(bar.checked, expected);
    EXPECT_EQ(frame->checked(1250), (Ids{1252, 1253, 1254, 1259}));
    EXPECT_EQ(bar.font, "Arial");
    EXPECT_EQ(bar.fontSets, 1);
    EXPECT_EQ(bar.sizeSets, 0);   // the same size is not set again
    EXPECT_EQ(bar.styleBoxUpdates, 1);
    EXPECT_EQ(bar.lastChar, &cs);
    // Without styles everything is unchecked and the boxes keep their texts.
    rules->updateTextBar(tree.doc.styleSet(), nullptr, nullptr);
    for (const auto& [id, on] : bar.checked) EXPECT_FALSE(on) << id;
    EXPECT_EQ(frame->checked(1250), Ids{});
    EXPECT_EQ(bar.font, "Arial");
    EXPECT_EQ(bar.styleBoxUpdates, 2);
}

TEST_F(MenuRulesTest, BarHeightsAddTheVisibleBarsNamed) {
    frame->heights = {{KMenuFrame::kToolBoxBar, 30}, {KMenuFrame::kContextBar, 0}, {KMenuFrame::kStatusBar, 20}};
    struct Row { int flags; long sum; } rows[] = {{0, 0}, {1, 30}, {2, 0}, {4, 20}, {5, 50}, {7, 50}};
    for (const Row& r : rows) EXPECT_EQ(rules->barHeights(r.flags), r.sum) << r.flags;
}

// ---- the refresh pass ------------------------------------------------------------------------

class CaretWindow : public ElementWindow {
public:
    DocumentView* view() override { return nullptr; }
    TextCursor* createCursor() override { return nullptr; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    void update() override { ++updates; }
    int updates = 0;
};

TEST_F(MenuRulesTest, RefreshPassUpdatesEveryPopupAndReleasesTheCaret) {
    CaretWindow caretWindow;
    ViewCaret caret(&tree.doc, &caretWindow);
    window.caretObject = &caret;
    frame->window = &window;
    caretIn(window, tree.text);
    window.undo = true;
    bool busyDuringPass = false;
    window.onQuery = [&] { busyDuringPass = busyDuringPass || caret.busy; };
    rules->refreshMenus();
    EXPECT_TRUE(busyDuringPass);
    EXPECT_FALSE(caret.busy);
    EXPECT_EQ(caretWindow.updates, 1);
    EXPECT_TRUE(frame->box.isItemEnabled(1151));
    EXPECT_TRUE(frame->popup(1100)->isItemEnabled(1103));
    EXPECT_TRUE(frame->contextBarEnabled);
    // A caret that was busy already stays busy: the pass did not set the flag.
    caret.busy = true;
    rules->refreshMenus();
    EXPECT_TRUE(caret.busy);
    EXPECT_EQ(caretWindow.updates, 1);
}

// An error raised by a window query in the middle of the pass is reported, the caret shows again
// and later passes work.
TEST_F(MenuRulesTest, ErrorInAWindowQueryIsReportedAndTheCaretReleased) {
    std::vector<std::string> shown;
    static std::vector<std::string>* sink = nullptr;
    sink = &shown;
    MessageGuiHooks hooks;
    hooks.isRunning = [] { return true; };
    hooks.errorBox = [](void*, int, const char* text) { sink->push_back(text); };
    messages_set_gui_hooks(hooks);
    CaretWindow caretWindow;
    ViewCaret caret(&tree.doc, &caretWindow);
    window.caretObject = &caret;
    frame->window = &window;
    caretIn(window, tree.text);
    struct Row { const char* name; std::function<void()> raise; const char* message; } rows[] = {
        {"out of memory", [] { raiseRecord(&outOfMemoryRecord); }, "You have run out of memory while performing a menu update"},
        {"no memory for a text", [] { throw std::bad_alloc(); }, "You have run out of memory while performing a menu update"},
    };
    for (const Row& r : rows) {
        shown.clear();
        int calls = 0;
        window.onQuery = [&] {
            if (++calls == 3) r.raise();
        };
        const int depth = errjump_depth();
        rules->refreshMenus();
        EXPECT_EQ(errjump_depth(), depth) << r.name;
        EXPECT_FALSE(caret.busy) << r.name;
        ASSERT_EQ(shown.size(), 1u) << r.name;
        EXPECT_NE(shown[0].find(r.message), std::string::npos) << r.name << ": " << shown[0];
    }
    const int updates = caretWindow.updates;
    window.onQuery = nullptr;
    shown.clear();
    rules->refreshMenus();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(caretWindow.updates, updates + 1);
    messages_clear_gui_hooks();
}

}  // namespace
