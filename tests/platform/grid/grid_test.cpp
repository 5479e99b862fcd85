// The grid control: counts and sizes, colours, owner drawing, headers, geometry, selection,
// the hook, user resizing, drops, and a grid changed or destroyed from inside its callbacks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

#include "platform/grid/grid.h"
#include "platform/gui/DragServer.h"
#include "platform/gui/Window.h"
#include "tests/support/named_rows.h"

namespace {

struct Seen {
    int code;
    SSNotifyRecord rec;
};

// A hook that records what it saw and answers from its settings.
struct RecordingHook : SSHook {
    bool passKeys = true, passPresses = true, passChars = true;
    std::vector<int> keys;
    std::vector<uint8_t> chars;
    std::vector<unsigned> pressFlags;
    int moves = 0;
    Window* window = nullptr;
    String dragged;
    int dropX = 0, dropY = 0;
    long dropCol = 0, dropRow = 0;
    bool dropCtrlUp = false;
    int drops = 0;

    bool mouseMove(SSHandle, int, int) override { ++moves; return true; }
    bool leftButtonDown(SSHandle, int, int, unsigned flags) override {
        pressFlags.push_back(flags);
        return passPresses;
    }
    bool keyDown(SSHandle, int vk, bool, bool) override {
        keys.push_back(vk);
        return passKeys;
    }
    bool character(SSHandle, uint8_t ch) override {
        chars.push_back(ch);
        return passChars;
    }
    Window* worksheetWindow(SSHandle) override { return window; }
    uint8_t takeDraggedData(SSHandle) override {
        dragged = DragServer::pasteString();
        return 1;
    }
    uint8_t dropAt(SSHandle, int x, int y, long c, long r, bool ctrlUp) override {
        dropX = x, dropY = y, dropCol = c, dropRow = r, dropCtrlUp = ctrlUp;
        ++drops;
        return 1;
    }
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        current = this;
        frame = std::make_unique<WorkWindow>(nullptr, WB_FRAME);
        frame->setSizePixel(Size(820, 620));
        frame->show();
        grid = grid_create(frame->getNativeHandle(), 0, 0, 800, 600, 7);
        ASSERT_TRUE(grid);
        ASSERT_TRUE(SSSetRowCount(grid, 100));
        ASSERT_TRUE(SSSetColumnCount(grid, 52));
        ASSERT_TRUE(SSSetNotifyProc(grid, &GridTest::proc));
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        grid_destroy(grid);
        frame.reset();
        QCoreApplication::processEvents();
        current = nullptr;
    }

    static long proc(SSHandle g, int code, uintptr_t word, const SSNotifyRecord* rec) {
        EXPECT_EQ(word, 7u);
        current->seen.push_back({code, *rec});
        if (current->onNotify) current->onNotify(g, code, *rec);
        return 0;
    }

    QTableView* view() const { return static_cast<QTableView*>(grid_native_handle(grid)); }
    // The grid as the screen shows it (painting runs, so DRAWCELL notifications are sent).
    QImage shot() {
        QCoreApplication::processEvents();
        return view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    int count(int code) const {
        int n = 0;
        for (const Seen& s : seen) n += s.code == code;
        return n;
    }
    SSRect rect(long c, long r) const {
        SSRect rc;
        EXPECT_TRUE(SSGetCellRect(grid, c, r, &rc)) << c << "," << r;
        return rc;
    }
    static QRgb centre(const QImage& img, const SSRect& rc) {
        return img.pixel(static_cast<int>((rc.left + rc.right) / 2), static_cast<int>((rc.top + rc.bottom) / 2));
    }

    // Mouse events as the user's hand makes them, on a widget (its own pixels).
    static void mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, buttons, mods);
        QCoreApplication::sendEvent(w, &e);
    }
    // A press and release on the grid at grid pixel p.
    void click(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* child = view()->childAt(p);
        ASSERT_NE(child, nullptr);
        QPoint local = child->mapFrom(view(), p);
        mouse(child, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton, mods);
        mouse(child, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton, mods);
    }
    void key(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString()) {
        QKeyEvent e(QEvent::KeyPress, qtKey, mods, text);
        QCoreApplication::sendEvent(view(), &e);
    }
    QPoint cellCentre(long c, long r) const {
        SSRect rc = rect(c, r);
        return QPoint(static_cast<int>((rc.left + rc.right) / 2), static_cast<int>((rc.top + rc.bottom) / 2));
    }

    static GridTest* current;
    std::unique_ptr<WorkWindow> frame;
    SSHandle grid;
    std::vector<Seen> seen;
    std::function<void(SSHandle, int, const SSNotifyRecord&)> onNotify;
};

GridTest* GridTest::current = nullptr;

// ---- counts and sizes ----

