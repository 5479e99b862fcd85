// Tests of the error-jump stack: depth restored on both paths, records carried to the guard,
// out-of-memory raises and the raise without any guard.
#include "util/errjump.h"

#include "util/exitcb.h"
#include "util/mem.h"
#include "util/messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string shownErrors;

void captureError(void*, int, const char* text)
{
    shownErrors += text;
}
bool running()
{
    return true;
}

class ErrJumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shownErrors.clear();
        MessageGuiHooks hooks;
        hooks.errorBox = captureError;
        hooks.isRunning = running;
        messages_set_gui_hooks(hooks);
        errorRaised = 0;
        mem_set_out_of_memory(0);
        ASSERT_EQ(errjump_depth(), 0);
    }
    void TearDown() override
    {
        messages_clear_gui_hooks();
        mem_set_out_of_memory(0);
        EXPECT_EQ(errjump_depth(), 0);
    }
};

TEST_F(ErrJumpTest, GuardRestoresDepthOnNormalPath)
{
    {
        ErrorGuard outer;
        EXPECT_EQ(outer.level(), 0);
        EXPECT_EQ(errjump_depth(), 1);
        {
            ErrorGuard inner;
            EXPECT_EQ(inner.level(), 1);
            EXPECT_EQ(errjump_depth(), 2);
        }
        EXPECT_EQ(errjump_depth(), 1);
    }
    EXPECT_EQ(errjump_depth(), 0);
}

