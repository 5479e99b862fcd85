// The document window tests' application window, recording frame and numbered-lines window.
#include "tests/app/doc_window_support.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "document/edit/Document.h"
#include "document/styles/StyleSet.h"
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
    auto* shown = new Document;
    shown->styleSet()->buildDefaultStyles();
    view = std::make_unique<WindowView>(shown, this, &fonts);
    afterScroll();
    setDocumentSize(doc->width, doc->height());
}

LinesWindow::~LinesWindow() { view.reset(); }

void LinesWindow::afterScroll() {
    ++afterCalls;
    if (view) view->setScrollOrigin(-scrollX, -scrollY);
}

void LinesWindow::paint(const Rectangle& r) {
    painted.push_back(r);
    push();
    intersectClipRegion(r);
    setBackgroundBrush(Brush(Color(COL_LIGHTGRAY)));
    erase(r);
    // The painted rectangle in document coordinates.
    ElementPoint from, to;
    view->windowToDocument(ElementPoint{r.left, r.top}, from);
    view->windowToDocument(ElementPoint{r.right, r.bottom}, to);
    // Lines: a band of their own colour, a stripe every 40 document pixels, the number every
    // 200, in the Normal paragraph style.
    view->selectStyleParts(-1, 0, -1, false);
    int top = 0;
    for (std::size_t i = 0; i < document->heights.size(); ++i) {
        int h = document->heights[i];
        if (top + h > from.y && top <= to.y) {
            std::uint32_t shade = 160 + (i % 4) * 25;
            view->setPen(0, 0, 0, 0, false);   // no outline
            view->fillRect(ElementRect{0, top, document->width, h}, shade | 0xFF00u | ((255 - shade) << 16), 0, 1);
            view->setPen(0xC80000u, 0, 0, 1, false);
            for (int x = 0; x < document->width; x += 40)
                if (x >= from.x && x <= to.x) view->drawLine(ElementPoint{x, top}, ElementPoint{x, top + h - 1}, 0);
            const std::string number = "Line " + std::to_string(i + 1);
            for (int x = 0; x < document->width; x += 200)
                view->drawText(ElementPoint{x + 4, top + 2}, number.c_str(), int(number.size()), false);
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