TEST_F(GridTest, CountsAndSizesReadBack) {
    ASSERT_TRUE(SSSetRowHeight(grid, SS_ALL, 25));
    EXPECT_EQ(SSGetRowCount(grid), 100);
    EXPECT_EQ(SSGetColumnCount(grid), 52);
    for (long row : {1L, 50L, 100L}) {
        long h = 0;
        ASSERT_TRUE(SSGetRowHeight(grid, row, &h)) << row;
        EXPECT_EQ(h, 25) << row;
    }
    ASSERT_TRUE(SSSetRowHeight(grid, 7, 40));
    ASSERT_TRUE(SSSetRowCount(grid, 105));
    long h = 0;
    ASSERT_TRUE(SSGetRowHeight(grid, 7, &h));
    EXPECT_EQ(h, 40) << "a row's own height survives a new count";
    ASSERT_TRUE(SSGetRowHeight(grid, 103, &h));
    EXPECT_EQ(h, 25) << "rows added later take the height set for all rows";
    ASSERT_TRUE(SSSetColumnWidth(grid, 52, 80));
    long w = 0;
    ASSERT_TRUE(SSGetColumnWidth(grid, 52, &w));
    EXPECT_EQ(w, 80);
    ASSERT_TRUE(SSGetRowHeight(grid, SS_HEADER, &h));
    EXPECT_EQ(h, SS_DEFAULT_HEADER_HEIGHT);
    ASSERT_TRUE(SSSetRowHeight(grid, SS_HEADER, 30));
    ASSERT_TRUE(SSGetRowHeight(grid, SS_HEADER, &h));
    EXPECT_EQ(h, 30);
    EXPECT_EQ(rect(1, 1).top, 30) << "the cells start below the column headers";
    ASSERT_TRUE(SSGetColumnWidth(grid, SS_HEADER, &w));
    EXPECT_EQ(w, SS_DEFAULT_HEADER_WIDTH);

    EXPECT_EQ(SSSetUnitMode(grid, 2), 0);
    EXPECT_EQ(SSSetUnitMode(grid, 2), 2);
    EXPECT_EQ(SSSetUnitMode(grid, 0), 2);
    double v = 0;
    ASSERT_TRUE(SSGetRowHeightValue(grid, 7, &v));
    EXPECT_DOUBLE_EQ(v, 40.0);
    ASSERT_TRUE(SSGetColumnWidthValue(grid, 52, &v));
    EXPECT_DOUBLE_EQ(v, 80.0);
}

using kelvo_test::PrintTo;

// Values that reach the grid from worksheet files: each row is one call and what it must leave.
struct SizeCase {
    const char* name;
    bool column;  // SSSetColumnWidth, else SSSetRowHeight
    long index, size;
    bool accepted;
    long readIndex, expect;  // what the index reads back afterwards
};

class GridSizeTest : public GridTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(GridSizeTest, ChecksIndexAndSize) {
    const SizeCase& k = GetParam();
    bool ok = k.column ? SSSetColumnWidth(grid, k.index, k.size) : SSSetRowHeight(grid, k.index, k.size);
    EXPECT_EQ(ok, k.accepted) << k.name;
    long got = -1;
    ASSERT_TRUE(k.column ? SSGetColumnWidth(grid, k.readIndex, &got) : SSGetRowHeight(grid, k.readIndex, &got));
    EXPECT_EQ(got, k.expect) << k.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GridSizeTest,
    ::testing::Values(
        SizeCase{"row_beyond_count_ignored", false, 101, 50, false, 100, SS_DEFAULT_ROW_HEIGHT},
        SizeCase{"row_far_beyond_ignored", false, 2000000000, 50, false, 1, SS_DEFAULT_ROW_HEIGHT},
        SizeCase{"row_negative_index_ignored", false, -5, 50, false, 1, SS_DEFAULT_ROW_HEIGHT},
        SizeCase{"row_negative_size_refused", false, 3, -1, false, 3, SS_DEFAULT_ROW_HEIGHT},
        SizeCase{"row_huge_size_clamped", false, 3, 1000000, true, 3, SS_MAX_SIZE},
        SizeCase{"row_zero_size_kept", false, 3, 0, true, 3, 0},
        SizeCase{"row_zero_is_header", false, 0, 33, true, SS_HEADER, 33},
        SizeCase{"column_beyond_count_ignored", true, 53, 50, false, 52, SS_DEFAULT_COLUMN_WIDTH},
        SizeCase{"column_negative_size_refused", true, 2, -100, false, 2, SS_DEFAULT_COLUMN_WIDTH},
        SizeCase{"column_all_clamped", true, SS_ALL, 99999, true, 40, SS_MAX_SIZE},
        SizeCase{"column_header_width", true, SS_HEADER, 55, true, 0, 55}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridTest, CountsAreCheckedAndCapped) {
    EXPECT_FALSE(SSSetRowCount(grid, -1));
    EXPECT_EQ(SSGetRowCount(grid), 100);
    EXPECT_TRUE(SSSetRowCount(grid, 1000000));
    EXPECT_EQ(SSGetRowCount(grid), SS_MAX_COUNT);
    EXPECT_TRUE(SSSetColumnCount(grid, 70000));
    EXPECT_EQ(SSGetColumnCount(grid), SS_MAX_COUNT);
    long h = 0;
    EXPECT_TRUE(SSGetRowHeight(grid, SS_MAX_COUNT, &h));
    EXPECT_FALSE(SSGetRowHeight(grid, SS_MAX_COUNT + 1, &h));
    double v = 0;
    EXPECT_FALSE(SSGetRowHeightValue(grid, SS_MAX_COUNT + 1, &v));
    EXPECT_FALSE(SSGetColumnWidthValue(grid, -1, &v));
    EXPECT_TRUE(SSGetColumnWidthValue(grid, SS_HEADER, &v));
}

TEST_F(GridTest, ShrinkingKeepsActiveCellAndBlockInside) {
    ASSERT_TRUE(SSSetSelectedBlock(grid, 40, 80, 50, 95));
    ASSERT_TRUE(SSSetRowCount(grid, 90));
    long c1, r1, c2, r2;
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ(r2, 90);
    long c, r;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 40);
    EXPECT_EQ(r, 80);
    ASSERT_TRUE(SSSetColumnCount(grid, 30));
    EXPECT_FALSE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2)) << "the block lies beyond the columns";
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 30);
    ASSERT_TRUE(SSSetRowCount(grid, 0));
    EXPECT_FALSE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_FALSE(SSGetAreaStart(grid, &c, &r));
}

