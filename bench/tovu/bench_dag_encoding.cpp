// Throughput of the DAG text writer and reader on three large inputs, in MB of text per second:
//   BM_dag_encode_* / BM_dag_decode_*  with  sum      a sum of 100,000 terms (x_i * i),
//                                            integer  an integer of 100,000 decimal digits,
//                                            floats   a list of 100,000 FLOAT values.
// A DAG holds at most 131071 words, so the sum is four SUMs of 25,000 terms inside one SUM.
// The inputs live in an area of their own; the default area is reset between iterations.

#include <benchmark/benchmark.h>

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

Dag makeSum() {
    StoragePush push(inputArea());
    constexpr int kParts = 4, kTerms = 25000;
    Dag outer = dag_new(2 * kParts + 1, DAG_SUM);
    for (int p = 0; p < kParts; ++p) {
        Dag part = dag_new(2 * kTerms + 1, DAG_SUM);
        for (int i = 0; i < kTerms; ++i) {
            std::string name = "x" + std::to_string(p * kTerms + i);
            dag_set_op(part, 2 * i + 1, dag_name(name.c_str()));
            dag_set_op(part, 2 * i + 2, dag_of_int(p * kTerms + i + 1));
        }
        dag_set_op(outer, 2 * p + 1, part);
        dag_set_op(outer, 2 * p + 2, dag_one);
    }
    return outer;
}

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

void decode(benchmark::State& state, Dag (*make)()) {
    static_cast<void>(inputArea());
    std::string text = dag_to_text(make());
    for (auto _ : state) {
        Dag d = dag_from_text(text);
        if (!d) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(d);
        state.PauseTiming();
        storage_reset();
        state.ResumeTiming();
    }
    setRate(state, text.size());
}

void BM_dag_encode_sum(benchmark::State& s) { encode(s, makeSum); }
void BM_dag_decode_sum(benchmark::State& s) { decode(s, makeSum); }
void BM_dag_encode_integer(benchmark::State& s) { encode(s, makeInteger); }
void BM_dag_decode_integer(benchmark::State& s) { decode(s, makeInteger); }
void BM_dag_encode_floats(benchmark::State& s) { encode(s, makeFloats); }
void BM_dag_decode_floats(benchmark::State& s) { decode(s, makeFloats); }

BENCHMARK(BM_dag_encode_sum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_sum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_encode_integer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_integer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_encode_floats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dag_decode_floats)->Unit(benchmark::kMillisecond);

}  // namespace
