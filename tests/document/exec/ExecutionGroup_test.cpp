// Execution groups and the session group in a headless worksheet: a worksheet document with a
// root section and a group, executed against the scripted stand-in kernel (in process and
// behind kernsrv) and the real kernel library, with the resulting tree checked; and the
// group's sink operations driven one by one for the edge cases.

#include "document/exec/ExecutionGroup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/exec/ExecutionGroup_text2d.h"
#include "document/elements/InputTextElement.h"
#include "document/records/KWorksheetReader.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/elements/MathElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/PlotElements.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/SessionGroup.h"
#include "document/elements/TextElement.h"
#include "document/edit/UndoHistory.h"
#include "document/tree/ViewCaret.h"
#include "document/exec/WorksheetDocument.h"
#include "kernel_link/KKernelSession.h"
#include "plot/plot_device.h"
#include "tovu/ifvars.h"
#include "tovu/parse_driver.h"
#include "tests/support/named_rows.h"

namespace {

class TestSection : public ContainerElement {
public:
    Element* cloneElement() const override { return new TestSection; }
    int elementKind() const override { return KIND_SECTION; }
};

class NullCursor : public TextCursor {
public:
    void setSize(int, int) override {}
    void setPos(int, int) override {}
    void show() override {}
    void hide() override {}
};

class TestView;

class TestWindow : public ElementWindow {
public:
    explicit TestWindow(DocumentView* v) : view_(v) {}
    DocumentView* view() override { return view_; }
    TextCursor* createCursor() override { return new NullCursor; }
    bool isRectVisible(const ElementRect&) override { return true; }
    void scrollIntoView(const ElementRect&) override {}
    void invert(const ElementRect&) override {}
    ViewCaret* caret() override { return caretObject.get(); }
    std::unique_ptr<ViewCaret> caretObject;

private:
    DocumentView* view_;
};

class TestView : public DocumentView {
public:
    explicit TestView(Document* doc) : DocumentView(doc) { setViewSize(600, 400); }
    void drawText(const ElementPoint&, const char*, int, bool) override {}
    ElementWindow* worksheetWindow() override { return &window; }
    ElementWindow* worksheetEditTarget() override { return &window; }
    TestWindow window{this};
};

enum class Link { Direct, Server, Real, RealServer };

std::vector<std::string> helpTopics;

class GroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerReplyStreams();
        WorksheetHost& host = worksheetHost();
        host = WorksheetHost();
        host.lowMemoryCheck = [] { return false; };
        executionGroupHooks = ExecutionGroupHooks();
        executionGroupOptions = ExecutionGroupOptions();
        helpTopics.clear();
    }
    void TearDown() override {
        closeDocument();
        WorksheetHost& host = worksheetHost();
        std::vector<QuietEvaluator*> left = host.evaluators;
        host.evaluators.clear();
        for (QuietEvaluator* e : left) delete e;
        freeReplyStreams();
        ::unsetenv("KELVO_KERNEL");
    }

    // A worksheet of a root section holding one group with a "> " input of the given text; the
    // caret stands in that input.
    void open(Link link, const char* input = "") {
        WorksheetHost& host = worksheetHost();
        host.kernelMode = 1;
        link_ = link;
        if (link == Link::Server || link == Link::RealServer) {
#ifdef KL_KERNSRV
            host.linkKind = 3;
            host.serverCommand = KL_KERNSRV;
#ifdef KL_REAL_KERNEL
            ::setenv("KELVO_KERNEL", link == Link::RealServer ? KL_REAL_KERNEL : KL_SCRIPT_KERNEL, 1);
#else
            ::setenv("KELVO_KERNEL", KL_SCRIPT_KERNEL, 1);
#endif
#endif
        } else {
            host.linkKind = 2;
#ifdef KL_REAL_KERNEL
            host.kernelLibrary = link == Link::Real ? KL_REAL_KERNEL : KL_SCRIPT_KERNEL;
#else
            host.kernelLibrary = KL_SCRIPT_KERNEL;
#endif
        }
        root = new TestSection;
        doc = std::make_unique<WorksheetDocument>(nullptr, root);
        group = new ExecutionGroup(ExecutionGroup::WithInput{"> "});
        root->insertChild(group, nullptr, kInsertAfter);
        inputOf(group)->setText(input);
        view = std::make_unique<TestView>(doc.get());
        doc->setActiveView(view.get(), 0, 0);
        view->window.caretObject = std::make_unique<ViewCaret>(doc.get(), &view->window);
        caret()->setPosition(inputOf(group), 0);
    }

    // Removing the last view deletes the document.
    void closeDocument() {
        if (!view) return;
        view->window.caretObject.reset();
        doc.release();
        view.reset();
    }

    static InputTextElement* inputOf(Element* g) {
        Element* p = g ? g->firstChild() : nullptr;
        return p ? dynamic_cast<InputTextElement*>(p->firstChild()) : nullptr;
    }
    ViewCaret* caret() { return view->window.caretObject.get(); }
    InterfaceSettings* settings() { return doc->interfaceVars()->settings(); }

    void run() { doc->runExecutionToEnd(); }

    // Output paragraph i of the group (children after the input paragraph).
    ParagraphElement* outputAt(Element* g, int i) { return dynamic_cast<ParagraphElement*>(g->childAt(i + 1)); }
    static std::string textOf(Element* paragraph) {
        auto* t = paragraph ? dynamic_cast<TextElement*>(paragraph->firstChild()) : nullptr;
        return t ? t->text() : "<no text>";
    }

    std::unique_ptr<TestView> view;
    std::unique_ptr<WorksheetDocument> doc;
    TestSection* root = nullptr;
    ExecutionGroup* group = nullptr;
    Link link_ = Link::Direct;
};