// ---- colours and owner drawing ----

TEST_F(GridTest, BlockAndCellColours) {
    ASSERT_TRUE(SSSetBlockColor(grid, 0, 0, SS_ALL, SS_ALL, 0x0000FFFF, SS_COLOR_UNCHANGED));
    ASSERT_TRUE(SSSetCellColor(grid, 3, 2, 0x00FF0000, SS_COLOR_UNCHANGED));
    QImage img = shot();
    const QRgb yellow = qRgb(255, 255, 0), blue = qRgb(0, 0, 255);
    for (auto [c, r] : {std::pair{2L, 2L}, std::pair{5L, 7L}, std::pair{9L, 3L}, std::pair{3L, 3L}, std::pair{4L, 2L}})
        EXPECT_EQ(centre(img, rect(c, r)), yellow) << c << "," << r;
    EXPECT_EQ(centre(img, rect(3, 2)), blue);
    // Below the last row and right of the last column the sheet colour shows too.
    ASSERT_TRUE(SSSetRowCount(grid, 5));
    ASSERT_TRUE(SSSetColumnCount(grid, 3));
    img = shot();
    EXPECT_EQ(img.pixel(static_cast<int>(rect(3, 5).right) + 20, static_cast<int>(rect(3, 5).bottom) + 20), yellow);
    // A later block over the blue cell wins; an unchanged background changes nothing.
    ASSERT_TRUE(SSSetBlockColor(grid, 2, 1, 3, 2, 0x000000FF, SS_COLOR_UNCHANGED));
    ASSERT_TRUE(SSSetCellColor(grid, 2, 1, SS_COLOR_UNCHANGED, 0));
    img = shot();
    EXPECT_EQ(centre(img, rect(3, 2)), qRgb(255, 0, 0));
    EXPECT_EQ(centre(img, rect(2, 1)), qRgb(255, 0, 0));
    EXPECT_EQ(centre(img, rect(1, 2)), yellow);
    EXPECT_FALSE(SSSetCellColor(grid, 4, 1, 0, 0)) << "column beyond the count";
}

TEST_F(GridTest, OwnerDrawingStaysInsideTheCell) {
    onNotify = [](SSHandle, int code, const SSNotifyRecord& rec) {
        if (code != SS_NOTIFY_DRAWCELL || rec.column != 3 || rec.row != 2) return;
        // Far more than the cell: the clip keeps it inside.
        rec.device->setPen(Pen(Color::fromRGB8(255, 0, 0)));
        rec.device->setFillInBrush(Brush(Color::fromRGB8(255, 0, 0)));
        rec.device->drawRect(Rectangle(-1000, -1000, 3000, 3000));
    };
    QImage img = shot();
    SSRect rc = rect(3, 2);
    int inside = 0, outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            bool red = img.pixel(x, y) == qRgb(255, 0, 0);
            bool in = x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
            if (in) inside += red;
            else outside += red;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(inside, (rc.right - rc.left) * (rc.bottom - rc.top));
    // The notification named the same rectangle, with the device's painting there.
    bool found = false;
    for (const Seen& s : seen)
        if (s.code == SS_NOTIFY_DRAWCELL && s.rec.column == 3 && s.rec.row == 2) {
            found = true;
            EXPECT_EQ(s.rec.left, rc.left);
            EXPECT_EQ(s.rec.top, rc.top);
            EXPECT_EQ(s.rec.right, rc.right);
            EXPECT_EQ(s.rec.bottom, rc.bottom);
        }
    EXPECT_TRUE(found);
}

TEST_F(GridTest, RedrawOffSendsNoDrawingAndOnRepaints) {
    shot();
    EXPECT_TRUE(SSSetBoolOption(grid, SSB_REDRAW, false)) << "answers the previous value";
    seen.clear();
    ASSERT_TRUE(SSSetColumnWidth(grid, 2, 100));
    ASSERT_TRUE(SSSetCellColor(grid, 1, 1, 0x00FF0000, SS_COLOR_UNCHANGED));
    QCoreApplication::processEvents();
    view()->viewport()->repaint();
    EXPECT_EQ(count(SS_NOTIFY_DRAWCELL), 0);
    EXPECT_FALSE(SSSetBoolOption(grid, SSB_REDRAW, true));
    QCoreApplication::processEvents();
    EXPECT_GT(count(SS_NOTIFY_DRAWCELL), 0);
    bool sawChanged = false;
    for (const Seen& s : seen) sawChanged |= s.code == SS_NOTIFY_DRAWCELL && s.rec.column == 1 && s.rec.row == 1;
    EXPECT_TRUE(sawChanged);
}

