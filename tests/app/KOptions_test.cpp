// The options object's ini file: values and their defaults, the main window's fit to the
// screen, colours, write-back, recent files, palette places and the printer.
#include "options/KOptions.h"

#include <gtest/gtest.h>

#include "options_fixture.h"
#include "platform/gui/Printer.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/Config.h"
#include "tests/options/options_settings.h"
#include "tovu/ifvars.h"

namespace {

using KOptionsTest = OptionsFixture;

TEST_F(KOptionsTest, MissingFileGivesEveryDefault) {
    auto o = make();
    EXPECT_FALSE(o->testMode);
    EXPECT_EQ(o->debugLevel, 0);
    EXPECT_EQ(o->windowX, -1);
    EXPECT_EQ(o->windowY, -1);
    EXPECT_EQ(o->windowWidth, -1);
    EXPECT_EQ(o->windowHeight, -1);
    EXPECT_TRUE(o->saveOptions);
    EXPECT_TRUE(o->showToolBar);
    EXPECT_TRUE(o->showContextBar);
    EXPECT_TRUE(o->showStatusBar);
    EXPECT_FALSE(o->mainWinMaximized);
    EXPECT_FALSE(o->mdiWinMaximized);
    EXPECT_FALSE(o->balloonHelp);
    EXPECT_TRUE(o->translateTypefaces);
    EXPECT_EQ(o->twoMathFontsSize, 18);
    EXPECT_EQ(o->plotPrinterDpi, 200);
    EXPECT_EQ(o->helpBackground, Color::fromRGB8(255, 255, 224));
    EXPECT_FALSE(o->helpBackgroundDefault);
    EXPECT_TRUE(o->plotBackgroundDefault);
    EXPECT_STREQ(o->libraryPath.text(), "");
    EXPECT_EQ(o->stackLimit, 512);
    EXPECT_EQ(o->undoBufferLength, 15);
    EXPECT_EQ(o->lastRevisionStartup, -1);
    EXPECT_FALSE(o->typesetInput);
    EXPECT_TRUE(o->showPrompts);
    EXPECT_FALSE(o->showInvisible);
    EXPECT_EQ(o->prettyPrint, 3);
    EXPECT_EQ(o->showAssumed, 1);
    EXPECT_STREQ(o->plotDevice.text(), "inline");
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind) EXPECT_TRUE(host.applicationPath(kind).isCurrentDir()) << kind;
    EXPECT_FALSE(o->showObjects);
    EXPECT_FALSE(o->helpSameWindow);
    EXPECT_TRUE(o->helpAutoSearch);
    EXPECT_TRUE(o->helpShowGoodness);
    EXPECT_EQ(o->browserPercent, 30);
    EXPECT_FLOAT_EQ(o->helpBrowserFraction, 0.3f);
    EXPECT_TRUE(o->htmlFrames);
    EXPECT_FALSE(o->htmlLiveHelp);
    EXPECT_STREQ(o->htmlLiveHelpPrefix.text(), "");
    EXPECT_STREQ(o->htmlLiveHelpSuffix.text(), "");
    for (const PalettePlacement& p : o->palettes) EXPECT_FALSE(p.enabled);
    EXPECT_EQ(o->showSplash, 1);
    EXPECT_EQ(o->kernelSharing, 0);
    EXPECT_EQ(o->linkKind, 2);
    EXPECT_EQ(o->kernelUiMode, 0);
    Point position;
    Size size;
    EXPECT_FALSE(o->windowPosition(position));
    EXPECT_FALSE(o->windowSize(size));
    EXPECT_EQ(host.recentFileCount(), 0);   // the recent files wait for readRecentFiles
}

// One key's stored value and the field it gives.
struct ValueRow {
    const char* name;
    const char* value;   // nullptr: the key is absent
    int expected;
};

TEST_F(KOptionsTest, BooleansReadTrueOnlyForTrueOnAndOne) {
    // "ToolBar" defaults to true, "Balloon Help" to false: the empty value shows the default.
    const ValueRow rows[] = {
        {"on", "on", 1},     {"ON", "ON", 1},     {"True", "True", 1}, {"1", "1", 1},
        {"yes", "yes", 0},   {"0", "0", 0},       {"false", "false", 0}, {"blank", "", -1},
        {"absent", nullptr, -1},
    };
    for (const ValueRow& r : rows) {
        SCOPED_TRACE(r.name);
        std::string text = "[Options]\n";
        if (r.value) text += std::string("ToolBar=") + r.value + "\nBalloon Help=" + r.value + "\n";
        writeIni(text);
        auto o = make();
        EXPECT_EQ(o->showToolBar, r.expected == -1 ? true : r.expected == 1);
        EXPECT_EQ(o->balloonHelp, r.expected == -1 ? false : r.expected == 1);
    }
}

