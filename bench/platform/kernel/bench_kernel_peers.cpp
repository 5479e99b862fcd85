// Our kernel side by side with Maxima and SymPy on fifteen typical workloads, in one run.
//
// Each workload is written once per system.  The kernel runs it in this process through
// kernel_evaluate (statements parsed beforehand, results converted to DAGs as for a
// worksheet); Maxima (`maxima`) and SymPy (Debian's /usr/bin/python3) each run it in a
// process of their own that times the workload itself and prints the time and a check value.
// Timing inside the peer's process is how its start-up (Lisp image, `import sympy`) is taken
// out; the start-up is measured too (an empty workload's wall time) and shown once.  Every
// system runs every workload three times; the rows give the medians, the ratio of our time to
// the faster peer's (below 1: we are faster) and whether the three check values agree.
//
// Counters of a row: kernel_ms, maxima_ms, sympy_ms, ratio, agree (1 or 0).  A peer that is
// not installed shows -1 and the row's ratio compares with the other one.  Maxima's clock counts
// in 10 ms steps: a workload that takes it about one step runs several times in one Maxima
// process (maxima_repeat) and the time is divided; other times below 10 ms show as 10.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_kernel_start.h"
#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"

namespace {

constexpr int kRuns = 3;
constexpr double kMaximaClockMs = 10;   // the resolution of Maxima's elapsed_real_time

// How the check values are compared: exactly (after dropping spaces and case) or as numbers
// to a relative 1e-8 (floats print with different digits in each system).
enum class Check { Exact, Float };

struct Workload {
    const char* name;
    std::vector<std::string> kernel;   // statements; the last one's RESULT is the check value
    const char* maxima;                // statements ending with check: <value>$
    const char* sympy;                 // Python lines ending with check = <value>
    Check compare;
    // The kernel's check value from the printed RESULT (null: as printed).
    std::string (*kernelCheck)(const std::string&) = nullptr;
    // Times Maxima runs the workload in one process, for workloads near its clock's step.
    int maximaRepeat = 1;
};

// Fraction digits 9971..9980 of a printed 10,000-digit Pi (away from the last, rounded one).
std::string piDigits(const std::string& printed) {
    std::size_t dot = printed.find('.');
    if (dot == std::string::npos || printed.size() < dot + 9981) return printed.substr(0, 20);
    return printed.substr(dot + 9971, 10);
}

const std::vector<Workload>& workloads() {
    static const std::vector<Workload> w = {
        {"expand_power_20", {"nops(expand((x+y+z+1)^20));"},
         "check: length(expand((x+y+z+1)^20))$",
         "check = len(expand((x+y+z+1)**20).args)", Check::Exact},
        {"factor_x100_minus_1", {"nops(factor(x^100-1));"},
         "check: length(factor(x^100-1))$",
         "check = len(factor(x**100-1).args)", Check::Exact},
        {"factor_three_multivariate_powers",
         {"nops(factor(expand((x+y+z+1)^5*(x*y-z+2)^4*(x^2-y*z+3)^3)));"},
         "f: factor(expand((x+y+z+1)^5*(x*y-z+2)^4*(x^2-y*z+3)^3))$ "
         "check: if op(f) = \"-\" then length(-f) else length(f)$",
         "check = len(factor(expand((x+y+z+1)**5*(x*y-z+2)**4*(x**2-y*z+3)**3)).args)", Check::Exact},
        {"gcd_dense_degree_200",
         {"g := add((k+1)*x^k, k=0..100):", "p := expand(g*add((k^2+1)*x^k, k=0..100)):",
          "q := expand(g*add((2*k+3)*x^k, k=0..100)):", "degree(gcd(p, q), x);"},
         "g: sum((k+1)*x^k, k, 0, 100)$ p: expand(g*sum((k^2+1)*x^k, k, 0, 100))$ "
         "q: expand(g*sum((2*k+3)*x^k, k, 0, 100))$ check: hipow(gcd(p, q), x)$",
         "g = sum((k+1)*x**k for k in range(101))\n"
         "p = expand(g*sum((k**2+1)*x**k for k in range(101)))\n"
         "q = expand(g*sum((2*k+3)*x**k for k in range(101)))\n"
         "check = degree(gcd(p, q), x)", Check::Exact},
        {"fifth_derivative", {"evalf(subs(x=1/2, diff(sin(x)^3*exp(x^2)/(1+x^2), x, x, x, x, x)));"},
         "check: float(subst(1/2, x, diff(sin(x)^3*exp(x^2)/(1+x^2), x, 5)))$",
         "check = N(diff(sin(x)**3*exp(x**2)/(1+x**2), x, 5).subs(x, Rational(1, 2)))", Check::Float},
        {"int_x5_exp_sin", {"F := int(x^5*exp(x)*sin(x), x):", "evalf(subs(x=1, F) - subs(x=0, F));"},
         "F: integrate(x^5*exp(x)*sin(x), x)$ check: float(subst(1, x, F) - subst(0, x, F))$",
         "F = integrate(x**5*exp(x)*sin(x), x)\ncheck = N(F.subs(x, 1) - F.subs(x, 0))", Check::Float},
        {"series_sin_tan_30", {"coeff(series(sin(tan(x)), x=0, 30), x, 29);"},
         "check: coeff(taylor(sin(tan(x)), x, 0, 29), x, 29)$",
         "check = series(sin(tan(x)), x, 0, 30).removeO().coeff(x, 29)", Check::Exact, nullptr, 20},
        {"factorial_2000_and_ifactor",
         {"f := ifactor(2^64+1):", "[irem(2000!, 1000007), nops(f)];"},
         "f: ifactors(2^64+1)$ check: [mod(2000!, 1000007), length(f)]$",
         "f = factorint(2**64+1)\ncheck = [factorial(2000) % 1000007, len(f)]", Check::Exact},
        {"pi_10000_digits", {"evalf(Pi, 10000);"},
         "fpprec: 10000$ s: string(bfloat(%pi))$ check: substring(s, 9973, 9983)$",
         "s = str(N(pi, 10000))\ncheck = s[9972:9982]", Check::Exact, piDigits},
        {"symbolic_linear_system_4x4",
         {"s := solve({a*x+y+z+w=1, x+b*y+z+w=2, x+y+c*z+w=3, x+y+z+d*w=4}, {x,y,z,w}):",
          "normal(subs({a=2,b=3,c=5,d=7}, subs(s, x)));"},
         "s: solve([a*x+y+z+w=1, x+b*y+z+w=2, x+y+c*z+w=3, x+y+z+d*w=4], [x,y,z,w])$ "
         "check: ratsimp(subst([a=2,b=3,c=5,d=7], rhs(s[1][1])))$",
         "s = solve([a*x+y+z+w-1, x+b*y+z+w-2, x+y+c*z+w-3, x+y+z+d*w-4], [x, y, z, w])\n"
         "check = simplify(s[x].subs({a: 2, b: 3, c: 5, d: 7}))", Check::Exact},
        {"loop_100000_steps",
         {"s := 0:", "for i from 1 to 100000 do s := s + irem(i^2, 7) od:", "s;"},
         "s: 0$ for i: 1 thru 100000 do s: s + mod(i^2, 7)$ check: s$",
         "s = 0\nfor i in range(1, 100001):\n    s = s + (i**2) % 7\ncheck = s", Check::Exact},
        {"sum_inverse_squares_10000", {"s := sum(1/k^2, k=1..10000):", "evalf(s);"},
         "s: sum(1/k^2, k, 1, 10000)$ check: float(s)$",
         "s = sum(Rational(1, k**2) for k in range(1, 10001))\ncheck = N(s)", Check::Float},
        {"isprime_mersenne_127", {"isprime(2^127-1);"},
         "check: primep(2^127-1)$", "check = isprime(2**127-1)", Check::Exact},
        {"two_limits", {"[limit(sin(x)/x, x=0), limit((2*x^2+1)/(x^2-3), x=infinity)];"},
         "check: [limit(sin(x)/x, x, 0), limit((2*x^2+1)/(x^2-3), x, inf)]$",
         "check = [limit(sin(x)/x, x, 0), limit((2*x**2+1)/(x**2-3), x, oo)]", Check::Exact},
        {"recursive_fib_25",
         {"fib := proc(n) if n < 2 then n else fib(n-1) + fib(n-2) fi end:", "fib(25);"},
         "fib(n) := if n < 2 then n else fib(n-1) + fib(n-2)$ check: fib(25)$",
         "def fib(n):\n    return n if n < 2 else fib(n-1) + fib(n-2)\ncheck = fib(25)", Check::Exact},
    };
    return w;
}

// ---- our kernel ---------------------------------------------------------------------------------

struct KernelReplies {
    std::string lastResult;
};

Dag onQuery(void* link, Dag reply) {
    if (std::string(dag_text(dag_op(reply, 1))) == "INTERFACE_RESULT")
        static_cast<KernelReplies*>(link)->lastResult = print_to_text(dag_op(reply, 2));
    return nullptr;
}
int onPoll(void*) { return 0; }

// Runs the statements once; seconds, and the last RESULT as printed.
double runKernel(const Workload& w, std::string* check) {
    bench_start_kernel();
    std::vector<std::pair<Dag, int>> parsed;
    for (const std::string& s : w.kernel) {
        int flag = 0;
        Dag d = parse_text_full(s.c_str(), nullptr, nullptr, nullptr, nullptr, &flag, nullptr, nullptr, false);
        if (d == nullptr) return -1;
        parsed.push_back({d, flag});
    }
    KernelReplies replies;
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& [d, flag] : parsed) kernel_evaluate(d, onQuery, onPoll, flag, 1, &replies);
    auto t1 = std::chrono::steady_clock::now();
    *check = w.kernelCheck ? w.kernelCheck(replies.lastResult) : replies.lastResult;
    return std::chrono::duration<double>(t1 - t0).count();
}

