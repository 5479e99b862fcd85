// The worksheet window's Save, Save As and exports with the file dialog answered by the GUI
// layer's script, the replacement through a temporary file (a failure half-way, a symbolic
// link, a cancelled LaTeX export), the view options and the command table.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/KWindowRegistry.h"
#include "app/KWorksheetWindow.h"
#include "document/edit/UndoHistory.h"
#include "document/edit/BookmarkIndex.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "platform/gui/Menu.h"
#include "util/errjump.h"
#include "document/exec/WorksheetDocument.h"
#include "document/records/KWorksheetReader.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/gui_test.h"
#include "tests/app/doc_window_support.h"

namespace {

using docwin_test::AppWindowScope;
using docwin_test::HoldingAdaptor;
using docwin_test::RecordingFrame;

// The recording frame with the recent-file list.
class RecentFrame : public RecordingFrame {
public:
    void addRecentFile(const char* path) override { recent.push_back(path); }
    std::vector<std::string> recent;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

gui::test::Step chooseFile(const std::string& path, const std::string& filter) {
    gui::test::Step step;
    step.kind = gui::test::Step::ChooseFile;
    step.path = path;
    step.text = filter;
    return step;
}

// A window over a new worksheet without a kernel, registered, in a folder of its own.
class WorksheetSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::activate();
        gui::test::clearRecords();
        savedHost_ = worksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        FontCache::setProgram(&fonts_);
        char name[] = "/tmp/kws_save_testXXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
        window = new KWorksheetWindow(&adaptor_, std::make_unique<WorksheetDocument>(nullptr), &registry);
        window->setSizePixel(Size(400, 300));
        window->open(nullptr);
    }
    void TearDown() override {
        delete window;
        FontCache::setProgram(nullptr);
        worksheetHost() = savedHost_;
        // Message boxes without an answer in the script are noted as failures of the script.
        gui::test::takeFailures();
        gui::test::setScript({});
        gui::test::deactivate();
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    void type(const std::string& text) {
        for (char ch : text) window->keyInput(KeyEvent(static_cast<uint8_t>(ch), KEY_OTHER));
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d))
                if (e->d_name[0] != '.' || (std::string(e->d_name) != "." && std::string(e->d_name) != ".."))
                    out.push_back(e->d_name);
            ::closedir(d);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    AppWindowScope app_;
    RecentFrame frame;
    HoldingAdaptor adaptor_;
    FontCache fonts_;
    WorksheetHost savedHost_;
    KWindowRegistry registry;
    std::string dir;
    KWorksheetWindow* window = nullptr;
};

TEST_F(WorksheetSaveTest, ANewDocumentAsksForANameAndASavedOneDoesNot) {
    type("1+2;");
    const std::string path = dir + "/first.kws";
    gui::test::setScript({chooseFile(path, "Kelvo Worksheet")});
    ASSERT_TRUE(window->window_command(1103, nullptr, 0));
    EXPECT_EQ(gui::test::stepsLeft(), 0u);
    const std::string saved = readFile(path);
        EXPECT_EQ(saved.rfind("{VERSION 3 0", 0), 0u) << saved;
    EXPECT_FALSE(window->document()->modified);
    EXPECT_EQ(window->document()->filePath(), path);
    EXPECT_STREQ(window->document()->plainTitle().text(), "first.kws");
    EXPECT_EQ(frame.recent, std::vector<std::string>{path});
    // The window is found under its new name, so opening the file again brings it forward.
    EXPECT_EQ(registry.find(path, KWindowRegistry::kModeFile), window);

    type("x");
    EXPECT_TRUE(window->document()->modified);
    ASSERT_TRUE(window->save()) << "no dialog: the script is empty";
    EXPECT_EQ(readFile(path).rfind("{VERSION 3 0", 0), 0u);
    EXPECT_FALSE(window->document()->modified);
}

