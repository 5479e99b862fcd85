// Entry points, return codes, limits and the pieces under the layouts: options presets, the
// renderer's callbacks, depth and width limits, float formatting, paths and holders.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dag_build.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"
#include "typeset/typeset_layout.h"

using namespace tb;

namespace {

int collect(void* u, int ch) {
    static_cast<std::string*>(u)->push_back(char(ch));
    return 0;
}

// ---- render_text_2d return codes -------------------------------------------------------------

TEST(RenderCodes, MissingCharacterSinkIsOne) {
    EXPECT_EQ(render_text_2d(N("x"), nullptr, nullptr, nullptr, false, nullptr), 1);
}

struct Refuser {
    int allowed;   // characters accepted before refusing
    int seen = 0;
};

int refuse_after(void* u, int) {
    auto* r = static_cast<Refuser*>(u);
    return r->seen++ >= r->allowed ? 1 : 0;
}

TEST(RenderCodes, RefusingSinkStopsWithSix) {
    Dag d = Sum({{Pow(N("x"), I(2)), I(1)}, {I(1), I(1)}});
    for (int allowed : {0, 3, 30}) {
        Refuser r{allowed};
        EXPECT_EQ(render_text_2d(d, nullptr, refuse_after, nullptr, false, &r), 6) << allowed;
        EXPECT_EQ(r.seen, allowed + 1) << "no character after the refusal";
    }
}

TEST(RenderCodes, RefusingAttributeSinkStopsWithSix) {
    std::string out;
    auto refuse = [](void*, int) { return 1; };
    EXPECT_EQ(render_text_2d(N("x"), nullptr, collect, refuse, true, &out), 6);
}

TEST(RenderCodes, NullExpressionIsFive) {
    std::string out;
    EXPECT_EQ(render_text_2d(nullptr, nullptr, collect, nullptr, false, &out), 5);
    EXPECT_TRUE(out.empty());
}

TEST(RenderCodes, AttributesMarkStyleChanges) {
    struct Rec {
        std::string text;
    } rec;
    auto ch = [](void* u, int c) {
        static_cast<Rec*>(u)->text.push_back(char(c));
        return 0;
    };
    auto attr = [](void* u, int s) {
        static_cast<Rec*>(u)->text += "<" + std::to_string(s) + ">";
        return 0;
    };
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 20;
    // A name is italic (1); the glyph " and " is bold (3), its blanks included.
    Dag d = Bin(DAG_AND, N("p"), N("q"));
    ASSERT_EQ(render_text_2d(d, &o, ch, attr, true, &rec), 0);
    EXPECT_EQ(rec.text, "      <1>p<3> and <1>q<0>\n");
    // Without attributes wanted, none are reported.
    rec.text.clear();
    ASSERT_EQ(render_text_2d(d, &o, ch, attr, false, &rec), 0);
    EXPECT_EQ(rec.text, "      p and q\n");
}

// ---- limits --------------------------------------------------------------------------------------

Dag nested_calls(int depth) {
    Dag d = N("x");
    for (int i = 0; i < depth; ++i) d = dag_new2(DAG_FUNCTION, N("f"), dag_new1(DAG_EXPSEQ, d));
    return d;
}

Dag nested_sums(int depth) {
    Dag d = N("x");
    for (int i = 0; i < depth; ++i) {
        Dag s = dag_new(5, DAG_SUM);
        dag_set_op(s, 1, d);
        dag_set_op(s, 2, I(2));
        dag_set_op(s, 3, N("y"));
        dag_set_op(s, 4, I(1));
        d = s;
    }
    return d;
}

TEST(Limits, DeepNestingIsRefusedWithCodeThree) {
    struct Row { const char* name; Dag dag; int code; };
    const Row rows[] = {
        {"calls 10000", nested_calls(10000), 3},
        {"sums 100000", nested_sums(100000), 3},
        {"calls 200", nested_calls(200), 0},
    };
    for (const Row& r : rows) {
        int code = -1;
        std::string text = render_text_2d_string(r.dag, nullptr, &code);
        EXPECT_EQ(code, r.code) << r.name;
        EXPECT_EQ(text.empty(), r.code != 0) << r.name;
    }
}

TEST(Limits, WideSumIsLaidOutOverManyLines) {
    const int terms = 65000;   // the most a SUM's length field can hold is 65535 pairs
    Dag s = dag_new(2 * terms + 1, DAG_SUM);
    for (int i = 0; i < terms; ++i) {
        dag_set_op(s, std::size_t(2 * i + 1), N(("t" + std::to_string(i % 97)).c_str()));
        dag_set_op(s, std::size_t(2 * i + 2), I(i % 2 ? -1 : 1));
    }
    TypesetContext* ctx = typeset_context_new(nullptr);
    ASSERT_EQ(typeset_run(ctx, s, nullptr), 0);
    ASSERT_EQ(typeset_break_lines(ctx), 0);
    ASSERT_NE(ctx->lines, nullptr);
    EXPECT_GT(ctx->lines->count, 65000 * 4 / 79);
    for (int i = 0; i < ctx->lines->count; ++i) EXPECT_LE(ctx->lines->lines[i].width, 79);
    typeset_context_free(ctx);
}

// ---- context, options, device -------------------------------------------------------------------

TEST(Options, Presets) {
    struct Row { int preset, width, height, first, cont, gap; };
    const Row rows[] = {
        {0, 500, 500, 0, 30, 10}, {1, 79, 24, 2, 8, 1}, {2, 432, 576, 0, 36, 8},
        {5, 432, 576, 0, 36, 8}, {7, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        LayoutOptions o;
        layout_options_init(r.preset, &o, nullptr);
        EXPECT_EQ(o.pageWidth, r.width) << r.preset;
        EXPECT_EQ(o.pageHeight, r.height) << r.preset;
        EXPECT_EQ(o.firstIndent, r.first) << r.preset;
        EXPECT_EQ(o.contIndent, r.cont) << r.preset;
        EXPECT_EQ(o.lineGap, r.gap) << r.preset;
        EXPECT_EQ(o.floatDigits, -1);
        EXPECT_EQ(o.indentStep, 4);
        EXPECT_EQ(o.labelWidth, 20);
    }
    InterfaceSettings s;
    s.indentamount = 7;
    s.labelling = 0;
    LayoutOptions o;
    layout_options_init(1, &o, &s);
    EXPECT_EQ(o.indentStep, 7);
    EXPECT_EQ(o.labelling, 0);
}

int failing_open(TypesetContext*, const LayoutOptions*) { return 42; }

TEST(Context, FailingDeviceOpenPassesItsCodeThrough) {
    TypesetDevice dev = CharCellDevice;
    dev.open = failing_open;
    TypesetContext* ctx = typeset_context_new(&dev);
    EXPECT_EQ(typeset_run(ctx, N("x"), nullptr), 42);
    EXPECT_EQ(ctx->lines, nullptr);
    EXPECT_EQ(typeset_break_lines(ctx), 5);
    typeset_context_free(ctx);
}

TEST(Context, KeepPathsMakesNoLabelsAndRecordsPaths) {
    Dag big = Fn("f", {Sum({{N("aaaa"), I(1)}, {N("bbbb"), I(1)}, {N("cccc"), I(1)}, {N("dddd"), I(1)}})});
    Dag d = List({big, big, big, big});
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.labelWidth = 5;
    LabelOutput out;
    o.labelOutput = &out;
    TypesetContext* ctx = typeset_context_new(nullptr);
    ASSERT_EQ(typeset_run(ctx, d, &o), 0);
    EXPECT_TRUE(out.hasLabels);
    EXPECT_EQ(ctx->pathsAbsent, 1);
    ctx->keepPaths = 1;
    ASSERT_EQ(typeset_run(ctx, d, &o), 0);
    EXPECT_FALSE(out.hasLabels);
    EXPECT_EQ(ctx->pathsAbsent, 0);
    // The list's only child is its element sequence, operand 1.
    const TypesetNode* root = ctx->lines->root->node;
    ASSERT_EQ(root->firstCount, 1);
    EXPECT_EQ(path_count(&root->firstArray[0]), 1);
    EXPECT_EQ(path_index(&root->firstArray[0], 0), 1);
    EXPECT_EQ(typeset_first_level_child(&root->firstArray[0], 1), 1);
    typeset_context_free(ctx);
    label_output_free(&out);
}

TEST(Context, SingleLineIsCentredBrokenLinesStartAtIndents) {
    TypesetContext* ctx = typeset_context_new(nullptr);
    ASSERT_EQ(typeset_run(ctx, N("abc"), nullptr), 0);
    ASSERT_EQ(typeset_break_lines(ctx), 0);
    ASSERT_EQ(ctx->lines->count, 1);
    EXPECT_EQ(ctx->lines->lines[0].x, (79 - 3) / 2);
    ASSERT_EQ(typeset_run(ctx, Big(std::string(200, '1')), nullptr), 0);
    ASSERT_EQ(typeset_break_lines(ctx), 0);
    ASSERT_GE(ctx->lines->count, 3);
    EXPECT_EQ(ctx->lines->lines[0].x, 2);
    EXPECT_EQ(ctx->lines->lines[1].x, 8);
    EXPECT_EQ(ctx->lines->lines[0].mode, 0);
    EXPECT_EQ(ctx->lines->lines[1].mode, 1) << "continuation of a cut text";
    typeset_context_free(ctx);
}

TEST(Holder, CopiesAndFrees) {
    Dag d = Sum({{Pow(N("x"), I(2)), I(1)}, {Q(1, 3), I(1)}});
    DagHolder* h = dag_holder_read(d);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(h->expression, d);
    EXPECT_TRUE(dag_equal(h->expression, d));
    dag_holder_free(h);
    EXPECT_EQ(dag_holder_read(nullptr), nullptr);
    EXPECT_EQ(dag_holder_read(nested_calls(8000)), nullptr) << "too deep to copy";
}

// ---- floats --------------------------------------------------------------------------------------

class FloatFormat : public ::testing::Test {
protected:
    void SetUp() override {
        ctx = typeset_context_new(nullptr);
        CharCellDevice.open(ctx, nullptr);
    }
    void TearDown() override { typeset_context_free(ctx); }
    std::string linear(Dag f) {
        ctx->linearMode = 1;
        TypesetNode* leaf = typeset_node_new(ctx, DAG_FLOAT, 0);
        TypesetChild slot;
        slot.node = leaf;
        TypesetNode* n = format_float(ctx, leaf, f, 0, true, &slot);
        return n->text ? n->text : "<composite>";
    }
    TypesetContext* ctx = nullptr;
};

TEST_F(FloatFormat, LinearForms) {
    struct Row { long m, e; int digits; const char* text; };
    const Row rows[] = {
        {1234567, 0, -1, ".1234567*10^7"}, {123456, 0, -1, "123456."},
        {5, -5, -1, ".00005"}, {5, -6, -1, ".5*10^(-5)"}, {15, 9, -1, ".15*10^11"},
        {15, -11, -1, ".15*10^(-9)"}, {15, 9, 3, ".150*10^11"}, {12345, -2, 1, "123.4"},
        {123, 2, 3, "12300.000"}, {-15, 9, -1, "-.15*10^11"}, {0, 0, -1, "0."},
        {7, 0, 0, "7."},
    };
    for (const Row& r : rows) {
        ctx->floatDigits = r.digits;
        EXPECT_EQ(linear(F(r.m, r.e)), r.text) << r.m << "e" << r.e << " digits " << r.digits;
    }
}

TEST_F(FloatFormat, ExponentFormHasRoomForAnyDigitCount) {
    ctx->floatDigits = 5000;
    std::string t = linear(F(15, 9));
    ASSERT_EQ(t.size(), std::string(".").size() + 5000 + std::string("*10^11").size());
    EXPECT_EQ(t.substr(0, 4), ".150");
    EXPECT_EQ(t.substr(t.size() - 6), "*10^11");
}

TEST(FloatHardware, SpecialValues) {
    TypesetContext* ctx = typeset_context_new(nullptr);
    CharCellDevice.open(ctx, nullptr);
    struct Row { double v; const char* text; };
    const Row rows[] = {
        {std::numeric_limits<double>::quiet_NaN(), "undefined"},
        {std::numeric_limits<double>::infinity(), "infinity"},
        {-std::numeric_limits<double>::infinity(), "-infinity"},
        {0.5, "0.5"}, {1.0 / 3.0, "0.33333333333333"},
    };
    for (const Row& r : rows) {
        TypesetNode* leaf = typeset_node_new(ctx, DAG_FLOAT, 0);
        typeset_hfloat_leaf(ctx, leaf, r.v, 0);
        EXPECT_STREQ(leaf->text, r.text);
    }
    typeset_context_free(ctx);
}

TEST(Integers, Digits) {
    TypesetContext* ctx = typeset_context_new(nullptr);
    struct Row { const char* in; bool isSigned; const char* out; };
    const Row rows[] = {
        {"0", true, "0"}, {"123456789", true, "123456789"}, {"10000", true, "10000"},
        {"-10001", true, "-10001"}, {"-10001", false, "10001"}, {"100000000", true, "100000000"},
    };
    for (const Row& r : rows) EXPECT_STREQ(integer_digits(ctx, Big(r.in), r.isSigned), r.out) << r.in;
    typeset_context_free(ctx);
}

// ---- IntStack, glyph grid ------------------------------------------------------------------------

TEST(IntStackTest, PushPastCapacityKeepsOrderAndPopOnEmptyIsHarmless) {
    IntStack* s = int_stack_new();
    int_stack_pop(s);
    EXPECT_EQ(s->count, 0);
    for (int i = 0; i < 40; ++i) int_stack_push(s, i * 3);
    ASSERT_EQ(s->count, 40);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(int_stack_get(s, i), i * 3);
    IntStack* c = int_stack_copy(s);
    int_stack_pop(s);
    EXPECT_EQ(s->count, 39);
    EXPECT_EQ(c->count, 40);
    EXPECT_EQ(int_stack_get(s, 99), -1);
    int_stack_free(s);
    int_stack_free(c);
}

TEST(CharGridTest, WritePastWidthIsDroppedWhole) {
    CharGrid g;
    g.reset(2, 5);
    g.put(3, 0, "abc", 3, 0);   // would pass the width
    g.put(0, 5, "a", 1, 0);     // no such row
    g.put(2, 1, "xyz", 3, 0);   // fits exactly
    EXPECT_EQ(g.rows[0], "     ");
    EXPECT_EQ(g.rows[1], "  xyz");
}

TEST(CharCell, StretchySymbolShapes) {
    struct Row { int type, height; std::vector<std::string> rows; };
    const Row rows[] = {
        {TS_SUMSIGN, 4, {"----", "\\", "/", "----"}},
        {TS_SUMSIGN, 5, {"-----", "\\", " )", "/", "-----"}},
        {G_SLPAREN, 3, {"/", "|", "\\"}},
        {G_SRPAREN, 3, {"\\", "|", "/"}},
        {TS_SLASH, 3, {"    /", "  /", "/"}},
    };
    for (const Row& r : rows) {
        TypesetContext* ctx = typeset_context_new(nullptr);
        CharCellDevice.open(ctx, nullptr);
        TypesetNode* n = CharCellDevice.glyphNode(ctx, r.type, 0);
        CharCellDevice.sizeSymbol(ctx, n, 0, r.height);
        CharGrid g;
        g.reset(n->height, n->width + 2);
        ctx->deviceData = &g;
        TypesetDrawState st;
        st.ctx = ctx;
        CharCellDevice.drawSymbol(&st, n, 0, 0, 0);
        ASSERT_EQ(g.rows.size(), r.rows.size()) << r.type;
        for (std::size_t i = 0; i < r.rows.size(); ++i) {
            std::string row = g.rows[i];
            row.erase(row.find_last_not_of(' ') + 1);
            EXPECT_EQ(row, r.rows[i]) << r.type << " row " << i;
        }
        typeset_context_free(ctx);
    }
}

}  // namespace
