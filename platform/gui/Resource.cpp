// The resource text reader and registry (format in Resource.h).
#include "platform/gui/Resource.h"

#include <QImage>

#include <cstdlib>
#include <map>

#include "platform/gui/Bitmap.h"
#include "platform/gui/line_words.h"
#include "platform/gui/ToolBox.h"

namespace gui {

namespace {

std::map<int, DialogDesc>& dialogs() {
    static std::map<int, DialogDesc> d;
    return d;
}
std::map<int, MenuDesc>& menus() {
    static std::map<int, MenuDesc> d;
    return d;
}
std::map<int, ToolBoxDesc>& toolBoxes() {
    static std::map<int, ToolBoxDesc> d;
    return d;
}

// Optional quoted words at the end of a line: all must be quoted.
bool quotedFrom(const std::vector<bool>& q, std::size_t from) {
    for (std::size_t i = from; i < q.size(); ++i)
        if (!q[i]) return false;
    return true;
}

const char* const kClasses[] = {"FixedText", "Edit", "PushButton", "OKButton", "CancelButton",
                                "CheckBox", "TriStateBox", "RadioButton", "GroupBox", "ComboBox",
                                "ListBox", "MetricField", "NumericField", "FixedIcon", "FixedBitmap"};

bool toInt(const std::string& s, int& v) {
    if (s.empty() || s.size() > 6) return false;
    char* end = nullptr;
    long l = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || l < -32768 || l > 32767) return false;
    v = static_cast<int>(l);
    return true;
}

}  // namespace

