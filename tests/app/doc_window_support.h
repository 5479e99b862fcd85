#pragma once
// What the document window tests share: a test application window, a main frame that records
// what the document windows ask of it, a frame adaptor that only holds its window, and a
// scrolled document window showing a document of numbered lines.

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "app/KDocWindow.h"
#include "app/KFrameAdaptor.h"
#include "app/KMainFrameInterface.h"
#include "app/KScrolledDocWindow.h"
#include "document/views/FontCache.h"
#include "document/views/WindowView.h"
#include "platform/gui/Menu.h"
#include "platform/gui/Window.h"

namespace docwin_test {

// A style-1520 work window made the application window for the scope's life.
class AppWindowScope {
public:
    AppWindowScope();
    ~AppWindowScope();
    WorkWindow& window() { return *window_; }

private:
    std::unique_ptr<WorkWindow> window_;
};

// Records the frame calls as text ("menubar 1020", "toolbar 1000", "contextbar 0") and keeps
// the three menus with the option items; registered as the current frame for its life.
class RecordingFrame : public KMainFrameInterface {
public:
    RecordingFrame();
    ~RecordingFrame() override;

    void setMenuBar(int id) override;
    void setToolBar(int id) override;
    void setContextBar(int index, void* owner, std::intptr_t data) override;
    Menu* frameMenu(int menuId) override;
    bool isActiveWorksheetWindow(const KDocWindow* window) const override { return window && window == active; }

    // The calls since the last clear.
    std::vector<std::string> calls;
    const KDocWindow* active = nullptr;
    int menuBar = 0, toolBar = 0, contextBar = -1;
    void* contextOwner = nullptr;
    Menu fileMenu, viewMenu, helpMenu;
};

// An adaptor over the held window alone; counts what reached it.
class HoldingAdaptor : public KFrameAdaptor {
public:
    void setHeldWindow(KDocWindow* window) override {
        ++heldCalls;
        KFrameAdaptor::setHeldWindow(window);
    }
    bool isMinimized() const override { return false; }
    bool isMaximized() const override { return false; }
    void restore() override {}
    void maximize() override {}
    void minimize() override {}
    void setIcon(int) override {}
    void setPalette(const Palette&) override {}
    std::uintptr_t frameValue() const override { return 0; }
    void setTitle(const String&) override {}
    void toTop() override {}
    void showFrame(bool) override {}

    int heldCalls = 0;
};

// A document of numbered lines: each line has its own height, a band colour and its number every
// 200 pixels across; the columns are striped every 40 pixels so that horizontal moves show.
struct LinesDocument {
    std::vector<int> heights;
    int width = 0;

    LinesDocument(int lines, int lineHeight, int width);
    int height() const;
    int lineTop(int index) const;
};

// A scrolled document window painting a LinesDocument through a WindowView over itself (the
// view's document holds the default styles; its scroll origin follows the window's offset);
// records the rectangles it painted and the hooks' calls.
class LinesWindow : public KScrolledDocWindow {
public:
    LinesWindow(KFrameAdaptor* adaptor, int createFlags, LinesDocument* document);
    ~LinesWindow() override;

    void paint(const Rectangle& r) override;
    void beforeScroll() override { ++beforeCalls; }
    void afterScroll() override;
    void scrolled(long dx, long dy) override {
        ++scrolledCalls;
        lastScrolledX = dx;
        lastScrolledY = dy;
    }

    LinesDocument* document;
    FontCache fonts;
    std::unique_ptr<WindowView> view;   // owns its document (a document goes with its last view)
    std::vector<Rectangle> painted;
    int beforeCalls = 0, afterCalls = 0, scrolledCalls = 0;
    long lastScrolledX = 0, lastScrolledY = 0;
};

// The canvas part of the window's back buffer.
QImage canvasImage(LinesWindow& w);
// The canvas as a fresh paint of the whole window shows it.
QImage freshCanvasImage(LinesWindow& w);

}  // namespace docwin_test