// ---- headers ----

TEST_F(GridTest, HeaderTextsAndHiddenHeaders) {
    QAbstractItemModel* m = view()->model();
    struct { int section; const char* text; } columns[] = {{0, "A"}, {25, "Z"}, {26, "AA"}, {51, "AZ"}};
    for (auto& k : columns) EXPECT_EQ(m->headerData(k.section, Qt::Horizontal, Qt::DisplayRole).toString(), k.text);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(m->headerData(r, Qt::Vertical, Qt::DisplayRole).toString(), QString::number(r + 1));
    SSRect rc = rect(1, 1);
    EXPECT_EQ(rc.left, SS_DEFAULT_HEADER_WIDTH);
    EXPECT_EQ(rc.top, SS_DEFAULT_HEADER_HEIGHT);
    EXPECT_TRUE(SSSetBoolOption(grid, SSB_SHOWCOLHEADERS, false));
    EXPECT_TRUE(SSSetBoolOption(grid, SSB_SHOWROWHEADERS, false));
    rc = rect(1, 1);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view()->horizontalHeader()->isVisible());
    EXPECT_FALSE(view()->verticalHeader()->isVisible());
    long c, r;
    EXPECT_TRUE(SSCellFromPoint(grid, &c, &r, 0, 0));
    EXPECT_EQ(c, 1);
    EXPECT_EQ(r, 1);
}

TEST(GridLetters, BijectiveBase26) {
    struct { long n; const char* s; } rows[] = {{1, "A"}, {26, "Z"}, {27, "AA"}, {52, "AZ"}, {53, "BA"},
                                                {702, "ZZ"}, {703, "AAA"}, {0, ""}, {-4, ""}};
    for (auto& k : rows) EXPECT_EQ(grid_column_letters(k.n), k.s) << k.n;
}

// ---- geometry ----

TEST_F(GridTest, CellFromPointAgreesWithCellRect) {
    ASSERT_TRUE(SSSetColumnWidth(grid, 4, 17));
    ASSERT_TRUE(SSSetRowHeight(grid, 6, 9));
    for (long r = 1; r <= 10; ++r)
        for (long c = 1; c <= 10; ++c) {
            SSRect rc = rect(c, r);
            QPoint pts[] = {{int((rc.left + rc.right) / 2), int((rc.top + rc.bottom) / 2)},
                            {int(rc.left), int(rc.top)},
                            {int(rc.right - 1), int(rc.top)},
                            {int(rc.left), int(rc.bottom - 1)},
                            {int(rc.right - 1), int(rc.bottom - 1)}};
            for (QPoint p : pts) {
                long gc = 0, gr = 0;
                ASSERT_TRUE(SSCellFromPoint(grid, &gc, &gr, p.x(), p.y())) << c << "," << r;
                EXPECT_EQ(gc, c) << "point " << p.x() << "," << p.y();
                EXPECT_EQ(gr, r) << "point " << p.x() << "," << p.y();
            }
        }
    long c, r;
    EXPECT_FALSE(SSCellFromPoint(grid, &c, &r, 100, 5)) << "column header";
    EXPECT_FALSE(SSCellFromPoint(grid, &c, &r, 5, 100)) << "row header";
    ASSERT_TRUE(SSSetRowCount(grid, 4));
    SSRect last = rect(1, 4);
    EXPECT_FALSE(SSCellFromPoint(grid, &c, &r, last.left + 3, last.bottom + 5)) << "below the last row";
    EXPECT_FALSE(SSGetCellRect(grid, 1, 5, &last));
    EXPECT_FALSE(SSGetCellRect(grid, 0, 1, &last));
}

TEST_F(GridTest, CellRectFollowsScrolling) {
    SSRect before = rect(1, 30);
    view()->verticalScrollBar()->setValue(10);
    QCoreApplication::processEvents();
    SSRect after = rect(1, 30);
    EXPECT_EQ(before.top - after.top, 10 * SS_DEFAULT_ROW_HEIGHT);
    long c, r;
    ASSERT_TRUE(SSCellFromPoint(grid, &c, &r, after.left + 2, after.top + 2));
    EXPECT_EQ(r, 30);
}

// ---- selection ----

