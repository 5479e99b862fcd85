// The grid's operations: each looks its handle up, checks its arguments (grid.h, conventions
// 1-5) and changes the view.
#include "platform/grid/grid.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <cstring>

#include "platform/grid/grid_view.h"
#include "platform/gui/Application.h"

using grid_detail::GridView;
using grid_detail::lookup;

namespace {

uint32_t nextId = 1;

constexpr uint8_t kCellTypeMark[4] = {'K', 'G', 'C', 'T'};
constexpr uint8_t kCellTypeVersion = 1;
constexpr uint8_t kCellKindOwnerDrawn = 1;

bool isHeader(long index) { return index == 0 || index == SS_HEADER; }

// A row or column index for a size: 0 for the header, 1..count, or -1 (false otherwise).
bool sizeIndex(long index, long count, long& out) {
    if (isHeader(index)) out = 0;
    else if (index == SS_ALL || (index >= 1 && index <= count)) out = index;
    else return false;
    return true;
}

// A block coordinate pair: -1 in either covers all; 0 and the header count as 1; the rest is
// clamped to the count.  False when the block lies beyond the count.
bool blockRange(long a, long b, long count, long& lo, long& hi) {
    if (a == SS_ALL || b == SS_ALL) {
        lo = 1;
        hi = grid_detail::ColorStore::kOpen;
        return true;
    }
    if (isHeader(a) || a < 1) a = 1;
    if (isHeader(b) || b < 1) b = 1;
    lo = std::min(a, b);
    hi = std::min(std::max(a, b), count);
    return lo <= count;
}

bool validColor(long c) { return c != SS_COLOR_UNCHANGED; }
uint32_t colorBits(long c) { return static_cast<uint32_t>(c) & 0x00FFFFFFu; }

}  // namespace

// ---- SSHook defaults: the grid gets everything, the owner takes no drop ----

bool SSHook::mouseMove(SSHandle, int, int) { return true; }
bool SSHook::leftButtonDown(SSHandle, int, int, unsigned) { return true; }
bool SSHook::keyDown(SSHandle, int, bool, bool) { return true; }
bool SSHook::character(SSHandle, uint8_t) { return true; }
Window* SSHook::worksheetWindow(SSHandle) { return nullptr; }
uint8_t SSHook::takeDraggedData(SSHandle) { return 0; }
uint8_t SSHook::dropAt(SSHandle, int, int, long, long, bool) { return 0; }

// ---- the window ----

SSHandle grid_create(void* parentHandle, long x, long y, long width, long height, int id) {
    if (!parentHandle || !qApp || width < 0 || height < 0 || width > 32767 || height > 32767) return SSHandle();
    // The parent is found among the live widgets before it is used: a stale handle is never
    // dereferenced.
    QWidget* parent = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if (static_cast<void*>(w) == parentHandle) parent = w;
    if (!parent) return SSHandle();
    SSHandle h{nextId++};
    auto* view = new GridView(parent, h, id);
    view->setGeometry(clamp16(x), clamp16(y), static_cast<int>(width), static_cast<int>(height));
    view->show();
    return h;
}

void grid_destroy(SSHandle grid) {
    if (GridView* v = lookup(grid)) v->retire();
}

bool grid_is_alive(SSHandle grid) { return lookup(grid) != nullptr; }

int grid_child_id(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? v->childId() : 0;
}

void* grid_native_handle(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? static_cast<void*>(static_cast<QTableView*>(v)) : nullptr;
}

void grid_show(SSHandle grid, bool visible) {
    if (GridView* v = lookup(grid)) v->setVisible(visible);
}

void grid_move(SSHandle grid, long x, long y) {
    if (GridView* v = lookup(grid)) v->move(clamp16(x), clamp16(y));
}

bool grid_position(SSHandle grid, long& x, long& y) {
    GridView* v = lookup(grid);
    if (!v) return false;
    x = v->x();
    y = v->y();
    return true;
}

void grid_resize(SSHandle grid, long width, long height) {
    if (GridView* v = lookup(grid)) v->resize(std::clamp(width, 0L, 32767L), std::clamp(height, 0L, 32767L));
}

