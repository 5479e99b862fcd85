// Our kernel against GiNaC called directly on the same work.  Each iteration runs the statement
// through kernel_evaluate (parsed once beforehand; the result converted to a DAG and handed to
// the query callback, as in a worksheet) and then the same computation in GiNaC alone; the
// counters give both times per iteration and their ratio (kernel / GiNaC), the layer's overhead.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include <ginac/ginac.h>

#include "bench_kernel_start.h"
#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

namespace {

Dag onQuery(void* link, Dag reply) {
    ++*static_cast<long*>(link);
    benchmark::DoNotOptimize(reply);
    return nullptr;
}
int onPoll(void*) { return 0; }

Dag parseStatement(const char* statement, int* flag) {
    *flag = 0;
    return parse_text_full(statement, nullptr, nullptr, nullptr, nullptr, flag, nullptr, nullptr, false);
}

// `repeat` evaluations of the statement against `repeat` runs of `direct` per iteration; `setup`
// (when given) is evaluated once before each iteration's evaluations and is not timed.
void compare(benchmark::State& state, const char* statement, const std::function<void()>& direct,
             int repeat = 1, const char* setup = nullptr) {
    bench_start_kernel();
    int flag = 0, setupFlag = 0;
    Dag stmt = parseStatement(statement, &flag);
    Dag setupStmt = setup ? parseStatement(setup, &setupFlag) : nullptr;
    if (stmt == nullptr || (setup && setupStmt == nullptr)) {
        state.SkipWithError("statement does not parse");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double kernelSeconds = 0, ginacSeconds = 0;
    long replies = 0;
    for (auto _ : state) {
        if (setupStmt) kernel_evaluate(setupStmt, onQuery, onPoll, setupFlag, 1, &replies);
        auto t0 = Clock::now();
        for (int i = 0; i < repeat; ++i) kernel_evaluate(stmt, onQuery, onPoll, flag, 1, &replies);
        auto t1 = Clock::now();
        for (int i = 0; i < repeat; ++i) direct();
        auto t2 = Clock::now();
        kernelSeconds += std::chrono::duration<double>(t1 - t0).count();
        ginacSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    double n = double(state.iterations());
    state.counters["kernel_ms"] = 1000 * kernelSeconds / n;
    state.counters["ginac_ms"] = 1000 * ginacSeconds / n;
    state.counters["ratio"] = ginacSeconds > 0 ? kernelSeconds / ginacSeconds : 0;
}

void BM_kernel_expand_power_20(benchmark::State& state) {
    GiNaC::symbol x("x"), y("y"), z("z");
    compare(state, "expand((1+x+y+z)^20);", [&] {
        GiNaC::ex e = GiNaC::pow(1 + x + y + z, 20).expand();
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_expand_power_20)->Unit(benchmark::kMillisecond);

// The same with ":" : no result is sent, so this is the interpreter's own overhead without the
// conversion of the 1771-term result into DAGs.
void BM_kernel_expand_power_20_no_result(benchmark::State& state) {
    GiNaC::symbol x("x"), y("y"), z("z");
    compare(state, "expand((1+x+y+z)^20):", [&] {
        GiNaC::ex e = GiNaC::pow(1 + x + y + z, 20).expand();
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_expand_power_20_no_result)->Unit(benchmark::kMillisecond);

void BM_kernel_factorial_2000(benchmark::State& state) {
    compare(state, "factorial(2000);", [] {
        GiNaC::ex e = GiNaC::factorial(2000);
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_factorial_2000)->Unit(benchmark::kMillisecond);

void BM_kernel_series_200_terms(benchmark::State& state) {
    GiNaC::symbol x("x");
    compare(state, "series(exp(x),x,200);", [&] {
        GiNaC::ex e = GiNaC::exp(x).series(x == 0, 200);
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_series_200_terms)->Unit(benchmark::kMillisecond);

// ---- the mathematics a user types, through the kernel and through GiNaC alone ----------------

void BM_kernel_factor_difference(benchmark::State& state) {
    GiNaC::symbol x("x");
    compare(state, "factor(x^30-1);", [&] {
        GiNaC::ex e = GiNaC::factor(GiNaC::pow(x, 30) - 1);
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_factor_difference)->Unit(benchmark::kMillisecond);

// The kernel evaluates floats twice, at ten and twenty guard digits, to be sure of every digit;
// GiNaC alone is not checked at all, so this ratio stays near 2.
void BM_kernel_evalf_50_digits(benchmark::State& state) {
    compare(state, "evalf(exp(Pi*163^(1/2))+sin(10^20), 50);", [] {
        long saved = GiNaC::Digits;
        GiNaC::Digits = 60;
        GiNaC::ex e = (GiNaC::exp(GiNaC::Pi * GiNaC::sqrt(GiNaC::ex(163))) +
                       GiNaC::sin(GiNaC::pow(GiNaC::numeric(10), 20))).evalf();
        GiNaC::Digits = saved;
        benchmark::DoNotOptimize(e);
    });
}
BENCHMARK(BM_kernel_evalf_50_digits)->Unit(benchmark::kMillisecond);

void BM_kernel_loop_of_small_evaluations(benchmark::State& state) {
    GiNaC::symbol x("x");
    compare(state, "add(i^2*x, i=1..10000):", [&] {
        GiNaC::ex s = 0;
        for (int i = 1; i <= 10000; ++i) s = s + GiNaC::pow(GiNaC::numeric(i), 2) * x;
        benchmark::DoNotOptimize(s);
    });
}
BENCHMARK(BM_kernel_loop_of_small_evaluations)->Unit(benchmark::kMillisecond);

// An interpreted loop of 10,000 assignments against the same arithmetic in GiNaC.
void BM_kernel_loop_sum_of_squares(benchmark::State& state) {
    compare(state, "for i to 10000 do s := s+i^2 od:", [] {
        GiNaC::ex s = 0;
        for (int i = 1; i <= 10000; ++i) s = s + GiNaC::pow(GiNaC::ex(i), 2);
        benchmark::DoNotOptimize(s);
    }, 1, "s := 0:");
}
BENCHMARK(BM_kernel_loop_sum_of_squares)->Unit(benchmark::kMillisecond);

// The peer benchmark's loop of 100,000 steps, each a builtin call on machine-size integers.
void BM_kernel_loop_irem_100000(benchmark::State& state) {
    compare(state, "for i from 1 to 100000 do s := s + irem(i^2, 7) od:", [] {
        GiNaC::ex s = 0;
        for (long i = 1; i <= 100000; ++i) s = s + GiNaC::irem(GiNaC::numeric(i * i), GiNaC::numeric(7));
        benchmark::DoNotOptimize(s);
    }, 1, "s := 0:");
}
BENCHMARK(BM_kernel_loop_irem_100000)->Unit(benchmark::kMillisecond);

// The peer benchmark's recursive procedure: 242,785 calls, each a comparison and a sum.
void BM_kernel_loop_recursive_fib_25(benchmark::State& state) {
    compare(state, "fib(25);", [] {
        std::function<GiNaC::numeric(const GiNaC::numeric&)> fib = [&](const GiNaC::numeric& n) {
            return n < 2 ? n : fib(n - 1) + fib(n - 2);
        };
        GiNaC::numeric r = fib(25);
        benchmark::DoNotOptimize(r);
    }, 1, "fib := proc(n) if n < 2 then n else fib(n-1) + fib(n-2) fi end:");
}
BENCHMARK(BM_kernel_loop_recursive_fib_25)->Unit(benchmark::kMillisecond);

// 10,000 separate statements, each with its result sent: the cost of one small request.
void BM_kernel_diff_10000_statements(benchmark::State& state) {
    GiNaC::symbol x("x");
    compare(state, "diff(x^3*sin(x),x);", [&] {
        GiNaC::ex e = (GiNaC::pow(x, 3) * GiNaC::sin(x)).diff(x);
        benchmark::DoNotOptimize(e);
    }, 10000);
}
BENCHMARK(BM_kernel_diff_10000_statements)->Unit(benchmark::kMillisecond);

// ---- interrupt latency ---------------------------------------------------------------------------

// From the moment the poll first answers "interrupt" to the INTR reply, for computations that
// spend their time inside one GMP, CLN or GiNaC call.  Goal: below 1000 ms.
struct LatencyLink {
    std::chrono::steady_clock::time_point interruptAt, intrAt;
    bool interrupted = false, intr = false;
};

Dag latencyQuery(void* link, Dag reply) {
    auto* l = static_cast<LatencyLink*>(link);
    if (std::string(dag_text(dag_op(reply, 1))) == "INTERFACE_INTR") {
        l->intr = true;
        l->intrAt = std::chrono::steady_clock::now();
    }
    return nullptr;
}

int latencyPoll(void* link) {
    auto* l = static_cast<LatencyLink*>(link);
    auto now = std::chrono::steady_clock::now();
    if (!l->interrupted && now >= l->interruptAt) {
        l->interrupted = true;
        l->interruptAt = now;
    }
    return l->interrupted ? 1 : 0;
}

void interruptLatency(benchmark::State& state, const char* statement, int afterMs) {
    bench_start_kernel();
    int flag = 0;
    Dag stmt = parse_text_full(statement, nullptr, nullptr, nullptr, nullptr, &flag, nullptr,
                               nullptr, false);
    double worst = 0, total = 0;
    for (auto _ : state) {
        LatencyLink link;
        link.interruptAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(afterMs);
        kernel_evaluate(stmt, latencyQuery, latencyPoll, flag, 1, &link);
        if (!link.intr) {
            state.SkipWithError("finished before the interrupt");
            return;
        }
        double ms = std::chrono::duration<double, std::milli>(link.intrAt - link.interruptAt).count();
        worst = std::max(worst, ms);
        total += ms;
    }
    state.counters["latency_ms"] = total / double(state.iterations());
    state.counters["worst_ms"] = worst;
}

void BM_interrupt_factor(benchmark::State& state) { interruptLatency(state, "factor(x^100-1):", 300); }
BENCHMARK(BM_interrupt_factor)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_interrupt_huge_power(benchmark::State& state) { interruptLatency(state, "y := 2^(10^9):", 300); }
BENCHMARK(BM_interrupt_huge_power)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
