// Recorded pictures: the recorder's action list and fields, playback equal to direct drawing,
// scaling into a rectangle, state kept around playback, malformed action lists, copies and
// wrapped Windows metafiles.
#include "platform/gui/Picture.h"

#include <QImage>

#include <gtest/gtest.h>

#include "platform/gui/VirtualDevice.h"

namespace {

constexpr int kW = 160, kH = 120;

Bitmap checkerBitmap() {
    VirtualDevice d;
    EXPECT_TRUE(d.setOutputSizePixel(Size(6, 4)));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            d.drawPixel(Point(x, y), (x + y) % 2 ? Color::fromRGB8(200, 30, 40) : Color::fromRGB8(10, 90, 220));
    d.flushDrawing();
    return d.getBitmap(Point(0, 0), Size(6, 4));
}

// A drawing that uses every kind of call the recorder turns into an action.
void drawScene(OutputDevice& d, const Bitmap& bmp) {
    d.setBackgroundBrush(Brush(Color::fromRGB8(250, 240, 200)));
    d.erase(Rectangle(0, 0, kW - 1, kH - 1));
    d.setPen(Pen(Color::fromRGB8(255, 0, 0)));
    d.drawLine(Point(5, 5), Point(150, 20));
    d.setFillInBrush(Brush(Color::fromRGB8(0, 0, 255)));
    d.drawRect(Rectangle(10, 30, 40, 50));
    d.drawRect(Rectangle(45, 30, 75, 50), 8, 6);
    d.drawEllipse(Rectangle(80, 30, 110, 55));
    d.setPen(Pen(Color::fromRGB8(0, 128, 0), 3, PEN_SOLID));
    d.drawArc(Rectangle(115, 30, 150, 60), Point(150, 45), Point(115, 45));
    d.drawPie(Rectangle(115, 65, 150, 95), Point(150, 80), Point(132, 65));
    d.setPen(Pen(Color::fromRGB8(0, 0, 0)));
    d.drawPolyLine(Polygon{Point(5, 60), Point(20, 90), Point(35, 60)});
    d.drawPolygon(Polygon{Point(40, 60), Point(60, 95), Point(75, 62)});
    d.drawPixel(Point(3, 110), Color::fromRGB8(1, 2, 3));
    d.drawPixel(Point(4, 110));
    Font f("Arial", Size(0, 14));
    f.setColor(Color::fromRGB8(20, 20, 20));
    d.setFont(f);
    d.drawText(Point(10, 98), "Caf\xE9 xyz", 0, 6);
    d.push();
    d.setClipRegion(Region(Rectangle(80, 60, 110, 80)));
    d.intersectClipRegion(Rectangle(85, 60, 120, 90));
    d.moveClipRegion(2, 3);
    d.setFillInBrush(Brush(Color::fromRGB8(0, 200, 100)));
    d.drawRect(Rectangle(70, 55, 115, 100));
    d.pop();
    d.drawBitmap(Point(120, 100), bmp);
    d.drawBitmap(Point(130, 100), Size(18, 12), bmp);
    d.setRasterOp(ROP_XOR);
    d.drawLine(Point(0, 70), Point(159, 75));
    d.setRasterOp(ROP_OVERPAINT);
    d.invert(Rectangle(60, 100, 100, 115));
    d.setMapMode(MapMode(MapUnit::Twip));
    d.drawLine(Point(150, 1500), Point(1500, 1700));  // twips: 10,100 to 100,113 pixels
    d.setMapMode(MapMode());
}

QImage imageOf(VirtualDevice& d) {
    d.flushDrawing();
    return d.image()->copy();
}

TEST(Picture, PlaybackEqualsDirectDrawingPixelForPixel) {
    const Bitmap bmp = checkerBitmap();
    VirtualDevice direct;
    ASSERT_TRUE(direct.setOutputSizePixel(Size(kW, kH)));
    drawScene(direct, bmp);

    PictureRecorder rec(Size(kW, kH));
    drawScene(rec, bmp);
    Picture pic = rec.takePicture();
    EXPECT_EQ(rec.getPicture().getActionCount(), 0u);
    EXPECT_EQ(pic.getPrefSize(), Size(kW, kH));

    VirtualDevice played;
    ASSERT_TRUE(played.setOutputSizePixel(Size(kW, kH)));
    played.drawMetafile(Rectangle(0, 0, kW - 1, kH - 1), pic);

    QImage a = imageOf(direct), b = imageOf(played);
    ASSERT_EQ(a.size(), b.size());
    int differing = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (differing++ < 5) ADD_FAILURE() << "pixel " << x << "," << y << " differs";
            }
    EXPECT_EQ(differing, 0);
    // The drawing really drew: the red line is there.
    EXPECT_EQ(b.pixel(5, 5), qRgb(255, 0, 0));
}

