// Tests of the procedure database: the written line, loading with its format errors and limits,
// and the argument-count check of calls.
#include "tools/vetlin/procdb.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

class ProcdbTest : public CheckerFixture {
protected:
    void load(const std::string& text) {
        std::FILE* f = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), f);
        std::rewind(f);
        procdb_load(f);
        std::fclose(f);
    }
    // The entry's fields as text: "least most flag file".
    std::string entry(const char* name) {
        VObj key = procdb_find(name);
        if (key == nullptr) return "none";
        VObj e = vl_op(key, 1);
        return std::to_string(store_to_integer(vl_op(e, 1))) + " " +
               std::to_string(store_to_integer(vl_op(e, 2))) + " " +
               std::to_string(store_to_integer(vl_op(e, 3))) + " " + vl_name_text(vl_op(e, 4));
    }
    long mismatches() { return vl_length(vl.scope.argumentCounts) - 1; }
};

TEST_F(ProcdbTest, WrittenLines) {
    std::FILE* db = std::tmpfile();
    vl.appendDatabase = db;
    procdb_write("f", 2, false, "lib.m");
    procdb_write("g", 0, true, "lib.m");
    procdb_write(std::string(40, 'h').c_str(), 123, false, "x/y.m");
    EXPECT_EQ(slurp(db), "f" + std::string(31, ' ') + "  2  2 0 lib.m\n" +
                             "g" + std::string(31, ' ') + "  0  0 1 lib.m\n" +
                             std::string(40, 'h') + " 123 123 0 x/y.m\n");
    // The written lines load back.
    std::rewind(db);
    procdb_load(db);
    EXPECT_EQ(entry("f"), "2 2 0 lib.m");
    EXPECT_EQ(entry("g"), "0 0 1 lib.m");
    vl.appendDatabase = nullptr;
    std::fclose(db);
}

TEST_F(ProcdbTest, LaterLineReplacesEntry) {
    load("f 2 2 0 one.m\nk 1 999 0 k.m\nf 1 3 1 two.m\n");
    EXPECT_EQ(entry("f"), "1 3 1 two.m");
    EXPECT_EQ(entry("k"), "1 999 0 k.m");
    EXPECT_EQ(entry("other"), "none");
    EXPECT_EQ(errors(), "");
}

TEST_F(ProcdbTest, LinesThatDoNotReadAsFiveFields) {
    const struct {
        const char* what;
        std::string line;
        bool formatError;
    } rows[] = {
        {"five fields", "ok 1 2 0 ok.m\n", false},
        {"extra blanks and tabs", "  ok2\t1   2 0\tok.m  \n", false},
        {"a sixth field is ignored", "ok3 1 2 0 ok.m more\n", false},
        {"signed counts", "ok4 +1 -2 0 ok.m\n", false},
        {"four fields", "f 2 2 0\n", true},
        {"a letter in a count", "f 2 x 0 lib.m\n", true},
        {"a count glued to a letter", "f 2x 2 0 lib.m\n", true},
        {"a lone sign", "f - 2 0 lib.m\n", true},
        {"an empty line", "\n", true},
        {"only blanks", "   \n", true},
        {"no newline at the end", "f 1", true},
    };
    for (const auto& row : rows) {
        std::rewind(err_);
        ASSERT_EQ(ftruncate(fileno(err_), 0), 0);
        load(row.line);
        EXPECT_EQ(errors(), row.formatError ? "Format error: " + row.line : "") << row.what;
    }
    EXPECT_EQ(entry("ok2"), "1 2 0 ok.m");
    EXPECT_EQ(entry("ok4"), "1 -2 0 ok.m");
    EXPECT_EQ(entry("f"), "none");
}

TEST_F(ProcdbTest, LongLinesAreReadInPieces) {
    // 500 characters make the first piece; the rest is a line of its own.
    const std::string head = "p 1 1 0 " + std::string(492, 'a');
    load(head + "q 2 2 0 q.m\n");
    EXPECT_EQ(entry("p"), "1 1 0 " + std::string(492, 'a'));
    EXPECT_EQ(entry("q"), "2 2 0 q.m");
    EXPECT_EQ(errors(), "");
    // A field longer than any buffer is read whole or refused, never copied past its end.
    const std::string longName(5000, 'L');
    load(longName + " 1 1 0 l.m\n");
    EXPECT_NE(errors().find("Format error: "), std::string::npos);
}

