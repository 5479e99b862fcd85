// The options object: construction, the ini file's reader and writer and the value operations
// (the key table is in KOptions.h).
#include "options/KOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/gui/base/Config.h"
#include "tovu/ifvars.h"

KOptions* theOptions = nullptr;

const char* const kPaletteIniNames[PALETTE_COUNT] = {"Greek", "Basic", "Matrix"};

namespace {

constexpr const char* kIniFileName = "rezuru5.ini";
constexpr const char* kHelpBackgroundDefault = "255 255 224";
constexpr const char* kPlotBackgroundDefault = "default";
constexpr const char* kPlotDeviceDefault = "inline";
// Longest path text written for the application's paths; a longer one is written as "".
constexpr std::size_t kMaxPathText = 65529;

const char* const kPathKeys[APP_PATH_COUNT] = {"Open", "SaveAs", "HyperLink", "Template"};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int32_t clampToInt32(long long v) {
    return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v));
}

// One "%d" of a scanf-style scan: optional blanks, an optional sign, at least one digit.
// Returns false when no number starts at `pos` (nothing consumed then).  `fits` tells whether
// the number fits 32 bits; `value` is the number, or the nearer 32-bit limit when it does not.
bool scanNumber(std::string_view text, std::size_t& pos, int32_t& value, bool& fits) {
    std::size_t p = pos;
    while (p < text.size() && isSpace(text[p])) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    long long v = 0;
    fits = true;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        if (v <= (1LL << 32)) v = v * 10 + (text[p] - '0');
    }
    if (negative) v = -v;
    fits = v >= INT32_MIN && v <= INT32_MAX;
    value = clampToInt32(v);
    pos = p;
    return true;
}

// The scanner of the kernel's options: they all start with "-", so a value starting with "/" (a
// folder) is a value, not an option.
class KernelArgScanner : public KL_ArgScanner {
public:
    using KL_ArgScanner::KL_ArgScanner;
    bool isOptionWord(const char* word) const override { return word != nullptr && word[0] == '-'; }
};

}  // namespace

// ---- construction ---------------------------------------------------------------------------

KOptions::KOptions(int argc, const char* const* argv, KOptionsHost& host) : host_(host) {
    iniFileName = String(kIniFileName);
    Config config(iniFileName);
    init(argc, argv, config);
}

KOptions::KOptions(int argc, const char* const* argv, KOptionsHost& host, Config& config) : host_(host) {
    iniFileName = String(kIniFileName);
    init(argc, argv, config);
}

void KOptions::init(int argc, const char* const* argv, Config& config) {
    KL_ArgList all(argc, argv);
    KL_ArgList::split(all, otherArgs, kernelArgs);
    options_read(config);
    parse_command_line();
}

KOptions::~KOptions() {
    if (theOptions == this) theOptions = nullptr;
}

// ---- value operations -----------------------------------------------------------------------

bool KOptions::parseInt32(const String& text, int32_t& out) {
    if (text.isEmpty() || !text.isAllDigits()) return false;
    std::size_t pos = 0;
    int32_t value = 0;
    bool fits = false;
    if (!scanNumber(text.view(), pos, value, fits) || !fits || pos != text.len()) return false;
    out = value;
    return true;
}

bool KOptions::readBool(Config& config, const char* key, bool defaultValue) {
    lastValue = config.readKey(String(key));
    if (lastValue.isEmpty()) return defaultValue;
    return lastValue.equalsIgnoreCase(String("true")) || lastValue.equalsIgnoreCase(String("on")) ||
           lastValue == String("1");
}

int32_t KOptions::readInt(Config& config, const char* key, int32_t defaultValue) {
    lastValue = config.readKey(String(key));
    int32_t value = defaultValue;
    if (!parseInt32(lastValue, value)) return defaultValue;
    return value;
}

String KOptions::readString(Config& config, const char* key, const char* defaultValue) {
    lastValue = config.readKey(String(key));
    return lastValue.isEmpty() ? String(defaultValue) : lastValue;
}

bool KOptions::writeBool(Config& config, const char* key, bool value) {
    return config.writeKey(String(key), String(value ? "true" : "false"));
}

bool KOptions::writeInt(Config& config, const char* key, int32_t value) {
    return config.writeKey(String(key), String(std::to_string(value)));
}

