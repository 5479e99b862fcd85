// Throughput of the DAG text writer and reader on large inputs, in MB of text per second:
//   BM_dag_encode_* / BM_dag_decode_*  with  sum      a sum of 100,000 terms (x_i * i),
//                                            sum_1m   the same with 1,000,000 terms,
//                                            integer  an integer of 100,000 decimal digits,
//                                            floats   a list of 100,000 FLOAT values.
//   BM_dag_decode_new_names_*  the sums again, every iteration with names the process has not
//                              seen yet, so that each decode interns all of them (the name
//                              table's growth is what it measures).
// A DAG holds at most 131071 words, so a sum is SUMs of 25,000 terms inside one SUM.
// The inputs live in an area of their own; the default area is reset between iterations.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/storage.h"

namespace {

StorageArea* inputArea() {
    static StorageArea* area = [] {
        tovu_start();
        return storage_new(0, "bench-input");
    }();
    return area;
}

// A NAME that is not entered in the name table, so that the text it is written to brings a
// name the reader has not seen.
Dag unlistedName(const std::string& text) {
    Dag d = dag_new(text.size() / sizeof(DagWord) + 4, DAG_NAME);
    dag_set_op(d, 2, dag_NULL);
    std::memcpy(dag_text(d), text.c_str(), text.size() + 1);
    return d;
}

// The sum of x_i * i for i = 1 .. parts * 25,000; names are interned unless a prefix for
// unlisted names is given.
Dag makeSumOf(int parts, const char* unlistedPrefix = nullptr) {
    StoragePush push(inputArea());
    constexpr int kTerms = 25000;
    Dag outer = dag_new(2 * static_cast<std::size_t>(parts) + 1, DAG_SUM);
    for (int p = 0; p < parts; ++p) {
        Dag part = dag_new(2 * kTerms + 1, DAG_SUM);
        for (int i = 0; i < kTerms; ++i) {
            std::string name = "x" + std::to_string(p * kTerms + i);
            Dag term = unlistedPrefix ? unlistedName(unlistedPrefix + name) : dag_name(name.c_str());
            dag_set_op(part, 2 * i + 1, term);
            dag_set_op(part, 2 * i + 2, dag_of_int(p * kTerms + i + 1));
        }
        dag_set_op(outer, 2 * p + 1, part);
        dag_set_op(outer, 2 * p + 2, dag_one);
    }
    return outer;
}

Dag makeSum() { return makeSumOf(4); }
Dag makeSum1m() { return makeSumOf(40); }

Dag makeInteger() {
    StoragePush push(inputArea());
    std::mt19937 rng(42);
    std::string digits = "1";
    while (digits.size() < 100000) digits += char('0' + rng() % 10);
    return dag_integer_from_text(digits);
}

Dag makeFloats() {
    StoragePush push(inputArea());
    std::mt19937 rng(7);
    constexpr int kCount = 100000;
    Dag items = dag_new(kCount + 1, DAG_EXPSEQ);
    for (int i = 0; i < kCount; ++i) {
        long mantissa = static_cast<long>(rng() % 1000000000) - 500000000;
        long exponent = static_cast<long>(rng() % 40) - 20;
        dag_set_op(items, static_cast<std::size_t>(i) + 1, dag_new2(DAG_FLOAT, dag_of_int(mantissa), dag_of_int(exponent)));
    }
    return dag_new1(DAG_LIST, items);
}

void setRate(benchmark::State& state, std::size_t bytes) {
    state.counters["MB/s"] =
        benchmark::Counter(double(bytes) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void encode(benchmark::State& state, Dag (*make)()) {
    static_cast<void>(inputArea());
    Dag d = make();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = dag_to_text(d);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
        state.PauseTiming();
        storage_reset();   // the writer's back-reference buckets
        state.ResumeTiming();
    }
    setRate(state, bytes);
}

// One timed decode; the default area is reset outside the timing.
void decodeOnce(benchmark::State& state, const std::string& text) {
    Dag d = dag_from_text(text);
    if (!d) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(d);
    state.PauseTiming();
    storage_reset();
    state.ResumeTiming();
}

void decode(benchmark::State& state, Dag (*make)()) {
    static_cast<void>(inputArea());
    std::string text = dag_to_text(make());
    for (auto _ : state) decodeOnce(state, text);
    setRate(state, text.size());
}

// Each iteration decodes a text whose names are new to the process.
void decodeNewNames(benchmark::State& state, int parts) {
    static_cast<void>(inputArea());
    static int round = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string prefix = "r" + std::to_string(++round) + "_";
        std::string text = dag_to_text(makeSumOf(parts, prefix.c_str()));
        storage_free(inputArea());
        bytes += text.size();
        state.ResumeTiming();
        decodeOnce(state, text);
    }
    state.counters["MB/s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}

void BM_dag_encode_sum(benchmark::State& s) { encode(s, makeSum); }
void BM_dag_encode_sum_1m(benchmark::State& s) { encode(s, makeSum1m); }
void BM_dag_decode_sum_1m(benchmark::State& s) { decode(s, makeSum1m); }
void BM_dag_decode_new_names_sum(benchmark::State& s) { decodeNewNames(s, 4); }
void BM_dag_decode_new_names_sum_1m(benchmark::State& s) { decodeNewNames(s, 40); }
void BM_dag_decode_sum(benchmark::State& s) { decode(s, makeSum); }
void BM_dag_encode_integer(benchmark::State& s) { encode(s, makeInteger); }
void BM_dag_decode_integer(benchmark::State& s) { decode(s, makeInteger); }
void BM_dag_encode_floats(benchmark::State& s) { encode(s, makeFloats); }
void BM_dag_decode_floats(benchmark::State& s) { decode(s, makeFloats); }

BENCHMARK(BM_dag_encode_sum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_sum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_encode_sum_1m)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_sum_1m)->Unit(benchmark::kMillisecond);
// Fixed counts: every iteration leaves its names in the process.
BENCHMARK(BM_dag_decode_new_names_sum)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_dag_decode_new_names_sum_1m)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_dag_encode_integer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_integer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_encode_floats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_floats)->Unit(benchmark::kMillisecond);

}  // namespace
