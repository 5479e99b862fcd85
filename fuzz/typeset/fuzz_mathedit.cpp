// DAG text through the DAG reader becomes version 0 of a math-input editor (on a minimal element
// laid out on the fixed-metric fake device); the remaining bytes drive commands 4004 to 4015
// with random texts, typeset positions and cursors.  After the sequence, undoing back to
// version 0 must show the original expression again.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/typeset/fake_device.h"
#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/print.h"
#include "tovu/storage.h"
#include "typeset/mathedit/MathEditSession.h"

namespace {

bool started = false;

void startOnce() {
    if (started) return;
    dag_init_constants();
    storage_init_default();
    dag_init_names();
    IdentifierStyleTable::loadBuiltin();
    started = true;
}

class Element : public MathEditElement {
public:
    explicit Element(DagHolder* holder) : holder_(holder) {
        dev_.setKeepPaths(true);
        relayout();
    }
    ~Element() override {
        holder_->current = nullptr;
        dag_holder_free(holder_);
    }
    void relayout() override {
        dev_.run(holder_->expression);
        holder_->current = dev_.context();
    }
    void setExpression(const DagWord*) override {}
    void dropLinePictures(int) override {}
    void newExpression(const DagWord*) override {}
    bool canShowVersionInPlace(int) override { return true; }
    void replaceByInputText(int) override {}
    void setEndsWithColon(bool) override {}
    DagHolder* dagHolder() override { return holder_; }
    bool worksheetComputing() override { return false; }

private:
    FakeDevice dev_;
    DagHolder* holder_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();
    FuzzedDataProvider in(data, size);
    Dag dag = dag_from_text(in.ConsumeRandomLengthString(1500));
    if (!dag) return 0;
    Dag seq = dag_type(dag) == DAG_EXPSEQ ? dag : dag_new1(DAG_EXPSEQ, dag);
    DagHolder* holder = dag_holder_read(seq);
    if (!holder || !holder->expression) {
        dag_holder_free(holder);
        return 0;
    }
    const std::string original = print_to_text(holder->expression);
    Element element(holder);
    MathEditSession session(&element);
    for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
        TypesetContext* ctx = holder->current;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            // A typeset selection between two points.
            if (!ctx || !ctx->lines) break;
            int n = in.ConsumeIntegralInRange<int>(0, ctx->lines->count);
            TypesetPath* p = typeset_find_at_point(ctx, nullptr, n, in.ConsumeIntegralInRange<int>(-5, 300),
                                                   in.ConsumeIntegralInRange<int>(-5, 60), true);
            TypesetPath* q = typeset_find_at_point(ctx, nullptr, n, in.ConsumeIntegralInRange<int>(-5, 300),
                                                   in.ConsumeIntegralInRange<int>(-5, 60), true);
            session.setSelection(p, q);
            typeset_path_free(ctx, p);
            typeset_path_free(ctx, q);
            break;
        }
        case 1: {
            // A cursor of any shape.
            NodeCursor* c = node_cursor_new();
            int depth = in.ConsumeIntegralInRange<int>(0, 4);
            for (int i = 0; i < depth; ++i) int_stack_push(c->path, in.ConsumeIntegralInRange<int>(-1, 9));
            c->first = in.ConsumeIntegralInRange<int>(-1, 9);
            c->last = in.ConsumeIntegralInRange<int>(-1, 9);
            c->selected = in.ConsumeBool();
            session.selectCursor(c);
            node_cursor_free(c);
            break;
        }
        case 2:
            session.navigate(in.PickValueInArray({0, 2, 14, 15}), 1, nullptr);
            break;
        default: {
            int id = in.ConsumeIntegralInRange<int>(4004, 4015);
            std::string text = in.ConsumeRandomLengthString(40);
            EditorArgument a;
            a.text = text.c_str();
            a.flag = in.ConsumeBool();
            TypesetPath* target = nullptr;
            if (id == EDIT_MOVE && ctx && ctx->lines)
                target = typeset_find_at_point(ctx, nullptr, 0, in.ConsumeIntegralInRange<int>(-5, 300),
                                               in.ConsumeIntegralInRange<int>(-5, 60), true);
            a.path = target;
            Dag pasted = nullptr;
            if (id == EDIT_REPLACE_DAG) pasted = dag_name("pasted");
            a.dag = pasted;
            session.editor_command(id, a);
            if (target) typeset_path_free(ctx, target);
            break;
        }
        }
    }
    while (session.canUndo()) session.editor_command(EDIT_UNDO, EditorArgument{});
    if (print_to_text(holder->expression) != original) std::abort();
    return 0;
}
