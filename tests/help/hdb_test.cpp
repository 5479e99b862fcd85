// Tests of the help database operations: file bytes of a fresh database, topics with their word
// and name indexes, replace and delete, searches and ranking, browser entries, attributes,
// failures and their messages, locking between processes and a database of 10,000 topics.

#include "help/hdb.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "help/kbtree.h"
#include "hdb_fixtures.h"
#include "help_test_util.h"
#include "topic_gen.h"
#include "tovu/storage.h"

using namespace helptest;
using namespace hdbtest;

TEST(HdbCreate, FreshDatabaseBytes) {
    struct Row {
        const char* name;
        bool replaceable;
        const char* copyright;
        std::string leaf;   // the entries of page 1
    } rows[] = {
        {"replaceable", true, nullptr, entry("version", std::string("2\0", 2))},
        {"production with copyright", false, "(c) K",
         entry("copyright", std::string("(c) K\0", 6)) + entry("noreplace", std::string("\0", 1)) +
             entry("version", std::string("2\0", 2))},
    };
    for (const Row& r : rows) {
        Db db(r.replaceable, r.copyright);
        std::string expect(2048, '\0');
        put16(expect, 0, 1024);   // page size
        put16(expect, 2, 0);      // flags
        put32(expect, 4, 2);      // next page
        put32(expect, 8, 0);      // free list
        put32(expect, 12, 12);    // trees
        put32(expect, 16, 1);     // root of tree 0, height 0, every other tree empty
        expect.replace(1024, r.leaf.size(), r.leaf);
        EXPECT_EQ(readFile(db.path), expect) << r.name;
    }
}

TEST(HdbCreate, OverAnExistingFileTruncates) {
    TempDir dir;
    std::string path = dir.file("old.hdb");
    writeFile(path, std::string(100000, 'J'));
    ASSERT_EQ(hdb_create(path.c_str(), 1, nullptr, recordError), 1);
    EXPECT_EQ(readFile(path).size(), 2048u);
    EXPECT_EQ(hdb_create(dir.file("no/such/dir.hdb").c_str(), 1, nullptr, recordError), 0);
    EXPECT_EQ(lastMessage().rfind("during create ", 0), 0u);
    EXPECT_NE(lastMessage().find(" - could not open file"), std::string::npos);
}

TEST(HdbTopics, InsertSearchLoadReplaceDelete) {
    Db db;
    HdbAlias alias{0, nullptr, "graph,options"};
    ASSERT_TRUE(db.insert("plot,options", "the options of plotting", "Plot options", "plot", &alias));
    ASSERT_TRUE(db.insert("plot", "drawing plots of functions", "Two-dimensional plotting"));
    Set s({db.path});
    ASSERT_NE(s.set, nullptr);
    Area a;
    HdbTopicResult* r = hdb_search_topic(s.set, a.get(), "plot,options");
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "plot,options");
    EXPECT_STREQ(r->description, "Plot options");
    EXPECT_EQ(r->next, nullptr);
    // By alias.
    r = hdb_search_topic(s.set, a.get(), "graph,options");
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "plot,options");

    struct Got {
        std::string name, page;
        std::size_t nameLength = 0;
        int active = -1;
    } got;
    ASSERT_EQ(hdb_load_page(s.set, "plot", [](void* u, std::size_t nl, const char* n, std::size_t pl, const char* p, int act) {
        auto* g = static_cast<Got*>(u);
        g->nameLength = nl;
        g->name = n;
        g->page.assign(p, pl);
        g->active = act;
    }, &got), 1);
    EXPECT_EQ(got.name, "plot");
    EXPECT_EQ(got.nameLength, 5u);
    EXPECT_NE(got.page.find("drawing plots"), std::string::npos);
    EXPECT_EQ(got.active, 1);
    EXPECT_EQ(hdb_load_page(s.set, "nothing", nullptr, nullptr), 0);

    // Replace: the topic gets a new id and nothing lists the old one.
    const std::string oldId = db.value(topicIds, "plot,options").substr(0, 2);
    ASSERT_TRUE(db.insert("plot,options", "completely different words", "New", nullptr, nullptr, 0));
    const std::string newId = db.value(topicIds, "plot,options").substr(0, 2);
    EXPECT_NE(oldId, newId);
    for (unsigned t : {topicNames, pages, parents, topicWords, topicAliases}) {
        for (const auto& k : db.keys(t)) EXPECT_NE(k, oldId) << "tree " << t;
    }
    EXPECT_EQ(db.value(topicNames, newId), std::string("plot,options\0New\0", 17));
    EXPECT_EQ(db.value(topicIds, "plot,options").substr(2), std::string("\0\0", 2));   // inactive
    for (const auto& w : db.keys(words)) {
        std::string v = db.value(words, w);
        for (std::size_t i = 3; i + 4 <= v.size(); i += 4) EXPECT_NE(v.substr(i, 2), oldId) << w;
    }
    EXPECT_TRUE(db.value(nameIndex, "graph,options").empty());   // the old alias is gone
    EXPECT_EQ(db.value(words, "option"), "");                     // only the old page had it

    // Delete every topic: every tree but the attributes ends empty.
    ASSERT_EQ(hdb_delete_topic(db.path.c_str(), "plot,options", recordError), 1) << lastMessage();
    ASSERT_EQ(hdb_delete_topic(db.path.c_str(), "plot", recordError), 1) << lastMessage();
    for (unsigned t = 1; t < 12; ++t) EXPECT_TRUE(db.keys(t).empty()) << "tree " << t;
    EXPECT_EQ(hdb_delete_topic(db.path.c_str(), "plot", recordError), 0);
    EXPECT_EQ(lastMessage(), "during delete of plot - topic not found");
}

