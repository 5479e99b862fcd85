#pragma once
// WindowProxy: the show, place, size and focus operations of a window, over any window of the
// GUI layer, behind the abstract interface KWindowOperations.  The window is borrowed: the
// proxy neither owns nor deletes it, and its owner keeps it alive while the proxy is used.
// A plain window is never minimised or maximised, so both state queries answer false.

#include <cstdint>

class Window;

// A destructor and eleven operations, all abstract.
class KWindowOperations {
public:
    virtual ~KWindowOperations() = default;
    virtual void show(bool visible) = 0;
    virtual void setPos(int32_t x, int32_t y) = 0;
    virtual void getPos(int32_t& x, int32_t& y) const = 0;
    virtual void getSize(int32_t& width, int32_t& height) const = 0;
    virtual void setSize(int32_t width, int32_t height) = 0;
    virtual bool isMinimized() const = 0;
    virtual bool isMaximized() const = 0;
    // Kept for its place; does nothing.
    virtual void reservedOperation() = 0;
    virtual void grabFocus() = 0;
    virtual bool hasFocus() const = 0;
    // The wait pointer when busy, the normal pointer otherwise.
    virtual void setBusyPointer(bool busy) = 0;
};

class WindowProxy : public KWindowOperations {
public:
    explicit WindowProxy(Window* window) : window_(window) {}

    void show(bool visible) override;
    void setPos(int32_t x, int32_t y) override;
    void getPos(int32_t& x, int32_t& y) const override;
    void getSize(int32_t& width, int32_t& height) const override;
    void setSize(int32_t width, int32_t height) override;
    bool isMinimized() const override { return false; }
    bool isMaximized() const override { return false; }
    void reservedOperation() override {}
    void grabFocus() override;
    bool hasFocus() const override;
    void setBusyPointer(bool busy) override;

    Window* window() const { return window_; }

private:
    Window* window_;   // borrowed; null does nothing
};
