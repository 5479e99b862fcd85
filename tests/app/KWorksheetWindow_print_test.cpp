// Print, Print Preview and the printer set-up of the worksheet window.  The window's side runs
// against a recording print view (what it was built with, the mode and owner it was given, the
// caret's state while it ran); the print view itself prints onto a printer that records each
// page as a picture, so that the pages' texts can be read back.  A plot window prints its plot
// document the same way.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/KDocFrame.h"
#include "app/KPlotWindow.h"
#include "app/PrintView.h"
#include "document/elements/PlotElements.h"
#include "document/views/PageList.h"
#include "platform/gui/Picture.h"
#include "platform/gui/Printer.h"
#include "tests/app/worksheet_window_fixture.h"

namespace {

using worksheet_window_test::WorksheetWindowFixture;

// What the recording print view saw.
struct PrintRecord {
    int built = 0;
    bool preview = false;
    int mode = -1;
    Window* owner = nullptr;
    bool marksClearedBefore = false;
    bool caretBusyWhileRunning = false;
    int ranPrint = 0, ranPreview = 0;
};
PrintRecord gRecord;

// Records the run and takes a printer font, as a real run does, so that the test can see it
// dropped afterwards.
class RecordingPrintView : public PrintView {
public:
    using PrintView::PrintView;
    void printPages(int mode, Window* owner) override {
        ++gRecord.ranPrint;
        gRecord.mode = mode;
        gRecord.owner = owner;
        takeAFont();
    }
    void previewPages() override {
        ++gRecord.ranPreview;
        gRecord.caretBusyWhileRunning = window()->caret() && window()->caret()->busy;
        takeAFont();
    }

private:
    void takeAFont() {
        setOutputDevice(printer());
        selectStyle(StyleKey{-1, 0, -1}, false);
    }
};

std::unique_ptr<PrintView> makeRecordingView(WorksheetDocument* document, KWorksheetWindow* window, bool preview) {
    ++gRecord.built;
    gRecord.preview = preview;
    Element* root = document ? document->root() : nullptr;
    gRecord.marksClearedBefore = root && root->mark == 0;
    return std::make_unique<RecordingPrintView>(document, window, preview);
}

// The texts a recorded page draws, in order.
std::vector<std::string> textsOf(const Picture& page) {
    std::vector<std::string> out;
    for (const PictureAction& a : page.actions())
        if (a.type == PA_TEXT || a.type == PA_TEXTARRAY)
            out.push_back(a.text.str().substr(static_cast<std::size_t>(a.textIndex)));
    return out;
}
bool pageShows(const Picture& page, const std::string& text) {
    for (const std::string& t : textsOf(page))
        if (t.find(text) != std::string::npos) return true;
    return false;
}

gui::test::Step choosePrinter(int first, int last) {
    gui::test::Step step;
    step.kind = gui::test::Step::ChoosePrinter;
    step.text = Printer::kPdfName;
    step.copies = 1;
    step.firstPage = first;
    step.lastPage = last;
    return step;
}

class PrintTest : public WorksheetWindowFixture {
protected:
    void SetUp() override {
        WorksheetWindowFixture::SetUp();
        printer_ = std::make_unique<Printer>(String(Printer::kPdfName));
        printer_->setRecordPages(true);
        PrintView::setProgramPrinter(printer_.get());
        gRecord = PrintRecord{};
        // Message boxes are recorded (the fixture's hooks ask no questions here).
        MessageGuiHooks hooks;
        hooks.errorBox = [](void*, int, const char* text) { gui::test::recordMessage(text ? text : ""); };
        hooks.isRunning = [] { return true; };
        messages_set_gui_hooks(hooks);
    }
    void TearDown() override {
        PrintView::setFactory(nullptr);
        PrintView::setProgramPrinter(nullptr);
        WorksheetWindowFixture::TearDown();
        printer_.reset();
    }
    int printerFonts() const {
        int n = 0;
        for (const FontEntry* e : fonts_.entries()) n += e->deviceKey() == 4;
        return n;
    }
    // A worksheet long enough for several pages.
    static std::unique_ptr<WorksheetDocument> longWorksheet(int groups) {
        std::vector<std::string> texts;
        for (int i = 0; i < groups; ++i) texts.push_back("line" + std::to_string(i) + ":=" + std::to_string(i));
        std::vector<const char*> pointers;
        for (const std::string& t : texts) pointers.push_back(t.c_str());
        return worksheetOf(pointers, "long.kws");
    }

