// The grid widget: painting, selection, keys, mouse, header drags and drops (rules in grid.h,
// ownership in grid_view.h).
#include "platform/grid/grid_view.h"

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <map>

#include "platform/gui/Application.h"
#include "platform/gui/DragServer.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/window_private.h"

namespace grid_detail {

namespace {

std::map<uint32_t, GridView*>& registry() {
    static std::map<uint32_t, GridView*> live;
    return live;
}

QColor colorOf(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// The selection tint: a selected cell's background mixed one part in three with light blue.
QColor tinted(const QColor& c) {
    return QColor((c.red() * 2 + 51) / 3, (c.green() * 2 + 153) / 3, (c.blue() * 2 + 255) / 3);
}

const QColor kGridLine(192, 192, 192);
constexpr int kEdgeBand = 4;  // pixels inside the selected block's border that count as its edge

int virtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
    }
}

// The character a key types, as a Windows program would receive it: control characters only
// for Backspace, Tab, Return (10 with Ctrl) and Escape; cp1252 bytes otherwise; 0 for none.
uint8_t characterOf(const QKeyEvent* e, int vk, bool ctrl) {
    switch (vk) {
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_RETURN: return ctrl ? 10 : 13;
    case VK_ESCAPE: return 27;
    default: break;
    }
    String text = gui::fromQString(e->text());
    if (text.len() != 1) return 0;
    uint8_t ch = static_cast<uint8_t>(text[0]);
    return ch < 0x20 ? 0 : ch;
}

unsigned keyFlagsOf(Qt::KeyboardModifiers m) {
    unsigned f = MK_LBUTTON;
    if (m & Qt::ShiftModifier) f |= MK_SHIFT;
    if (m & Qt::ControlModifier) f |= MK_CONTROL;
    return f;
}

}  // namespace

GridView* lookup(SSHandle h) {
    if (!h) return nullptr;
    auto it = registry().find(h.id);
    return it == registry().end() ? nullptr : it->second;
}

void forget(SSHandle h) { registry().erase(h.id); }

// ---- ColorStore ----

void ColorStore::setSheet(uint32_t bg) {
    sheet = bg;
    blocks_.clear();
    cells_.clear();
}

void ColorStore::setBlock(long c1, long r1, long c2, long r2, uint32_t bg) {
    ++stamp_;
    std::erase_if(blocks_, [&](const Block& b) { return b.c1 >= c1 && b.c2 <= c2 && b.r1 >= r1 && b.r2 <= r2; });
    std::erase_if(cells_, [&](const auto& kv) {
        long c = kv.first >> 16, r = kv.first & 0xFFFF;
        return c >= c1 && c <= c2 && r >= r1 && r <= r2;
    });
    blocks_.push_back({c1, r1, c2, r2, bg, stamp_});
}

void ColorStore::setCell(long c, long r, uint32_t bg) { cells_[key(c, r)] = {bg, ++stamp_}; }

uint32_t ColorStore::at(long c, long r) const {
    uint32_t best = sheet;
    uint64_t bestStamp = 0;
    if (auto it = cells_.find(key(c, r)); it != cells_.end()) {
        best = it->second.bg;
        bestStamp = it->second.stamp;
    }
    for (const Block& b : blocks_)
        if (b.stamp > bestStamp && c >= b.c1 && c <= b.c2 && r >= b.r1 && r <= b.r2) {
            best = b.bg;
            bestStamp = b.stamp;
        }
    return best;
}

void ColorStore::prune(long columns, long rows) {
    std::erase_if(cells_, [&](const auto& kv) {
        return static_cast<long>(kv.first >> 16) > columns || static_cast<long>(kv.first & 0xFFFF) > rows;
    });
}

// ---- GridModel ----

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole || section < 0) return QVariant();
    if (o == Qt::Horizontal) return QString::fromStdString(grid_column_letters(section + 1));
    return QString::number(section + 1);
}

void GridModel::setRows(int n) {
    if (n > rows_) {
        beginInsertRows(QModelIndex(), rows_, n - 1);
        rows_ = n;
        endInsertRows();
    } else if (n < rows_) {
        beginRemoveRows(QModelIndex(), n, rows_ - 1);
        rows_ = n;
        endRemoveRows();
    }
}

void GridModel::setColumns(int n) {
    if (n > cols_) {
        beginInsertColumns(QModelIndex(), cols_, n - 1);
        cols_ = n;
        endInsertColumns();
    } else if (n < cols_) {
        beginRemoveColumns(QModelIndex(), n, cols_ - 1);
        cols_ = n;
        endRemoveColumns();
    }
}

