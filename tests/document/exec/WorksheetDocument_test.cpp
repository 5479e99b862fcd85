// The worksheet document's execution queue and its reply handlers, seen through a recording
// sink: with the scripted stand-in kernel in process and behind the kernel server, and with the
// real kernel library.

#include "document/exec/WorksheetDocument.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include "document/exec/ReplyStreams.h"
#include "tests/kernel_link/kl_kernel_replies.h"
#include "kernel_link/KKernelSession.h"
#include "tovu/ifvars.h"
#include "tovu/errors.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/stream.h"
#include "util/messages.h"

namespace {

std::string printed(const DagWord* dag) {
    std::string text;
    if (dag != nullptr) print_sequence(dag, "", sink_append_string, nullptr, 0, PRINT_TOP_UNQUOTED, &text);
    return text;
}

// Records every sink operation as text: "begin", "end", "reset", "<kind>:<printed dag>".
class RecordingSink : public OutputSink {
public:
    void beginOutput() override { events.push_back("begin"); busy = true; }
    void endOutput() override { events.push_back("end"); busy = false; }
    void resetOutput() override { events.push_back("reset"); busy = false; }
    bool output(Dag dag, int kind) override {
        events.push_back(std::to_string(kind) + ":" + printed(dag));
        return true;
    }
    bool newTextInputRegion() override { ++inputRegions; return false; }

    std::vector<std::string> events;
    bool busy = false;
    int inputRegions = 0;
};

std::string joined(const std::vector<std::string>& events) {
    std::string text;
    for (const std::string& e : events) text += (text.empty() ? "" : " | ") + e;
    return text;
}

enum class Link { Direct, Server, Real };
const char* linkName(Link link) {
    return link == Link::Direct ? "Direct" : link == Link::Server ? "Server" : "Real";
}
void PrintTo(Link link, std::ostream* os) { *os << linkName(link); }

class ExecTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerReplyStreams();
        WorksheetHost& host = worksheetHost();
        host = WorksheetHost();
        host.lowMemoryCheck = [] { return false; };
    }
    void TearDown() override {
        WorksheetHost& host = worksheetHost();
        // Evaluators of documents a test left open end here.
        std::vector<QuietEvaluator*> left = host.evaluators;
        host.evaluators.clear();
        for (QuietEvaluator* e : left) delete e;
        freeReplyStreams();
    }

    // One kernel per worksheet over the chosen link.
    std::unique_ptr<WorksheetDocument> open(Link link) {
        WorksheetHost& host = worksheetHost();
        host.kernelMode = 1;
        if (link == Link::Server) {
#ifdef KL_KERNSRV
            host.linkKind = 3;
            host.serverCommand = KL_KERNSRV;
            ::setenv("KELVO_KERNEL", KL_SCRIPT_KERNEL, 1);
#endif
        } else {
            host.linkKind = 2;
#ifdef KL_REAL_KERNEL
            host.kernelLibrary = link == Link::Real ? KL_REAL_KERNEL : KL_SCRIPT_KERNEL;
#else
            host.kernelLibrary = KL_SCRIPT_KERNEL;
#endif
        }
        link_ = link;
        auto doc = std::make_unique<WorksheetDocument>(nullptr);
        return doc;
    }

    // Runs the queue until it is empty (bounded), servicing a server link as the main frame's
    // poll does.
    void run(WorksheetDocument& doc) { doc.runExecutionToEnd(); }

    std::vector<std::string> execute(WorksheetDocument& doc, const char* text) {
        RecordingSink sink;
        doc.executeInput(&sink, KString(text));
        run(doc);
        return sink.events;
    }

    static InterfaceSettings* settings(WorksheetDocument& doc) {
        return doc.interfaceVars()->settings();
    }

    Link link_ = Link::Direct;
};

// ---- parsing and queuing --------------------------------------------------------------------

TEST_F(ExecTest, UnfinishedSecondStatementQueuesNothing) {
    auto doc = open(Link::Direct);
    RecordingSink sink;
    doc->executeInput(&sink, KString("x:=1; y:="));
    EXPECT_TRUE(doc->queueIsEmpty());
    ASSERT_EQ(sink.events.size(), 3u) << joined(sink.events);
    EXPECT_EQ(sink.events[0], "begin");
    EXPECT_EQ(sink.events[2], "end");
    // Kind 12, the position inside the second statement (it starts at offset 6), the message.
    const std::string& out = sink.events[1];
    ASSERT_EQ(out.rfind("12:", 0), 0u) << out;
    int position = std::atoi(out.c_str() + 3);
    EXPECT_GE(position, 6) << out;
    EXPECT_LE(position, 9) << out;
    EXPECT_NE(out.find("premature end of input"), std::string::npos) << out;
}