bool grid_size(SSHandle grid, long& width, long& height) {
    GridView* v = lookup(grid);
    if (!v) return false;
    width = v->width();
    height = v->height();
    return true;
}

void grid_set_focus(SSHandle grid) {
    if (GridView* v = lookup(grid)) v->setFocus(Qt::OtherFocusReason);
}

bool grid_has_focus(SSHandle grid) {
    GridView* v = lookup(grid);
    return v && v->hasFocus();
}

void grid_invalidate(SSHandle grid) {
    if (GridView* v = lookup(grid)) {
        v->invalidateCells();
        v->horizontalHeader()->viewport()->update();
        v->verticalHeader()->viewport()->update();
    }
}

void grid_invalidate_rect(SSHandle grid, const SSRect& r) {
    GridView* v = lookup(grid);
    if (!v || r.right <= r.left || r.bottom <= r.top) return;
    QPoint o = v->viewportOrigin();
    QRect q(clamp16(r.left - o.x()), clamp16(r.top - o.y()), clamp16(r.right - r.left), clamp16(r.bottom - r.top));
    // One pixel more each way: the grid lines beside the rectangle belong to its cell.
    v->viewport()->update(q.adjusted(0, 0, 1, 1));
}

OutputDevice* grid_device(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? &v->device : nullptr;
}

void grid_set_user_data(SSHandle grid, void* data) {
    if (GridView* v = lookup(grid)) v->userData = data;
}

void* grid_user_data(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? v->userData : nullptr;
}

void grid_set_hook(SSHandle grid, SSHook* hook) {
    if (GridView* v = lookup(grid)) v->hook = hook;
}

std::string grid_column_letters(long column) {
    std::string s;
    while (column > 0) {
        --column;
        s.insert(s.begin(), static_cast<char>('A' + column % 26));
        column /= 26;
    }
    return s;
}

// ---- control operations ----

bool SSSetCreationFlag(SSHandle grid, long flag) {
    GridView* v = lookup(grid);
    if (!v) return false;
    v->creationFlag = flag;
    return true;
}

bool SSSetRowCount(SSHandle grid, long rows) {
    GridView* v = lookup(grid);
    if (!v || rows < 0) return false;
    v->setCounts(v->model.columnCount(), std::min(rows, SS_MAX_COUNT));
    return true;
}

long SSGetRowCount(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? v->model.rowCount() : 0;
}

bool SSSetColumnCount(SSHandle grid, long columns) {
    GridView* v = lookup(grid);
    if (!v || columns < 0) return false;
    v->setCounts(std::min(columns, SS_MAX_COUNT), v->model.rowCount());
    return true;
}

long SSGetColumnCount(SSHandle grid) {
    GridView* v = lookup(grid);
    return v ? v->model.columnCount() : 0;
}

bool SSInitCellTypeRecord(SSHandle grid, SSCellTypeRecord* record, long style) {
    if (!lookup(grid) || !record) return false;
    std::memset(record->bytes, 0, sizeof record->bytes);
    std::memcpy(record->bytes, kCellTypeMark, sizeof kCellTypeMark);
    record->bytes[4] = kCellTypeVersion;
    record->bytes[5] = kCellKindOwnerDrawn;
    record->bytes[6] = static_cast<uint8_t>(style & 0xFF);
    return true;
}

bool SSApplyCellType(SSHandle grid, long column, long row, const SSCellTypeRecord* record) {
    GridView* v = lookup(grid);
    if (!v || !record || std::memcmp(record->bytes, kCellTypeMark, sizeof kCellTypeMark) != 0) return false;
    bool colOk = column == SS_ALL || (column >= 1 && column <= v->model.columnCount());
    bool rowOk = row == SS_ALL || (row >= 1 && row <= v->model.rowCount());
    return colOk && rowOk;
}

bool SSSetNotifyProc(SSHandle grid, SSNotifyProc proc) {
    GridView* v = lookup(grid);
    if (!v) return false;
    v->proc = proc;
    return true;
}

