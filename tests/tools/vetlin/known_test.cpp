// Tests of the known-name tables: the table's shape, the lookup by info level, the description
// line, the backquote test and the start-up self-check with its sort.
#include "tools/vetlin/known.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

std::vector<int> categories_of(const KnownRow& row) {
    std::vector<int> numbers;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(row.categories); *c != 0; ++c)
        numbers.push_back(*c);
    return numbers;
}

const KnownRow* find_row(const KnownTables& t, const char* name) {
    for (long i = 0; i < VL_KNOWN_NAMES; ++i)
        if (std::strcmp(t.rows[i].name, name) == 0) return &t.rows[i];
    return nullptr;
}

TEST(KnownTable, RowsAreSortedWithOneToTenCategories) {
    const KnownTables t = known_builtin_tables();
    long packageOnly = 0;
    for (long i = 0; i < VL_KNOWN_NAMES; ++i) {
        ASSERT_NE(t.rows[i].name[0], '\0') << i;
        if (i > 0) {
            EXPECT_LT(std::strcmp(t.rows[i - 1].name, t.rows[i].name), 0) << t.rows[i].name;
        }
        const std::vector<int> numbers = categories_of(t.rows[i]);
        EXPECT_GE(numbers.size(), 1u) << t.rows[i].name;
        EXPECT_LE(numbers.size(), 10u) << t.rows[i].name;
        bool onlyPackages = true;
        for (int n : numbers) {
            EXPECT_GE(n, 1) << t.rows[i].name;
            EXPECT_LE(n, VL_CATEGORIES) << t.rows[i].name;
            onlyPackages = onlyPackages && n > VL_CATEGORY_THRESHOLD;
        }
        packageOnly += onlyPackages;
    }
    EXPECT_STREQ(t.rows[VL_KNOWN_NAMES].name, "");
    EXPECT_EQ(packageOnly, 355);
    // The category texts are framed by empty texts.
    EXPECT_STREQ(t.categories[0], "");
    EXPECT_STREQ(t.categories[VL_CATEGORIES + 1], "");
    for (long n = 1; n <= VL_CATEGORIES; ++n) EXPECT_STRNE(t.categories[n], "") << n;
}

TEST(KnownTable, TellingRows) {
    const struct {
        const char* name;
        std::vector<int> categories;
    } rows[] = {
        {"Digits", {1, 19}}, {"Pi", {1, 4, 12, 19}}, {"I", {1, 5}}, {"infinity", {1, 4, 17, 20}},
        {"int", {2, 11, 12, 14, 15, 18}}, {"sin", {2, 11, 12, 14, 15, 16, 18, 19}},
        {"det", {15, 29}}, {"type", {1, 8, 9}}, {"!", {9}}, {"linalg", {2}}, {"map", {1}},
        {"seq", {1}}, {"args", {1}}, {"nargs", {1}}, {"macro", {1}}, {"alias", {1}},
        {"procname", {1}}, {"printlevel", {1}}, {"Appolonius", {27}},
    };
    const KnownTables t = known_builtin_tables();
    for (const auto& row : rows) {
        const KnownRow* found = find_row(t, row.name);
        ASSERT_NE(found, nullptr) << row.name;
        EXPECT_EQ(categories_of(*found), row.categories) << row.name;
    }
}

class KnownTest : public CheckerFixture {};

TEST_F(KnownTest, LookupCountsPackagesFromLevelThreeOrWithAllPackages) {
    const struct {
        const char* name;
        int level;
        bool allPackages;
        bool system;
    } rows[] = {
        {"det", 0, false, true},        {"det", 2, false, true},       {"det", 4, false, true},
        {"Appolonius", 0, false, false}, {"Appolonius", 2, false, false},
        {"Appolonius", 3, false, true}, {"Appolonius", 4, false, true},
        {"Appolonius", 0, true, true},  {"Appolonius", 2, true, true},
        {"!", 2, false, true},          {"zip", 2, false, true},       {"$", 2, false, true},
        {"", 4, true, false},           {"nosuchname", 4, true, false}, {"Sin", 2, false, false},
        {"sin ", 2, false, false},      {"ztrans0", 4, false, false},
    };
    for (const auto& row : rows) {
        vl.infoLevel = row.level;
        vl.allPackages = row.allPackages;
        EXPECT_EQ(known_is_system(row.name), row.system)
            << row.name << " level " << row.level << (row.allPackages ? " -p" : "");
    }
}

