// grid_demo: a 640 x 480 top-level window holding a 100 x 52 grid on a yellow sheet whose
// notification procedure writes "row,column" into every cell.  It grabs the window as the
// screen shows it and checks the headers, the grid lines, the sheet colour and the cell texts.
// Exit code 0 when every check holds.
//
//   grid_demo            check and exit (runs under QT_QPA_PLATFORM=offscreen in CTest)
//   grid_demo --hold     check, then keep the window open until it is closed (X11 or Xvfb)
//   grid_demo --pos X Y  place the window at screen position X, Y first
//
// Layout (pixels, window coordinates): row headers 40 wide, column headers 22 high, columns
// 64 wide, rows 25 high; cell (column c, row r) starts at (40 + 64 (c - 1), 22 + 25 (r - 1)).

#include <QImage>

#include <cstdio>

#include "platform/grid/grid.h"
#include "platform/gui/Application.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "tests/platform/gui/demo_support.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kRowHeight = 25;

long drawCell(SSHandle, int code, uintptr_t, const SSNotifyRecord* rec) {
    if (code != SS_NOTIFY_DRAWCELL) return 0;
    OutputDevice& dev = *rec->device;
    Font f("Arial", Size(0, 13));
    f.setColor(Color(COL_BLACK));
    dev.setFont(f);
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d", static_cast<int>(rec->row), static_cast<int>(rec->column));
    dev.drawText(Point(rec->left + 3, rec->top + 4), String(text));
    return 0;
}

using demo::check;

bool isDark(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }

int darkIn(const QImage& img, int x, int y, int w, int h) {
    int n = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) n += isDark(img.pixel(i, j));
    return n;
}

class DemoApp : public Application {
public:
    void Main(int argc, char** argv) override {
        const demo::Args args = demo::parseArgs(argc, argv);
        WorkWindow w(nullptr, WB_FRAME);
        w.setText("grid_demo");
        w.setPosSizePixel(Point(args.x, args.y), Size(kWidth, kHeight));
        SSHandle grid = grid_create(w.getNativeHandle(), 0, 0, kWidth, kHeight, 1);
        check(static_cast<bool>(grid), "grid made");
        SSSetRowCount(grid, 100);
        SSSetColumnCount(grid, 52);
        SSSetRowHeight(grid, SS_ALL, kRowHeight);
        SSSetBlockColor(grid, 0, 0, SS_ALL, SS_ALL, 0x0000FFFF, SS_COLOR_UNCHANGED);
        SSSetNotifyProc(grid, &drawCell);
        w.show();
        w.update();

        QImage img = gui::test::grabWindow(w).convertToFormat(QImage::Format_RGB32);
        gui::test::saveShot(img, "grid_demo");
        check(img.width() == kWidth && img.height() == kHeight, "window image is 640 x 480");
        if (img.width() == kWidth && img.height() == kHeight) {
            const QRgb yellow = qRgb(255, 255, 0), line = qRgb(192, 192, 192);
            SSRect c22, c53;
            check(SSGetCellRect(grid, 2, 2, &c22) && SSGetCellRect(grid, 5, 3, &c53), "cell rectangles");
            check(c22.left == 104 && c22.top == 47, "cell (2, 2) where the layout puts it");
            // The sheet colour in a corner of a cell, away from its text.
            check(img.pixel(c53.right - 3, c53.bottom - 3) == yellow, "yellow sheet in cell (5, 3)");
            check(img.pixel(c22.right - 3, c22.bottom - 3) == yellow, "yellow sheet in cell (2, 2)");
            // Grid lines right of and below a cell.
            check(img.pixel(c22.right, c22.top + 5) == line, "vertical grid line");
            check(img.pixel(c22.left + 5, c22.bottom) == line, "horizontal grid line");
            // The texts of visible cells and the header labels: dark pixels where they are.
            check(darkIn(img, c22.left, c22.top, c22.right - c22.left, c22.bottom - c22.top) > 10, "text in cell (2, 2)");
            check(darkIn(img, c53.left, c53.top, c53.right - c53.left, c53.bottom - c53.top) > 10, "text in cell (5, 3)");
            check(darkIn(img, c22.left, 0, c22.right - c22.left, 21) > 5, "column header B");
            check(darkIn(img, 0, c22.top, 39, c22.bottom - c22.top) > 3, "row header 2");
            check(img.pixel(c22.left + 2, 3) != yellow, "headers are not the sheet colour");
        }
        demo::report();
        if (args.hold) Application::execute();
        grid_destroy(grid);
    }
};

DemoApp app;

}  // namespace

int main(int argc, char** argv) {
    gui::runProgram(argc, argv);
    return demo::failures == 0 ? 0 : 1;
}
