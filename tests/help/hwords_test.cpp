// Tests of the word parser, the word scanner, the words of a help page and query normalisation.

#include "help/hwords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tovu/storage.h"

namespace {

std::vector<std::string> parse(const std::string& text, const char* const* stops = nullptr,
                               const WParseSuffix* suffixes = nullptr) {
    std::vector<std::string> out;
    WParse* p = wparse_create(stops, suffixes, [](void* u, const char* w) {
        static_cast<std::vector<std::string>*>(u)->push_back(w);
    }, &out);
    wparse_bytes(p, text.data(), text.size());
    wparse_delete(p);
    return out;
}

using Words = std::vector<std::string>;

}  // namespace

TEST(WordParser, FoldingStopWordsAndSuffixes) {
    struct Row {
        const char* name;
        std::string text;
        Words expected;
    } rows[] = {
        {"digits separate, single letters stop", "Ab12cd", {"ab", "cd"}},
        {"stop words and ion", "the plot of a function", {"plot", "funct"}},
        {"sharp s, then final e", "Gr\xf6\xdf" "e", {"gross"}},
        {"plural s", "integrals plots", {"integral", "plot"}},
        {"ing with three-letter rule", "plotting spelling running", {"plott", "spell", "runn"}},
        {"four-letter rule before doubled consonants", "beginnings", {"beginn"}},
        {"es and ion", "matrices integration", {"matric", "integrat"}},
        {"too short for any rule", "sets", {"sets"}},
        {"five-letter rule", "programming", {"program"}},
        {"ssing gives empty replacement", "progressing", {"progre"}},
        {"E acute folds, times sign separates", "\xc9t\xe9" "\xd7" "abc", {"ete", "abc"}},
        {"ligature and thorn", "\xc6on \xdeorn", {"aeon", "\xfeorn"}},
        {"stop word tested before stripping", "there theres", {"ther"}},
        {"punctuation only", " ,.;!? 123 ", {}},
        {"or listed twice stays a stop word", "or and", {}},
    };
    for (const Row& r : rows) EXPECT_EQ(parse(r.text), r.expected) << r.name;
}

TEST(WordParser, LongWordsAreCutAt127) {
    Words w = parse(std::string(200, 'q') + " next");
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], std::string(127, 'q'));
    EXPECT_EQ(w[1], "next");
    // Folding to two characters at the limit does not overrun it: 127 s, then the final s
    // is stripped by the one-character rule.
    Words s = parse(std::string(300, '\xdf'));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], std::string(126, 's'));
}

TEST(WordParser, EmptyTablesAndCustomTables) {
    static const char* const none[] = {nullptr};
    static const WParseSuffix noSuffix[] = {{nullptr, nullptr}};
    EXPECT_EQ(parse("the plots a", none, noSuffix), (Words{"the", "plots", "a"}));
    static const char* const stops[] = {"plot", nullptr};
    static const WParseSuffix rules[] = {{"zz", "z"}, {nullptr, nullptr}};
    EXPECT_EQ(parse("plot buzz fizzbuzz", stops, rules), (Words{"buzz", "fizzbuz"}));
}

TEST(WordParser, LargeAndRepeatedTablesAndLongStopWords) {
    // Fourteen two-letter suffixes (more than are compared one by one), the wanted one last; a
    // suffix given twice keeps its first replacement, whether the length has few suffixes
    // ("s") or many ("zz"); a stop word longer than the defaults is still a stop word.
    static const WParseSuffix many[] = {
        {"aa", nullptr}, {"ab", nullptr}, {"ac", nullptr}, {"ad", nullptr}, {"ae", nullptr},
        {"af", nullptr}, {"ag", nullptr}, {"ah", nullptr}, {"ai", nullptr}, {"aj", nullptr},
        {"ak", nullptr}, {"al", nullptr}, {"zz", "z"},     {"zz", "q"},     {"s", "x"},
        {"s", "y"},      {nullptr, nullptr}};
    static const char* const stops[] = {"mathematics", "to", nullptr};
    struct Row {
        const char* name;
        const char* text;
        Words expected;
    } rows[] = {
        {"suffix found among many of its length", "fizzbuzz", {"fizzbuz"}},
        {"other suffixes of that length", "abcdefal abcdefag", {"abcdef", "abcdef"}},
        {"no suffix of that length", "abcdefgx", {"abcdefgx"}},
        {"first of a repeated short suffix", "plotters", {"plotterx"}},
        {"long stop word, one letter shorter kept", "mathematics mathematic to", {"mathematic"}},
    };
    for (const Row& r : rows) EXPECT_EQ(parse(r.text, stops, many), r.expected) << r.name;
}

