// The worksheet file's top level: the exact bytes a saved worksheet and a style set file are
// written as, how files of every kind load (missing, not a worksheet, older releases, unknown
// records, no section, view options without a mark), the notices and questions through the
// message hooks, the text import through its hook, and damaged input answered without a crash.

#include "document/exec/WorksheetFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SectionFakes.h"
#include "document/tree/ElementPosition.h"
#include "document/styles/KViewOptions.h"
#include "document/exec/PlaceholderElement.h"
#include "document/styles/StyleSet.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"
#include "tests/document/document_env.h"
#include "kernel_link/KKernelSession.h"
#include "tovu/errors.h"
#include "update/update.h"
#include "util/messages.h"
#include "tests/support/named_rows.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// What reached the user through the message hooks.
struct Shown {
    std::vector<std::string> messages, infos, questions;
    std::vector<int> questionStyles;
    int answer = 0;
    std::vector<std::string> busy;   // "on:text" / "off"
    int importChoice = -1;
    int importCalls = 0;
};
Shown* shown = nullptr;

class WorksheetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        shown = &record_;
        WorksheetHost& host = worksheetHost();
        host = WorksheetHost();
        // The documents are built without a kernel connection.
        host.connectKernel = connectNoKernel;
        MessageGuiHooks hooks;
        hooks.isRunning = [] { return true; };
        hooks.errorBox = [](void*, int, const char* text) { shown->messages.push_back(text); };
        hooks.infoBox = [](const char* text) { shown->infos.push_back(text); };
        hooks.questionBox = [](int style, const char* text) {
            shown->questions.push_back(text);
            shown->questionStyles.push_back(style);
            return shown->answer;
        };
        messages_set_gui_hooks(hooks);
        worksheetFileHooks().busy = [](bool on, const char* text) {
            shown->busy.push_back(on ? std::string("on:") + text : std::string("off"));
        };
        worksheetFileHooks().chooseTextImport = [](const char*, const char* const* entries, int count) {
            ++shown->importCalls;
            EXPECT_EQ(count, 2);
            EXPECT_STREQ(entries[0], "Kelvo Text");
            EXPECT_STREQ(entries[1], "Text");
            return shown->importChoice;
        };
    }
    void TearDown() override {
        mark.reset();
        options.reset();
        doc.reset();
        messages_clear_gui_hooks();
        worksheetFileHooks() = WorksheetFileHooks();
        WorksheetHost& host = worksheetHost();
        std::vector<QuietEvaluator*> left = host.evaluators;
        host.evaluators.clear();
        for (QuietEvaluator* e : left) delete e;
        shown = nullptr;
    }

    bool load(const std::string& name, bool quiet) { return loadWorksheet(dataPath(name).c_str(), doc, mark, options, quiet); }

    std::string save(ElementPosition* withMark, const KViewOptions* withOptions, bool whole = true) {
        KWorksheetWriter writer;
        EXPECT_TRUE(doc->writeWorksheet(writer, withMark, withOptions, whole));
        return writer.getBuffer();
    }

    // The tree of a root section: a group whose paragraph holds a one-line input.
    InputTextElement* buildOneInput(const char* text) {
        doc = std::make_unique<WorksheetDocument>(nullptr);
        auto* root = new SectionElement();
        doc->setRoot(root);
        auto* group = new ExecutionGroup();
        auto* paragraph = new ParagraphElement(0, nullptr);
        auto* input = new InputTextElement(1, text);
        paragraph->insertChild(input, nullptr, kInsertAfter);
        group->insertChild(paragraph, nullptr, kInsertAfter);
        root->insertChild(group, nullptr, kInsertAfter);
        root->insertChild(new PlaceholderElement, nullptr, kInsertAfter);
        return input;
    }

    ReaderRegistration registration_;
    Shown record_;
    std::unique_ptr<WorksheetDocument> doc;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> options;
};