TEST_F(ExecTest, SyntaxErrorIsKindFourWithPosition) {
    auto doc = open(Link::Direct);
    RecordingSink sink;
    doc->executeInput(&sink, KString("1+2; 3+)*4;"));
    EXPECT_TRUE(doc->queueIsEmpty());
    ASSERT_EQ(sink.events.size(), 3u) << joined(sink.events);
    ASSERT_EQ(sink.events[1].rfind("4:", 0), 0u) << sink.events[1];
    EXPECT_GE(std::atoi(sink.events[1].c_str() + 2), 5) << sink.events[1];
}

TEST_F(ExecTest, BlankRegionOnlyBeginsAndEnds) {
    auto doc = open(Link::Direct);
    for (const char* text : {"", "   ", " \n\t "}) {
        RecordingSink sink;
        doc->executeInput(&sink, KString(text));
        EXPECT_TRUE(doc->queueIsEmpty());
        EXPECT_EQ(joined(sink.events), "begin | end") << "text [" << text << "]";
    }
}

TEST_F(ExecTest, LowMemoryRefusalLeavesSinkReady) {
    auto doc = open(Link::Direct);
    worksheetHost().lowMemoryCheck = [] { return true; };
    RecordingSink sink;
    sink.busy = true;   // as a group marks itself before it hands over its text
    EXPECT_FALSE(doc->executeInput(&sink, KString("1;")));
    EXPECT_TRUE(doc->queueIsEmpty());
    EXPECT_FALSE(sink.busy);
    EXPECT_EQ(joined(sink.events), "begin | end");
    worksheetHost().lowMemoryCheck = [] { return false; };
    sink.events.clear();
    EXPECT_TRUE(doc->executeInput(&sink, KString("7;")));
    run(*doc);
    ASSERT_GE(sink.events.size(), 3u) << joined(sink.events);
    EXPECT_EQ(sink.events.front(), "begin");
    EXPECT_EQ(sink.events.back(), "end");
}

// ---- titles ---------------------------------------------------------------------------------

TEST_F(ExecTest, NewDocumentsAreNumbered) {
    worksheetHost().kernelMode = 0;
    worksheetHost().linkKind = 2;
    worksheetHost().kernelLibrary = KL_SCRIPT_KERNEL;
    std::vector<std::unique_ptr<WorksheetDocument>> docs;
    for (int i = 1; i <= 3; ++i) {
        docs.push_back(std::make_unique<WorksheetDocument>(nullptr));
        EXPECT_EQ(std::string(docs.back()->title()), "Untitled (" + std::to_string(i) + ")");
    }
    // All three share the one in-process session.
    EXPECT_EQ(docs[0]->evaluator()->session(), docs[2]->evaluator()->session());
}

TEST_F(ExecTest, ServerLinkAddsSessionNumberAndLongNamesSurvive) {
    auto doc = open(Link::Direct);   // per-worksheet: link type 3
    const std::string suffix =
        " - [Server " + std::to_string(doc->evaluator()->session()->sessionNumber) + "]";
    EXPECT_EQ(std::string(doc->title()), "Untitled (1)" + suffix);
    std::string name(1000, 'n');
    doc->setTitle(("/tmp/dir\\sub/" + name + ".kws").c_str());
    EXPECT_EQ(std::string(doc->title()), name + ".kws" + suffix);
    EXPECT_EQ(doc->filePath(), "/tmp/dir\\sub/" + name + ".kws");
}

TEST_F(ExecTest, HelpTitles) {
    struct Row { const char* title; const char* expected; } rows[] = {
        {"Kelvo Library Help   sin", "sin"},
        {"Kelvo Library Help", "Kelvo Library Help"},
        {"Kelvo Library Help    ", "Kelvo Library Help"},
    };
    for (const Row& row : rows) {
        WorksheetDocument doc(row.title);
        EXPECT_EQ(std::string(doc.title()), row.expected) << row.title;
        EXPECT_EQ(doc.evaluator(), nullptr);
        EXPECT_TRUE(doc.isHelpDocument());
        EXPECT_EQ(doc.documentKind(), 2);
        EXPECT_EQ(doc.memoryStatusText(), nullptr);
        EXPECT_FALSE(doc.hasIdleSession());
    }
}