// ---- CellDevice ----

void CellDevice::begin(QPainter* painter, QPaintDevice* surface) {
    painter_ = painter;
    surface_ = surface;
}

void CellDevice::end() {
    // With the painter unbound, flushDrawing drops the device's hold on it, so that the next
    // cell's painter (which may sit at the same address) gets its state set afresh.
    painter_ = nullptr;
    surface_ = nullptr;
    flushDrawing();
}

// ---- GridHeader ----

GridHeader::GridHeader(Qt::Orientation o, GridView* view) : QHeaderView(o, view), view_(view) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setMinimumSectionSize(0);
    setMaximumSectionSize(static_cast<int>(SS_MAX_SIZE));
    viewport()->setMouseTracking(true);
    connect(this, &QHeaderView::sectionResized, this, [this](int logical, int, int) {
        if (!resizing_) return;  // the program's own size changes send nothing
        if (changedLast_ < changedFirst_) changedFirst_ = changedLast_ = logical;
        changedFirst_ = std::min<long>(changedFirst_, logical);
        changedLast_ = std::max<long>(changedLast_, logical);
    });
}

// The same rule as QHeaderView's own hit test for its resize edges: within the grip margin of
// a section's start (the edge of the visible section before it) or of its end.
int GridHeader::handleAt(int pos) const {
    int visual = visualIndexAt(pos);
    if (visual == -1) return -1;
    int logical = logicalIndex(visual);
    int start = sectionViewportPosition(logical);
    int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (pos < start + grip) {
        while (visual > 0) {
            int before = logicalIndex(--visual);
            if (!isSectionHidden(before)) return before;
        }
        return -1;
    }
    if (pos > start + sectionSize(logical) - grip) return logical;
    return -1;
}

void GridHeader::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    QPoint p = e->position().toPoint();
    QPoint gp = viewport()->mapTo(view_, p);
    if (!view_->hookPress(gp, e->modifiers())) return;
    int pos = orientation() == Qt::Horizontal ? p.x() : p.y();
    if (handleAt(pos) >= 0) {
        resizing_ = true;
        changedFirst_ = 0;
        changedLast_ = -1;
        QHeaderView::mousePressEvent(e);
        return;
    }
    int section = logicalIndexAt(pos);
    if (section < 0) return;
    selecting_ = true;
    view_->headerPress(orientation(), section, e->modifiers() & Qt::ShiftModifier);
}

void GridHeader::mouseMoveEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    if (!view_->hookMove(viewport()->mapTo(view_, p))) return;
    if (resizing_) {
        QHeaderView::mouseMoveEvent(e);
        return;
    }
    int pos = orientation() == Qt::Horizontal ? p.x() : p.y();
    if (selecting_ && (e->buttons() & Qt::LeftButton)) {
        int section = logicalIndexAt(pos);
        if (section < 0) section = pos < 0 ? 0 : count() - 1;
        if (section >= 0) view_->headerDrag(orientation(), section);
        return;
    }
    if (e->buttons() == Qt::NoButton) {
        QHeaderView::mouseMoveEvent(e);  // the resize pointer over an edge
        view_->setHeaderPointer(this, p);
    }
}

void GridHeader::mouseReleaseEvent(QMouseEvent* e) {
    selecting_ = false;
    if (!resizing_) return;
    QHeaderView::mouseReleaseEvent(e);
    resizing_ = false;
    if (changedLast_ < changedFirst_) return;
    long first = changedFirst_ + 1, last = changedLast_ + 1;
    changedFirst_ = 0;
    changedLast_ = -1;
    view_->userResized(orientation(), first, last);
}

// A double click is a second press: QHeaderView's own answer (fitting the section to its
// contents) would shrink it, since the grid knows no contents.
void GridHeader::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

// ---- GridView ----

