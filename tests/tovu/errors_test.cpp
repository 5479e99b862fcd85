// The library's handler stack, guards, formatted errors and the fatal exits.

#include "tovu/errors.h"

#include <string>

#include "tovu_env.h"

namespace {

using ErrorsTest = TovuTest;
using ErrorsDeathTest = TovuTest;

TEST_F(ErrorsTest, GuardRestoresDepthOnBothPaths) {
    int depth = error_handler_depth();
    {
        TovuHandlerGuard guard;
        EXPECT_EQ(error_handler_depth(), depth + 1);
    }
    EXPECT_EQ(error_handler_depth(), depth);
    std::string message = tovuErrorOf([] {
        TovuHandlerGuard inner;   // two deep when the error is raised
        tovu_error("boom");
    });
    EXPECT_EQ(message, "boom");
    EXPECT_EQ(error_handler_depth(), depth);
}

TEST_F(ErrorsTest, GuardRestoresDepthEvenWhenInnerCodeLeftHandlers) {
    int depth = error_handler_depth();
    {
        TovuHandlerGuard guard;
        error_push_handler(tovu_throw_handler);   // forgotten by the inner code
        error_push_handler(tovu_throw_handler);
    }
    EXPECT_EQ(error_handler_depth(), depth);
}

TEST_F(ErrorsTest, InnermostHandlerReceivesMessage) {
    static std::string seen;
    struct Local {
        [[noreturn]] static void record(const char* message) {
            seen = message;
            throw TovuError("recorded");
        }
    };
    std::string outer = tovuErrorOf([] {
        TovuHandlerGuard guard(Local::record);
        tovu_error("inner message");
    });
    EXPECT_EQ(seen, "inner message");
    EXPECT_EQ(outer, "recorded");
}

TEST_F(ErrorsTest, FormattedMessagesAreNeverCut) {
    std::string path(2000, 'p');
    EXPECT_EQ(tovuErrorOf([&] { tovu_error_fmt("cannot read %s", path.c_str()); }), "cannot read " + path);
    EXPECT_EQ(tovuErrorOf([] { tovu_error_fmt("unexpected DAG type: %ld", 43L); }), "unexpected DAG type: 43");
}

TEST_F(ErrorsDeathTest, RaiseWithoutHandlerEndsProcess) {
    ASSERT_EQ(error_handler_depth(), 0);
    EXPECT_EXIT(tovu_error("nobody listens"), ::testing::ExitedWithCode(1),
                "kelvo: assertion failed at line 32 of tovu/errors");
}

TEST_F(ErrorsDeathTest, FifteenthHandlerIsAssertion) {
    EXPECT_EXIT(
        {
            for (int i = 0; i < TOVU_MAX_HANDLERS + 1; ++i) error_push_handler(tovu_throw_handler);
        },
        ::testing::ExitedWithCode(1), "line 19 of tovu/errors");
}

TEST_F(ErrorsDeathTest, PopOfEmptyStackIsAssertion) {
    EXPECT_EXIT(error_pop_handler(), ::testing::ExitedWithCode(1), "line 25 of tovu/errors");
}

void returningHandler(const char*) {}

TEST_F(ErrorsDeathTest, HandlerThatReturnsIsAssertion) {
    EXPECT_EXIT(
        {
            error_push_handler(reinterpret_cast<TovuErrorHandler>(&returningHandler));
            tovu_error("x");
        },
        ::testing::ExitedWithCode(1), "line 34 of tovu/errors");
}

TEST_F(ErrorsDeathTest, SystemErrorMessageAndExitCode) {
    EXPECT_EXIT(tovu_system_error("out of memory"), ::testing::ExitedWithCode(1),
                "kelvo: system error, out of memory");
}

}  // namespace
