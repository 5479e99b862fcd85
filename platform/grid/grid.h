#pragma once
// The spreadsheet grid control: a child window that shows a grid of cells with column and row
// headers, one selected block and an active cell, and leaves every cell's content to its owner.
//
// What the grid holds: the row and column counts, row heights and column widths, the header
// sizes, the cell background colours, the selection and the active cell, a few options.  What
// it does not hold: cell contents.  Every visible cell is painted by the owner's notification
// procedure (SS_NOTIFY_DRAWCELL) after the grid has filled the cell's background; the grid
// itself draws the grid lines, the backgrounds, the selection tint, the active cell's frame and
// the headers (column letters A .. Z, AA .. and row numbers).  There is no in-place editor.
//
// Conventions of every control operation (SS...):
//  1. Column first, row second; both count from 1.  -1 stands for "all" (SS_ALL) and -32767
//     (SS_HEADER) for the header row or column; 0 is taken as the header wherever a header is
//     meant (sizes).
//  2. Colours are 0x00BBGGRR (the low 24 bits count); -1 (SS_COLOR_UNCHANGED) leaves a colour
//     as it is.  The foreground colour is accepted and ignored: the grid draws no cell text.
//  3. Sizes are pixels.  The unit mode is kept and answered (SSSetUnitMode answers the mode set
//     before, 0 at creation) but changes no unit: mode 2, the only one the program sets, is the
//     pixel mode, and the grid has no other.
//  4. Outside values are checked, never trusted: a row or column beyond the counts is ignored
//     (the call answers false), a negative size is refused, a size above SS_MAX_SIZE is clamped
//     to it, and a count is capped at SS_MAX_COUNT.
//  5. A handle is a number, never a pointer: operations look it up, so that a handle whose grid
//     failed to be made or was destroyed does nothing and answers false or 0.
//  6. Callbacks (notifications and the hook) are made after the grid's own update is complete,
//     and the grid reads nothing of its state after a callback without looking the handle up
//     again: the callee may change the grid or destroy it.  A grid destroyed inside one of its
//     own callbacks is hidden at once and deleted when the outermost callback has returned.
//  7. Operations called by the program send no notification; only the user's actions (mouse,
//     keys, header drags, drops) and painting do.
//
// Options (SSSetBoolOption, answers the option's previous value):
//   3 SSB_SHOWCOLHEADERS  column headers shown (1 at creation)
//   4 SSB_SHOWROWHEADERS  row headers shown (1 at creation)
//   8 SSB_REDRAW          painting on (1 at creation).  At 0 no cell is painted and no
//                         SS_NOTIFY_DRAWCELL is sent; what became invalid meanwhile (changes and
//                         exposures) is collected and painted once when it goes back to 1.
//   10, 11, 18, 21        kept and answered, nothing else: they switch behaviour of an editing
//                         grid (typing into cells, moving after an edit), and this grid has no
//                         editor.  Any other option number from 0 to 63 is kept likewise; numbers
//                         outside are refused.
//
// Pointers (SSSetCursor): kind 1 over the outer edge of the selected block (the 4 pixels inside
// its border), kind 2 over cells, kind 4 over the headers (except over a header's resize edge,
// where the resize pointer shows).  Values: 0 the kind's default (kind 1: as over cells; kind 2
// a cross; kind 4 an arrow), -1 an arrow, -2 a cross, -3 a pointing hand, a positive value a
// pointer id of the GUI layer (Pointer, Window.h: 1 wait, 3 text, 1000-1006 resources).
//
// Owned by the creator: grid_destroy ends a grid; a grid whose parent widget goes away goes with
// it (its handle then answers nothing).  Hooks and notification procedures are not owned.
//
// Qt-free: Qt stays inside the .cpp files.

#include <cstddef>
#include <cstdint>
#include <string>

class OutputDevice;
class Window;

// A grid's handle; 0 names no grid.
struct SSHandle {
    uint32_t id = 0;
    explicit operator bool() const { return id != 0; }
    friend bool operator==(SSHandle, SSHandle) = default;
};

constexpr long SS_ALL = -1;
constexpr long SS_HEADER = -32767;
constexpr long SS_MAX_COUNT = 65535;  // most rows or columns
constexpr long SS_MAX_SIZE = 4096;    // largest row height or column width, pixels
constexpr long SS_COLOR_UNCHANGED = -1;
constexpr const char* SS_CLASS_NAME = "va32Spread25";  // the grid widget's object name

// Initial sizes (pixels).
constexpr long SS_DEFAULT_ROW_HEIGHT = 20;
constexpr long SS_DEFAULT_COLUMN_WIDTH = 64;
constexpr long SS_DEFAULT_HEADER_HEIGHT = 22;  // the column headers' height (row 0)
constexpr long SS_DEFAULT_HEADER_WIDTH = 40;   // the row headers' width (column 0)

enum : int {
    SSB_SHOWCOLHEADERS = 3,
    SSB_SHOWROWHEADERS = 4,
    SSB_REDRAW = 8,
};