// ---- whole executions ----------------------------------------------------------------------

using kelvo_test::PrintTo;

struct KernelCase {
    const char* name;
    Link link;
    const char* input;   // what the kernel answers "3" to
};

class GroupKernelTest : public GroupTest, public ::testing::WithParamInterface<KernelCase> {};

TEST_P(GroupKernelTest, LinePrintedResultThenNewGroupAndOneUndoGroup) {
    const KernelCase& c = GetParam();
#ifndef KL_KERNSRV
    if (c.link == Link::Server || c.link == Link::RealServer) GTEST_SKIP() << "no kernsrv";
#endif
#ifndef KL_REAL_KERNEL
    if (c.link == Link::Real || c.link == Link::RealServer) GTEST_SKIP() << "no kernel library";
#endif
    open(c.link, c.input);
    settings()->prettyprint = 0;
    group->execute(false);
    EXPECT_EQ(group->busy, 1);
    run();
    EXPECT_EQ(group->busy, 0);
    ASSERT_EQ(group->childCount(), 2) << c.name;
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_LINE_PRINTED);
    EXPECT_TRUE(out->isOutput());
    EXPECT_EQ(textOf(out), "3");
    // A new group with an empty input follows, and the caret is in it.
    auto* next = dynamic_cast<ExecutionGroup*>(root->nextChild(group));
    ASSERT_NE(next, nullptr);
    ASSERT_NE(inputOf(next), nullptr);
    EXPECT_STREQ(inputOf(next)->text(), "");
    EXPECT_EQ(caret()->element(), inputOf(next));
    // One undo group "result", closed; its undo takes the output away.
    UndoHistory* history = doc->undoHistory();
    EXPECT_EQ(history->nesting(), 0);
    ASSERT_EQ(history->groupCount(), 1);
    KString menu;
    ASSERT_TRUE(history->undoMenuText(menu));
    EXPECT_NE(std::string(menu.text()).find("result"), std::string::npos) << menu.text();
    history->undo(caret());
    EXPECT_EQ(group->childCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Links, GroupKernelTest,
                         ::testing::Values(KernelCase{"script_direct", Link::Direct, "3;"},
                                           KernelCase{"script_server", Link::Server, "3;"},
                                           KernelCase{"real_direct", Link::Real, "1+2;"},
                                           KernelCase{"real_server", Link::RealServer, "1+2;"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GroupTest, PrettyPrintOneGivesTwoDimensionalTextWithoutTrailingLineFeed) {
    open(Link::Direct, "x^2/y;");
    settings()->prettyprint = 1;
    group->execute(false);
    run();
    ASSERT_EQ(group->childCount(), 2);
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_TEXT_OUTPUT);
    std::string expected;
    group_render_text_2d(parse_text("x^2/y;"), GroupText2dSettings{}, 79, 25, expected);
    ASSERT_FALSE(expected.empty());
    if (expected.back() == '\n') expected.pop_back();
    EXPECT_EQ(textOf(out), expected);
    EXPECT_NE(textOf(out).find('\n'), std::string::npos) << "two lines at least";
    EXPECT_NE(textOf(out).back(), '\n');
}

struct MetricsCase {
    const char* name;
    int widthOfM;
    int lineHeight;
    int expectedColumns;   // the view is 600 x 400 without margins
};

int metricsWidth = 0;
int metricsHeight = 0;

class MetricsTest : public GroupTest, public ::testing::WithParamInterface<MetricsCase> {};

TEST_P(MetricsTest, TwoDimensionalWidthFromViewOrScreen) {
    const MetricsCase& c = GetParam();
    open(Link::Direct, "");
    settings()->prettyprint = 1;
    metricsWidth = c.widthOfM;
    metricsHeight = c.lineHeight;
    executionGroupHooks.styleFontMetrics = [](DocumentView*, const ParaStyle*, int& w, int& h) {
        w = metricsWidth;
        h = metricsHeight;
        return true;
    };
    std::string sum = "a1";
    for (int i = 2; i <= 40; ++i) sum += "+a" + std::to_string(i);
    Dag dag = parse_text((sum + ";").c_str());
    ASSERT_TRUE(group->insertOutput(dag, kOutputResult));
    std::string expected;
    group_render_text_2d(dag, GroupText2dSettings{}, c.expectedColumns, 25, expected);
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    EXPECT_EQ(textOf(outputAt(group, 0)), expected) << c.name;
    if (c.expectedColumns != 79) {
        std::string wide;
        group_render_text_2d(dag, GroupText2dSettings{}, 79, 25, wide);
        if (!wide.empty() && wide.back() == '\n') wide.pop_back();
        EXPECT_NE(wide, expected) << "the widths must give different texts";
    }
}

INSTANTIATE_TEST_SUITE_P(Views, MetricsTest,
                         ::testing::Values(MetricsCase{"view_60_columns", 10, 12, 60},
                                           MetricsCase{"zero_width_m_uses_screen", 0, 12, 79},
                                           MetricsCase{"zero_line_height_uses_screen", 10, 0, 79}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GroupTest, LowMemoryRefusalLeavesGroupNotBusy) {
    open(Link::Direct, "3;");
    worksheetHost().lowMemoryCheck = [] { return true; };
    group->execute(false);
    EXPECT_EQ(group->busy, 0);
    EXPECT_TRUE(doc->queueIsEmpty());
    EXPECT_EQ(doc->undoHistory()->nesting(), 0);
}

TEST_F(GroupTest, InterruptMidRegionClosesUndoGroupOnceAndKeepsCaret) {
    open(Link::Direct, "3;");
    group->busy = 1;
    group->beginOutput();
    EXPECT_EQ(doc->undoHistory()->nesting(), 1);
    group->output(parse_text("hello;"), kOutputText);
    Element* caretBefore = caret()->element();
    group->resetOutput();
    EXPECT_EQ(group->busy, 0);
    EXPECT_EQ(doc->undoHistory()->nesting(), 0);
    EXPECT_FALSE(group->resultUndoOpen());
    EXPECT_EQ(caret()->element(), caretBefore);
    // A second reset (another drained node) closes nothing more; a later edit group is its own.
    doc->undoHistory()->beginGroup("typing", caret(), false);
    group->resetOutput();
    EXPECT_EQ(doc->undoHistory()->nesting(), 1);
    doc->undoHistory()->endUndoGroup(caret());
    // A group whose beginOutput never ran closes nothing.
    auto* other = new ExecutionGroup(ExecutionGroup::WithInput{"> "});
    root->insertChild(other, nullptr, kInsertAfter);
    doc->undoHistory()->beginGroup("outer", caret(), false);
    other->resetOutput();
    EXPECT_EQ(doc->undoHistory()->nesting(), 1);
    doc->undoHistory()->endUndoGroup(caret());
}

// ---- output kinds ----------------------------------------------------------------------------

struct ErrorCase {
    const char* name;
    int position;
    int expectedOffset;
};

class ErrorPositionTest : public GroupTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorPositionTest, SyntaxErrorPutsCaretAndStops) {
    const ErrorCase& c = GetParam();
    open(Link::Direct, "abcdefgh;");
    group->beginOutput();
    Dag pair = dag_new2(DAG_EXPSEQ, dag_of_int(c.position), dag_name("syntax error"));
    group->output(pair, kOutputError);
    EXPECT_EQ(caret()->element(), inputOf(group));
    EXPECT_EQ(caret()->offset(), c.expectedOffset);
    EXPECT_EQ(group->advanceOnEnd, 0);
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_ERROR);
    EXPECT_EQ(textOf(out), "syntax error");
    group->endOutput();
    EXPECT_EQ(caret()->element(), inputOf(group)) << "the caret does not move on";
    EXPECT_EQ(root->childCount(), 1);
    EXPECT_EQ(group->advanceOnEnd, 1);
}