TEST_F(KOptionsTest, IntegersThatAreNoDecimal32BitNumberTakeTheDefault) {
    const ValueRow rows[] = {
        {"plain", "25", 25},
        {"negative", "-3", -3},
        {"largest", "2147483647", 2147483647},
        {"smallest", "-2147483648", INT32_MIN},
        {"beyond 32 bits", "99999999999", 15},
        {"one past the largest", "2147483648", 15},
        {"one below the smallest", "-2147483649", 15},
        {"trailing letters", "12a", 15},
        {"plus sign", "+4", 15},
        {"blank", "", 15},
        {"absent", nullptr, 15},
    };
    for (const ValueRow& r : rows) {
        SCOPED_TRACE(r.name);
        writeIni(r.value ? std::string("[Options]\nUndoBufferLength=") + r.value + "\n" : std::string());
        auto o = make();
        EXPECT_EQ(o->undoBufferLength, r.expected);
    }
}

TEST_F(KOptionsTest, WindowIsFittedToTheScreen) {
    struct Row {
        const char* name;
        const char* value;
        int x, y, width, height;
    } rows[] = {
        {"small window grows to 200", "10 10 50 50", 10, 10, 200, 200},
        {"moved left to end on the screen", "900 0 400 300", 624, 0, 400, 300},
        {"moved up", "0 700 300 300", 0, 468, 300, 300},
        {"larger than the screen", "5 5 5000 5000", 0, 0, 1024, 768},
        {"number beyond 32 bits", "99999999999 10 300 300", -1, 10, 300, 300},
        {"two numbers only", "10 20", 10, 20, -1, -1},
        {"no numbers", "abc", -1, -1, -1, -1},
        {"height missing: sizes kept", "10 20 50", 10, 20, 50, -1},
        {"far right without a width", "5000 10", 1025, 10, -1, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        writeIni(std::string("[Options]\nWindow=") + r.value + "\n");
        auto o = make();
        EXPECT_EQ(o->windowX, r.x);
        EXPECT_EQ(o->windowY, r.y);
        EXPECT_EQ(o->windowWidth, r.width);
        EXPECT_EQ(o->windowHeight, r.height);
    }
}

TEST_F(KOptionsTest, WindowPositionAndSizeNeedBothValues) {
    writeIni("[Options]\nWindow=10 -1 300 300\n");
    auto o = make();
    Point position;
    Size size;
    EXPECT_FALSE(o->windowPosition(position));
    ASSERT_TRUE(o->windowSize(size));
    EXPECT_EQ(size, Size(300, 300));
}

TEST_F(KOptionsTest, ColoursAreThreeClampedComponentsOrDefault) {
    struct Row {
        const char* name;
        const char* value;
        bool isDefault;
        int r, g, b;
    } rows[] = {
        {"three components", "1 2 3", false, 1, 2, 3},
        {"one component, the others 255", "200", false, 200, 255, 255},
        {"outside 0..255 clamped", "300 -5 1000", false, 255, 0, 255},
        {"beyond 32 bits clamped", "99999999999 -99999999999 12", false, 255, 0, 12},
        {"no number", "blue", false, 255, 255, 255},
        {"default", "default", true, 0, 0, 0},
        {"DEFAULT", "DEFAULT", true, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        writeIni(std::string("[Options]\nHelpBGColor=") + r.value + "\nPlotBGColor=" + r.value + "\n");
        auto o = make();
        EXPECT_EQ(o->helpBackgroundDefault, r.isDefault);
        EXPECT_EQ(o->plotBackgroundDefault, r.isDefault);
        if (!r.isDefault) {
            EXPECT_EQ(o->helpBackground, Color::fromRGB8(uint8_t(r.r), uint8_t(r.g), uint8_t(r.b)));
            EXPECT_EQ(o->plotBackground, o->helpBackground);
        }
    }
}

TEST_F(KOptionsTest, NegativeStoredNumbersReadBackAsWritten) {
    writeIni("[Options]\nLast Revision Startup=-1\n[Palettes]\nGreek X=-40\nGreek Y=10\nBasic X=1\nBasic Y=2\n"
             "Matrix X=3\nMatrix Y=-4\n");
    auto o = make();
    EXPECT_EQ(o->lastRevisionStartup, -1);
    EXPECT_EQ(o->palettes[PALETTE_GREEK], (PalettePlacement{false, -40, 10}));
    EXPECT_EQ(o->palettes[PALETTE_MATRIX], (PalettePlacement{false, 3, -4}));
}

TEST_F(KOptionsTest, SessionSettingsSeedTheInterfaceOptions) {
    writeIni("[Worksheets]\nPrettyPrint=0\nShowAssumed=2\nPlotDevice=window\n");
    auto o = make();
    EXPECT_EQ(interfaceOptions.prettyPrint, 0);
    EXPECT_EQ(interfaceOptions.showAssumed, 2);
    EXPECT_EQ(interfaceOptions.plotDevice, "window");
    KInterfaceVars vars;
    EXPECT_EQ(vars.settings()->prettyprint, 0);
    EXPECT_STREQ(vars.settings()->plotdevice, "window");
    interfaceOptions = InterfaceOptions();
}

// ---- write-back -----------------------------------------------------------------------------

TEST_F(KOptionsTest, WriteBackWritesEveryKeyInOrder) {
    writeIni(fixture("complete.ini"));
    auto o = make();
    removeIni();
    ASSERT_TRUE(o->options_write());
    const std::vector<std::string> expected = {
        "Options/Window", "Options/MainWin Maximized", "Options/MDIWin Maximized", "Options/ToolBar",
        "Options/ContextBar", "Options/StatusBar", "Options/Save Options", "Options/Balloon Help",
        "Options/Translate Typefaces", "Options/Use Two Math Fonts Size", "Options/Plot Printer DPI",
        "Options/KelvoLib", "Options/StackLimit", "Options/HelpBGColor", "Options/PlotBGColor",
        "Options/UndoBufferLength", "Options/Last Revision Startup",
        "Worksheets/Typeset Input", "Worksheets/Prompts", "Worksheets/Show Invisible", "Worksheets/PrettyPrint",
        "Worksheets/ShowAssumed", "Worksheets/PlotDevice",
        "Files/Open", "Files/SaveAs", "Files/HyperLink", "Files/Template",
        "OLE2/Show Objects",
        "Help/Same Window", "Help/AutoSearch", "Help/Show Goodness", "Help/Browser Percent",
        "Exports/HTML Frames", "Exports/HTML Live Help", "Exports/HTML Live Help Prefix",
        "Exports/HTML Live Help Suffix",
        "Palettes/Greek Enabled", "Palettes/Greek X", "Palettes/Greek Y", "Palettes/Basic Enabled",
        "Palettes/Basic X", "Palettes/Basic Y", "Palettes/Matrix Enabled", "Palettes/Matrix X",
        "Palettes/Matrix Y",
    };
    std::string text = readIni();
    EXPECT_EQ(iniEntries(text), expected) << text;   // no Debug key among them
    EXPECT_EQ(iniValue(text, "Options", "KelvoLib"), "/opt/kelvo lib/library");
    EXPECT_EQ(iniValue(text, "Options", "Window"), "40 30 700 500");
    EXPECT_EQ(iniValue(text, "Options", "HelpBGColor"), "10 20 30");
    EXPECT_EQ(iniValue(text, "Files", "Template"), "/home/user/template.kws");
    EXPECT_EQ(iniValue(text, "Help", "Browser Percent"), "45");
}

TEST_F(KOptionsTest, WrittenFileReadsBackTheSameSettings) {
    writeIni(fixture("complete.ini"));
    auto first = make();
    ASSERT_TRUE(first->options_write());
    KAppOptionsHost secondHost;
    auto second = make(secondHost);
    EXPECT_EQ(optionsSettingsText(*second), optionsSettingsText(*first));
    EXPECT_TRUE(second->testMode);   // the Debug keys stay in the file as they were
}

TEST_F(KOptionsTest, OtherPlotDevicesAreNotWrittenBack) {
    writeIni("[Worksheets]\nPlotDevice=gdi\n");
    auto o = make();
    EXPECT_STREQ(o->plotDevice.text(), "gdi");
    o->plotDevice.assign("char");
    ASSERT_TRUE(o->options_write());
    EXPECT_EQ(iniValue(readIni(), "Worksheets", "PlotDevice"), "gdi");
    o->plotDevice.assign("window");
    ASSERT_TRUE(o->options_write());
    EXPECT_EQ(iniValue(readIni(), "Worksheets", "PlotDevice"), "window");
}

TEST_F(KOptionsTest, WindowIsWrittenOnlyForANormalFrame) {
    WorkWindow frame(nullptr, WB_APP_FRAME);
    frame.setPosSizePixel(Point(30, 40), Size(640, 480));
    frame.show();
    host.setMainFrame(&frame);
    auto o = make();

    ASSERT_TRUE(o->options_write());
    std::string text = readIni();
    Point p = frame.getPosPixel();
    Size s = frame.getSizePixel();
    EXPECT_EQ(iniValue(text, "Options", "Window"),
              std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(s.width) + " " +
                  std::to_string(s.height));
    EXPECT_EQ(iniValue(text, "Options", "MainWin Maximized"), "false");

    frame.maximize();
    ASSERT_TRUE(frame.isMaximized());
    removeIni();
    ASSERT_TRUE(o->options_write());
    text = readIni();
    EXPECT_EQ(iniValue(text, "Options", "Window"), "<none>");
    EXPECT_EQ(iniValue(text, "Options", "MainWin Maximized"), "true");

    frame.restore();
    frame.minimize();
    ASSERT_TRUE(frame.isMinimized());
    removeIni();
    ASSERT_TRUE(o->options_write());
    EXPECT_EQ(iniValue(readIni(), "Options", "Window"), "<none>");
    host.setMainFrame(nullptr);
}

TEST_F(KOptionsTest, ActiveWorksheetFrameGivesMdiMaximized) {
    auto o = make();
    WorkWindow frame(nullptr, 0);
    frame.show();
    frame.maximize();
    host.setActiveWorksheetFrame([&frame] { return &frame; });
    ASSERT_TRUE(o->options_write());
    EXPECT_TRUE(o->mdiWinMaximized);
    EXPECT_EQ(iniValue(readIni(), "Options", "MDIWin Maximized"), "true");
    host.setActiveWorksheetFrame(nullptr);
}

TEST_F(KOptionsTest, WithoutAFrameTheValuesAreWrittenAsRead) {
    writeIni("[Options]\nMainWin Maximized=true\nWindow=40 30 700 500\n");
    auto o = make();
    removeIni();
    ASSERT_TRUE(o->options_write());
    std::string text = readIni();
    EXPECT_EQ(iniValue(text, "Options", "MainWin Maximized"), "true");
    EXPECT_EQ(iniValue(text, "Options", "Window"), "<none>");   // a maximised frame's place is not kept

    writeIni("");
    auto fresh = make();
    removeIni();
    ASSERT_TRUE(fresh->options_write());
    EXPECT_EQ(iniValue(readIni(), "Options", "Window"), "<none>");   // nothing stored, nothing written
}

TEST_F(KOptionsTest, TemplatePathInItsErrorStateIsWrittenEmpty) {
    auto o = make();
    host.applicationPath(APP_PATH_OPEN) = FilePath(String("/home/user/open"));
    host.applicationPath(APP_PATH_TEMPLATE) = FilePath(String("disk:a/b"), FilePath::STYLE_MAC);
    ASSERT_TRUE(host.applicationPath(APP_PATH_TEMPLATE).hasError());
    ASSERT_TRUE(o->options_write());
    std::string text = readIni();
    EXPECT_EQ(iniValue(text, "Files", "Template"), "");
    EXPECT_EQ(iniValue(text, "Files", "Open"), "/home/user/open");
}

TEST_F(KOptionsTest, BrowserFractionIsWrittenAsRoundedPercent) {
    struct Row { float fraction; const char* written; } rows[] = {
        {0.3f, "30"}, {0.456f, "46"}, {0.0f, "0"}, {1.0f, "100"}, {-0.3f, "-30"},
    };
    auto o = make();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.written);
        o->helpBrowserFraction = r.fraction;
        ASSERT_TRUE(o->options_write());
        EXPECT_EQ(iniValue(readIni(), "Help", "Browser Percent"), r.written);
    }
}

