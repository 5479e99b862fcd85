// The GDI typesetting device and the metafile export, on the measuring context's fixed-metric
// source (1000 units per em; ascent 900, descent 300; Symbol ascent 1000, descent 250).

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "latex_support.h"
#include "sheet_options.h"
#include "platform/gdi/placeable.h"
#include "platform/gdi/wmf_player.h"
#include "typeset/devices/gdi_device.h"
#include "typeset/devices/gdi_fonts.h"
#include "typeset/typeset.h"

using namespace tb;

namespace {

void reset_device() {
    gdi_typeset_cleanup();
    gdi_device_state() = GdiDeviceState{};
}

// 96 pixels per inch on the fixed-metric source.
const GdiMeasureDC kFixedDC;

MetafileRequest request(uint16_t flags = 0, int mapMode = MM_TWIPS) {
    MetafileRequest r;
    r.measureDC = &kFixedDC;
    r.flags = flags;
    r.mapMode = mapMode;
    r.textColor = RGB(200, 10, 20);
    return r;
}

// One played record.
struct Rec {
    std::string kind;        // "text", "color", "align", "polyline", "line"
    int x = 0, y = 0;
    std::string bytes;
    LOGFONTA font;           // the font selected when a text was drawn
    COLORREF color = 0;
    int points = 0;
};

class Recorder : public MetafileTarget {
public:
    std::vector<Rec> recs;
    LOGFONTA font;

    void setTextAlign(UINT a) override { recs.push_back({"align", int(a), 0, "", font, 0, 0}); }
    void setTextColor(COLORREF c) override { recs.push_back({"color", 0, 0, "", font, c, 0}); }
    void selectObject(int, const MetafileObject& o) override {
        if (o.kind == MetafileObject::Font) font = o.font;
    }
    void textOut(int x, int y, std::string_view s) override { recs.push_back({"text", x, y, std::string(s), font, 0, 0}); }
    void polyline(std::span<const POINT> p) override { recs.push_back({"polyline", 0, 0, "", font, 0, int(p.size())}); }
    void lineTo(int x, int y) override { recs.push_back({"line", x, y, "", font, 0, 0}); }

    std::vector<Rec> texts() const {
        std::vector<Rec> out;
        for (const Rec& r : recs)
            if (r.kind == "text") out.push_back(r);
        return out;
    }
    // Bytes of the single-character texts drawn in a Symbol font, in order.
    std::string symbolPieces() const {
        std::string out;
        for (const Rec& r : recs)
            if (r.kind == "text" && r.font.lfCharSet == SYMBOL_CHARSET && r.bytes.size() == 1) out += r.bytes;
        return out;
    }
};

struct Export {
    int result = -1;
    std::vector<MetafilePiece> pieces;
    std::vector<Recorder> played;
    std::vector<std::string> files;
    int stopAfter = 0;   // non-zero: the callback answers 1 after that many pieces
};

int collect(void* user, const MetafilePiece* p) {
    auto* e = static_cast<Export*>(user);
    e->pieces.push_back(*p);
    if (p->metafile) {
        Recorder r;
        PlayMetaFile(r, p->metafile);
        e->played.push_back(r);
        delete_metafile(p->metafile);
    }
    if (p->enhMetafile) delete_metafile(p->enhMetafile);
    if (p->fileName) e->files.push_back(p->fileName);
    e->pieces.back().metafile = nullptr;
    e->pieces.back().fileName = nullptr;
    return e->stopAfter && int(e->pieces.size()) >= e->stopAfter ? 1 : 0;
}

Export run_export(Dag d, const MetafileRequest& req, const LayoutOptions* o = nullptr, int stopAfter = 0) {
    Export e;
    e.stopAfter = stopAfter;
    LayoutOptions opts = sheet_options();
    e.result = export_expression_metafile(d, o ? o : &opts, &req, collect, &e);
    return e;
}

// A procedure of n assignments: n lines.
Dag long_procedure(int n) {
    Dag body = dag_new(std::size_t(n + 1), DAG_STATSEQ);
    for (int i = 0; i < n; ++i) dag_set_op(body, std::size_t(i + 1), Bin(DAG_ASSIGN, N("a"), I(i)));
    Dag p = dag_new(9, DAG_PROC);
    dag_set_op(p, 1, Seq({}));
    dag_set_op(p, 2, Seq({}));
    dag_set_op(p, 3, Seq({}));
    dag_set_op(p, 4, dag_NULL);
    dag_set_op(p, 5, body);
    for (std::size_t i = 6; i <= 8; ++i) dag_set_op(p, i, Seq({}));
    return p;
}

class GdiDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { reset_device(); }
    void TearDown() override { reset_device(); }
};