// ---- the handlers with the scripted kernel ---------------------------------------------------

struct HandlerRow {
    const char* name;
    const char* statement;
    int warnlevel;
    std::vector<std::string> expected;   // outputs between begin and end
};

class HandlerTable : public ExecTest, public ::testing::WithParamInterface<Link> {};

TEST_P(HandlerTable, RoutesAndAnswers) {
#ifndef KL_KERNSRV
    if (GetParam() == Link::Server) GTEST_SKIP() << "no kernel server";
#endif
    // ask(s, x...) makes the scripted kernel send INTERFACE_s(x...) and then RESULT(answer);
    // with prettyprint 0 the answer arrives as text of kind 7 ("" for NULL).
    const HandlerRow rows[] = {
        {"RESULT", "ask(RESULT, abc);", 3, {"7:abc", "7:"}},
        // The pending CHAR text and the answer's line share the one line buffer.
        {"CHAR pending before next", "ask(CHAR, \"a\");", 3, {"7:a"}},
        {"LPRINT", "ask(LPRINT, 1, 2);", 3, {"7:1   2", "7:"}},
        {"PRINT", "ask(PRINT, x);", 3, {"7:x", "7:"}},
        {"PLOT", "ask(PLOT, p);", 3, {"8:p", "7:"}},
        {"PLOT3D", "ask(PLOT3D, p);", 3, {"9:p", "7:"}},
        {"ERROR", "ask(ERROR, oops);", 3, {"4:oops", "7:"}},
        {"FATALERR", "ask(FATALERR, bad);", 3, {"7:"}},
        {"WARN shown", "ask(WARN, 3, w);", 3, {"3:3w", "7:"}},
        {"WARN dropped", "ask(WARN, 3, w);", 2, {"7:"}},
        {"WARN name level", "ask(WARN, a, w);", 3, {"7:"}},
        {"WARN huge level", "ask(WARN, 10000, w);", 9, {"7:"}},
        {"DIAG", "ask(DIAG, d);", 3, {"5:d", "7:"}},
        {"HELP", "ask(HELP, h);", 3, {"7:"}},
        {"INFO", "ask(INFO, i, j);", 3, {"7:i   j", "7:"}},
        {"DEBUG", "ask(DEBUG, \"dbg\");", 3, {"7:dbg"}},
        {"START", "ask(START);", 3, {"7:"}},
        {"CALLBACK", "ask(CALLBACK, f);", 3, {"4:callbacks are not available in the worksheet", "7:"}},
        {"SMARTPLOT2D", "ask(SMARTPLOT2D, s);", 3, {"10:s", "7:"}},
        {"SMARTPLOT3D", "ask(SMARTPLOT3D, s);", 3, {"11:s", "7:"}},
        {"unknown as PRINT", "ask(NOSUCH, q);", 3, {"7:q", "7:"}},
        {"REDIRECT unopenable", "ask(REDIRECT, \"/nonexistent/dir/f\", 0);", 3, {"7:false"}},
        {"REDIRECT close only", "ask(REDIRECT);", 3, {"7:true"}},
    };
    auto doc = open(GetParam());
    settings(*doc)->prettyprint = 0;
    for (const HandlerRow& row : rows) {
        settings(*doc)->warnlevel = row.warnlevel;
        std::vector<std::string> events = execute(*doc, row.statement);
        std::vector<std::string> expected{"begin"};
        expected.insert(expected.end(), row.expected.begin(), row.expected.end());
        expected.push_back("end");
        EXPECT_EQ(joined(events), joined(expected)) << row.name;
    }
    EXPECT_FALSE(doc->computing());
}

INSTANTIATE_TEST_SUITE_P(Links, HandlerTable, ::testing::Values(Link::Direct, Link::Server),
                         [](const auto& info) { return linkName(info.param); });

