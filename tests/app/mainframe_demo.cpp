// The main frame as a real X11 program: two worksheet windows tiled under the tool box and
// above the status bar, then the same with the tool box hidden.  Saves both screenshots
// (WKELVO_TEST_SHOTS) and prints where the bars and the document area lie, top to bottom.
#include <QImage>

#include <cstdio>

#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"
#include "platform/gui/StatusBar.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/gui_test.h"

namespace {

void settle(KMainFrame& frame) {
    for (int i = 0; i < 20; ++i) Application::reschedule();
    frame.update();
}

// One line per shot: the bottom of the tool box (-1 when hidden), the document area's top and
// bottom, and the status bar's top.
void report(KMainFrame& frame, const char* name) {
    ToolBox* box = frame.toolBox(frame.currentToolBox());
    const long toolBottom = box && box->isVisible() ? box->getPosPixel().y + box->getSizePixel().height : -1;
    const Rectangle client = frame.getClientRect();
    const long statusTop = frame.statusBar()->isVisible() ? frame.statusBar()->getPosPixel().y : -1;
    const bool saved = gui::test::saveShot(gui::test::grabWindow(frame), name);
    std::printf("%s tool=%ld area=%ld..%ld status=%ld windows=%d saved=%d\n", name, toolBottom, static_cast<long>(client.top),
                static_cast<long>(client.bottom), statusTop, Application::getMDIWindowCount(), saved ? 1 : 0);
}

class DemoApp : public KWorksheetApp {
public:
    DemoApp() {
        onLoopRunning = [](KWorksheetApp& app) {
            KMainFrame& frame = *app.frame;
            frame.frame_command(1101, 0);
            frame.frame_command(1352, 0);   // tile
            settle(frame);
            report(frame, "frame_with_tool_box");
            frame.frame_command(1201, 0);   // hide the tool box
            settle(frame);
            report(frame, "frame_without_tool_box");
            frame.frame_command(1201, 0);
            std::fflush(stdout);
            Application::quit();
        };
    }
};

DemoApp application;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
