// Tests of the help history list.

#include "help/hhistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tovu/storage.h"

namespace {

std::string order(HelpHistory* h) {
    OwnedArea owned(0, "snap");
    StorageArea* area = owned.get();
    std::string out;
    for (HelpHistorySnapshot* s = HelpHistory::snapshot(h, area); s; s = s->next) {
        out += s->topic;
        if (s->second) out += std::string("(") + s->second + ")";
        if (s->current) out += "*";
        out += " ";
    }
    return out;
}

}  // namespace

TEST(HelpHistory, BackThenVisitAppendsAfterNewest) {
    HelpHistory* h = HelpHistory::create();
    for (const char* t : {"A", "B", "C"}) ASSERT_NE(HelpHistory::add(h, t, nullptr), nullptr);
    EXPECT_STREQ(HelpHistory::back(h), "B");
    EXPECT_STREQ(HelpHistory::back(h), "A");
    EXPECT_EQ(HelpHistory::back(h), nullptr);   // at the oldest
    EXPECT_STREQ(HelpHistory::current(h), "A");
    ASSERT_NE(HelpHistory::add(h, "D", "usage"), nullptr);
    EXPECT_EQ(order(h), "A B C D(usage)* ");
    EXPECT_EQ(HelpHistory::forward(h), nullptr);
    EXPECT_STREQ(HelpHistory::back(h), "C");
    EXPECT_STREQ(HelpHistory::forward(h), "D");
    HelpHistory::destroy(h);
}

TEST(HelpHistory, DuplicatesAndEmptyList) {
    struct Row {
        const char* name;
        std::vector<const char*> visits;
        std::string expected;
    } rows[] = {
        {"same topic twice keeps one", {"A", "A"}, "A* "},
        {"A B A keeps three", {"A", "B", "A"}, "A B A* "},
        {"empty", {}, ""},
    };
    for (const Row& r : rows) {
        HelpHistory* h = HelpHistory::create();
        for (const char* v : r.visits) HelpHistory::add(h, v, nullptr);
        EXPECT_EQ(order(h), r.expected) << r.name;
        if (r.visits.empty()) {
            EXPECT_EQ(HelpHistory::current(h), nullptr);
            EXPECT_EQ(HelpHistory::back(h), nullptr);
            EXPECT_EQ(HelpHistory::forward(h), nullptr);
        }
        HelpHistory::destroy(h);
    }
    HelpHistory* one = HelpHistory::create();
    HelpHistory::add(one, "only", nullptr);
    EXPECT_EQ(HelpHistory::back(one), nullptr);
    EXPECT_STREQ(HelpHistory::current(one), "only");
    HelpHistory::destroy(one);
}