// Replies read from a pipe may hold empty slots; SET and GET answer them with the structure
// error of a malformed request and leave the block as it was.
TEST_F(ExecTest, SetAndGetWithEmptySlotsAnswerStructureError) {
    auto doc = open(Link::Direct);
    auto* vars = doc->interfaceVars();
    const std::string structureError = printed(vars->get(dag_NULL));
    const int width = int(settings(*doc)->screenwidth);
    struct Row { const char* name; const char* stream; Dag arguments; } rows[] = {
        {"GET of an empty slot", "INTERFACE_GET", dag_new(2, DAG_EXPSEQ)},
        {"SET with an empty name", "INTERFACE_SET", dag_new_with2(3, DAG_EXPSEQ, nullptr, dag_of_int(5))},
        {"SET with an empty value", "INTERFACE_SET", dag_new_with2(3, DAG_EXPSEQ, dag_name("screenwidth"), nullptr)},
    };
    for (const Row& row : rows) {
        Dag reply = dag_new2(DAG_FUNCTION, dag_name(row.stream), row.arguments);
        Dag answer = WorksheetDocument::kernelReplyCallback(doc.get(), reply);
        EXPECT_EQ(printed(answer), structureError) << row.name;
        EXPECT_EQ(int(settings(*doc)->screenwidth), width) << row.name;
    }
}

// A reply handler that fails reports its own error; only running out of memory is reported as
// out of memory.  Either way the answer is NULL and the document stops computing.
std::vector<std::string>* shownErrors = nullptr;

TEST_F(ExecTest, FailingReplyHandlerReportsItsOwnError) {
    auto doc = open(Link::Direct);
    std::vector<std::string> shown;
    shownErrors = &shown;
    MessageGuiHooks hooks;
    hooks.isRunning = [] { return true; };
    hooks.errorBox = [](void*, int, const char* text) { shownErrors->push_back(text); };
    messages_set_gui_hooks(hooks);
    // The failing handlers stand in as the table's default, for a stream no one registered.
    StreamTable* table = stream_global_table();
    const StreamHandler kept = table->defaultHandler;
    struct Row { const char* name; StreamHandler handler; bool outOfMemory; } rows[] = {
        {"raises", [](void*, Dag) -> Dag { throw std::runtime_error("the handler broke"); }, false},
        {"no memory", [](void*, Dag) -> Dag { throw std::bad_alloc(); }, true},
    };
    for (const Row& row : rows) {
        shown.clear();
        table->defaultHandler = row.handler;
        Dag reply = dag_new2(DAG_FUNCTION, dag_name("INTERFACE_NOT_REGISTERED"), dag_new0(DAG_EXPSEQ));
        Dag answer = WorksheetDocument::kernelReplyCallback(doc.get(), reply);
        table->defaultHandler = kept;
        EXPECT_EQ(answer, dag_NULL) << row.name;
        ASSERT_EQ(shown.size(), 1u) << row.name;
        char outOfMemoryText[256];
        formatOutOfMemoryText(outOfMemoryText, sizeof outOfMemoryText, "calculation");
        EXPECT_EQ(shown[0] == outOfMemoryText, row.outOfMemory) << row.name << ": " << shown[0];
        if (!row.outOfMemory) {
            EXPECT_NE(shown[0].find("the handler broke"), std::string::npos) << shown[0];
        }
    }
    messages_clear_gui_hooks();
    shownErrors = nullptr;
}

TEST_F(ExecTest, TwoCharRepliesMakeOneLine) {
    auto doc = open(Link::Direct);
    settings(*doc)->prettyprint = 0;
    // The newline reaches the kernel as a string holding a line feed.
    std::vector<std::string> events = execute(*doc, "ask(CHAR, \"a\"), ask(CHAR, cat(\"b\", convert([10], bytes)));");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "begin");
    EXPECT_EQ(events.back(), "end");
}

TEST_F(ExecTest, SetAndGetReachTheSessionBlock) {
    auto doc = open(Link::Direct);
    settings(*doc)->prettyprint = 0;
    execute(*doc, "ask(SET, screenwidth, 60);");
    EXPECT_EQ(settings(*doc)->screenwidth, 60);
    std::vector<std::string> events = execute(*doc, "ask(GET, screenwidth);");
    ASSERT_EQ(events.size(), 3u) << joined(events);
    EXPECT_NE(events[1].find("60"), std::string::npos) << events[1];
}