INSTANTIATE_TEST_SUITE_P(Positions, ErrorPositionTest,
                         ::testing::Values(ErrorCase{"first", 1, 1}, ErrorCase{"fifth", 5, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GroupTest, IncompleteStatementAddsContinuationThenWarning) {
    open(Link::Direct, "x:=");
    group->beginOutput();
    group->output(dag_new2(DAG_EXPSEQ, dag_of_int(3), dag_name("premature end of input")), kOutputIncomplete);
    ASSERT_EQ(group->childCount(), 3);
    auto* continuation = dynamic_cast<ParagraphElement*>(group->childAt(1));
    ASSERT_NE(continuation, nullptr);
    EXPECT_EQ(continuation->styleIndex, 0);
    EXPECT_EQ(continuation->prompt(), nullptr);
    auto* input = dynamic_cast<InputTextElement*>(continuation->firstChild());
    ASSERT_NE(input, nullptr);
    EXPECT_STREQ(input->text(), "");
    ParagraphElement* warning = outputAt(group, 1);
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->styleIndex, ParagraphElement::STYLE_WARNING);
    EXPECT_EQ(textOf(warning).rfind("Warning, ", 0), 0u) << textOf(warning);
    EXPECT_EQ(caret()->element(), input);
    group->endOutput();
    EXPECT_EQ(caret()->element(), input);
}

TEST_F(GroupTest, NullResultWithTypesettingAddsNothing) {
    for (int prettyprint : {2, 3}) {
        open(Link::Direct, "NULL;");
        settings()->prettyprint = prettyprint;
        EXPECT_TRUE(group->insertOutput(dag_NULL, kOutputResult));
        EXPECT_EQ(group->childCount(), 1) << prettyprint;
        // A non-NULL result is typeset math, marked as kernel output.
        EXPECT_TRUE(group->insertOutput(parse_text("a+b;"), kOutputResult));
        ParagraphElement* out = outputAt(group, 0);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_KELVO_OUTPUT);
        auto* math = dynamic_cast<MathElement*>(out->firstChild());
        ASSERT_NE(math, nullptr);
        EXPECT_EQ(math->kernelOutput, 1);
        closeDocument();
    }
}

