// zoom_shots_demo: the worksheet program on a real display, its worksheet window shown at 50 %
// and at 200 % with the group ranges shown and hidden.  For each of the four states it saves the
// window as the screen shows it into the folder named by ZOOM_SHOTS_DIR (<zoom>-<ranges>.png)
// and prints "SHOT <zoom>-<ranges> ink=<pixels that are not white>"; then, back at 100 %, the
// Print Preview dialog's preview area with the first page ("SHOT preview-page1 ink=<pixels on
// the page that are not white>"); then "DONE" and it ends.  The worksheet to show is the
// program's first argument, as for wkelvo.
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/PrintPreviewDialog.h"
#include "app/PrintView.h"
#include "document/exec/WorksheetDocument.h"
#include "document/views/WindowView.h"
#include "platform/gui/PreviewPage.h"
#include "platform/gui/Printer.h"
#include "platform/gui/gui_test.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) Application::reschedule();
}

long inkOf(const QImage& image) {
    long ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += (image.pixel(x, y) & 0xffffffu) != 0xffffffu ? 1 : 0;
    return ink;
}

void save(const QImage& image, const char* name, long ink) {
    const char* folder = std::getenv("ZOOM_SHOTS_DIR");
    if (folder) image.save(QString::fromStdString(std::string(folder) + "/" + name + ".png"));
    std::printf("SHOT %s ink=%ld\n", name, ink);
    std::fflush(stdout);
}

void shoot(KWorksheetWindow& window, int zoomCommand, bool ranges, const char* name) {
    if (window.view()->showGroupRanges != ranges) window.window_command(1211, nullptr, 0);
    window.window_command(zoomCommand, nullptr, 0);
    window.invalidate();
    settle();
    const QImage image = gui::test::grabWindow(window);
    save(image, name, inkOf(image));
}

// The preview dialog over the window's pages, shown without its modal loop.
void shootPreview(KWorksheetWindow& window) {
    window.window_command(1803, nullptr, 0);
    Printer* printer = PrintView::programPrinter();
    if (!printer) {
        std::printf("FAIL no printer\n");
        return;
    }
    std::unique_ptr<PrintView> view = PrintView::create(window.document(), &window, true);
    view->formatForPrinter();
    PrintPreviewDialog dialog(&window, printer->getJobSetup(), *view);
    dialog.show();
    settle();
    // The page's ink leaves out the paper's frame along the window's edges.
    const QImage page = gui::test::grabWindow(dialog.firstPageWindow());
    save(gui::test::grabWindow(dialog.area()), "preview-page1", inkOf(page.copy(page.rect().adjusted(3, 3, -3, -3))));
}

class DemoApp : public KWorksheetApp {
public:
    DemoApp() {
        onLoopRunning = [](KWorksheetApp& app) {
            worksheetHost().connectKernel = connectNoKernel;
            app.frame->frame_command(1352, 0);   // tile: the one worksheet fills the main frame
            settle();
            if (KWorksheetWindow::all().empty()) {
                std::printf("FAIL no worksheet window\n");
            } else {
                KWorksheetWindow& window = *KWorksheetWindow::all().back();
                shoot(window, 1801, true, "zoom50-ranges");
                shoot(window, 1801, false, "zoom50-noranges");
                shoot(window, 1805, true, "zoom200-ranges");
                shoot(window, 1805, false, "zoom200-noranges");
                shootPreview(window);
                std::printf("DONE\n");
            }
            std::fflush(stdout);
            Application::quit();
        };
    }
};

DemoApp application;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