// ---- recent files ---------------------------------------------------------------------------

TEST_F(KOptionsTest, RecentFilesAreReadFromFourDownToOne) {
    writeIni(fixture("complete.ini"));
    auto o = make();
    o->readRecentFiles();
    ASSERT_EQ(host.recentFileCount(), 4);
    EXPECT_EQ(host.recentFile(0), String("/home/user/one.kws"));
    EXPECT_EQ(host.recentFile(1), String("/home/user/two.kws"));
    EXPECT_EQ(host.recentFile(2), String("/home/user/three.kws"));
    EXPECT_EQ(host.recentFile(3), String("/home/user/four.kws"));
}

TEST_F(KOptionsTest, RecentFileListKeepsFourAndWritesAllKeys) {
    writeIni("[Files]\nFileMRU3=/stale.kws\n");
    auto o = make();
    o->readRecentFiles();
    host.addRecentFile(String("a"));
    host.addRecentFile(String("b"));
    ASSERT_TRUE(o->writeRecentFiles());
    std::string text = readIni();
    EXPECT_EQ(iniValue(text, "Files", "FileMRU1"), "b");
    EXPECT_EQ(iniValue(text, "Files", "FileMRU2"), "a");
    EXPECT_EQ(iniValue(text, "Files", "FileMRU3"), "/stale.kws");
    EXPECT_EQ(iniValue(text, "Files", "FileMRU4"), "");

    for (const char* name : {"c", "d", "e", "a"}) host.addRecentFile(String(name));
    ASSERT_EQ(host.recentFileCount(), 4);
    ASSERT_TRUE(o->writeRecentFiles());
    text = readIni();
    EXPECT_EQ(iniValue(text, "Files", "FileMRU1"), "a");   // an existing entry moves to the front
    EXPECT_EQ(iniValue(text, "Files", "FileMRU2"), "e");
    EXPECT_EQ(iniValue(text, "Files", "FileMRU3"), "d");
    EXPECT_EQ(iniValue(text, "Files", "FileMRU4"), "c");   // b and the stale one fell off
}

