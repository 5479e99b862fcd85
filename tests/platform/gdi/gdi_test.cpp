// Objects, recording device contexts and metafile handles.
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/wmf_player.h"
#include "tests/platform/gdi/gdi_test_util.h"
#include "tests/support/named_rows.h"

namespace {

using gdi_test::CallLog;
using gdi_test::le16;
using gdi_test::le32;

// Walks the records of Windows-metafile bits: (function, size in words) per record.
std::vector<std::pair<uint16_t, uint32_t>> wmfRecords(const std::vector<uint8_t>& b) {
    std::vector<std::pair<uint16_t, uint32_t>> out;
    for (std::size_t pos = 18; pos + 6 <= b.size();) {
        uint32_t words = le32(b, pos);
        out.emplace_back(le16(b, pos + 4), words);
        if (words < 3) break;
        pos += std::size_t(words) * 2;
    }
    return out;
}

TEST(MetafileRecording, SampleBitsHaveTheHeaderTheRecordsAndTheEndRecord) {
    HDC dc = CreateMetaFileA(nullptr);
    ASSERT_NE(dc, nullptr);
    gdi_test::recordSample(dc, nullptr);
    HMETAFILE mf = CloseMetaFile(dc);
    ASSERT_NE(mf, nullptr);
    const std::vector<uint8_t> bits = gdi_test::metafileBits(mf);
    ASSERT_GE(bits.size(), 24u);

    EXPECT_EQ(le16(bits, 0), 1) << "memory metafile";
    EXPECT_EQ(le16(bits, 2), 9);
    EXPECT_EQ(le16(bits, 4), 0x0300);
    EXPECT_EQ(le32(bits, 6) * 2, bits.size()) << "size field in 16-bit words";
    EXPECT_EQ(le16(bits, 10), 5) << "two pens and three fonts alive at once";
    EXPECT_EQ(le16(bits, 16), 0);
    const std::vector<uint8_t> end = {3, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(end.begin(), end.end(), bits.end() - 6));

    uint32_t largest = 0;
    int fonts = 0, pens = 0;
    for (auto [function, words] : wmfRecords(bits)) {
        largest = std::max(largest, words);
        fonts += function == 0x02FB;
        pens += function == 0x02FA;
    }
    EXPECT_EQ(le32(bits, 12), largest);
    EXPECT_EQ(largest, 3u + 25u) << "the font record: LOGFONT16 of 50 bytes";
    EXPECT_EQ(fonts, 3) << "the Roman font selected twice is written once";
    EXPECT_EQ(pens, 2) << "the thin pen selected twice is written once";
    EXPECT_TRUE(DeleteMetaFile(mf));
}

TEST(MetafileRecording, BitsPlayedBackGiveTheSameCallsWithTheSameFields) {
    HDC dc = CreateMetaFileA(nullptr);
    std::vector<std::string> expected;
    gdi_test::recordSample(dc, &expected);
    HMETAFILE mf = CloseMetaFile(dc);
    const std::vector<uint8_t> bits = gdi_test::metafileBits(mf);
    DeleteMetaFile(mf);

    HMETAFILE copy = SetMetaFileBitsEx(static_cast<UINT>(bits.size()), bits.data());
    ASSERT_NE(copy, nullptr);
    CallLog log;
    EXPECT_TRUE(PlayMetaFile(log, copy));
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(gdi_test::metafileBits(copy), bits);
    DeleteMetaFile(copy);
}

TEST(MetafileRecording, ObjectsOutliveARecordingAndAreWrittenIntoEachMetafileOnce) {
    LOGFONTA lf;
    lf.lfHeight = -200;
    std::strcpy(lf.lfFaceName, "Times New Roman");
    HFONT font = CreateFontIndirectA(&lf);
    for (int round = 0; round < 2; ++round) {
        HDC dc = CreateMetaFileA(nullptr);
        HGDIOBJ first = SelectObject(dc, font);
        EXPECT_EQ(first, GetStockObject(SYSTEM_FONT)) << "a new context starts with the stock font";
        EXPECT_EQ(SelectObject(dc, font), font);
        HMETAFILE mf = CloseMetaFile(dc);
        CallLog log;
        EXPECT_TRUE(PlayMetaFile(log, mf));
        EXPECT_EQ(log.calls, (std::vector<std::string>{"font 0 " + gdi_test::describe(lf), "select 0", "select 0"}))
            << "round " << round;
        DeleteMetaFile(mf);
    }
    EXPECT_TRUE(DeleteObject(font));
}

TEST(MetafileRecording, DeletingAnObjectNeverSelectedWritesNothing) {
    HDC dc = CreateMetaFileA(nullptr);
    HPEN pen = CreatePen(PS_DASH, 2, RGB(1, 2, 3));
    EXPECT_TRUE(DeleteObject(pen));
    HMETAFILE mf = CloseMetaFile(dc);
    CallLog log;
    EXPECT_TRUE(PlayMetaFile(log, mf));
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(gdi_test::metafileBits(mf).size(), 24u) << "header and end record only";
    DeleteMetaFile(mf);
}

TEST(MetafileRecording, FreedSlotsAreReused) {
    HDC dc = CreateMetaFileA(nullptr);
    HPEN a = CreatePen(PS_SOLID, 1, 0), b = CreatePen(PS_SOLID, 2, 0), c = CreatePen(PS_SOLID, 3, 0);
    SelectObject(dc, a);
    SelectObject(dc, b);
    DeleteObject(a);
    SelectObject(dc, c);
    HMETAFILE mf = CloseMetaFile(dc);
    CallLog log;
    PlayMetaFile(log, mf);
    EXPECT_EQ(log.calls.size(), 7u);
    EXPECT_EQ(log.calls.back(), "select 0");
    EXPECT_EQ(log.calls[5], "pen 0 style=0 width=3 color=0") << "the pen after a delete takes the freed slot";
    EXPECT_EQ(gdi_test::le16(gdi_test::metafileBits(mf), 10), 2) << "at most two alive at once";
    DeleteMetaFile(mf);
    DeleteObject(b);
    DeleteObject(c);
}

TEST(GdiHandles, BadHandlesAndArgumentsFail) {
    EXPECT_EQ(CreateMetaFileA("out.wmf"), nullptr) << "metafiles live in memory only";
    RECT frame{0, 0, 100, 100};
    EXPECT_EQ(CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateEnhMetaFileA(nullptr, "out.emf", &frame, nullptr), nullptr);

    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))) << "stock objects stay";
    EXPECT_NE(GetStockObject(BLACK_PEN), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr);

    HDC wmf = CreateMetaFileA(nullptr);
    HDC emf = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    // The pen is deleted after the contexts exist: a freed handle's value may come back for a
    // new object of the same kind (as in Win32), so nothing is created between the delete and
    // the uses of the stale handle below.
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)) << "twice";
    EXPECT_EQ(SelectObject(wmf, pen), nullptr) << "a deleted object";
    EXPECT_EQ(CloseMetaFile(emf), nullptr) << "wrong kind; the context stays open";
    EXPECT_EQ(CloseEnhMetaFile(wmf), nullptr);
    EXPECT_FALSE(TextOutA(wmf, 0, 0, nullptr, 3));
    EXPECT_FALSE(TextOutA(wmf, 0, 0, "x", -1));
    const POINT one[1] = {{1, 1}};
    EXPECT_FALSE(Polyline(wmf, one, 1));
    EXPECT_EQ(SetBkMode(wmf, 7), 0);
    HMETAFILE mf = CloseMetaFile(wmf);
    HENHMETAFILE emf2 = CloseEnhMetaFile(emf);
    ASSERT_NE(mf, nullptr);
    ASSERT_NE(emf2, nullptr);
    EXPECT_FALSE(LineTo(wmf, 1, 1)) << "a closed context";
    EXPECT_EQ(SetTextColor(wmf, 0), CLR_INVALID);
    EXPECT_EQ(SetTextAlign(wmf, 0), GDI_ERROR);

    std::vector<uint8_t> small(10, 0xAA);
    EXPECT_EQ(GetMetaFileBitsEx(mf, 10, small.data()), 0u) << "a buffer too small gets nothing";
    EXPECT_EQ(small, std::vector<uint8_t>(10, 0xAA));
    EXPECT_TRUE(DeleteMetaFile(mf));
    EXPECT_FALSE(DeleteMetaFile(mf));
    EXPECT_EQ(GetMetaFileBitsEx(mf, 0, nullptr), 0u);
    EXPECT_TRUE(DeleteEnhMetaFile(emf2));
    EXPECT_FALSE(DeleteEnhMetaFile(emf2));
}