GridView::GridView(QWidget* parent, SSHandle handle, int id)
    : QTableView(parent), model(this), handle_(handle), id_(id) {
    setObjectName(QString::fromLatin1(SS_CLASS_NAME));
    registry()[handle.id] = this;
    hHeader_ = new GridHeader(Qt::Horizontal, this);
    vHeader_ = new GridHeader(Qt::Vertical, this);
    setHorizontalHeader(hHeader_);
    setVerticalHeader(vHeader_);
    setModel(&model);
    // QTableView fits a section to its contents on a double click on the resize edge; the
    // headers take double clicks themselves, and this keeps any other path from doing it.
    QObject::disconnect(hHeader_, SIGNAL(sectionHandleDoubleClicked(int)), this, nullptr);
    QObject::disconnect(vHeader_, SIGNAL(sectionHandleDoubleClicked(int)), this, nullptr);
    hHeader_->setDefaultSectionSize(static_cast<int>(SS_DEFAULT_COLUMN_WIDTH));
    vHeader_->setDefaultSectionSize(static_cast<int>(SS_DEFAULT_ROW_HEIGHT));
    hHeader_->setFixedHeight(static_cast<int>(SS_DEFAULT_HEADER_HEIGHT));
    vHeader_->setFixedWidth(static_cast<int>(SS_DEFAULT_HEADER_WIDTH));
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(false);
    setAutoScroll(false);
    setCornerButtonEnabled(false);
    setShowGrid(false);  // the grid draws its lines itself, with its cells
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    for (QAbstractButton* b : findChildren<QAbstractButton*>())
        if (b->parent() == this) {
            corner_ = b;
            corner_->installEventFilter(this);
        }
    options.set(SSB_SHOWCOLHEADERS);
    options.set(SSB_SHOWROWHEADERS);
    options.set(SSB_REDRAW);
    updateGeometries();
}

GridView::~GridView() {
    if (!retired_) forget(handle_);  // deleted with its parent widget
}

void GridView::retire() {
    if (retired_) return;
    retired_ = true;
    forget(handle_);
    hook = nullptr;
    proc = nullptr;
    hide();
    if (depth_ > 0) deleteLater();
    else delete this;
}

bool GridView::callOut(const std::function<void()>& f) {
    ++depth_;
    gui::guardedCall(f);
    --depth_;
    return !retired_;
}

bool GridView::notify(int code, const SSNotifyRecord& rec) {
    SSNotifyProc p = proc;
    if (!p) return !retired_;
    return callOut([&] { p(handle_, code, static_cast<uintptr_t>(id_), &rec); });
}

// ---- counts, sizes, headers, painting switch ----

void GridView::setCounts(long columns, long rows) {
    model.setColumns(static_cast<int>(columns));
    model.setRows(static_cast<int>(rows));
    colors.prune(columns, rows);
    if (columns == 0 || rows == 0) {
        activeCol_ = activeRow_ = anchorCol_ = anchorRow_ = endCol_ = endRow_ = 0;
        hasBlock_ = false;
    } else {
        if (!hasActive()) activeCol_ = activeRow_ = anchorCol_ = anchorRow_ = endCol_ = endRow_ = 1;
        activeCol_ = std::min(activeCol_, columns);
        activeRow_ = std::min(activeRow_, rows);
        anchorCol_ = std::clamp(anchorCol_, 1L, columns);
        anchorRow_ = std::clamp(anchorRow_, 1L, rows);
        endCol_ = std::clamp(endCol_, 1L, columns);
        endRow_ = std::clamp(endRow_, 1L, rows);
        if (hasBlock_) {
            Block& b = block_;
            if ((b.c1 != SS_ALL && b.c1 > columns) || (b.r1 != SS_ALL && b.r1 > rows)) {
                hasBlock_ = false;
            } else {
                if (b.c2 != SS_ALL) b.c2 = std::min(b.c2, columns);
                if (b.r2 != SS_ALL) b.r2 = std::min(b.r2, rows);
            }
        }
    }
    updateGeometries();
    invalidateCells();
}

void GridView::setSize(Qt::Orientation o, long index, long size) {
    int s = static_cast<int>(size);
    if (index == 0) {
        // The header strips: the row headers' width is column 0, the column headers' height row 0.
        if (o == Qt::Horizontal) vHeader_->setFixedWidth(s);
        else hHeader_->setFixedHeight(s);
        updateGeometries();
        invalidateCells();
        return;
    }
    QHeaderView* h = o == Qt::Horizontal ? hHeader_ : vHeader_;
    h->resizeSection(static_cast<int>(index - 1), s);
    invalidateCells();
}

void GridView::setAllSizes(Qt::Orientation o, long size) {
    QHeaderView* h = o == Qt::Horizontal ? hHeader_ : vHeader_;
    int s = static_cast<int>(size);
    h->setDefaultSectionSize(s);  // also the size of sections added later
    for (int i = 0; i < h->count(); ++i)
        if (h->sectionSize(i) != s) h->resizeSection(i, s);
    invalidateCells();
}