TEST(HdbTopics, WordAndNameIndexLayout) {
    Db db;
    ASSERT_TRUE(db.insert("alpha", "integrals integrals matrices", "A description"));
    std::string id = db.value(topicIds, "alpha").substr(0, 2);
    std::string v = db.value(words, "integral");
    ASSERT_EQ(v.size(), 7u);
    EXPECT_EQ(v.substr(0, 3), std::string("\2\0\0", 3));   // u24 total
    EXPECT_EQ(v.substr(3, 2), id);
    EXPECT_EQ(v.substr(5, 2), std::string("\2\0", 2));
    EXPECT_EQ(db.value(nameIndex, "alpha"), id + std::string("A description\0", 14));
    EXPECT_EQ(db.value(topicWords, id), std::string("integral\0matric\0", 16));
    // A second topic adds to the total and lists both ids in ascending unsigned order.
    ASSERT_TRUE(db.insert("beta", "integrals"));
    v = db.value(words, "integral");
    ASSERT_EQ(v.size(), 11u);
    EXPECT_EQ(static_cast<unsigned char>(v[0]), 3);
    unsigned first = static_cast<unsigned char>(v[3]) | (static_cast<unsigned char>(v[4]) << 8);
    unsigned second = static_cast<unsigned char>(v[7]) | (static_cast<unsigned char>(v[8]) << 8);
    EXPECT_LT(first, second);
}

TEST(HdbTopics, ProductionDatabaseRefusesChanges) {
    Db db(false);
    ASSERT_TRUE(db.insert("int", "integration"));
    EXPECT_FALSE(db.insert("int", "again"));
    EXPECT_EQ(lastMessage(), "during insert of int - cannot update topic in production help file");
    EXPECT_EQ(hdb_delete_topic(db.path.c_str(), "int", recordError), 0);
    EXPECT_EQ(lastMessage(), "during delete of int - cannot delete from production help file");
    EXPECT_TRUE(db.keys(topicWords).empty());   // no per-topic lists in production files
}

TEST(HdbTopics, OldVersionCanBeSearchedNotChanged) {
    Db db;
    ASSERT_TRUE(db.insert("old", "words here"));
    db.setValue(attributes, "version", "", true);
    Set s({db.path});
    Area a;
    ASSERT_NE(hdb_search_topic(s.set, a.get(), "old"), nullptr);
    EXPECT_FALSE(db.insert("new", "x"));
    EXPECT_EQ(lastMessage(), "during insert of new - incorrect .hdb file version - cannot update old versions");
    EXPECT_EQ(hdb_delete_topic(db.path.c_str(), "old", recordError), 0);
    EXPECT_EQ(lastMessage(), "during delete of old - incorrect .hdb file version");
    EXPECT_EQ(addtobrowser(db.path.c_str(), "A", "old", nullptr, recordError), 0);
    EXPECT_EQ(lastMessage(), "during addtobrowser of A - incorrect .hdb file version");
}

