// DAG text through the DAG reader, laid out with operand paths kept on the fixed-metric fake
// device; then the remaining bytes drive random points, caret steps, ranges (with and without a
// cursor), shown cursors and linear text.  The sanitizers catch any read outside a node, a path
// or a DAG.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/typeset/fake_device.h"
#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/storage.h"
#include "typeset/mathedit/selection.h"
#include "typeset/typeset.h"

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

TypesetPath* point(FuzzedDataProvider& in, TypesetContext* ctx) {
    int lines = ctx->lines->count;
    int n = in.ConsumeIntegralInRange<int>(-1, lines);
    int x = in.ConsumeIntegralInRange<int>(-20, 400);
    int y = in.ConsumeIntegralInRange<int>(-20, 100);
    return typeset_find_at_point(ctx, nullptr, n, x, y, in.ConsumeBool());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();
    FuzzedDataProvider in(data, size);
    std::string text = in.ConsumeRandomLengthString(2000);
    Dag dag = dag_from_text(text);
    if (!dag) return 0;
    FakeDevice fake;
    fake.setKeepPaths(in.ConsumeBool());
    if (fake.run(dag, in.ConsumeIntegralInRange<int>(10, 300)) != 0) return 0;
    TypesetContext* ctx = fake.context();
    TypesetPath* p = point(in, ctx);
    TypesetPath* q = point(in, ctx);
    NodeCursor* cursor = node_cursor_new();
    for (int step = 0; step < 32 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            typeset_path_free(ctx, p);
            p = point(in, ctx);
            break;
        case 1: {
            TypesetPath* s = typeset_step(ctx, p, in.ConsumeBool() ? 2 : 0);
            if (s) {
                typeset_path_free(ctx, p);
                p = s;
            }
            break;
        }
        case 2:
            typeset_select_range(ctx, p, q, cursor);
            break;
        case 3:
            typeset_select_range(ctx, p, q, nullptr);
            break;
        case 4: {
            // A cursor of any shape, as an editor might hand back after its own changes.
            int_stack_clear(cursor->path);
            int depth = in.ConsumeIntegralInRange<int>(0, 4);
            for (int i = 0; i < depth; ++i) int_stack_push(cursor->path, in.ConsumeIntegralInRange<int>(-2, 12));
            cursor->first = in.ConsumeIntegralInRange<int>(-2, 12);
            cursor->last = in.ConsumeIntegralInRange<int>(-2, 12);
            cursor->selected = in.ConsumeBool();
            typeset_show_selection(ctx, cursor);
            break;
        }
        case 5: {
            char* t = render_linear_text(ctx);
            std::free(t);
            break;
        }
        case 6: {
            int x, y, kind, value;
            typeset_node_offset(ctx, p, in.ConsumeIntegralInRange<int>(-1, 4), &x, &y, &kind, &value);
            typeset_line_at_x(ctx, in.ConsumeIntegralInRange<int>(-50, 500));
            break;
        }
        default:
            std::swap(p, q);
            break;
        }
    }
    node_cursor_free(cursor);
    typeset_path_free(ctx, p);
    typeset_path_free(ctx, q);
    return 0;
}
