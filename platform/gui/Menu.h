#pragma once
// Menus and pop-up menus over QMenu.  Items carry the program's command ids; texts use "~"
// before the mnemonic (shown as "&"; a literal "&" stays visible); help texts become status tips
// and, while balloon help is on, tool tips.
//
// Positions index the menu's items, separators included; getItemPos answers ITEM_NOTFOUND
// (0xFFFF) for an absent id.  Id searches include sub-menus.
//
// Selecting an item first offers (273, id, 0) to the application's system message hook; a
// non-zero answer consumes the command.  Otherwise the select handler of the item's menu runs
// with that menu, or, when it has none, the handler of the nearest menu above it (a menu bar's
// handler sees the items of its sub-menus); getCurItemId of that menu tells the id.  PopupMenu::execute runs at a window point and answers the chosen
// id or 0; in the test mode it takes a ChooseMenuItem step.

#include <cstdint>
#include <memory>

#include "platform/gui/base/Link.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

class QMenu;
class Window;
struct ResId;

constexpr uint16_t ITEM_NOTFOUND = 0xFFFF;
constexpr uint16_t MENU_APPEND = 0xFFFF;

enum : uint32_t { MIB_CHECKABLE = 0x1, MIB_AUTOCHECK = 0x2 };

class Menu {
public:
    Menu();
    // Built from a menu resource, sub-menus included (the menu owns those); throws
    // std::runtime_error when the resource is missing or nests too deep.
    explicit Menu(const ResId& id);
    virtual ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    void insertItem(uint16_t id, const String& text, uint32_t bits = 0, uint16_t pos = MENU_APPEND);
    void insertSeparator(uint16_t pos = MENU_APPEND);
    void removeItem(uint16_t pos);
    uint16_t getItemCount() const;
    // 0 for a separator or a position past the end.
    uint16_t getItemId(uint16_t pos) const;
    uint16_t getItemPos(uint16_t id) const;
    void checkItem(uint16_t id, bool on = true);
    bool isItemChecked(uint16_t id) const;
    void enableItem(uint16_t id, bool on = true);
    bool isItemEnabled(uint16_t id) const;
    void setItemText(uint16_t id, const String& text);
    String getItemText(uint16_t id) const;
    void setHelpText(uint16_t id, const String& text);
    String getHelpText(uint16_t id) const;
    // The sub-menu attached to an item, or null; the menu does not own it.
    Menu* getPopupMenu(uint16_t id) const;
    void setPopupMenu(uint16_t id, Menu* popup);

    void setSelectHdl(const Link& l);
    void setActivateHdl(const Link& l);
    void setDeactivateHdl(const Link& l);
    void setHighlightHdl(const Link& l);
    uint16_t getCurItemId() const;

    QMenu* qmenu() const;
    struct Impl;
    Impl& impl() const { return *impl_; }

protected:
    std::unique_ptr<Impl> impl_;
};

class PopupMenu : public Menu {
public:
    PopupMenu() = default;
    explicit PopupMenu(const ResId& id) : Menu(id) {}
    // Runs at a point of the window (window pixels); the chosen id or 0.
    uint16_t execute(Window* window, const Point& pos);
};
