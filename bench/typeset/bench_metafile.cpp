// Metafile export speed with the spreadsheet's request (one Windows metafile, map mode 6, the
// platform's fonts): 1,000 exports of seeded polynomials of 10 terms, fractions and 3 x 3 integer
// matrices in turn, in exports per second; once with the fonts kept from one export to the next
// (as the spreadsheet runs) and once with the fonts rebuilt for every export.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "tests/typeset/devices/sheet_options.h"
#include "typeset/devices/gdi_device.h"
#include "typeset/typeset.h"

namespace {

void init_library() {
    static bool done = false;
    if (done) return;
    done = true;
    tovu_start();
    IdentifierStyleTable::loadBuiltin();
}

Dag polynomial(std::mt19937& rng, int terms) {
    Dag x = dag_name("x");
    Dag s = dag_new(std::size_t(2 * terms + 1), DAG_SUM);
    for (int i = 0; i < terms; ++i) {
        Dag term = i == 0 ? dag_of_int(1) : (i == 1 ? x : dag_new2(DAG_POWER, x, dag_of_int(i)));
        long c = long(rng() % 2000) - 1000;
        dag_set_op(s, std::size_t(2 * i + 1), term);
        dag_set_op(s, std::size_t(2 * i + 2), dag_of_int(c == 0 ? 1 : c));
    }
    return s;
}

Dag list_of(const std::vector<Dag>& items) {
    Dag s = dag_new(items.size() + 1, DAG_EXPSEQ);
    for (std::size_t i = 0; i < items.size(); ++i) dag_set_op(s, i + 1, items[i]);
    return dag_new1(DAG_LIST, s);
}

Dag matrix3(std::mt19937& rng) {
    std::vector<Dag> rows;
    for (int i = 0; i < 3; ++i) {
        std::vector<Dag> row;
        for (int j = 0; j < 3; ++j) row.push_back(dag_of_int(long(rng() % 200) - 100));
        rows.push_back(list_of(row));
    }
    Dag args = dag_new(2, DAG_EXPSEQ);
    dag_set_op(args, 1, list_of(rows));
    return dag_new2(DAG_FUNCTION, dag_name("matrix"), args);
}

Dag fraction(std::mt19937& rng) {
    Dag s = dag_new(5, DAG_SUM);
    dag_set_op(s, 1, dag_name("y"));
    dag_set_op(s, 2, dag_of_int(1));
    dag_set_op(s, 3, dag_of_int(long(rng() % 90) + 1));
    dag_set_op(s, 4, dag_of_int(1));
    Dag p = dag_new(5, DAG_PROD);
    dag_set_op(p, 1, dag_name("x"));
    dag_set_op(p, 2, dag_of_int(1));
    dag_set_op(p, 3, s);
    dag_set_op(p, 4, dag_of_int(-1));
    return p;
}

int keep_nothing(void*, const MetafilePiece* piece) {
    delete_metafile(piece->metafile);
    return 0;
}

void run(benchmark::State& state, bool rebuild) {
    init_library();
    std::mt19937 rng(43);
    std::vector<Dag> values;
    for (int i = 0; i < 1000; ++i)
        values.push_back(i % 3 == 0 ? polynomial(rng, 10) : i % 3 == 1 ? fraction(rng) : matrix3(rng));
    const LayoutOptions o = sheet_options();
    MetafileRequest req;
    req.mapMode = MM_TWIPS;
    for (auto _ : state) {
        for (Dag d : values) {
            if (rebuild) gdi_typeset_cleanup();
            if (export_expression_metafile(d, &o, &req, keep_nothing, nullptr) != 0) {
                state.SkipWithError("export failed");
                return;
            }
        }
    }
    state.counters["exports/s"] =
        benchmark::Counter(double(state.iterations()) * double(values.size()), benchmark::Counter::kIsRate);
}

void BM_metafile_export_fonts_kept(benchmark::State& state) { run(state, false); }
void BM_metafile_export_fonts_rebuilt(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_metafile_export_fonts_kept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_metafile_export_fonts_rebuilt)->Unit(benchmark::kMillisecond);

}  // namespace
