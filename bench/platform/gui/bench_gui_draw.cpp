// Drawing cost of the GUI layer against QPainter called directly on the same QImage: 10,000
// texts of 80 cp1252 characters and 100,000 lines into one window's back buffer.  The counters
// give both times and their ratio (the layer should stay below 1.5 times the direct calls).
// Run with QT_QPA_PLATFORM=offscreen when no display is there.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <chrono>
#include <string>

#include "platform/gui/Application.h"
#include "platform/gui/Window.h"
#include "platform/gui/qt_text.h"

namespace {

constexpr int kTexts = 10000, kLines = 100000, kW = 800, kH = 600;

std::string sampleText() {
    std::string s;
    for (int i = 0; i < 80; ++i) s += static_cast<char>(i % 3 == 0 ? 0xE9 : 'a' + i % 26);  // with cp1252 bytes
    return s;
}

double layerRun(Window& w, const String& text) {
    auto t0 = std::chrono::steady_clock::now();
    Font f("Arial", Size(0, 14));
    w.setFont(f);
    for (int i = 0; i < kTexts; ++i) w.drawText(Point(i % 50, (i * 7) % kH), text);
    w.setPen(Pen(Color::fromRGB8(200, 0, 0)));
    for (int i = 0; i < kLines; ++i) w.drawLine(Point(i % kW, 0), Point((i * 13) % kW, kH - 1));
    w.flushDrawing();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double directRun(QImage& img, const std::string& text) {
    auto t0 = std::chrono::steady_clock::now();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont f = gui::makeQFont(Font("Arial", Size(0, 14)), 14);
    p.setFont(f);
    QFontMetrics fm(f);
    p.setPen(Qt::black);
    for (int i = 0; i < kTexts; ++i)
        p.drawText(QPoint(i % 50, (i * 7) % kH + fm.ascent()), QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    QPen pen(QColor(200, 0, 0), 0);
    pen.setCosmetic(true);
    p.setPen(pen);
    for (int i = 0; i < kLines; ++i) p.drawLine(QPoint(i % kW, 0), QPoint((i * 13) % kW, kH - 1));
    p.end();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_gui_draw_texts_and_lines_layer_vs_qpainter(benchmark::State& state) {
    gui::ensureApplication("bench_gui_draw");
    WorkWindow w(nullptr, WB_FRAME);
    w.setSizePixel(Size(kW, kH));
    const std::string raw = sampleText();
    const String text(raw);
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(Qt::white);
    double layer = 0, direct = 0;
    for (auto _ : state) {
        layer += layerRun(w, text);
        direct += directRun(img, raw);
    }
    state.counters["layer_ms"] = layer / static_cast<double>(state.iterations());
    state.counters["direct_ms"] = direct / static_cast<double>(state.iterations());
    state.counters["ratio"] = direct > 0 ? layer / direct : 0;
}
BENCHMARK(BM_gui_draw_texts_and_lines_layer_vs_qpainter)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
