// The program's host of the options object over the GUI layer: the recent-file list, the frame
// and palette answers, the printer and the paths.
#include "app/KAppOptionsHost.h"

#include <gtest/gtest.h>

#include "platform/gui/Printer.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"

namespace {

std::vector<std::string> recentList(KAppOptionsHost& host) {
    std::vector<std::string> list;
    for (int i = 0; i < host.recentFileCount(); ++i) list.push_back(host.recentFile(i).str());
    return list;
}

TEST(KAppOptionsHost, RecentFilesKeepTheFourLatestMostRecentFirst) {
    struct Row {
        const char* name;
        std::vector<const char*> added;
        std::vector<std::string> expected;
    } rows[] = {
        {"newest first", {"a", "b", "c"}, {"c", "b", "a"}},
        {"a fifth drops the oldest", {"a", "b", "c", "d", "e"}, {"e", "d", "c", "b"}},
        {"the first again changes nothing", {"a", "b", "b"}, {"b", "a"}},
        {"an older one moves to the front", {"a", "b", "c", "a"}, {"a", "c", "b"}},
        {"names compare exactly", {"a.kws", "A.kws"}, {"A.kws", "a.kws"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        KAppOptionsHost host;
        for (const char* path : r.added) host.addRecentFile(String(path));
        EXPECT_EQ(recentList(host), r.expected);
        EXPECT_EQ(host.recentFile(host.recentFileCount()), String());   // past the end
    }
}

TEST(KAppOptionsHost, NoFrameOrPalettesUntilTheProgramHandsThemOver) {
    KAppOptionsHost host;
    KOptionsHost::FrameState frame;
    bool maximized = true, visible = false;
    Point position;
    EXPECT_FALSE(host.mainFrame(frame));
    EXPECT_FALSE(host.activeWorksheetFrame(maximized));
    EXPECT_TRUE(maximized);   // left alone
    for (int i = 0; i < PALETTE_COUNT; ++i) EXPECT_FALSE(host.paletteWindow(i, visible, position)) << i;
    EXPECT_FALSE(host.paletteWindow(-1, visible, position));
    EXPECT_FALSE(host.paletteWindow(PALETTE_COUNT, visible, position));

    Size sizes[PALETTE_COUNT];
    ASSERT_TRUE(host.measurePalettes(sizes));
    for (int i = 0; i < PALETTE_COUNT; ++i) EXPECT_EQ(sizes[i], KAppOptionsHost::kPaletteSizes[i]) << i;
}

TEST(KAppOptionsHost, FrameAndPaletteAnswersComeFromTheWindows) {
    KAppOptionsHost host;
    WorkWindow frame(nullptr, WB_APP_FRAME);
    frame.setPosSizePixel(Point(20, 30), Size(500, 400));
    frame.show();
    FloatingWindow palette(&frame);
    palette.setPosPixel(Point(60, 70));
    palette.show();
    host.setMainFrame(&frame);
    host.setPaletteWindow(PALETTE_BASIC, &palette);
    host.setActiveWorksheetFrame([&frame] { return &frame; });

    KOptionsHost::FrameState state;
    ASSERT_TRUE(host.mainFrame(state));
    EXPECT_EQ(state.position, frame.getPosPixel());
    EXPECT_EQ(state.size, frame.getSizePixel());
    EXPECT_FALSE(state.maximized);
    EXPECT_FALSE(state.minimized);
    bool maximized = true;
    ASSERT_TRUE(host.activeWorksheetFrame(maximized));
    EXPECT_FALSE(maximized);

    bool visible = false;
    Point position;
    ASSERT_TRUE(host.paletteWindow(PALETTE_BASIC, visible, position));
    EXPECT_TRUE(visible);
    EXPECT_EQ(position, palette.getPosPixel());
    palette.hide();
    ASSERT_TRUE(host.paletteWindow(PALETTE_BASIC, visible, position));
    EXPECT_FALSE(visible);
}

TEST(KAppOptionsHost, PrinterIsMadeForANameOrTheDefault) {
    KAppOptionsHost host;
    String name;
    EXPECT_FALSE(host.currentPrinter(name));
    EXPECT_GE(host.printerCount(), 1);   // the PDF printer at least
    EXPECT_EQ(host.printerName(host.printerCount() - 1), String(Printer::kPdfName));

    host.makePrinter(String());
    ASSERT_TRUE(host.currentPrinter(name));
    EXPECT_EQ(name, Printer().getName());
    host.makePrinter(String(Printer::kPdfName));
    ASSERT_TRUE(host.currentPrinter(name));
    EXPECT_EQ(name, String(Printer::kPdfName));
    ASSERT_NE(host.printer(), nullptr);
    EXPECT_TRUE(host.printer()->isPdf());
}

TEST(KAppOptionsHost, FourPathsOfItsOwn) {
    KAppOptionsHost host;
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind)
        host.applicationPath(kind) = FilePath(String("/p/" + std::to_string(kind)));
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind)
        EXPECT_EQ(host.applicationPath(kind).getFull(), String("/p/" + std::to_string(kind)));
    // An unknown kind answers an empty path that holds nothing between calls.
    host.applicationPath(9) = FilePath(String("/x"));
    EXPECT_TRUE(host.applicationPath(-1).isCurrentDir());
}

TEST(KAppOptionsHost, ScreenSizeIsTheGuiLayers) {
    gui::test::activate();
    gui::test::fixScreenSize(Size(1024, 768));
    KAppOptionsHost host;
    EXPECT_EQ(host.screenSize(), Size(1024, 768));
    gui::test::unfixScreenSize();
    gui::test::deactivate();
}

}  // namespace