// ---- fonts and metrics -----------------------------------------------------------------------

TEST_F(GdiDeviceTest, LevelSizesFromThePointSize) {
    struct Row {
        int pointSize;
        bool options;
        int level0, level1;
    };
    for (Row r : {Row{12, true, 12, 8}, Row{5, true, 5, 4}, Row{0, true, 12, 8}, Row{0, false, 12, 8},
                  Row{30, true, 30, 20}}) {
        reset_device();
        LayoutOptions o = sheet_options();
        o.pointSize = r.pointSize;
        GdiMeasureDC dc;
        dc.mapMode = MM_TWIPS;
        GdiDeviceState& s = gdi_device_state();
        gdi_setup_fonts(&s, r.options ? &o : nullptr, &dc);
        EXPECT_EQ(s.pointSize[0], r.level0) << r.pointSize;
        EXPECT_EQ(s.pointSize[1], r.level1) << r.pointSize;
        EXPECT_STREQ(s.specs[0].face, "Times New Roman");
        EXPECT_STREQ(s.specs[2].face, "Symbol");
    }
}

TEST_F(GdiDeviceTest, FontsAreMadeWithTheHeightsOfTheMapMode) {
    struct Row {
        int mapMode, ppi, level0, level1, bigSymbol;
    };
    for (Row r : {Row{MM_TWIPS, 96, -240, -160, -360}, Row{MM_TEXT, 96, -16, -10, -24}, Row{MM_LOMETRIC, 96, -42, -28, -63}}) {
        reset_device();
        GdiMeasureDC dc;
        dc.mapMode = r.mapMode;
        dc.pixelsPerInch = r.ppi;
        GdiDeviceState& s = gdi_device_state();
        gdi_setup_fonts(&s, nullptr, &dc);
        ASSERT_EQ(gdi_ensure_level(&s, 0), 0);
        ASSERT_EQ(gdi_ensure_level(&s, 1), 0);
        EXPECT_EQ(s.levels[0].fonts[0].logfont.lfHeight, r.level0) << r.mapMode;
        EXPECT_EQ(s.levels[1].fonts[0].logfont.lfHeight, r.level1) << r.mapMode;
        EXPECT_EQ(s.levels[0].bigLogfont.lfHeight, r.bigSymbol) << r.mapMode;
    }
    const LOGFONTA& sym = gdi_device_state().levels[0].fonts[STYLE_SYMBOL].logfont;
    const LOGFONTA& bold = gdi_device_state().levels[0].fonts[STYLE_BOLD].logfont;
    const LOGFONTA& ital = gdi_device_state().levels[0].fonts[STYLE_ITALIC].logfont;
    EXPECT_EQ(sym.lfCharSet, SYMBOL_CHARSET);
    EXPECT_EQ(sym.lfOutPrecision, 7);
    EXPECT_EQ(bold.lfOutPrecision, 4);
    EXPECT_EQ(bold.lfWeight, 600);
    EXPECT_EQ(ital.lfItalic, 1);
    EXPECT_EQ(bold.lfPitchAndFamily, 0x12);
    EXPECT_EQ(bold.lfWidth, 0);
}