TEST(Picture, RecordedActionsListTypesAndFields) {
    const Bitmap bmp = checkerBitmap();
    PictureRecorder rec(Size(kW, kH));
    drawScene(rec, bmp);
    const Picture& pic = rec.getPicture();

    const std::vector<int> expected = {
        PA_BACKBRUSH,  // setBackgroundBrush
        PA_PUSH, PA_PEN, PA_FILLBRUSH, PA_RECT, PA_POP,  // erase(rect)
        PA_PEN, PA_LINE, PA_FILLBRUSH, PA_RECT, PA_RECT, PA_ELLIPSE, PA_PEN, PA_ARC, PA_PIE, PA_PEN,
        PA_POLYLINE, PA_POLYGON, PA_PIXEL, PA_POINT, PA_FONT, PA_TEXT,
        PA_PUSH, PA_CLIPREGION, PA_INTERSECTCLIP, PA_MOVECLIP, PA_FILLBRUSH, PA_RECT, PA_POP,
        PA_BITMAP, PA_BITMAPSCALE, PA_RASTEROP, PA_LINE, PA_RASTEROP, PA_INVERT, PA_MAPMODE, PA_LINE,
        PA_MAPMODE,
    };
    std::vector<int> types;
    for (const PictureAction& a : pic.actions()) types.push_back(a.type);
    ASSERT_EQ(types, expected);

    struct Row {
        const char* name;
        std::size_t index;
        bool (*check)(const PictureAction&);
    };
    const Row rows[] = {
        {"background brush colour", 0, [](const PictureAction& a) { return a.brush.color == Color::fromRGB8(250, 240, 200); }},
        {"erase fills the rectangle", 4, [](const PictureAction& a) { return a.rect == Rectangle(0, 0, kW - 1, kH - 1); }},
        {"pen colour", 6, [](const PictureAction& a) { return a.pen.color == Color::fromRGB8(255, 0, 0) && a.pen.width == 0; }},
        {"line ends", 7, [](const PictureAction& a) { return a.point == Point(5, 5) && a.point2 == Point(150, 20); }},
        {"square rectangle", 9, [](const PictureAction& a) { return a.rect == Rectangle(10, 30, 40, 50) && a.roundX == 0; }},
        {"rounded rectangle", 10, [](const PictureAction& a) { return a.roundX == 8 && a.roundY == 6; }},
        {"wide pen", 12, [](const PictureAction& a) { return a.pen.width == 3; }},
        {"arc points", 13, [](const PictureAction& a) { return a.rect == Rectangle(115, 30, 150, 60) && a.point == Point(150, 45) && a.point2 == Point(115, 45); }},
        {"polyline points", 16, [](const PictureAction& a) { return a.polygons.size() == 1 && a.polygons[0].size() == 3 && a.polygons[0][1] == Point(20, 90); }},
        {"pixel colour", 18, [](const PictureAction& a) { return a.point == Point(3, 110) && a.color == Color::fromRGB8(1, 2, 3); }},
        {"point", 19, [](const PictureAction& a) { return a.point == Point(4, 110); }},
        {"font", 20, [](const PictureAction& a) { return a.font.getName() == String("Arial") && a.font.getSize() == Size(0, 14); }},
        {"text index and count", 21, [](const PictureAction& a) { return a.text == String("Caf\xE9 xyz") && a.textIndex == 0 && a.textCount == 6 && a.point == Point(10, 98); }},
        {"clip region", 23, [](const PictureAction& a) { return a.clipping && a.region == Region(Rectangle(80, 60, 110, 80)); }},
        {"intersect clip", 24, [](const PictureAction& a) { return a.rect == Rectangle(85, 60, 120, 90); }},
        {"move clip", 25, [](const PictureAction& a) { return a.dx == 2 && a.dy == 3; }},
        {"bitmap", 29, [](const PictureAction& a) { return a.point == Point(120, 100) && a.bitmap.getSizePixel() == Size(6, 4); }},
        {"scaled bitmap", 30, [](const PictureAction& a) { return a.size == Size(18, 12) && !a.bitmap.isEmpty(); }},
        {"raster op", 31, [](const PictureAction& a) { return a.rasterOp == ROP_XOR; }},
        {"invert", 34, [](const PictureAction& a) { return a.rect == Rectangle(60, 100, 100, 115); }},
        {"map mode", 35, [](const PictureAction& a) { return a.mapMode.unit == MapUnit::Twip; }},
        {"twip coordinates kept as given", 36, [](const PictureAction& a) { return a.point == Point(150, 1500); }},
    };
    for (const Row& r : rows) {
        ASSERT_LT(r.index, pic.getActionCount()) << r.name;
        EXPECT_TRUE(r.check(pic.getAction(r.index))) << r.name << " (action " << r.index << ")";
    }
}