TEST(HdbTopics, FailedInsertLeavesTheFileAsItWas) {
    Db db;
    ASSERT_TRUE(db.insert("keep", "some words"));
    const std::string before = readFile(db.path);
    // The page, name and words go in first; the too-long name then fails in tree 1.
    std::string name(2000, 'n');
    EXPECT_FALSE(db.insert(name, "many different words to write first"));
    EXPECT_NE(lastMessage().find("key too long"), std::string::npos);
    EXPECT_EQ(readFile(db.path), before);
    EXPECT_FALSE(std::filesystem::exists(db.path + "-journal"));
}

TEST(HdbTopics, JournalLeftByACrashIsPlayedBackByTheNextChange) {
    Db db;
    ASSERT_TRUE(db.insert("first", "alpha words"));
    const std::string before = readFile(db.path);
    ASSERT_TRUE(db.insert("second", "beta words and more words"));
    // As if the process had died while committing "second": its journal is still there.
    writeFile(db.path + "-journal", journalFor(before, readFile(db.path)));
    ASSERT_TRUE(db.insert("third", "gamma"));
    EXPECT_FALSE(std::filesystem::exists(db.path + "-journal"));
    EXPECT_EQ(db.keys(topicIds), (std::vector<std::string>{"first", "third"}));
    EXPECT_TRUE(db.value(words, "beta").empty());
}

// A journal left by a crash is played back by whoever opens the database next: a reader through
// the set (at open and before each query), the attribute query, or a create that replaces the
// file (which must not leave the old file's journal to be played over the new one).
TEST(HdbTopics, JournalLeftByACrashIsPlayedBackByReadersAndCreate) {
    struct Row {
        const char* name;
        bool crashWhileOpen;   // the crash comes after the set was opened
    };
    for (const Row row : {Row{"at open", false}, Row{"before a query", true}}) {
        Db db;
        ASSERT_TRUE(db.insert("first", "alpha words"));
        const std::string before = readFile(db.path);
        std::unique_ptr<Set> early;
        if (row.crashWhileOpen) early = std::make_unique<Set>(std::vector<std::string>{db.path});
        ASSERT_TRUE(db.insert("second", "beta words"));
        writeFile(db.path + "-journal", journalFor(before, readFile(db.path)));
        std::unique_ptr<Set> s = std::move(early);
        if (!s) s = std::make_unique<Set>(std::vector<std::string>{db.path});
        ASSERT_NE(s->set, nullptr) << row.name;
        Area a;
        EXPECT_EQ(hdb_search_topic(s->set, a.get(), "second"), nullptr) << row.name;
        EXPECT_NE(hdb_search_topic(s->set, a.get(), "first"), nullptr) << row.name;
        EXPECT_FALSE(std::filesystem::exists(db.path + "-journal")) << row.name;
    }
    {
        Db db;
        ASSERT_TRUE(db.insert("first", "alpha words"));
        const std::string before = readFile(db.path);
        ASSERT_TRUE(db.insert("second", "beta words"));
        writeFile(db.path + "-journal", journalFor(before, readFile(db.path)));
        char buffer[8];
        EXPECT_STREQ(hdb_get_attributes(db.path.c_str(), "version", buffer, sizeof buffer, recordError), "2");
        EXPECT_FALSE(std::filesystem::exists(db.path + "-journal"));
        EXPECT_EQ(readFile(db.path).substr(0, before.size()), before);
    }
    {
        Db db;
        ASSERT_TRUE(db.insert("first", "alpha words"));
        const std::string before = readFile(db.path);
        ASSERT_TRUE(db.insert("second", "beta words"));
        writeFile(db.path + "-journal", journalFor(before, readFile(db.path)));
        ASSERT_EQ(hdb_create(db.path.c_str(), 1, nullptr, recordError), 1) << lastMessage();
        EXPECT_FALSE(std::filesystem::exists(db.path + "-journal"));
        for (unsigned t = 1; t < 12; ++t) EXPECT_TRUE(db.keys(t).empty()) << "tree " << t;
    }
}

