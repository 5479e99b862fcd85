// The worksheet program's own resources: the context menu of text runs with its entries, in
// order, and their help texts, and the menu bars' Format popup beside it.
#include "app/program_resources.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/gui/Resource.h"

namespace {

struct Entry {
    int kind;   // gui::MenuItemDesc::Kind
    int id;
    const char* text;
    const char* help;
};

void expectMenu(int id, const std::vector<Entry>& expected) {
    ASSERT_TRUE(loadProgramResources());
    const gui::MenuDesc* menu = gui::findMenu(id);
    ASSERT_NE(menu, nullptr) << id;
    ASSERT_EQ(menu->items.size(), expected.size()) << id;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const gui::MenuItemDesc& item = menu->items[i];
        const Entry& e = expected[i];
        EXPECT_EQ(int(item.kind), e.kind) << id << " entry " << i;
        if (e.kind == gui::MenuItemDesc::Separator) continue;
        EXPECT_EQ(item.id, e.id) << id << " entry " << i;
        EXPECT_EQ(item.text.str(), e.text) << id << " entry " << i;
        EXPECT_EQ(item.help.str(), e.help) << id << " entry " << i;
    }
}

constexpr int I = gui::MenuItemDesc::Item;
constexpr int S = gui::MenuItemDesc::Separator;
constexpr int P = gui::MenuItemDesc::Popup;

TEST(ProgramResources, TextContextMenu) {
    expectMenu(1250, {
        {I, 1255, "~Styles...", "Create or modify styles"},
        {S, 0, "", ""},
        {I, 1251, "~Italic", "Toggle the italic style attribute of the selection"},
        {I, 1252, "~Bold", "Toggle the bold style attribute of the selection"},
        {I, 1253, "~Underline", "Toggle the underline style attribute of the selection"},
        {S, 0, "", ""},
        {I, 1258, "~Left Justify", "Left justify the current paragraph"},
        {I, 1260, "~Center", "Center the current paragraph"},
        {I, 1259, "~Right Justify", "Right justify the current paragraph"},
        {S, 0, "", ""},
        {I, 1256, "~Paragraph...", "Control the spacing and margins of the selected paragraphs"},
        {I, 1257, "C~haracter...", "Control the appearance of the selected text"},
        {S, 0, "", ""},
        {I, 1262, "I~ndent", "Enclose the selection in a subsection"},
        {I, 1263, "~Outdent", "Remove any section enclosing the selection"},
        {S, 0, "", ""},
        {P, 2550, "Con~vert to", "Convert selected text to other forms"},
    });
    expectMenu(2550, {
        {I, 2551, "Hyperlink...", "Convert selected text to a hyperlink"},
        {I, 2552, "Math Expression", "Convert selected text to a math expression"},
        {I, 2553, "Kelvo Input", "Convert selected text to Kelvo Input"},
    });
    EXPECT_EQ(gui::findMenu(1250)->items.back().popup, 2550);
}

// The menu bars over a worksheet keep their Format popup under the item id 1250, which the
// frame's rules look for, but build it from a menu resource of its own: the resource 1250 is
// the text context menu.
TEST(ProgramResources, FormatPopupOfTheMenuBarsIsNotTheContextMenu) {
    ASSERT_TRUE(loadProgramResources());
    for (int bar : {1021, 1024}) {
        const gui::MenuDesc* menu = gui::findMenu(bar);
        ASSERT_NE(menu, nullptr) << bar;
        const gui::MenuItemDesc* format = nullptr;
        for (const gui::MenuItemDesc& item : menu->items)
            if (item.kind == gui::MenuItemDesc::Popup && item.id == 1250) format = &item;
        ASSERT_NE(format, nullptr) << bar;
        EXPECT_NE(format->popup, 1250) << bar;
        const gui::MenuDesc* popup = gui::findMenu(format->popup);
        ASSERT_NE(popup, nullptr) << bar;
        EXPECT_EQ(popup->items.front().id, 1251) << bar;   // Italic first, no Styles... entry
    }
}

}  // namespace
