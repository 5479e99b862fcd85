// Tests of the worksheet record reader and writer: escaping, wrapping, numbers, tokens,
// records, expressions, blobs, sinks and their faults.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/document/document_env.h"
#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tests/support/named_rows.h"

namespace {

std::string written(const std::function<void(KWorksheetWriter&)>& write) {
    KWorksheetWriter w;
    write(w);
    return w.getBuffer();
}

std::string readBackString(const std::string& text, bool keepCr) {
    TextReader t(text);
    std::string s;
    t.reader.readString(s, keepCr);
    return s;
}

// ---- escaping --------------------------------------------------------------------------------

using kelvo_test::PrintTo;

struct EscapeCase {
    const char* name;
    std::string input;
    std::string expected;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, WritesEscapesAndReadsBack) {
    const EscapeCase& c = GetParam();
    std::string out = written([&](KWorksheetWriter& w) { w.writeQuotedString(c.input); });
    EXPECT_EQ(c.expected, out) << c.name;
    EXPECT_EQ(c.input, readBackString(out, true)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, EscapeTest,
    ::testing::Values(
        EscapeCase{"every_escape", std::string("a{b}\"c\\\n\t"), "\"a\\{b\\}\\\"c\\\\\\n\\011\" "},
        EscapeCase{"carriage_return", "x\ry", "\"x\\015y\" "},
        EscapeCase{"byte_233", std::string(1, char(233)), "\"\\351\" "},
        EscapeCase{"byte_200", std::string(1, char(200)), "\"\\310\" "},
        EscapeCase{"byte_255", std::string(1, char(255)), "\"\\377\" "},
        EscapeCase{"nul_byte", std::string("a\0b", 3), "\"a\\000b\" "},
        EscapeCase{"empty", "", "\"\" "},
        EscapeCase{"plain", "Hello, world!", "\"Hello, world!\" "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorksheetStrings, NullTextWritesEmptyString) {
    EXPECT_EQ("\"\" ", written([](KWorksheetWriter& w) { w.writeQuotedCStr(nullptr); }));
}

TEST(WorksheetStrings, CarriageReturnReadsAsLineFeedUnlessKept) {
    EXPECT_EQ("x\ny", readBackString("\"x\\015y\"", false));
    EXPECT_EQ("x\ry", readBackString("\"x\\015y\"", true));
}

TEST(WorksheetStrings, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    std::string out = written([&](KWorksheetWriter& w) { w.writeQuotedString(all); });
    EXPECT_EQ(all, readBackString(out, true));
    // Only printable ASCII and line breaks reach the text.
    for (char c : out) EXPECT_TRUE(c == '\n' || (c >= 32 && c < 127)) << int(c);
}

TEST(WorksheetStrings, LongStringsWrapAtSeventyAndReadBackIdentical) {
    std::mt19937 random(7);
    const std::string pieces[] = {"word ", "x", " ", "\\", "{", "\n", "\t", "longerword"};
    for (int round = 0; round < 20; ++round) {
        std::string text;
        while (text.size() < 200 + size_t(round) * 37) text += pieces[random() % 8];
        std::string out = written([&](KWorksheetWriter& w) { w.writeQuotedString(text); });
        std::istringstream lines(out);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            ++count;
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\\+") == 0) {
                EXPECT_TRUE(line.size() >= 3 && line[line.size() - 3] == ' ') << line;
                line.resize(line.size() - 2);
            }
            EXPECT_LE(line.size(), 70u) << line;
        }
        EXPECT_GT(count, 2);
        EXPECT_EQ(text, readBackString(out, true));
    }
}

TEST(WorksheetStrings, TwoHundredBlanksAndLettersWrapWithContinuationMarks) {
    std::string text;
    for (int i = 0; i < 70; ++i) text += "ab ";
    std::string out = written([&](KWorksheetWriter& w) { w.writeQuotedString(text); });
    EXPECT_NE(std::string::npos, out.find(" \\+\n"));
    EXPECT_EQ(text, readBackString(out, false));
}

TEST(WorksheetStrings, MissingQuoteIsSyntaxError) {
    TextReader t("abc\"");
    std::string s;
    EXPECT_EQ(2, worksheetErrorOf([&] { t.reader.readString(s, false); }));
    TextReader empty("");
    EXPECT_EQ(2, worksheetErrorOf([&] { empty.reader.readString(s, false); }));
}

TEST(WorksheetStrings, EndOfInputEndsString) {
    EXPECT_EQ("abc", readBackString("\"abc", false));
}

TEST(WorksheetStrings, BufferKeepsBoundAndConsumesRest) {
    TextReader t("\"abcdefghij\" 7");
    char buffer[5];
    t.reader.readStringBuffer(buffer, sizeof buffer, false);
    EXPECT_STREQ("abcd", buffer);
    int v = 0;
    t.reader.readInt(v);
    EXPECT_EQ(7, v);
}

// ---- wrapping of pieces -------------------------------------------------------------------------

TEST(WorksheetWrapping, PieceThatWouldPassColumnSeventyStartsNewLine) {
    std::string out = written([](KWorksheetWriter& w) {
        w.writeRaw(std::string(68, 'x'));
        w.writeInt(123);
        w.writeRaw("}\n").writeRaw("{A ");
    });
    EXPECT_EQ(std::string(68, 'x') + "\n123 }\n{A ", out);
}

TEST(WorksheetWrapping, EmptyPieceChangesNothing) {
    KWorksheetWriter w;
    w.writeRaw("abc").writeRaw("", 0);
    EXPECT_EQ(3u, w.bytesWritten());
    EXPECT_EQ(3, w.column());
    EXPECT_EQ("abc", w.getBuffer());
}

// ---- numbers ------------------------------------------------------------------------------------

TEST(WorksheetNumbers, IntegersAtTheirLimitsRoundTrip) {
    const int ints[] = {0, -1, 1, INT_MAX, INT_MIN, 32767, -32768};
    const long longs[] = {0L, LONG_MAX, LONG_MIN, -123456789012L};
    std::string out = written([&](KWorksheetWriter& w) {
        for (int v : ints) w.writeInt(v);
        for (long v : longs) w.writeLong(v);
    });
    TextReader t(out);
    for (int v : ints) {
        int got = 7;
        t.reader.readInt(got);
        EXPECT_EQ(v, got);
    }
    for (long v : longs) {
        long got = 7;
        t.reader.readLong(got);
        EXPECT_EQ(v, got);
    }
}

struct DoubleCase {
    const char* name;
    double value;
    const char* text;   // expected written form, null to skip the check
    double back;
};

class DoubleTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleTest, WritesFixedFormAndReadsBack) {
    const DoubleCase& c = GetParam();
    std::string out = written([&](KWorksheetWriter& w) { w.writeDouble(c.value); });
    if (c.text) {
        EXPECT_EQ(c.text, out) << c.name;
    }
    TextReader t(out);
    double got = 42;
    t.reader.readDouble(got);
    EXPECT_EQ(c.back, got) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Doubles, DoubleTest,
    ::testing::Values(DoubleCase{"three_and_half", 3.5, "3.500000 ", 3.5},
                      DoubleCase{"minus_half", -0.5, "-0.500000 ", -0.5},
                      DoubleCase{"tiny_is_zero", 1e-9, "0.000000 ", 0.0},
                      DoubleCase{"largest", DBL_MAX, nullptr, DBL_MAX},
                      DoubleCase{"most_negative", -DBL_MAX, nullptr, -DBL_MAX},
                      DoubleCase{"nan_is_zero", NAN, "0.000000 ", 0.0},
                      DoubleCase{"infinity_is_largest", INFINITY, nullptr, DBL_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

struct IntReadCase {
    const char* name;
    const char* input;
    int expectedCode;
    int value;
    int nextChar;   // -1 when not checked
};

class IntReadTest : public ::testing::TestWithParam<IntReadCase> {};

TEST_P(IntReadTest, ReadsOrRefuses) {
    const IntReadCase& c = GetParam();
    TextReader t(c.input);
    int v = 99;
    EXPECT_EQ(c.expectedCode, worksheetErrorOf([&] { t.reader.readInt(v); })) << c.name;
    EXPECT_EQ(c.value, v) << c.name;
    if (c.nextChar >= 0) {
        char next = 0;
        ASSERT_TRUE(t.reader.readChar(next, true)) << c.name;
        EXPECT_EQ(c.nextChar, next) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ints, IntReadTest,
    ::testing::Values(IntReadCase{"before_brace", "-12}", 0, -12, '}'},
                      IntReadCase{"brace_alone", "}", 2, 0, '}'},
                      IntReadCase{"leading_blanks_and_lines", " \n 45 x", 0, 45, ' '},
                      IntReadCase{"minus_alone", "- 5", 0, 0, ' '},
                      IntReadCase{"saturates_high", "99999999999999999999 ", 0, INT_MAX, ' '},
                      IntReadCase{"saturates_low", "-99999999999999999999 ", 0, INT_MIN, ' '},
                      IntReadCase{"end_of_input", "", 2, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorksheetNumbers, OverlongNumberIsRefusedAndConsumedWhole) {
    std::string text = std::string(5000, '7') + " 12";
    TextReader t(text);
    int v = 0;
    EXPECT_EQ(2, worksheetErrorOf([&] { t.reader.readInt(v); }));
    t.reader.readInt(v);
    EXPECT_EQ(12, v);
    double d = 1;
    TextReader t2(std::string(500, '1') + ".5 3.25");
    EXPECT_EQ(2, worksheetErrorOf([&] { t2.reader.readDouble(d); }));
    EXPECT_EQ(0, d);
    t2.reader.readDouble(d);
    EXPECT_EQ(3.25, d);
}

// ---- tokens and records -----------------------------------------------------------------------

TEST(WorksheetRecords, ReadNameKeepsBoundAndConsumesWholeToken) {
    TextReader t("{SPREADSHEET 1 }");
    char name[8];
    EXPECT_EQ(12u, t.reader.readName(name, sizeof name));
    EXPECT_STREQ("{SPREAD", name);
    int v = 0;
    t.reader.readInt(v);
    EXPECT_EQ(1, v);
    EXPECT_TRUE(t.reader.atRecordEnd());
}

TEST(WorksheetRecords, TokenEndsAfterClosingBrace) {
    TextReader t("{A}{B 1}");
    std::string token;
    t.reader.readToken(token);
    EXPECT_EQ("{A}", token);
    t.reader.readToken(token);
    EXPECT_EQ("{B", token);
}

TEST(WorksheetRecords, AtRecordEndAfterStringWithoutBlank) {
    TextReader t("{VERSION 2 2 \"User Help Text\" \"2.2\"}");
    std::string token, s;
    int a = 0, b = 0;
    t.reader.readToken(token);
    EXPECT_EQ("{VERSION", token);
    t.reader.readInt(a);
    t.reader.readInt(b);
    EXPECT_FALSE(t.reader.atRecordEnd());
    t.reader.readString(s, false);
    EXPECT_EQ("User Help Text", s);
    t.reader.readString(s, false);
    EXPECT_EQ("2.2", s);
    EXPECT_TRUE(t.reader.atRecordEnd());
}

TEST(WorksheetRecords, SkipRecordCountsOnlyUnescapedBraces) {
    TextReader t("{X 1 \"a\\}b\\\\\" {Y 5 } } rest");
    std::string token;
    t.reader.readToken(token);
    t.reader.skipRecord();
    t.reader.readToken(token);
    EXPECT_EQ("rest", token);
}

TEST(WorksheetRecords, SkipRecordStopsAtEndOfInput) {
    TextReader t("{X {Y {Z");
    std::string token;
    t.reader.readToken(token);
    t.reader.skipRecord();
    EXPECT_TRUE(t.reader.atEnd());
    EXPECT_TRUE(t.reader.atRecordEnd());
}

TEST(WorksheetRecords, SeekRecordStartLeavesBraceNext) {
    TextReader t("junk\n more {REC 1}");
    t.reader.seekRecordStart();
    std::string token;
    t.reader.readToken(token);
    EXPECT_EQ("{REC", token);
}

TEST(WorksheetRecords, ControlBytesAndCarriageReturnsAreSkipped) {
    // Tabs and other controls are dropped, not taken as white space: "1\t2" is 12.
    TextReader t("{A\r\n1\t2\x01 3 }");
    std::string token;
    t.reader.readToken(token);
    EXPECT_EQ("{A", token);
    int a = 0, b = 0;
    t.reader.readInt(a);
    t.reader.readInt(b);
    EXPECT_EQ(12, a);
    EXPECT_EQ(3, b);
    EXPECT_TRUE(t.reader.atRecordEnd());
}

// ---- expressions --------------------------------------------------------------------------------

// Expression reads release the default area, so expected DAGs live in an area of their own.
TEST(WorksheetExpressions, RoundTripThroughQuotedEncoding) {
    OwnedArea area(0, "expected");
    std::vector<Dag> expressions;
    {
        StoragePush push(area.get());
        expressions.push_back(dag_integer_from_text("-98765432109876543210"));
        expressions.push_back(dag_new2(DAG_EXPSEQ, dag_name("a b{c}"), dag_of_int(0)));
        Dag x = dag_name("x");
        Dag big = dag_integer_from_text(std::string(300, '9'));
        Dag sum = dag_new(41, DAG_SUM);
        for (std::size_t i = 1; i < 41; ++i) dag_set_op(sum, i, i % 2 ? x : big);
        expressions.push_back(dag_new1(DAG_LIST, dag_new2(DAG_EXPSEQ, sum, sum)));
    }
    for (Dag e : expressions) {
        std::string out = written([&](KWorksheetWriter& w) { w.writeExpression(e).writeInt(3); });
        TextReader t(out);
        Dag back = nullptr;
        t.reader.readExpression(back);
        ASSERT_NE(nullptr, back) << out;
        EXPECT_TRUE(dag_equal(e, back)) << out;
        int v = 0;
        t.reader.readInt(v);
        EXPECT_EQ(3, v);
    }
}

TEST(WorksheetExpressions, DirectModeReadsUnquotedEncoding) {
    OwnedArea area(0, "expected");
    storage_push_area(area.get());
    Dag e = dag_integer_from_text("12345678901234567890");
    storage_pop_area();
    std::string text = dag_to_text(e) + " 5";
    TextReader t(text);
    Dag back = nullptr;
    t.reader.readExpressionMode(back, 1);
    ASSERT_NE(nullptr, back);
    EXPECT_TRUE(dag_equal(e, back));
}

TEST(WorksheetExpressions, FaultsAreSyntaxErrors) {
    struct Row {
        const char* name;
        std::string input;
    };
    const Row rows[] = {
        {"no_quote_at_all", "abc"},
        {"encoding_without_quotes", dag_to_text(dag_of_int(5))},
        {"truncated_encoding", "\"6"},
        {"unknown_type", "\"\x7f\" "},
        {"missing_closing_quote", "\"" + dag_to_text(dag_of_int(5))},
        {"empty_quotes", "\"\" "},
    };
    for (const Row& r : rows) {
        TextReader t(r.input);
        Dag back = nullptr;
        EXPECT_EQ(2, worksheetErrorOf([&] { t.reader.readExpressionMode(back, 2); })) << r.name;
    }
}

// ---- blobs --------------------------------------------------------------------------------------

TEST(WorksheetBlobs, RoundTripEveryByte) {
    std::string bytes;
    std::mt19937 random(3);
    for (int i = 0; i < 3000; ++i) bytes.push_back(char(i < 256 ? i : int(random() % 7)));
    std::string out = written([&](KWorksheetWriter& w) { w.writeBlob(bytes).writeInt(9); });
    EXPECT_EQ(0u, out.find("1 \""));
    TextReader t(out);
    std::string back;
    t.reader.readBlob(back);
    EXPECT_EQ(bytes, back);
    int v = 0;
    t.reader.readInt(v);
    EXPECT_EQ(9, v);
}

TEST(WorksheetBlobs, FaultsAreSyntaxErrors) {
    const char* rows[] = {"2 \"1:\"", "1 abc", "1 \"=e", "1 \"=\""};
    for (const char* input : rows) {
        TextReader t(input);
        std::string back;
        EXPECT_EQ(2, worksheetErrorOf([&] { t.reader.readBlob(back); })) << input;
    }
}

// ---- sinks ----------------------------------------------------------------------------------------

TEST(WorksheetSinks, FileStoresCrLfAndReadsBack) {
    std::string path = std::string(KELVO_BINARY_DIR) + "/document_stream_test.kws";
    {
        KWorksheetWriter w;
        ASSERT_TRUE(w.open(path));
        w.writeRaw("{VERSION ").writeInt(3).writeInt(0).writeQuotedString("line\nbreak");
        w.writeRaw("}\n");
        EXPECT_EQ("{VERSION 3 0 \"line\\nbreak\" }\n", w.getBuffer());
        w.writeRaw("{X }");
        w.flush();
    }
    std::ifstream in(path, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("{VERSION 3 0 \"line\\nbreak\" }\r\n{X }", raw);
    KWorksheetReader r;
    ASSERT_TRUE(r.open(path));
    std::string token, s;
    int a = 0, b = 0;
    r.readToken(token);
    r.readInt(a);
    r.readInt(b);
    r.readString(s, false);
    EXPECT_EQ("line\nbreak", s);
    EXPECT_TRUE(r.atRecordEnd());
    std::remove(path.c_str());
}

TEST(WorksheetSinks, FailedOutputIsErrorThree) {
    KWorksheetWriter w;
    EXPECT_FALSE(w.open("/nonexistent-folder/x.kws"));
    EXPECT_EQ(3, worksheetErrorOf([&] { w.writeInt(1); }));

    KWorksheetWriter full;
    ASSERT_TRUE(full.open("/dev/full"));
    int code = worksheetErrorOf([&] {
        for (int i = 0; i < 100000; ++i) full.writeInt(i);
        full.flush();
    });
    EXPECT_EQ(3, code);
}

TEST(WorksheetSinks, OpenMissingFileFails) {
    KWorksheetReader r;
    EXPECT_FALSE(r.open("/nonexistent-folder/x.kws"));
    EXPECT_TRUE(r.atEnd());
}

}  // namespace