TEST(HdbSearch, PluralsPartsAndNotFound) {
    Db db;
    HdbAlias alias{0, nullptr, "int,options"};
    ASSERT_TRUE(db.insert("Plot", "plotting"));
    ASSERT_TRUE(db.insert("plot,options", "options", nullptr, nullptr, nullptr));
    ASSERT_TRUE(db.insert("intopts", "x", nullptr, nullptr, &alias));
    ASSERT_TRUE(db.insert("clas", "x"));
    Set s({db.path});
    Area a;
    struct Row {
        const char* name;
        const char* query;
        std::vector<std::pair<std::string, int>> expected;
    } rows[] = {
        {"final s dropped", "Plots", {{"Plot", 0}}},
        {"ss never shortened", "class", {}},
        {"three letters too short", "ots", {}},
        {"part search: own name 1, alias 0", "options", {{"intopts", 0}, {"plot,options", 1}}},
        {"absent", "nothing", {}},
    };
    for (const Row& r : rows) {
        auto got = results(hdb_search_topic(s.set, a.get(), r.query));
        std::sort(got.begin(), got.end());
        auto expected = r.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << r.name;
    }
}

TEST(HdbSearch, WordSearchRanking) {
    Db db;
    ASSERT_TRUE(db.insert("all", "matrix vector tensor"));
    ASSERT_TRUE(db.insert("two", "matrix vector"));
    ASSERT_TRUE(db.insert("one", "matrix matrix"));
    ASSERT_TRUE(db.insert("none", "unrelated"));
    Set s({db.path});
    Area a;
    HWord* q1 = queryWords(a.get(), "matrix");
    auto r1 = results(hdb_word_search(s.set, a.get(), q1));
    ASSERT_EQ(r1.size(), 3u);
    int sum = 0;
    for (auto& [n, score] : r1) sum += score;
    EXPECT_GE(sum, 97);
    EXPECT_LE(sum, 100);
    EXPECT_EQ(r1[0].first, "one");   // two of the four occurrences
    EXPECT_EQ(q1->count, 4);         // the stored total

    auto r3 = results(hdb_word_search(s.set, a.get(), queryWords(a.get(), "matrix vector tensor")));
    std::map<std::string, int> score(r3.begin(), r3.end());
    EXPECT_GE(score["all"], score["two"]);
    EXPECT_GT(score["all"], score["one"]);
    for (std::size_t i = 1; i < r3.size(); ++i) EXPECT_GE(r3[i - 1].second, r3[i].second);

    HWord* none = queryWords(a.get(), "absentword");
    EXPECT_TRUE(results(hdb_word_search(s.set, a.get(), none)).empty());
    EXPECT_EQ(none->count, 0);
}

TEST(HdbSearch, WordSearchZeroDivisorAndZeroTotal) {
    Db db;
    ASSERT_TRUE(db.insert("t", "zebra"));
    std::string v = db.value(words, "zebra");
    ASSERT_EQ(v.size(), 7u);
    struct Row {
        const char* name;
        unsigned total;
    } rows[] = {{"every lowered score 0", 0xffffff}, {"stored total 0", 0}};
    for (const Row& r : rows) {
        std::string bad = v;
        bad[0] = char(r.total & 0xff);
        bad[1] = char((r.total >> 8) & 0xff);
        bad[2] = char((r.total >> 16) & 0xff);
        db.setValue(words, "zebra", bad);
        Set s({db.path});
        Area a;
        auto got = results(hdb_word_search(s.set, a.get(), queryWords(a.get(), "zebra")));
        ASSERT_EQ(got.size(), 1u) << r.name;
        EXPECT_EQ(got[0].second, 0) << r.name;
    }
}