long GridView::size(Qt::Orientation o, long index) const {
    if (index == 0) return o == Qt::Horizontal ? vHeader_->width() : hHeader_->height();
    const QHeaderView* h = o == Qt::Horizontal ? hHeader_ : vHeader_;
    return h->sectionSize(static_cast<int>(index - 1));
}

void GridView::showHeaders(Qt::Orientation o, bool on) {
    (o == Qt::Horizontal ? hHeader_ : vHeader_)->setHidden(!on);
    updateGeometries();
    invalidateCells();
}

void GridView::setRedraw(bool on) {
    options.set(SSB_REDRAW, on);
    if (!on) return;
    if (heldAll_) viewport()->update();
    else if (!held_.isEmpty()) viewport()->update(held_);
    held_ = QRegion();
    heldAll_ = false;
}

void GridView::scrollContentsBy(int dx, int dy) {
    if (!options.test(SSB_REDRAW)) heldAll_ = true;
    QTableView::scrollContentsBy(dx, dy);
}

// ---- geometry ----

// Computed from the header strips rather than read from the viewport, so that it is right
// before Qt has laid the view out again.
QPoint GridView::viewportOrigin() const {
    return QPoint(vHeader_->isHidden() ? 0 : vHeader_->width(), hHeader_->isHidden() ? 0 : hHeader_->height());
}

bool GridView::cellRect(long c, long r, SSRect& out) const {
    if (c < 1 || r < 1 || c > model.columnCount() || r > model.rowCount()) return false;
    QPoint o = viewportOrigin();
    int ci = static_cast<int>(c - 1), ri = static_cast<int>(r - 1);
    long x = o.x() + hHeader_->sectionViewportPosition(ci), y = o.y() + vHeader_->sectionViewportPosition(ri);
    long w = hHeader_->sectionSize(ci), h = vHeader_->sectionSize(ri);
    out = {x, y, x + std::max(w - 1, 0L), y + std::max(h - 1, 0L)};
    return true;
}

bool GridView::cellAt(long x, long y, long& c, long& r) const {
    QPoint o = viewportOrigin();
    long vx = x - o.x(), vy = y - o.y();
    if (vx < 0 || vy < 0 || vx >= viewport()->width() || vy >= viewport()->height()) return false;
    int ci = hHeader_->logicalIndexAt(static_cast<int>(vx)), ri = vHeader_->logicalIndexAt(static_cast<int>(vy));
    if (ci < 0 || ri < 0) return false;
    c = ci + 1;
    r = ri + 1;
    return true;
}

void GridView::invalidateCell(long c, long r) {
    SSRect rc;
    if (!cellRect(c, r, rc)) return;
    QPoint o = viewportOrigin();
    // The cell with its grid lines, in viewport pixels.
    QRect q(static_cast<int>(rc.left - o.x()), static_cast<int>(rc.top - o.y()),
            static_cast<int>(rc.right - rc.left + 1), static_cast<int>(rc.bottom - rc.top + 1));
    if (options.test(SSB_REDRAW)) viewport()->update(q);
    else held_ += q;
}

void GridView::invalidateCells() {
    if (options.test(SSB_REDRAW)) viewport()->update();
    else held_ += viewport()->rect();
}

// ---- selection ----

void GridView::selectBlock(const Block& b) {
    block_ = b;
    hasBlock_ = true;
    invalidateCells();
}

void GridView::clearBlock() {
    if (!hasBlock_) return;
    hasBlock_ = false;
    invalidateCells();
}

bool GridView::placeActive(long c, long r) {
    long cols = model.columnCount(), rows = model.rowCount();
    c = std::clamp(c, 1L, cols);
    r = std::clamp(r, 1L, rows);
    bool changed = c != activeCol_ || r != activeRow_;
    if (changed) invalidateCell(activeCol_, activeRow_);
    activeCol_ = anchorCol_ = endCol_ = c;
    activeRow_ = anchorRow_ = endRow_ = r;
    invalidateCell(c, r);
    return changed;
}

bool GridView::notifyActive() {
    SSNotifyRecord rec;
    rec.column = static_cast<int32_t>(activeCol_);
    rec.row = static_cast<int32_t>(activeRow_);
    return notify(SS_NOTIFY_ACTIVECELL, rec);
}