// ---- the peers ----------------------------------------------------------------------------------

struct PeerRun {
    bool ok = false;
    double seconds = 0;   // the workload itself, timed inside the peer
    std::string check;
};

// Runs a command, answers its standard output.
bool capture(const std::string& command, std::string* out) {
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return false;
    std::array<char, 4096> buffer;
    out->clear();
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0) out->append(buffer.data(), n);
    return pclose(p) == 0;
}

// The text after a line's marker ("CHECK:"), trimmed; the peers echo their input, so the
// markers are printed as two joined halves that the echo does not contain.
std::string after(const std::string& output, const std::string& marker) {
    std::size_t at = 0;
    while ((at = output.find(marker, at)) != std::string::npos) {
        if (at == 0 || output[at - 1] == '\n') {
            std::size_t end = output.find('\n', at);
            std::string v = output.substr(at + marker.size(), end == std::string::npos ? std::string::npos : end - at - marker.size());
            std::size_t a = v.find_first_not_of(" \t"), b = v.find_last_not_of(" \t\r");
            return a == std::string::npos ? std::string() : v.substr(a, b - a + 1);
        }
        ++at;
    }
    return {};
}

std::string scriptFile(const std::string& suffix, const std::string& text) {
    char name[] = "/tmp/kelvo_peer_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) return {};
    close(fd);
    std::string path = std::string(name) + suffix;
    std::rename(name, path.c_str());
    std::ofstream(path) << text;
    return path;
}

