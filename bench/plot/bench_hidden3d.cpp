// Hidden-surface removal against gnuplot's `set hidden3d`: z = sin(x) cos(y) sampled on n x n
// grids (50, 100, 200) over [-3, 3]^2, both programs writing an SVG file of the surface seen
// from the same angle.  Ours: reading the PLOT3D GRID structure, building, transforming and
// lighting the drawables, the sweep and the SVG writer.  gnuplot: the whole process (start-up
// included, as a user would run it) on a data file written beforehand.  After the runs the
// time ratios (ours / gnuplot) are printed per size.
//
// Measured (Release, -O3, one run each, machine shared): before the fast number writer, load
// average about 25: ratios 0.233 / 0.478 / 0.579 at 50 / 100 / 200 (the C library's "%.2f" was
// over 40% of the instructions of a 200 x 200 run); after, load average about 29: 0.136 / 0.373 /
// 0.244 (instructions of the 200 x 200 run 3.14 G -> 2.12 G under callgrind).  The load makes single
// ratios uncertain by tens of percent.
//
// The span table's blocks (a search passes a run of links at once where bounds on x settle it),
// prefetching in the sweep's feed, and this file's colours written by hand through a 1 MB
// buffer, and the plot library's calls bound inside it: seven interleaved runs each, medians,
// load average 2 to 5 (other builds running); the old sweep with the new SVG writer 0.321 /
// 0.621 / 0.546 (22.9 / 96.4 / 447.5 ms), the new sweep 0.294 / 0.529 / 0.461 (20.5 / 84.2 /
// 359.6 ms) at 50 / 100 / 200; single runs of the ratio at 100 spread from 0.41 to 0.71.  What is left at 100 x 100 (perf): the event heap's pop 15 % and
// insert 3 % (its order of equal keys shows in the output, so the heap stays as it is),
// crossings 10 %, span walks to the visible owner 3 %, the SVG text 5 %, page faults 4 %.
//
// The heap's pop two levels per step, the depth trees' scratch lists kept between calls (230,000
// allocations fewer at 100 x 100) and this file's text and stdio buffers reused: seven
// interleaved full runs each, medians of the per-run ratios, load average 2.3 to 7.7; before
// 0.283 / 0.582 / 0.460 (20.6 / 98.5 / 364.3 ms), after 0.254 / 0.485 / 0.415 (17.5 / 75.1 /
// 314.9 ms); single runs of the ratio at 100 spread from 0.40 to 0.69.  The largest cost left
// outside the sweep is fresh memory: the "draw" area (about 4.3 MB at 100 x 100) is freed after
// each run, the C library gives the pages back and the next run faults them in again; with
// trimming switched off (an experiment, not kept) the 100 x 100 run took 0.86x its time (minima)
// and 0.67x (medians, load about 8).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "plot/plot_hidden_surface.h"
#include "plot/plot_read.h"
#include "plot/render/pipeline.h"
#include "tovu/dag.h"
#include "tovu/errors.h"

