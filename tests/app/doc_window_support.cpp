// The document window tests' application window, recording frame and numbered-lines window.
#include "tests/app/doc_window_support.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

namespace docwin_test {

AppWindowScope::AppWindowScope() : window_(std::make_unique<WorkWindow>(nullptr, WB_APP_FRAME)) {
    window_->setSizePixel(Size(900, 700));
    window_->show();
    Application::setAppWindow(window_.get());
}

AppWindowScope::~AppWindowScope() {
    if (Application::getAppWindow() == window_.get()) Application::setAppWindow(nullptr);
}

RecordingFrame::RecordingFrame() {
    fileMenu.insertItem(KDocWindow::kAutoSaveItem, "A~uto Save Settings", MIB_CHECKABLE);
    viewMenu.insertItem(KDocWindow::kToolBarItem, "~Tool Bar", MIB_CHECKABLE);
    viewMenu.insertItem(KDocWindow::kStatusLineItem, "~Status Line", MIB_CHECKABLE);
    viewMenu.insertItem(KDocWindow::kContextBarItem, "~Context Bar", MIB_CHECKABLE);
    helpMenu.insertItem(KDocWindow::kBalloonHelpItem, "~Balloon Help", MIB_CHECKABLE);
    KMainFrameInterface::setCurrent(this);
}

RecordingFrame::~RecordingFrame() {
    if (KMainFrameInterface::current() == this) KMainFrameInterface::setCurrent(nullptr);
}

void RecordingFrame::setMenuBar(int id) {
    menuBar = id;
    calls.push_back("menubar " + std::to_string(id));
}

void RecordingFrame::setToolBar(int id) {
    toolBar = id;
    calls.push_back("toolbar " + std::to_string(id));
}

void RecordingFrame::setContextBar(int index, void* owner, std::intptr_t) {
    contextBar = index;
    contextOwner = owner;
    calls.push_back("contextbar " + std::to_string(index));
}

Menu* RecordingFrame::frameMenu(int menuId) {
    switch (menuId) {
    case KDocWindow::kFileMenu: return &fileMenu;
    case KDocWindow::kViewMenu: return &viewMenu;
    case KDocWindow::kHelpMenu: return &helpMenu;
    default: return nullptr;
    }
}

LinesDocument::LinesDocument(int lines, int lineHeight, int widthIn) : heights(lines, lineHeight), width(widthIn) {}

int LinesDocument::height() const { return std::accumulate(heights.begin(), heights.end(), 0); }

int LinesDocument::lineTop(int index) const {
    return std::accumulate(heights.begin(), heights.begin() + std::min<std::size_t>(index, heights.size()), 0);
}

LinesWindow::LinesWindow(KFrameAdaptor* adaptor, int createFlags, LinesDocument* doc)
    : KScrolledDocWindow(adaptor, createFlags), document(doc) {
    setDocumentSize(doc->width, doc->height());
}

void LinesWindow::paint(const Rectangle& r) {
    painted.push_back(r);
    push();
    intersectClipRegion(r);
    setBackgroundBrush(Brush(Color(COL_LIGHTGRAY)));
    erase(r);
    // Lines: a band of their own colour, a stripe every 40 document pixels, their number.
    Font f("Arial", Size(0, 14));
    f.setColor(Color(COL_BLACK));
    setFont(f);
    int top = scrollY;
    for (std::size_t i = 0; i < document->heights.size(); ++i) {
        int h = document->heights[i];
        if (top + h > r.top && top <= r.bottom) {
            uint8_t shade = static_cast<uint8_t>(160 + (i % 4) * 25);
            setPen(Pen(Color(), 0, PEN_NULL));
            setFillInBrush(Brush(Color::fromRGB8(shade, 255, static_cast<uint8_t>(255 - shade))));
            drawRect(Rectangle(Point(scrollX, top), Size(document->width, h)));
            setPen(Pen(Color::fromRGB8(0, 0, 200)));
            for (int x = 0; x < document->width; x += 40) {
                long wx = scrollX + x;
                if (wx >= r.left && wx <= r.right) drawLine(Point(wx, top), Point(wx, top + h - 1));
            }
            // The number at the start of every 200 pixels, so that it shows wherever the view is.
            const std::string number = "Line " + std::to_string(i + 1);
            for (int x = 0; x < document->width; x += 200) drawText(Point(scrollX + x + 4, top + 2), String(number.c_str()));
        }
        top += h;
    }
    pop();
}

QImage canvasImage(LinesWindow& w) {
    Size c = w.canvasSize();
    return gui::test::grabBackBuffer(w).copy(0, 0, c.width, c.height);
}

QImage freshCanvasImage(LinesWindow& w) {
    w.invalidate();
    w.update();
    return canvasImage(w);
}

}  // namespace docwin_test
