// Tool boxes from resources: rows, item walk, check/enable state, texts and images, handlers;
// the resource reader's menu and tool-box blocks and their errors.
#include "platform/gui/ToolBox.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/gui/Menu.h"
#include "platform/gui/Resource.h"

namespace {

const char* const kResources = R"(# tool box and menus for the tests
toolbox 4100
  item 2501 "Bold" "Bold text" 4101
  item 2502 "Italic" "Italic text"
  separator
  item 2503 "Under" "Underline"
  break
  item 2504 "Second row" "A second row"
end
menu 4200
  item 1101 "~New" "A new worksheet"
  separator
  popup 1350 "~Window" 4201
end
menu 4201
  item 1351 "~Cascade"
end
menu 4300
  popup 1 "Loop" 4300
end
)";

class ToolBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        QImage img(12, 10, QImage::Format_RGB32);
        img.fill(qRgb(200, 0, 0));
        gui::registerImage(4101, gui::makeBitmap(img));
        std::string error;
        ASSERT_TRUE(gui::loadResources(kResources, &error)) << error;
    }
};

TEST_F(ToolBoxTest, ItemsFromTheResourceInRows) {
    ToolBox box(nullptr, ResId(4100));
    ASSERT_EQ(box.getItemCount(), 6);
    const struct { int type; uint16_t id; } expect[] = {
        {TOOLBOXITEM_BUTTON, 2501}, {TOOLBOXITEM_BUTTON, 2502}, {TOOLBOXITEM_SEPARATOR, 0},
        {TOOLBOXITEM_BUTTON, 2503}, {TOOLBOXITEM_BREAK, 0},     {TOOLBOXITEM_BUTTON, 2504}};
    for (uint16_t i = 0; i < 6; ++i) {
        EXPECT_EQ(box.getItemType(i), expect[i].type) << i;
        EXPECT_EQ(box.getItemId(i), expect[i].id) << i;
    }
    EXPECT_EQ(box.getItemType(6), TOOLBOXITEM_DONTKNOW);
    EXPECT_EQ(box.getItemPos(2503), 3);
    EXPECT_EQ(box.getItemPos(9999), TOOLBOX_ITEM_NOTFOUND);
    EXPECT_EQ(box.getItemText(2502), String("Italic"));
    EXPECT_EQ(box.getHelpText(2503), String("Underline"));
    EXPECT_EQ(box.getItemImage(2501).getSizePixel(), Size(12, 10));
    EXPECT_TRUE(box.getItemImage(2502).isEmpty());

    // The separator leaves a gap, the break starts a row below, and the size holds them all.
    Rectangle bold = box.getItemRect(2501), italic = box.getItemRect(2502), under = box.getItemRect(2503),
              second = box.getItemRect(2504);
    EXPECT_EQ(italic.left, bold.right + 1);
    EXPECT_GT(under.left, italic.right + 1);
    EXPECT_EQ(under.top, bold.top);
    EXPECT_EQ(second.left, bold.left);
    EXPECT_GT(second.top, bold.bottom);
    Size need = box.calcWindowSize();
    EXPECT_GT(need.width, under.right);
    EXPECT_GT(need.height, second.bottom);
    EXPECT_TRUE(box.getItemRect(9999).isEmpty());
}

