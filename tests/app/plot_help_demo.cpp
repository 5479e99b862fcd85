// plot_help_demo: the help page and plot windows in the real program on a real display, driven
// from outside.  The main frame holds two worksheet windows (the start-up one and a new one) and a plot window (a 2-D
// region stand-in in an MDI frame), tiled; the options come from the program's ini file, so
// that "PlotBGColor" colours the plot window.
//
// It prints "READY <report>" when shown, then answers commands read from standard input, one a
// line, each with "REPORT <report>":
//   help x y    opens a help page in its pop-up frame at (x, y) on the screen
//   state       reports only
//   quit        ends the program
// A report is "key=value" words: the help pages open, the MDI windows, the plot window's
// centre on the screen, the plot region's size and the plot window's canvas size, and whether
// a widget holds the mouse.
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "app/KDocFrame.h"
#include "app/KHelpPageWindow.h"
#include "app/KMainFrame.h"
#include "app/KPlotWindow.h"
#include "app/KWorksheetApp.h"
#include "document/elements/PlotElements.h"
#include "document/exec/WorksheetDocument.h"
#include "platform/gui/DescriptorWatch.h"

namespace {

KPlotWindow* plotWindow = nullptr;
std::unique_ptr<DescriptorWatch> input;
std::string pending;

void settle() {
    for (int i = 0; i < 20; ++i) Application::reschedule();
}

void report(const char* head) {
    const Size canvas = plotWindow->canvasSize();
    const Point centre = plotWindow->outputToScreenPixel(Point(canvas.width / 2, canvas.height / 2));
    std::ostringstream out;
    out << head << " pages=" << KHelpPageWindow::liveCount() << " windows=" << Application::getMDIWindowCount()
        << " px=" << centre.x << " py=" << centre.y << " rw=" << plotWindow->region()->plotWidth()
        << " rh=" << plotWindow->region()->plotHeight() << " cw=" << canvas.width << " ch=" << canvas.height
        << " grab=" << (QWidget::mouseGrabber() != nullptr);
    std::printf("%s\n", out.str().c_str());
    std::fflush(stdout);
}

void runCommand(KWorksheetApp& app, const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "quit") {
        Application::quit();   // the watch goes after the loop (a handler may not delete it)
        return;
    }
    if (command == "help") {
        long x = 0, y = 0;
        words >> x >> y;
        auto* frame = new KHelpPageFrame(nullptr);
        frame->frameWindow()->setPosSizePixel(Point(x, y), Size(260, 140));
        new KHelpPageWindow(std::make_unique<WorksheetDocument>("Kelvo Library Help demo"), frame,
                            app.frame->windowRegistry(), nullptr, 1021, 1000);
        settle();
    }
    report("REPORT");
}

class DemoApp : public KWorksheetApp {
public:
    DemoApp() {
        onLoopRunning = [](KWorksheetApp& app) {
            worksheetHost().connectKernel = connectNoKernel;
            KMainFrame& frame = *app.frame;
            frame.frame_command(1101, 0);   // the second worksheet: the program starts with one
            KMDIFrame* plotFrame = KMDIFrame::create();
            plotWindow = new KPlotWindow(new PlotRegion2D(nullptr, nullptr), plotFrame, frame.windowRegistry(),
                                         nullptr, 1021, 1000);
            plotWindow->open(nullptr);
            frame.frame_command(1352, 0);   // tile
            settle();
            frame.update();
            report("READY");
            input = std::make_unique<DescriptorWatch>(0, [&app] {
                char buf[256];
                const ssize_t n = ::read(0, buf, sizeof buf);
                if (n <= 0) {
                    Application::quit();
                    return;
                }
                pending.append(buf, static_cast<std::size_t>(n));
                std::size_t eol;
                while ((eol = pending.find('\n')) != std::string::npos) {
                    const std::string line = pending.substr(0, eol);
                    pending.erase(0, eol + 1);
                    runCommand(app, line);
                }
            });
        };
    }
    void Main(int argc, char** argv) override {
        KWorksheetApp::Main(argc, argv);
        input.reset();
    }
};

DemoApp application;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