bool SSSetBoolOption(SSHandle grid, int option, bool on) {
    GridView* v = lookup(grid);
    if (!v || option < 0 || option >= static_cast<int>(v->options.size())) return false;
    bool before = v->options.test(static_cast<std::size_t>(option));
    switch (option) {
    case SSB_SHOWCOLHEADERS:
        v->options.set(option, on);
        v->showHeaders(Qt::Horizontal, on);
        break;
    case SSB_SHOWROWHEADERS:
        v->options.set(option, on);
        v->showHeaders(Qt::Vertical, on);
        break;
    case SSB_REDRAW: v->setRedraw(on); break;
    default: v->options.set(static_cast<std::size_t>(option), on); break;
    }
    return before;
}

bool SSSetInitialMode(SSHandle grid, long mode) {
    GridView* v = lookup(grid);
    if (!v) return false;
    v->initialMode = mode;
    return true;
}

uint16_t SSSetUnitMode(SSHandle grid, uint16_t mode) {
    GridView* v = lookup(grid);
    if (!v) return 0;
    uint16_t before = v->unitMode;
    v->unitMode = mode;
    return before;
}

namespace {

bool setSize(SSHandle grid, Qt::Orientation o, long index, long size) {
    GridView* v = lookup(grid);
    if (!v || size < 0) return false;
    long count = o == Qt::Horizontal ? v->model.columnCount() : v->model.rowCount();
    long i;
    if (!sizeIndex(index, count, i)) return false;
    size = std::min(size, SS_MAX_SIZE);
    if (i == SS_ALL) v->setAllSizes(o, size);
    else v->setSize(o, i, size);
    return true;
}

bool getSize(SSHandle grid, Qt::Orientation o, long index, long& size) {
    GridView* v = lookup(grid);
    if (!v) return false;
    long count = o == Qt::Horizontal ? v->model.columnCount() : v->model.rowCount();
    long i;
    if (!sizeIndex(index, count, i) || i == SS_ALL) return false;
    size = v->size(o, i);
    return true;
}

}  // namespace

bool SSSetRowHeight(SSHandle grid, long row, long height) { return setSize(grid, Qt::Vertical, row, height); }
bool SSSetColumnWidth(SSHandle grid, long column, long width) { return setSize(grid, Qt::Horizontal, column, width); }

bool SSGetRowHeight(SSHandle grid, long row, long* height) {
    long s;
    if (!height || !getSize(grid, Qt::Vertical, row, s)) return false;
    *height = s;
    return true;
}

bool SSGetColumnWidth(SSHandle grid, long column, long* width) {
    long s;
    if (!width || !getSize(grid, Qt::Horizontal, column, s)) return false;
    *width = s;
    return true;
}

bool SSGetRowHeightValue(SSHandle grid, long row, double* value) {
    long s;
    if (!value || !getSize(grid, Qt::Vertical, row, s)) return false;
    *value = static_cast<double>(s);
    return true;
}

bool SSGetColumnWidthValue(SSHandle grid, long column, double* value) {
    long s;
    if (!value || !getSize(grid, Qt::Horizontal, column, s)) return false;
    *value = static_cast<double>(s);
    return true;
}

bool SSSetBackColorStyle(SSHandle grid, long style) {
    GridView* v = lookup(grid);
    if (!v) return false;
    v->backColorStyle = style;
    return true;
}

bool SSSetBlockColor(SSHandle grid, long column1, long row1, long column2, long row2, long background, long) {
    GridView* v = lookup(grid);
    if (!v) return false;
    long c1, c2, r1, r2;
    if (!blockRange(column1, column2, v->model.columnCount(), c1, c2) ||
        !blockRange(row1, row2, v->model.rowCount(), r1, r2))
        return false;
    if (!validColor(background)) return true;
    if (c2 == grid_detail::ColorStore::kOpen && r2 == grid_detail::ColorStore::kOpen) v->colors.setSheet(colorBits(background));
    else v->colors.setBlock(c1, r1, c2, r2, colorBits(background));
    v->invalidateCells();
    return true;
}

bool SSSetCellColor(SSHandle grid, long column, long row, long background, long) {
    GridView* v = lookup(grid);
    if (!v || column < 1 || row < 1 || column > v->model.columnCount() || row > v->model.rowCount()) return false;
    if (!validColor(background)) return true;
    v->colors.setCell(column, row, colorBits(background));
    v->invalidateCell(column, row);
    return true;
}

