// The help database with 10,000 generated topics: inserted one by one, searched by name and by
// words from a new process, then deleted one by one.  Long (minutes under the sanitizers), so a
// binary of its own with the ctest label "long".
#include "help/hdb.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "hdb_fixtures.h"
#include "topic_gen.h"

using namespace hdbtest;

TEST(HdbLarge, TenThousandTopicsInANewProcessThenDeleteAll) {
    Db db;
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        Area a;
        std::string page = topicgen::topicPage(i);
        std::string name = topicgen::topicName(i);
        ASSERT_EQ(hdb_insert_topic(db.path.c_str(), name.c_str(), page.size(), page.data(), nullptr,
                                   nullptr, wordsOf(a.get(), page), "generated", 1, recordError), 1)
            << i << " " << lastMessage();
    }
    // A new process opens the database and answers name and full-text queries.
    pid_t pid = fork();
    if (pid == 0) {
        Set s({db.path});
        if (!s.set) _exit(2);
        Area a;
        for (int i = 0; i < n; i += 97) {
            HdbTopicResult* r = hdb_search_topic(s.set, a.get(), topicgen::topicName(i).c_str());
            if (!r || topicgen::topicName(i) != r->name) _exit(3);
            HdbTopicResult* w = hdb_word_search(s.set, a.get(), queryWords(a.get(), topicgen::marker(i).c_str()));
            if (!w || topicgen::topicName(i) != w->name || w->next) _exit(4);
        }
        HdbTopicResult* common = hdb_word_search(s.set, a.get(), queryWords(a.get(), topicgen::vocabulary()[0].c_str()));
        int count = 0;
        for (; common; common = common->next) ++count;
        if (count < 1000) _exit(5);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    for (int i = 0; i < n; ++i)
        ASSERT_EQ(hdb_delete_topic(db.path.c_str(), topicgen::topicName(i).c_str(), recordError), 1) << i;
    for (unsigned t = 1; t < 12; ++t) EXPECT_TRUE(db.keys(t).empty()) << "tree " << t;
}
