// frames_demo: the window frames on a real display, driven from outside.  The test application
// window (style 1520) holds two MDI frames side by side, each with a document window that
// paints its paper through a WindowView (first green, second blue), and a top-level frame with
// a third (red) beside it.
//
// It prints "READY <report>" when shown, then answers commands read from standard input, one a
// line, each with "REPORT <report>": report, maximize, restore, minimize (all on the first MDI
// frame), quit.  A report is "key=value" words: the MDI area and the second frame's centre on
// the screen, and the first frame's state.

#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "app/KDocFrame.h"
#include "app/KScrolledDocWindow.h"
#include "document/edit/Document.h"
#include "document/views/WindowView.h"
#include "platform/gui/Application.h"
#include "platform/gui/DescriptorWatch.h"

namespace {

// A document window whose paper is one colour, painted through its view.
class PaperWindow : public KScrolledDocWindow {
public:
    PaperWindow(KFrameAdaptor* adaptor, FontCache* cache, std::uint32_t rgb)
        : KScrolledDocWindow(adaptor, 0), rgb_(rgb), view_(new Document, this, cache) {}
    void paint(const Rectangle&) override {
        Size s = getOutputSizePixel();
        view_.setViewSize(s.width, s.height);
        view_.fillRect({0, 0, s.width, s.height}, rgb_, 0, 1);
    }

private:
    std::uint32_t rgb_;
    WindowView view_;
};

std::string report(WorkWindow& app, KDocFrame& first, KDocFrame& second) {
    Rectangle area = app.getClientRect();
    Point areaOrigin = app.outputToScreenPixel(Point(area.left, area.top));
    Size s = second.frameWindow()->getOutputSizePixel();
    Point centre = second.frameWindow()->outputToScreenPixel(Point(s.width / 2, s.height / 2));
    std::ostringstream out;
    out << "ax=" << areaOrigin.x << " ay=" << areaOrigin.y << " aw=" << area.getWidth() << " ah=" << area.getHeight()
        << " cx=" << centre.x << " cy=" << centre.y << " max=" << first.isMaximized() << " min=" << first.isMinimized();
    return out.str();
}

class DemoApp : public Application {
public:
    void Main(int, char**) override {
        FontCache cache;
        FontCache::setProgram(&cache);
        WorkWindow app(nullptr, WB_APP_FRAME);
        app.setText("frames_demo");
        app.setPosSizePixel(Point(0, 0), Size(900, 600));
        app.show();
        Application::setAppWindow(&app);

        KMDIFrame* first = KMDIFrame::create();
        (new PaperWindow(first, &cache, 0x00A000))->show();
        first->setTitle("First");
        first->frameWindow()->setPosSizePixel(Point(10, 10), Size(300, 220));
        first->showFrame(true);
        KMDIFrame* second = KMDIFrame::create();
        (new PaperWindow(second, &cache, 0xC00000))->show();
        second->setTitle("Second");
        second->frameWindow()->setPosSizePixel(Point(330, 10), Size(300, 220));
        second->showFrame(true);
        auto* top = new KTopFrame(nullptr);
        (new PaperWindow(top, &cache, 0x0000C0))->show();
        top->setTitle("Top-level frame");
        top->frameWindow()->setPosSizePixel(Point(650, 300), Size(220, 160));
        top->showFrame(true);
        std::printf("READY %s\n", report(app, *first, *second).c_str());
        std::fflush(stdout);

        std::string pending;
        DescriptorWatch watch(0, [&] {
            char buf[256];
            ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) {
                Application::quit();
                return;
            }
            pending.append(buf, static_cast<std::size_t>(n));
            std::size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                std::string cmd = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                if (cmd == "quit") {
                    Application::quit();
                    return;
                }
                if (cmd == "maximize") first->maximize();
                if (cmd == "restore") first->restore();
                if (cmd == "minimize") first->minimize();
                if (cmd == "restore-max") first->frameWindow()->restore();
                std::printf("REPORT %s\n", report(app, *first, *second).c_str());
                std::fflush(stdout);
            }
        });
        Application::execute();
        delete top;
        delete second;
        delete first;
        Application::setAppWindow(nullptr);
        FontCache::setProgram(nullptr);
    }
};

DemoApp demoApp;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