// Draws a picture of a filled square into a device and reports the colour at points.
struct ScaleCase {
    const char* name;
    Rectangle dest;
    Point inside, outside;
};

TEST(Picture, PlaybackScalesThePreferredSizeIntoTheRectangle) {
    PictureRecorder rec(Size(100, 100));
    rec.setPen(Pen(Color(), 0, PEN_NULL));
    rec.setFillInBrush(Brush(Color::fromRGB8(0, 0, 255)));
    rec.drawRect(Rectangle(10, 10, 49, 49));
    const Picture pic = rec.getPicture();

    const ScaleCase cases[] = {
        {"twice the size", Rectangle(0, 0, 199, 199), Point(95, 95), Point(105, 105)},
        {"same size, moved", Rectangle(50, 60, 149, 159), Point(60, 70), Point(55, 65)},
        {"half the size", Rectangle(0, 0, 49, 49), Point(20, 20), Point(30, 30)},
        {"edges given reversed", Rectangle(199, 199, 0, 0), Point(95, 95), Point(105, 105)},
    };
    for (const ScaleCase& c : cases) {
        VirtualDevice d;
        ASSERT_TRUE(d.setOutputSizePixel(Size(200, 200)));
        d.drawMetafile(c.dest, pic);
        d.flushDrawing();
        EXPECT_EQ(d.getPixel(c.inside), Color::fromRGB8(0, 0, 255)) << c.name;
        EXPECT_EQ(d.getPixel(c.outside), Color(COL_WHITE)) << c.name;
    }
}

