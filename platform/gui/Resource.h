#pragma once
// Resources: the program's dialogs in a text format of ours, compiled into the program and
// loaded at start-up.  A resource id travels as (id, type 0, class 256).
//
// Format (one item a line; words separated by blanks; texts in double quotes, cp1252, with \"
// and \\ as escapes; "#" starts a comment line):
//
//   dialog <id> "<title>" <width> <height>        dialog units
//     <Class> <local id> <x> <y> <width> <height> "<text>" ["<help text>"]
//     ...
//   end
//
//   menu <id>                                      menus, menu bars and pop-up menus
//     item <id> "<text>" ["<help text>"]           "~" before the mnemonic
//     popup <id> "<text>" <menu id> ["<help>"]     the sub-menu is the menu resource <menu id>
//     separator
//   end
//
//   toolbox <id>                                   a tool box of buttons in rows
//     item <id> "<text>" "<help text>" [<image id> [<image id>]]
//     separator
//     break                                        the next item starts a new row
//   end
//
//   image <id> <width> <height>                    an image drawn as text, 1..1024 pixels a side
//     color "<c>" <red> <green> <blue>              one character c stands for a colour (0..255)
//     row "<pixels>"                                <height> rows of <width> characters, top first
//   end
//
// Image ids name images the program registers (gui::registerImage); image resources register
// themselves there when loaded, as 1-, 4- or 8-bit bitmaps by their colour count.  An item
// whose image is missing shows its text.  Pointer ids 1000 to 1006 are the layer's own shapes
// (Window.h), not resources.  Menu nesting is resolved when the menu is built, with a depth cap.
//
// Classes: FixedText, Edit, PushButton, OKButton, CancelButton, CheckBox, TriStateBox,
// RadioButton, GroupBox, ComboBox, ListBox, MetricField, NumericField, FixedIcon and FixedBitmap
// (whose text is the id of their image).  A control's help text is shown as its tool tip.  Controls are found by class and local id together, so one dialog may
// hold an Edit 1 and a FixedText 1.  Dialog units: x and width in quarters, y and height in
// eighths of the dialog font's average character width and height.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/base/String.h"

struct ResId {
    int id = 0;
    int type = 0;
    int cls = 256;
    ResId() = default;
    ResId(int i, int t = 0, int c = 256) : id(i), type(t), cls(c) {}
};

namespace gui {

struct ControlDesc {
    std::string cls;
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    String text;
    String help;  // empty = none
};

struct DialogDesc {
    int id = 0;
    String title;
    int width = 0, height = 0;
    std::vector<ControlDesc> controls;
};

struct MenuItemDesc {
    enum Kind { Item, Popup, Separator } kind = Item;
    int id = 0;
    String text, help;
    int popup = 0;  // Popup: the menu resource of the sub-menu
};

struct MenuDesc {
    int id = 0;
    std::vector<MenuItemDesc> items;
};

struct ToolItemDesc {
    enum Kind { Button = 1, Separator = 3, Break = 4 } kind = Button;
    int id = 0;
    String text, help;
    int image = 0, image2 = 0;  // 0 = none
};

struct ImageDesc {
    int id = 0;
    int width = 0, height = 0;
    std::vector<uint32_t> palette;  // 0xRRGGBB
    std::vector<uint8_t> pixels;    // palette indexes, rows top first
};

struct ToolBoxDesc {
    int id = 0;
    std::vector<ToolItemDesc> items;
};

// Parses resource text; false with `error` ("line N: ...") on the first fault, leaving the
// registry unchanged.  Later definitions of an id replace earlier ones.
bool loadResources(std::string_view text, std::string* error = nullptr);
// The dialog of an id, or null.
const DialogDesc* findDialog(int id);
const MenuDesc* findMenu(int id);
const ToolBoxDesc* findToolBox(int id);

}  // namespace gui