TEST_F(GdiDeviceTest, MetricTableAfterEqualising) {
    GdiMeasureDC dc;
    dc.mapMode = MM_TWIPS;
    GdiDeviceState& s = gdi_device_state();
    gdi_setup_fonts(&s, nullptr, &dc);
    ASSERT_EQ(gdi_ensure_level(&s, 0), 0);
    ASSERT_EQ(gdi_ensure_level(&s, 1), 0);
    // Level 0, em 240 twips.  Roman: ascent 216, descent 72, internal leading 48, so height 240
    // and ascent 168; Symbol: 240, 60, 60, so height 240 and ascent 180.  The common ascent 180
    // raises roman's height to 252, the common height.
    const int roman[13] = {252, 126, 180, 60, 60, 12, 120, 0, -36, 36, 9, 252, 30};
    const int symbol[13] = {252, 126, 180, 60, 60, 12, 120, 0, -30, 30, 12, 252, 30};
    const int bold[13] = {252, 126, 180, 66, 66, 12, 120, 0, -36, 36, 9, 252, 33};
    for (int m = 0; m < 13; ++m) {
        EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_ROMAN, 0, m), roman[m]) << "roman metric " << m;
        EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_SYMBOL, 0, m), symbol[m]) << "Symbol metric " << m;
        EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_BOLD, 0, m), bold[m]) << "bold metric " << m;
    }
    EXPECT_EQ(s.levels[0].shift[STYLE_ROMAN], 12);
    EXPECT_EQ(s.levels[0].shift[STYLE_SYMBOL], 0);
    // Level 1, em 160: roman 144/48/32, Symbol 160/40/40; common ascent 120, height 168.
    EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_ITALIC, 1, 0), 168);
    EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_ITALIC, 1, 2), 120);
    EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_ROMAN, 0, 13), 0);
    // The enlarged Symbol font: em 360, ascent 360, descent 90, leading 90.
    EXPECT_EQ(s.levels[0].bigHeight, 360);
    EXPECT_EQ(s.levels[0].bigAscent, 270);
    EXPECT_EQ(GdiTypesetDevice.symbolKind(nullptr, 205, 0), 360);
    EXPECT_EQ(GdiTypesetDevice.symbolKind(nullptr, 194, 0), 2 * 252);
    EXPECT_EQ(GdiTypesetDevice.symbolKind(nullptr, 196, 0), 3 * 252);
    EXPECT_EQ(GdiTypesetDevice.symbolKind(nullptr, 210, 0), 0);
    // Digits are measured once and then answered from the cache.
    EXPECT_EQ(GdiTypesetDevice.charWidth(nullptr, '7', STYLE_ROMAN, 0), 120);
    EXPECT_EQ(s.levels[0].digitWidth[7], 120);
}

TEST_F(GdiDeviceTest, FontsAreKeptWhileFaceSizeAndMapModeStay) {
    MetafileRequest req = request();
    LayoutOptions o = sheet_options();
    ASSERT_EQ(run_export(N("x"), req, &o).result, 0);
    long made = gdi_device_state().fontsMade;
    EXPECT_GT(made, 0);
    ASSERT_EQ(run_export(N("y"), req, &o).result, 0);
    EXPECT_EQ(gdi_device_state().fontsMade, made);

    struct Change {
        const char* name;
        const char* face;
        int pointSize;
        int mapMode;
    };
    for (Change c : {Change{"face", "Other Face", 0, MM_TWIPS}, Change{"size", nullptr, 14, MM_TWIPS},
                     Change{"map mode", nullptr, 0, MM_LOMETRIC}}) {
        reset_device();
        ASSERT_EQ(run_export(N("x"), req, &o).result, 0);
        long before = gdi_device_state().fontsMade;
        LayoutOptions changed = o;
        changed.fontFace = c.face;
        changed.pointSize = c.pointSize;
        MetafileRequest r2 = request(0, c.mapMode);
        ASSERT_EQ(run_export(N("x"), r2, &changed).result, 0) << c.name;
        EXPECT_GT(gdi_device_state().fontsMade, before) << c.name;
    }
}

TEST_F(GdiDeviceTest, OpenScalesThePageAndTheIndentStep) {
    GdiMeasureDC dc;
    dc.mapMode = MM_TWIPS;
    GdiDeviceState& s = gdi_device_state();
    gdi_setup_fonts(&s, nullptr, &dc);
    TypesetContext* ctx = typeset_context_new(&GdiTypesetDevice);
    ASSERT_TRUE(ctx);
    ctx->deviceData = &s;
    LayoutOptions o = sheet_options();
    ASSERT_EQ(GdiTypesetDevice.open(ctx, &o), 0);
    EXPECT_EQ(ctx->pageWidth, 288 * 20);
    EXPECT_EQ(ctx->pageHeight, 7200 * 20);
    EXPECT_EQ(ctx->contIndent, 18 * 20);
    EXPECT_EQ(ctx->lineGap, 4 * 20);
    EXPECT_EQ(ctx->levelCount, 1);
    EXPECT_EQ(ctx->indentStep, 2 * 120);   // twice the width of "x"
    EXPECT_EQ(ctx->lineEndReserve, 600);
    EXPECT_EQ(ctx->partLimit, 288 * 20 - 18 * 20 - 600);
    o.levelCount = 0;
    ASSERT_EQ(GdiTypesetDevice.open(ctx, &o), 0);
    EXPECT_EQ(ctx->levelCount, 2);
    typeset_context_free(ctx);
}