TEST_F(GridTest, RowHeadersSelectWholeRows) {
    QHeaderView* vh = view()->verticalHeader();
    QPoint row2 = vh->viewport()->mapFrom(view(), QPoint(10, cellCentre(1, 2).y()));
    QPoint row3 = vh->viewport()->mapFrom(view(), QPoint(10, cellCentre(1, 3).y()));
    mouse(vh->viewport(), QEvent::MouseButtonPress, row2, Qt::LeftButton, Qt::LeftButton);
    mouse(vh->viewport(), QEvent::MouseMove, row3, Qt::NoButton, Qt::LeftButton);
    mouse(vh->viewport(), QEvent::MouseButtonRelease, row3, Qt::LeftButton, Qt::NoButton);
    long c1, r1, c2, r2;
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ(c1, SS_ALL);
    EXPECT_EQ(c2, SS_ALL);
    EXPECT_EQ(r1, 2);
    EXPECT_EQ(r2, 3);
    long c, r;
    ASSERT_TRUE(SSGetAreaEnd(grid, &c, &r));
    EXPECT_EQ(c, 52) << "whole rows widen to the column count";
    EXPECT_EQ(r, 3);
    // Shift on a column header extends a column block the same way.
    QHeaderView* hh = view()->horizontalHeader();
    mouse(hh->viewport(), QEvent::MouseButtonPress, hh->viewport()->mapFrom(view(), QPoint(cellCentre(4, 1).x(), 5)),
          Qt::LeftButton, Qt::LeftButton);
    mouse(hh->viewport(), QEvent::MouseButtonPress, hh->viewport()->mapFrom(view(), QPoint(cellCentre(2, 1).x(), 5)),
          Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ(c1, 2);
    EXPECT_EQ(c2, 4);
    EXPECT_EQ(r1, SS_ALL);
    EXPECT_EQ(r2, SS_ALL);
}

TEST_F(GridTest, SetSelectedBlockReadsBack) {
    ASSERT_TRUE(SSSetSelectedBlock(grid, 2, 4, 5, 9));
    long c1, r1, c2, r2, c, r;
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ((std::vector<long>{c1, r1, c2, r2}), (std::vector<long>{2, 4, 5, 9}));
    ASSERT_TRUE(SSGetAreaStart(grid, &c, &r));
    EXPECT_EQ(c, 2);
    EXPECT_EQ(r, 4);
    ASSERT_TRUE(SSGetAreaEnd(grid, &c, &r));
    EXPECT_EQ(c, 5);
    EXPECT_EQ(r, 9);
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 2) << "the active cell moves into the block";
    EXPECT_EQ(r, 4);
    // Corners in any order; out-of-range corners are refused; all -1 clears.
    ASSERT_TRUE(SSSetSelectedBlock(grid, 5, 9, 3, 6));
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ((std::vector<long>{c1, r1, c2, r2}), (std::vector<long>{3, 6, 5, 9}));
    EXPECT_FALSE(SSSetSelectedBlock(grid, 1, 1, 53, 2));
    EXPECT_FALSE(SSSetSelectedBlock(grid, 0, 1, 2, 2));
    ASSERT_TRUE(SSSetSelectedBlock(grid, SS_ALL, SS_ALL, SS_ALL, SS_ALL));
    EXPECT_FALSE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    ASSERT_TRUE(SSGetAreaStart(grid, &c, &r)) << "the active cell stands for the area";
    EXPECT_EQ(count(SS_NOTIFY_ACTIVECELL), 0) << "program calls send nothing";
}

TEST_F(GridTest, ClickAndDragSelectCells) {
    click(cellCentre(3, 4));
    long c, r, c1, r1, c2, r2;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 3);
    EXPECT_EQ(r, 4);
    EXPECT_FALSE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2)) << "one click selects no block";
    ASSERT_EQ(count(SS_NOTIFY_ACTIVECELL), 1);
    EXPECT_EQ(seen.back().rec.column, 3);
    EXPECT_EQ(seen.back().rec.row, 4);
    QWidget* vp = view()->viewport();
    QPoint from = vp->mapFrom(view(), cellCentre(3, 4)), to = vp->mapFrom(view(), cellCentre(5, 6));
    mouse(vp, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ((std::vector<long>{c1, r1, c2, r2}), (std::vector<long>{3, 4, 5, 6}));
}

TEST_F(GridTest, PressOutsideTheCellsIsReported) {
    ASSERT_TRUE(SSSetRowCount(grid, 3));
    SSRect last = rect(1, 3);
    QPoint p(static_cast<int>(last.left + 5), static_cast<int>(last.bottom + 40));
    click(p);
    ASSERT_EQ(count(SS_NOTIFY_PRESS), 1);
    EXPECT_EQ(seen.back().rec.x, p.x());
    EXPECT_EQ(seen.back().rec.y, p.y());
    EXPECT_EQ(seen.back().rec.flag, 0);
}

// ---- keys and the hook ----

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    long startColumn, startRow, column, row;
};

class GridKeyTest : public GridTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(GridKeyTest, MovesTheActiveCell) {
    const KeyCase& k = GetParam();
    ASSERT_TRUE(SSSetSelectedBlock(grid, k.startColumn, k.startRow, k.startColumn, k.startRow));
    seen.clear();
    key(k.key, k.mods);
    long c, r;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, k.column) << k.name;
    EXPECT_EQ(r, k.row) << k.name;
    bool moved = c != k.startColumn || r != k.startRow;
    EXPECT_EQ(count(SS_NOTIFY_ACTIVECELL), moved ? 1 : 0) << k.name;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, GridKeyTest,
    ::testing::Values(KeyCase{"tab_right", Qt::Key_Tab, Qt::NoModifier, 3, 3, 4, 3},
                      KeyCase{"backtab_left", Qt::Key_Backtab, Qt::ShiftModifier, 3, 3, 2, 3},
                      KeyCase{"tab_at_last_column_stays", Qt::Key_Tab, Qt::NoModifier, 52, 3, 52, 3},
                      KeyCase{"backtab_at_first_column_stays", Qt::Key_Backtab, Qt::ShiftModifier, 1, 3, 1, 3},
                      KeyCase{"down", Qt::Key_Down, Qt::NoModifier, 3, 3, 3, 4},
                      KeyCase{"up_at_top_stays", Qt::Key_Up, Qt::NoModifier, 3, 1, 3, 1},
                      KeyCase{"left", Qt::Key_Left, Qt::NoModifier, 3, 3, 2, 3},
                      KeyCase{"home", Qt::Key_Home, Qt::NoModifier, 7, 9, 1, 9},
                      KeyCase{"ctrl_home", Qt::Key_Home, Qt::ControlModifier, 7, 9, 1, 1},
                      KeyCase{"ctrl_end", Qt::Key_End, Qt::ControlModifier, 7, 9, 52, 100},
                      KeyCase{"return_down", Qt::Key_Return, Qt::NoModifier, 2, 2, 2, 3},
                      KeyCase{"pagedown_at_end", Qt::Key_PageDown, Qt::NoModifier, 1, 99, 1, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridTest, PageDownMovesAndScrolls) {
    int before = view()->verticalScrollBar()->value();
    key(Qt::Key_PageDown);
    long c, r;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_GT(r, 10);
    EXPECT_GT(view()->verticalScrollBar()->value(), before);
    key(Qt::Key_PageUp);
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(r, 1);
}

TEST_F(GridTest, ShiftArrowsExtendTheBlock) {
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    long c1, r1, c2, r2, c, r;
    ASSERT_TRUE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    EXPECT_EQ((std::vector<long>{c1, r1, c2, r2}), (std::vector<long>{1, 1, 2, 2}));
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 1);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(count(SS_NOTIFY_ACTIVECELL), 0);
}

