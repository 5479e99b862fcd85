// Tests of the message road, the out-of-memory report, warnings and byte-count formatting.
#include "util/messages.h"

#include "util/errjump.h"
#include "util/mem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Shown {
    std::string kind;
    std::string text;
    int style;
    void* parent;
};
std::vector<Shown> shown;
int beeps = 0;
int answer = 0;

void errorBox(void* parent, int style, const char* text)
{
    shown.push_back({"error", text, style, parent});
}
int questionBox(int style, const char* text)
{
    shown.push_back({"question", text, style, nullptr});
    return answer;
}
void infoBox(const char* text)
{
    shown.push_back({"info", text, 0, nullptr});
}
void beep()
{
    ++beeps;
}
bool running()
{
    return true;
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shown.clear();
        beeps = 0;
        answer = 0;
        MessageGuiHooks hooks;
        hooks.errorBox = errorBox;
        hooks.questionBox = questionBox;
        hooks.infoBox = infoBox;
        hooks.beep = beep;
        hooks.isRunning = running;
        messages_set_gui_hooks(hooks);
        messages_reset_warnings();
        mem_set_out_of_memory(0);
    }
    void TearDown() override
    {
        messages_clear_gui_hooks();
        messages_reset_warnings();
        mem_set_out_of_memory(0);
    }
};

TEST_F(MessagesTest, ReportOutOfMemoryTexts)
{
    struct Case {
        const char* name;
        const char* word;
        int outOfMemory;
        const char* expected;
    };
    const Case cases[] = {
        {"load takes no n", "load", 1,
         "You have run out of memory while performing a load.\nPlease save your work and exit."},
        {"lower-case vowel takes n", "calculation", 1,
         "You have run out of memory while performing a calculation.\n"
         "Please save your work and exit."},
        {"e", "edit", 1,
         "You have run out of memory while performing an edit.\nPlease save your work and exit."},
        {"upper-case vowel takes no n", "Insert Section", 1,
         "You have run out of memory while performing a Insert Section.\n"
         "Please save your work and exit."},
        {"without the flag", "calculation", 0, "Kelvo Error.  This calculation could not be completed."},
        {"without the flag, plot", "plot", 0, "Kelvo Error.  This plot could not be completed."},
        {"empty word", "", 1,
         "You have run out of memory while performing a .\nPlease save your work and exit."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        beeps = 0;
        errorRaised = 1;
        mem_set_out_of_memory(c.outOfMemory);
        reportOutOfMemory(c.word);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, "error");
        EXPECT_EQ(shown[0].text, c.expected);
        EXPECT_EQ(shown[0].style, MESSAGE_ERROR_STYLE);
        EXPECT_EQ(beeps, 1);
        EXPECT_EQ(errorRaised, 0);
        EXPECT_EQ(mem_out_of_memory(), 0);
    }
}

TEST_F(MessagesTest, OutOfMemoryAfterFailedAllocationReportsLoad)
{
    try {
        ErrorGuard guard;
        allocWordsOrRaise(SIZE_MAX / 16);
    } catch (const ErrorJump& jump) {
        ASSERT_EQ(jump.record, &outOfMemoryRecord);
        reportOutOfMemory("load");
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "You have run out of memory while performing a load.\nPlease save your work and exit.");
}

TEST_F(MessagesTest, WithoutGuiTextsGoToStderrUnchanged)
{
    messages_clear_gui_hooks();
    ::testing::internal::CaptureStderr();
    showMessage("first", nullptr);
    showError("second\n");
    showInfo("third");
    EXPECT_EQ(askQuestion("fourth?", 4224), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "firstsecond\nthirdfourth?");
    EXPECT_TRUE(shown.empty());
}

TEST_F(MessagesTest, GuiNotRunningStillUsesStderr)
{
    MessageGuiHooks hooks;
    hooks.errorBox = errorBox;
    hooks.isRunning = [] { return false; };
    messages_set_gui_hooks(hooks);
    ::testing::internal::CaptureStderr();
    showError("early");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "early");
    EXPECT_TRUE(shown.empty());
}

TEST_F(MessagesTest, BoxesGetParentStyleAndAnswer)
{
    int window = 0;
    showMessage("to a window", &window);
    answer = 2;
    EXPECT_EQ(askQuestion("save?", 4224), 2);
    showInfo("note");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].parent, &window);
    EXPECT_EQ(shown[0].style, 528);
    EXPECT_EQ(shown[1].kind, "question");
    EXPECT_EQ(shown[1].style, 4224);
    EXPECT_EQ(shown[2].kind, "info");
    EXPECT_EQ(shown[2].text, "note");
}

TEST_F(MessagesTest, LowResourcesWarningOncePerRun)
{
    warnLowResources();
    warnLowResources();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "Warning:  Your system resources are running low.\n"
              "It is recommended that you save your work and exit");
}

TEST_F(MessagesTest, MemoryIsLowChecksWithTrialAllocation)
{
    EXPECT_FALSE(memoryIsLow(0));
    EXPECT_FALSE(memoryIsLow(4096));
    // More than any machine has: the free count is below it and the trial allocation fails.
    EXPECT_TRUE(memoryIsLow(SIZE_MAX / 4));
}

TEST_F(MessagesTest, LowVirtualMemoryWarningNotShownWithPlentyOfMemory)
{
    EXPECT_FALSE(warnLowVirtualMemory());
    EXPECT_TRUE(shown.empty());
}

TEST(FormatByteCountTest, Table)
{
    struct Case {
        double bytes;
        const char* expected;
    };
    const double tera = 1024.0 * 1024.0 * 1024.0 * 1024.0;
    const Case cases[] = {
        {0, "0.00 "},
        {5, "5.00 "},
        {10, "10.0 "},
        {512, "512 "},
        {999, "999 "},
        {1000, "0.98K"},
        {1024, "1.00K"},
        {2048, "2.00K"},
        {10240, "10.0K"},
        {102400, "100K"},
        {1536000, "1.46M"},
        {1024.0 * 1024 * 1024, "1.00G"},
        {tera, "1024G"},
        {1000 * tera, "1024000G"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_STREQ(formatByteCount(c.bytes), c.expected);
    }
}

TEST(FormatByteCountTest, HugeValueFitsTheBuffer)
{
    const std::string text = formatByteCount(1e300);
    EXPECT_EQ(text.back(), 'G');
    EXPECT_GT(text.size(), 280u);
}

TEST(StringHelpersTest, DuplicateString)
{
    EXPECT_EQ(duplicateString(nullptr), nullptr);
    const char original[] = "copy me";
    char* copy = duplicateString(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_STREQ(copy, original);
    delete[] copy;
}

TEST(StringHelpersTest, CompareStrings)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {nullptr, nullptr, 0}, {nullptr, "x", 1}, {"x", nullptr, 1},
        {"abc", "abc", 0},     {"abc", "abd", -1}, {"b", "a", 1}, {"", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a ? c.a : "(null)") + " vs " + (c.b ? c.b : "(null)"));
        const int r = compareStrings(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign);
    }
}

}  // namespace