namespace {

double sample(int n, int i) { return -3 + 6.0 * i / (n - 1); }

Dag flt(double v) {
    long m = std::lround(v * 1e8);
    return dag_new2(DAG_RATIONAL, dag_of_int(m), dag_of_int(100000000));
}

Dag gridStructure(int n) {
    Dag rows = dag_new(n + 1, DAG_EXPSEQ);
    for (int i = 0; i < n; ++i) {
        Dag row = dag_new(n + 1, DAG_EXPSEQ);
        for (int j = 0; j < n; ++j) dag_set_op(row, j + 1, flt(std::sin(sample(n, i)) * std::cos(sample(n, j))));
        dag_set_op(rows, i + 1, dag_new1(DAG_LIST, row));
    }
    Dag range = dag_new2(DAG_RANGE, flt(-3), flt(3));
    Dag args = dag_new3(DAG_EXPSEQ, range, range, dag_new1(DAG_LIST, rows));
    Dag grid = dag_new2(DAG_FUNCTION, dag_name("GRID"), args);
    Dag proj = dag_new2(DAG_FUNCTION, dag_name("PROJECTION"), dag_new3(DAG_EXPSEQ, dag_of_int(60), dag_of_int(30), dag_of_int(1)));
    return dag_new2(DAG_EXPSEQ, grid, proj);
}

void setup() {
    static bool done = false;
    if (done) return;
    tovu_start();
    plot_hidden_surface_install();
    done = true;
}

// An SVG output side writing straight to a file.
struct SvgFile {
    PlotOutputCallbacks cb{};
    std::FILE* f = nullptr;
};
SvgFile* of(PlotOutputCallbacks* cb) { return reinterpret_cast<SvgFile*>(cb); }

// Appends v as "%.2f" would write it.  The C library's conversion is exact and slow (it was over
// 40% of a 200 x 200 run); hundredths rounded from v * 100 give the same text except where v * 100
// lies too near a half, a zero or the limits, which are left to snprintf.
void appendFixed2(std::string& out, double v) {
    double scaled = v * 100;
    if (std::isfinite(scaled) && std::fabs(scaled) < 1e15) {
        double whole = std::nearbyint(scaled);
        double off = std::fabs(scaled - whole);
        if (whole != 0 && off < 0.5 - 1e-6) {
            long long hundredths = static_cast<long long>(whole);
            unsigned long long m = hundredths < 0 ? 0ull - static_cast<unsigned long long>(hundredths)
                                                  : static_cast<unsigned long long>(hundredths);
            char digits[24];
            int k = 0;
            while (m > 0 || k < 4) {   // two decimals, the point, one whole digit at least
                digits[k++] = static_cast<char>('0' + m % 10);
                m /= 10;
                if (k == 2) digits[k++] = '.';
            }
            if (hundredths < 0) out.push_back('-');
            while (k > 0) out.push_back(digits[--k]);
            return;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", v);
    out += text;
}

// Appends w's colour as "%06x" would write it.
void appendColour(std::string& out, ColourWord w) {
    static const char hex[] = "0123456789abcdef";
    for (int shift = 20; shift >= 0; shift -= 4) out.push_back(hex[(w >> shift) & 0xF]);
}

// The element texts are built in one string kept between calls, so that writing an element
// allocates nothing.
std::string element;

void svgPolygon(PlotOutputCallbacks* cb, int n, const double* xs, const double* ys, ColourWord w) {
    std::string& text = element;
    text = "<polygon points='";
    for (int i = 0; i < n; ++i) {
        appendFixed2(text, 300 + 250 * xs[i]);
        text.push_back(',');
        appendFixed2(text, 300 - 250 * ys[i]);
        text.push_back(' ');
    }
    text += "' fill='#";
    appendColour(text, w);
    text += "' stroke='black' stroke-width='0.3'/>\n";
    std::fputs(text.c_str(), of(cb)->f);
}
void svgLine(PlotOutputCallbacks* cb, double x1, double y1, double x2, double y2, ColourWord w) {
    std::string& text = element;
    text = "<line x1='";
    appendFixed2(text, 300 + 250 * x1);
    text += "' y1='";
    appendFixed2(text, 300 - 250 * y1);
    text += "' x2='";
    appendFixed2(text, 300 + 250 * x2);
    text += "' y2='";
    appendFixed2(text, 300 - 250 * y2);
    text += "' stroke='#";
    appendColour(text, w);
    text += "'/>\n";
    std::fputs(text.c_str(), of(cb)->f);
}
void svgText(PlotOutputCallbacks* cb, double x, double y, const char* t, int, ColourWord, int) {
    std::fprintf(of(cb)->f, "<text x='%.2f' y='%.2f' font-size='10'>%s</text>\n", 300 + 250 * x, 300 - 250 * y, t);
}
void svgPoint(PlotOutputCallbacks* cb, double x, double y, ColourWord w) {
    std::fprintf(of(cb)->f, "<circle cx='%.2f' cy='%.2f' r='1' fill='#%06x'/>\n", 300 + 250 * x, 300 - 250 * y, w & 0xFFFFFF);
}

std::map<int, double> oursSeconds, gnuplotSeconds;

struct RatioPrinter {
    ~RatioPrinter() {
        if (oursSeconds.empty()) return;
        std::printf("\nhidden-surface SVG, time ratio kelvo / gnuplot (below 1: kelvo faster)\n");
        for (const auto& [n, ours] : oursSeconds) {
            auto g = gnuplotSeconds.find(n);
            if (g == gnuplotSeconds.end() || g->second <= 0) continue;
            std::printf("  %3d x %-3d  kelvo %8.1f ms  gnuplot %8.1f ms  ratio %.3f\n", n, n, ours * 1e3,
                        g->second * 1e3, ours / g->second);
        }
    }
} printer;

std::string tempFile(const char* stem, int n, const char* ext) {
    return std::string("/tmp/bench_hidden3d_") + stem + "_" + std::to_string(n) + ext;
}

void BM_hidden3d_kelvo(benchmark::State& state) {
    setup();
    const int n = static_cast<int>(state.range(0));
    Dag structure = gridStructure(n);
    std::string out = tempFile("kelvo", n, ".svg");
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        OwnedArea area(STORAGE_ALIGN8, "plot");
        StorageArea draw;
        storage_init(&draw, STORAGE_ALIGN8, "draw");
        SvgFile svg;
        svg.cb.polygon = svgPolygon;
        svg.cb.line = svgLine;
        svg.cb.text = svgText;
        svg.cb.point = svgPoint;
        svg.cb.background = 0xFFFFFF;
        svg.f = std::fopen(out.c_str(), "w");
        if (!svg.f) {
            state.SkipWithError("cannot write the SVG file");
            break;
        }
        // A few MB of SVG: large writes, from a buffer kept between runs (one the C library
        // allocated would be mapped and unmapped again on every run).
        static char buffer[1 << 20];
        std::setvbuf(svg.f, buffer, _IOFBF, sizeof buffer);
        std::fputs("<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='600' height='600'>\n", svg.f);
        try {
            TovuHandlerGuard guard;
            PlotRecord* plot = plot_read_structure(structure, 3, area.get());
            plot_render(plot, &svg.cb, &draw);
        } catch (const TovuError& e) {
            state.SkipWithError(e.what());
        }
        std::fputs("</svg>\n", svg.f);
        std::fclose(svg.f);
        storage_free(&draw);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (runs) oursSeconds[n] = total / runs;
}
BENCHMARK(BM_hidden3d_kelvo)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_hidden3d_gnuplot(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string data = tempFile("gnuplot", n, ".dat"), out = tempFile("gnuplot", n, ".svg");
    {
        std::ofstream d(data);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                d << sample(n, i) << ' ' << sample(n, j) << ' ' << std::sin(sample(n, i)) * std::cos(sample(n, j)) << '\n';
            d << '\n';
        }
    }
    std::string command = "gnuplot -e \"set terminal svg size 600,600; set output '" + out +
                          "'; set view 60,30; set hidden3d; splot '" + data + "' with lines notitle\" 2>/dev/null";
    double total = 0;
    long runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gnuplot failed (is gnuplot-nox installed?)");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    if (runs) gnuplotSeconds[n] = total / runs;
}
BENCHMARK(BM_hidden3d_gnuplot)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
