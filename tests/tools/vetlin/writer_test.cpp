// Tests of the run's pieces around the store: the line writer, the input-file stack, the debug
// dump and the error classes.
#include "tools/vetlin/writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

using WriterTest = RunFixture;

TEST_F(WriterTest, LinesBreakAtBlanksOrHardAtTheLimit) {
    const std::string letters(100, 'x');
    struct Row {
        const char* name;
        long indentation;
        std::string text;
        std::string expected;
    } rows[] = {
        {"fits", 2, "short text", "  short text\n"},
        {"no blank: cut at 79", 0, letters,
         std::string(79, 'x') + "\n    " + std::string(21, 'x') + "\n"},
        {"no blank, indented: cut at 79 - n", 3, letters,
         "   " + std::string(76, 'x') + "\n       " + std::string(24, 'x') + "\n"},
        {"words break after the last blank and go on at n + 4", 2,
         std::string(50, 'a') + " " + std::string(30, 'b') + " c",
         "  " + std::string(50, 'a') + " \n      " + std::string(30, 'b') + " c\n"},
        {"a newline within the limit is the break when the text held one", 0,
         "first part\nsecond part " + std::string(70, 'z'),
         "first part\n\n    second part \n    " + std::string(70, 'z') + "\n"},
        {"leading blanks of a broken piece are skipped", 0,
         " " + std::string(10, 'a') + " " + std::string(80, 'b'),
         std::string(10, 'a') + " \n    " + std::string(75, 'b') + "\n    bbbbb\n"},
        {"exactly the limit fits", 0, std::string(79, 'y'), std::string(79, 'y') + "\n"},
    };
    for (const Row& row : rows) {
        std::FILE* report = std::tmpfile();
        vl.report = report;
        writer_begin_line(row.indentation);
        writer_write(row.text.c_str());
        writer_end_line();
        EXPECT_EQ(slurp(report), row.expected) << row.name;
        std::fclose(report);
    }
    vl.report = out_;
}

// Text arrives in pieces: the break is the same as for the whole text.
TEST_F(WriterTest, PiecesWrapLikeTheWhole) {
    writer_begin_line(4);
    for (int i = 0; i < 30; ++i) writer_printf("name%d, ", i);
    writer_end_line();
    const std::string text = output();
    std::size_t start = 0;
    int lines = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        EXPECT_LE(nl - start, 79u) << text;
        ++lines;
    }
    EXPECT_GT(lines, 2);
    EXPECT_NE(text.find("name29,"), std::string::npos);
}

// A continuation extra wider than the line leaves the limit at 20 columns; breaking ends.
TEST_F(WriterTest, WideContinuationStillProgresses) {
    writer_begin_line(6);
    writer_set_extra(81);
    const std::string text(500, 'w');
    writer_write(text.c_str());
    EXPECT_EQ(writer_limit(), 20);
    writer_end_line();
    const std::string out = output();
    std::size_t letters = 0;
    for (char c : out) letters += c == 'w';
    EXPECT_EQ(letters, 500u);
    EXPECT_EQ(out.substr(0, 6 + 73), std::string(6, ' ') + std::string(73, 'w'));
    EXPECT_EQ(out.substr(80, 87), std::string(87, ' '));
    EXPECT_EQ(out.substr(167, 21), std::string(20, 'w') + "\n");
}

// Long text in one call (a 499-character name, a long error text) is wrapped, never cut.
TEST_F(WriterTest, TextLongerThanTheOldBufferIsKept) {
    writer_begin_line(0);
    std::string text;
    for (int i = 0; i < 300; ++i) text += "word ";
    writer_write(text.c_str());
    writer_write(std::string(499, 'n').c_str());
    writer_end_line();
    const std::string out = output();
    std::size_t words = 0;
    for (std::size_t at = 0; (at = out.find("word", at)) != std::string::npos; at += 4) ++words;
    EXPECT_EQ(words, 300u);
    std::size_t letters = 0;
    for (char c : out) letters += c == 'n';
    EXPECT_EQ(letters, 499u);
}

TEST_F(WriterTest, LocationUnlessTerminal) {
    writer_begin_line(0);
    writer_write("x");
    writer_location(12);
    writer_end_line();
    EXPECT_EQ(output(), "x on line 12\n");
    std::FILE* terminal = std::fopen("/dev/null", "r");   // a character device
    ASSERT_NE(terminal, nullptr);
    input_reset(terminal);
    EXPECT_TRUE(input_is_terminal());
    std::fclose(terminal);
    input_reset(in_);
    EXPECT_FALSE(input_is_terminal());
}

class InputStackTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        for (int i = 0; i < 8; ++i) {
            files_[i] = folder_.path() / ("f" + std::to_string(i) + ".m");
            std::ofstream(files_[i]) << "f" << i << "\n";
        }
    }
    ScratchFolder folder_;
    std::filesystem::path files_[8];
};

TEST_F(InputStackTest, SevenFilesAtMost) {
    EXPECT_EQ(input_current(), in_);
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(input_push(files_[i].c_str())) << i;
        EXPECT_EQ(input_slot(), i);
        EXPECT_EQ(std::fgetc(input_current()), 'f');
        EXPECT_EQ(std::fgetc(input_current()), '0' + i);
    }
    EXPECT_EQ(exit_status([&] { input_push(files_[7].c_str()); }), 127);
    EXPECT_EQ(output(), "too many files simultaneously open for reading\n");
}

