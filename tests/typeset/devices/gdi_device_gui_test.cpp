// A cell's typeset piece, as the spreadsheet shows it: exported on the platform's fonts in twips,
// wrapped as a Windows metafile in a picture of the piece's size and drawn through the GUI layer
// into a rectangle of the piece's pixel size at 96 pixels per inch.  The drawing must fit that
// rectangle: its ink reaches across the piece and is not cut at the right or bottom edge.

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gui/Application.h"
#include "platform/gui/Picture.h"
#include "platform/gui/VirtualDevice.h"
#include "tests/platform/gdi/gdi_test_util.h"
#include "tests/typeset/dag_build.h"
#include "tests/typeset/devices/sheet_options.h"
#include "typeset/devices/gdi_device.h"
#include "typeset/typeset.h"

using namespace tb;

namespace {

constexpr int kMargin = 20;

struct Piece {
    int width = 0, height = 0, unitsPerInch = 0;
    std::vector<uint8_t> bits;
};

int keep_piece(void* user, const MetafilePiece* p) {
    auto* out = static_cast<std::vector<Piece>*>(user);
    Piece piece{p->width, p->height, p->unitsPerInch, {}};
    if (p->metafile) {
        piece.bits = gdi_test::metafileBits(p->metafile);
        delete_metafile(p->metafile);
    }
    if (p->enhMetafile) delete_metafile(p->enhMetafile);
    out->push_back(std::move(piece));
    return 0;
}

// The spreadsheet's request and options: map mode 6, one level, its page values.
std::vector<Piece> export_cell(Dag d) {
    LayoutOptions o = sheet_options();
    MetafileRequest req;
    req.mapMode = MM_TWIPS;
    req.textColor = RGB(0, 0, 0);
    std::vector<Piece> pieces;
    EXPECT_EQ(export_expression_metafile(d, &o, &req, keep_piece, &pieces), 0);
    gdi_typeset_cleanup();
    return pieces;
}

struct Ink {
    int left = -1, top = -1, right = -1, bottom = -1;
    int outside = 0;   // dark pixels outside the piece's rectangle
};

// Draws the piece at its pixel size with a white margin around it and finds the dark pixels.
Ink draw(const Piece& p, int pw, int ph) {
    VirtualDevice dev;
    EXPECT_TRUE(dev.setOutputSizePixel(Size(pw + 2 * kMargin, ph + 2 * kMargin)));
    Picture pic;
    pic.setWindowsMetafile(p.bits);
    pic.setPrefSize(Size(p.width, p.height));
    pic.setPrefMapMode(MapMode(MapUnit::Inch, Point(), Fraction(1, p.unitsPerInch), Fraction(1, p.unitsPerInch)));
    dev.drawMetafile(Rectangle(kMargin, kMargin, kMargin + pw - 1, kMargin + ph - 1), pic);
    dev.flushDrawing();
    const QImage* img = dev.image();
    Ink ink;
    for (int y = 0; y < img->height(); ++y)
        for (int x = 0; x < img->width(); ++x) {
            if (qGray(img->pixel(x, y)) >= 128) continue;
            int px = x - kMargin, py = y - kMargin;
            if (px < 0 || py < 0 || px >= pw || py >= ph) {
                ++ink.outside;
                continue;
            }
            if (ink.left < 0 || px < ink.left) ink.left = px;
            if (ink.top < 0 || py < ink.top) ink.top = py;
            ink.right = std::max(ink.right, px);
            ink.bottom = std::max(ink.bottom, py);
        }
    return ink;
}

class CellPieceThroughTheGuiLayer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gui::ensureApplication("typeset_devices_gui_test"); }
};

TEST_F(CellPieceThroughTheGuiLayer, DrawsInsideThePiecesPixelSizeAndFillsIt) {
    struct Row {
        const char* name;
        Dag expression;
    };
    const Row rows[] = {
        {"sum", Sum({{N("a"), I(2)}, {N("b"), I(1)}})},
        {"fraction over a sum", Prod({{Sum({{N("x"), I(1)}, {I(1), I(1)}}), I(1)}, {N("y"), I(-1)}})},
        {"power", Pow(N("x"), I(12))},
    };
    for (const Row& r : rows) {
        std::vector<Piece> pieces = export_cell(r.expression);
        ASSERT_EQ(pieces.size(), 1u) << r.name;
        const Piece& p = pieces[0];
        ASSERT_EQ(p.unitsPerInch, 1440) << r.name;
        ASSERT_FALSE(p.bits.empty()) << r.name;
        const int pw = p.width * 96 / 1440, ph = p.height * 96 / 1440;
        ASSERT_GT(pw, 4) << r.name;
        ASSERT_GT(ph, 4) << r.name;

        Ink ink = draw(p, pw, ph);
        EXPECT_EQ(ink.outside, 0) << r.name;
        ASSERT_GE(ink.left, 0) << r.name << ": nothing drawn";
        // The content spans the piece: a metafile whose extent disagreed with the piece's size
        // would come out shrunk into a corner or cut at an edge.
        EXPECT_GE(ink.right - ink.left + 1, pw * 6 / 10) << r.name;
        EXPECT_GE(ink.bottom - ink.top + 1, ph * 4 / 10) << r.name;
        EXPECT_LT(ink.right, pw - 1) << r.name << ": cut at the right edge";
        EXPECT_LT(ink.bottom, ph - 1) << r.name << ": cut at the bottom edge";
    }
}

}  // namespace