// ---- results ---------------------------------------------------------------------------------

TEST_F(GdiDeviceTest, RefusedRequestsTouchNothing) {
    struct Row {
        const char* name;
        uint16_t size, flags;
    };
    for (Row r : {Row{"size 23", 23, 0}, Row{"flags 3", 24, 3}, Row{"flags 4", 24, 4}, Row{"flags 0x13", 24, 0x13}}) {
        MetafileRequest req = request(r.flags);
        req.size = r.size;
        Export e = run_export(N("x"), req);
        EXPECT_EQ(e.result, 1) << r.name;
        EXPECT_TRUE(e.pieces.empty()) << r.name;
        EXPECT_FALSE(gdi_device_state().setUp) << r.name;
        EXPECT_EQ(gdi_device_state().fontsMade, 0) << r.name;
    }
    EXPECT_EQ(export_expression_metafile(N("x"), nullptr, nullptr, collect, nullptr), 1);
}

TEST_F(GdiDeviceTest, TallExpressionsAndPageSplit) {
    Dag tall = long_procedure(150);   // 150 lines of 252 + 80 twips: above 32767
    Export whole = run_export(tall, request());
    EXPECT_EQ(whole.result, 4);
    EXPECT_TRUE(whole.pieces.empty());

    MetafileRequest split = request();
    split.pageSplit = 1;
    LayoutOptions o = sheet_options();
    o.pageHeight = 576;
    Export e = run_export(tall, split, &o);
    ASSERT_EQ(e.result, 0);
    ASSERT_GT(e.pieces.size(), 1u);
    for (const MetafilePiece& p : e.pieces) {
        EXPECT_EQ(p.count, e.pieces.size());
        EXPECT_LE(p.height, 576 * 20 + 252 / 6) << p.index;
        EXPECT_EQ(p.unitsPerInch, 1440);
    }

    o.pageHeight = 1;   // every line a piece of its own: more than 128
    Export many = run_export(tall, split, &o);
    EXPECT_EQ(many.result, 4);
    EXPECT_TRUE(many.pieces.empty());
}

TEST_F(GdiDeviceTest, CallbackStopsTheExport) {
    MetafileRequest split = request();
    split.pageSplit = 1;
    LayoutOptions o = sheet_options();
    o.pageHeight = 576;
    Export e = run_export(long_procedure(150), split, &o, 1);
    EXPECT_EQ(e.result, 6);
    EXPECT_EQ(e.pieces.size(), 1u);
}

// ---- records of a piece ----------------------------------------------------------------------

TEST_F(GdiDeviceTest, TextIsDrawnOnItsBaselineWithAlignment24) {
    Export e = run_export(Sum({{N("x"), I(1)}, {I(1), I(1)}}), request());
    ASSERT_EQ(e.result, 0);
    ASSERT_EQ(e.played.size(), 1u);
    const Recorder& r = e.played[0];
    ASSERT_FALSE(r.recs.empty());
    EXPECT_EQ(r.recs[0].kind, "align");
    EXPECT_EQ(r.recs[0].x, 24);
    std::vector<Rec> t = r.texts();   // glyphs are drawn before the boxes: order by x
    std::sort(t.begin(), t.end(), [](const Rec& a, const Rec& b) { return a.x < b.x; });
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].bytes, "x");
    EXPECT_EQ(t[1].bytes, " + ");
    EXPECT_EQ(t[1].font.lfCharSet, SYMBOL_CHARSET);
    EXPECT_EQ(t[2].bytes, "1");
    for (const Rec& x : t) EXPECT_EQ(x.y, 180) << x.bytes;   // top 0 + metric 2
    EXPECT_LT(t[0].x, t[1].x);
    EXPECT_LT(t[1].x, t[2].x);
    EXPECT_EQ(t[0].x, 60);   // the left margin: the width of "l"
}