TEST_F(ErrJumpTest, RaiseErrorReachesInnermostGuardAndShowsMessage)
{
    bool caught = false;
    try {
        ErrorGuard guard;
        raiseError("bad thing");
    } catch (const ErrorJump& jump) {
        caught = true;
        EXPECT_EQ(jump.record, nullptr);
        EXPECT_EQ(errjump_slot(0), nullptr);
        EXPECT_EQ(errjump_depth(), 0);
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(errorRaised, 1);
    EXPECT_EQ(shownErrors, "bad thing");
}

TEST_F(ErrJumpTest, RaiseWithoutMessageShowsNothing)
{
    try {
        ErrorGuard guard;
        raiseError(nullptr);
    } catch (const ErrorJump&) {
    }
    EXPECT_EQ(shownErrors, "");
    EXPECT_EQ(errorRaised, 1);
}

TEST_F(ErrJumpTest, NestedGuardsCatchAtTheRightLevelAndRestoreDepth)
{
    static const ErrorRecord passed{7};
    int innerCatches = 0, middleCatches = 0, outerCatches = 0;
    try {
        ErrorGuard outer;
        try {
            ErrorGuard middle;
            try {
                ErrorGuard inner;
                EXPECT_EQ(errjump_depth(), 3);
                raiseError(nullptr);
            } catch (const ErrorJump&) {
                ++innerCatches;
                EXPECT_EQ(errjump_depth(), 2);
            }
            // After an error handled inside, the middle level still works: pass a record on.
            EXPECT_EQ(errjump_depth(), 2);
            raiseRecord(&passed);
        } catch (const ErrorJump& jump) {
            ++middleCatches;
            EXPECT_EQ(jump.record, &passed);
            EXPECT_EQ(errjump_slot(1), &passed);
            EXPECT_EQ(errjump_depth(), 1);
            raiseRecord(jump.record);   // and on again, to the outer guard
        }
    } catch (const ErrorJump& jump) {
        ++outerCatches;
        EXPECT_EQ(jump.record, &passed);
        EXPECT_EQ(errjump_slot(0), &passed);
        EXPECT_EQ(errjump_depth(), 0);
    }
    EXPECT_EQ(innerCatches, 1);
    EXPECT_EQ(middleCatches, 1);
    EXPECT_EQ(outerCatches, 1);
}

TEST_F(ErrJumpTest, JumpPastInnerGuardsRestoresOuterDepth)
{
    // Inner guards without a catch of their own are unwound; the receiving guard still finds its
    // own depth.
    try {
        ErrorGuard outer;
        ErrorGuard skipped1;
        ErrorGuard skipped2;
        EXPECT_EQ(errjump_depth(), 3);
        raiseError(nullptr);
    } catch (const ErrorJump&) {
        EXPECT_EQ(errjump_depth(), 0);
    }
    {
        ErrorGuard guard;
        EXPECT_EQ(guard.level(), 0);
    }
}

TEST_F(ErrJumpTest, RecordOfAnotherModuleReachesTheGuard)
{
    static const ErrorRecord fileFormat{2};
    try {
        ErrorGuard outer;
        try {
            ErrorGuard inner;
            raiseRecord(&fileFormat);
        } catch (const ErrorJump& jump) {
            EXPECT_EQ(jump.record, &fileFormat);
            EXPECT_EQ(errjump_slot(1), &fileFormat);
            EXPECT_EQ(jump.record->kind, 2);
        }
    } catch (const ErrorJump&) {
        ADD_FAILURE() << "caught by the wrong guard";
    }
    EXPECT_EQ(shownErrors, "");
    EXPECT_EQ(errorRaised, 1);
}

TEST_F(ErrJumpTest, AllocWordsGivesUsableBlock)
{
    ErrorGuard guard;
    auto* words = static_cast<std::uintptr_t*>(allocWordsOrRaise(10));
    ASSERT_NE(words, nullptr);
    for (int i = 0; i < 10; ++i)
        words[i] = static_cast<std::uintptr_t>(i);
    EXPECT_EQ(words[9], 9u);
    freeWords(words);
    freeWords(nullptr);
    EXPECT_EQ(errorRaised, 0);
}

TEST_F(ErrJumpTest, AllocWordsFailureRaisesOutOfMemoryRecord)
{
    struct Case {
        const char* name;
        std::size_t words;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"huge request", (SIZE_MAX / sizeof(void*)) / 2, ((SIZE_MAX / sizeof(void*)) / 2) * sizeof(void*)},
        {"size overflows", SIZE_MAX / 2, SIZE_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errorRaised = 0;
        mem_set_out_of_memory(0);
        bool caught = false;
        try {
            ErrorGuard guard;
            allocWordsOrRaise(c.words);
            ADD_FAILURE() << "allocation of " << c.words << " words succeeded";
        } catch (const ErrorJump& jump) {
            caught = true;
            EXPECT_EQ(jump.record, &outOfMemoryRecord);
            EXPECT_EQ(jump.record->kind, 1);
            EXPECT_EQ(outOfMemoryRecord.bytes, c.bytes);
            EXPECT_EQ(errjump_slot(0), &outOfMemoryRecord);
        }
        EXPECT_TRUE(caught);
        EXPECT_EQ(errorRaised, 1);
        EXPECT_EQ(mem_out_of_memory(), 1);
        EXPECT_EQ(shownErrors, "") << "out of memory shows nothing at the raise";
    }
}

int callbackRuns = 0;
void countRun()
{
    ++callbackRuns;
}

TEST_F(ErrJumpTest, NewHandlerRunsCallbacksReleasesReserveAndRaises)
{
    exitcb_clear();
    ASSERT_TRUE(exitcb_register(countRun));
    callbackRuns = 0;
    mem_reserve_take();
    ASSERT_TRUE(mem_reserve_held());
    bool caught = false;
    try {
        ErrorGuard guard;
        mem_new_handler();
    } catch (const ErrorJump& jump) {
        caught = true;
        EXPECT_EQ(jump.record, &outOfMemoryRecord);
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(callbackRuns, 1);
    EXPECT_FALSE(mem_reserve_held());
    EXPECT_EQ(mem_out_of_memory(), 1);
    EXPECT_EQ(errorRaised, 1);

    // A second failure finds no reserve to free and still raises.
    try {
        ErrorGuard guard;
        mem_new_handler();
    } catch (const ErrorJump&) {
        caught = false;
    }
    EXPECT_FALSE(caught);
    EXPECT_EQ(callbackRuns, 2);
    exitcb_clear();
}

TEST_F(ErrJumpTest, NewHandlerIsInstalled)
{
    EXPECT_EQ(std::get_new_handler(), &mem_new_handler);
}

using ErrJumpDeathTest = ErrJumpTest;

TEST_F(ErrJumpDeathTest, RaiseWithoutGuardEndsWithExitCode1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    messages_clear_gui_hooks();
    EXPECT_EXIT(raiseError("lost error"), ::testing::ExitedWithCode(1),
                "lost error\n.*no error handler");
    EXPECT_EXIT(raiseRecord(&outOfMemoryRecord), ::testing::ExitedWithCode(1), "no error handler");
    EXPECT_EXIT(allocWordsOrRaise(SIZE_MAX / 2), ::testing::ExitedWithCode(1), "no error handler");
}

TEST_F(ErrJumpDeathTest, MoreThan256NestedGuardsIsASystemError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto nest = [] {
        std::vector<std::unique_ptr<ErrorGuard>> guards;
        for (int i = 0; i <= ERRJUMP_LEVELS; ++i)
            guards.push_back(std::make_unique<ErrorGuard>());
    };
    EXPECT_EXIT(nest(), ::testing::ExitedWithCode(1), "system error");
}

TEST_F(ErrJumpTest, Exactly256NestedGuardsWork)
{
    std::vector<std::unique_ptr<ErrorGuard>> guards;
    for (int i = 0; i < ERRJUMP_LEVELS; ++i)
        guards.push_back(std::make_unique<ErrorGuard>());
    EXPECT_EQ(errjump_depth(), ERRJUMP_LEVELS);
    while (!guards.empty())
        guards.pop_back();
    EXPECT_EQ(errjump_depth(), 0);
}

}  // namespace
