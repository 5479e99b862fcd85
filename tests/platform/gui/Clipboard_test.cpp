// Clipboard: several formats in one copy, exact bytes of registered formats, the paste limits
// and the text conversions for data from other programs.
#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/VirtualDevice.h"

namespace {

TEST(Clipboard, RegisteredFormatsHaveStableIdsAndMimeTypes) {
    uint32_t a = Clipboard::registerFormat("WREZURU5");
    uint32_t b = Clipboard::registerFormat("Embedded Object");
    EXPECT_GE(a, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(Clipboard::registerFormat("WREZURU5"), a);
    EXPECT_EQ(Clipboard::registerFormat("wrezuru5"), a);
    Clipboard::clear();
    const char bytes[] = "x";
    ASSERT_TRUE(Clipboard::copyData(b, bytes, 1));
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("application/x-wkelvo-embedded-object"));
    EXPECT_FALSE(Clipboard::copyData(FORMAT_STRING, bytes, 1));  // text goes through copyString
    EXPECT_FALSE(Clipboard::copyData(0xFFFF, bytes, 1));        // never registered
}

TEST(Clipboard, WorksheetBytesComeBackExactlyWithTheirLength) {
    uint32_t ws = Clipboard::registerFormat("WREZURU5");
    std::string data;
    for (int i = 0; i < 512; ++i) data += static_cast<char>(i & 0xFF);  // includes 0x00 and 0x80..0xFF
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyData(ws, data.data(), data.size()));
    ASSERT_TRUE(Clipboard::hasFormat(ws));
    ASSERT_EQ(Clipboard::getDataLength(ws), data.size());
    std::vector<char> buf(data.size() + 16, '#');
    EXPECT_EQ(Clipboard::pasteData(ws, buf.data(), buf.size()), data.size());
    EXPECT_EQ(std::string(buf.data(), data.size()), data);
    // Never more than the caller asked for.
    std::vector<char> small(10, '#');
    small.push_back('!');
    EXPECT_EQ(Clipboard::pasteData(ws, small.data(), 10), 10u);
    EXPECT_EQ(small[10], '!');
    EXPECT_EQ(Clipboard::pasteData(ws, nullptr, 10), 0u);
}

TEST(Clipboard, OneCopyHoldsSeveralFormatsAndALaterCopyReplacesThem) {
    uint32_t ws = Clipboard::registerFormat("WREZURU5");
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyData(ws, "abc", 3));
    ASSERT_TRUE(Clipboard::copyString("Caf\xE9 \x80"));
    EXPECT_TRUE(Clipboard::hasFormat(ws));
    EXPECT_TRUE(Clipboard::hasFormat(FORMAT_STRING));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Café €"));
    EXPECT_EQ(Clipboard::pasteString(), String("Caf\xE9 \x80"));
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyString("new"));
    EXPECT_FALSE(Clipboard::hasFormat(ws));
    EXPECT_EQ(Clipboard::pasteString(), String("new"));
}

struct PasteCase { const char* name; QString text; std::string expected; };

TEST(Clipboard, TextFromOtherProgramsArrivesAsCp1252) {
    const PasteCase cases[] = {
        {"utf-8 accents and euro", QString::fromUtf8("na\xC3\xAFve \xE2\x82\xAC"), "na\xEFve \x80"},
        {"nul removed", QString::fromUtf8("a\0b", 3), "ab"},
        {"outside cp1252", QString::fromUtf8("\xCE\xB1=\xE6\x97\xA5"), "?=?"},
        {"emoji is one character", QString::fromUtf8("x\xF0\x9F\x98\x80y"), "x?y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setText(c.text);
        EXPECT_EQ(Clipboard::pasteString().str(), c.expected);
        EXPECT_EQ(Clipboard::getDataLength(FORMAT_STRING), c.expected.size());
        std::vector<char> buf(c.expected.size() + 4, '#');
        EXPECT_EQ(Clipboard::pasteData(FORMAT_STRING, buf.data(), buf.size()), c.expected.size());
        EXPECT_EQ(std::string(buf.data(), c.expected.size()), c.expected);
    }
}

TEST(Clipboard, OversizedWorksheetBlockIsRefused) {
    uint32_t ws = Clipboard::registerFormat("WREZURU5");
    auto* data = new QMimeData;
    data->setData("application/x-wkelvo-wrezuru5", QByteArray(static_cast<qsizetype>(Clipboard::kMaxBlock) + 1, 'x'));
    QGuiApplication::clipboard()->setMimeData(data);
    EXPECT_FALSE(Clipboard::hasFormat(ws));
    EXPECT_EQ(Clipboard::getDataLength(ws), 0u);
    char buf[4];
    EXPECT_EQ(Clipboard::pasteData(ws, buf, sizeof buf), 0u);
    Clipboard::clear();
}

TEST(Clipboard, BitmapsTravelAsPng) {
    VirtualDevice d;
    ASSERT_TRUE(d.setOutputSizePixel(Size(8, 6)));
    d.drawPixel(Point(3, 2), Color::fromRGB8(200, 10, 20));
    Bitmap b = d.getBitmap(Point(0, 0), Size(8, 6));
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyBitmap(b));
    EXPECT_TRUE(Clipboard::hasFormat(FORMAT_BITMAP));
    Bitmap back = Clipboard::pasteBitmap();
    EXPECT_EQ(back, b);
    EXPECT_FALSE(Clipboard::copyBitmap(Bitmap()));
}

}  // namespace
