// Tests of the help database's batches and of the pages a file set keeps between queries: a
// batch stores exactly what the same inserts made one by one store; an abandoned or failed
// batch leaves the file as it was; kept pages never answer for a file another process changed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "hdb_fixtures.h"
#include "help/hdb.h"
#include "topic_gen.h"

using namespace hdbtest;

namespace {

// Every (key, value) of every tree.
std::vector<std::map<std::string, std::string>> contents(const std::string& path) {
    std::vector<std::map<std::string, std::string>> trees(HELP_TREE_COUNT);
    const int fd = ::open(path.c_str(), O_RDONLY);
    KbtHandle* h = kbtree_open(fd, HELP_TREE_COUNT, kHelpCompare, recordError);
    EXPECT_NE(h, nullptr) << lastMessage();
    for (unsigned t = 0; h && t < HELP_TREE_COUNT; ++t)
        kbtree_walk(h, t, [](void* u, std::size_t kl, const unsigned char* k, std::size_t vl, const unsigned char* v) {
            (*static_cast<std::map<std::string, std::string>*>(u))[std::string(reinterpret_cast<const char*>(k), kl)]
                .assign(reinterpret_cast<const char*>(v), vl);
            return 1;
        }, &trees[t]);
    kbtree_close(h);
    ::close(fd);
    return trees;
}

struct Topic {
    std::string name, page, description;
};

// Generated topics, a name that comes twice and a topic of the base replaced.
std::vector<Topic> batchTopics() {
    std::vector<Topic> topics;
    for (int i = 0; i < 60; ++i)
        topics.push_back({topicgen::topicName(i), topicgen::topicPage(i), "generated " + std::to_string(i)});
    topics.push_back({topicgen::topicName(7), topicgen::topicPage(1007), "seventh again"});
    topics.push_back({"base,one", topicgen::topicPage(2000), "base replaced"});
    return topics;
}

void insertBase(const std::string& path) {
    Area a;
    for (const char* name : {"base,one", "base,two"}) {
        const std::string page = topicgen::topicPage(int(std::string(name).size()) * 500);
        ASSERT_EQ(hdb_insert_topic(path.c_str(), name, page.size(), page.data(), nullptr, nullptr,
                                   wordsOf(a.get(), page), "base", 1, recordError), 1)
            << lastMessage();
    }
}

}  // namespace

TEST(HdbBatch, StoresWhatTheSameInsertsOneByOneStore) {
    const std::vector<Topic> topics = batchTopics();
    HdbAlias alias{0, nullptr, "gen,alias"};
    Db single, batched;
    hdb_seed_ids(3);
    insertBase(single.path);
    hdb_seed_ids(3);
    insertBase(batched.path);

    hdb_seed_ids(11);
    for (std::size_t i = 0; i < topics.size(); ++i) {
        Area a;
        const Topic& t = topics[i];
        ASSERT_EQ(hdb_insert_topic(single.path.c_str(), t.name.c_str(), t.page.size(), t.page.data(),
                                   i % 3 ? "parent" : nullptr, i == 5 ? &alias : nullptr,
                                   wordsOf(a.get(), t.page), t.description.c_str(), int(i % 2),
                                   recordError), 1)
            << lastMessage();
    }
    hdb_seed_ids(11);
    HdbBatch* batch = hdb_batch_begin(batched.path.c_str(), recordError);
    ASSERT_NE(batch, nullptr) << lastMessage();
    Area a;
    for (std::size_t i = 0; i < topics.size(); ++i) {
        const Topic& t = topics[i];
        ASSERT_EQ(hdb_batch_insert(batch, t.name.c_str(), t.page.size(), t.page.data(),
                                   i % 3 ? "parent" : nullptr, i == 5 ? &alias : nullptr,
                                   wordsOf(a.get(), t.page), t.description.c_str(), int(i % 2)), 1)
            << lastMessage();
    }
    ASSERT_EQ(hdb_batch_end(batch, 1), 1) << lastMessage();
    EXPECT_FALSE(::access((batched.path + "-journal").c_str(), F_OK) == 0);

    const auto expect = contents(single.path);
    const auto got = contents(batched.path);
    for (unsigned t = 0; t < HELP_TREE_COUNT; ++t) EXPECT_EQ(got[t], expect[t]) << "tree " << t;

    // The same answers to queries.
    Set one({single.path}), many({batched.path});
    ASSERT_NE(one.set, nullptr);
    ASSERT_NE(many.set, nullptr);
    for (const char* query : {"kaloka", "uniqbx", "uniqhx kalo", "mi"}) {
        EXPECT_EQ(results(hdb_word_search(many.set, a.get(), queryWords(a.get(), query))),
                  results(hdb_word_search(one.set, a.get(), queryWords(a.get(), query))))
            << query;
    }
    for (const Topic& t : topics)
        EXPECT_EQ(results(hdb_search_topic(many.set, a.get(), t.name.c_str())),
                  results(hdb_search_topic(one.set, a.get(), t.name.c_str())))
            << t.name;
}

