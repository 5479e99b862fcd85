#pragma once
// The Qt side of a grid (not for the program): GridView, a QTableView whose model holds only
// the counts and whose cells are painted by the owner; GridHeader, its headers; CellDevice,
// the OutputDevice handed to the owner for one cell; the colour store.
//
// Who holds what:
//  - counts: GridModel (rowCount, columnCount);
//  - sizes: the two QHeaderViews (section sizes; the header strips' own height and width as
//    their fixed size);
//  - colours, selection, active cell, options, hook and notification procedure: GridView.
// QTableView's own selection model, editing, tab navigation, corner button and cell painting
// are switched off: the grid selects, moves and paints itself, so that every change it makes
// is complete before it calls out (grid.h, convention 6).

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QRegion>
#include <QTableView>

#include <bitset>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "platform/grid/grid.h"
#include "platform/gui/OutputDevice.h"

namespace grid_detail {

// Background colours (0x00BBGGRR): the sheet colour under everything, blocks and single cells
// above it; the newest setting that covers a cell wins.  A block covering an older block or
// cell entirely removes it, so repeated settings of the same cells do not pile up.
class ColorStore {
public:
    static constexpr long kOpen = 0x7FFFFFFF;  // the upper bound of an "all" dimension
    uint32_t sheet = 0x00FFFFFF;
    void setSheet(uint32_t bg);
    void setBlock(long c1, long r1, long c2, long r2, uint32_t bg);
    void setCell(long c, long r, uint32_t bg);
    uint32_t at(long c, long r) const;
    // Forgets single cells beyond the counts.
    void prune(long columns, long rows);

private:
    struct Block { long c1, r1, c2, r2; uint32_t bg; uint64_t stamp; };
    struct Entry { uint32_t bg; uint64_t stamp; };
    static uint32_t key(long c, long r) { return static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(r); }
    std::vector<Block> blocks_;
    std::unordered_map<uint32_t, Entry> cells_;
    uint64_t stamp_ = 0;
};

class GridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : cols_; }
    QVariant data(const QModelIndex&, int) const override { return QVariant(); }
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex&) const override { return Qt::ItemIsEnabled; }
    void setRows(int n);
    void setColumns(int n);

private:
    int rows_ = 0, cols_ = 0;
};

// The device of one DRAWCELL notification: it draws through the painter of the paint event in
// progress, in the grid's pixels; outside a notification it has no surface.
class CellDevice : public OutputDevice {
public:
    CellDevice() : OutputDevice(OUTDEV_WINDOW) {}
    ~CellDevice() override { flushDrawing(); }
    // Binds the painter (already translated to grid pixels) and the surface it paints.
    void begin(QPainter* painter, QPaintDevice* surface);
    void end();

protected:
    QPaintDevice* paintTarget() const override { return surface_; }
    QImage* imageTarget() const override { return nullptr; }
    QPainter* externalPainter() const override { return painter_; }

private:
    QPainter* painter_ = nullptr;
    QPaintDevice* surface_ = nullptr;
};

class GridView;

class GridHeader : public QHeaderView {
public:
    GridHeader(Qt::Orientation o, GridView* view);
    // The section whose resize edge lies at `pos` (header viewport pixels), or -1.
    int handleAt(int pos) const;
    bool resizing() const { return resizing_; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    friend class GridView;
    GridView* view_;
    bool resizing_ = false;   // a press on a resize edge is being dragged
    bool selecting_ = false;  // a press on a section is being dragged
    long changedFirst_ = 0, changedLast_ = -1;  // sections the user resized (logical)
};

class GridView : public QTableView {
public:
    GridView(QWidget* parent, SSHandle handle, int id);
    ~GridView() override;

    // ---- identity and ownership ----
    SSHandle handle() const { return handle_; }
    int childId() const { return id_; }
    // Takes the grid out of service: hidden at once, deleted now or, inside a callback, when
    // control returns to the event loop.
    void retire();
    bool retired() const { return retired_; }

