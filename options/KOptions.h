#pragma once
// KOptions: every user setting of the worksheet program, read from the ini file "rezuru5.ini"
// and the command line, and written back to the ini file.
//
// `Main` builds the one object before any window exists and keeps it in the global pointer
// `theOptions`, through which the bars, the elements (prompts, typeset input, show-objects), the
// printing code and the exports read it.  Free of Qt: what the object needs of windows, the
// printer, the recent-file list and the application's paths comes through KOptionsHost.
//
// Ini file, in the order options_read reads it (group, key, kind, default, field):
//
// | group      | key                        | kind   | default       | field                    |
// |------------|----------------------------|--------|---------------|--------------------------|
// | Debug      | "Test Mode"                | bool   | false         | testMode                 |
// | Debug      | "Debug Level"              | int    | 0             | debugLevel               |
// | Options    | "Window"                   | 4 ints | empty         | windowX .. windowHeight  |
// | Options    | "Save Options"             | bool   | true          | saveOptions              |
// | Options    | "ToolBar"                  | bool   | true          | showToolBar              |
// | Options    | "ContextBar"               | bool   | true          | showContextBar           |
// | Options    | "StatusBar"                | bool   | true          | showStatusBar            |
// | Options    | "MainWin Maximized"        | bool   | false         | mainWinMaximized         |
// | Options    | "MDIWin Maximized"         | bool   | false         | mdiWinMaximized          |
// | Options    | "Balloon Help"             | bool   | false         | balloonHelp              |
// | Options    | "Translate Typefaces"      | bool   | true          | translateTypefaces       |
// | Options    | "Use Two Math Fonts Size"  | int    | 18            | twoMathFontsSize         |
// | Options    | "Plot Printer DPI"         | int    | 200           | plotPrinterDpi           |
// | Options    | "HelpBGColor"              | colour | 255 255 224   | helpBackground(Default)  |
// | Options    | "PlotBGColor"              | colour | default       | plotBackground(Default)  |
// | Options    | "KelvoLib"                 | string | empty         | libraryPath              |
// | Options    | "StackLimit"               | int    | 512           | stackLimit               |
// | Options    | "UndoBufferLength"         | int    | 15            | undoBufferLength         |
// | Options    | "Last Revision Startup"    | int    | -1            | lastRevisionStartup      |
// | Worksheets | "Typeset Input"            | bool   | false         | typesetInput             |
// | Worksheets | "Prompts"                  | bool   | true          | showPrompts              |
// | Worksheets | "Show Invisible"           | bool   | false         | showInvisible            |
// | Worksheets | "PrettyPrint"              | int    | 3             | prettyPrint              |
// | Worksheets | "ShowAssumed"              | int    | 1             | showAssumed              |
// | Worksheets | "PlotDevice"               | string | inline        | plotDevice               |
// | Files      | "Open", "SaveAs",          | path   | empty         | the application's paths  |
// |            | "HyperLink", "Template"    |        |               | (KOptionsHost)           |
// | OLE2       | "Show Objects"             | bool   | false         | showObjects              |
// | Help       | "Same Window"              | bool   | false         | helpSameWindow           |
// | Help       | "AutoSearch"               | bool   | true          | helpAutoSearch           |
// | Help       | "Show Goodness"            | bool   | true          | helpShowGoodness         |
// | Help       | "Browser Percent"          | int    | 30            | browserPercent, and      |
// |            |                            |        |               | helpBrowserFraction/100  |
// | Exports    | "HTML Frames"              | bool   | true          | htmlFrames               |
// | Exports    | "HTML Live Help"           | bool   | false         | htmlLiveHelp             |
// | Exports    | "HTML Live Help Prefix"    | string | empty         | htmlLiveHelpPrefix       |
// | Exports    | "HTML Live Help Suffix"    | string | empty         | htmlLiveHelpSuffix       |
// | Palettes   | "Greek", "Basic", "Matrix" | bool,  | false, -500,  | palettes[0..2]           |
// |            | + " Enabled", " X", " Y"   | 2 ints | -500          |                          |
// | Files      | "FileMRU1" .. "FileMRU4"   | path   | empty         | recent files (host)      |
// | Printer    | "Name"                     | string | empty         | the printer (host)       |
//
// Value forms: booleans are written "true"/"false" and read true for "true" or "on" in any case
// or "1", false for any other text; integers are decimal and must fit 32 bits (else the key's
// default); colours are "R G B" (each clamped to 0..255, a missing one 255) or "default"; the
// window is "x y width height"; a missing or empty value takes the default.  Keys of group
// "Debug" are never written.
//
// The kernel's start arguments: options_read appends "-b" and the library path (exactly as the
// ini file holds it) unless the command line's kernel options already name an option "b", then
// always "-T" and ",,<stackLimit>".
//
// Settings whose owners (OLE elements, help system) read and set them here: showObjects,
// helpSameWindow, helpAutoSearch, helpShowGoodness, helpBrowserFraction.  options_read and
// options_write stay their one reader and writer.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kernel_link/KL_ArgList.h"
#include "kernel_link/KL_ConnectInfo.h"
#include "options/KOptionsHost.h"
#include "platform/gui/base/Color.h"
#include "platform/gui/base/String.h"
#include "util/KString.h"

