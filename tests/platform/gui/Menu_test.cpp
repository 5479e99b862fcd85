// Menus: mnemonics, positional editing, item state by id (also in sub-menus), selection through
// the system message hook, and the scripted pop-up run.
#include "platform/gui/Menu.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

namespace {

QAction* actionAt(Menu& m, int pos) { return m.qmenu()->actions().at(pos); }

struct TextCase { const char* text; const char* shown; char mnemonic; };

TEST(Menu, MnemonicsAndLiteralAmpersands) {
    const TextCase cases[] = {
        {"~Undo", "&Undo", 'U'},
        {"Cop~y as Kelvo Text", "Cop&y as Kelvo Text", 'y'},
        {"P~rinter Setup...", "P&rinter Setup...", 'r'},
        {"A & B", "A && B", 0},
    };
    Menu m;
    uint16_t id = 1100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        m.insertItem(id, c.text);
        QAction* a = actionAt(m, m.getItemPos(id));
        EXPECT_EQ(a->text(), QString(c.shown));
        QKeySequence mn = QKeySequence::mnemonic(a->text());
        if (c.mnemonic) EXPECT_EQ(mn, QKeySequence(QString("Alt+") + QChar(c.mnemonic).toUpper()));
        else EXPECT_TRUE(mn.isEmpty());
        EXPECT_EQ(m.getItemText(id), String(c.text));
        ++id;
    }
}

TEST(Menu, PositionalEditing) {
    Menu m;
    m.insertItem(1101, "~New");
    m.insertItem(1109, "E~xit");
    m.insertSeparator(1);                 // New, sep, Exit
    m.insertItem(1140, "1 a.kws", 0, 1);  // New, 1140, sep, Exit
    ASSERT_EQ(m.getItemCount(), 4);
    EXPECT_EQ(m.getItemId(0), 1101);
    EXPECT_EQ(m.getItemId(1), 1140);
    EXPECT_EQ(m.getItemId(2), 0);  // separator
    EXPECT_EQ(m.getItemId(3), 1109);
    EXPECT_EQ(m.getItemId(40), 0);
    EXPECT_EQ(m.getItemPos(1109), 3);
    EXPECT_EQ(m.getItemPos(4242), ITEM_NOTFOUND);
    m.removeItem(m.getItemPos(1140));
    m.removeItem(99);  // past the end: nothing
    EXPECT_EQ(m.getItemCount(), 3);
    EXPECT_EQ(m.getItemPos(1140), ITEM_NOTFOUND);
    m.insertItem(1500, "last", 0, MENU_APPEND);
    EXPECT_EQ(m.getItemPos(1500), 3);
}

TEST(Menu, StateByIdIncludingSubMenus) {
    Menu bar;
    bar.insertItem(1200, "~Edit");
    Menu edit;
    edit.insertItem(1201, "~Undo");
    edit.insertItem(1202, "~Bold", MIB_CHECKABLE);
    bar.setPopupMenu(1200, &edit);
    EXPECT_EQ(bar.getPopupMenu(1200), &edit);
    EXPECT_EQ(bar.getPopupMenu(1201), nullptr);
    bar.checkItem(1202, true);
    EXPECT_TRUE(edit.isItemChecked(1202));
    bar.enableItem(1201, false);
    EXPECT_FALSE(edit.isItemEnabled(1201));
    bar.setItemText(1201, "~Undo Typing");
    EXPECT_EQ(edit.getItemText(1201), String("~Undo Typing"));
    bar.setHelpText(1201, "Reverses the last action");
    EXPECT_EQ(edit.getHelpText(1201), String("Reverses the last action"));
    bar.checkItem(9999, true);  // absent: nothing
    EXPECT_FALSE(bar.isItemChecked(9999));
}

TEST(Menu, SelectionPassesTheSystemHookFirst) {
    Menu m;
    m.insertItem(1451, "Object");
    m.insertItem(1105, "Close");
    std::vector<uint16_t> selected;
    m.setSelectHdl(Link([&](void* p) { selected.push_back(static_cast<Menu*>(p)->getCurItemId()); return 0L; }));
    Application::setSystemMessageHook([](unsigned msg, uintptr_t id, intptr_t) { return msg == 273 && id >= 1451 && id <= 1549 ? 1L : 0L; });
    actionAt(m, 0)->trigger();
    actionAt(m, 1)->trigger();
    Application::setSystemMessageHook(nullptr);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0], 1105);
}

TEST(PopupMenu, ScriptedRunAnswersTheChosenId) {
    PopupMenu p;
    p.insertItem(3101, "Cut");
    p.insertItem(3102, "Copy");
    p.enableItem(3101, false);
    uint16_t selected = 0;
    p.setSelectHdl(Link([&](void* m) { selected = static_cast<Menu*>(m)->getCurItemId(); return 0L; }));
    gui::test::Step choose;
    choose.kind = gui::test::Step::ChooseMenuItem;
    choose.answer = 3102;
    gui::test::Step none = choose;
    none.answer = 0;
    gui::test::Step disabled = choose;
    disabled.answer = 3101;
    gui::test::setScript({choose, none, disabled});
    gui::test::takeFailures();
    EXPECT_EQ(p.execute(nullptr, Point(5, 5)), 3102);
    EXPECT_EQ(selected, 3102);
    EXPECT_EQ(p.execute(nullptr, Point(5, 5)), 0);
    EXPECT_EQ(p.execute(nullptr, Point(5, 5)), 0);
    EXPECT_EQ(gui::test::takeFailures().size(), 1u);
    EXPECT_EQ(p.execute(nullptr, Point(5, 5)), 0);  // script ran out
    EXPECT_EQ(gui::test::takeFailures().size(), 1u);
}

}  // namespace