bool GridView::moveActive(long c, long r, bool extend, bool scroll) {
    long cols = model.columnCount(), rows = model.rowCount();
    if (cols == 0 || rows == 0) return true;
    c = std::clamp(c, 1L, cols);
    r = std::clamp(r, 1L, rows);
    bool changed = false;
    if (extend && hasActive()) {
        endCol_ = c;
        endRow_ = r;
        if (c == anchorCol_ && r == anchorRow_) clearBlock();
        else selectBlock({std::min(anchorCol_, c), std::min(anchorRow_, r), std::max(anchorCol_, c), std::max(anchorRow_, r)});
    } else {
        changed = placeActive(c, r);
        clearBlock();
    }
    if (scroll) scrollTo(model.index(static_cast<int>(r - 1), static_cast<int>(c - 1)));
    return changed ? notifyActive() : true;
}

int GridView::pageRows() const {
    int first = vHeader_->visualIndexAt(0), last = vHeader_->visualIndexAt(viewport()->height() - 1);
    if (first < 0) return 1;
    if (last < 0) last = model.rowCount() - 1;
    return std::max(1, last - first);
}

void GridView::headerPress(Qt::Orientation o, int section, bool extend) {
    long s = section + 1;
    bool changed = false;
    if (o == Qt::Horizontal) {
        if (!(extend && hasActive())) {
            changed = placeActive(s, std::max(activeRow_, 1L));
            anchorCol_ = endCol_ = s;
        }
        endCol_ = s;
        selectBlock({std::min(anchorCol_, s), SS_ALL, std::max(anchorCol_, s), SS_ALL});
    } else {
        if (!(extend && hasActive())) {
            changed = placeActive(std::max(activeCol_, 1L), s);
            anchorRow_ = endRow_ = s;
        }
        endRow_ = s;
        selectBlock({SS_ALL, std::min(anchorRow_, s), SS_ALL, std::max(anchorRow_, s)});
    }
    setFocus(Qt::MouseFocusReason);
    if (changed) notifyActive();
}

void GridView::headerDrag(Qt::Orientation o, int section) {
    long s = section + 1;
    if (o == Qt::Horizontal) {
        if (block_.r1 != SS_ALL || s == endCol_) return;
        endCol_ = s;
        selectBlock({std::min(anchorCol_, s), SS_ALL, std::max(anchorCol_, s), SS_ALL});
    } else {
        if (block_.c1 != SS_ALL || s == endRow_) return;
        endRow_ = s;
        selectBlock({SS_ALL, std::min(anchorRow_, s), SS_ALL, std::max(anchorRow_, s)});
    }
}

void GridView::cornerPress() {
    if (model.columnCount() == 0 || model.rowCount() == 0) return;
    selectBlock({SS_ALL, SS_ALL, SS_ALL, SS_ALL});
    setFocus(Qt::MouseFocusReason);
}

void GridView::userResized(Qt::Orientation o, long first, long last) {
    invalidateCells();
    SSNotifyRecord rec;
    rec.first = static_cast<int32_t>(first);
    rec.last = static_cast<int32_t>(last);
    notify(o == Qt::Horizontal ? SS_NOTIFY_COLWIDTHS : SS_NOTIFY_ROWHEIGHTS, rec);
}

// ---- pointers ----

void GridView::applyPointer(QWidget* w, long value, Qt::CursorShape fallback) {
    Qt::CursorShape shape = fallback;
    if (value == SS_POINTER_ARROW) shape = Qt::ArrowCursor;
    else if (value == SS_POINTER_CROSS) shape = Qt::CrossCursor;
    else if (value == SS_POINTER_HAND) shape = Qt::PointingHandCursor;
    else if (value > 0) shape = gui::detail::pointerShape(static_cast<int>(value));
    if (!w->testAttribute(Qt::WA_SetCursor) || w->cursor().shape() != shape) w->setCursor(shape);
}

void GridView::setHeaderPointer(GridHeader* h, const QPoint& headerPos) {
    int pos = h->orientation() == Qt::Horizontal ? headerPos.x() : headerPos.y();
    if (h->handleAt(pos) >= 0) h->viewport()->unsetCursor();  // the header's resize pointer shows
    else applyPointer(h->viewport(), cursors[2], Qt::ArrowCursor);
}