TEST(HdbNavigation, NextPreviousParentBrowse) {
    Db db;
    for (const char* n : {"alpha", "beta", "gamma"}) ASSERT_TRUE(db.insert(n, "text", "d"));
    ASSERT_TRUE(db.insert("beta,sub", "text", "sub", "alpha"));
    HdbAlias alias{0, nullptr, "beta"};
    ASSERT_TRUE(db.insert("zeta", "text", "z", nullptr, &alias));
    Set s({db.path});
    Area a;
    auto str = [](const char* p) { return std::string(p ? p : "(none)"); };
    EXPECT_EQ(str(hdb_next_topic(s.set, a.get(), "alpha")), "beta");
    EXPECT_EQ(str(hdb_next_topic(s.set, a.get(), "b")), "beta");
    EXPECT_EQ(str(hdb_next_topic(s.set, a.get(), "zeta")), "(none)");
    EXPECT_EQ(str(hdb_previous_topic(s.set, a.get(), "gamma")), "beta,sub");
    EXPECT_EQ(str(hdb_previous_topic(s.set, a.get(), "alpha")), "(none)");
    EXPECT_EQ(str(hdb_parent_topic(s.set, a.get(), "beta,sub")), "alpha");   // stored parent
    EXPECT_EQ(str(hdb_parent_topic(s.set, a.get(), "plot,options")), "plot");
    EXPECT_EQ(str(hdb_parent_topic(s.set, a.get(), "int")), "index");

    std::vector<std::pair<std::string, std::string>> got;
    for (HdbTopicEntry* e = hdb_browse_prefix(s.set, a.get(), "be", HDB_BROWSE_PREFIX, 10); e; e = e->next)
        got.emplace_back(e->name, e->description);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{{"beta", "Multiple matches"}, {"beta,sub", "sub"}}));
    got.clear();
    for (HdbTopicEntry* e = hdb_browse_prefix(s.set, a.get(), "gamma", HDB_BROWSE_BACKWARDS, 2); e; e = e->next)
        got.emplace_back(e->name, e->description);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].first, "gamma");
    EXPECT_EQ(got[1].first, "beta,sub");
    int count = 0;
    for (HdbTopicEntry* e = hdb_browse_prefix(s.set, a.get(), nullptr, 0, 3); e; e = e->next) ++count;
    EXPECT_EQ(count, 3);
}

TEST(HdbBrowser, PrefixCountsListingAndLocation) {
    Db db;
    const char* p = db.path.c_str();
    ASSERT_EQ(addtobrowser(p, "A/B/C", "topicC", "see C", recordError), 1) << lastMessage();
    EXPECT_EQ(db.value(browserEntries, "\1A"), std::string("\0\1\0\0", 4));
    EXPECT_EQ(db.value(browserEntries, "\2A/B"), std::string("\0\1\0\0", 4));
    ASSERT_EQ(addtobrowser(p, "A/B/D", nullptr, nullptr, recordError), 1);
    EXPECT_EQ(db.value(browserEntries, "\2A/B"), std::string("\0\2\0\0", 4));
    ASSERT_EQ(addtobrowser(p, "A/D", "topicD", nullptr, recordError), 1);
    // Adding the same path again replaces it and leaves the prefix counts alone.
    ASSERT_EQ(addtobrowser(p, "A/B/C", "topicC", "see C again", recordError), 1);
    EXPECT_EQ(db.value(browserEntries, "\2A/B"), std::string("\0\2\0\0", 4));
    EXPECT_EQ(addtobrowser(p, "A/B/C/D", "x", nullptr, recordError), 0);
    EXPECT_EQ(lastMessage(), "during addtobrowser of A/B/C/D - browser entry prefix contains a help topic");

    {
        Set s({db.path});
        Area a;
        struct Row {
            const char* name;
            const char* prefix;
            std::vector<std::string> expected;   // part:kind
        } rows[] = {
            {"top level", "", {"A:1"}},
            {"under A", "A", {"B:1", "D:2"}},
            {"under A/ with slash", "A/", {"B:1", "D:2"}},
            {"under A/B", "A/B", {"C:2", "D:1"}},
            {"nothing under a leaf", "A/D", {}},
        };
        for (const Row& r : rows) {
            std::vector<std::string> got;
            for (HdbBrowserEntry* e = hdb_list_browser(s.set, a.get(), r.prefix); e; e = e->next)
                got.push_back(std::string(e->part) + ":" + std::to_string(e->kind));
            EXPECT_EQ(got, r.expected) << r.name;
        }
        HdbBrowserEntry* c = hdb_list_browser(s.set, a.get(), "A/B");
        ASSERT_NE(c, nullptr);
        EXPECT_STREQ(c->topic, "topicC");
        EXPECT_STREQ(c->description, "see C again");
        char buf[6];
        EXPECT_STREQ(hdb_browser_location(s.set, "topicC", buf, sizeof buf), "A/B/C");
        char small[4];
        EXPECT_STREQ(hdb_browser_location(s.set, "topicC", small, sizeof small), "A/B");
        EXPECT_EQ(hdb_browser_location(s.set, "topicC", small, 1), nullptr);
    }
    // The same topic under another path: its location follows.
    ASSERT_EQ(addtobrowser(p, "E", "topicC", nullptr, recordError), 1);
    EXPECT_EQ(db.value(browserLocations, "topicC"), "E");

    ASSERT_EQ(hdb_delete_from_browser(p, "A/B/C", recordError), 1) << lastMessage();
    EXPECT_EQ(db.value(browserEntries, "\2A/B"), std::string("\0\1\0\0", 4));
    ASSERT_EQ(hdb_delete_from_browser(p, "A/B/D", recordError), 1);
    EXPECT_EQ(db.value(browserEntries, "\2A/B"), "");
    EXPECT_EQ(hdb_delete_from_browser(p, "A/B/D", recordError), 0);
    EXPECT_EQ(lastMessage(), "during deletefrombrowser of A/B/D - not found");
    // An escaped slash stays inside its part.
    ASSERT_EQ(addtobrowser(p, "x\\/y/z", "t", nullptr, recordError), 1);
    EXPECT_EQ(db.value(browserEntries, "\1x\\/y"), std::string("\0\1\0\0", 4));
}