bool KOptions::writeString(Config& config, const char* key, const char* value) {
    return config.writeKey(String(key), String(value));
}

bool KOptions::writePath(Config& config, const char* key, const String& path) {
    return config.writeKey(String(key), path);
}

void KOptions::readPalettePlacement(Config& config, const char* name, PalettePlacement& record,
                                    int32_t defaultX, int32_t defaultY) {
    std::string n(name);
    record.enabled = readBool(config, (n + " Enabled").c_str(), false);
    record.x = readInt(config, (n + " X").c_str(), defaultX);
    record.y = readInt(config, (n + " Y").c_str(), defaultY);
}

bool KOptions::writePalettePlacement(Config& config, const char* name, const PalettePlacement& record) {
    std::string n(name);
    bool ok = writeBool(config, (n + " Enabled").c_str(), record.enabled);
    ok &= writeInt(config, (n + " X").c_str(), record.x);
    ok &= writeInt(config, (n + " Y").c_str(), record.y);
    return ok;
}

void KOptions::capturePalettePlacement(int index, PalettePlacement& record) {
    bool visible = false;
    Point position;
    if (!host_.paletteWindow(index, visible, position)) return;
    record.enabled = visible;
    if (visible) {
        record.x = position.x;
        record.y = position.y;
    }
}

void KOptions::parseColor(const String& text, Color& color, bool& isDefault) {
    if (text.equalsIgnoreCase(String("default"))) {
        isDefault = true;
        return;
    }
    // Three components, each preset to 255; the scan stops at the first one that is no number.
    // A component outside 0..255 (or beyond 32 bits) is clamped.
    int32_t component[3] = {255, 255, 255};
    std::string_view v = text.view();
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        int32_t value = 0;
        bool fits = false;
        if (!scanNumber(v, pos, value, fits)) break;
        component[i] = value < 0 ? 0 : (value > 255 ? 255 : value);
    }
    color = Color::fromRGB8(static_cast<uint8_t>(component[0]), static_cast<uint8_t>(component[1]),
                            static_cast<uint8_t>(component[2]));
    isDefault = false;
}

std::string KOptions::formatColor(const Color& color, bool isDefault) {
    if (isDefault) return "default";
    char text[32];
    std::snprintf(text, sizeof text, "%d %d %d", color.red8(), color.green8(), color.blue8());
    return text;
}

// ---- reading --------------------------------------------------------------------------------

// "x y width height" into the window fields (fields without a number, or whose number does not
// fit 32 bits, stay -1), then fitted to the screen: at least 200 x 200 and at most the screen's
// size when both sizes are given, and moved left or up so that it ends on the screen.
void KOptions::readWindow(Config& config) {
    int32_t* fields[4] = {&windowX, &windowY, &windowWidth, &windowHeight};
    for (int32_t* f : fields) *f = -1;
    String value = readString(config, "Window", "");
    if (value.isEmpty()) return;
    std::size_t pos = 0;
    for (int32_t* f : fields) {
        int32_t number = 0;
        bool fits = false;
        if (!scanNumber(value.view(), pos, number, fits)) break;
        if (fits) *f = number;
    }
    Size screen = host_.screenSize();
    if (windowWidth != -1 && windowHeight != -1) {
        windowWidth = std::min(std::max(windowWidth, int32_t(200)), screen.width);
        windowHeight = std::min(std::max(windowHeight, int32_t(200)), screen.height);
    }
    // 64-bit sums: a stored coordinate may be anything up to the 32-bit limits.
    if (static_cast<long long>(windowX) + windowWidth > screen.width)
        windowX = clampToInt32(std::max(0LL, static_cast<long long>(screen.width) - windowWidth));
    if (static_cast<long long>(windowY) + windowHeight > screen.height)
        windowY = clampToInt32(std::max(0LL, static_cast<long long>(screen.height) - windowHeight));
}