struct KindCase {
    const char* name;
    int kind;
    const char* dagText;
    int style;
    const char* text;
};

class KindTest : public GroupTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindTest, StyleAndText) {
    const KindCase& c = GetParam();
    open(Link::Direct, "");
    EXPECT_TRUE(group->insertOutput(parse_text(c.dagText), c.kind));
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, c.style);
    EXPECT_EQ(textOf(out), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KindTest,
    ::testing::Values(KindCase{"warning", kOutputWarning, "`oops`;", 7, "Warning, oops"},
                      KindCase{"warning_pair", kOutputWarning, "2, `careful`;", 7, "Warning, careful"},
                      KindCase{"error", kOutputError, "`bad thing`;", 8, "bad thing"},
                      KindCase{"diagnostic", kOutputDiagnostic, "`diag`;", 9, "diag"},
                      KindCase{"text", kOutputText, "`some text`;", 6, "some text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GroupTest, KindsWithFixedAnswers) {
    open(Link::Direct, "");
    EXPECT_FALSE(group->insertOutput(dag_NULL, kOutputNone));
    EXPECT_TRUE(group->insertOutput(dag_NULL, kOutputDone));
    EXPECT_FALSE(group->insertOutput(dag_NULL, 13));
    EXPECT_EQ(group->childCount(), 1);
}

// ---- moving on -------------------------------------------------------------------------------

TEST_F(GroupTest, DebugPromptMovesOnlyToDebugParagraph) {
    open(Link::Direct, "");
    auto* plain = new ExecutionGroup(ExecutionGroup::WithInput{"> "});
    root->insertChild(plain, nullptr, kInsertAfter);
    std::strcpy(settings()->prompt, "DBG> ");
    group->advanceToNextInput();
    // The "> " group is passed over: a new group comes right after this one.
    Element* inserted = root->nextChild(group);
    ASSERT_NE(inserted, plain);
    EXPECT_EQ(caret()->element(), inputOf(inserted));
    // A paragraph with the debug prompt is used.
    static_cast<ParagraphElement*>(inserted->firstChild())->setPrompt("DBG> ");
    group->advanceToNextInput();
    EXPECT_EQ(root->nextChild(group), inserted);
    EXPECT_EQ(caret()->element(), inputOf(inserted));
}

TEST_F(GroupTest, OrdinaryPromptIsGivenToNextInput) {
    open(Link::Direct, "");
    auto* next = new ExecutionGroup(ExecutionGroup::WithInput{"old> "});
    root->insertChild(next, nullptr, kInsertAfter);
    group->advanceToNextInput();
    EXPECT_EQ(caret()->element(), inputOf(next));
    EXPECT_STREQ(static_cast<ParagraphElement*>(next->firstChild())->prompt(), "> ");
    EXPECT_EQ(root->childCount(), 2);
}

TEST_F(GroupTest, InsertModeAlwaysInsertsNewGroup) {
    open(Link::Direct, "");
    auto* next = new ExecutionGroup(ExecutionGroup::WithInput{"> "});
    root->insertChild(next, nullptr, kInsertAfter);
    doc->insertMode = true;
    group->advanceToNextInput();
    ASSERT_EQ(root->childCount(), 3);
    Element* inserted = root->nextChild(group);
    EXPECT_NE(inserted, next);
    EXPECT_EQ(caret()->element(), inputOf(inserted));
}

// ---- echo and help queries ---------------------------------------------------------------------

struct EchoCase {
    const char* name;
    int echo;
    int quiet;
    bool redirect;
    bool paragraph;    // a style-2 echo paragraph
    bool fileEcho;     // the prompt and input in the redirect file
};

class EchoTest : public GroupTest, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(EchoTest, EchoRules) {
    const EchoCase& c = GetParam();
    open(Link::Direct, "3;");
    settings()->echo = c.echo;
    settings()->quiet = c.quiet;
    std::FILE* file = c.redirect ? std::tmpfile() : nullptr;
    doc->redirectFile = file;
    group->execute(false);
    ParagraphElement* first = outputAt(group, 0);
    bool hasParagraph = first && first->styleIndex == ParagraphElement::STYLE_TEXT_OUTPUT && textOf(first) == "3;\n";
    EXPECT_EQ(hasParagraph, c.paragraph);
    if (file) {
        std::fflush(file);
        std::rewind(file);
        char buffer[64] = {};
        std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
        std::string text(buffer, n);
        EXPECT_EQ(text.rfind("> 3;", 0) == 0, c.fileEcho) << text;
    }
    run();
    doc->redirectFile = nullptr;
    if (file) std::fclose(file);
}

INSTANTIATE_TEST_SUITE_P(Rules, EchoTest,
                         ::testing::Values(EchoCase{"echo4", 4, 0, false, true, false},
                                           EchoCase{"echo4_quiet", 4, 1, false, false, false},
                                           EchoCase{"echo1_no_file", 1, 0, false, false, false},
                                           EchoCase{"echo1_file", 1, 0, true, false, true},
                                           EchoCase{"echo0_file", 0, 0, true, false, false},
                                           EchoCase{"echo4_quiet_file", 4, 1, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GroupTest, HelpQueryIsSentAsBlanksAndShowsTopic) {
    open(Link::Direct, "?int");
    executionGroupHooks.showHelpTopic = [](const char* topic, bool, bool, const char*, ElementWindow*, void (*)(const char*)) {
        helpTopics.push_back(topic);
    };
    KString text;
    group->inputText(text);
    // Each input's text ends in a newline; every byte of the query goes as a blank.
    EXPECT_STREQ(text.text(), "     ");
    ASSERT_EQ(helpTopics.size(), 1u);
    EXPECT_EQ(helpTopics[0], "int");
    // While a READLINE waits (without help queries) the text goes as it is.
    doc->waitingForReadline = true;
    KString raw;
    group->inputText(raw);
    EXPECT_STREQ(raw.text(), "?int\n");
    doc->waitingForReadline = false;
}

// ---- plots -------------------------------------------------------------------------------------

std::int32_t inlineDriver(const char*, const char*, const char*, const char*, PlotByteWriter, int, PlotRecord*,
                          const char*, int, int) {
    inlineLastPlot = new InlinePlotElement(nullptr, 2);
    return 1;
}

TEST_F(GroupTest, ReexecutedPlotsTakeOldSizesInOrder) {
    open(Link::Direct, "");
    plot_driver_register("inline", inlineDriver, nullptr);
    std::strcpy(settings()->plotdevice, "inline");
    // The plot structure is the argument sequence of the PLOT call.
    Dag call = parse_text("PLOT(CURVES([[0,0],[1,1]]));");
    ASSERT_NE(call, nullptr);
    Dag plot = dag_op(call, 2);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(group->insertOutput(plot, kOutputPlot));
    for (int i = 0; i < 3; ++i) {
        auto* element = dynamic_cast<InlinePlotElement*>(outputAt(group, i)->firstChild());
        ASSERT_NE(element, nullptr) << textOf(outputAt(group, i));
        EXPECT_EQ(outputAt(group, i)->styleIndex, ParagraphElement::STYLE_KELVO_PLOT);
        element->setPlotSize(100 + i, 50 + i, 0);
    }
    group->clearOutputs();
    EXPECT_EQ(group->childCount(), 1);
    ASSERT_EQ(group->plotSizes.size(), 3u);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(group->insertOutput(plot, kOutputPlot));
    for (int i = 0; i < 3; ++i) {
        auto* element = static_cast<InlinePlotElement*>(outputAt(group, i)->firstChild());
        EXPECT_EQ(element->plotWidth(), 100 + i);
        EXPECT_EQ(element->plotHeight(), 50 + i);
        EXPECT_EQ(element->baseline(), 50 + i);
    }
    auto* fourth = static_cast<InlinePlotElement*>(outputAt(group, 3)->firstChild());
    EXPECT_EQ(fourth->plotWidth(), InlinePlotElement::DEFAULT_WIDTH);
    plot_driver_reset();
}

TEST_F(GroupTest, PlottingErrorIsOneErrorParagraph) {
    open(Link::Direct, "");
    Dag call = parse_text("PLOT(CURVES([[0,0],[1,1]]), STYLE(DEFAULT));");
    ASSERT_NE(call, nullptr);
    EXPECT_TRUE(group->insertOutput(dag_op(call, 2), kOutputPlot));
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_ERROR);
    EXPECT_EQ(textOf(out).rfind("Plotting error, ", 0), 0u) << textOf(out);
}

// The kernel's own plot procedures, over the real kernel in process and behind kernsrv: the
// reply becomes a plot paragraph through the inline device, with the plot's dimension.
struct KernelPlotSeen {
    int dimension = 0;
    std::int32_t firstKind = -1;
    int frames = 0;
} kernelPlotSeen;

std::int32_t recordingInlineDriver(const char*, const char*, const char*, const char*, PlotByteWriter, int dimension,
                                   PlotRecord* plot, const char*, int, int) {
    kernelPlotSeen.dimension = dimension;
    kernelPlotSeen.firstKind = plot->first->first ? plot->first->first->kind : -1;
    kernelPlotSeen.frames = plot->frameCount;
    inlineLastPlot = new InlinePlotElement(nullptr, dimension);
    return 1;
}

struct KernelPlotCase {
    const char* name;
    Link link;
    const char* input;
    int dimension;
    std::int32_t kind;
    int frames;
};

class GroupKernelPlotTest : public GroupTest, public ::testing::WithParamInterface<KernelPlotCase> {};

TEST_P(GroupKernelPlotTest, KernelPlotBecomesOnePlotParagraph) {
    const KernelPlotCase& c = GetParam();
#ifndef KL_KERNSRV
    if (c.link == Link::RealServer) GTEST_SKIP() << "no kernsrv";
#endif
#ifndef KL_REAL_KERNEL
    GTEST_SKIP() << "no kernel library";
#endif
    open(c.link, c.input);
    plot_driver_register("inline", recordingInlineDriver, nullptr);
    std::strcpy(settings()->plotdevice, "inline");
    kernelPlotSeen = KernelPlotSeen();
    group->execute(false);
    run();
    plot_driver_reset();
    ASSERT_EQ(group->childCount(), 2) << c.name << ": " << textOf(outputAt(group, 0));
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_KELVO_PLOT) << textOf(out);
    auto* element = dynamic_cast<InlinePlotElement*>(out->firstChild());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->dimension(), c.dimension);
    EXPECT_EQ(kernelPlotSeen.dimension, c.dimension);
    EXPECT_EQ(kernelPlotSeen.firstKind, c.kind);
    EXPECT_EQ(kernelPlotSeen.frames, c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Links, GroupKernelPlotTest,
    ::testing::Values(
        KernelPlotCase{"curve_direct", Link::Real, "plot(sin(x), x = 0 .. 1);", 2, PLOT_CURVES, 1},
        KernelPlotCase{"curve_server", Link::RealServer, "plot(sin(x), x = 0 .. 1);", 2, PLOT_CURVES, 1},
        KernelPlotCase{"surface_direct", Link::Real, "plot3d(x*y, x = 0 .. 1, y = 0 .. 1);", 3, PLOT_GRID, 1},
        KernelPlotCase{"surface_server", Link::RealServer, "plot3d(x*y, x = 0 .. 1, y = 0 .. 1);", 3, PLOT_GRID, 1},
        KernelPlotCase{"animation_server", Link::RealServer,
                       "animate(sin(x*t), x = 0 .. 1, t = 1 .. 2, frames = 4);", 2, PLOT_CURVES, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// The kernel's smart plot procedures: the reply becomes a smart plot region in a plot
// paragraph, holding the argument text as the kernel printed it.
struct SmartPlotCase {
    const char* name;
    Link link;
    const char* input;
    int kind;
    const char* text;
};

class GroupSmartPlotTest : public GroupTest, public ::testing::WithParamInterface<SmartPlotCase> {};

TEST_P(GroupSmartPlotTest, SmartPlotBecomesARegionWithItsText) {
    const SmartPlotCase& c = GetParam();
#ifndef KL_KERNSRV
    if (c.link == Link::RealServer) GTEST_SKIP() << "no kernsrv";
#endif
#ifndef KL_REAL_KERNEL
    GTEST_SKIP() << "no kernel library";
#endif
    open(c.link, c.input);
    group->execute(false);
    run();
    ASSERT_EQ(group->childCount(), 2) << c.name << ": " << textOf(outputAt(group, 0));
    ParagraphElement* out = outputAt(group, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->styleIndex, ParagraphElement::STYLE_KELVO_PLOT);
    auto* region = dynamic_cast<PlotRegion*>(out->firstChild());
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region->elementKind(), c.kind);
    EXPECT_EQ(region->text(), c.text);
    EXPECT_EQ(out->childCount(), 1);   // no result follows the region
}

INSTANTIATE_TEST_SUITE_P(
    Links, GroupSmartPlotTest,
    ::testing::Values(
        SmartPlotCase{"curve_direct", Link::Real, "smartplot(sin(x));", 22, "[sin(x), x = -10 .. 10]"},
        SmartPlotCase{"curve_server", Link::RealServer, "smartplot(sin(x));", 22, "[sin(x), x = -10 .. 10]"},
        SmartPlotCase{"surface_server", Link::RealServer, "smartplot3d(x*y, x = 0 .. 1, y = 0 .. 2);", 23,
                      "[x*y, x = 0 .. 1, y = 0 .. 2]"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- lifetime faults -----------------------------------------------------------------------------

TEST_F(GroupTest, GroupDeletedWhileQueuedGetsNoOutput) {
    open(Link::Direct, "3;");
    group->execute(false);
    ASSERT_FALSE(doc->queueIsEmpty());
    doc->answerGroup = group;
    root->removeChild(group);   // the user deletes it while its statement waits
    EXPECT_EQ(doc->answerGroup, nullptr);
    EXPECT_EQ(detachedGroupSinkCount(), 1);
    run();
    EXPECT_EQ(detachedGroupSinkCount(), 0);
    EXPECT_EQ(doc->undoHistory()->nesting(), 0);
}

TEST_F(GroupTest, GroupDeletedWhileQueuedThenInterrupted) {
    open(Link::Direct, "3;");
    group->execute(false);
    root->removeChild(group);
    doc->interrupted = true;
    run();
    EXPECT_TRUE(doc->queueIsEmpty());
    EXPECT_EQ(detachedGroupSinkCount(), 0);
}

TEST_F(GroupTest, GroupOfOnlyOutputsSurvivesReplaceOutput) {
    open(Link::Direct, "");
    // A group read from a file: one output paragraph and nothing else.
    auto* only = new ExecutionGroup();
    auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_TEXT_OUTPUT, nullptr);
    paragraph->insertChild(new TextElement(-1, "old"), nullptr, kInsertAfter);
    only->appendOutput(paragraph, true);   // detached: simply marked and inserted
    root->insertChild(only, nullptr, kInsertAfter);
    ASSERT_TRUE(doc->replaceOutput);
    only->execute(true);
    run();
    EXPECT_EQ(only->parent(), root);
    EXPECT_EQ(only->childCount(), 0);
    EXPECT_EQ(only->busy, 0);
}

// ---- session group -------------------------------------------------------------------------------

TEST_F(GroupTest, SilentStartupLeavesNothing) {
    open(Link::Direct, "");
    int introductions = 0;
    static int* counter;
    counter = &introductions;
    executionGroupHooks.showIntroductionOnce = [] { ++*counter; };
    auto* session = new SessionGroup(doc.get());
    doc->executeInput(session->sink(), KString("prints();"));
    run();
    EXPECT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->firstChild(), group);
    EXPECT_EQ(detachedGroupSinkCount(), 0);
    EXPECT_EQ(introductions, 1);
    EXPECT_EQ(doc->undoHistory()->groupCount(), 0);
}

TEST_F(GroupTest, BannerStartupPlacesGroupAtTopWithoutUndoEntryForIt) {
    open(Link::Direct, "");
    auto* session = new SessionGroup(doc.get());
    doc->executeInput(session->sink(), KString("prints(banner);"));
    run();
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->firstChild(), session);
    EXPECT_TRUE(session->placed());
    ASSERT_GE(session->childCount(), 2);
    EXPECT_NE(textOf(session->childAt(1)).find("banner"), std::string::npos) << textOf(session->childAt(1));
    // Undoing the result takes the banner away but leaves the group in place.
    UndoHistory* history = doc->undoHistory();
    while (history->canUndo()) history->undo(caret());
    EXPECT_EQ(root->firstChild(), session);
}

TEST_F(GroupTest, InterruptDuringStartupFreesUnplacedGroupOnce) {
    open(Link::Direct, "");
    auto* session = new SessionGroup(doc.get());
    doc->executeInput(session->sink(), KString("prints();"));
    doc->interrupted = true;
    run();
    EXPECT_TRUE(doc->queueIsEmpty());
    EXPECT_EQ(root->childCount(), 1);
    EXPECT_EQ(detachedGroupSinkCount(), 0);
}

// ---- paragraphs --------------------------------------------------------------------------------

TEST(ParagraphElementTest, PromptOrList) {
    struct Row {
        const char* name;
        int style;
        const char* prompt;
        bool expected;
    } rows[] = {
        {"bullet", 15, nullptr, true},
        {"dash", 16, nullptr, true},
        {"prompt", 0, "> ", true},
        {"plain", 0, nullptr, false},
    };
    for (const Row& r : rows) {
        ParagraphElement p(r.style, r.prompt);
        EXPECT_EQ(p.isPromptOrList(), r.expected) << r.name;
    }
}

TEST(ParagraphElementTest, ChildAccessOutsideRangeIsNull) {
    ParagraphElement p(0, nullptr);
    p.insertChild(new TextElement(-1, "a"), nullptr, kInsertAfter);
    p.insertChild(new TextElement(-1, "b"), nullptr, kInsertAfter);
    EXPECT_EQ(p.childAt(-1), nullptr);
    EXPECT_EQ(p.childAt(2), nullptr);
    EXPECT_EQ(p.childBeforeIndex(0), nullptr);
    EXPECT_EQ(p.childAfterIndex(1), nullptr);
    EXPECT_EQ(p.indexOfChild(p.childAt(1)), 1);
    // The copy keeps style, prompt, output flag and children.
    p.setPrompt("> ");
    p.setOutput(true);
    ParagraphElement copy(p);
    EXPECT_STREQ(copy.prompt(), "> ");
    EXPECT_TRUE(copy.isOutput());
    EXPECT_EQ(copy.childCount(), 2);
    p.setPrompt(nullptr);
    EXPECT_EQ(p.prompt(), nullptr);
}

// ---- EXCHG records -------------------------------------------------------------------------------

// Stand-in readers for the records inside a group: {PARA style children...}, {TEXT "text"},
// {XPPMATH "text"}.
bool readTestPara(KWorksheetReader& reader, Element*& out, Element*) {
    int style = 0;
    reader.readInt(style);
    auto* paragraph = new ParagraphElement(style, nullptr);
    for (;;) {
        Element* child = nullptr;
        if (!worksheetTagTable.readNewRep(reader, child, paragraph, false, nullptr)) break;
        if (child && !paragraph->insertChild(child, nullptr, kInsertAfter)) delete child;
    }
    out = paragraph;
    return true;
}

bool readTestText(KWorksheetReader& reader, Element*& out, Element*) {
    std::string text;
    reader.readString(text, false);
    reader.skipRecord();
    out = new TextElement(-1, text.c_str());
    return true;
}

bool readTestMath(KWorksheetReader& reader, Element*& out, Element*) {
    std::string text;
    reader.readString(text, false);
    reader.skipRecord();
    out = new MathElement(parse_text((text + ";").c_str()), MathElement::kResultValue);
    return true;
}

struct ExchgCase {
    const char* name;
    const char* input;       // one EXCHG record, then {TEXT "after"}
    int children;            // -1: no group
    int outputs;             // children marked as output
};

class ExchgTest : public ::testing::TestWithParam<ExchgCase> {
protected:
    void SetUp() override {
        worksheetTagTable.registerReader("PARA", readTestPara);
        worksheetTagTable.registerReader("TEXT", readTestText);
        worksheetTagTable.registerReader("XPPMATH", readTestMath);
        registerExecutionGroupReaders();
    }
};

TEST_P(ExchgTest, ReadsGroupAndGoesOn) {
    const ExchgCase& c = GetParam();
    KWorksheetReader reader;
    ASSERT_TRUE(reader.openMemory(std::string(c.input) + " {TEXT \"after\"}"));
    Element* element = nullptr;
    ASSERT_TRUE(worksheetTagTable.readNewRep(reader, element, nullptr, false, nullptr));
    std::unique_ptr<Element> owned(element);
    if (c.children < 0) {
        EXPECT_EQ(element, nullptr) << c.name;
    } else {
        ASSERT_NE(element, nullptr) << c.name;
        EXPECT_EQ(element->elementKind(), KIND_GROUP);
        EXPECT_EQ(element->childCount(), c.children);
        int outputs = 0;
        for (int i = 0; i < element->childCount(); ++i) outputs += element->childAt(i)->isOutput() ? 1 : 0;
        EXPECT_EQ(outputs, c.outputs);
    }
    // The reader goes on with the next record.
    Element* next = nullptr;
    ASSERT_TRUE(worksheetTagTable.readNewRep(reader, next, nullptr, false, nullptr));
    std::unique_ptr<Element> nextOwned(next);
    auto* text = dynamic_cast<TextElement*>(next);
    ASSERT_NE(text, nullptr) << c.name;
    EXPECT_STREQ(text->text(), "after");
}

INSTANTIATE_TEST_SUITE_P(
    Records, ExchgTest,
    ::testing::Values(
        ExchgCase{"input_and_math_output", "{EXCHG {PARA 0 {TEXT \"x\"}}{PARA 11 {XPPMATH \"a+b\"}}}", 2, 1},
        ExchgCase{"empty_paragraph_kept", "{EXCHG {PARA 0 }}", 1, 0},
        ExchgCase{"no_children", "{EXCHG }", -1, 0},
        ExchgCase{"other_kind_dropped", "{EXCHG {TEXT \"loose\"}}", -1, 0},
        ExchgCase{"broken", "{EXCHG {PARA 0 {TEXT \"x\"}} garbage {PARA 0 }}", -1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