TEST_F(WorksheetSaveTest, TheChosenFilterDecidesTheType) {
    type("a+b;");
    struct Row {
        const char* name;
        int asked;
        const char* filter;
        const char* file;
        const char* contains;   // in the written file
        const char* message;    // "" none
        bool recent;
    } rows[] = {
        {"Kelvo Text chosen as Text writes plain text", KWorksheetWindow::kSaveKelvoText, "Text", "plain.txt", "", "", true},
        {"Kelvo Text", KWorksheetWindow::kSaveKelvoText, "Kelvo Text", "kelvo.txt", "", "", true},
        {"LaTeX does not enter the recent list", KWorksheetWindow::kSaveLatex, "LaTeX Source", "out.tex", "\\end{document}", "", false},
        {"HTML does not enter the recent list", KWorksheetWindow::kSaveHtml, "HTML Source", "out.html", "<html>", "", false},
        {"a worksheet", KWorksheetWindow::kSaveText, "Kelvo Worksheet", "w.kws", "{VIEWOPTS", "", true},
    };
    for (const Row& r : rows) {
        gui::test::clearRecords();
        frame.recent.clear();
        const std::string path = dir + "/" + r.file;
        gui::test::setScript({chooseFile(path, r.filter)});
        EXPECT_TRUE(window->saveAs(r.asked)) << r.name;
        EXPECT_EQ(::access(path.c_str(), F_OK), 0) << r.name;
        EXPECT_NE(readFile(path).find(r.contains), std::string::npos) << r.name << ": " << readFile(path);
        const std::vector<std::string> messages =
            *r.message ? std::vector<std::string>{r.message} : std::vector<std::string>{};
        EXPECT_EQ(gui::test::messages(), messages) << r.name;
        EXPECT_EQ(frame.recent, r.recent ? std::vector<std::string>{path} : std::vector<std::string>{}) << r.name;
    }
    // The filter decided: what "Text" wrote is the plain-text export.
    ASSERT_TRUE(window->writeFile(dir + "/direct.txt", KWorksheetWindow::kSaveText));
    EXPECT_EQ(readFile(dir + "/plain.txt"), readFile(dir + "/direct.txt"));
}

TEST_F(WorksheetSaveTest, CancellingTheDialogsWritesNothing) {
    const std::string tex = dir + "/keep.tex";
    writeFileBytes(tex, "precious");
    gui::test::Step cancel;
    cancel.kind = gui::test::Step::CancelDialog;
    // The LaTeX options question cancelled: the existing file stays as it was.
    gui::test::setScript({chooseFile(tex, "LaTeX Source"), cancel});
    EXPECT_TRUE(window->saveAs(KWorksheetWindow::kSaveLatex));
    EXPECT_EQ(readFile(tex), "precious");
    // The file dialog cancelled.
    gui::test::setScript({cancel});
    EXPECT_FALSE(window->saveAs(KWorksheetWindow::kSaveWorksheet));
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.tex"});
}

TEST_F(WorksheetSaveTest, SavingThroughALinkWritesItsTargetAndKeepsTheMode) {
    const std::string target = dir + "/real.kws", link = dir + "/link.kws";
    writeFileBytes(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.kws", link.c_str()), 0);
    type("y;");
    ASSERT_TRUE(window->writeFile(link, KWorksheetWindow::kSaveWorksheet));
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(target).rfind("{VERSION 3 0", 0), 0u);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.kws", "real.kws"}));
}

TEST_F(WorksheetSaveTest, AWriteProtectedFolderIsReportedBeforeAnythingIsWritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
    const std::string sub = dir + "/locked";
    ASSERT_EQ(::mkdir(sub.c_str(), 0555), 0);
    struct Row {
        int type;
        const char* message;
    } rows[] = {{KWorksheetWindow::kSaveWorksheet, "Unable to open the file."},
                {KWorksheetWindow::kSaveText, "Unable to create file"}};
    for (const Row& r : rows) {
        gui::test::clearRecords();
        EXPECT_FALSE(window->writeFile(sub + "/x", r.type));
        EXPECT_EQ(gui::test::messages(), std::vector<std::string>{r.message});
    }
    ::chmod(sub.c_str(), 0755);
}

// A save cut short by the file-size limit (SIGXFSZ ignored, so the write fails with EFBIG) in a
// child process: the child checks the message and the modified flag, the parent the file.
TEST_F(WorksheetSaveTest, ASaveThatFailsHalfWayLeavesTheOldFile) {
    const std::string path = dir + "/big.kws";
    const std::string old(3000, 'o');
    writeFileBytes(path, old);
    window->document()->setTitle(path.c_str());
    type("z");
    ASSERT_TRUE(window->document()->modified);
    // The message reaches the child's standard error (no message box hooks here).
    char report[] = "/tmp/kws_save_reportXXXXXX";
    const int reportFd = ::mkstemp(report);
    ASSERT_GE(reportFd, 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(reportFd, 2);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        gui::test::clearRecords();
        const bool saved = window->save();
        ::_exit(saved ? 1 : !window->document()->modified ? 2 : 0);
    }
    ::close(reportFd);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 saved, 2 not modified";
    const std::string shown = readFile(report) + " " + [] {
        std::string all;
        for (const std::string& m : gui::test::messages()) all += m;
        return all;
    }();
    ::unlink(report);
    EXPECT_NE(shown.find("Failure saving worksheet."), std::string::npos) << shown;
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"big.kws"});
}