void KOptions::options_read(Config& config) {
    config.setGroup(String("Debug"));
    testMode = readBool(config, "Test Mode", false);
    debugLevel = readInt(config, "Debug Level", 0);

    config.setGroup(String("Options"));
    readWindow(config);
    saveOptions = readBool(config, "Save Options", true);
    showToolBar = readBool(config, "ToolBar", true);
    showContextBar = readBool(config, "ContextBar", true);
    showStatusBar = readBool(config, "StatusBar", true);
    mainWinMaximized = readBool(config, "MainWin Maximized", false);
    mdiWinMaximized = readBool(config, "MDIWin Maximized", false);
    balloonHelp = readBool(config, "Balloon Help", false);
    translateTypefaces = readBool(config, "Translate Typefaces", true);
    twoMathFontsSize = readInt(config, "Use Two Math Fonts Size", 18);
    plotPrinterDpi = readInt(config, "Plot Printer DPI", 200);
    parseColor(readString(config, "HelpBGColor", kHelpBackgroundDefault), helpBackground, helpBackgroundDefault);
    parseColor(readString(config, "PlotBGColor", kPlotBackgroundDefault), plotBackground, plotBackgroundDefault);
    libraryPath.assign(readString(config, "KelvoLib", "").c_str());
    stackLimit = readInt(config, "StackLimit", 512);
    undoBufferLength = readInt(config, "UndoBufferLength", 15);
    lastRevisionStartup = readInt(config, "Last Revision Startup", -1);

    config.setGroup(String("Worksheets"));
    typesetInput = readBool(config, "Typeset Input", false);
    showPrompts = readBool(config, "Prompts", true);
    showInvisible = readBool(config, "Show Invisible", false);
    prettyPrint = readInt(config, "PrettyPrint", 3);
    showAssumed = readInt(config, "ShowAssumed", 1);
    plotDevice.assign(readString(config, "PlotDevice", kPlotDeviceDefault).c_str());

    config.setGroup(String("Files"));
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind)
        host_.applicationPath(kind) = FilePath(readString(config, kPathKeys[kind], ""));

    config.setGroup(String("OLE2"));
    showObjects = readBool(config, "Show Objects", false);

    config.setGroup(String("Help"));
    helpSameWindow = readBool(config, "Same Window", false);
    helpAutoSearch = readBool(config, "AutoSearch", true);
    helpShowGoodness = readBool(config, "Show Goodness", true);
    browserPercent = readInt(config, "Browser Percent", 30);
    helpBrowserFraction = static_cast<float>(browserPercent / 100.0);

    config.setGroup(String("Exports"));
    htmlFrames = readBool(config, "HTML Frames", true);
    htmlLiveHelp = readBool(config, "HTML Live Help", false);
    htmlLiveHelpPrefix.assign(readString(config, "HTML Live Help Prefix", "").c_str());
    htmlLiveHelpSuffix.assign(readString(config, "HTML Live Help Suffix", "").c_str());

    appendKernelStartArguments();
    placePalettes(config);

    interfaceOptions.prettyPrint = prettyPrint;
    interfaceOptions.showAssumed = showAssumed;
    interfaceOptions.plotDevice = plotDevice.text();
}

// "-b" and the library path unless the command line gave the kernel an option "b" itself, then
// "-T" and the stack limit.  The path goes as one word, blanks and all: the kernel receives its
// options as separate words, so nothing needs removing.
void KOptions::appendKernelStartArguments() {
    if (libraryPath.length() > 0) {
        bool haveLibraryOption = false;
        KernelArgScanner scanner(kernelArgs);
        KL_ArgOption option;
        while (scanner.nextOption(option))
            if (option.name != nullptr && std::string_view(option.name) == "b") haveLibraryOption = true;
        if (!haveLibraryOption) {
            kernelArgs.append("-b");
            kernelArgs.append(libraryPath.text());
        }
    }
    char limit[32];
    std::snprintf(limit, sizeof limit, ",,%d", stackLimit);
    kernelArgs.append("-T");
    kernelArgs.append(limit);
}