KViewOptions testOptions() {
    KViewOptions o;
    o.showSectionRanges = 1;
    o.showGroupRanges = 0;
    o.showInvisibles = 1;
    o.zoomNumerator = 3;
    o.zoomDenominator = 2;
    o.zoomCommand = 1804;
    return o;
}

// ---- writing -------------------------------------------------------------------------------------

TEST_F(WorksheetFileTest, SavedNestingMatchesHandWrittenFile) {
    InputTextElement* input = buildOneInput("x+1;");
    ElementPosition caret(input, 2);
    KViewOptions o = testOptions();
    EXPECT_EQ(save(&caret, &o), readFile(dataPath("nesting.kws")));
}

TEST_F(WorksheetFileTest, StyleSetFileHoldsVersionAndNamedStylesOnly) {
    buildOneInput("x+1;");
    InputTextElement* input = dynamic_cast<InputTextElement*>(doc->root()->firstChild()->firstChild()->firstChild());
    ElementPosition caret(input, 0);
    KViewOptions o = testOptions();
    // A style set file keeps every named style (built-in and user), none of the unnamed ones,
    // and neither the elements, the mark nor the view options.
    StyleSet* styles = doc->styleSet();
    KWorksheetWriter expected;
    expected.writeRaw(readFile(dataPath("version_line.kws")));
    expected.writeRaw("{USTYLETAB ");
    int named = 0;
    for (int i = 0; i < styles->charTableSize(); ++i)
        if (const CharStyle* s = styles->charStyle(i); s && s->name && !s->name->empty()) {
            s->writeRecord(expected);
            ++named;
        }
    for (int i = 0; i < styles->paraTableSize(); ++i)
        if (const ParaStyle* s = styles->paraStyle(i); s && s->name && !s->name->empty()) {
            s->writeRecord(expected);
            ++named;
        }
    expected.writeRaw("}\n");
    expected.writeRaw("\n");
    ASSERT_GT(named, 0);
    EXPECT_EQ(save(&caret, &o, false), expected.getBuffer());
}

TEST_F(WorksheetFileTest, SaveLoadSaveGivesSameBytes) {
    struct Case {
        const char* name;
        bool withMark;
        bool withOptions;
        bool collapsedSection;
    };
    const Case cases[] = {
        {"plain", false, false, false},
        {"markOnly", true, false, false},
        {"markAndOptions", true, true, false},
        {"collapsedSubsection", true, true, true},
    };
    for (const Case& c : cases) {
        InputTextElement* input = buildOneInput("y := 2;");
        auto* sub = new SectionElement(1);
        sub->insertChild(new ExecutionGroup(new ParagraphElement(0, nullptr)), nullptr, kInsertAfter);
        sub->setCollapsedFlag(c.collapsedSection);
        doc->root()->insertChild(sub, nullptr, kInsertAfter);
        ElementPosition caret(input, 3);
        KViewOptions o = testOptions();
        std::string first = save(c.withMark ? &caret : nullptr, c.withOptions ? &o : nullptr);
        caret.setPosition(nullptr, 0);

        std::string path = ::testing::TempDir() + "wf_roundtrip.kws";
        {
            std::ofstream out(path, std::ios::binary);
            out << first;
        }
        ASSERT_TRUE(loadWorksheet(path.c_str(), doc, mark, options, true)) << c.name;
        EXPECT_EQ(mark != nullptr, c.withMark) << c.name;
        EXPECT_EQ(options != nullptr, c.withMark && c.withOptions) << c.name;
        EXPECT_EQ(doc->root()->lastChild()->elementKind(), KIND_PLACEHOLDER) << c.name;
        std::string second = save(mark.get(), options.get());
        EXPECT_EQ(second, first) << c.name;
        std::remove(path.c_str());
        mark.reset();
        options.reset();
    }
}

