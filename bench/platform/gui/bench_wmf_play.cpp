// Playing a wrapped Windows metafile through the GUI layer: 10,000 records (lines, polylines,
// texts, pen and font selections, as a typeset picture has them) into a 1000 x 1000 image.
// The counter gives records per second.  Run with QT_QPA_PLATFORM=offscreen when no display is
// there.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gui/Application.h"
#include "platform/gui/Picture.h"
#include "platform/gui/VirtualDevice.h"

namespace {

constexpr int kRecords = 10000, kSide = 1000;

// Records about kRecords records on a 1440 x 1440 window (one inch square in twips); the count
// made, header and end record not counted.
std::vector<uint8_t> makeMetafile(int& records) {
    HDC dc = CreateMetaFileA(nullptr);
    LOGFONTA lf;
    lf.lfHeight = -240;
    std::strcpy(lf.lfFaceName, "Times New Roman");
    HFONT roman = CreateFontIndirectA(&lf);
    lf.lfCharSet = SYMBOL_CHARSET;
    std::strcpy(lf.lfFaceName, "Symbol");
    HFONT symbol = CreateFontIndirectA(&lf);
    HPEN thin = CreatePen(PS_SOLID, 0, RGB(0, 0, 255)), wide = CreatePen(PS_SOLID, 20, RGB(0, 0, 255));
    SetTextAlign(dc, TA_BASELINE);
    SetBkMode(dc, TRANSPARENT);
    records = 2;
    for (int i = 0; records < kRecords; ++i) {
        const int x = (i * 97) % 1300, y = (i * 53) % 1400;
        SelectObject(dc, i % 2 ? roman : symbol);
        TextOutA(dc, x, y, i % 2 ? "x+y" : "\xB9", i % 2 ? 3 : 1);
        SelectObject(dc, i % 3 ? thin : wide);
        MoveToEx(dc, x, y, nullptr);
        LineTo(dc, x + 120, y);
        const POINT pts[5] = {{x, y}, {x + 30, y}, {x + 20, y + 60}, {x + 10, y + 30}, {x, y + 35}};
        Polyline(dc, pts, 5);
        records += 6;
    }
    records += 4;  // the first selection of each object creates it
    HMETAFILE mf = CloseMetaFile(dc);
    std::vector<uint8_t> bits(GetMetaFileBitsEx(mf, 0, nullptr));
    GetMetaFileBitsEx(mf, static_cast<UINT>(bits.size()), bits.data());
    DeleteMetaFile(mf);
    for (HGDIOBJ o : {roman, symbol, thin, wide}) DeleteObject(o);
    return bits;
}

void BM_wmf_play_10000_records_into_1000x1000(benchmark::State& state) {
    gui::ensureApplication("bench_wmf_play");
    int records = 0;
    Picture pic;
    pic.setWindowsMetafile(makeMetafile(records));
    pic.setPrefSize(Size(1440, 1440));
    pic.setPrefMapMode(MapMode(MapUnit::Inch, Point(), Fraction(1, 1440), Fraction(1, 1440)));
    VirtualDevice dev;
    if (!dev.setOutputSizePixel(Size(kSide, kSide))) {
        state.SkipWithError("no image");
        return;
    }
    for (auto _ : state) {
        dev.drawMetafile(Rectangle(0, 0, kSide - 1, kSide - 1), pic);
        dev.flushDrawing();
    }
    state.counters["records"] = records;
    state.counters["records_per_second"] =
        benchmark::Counter(static_cast<double>(records) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_wmf_play_10000_records_into_1000x1000)->Unit(benchmark::kMillisecond);