TEST_F(ExecTest, RedirectTruncatesAppendsAndCloses) {
    auto doc = open(Link::Direct);
    settings(*doc)->prettyprint = 0;
    std::string path = ::testing::TempDir() + "/kelvo_redirect_test.txt";
    { std::ofstream(path) << "old"; }
    std::string open0 = "ask(REDIRECT, \"" + path + "\", 0);";
    std::string open1 = "ask(REDIRECT, \"" + path + "\", 1);";
    EXPECT_EQ(execute(*doc, open0.c_str())[1], "7:true");
    ASSERT_NE(doc->redirectFile, nullptr);
    std::fputs("one", doc->redirectFile);
    execute(*doc, "ask(REDIRECT);");
    EXPECT_EQ(doc->redirectFile, nullptr);
    execute(*doc, open1.c_str());
    ASSERT_NE(doc->redirectFile, nullptr);
    std::fputs("two", doc->redirectFile);
    // The destructor closes (and flushes) the file.
    doc.reset();
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "onetwo");
    std::remove(path.c_str());
}

TEST_F(ExecTest, StatusStoresTexts) {
    auto doc = open(Link::Direct);
    EXPECT_STREQ(doc->memoryStatusText(), "0.0K");
    EXPECT_STREQ(doc->timeStatusText(), "0.0");
    std::string memory = formatByteCount(4000);
    execute(*doc, "ask(STATUS, 0, 1000, 2.5);");
    EXPECT_EQ(std::string(doc->memoryStatusText()), memory);
    EXPECT_STREQ(doc->timeStatusText(), "2.5");
    // Malformed replies change nothing.
    for (const char* bad : {"ask(STATUS, 0, 1000);", "ask(STATUS, 0, x, 2.5);", "ask(STATUS, 0, 5, y);",
                            "ask(STATUS, 0, -5, 1.0);"}) {
        execute(*doc, bad);
        EXPECT_EQ(std::string(doc->memoryStatusText()), memory) << bad;
        EXPECT_STREQ(doc->timeStatusText(), "2.5") << bad;
    }
    // A word count far past the integer range still gives a byte count, and a huge number of
    // seconds a long (but whole) text.
    execute(*doc, "ask(STATUS, 0, 1000000000000000000000000000000, 1.0e300);");
    EXPECT_GT(std::string(doc->timeStatusText()).size(), 300u);
}

TEST_F(ExecTest, StatusHelpersTable) {
    struct Row { const char* name; Dag words; double bytes; } rows[] = {
        {"1000 words", dag_of_int(1000), 4000.0},
        {"zero", dag_of_int(0), 0.0},
        {"negative", dag_of_int(-3), -1},
        {"name", dag_name("w"), -1},
        {"none", nullptr, -1},
    };
    for (const Row& row : rows) EXPECT_EQ(statusByteCount(row.words), row.bytes) << row.name;
    // Seconds: numbers give their text; anything else, including a fraction or float built
    // over parts that are not integers (which the conversion cannot take), gives none.
    struct TimeRow { const char* name; Dag seconds; const char* text; } times[] = {
        {"integer", dag_of_int(3), "3.0"},
        {"fraction", dag_new2(DAG_RATIONAL, dag_of_int(5), dag_of_int(2)), "2.5"},
        {"float", dag_new_float(dag_of_int(25), dag_of_int(-1)), "2.5"},
        {"name", dag_name("t"), ""},
        {"float over a name", dag_new2(DAG_FLOAT, dag_name("m"), dag_of_int(1)), ""},
        {"float over a list", dag_new2(DAG_FLOAT, dag_of_int(1), dag_new1(DAG_LIST, dag_of_int(2))), ""},
        {"fraction over a name", dag_new2(DAG_RATIONAL, dag_of_int(1), dag_name("d")), ""},
        {"float of one part", dag_new1(DAG_FLOAT, dag_of_int(1)), ""},
    };
    for (const TimeRow& row : times) EXPECT_EQ(statusTimeText(row.seconds), row.text) << row.name;
}

TEST_F(ExecTest, LogoReplacesBannerOnlyForText) {
    auto doc = open(Link::Direct);
    kernelBanner().assign("");
    struct Row { const char* statement; const char* banner; } rows[] = {
        {"ask(LOGO, \"Kernel 1\");", "Kernel 1"},
        {"ask(LOGO, second);", "second"},
        {"ask(LOGO, 5);", "second"},
        {"ask(LOGO);", "second"},
    };
    for (const Row& row : rows) {
        execute(*doc, row.statement);
        EXPECT_STREQ(kernelBanner().text(), row.banner) << row.statement;
    }
}