TEST(GdiHandles, SelectObjectAnswersThePreviousObjectOfItsKind) {
    HDC dc = CreateMetaFileA(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), pen);
    EXPECT_EQ(SetTextAlign(dc, TA_BASELINE), 0u);
    EXPECT_EQ(SetTextAlign(dc, TA_TOP), TA_BASELINE);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    POINT previous{-1, -1};
    MoveToEx(dc, 5, 6, nullptr);
    MoveToEx(dc, 7, 8, &previous);
    EXPECT_EQ(previous, (POINT{5, 6}));
    DeleteMetaFile(CloseMetaFile(dc));
    DeleteObject(pen);
    DeleteObject(brush);
}

using kelvo_test::PrintTo;

struct BitsCase {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> header(uint16_t type, uint16_t hsize, uint16_t version, uint32_t words) {
    return {uint8_t(type), 0, uint8_t(hsize), 0, uint8_t(version), uint8_t(version >> 8),
            uint8_t(words), uint8_t(words >> 8), uint8_t(words >> 16), uint8_t(words >> 24),
            0, 0, 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0};
}

const BitsCase kRefused[] = {
    {"empty", {}},
    {"shorter_than_a_header", {1, 0, 9, 0, 0, 3, 12, 0}},
    {"type_3", header(3, 9, 0x300, 12)},
    {"header_size_8", header(1, 8, 0x300, 12)},
    {"version_0x200", header(1, 9, 0x200, 12)},
    {"size_beyond_the_bytes", header(1, 9, 0x300, 13)},
    {"size_without_room_for_the_end_record", header(1, 9, 0x300, 11)},
    {"placeable_header_first", {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0xA0, 0x05, 0xD0, 0x02, 0xA0,
                                0x05, 0, 0, 0, 0, 0xC1, 0x55, 1, 0, 9, 0, 0, 3, 12, 0, 0, 0}},
};

class SetMetaFileBitsRefusal : public ::testing::TestWithParam<BitsCase> {};

TEST_P(SetMetaFileBitsRefusal, GivesNoHandle) {
    const BitsCase& c = GetParam();
    EXPECT_EQ(SetMetaFileBitsEx(static_cast<UINT>(c.bytes.size()), c.bytes.empty() ? nullptr : c.bytes.data()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Bits, SetMetaFileBitsRefusal, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetMetaFileBits, KeepsTheBytesTheSizeFieldNamesAndAcceptsDiskMetafiles) {
    std::vector<uint8_t> b = header(2, 9, 0x100, 12);
    b.insert(b.end(), {0xEE, 0xEE});  // beyond the size field: not part of the metafile
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(b.size()), b.data());
    ASSERT_NE(mf, nullptr);
    EXPECT_EQ(GetMetaFileBitsEx(mf, 0, nullptr), 24u);
    CallLog log;
    EXPECT_TRUE(PlayMetaFile(log, mf));
    DeleteMetaFile(mf);
}

// ---- enhanced metafiles ----

TEST(EnhancedMetafileRecording, HeaderHoldsTheFrameTheCountsAndTheDescription) {
    const RECT frame{0, 0, 5080, 2540};
    static const char description[] = "Orvane Inc\0Math Expression\0";
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, description);
    ASSERT_NE(dc, nullptr);
    gdi_test::recordSample(dc, nullptr);
    HENHMETAFILE mf = CloseEnhMetaFile(dc);
    const std::vector<uint8_t> b = gdi_test::enhMetafileBits(mf);
    ASSERT_GE(b.size(), 108u);

    EXPECT_EQ(le32(b, 0), 1u);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 24)), 0);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 28)), 0);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 32)), 5080);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 36)), 2540);
    EXPECT_EQ(le32(b, 40), 0x464D4520u);
    EXPECT_EQ(le32(b, 48), b.size());

    // Walk the records: each a multiple of 4 bytes, the count as the header says, the end last.
    uint32_t records = 0, lastType = 0, fonts = 0, maxSlot = 0;
    for (std::size_t pos = 0; pos < b.size();) {
        const uint32_t type = le32(b, pos), size = le32(b, pos + 4);
        ASSERT_TRUE(size >= 8 && size % 4 == 0 && size <= b.size() - pos) << "record at " << pos;
        if (type == 82) ++fonts;
        if (type == 37 && !(le32(b, pos + 8) & 0x80000000u)) maxSlot = std::max(maxSlot, le32(b, pos + 8));
        lastType = type;
        ++records;
        pos += size;
    }
    EXPECT_EQ(le32(b, 52), records);
    EXPECT_EQ(lastType, 14u);
    EXPECT_EQ(fonts, 3u);
    EXPECT_EQ(le16(b, 56), maxSlot + 1) << "slot 0 is reserved";

    // "Orvane Inc", NUL, "Math Expression", NUL, NUL in UTF-16.
    const std::string text("Orvane Inc\0Math Expression\0\0", 28);
    ASSERT_EQ(le32(b, 60), text.size());
    ASSERT_EQ(le32(b, 64), 108u);
    for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(le16(b, 108 + 2 * i), uint8_t(text[i])) << i;
    EXPECT_EQ(le32(b, 4) % 4, 0u);
    EXPECT_EQ(le32(b, 4), 108u + 56u);
    DeleteEnhMetaFile(mf);
}

}  // namespace