TEST_F(GdiDeviceTest, StretchySymbolsAreDrawnFromTheirPieces) {
    struct Row {
        const char* name;
        Dag d;
        const char* pieces;   // must appear in this order
    };
    const Row rows[] = {
        {"parenthesis: top, bottom, extension", lt::bracketed_times_z(lt::long_sum(1)), "\xE6\xE8\xE7"},
        {"brace with its middle", Set({lt::tall_fraction()}), "\xEC\xEE"},
        {"integral", Fn("int", {lt::tall_fraction(), N("x")}), "\xF3\xF5\xF4"},
    };
    for (const Row& r : rows) {
        Export e = run_export(r.d, request());
        ASSERT_EQ(e.result, 0) << r.name;
        ASSERT_EQ(e.played.size(), 1u) << r.name;
        std::string p = e.played[0].symbolPieces();
        EXPECT_NE(p.find(r.pieces), std::string::npos) << r.name << ": " << p;
    }
    Export brace = run_export(Set({lt::tall_fraction()}), request());
    EXPECT_NE(brace.played[0].symbolPieces().find('\xED'), std::string::npos);
}

TEST_F(GdiDeviceTest, SumSignRadicalAndInertOperators) {
    Export sum = run_export(Fn("sum", {N("f"), Bin(DAG_EQUATION, N("k"), Bin(DAG_RANGE, I(1), N("n")))}), request());
    ASSERT_EQ(sum.result, 0);
    bool bigSum = false;
    for (const Rec& t : sum.played[0].texts())
        if (t.bytes == "\xE5") bigSum = t.font.lfHeight == -360 && t.font.lfCharSet == SYMBOL_CHARSET;
    EXPECT_TRUE(bigSum);

    Export root = run_export(Fn("sqrt", {Sum({{N("x"), I(1)}, {I(1), I(1)}})}), request());
    ASSERT_EQ(root.result, 0);
    int fivePoints = 0;
    for (const Rec& r : root.played[0].recs) fivePoints += r.kind == "polyline" && r.points == 5;
    EXPECT_EQ(fivePoints, 1);

    MetafileRequest req = request();
    Export inert = run_export(Fn("Int", {N("f"), N("x")}), req);
    ASSERT_EQ(inert.result, 0);
    const std::vector<Rec>& recs = inert.played[0].recs;
    bool black = false;
    for (std::size_t i = 0; i + 2 < recs.size(); ++i)
        if (recs[i].kind == "color" && recs[i].color == 0 && recs[i + 1].kind == "text" &&
            recs[i + 2].kind == "color" && recs[i + 2].color == req.textColor)
            black = true;
    EXPECT_TRUE(black);
}

}  // namespace

// ---- files -------------------------------------------------------------------------------------