TEST_F(ExecTest, TextBuildsHelpDocument) {
    static std::vector<std::string> paragraphs;
    static std::string title;
    paragraphs.clear();
    worksheetHost().showHelpDocument = [](std::unique_ptr<WorksheetDocument> d, const std::vector<std::string>& p) {
        title = d->title();
        paragraphs = p;
        EXPECT_EQ(d->evaluator(), nullptr);
    };
    auto doc = open(Link::Direct);
    execute(*doc, "ask(TEXT, \"a\", \"b\", \"   \", \"c\");");
    EXPECT_EQ(title, "a");
    ASSERT_EQ(paragraphs.size(), 2u);
    EXPECT_EQ(paragraphs[0], "a\nb\n");
    EXPECT_EQ(paragraphs[1], "c\n");
    // Two separators in a row give an empty paragraph; a trailing one makes none after it.
    execute(*doc, "ask(TEXT, \"  topic\", \"   \", \"   \", \"d\", \"   \");");
    EXPECT_EQ(title, "topic");
    ASSERT_EQ(paragraphs.size(), 3u);
    EXPECT_EQ(paragraphs[0], "  topic\n");
    EXPECT_EQ(paragraphs[1], "");
    EXPECT_EQ(paragraphs[2], "d\n");
}

TEST_F(ExecTest, StopSetsStoppedAndEndsReadlineWait) {
    static WorksheetDocument* current = nullptr;
    static int pumps = 0;
    pumps = 0;
    worksheetHost().reschedule = [](void*) {
        // The kernel's session ends while the user has typed part of a line.
        if (++pumps == 3) {
            current->readlineAnswer.assign("partial");
            current->stopped = true;
            current->waitingForReadline = false;
        }
    };
    auto doc = open(Link::Direct);
    current = doc.get();
    settings(*doc)->prettyprint = 0;
    RecordingSink sink;
    doc->executeInput(&sink, KString("ask(READLINE, 0);"));
    run(*doc);
    EXPECT_EQ(sink.inputRegions, 1);
    EXPECT_TRUE(doc->readlineHelpQueries);
    EXPECT_FALSE(doc->waitingForReadline);
    EXPECT_EQ(joined(sink.events), "begin | 7:partial | end");
    execute(*doc, "ask(STOP);");
    EXPECT_TRUE(doc->stopped);
    EXPECT_FALSE(doc->computing());
}

TEST_F(ExecTest, ReadlineAnswerAndArgument) {
    static WorksheetDocument* current = nullptr;
    worksheetHost().reschedule = [](void*) {
        current->readlineAnswer.assign("typed");
        current->waitingForReadline = false;
    };
    auto doc = open(Link::Direct);
    current = doc.get();
    settings(*doc)->prettyprint = 0;
    EXPECT_EQ(joined(execute(*doc, "ask(READLINE, 1);")), "begin | 7:typed | end");
    EXPECT_FALSE(doc->readlineHelpQueries);
}

TEST_F(ExecTest, InterruptDrainsTheQueue) {
    auto doc = open(Link::Direct);
    settings(*doc)->prettyprint = 0;
    RecordingSink first, second;
    doc->executeInput(&first, KString("ask(INTR); 2; 3;"));
    doc->executeInput(&second, KString("4;"));
    run(*doc);
    EXPECT_EQ(joined(first.events), "begin | 3:computation interrupted | 7: | reset");
    EXPECT_EQ(joined(second.events), "reset");
    EXPECT_FALSE(doc->interrupted);
    EXPECT_FALSE(doc->computing());
}

TEST_F(ExecTest, PollPumpsEveryFifthTime) {
    static std::vector<int> pumped;
    static int polls = 0;
    pumped.clear();
    polls = 0;
    worksheetHost().reschedule = [](void*) { pumped.push_back(polls); };
    for (polls = 1; polls <= 15; ++polls) WorksheetDocument::kernelPollCallback(nullptr);
    // A null document is ignored entirely.
    EXPECT_TRUE(pumped.empty());
    WorksheetDocument doc("Kelvo Library Help x");
    for (polls = 1; polls <= 15; ++polls) WorksheetDocument::kernelPollCallback(&doc);
    EXPECT_EQ(pumped, (std::vector<int>{5, 10, 15}));
}