TEST_F(GridTest, HookTakesKeysBeforeTheGrid) {
    RecordingHook hook;
    grid_set_hook(grid, &hook);
    hook.passKeys = false;
    key(Qt::Key_Tab, Qt::NoModifier, "\t");
    long c, r;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 1) << "a consumed Tab does not move the active cell";
    EXPECT_EQ(count(SS_NOTIFY_ACTIVECELL), 0);
    ASSERT_EQ(hook.keys.size(), 1u);
    EXPECT_EQ(hook.keys[0], VK_TAB);
    ASSERT_EQ(hook.chars.size(), 1u);
    EXPECT_EQ(hook.chars[0], 9);
    hook.passKeys = true;
    key(Qt::Key_Right);
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 2);
    ASSERT_EQ(count(SS_NOTIFY_ACTIVECELL), 1);
    EXPECT_EQ(seen.back().rec.column, 2);
    EXPECT_EQ(seen.back().rec.row, 1);
    // Characters reach the hook as cp1252 bytes, after their key.
    hook.keys.clear();
    hook.chars.clear();
    key(Qt::Key_A, Qt::NoModifier, "a");
    key(Qt::Key_unknown, Qt::NoModifier, QString(QChar(0xE9)));
    key(Qt::Key_Return, Qt::ControlModifier, "\n");
    EXPECT_EQ(hook.keys, (std::vector<int>{'A', 0, VK_RETURN}));
    EXPECT_EQ(hook.chars, (std::vector<uint8_t>{'a', 0xE9, 10}));
    grid_set_hook(grid, nullptr);
}