class Config;

// Where a palette stands; -500 in a coordinate means no stored place.
struct PalettePlacement {
    bool enabled = false;
    int32_t x = -500;
    int32_t y = -500;
    bool operator==(const PalettePlacement&) const = default;
};

constexpr int32_t PALETTE_NO_PLACE = -500;

class KOptions {
public:
    // Splits the command line (program name first), reads the ini file `iniFileName` and then
    // the command line's own options (parse_command_line).
    KOptions(int argc, const char* const* argv, KOptionsHost& host);
    // The same, reading the given configuration instead of the ini file.
    KOptions(int argc, const char* const* argv, KOptionsHost& host, Config& config);
    ~KOptions();
    KOptions(const KOptions&) = delete;
    KOptions& operator=(const KOptions&) = delete;

    // ---- fields, in their order -----------------------------------------------------------
    bool testMode = false;          // debug output only when set
    int32_t debugLevel = 0;

    bool showToolBar = true;
    bool showContextBar = true;
    bool showStatusBar = true;
    bool balloonHelp = false;
    bool saveOptions = true;
    bool mainWinMaximized = false;
    bool mdiWinMaximized = false;   // new worksheet windows open maximised

    int32_t windowX = -1;           // main window in pixels; -1 = not stored
    int32_t windowY = -1;
    int32_t windowWidth = -1;
    int32_t windowHeight = -1;

    bool showPrompts = true;
    bool showInvisible = false;
    bool translateTypefaces = true;

    KString libraryPath;            // "-b" for the kernel, as the user wrote it

    Color helpBackground;           // background of help documents' windows
    bool helpBackgroundDefault = false;
    Color plotBackground;           // background of plot windows
    bool plotBackgroundDefault = true;

    int32_t twoMathFontsSize = 18;
    int32_t stackLimit = 512;

    String lastValue;               // the value of the last key read
    String iniFileName;             // "rezuru5.ini"

    int32_t undoBufferLength = 15;  // each new document's undo depth

    bool htmlFrames = true;
    bool htmlLiveHelp = false;
    KString htmlLiveHelpPrefix;
    KString htmlLiveHelpSuffix;

    int32_t browserPercent = 30;

    bool typesetInput = false;      // a new execution group gets a two-dimensional input

    KL_ArgList otherArgs;           // words that are not kernel options, program name first
    KL_ArgList kernelArgs;          // kernel options, program name first, then "-b", "-T"

