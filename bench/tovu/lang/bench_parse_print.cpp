// Parsing a generated source text of 10 MB of mixed statements (assignments, arithmetic, calls,
// lists and sets, procedures, conditionals and loops), statement after statement as the
// worksheet splits an input: parsing alone, and parsing with printing back.  Throughput is
// reported in bytes per second; the goal for parsing alone is at least 50 MB/s.
//
// Measured (Release, -O3, machine shared, load average about 25 on 8 cores; CPU time, medians of
// four interleaved runs of the two builds): before the direct text reading, the bulk character
// runs, the inlined grammar levels and the 16-byte parser values 403 ms (24.8 MB/s); after
// 322 ms (31 MB/s), 1.25x.  The generated parser's reductions (one per operator level an operand
// climbs) were then over half of the time.  With the levels folded by precedence and names and
// integers taken straight into the operand level (an operand climbs five or six levels instead
// of sixteen), medians of five runs of each build, interleaved, load average about 1.3:
// 273 ms (36.6 MiB/s) before, 189-195 ms (51.4-53.0 MiB/s) after, 1.43x; with printing 420 ms
// before, 339-345 ms after.  The scanner is now about a third of the time.

#include <benchmark/benchmark.h>

#include <functional>
#include <random>
#include <string>

#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"

namespace {

void init_library() {
    static bool ready = [] {
        tovu_start();
        return true;
    }();
    (void)ready;
}

// A seeded generator of statements, so every run parses the same text.
std::string generate_source(std::size_t bytes) {
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const char* names[] = {"x", "y", "alpha", "beta_2", "`a name`", "%x1", "f", "g", "L", "n"};
    auto name = [&] { return std::string(names[pick(10)]); };
    auto number = [&] {
        switch (pick(4)) {
        case 0: return std::to_string(rng() % 1000);
        case 1: return std::to_string(rng() % 100) + "." + std::to_string(rng() % 10000);
        case 2: return std::to_string(rng()) + std::to_string(rng());
        default: return std::to_string(rng() % 10) + ".5e" + std::to_string(int(rng() % 20) - 10);
        }
    };
    std::function<std::string(int)> expr = [&](int depth) -> std::string {
        if (depth == 0) return pick(2) ? name() : number();
        switch (pick(9)) {
        case 0: return expr(depth - 1) + "+" + expr(depth - 1) + "*" + expr(depth - 1);
        case 1: return "((" + expr(depth - 1) + "-" + expr(depth - 1) + ")/" + expr(depth - 1) + "^2)";
        case 2: return name() + "(" + expr(depth - 1) + ", " + expr(depth - 1) + ")";
        case 3: return "[" + expr(depth - 1) + ", " + expr(depth - 1) + "]";
        case 4: return "{" + expr(depth - 1) + "}";
        case 5: return name() + "[" + expr(depth - 1) + "]";
        case 6: return "(-" + expr(depth - 1) + "^(" + expr(depth - 1) + "))";
        case 7: return "\"text " + std::to_string(rng() % 100) + "\"";
        default: return "(" + expr(depth - 1) + " .. " + expr(depth - 1) + ")";
        }
    };
    std::string text;
    while (text.size() < bytes) {
        switch (pick(6)) {
        case 0:
            text += name() + " := " + expr(3) + ";\n";
            break;
        case 1:
            text += "f := proc(a, b::integer) local t; t := a*b + " + expr(2) + "; t end;\n";
            break;
        case 2:
            text += "if " + expr(2) + " < " + expr(2) + " then " + expr(2) + " else " + expr(2) + " fi;\n";
            break;
        case 3:
            text += "for i from 1 to 10 do s := s + " + expr(2) + " od:\n";
            break;
        case 4:
            text += "g := (u, v) -> " + expr(3) + ";  # comment\n";
            break;
        default:
            text += expr(4) + ";\n";
        }
    }
    return text;
}

void sink(void* data, int) { ++*static_cast<std::size_t*>(data); }

const std::string& source10MB() {
    static const std::string text = generate_source(10u << 20);
    return text;
}

// Every statement of the text parsed; false (with the reason in the state) when one fails.
template <class Each>
bool parseAll(benchmark::State& state, const std::string& text, Each each) {
    std::size_t offset = 0;
    int statements = 0;
    while (offset < text.size()) {
        int consumed = 0;
        const char* error = nullptr;
        Dag d = parse_text_full(text.c_str() + offset, &error, nullptr, &consumed, nullptr, nullptr,
                                nullptr, nullptr, false);
        if (d == nullptr || consumed <= 0) {
            static std::string why;
            why = std::string("generated text did not parse: ") + (error ? error : "") +
                  " at: " + text.substr(offset, 120);
            state.SkipWithError(why.c_str());
            return false;
        }
        each(d);
        offset += std::size_t(consumed);
        if (++statements % 1000 == 0) storage_reset();   // keep the working storage small
    }
    storage_reset();
    return true;
}

void BM_parse_mixed_10MB(benchmark::State& state) {
    init_library();
    const std::string& text = source10MB();
    for (auto _ : state)
        if (!parseAll(state, text, [](Dag d) { benchmark::DoNotOptimize(d); })) return;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_parse_mixed_10MB)->Unit(benchmark::kMillisecond);

void BM_parse_print_mixed_10MB(benchmark::State& state) {
    init_library();
    const std::string& text = source10MB();
    std::size_t printed = 0;
    for (auto _ : state)
        if (!parseAll(state, text, [&](Dag d) { print_expression(d, sink, nullptr, 80, 0, &printed); }))
            return;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
    state.counters["printed_chars"] = double(printed) / double(state.iterations());
}
BENCHMARK(BM_parse_print_mixed_10MB)->Unit(benchmark::kMillisecond);

}  // namespace