TEST_F(GridTest, HookTakesPressesBeforeTheGrid) {
    RecordingHook hook;
    grid_set_hook(grid, &hook);
    hook.passPresses = false;
    click(cellCentre(4, 5), Qt::ControlModifier);
    long c, r, c1, r1, c2, r2;
    ASSERT_TRUE(SSGetActiveCellPos(grid, &c, &r));
    EXPECT_EQ(c, 1) << "a consumed press selects nothing";
    EXPECT_EQ(r, 1);
    EXPECT_FALSE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2));
    QHeaderView* vh = view()->verticalHeader();
    mouse(vh->viewport(), QEvent::MouseButtonPress, QPoint(10, 30), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(SSGetSelectedBlock(grid, &c1, &r1, &c2, &r2)) << "nor on a header";
    ASSERT_EQ(hook.pressFlags.size(), 2u);
    EXPECT_EQ(hook.pressFlags[0], MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(hook.pressFlags[1], MK_LBUTTON);
    EXPECT_EQ(count(SS_NOTIFY_ACTIVECELL), 0);
    QWidget* vp = view()->viewport();
    mouse(vp, QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(hook.moves, 1);
    grid_set_hook(grid, nullptr);
}

TEST_F(GridTest, CursorKindsFollowThePointer) {
    ASSERT_TRUE(SSSetCursor(grid, SS_CURSOR_CELLS, SS_POINTER_CROSS));
    ASSERT_TRUE(SSSetCursor(grid, SS_CURSOR_BLOCKEDGE, SS_POINTER_ARROW));
    ASSERT_TRUE(SSSetCursor(grid, SS_CURSOR_HEADERS, POINTER_WAIT));
    EXPECT_FALSE(SSSetCursor(grid, 3, 0));
    ASSERT_TRUE(SSSetSelectedBlock(grid, 2, 2, 4, 4));
    QWidget* vp = view()->viewport();
    SSRect rc = rect(2, 3);
    mouse(vp, QEvent::MouseMove, vp->mapFrom(view(), QPoint(int(rc.left + 2), int(rc.top + 8))), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(vp->cursor().shape(), Qt::ArrowCursor) << "on the block's left edge";
    mouse(vp, QEvent::MouseMove, vp->mapFrom(view(), cellCentre(3, 3)), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(vp->cursor().shape(), Qt::CrossCursor);
    QHeaderView* hh = view()->horizontalHeader();
    mouse(hh->viewport(), QEvent::MouseMove, hh->viewport()->mapFrom(view(), QPoint(cellCentre(3, 1).x(), 5)),
          Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(hh->viewport()->cursor().shape(), Qt::WaitCursor);
}

// ---- user resizing ----

TEST_F(GridTest, DraggingHeaderEdgesResizesAndNotifies) {
    long before = 0;
    ASSERT_TRUE(SSGetColumnWidth(grid, 3, &before));
    QHeaderView* hh = view()->horizontalHeader();
    QWidget* hv = hh->viewport();
    int edge = hh->sectionViewportPosition(2) + hh->sectionSize(2) - 1;
    mouse(hv, QEvent::MouseButtonPress, QPoint(edge, 8), Qt::LeftButton, Qt::LeftButton);
    mouse(hv, QEvent::MouseMove, QPoint(edge + 10, 8), Qt::NoButton, Qt::LeftButton);
    mouse(hv, QEvent::MouseMove, QPoint(edge + 30, 8), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(count(SS_NOTIFY_COLWIDTHS), 0) << "sent after the drag, not during it";
    mouse(hv, QEvent::MouseButtonRelease, QPoint(edge + 30, 8), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(count(SS_NOTIFY_COLWIDTHS), 1);
    EXPECT_EQ(seen.back().rec.first, 3);
    EXPECT_EQ(seen.back().rec.last, 3);
    long after = 0;
    ASSERT_TRUE(SSGetColumnWidth(grid, 3, &after));
    EXPECT_EQ(after, before + 30);

    QHeaderView* vh = view()->verticalHeader();
    QWidget* vv = vh->viewport();
    ASSERT_TRUE(SSGetRowHeight(grid, 2, &before));
    edge = vh->sectionViewportPosition(1) + vh->sectionSize(1) - 1;
    mouse(vv, QEvent::MouseButtonPress, QPoint(10, edge), Qt::LeftButton, Qt::LeftButton);
    mouse(vv, QEvent::MouseMove, QPoint(10, edge + 12), Qt::NoButton, Qt::LeftButton);
    mouse(vv, QEvent::MouseButtonRelease, QPoint(10, edge + 12), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(count(SS_NOTIFY_ROWHEIGHTS), 1);
    EXPECT_EQ(seen.back().rec.first, 2);
    EXPECT_EQ(seen.back().rec.last, 2);
    ASSERT_TRUE(SSGetRowHeight(grid, 2, &after));
    EXPECT_EQ(after, before + 12);
    // The program's own size changes send nothing.
    seen.clear();
    ASSERT_TRUE(SSSetColumnWidth(grid, 3, 50));
    ASSERT_TRUE(SSSetRowHeight(grid, SS_ALL, 30));
    EXPECT_EQ(count(SS_NOTIFY_COLWIDTHS) + count(SS_NOTIFY_ROWHEIGHTS), 0);
    // A double click on an edge keeps the size (no fitting to contents the grid does not know).
    mouse(hv, QEvent::MouseButtonDblClick, QPoint(hh->sectionViewportPosition(2) + 49, 8), Qt::LeftButton, Qt::LeftButton);
    mouse(hv, QEvent::MouseButtonRelease, QPoint(hh->sectionViewportPosition(2) + 49, 8), Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(SSGetColumnWidth(grid, 3, &after));
    EXPECT_EQ(after, 50);
}

// ---- drag and drop ----

TEST_F(GridTest, DropsGoToTheHookOwner) {
    RecordingHook hook;
    grid_set_hook(grid, &hook);
    QMimeData data;
    data.setText("dragged");
    QWidget* vp = view()->viewport();
    QPoint at = vp->mapFrom(view(), cellCentre(4, 6));
    {
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &enter);
        EXPECT_FALSE(enter.isAccepted()) << "without a worksheet window the drag is refused";
    }
    hook.window = frame.get();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QCoreApplication::sendEvent(vp, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(hook.dragged, String("dragged"));
    EXPECT_EQ(hook.drops, 1);
    EXPECT_EQ(hook.dropCol, 4);
    EXPECT_EQ(hook.dropRow, 6);
    EXPECT_EQ(QPoint(hook.dropX, hook.dropY), cellCentre(4, 6));
    EXPECT_FALSE(hook.dropCtrlUp);
    grid_set_hook(grid, nullptr);
}

// ---- a grid changed or destroyed from its own callbacks ----

TEST_F(GridTest, DestroyedInsideANotification) {
    onNotify = [](SSHandle g, int code, const SSNotifyRecord&) {
        if (code == SS_NOTIFY_ACTIVECELL) grid_destroy(g);
    };
    key(Qt::Key_Right);
    EXPECT_FALSE(grid_is_alive(grid));
    QCoreApplication::processEvents();  // the deferred deletion runs here
    long c, r;
    EXPECT_FALSE(SSGetActiveCellPos(grid, &c, &r));
}

TEST_F(GridTest, DestroyedWhilePainting) {
    int drawn = 0;
    onNotify = [&](SSHandle g, int code, const SSNotifyRecord&) {
        if (code == SS_NOTIFY_DRAWCELL && ++drawn == 3) grid_destroy(g);
    };
    view()->viewport()->repaint();
    EXPECT_EQ(drawn, 3) << "no cell is drawn after the grid went";
    EXPECT_FALSE(grid_is_alive(grid));
    QCoreApplication::processEvents();
}

TEST_F(GridTest, ChangedWhilePainting) {
    int drawn = 0;
    onNotify = [&](SSHandle g, int code, const SSNotifyRecord&) {
        if (code != SS_NOTIFY_DRAWCELL) return;
        if (++drawn == 2) {
            SSSetRowCount(g, 1);
            SSSetColumnCount(g, 0);
            SSSetColumnWidth(g, 1, 300);
            SSSetBlockColor(g, 0, 0, SS_ALL, SS_ALL, 0x00123456, SS_COLOR_UNCHANGED);
            SSSetSelectedBlock(g, SS_ALL, SS_ALL, SS_ALL, SS_ALL);
        }
    };
    view()->viewport()->repaint();
    EXPECT_EQ(SSGetRowCount(grid), 1);
    EXPECT_EQ(SSGetColumnCount(grid), 0);
    shot();  // paints the changed grid again
}

TEST_F(GridTest, DestroyedInsideTheHook) {
    struct DestroyingHook : SSHook {
        bool keyDown(SSHandle g, int, bool, bool) override {
            grid_destroy(g);
            return true;
        }
    } hook;
    grid_set_hook(grid, &hook);
    key(Qt::Key_Right);
    EXPECT_FALSE(grid_is_alive(grid));
    QCoreApplication::processEvents();
}

// ---- missing grids ----

TEST(GridMissing, OperationsOnNoGridDoNothing) {
    SSHandle none;
    SSHandle stale{123456};
    for (SSHandle h : {none, stale}) {
        long v = 7, c = 7, r = 7;
        double d = 7;
        SSRect rc;
        EXPECT_FALSE(SSSetRowCount(h, 5));
        EXPECT_EQ(SSGetRowCount(h), 0);
        EXPECT_EQ(SSGetColumnCount(h), 0);
        EXPECT_FALSE(SSSetRowHeight(h, 1, 5));
        EXPECT_FALSE(SSGetRowHeight(h, 1, &v));
        EXPECT_FALSE(SSGetColumnWidthValue(h, 1, &d));
        EXPECT_EQ(SSSetUnitMode(h, 2), 0);
        EXPECT_FALSE(SSSetBoolOption(h, SSB_REDRAW, true));
        EXPECT_FALSE(SSSetBlockColor(h, 0, 0, -1, -1, 0, -1));
        EXPECT_FALSE(SSGetActiveCellPos(h, &c, &r));
        EXPECT_FALSE(SSGetSelectedBlock(h, &c, &r, &c, &r));
        EXPECT_FALSE(SSGetCellRect(h, 1, 1, &rc));
        EXPECT_FALSE(SSCellFromPoint(h, &c, &r, 1, 1));
        EXPECT_FALSE(SSSetCursor(h, 1, 0));
        EXPECT_EQ(grid_device(h), nullptr);
        EXPECT_EQ(grid_native_handle(h), nullptr);
        grid_destroy(h);
        grid_show(h, true);
        EXPECT_EQ(v, 7);
        EXPECT_EQ(d, 7);
    }
}

TEST(GridMissing, CreationFailures) {
    WorkWindow frame(nullptr, WB_FRAME);
    int notAWidget = 0;
    EXPECT_FALSE(grid_create(nullptr, 0, 0, 100, 100, 1));
    EXPECT_FALSE(grid_create(&notAWidget, 0, 0, 100, 100, 1));
    EXPECT_FALSE(grid_create(frame.getNativeHandle(), 0, 0, -1, 100, 1));
    EXPECT_FALSE(grid_create(frame.getNativeHandle(), 0, 0, 100, 40000, 1));
}

TEST(GridLifetime, TwoGridsAndAParentThatGoesFirst) {
    auto frame = std::make_unique<WorkWindow>(nullptr, WB_FRAME);
    SSHandle a = grid_create(frame->getNativeHandle(), 0, 0, 200, 100, 1);
    SSHandle b = grid_create(frame->getNativeHandle(), 0, 110, 200, 100, 2);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a, b);
    EXPECT_EQ(grid_child_id(a), 1);
    EXPECT_EQ(grid_child_id(b), 2);
    long x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(grid_position(b, x, y));
    EXPECT_EQ(y, 110);
    grid_resize(b, 300, 150);
    ASSERT_TRUE(grid_size(b, w, h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 150);
    int word = 0;
    grid_set_user_data(a, &word);
    EXPECT_EQ(grid_user_data(a), &word);
    SSCellTypeRecord rec;
    ASSERT_TRUE(SSInitCellTypeRecord(a, &rec, 0));
    EXPECT_TRUE(SSApplyCellType(a, SS_ALL, SS_ALL, &rec));
    SSCellTypeRecord blank;
    EXPECT_FALSE(SSApplyCellType(a, SS_ALL, SS_ALL, &blank)) << "a record the grid did not fill";
    grid_destroy(a);
    EXPECT_FALSE(grid_is_alive(a));
    EXPECT_TRUE(grid_is_alive(b));
    frame.reset();  // takes grid b with it
    EXPECT_FALSE(grid_is_alive(b));
    EXPECT_EQ(SSGetRowCount(b), 0);
}

}  // namespace