namespace files {

TEST(MetafileNames, BaseNamesAndPieceNames) {
    struct Row {
        const char* base;
        int index, count;
        const char* expected;
    };
    const Row rows[] = {
        {"out/expr.wmf", 0, 1, "out/expr"},
        {"out/my.dir/expr", 0, 1, "out/my.dir/expr"},
        {"expr", 0, 1, "expr"},
        {"expr", 2, 3, "expr002"},
        {"page%d", 1, 3, "page1"},
        {"page%03d.x", 4, 5, "page004"},
        {"a%s%n%%", 0, 1, "a%s%n%"},
        {"a%s%n%%", 1, 2, "a%s%n%001"},
        {"100%", 0, 1, "100%"},
        {"%d-%d", 7, 9, "7-%d"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(metafile_piece_name(metafile_base_name(r.base), r.index, r.count), r.expected) << r.base;
}

class MetafileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        reset_device();
        char t[] = "/tmp/kelvo_mmf_XXXXXX";
        ASSERT_TRUE(mkdtemp(t));
        dir = t;
    }
    void TearDown() override {
        reset_device();
        std::system(("rm -rf " + dir).c_str());
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Export files(Dag d, uint16_t flags, const std::string& base, int pageHeight = 7200, int mapMode = MM_TWIPS) {
        MetafileRequest req = request(flags, mapMode);
        std::string name = base.empty() ? "" : dir + "/" + base;
        req.baseName = base.empty() ? nullptr : name.c_str();
        req.pageSplit = 1;
        LayoutOptions o = sheet_options();
        o.pageHeight = pageHeight;
        return run_export(d, req, &o);
    }
    std::string dir;
};

TEST_F(MetafileFiles, NamesOfWrittenPieces) {
    struct Row {
        const char* base;
        uint16_t flags;
        int pages;   // 0: one piece
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"expr.wmf", 0x10, 0, {"expr.wmf"}},
        {"my.dir/expr", 0x10, 0, {"my.dir/expr.wmf"}},
        {"my.dir/expr", 0x12, 0, {"my.dir/expr.emf"}},
        {"expr", 0x10, 3, {"expr000.wmf", "expr001.wmf", "expr002.wmf"}},
        {"page%d", 0x10, 3, {"page0.wmf", "page1.wmf", "page2.wmf"}},
        {"a%s%n%%", 0x10, 0, {"a%s%n%.wmf"}},
    };
    mkdir((dir + "/my.dir").c_str(), 0700);
    for (const Row& r : rows) {
        // Three lines of about 330 twips each: a page of 20 points holds one.
        Dag d = r.pages ? long_procedure(1) : N("x");
        Export e = files(d, r.flags, r.base, r.pages ? 20 : 7200);
        ASSERT_EQ(e.result, 0) << r.base;
        ASSERT_EQ(e.files.size(), r.expected.size()) << r.base;
        for (std::size_t i = 0; i < e.files.size(); ++i) {
            EXPECT_EQ(e.files[i], dir + "/" + r.expected[i]) << r.base;
            EXPECT_FALSE(read(e.files[i]).empty()) << e.files[i];
        }
    }
}

TEST_F(MetafileFiles, PlaceableFileIsTheHeaderBeforeThePlainFile) {
    Dag d = Fn("int", {lt::tall_fraction(), Bin(DAG_EQUATION, N("x"), Bin(DAG_RANGE, I(0), I(1)))});
    Export plain = files(d, 0x10, "plain");
    Export placeable = files(d, 0x11, "placeable");
    ASSERT_EQ(plain.result, 0);
    ASSERT_EQ(placeable.result, 0);
    std::string a = read(dir + "/plain.wmf"), b = read(dir + "/placeable.wmf");
    ASSERT_EQ(b.size(), a.size() + PLACEABLE_HEADER_BYTES);
    EXPECT_EQ(b.substr(PLACEABLE_HEADER_BYTES), a);
    PlaceableHeader h;
    ASSERT_TRUE(placeable_header_read(reinterpret_cast<const uint8_t*>(b.data()), b.size(), h));
    EXPECT_EQ(h.inch, 1440);
    EXPECT_EQ(h.right, placeable.pieces[0].width);
    EXPECT_EQ(h.bottom, placeable.pieces[0].height);
    EXPECT_EQ(h.checksum, placeable_checksum(h));
    Recorder r;
    EXPECT_TRUE(wmf_play(reinterpret_cast<const uint8_t*>(b.data()), b.size(), r));
    EXPECT_FALSE(r.texts().empty());
}

TEST_F(MetafileFiles, UnitsPerInchAndTheEnhancedFrame) {
    struct Row {
        int mapMode, unitsPerInch;
    };
    for (Row r : {Row{MM_TWIPS, 1440}, Row{MM_LOMETRIC, 254}, Row{0, 1440}}) {
        reset_device();
        Export e = files(Q(1, 2), 0x12, "frame" + std::to_string(r.mapMode), 7200, r.mapMode);
        ASSERT_EQ(e.result, 0) << r.mapMode;
        ASSERT_EQ(e.pieces.size(), 1u);
        EXPECT_EQ(e.pieces[0].unitsPerInch, r.unitsPerInch) << r.mapMode;
        std::string bits = read(e.files[0]);
        ASSERT_GE(bits.size(), 40u);
        // The header record: type 1, size, bounds (16 bytes), frame in hundredths of a millimetre.
        auto i32 = [&](std::size_t at) {
            int32_t v;
            std::memcpy(&v, bits.data() + at, 4);
            return v;
        };
        EXPECT_EQ(i32(0), 1);
        EXPECT_EQ(i32(32), e.pieces[0].width * 2540 / r.unitsPerInch) << r.mapMode;
        EXPECT_EQ(i32(36), e.pieces[0].height * 2540 / r.unitsPerInch) << r.mapMode;
        EXPECT_EQ(std::string(bits.data() + 40, 4), " EMF");
    }
}

TEST_F(MetafileFiles, WithoutABaseNameEachPieceGoesToANewTemporaryFile) {
    const char* saved = std::getenv("TMPDIR");
    std::string keep = saved ? saved : "";
    setenv("TMPDIR", dir.c_str(), 1);
    Export e = files(long_procedure(1), 0x10, "", 20);
    if (saved)
        setenv("TMPDIR", keep.c_str(), 1);
    else
        unsetenv("TMPDIR");
    ASSERT_EQ(e.result, 0);
    ASSERT_EQ(e.files.size(), 3u);
    for (const std::string& f : e.files) {
        EXPECT_EQ(f.compare(0, dir.size() + 4, dir + "/mmf"), 0) << f;
        EXPECT_EQ(f.find('.', dir.size()), std::string::npos) << f;
        EXPECT_FALSE(read(f).empty()) << f;
    }
    EXPECT_NE(e.files[0], e.files[1]);
}

TEST_F(MetafileFiles, AFileThatCannotBeWrittenEndsTheExport) {
    Export e = files(N("x"), 0x10, "missing/folder/expr");
    EXPECT_EQ(e.result, 7);
    EXPECT_TRUE(e.pieces.empty());
}

}  // namespace files

