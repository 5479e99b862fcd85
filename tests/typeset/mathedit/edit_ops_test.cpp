// Edit operations and their checks on hand-built versions: exact messages, the new expressions
// (by their one-line print), the new cursors, and the source version left as it was.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../dag_build.h"
#include "tovu/print.h"
#include "typeset/mathedit/edit_ops.h"
#include "tests/support/named_rows.h"

using namespace tb;

namespace {

struct HolderFree {
    void operator()(DagHolder* h) const { dag_holder_free(h); }
};

// One version of an expression (wrapped in a one-element sequence) with a cursor.
class Version {
public:
    explicit Version(Dag expression)
        : holder_(dag_holder_read(Seq({expression}))), entry_(std::make_unique<EditSelection>(holder_.get())) {}
    Version& at(const std::vector<int>& path, int first, int last) {
        NodeCursor* c = entry_->resetCursor();
        for (int i : path) int_stack_push(c->path, i);
        c->first = first;
        c->last = last;
        c->selected = 1;
        return *this;
    }
    EditSelection* entry() { return entry_.get(); }
    DagHolder* holder() { return holder_.get(); }
    std::string printed() const { return print_to_text(entry_->expression); }

private:
    std::unique_ptr<DagHolder, HolderFree> holder_;
    std::unique_ptr<EditSelection> entry_;
};

struct Outcome {
    bool ok = false;
    std::string message;
    std::string printed;           // of the new version
    std::vector<int> path;
    int first = 0, last = 0;
    bool sourceUnchanged = false;
};

enum class Op { Replace, Insert };

Outcome run(Version& v, const DagWord* x, Op op = Op::Replace) {
    std::string before = v.printed();
    EditSelection target(v.holder());
    const char* message = nullptr;
    Outcome o;
    o.ok = op == Op::Replace ? edit_replace(v.entry(), &target, x, &message) : edit_insert(v.entry(), &target, x, &message);
    o.message = message ? message : "";
    if (o.ok && target.expression) {
        o.printed = print_to_text(target.expression);
        for (int i = 0; i < target.cursor()->path->count; ++i) o.path.push_back(int_stack_get(target.cursor()->path, i));
        o.first = target.cursor()->first;
        o.last = target.cursor()->last;
    }
    o.sourceUnchanged = v.printed() == before;
    return o;
}

Dag eq(Dag a, Dag b) { return Bin(DAG_EQUATION, a, b); }

using kelvo_test::PrintTo;

struct EditCase {
    const char* name;
    Dag (*expression)();
    std::vector<int> path;
    int first, last;
    Dag (*replacement)();   // null: delete
    const char* message;    // expected refusal, or "" for success
    const char* printed;    // expected new version on success
};

Dag x_squared() { return Pow(N("x"), I(2)); }
Dag a_plus_2b() { return Sum({{N("a"), I(1)}, {N("b"), I(2)}}); }
Dag a_over_b() { return Prod({{N("a"), I(1)}, {N("b"), I(-1)}}); }
Dag a_series() { return Series(N("x"), {{N("c"), 1}, {N("d"), 2}}); }

const EditCase kEdits[] = {
    {"delete_base", x_squared, {1}, 1, 1, nullptr, "cannot delete base", ""},
    {"delete_exponent", x_squared, {1}, 2, 2, nullptr, "", "x"},
    {"equation_into_base", x_squared, {1}, 1, 1, [] { return eq(N("p"), N("q")); },
     "only algebraic expressions can be substituted into a base", ""},
    {"replace_term", a_plus_2b, {1}, 1, 1, [] { return N("c"); }, "", "c+2*b"},
    {"delete_term", a_plus_2b, {1}, 1, 1, nullptr, "", "2*b"},
    {"delete_sqrt_argument", [] { return Fn("sqrt", {N("x")}); }, {1, 2}, 1, 1, nullptr, "", "x"},
    {"placeholder_for_empty_arguments", [] { return Fn("f", {}); }, {1}, 2, 2, [] { return N("%?"); }, "", "f"},
    {"delete_argument_list", [] { return Fn("f", {N("x"), N("y")}); }, {1}, 2, 2, nullptr, "", "f()"},
    {"delete_denominator", a_over_b, {1}, 3, 3, nullptr, "", "a"},
    {"delete_numerator", a_over_b, {1}, 1, 1, nullptr, "", "b"},
    {"delete_series_exponent", a_series, {1}, 3, 3, nullptr, "can only delete full terms in a series", ""},
    {"half_as_series_exponent", a_series, {1}, 3, 3, [] { return Q(1, 2); },
     "only integer powers are allowed in a series", ""},
    {"oversized_series_exponent", a_series, {1}, 3, 3, [] { return Big("1099511627776"); },
     "integer too large for K_INT", ""},
    {"integer_series_exponent", a_series, {1}, 5, 5, [] { return I(7); }, "", ""},
    {"assignment_inside", a_plus_2b, {1}, 1, 1, [] { return Bin(DAG_ASSIGN, N("z"), I(1)); },
     "assignments cannot occur inside expressions", ""},
    {"assignment_at_root", a_plus_2b, {}, 1, 1, [] { return Bin(DAG_ASSIGN, N("z"), I(1)); }, "", "z := 1"},
    {"delete_whole", a_plus_2b, {}, 1, 1, nullptr, "cannot delete entire expression", ""},
    {"integral_variable_by_number", [] { return Fn("int", {x_squared(), N("x")}); }, {1, 2}, 2, 2,
     [] { return I(2); }, "invalid substitution - name required", ""},
    {"delete_from_equation", [] { return eq(N("p"), N("q")); }, {1}, 1, 1, nullptr, "cannot delete sub-expression", ""},
    {"fraction_piece", [] { return Fn("f", {Q(1, 3)}); }, {1, 2, 1}, 2, 2, nullptr, "cannot delete a piece of a fraction", ""},
};

class Edits : public ::testing::TestWithParam<EditCase> {};

TEST_P(Edits, MessageOrNewVersion) {
    const EditCase& c = GetParam();
    Version v(c.expression());
    v.at(c.path, c.first, c.last);
    Outcome o = run(v, c.replacement ? c.replacement() : nullptr);
    EXPECT_TRUE(o.sourceUnchanged);
    if (*c.message) {
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.message, c.message);
    } else {
        EXPECT_TRUE(o.ok) << o.message;
        if (*c.printed) {
            EXPECT_EQ(o.printed, c.printed);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Edits, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EditReplace, TermReplacedKeepsItsPairAndSelectsIt) {
    Version v(a_plus_2b());
    v.at({1}, 1, 1);
    EditSelection target(v.holder());
    const char* message = nullptr;
    ASSERT_TRUE(edit_replace(v.entry(), &target, N("c"), &message));
    const DagWord* sum = dag_op(target.expression, 1);
    ASSERT_EQ(dag_type(sum), DAG_SUM);
    EXPECT_EQ(print_to_text(dag_op(sum, 1)), "c");
    EXPECT_TRUE(dag_is_int_value(dag_op(sum, 2), 1));
    EXPECT_EQ(target.cursor()->first, 1);
    EXPECT_EQ(target.cursor()->last, 1);
    // Off the path everything stays shared with the source.
    EXPECT_EQ(dag_op(sum, 3), dag_op(dag_op(v.entry()->expression, 1), 3));
}

TEST(EditReplace, SeriesExponentTakesTheMachineInteger) {
    Version v(a_series());
    v.at({1}, 5, 5);
    EditSelection target(v.holder());
    ASSERT_TRUE(edit_replace(v.entry(), &target, I(7), nullptr));
    EXPECT_EQ(static_cast<long>(dag_op(target.expression, 1)[5]), 7);
    EXPECT_EQ(static_cast<long>(dag_op(v.entry()->expression, 1)[5]), 2);
}

TEST(EditCursor, CursorsThatDoNotFitTheVersionAreRefused) {
    Dag loc = dag_new(2, DAG_LOCAL);
    loc[1] = 1;
    struct Row { const char* name; std::vector<int> path; int first, last; };
    const Row rows[] = {
        {"index beyond the operands", {1}, 5, 5},
        {"last below first", {1}, 2, 1},
        {"path beyond the operands", {1, 9}, 1, 1},
        {"path through an immediate word", {1, 3, 1}, 1, 1},
        {"negative index", {1}, -1, 1},
    };
    for (const Row& r : rows) {
        Version v(Fn("f", {loc}));
        v.at(r.path, r.first, r.last);
        Outcome del = run(v, nullptr);
        EXPECT_FALSE(del.ok) << r.name;
        EXPECT_EQ(del.message, "unknown error") << r.name;
        Outcome rep = run(v, N("y"));
        EXPECT_EQ(rep.message, "unknown error") << r.name;
        Outcome ins = run(v, N("y"), Op::Insert);
        EXPECT_EQ(ins.message, "unknown error") << r.name;
        EXPECT_EQ(edit_selected_expression(v.entry()), nullptr) << r.name;
        EXPECT_EQ(edit_check(v.entry(), N("y")), std::string("unknown error")) << r.name;
    }
}

TEST(EditInsert, SpecialFunctionArgumentsSendTheInsertionUp) {
    Version v(Fn("int", {x_squared(), N("x")}));
    v.at({1, 2}, 1, 1);
    IntStack* level = int_stack_copy(v.entry()->cursor()->path);
    int_stack_push(level, 1);
    EXPECT_STREQ(insert_check(level, v.entry()->expression), "cannot add to special function arguments");
    int_stack_free(level);
    Outcome o = run(v, N("y"), Op::Insert);
    ASSERT_TRUE(o.ok) << o.message;
    EXPECT_EQ(o.printed, "int(x^2,x), y");
    EXPECT_TRUE(o.path.empty());
    EXPECT_EQ(o.first, 2);
    EXPECT_EQ(o.last, 2);
    // In a sum the insertion gets its coefficient.
    Version s(a_plus_2b());
    s.at({1}, 1, 1);
    o = run(s, N("c"), Op::Insert);
    ASSERT_TRUE(o.ok) << o.message;
    EXPECT_EQ(o.printed, "a+c+2*b");
    EXPECT_EQ(o.first, 3);
    EXPECT_EQ(o.last, 3);
}

TEST(EditReplaceName, EveryOccurrenceOrNothing) {
    Version v(Sum({{N("x"), I(1)}, {Fn("f", {N("x")}), I(1)}}));
    EditSelection target(v.holder());
    const char* message = nullptr;
    ASSERT_TRUE(edit_replace_name(v.entry(), &target, "x", N("y"), &message)) << message;
    EXPECT_EQ(print_to_text(target.expression), "y+f(y)");
    EXPECT_EQ(v.printed(), "x+f(x)");

    Version w(Sum({{Fn("int", {x_squared(), N("x")}), I(1)}, {N("x"), I(1)}}));
    std::string before = w.printed();
    EditSelection t2(w.holder());
    EXPECT_FALSE(edit_replace_name(w.entry(), &t2, "x", I(2), &message));
    EXPECT_STREQ(message, "invalid substitution - name required");
    EXPECT_EQ(w.printed(), before);
}

TEST(EditFindName, PlaceholdersForwardAndBackward) {
    Version v(Fn("f", {N("%?"), N("a"), N("%?")}));
    v.at({1, 2}, 1, 1);
    EditSelection next(v.holder());
    ASSERT_TRUE(edit_find_name(v.entry(), &next, "%?", false));
    EXPECT_EQ(next.cursor()->first, 3);
    EXPECT_TRUE(next.cursor()->selected);
    EditSelection prev(v.holder());
    ASSERT_TRUE(edit_find_name(&next, &prev, "%?", true));
    EXPECT_EQ(prev.cursor()->first, 1);
    EditSelection none(v.holder());
    EXPECT_FALSE(edit_find_name(&next, &none, "%?", false));
    EXPECT_TRUE(edit_selection_is_placeholder(&next));
    EXPECT_TRUE(edit_selection_is_name(&next, "%?"));
    EXPECT_FALSE(edit_selection_is_name(&next, "a"));
}

TEST(EditQueries, SelectedExpressionAndWholeSelection) {
    Version v(Sum({{N("a"), I(1)}, {N("b"), I(2)}, {N("c"), I(1)}}));
    v.at({1}, 1, 2);
    EXPECT_EQ(print_to_text(edit_selected_expression(v.entry())), "a");
    v.at({1}, 3, 4);
    EXPECT_EQ(print_to_text(edit_selected_expression(v.entry())), "2*b");
    v.at({1}, 1, 4);
    EXPECT_EQ(print_to_text(edit_selected_expression(v.entry())), "a+2*b");
    EXPECT_FALSE(edit_whole_selected(v.entry()));
    v.at({}, 1, 1);
    EXPECT_TRUE(edit_whole_selected(v.entry()));
}

TEST(CursorCompare, OrderEqualityAndInside) {
    auto cursor = [](const std::vector<int>& path, int first, int last) {
        NodeCursor* c = node_cursor_new();
        for (int i : path) int_stack_push(c->path, i);
        c->first = first;
        c->last = last;
        return std::unique_ptr<NodeCursor, void (*)(NodeCursor*)>(c, node_cursor_free);
    };
    bool inside = true;
    auto a = cursor({1}, 2, 3);
    EXPECT_EQ(cursor_compare(a.get(), a.get(), &inside), 0);
    EXPECT_FALSE(inside);
    auto deeper = cursor({1, 3}, 1, 1);   // inside operand 3 of a's parent
    EXPECT_EQ(cursor_compare(deeper.get(), a.get(), &inside), 1);
    EXPECT_TRUE(inside);
    EXPECT_EQ(cursor_compare(a.get(), deeper.get(), &inside), -1);
    EXPECT_TRUE(inside);
    auto before = cursor({1}, 1, 1);
    EXPECT_EQ(cursor_compare(before.get(), a.get(), &inside), -1);
    EXPECT_FALSE(inside);
    auto overlap = cursor({1}, 3, 4);
    EXPECT_EQ(cursor_compare(overlap.get(), a.get(), &inside), -2);
}

}  // namespace
