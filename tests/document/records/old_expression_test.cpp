// Tests of the reader of the oldest release's expression form.
#include <gtest/gtest.h>

#include "document/records/old_expression.h"
#include "tests/document/document_env.h"
#include "tovu/dag.h"

namespace {

Dag readOld(const std::string& text, int& code) {
    TextReader t(text);
    Dag d = nullptr;
    code = worksheetErrorOf([&] { t.reader.readExpressionMode(d, 0); });
    return d;
}

struct OldCase {
    const char* name;
    std::string input;
    std::function<Dag()> expected;   // null: the read must fail with code 2
};

TEST(OldExpression, TableOfForms) {
    const OldCase rows[] = {
        {"small_integer", "j2 0042", [] { return dag_of_int(42); }},
        {"negative_integer", "i2 0007", [] { return dag_of_int(-7); }},
        {"multiword_integer", "j3 00120034", [] { return dag_integer_from_text("120034"); }},
        {"leading_zero_word", "j3 00000005", [] { return dag_of_int(5); }},
        {"negative_zero", "i2 0000", [] { return dag_of_int(0); }},
        {"name", "n4\\'abc'", [] { return dag_name("abc"); }},
        {"name_tilde_escapes", "n5\\'~(x~)~~'", [] { return dag_name("{x}~"); }},
        {"sum_with_backref", "+3n3\\'x'p1",
         [] { Dag x = dag_name("x"); return dag_new2(DAG_SUM, x, x); }},
        {"list", "[2,3j2 0001j2 0002",
         [] { return dag_new1(DAG_LIST, dag_new2(DAG_EXPSEQ, dag_of_int(1), dag_of_int(2))); }},
        {"power_over_lines", "^3n3\\'y'\nj2 0003",
         [] { return dag_new2(DAG_POWER, dag_name("y"), dag_of_int(3)); }},
        {"bad_type", "Z2", nullptr},
        {"no_length", "j", nullptr},
        {"wrong_arity", "^4j2 0001j2 0001j2 0001", nullptr},
        {"unknown_backref", "+3p9p9", nullptr},
        {"self_reference", "+2p0", nullptr},
        {"truncated", "+5j2 0001", nullptr},
        {"bad_digits", "j2 x001", nullptr},
        {"digit_out_of_range", "j2 -001", nullptr},
        {"hash_table", "h2\\", nullptr},
        {"list_without_sequence", "[2j2 0001", nullptr},
        {"huge_length", "+1FFFF", nullptr},
        {"overlong_hex", "+0000000000002", nullptr},
    };
    for (const OldCase& r : rows) {
        int code = 0;
        Dag d = readOld(r.input, code);
        if (!r.expected) {
            EXPECT_EQ(2, code) << r.name;
            continue;
        }
        ASSERT_EQ(0, code) << r.name;
        ASSERT_NE(nullptr, d) << r.name;
        EXPECT_TRUE(dag_equal(r.expected(), d)) << r.name;
    }
}

TEST(OldExpression, ProcIsPaddedToNineWords) {
    int code = 0;
    Dag d = readOld("@4\\\\\\", code);
    ASSERT_EQ(0, code);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(unsigned(DAG_PROC), dag_type(d));
    EXPECT_EQ(9u, dag_length(d));
}

TEST(OldExpression, SeriesKeepsExponents) {
    int code = 0;
    Dag d = readOld("_4n3\\'x'j2 0002 A", code);
    ASSERT_EQ(0, code);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(unsigned(DAG_SERIES), dag_type(d));
    EXPECT_EQ(10, dag_word(d, 3));
}

TEST(OldExpression, DeepNestingIsRefused) {
    std::string text;
    for (int i = 0; i < OLD_EXPRESSION_MAX_DEPTH + 10; ++i) text += "u2";
    text += "j2 0001";
    int code = 0;
    readOld(text, code);
    EXPECT_EQ(2, code);
}

TEST(OldExpression, VersionOneFilesUseTheOldForm) {
    TextReader t("j2 0009");
    t.reader.majorVersion = 1;
    Dag d = nullptr;
    EXPECT_EQ(0, worksheetErrorOf([&] { t.reader.readExpression(d); }));
    ASSERT_NE(nullptr, d);
    EXPECT_TRUE(dag_equal(dag_of_int(9), d));
    TextReader t2("j2 0009");
    t2.reader.majorVersion = 2;
    EXPECT_EQ(2, worksheetErrorOf([&] { t2.reader.readExpression(d); }));
}

}  // namespace