TEST(Picture, PlaybackStaysInsideTheRectangleAndKeepsTheDeviceState) {
    PictureRecorder rec(Size(50, 50));
    rec.setFillInBrush(Brush(Color::fromRGB8(255, 0, 0)));
    rec.setPen(Pen(Color::fromRGB8(255, 0, 0)));
    rec.setFont(Font("Courier New", Size(0, 30)));
    rec.setRasterOp(ROP_XOR);
    rec.setMapMode(MapMode(MapUnit::Point));
    rec.setRasterOp(ROP_OVERPAINT);
    rec.setMapMode(MapMode());
    rec.drawRect(Rectangle(-500, -500, 500, 500));  // far beyond the picture
    rec.push();
    rec.push();  // never popped by the picture

    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(100, 100)));
    const Pen pen(Color::fromRGB8(9, 9, 9), 2, PEN_DASH);
    const Brush brush(Color::fromRGB8(7, 7, 7));
    const Brush background(Color::fromRGB8(1, 200, 3));
    const Font font("Times New Roman", Size(0, 11));
    const MapMode map(MapUnit::Twip);
    d.setPen(pen);
    d.setFillInBrush(brush);
    d.setBackgroundBrush(background);
    d.setFont(font);
    d.setMapMode(map);
    // 20,20 .. 69,69 pixels in twips.
    d.drawMetafile(Rectangle(300, 300, 1049, 1049), rec.getPicture());
    d.flushDrawing();

    EXPECT_EQ(d.getPen(), pen);
    EXPECT_EQ(d.getFillInBrush(), brush);
    EXPECT_EQ(d.getBackgroundBrush(), background);
    EXPECT_EQ(d.getFont(), font);
    EXPECT_EQ(d.getMapMode(), map);
    EXPECT_EQ(d.getRasterOp(), ROP_OVERPAINT);
    EXPECT_FALSE(d.isClipping());
    d.setMapMode(MapMode());
    EXPECT_EQ(d.getPixel(Point(40, 40)), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(d.getPixel(Point(10, 10)), Color(COL_WHITE));
    EXPECT_EQ(d.getPixel(Point(80, 80)), Color(COL_WHITE));
}

TEST(Picture, UnbalancedPopsAndOddFieldsDoNotDisturbTheDevice) {
    Picture pic;
    pic.setPrefSize(Size(20, 20));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(pic.addAction(PictureAction(PA_POP)));
    PictureAction text(PA_TEXT);
    text.text = "abc";
    text.textIndex = 7;  // beyond the string
    text.textCount = 99;
    EXPECT_TRUE(pic.addAction(text));
    text.type = PA_TEXTARRAY;
    text.textIndex = -1;
    EXPECT_TRUE(pic.addAction(text));
    PictureAction poly(PA_POLYGON);  // no polygon at all
    EXPECT_TRUE(pic.addAction(poly));
    EXPECT_TRUE(pic.addAction(PictureAction(PA_RESERVED)));
    EXPECT_TRUE(pic.addAction(PictureAction(PA_PLACEHOLDER)));

    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(20, 20)));
    d.setPen(Pen(Color::fromRGB8(1, 1, 1)));
    d.push();
    d.setPen(Pen(Color::fromRGB8(2, 2, 2)));
    d.drawMetafile(Rectangle(0, 0, 19, 19), pic);
    EXPECT_EQ(d.getPen(), Pen(Color::fromRGB8(2, 2, 2)));
    d.pop();  // the device's own push is still there
    EXPECT_EQ(d.getPen(), Pen(Color::fromRGB8(1, 1, 1)));
}

TEST(Picture, RefusesUnknownTypesAndPlaysNothingWithoutASize) {
    Picture pic;
    struct Row {
        int type;
        bool accepted;
    };
    for (Row r : {Row{0, false}, Row{30, false}, Row{-1, false}, Row{1, true}, Row{29, true}, Row{15, true}})
        EXPECT_EQ(pic.addAction(PictureAction(r.type)), r.accepted) << "type " << r.type;
    EXPECT_EQ(pic.getActionCount(), 3u);

    PictureAction fill(PA_RECT);
    fill.rect = Rectangle(0, 0, 9, 9);
    Picture sizeless;
    sizeless.addAction(fill);
    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(10, 10)));
    d.setFillInBrush(Brush(Color::fromRGB8(0, 0, 0)));
    d.drawMetafile(Rectangle(0, 0, 9, 9), sizeless);  // preferred size 0 x 0
    sizeless.setPrefSize(Size(10, 10));
    d.drawMetafile(Rectangle(0, 0, RECT_EMPTY, RECT_EMPTY), sizeless);  // empty destination
    d.flushDrawing();
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color(COL_WHITE));
}

