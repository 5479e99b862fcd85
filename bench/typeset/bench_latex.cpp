// LaTeX export speed: 1,000 results (seeded polynomials of 100 terms, 10 x 10 integer matrices
// and fractions nested 8 deep, in turn) laid out on the LaTeX device and written, in results per
// second; and the four AFM files of the build tree read by the AFM reader, in ms per set.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "typeset/devices/afm.h"
#include "typeset/devices/latex.h"
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

Dag matrix10(std::mt19937& rng) {
    std::vector<Dag> rows;
    for (int i = 0; i < 10; ++i) {
        std::vector<Dag> row;
        for (int j = 0; j < 10; ++j) row.push_back(dag_of_int(long(rng() % 200) - 100));
        rows.push_back(list_of(row));
    }
    Dag args = dag_new(2, DAG_EXPSEQ);
    dag_set_op(args, 1, list_of(rows));
    return dag_new2(DAG_FUNCTION, dag_name("matrix"), args);
}

// 1 / (a + 1 / (a + ...)), depth levels.
Dag nested_fraction(int depth) {
    Dag a = dag_name("a");
    Dag d = a;
    for (int i = 0; i < depth; ++i) {
        Dag s = dag_new(5, DAG_SUM);
        dag_set_op(s, 1, a);
        dag_set_op(s, 2, dag_of_int(1));
        dag_set_op(s, 3, d);
        dag_set_op(s, 4, dag_of_int(1));
        d = dag_new(3, DAG_PROD);
        dag_set_op(d, 1, s);
        dag_set_op(d, 2, dag_of_int(-1));
    }
    return d;
}

int count_chars(void* user, int) {
    ++*static_cast<long*>(user);
    return 0;
}

void BM_latex_write_results(benchmark::State& state) {
    init_library();
    std::mt19937 rng(41);
    std::vector<Dag> results;
    for (int i = 0; i < 1000; ++i)
        results.push_back(i % 3 == 0 ? polynomial(rng, 100) : i % 3 == 1 ? matrix10(rng) : nested_fraction(8));
    LayoutOptions o;
    layout_options_init(3, &o, nullptr);
    long chars = 0;
    for (auto _ : state) {
        for (Dag d : results) {
            int rc = latex_write_expression(d, &o, false, count_chars, &chars);
            if (rc != 0) {
                state.SkipWithError("the LaTeX writer failed (AFM files missing?)");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * long(results.size()));
    state.counters["results/s"] = benchmark::Counter(double(state.iterations()) * double(results.size()),
                                                     benchmark::Counter::kIsRate);
    state.counters["chars/result"] = double(chars) / double(state.iterations() * long(results.size()));
}
BENCHMARK(BM_latex_write_results)->Unit(benchmark::kMillisecond);

void BM_afm_read_four_files(benchmark::State& state) {
    const char* files[] = {"tmr.afm", "tmi.afm", "sym.afm", "tmb.afm"};
    std::string dir = std::string(KELVO_BINARY_DIR) + "/share/afm/";
    for (auto _ : state) {
        for (const char* f : files) {
            std::FILE* in = std::fopen((dir + f).c_str(), "rb");
            if (!in) {
                state.SkipWithError("AFM file missing");
                return;
            }
            std::unique_ptr<AfmFontInfo> info;
            int rc = afm_parse_file(in, &info, AFM_GLOBAL | AFM_WIDTHS);
            std::fclose(in);
            benchmark::DoNotOptimize(rc);
        }
    }
}
BENCHMARK(BM_afm_read_four_files)->Unit(benchmark::kMillisecond);

}  // namespace