// ---- clipped text and degenerate fonts ---------------------------------------------------------

TEST_F(GdiDeviceTest, CutTextEndsWithABackslashUnlessItEndsALine) {
    std::string letters(300, 'w');
    Export e = run_export(S(letters.c_str()), request());
    ASSERT_EQ(e.result, 0);
    int slashes = 0, ws = 0;
    for (const Rec& t : e.played[0].texts()) {
        if (t.bytes == "\\") ++slashes;
        else ws += int(std::count(t.bytes.begin(), t.bytes.end(), 'w'));
    }
    EXPECT_GT(slashes, 0);
    EXPECT_EQ(ws, 300);

    std::string lines = std::string(10, 'a') + "\n" + std::string(10, 'b');
    Export nl = run_export(S(lines.c_str()), request());
    ASSERT_EQ(nl.result, 0);
    for (const Rec& t : nl.played[0].texts()) {
        EXPECT_EQ(t.bytes.find('\n'), std::string::npos);
        EXPECT_NE(t.bytes, "\\");
    }
}

TEST_F(GdiDeviceTest, ADelimiterOfATinyFontIsDrawnAndReturns) {
    // 6 pixels per inch: a 12-point em of one pixel, so metric 0 is 1 and half of it 0.
    GdiMeasureDC tiny;
    tiny.mapMode = MM_TEXT;
    tiny.pixelsPerInch = 6;
    MetafileRequest req = request(0, MM_TEXT);
    req.measureDC = &tiny;
    Export e = run_export(lt::bracketed_times_z(lt::long_sum(1)), req);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(GdiTypesetDevice.fontMetric(nullptr, STYLE_SYMBOL, 0, 0), 1);
}

TEST_F(GdiDeviceTest, TheSpreadsheetRequestGivesOnePieceWithItsTexts) {
    MetafileRequest req = request();   // size 24, flags 0, no page split, map mode 6
    Export e = run_export(Sum({{N("a"), I(2)}, {N("b"), I(1)}}), req);
    ASSERT_EQ(e.result, 0);
    ASSERT_EQ(e.pieces.size(), 1u);
    EXPECT_EQ(e.pieces[0].unitsPerInch, 1440);
    EXPECT_GT(e.pieces[0].width, 0);
    std::vector<Rec> t = e.played[0].texts();
    std::sort(t.begin(), t.end(), [](const Rec& a, const Rec& b) { return a.x < b.x; });
    std::string joined;
    for (const Rec& r : t) joined += r.bytes;
    EXPECT_EQ(joined, "2a + b");
    for (const Rec& r : t) EXPECT_LE(r.x, e.pieces[0].width) << r.bytes;
}

// ---- outside readers of the files --------------------------------------------------------------

