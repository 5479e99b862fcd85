#pragma once
// ToolBox: a window of tool buttons in rows, built from a tool-box resource or item by item.
// Not a tool bar: the frame places and sizes the box itself (calcWindowSize tells the size it
// needs).
//
// Items, in order: buttons (id, text, help text, an image), separators (a gap in the row) and
// breaks (the next item starts a new row).  A button shows its image when it has one, else its
// text.  Handlers: activate (the pointer enters the box), deactivate (it leaves), highlight (a
// button comes under the pointer; getCurItemId tells which), select (a button was clicked;
// getCurItemId tells which).  Positions index every item, separators and breaks included.

#include <cstdint>
#include <memory>

#include "platform/gui/Bitmap.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/Link.h"
#include "platform/gui/base/String.h"

struct ResId;

enum : int { TOOLBOXITEM_DONTKNOW = 0, TOOLBOXITEM_BUTTON = 1, TOOLBOXITEM_SEPARATOR = 3, TOOLBOXITEM_BREAK = 4 };
constexpr uint16_t TOOLBOX_ITEM_NOTFOUND = 0xFFFF;

class ToolBox : public Window {
public:
    explicit ToolBox(Window* parent, uint32_t style = 0);
    // From a tool-box resource; images named by the resource come from gui::registerImage.
    // Throws std::runtime_error when the resource is missing.
    ToolBox(Window* parent, const ResId& id);
    ~ToolBox() override;

    void insertItem(uint16_t id, const String& text, const String& help = String(), const Bitmap& image = Bitmap());
    void insertSeparator();
    void insertBreak();
    void clear();

    // The size the rows need, in pixels.
    Size calcWindowSize() const;

    uint16_t getItemCount() const;
    // TOOLBOXITEM_* of the item at a position; TOOLBOXITEM_DONTKNOW past the end.
    int getItemType(uint16_t pos) const;
    // 0 for separators, breaks and positions past the end.
    uint16_t getItemId(uint16_t pos) const;
    uint16_t getItemPos(uint16_t id) const;
    // Unknown ids are ignored (getters answer false and empty values).
    void checkItem(uint16_t id, bool on = true);
    bool isItemChecked(uint16_t id) const;
    void enableItem(uint16_t id, bool on = true);
    bool isItemEnabled(uint16_t id) const;
    void setItemText(uint16_t id, const String& text);
    String getItemText(uint16_t id) const;
    String getHelpText(uint16_t id) const;
    // The image can be replaced (recoloured images); an empty bitmap shows the text again.
    void setItemImage(uint16_t id, const Bitmap& image);
    Bitmap getItemImage(uint16_t id) const;
    // The button's rectangle in the box's pixels (empty for other items).
    Rectangle getItemRect(uint16_t id) const;

    void setSelectHdl(const Link& l);
    void setHighlightHdl(const Link& l);
    void setActivateHdl(const Link& l);
    void setDeactivateHdl(const Link& l);
    uint16_t getCurItemId() const;
    // Runs what a click on the button runs (test mode, keyboard).
    void click(uint16_t id);

    struct BoxImpl;

private:
    std::unique_ptr<BoxImpl> box_;
    void relayout();
};

namespace gui {
// Images by resource id, for tool boxes and the program (our own images, drawn for the project).
void registerImage(int id, const Bitmap& image);
Bitmap findImage(int id);
}  // namespace gui