TEST_F(ExecTest, DeadServerDrainsQueue) {
#ifndef KL_KERNSRV
    GTEST_SKIP() << "no kernel server";
#else
    auto doc = open(Link::Server);
    RecordingSink sink;
    doc->executeInput(&sink, KString("die(); 5;"));
    run(*doc);
    EXPECT_TRUE(doc->linkIsDead());
    EXPECT_TRUE(doc->queueIsEmpty());
    ASSERT_FALSE(sink.events.empty());
    EXPECT_EQ(sink.events.back(), "reset");
    EXPECT_FALSE(doc->computing());
#endif
}

TEST_F(ExecTest, DestroyDuringHandlerIsDeferred) {
    static WorksheetDocument* current = nullptr;
    worksheetHost().reschedule = [](void*) {
        current->waitingForReadline = false;
        current->requestDestroy();
    };
    auto doc = open(Link::Direct);
    current = doc.get();
    RecordingSink sink;
    doc->executeInput(&sink, KString("ask(READLINE, 1);"));
    WorksheetDocument* raw = doc.release();
    raw->runQueue();   // the kernel runs, READLINE waits, the pump asks to destroy the document
    // The document went once the handlers returned; its region was reset.
    EXPECT_EQ(sink.events.back(), "reset");
}

TEST_F(ExecTest, StartupCanBeInterrupted) {
    auto doc = open(Link::Direct);
    doc->startSession();
    EXPECT_TRUE(doc->startupRunning());
    EXPECT_FALSE(doc->queueIsEmpty());
    run(*doc);
    EXPECT_FALSE(doc->startupRunning());
}

// ---- the real kernel library ----------------------------------------------------------------

#ifdef KL_REAL_KERNEL
TEST_F(ExecTest, RealKernelEndToEnd) {
    static WorksheetDocument* current = nullptr;
    static int pumps = 0;
    pumps = 0;
    worksheetHost().reschedule = [](void*) {
        if (++pumps == 20) current->interrupt();
    };
    auto doc = open(Link::Real);
    current = doc.get();
    settings(*doc)->prettyprint = 0;
    EXPECT_EQ(joined(execute(*doc, "1+2;")), "begin | 7:3 | end");
    std::vector<std::string> error = execute(*doc, "1/0;");
    ASSERT_EQ(error.size(), 3u) << joined(error);
    EXPECT_EQ(error[1].rfind("4:", 0), 0u) << error[1];
    std::vector<std::string> loop = execute(*doc, "do od;");
    EXPECT_NE(joined(loop).find("3:computation interrupted"), std::string::npos) << joined(loop);
    execute(*doc, "interface(prettyprint=1);");
    EXPECT_EQ(settings(*doc)->prettyprint, 1);
}

// One shared in-process kernel: worksheets see each other's variables; the kernel lives while
// some worksheet uses it, and every evaluator goes with its document.
TEST_F(ExecTest, SharedKernelLivesWithItsLastWorksheetAndEvaluatorsGoWithTheirs) {
    auto openShared = [] {
        WorksheetHost& host = worksheetHost();
        host.kernelMode = kKernelShared;
        host.linkKind = 2;
        host.kernelLibrary = KL_REAL_KERNEL;
        return std::make_unique<WorksheetDocument>(nullptr);
    };
    auto a = openShared();
    auto b = openShared();
    EXPECT_EQ(worksheetHost().evaluators.size(), 2u);
    settings(*a)->prettyprint = 0;
    settings(*b)->prettyprint = 0;
    EXPECT_EQ(joined(execute(*a, "a := 5;")), "begin | 7:a := 5 | end");
    EXPECT_EQ(joined(execute(*b, "a;")), "begin | 7:5 | end");
    a.reset();
    EXPECT_EQ(worksheetHost().evaluators.size(), 1u);
    EXPECT_EQ(joined(execute(*b, "a + 1;")), "begin | 7:6 | end") << "the shared kernel outlives a";
    b.reset();
    EXPECT_TRUE(worksheetHost().evaluators.empty());
    EXPECT_EQ(worksheetHost().directLink, nullptr);

    // After the last one a new worksheet starts a fresh kernel.
    auto c = openShared();
    settings(*c)->prettyprint = 0;
    EXPECT_EQ(joined(execute(*c, "a;")), "begin | 7:a | end");
    c.reset();

    for (int i = 0; i < 1000; ++i) {
        auto d = openShared();
        ASSERT_EQ(worksheetHost().evaluators.size(), 1u) << i;
    }
    EXPECT_TRUE(worksheetHost().evaluators.empty());
}