bool loadResources(std::string_view text, std::string* error) {
    std::map<int, DialogDesc> foundDialogs;
    std::map<int, MenuDesc> foundMenus;
    std::map<int, ToolBoxDesc> foundBoxes;
    std::map<int, ImageDesc> foundImages;
    enum class Block { None, Dialog, Menu, ToolBox, Image } open = Block::None;
    ImageDesc image;
    int colorOf[256];
    DialogDesc current;
    MenuDesc menu;
    ToolBoxDesc box;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        std::vector<std::string> w;
        std::vector<bool> q;
        if (!splitLineWords(line, w, q)) return fail("unterminated text");
        if (w.empty() || (!q[0] && !w[0].empty() && w[0][0] == '#')) {
            if (end == text.size()) break;
            continue;
        }
        if (q[0]) return fail("a line starts with a keyword");
        if (open == Block::None) {
            if (w[0] == "dialog") {
                if (w.size() != 5 || !q[2]) return fail("expected: dialog <id> \"<title>\" <width> <height>");
                current = DialogDesc();
                if (!toInt(w[1], current.id) || !toInt(w[3], current.width) || !toInt(w[4], current.height))
                    return fail("bad number");
                current.title = String(w[2]);
                open = Block::Dialog;
            } else if (w[0] == "image") {
                image = ImageDesc();
                if (w.size() != 4 || !toInt(w[1], image.id) || !toInt(w[2], image.width) || !toInt(w[3], image.height) ||
                    image.width < 1 || image.width > 1024 || image.height < 1 || image.height > 1024)
                    return fail("expected: image <id> <width> <height> (1 to 1024 pixels)");
                for (int& c : colorOf) c = -1;
                open = Block::Image;
            } else if (w[0] == "menu" || w[0] == "toolbox") {
                int id = 0;
                if (w.size() != 2 || !toInt(w[1], id)) return fail("expected: " + w[0] + " <id>");
                if (w[0] == "menu") {
                    menu = MenuDesc();
                    menu.id = id;
                    open = Block::Menu;
                } else {
                    box = ToolBoxDesc();
                    box.id = id;
                    open = Block::ToolBox;
                }
            } else {
                return fail("expected dialog, menu or toolbox");
            }
        } else if (w[0] == "end" && w.size() == 1) {
            if (open == Block::Image) {
                if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
                    return fail("image " + std::to_string(image.id) + " needs " + std::to_string(image.height) + " rows");
                foundImages[image.id] = image;
            } else if (open == Block::Dialog) foundDialogs[current.id] = current;
            else if (open == Block::Menu) foundMenus[menu.id] = menu;
            else foundBoxes[box.id] = box;
            open = Block::None;
        } else if (open == Block::Menu) {
            MenuItemDesc it;
            if (w[0] == "separator" && w.size() == 1) {
                it.kind = MenuItemDesc::Separator;
            } else if (w[0] == "item" && (w.size() == 3 || w.size() == 4) && quotedFrom(q, 2)) {
                if (!toInt(w[1], it.id) || it.id <= 0) return fail("bad item id");
                it.text = String(w[2]);
                if (w.size() == 4) it.help = String(w[3]);
            } else if (w[0] == "popup" && (w.size() == 4 || w.size() == 5) && q[2] && !q[3] && quotedFrom(q, 4)) {
                it.kind = MenuItemDesc::Popup;
                if (!toInt(w[1], it.id) || it.id <= 0 || !toInt(w[3], it.popup)) return fail("bad popup id");
                it.text = String(w[2]);
                if (w.size() == 5) it.help = String(w[4]);
            } else {
                return fail("expected: item <id> \"<text>\" [\"<help>\"], popup <id> \"<text>\" <menu id>, separator or end");
            }
            menu.items.push_back(std::move(it));
        } else if (open == Block::Image) {
            if (w[0] == "color" && w.size() == 5 && q[1] && !q[2] && !q[3] && !q[4]) {
                int r = 0, g = 0, b = 0;
                if (w[1].size() != 1 || !toInt(w[2], r) || !toInt(w[3], g) || !toInt(w[4], b) || r < 0 || r > 255 ||
                    g < 0 || g > 255 || b < 0 || b > 255)
                    return fail("expected: color \"<one character>\" <red> <green> <blue> (0 to 255)");
                int& slot = colorOf[static_cast<unsigned char>(w[1][0])];
                if (slot < 0) {
                    slot = static_cast<int>(image.palette.size());
                    image.palette.push_back(0u);
                }
                image.palette[slot] = static_cast<uint32_t>(r << 16 | g << 8 | b);
            } else if (w[0] == "row" && w.size() == 2 && q[1]) {
                if (w[1].size() != static_cast<std::size_t>(image.width)) return fail("row of the wrong width");
                if (image.pixels.size() >= static_cast<std::size_t>(image.width) * image.height) return fail("too many rows");
                for (char c : w[1]) {
                    int slot = colorOf[static_cast<unsigned char>(c)];
                    if (slot < 0) return fail(std::string("no color for \"") + c + "\"");
                    image.pixels.push_back(static_cast<uint8_t>(slot));
                }
            } else {
                return fail("expected: color \"<c>\" <red> <green> <blue>, row \"<pixels>\" or end");
            }
        } else if (open == Block::ToolBox) {
            ToolItemDesc it;
            if (w[0] == "separator" && w.size() == 1) {
                it.kind = ToolItemDesc::Separator;
            } else if (w[0] == "break" && w.size() == 1) {
                it.kind = ToolItemDesc::Break;
            } else if (w[0] == "item" && w.size() >= 4 && w.size() <= 6 && q[2] && q[3] &&
                       (w.size() < 5 || !q[4]) && (w.size() < 6 || !q[5])) {
                if (!toInt(w[1], it.id) || it.id <= 0) return fail("bad item id");
                it.text = String(w[2]);
                it.help = String(w[3]);
                if (w.size() >= 5 && !toInt(w[4], it.image)) return fail("bad image id");
                if (w.size() == 6 && !toInt(w[5], it.image2)) return fail("bad image id");
            } else {
                return fail("expected: item <id> \"<text>\" \"<help>\" [<image> [<image>]], separator, break or end");
            }
            box.items.push_back(std::move(it));
        } else {
            bool known = false;
            for (const char* c : kClasses) known |= w[0] == c;
            if (!known) return fail("unknown control class " + w[0]);
            if ((w.size() != 7 && w.size() != 8) || !quotedFrom(q, 6))
                return fail("expected: <Class> <id> <x> <y> <width> <height> \"<text>\" [\"<help>\"]");
            ControlDesc c;
            c.cls = w[0];
            if (!toInt(w[1], c.id) || !toInt(w[2], c.x) || !toInt(w[3], c.y) || !toInt(w[4], c.width) ||
                !toInt(w[5], c.height))
                return fail("bad number");
            for (const ControlDesc& other : current.controls)
                if (other.cls == c.cls && other.id == c.id) return fail("duplicate " + c.cls + " " + w[1]);
            c.text = String(w[6]);
            if (w.size() == 8) c.help = String(w[7]);
            current.controls.push_back(std::move(c));
        }
        if (end == text.size()) break;
    }
    if (open != Block::None) return fail("missing end");
    for (auto& [id, d] : foundDialogs) dialogs()[id] = std::move(d);
    for (auto& [id, d] : foundMenus) menus()[id] = std::move(d);
    for (auto& [id, d] : foundBoxes) toolBoxes()[id] = std::move(d);
    for (auto& [id, d] : foundImages) {
        QImage img(d.width, d.height, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (uint32_t c : d.palette) table.push_back(qRgb(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF));
        img.setColorTable(table);
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) img.setPixel(x, y, d.pixels[static_cast<std::size_t>(y) * d.width + x]);
        const int bits = d.palette.size() <= 2 ? 1 : d.palette.size() <= 16 ? 4 : 8;
        registerImage(id, makeBitmap(img, bits));
    }
    return true;
}

const MenuDesc* findMenu(int id) {
    auto it = menus().find(id);
    return it == menus().end() ? nullptr : &it->second;
}

const ToolBoxDesc* findToolBox(int id) {
    auto it = toolBoxes().find(id);
    return it == toolBoxes().end() ? nullptr : &it->second;
}

const DialogDesc* findDialog(int id) {
    auto it = dialogs().find(id);
    return it == dialogs().end() ? nullptr : &it->second;
}

}  // namespace gui