TEST_F(ProcdbTest, NumbersBeyondTheIntegersEndTheRun) {
    const char* lines[] = {
        "f 99999999999999999999999 1 0 lib.m\n",   // beyond a machine integer
        "f 1 -99999999999999999999999 0 lib.m\n",
        "f 1 1 9223372036854775808 lib.m\n",
        "f 1 2147480000 0 lib.m\n",                 // beyond the store's integers
    };
    for (const char* line : lines) {
        std::rewind(out_);
        ASSERT_EQ(ftruncate(fileno(out_), 0), 0);
        vl.inFatal = false;   // each row is a run's first fatal condition
        EXPECT_EQ(exit_status([&] { load(line); }), 127) << line;
        EXPECT_EQ(output(), "Integer too large to represent\n") << line;
    }
    EXPECT_EQ(exit_status([&] { load("f 2147479999 -2147479999 1 lib.m\n"); }), -1);
    EXPECT_EQ(entry("f"), "2147479999 -2147479999 1 lib.m");
}

TEST_F(ProcdbTest, CallCheck) {
    load("f 2 2 0 lib.m\nv 0 0 1 lib.m\nr 2 5 0 r.m\nany 0 999 0 a.m\n");
    const struct {
        const char* name;
        long arguments;
        bool mismatch;
    } rows[] = {
        {"f", 2, false}, {"f", 3, true},   {"f", 0, true},    {"v", 0, false}, {"v", 7, false},
        {"r", 2, false}, {"r", 5, false},  {"r", 6, true},    {"r", 1, true},  {"any", 0, false},
        {"any", 999, false}, {"unknown", 4, false},
    };
    for (const auto& row : rows) {
        const long before = mismatches();
        vl.Severity = 4;
        procdb_check_call(store_name(row.name), row.arguments, 7);
        EXPECT_EQ(mismatches() - before, row.mismatch ? 1 : 0) << row.name << " " << row.arguments;
        EXPECT_EQ(vl.Severity, row.mismatch ? 3 : 4) << row.name << " " << row.arguments;
    }
    // The entry of the first mismatch: (f, 3, its line, 2, 2, lib.m).
    VObj e = vl_op(vl.scope.argumentCounts, 1);
    ASSERT_EQ(vl_length(e), 7);
    EXPECT_TRUE(vl_simplified(e));
    EXPECT_EQ(vl_op(e, 1), store_name("f"));
    EXPECT_EQ(store_to_integer(vl_op(e, 2)), 3);
    EXPECT_EQ(store_to_integer(vl_op(e, 3)), 7);
    EXPECT_EQ(store_to_integer(vl_op(e, 4)), 2);
    EXPECT_EQ(store_to_integer(vl_op(e, 5)), 2);
    EXPECT_STREQ(vl_name_text(vl_op(e, 6)), "lib.m");
    EXPECT_EQ(errors(), "");
}

TEST_F(ProcdbTest, TurnedOffErrorRecordsNothing) {
    load("f 2 2 0 lib.m\n");
    vl.turnedOff[22] = true;
    procdb_check_call(store_name("f"), 3, 1);
    EXPECT_EQ(mismatches(), 0);
    EXPECT_EQ(vl.Severity, 4);
}

TEST_F(ProcdbTest, MalformedEntriesAreReportedAndPass) {
    load("f 2 2 0 lib.m\ng 1 1 0 lib.m\n");
    vl_set_op(procdb_find("f"), 1, store_name("notasequence"));
    vl_set_op(procdb_find("g"), 1, store_make(DAG_EXPSEQ, vl.one, vl.one));
    procdb_check_call(store_name("f"), 9, 1);
    procdb_check_call(store_name("g"), 9, 1);
    EXPECT_EQ(errors(), "f did not have EXPSEQ value\ng did not have length of 5\n");
    EXPECT_EQ(mismatches(), 0);
}

}  // namespace
}  // namespace vetlin_test