// Runs `script` (written to a file with `suffix`) by `command` <file>; the workload's own time
// and check value from the markers it prints.
PeerRun runPeer(const std::string& command, const char* suffix, const std::string& script) {
    std::string path = scriptFile(suffix, script), out;
    PeerRun r;
    r.ok = capture(command + path + " 2>/dev/null", &out);
    std::remove(path.c_str());
    r.check = after(out, "CHECK:");
    std::string t = after(out, "TIME:");
    r.ok = r.ok && !t.empty();
    r.seconds = r.ok ? std::atof(t.c_str()) : 0;
    return r;
}

// The body runs `repeat` times; the time is that of one run.
PeerRun runMaxima(const char* body, int repeat) {
    std::string bodies;
    for (int i = 0; i < repeat; ++i) bodies += std::string(body) + " ";
    PeerRun r = runPeer("maxima --very-quiet --batch=", ".mac",
                        "display2d: false$ t0: elapsed_real_time()$ " + bodies +
                            "t1: elapsed_real_time()$ print(sconcat(\"CHE\", \"CK:\"), check)$ "
                            "print(sconcat(\"TI\", \"ME:\"), t1 - t0)$\n");
    r.seconds /= repeat;
    return r;
}

PeerRun runSympy(const char* body) {
    return runPeer("/usr/bin/python3 ", ".py",
                   "import time\nfrom sympy import *\nx, y, z, w, a, b, c, d = symbols('x y z w a b c d')\n"
                   "t0 = time.perf_counter()\n" + std::string(body) +
                       "\nt1 = time.perf_counter()\nprint('CHE' + 'CK:', check)\nprint('TI' + 'ME:', t1 - t0)\n");
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Lower case without spaces and without a trailing float marker, for exact comparison.
std::string canonical(const std::string& s) {
    std::string r;
    for (char c : s)
        if (c != ' ') r += char(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool agree(Check how, const std::string& a, const std::string& b) {
    if (how == Check::Exact) return canonical(a) == canonical(b);
    char *ea = nullptr, *eb = nullptr;
    double x = std::strtod(a.c_str(), &ea), y = std::strtod(b.c_str(), &eb);
    if (ea == a.c_str() || eb == b.c_str()) return false;
    return std::fabs(x - y) <= 1e-8 * std::max(1.0, std::fabs(y));
}

void startupCounters(benchmark::State& state) {
    // The wall time of an empty workload: the start-up the rows leave out.
    auto wall = [](const std::string& command) {
        std::vector<double> t;
        for (int i = 0; i < kRuns; ++i) {
            std::string out;
            auto t0 = std::chrono::steady_clock::now();
            if (!capture(command, &out)) return -1.0;
            t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        return 1000 * median(t);
    };
    for (auto _ : state) {
        std::string empty = scriptFile(".mac", "display2d: false$\n");
        state.counters["maxima_ms"] = wall("maxima --very-quiet --batch=" + empty + " >/dev/null 2>&1");
        std::remove(empty.c_str());
        state.counters["sympy_ms"] = wall("/usr/bin/python3 -c 'import sympy' >/dev/null 2>&1");
    }
}
BENCHMARK(startupCounters)->Name("BM_peer_startup")->Iterations(1)->Unit(benchmark::kMillisecond);

void compareWorkload(benchmark::State& state, const Workload* w) {
    for (auto _ : state) {
        std::vector<double> ours, maxima, sympy;
        std::string ourCheck, maximaCheck, sympyCheck;
        bool maximaOk = true, sympyOk = true;
        for (int i = 0; i < kRuns; ++i) {
            ours.push_back(runKernel(*w, &ourCheck));
            PeerRun m = runMaxima(w->maxima, w->maximaRepeat);
            maximaOk = maximaOk && m.ok;
            maxima.push_back(m.seconds);
            maximaCheck = m.check;
            PeerRun s = runSympy(w->sympy);
            sympyOk = sympyOk && s.ok;
            sympy.push_back(s.seconds);
            sympyCheck = s.check;
        }
        double k = 1000 * median(ours);
        // Maxima's clock counts in 10 ms steps: a time below one step counts as one step.
        double m = maximaOk ? std::max(1000 * median(maxima), kMaximaClockMs / w->maximaRepeat) : -1;
        double s = sympyOk ? 1000 * median(sympy) : -1;
        double faster = m < 0 ? s : s < 0 ? m : std::min(m, s);
        state.counters["kernel_ms"] = k;
        state.counters["maxima_ms"] = m;
        state.counters["sympy_ms"] = s;
        state.counters["ratio"] = faster > 0 ? k / faster : 0;
        bool same = (!maximaOk || agree(w->compare, ourCheck, maximaCheck)) &&
                    (!sympyOk || agree(w->compare, ourCheck, sympyCheck));
        state.counters["agree"] = same ? 1 : 0;
        if (!same)
            state.SetLabel("kernel " + ourCheck + " | maxima " + maximaCheck + " | sympy " + sympyCheck);
    }
}

int registerWorkloads() {
    for (const Workload& w : workloads())
        benchmark::RegisterBenchmark((std::string("BM_peers_") + w.name).c_str(), compareWorkload, &w)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    return 0;
}
const int registered = registerWorkloads();

}  // namespace