    // ---- state the operations reach ----
    GridModel model;
    CellDevice device;
    ColorStore colors;
    SSNotifyProc proc = nullptr;
    SSHook* hook = nullptr;
    void* userData = nullptr;
    std::bitset<64> options;
    uint16_t unitMode = 0;
    long creationFlag = 0, initialMode = 0, backColorStyle = 0;
    long cursors[3] = {SS_POINTER_DEFAULT, SS_POINTER_DEFAULT, SS_POINTER_DEFAULT};  // kinds 1, 2, 4

    // Counts (capped by the caller); keep the selection and active cell inside.
    void setCounts(long columns, long rows);
    // Sizes: index 0 is the header strip.  Programmatic; sends nothing.
    void setSize(Qt::Orientation o, long index, long size);
    void setAllSizes(Qt::Orientation o, long size);
    long size(Qt::Orientation o, long index) const;
    void showHeaders(Qt::Orientation o, bool on);
    void setRedraw(bool on);

    // Selection: a block in cells, -1 for whole rows or columns as grid.h reports it.
    struct Block { long c1 = 0, r1 = 0, c2 = 0, r2 = 0; };
    bool hasBlock() const { return hasBlock_; }
    const Block& block() const { return block_; }
    void selectBlock(const Block& b);  // normalised by the caller
    void clearBlock();
    bool hasActive() const { return activeCol_ > 0 && activeRow_ > 0; }
    long activeColumn() const { return activeCol_; }
    long activeRow() const { return activeRow_; }
    // Sets the active cell (clamped), anchor and free corner; true when the cell changed.
    bool placeActive(long c, long r);

    // Geometry in grid pixels.
    bool cellRect(long c, long r, SSRect& out) const;
    bool cellAt(long x, long y, long& c, long& r) const;
    QPoint viewportOrigin() const;
    void invalidateCell(long c, long r);
    void invalidateCells();

    // Runs program code (hook, notification procedure); false when the grid was destroyed
    // during it (the caller then returns at once).
    bool callOut(const std::function<void()>& f);
    bool notify(int code, const SSNotifyRecord& rec);

    // Input arriving at the headers and the corner (GridHeader, the corner filter).
    bool hookPress(const QPoint& gridPos, Qt::KeyboardModifiers mods);
    bool hookMove(const QPoint& gridPos);
    void headerPress(Qt::Orientation o, int section, bool extend);
    void headerDrag(Qt::Orientation o, int section);
    void cornerPress();
    void userResized(Qt::Orientation o, long first, long last);
    void setHeaderPointer(GridHeader* h, const QPoint& headerPos);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab reaches keyPressEvent
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class Drag { None, Cells };
    void press(const QPoint& viewportPos, Qt::MouseButton button, Qt::KeyboardModifiers mods, bool second);
    // Moves the active cell (clamped) and drops the block, or with `extend` moves the block's
    // free corner (the active cell stays its anchor); scrolls the target into view when
    // `scroll`; then sends ACTIVECELL when the active cell changed.  False when the grid went
    // away during the notification.
    bool moveActive(long c, long r, bool extend, bool scroll);
    bool notifyActive();
    void handleKey(int vk, bool shift, bool ctrl);
    int pageRows() const;
    bool onBlockEdge(long x, long y) const;
    void applyPointer(QWidget* w, long value, Qt::CursorShape fallback);
    void paintCells(QPainter& p, const QRect& area);

    SSHandle handle_;
    int id_;
    bool retired_ = false;
    int depth_ = 0;  // callbacks running
    QRegion held_;   // invalid while painting is off (viewport pixels)
    bool heldAll_ = false;  // scrolled while painting was off: everything is invalid
    bool hasBlock_ = false;
    Block block_;
    long activeCol_ = 0, activeRow_ = 0;
    long anchorCol_ = 0, anchorRow_ = 0;  // the fixed corner of a block being extended
    long endCol_ = 0, endRow_ = 0;        // its free corner
    Drag drag_ = Drag::None;
    GridHeader* hHeader_;
    GridHeader* vHeader_;
    QWidget* corner_ = nullptr;
};

// The registry of live grids: handles are looked up here, never dereferenced.
GridView* lookup(SSHandle h);
void forget(SSHandle h);

}  // namespace grid_detail
