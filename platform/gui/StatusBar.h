#pragma once
// StatusBar: a bar of the layer's own drawing (no QStatusBar, so the program keeps its own
// layout): items with fixed pixel widths on the right, and a message.  While the items are
// hidden the message runs across the whole bar; while they show, it fills the room left of
// them.  The bar paints into its back buffer like any window.

#include <cstdint>
#include <memory>

#include "platform/gui/Window.h"

enum : uint16_t { SIB_LEFT = 0, SIB_CENTER = 1, SIB_RIGHT = 2 };

class StatusBar : public Window {
public:
    explicit StatusBar(Window* parent, uint32_t style = WB_POPUP_FRAME);
    ~StatusBar() override;

    // An item at the right end after the existing ones; width in pixels (negative counts as 0);
    // an existing id is replaced.
    void insertItem(uint16_t id, long width, uint16_t align = SIB_CENTER, uint16_t style = 0);
    void removeItem(uint16_t id);
    uint16_t getItemCount() const;
    void setItemText(uint16_t id, const String& text);
    String getItemText(uint16_t id) const;
    // The item's rectangle in bar pixels (empty when absent or hidden).
    Rectangle getItemRect(uint16_t id) const;
    void showItems();
    void hideItems();
    bool areItemsVisible() const;
    // The message text (the bar's own text; Window::setText would set a title).
    void setText(const String& text);
    String getText() const;
    // Height from the bar's font; width unchanged.
    Size calcWindowSizePixel() const;

    void paint(const Rectangle& r) override;

    struct BarImpl;

private:
    std::unique_ptr<BarImpl> bar_;
    void repaintBar();
};
