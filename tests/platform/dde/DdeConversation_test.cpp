// The service end of one conversation, driven with bytes: what is answered, what is delivered,
// when the connection ends.
#include "platform/dde/DdeConversation.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

using namespace dde;

namespace {

using kelvo_test::PrintTo;

struct Row {
    const char* name;
    std::string input;
    std::string answers;                                       // expected bytes back
    std::vector<std::pair<std::string, std::string>> events;  // expected deliveries
    bool stillOpen;
};

std::string init(const char* app = "wkelvo", const char* topic = "DURavIreru") {
    std::string s;
    frame_initiate(s, app, topic);
    return s;
}
std::string poke(const char* item, const std::string& data) {
    std::string s;
    frame_poke(s, item, data);
    return s;
}
std::string ack(bool positive) {
    std::string s;
    frame_ack(s, positive);
    return s;
}
std::string term() {
    std::string s;
    frame_terminate(s);
    return s;
}

}  // namespace

class DdeConversationRows : public ::testing::TestWithParam<Row> {};

TEST_P(DdeConversationRows, AnswersAndDeliveries) {
    const Row& row = GetParam();
    std::vector<std::pair<std::string, std::string>> got;
    DdeConversation c("wkelvo", [&](const std::string& i, const std::string& d) { got.emplace_back(i, d); });
    std::string out;
    bool open = c.receive(row.input.data(), row.input.size(), out);
    EXPECT_EQ(open, row.stillOpen);
    EXPECT_EQ(out, row.answers);
    EXPECT_EQ(got, row.events);
    // Nothing more is taken once closed.
    if (!open) {
        std::string more = poke("Open", "x"), out2;
        EXPECT_FALSE(c.receive(more.data(), more.size(), out2));
        EXPECT_TRUE(out2.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeConversationRows, ::testing::Values(
    Row{"launchText", init() + poke("BM_LAUNCH_TEXT", "1+1;") + term(),
        ack(true) + ack(true) + term(), {{"BM_LAUNCH_TEXT", "1+1;"}}, false},
    Row{"allFourItems", init() + poke("BM_LAUNCH_TEXT", "a") + poke("BM_PASTE_TEXT", "b") +
        poke("Open", "x.kws\ny.kws") + poke("Print", "z.kws"),
        ack(true) + ack(true) + ack(true) + ack(true) + ack(true),
        {{"BM_LAUNCH_TEXT", "a"}, {"BM_PASTE_TEXT", "b"}, {"Open", "x.kws\ny.kws"}, {"Print", "z.kws"}}, true},
    Row{"topicSystem", init("wkelvo", "System"), ack(false), {}, false},
    Row{"otherApplication", init("other", "DURavIreru"), ack(false), {}, false},
    Row{"otherItem", init() + poke("Other", "x") + poke("Open", "y"), ack(true) + ack(false) + ack(true),
        {{"Open", "y"}}, true},
    Row{"itemCaseMatters", init() + poke("open", "x"), ack(true) + ack(false), {}, true},
    Row{"pokeBeforeInitiate", poke("Open", "x"), "", {}, false},
    Row{"secondInitiate", init() + init(), ack(true), {}, false},
    Row{"ackFromClient", init() + ack(true), ack(true), {}, false},
    Row{"terminateFirst", term(), term(), {}, false},
    // The frame after a broken one is never read: the connection ends at the break.
    Row{"brokenFrameEndsIt", init() + std::string("\x03\x00\x00\x00\x02", 5) + poke("Open", "x"), ack(true), {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DdeConversation, PokeSplitAcrossReadsIsDeliveredOnce) {
    int calls = 0;
    std::string data;
    DdeConversation c("svc", [&](const std::string&, const std::string& d) { ++calls; data = d; });
    std::string all = init("svc") + poke("BM_PASTE_TEXT", std::string(1000, 'q'));
    std::string out;
    for (char ch : all) ASSERT_TRUE(c.receive(&ch, 1, out));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(data, std::string(1000, 'q'));
    EXPECT_FALSE(c.midFrame());
}