bool GridView::onBlockEdge(long x, long y) const {
    long c, r;
    if (!hasBlock_ || !cellAt(x, y, c, r)) return false;
    long c1 = block_.c1 == SS_ALL ? 1 : block_.c1, c2 = block_.c2 == SS_ALL ? model.columnCount() : block_.c2;
    long r1 = block_.r1 == SS_ALL ? 1 : block_.r1, r2 = block_.r2 == SS_ALL ? model.rowCount() : block_.r2;
    if (c < c1 || c > c2 || r < r1 || r > r2) return false;
    SSRect rc;
    cellRect(c, r, rc);
    return (c == c1 && x - rc.left <= kEdgeBand) || (c == c2 && rc.right - 1 - x <= kEdgeBand) ||
           (r == r1 && y - rc.top <= kEdgeBand) || (r == r2 && rc.bottom - 1 - y <= kEdgeBand);
}

// ---- input ----

bool GridView::hookPress(const QPoint& gp, Qt::KeyboardModifiers mods) {
    SSHook* h = hook;
    if (!h) return true;
    bool pass = true;
    if (!callOut([&] { pass = h->leftButtonDown(handle_, gp.x(), gp.y(), keyFlagsOf(mods)); })) return false;
    return pass;
}

bool GridView::hookMove(const QPoint& gp) {
    SSHook* h = hook;
    if (!h) return true;
    bool pass = true;
    if (!callOut([&] { pass = h->mouseMove(handle_, gp.x(), gp.y()); })) return false;
    return pass;
}

void GridView::press(const QPoint& vpPos, Qt::MouseButton button, Qt::KeyboardModifiers mods, bool second) {
    if (button != Qt::LeftButton) return;
    QPoint gp = vpPos + viewportOrigin();
    if (!hookPress(gp, mods)) return;
    setFocus(Qt::MouseFocusReason);
    long c, r;
    if (cellAt(gp.x(), gp.y(), c, r)) {
        drag_ = Drag::Cells;
        moveActive(c, r, (mods & Qt::ShiftModifier) != 0, true);
        return;
    }
    SSNotifyRecord rec;
    rec.x = static_cast<int16_t>(std::clamp(gp.x(), -32768, 32767));
    rec.y = static_cast<int16_t>(std::clamp(gp.y(), -32768, 32767));
    rec.flag = second ? 1 : 0;
    notify(SS_NOTIFY_PRESS, rec);
}

void GridView::mousePressEvent(QMouseEvent* e) { press(e->position().toPoint(), e->button(), e->modifiers(), false); }
void GridView::mouseDoubleClickEvent(QMouseEvent* e) { press(e->position().toPoint(), e->button(), e->modifiers(), true); }
void GridView::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::None; }

void GridView::mouseMoveEvent(QMouseEvent* e) {
    QPoint vp = e->position().toPoint();
    QPoint gp = vp + viewportOrigin();
    if (!hookMove(gp)) return;
    if (drag_ == Drag::Cells && (e->buttons() & Qt::LeftButton)) {
        // The cell under the pointer, or the nearest one when it left the cells.
        int cols = model.columnCount(), rows = model.rowCount();
        if (cols == 0 || rows == 0) return;
        int endX = hHeader_->sectionViewportPosition(cols - 1) + hHeader_->sectionSize(cols - 1) - 1;
        int endY = vHeader_->sectionViewportPosition(rows - 1) + vHeader_->sectionSize(rows - 1) - 1;
        int ci = hHeader_->logicalIndexAt(std::clamp(vp.x(), 0, std::max(0, std::min(endX, viewport()->width() - 1))));
        int ri = vHeader_->logicalIndexAt(std::clamp(vp.y(), 0, std::max(0, std::min(endY, viewport()->height() - 1))));
        if (ci >= 0 && ri >= 0 && (ci + 1 != endCol_ || ri + 1 != endRow_)) moveActive(ci + 1, ri + 1, true, true);
        return;
    }
    bool edge = cursors[0] != SS_POINTER_DEFAULT && onBlockEdge(gp.x(), gp.y());
    applyPointer(viewport(), edge ? cursors[0] : cursors[1], Qt::CrossCursor);
}

