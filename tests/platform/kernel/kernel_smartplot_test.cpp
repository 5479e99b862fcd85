// The smart plot procedures' refusals through the kernel's entry points: malformed argument
// texts, calls with effects inside them (which must not run), the limits of sampling and the
// interrupt.  Each gives its own replies and exactly one DONE.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/kernel/kkernel_test_support.h"
#include "tests/support/named_rows.h"

namespace {

using kernel_test::KernelTest;
using kernel_test::Recorder;

using Streams = std::vector<std::string>;

using kelvo_test::PrintTo;

struct ErrorCase {
    const char* name;
    const char* statement;
    const char* mentions;   // a part of the error message
};

const ErrorCase malformedCases[] = {
    {"group_without_range", "SMARTPLOT2D([sin(x)]);", "one range"},
    {"range_backwards", "SMARTPLOT2D([sin(x), x = 1 .. 0]);", "range"},
    {"range_not_real", "SMARTPLOT2D([sin(x), x = a .. 1]);", "range"},
    {"free_name_without_range", "SMARTPLOT2D([sin(x*y), x = 0 .. 1]);", "free name y"},
    {"unknown_value", "SMARTPLOT2D([sin(x), x = 0 .. 1, style = FOO]);", "style"},
    {"unknown_option", "SMARTPLOT2D([sin(x), x = 0 .. 1], foo = 1);", "foo"},
    {"3d_option_in_2d", "SMARTPLOT2D([sin(x), x = 0 .. 1], shading = ZHUE);", "3-D"},
    {"3d_groups_in_2d", "SMARTPLOT2D([x*y, x = 0 .. 1, y = 0 .. 1]);", "one range"},
    {"2d_groups_in_3d", "SMARTPLOT3D([sin(x), x = 0 .. 1]);", "two ranges"},
    {"mixed_dimensions", "SMARTPLOT2D([sin(x), x = 0 .. 1], [x*y, x = 0 .. 1, y = 0 .. 1]);", "mixed"},
    {"group_after_options", "SMARTPLOT2D(axes = BOXED, [sin(x), x = 0 .. 1]);", "after the plot options"},
    {"range_after_range_and_option", "SMARTPLOT2D([sin(x), x = 0 .. 1, style = LINE, y = 0 .. 1]);", "invalid item"},
    {"stray_item", "SMARTPLOT2D([sin(x), x = 0 .. 1], 5);", "invalid smart plot argument"},
    {"string", "SMARTPLOT2D(\"abc\");", "invalid smart plot argument"},
    {"empty_group", "SMARTPLOT2D([]);", "invalid curve group"},
    {"list_as_curve", "SMARTPLOT2D([[1, 2], x = 0 .. 1]);", "cannot plot"},
    {"range_after_option", "SMARTPLOT2D([sin(x), style = LINE, x = 0 .. 1]);", "one range"},
    {"same_name_twice_3d", "SMARTPLOT3D([x, x = 0 .. 1, x = 0 .. 1]);", "different variables"},
    {"too_many_points", "SMARTPLOT2D([sin(x), x = 0 .. 1, numpoints = 1000000]);", "numpoints"},
    {"nothing_defined", "SMARTPLOT2D([ln(-1-x^2), x = 0 .. 1]);", "no defined point"},
    {"huge_number", "SMARTPLOT2D([x, x = 0 .. 2^200000]);", "bits"},
    {"huge_number_in_a_stray_item", "SMARTPLOT3D(a*100000100000^100000);", "bits"},
    {"edit_curve_beyond", "EDITSMARTPLOT(         5,style=LINE, [sin(x), x = 0 .. 1]);", "no curve 5"},
    {"edit_unknown_value", "EDITSMARTPLOT(style=FOO, [sin(x), x = 0 .. 1]);", "style"},
    {"edit_unknown_option", "EDITSMARTPLOT(foo=1, [sin(x), x = 0 .. 1]);", "foo"},
    {"edit_3d_option_in_2d", "EDITSMARTPLOT(shading=ZHUE, [sin(x), x = 0 .. 1]);", "3-D"},
    {"edit_2d_view_in_3d", "EDITSMARTPLOT(view=[ 0..1, DEFAULT], [x*y, x = 0 .. 1, y = 0 .. 1]);", "view"},
    {"edit_without_option", "EDITSMARTPLOT([sin(x), x = 0 .. 1]);", "option"},
    {"edit_without_anything", "EDITSMARTPLOT();", "option"},
    {"append_dimension", "APPENDPLOT(cos(x), 4 );", "dimension"},
    {"append_damaged_text", "APPENDPLOT(cos(x), 2, [sin(x)]);", "one range"},
    {"append_text_of_other_dimension", "APPENDPLOT(cos(x), 3, [sin(x), x = 0 .. 1]);", "3-D"},
    {"append_without_dimension", "APPENDPLOT(cos(x));", "dimension"},
    {"smartplot_two_free_names", "smartplot(sin(x*y));", "free names"},
    {"smartplot3d_three_free_names", "smartplot3d(x*y*z);", "free names"},
    {"smartplot_string", "smartplot(\"abc\");", "cannot plot"},
    {"smartplot3d_one_range", "smartplot3d(x*y, x = 0 .. 1);", "two ranges"},
    {"smartplot_bad_option", "smartplot(sin(x), style = FOO);", "style"},
};

class SmartPlotErrorTest : public KernelTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SmartPlotErrorTest, MalformedTextIsOneErrorThenDone) {
    const ErrorCase& c = GetParam();
    Recorder rec = run(c.statement);
    ASSERT_EQ(rec.streams(), (Streams{"ERROR", "DONE"})) << c.statement;
    EXPECT_NE(rec.printed("ERROR").find(c.mentions), std::string::npos) << rec.printed("ERROR");
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartPlotErrorTest, ::testing::ValuesIn(malformedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Texts that call a built-in with effects: refused before anything of them runs, so no reply
// but the ERROR and DONE.
const ErrorCase effectCases[] = {
    {"help_request", "SMARTPLOT2D([INTERFACE_HELP(display, x), x = 0 .. 1]);", "INTERFACE_HELP"},
    {"print_in_a_curve", "SMARTPLOT2D([print(x), x = 0 .. 1]);", "print"},
    {"lprint_in_a_range", "SMARTPLOT2D([x, x = 0 .. lprint(1)]);", "lprint"},
    {"help_in_an_option", "EDITSMARTPLOT(color=help(red), [sin(x), x = 0 .. 1]);", "help"},
    {"interface_in_3d", "SMARTPLOT3D([x*y, x = 0 .. 1, y = 0 .. interface(prettyprint = 0)]);", "interface"},
    {"readlib_in_append", "APPENDPLOT(readlib(plot)(x), 2 );", "computed function"},
    {"plot_in_a_curve", "SMARTPLOT2D([plot(x), x = 0 .. 1]);", "plot"},
    {"smartplot_in_a_curve", "SMARTPLOT2D([smartplot(x), x = 0 .. 1]);", "smartplot"},
    {"context_menu", "APPENDPLOTS([ ContextMenu(x) ], 2 );", "ContextMenu"},
    {"procedure_in_a_curve", "SMARTPLOT2D([proc(t) print(t) end(x), x = 0 .. 1]);", "computed function"},
    {"print_in_smartplot", "smartplot(print(x));", "print"},
};

class SmartPlotEffectTest : public SmartPlotErrorTest {};

TEST_P(SmartPlotEffectTest, CallWithEffectsIsRefusedBeforeItRuns) {
    const ErrorCase& c = GetParam();
    run("interface(prettyprint = 1);");
    Recorder rec = run(c.statement);
    ASSERT_EQ(rec.streams(), (Streams{"ERROR", "DONE"})) << c.statement;
    EXPECT_NE(rec.printed("ERROR").find(c.mentions), std::string::npos) << rec.printed("ERROR");
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartPlotEffectTest, ::testing::ValuesIn(effectCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A procedure of the session that a curve calls is run point by point; one that sends a reply
// ends the plot with an error before the reply leaves.
TEST_F(KernelTest, SessionProcedureWithEffectsEndsThePlotWithoutItsReply) {
    run("f := proc(t) print(t); t end:");
    run("g := proc(t) t^2 end:");
    Recorder rec = run("SMARTPLOT2D([f(x), x = 0 .. 1]);");
    ASSERT_EQ(rec.streams(), (Streams{"ERROR", "DONE"}));
    EXPECT_NE(rec.printed("ERROR").find("PRINT"), std::string::npos) << rec.printed("ERROR");
    // A procedure without effects plots.
    EXPECT_EQ(run("SMARTPLOT2D([g(x), x = 0 .. 1]);").streams(), (Streams{"PLOT", "DONE"}));
    // The kernel's sink is back in place: replies go out again.
    EXPECT_EQ(run("print(1);").streams(), (Streams{"PRINT", "DONE"}));
}

// Names stand for themselves in a text: a value the session gave a curve's name does not change
// the plot, and the name keeps its value.
TEST_F(KernelTest, AssignedNamesDoNotChangeTheText) {
    run("x := 5:");
    Recorder rec = run("EDITSMARTPLOT(axes=BOXED, [sin(x), x = 0 .. 1]);");
    ASSERT_EQ(rec.streams(), (Streams{"RESULT", "DONE"}));
    EXPECT_EQ(rec.printed("RESULT"), "[sin(x), x = 0 .. 1], axes = BOXED");
    EXPECT_EQ(run("SMARTPLOT2D([sin(x), x = 0 .. 1]);").streams(), (Streams{"PLOT", "DONE"}));
    EXPECT_EQ(run("x;").printed("RESULT"), "5");
}

// Limits hold for all groups together: twenty grids of a million values are too many.
TEST_F(KernelTest, SamplingLimitCountsEveryGroup) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += "[x*y, x = 0 .. 1, y = 0 .. 1], ";
    Recorder rec = run("SMARTPLOT3D(" + text + "grid = [1000, 1000]);");
    ASSERT_EQ(rec.streams(), (Streams{"ERROR", "DONE"}));
    EXPECT_NE(rec.printed("ERROR").find("too many points"), std::string::npos) << rec.printed("ERROR");
}

TEST_F(KernelTest, SlowSmartPlotIsInterrupted) {
    run("slow := proc(a, b) local i; for i to 300 do od; a*b end:");
    Recorder rec;
    rec.interruptAfterPolls = 3;
    rec = run("SMARTPLOT3D([slow(x, y), x = -1 .. 1, y = -1 .. 1, grid = [1000, 1000]]);", rec);
    EXPECT_EQ(rec.streams(), (Streams{"INTR", "DONE"}));
    EXPECT_EQ(run("1+1;").printed("RESULT"), "2");
}

}  // namespace