TEST_F(ToolBoxTest, StateTextImagesAndHandlers) {
    ToolBox box(nullptr, ResId(4100));
    int selects = 0;
    uint16_t chosen = 0;
    box.setSelectHdl(Link([&](void* p) {
        ++selects;
        chosen = static_cast<ToolBox*>(p)->getCurItemId();
        return 1L;
    }));
    box.checkItem(2501);
    EXPECT_TRUE(box.isItemChecked(2501));
    // A click selects but leaves the pressed state to the program.
    box.click(2501);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(chosen, 2501);
    EXPECT_TRUE(box.isItemChecked(2501));
    box.checkItem(2501, false);
    EXPECT_FALSE(box.isItemChecked(2501));
    // A disabled button does not select.
    box.enableItem(2502, false);
    EXPECT_FALSE(box.isItemEnabled(2502));
    box.click(2502);
    EXPECT_EQ(selects, 1);
    box.enableItem(2502);
    box.click(2502);
    EXPECT_EQ(chosen, 2502);
    // Unknown ids change nothing.
    box.checkItem(9999);
    EXPECT_FALSE(box.isItemChecked(9999));
    EXPECT_FALSE(box.isItemEnabled(9999));
    // Replacing an image (recolouring) and removing it again.
    QImage blue(16, 16, QImage::Format_RGB32);
    blue.fill(qRgb(0, 0, 255));
    box.setItemImage(2502, gui::makeBitmap(blue));
    EXPECT_EQ(box.getItemImage(2502).getPixel(Point(3, 3)), Color::fromRGB8(0, 0, 255));
    box.setItemImage(2502, Bitmap());
    EXPECT_TRUE(box.getItemImage(2502).isEmpty());
    box.setItemText(2504, "Renamed");
    EXPECT_EQ(box.getItemText(2504), String("Renamed"));
    box.clear();
    EXPECT_EQ(box.getItemCount(), 0);
}

TEST_F(ToolBoxTest, MissingResourceThrows) {
    EXPECT_THROW(ToolBox(nullptr, ResId(4999)), std::runtime_error);
}

TEST_F(ToolBoxTest, MenuFromResourceWithSubMenuAndSelectOfTheBar) {
    Menu bar{ResId(4200)};
    EXPECT_EQ(bar.getItemCount(), 3);
    EXPECT_EQ(bar.getItemId(1), 0);
    EXPECT_EQ(bar.getHelpText(1101), String("A new worksheet"));
    Menu* window = bar.getPopupMenu(1350);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getItemText(1351), String("~Cascade"));
    // The sub-menu has no select handler: the bar's runs with the sub-menu's item.
    uint16_t got = 0;
    bar.setSelectHdl(Link([&](void* p) {
        got = static_cast<Menu*>(p)->getCurItemId();
        return 1L;
    }));
    window->qmenu()->actions().at(0)->trigger();
    EXPECT_EQ(got, 1351);
    // A menu that contains itself stops at the depth cap instead of recursing.
    EXPECT_THROW(Menu{ResId(4300)}, std::runtime_error);
    EXPECT_THROW(Menu{ResId(4999)}, std::runtime_error);
}

struct BadResource { const char* name; const char* text; const char* error; };

TEST(ResourceBlocks, ErrorsNameTheLine) {
    const BadResource cases[] = {
        {"menu without id", "menu\nend", "line 1"},
        {"item without text", "menu 5\nitem 3\nend", "line 2"},
        {"item id zero", "menu 5\nitem 0 \"x\"\nend", "line 2"},
        {"popup without menu id", "menu 5\npopup 3 \"x\"\nend", "line 2"},
        {"tool item without help", "toolbox 5\nitem 3 \"x\"\nend", "line 2"},
        {"tool image not a number", "toolbox 5\nitem 3 \"x\" \"h\" abc\nend", "line 2"},
        {"unknown block", "window 5\nend", "line 1"},
        {"missing end", "toolbox 5\nbreak\n", "line 3"},
        {"dialog control in a menu", "menu 5\nEdit 1 0 0 1 1 \"\"\nend", "line 2"},
    };
    for (const BadResource& c : cases) {
        std::string error;
        EXPECT_FALSE(gui::loadResources(c.text, &error)) << c.name;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.name << ": " << error;
    }
    // A failed load leaves the earlier definitions in place.
    ASSERT_TRUE(gui::loadResources("toolbox 4500\nitem 1 \"a\" \"b\"\nend"));
    EXPECT_FALSE(gui::loadResources("toolbox 4500\nend\nmenu 1\n"));
    ASSERT_NE(gui::findToolBox(4500), nullptr);
    EXPECT_EQ(gui::findToolBox(4500)->items.size(), 1u);
}

}  // namespace