TEST_F(WorksheetFileTest, AnEmptyWorksheetComesBackWithItsMarkAndOptionsUnremarked) {
    doc = std::make_unique<WorksheetDocument>(nullptr);
    auto* root = new SectionElement();
    doc->setRoot(root);
    auto* placeholder = new PlaceholderElement;
    root->insertChild(placeholder, nullptr, kInsertAfter);
    ElementPosition caret(placeholder, 0);
    KViewOptions o = testOptions();
    const std::string first = save(&caret, &o);
    caret.setPosition(nullptr, 0);

    const std::string path = ::testing::TempDir() + "wf_empty.kws";
    {
        std::ofstream out(path, std::ios::binary);
        out << first;
    }
    ASSERT_TRUE(loadWorksheet(path.c_str(), doc, mark, options, false));
    std::remove(path.c_str());
    EXPECT_TRUE(shown->infos.empty()) << "the mark and options are no unknown records";
    ASSERT_EQ(doc->root()->childCount(), 1);
    EXPECT_EQ(doc->root()->firstChild()->elementKind(), KIND_PLACEHOLDER);
    ASSERT_NE(mark, nullptr);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->zoomCommand, 1804);
    EXPECT_EQ(save(mark.get(), options.get()), first);
}

TEST_F(WorksheetFileTest, WriteFailureAnswersFalse) {
    buildOneInput("a;");
    KWorksheetWriter writer;
    ASSERT_FALSE(writer.open("/nonexistent-dir/out.kws"));
    EXPECT_FALSE(doc->writeWorksheet(writer, nullptr, nullptr, true));
}

// ---- loading -------------------------------------------------------------------------------------

TEST_F(WorksheetFileTest, LoadsHandWrittenNestingWithMarkAndOptions) {
    ASSERT_TRUE(load("nesting.kws", false));
    Element* root = doc->root();
    ASSERT_EQ(root->elementKind(), KIND_SECTION);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->childAt(1)->elementKind(), KIND_PLACEHOLDER);
    Element* group = root->childAt(0);
    ASSERT_EQ(group->elementKind(), KIND_GROUP);
    auto* input = dynamic_cast<InputTextElement*>(group->firstChild()->firstChild());
    ASSERT_NE(input, nullptr);
    EXPECT_STREQ(input->text(), "x+1;");
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->element(), input);
    EXPECT_EQ(mark->offset(), 2);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->zoomNumerator, 3);
    EXPECT_EQ(options->zoomDenominator, 2);
    EXPECT_EQ(options->zoomCommand, 1804);
    EXPECT_EQ(options->showGroupRanges, 0);
    EXPECT_EQ(doc->fileMajorVersion, 3);
    EXPECT_STREQ(doc->plainTitle().text(), "nesting.kws");
    EXPECT_EQ(shown->busy, (std::vector<std::string>{"on:Loading worksheet", "off"}));
    EXPECT_TRUE(shown->infos.empty());
    EXPECT_TRUE(shown->questions.empty());
}

using kelvo_test::PrintTo;

struct LoadCase {
    const char* name;
    const char* file;
    bool quiet;
    bool loads;
    int rootChildren;        // before the placeholder
    bool hasMark;
    bool hasOptions;
    const char* title;       // plain title when loaded
    int messages, infos, questions;
    bool busy;               // the busy indicator went on and off
};

class WorksheetLoad : public WorksheetFileTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(WorksheetLoad, Outcome) {
    const LoadCase& c = GetParam();
    shown->answer = 7;   // neither Yes nor No: no update
    EXPECT_EQ(load(c.file, c.quiet), c.loads) << c.name;
    EXPECT_EQ(shown->messages.size(), std::size_t(c.messages)) << c.name;
    EXPECT_EQ(shown->infos.size(), std::size_t(c.infos)) << c.name;
    EXPECT_EQ(shown->questions.size(), std::size_t(c.questions)) << c.name;
    EXPECT_EQ(shown->busy.empty(), !c.busy) << c.name;
    EXPECT_EQ(shown->importCalls, 0) << c.name;
    if (!c.loads) {
        EXPECT_EQ(doc, nullptr) << c.name;
        EXPECT_EQ(mark, nullptr) << c.name;
        EXPECT_EQ(options, nullptr) << c.name;
        return;
    }
    ASSERT_NE(doc, nullptr) << c.name;
    Element* root = doc->root();
    ASSERT_EQ(root->elementKind(), KIND_SECTION) << c.name;
    ASSERT_EQ(root->childCount(), c.rootChildren + 1) << c.name;
    EXPECT_EQ(root->lastChild()->elementKind(), KIND_PLACEHOLDER) << c.name;
    EXPECT_EQ(mark != nullptr, c.hasMark) << c.name;
    EXPECT_EQ(options != nullptr, c.hasOptions) << c.name;
    EXPECT_STREQ(doc->plainTitle().text(), c.title) << c.name;
}

