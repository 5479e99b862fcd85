// gui_demo: opens a 320 x 200 window through the GUI layer, draws a red line, a blue filled
// rectangle and the cp1252 text "Caf\xE9 \x80" in Arial, grabs the window as the screen shows it
// and checks its pixels.  Exit code 0 when every check holds.
//
//   gui_demo            check and exit (runs under QT_QPA_PLATFORM=offscreen in CTest)
//   gui_demo --hold     check, then keep the window open until it is closed (X11 or Xvfb)
//   gui_demo --pos X Y  place the window at screen position X, Y first

#include <QGuiApplication>
#include <QImage>

#include "platform/gui/Application.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "tests/platform/gui/demo_support.h"

namespace {

constexpr int kWidth = 320, kHeight = 200;
const Rectangle kFill(40, 80, 139, 159);
const Point kTextAt(10, 10);
const String kText("Caf\xE9 \x80");

class DemoWindow : public WorkWindow {
public:
    DemoWindow() : WorkWindow(nullptr, WB_FRAME) {}
    void paint(const Rectangle& r) override {
        erase(r);
        setPen(Pen(Color::fromRGB8(255, 0, 0)));
        drawLine(Point(10, 50), Point(300, 50));
        setPen(Pen(Color::fromRGB8(0, 0, 255)));
        setFillInBrush(Brush(Color::fromRGB8(0, 0, 255)));
        drawRect(kFill);
        Font f("Arial", Size(0, 16));  // 12 points at 96 dots per inch
        f.setColor(Color(COL_BLACK));
        setFont(f);
        drawText(kTextAt, kText);
    }
};

using demo::check;

bool isDark(QRgb c) { return qRed(c) < 128 && qGreen(c) < 128 && qBlue(c) < 128; }

class DemoApp : public Application {
public:
    void Main(int argc, char** argv) override {
        const demo::Args args = demo::parseArgs(argc, argv);
        DemoWindow w;
        w.setText("gui_demo");
        w.setPosSizePixel(Point(args.x, args.y), Size(kWidth, kHeight));
        w.show();
        w.invalidate();
        w.update();

        QImage img = gui::test::grabWindow(w);
        gui::test::saveShot(img, "gui_demo");
        check(img.width() == kWidth && img.height() == kHeight, "window image is 320 x 200");
        if (img.width() == kWidth && img.height() == kHeight) {
            for (int x = 10; x <= 300; ++x) check(img.pixel(x, 50) == qRgb(255, 0, 0), "red line pixel");
            for (int y = kFill.top + 1; y < kFill.bottom; ++y)
                for (int x = kFill.left + 1; x < kFill.right; ++x)
                    check(img.pixel(x, y) == qRgb(0, 0, 255), "fill colour inside the rectangle");
            Size ts = w.getTextSize(kText);
            check(ts.width > 20 && ts.height > 10, "text has a measured size");
            int dark = 0;
            for (int y = kTextAt.y; y < kTextAt.y + ts.height; ++y)
                for (int x = kTextAt.x; x < kTextAt.x + ts.width; ++x) dark += isDark(img.pixel(x, y));
            check(dark > 20, "dark pixels inside the text's box");
            // Outside the text box, above the line: only the background.
            for (int y = 0; y < 45; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    bool inText = x >= kTextAt.x && x < kTextAt.x + ts.width && y >= kTextAt.y &&
                                  y < kTextAt.y + ts.height;
                    if (!inText && img.pixel(x, y) != qRgb(255, 255, 255)) {
                        check(false, "only background outside the text box");
                        y = 45;
                        break;
                    }
                }
        }
        demo::report();
        if (args.hold) Application::execute();
    }
};

DemoApp app;

}  // namespace

int main(int argc, char** argv) {
    gui::runProgram(argc, argv);
    return demo::failures == 0 ? 0 : 1;
}
