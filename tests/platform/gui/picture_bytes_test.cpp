// The picture byte form and clipboard pictures: every field survives a round trip, damaged and
// truncated bytes are refused whole, and a copied picture comes back from the clipboard beside a
// PNG for other programs.
#include "platform/gui/picture_bytes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include "platform/gui/Clipboard.h"
#include "platform/gui/Picture.h"
#include "platform/gui/VirtualDevice.h"

namespace {

Bitmap smallBitmap() {
    VirtualDevice d;
    EXPECT_TRUE(d.setOutputSizePixel(Size(3, 2)));
    d.drawPixel(Point(1, 1), Color::fromRGB8(10, 20, 30));
    d.flushDrawing();
    return d.getBitmap(Point(0, 0), Size(3, 2));
}

// A picture whose actions set every field to something other than its default.
Picture everyField() {
    Picture pic;
    pic.setPrefSize(Size(1234, -5));
    pic.setPrefMapMode(MapMode(MapUnit::Inch1000th, Point(-3, 4), Fraction(2, 3), Fraction(-5, 7)));
    for (int type = PA_FIRST; type <= PA_LAST; ++type) {
        PictureAction a(type);
        a.point = Point(-32768, 32767);
        a.point2 = Point(7, -8);
        a.rect = Rectangle(1, 2, 3, RECT_EMPTY);
        a.roundX = 11;
        a.roundY = 12;
        a.color = Color(COL_LIGHTGRAY);
        a.polygons = {Polygon{Point(1, 1), Point(2, 3)}, Polygon{}, Polygon{Point(-9, 9)}};
        a.text = String("a\0\x80\xFF", 4);
        a.textIndex = 1;
        a.textCount = 2;
        a.offsets = {5, -6, 70000};
        a.bitmap = type == PA_BITMAP ? smallBitmap() : Bitmap();
        a.size = Size(21, 22);
        a.pen = Pen(Color::fromRGB8(1, 2, 3), 4, PEN_DASHDOT);
        a.font = Font("Symbol", Size(3, 17));
        a.font.setWeight(WEIGHT_BOLD);
        a.font.setItalic(true);
        a.font.setUnderline(true);
        a.font.setCharSet(CHARSET_SYMBOL);
        a.font.setFamily(FAMILY_SWISS);
        a.font.setPitch(PITCH_FIXED);
        a.font.setAlign(ALIGN_BASELINE);
        a.font.setTransparent(false);
        a.font.setColor(Color(COL_WINDOWTEXT));
        a.font.setFillColor(Color::fromRGB8(9, 8, 7));
        a.orientation = 900;
        a.lineOrientation = 450;
        a.strikeout = 1;
        a.outline = true;
        a.shadow = true;
        a.brush = Brush(Color::fromRGB8(4, 5, 6), BRUSH_HATCH, true);
        a.fillColor = Color(COL_SHADOW);
        a.mapMode = MapMode(MapUnit::Twip, Point(5, 6), Fraction(1, 2), Fraction(3, 4));
        a.region = Region(std::vector<Polygon>{Polygon{Point(0, 0), Point(5, 0), Point(5, 5)}});
        a.clipping = true;
        a.rasterOp = ROP_XOR;
        a.dx = -100;
        a.dy = 200;
        EXPECT_TRUE(pic.addAction(a));
    }
    return pic;
}

TEST(PictureBytes, EveryFieldOfEveryActionSurvivesARoundTrip) {
    const Picture pic = everyField();
    std::vector<uint8_t> bytes = picture_bytes_write(pic);
    Picture back;
    ASSERT_TRUE(picture_bytes_read(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.getPrefSize(), pic.getPrefSize());
    EXPECT_EQ(back.getPrefMapMode(), pic.getPrefMapMode());
    ASSERT_EQ(back.getActionCount(), pic.getActionCount());
    for (std::size_t i = 0; i < pic.getActionCount(); ++i)
        EXPECT_TRUE(back.getAction(i) == pic.getAction(i)) << "action type " << pic.getAction(i).type;
    EXPECT_EQ(back.getAction(PA_BITMAP - 1).bitmap.getSizePixel(), Size(3, 2));
    EXPECT_EQ(back.getAction(0).font.getColor().getCode(), COL_WINDOWTEXT);
}

TEST(PictureBytes, WrappedMetafileAndEmptyPictureRoundTrip) {
    Picture wmf;
    wmf.setPrefSize(Size(10, 20));
    wmf.setWindowsMetafile({1, 0, 9, 0, 0x80, 0xFF});
    Picture empty;
    for (const Picture* p : {&wmf, &empty}) {
        std::vector<uint8_t> bytes = picture_bytes_write(*p);
        Picture back;
        ASSERT_TRUE(picture_bytes_read(bytes.data(), bytes.size(), back));
        EXPECT_TRUE(back == *p);
    }
}

TEST(PictureBytes, DamagedBytesAreRefusedWhole) {
    const std::vector<uint8_t> good = picture_bytes_write(everyField());
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"magic only", std::vector<uint8_t>(good.begin(), good.begin() + 8)});
    {
        std::vector<uint8_t> b = good;
        b[0] = 'X';
        cases.push_back({"wrong magic", b});
    }
    cases.push_back({"truncated by one byte", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    cases.push_back({"cut in the middle", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))});
    {
        std::vector<uint8_t> b = good;
        b.push_back(0);
        cases.push_back({"trailing byte", b});
    }
    {
        // The action count (after the 44-byte header and the empty metafile block) claims 2^31 - 1.
        std::vector<uint8_t> b = good;
        b[48] = 0xFF; b[49] = 0xFF; b[50] = 0xFF; b[51] = 0x7F;
        cases.push_back({"huge action count", b});
    }
    {
        std::vector<uint8_t> b = good;
        b[52] = 40;  // first action type
        cases.push_back({"unknown action type", b});
    }
    {
        // The metafile block length claims more bytes than there are.
        std::vector<uint8_t> b = good;
        b[44] = 0xF0; b[45] = 0xFF; b[46] = 0xFF; b[47] = 0x00;
        cases.push_back({"metafile longer than the bytes", b});
    }
    for (const Case& c : cases) {
        Picture out;
        out.setPrefSize(Size(1, 1));
        out.addAction(PictureAction(PA_PUSH));
        EXPECT_FALSE(picture_bytes_read(c.bytes.data(), c.bytes.size(), out)) << c.name;
        EXPECT_TRUE(out.isEmpty()) << c.name;
    }
    // Every prefix of a good stream is refused without reading past its end.
    for (std::size_t n = 0; n < good.size(); n += 7) {
        Picture out;
        EXPECT_FALSE(picture_bytes_read(good.data(), n, out)) << "prefix " << n;
    }
}