// ---- view options ----------------------------------------------------------------------------

TEST(ViewOptionsRecord, ReadsOnlyZoomsOfTheTable) {
    struct Row {
        const char* name;
        const char* record;
        int sections, groups, invisibles, numerator, denominator, command;
    } rows[] = {
        {"a row of the table", "{VIEWOPTS 0 1 0 3 2 1804 }", 0, 1, 0, 3, 2, 1804},
        {"a zero denominator", "{VIEWOPTS 1 1 1 1 0 1803 }", 1, 1, 1, 1, 1, 1803},
        {"a pair that does not match its id", "{VIEWOPTS 0 0 0 3 2 1805 }", 0, 0, 0, 1, 1, 1803},
        {"an unknown id", "{VIEWOPTS 0 0 0 1 1 9999 }", 0, 0, 0, 1, 1, 1803},
        {"switches other than 0 and 1", "{VIEWOPTS 7 -3 0 1 2 1801 }", 1, 1, 0, 1, 2, 1801},
    };
    for (const Row& r : rows) {
        KWorksheetReader reader;
        reader.openMemory(r.record, std::strlen(r.record));
        KViewOptions o;
        EXPECT_TRUE(o.read(reader)) << r.name;
        EXPECT_EQ((std::vector<int>{o.showSectionRanges, o.showGroupRanges, o.showInvisibles, o.zoomNumerator,
                                    o.zoomDenominator, o.zoomCommand}),
                  (std::vector<int>{r.sections, r.groups, r.invisibles, r.numerator, r.denominator, r.command}))
            << r.name;
    }
}

TEST_F(WorksheetSaveTest, ViewOptionsReachTheViewAndComeBack) {
    KViewOptions none;
    window->getViewOptions(none);
    EXPECT_EQ((std::vector<int>{none.showSectionRanges, none.showGroupRanges, none.showInvisibles, none.zoomNumerator,
                                none.zoomDenominator, none.zoomCommand}),
              (std::vector<int>{0, 0, 0, 1, 1, 1803}))
        << "a window without options starts with the switches off at 100 %";
    KViewOptions o;
    o.showGroupRanges = 1;
    o.zoomNumerator = 3;
    o.zoomDenominator = 2;
    o.zoomCommand = 1804;
    window->setViewOptions(&o);
    EXPECT_TRUE(window->view()->showGroupRanges);
    EXPECT_FALSE(window->view()->showSectionRanges);
    EXPECT_EQ(window->view()->zoomNumerator(), 3);
    EXPECT_EQ(window->view()->zoomDenominator(), 2);
    EXPECT_EQ(window->zoomCommand(), 1804);
    // 1803 restores 100 %; a saved worksheet keeps the zoom of the window.
    EXPECT_TRUE(window->window_command(1801, nullptr, 0));
    EXPECT_EQ(window->view()->zoomDenominator(), 2);
    EXPECT_EQ(window->zoomCommand(), 1801);
    EXPECT_TRUE(window->window_command(1803, nullptr, 0));
    EXPECT_EQ(window->view()->zoomNumerator(), 1);
    EXPECT_EQ(window->view()->zoomDenominator(), 1);
    EXPECT_EQ(window->zoomCommand(), 1803);
}

// ---- commands ------------------------------------------------------------------------------------