enum : int { SS_CURSOR_BLOCKEDGE = 1, SS_CURSOR_CELLS = 2, SS_CURSOR_HEADERS = 4 };
enum : long { SS_POINTER_DEFAULT = 0, SS_POINTER_ARROW = -1, SS_POINTER_CROSS = -2, SS_POINTER_HAND = -3 };

// Notification codes.
enum : int {
    SS_NOTIFY_ACTIVECELL = 1289,    // the user moved the active cell: column, row
    SS_NOTIFY_PRESS = 1293,         // a left press on the grid outside the cells: x, y, flag
    SS_NOTIFY_COLWIDTHS = 1295,     // the user resized columns: first, last
    SS_NOTIFY_ROWHEIGHTS = 1296,    // the user resized rows: first, last
    SS_NOTIFY_DRAWCELL = 1297,      // paint one cell: column, row, device, left..bottom
};

// What a notification carries; the fields named for its code are set, the others are 0.
struct SSNotifyRecord {
    int32_t column = 0, row = 0;        // ACTIVECELL, DRAWCELL
    int16_t x = 0, y = 0;               // PRESS: the point in the grid's pixels
    int32_t flag = 0;                   // PRESS: 0 a single press, 1 the second press of a double click
    int32_t first = 0, last = 0;        // COLWIDTHS, ROWHEIGHTS
    // DRAWCELL: a device clipped to the cell, in the grid's pixels, valid during the call only;
    // the cell's rectangle (right and bottom exclusive, the grid lines outside it).
    OutputDevice* device = nullptr;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The notification procedure: (grid, code, word, record); the word is the grid's child-window
// id.  Its result is not used.
using SSNotifyProc = long (*)(SSHandle grid, int code, uintptr_t word, const SSNotifyRecord* record);

// A rectangle in the grid's pixels; right and bottom exclusive.
struct SSRect {
    long left = 0, top = 0, right = 0, bottom = 0;
};

// A cell-type record: 47 bytes, zeroed by the caller, filled by SSInitCellTypeRecord.
//   offset size meaning
//   0      4    "KGCT", marks a record this grid filled
//   4      1    version, 1
//   5      1    cell kind: 1 owner-drawn (the only kind)
//   6      1    style given to SSInitCellTypeRecord (low byte)
//   7      40   zero
constexpr std::size_t SS_CELLTYPE_SIZE = 47;
struct SSCellTypeRecord {
    uint8_t bytes[SS_CELLTYPE_SIZE] = {};
};

// Win32 virtual-key codes the hook receives (other keys: their VK code where one exists for
// letters 'A'..'Z', digits '0'..'9', F1.. (112..), space (32); else 0).
enum : int {
    VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33,
    VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39,
    VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_F1 = 112,
};
// Key flags of a press (Win32 MK_ values): the left button is always in a left press.
enum : unsigned { MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 16 };

// The filter hook of a grid: it sees input before the grid does, points in the grid's pixels.
// Each input method answers true when the grid gets the input, false when the hook took it.
// The drag-and-drop methods are the grid asking its owner.
class SSHook {
public:
    virtual ~SSHook() = default;
    virtual bool mouseMove(SSHandle grid, int x, int y);
    // A left-button press (also the second press of a double click) with its key flags.
    virtual bool leftButtonDown(SSHandle grid, int x, int y, unsigned keyFlags);
    virtual bool keyDown(SSHandle grid, int virtualKey, bool shift, bool ctrl);
    // A typed character (cp1252 byte; 8 backspace, 9 tab, 10 Ctrl+Return, 13 Return), after its
    // key's keyDown.
    virtual bool character(SSHandle grid, uint8_t ch);
    // A drag over the grid is offered to the owner only when this answers a window.
    virtual Window* worksheetWindow(SSHandle grid);
    // A drop: first the dragged data is handed over (readable through DragServer during both
    // calls), then the drop at the point with the cell under it; the drop is taken when
    // dropAt answers non-zero.  Drops are offered over cells only.
    virtual uint8_t takeDraggedData(SSHandle grid);
    virtual uint8_t dropAt(SSHandle grid, int x, int y, long column, long row, bool ctrlUp);
};

// ---- the window ----

// Makes a grid as a child of the widget behind `parentHandle` (Window::getNativeHandle) at
// (x, y) with the size given and the child-window id `id`; it accepts drops and is visible.
// Answers no grid (0) without a parent, with a parent that is no live widget, or with a size
// outside 0..32767.  Starts with 0 rows and columns, options 3, 4 and 8 on.
SSHandle grid_create(void* parentHandle, long x, long y, long width, long height, int id);
// Ends the grid; its handle answers nothing from now on.
void grid_destroy(SSHandle grid);
bool grid_is_alive(SSHandle grid);
int grid_child_id(SSHandle grid);
// The grid's widget (opaque: a QTableView, for the GUI layer and tests); null for no grid.
void* grid_native_handle(SSHandle grid);
void grid_show(SSHandle grid, bool visible);
// Position relative to the parent, and size, in pixels.
void grid_move(SSHandle grid, long x, long y);
bool grid_position(SSHandle grid, long& x, long& y);
void grid_resize(SSHandle grid, long width, long height);
bool grid_size(SSHandle grid, long& width, long& height);
void grid_set_focus(SSHandle grid);
bool grid_has_focus(SSHandle grid);
// Repaints the whole grid, or one rectangle of it (grid pixels), at the next paint.
void grid_invalidate(SSHandle grid);
void grid_invalidate_rect(SSHandle grid, const SSRect& r);
// A device with the grid's resolution for measuring (the grid's own device); drawing on it
// outside a DRAWCELL notification shows nothing.  Null for no grid.
OutputDevice* grid_device(SSHandle grid);
// The owner's word kept with the grid (null at creation).
void grid_set_user_data(SSHandle grid, void* data);
void* grid_user_data(SSHandle grid);
// The filter hook (null: none); not owned, cleared by the owner before it goes.
void grid_set_hook(SSHandle grid, SSHook* hook);
// Column letters: 1 "A" .. 26 "Z", 27 "AA", 52 "AZ", 703 "AAA" (bijective base 26); empty for
// a number below 1.
std::string grid_column_letters(long column);

// ---- control operations ----

bool SSSetCreationFlag(SSHandle grid, long flag);
bool SSSetRowCount(SSHandle grid, long rows);
long SSGetRowCount(SSHandle grid);
bool SSSetColumnCount(SSHandle grid, long columns);
long SSGetColumnCount(SSHandle grid);
bool SSInitCellTypeRecord(SSHandle grid, SSCellTypeRecord* record, long style);
// Only a record filled by SSInitCellTypeRecord, for a cell, a whole row or column (-1) or the
// whole grid (-1, -1), is accepted; every cell is owner-drawn whatever the record.
bool SSApplyCellType(SSHandle grid, long column, long row, const SSCellTypeRecord* record);
bool SSSetNotifyProc(SSHandle grid, SSNotifyProc proc);
bool SSSetBoolOption(SSHandle grid, int option, bool on);
bool SSSetInitialMode(SSHandle grid, long mode);
// Answers the previous mode (0 for no grid).
uint16_t SSSetUnitMode(SSHandle grid, uint16_t mode);
// Row -1: every row, also those added later; -32767 or 0: the column headers' height.
bool SSSetRowHeight(SSHandle grid, long row, long height);
bool SSGetRowHeight(SSHandle grid, long row, long* height);
// Column -1: every column, also those added later; -32767 or 0: the row headers' width.
bool SSSetColumnWidth(SSHandle grid, long column, long width);
bool SSGetColumnWidth(SSHandle grid, long column, long* width);
// Pixels; false for a row or column outside 1..count that is not the header.
bool SSGetRowHeightValue(SSHandle grid, long row, double* value);
bool SSGetColumnWidthValue(SSHandle grid, long column, double* value);
bool SSSetBackColorStyle(SSHandle grid, long style);
// The block from (column1, row1) to (column2, row2); -1 in either corner's coordinate covers
// all of that dimension (with -1 in both dimensions the sheet colour, which also fills the
// sheet beyond the last row and column); 0 or -32767 count as 1.
bool SSSetBlockColor(SSHandle grid, long column1, long row1, long column2, long row2, long background,
                     long foreground);
bool SSSetCellColor(SSHandle grid, long column, long row, long background, long foreground);
// The active cell; false when the grid has no cell.
bool SSGetActiveCellPos(SSHandle grid, long* column, long* row);
// The selected block's corners (first corner top left); a whole row selection has column -1
// in both corners, a whole column row -1, the whole sheet -1 everywhere.  False when no block
// is selected (a click on one cell selects none; the active cell is then the selection).
bool SSGetSelectedBlock(SSHandle grid, long* column1, long* row1, long* column2, long* row2);
// Selects a block (corners in any order; -1 in a coordinate of both corners: whole rows or
// columns); all four -1 clears the selection.  The active cell moves to the block's first cell
// unless it lies inside the block.  False for a coordinate outside the counts.
bool SSSetSelectedBlock(SSHandle grid, long column1, long row1, long column2, long row2);
// The selected area's corners as cells (whole rows or columns widened to the counts), or the
// active cell when no block is selected; false when there is neither.
bool SSGetAreaStart(SSHandle grid, long* column, long* row);
bool SSGetAreaEnd(SSHandle grid, long* column, long* row);
// The cell's rectangle in the grid's pixels (also for cells scrolled out of view); its right
// and bottom edges exclude the grid lines.
bool SSGetCellRect(SSHandle grid, long column, long row, SSRect* rect);
// The cell under a point of the grid (grid lines count to the cell left of and above them);
// false over the headers and outside the cells.
bool SSCellFromPoint(SSHandle grid, long* column, long* row, long x, long y);
bool SSSetCursor(SSHandle grid, int kind, long cursor);