const LoadCase kLoadCases[] = {
    {"nestingQuiet", "nesting.kws", true, true, 1, true, true, "Untitled (1)", 0, 0, 0, false},
    {"viewOptionsWithoutMark", "viewopts_without_mark.kws", false, true, 1, false, false, "viewopts_without_mark.kws", 0, 0, 0, true},
    {"noSection", "no_section.kws", false, true, 0, false, false, "no_section.kws", 0, 0, 0, true},
    {"unknownRecord", "unknown_record.kws", false, true, 1, false, false, "unknown_record.kws", 0, 1, 0, true},
    {"unknownRecordQuiet", "unknown_record.kws", true, true, 1, false, false, "Untitled (1)", 0, 0, 0, false},
    {"release4Quiet", "release4.kws", true, true, 1, false, false, "Untitled (1)", 0, 0, 0, false},
    {"missing", "no_such_file.kws", false, false, 0, false, false, "", 1, 0, 0, false},
    {"missingQuiet", "no_such_file.kws", true, false, 0, false, false, "", 0, 0, 0, false},
    {"notWorksheetQuiet", "plain_text.txt", true, false, 0, false, false, "", 0, 0, 0, false},
};
INSTANTIATE_TEST_SUITE_P(All, WorksheetLoad, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorksheetFileTest, MissingFileMessageNamesThePath) {
    std::string path = dataPath("no_such_file.kws");
    EXPECT_FALSE(load("no_such_file.kws", false));
    ASSERT_EQ(shown->messages.size(), 1u);
    EXPECT_EQ(shown->messages[0], "The file " + path + " could not be found.");
    EXPECT_TRUE(shown->busy.empty());
}

TEST_F(WorksheetFileTest, UnknownRecordShowsInfoText) {
    ASSERT_TRUE(load("unknown_record.kws", false));
    ASSERT_EQ(shown->infos.size(), 1u);
    EXPECT_EQ(shown->infos[0],
              "This worksheet contains elements that are not supported on this platform.\n"
              "Your worksheet may be incomplete.");
}

struct ReleaseCase {
    const char* name;
    const char* file;
    int answer;
    int style;
    const char* textStart;
    const char* input;      // the input's text in the file
    bool updated;           // the input's text is what the source update facility makes of it
    bool collapsed;   // of the root section as read
};

class WorksheetRelease : public WorksheetFileTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(WorksheetRelease, NoticeAndUpdate) {
    const ReleaseCase& c = GetParam();
    shown->answer = c.answer;
    ASSERT_TRUE(load(c.file, false)) << c.name;
    ASSERT_EQ(shown->questions.size(), 1u) << c.name;
    EXPECT_EQ(shown->questionStyles[0], c.style) << c.name;
    EXPECT_EQ(shown->questions[0].rfind(c.textStart, 0), 0u) << c.name << ": " << shown->questions[0];
    auto* root = dynamic_cast<SectionElement*>(doc->root());
    ASSERT_NE(root, nullptr) << c.name;
    Element* paragraph = root->firstChild();
    auto* input = dynamic_cast<InputTextElement*>(paragraph ? paragraph->firstChild() : nullptr);
    ASSERT_NE(input, nullptr) << c.name;
    if (c.updated) {
        std::vector<char> updated(4096, '\0');
        std::strcpy(updated.data(), c.input);
        {
            TovuHandlerGuard guard;
            update_source(updated.data(), int(updated.size()), nullptr, nullptr);
        }
        ASSERT_STRNE(updated.data(), c.input);
        EXPECT_STREQ(input->text(), updated.data()) << c.name;
    } else {
        EXPECT_STREQ(input->text(), c.input) << c.name;
    }
    EXPECT_EQ(root->isCollapsed(), c.collapsed) << c.name;
}