TEST(Picture, CopiesAreIndependentValues) {
    PictureRecorder rec(Size(30, 30), MapMode(MapUnit::Inch1000th));
    rec.drawLine(Point(0, 0), Point(100, 100));
    Picture a = rec.getPicture();
    Picture b = a;
    EXPECT_TRUE(a == b);
    EXPECT_EQ(b.getPrefMapMode().unit, MapUnit::Inch1000th);
    PictureAction extra(PA_POINT);
    extra.point = Point(1, 2);
    b.addAction(extra);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.getActionCount(), 1u);
    EXPECT_EQ(b.getActionCount(), 2u);
}

TEST(Picture, WrappedWindowsMetafileKeepsItsBytes) {
    PictureRecorder rec(Size(10, 10));
    rec.drawLine(Point(0, 0), Point(9, 9));
    Picture pic = rec.getPicture();
    const std::vector<uint8_t> bytes = {0x01, 0x00, 0x09, 0x00, 0x00, 0x03, 0xFF, 0x80, 0x00};
    pic.setWindowsMetafile(bytes);
    EXPECT_TRUE(pic.isWindowsMetafile());
    EXPECT_EQ(pic.getWindowsMetafile(), bytes);
    EXPECT_EQ(pic.getActionCount(), 0u);
    Picture copy = pic;
    EXPECT_EQ(copy.getWindowsMetafile(), bytes);

    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(10, 10)));
    d.drawMetafile(Rectangle(0, 0, 9, 9), pic);  // bits cut inside the header: nothing drawn
    d.flushDrawing();
    EXPECT_EQ(d.getPixel(Point(5, 5)), Color(COL_WHITE));
    pic.setWindowsMetafile({});
    EXPECT_TRUE(pic.isEmpty());
}

TEST(Picture, TextWithOffsetsPlacesEachCharacter) {
    Picture pic;
    pic.setPrefSize(Size(200, 40));
    PictureAction font(PA_FONT);
    font.font = Font("Arial", Size(0, 20));
    pic.addAction(font);
    PictureAction t(PA_TEXTARRAY);
    t.point = Point(0, 5);
    t.text = "III";
    t.textIndex = 0;
    t.textCount = 3;
    t.offsets = {80, 160};
    pic.addAction(t);

    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(200, 40)));
    d.drawMetafile(Rectangle(0, 0, 199, 39), pic);
    d.flushDrawing();
    auto inkIn = [&](int x0, int x1) {
        int n = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = x0; x < x1; ++x) n += !(d.getPixel(Point(x, y)) == Color(COL_WHITE));
        return n;
    };
    EXPECT_GT(inkIn(0, 20), 0);
    EXPECT_EQ(inkIn(25, 75), 0);
    EXPECT_GT(inkIn(80, 100), 0);
    EXPECT_EQ(inkIn(105, 155), 0);
    EXPECT_GT(inkIn(160, 180), 0);
}

}  // namespace

namespace {

TEST(Picture, EmptyClipRegionAndResetClipPlayAsTheyDraw) {
    // An empty clip region hides what follows; resetClip shows it again.
    auto scene = [](OutputDevice& d) {
        d.setPen(Pen(Color(), 0, PEN_NULL));
        d.setFillInBrush(Brush(Color::fromRGB8(0, 0, 0)));
        d.setClipRegion(Region());
        d.drawRect(Rectangle(0, 0, 9, 9));
        d.resetClip();
        d.drawRect(Rectangle(10, 0, 19, 9));
    };
    VirtualDevice direct;
    ASSERT_TRUE(direct.setOutputSizePixel(Size(20, 10)));
    scene(direct);
    PictureRecorder rec(Size(20, 10));
    scene(rec);
    VirtualDevice played;
    ASSERT_TRUE(played.setOutputSizePixel(Size(20, 10)));
    played.drawMetafile(Rectangle(0, 0, 19, 9), rec.getPicture());
    for (VirtualDevice* d : {&direct, &played}) {
        d->flushDrawing();
        EXPECT_EQ(d->getPixel(Point(5, 5)), Color(COL_WHITE));
        EXPECT_EQ(d->getPixel(Point(15, 5)), Color::fromRGB8(0, 0, 0));
    }
}

}  // namespace
