// Painting and scrolling cost of the grid against a plain QTableView: both show a 100 x 52
// sheet in an 800 x 600 window and scroll through it one row and one column a frame, repainting
// each frame at once.  The grid's every cell is owner-drawn (its notification procedure writes
// "row,column" through the layer's device); the table view's model answers the same texts.  The
// counters give both frame rates, their ratio (grid / table view) and the cells the owner drew
// per frame.  Run with
// QT_QPA_PLATFORM=offscreen when no display is there.

#include <benchmark/benchmark.h>

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <chrono>
#include <cstdio>

#include "platform/grid/grid.h"
#include "platform/gui/Application.h"
#include "platform/gui/Window.h"

namespace {

constexpr int kW = 800, kH = 600, kRows = 100, kColumns = 52, kFrames = 60;

long cellsDrawn = 0;

long drawCell(SSHandle, int code, uintptr_t, const SSNotifyRecord* rec) {
    if (code != SS_NOTIFY_DRAWCELL) return 0;
    ++cellsDrawn;
    static const Font font = [] {
        Font f("Arial", Size(0, 13));
        f.setColor(Color(COL_BLACK));
        return f;
    }();
    rec->device->setFont(font);
    char text[32];
    std::snprintf(text, sizeof text, "%d,%d", static_cast<int>(rec->row), static_cast<int>(rec->column));
    rec->device->drawText(Point(rec->left + 3, rec->top + 4), String(text));
    return 0;
}

class TextModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& = QModelIndex()) const override { return kRows; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return kColumns; }
    QVariant data(const QModelIndex& i, int role) const override {
        if (role != Qt::DisplayRole) return QVariant();
        return QString::number(i.row() + 1) + QLatin1Char(',') + QString::number(i.column() + 1);
    }
};

// Frames per second of scrolling `view` frame by frame, repainting each frame.
double scrollFrames(QAbstractScrollArea* view) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) {
        view->verticalScrollBar()->setValue(i % 60);
        view->horizontalScrollBar()->setValue(i % 40);
        view->viewport()->repaint();
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return s > 0 ? kFrames / s : 0;
}

void BM_grid_paint_scroll_owner_drawn_vs_qtableview(benchmark::State& state) {
    gui::ensureApplication("bench_grid_paint");
    WorkWindow w(nullptr, WB_FRAME);
    w.setSizePixel(Size(kW, kH));
    w.show();
    SSHandle grid = grid_create(w.getNativeHandle(), 0, 0, kW, kH, 1);
    SSSetRowCount(grid, kRows);
    SSSetColumnCount(grid, kColumns);
    SSSetRowHeight(grid, SS_ALL, 25);
    SSSetBlockColor(grid, 0, 0, SS_ALL, SS_ALL, 0x0000FFFF, SS_COLOR_UNCHANGED);
    SSSetNotifyProc(grid, &drawCell);
    auto* gridView = static_cast<QAbstractScrollArea*>(grid_native_handle(grid));

    TextModel model;
    QTableView plain;
    plain.setModel(&model);
    plain.resize(kW, kH);
    plain.verticalHeader()->setDefaultSectionSize(25);
    plain.horizontalHeader()->setDefaultSectionSize(64);
    plain.show();
    QCoreApplication::processEvents();  // both windows are exposed before the frames run

    double gridFps = 0, plainFps = 0;
    cellsDrawn = 0;
    for (auto _ : state) {
        gridFps += scrollFrames(gridView);
        plainFps += scrollFrames(&plain);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["grid_fps"] = gridFps / n;
    state.counters["qtableview_fps"] = plainFps / n;
    state.counters["cells_per_frame"] = static_cast<double>(cellsDrawn) / (n * kFrames);
    state.counters["ratio"] = plainFps > 0 ? gridFps / plainFps : 0;
    grid_destroy(grid);
}
BENCHMARK(BM_grid_paint_scroll_owner_drawn_vs_qtableview)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