TEST(HdbBatch, AbandonedOrFailedBatchLeavesTheFileAsItWas) {
    const struct Row {
        const char* name;
        bool production;
        const char* failingName;   // inserted after a good topic; null: none
        int commit;
        const char* message;       // the failure reported, or empty
    } rows[] = {
        {"ended without commit", false, nullptr, 0, ""},
        {"empty name", false, "", 1, "during insert of  - empty topic name"},
        {"replace in a production file", true, "base,one",
         1, "during insert of base,one - cannot update topic in production help file"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Db db(!r.production);
        insertBase(db.path);
        const std::string before = readFile(db.path);
        messages().clear();
        HdbBatch* batch = hdb_batch_begin(db.path.c_str(), recordError);
        ASSERT_NE(batch, nullptr) << lastMessage();
        Area a;
        const std::string page = topicgen::topicPage(3);
        ASSERT_EQ(hdb_batch_insert(batch, "fresh", page.size(), page.data(), nullptr, nullptr,
                                   wordsOf(a.get(), page), "d", 1), 1);
        if (r.failingName) {
            EXPECT_EQ(hdb_batch_insert(batch, r.failingName, page.size(), page.data(), nullptr,
                                       nullptr, wordsOf(a.get(), page), "d", 1), 0);
            EXPECT_EQ(lastMessage(), r.message);
            // Nothing more goes into a failed batch.
            EXPECT_EQ(hdb_batch_insert(batch, "later", page.size(), page.data(), nullptr, nullptr,
                                       nullptr, "d", 1), 0);
            EXPECT_NE(lastMessage().find("batch abandoned"), std::string::npos) << lastMessage();
        }
        EXPECT_EQ(hdb_batch_end(batch, r.commit), 0);
        EXPECT_EQ(readFile(db.path), before);
        EXPECT_FALSE(::access((db.path + "-journal").c_str(), F_OK) == 0);
        // The lock is free again: a change goes through.
        EXPECT_TRUE(db.insert("after", "words after")) << lastMessage();
    }
}

// A set keeps the pages of a file that has been quiet for a while between queries.  Another
// process then changes the file: the next query must answer from the new state.
TEST(HdbSet, KeptPagesNeverAnswerForAChangedFile) {
    const struct Row {
        const char* name;
        const char* change;   // "insert" or "delete"
    } rows[] = {{"insert", "insert"}, {"delete", "delete"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Db db;
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(db.insert("topic," + std::to_string(i), "shared lattice words " + std::to_string(i)));
        // The file's last change lies a minute back, so the set keeps its pages.
        struct timespec old[2];
        clock_gettime(CLOCK_REALTIME, &old[0]);
        old[0].tv_sec -= 60;
        old[1] = old[0];
        ASSERT_EQ(utimensat(AT_FDCWD, db.path.c_str(), old, 0), 0);

        Set s({db.path});
        ASSERT_NE(s.set, nullptr);
        Area a;
        auto query = [&] { return results(hdb_word_search(s.set, a.get(), queryWords(a.get(), "lattice"))); };
        const auto first = query();
        ASSERT_EQ(first.size(), 40u);
        EXPECT_EQ(query(), first);   // from kept pages

        pid_t pid = fork();
        if (pid == 0) {
            const bool ok = std::string(r.change) == "insert"
                                ? db.insert("topic,new", "lattice words new")
                                : hdb_delete_topic(db.path.c_str(), "topic,3", recordError) == 1;
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        const auto now = query();
        Set fresh({db.path});
        ASSERT_NE(fresh.set, nullptr);
        EXPECT_EQ(now, results(hdb_word_search(fresh.set, a.get(), queryWords(a.get(), "lattice"))));
        EXPECT_EQ(now.size(), std::string(r.change) == "insert" ? 41u : 39u);
        HdbTopicResult* named = hdb_search_topic(s.set, a.get(), "topic,new");
        EXPECT_EQ(named != nullptr, std::string(r.change) == "insert");
    }
}