TEST(WordScanner, ThousandsOfWordsKeepTheirCountsAndOrder) {
    // Enough distinct words to grow the scanner's table several times, each seen 1 to 4 times,
    // the repeats spread over later texts.
    OwnedArea owned(0, "scan-many");
    WordScanner* s = wordscanner_create(owned.get(), 1);
    auto wordOf = [](int i) {
        std::string w = "w";
        for (int n = i; n > 0; n /= 26) w += char('a' + n % 26);
        return w;
    };
    constexpr int kWords = 5000;
    for (int round = 0; round < 4; ++round) {
        std::string text;
        for (int i = 0; i < kWords; ++i)
            if (round <= i % 4) text += wordOf(i) + " ";
        wordscanner_add_text(s, text.c_str());
    }
    int i = 0;
    for (HWord* w = wordscanner_finish(s); w; w = w->next, ++i) {
        ASSERT_LT(i, kWords);
        EXPECT_EQ(w->word, wordOf(i));
        EXPECT_EQ(w->count, i % 4 + 1) << w->word;
    }
    EXPECT_EQ(i, kWords);
}

TEST(WordScanner, CountsInOrderOfFirstAppearance) {
    OwnedArea owned(0, "scan-test");
    StorageArea* area = owned.get();
    WordScanner* s = wordscanner_create(area, 0);
    wordscanner_add_text(s, "plots and plotting; plot");
    wordscanner_add_text(s, "matrices");
    HWord* list = wordscanner_finish(s);
    std::vector<std::pair<std::string, int>> got;
    for (HWord* w = list; w; w = w->next) got.emplace_back(w->word, w->count);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{{"plot", 2}, {"plott", 1}, {"matric", 1}}));

    WordScanner* a = wordscanner_create(area, 1);   // aliases: nothing stopped or stripped
    wordscanner_add_text(a, "the plots");
    HWord* al = wordscanner_finish(a);
    ASSERT_NE(al, nullptr);
    EXPECT_STREQ(al->word, "the");
    ASSERT_NE(al->next, nullptr);
    EXPECT_STREQ(al->next->word, "plots");
}

TEST(PageWords, QuotedStringsOnly) {
    struct Row {
        const char* name;
        std::string page;
        Words expected;
    } rows[] = {
        {"strings of a page", "{PARA 0 \"\" {TEXT 1 \"integrals\"} {TEXT 2 \"matrix \\\"plots\\\"\"}}",
         {"integral", "matrix", "plot"}},
        {"unclosed quote ends the scan", "{TEXT \"first\"} \"never closed words", {"first"}},
        {"backslash at the very end", "\"abcde\\", {}},
        {"section start skips its first character", "{SECT 0 \"heading\"}", {"head"}},
        {"no strings", "{PARA 0 0}", {}},
    };
    for (const Row& r : rows) {
        OwnedArea owned(0, "page-test");
        StorageArea* area = owned.get();
        Words got;
        for (HWord* w = hdb_page_words(area, r.page.data(), r.page.size()); w; w = w->next) got.push_back(w->word);
        EXPECT_EQ(got, r.expected) << r.name;
    }
}

TEST(QueryNormalise, TopicsAndSections) {
    struct Row {
        const char* name;
        const char* query;
        const char* topic;
        const char* section;
    } rows[] = {
        {"plain", "?int", "int", nullptr},
        {"usage", "??int", "int", "usage"},
        {"examples", "???int", "int", "examples"},
        {"brackets", "?int[plot]", "int,plot", nullptr},
        {"assignment", "?:=", "assignment", nullptr},
        {"dots removed", "?a.b", "ab", nullptr},
        {"blanks and final semicolon", "? int ;", "int", nullptr},
        {"semicolon topic", "?;", ";", nullptr},
        {"colon topic", "?:", ";", nullptr},
        {"double colon", "?::", "procedure,paramtype", nullptr},
        {"back quote alone", "?`", "symbol", nullptr},
        {"back quotes removed", "?`int`", "int", nullptr},
        {"help", "?", "help", nullptr},
        {"quote", "?'", "uneval", nullptr},
        {"double quote", "?\"", "string", nullptr},
        {"comma", "?,", "comma", nullptr},
        {"percent", "?%", "ditto", nullptr},
        {"dollar", "?$", "dollar", nullptr},
        {"power", "?**", "arithop", nullptr},
        {"caret", "?^", "arithop", nullptr},
        {"slashes", "?linalg/det", "linalg,det", nullptr},
        {"apostrophe removed", "?it's", "its", nullptr},
        {"two marks alone", "??", "?", nullptr},
    };
    for (const Row& r : rows) {
        const char* section = "unset";
        const char* topic = help_query_normalise(r.query, &section);
        EXPECT_STREQ(topic, r.topic) << r.name;
        if (r.section) EXPECT_STREQ(section, r.section) << r.name;
        else EXPECT_EQ(section, nullptr) << r.name;
    }
}

TEST(ScoreSort, GreatestFirstAndStable) {
    struct R {
        int score;
        R* next;
        int tag;
    } r[4] = {{5, &r[1], 0}, {9, &r[2], 1}, {5, &r[3], 2}, {7, nullptr, 3}};
    R* head = help_sort_by_score(&r[0]);
    std::vector<int> tags;
    for (R* p = head; p; p = p->next) tags.push_back(p->tag);
    EXPECT_EQ(tags, (std::vector<int>{1, 3, 0, 2}));
}