TEST(HdbAttributes, CopiesAreTerminated) {
    Db db(true, "Copyright 2026 Kelvo");
    ASSERT_TRUE(db.insert("t", "x"));
    struct Row {
        const char* name;
        const char* attribute;
        std::size_t size;
        const char* expected;   // null = no result
    } rows[] = {
        {"whole", "copyright", 64, "Copyright 2026 Kelvo"},
        {"cut and terminated", "copyright", 5, "Copy"},
        {"version", "version", 8, "2"},
        {"absent", "nothing", 8, nullptr},
        {"not read-only", "readonly", 8, nullptr},
        {"zero size", "copyright", 0, nullptr},
    };
    for (const Row& r : rows) {
        char buf[64];
        std::memset(buf, 'X', sizeof buf);
        char* got = hdb_get_attributes(db.path.c_str(), r.attribute, buf, r.size, recordError);
        if (r.expected) EXPECT_STREQ(got, r.expected) << r.name;
        else EXPECT_EQ(got, nullptr) << r.name;
    }
    Set s({db.path});
    char small[4];
    EXPECT_STREQ(hdb_get_copyright(s.set, "t", small, sizeof small), "Cop");
    EXPECT_EQ(hdb_get_copyright(s.set, "absent", small, sizeof small), nullptr);
    EXPECT_EQ(hdb_get_attributes(db.dir.file("none.hdb").c_str(), "version", small, 4, recordError), nullptr);
    EXPECT_NE(lastMessage().find("could not open help database"), std::string::npos);
}