// ---- palette places -------------------------------------------------------------------------

// The program's host with palettes of chosen sizes that counts how often they are measured.
class MeasuringHost : public KAppOptionsHost {
public:
    bool measurePalettes(Size sizes[PALETTE_COUNT]) override {
        ++measured;
        for (int i = 0; i < PALETTE_COUNT; ++i) sizes[i] = paletteSizes[i];
        return true;
    }
    Size paletteSizes[PALETTE_COUNT] = {Size(250, 101), Size(150, 81), Size(90, 71)};
    int measured = 0;
};

TEST_F(KOptionsTest, MissingPalettePlacesFollowTheMainWindow) {
    struct Row {
        const char* name;
        const char* ini;
        PalettePlacement greek, basic, matrix;
    } rows[] = {
        // x + width = 900, y + height / 2 = 50 + 300 (601 / 2 truncated).
        {"stored window", "[Options]\nWindow=100 50 800 601\n",
         {false, 650, 350}, {false, 650, 269}, {false, 810, 279}},
        // The whole screen: 1024 wide, middle 384.
        {"maximised", "[Options]\nWindow=100 50 800 601\nMainWin Maximized=true\n",
         {false, 774, 384}, {false, 774, 303}, {false, 934, 313}},
        {"no window", "", {false, 774, 384}, {false, 774, 303}, {false, 934, 313}},
        // A negative coordinate takes the screen's origin for that coordinate only.
        {"negative x", "[Options]\nWindow=-5 40 800 600\n",
         {false, 550, 340}, {false, 550, 259}, {false, 710, 269}},
        // Stored keys still win; the others take the computed places.
        {"one key stored", "[Options]\nWindow=100 50 800 601\n[Palettes]\nBasic Enabled=on\nBasic Y=7\n",
         {false, 650, 350}, {true, 650, 7}, {false, 810, 279}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        writeIni(r.ini);
        MeasuringHost measuring;
        auto o = make(measuring);
        EXPECT_EQ(measuring.measured, 1);
        EXPECT_EQ(o->palettes[PALETTE_GREEK], r.greek);
        EXPECT_EQ(o->palettes[PALETTE_BASIC], r.basic);
        EXPECT_EQ(o->palettes[PALETTE_MATRIX], r.matrix);
    }
}

TEST_F(KOptionsTest, StoredPalettePlacesNeedNoMeasuring) {
    writeIni(fixture("complete.ini"));
    MeasuringHost measuring;
    auto o = make(measuring);
    EXPECT_EQ(measuring.measured, 0);
    EXPECT_EQ(o->palettes[PALETTE_GREEK], (PalettePlacement{true, -40, 120}));
    EXPECT_EQ(o->palettes[PALETTE_BASIC], (PalettePlacement{true, 300, 140}));
    EXPECT_EQ(o->palettes[PALETTE_MATRIX], (PalettePlacement{false, 310, 150}));
}

TEST_F(KOptionsTest, PaletteWindowsGiveTheirPlacesOnWrite) {
    writeIni(fixture("complete.ini"));
    auto o = make();
    WorkWindow frame(nullptr, WB_APP_FRAME);
    frame.show();
    FloatingWindow greek(&frame), matrix(&frame);
    greek.setPosPixel(Point(11, 12));
    greek.show();
    matrix.setPosPixel(Point(500, 500));
    matrix.hide();
    host.setPaletteWindow(PALETTE_GREEK, &greek);
    host.setPaletteWindow(PALETTE_MATRIX, &matrix);
    ASSERT_TRUE(o->options_write());
    Point p = greek.getPosPixel();
    EXPECT_EQ(o->palettes[PALETTE_GREEK], (PalettePlacement{true, p.x, p.y}));
    EXPECT_EQ(o->palettes[PALETTE_BASIC], (PalettePlacement{true, 300, 140}));   // no window: as read
    EXPECT_EQ(o->palettes[PALETTE_MATRIX], (PalettePlacement{false, 310, 150}));  // hidden: place kept
    std::string text = readIni();
    EXPECT_EQ(iniValue(text, "Palettes", "Matrix Enabled"), "false");
    EXPECT_EQ(iniValue(text, "Palettes", "Greek X"), std::to_string(p.x));
    host.setPaletteWindow(PALETTE_GREEK, nullptr);
    host.setPaletteWindow(PALETTE_MATRIX, nullptr);
}

// ---- printer --------------------------------------------------------------------------------

// The program's host that records the names it is asked to make printers for.
class PrinterRecordingHost : public KAppOptionsHost {
public:
    void makePrinter(const String& name) override {
        asked.push_back(name.str());
        KAppOptionsHost::makePrinter(name);
    }
    std::vector<std::string> asked;
};

TEST_F(KOptionsTest, PrinterNameThatNoPrinterHasGivesTheDefaultPrinter) {
    const std::string defaultName = Printer().getName().str();
    struct Row { const char* name; const char* ini; const char* asked; } rows[] = {
        {"no key", "", ""},
        {"empty name", "[Printer]\nName=\n", ""},
        {"unknown name", "[Printer]\nName=No Such Printer\n", ""},
        {"the PDF printer", "[Printer]\nName=PDF\n", "PDF"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        writeIni(r.ini);
        PrinterRecordingHost recording;
        auto o = make(recording);
        o->readPrinter();
        ASSERT_EQ(recording.asked, std::vector<std::string>{r.asked});
        ASSERT_NE(recording.printer(), nullptr);
        if (*r.asked == '\0') {
            EXPECT_EQ(recording.printer()->getName().str(), defaultName);
        }
    }
}

TEST_F(KOptionsTest, WithoutInstalledPrintersThePdfPrinterIsReadAndWritten) {
    if (Printer::getPrinterCount() != 1) GTEST_SKIP() << "this machine has printers installed";
    auto o = make();
    EXPECT_TRUE(o->writePrinter());   // no printer yet: nothing written
    EXPECT_EQ(iniValue(readIni(), "Printer", "Name"), "<none>");
    o->readPrinter();
    ASSERT_NE(host.printer(), nullptr);
    EXPECT_EQ(host.printer()->getName(), String(Printer::kPdfName));
    ASSERT_TRUE(o->writePrinter());
    EXPECT_EQ(iniValue(readIni(), "Printer", "Name"), "PDF");
}

}  // namespace
