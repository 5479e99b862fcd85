// Soak: many trivial requests ("1;") through the real kernel, with the resident size sampled
// every 10,000 requests, to show that memory stays flat once warmed up.
//   BM_soak_kernsrv_trivial  1,000,000 requests through a kernsrv process (its resident size)
//   BM_soak_direct_trivial   100,000 requests through the in-process link (this process)
// KELVO_SOAK_REQUESTS overrides both counts.  Each request is parsed from its text into an area
// that is freed after the reply, as the worksheet does.  The samples are printed as they come;
// the counters give the size after the first 10,000 requests, the last size and the growth
// between them, in kB.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_link_support.h"
#include "tovu/parse_driver.h"

namespace {

constexpr long kSampleEvery = 10000;

long requestCount(long fallback) {
    const char* v = std::getenv("KELVO_SOAK_REQUESTS");
    long n = v ? std::strtol(v, nullptr, 10) : 0;
    return n > 0 ? n : fallback;
}

// VmRSS of a process in kB (0 when it cannot be read).
long residentKb(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Runs `requests` requests through `send`, sampling `pid`'s resident size.
template <typename Send>
void soak(benchmark::State& state, const char* label, const std::string& pid, long requests, Send send) {
    OwnedArea requestArea(0, "soak-request");
    std::vector<long> samples;
    for (auto _ : state) {
        for (long i = 1; i <= requests; ++i) {
            {
                StoragePush push(requestArea.get());
                send(parse_text("1;"));
            }
            storage_free(requestArea.get());
            if (i % kSampleEvery == 0) {
                samples.push_back(residentKb(pid));
                std::printf("%s: %ld requests, resident %ld kB\n", label, i, samples.back());
                std::fflush(stdout);
            }
        }
    }
    if (samples.empty()) return;
    state.counters["rss_first_kB"] = double(samples.front());
    state.counters["rss_last_kB"] = double(samples.back());
    state.counters["growth_kB"] = double(samples.back() - samples.front());
    state.SetItemsProcessed(requests);
}

void BM_soak_kernsrv_trivial(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_kernsrv("bench_soak", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    soak(state, "kernsrv", std::to_string(link->serverPid()), requestCount(1000000),
         [&](Dag statement) { bench_kernsrv_round_trip(*link, statement); });
    if (link->state() == KL_DEAD) state.SkipWithError(link->errorText());
}
BENCHMARK(BM_soak_kernsrv_trivial)->Iterations(1)->Unit(benchmark::kSecond);

void BM_soak_direct_trivial(benchmark::State& state) {
    const char* error = nullptr;
    auto link = bench_start_direct("bench_soak", &error);
    if (!link) {
        state.SkipWithError(error);
        return;
    }
    soak(state, "direct", "self", requestCount(100000), [&](Dag statement) { link->startEvaluation(statement, 1); });
}
BENCHMARK(BM_soak_direct_trivial)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