// Reads the three palette places; when a coordinate has no stored value, places the palettes
// at the right edge of the main window around its middle, measured on temporary palettes:
//   Greek  at (x + width - Greek width,  y + height / 2)
//   Basic  at (x + width - Greek width,  y + height / 2 - Basic height)   (shares Greek's left edge)
//   Matrix at (x + width - Matrix width, y + height / 2 - Matrix height)
// where a window component that is not stored (negative), or a maximised main window, takes
// the screen: x = 0, y = 0, width and height the screen's.  Stored keys still win.
void KOptions::placePalettes(Config& config) {
    config.setGroup(String("Palettes"));
    bool missing = false;
    for (int i = 0; i < PALETTE_COUNT; ++i) {
        readPalettePlacement(config, kPaletteIniNames[i], palettes[i], PALETTE_NO_PLACE, PALETTE_NO_PLACE);
        missing |= palettes[i].x == PALETTE_NO_PLACE || palettes[i].y == PALETTE_NO_PLACE;
    }
    if (!missing) return;

    Size sizes[PALETTE_COUNT];
    host_.measurePalettes(sizes);
    Size screen = host_.screenSize();
    long long x = windowX < 0 || mainWinMaximized ? 0 : windowX;
    long long y = windowY < 0 || mainWinMaximized ? 0 : windowY;
    long long width = windowWidth < 0 || mainWinMaximized ? screen.width : windowWidth;
    long long height = windowHeight < 0 || mainWinMaximized ? screen.height : windowHeight;
    long long middle = y + height / 2;
    const long long defaults[PALETTE_COUNT][2] = {
        {x + width - sizes[PALETTE_GREEK].width, middle},
        {x + width - sizes[PALETTE_GREEK].width, middle - sizes[PALETTE_BASIC].height},
        {x + width - sizes[PALETTE_MATRIX].width, middle - sizes[PALETTE_MATRIX].height},
    };
    for (int i = 0; i < PALETTE_COUNT; ++i)
        readPalettePlacement(config, kPaletteIniNames[i], palettes[i], clampToInt32(defaults[i][0]),
                             clampToInt32(defaults[i][1]));
}

void KOptions::readRecentFiles() {
    Config config(iniFileName);
    config.setGroup(String("Files"));
    for (int n = 4; n >= 1; --n) {
        String path = readString(config, ("FileMRU" + std::to_string(n)).c_str(), "");
        if (!path.isEmpty()) host_.addRecentFile(path);
    }
}

bool KOptions::writeRecentFiles() {
    Config config(iniFileName);
    config.setGroup(String("Files"));
    int count = host_.recentFileCount();
    bool ok = true;
    for (int n = 1; n <= 4; ++n)
        ok &= writePath(config, ("FileMRU" + std::to_string(n)).c_str(), n <= count ? host_.recentFile(n - 1) : String());
    return ok;
}

void KOptions::readPrinter() {
    int count = host_.printerCount();
    if (count < 1) return;
    Config config(iniFileName);
    config.setGroup(String("Printer"));
    String name = readString(config, "Name", "");
    // A name no installed printer has would make the platform fall back to some printer of its
    // own choosing (a file, for example); the default printer is what the user expects then.
    bool installed = false;
    for (int i = 0; i < count && !installed && !name.isEmpty(); ++i) installed = host_.printerName(i) == name;
    host_.makePrinter(installed ? name : String());
}

bool KOptions::writePrinter() {
    String name;
    if (!host_.currentPrinter(name)) return true;
    Config config(iniFileName);
    config.setGroup(String("Printer"));
    return writeString(config, "Name", name.c_str());
}

bool KOptions::windowPosition(Point& out) const {
    if (windowX < 0 || windowY < 0) return false;
    out = Point(windowX, windowY);
    return true;
}

bool KOptions::windowSize(Size& out) const {
    if (windowWidth < 0 || windowHeight < 0) return false;
    out = Size(windowWidth, windowHeight);
    return true;
}

// ---- writing --------------------------------------------------------------------------------

bool KOptions::options_write() {
    Config config(iniFileName);
    return options_write(config);
}