    std::unique_ptr<Printer> printer_;
};

TEST_F(PrintTest, CommandsBuildTheViewWithMarksClearedAndDropThePrinterFontsAfterwards) {
    PrintView::setFactory(&makeRecordingView);
    reopen(worksheetOf({"a:=1", "b:=2"}));
    const std::uint16_t modeTwo = 2;
    struct Row {
        const char* name;
        int command;
        std::intptr_t argument;
        bool preview;
        int mode;   // -1: no print run
    } rows[] = {
        {"Print without an argument runs mode 0", 1106, 0, false, 0},
        {"Print with its 16-bit argument", 1106, reinterpret_cast<std::intptr_t>(&modeTwo), false, 2},
        {"Print Preview", 1107, 0, true, -1},
    };
    for (const Row& r : rows) {
        gRecord = PrintRecord{};
        ASSERT_TRUE(window->executeAction(KWorksheetWindow::kSelectAll, nullptr, 0)) << r.name;
        ASSERT_NE(window->document()->root()->mark, 0) << r.name;
        EXPECT_TRUE(window->window_command(r.command, nullptr, r.argument)) << r.name;
        EXPECT_EQ(gRecord.built, 1) << r.name;
        EXPECT_EQ(gRecord.preview, r.preview) << r.name;
        EXPECT_TRUE(gRecord.marksClearedBefore) << r.name;
        EXPECT_EQ(gRecord.ranPrint, r.mode >= 0 ? 1 : 0) << r.name;
        EXPECT_EQ(gRecord.ranPreview, r.preview ? 1 : 0) << r.name;
        if (r.mode >= 0) {
            EXPECT_EQ(gRecord.mode, r.mode) << r.name;
            EXPECT_EQ(gRecord.owner, window) << r.name << ": the window owns the print dialog";
        } else {
            EXPECT_TRUE(gRecord.caretBusyWhileRunning) << r.name;
            EXPECT_FALSE(window->caret()->busy) << r.name << ": the busy flag is put back";
        }
        EXPECT_EQ(printerFonts(), 0) << r.name << ": the printer's font entries are dropped";
        // The window's own view is the document's again and lays it out for the screen.
        EXPECT_EQ(window->document()->activeView(), window->view()) << r.name;
        EXPECT_EQ(window->view()->unitsPerPointNumerator(), 1) << r.name;
    }
    EXPECT_TRUE(gui::test::messages().empty());
}

TEST_F(PrintTest, WithoutAPrinterTheCommandsSaySoAndDoNothing) {
    PrintView::setFactory(&makeRecordingView);
    PrintView::setProgramPrinter(nullptr);
    for (int command : {1106, 1107, 1108}) {
        gui::test::clearRecords();
        EXPECT_FALSE(window->window_command(command, nullptr, 0)) << command;
        EXPECT_EQ(gui::test::messages(), std::vector<std::string>{"This system has no printers"}) << command;
    }
    EXPECT_EQ(gRecord.built, 0);
}

TEST_F(PrintTest, PrintedPagesCarryTheWorksheetAndTheirNumbers) {
    reopen(longWorksheet(120));
    gui::test::setScript({choosePrinter(0, 0)});
    ASSERT_TRUE(window->window_command(1106, nullptr, 0));
    EXPECT_EQ(gui::test::stepsLeft(), 0u) << "the print dialog was asked";
    const std::vector<Picture>& pages = printer_->getRecordedPages();
    ASSERT_GE(pages.size(), 2u) << "120 groups do not fit on one page";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::vector<std::string> texts = textsOf(pages[i]);
        ASSERT_FALSE(texts.empty()) << "page " << i + 1;
        EXPECT_EQ(texts.back(), "Page " + std::to_string(i + 1)) << "the footer comes last";
    }
    EXPECT_TRUE(pageShows(pages.front(), "line0:=0"));
    EXPECT_TRUE(pageShows(pages.back(), "line119:=119"));
    // Every group is printed once, and no group is cut between two pages.
    for (int g = 0; g < 120; ++g) {
        int shown = 0;
        for (const Picture& page : pages) shown += pageShows(page, "line" + std::to_string(g) + ":=") ? 1 : 0;
        EXPECT_EQ(shown, 1) << "group " << g;
    }
    EXPECT_EQ(printerFonts(), 0);
    EXPECT_EQ(window->document()->activeView(), window->view());
    EXPECT_TRUE(gui::test::messages().empty());
}