namespace files {

int run(const std::string& cmd) {
    int status = std::system((cmd + " > /dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(MetafileFiles, OutsideConvertersAcceptTheFiles) {
    // x^2/2 + int(1/x, x = 1 .. 2) + sqrt(y + 1)
    Dag d = Sum({{Prod({{Pow(N("x"), I(2)), I(1)}, {I(2), I(-1)}}), I(1)},
                 {Fn("int", {Q(1, 3), Bin(DAG_EQUATION, N("x"), Bin(DAG_RANGE, I(1), I(2)))}), I(1)},
                 {Fn("sqrt", {Sum({{N("y"), I(1)}, {I(1), I(1)}})}), I(1)}});
    ASSERT_EQ(files(d, 0x11, "expr").result, 0);
    ASSERT_EQ(run("wmf2svg -o " + dir + "/expr.svg " + dir + "/expr.wmf"), 0);
    std::string svg = read(dir + "/expr.svg");
    for (const char* text : {">x<", ">2<", ">y<", ">1<", ">3<"})
        EXPECT_NE(svg.find(text), std::string::npos) << text << "\n" << svg.substr(0, 2000);
    // wmf2svg copies the texts' bytes as they are (the Symbol font's too): read them as Latin-1.
    ASSERT_EQ(run("iconv -f ISO-8859-1 -t UTF-8 -o " + dir + "/expr8.svg " + dir + "/expr.svg"), 0);
    EXPECT_EQ(run("rsvg-convert -b white -o " + dir + "/expr.png " + dir + "/expr8.svg"), 0);
    EXPECT_FALSE(read(dir + "/expr.png").empty());

    ASSERT_EQ(files(d, 0x12, "expr").result, 0);
    EXPECT_EQ(run("emf2svg-conv -i " + dir + "/expr.emf -o " + dir + "/emf.svg"), 0);
    EXPECT_FALSE(read(dir + "/emf.svg").empty());
}

}  // namespace files

// ---- the platform's fonts --------------------------------------------------------------------------

TEST(GdiFonts, MetricCompatibleFacesGiveTheWidthsOfTheFacesTheyStandFor) {
    GdiMeasureDC dc;
    dc.mapMode = MM_TWIPS;
    dc.source = &gdi_freetype_metric_source();
    auto font = [](const char* face, BYTE charset, int weight, BYTE italic) {
        LOGFONTA f;
        std::snprintf(f.lfFaceName, sizeof f.lfFaceName, "%s", face);
        f.lfHeight = -1000;   // an em of 1000 twips: advances in thousandths of an em
        f.lfCharSet = charset;
        f.lfWeight = weight;
        f.lfItalic = italic;
        return f;
    };
    struct Row {
        const char* name;
        LOGFONTA font;
        const char* text;
        int width;
    };
    const Row rows[] = {
        {"roman x", font("Times New Roman", ANSI_CHARSET, 400, 0), "x", 500},
        {"roman blank", font("Times New Roman", ANSI_CHARSET, 400, 0), " ", 250},
        {"roman M", font("Times New Roman", ANSI_CHARSET, 400, 0), "M", 889},
        {"italic x", font("Times New Roman", ANSI_CHARSET, 400, 1), "x", 444},
        {"bold x", font("Times New Roman", ANSI_CHARSET, 600, 0), "x", 500},
        {"bold M", font("Times New Roman", ANSI_CHARSET, 600, 0), "M", 944},
        {"Symbol alpha (byte a)", font("Symbol", SYMBOL_CHARSET, 400, 0), "a", 631},
        {"Symbol summation 0xE5", font("Symbol", SYMBOL_CHARSET, 400, 0), "\xE5", 713},
        {"Symbol integral top 0xF3", font("Symbol", SYMBOL_CHARSET, 400, 0), "\xF3", 686},
    };
    for (const Row& r : rows) {
        SIZE sz;
        ASSERT_TRUE(GetTextExtentPointA(dc, r.font, r.text, int(std::strlen(r.text)), &sz)) << r.name;
        EXPECT_NEAR(sz.cx, r.width, 1) << r.name;
    }
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(dc, font("Times New Roman", ANSI_CHARSET, 400, 0), &tm));
    EXPECT_GT(tm.tmInternalLeading, 0);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent - tm.tmInternalLeading, 1000);
}

TEST_F(GdiDeviceTest, TheSpreadsheetRequestOnThePlatformsFonts) {
    MetafileRequest req;   // size 24, flags 0, no page split, map mode 6, the platform's fonts
    req.mapMode = MM_TWIPS;
    Export e = run_export(Sum({{N("a"), I(2)}, {N("b"), I(1)}}), req);
    ASSERT_EQ(e.result, 0);
    ASSERT_EQ(e.pieces.size(), 1u);
    EXPECT_EQ(e.pieces[0].unitsPerInch, 1440);
    std::vector<Rec> t = e.played[0].texts();
    std::sort(t.begin(), t.end(), [](const Rec& a, const Rec& b) { return a.x < b.x; });
    std::string joined;
    for (const Rec& r : t) joined += r.bytes;
    EXPECT_EQ(joined, "2a + b");
    EXPECT_EQ(GdiTypesetDevice.charWidth(nullptr, 'x', STYLE_ROMAN, 0), 120);   // 500 / 1000 of 240 twips
}
