// The math-input editor's edits, in edits per second: replacing and deleting terms of a sum of
// 10,000 terms and the innermost operand of an expression nested 1,000 deep, each followed by
// an undo and a redo.  The element does not lay out (its relayout is empty), so the figures
// are those of the edit operations and the history alone.

#include <benchmark/benchmark.h>

#include <random>

#include "typeset/mathedit/MathEditSession.h"

namespace {

void init_library() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
}

class QuietElement : public MathEditElement {
public:
    explicit QuietElement(Dag expression) : holder_(dag_holder_read(expression)) {}
    ~QuietElement() override { dag_holder_free(holder_); }
    void relayout() override {}
    void setExpression(const DagWord*) override {}
    void dropLinePictures(int) override {}
    void newExpression(const DagWord*) override {}
    bool canShowVersionInPlace(int) override { return true; }
    void replaceByInputText(int) override {}
    void setEndsWithColon(bool) override {}
    DagHolder* dagHolder() override { return holder_; }
    bool worksheetComputing() override { return false; }

private:
    DagHolder* holder_;
};

Dag wide_sum(int terms) {
    Dag s = dag_new(std::size_t(2 * terms + 1), DAG_SUM);
    for (int i = 0; i < terms; ++i) {
        dag_set_op(s, std::size_t(2 * i + 1), dag_name(("x" + std::to_string(i)).c_str()));
        dag_set_op(s, std::size_t(2 * i + 2), dag_of_int(i % 5 + 2));
    }
    return dag_new1(DAG_EXPSEQ, s);
}

// f(f(...f(x)...)) nested `depth` deep; the innermost argument's cursor path.
Dag deep_call(int depth, NodeCursor* cursor) {
    Dag d = dag_name("x");
    Dag f = dag_name("f");
    for (int i = 0; i < depth; ++i) d = dag_new2(DAG_FUNCTION, f, dag_new1(DAG_EXPSEQ, d));
    int_stack_push(cursor->path, 1);
    for (int i = 0; i < depth - 1; ++i) {
        int_stack_push(cursor->path, 2);
        int_stack_push(cursor->path, 1);
    }
    int_stack_push(cursor->path, 2);
    cursor->first = cursor->last = 1;
    cursor->selected = 1;
    return dag_new1(DAG_EXPSEQ, d);
}

void run_edits(benchmark::State& state, Dag expression, NodeCursor* (*pick)(std::mt19937&, void*), void* data) {
    QuietElement element(expression);
    MathEditSession session(&element);
    std::mt19937 rng(2026);
    Dag replacement = dag_name("y");
    for (auto _ : state) {
        NodeCursor* c = pick(rng, data);
        session.selectCursor(c);
        node_cursor_free(c);
        EditorArgument a;
        a.dag = replacement;
        bool deleting = rng() % 2 == 0;
        a.flag = false;
        session.editor_command(deleting ? EDIT_DELETE : EDIT_REPLACE_DAG, a);
        session.editor_command(EDIT_UNDO, EditorArgument{});
        session.editor_command(EDIT_REDO, EditorArgument{});
        session.editor_command(EDIT_UNDO, EditorArgument{});
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_edit_sum_10000_terms(benchmark::State& state) {
    init_library();
    run_edits(state, wide_sum(10000),
              [](std::mt19937& rng, void*) {
                  NodeCursor* c = node_cursor_new();
                  int_stack_push(c->path, 1);
                  c->first = c->last = 2 * int(rng() % 10000) + 1;
                  c->selected = 1;
                  return c;
              },
              nullptr);
}
BENCHMARK(BM_edit_sum_10000_terms);

void BM_edit_nested_1000_deep(benchmark::State& state) {
    init_library();
    NodeCursor* inner = node_cursor_new();
    Dag expression = deep_call(1000, inner);
    run_edits(state, expression,
              [](std::mt19937&, void* data) { return node_cursor_copy(static_cast<NodeCursor*>(data)); },
              inner);
    node_cursor_free(inner);
}
BENCHMARK(BM_edit_nested_1000_deep);

}  // namespace
