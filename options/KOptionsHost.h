#pragma once
// KOptionsHost: what the options object takes from the program's windows and printer.  The
// options object is free of Qt; the program implements this interface over the GUI layer
// (app/KAppOptionsHost.h) and tests or fuzz targets implement it with fixed answers.
//
// Palette indices: 0 Greek (the symbol palette, resource 1001), 1 Basic (the expression
// palette, resource 1000), 2 Matrix (resource 1002), the order of KOptions::palettes.
//
// Path kinds: 0 "Open", 1 "SaveAs", 2 "HyperLink", 3 "Template", the application's four
// last-used paths.
//
// The host is borrowed by the options object for its whole life and must outlive it.

#include "platform/gui/base/FilePath.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

enum : int { PALETTE_GREEK = 0, PALETTE_BASIC = 1, PALETTE_MATRIX = 2, PALETTE_COUNT = 3 };
enum : int { APP_PATH_OPEN = 0, APP_PATH_SAVEAS = 1, APP_PATH_HYPERLINK = 2, APP_PATH_TEMPLATE = 3,
             APP_PATH_COUNT = 4 };

class KOptionsHost {
public:
    virtual ~KOptionsHost() = default;

    // Pixel size of the screen.
    virtual Size screenSize() = 0;

    // The main frame's position, size and window state; false when there is no main frame yet.
    struct FrameState {
        Point position;
        Size size;
        bool maximized = false;
        bool minimized = false;
    };
    virtual bool mainFrame(FrameState& out) = 0;
    // Whether the active worksheet window's frame is maximised; false when no worksheet window
    // is active (`maximized` is then left alone).
    virtual bool activeWorksheetFrame(bool& maximized) = 0;

    // A palette window's visibility and position; false when that palette window does not exist.
    virtual bool paletteWindow(int index, bool& visible, Point& position) = 0;
    // The sizes of the three palettes, measured on windows built hidden for the purpose and
    // deleted again; false when they cannot be built (the sizes are then left alone).
    virtual bool measurePalettes(Size sizes[PALETTE_COUNT]) = 0;

    // Installed printers, the PDF printer among them.
    virtual int printerCount() = 0;
    virtual String printerName(int index) = 0;
    // Makes the application's printer: the printer of that name, or the default printer for an
    // empty name.
    virtual void makePrinter(const String& name) = 0;
    // The name of the application's printer; false when it has none.
    virtual bool currentPrinter(String& name) = 0;

    // The main frame's recent-file list: addRecentFile puts a path in front (an existing entry
    // moves there, the list keeps at most four); entry 0 is the most recent.
    virtual void addRecentFile(const String& path) = 0;
    virtual int recentFileCount() = 0;
    virtual String recentFile(int index) = 0;

    // One of the application's four paths (kinds above).
    virtual FilePath& applicationPath(int kind) = 0;
};
