// Reading and rendering large plots (no output side: the stages run, the callbacks are empty):
// a 2-D curve of 100,000 points and a 200 x 200 GRID drawn as patches without hidden-surface
// removal.  Structures are built with the DAG constructors from a fixed formula.

#include <benchmark/benchmark.h>

#include <cmath>

#include "plot/plot_read.h"
#include "plot/render/pipeline.h"
#include "tovu/dag.h"
#include "tovu/errors.h"

namespace {

Dag flt(double v) {
    // A RATIONAL m / 10^8 (eight decimals).
    long m = std::lround(v * 1e8);
    return dag_new2(DAG_RATIONAL, dag_of_int(m), dag_of_int(100000000));
}

Dag call(const char* name, Dag seq) { return dag_new2(DAG_FUNCTION, dag_name(name), seq); }

Dag curveStructure(int n) {
    Dag points = dag_new(n + 1, DAG_EXPSEQ);
    for (int i = 0; i < n; ++i) {
        double x = i * 0.001;
        dag_set_op(points, i + 1, dag_new1(DAG_LIST, dag_new2(DAG_EXPSEQ, flt(x), flt(std::sin(x)))));
    }
    Dag curve = dag_new1(DAG_LIST, points);
    Dag seq = dag_new1(DAG_EXPSEQ, call("CURVES", dag_new1(DAG_EXPSEQ, curve)));
    return seq;
}

Dag gridStructure(int n) {
    Dag rows = dag_new(n + 1, DAG_EXPSEQ);
    for (int i = 0; i < n; ++i) {
        Dag row = dag_new(n + 1, DAG_EXPSEQ);
        for (int j = 0; j < n; ++j) dag_set_op(row, j + 1, flt(std::sin(i * 0.05) * std::cos(j * 0.05)));
        dag_set_op(rows, i + 1, dag_new1(DAG_LIST, row));
    }
    Dag range = dag_new2(DAG_RANGE, dag_of_int(0), dag_of_int(1));
    Dag args = dag_new3(DAG_EXPSEQ, range, range, dag_new1(DAG_LIST, rows));
    return dag_new1(DAG_EXPSEQ, call("GRID", args));
}

void setup() {
    static bool done = false;
    if (done) return;
    tovu_start();
    done = true;
}

void readAndRender(benchmark::State& state, Dag structure, int dimension) {
    for (auto _ : state) {
        OwnedArea area(STORAGE_ALIGN8, "plot");
        StorageArea draw;
        storage_init(&draw, STORAGE_ALIGN8, "draw");
        TovuHandlerGuard guard;
        PlotRecord* plot = plot_read_structure(structure, dimension, area.get());
        PlotOutputCallbacks cb{};
        cb.background = 0xFFFFFF;
        benchmark::DoNotOptimize(plot_render(plot, &cb, &draw));
        storage_free(&draw);
    }
}

void BM_plot_curve_2d_100k(benchmark::State& state) {
    setup();
    Dag s = curveStructure(100000);
    readAndRender(state, s, 2);
}
BENCHMARK(BM_plot_curve_2d_100k)->Unit(benchmark::kMillisecond);

void BM_plot_grid_3d_200x200(benchmark::State& state) {
    setup();
    Dag s = gridStructure(200);
    readAndRender(state, s, 3);
}
BENCHMARK(BM_plot_grid_3d_200x200)->Unit(benchmark::kMillisecond);

}  // namespace