bool KOptions::options_write(Config& config) {
    // 1. The main frame's place and state.  Without a frame the values stay as read, and the
    //    window is written only when it was stored.
    bool writeWindow;
    KOptionsHost::FrameState frame;
    if (host_.mainFrame(frame)) {
        windowX = frame.position.x;
        windowY = frame.position.y;
        windowWidth = frame.size.width;
        windowHeight = frame.size.height;
        mainWinMaximized = frame.maximized;
        writeWindow = !frame.maximized && !frame.minimized;
    } else {
        writeWindow = !mainWinMaximized &&
                      (windowX != -1 || windowY != -1 || windowWidth != -1 || windowHeight != -1);
    }
    bool maximized = false;
    if (host_.activeWorksheetFrame(maximized)) mdiWinMaximized = maximized;

    bool ok = true;
    // 2. Options.
    config.setGroup(String("Options"));
    if (writeWindow) {
        char text[64];
        std::snprintf(text, sizeof text, "%d %d %d %d", windowX, windowY, windowWidth, windowHeight);
        ok &= writeString(config, "Window", text);
    }
    ok &= writeBool(config, "MainWin Maximized", mainWinMaximized);
    ok &= writeBool(config, "MDIWin Maximized", mdiWinMaximized);
    ok &= writeBool(config, "ToolBar", showToolBar);
    ok &= writeBool(config, "ContextBar", showContextBar);
    ok &= writeBool(config, "StatusBar", showStatusBar);
    ok &= writeBool(config, "Save Options", saveOptions);
    ok &= writeBool(config, "Balloon Help", balloonHelp);
    ok &= writeBool(config, "Translate Typefaces", translateTypefaces);
    ok &= writeInt(config, "Use Two Math Fonts Size", twoMathFontsSize);
    ok &= writeInt(config, "Plot Printer DPI", plotPrinterDpi);
    ok &= writeString(config, "KelvoLib", libraryPath.text());
    ok &= writeInt(config, "StackLimit", stackLimit);
    ok &= writeString(config, "HelpBGColor", formatColor(helpBackground, helpBackgroundDefault).c_str());
    ok &= writeString(config, "PlotBGColor", formatColor(plotBackground, plotBackgroundDefault).c_str());
    ok &= writeInt(config, "UndoBufferLength", undoBufferLength);
    ok &= writeInt(config, "Last Revision Startup", lastRevisionStartup);

    // 3. Worksheets.  A plot device other than the two worksheet devices is left in the file.
    config.setGroup(String("Worksheets"));
    ok &= writeBool(config, "Typeset Input", typesetInput);
    ok &= writeBool(config, "Prompts", showPrompts);
    ok &= writeBool(config, "Show Invisible", showInvisible);
    ok &= writeInt(config, "PrettyPrint", prettyPrint);
    ok &= writeInt(config, "ShowAssumed", showAssumed);
    if (plotDevice.equals("inline") || plotDevice.equals("window"))
        ok &= writeString(config, "PlotDevice", plotDevice.text());

    // 4. Files: the application's paths (a path in its error state, or one too long to write,
    //    is written as "").
    config.setGroup(String("Files"));
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind) {
        FilePath& path = host_.applicationPath(kind);
        String text = path.getFull(FilePath::FORM_HOST, kMaxPathText);
        ok &= writePath(config, kPathKeys[kind], path.hasError() ? String() : text);
    }

    // 5. OLE2 and Help.  The browser fraction goes back as a rounded percentage.
    config.setGroup(String("OLE2"));
    ok &= writeBool(config, "Show Objects", showObjects);
    config.setGroup(String("Help"));
    ok &= writeBool(config, "Same Window", helpSameWindow);
    ok &= writeBool(config, "AutoSearch", helpAutoSearch);
    ok &= writeBool(config, "Show Goodness", helpShowGoodness);
    double percent = std::floor(static_cast<double>(helpBrowserFraction) * 100.0 + 0.5);
    browserPercent = std::isfinite(percent) ? clampToInt32(static_cast<long long>(
                                                  std::max(-9.0e18, std::min(9.0e18, percent))))
                                            : 30;
    ok &= writeInt(config, "Browser Percent", browserPercent);

    // 6. Exports.
    config.setGroup(String("Exports"));
    ok &= writeBool(config, "HTML Frames", htmlFrames);
    ok &= writeBool(config, "HTML Live Help", htmlLiveHelp);
    ok &= writeString(config, "HTML Live Help Prefix", htmlLiveHelpPrefix.text());
    ok &= writeString(config, "HTML Live Help Suffix", htmlLiveHelpSuffix.text());

    // 7. Palettes, as the palette windows now stand.
    for (int i = 0; i < PALETTE_COUNT; ++i) capturePalettePlacement(i, palettes[i]);
    config.setGroup(String("Palettes"));
    for (int i = 0; i < PALETTE_COUNT; ++i) ok &= writePalettePlacement(config, kPaletteIniNames[i], palettes[i]);
    return ok;
}