TEST_F(InputStackTest, PopReturnsToTheStandardInput) {
    EXPECT_FALSE(input_push((folder_.path() / "missing.m").c_str()));
    EXPECT_FALSE(input_push(folder_.path().c_str()));   // a directory is not a source
    EXPECT_EQ(input_current(), in_);
    ASSERT_TRUE(input_push(files_[0].c_str()));
    ASSERT_TRUE(input_push(files_[1].c_str()));
    EXPECT_EQ(input_slot(), 1);
    input_pop();
    EXPECT_EQ(input_slot(), 0);
    EXPECT_EQ(std::fgetc(input_current()), 'f');
    input_pop();
    EXPECT_EQ(input_slot(), 0);
    EXPECT_EQ(input_current(), in_);
    input_pop();                                         // already the standard input
    EXPECT_EQ(input_current(), in_);
}

TEST_F(WriterTest, DumpShowsHeaderOperandsAndTypeName) {
    VObj elements = store_make(DAG_EXPSEQ, store_name("x"), store_integer(5));
    VObj o = store_make(DAG_LIST, elements);
    vl_dump(o, "T");
    EXPECT_EQ(output(), "");                             // the switch is off
    vl.debug = 1;
    vl_dump(o, "T");
    // The header, the operand words, then the object as the printer shows it.
    const std::string expected = "TT = (" + std::to_string(reinterpret_cast<long>(o)) + ")-->1 LIST[2], " +
                                 std::to_string(reinterpret_cast<long>(elements)) + " => [x, 5]\n";
    EXPECT_EQ(output(), expected);
    VObj odd = store_new(2, 50);
    vl_dump(odd, "U");
    const long address = reinterpret_cast<long>(odd);
    char line[200];
    std::snprintf(line, sizeof line, "UU = Unknown header 0x%lx(%ld) => 0x%lx(%ld)\n", address,
                  address, long(odd[0]), long(odd[0]));
    EXPECT_EQ(output(), expected + line);
}

TEST_F(WriterTest, RecordErrorClass) {
    vl.noLogo = true;
    vl_init_checker();
    vl.turnedOff[11] = true;
    vl.forced[25] = true;
    struct Row {
        int error;
        int answer;
        int severity;
        bool forced;
    } rows[] = {
        {11, 0, 4, false},   // turned off: nothing changes
        {30, 1, 3, false},
        {12, 1, 2, false},
        {25, 1, 2, true},    // forced
        {3, 1, 1, true},
        {40, 0, 1, true},    // no such error
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RecordErrorClass(row.error), row.answer) << row.error;
        EXPECT_EQ(vl.Severity, row.severity) << row.error;
        EXPECT_EQ(vl.forcedReport, row.forced) << row.error;
    }
    EXPECT_EQ(vl.classCount[1], 1);
    EXPECT_EQ(vl.classCount[2], 1);
    EXPECT_EQ(vl.classCount[3], 2);
    EXPECT_EQ(vl.TotalSeverity, 4);
    vl.debug = 1;
    RecordErrorClass(6);
    EXPECT_EQ(output(), "RecordErrorClass: Error=6, Class=2\n");
}

TEST_F(WriterTest, ErrorClassesAndLevels) {
    vl.noLogo = true;
    vl_init_checker();
    for (int n = 0; n < VL_ERRORS; ++n)
        EXPECT_EQ(vl.errorClass[n], n <= 5 ? 1 : n <= 21 ? 2 : 3) << n;
    const int highest[] = {0, 5, 21, 31, 31};
    for (int level = 0; level < VL_LEVELS; ++level) EXPECT_EQ(vl.highestError[level], highest[level]);
    EXPECT_EQ(vl.Severity, 4);
    EXPECT_EQ(vl.TotalSeverity, 4);
}

// The predefined names are NAMEs in their order, with their start-up values.
TEST_F(WriterTest, PredefinedNamesAndValues) {
    vl.noLogo = true;
    vl.libraryDirectory = "/opt/k/lib";
    vl_init_checker();
    EXPECT_STREQ(vl_name_text(vl.builtin), "builtin");
    EXPECT_EQ(vl.predefined[23], vl.builtin);
    const std::pair<int, const char*> named[] = {
        {0, "%"}, {VL_PRE_DIGITS, "Digits"}, {VL_PRE_NULL, "NULL"}, {VL_PRE_ORDER, "Order"},
        {VL_PRE_ARROW, "arrow"}, {VL_PRE_FACTORIAL, "factorial"}, {VL_PRE_LASTERROR, "lasterror"},
        {VL_PRE_LIBNAME, "libname"}, {VL_PRE_MOD, "mod"}, {VL_PRE_OPERATOR, "operator"},
        {VL_PRE_PRINTLEVEL, "printlevel"}, {VL_PRE_TRUE, "true"}, {VL_PRE_DOLLAR, "$"},
        {216, "complex"},
    };
    for (const auto& [index, text] : named) EXPECT_STREQ(vl_name_text(vl.predefined[index]), text);
    EXPECT_EQ(vl_op(vl.predefined[VL_PRE_DIGITS], 1), vl.ten);
    EXPECT_EQ(store_to_integer(vl_op(vl.predefined[VL_PRE_ORDER], 1)), 6);
    EXPECT_EQ(vl_op(vl.predefined[VL_PRE_PRINTLEVEL], 1), vl.one);
    EXPECT_EQ(vl_op(vl.predefined[VL_PRE_NULL], 1), vl.null);
    EXPECT_STREQ(vl_string_text(vl_op(vl.predefined[VL_PRE_LIBNAME], 1)), "/opt/k/lib");
    EXPECT_EQ(vl_length(vl.null), 1);
    EXPECT_EQ(store_to_integer(vl.minusOne), -1);
    EXPECT_EQ(store_to_integer(vl.zero), 0);
}

}  // namespace
}  // namespace vetlin_test