    // The kernel connection choice (parse_command_line).
    uint8_t kernelUiMode = 0;       // 1 after "kp", 2 after "km q"; read by nothing else
    int32_t kernelSharing = 0;      // 0 one shared kernel, 1 one per worksheet, 2 "km a"
    uint8_t reservedFlag = 0;       // always 0
    int32_t linkKind = 2;           // 2 in process, 3 kernel server, 6 "kd r" (as 3)
    std::unique_ptr<KL_ConnectInfo> pipeServerInfo;   // always built
    std::unique_ptr<KL_ConnectInfo> reservedInfo1;    // stays null
    std::unique_ptr<KL_ConnectInfo> reservedInfo2;    // stays null
    std::unique_ptr<KL_ConnectInfo> networkInfo;      // only when a host was given

    int32_t prettyPrint = 3;        // seeds every new session's interface settings
    int32_t showAssumed = 1;
    KString plotDevice;

    int32_t lastRevisionStartup = -1;   // negative: the help introduction is still to show

    int32_t showSplash = 1;

    PalettePlacement palettes[PALETTE_COUNT];   // Greek, Basic, Matrix

    int32_t plotPrinterDpi = 200;

    // Settings owned by other parts of the program, kept here for their one reader and writer.
    bool showObjects = false;           // OLE elements
    bool helpSameWindow = false;        // the help manager's same-window flag
    bool helpAutoSearch = true;
    bool helpShowGoodness = true;
    float helpBrowserFraction = 0.3f;   // the help browser's split

    // ---- ini file ---------------------------------------------------------------------------
    // Reads every key except the recent files and the printer, then appends the kernel's start
    // arguments, computes missing palette places and seeds the sessions' interface settings.
    void options_read(Config& config);
    // Writes the settings back to the ini file `iniFileName` (or to `config`).  False when the
    // file could not be written; what was written before the failure stays.
    bool options_write();
    bool options_write(Config& config);

    void readRecentFiles();
    bool writeRecentFiles();
    // Makes the application's printer from key "Name" of group "Printer": an empty name, or one
    // no installed printer has, gives the default printer.
    void readPrinter();
    bool writePrinter();

    // The stored main window; false when either value is negative.
    bool windowPosition(Point& out) const;
    bool windowSize(Size& out) const;

    // ---- command line ------------------------------------------------------------------------
    // Reads the program's own options from `otherArgs` and builds the connection descriptors.
    void parse_command_line();
    // The worksheets named on the command line, in order: the plain words of `otherArgs` after
    // the program name that are not the value of an option.
    std::vector<std::string> commandLineWorksheets() const;

    // ---- value operations on the current group of `config` -----------------------------------
    bool readBool(Config& config, const char* key, bool defaultValue);
    int32_t readInt(Config& config, const char* key, int32_t defaultValue);
    String readString(Config& config, const char* key, const char* defaultValue);
    bool writeBool(Config& config, const char* key, bool value);
    bool writeInt(Config& config, const char* key, int32_t value);
    bool writeString(Config& config, const char* key, const char* value);
    bool writePath(Config& config, const char* key, const String& path);
    void readPalettePlacement(Config& config, const char* name, PalettePlacement& record,
                              int32_t defaultX, int32_t defaultY);
    bool writePalettePlacement(Config& config, const char* name, const PalettePlacement& record);
    // From the palette window when it exists: enabled = visible, and a visible palette's
    // position; a hidden palette keeps its last position.
    void capturePalettePlacement(int index, PalettePlacement& record);

    KOptionsHost& host() const { return host_; }

    // Value forms, shared with the tests.
    // A decimal 32-bit number with an optional "-"; false for anything else.
    static bool parseInt32(const String& text, int32_t& out);
    // "R G B" (clamped components, missing ones 255) or "default" (case ignored).
    static void parseColor(const String& text, Color& color, bool& isDefault);
    static std::string formatColor(const Color& color, bool isDefault);

private:
    void init(int argc, const char* const* argv, Config& config);
    void readWindow(Config& config);
    void appendKernelStartArguments();
    void placePalettes(Config& config);

    KOptionsHost& host_;
};

// The program's one options object (null before Main builds it and after it is deleted).
extern KOptions* theOptions;

// The names of the three palettes in the ini file, in palette order.
extern const char* const kPaletteIniNames[PALETTE_COUNT];