const ReleaseCase kReleaseCases[] = {
    {"release4Yes", "release4.kws", 2, 64, "This worksheet was created with Kelvo V Release 4 and should be updated. \n\n", "s := rgf_seq(1);", true, true},
    {"release4No", "release4.kws", 3, 64, "This worksheet was created with Kelvo V Release 4", "s := rgf_seq(1);", false, true},
    {"release3", "release3.kws", 2, 16, "This worksheet was created with Kelvo V Release 3.\n\n", "older;", false, false},
};
INSTANTIATE_TEST_SUITE_P(All, WorksheetRelease, ::testing::ValuesIn(kReleaseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorksheetFileTest, ReleaseQuestionTextsAreExact) {
    shown->answer = 3;
    ASSERT_TRUE(load("release4.kws", false));
    ASSERT_TRUE(load("release3.kws", false));
    ASSERT_EQ(shown->questions.size(), 2u);
    EXPECT_EQ(shown->questions[0],
              "This worksheet was created with Kelvo V Release 4 and should be updated. \n\n"
              "Your worksheet may contain Kelvo language elements that have changed or were updated in "
              "Release 5.Kelvo can update your worksheet to Release 5, and warn you where changes may "
              "affect your work. \n\nDo you want to update this worksheet?");
    EXPECT_EQ(shown->questions[1],
              "This worksheet was created with Kelvo V Release 3.\n\n"
              "Your worksheet may contain Kelvo language elements that have changed or were updated in "
              "Release 5.  Automatic update of this worksheet is not available.");
}

// ---- files that are not worksheets -------------------------------------------------------------------

struct ImportCase {
    const char* name;
    const char* file;
    int choice;
    bool loads;
    std::vector<int> kinds;   // kinds of the root's children
};

class WorksheetImport : public WorksheetFileTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(WorksheetImport, ThroughDialogHook) {
    const ImportCase& c = GetParam();
    shown->importChoice = c.choice;
    EXPECT_EQ(load(c.file, false), c.loads) << c.name;
    EXPECT_EQ(shown->importCalls, 1) << c.name;
    // The busy indicator is off while the dialog runs.
    EXPECT_EQ(shown->busy, (std::vector<std::string>{"on:Loading worksheet", "off", "on:Loading worksheet", "off"}))
        << c.name;
    EXPECT_EQ(mark, nullptr) << c.name;
    if (!c.loads) {
        EXPECT_EQ(doc, nullptr) << c.name;
        return;
    }
    Element* root = doc->root();
    std::vector<int> kinds;
    for (int i = 0; i < root->childCount(); ++i) kinds.push_back(root->childAt(i)->elementKind());
    EXPECT_EQ(kinds, c.kinds) << c.name;
}

const ImportCase kImportCases[] = {
    {"cancel", "plain_text.txt", -1, false, {}},
    {"kelvoText", "plain_text.txt", 0, true, {KIND_GROUP, KIND_GROUP}},
    {"text", "plain_text.txt", 1, true, {KIND_PARAGRAPH, KIND_PARAGRAPH, KIND_PARAGRAPH, KIND_PARAGRAPH, KIND_PARAGRAPH}},
    {"kelvoTextNothingMarked", "no_markers.txt", 0, true, {KIND_GROUP}},
};
INSTANTIATE_TEST_SUITE_P(All, WorksheetImport, ::testing::ValuesIn(kImportCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorksheetFileTest, KelvoTextImportGroupsCompleteStatements) {
    shown->importChoice = 0;
    ASSERT_TRUE(load("plain_text.txt", false));
    Element* root = doc->root();
    ASSERT_EQ(root->childCount(), 2);
    // "# A comment line" and "> x := 1;" end the first group; the second gathers the statement
    // that runs over two lines.
    EXPECT_EQ(root->childAt(0)->childCount(), 2);
    EXPECT_EQ(root->childAt(1)->childCount(), 2);
    auto* text = dynamic_cast<TextElement*>(root->childAt(0)->firstChild()->firstChild());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->text(), "A comment line");
    EXPECT_STREQ(doc->plainTitle().text(), "plain_text.txt");
}

TEST_F(WorksheetFileTest, NoImportHookCancels) {
    worksheetFileHooks().chooseTextImport = nullptr;
    EXPECT_FALSE(load("plain_text.txt", false));
    EXPECT_EQ(doc, nullptr);
}

// ---- damaged input ---------------------------------------------------------------------------------

struct DamagedCase {
    const char* name;
    const char* text;
    bool reads;
    int rootChildren;   // before the placeholder, when read
};

class WorksheetDamaged : public WorksheetFileTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(WorksheetDamaged, AnswersWithoutCrash) {
    const DamagedCase& c = GetParam();
    TextReader text(c.text);
    bool answer = true;
    EXPECT_EQ(worksheetErrorOf([&] { answer = readWorksheet(text.reader, "damaged.kws", doc, mark, options, true); }), 0)
        << c.name;
    EXPECT_EQ(answer, c.reads) << c.name;
    EXPECT_EQ(worksheetTagTable.styleSet, nullptr) << c.name;
    if (!c.reads) {
        EXPECT_EQ(doc, nullptr) << c.name;
        EXPECT_EQ(mark, nullptr) << c.name;
        return;
    }
    ASSERT_NE(doc, nullptr) << c.name;
    EXPECT_EQ(doc->root()->childCount(), c.rootChildren + 1) << c.name;
}

const DamagedCase kDamagedCases[] = {
    {"empty", "", false, 0},
    {"notVersion", "{SECT 0 }", false, 0},
    {"truncatedVersion", "{VERSION 3", false, 0},
    {"versionWithoutPlatform", "{VERSION 3 0 }", false, 0},
    {"onlyVersion", "{VERSION 3 0 \"IBM INTEL NT\" \"3.0\" }\n", true, 0},
    {"truncatedStyleTable", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB {CSTYLE \"a", true, 0},
    {"truncatedSection", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB }\n{SECT 0 {EXCHG {PARA 0 \"\" 0 \"\" {KLVTEXT 1 0 1 \"a", true, 1},
    {"bareWordBeforeRoot", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB }\nword {SECT 0 {PARA 0 \"\" 0 \"\" }}", false, 0},
    {"bareWordInsideRoot", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB }\n{SECT 0 word {PARA 0 \"\" 0 \"\" }}", true, 0},
    {"markPathOutside", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB }\n{SECT 0 {PARA 0 \"\" 0 \"\" }}{MARK \"7 7\" 0 }", true, 1},
    {"hugeVersionNoStyleTable", "{VERSION 99999999999 -5 \"x\" \"3.0\" }\n{SECT 0 {PARA 0 \"\" 0 \"\" }}", true, 0},
    {"negativeMajor", "{VERSION -3 0 \"x\" \"3.0\" }\n{SECT {PARA 0 \"\" 0 \"\" }}", true, 1},
    {"unbalancedClose", "{VERSION 3 0 \"x\" \"3.0\" }\n{USTYLETAB }\n}}}{SECT 0 {PARA 0 \"\" 0 \"\" }}", true, 0},
};
INSTANTIATE_TEST_SUITE_P(All, WorksheetDamaged, ::testing::ValuesIn(kDamagedCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