TEST_F(KnownTest, DescriptionLines) {
    const struct {
        const char* what;
        const char* name;
        int level;
        long indentation;
        std::string line;
    } rows[] = {
        {"eight contexts, wrapped under the name part", "sin", 2, 4,
         "    sin    defined as a readlib-defined name, for evalc, for evalf, for the \n"
         "           diff routines, for the expand routine, for the limit routine, in \n"
         "           the series routines, for evalhf\n"},
        {"one context", "linalg", 2, 4, "    linalg defined as a readlib-defined name\n"},
        {"a name longer than six", "printlevel", 2, 6,
         "      printlevel defined throughout Kelvo\n"},
        {"a name that needs backquotes", "!", 2, 4, "    `!` defined as a type name\n"},
        {"outside the table", "myproc", 4, 4, "    myproc defined as the name of a library routine\n"},
        {"a package function below level 3", "Appolonius", 2, 4,
         "    Appolonius defined as the name of a library routine\n"},
        {"a package function at level 3", "Appolonius", 3, 4,
         "    Appolonius defined as a function in the geometry package\n"},
    };
    for (const auto& row : rows) {
        vl.infoLevel = row.level;
        std::rewind(out_);
        ASSERT_EQ(ftruncate(fileno(out_), 0), 0);
        known_describe(row.name, row.indentation);
        EXPECT_EQ(output(), row.line) << row.what;
    }
}

TEST_F(KnownTest, BackquoteTest) {
    const struct {
        const char* name;
        bool needs;
    } rows[] = {
        {"abc", false}, {"_x1", false}, {"X_2b", false}, {"", false}, {"a b", true},
        {"a.b", true},  {"%", true},    {"!", true},     {"x-y", true}, {"\xe9t\xe9", true},
    };
    for (const auto& row : rows) EXPECT_EQ(known_needs_backquotes(row.name), row.needs) << row.name;
}

// Self-check over a copy of the built-in tables that a row's edit breaks.
class KnownSelfCheck : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        restore();
    }
    // The built-in tables again, and an empty error output.
    void restore() {
        const KnownTables builtin = known_builtin_tables();
        for (long i = 0; i < VL_CATEGORIES + 2; ++i) categories_[i] = builtin.categories[i];
        for (long i = 0; i <= VL_KNOWN_NAMES; ++i) rows_[i] = builtin.rows[i];
        std::rewind(err_);
        ASSERT_EQ(ftruncate(fileno(err_), 0), 0);
    }
    void TearDown() override {
        known_use_tables(known_builtin_tables());
        RunFixture::TearDown();
    }
    int check() {
        known_use_tables({categories_, rows_});
        return exit_status([] { known_self_check(); });
    }
    const char* categories_[VL_CATEGORIES + 2] = {};
    KnownRow rows_[VL_KNOWN_NAMES + 1] = {};
};

TEST_F(KnownSelfCheck, BrokenTablesEndTheRun) {
    static const char badCategory[] = {2, 39, 0};
    const struct {
        const char* what;
        void (*breakIt)(const char** categories, KnownRow* rows);
        std::string message;
    } rows[] = {
        {"a category number beyond 38", [](const char**, KnownRow* r) { r[500].categories = badCategory; },
         "Bad category index. Name index=500"},
        {"an empty category text", [](const char** c, KnownRow*) { c[17] = ""; },
         "Bad category count. Index=17 Num. categories should be 38"},
        {"a text after the last category", [](const char** c, KnownRow*) { c[39] = "extra"; },
         "Bad category count. Index=39 Num. categories should be 38"},
        {"an empty name", [](const char**, KnownRow* r) { r[12].name = ""; },
         "Bad name count. Index=12 Num. names should be 979"},
        {"a row after the last name", [](const char**, KnownRow* r) { r[979].name = "zzz"; },
         "Bad name count. Index=979 Num. names should be 979"},
        {"an empty category string", [](const char**, KnownRow* r) { r[3].categories = ""; },
         "Missing libuse list. Index=3"},
    };
    for (const auto& row : rows) {
        restore();
        row.breakIt(categories_, rows_);
        EXPECT_EQ(check(), 127) << row.what;
        EXPECT_EQ(errors(), "vetlin: Internal inconsistancy: " + row.message + "\n") << row.what;
    }
}

TEST_F(KnownSelfCheck, RowsOutOfOrderAreSortedBeforeTheFirstLookup) {
    const long det = find_row({categories_, rows_}, "det") - rows_;
    const long sin = find_row({categories_, rows_}, "sin") - rows_;
    std::swap(rows_[det], rows_[sin]);
    std::swap(rows_[0], rows_[VL_KNOWN_NAMES - 1]);
    EXPECT_EQ(check(), -1);
    EXPECT_EQ(errors(), "");
    for (long i = 1; i < VL_KNOWN_NAMES; ++i)
        ASSERT_LT(std::strcmp(rows_[i - 1].name, rows_[i].name), 0) << i;
    vl.infoLevel = 2;
    EXPECT_EQ(known_contexts("det"), "for the expand routine, as a function in the linalg package");
    EXPECT_TRUE(known_is_system("sin"));
    EXPECT_TRUE(known_is_system("!"));
    EXPECT_TRUE(known_is_system("ztrans"));
}

}  // namespace
}  // namespace vetlin_test