// The kernel procedures that the worksheet's own commands use, over the real kernel.
std::vector<std::string> helpRequests;

TEST_F(ExecTest, RealKernelStartupHandsTheLibraryFoldersToTheHelpStream) {
    helpRequests.clear();
    setHelpStreamHook([](WorksheetDocument*, Dag request) {
        helpRequests.push_back(print_to_text(request));
        EXPECT_EQ(kl_replies::help_request_fault(request), "");
    });
    auto doc = open(Link::Real);
    doc->startSession();
    run(*doc);
    setHelpStreamHook(nullptr);
    ASSERT_EQ(helpRequests.size(), 1u);
    std::string folder = KL_REAL_KERNEL;
    folder.erase(folder.find_last_of('/'));
    EXPECT_EQ(helpRequests[0], "setpath, \"" + folder + "\"");
}

#ifdef KL_KERNSRV
// Over kernsrv: the quiet evaluator over an in-process link waits for a DONE that its handlers
// never see (its link kind is not taken for a direct one), so the request would not return.
TEST_F(ExecTest, RealKernelQuietContextMenuRequestReadsAsAMenu) {
    WorksheetHost& host = worksheetHost();
    host.kernelMode = 1;
    host.linkKind = 3;
    host.serverCommand = KL_KERNSRV;
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    auto doc = std::make_unique<WorksheetDocument>(nullptr);
    doc->startSession();
    run(*doc);
    ::unsetenv("KELVO_KERNEL");
    Dag answer = doc->evaluateString("print(ContextMenu(x^2-1));");
    ASSERT_NE(answer, nullptr);
    const DagWord* first = dag_type(answer) == DAG_EXPSEQ && dag_length(answer) > 1 ? dag_op(answer, 1) : answer;
    std::vector<kl_replies::MenuItem> menu = kl_replies::read_menu(first);
    const kl_replies::MenuItem* factor = kl_replies::find(menu, "Factor");
    ASSERT_NE(factor, nullptr) << print_to_text(answer);
    const kl_replies::MenuItem* diff = kl_replies::find(menu, "Differentiate");
    ASSERT_NE(diff, nullptr);
    ASSERT_EQ(diff->submenu.size(), 1u);
    // The command, sent back as the math element sends it, answers an input to run.
    Dag input = doc->evaluateString(("print(" + factor->command + "([ none, x^2-1 ]));").c_str());
    ASSERT_NE(input, nullptr);
    const DagWord* text = dag_type(input) == DAG_EXPSEQ && dag_length(input) > 1 ? dag_op(input, 1) : input;
    ASSERT_EQ(dag_type(text), unsigned(DAG_STRING)) << print_to_text(input);
    EXPECT_STREQ(dag_text(text), "factor(x^2-1);");
}

// What a smart plot region asks before it takes a dropped fragment: the quiet evaluation of
// the append command answers the new argument text, or nothing when the fragment cannot be
// plotted.
TEST_F(ExecTest, RealKernelQuietAppendAnswersTheTextOrNothing) {
    WorksheetHost& host = worksheetHost();
    host.kernelMode = 1;
    host.linkKind = 3;
    host.serverCommand = KL_KERNSRV;
    ::setenv("KELVO_KERNEL", KL_REAL_KERNEL, 1);
    auto doc = std::make_unique<WorksheetDocument>(nullptr);
    doc->startSession();
    run(*doc);
    ::unsetenv("KELVO_KERNEL");
    Dag answer = doc->evaluateString("APPENDPLOT(cos(x), 2 );");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(print_to_text(answer), "[cos(x), x = -10 .. 10]");
    Dag refused = doc->evaluateString("APPENDPLOT(\"abc\", 2 );");
    EXPECT_TRUE(refused == nullptr || (dag_type(refused) == DAG_EXPSEQ && dag_length(refused) == 1))
        << print_to_text(refused);
}
#endif
#endif

}  // namespace