void GridView::keyPressEvent(QKeyEvent* e) {
    e->accept();  // a grid keeps its keys, as a control window does
    int vk = virtualKeyOf(e->key());
    bool shift = (e->modifiers() & Qt::ShiftModifier) || e->key() == Qt::Key_Backtab;
    bool ctrl = e->modifiers() & Qt::ControlModifier;
    bool keyPassed = true;
    if (SSHook* h = hook) {
        if (!callOut([&] { keyPassed = h->keyDown(handle_, vk, shift, ctrl); })) return;
    }
    if (uint8_t ch = characterOf(e, vk, ctrl); ch != 0) {
        if (SSHook* h = hook) {
            // The character's answer does not matter to the grid: it does nothing with
            // characters (there is no editor).
            if (!callOut([&] { h->character(handle_, ch); })) return;
        }
    }
    if (keyPassed) handleKey(vk, shift, ctrl);
}

void GridView::handleKey(int vk, bool shift, bool ctrl) {
    if (!hasActive()) return;
    long cols = model.columnCount(), rows = model.rowCount();
    long c = shift ? endCol_ : activeCol_, r = shift ? endRow_ : activeRow_;
    switch (vk) {
    case VK_TAB: moveActive(activeCol_ + (shift ? -1 : 1), activeRow_, false, true); return;
    case VK_RETURN: moveActive(activeCol_, activeRow_ + (shift ? -1 : 1), false, true); return;
    case VK_LEFT: moveActive(ctrl ? 1 : c - 1, r, shift, true); return;
    case VK_RIGHT: moveActive(ctrl ? cols : c + 1, r, shift, true); return;
    case VK_UP: moveActive(c, ctrl ? 1 : r - 1, shift, true); return;
    case VK_DOWN: moveActive(c, ctrl ? rows : r + 1, shift, true); return;
    case VK_HOME: moveActive(1, ctrl ? 1 : r, shift, true); return;
    case VK_END: moveActive(cols, ctrl ? rows : r, shift, true); return;
    case VK_PRIOR:
    case VK_NEXT: {
        int page = pageRows() * (vk == VK_PRIOR ? -1 : 1);
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + page);
        moveActive(c, r + page, shift, true);
        return;
    }
    default: return;
    }
}

// ---- drag and drop ----

void GridView::dragEnterEvent(QDragEnterEvent* e) { dragMoveEvent(e); }

void GridView::dragMoveEvent(QDragMoveEvent* e) {
    QPoint gp = e->position().toPoint() + viewportOrigin();
    long c, r;
    Window* owner = nullptr;
    SSHook* h = hook;
    e->ignore();  // until the owner says otherwise
    if (h && cellAt(gp.x(), gp.y(), c, r)) {
        gui::detail::IncomingDragScope scope(e->mimeData());
        if (!callOut([&] { owner = h->worksheetWindow(handle_); })) return;
    }
    if (owner) e->acceptProposedAction();
}

void GridView::dropEvent(QDropEvent* e) {
    QPoint gp = e->position().toPoint() + viewportOrigin();
    long c, r;
    if (!hook || !cellAt(gp.x(), gp.y(), c, r)) {
        e->ignore();
        return;
    }
    bool ctrlUp = !(e->modifiers() & Qt::ControlModifier);
    uint8_t result = 0;
    {
        gui::detail::IncomingDragScope scope(e->mimeData());
        SSHook* h = hook;
        if (!callOut([&] { h->takeDraggedData(handle_); })) return;
        if ((h = hook) == nullptr) {
            e->ignore();
            return;
        }
        if (!callOut([&] { result = h->dropAt(handle_, gp.x(), gp.y(), c, r, ctrlUp); })) return;
    }
    if (result) {
        e->setDropAction(ctrlUp ? Qt::MoveAction : Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

// The corner between the headers: the hook sees its presses; a press the grid gets selects
// the whole sheet.
bool GridView::eventFilter(QObject* watched, QEvent* e) {
    if (watched != corner_) return QTableView::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton && hookPress(corner_->mapTo(this, me->position().toPoint()), me->modifiers()))
            cornerPress();
        return true;
    }
    case QEvent::MouseMove:
        hookMove(corner_->mapTo(this, static_cast<QMouseEvent*>(e)->position().toPoint()));
        return true;
    default:
        return QTableView::eventFilter(watched, e);
    }
}

// ---- painting ----

void GridView::paintEvent(QPaintEvent* e) {
    if (!options.test(SSB_REDRAW)) {
        held_ += e->region();
        return;
    }
    QPainter p(viewport());
    paintCells(p, e->rect());
}