TEST_F(PrintTest, ThePageRangeIsCutToTheDocumentAndCancelPrintsNothing) {
    reopen(longWorksheet(120));
    gui::test::setScript({choosePrinter(0, 0)});
    ASSERT_TRUE(window->window_command(1106, nullptr, 0));
    const std::size_t all = printer_->getRecordedPages().size();
    ASSERT_GE(all, 2u);

    gui::test::setScript({choosePrinter(2, 9999)});
    ASSERT_TRUE(window->window_command(1106, nullptr, 0));
    const std::vector<Picture>& pages = printer_->getRecordedPages();
    ASSERT_EQ(pages.size(), all - 1);
    EXPECT_EQ(textsOf(pages.front()).back(), "Page 2");

    gui::test::Step cancel;
    cancel.kind = gui::test::Step::CancelDialog;
    gui::test::setScript({cancel});
    EXPECT_TRUE(window->window_command(1106, nullptr, 0));
    EXPECT_EQ(printer_->getRecordedPages().size(), all - 1) << "no job was started";
    EXPECT_FALSE(printer_->isJobActive());
    EXPECT_TRUE(gui::test::messages().empty());
}

TEST_F(PrintTest, PreviewFormatsThePagesForTheHandlerAndGivesTheWindowItsLayoutBack) {
    reopen(longWorksheet(60));
    const int widthBefore = window->view()->documentExtent().width;
    static int previewedPages;
    previewedPages = 0;
    PrintView::setPreviewHandler([](PrintView& view) {
        EXPECT_TRUE(view.isPrintPreview());
        EXPECT_EQ(view.document()->activeView(), &view);
        previewedPages = view.pageList() ? view.pageList()->count() : 0;
    });
    EXPECT_TRUE(window->window_command(1107, nullptr, 0));
    PrintView::setPreviewHandler(nullptr);
    EXPECT_GE(previewedPages, 1);
    EXPECT_TRUE(printer_->getRecordedPages().empty()) << "a preview prints nothing";
    EXPECT_EQ(window->document()->activeView(), window->view());
    EXPECT_EQ(window->view()->documentExtent().width, widthBefore);
}

TEST_F(PrintTest, PrinterSetupTakesTheChosenPrinter) {
    gui::test::setScript({choosePrinter(0, 0)});
    EXPECT_TRUE(window->window_command(1108, nullptr, 0));
    EXPECT_EQ(gui::test::stepsLeft(), 0u);
    gui::test::Step cancel;
    cancel.kind = gui::test::Step::CancelDialog;
    gui::test::setScript({cancel});
    EXPECT_FALSE(window->window_command(1108, nullptr, 0));
}

TEST_F(PrintTest, APlotWindowPrintsItsPlotDocument) {
    KMDIFrame* frame = KMDIFrame::create();
    frame->frameWindow()->setPosSizePixel(Point(10, 10), Size(360, 260));
    frame->showFrame(true);
    auto* plot = new KPlotWindow(new PlotRegion2D(nullptr, nullptr), frame, nullptr, nullptr, 1021, 1000);
    plot->open(nullptr);
    gui::test::setScript({choosePrinter(0, 0)});
    EXPECT_TRUE(plot->window_command(1106, nullptr, 0));
    const std::vector<Picture>& pages = printer_->getRecordedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(textsOf(pages[0]).back(), "Page 1");
    EXPECT_EQ(plot->document()->activeView(), plot->view());
    frame->closeFrame();
}

}  // namespace
