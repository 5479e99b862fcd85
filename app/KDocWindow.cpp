// Document windows: menu bar and tool bar switching, the option check marks, the context bar
// and the frame's defaults after the last window.
#include "app/KDocWindow.h"

#include "app/KFrameAdaptor.h"
#include "app/KMainFrameInterface.h"
#include "options/KOptions.h"
#include "platform/gui/Application.h"
#include "platform/gui/Menu.h"

namespace {

int liveDocWindows = 0;

void checkFrameItem(KMainFrameInterface& frame, int menuId, int itemId, bool on) {
    if (Menu* menu = frame.frameMenu(menuId)) menu->checkItem(static_cast<uint16_t>(itemId), on);
}

}  // namespace

KDocWindow::KDocWindow(KFrameAdaptor* adaptorIn, uint32_t style)
    : Window(Application::getAppWindow(), style), adaptor(adaptorIn) {
    ++liveDocWindows;
    if (adaptor) adaptor->setHeldWindow(this);
}

KDocWindow::~KDocWindow() {
    --liveDocWindows;
    hide();
    KMainFrameInterface* frame = KMainFrameInterface::current();
    if (!frame) return;
    frame->setContextBar(KMainFrameInterface::kRemoveContextBar, nullptr, 0);
    if (frame->documentWindowCount() == 0) {
        frame->setMenuBar(KMainFrameInterface::kDefaultMenuBar);
        frame->setToolBar(KMainFrameInterface::kDefaultToolBar);
        frame->setContextBar(kDefaultContextBar, nullptr, 0);
    }
}

int KDocWindow::liveCount() { return liveDocWindows; }

Size KDocWindow::setSizePixelOut(const Size& size) {
    setSizePixel(size);
    return getSizePixel();
}

void KDocWindow::setMenuBarId(int id) {
    menuBarId = id;
    KMainFrameInterface* frame = KMainFrameInterface::current();
    if (frame && frame->isActiveWorksheetWindow(this)) frame->setMenuBar(id);
}

void KDocWindow::activate() {
    KMainFrameInterface* frame = KMainFrameInterface::current();
    if (!frame) return;
    frame->setMenuBar(menuBarId);
    frame->setToolBar(toolBarId);
    const KOptions* options = theOptions;
    if (!options) return;
    checkFrameItem(*frame, kFileMenu, kAutoSaveItem, options->saveOptions);
    checkFrameItem(*frame, kViewMenu, kToolBarItem, options->showToolBar);
    checkFrameItem(*frame, kViewMenu, kStatusLineItem, options->showStatusBar);
    checkFrameItem(*frame, kViewMenu, kContextBarItem, options->showContextBar);
    checkFrameItem(*frame, kHelpMenu, kBalloonHelpItem, options->balloonHelp);
    Help::enableBalloons(options->balloonHelp);
}

bool KDocWindow::command(int, std::intptr_t) { return false; }

bool KDocWindow::closeQuery() {
    delete this;
    return true;
}

void KDocWindow::setContextBar(int index, int toolBar) {
    contextBarIndex = index;
    toolBarId = toolBar;
}

void KDocWindow::setContextBarFor(int index, void* owner, std::intptr_t data) {
    KMainFrameInterface* frame = KMainFrameInterface::current();
    if (frame && frame->isActiveWorksheetWindow(this)) frame->setContextBar(index, owner, data);
}
