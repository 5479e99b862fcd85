// Tests of the exit-callback table.
#include "util/exitcb.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string order;
void first()
{
    order += "1";
}
void second()
{
    order += "2";
}

class ExitCallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exitcb_clear();
        order.clear();
    }
    void TearDown() override { exitcb_clear(); }
};

TEST_F(ExitCallbackTest, RunInSlotOrder)
{
    ASSERT_TRUE(exitcb_register(first));
    ASSERT_TRUE(exitcb_register(second));
    ASSERT_TRUE(exitcb_register(first));
    EXPECT_EQ(exitcb_count(), 3);
    exitcb_run_all();
    EXPECT_EQ(order, "121");
}

TEST_F(ExitCallbackTest, AtMost100AndNoNull)
{
    EXPECT_FALSE(exitcb_register(nullptr));
    for (int i = 0; i < EXITCB_SLOTS; ++i)
        ASSERT_TRUE(exitcb_register(first)) << i;
    EXPECT_FALSE(exitcb_register(second));
    EXPECT_EQ(exitcb_count(), 100);
    exitcb_run_all();
    EXPECT_EQ(order, std::string(100, '1'));
}

TEST_F(ExitCallbackTest, RunAtProcessExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto registerAndExit = [] {
        exitcb_register([] { fputs("callback ran at exit", stderr); });
        std::exit(0);
    };
    EXPECT_EXIT(registerAndExit(), ::testing::ExitedWithCode(0), "callback ran at exit");
}

}  // namespace
