// The repairing parser and the typeset selection: parse_with_repair on 10 kB texts that need
// both repair stages (bytes per second), and hit tests and linear text on a laid-out sum of
// 1,000 terms on the fixed-metric fake device (queries per second).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/typeset/fake_device.h"
#include "tovu/table.h"
#include "typeset/mathedit/repair.h"
#include "typeset/mathedit/selection.h"
#include "typeset/typeset.h"

namespace {

void init_library() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
    IdentifierStyleTable::loadBuiltin();
}

// An unclosed bracket (the balancing stage) around implicit products (the operator stage).
std::string text_needing_both(std::size_t bytes) {
    std::mt19937 rng(4242);
    std::string t = "(";
    while (t.size() < bytes) t += std::to_string(rng() % 90 + 10) + "x" + std::to_string(rng() % 9) + "+";
    t += "y";
    return t;
}

void BM_parse_with_repair_10kB(benchmark::State& state) {
    init_library();
    const std::string text = text_needing_both(10000);
    for (auto _ : state) {
        char* repaired = nullptr;
        Dag d = parse_with_repair(text.c_str(), &repaired, nullptr);
        if (!d || !repaired) state.SkipWithError("the text was not repaired");
        if (repaired) buffer_free(repaired);
        storage_reset();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_parse_with_repair_10kB);

Dag sum_of_terms(int terms) {
    Dag x = dag_name("x");
    Dag s = dag_new(std::size_t(2 * terms + 1), DAG_SUM);
    for (int i = 0; i < terms; ++i) {
        dag_set_op(s, std::size_t(2 * i + 1), dag_new2(DAG_POWER, x, dag_of_int(i + 2)));
        dag_set_op(s, std::size_t(2 * i + 2), dag_of_int(i % 7 + 1));
    }
    Dag seq = dag_new(2, DAG_EXPSEQ);
    dag_set_op(seq, 1, s);
    return seq;
}

struct LaidOutSum {
    FakeDevice dev;
    LaidOutSum() {
        dev.setKeepPaths(true);
        dev.run(sum_of_terms(1000), 200);
    }
};

void BM_hit_test_sum_1000(benchmark::State& state) {
    init_library();
    LaidOutSum s;
    TypesetContext* ctx = s.dev.context();
    std::mt19937 rng(99);
    for (auto _ : state) {
        int n = int(rng() % unsigned(ctx->lines->count));
        TypesetPath* p = typeset_find_at_point(ctx, nullptr, n, int(rng() % 220), int(rng() % 6), true);
        benchmark::DoNotOptimize(p);
        typeset_path_free(ctx, p);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_hit_test_sum_1000);

void BM_linear_text_sum_1000(benchmark::State& state) {
    init_library();
    LaidOutSum s;
    TypesetContext* ctx = s.dev.context();
    std::mt19937 rng(7);
    NodeCursor* cursor = node_cursor_new();
    for (auto _ : state) {
        int_stack_clear(cursor->path);
        int_stack_push(cursor->path, 1);
        int first = int(rng() % 1000);
        cursor->first = 2 * first + 1;
        cursor->last = 2 * (first + int(rng() % 50)) + 2;
        if (cursor->last > 2000) cursor->last = 2000;
        cursor->selected = 1;
        typeset_show_selection(ctx, cursor);
        char* text = render_linear_text(ctx);
        benchmark::DoNotOptimize(text);
        std::free(text);
    }
    node_cursor_free(cursor);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_linear_text_sum_1000);

}  // namespace