TEST_F(WorksheetSaveTest, CommandsOfTheTable) {
    type("abc");
    Element* root = window->document()->root();
    // 1254 is no command; 2507 with a marked selection deletes nothing.
    EXPECT_FALSE(window->window_command(1254, nullptr, 0));
    ASSERT_TRUE(window->window_command(1166, nullptr, 0));
    ASSERT_NE(root->mark, 0);
    const int children = root->childCount();
    EXPECT_FALSE(window->window_command(2507, nullptr, 0));
    EXPECT_EQ(root->childCount(), children);
    window->clearMarks();
    // 2513: 1 in active input, 2 elsewhere.
    auto* input = dynamic_cast<InputTextElement*>(root->firstChild()->firstChild()->firstChild());
    ASSERT_NE(input, nullptr);
    window->caret()->setPosition(input, 1);
    int answer = 0;
    EXPECT_TRUE(window->window_command(2513, nullptr, reinterpret_cast<std::intptr_t>(&answer)));
    EXPECT_EQ(answer, input->isActiveInput() ? 1 : 2);
    // The queries of the kernel settings answer 0 without a kernel session.
    for (int id : {2514, 2515, 2516}) {
        answer = -1;
        EXPECT_TRUE(window->window_command(id, nullptr, reinterpret_cast<std::intptr_t>(&answer)));
        EXPECT_EQ(answer, 0) << id;
    }
    // Execute without a kernel session does nothing.
    EXPECT_FALSE(window->execute(false));
    // Undo and redo through the commands.
    const int undoable = window->document()->undoHistory()->cursor();
    EXPECT_TRUE(window->window_command(1151, nullptr, 0));
    EXPECT_EQ(window->document()->undoHistory()->cursor(), undoable - 1);
    EXPECT_EQ(window->caret()->hideCount(), 0);
    EXPECT_EQ(window->document()->undoHistory()->nesting(), 0);
    // The caret is shown again after every command.
    EXPECT_FALSE(window->window_command(1902, nullptr, 0)) << "no bookmarks";
    EXPECT_EQ(window->caret()->hideCount(), 0);
}

// ---- bookmarks and the context menu ----------------------------------------------------------------

// A paragraph whose context menu holds one item, whose entry raises an error.
class FailingMenuParagraph : public ParagraphElement {
public:
    FailingMenuParagraph() : ParagraphElement(0, nullptr) { menu_.insertItem(kItem, String("Fail"), 0, 0); }
    Menu* cachedContextMenu() const override { return const_cast<PopupMenu*>(&menu_); }
    bool runContextMenuEntry(int entry) override {
        if (entry == kItem) raiseError(nullptr);
        return true;
    }
    static constexpr int kItem = 1700;

private:
    PopupMenu menu_;
};

TEST_F(WorksheetSaveTest, AnErrorInAContextMenuItemIsReportedAndItsGroupClosed) {
    Element* root = window->document()->root();
    auto* paragraph = new FailingMenuParagraph();
    ASSERT_TRUE(root->insertChild(paragraph, nullptr, kInsertBefore));
    gui::test::Step choose;
    choose.kind = gui::test::Step::ChooseMenuItem;
    choose.answer = FailingMenuParagraph::kItem;
    gui::test::setScript({choose});
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->contextMenu(MouseEvent(Point(5, 5), 1, MOUSE_RIGHT, 0), paragraph, ElementPoint{}));
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("Popup Menu Command"), std::string::npos) << report;
    UndoHistory* history = window->document()->undoHistory();
    EXPECT_EQ(history->nesting(), 0);
    EXPECT_FALSE(window->inPopup());
    // The next edit is an undo step of its own.
    window->caret()->setPosition(root->lastChild(), 0);
    type("q");
    KString text;
    ASSERT_TRUE(history->undoMenuText(text));
    EXPECT_STREQ(text.text(), "Typing");
    EXPECT_EQ(window->caret()->hideCount(), 0);
}

TEST_F(WorksheetSaveTest, BookmarkCommandsReachEveryBookmark) {
    Element* root = window->document()->root();
    std::vector<ParagraphElement*> marked;
    for (int i = 0; i < 495; ++i) {
        auto* p = new ParagraphElement(0, nullptr);
        p->bookmark.assign(("mark" + std::to_string(i)).c_str());
        ASSERT_TRUE(root->insertChild(p, root->lastChild(), kInsertBefore));
        marked.push_back(p);
    }
    marked.front()->clearBookmarkIndex();
    struct Row {
        const char* name;
        int command;
        Element* expected;
    } rows[] = {{"the first", 1902, marked[0]}, {"the 495th", 2396, marked[494]}, {"the 200th", 2101, marked[199]}};
    for (const Row& r : rows) {
        EXPECT_TRUE(window->window_command(r.command, nullptr, 0)) << r.name;
        EXPECT_EQ(window->caret()->element(), r.expected) << r.name;
        EXPECT_EQ(window->caret()->hideCount(), 0) << r.name;
    }
    EXPECT_FALSE(window->window_command(2397, nullptr, 0)) << "past the bookmark range";
    ASSERT_TRUE(window->gotoBookmark("mark7"));
    EXPECT_EQ(window->caret()->element(), marked[7]);
    gui::test::clearRecords();
    EXPECT_FALSE(window->gotoBookmark("nowhere"));
}

}  // namespace