TEST(ClipboardPicture, CopiedPictureComesBackWithAPngForOtherPrograms) {
    PictureRecorder rec(Size(40, 30));
    rec.setPen(Pen(Color::fromRGB8(255, 0, 0)));
    rec.drawLine(Point(0, 10), Point(39, 10));
    const Picture pic = rec.getPicture();

    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyString("text too"));
    ASSERT_TRUE(Clipboard::copyPicture(pic));
    EXPECT_TRUE(Clipboard::hasFormat(FORMAT_PICTURE));
    EXPECT_TRUE(Clipboard::hasFormat(FORMAT_STRING));
    EXPECT_EQ(Clipboard::getDataLength(FORMAT_PICTURE), picture_bytes_write(pic).size());

    Picture back = Clipboard::pastePicture();
    EXPECT_TRUE(back == pic);

    const QMimeData* d = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(d && d->hasImage());
    QImage png = qvariant_cast<QImage>(d->imageData());
    ASSERT_EQ(png.size(), QSize(40, 30));
    EXPECT_EQ(QColor(png.pixel(20, 10)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(png.pixel(20, 20)), QColor(255, 255, 255));

    // A later copy replaces the picture.
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyString("only text"));
    EXPECT_FALSE(Clipboard::hasFormat(FORMAT_PICTURE));
    EXPECT_TRUE(Clipboard::pastePicture().isEmpty());
    EXPECT_FALSE(Clipboard::copyPicture(Picture()));
}

TEST(ClipboardPicture, DamagedPictureFromAnotherProgramPastesAsEmpty) {
    auto* data = new QMimeData;
    data->setData("application/x-wkelvo-picture", QByteArray("KWPICT1\0garbage", 15));
    QGuiApplication::clipboard()->setMimeData(data);
    EXPECT_TRUE(Clipboard::hasFormat(FORMAT_PICTURE));
    EXPECT_TRUE(Clipboard::pastePicture().isEmpty());
    char buf[4];
    EXPECT_EQ(Clipboard::pasteData(FORMAT_PICTURE, buf, sizeof buf), sizeof buf);  // never more than asked
    Clipboard::clear();
}

}  // namespace