// Backgrounds first, then the owner's drawing of each cell, then the grid lines and the active
// cell's frame on top, so that the owner can neither cover a line nor be covered by a
// neighbour's background.  Positions are taken before the first call-out: a notification may
// change the grid, and what it changes is painted again by the update it schedules.
void GridView::paintCells(QPainter& p, const QRect& area) {
    QWidget* vp = viewport();
    const int cols = model.columnCount(), rows = model.rowCount();
    const QColor sheet = colorOf(colors.sheet);
    int endX = cols ? hHeader_->sectionViewportPosition(cols - 1) + hHeader_->sectionSize(cols - 1) : 0;
    int endY = rows ? vHeader_->sectionViewportPosition(rows - 1) + vHeader_->sectionSize(rows - 1) : 0;
    endX = std::max(endX, 0);
    endY = std::max(endY, 0);
    if (endX < vp->width()) p.fillRect(QRect(endX, 0, vp->width() - endX, vp->height()), sheet);
    if (endY < vp->height()) p.fillRect(QRect(0, endY, std::min(endX, vp->width()), vp->height() - endY), sheet);
    if (cols == 0 || rows == 0) return;

    int c0 = hHeader_->visualIndexAt(std::max(area.left(), 0)), c1 = hHeader_->visualIndexAt(area.right());
    int r0 = vHeader_->visualIndexAt(std::max(area.top(), 0)), r1 = vHeader_->visualIndexAt(area.bottom());
    if (c0 < 0 || r0 < 0) return;
    if (c1 < 0) c1 = cols - 1;
    if (r1 < 0) r1 = rows - 1;

    struct Span { int index, pos, size; };
    std::vector<Span> xs, ys;
    for (int c = c0; c <= c1; ++c) xs.push_back({c, hHeader_->sectionViewportPosition(c), hHeader_->sectionSize(c)});
    for (int r = r0; r <= r1; ++r) ys.push_back({r, vHeader_->sectionViewportPosition(r), vHeader_->sectionSize(r)});

    auto inBlock = [&](long c, long r) {
        if (!hasBlock_) return false;
        bool colIn = block_.c1 == SS_ALL || (c >= block_.c1 && c <= block_.c2);
        bool rowIn = block_.r1 == SS_ALL || (r >= block_.r1 && r <= block_.r2);
        return colIn && rowIn;
    };
    for (const Span& y : ys)
        for (const Span& x : xs) {
            long c = x.index + 1, r = y.index + 1;
            QColor bg = colorOf(colors.at(c, r));
            if (inBlock(c, r) && !(c == activeCol_ && r == activeRow_)) bg = tinted(bg);
            p.fillRect(QRect(x.pos, y.pos, std::max(x.size - 1, 0), std::max(y.size - 1, 0)), bg);
        }

    const long activeC = activeCol_, activeR = activeRow_;
    if (proc) {
        const QPoint o = viewportOrigin();
        for (const Span& y : ys)
            for (const Span& x : xs) {
                if (x.size <= 1 || y.size <= 1) continue;
                SSNotifyRecord rec;
                rec.column = x.index + 1;
                rec.row = y.index + 1;
                rec.device = &device;
                rec.left = x.pos + o.x();
                rec.top = y.pos + o.y();
                rec.right = rec.left + x.size - 1;
                rec.bottom = rec.top + y.size - 1;
                p.save();
                p.translate(-o);
                device.begin(&p, vp);
                device.push();
                device.setClipRegion(Region(Rectangle(rec.left, rec.top, rec.right - 1, rec.bottom - 1)));
                bool alive = notify(SS_NOTIFY_DRAWCELL, rec);
                device.pop();
                device.end();
                p.restore();
                if (!alive) return;
            }
    }

    p.setPen(QPen(kGridLine, 0));
    const int top = ys.front().pos, bottom = ys.back().pos + ys.back().size - 1;
    const int left = xs.front().pos, right = xs.back().pos + xs.back().size - 1;
    for (const Span& x : xs)
        if (x.size > 0) p.drawLine(x.pos + x.size - 1, top, x.pos + x.size - 1, bottom);
    for (const Span& y : ys)
        if (y.size > 0) p.drawLine(left, y.pos + y.size - 1, right, y.pos + y.size - 1);

    for (const Span& y : ys)
        for (const Span& x : xs)
            if (x.index + 1 == activeC && y.index + 1 == activeR && x.size > 4 && y.size > 4) {
                p.setPen(QPen(Qt::black, 0));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRect(x.pos, y.pos, x.size - 2, y.size - 2));
                p.drawRect(QRect(x.pos + 1, y.pos + 1, x.size - 4, y.size - 4));
            }
}

}  // namespace grid_detail