TEST(HdbSet, OpenAllMessagesAndSeveralFiles) {
    TempDir dir;
    messages().clear();
    Set none({dir.file("a.hdb"), dir.file("b.hdb")});
    EXPECT_EQ(none.set, nullptr);
    EXPECT_EQ(lastMessage(), "during help initialization - could not open any help files");

    Db first, second;
    ASSERT_TRUE(first.insert("shared", "alpha", "from first"));
    ASSERT_TRUE(second.insert("shared", "beta", "from second"));
    ASSERT_TRUE(second.insert("only2", "beta"));
    Set s({dir.file("missing.hdb"), first.path, second.path});
    ASSERT_NE(s.set, nullptr);
    EXPECT_EQ(hdb_set_file_count(s.set), 2);
    Area a;
    HdbTopicResult* r = hdb_search_topic(s.set, a.get(), "shared");
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->description, "from first");   // the first file in order decides
    ASSERT_NE(hdb_search_topic(s.set, a.get(), "only2"), nullptr);
    // A topic stored after the set was opened is seen (headers are re-read per query).
    ASSERT_TRUE(second.insert("later", "gamma"));
    EXPECT_NE(hdb_search_topic(s.set, a.get(), "later"), nullptr);

    // A damaged file in the set is refused with a message, not a crash.
    std::string bad = dir.file("bad.hdb");
    writeFile(bad, std::string("\x00\x04\x00\x00\xff\xff\xff\xff", 8) + std::string(1016, '\xff'));
    Set broken({bad});
    EXPECT_EQ(broken.set, nullptr);
    EXPECT_NE(lastMessage().find("during help initialization - corrupt help database"), std::string::npos);
}

TEST(HdbTopicNames, NormaliseAndReverse) {
    struct Row {
        const char* name;
        const char* input;
        const char* expected;
    } rows[] = {
        {"brackets", "plot [ options ]", "plot,options"},
        {"slash", "linalg/det", "linalg,det"},
        {"leading run", "[a]", ",a"},
        {"mixed run", "a ,[ / b", "a,b"},
        {"plain", "int", "int"},
    };
    for (const Row& r : rows) {
        std::string s = r.input;
        hdb_normalise_topic(s.data());
        EXPECT_STREQ(s.c_str(), r.expected) << r.name;
    }
    char out[16];
    hdb_reverse_name("a,b,c", out, sizeof out);
    EXPECT_STREQ(out, "c,b,a");
}

TEST(HdbWrap, TextLinesBecomeAPage) {
    const char* lines[] = {"say \"hi\"", "{x}"};
    char* page = wrap_text_as_worksheet(lines, 2);
    EXPECT_STREQ(page,
                 "{VERSION 2 2 \"User Help Text\" \"2.2\"}\n{USTYLETAB }\n{SECT 0 {PARA 0 \"> \" 0 \"\" "
                 "{TEXT -1 11\n\"say \\\"hi\\\"\\n\n\\{x\\}\"}}}");
    delete[] page;
    const char* ws[] = {"{VERSION 2 2}", "{SECT}"};
    page = wrap_text_as_worksheet(ws, 2);
    EXPECT_STREQ(page, "{VERSION 2 2}\n{SECT}\n");
    delete[] page;
}

TEST(HdbLocking, LockIsPlacedUnlessDisabled) {
    Db db;
    int fd = ::open(db.path.c_str(), O_RDWR);
    auto childSeesLock = [&]() {
        pid_t pid = fork();
        if (pid == 0) {
            int cfd = ::open(db.path.c_str(), O_RDWR);
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            fcntl(cfd, F_GETLK, &fl);
            _exit(fl.l_type == F_UNLCK ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    };
    ASSERT_TRUE(hdb_lock(fd, 1));
    EXPECT_TRUE(childSeesLock());
    ASSERT_TRUE(hdb_unlock(fd));
    EXPECT_FALSE(childSeesLock());
    setenv("DISABLELOCKING", "1", 1);
    ASSERT_TRUE(hdb_lock(fd, 1));
    EXPECT_FALSE(childSeesLock());
    unsetenv("DISABLELOCKING");
    ::close(fd);
}

TEST(HdbLocking, TwoProcessesInsertingLoseNothing) {
    Db db;
    const int perProcess = 40;
    std::vector<pid_t> kids;
    for (int p = 0; p < 2; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < perProcess; ++i) {
                std::string name = "p" + std::to_string(p) + "t" + std::to_string(i);
                if (!db.insert(name, "shared words " + name)) ++failures;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        kids.push_back(pid);
    }
    for (pid_t k : kids) {
        int status = 0;
        waitpid(k, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(db.keys(topicIds).size(), std::size_t(2 * perProcess));
    std::string shared = db.value(words, "shar");
    EXPECT_EQ(shared.size(), 3u + 4u * 2 * perProcess);
}
