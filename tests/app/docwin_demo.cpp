// docwin_demo: a scrolled document window on a real display, driven from outside.  The test
// application window (style 1520) holds an MDI frame; a test adaptor re-parents a scrolled
// document window showing numbered lines (centring flags set, scrolling on release) into it.
//
// It prints one line "READY <report>" when shown, then answers commands read from standard
// input, one a line:
//   report          prints "REPORT <report>"
//   resize W H      gives the MDI frame that output size, then reports
//   quit            ends the program
// A report is "key=value" words: the offset, the bars shown, the corner box, canvas and document
// sizes, the line step, the canvas's top-left and the vertical bar's lower arrow and the
// horizontal thumb's centre on the screen, the corner box's colour.

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "app/KScrollBar.h"
#include "platform/gui/Application.h"
#include "platform/gui/DescriptorWatch.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::LinesDocument;
using docwin_test::LinesWindow;

// The MDI frame: its held window always fills it.
class TestFrame : public MDIWindow {
public:
    explicit TestFrame(Window* parent) : MDIWindow(parent) {}
    void resize() override {
        if (held) held->setSizePixelOut(getOutputSizePixel());
    }
    KDocWindow* held = nullptr;
};

// The test adaptor: holds the document window in its MDI frame.
class MdiAdaptor : public docwin_test::HoldingAdaptor {
public:
    explicit MdiAdaptor(TestFrame* f) : frame(f) {}
    void setHeldWindow(KDocWindow* window) override {
        HoldingAdaptor::setHeldWindow(window);
        frame->held = window;
        if (!window) return;
        window->setParent(frame);
        window->setPosPixel(Point(0, 0));
        frame->resize();
        window->show();
    }
    TestFrame* frame;
};

// The centre of a sub-control of the bar's Qt scroll bar, in screen pixels.
Point barPart(KScrollBar& bar, QStyle::SubControl part) {
    auto* qbar = static_cast<QWidget*>(bar.getNativeHandle())->findChild<QScrollBar*>();
    if (!qbar) return Point();
    QStyleOptionSlider opt;
    opt.initFrom(qbar);
    opt.orientation = qbar->orientation();
    opt.minimum = qbar->minimum();
    opt.maximum = qbar->maximum();
    opt.sliderPosition = qbar->sliderPosition();
    opt.sliderValue = qbar->value();
    opt.singleStep = qbar->singleStep();
    opt.pageStep = qbar->pageStep();
    opt.upsideDown = qbar->invertedAppearance();
    if (opt.orientation == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
    QRect r = qbar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, qbar);
    QPoint g = qbar->mapToGlobal(r.center());
    return Point(g.x(), g.y());
}

std::string report(LinesWindow& w) {
    Size c = w.canvasSize();
    Point origin = w.outputToScreenPixel(Point(0, 0));
    Point arrow = barPart(w.verticalBar(), QStyle::SC_ScrollBarAddLine);
    Point thumb = barPart(w.horizontalBar(), QStyle::SC_ScrollBarSlider);
    std::ostringstream s;
    s << "x=" << w.scrollX << " y=" << w.scrollY << " hbar=" << w.isHorizontalBarShown()
      << " vbar=" << w.isVerticalBarShown() << " corner=" << w.cornerBox().isVisible() << " cw=" << c.width
      << " ch=" << c.height << " dw=" << w.docWidth << " dh=" << w.docHeight << " step=" << w.vLineStep
      << " sx=" << origin.x << " sy=" << origin.y << " arrowx=" << arrow.x << " arrowy=" << arrow.y
      << " thumbx=" << thumb.x << " thumby=" << thumb.y;
    RGB8 corner{};
    namedColorRGB8(KScrolledDocWindow::kCornerColour, corner);
    s << " corner_rgb=srgb(" << int(corner.r) << "," << int(corner.g) << "," << int(corner.b) << ")";
    return s.str();
}

class DemoApp : public Application {
public:
    void Main(int, char**) override {
        WorkWindow app(nullptr, WB_APP_FRAME);
        app.setText("docwin_demo");
        app.setPosSizePixel(Point(0, 0), Size(1000, 740));
        app.show();
        Application::setAppWindow(&app);

        auto* frame = new TestFrame(&app);
        frame->setText("Numbered lines");
        frame->setPosPixel(Point(10, 10));
        frame->setSizePixel(Size(420, 320));
        frame->show();
        MdiAdaptor adaptor(frame);
        LinesDocument doc(25, 20, 700);
        auto* w = new LinesWindow(&adaptor, KScrolledDocWindow::CREATE_CENTRE_H | KScrolledDocWindow::CREATE_CENTRE_V,
                                  &doc);
        w->update();
        std::printf("READY %s\n", report(*w).c_str());
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
                std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                std::istringstream in(line);
                std::string cmd;
                in >> cmd;
                if (cmd == "quit") {
                    Application::quit();
                    return;
                }
                if (cmd == "resize") {
                    int width = 0, height = 0;
                    in >> width >> height;
                    frame->setSizePixel(Size(width, height));
                    w->update();
                }
                std::printf("REPORT %s\n", report(*w).c_str());
                std::fflush(stdout);
            }
        });
        Application::execute();
        delete w;
        delete frame;
        Application::setAppWindow(nullptr);
    }
};

DemoApp demoApp;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