bool SSGetActiveCellPos(SSHandle grid, long* column, long* row) {
    GridView* v = lookup(grid);
    if (!v || !column || !row || !v->hasActive()) return false;
    *column = v->activeColumn();
    *row = v->activeRow();
    return true;
}

bool SSGetSelectedBlock(SSHandle grid, long* column1, long* row1, long* column2, long* row2) {
    GridView* v = lookup(grid);
    if (!v || !column1 || !row1 || !column2 || !row2 || !v->hasBlock()) return false;
    const GridView::Block& b = v->block();
    *column1 = b.c1;
    *row1 = b.r1;
    *column2 = b.c2;
    *row2 = b.r2;
    return true;
}

bool SSSetSelectedBlock(SSHandle grid, long column1, long row1, long column2, long row2) {
    GridView* v = lookup(grid);
    if (!v) return false;
    if (column1 == SS_ALL && row1 == SS_ALL && column2 == SS_ALL && row2 == SS_ALL) {
        v->clearBlock();
        return true;
    }
    long cols = v->model.columnCount(), rows = v->model.rowCount();
    auto inRange = [](long a, long n) { return a >= 1 && a <= n; };
    bool allCols = column1 == SS_ALL && column2 == SS_ALL, allRows = row1 == SS_ALL && row2 == SS_ALL;
    if (!allCols && !(inRange(column1, cols) && inRange(column2, cols))) return false;
    if (!allRows && !(inRange(row1, rows) && inRange(row2, rows))) return false;
    GridView::Block b;
    b.c1 = allCols ? SS_ALL : std::min(column1, column2);
    b.c2 = allCols ? SS_ALL : std::max(column1, column2);
    b.r1 = allRows ? SS_ALL : std::min(row1, row2);
    b.r2 = allRows ? SS_ALL : std::max(row1, row2);
    long ac = v->activeColumn(), ar = v->activeRow();
    bool inside = v->hasActive() && (allCols || (ac >= b.c1 && ac <= b.c2)) && (allRows || (ar >= b.r1 && ar <= b.r2));
    if (!inside) v->placeActive(allCols ? 1 : b.c1, allRows ? 1 : b.r1);
    v->selectBlock(b);
    return true;
}

namespace {

bool areaCorner(SSHandle grid, bool end, long* column, long* row) {
    GridView* v = lookup(grid);
    if (!v || !column || !row) return false;
    if (!v->hasBlock()) {
        if (!v->hasActive()) return false;
        *column = v->activeColumn();
        *row = v->activeRow();
        return true;
    }
    const GridView::Block& b = v->block();
    *column = b.c1 == SS_ALL ? (end ? v->model.columnCount() : 1) : (end ? b.c2 : b.c1);
    *row = b.r1 == SS_ALL ? (end ? v->model.rowCount() : 1) : (end ? b.r2 : b.r1);
    return true;
}

}  // namespace

bool SSGetAreaStart(SSHandle grid, long* column, long* row) { return areaCorner(grid, false, column, row); }
bool SSGetAreaEnd(SSHandle grid, long* column, long* row) { return areaCorner(grid, true, column, row); }

bool SSGetCellRect(SSHandle grid, long column, long row, SSRect* rect) {
    GridView* v = lookup(grid);
    return v && rect && v->cellRect(column, row, *rect);
}

bool SSCellFromPoint(SSHandle grid, long* column, long* row, long x, long y) {
    GridView* v = lookup(grid);
    return v && column && row && v->cellAt(x, y, *column, *row);
}

bool SSSetCursor(SSHandle grid, int kind, long cursor) {
    GridView* v = lookup(grid);
    if (!v) return false;
    int slot = kind == SS_CURSOR_BLOCKEDGE ? 0 : kind == SS_CURSOR_CELLS ? 1 : kind == SS_CURSOR_HEADERS ? 2 : -1;
    if (slot < 0) return false;
    v->cursors[slot] = cursor;
    return true;
}
