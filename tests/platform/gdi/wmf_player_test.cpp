// The player: each record kind it knows, the object table, and damaged metafiles.
#include "platform/gdi/wmf_player.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/placeable.h"
#include "tests/platform/gdi/gdi_test_util.h"
#include "tests/support/named_rows.h"

namespace {

using gdi_test::CallLog;
using gdi_test::WmfBuilder;

uint16_t lo(uint32_t v) { return uint16_t(v & 0xFFFF); }
uint16_t hi(uint32_t v) { return uint16_t(v >> 16); }
uint16_t w(int v) { return uint16_t(int16_t(v)); }

// A 2 x 2 DIB header for a stretched-bitmap record, as 16-bit words.
std::vector<uint16_t> dibWords(int width, int height, int bits, uint32_t used, std::vector<uint16_t> tail) {
    std::vector<uint16_t> v = {
        0x0020, 0x00CC,  // SRCCOPY
        0,               // DIB_RGB_COLORS
        w(2), w(2), 0, 0,  // source height, width, y, x
        w(40), w(60), w(5), w(10),  // destination height, width, y, x
        40, 0, lo(uint32_t(width)), hi(uint32_t(width)), lo(uint32_t(height)), hi(uint32_t(height)), 1,
        uint16_t(bits), 0, 0, 0, 0, 0, 0, 0, 0, lo(used), hi(used), 0, 0};
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

using kelvo_test::PrintTo;

struct RecordCase {
    const char* name;
    std::function<void(WmfBuilder&)> build;
    std::vector<std::string> calls;
};

const RecordCase kRecords[] = {
    {"map_mode_and_window", [](WmfBuilder& b) { b.record(0x0103, {8}).windowOrg(-10, 20).windowExt(1000, -500); },
     {"mapmode 8", "winorg -10,20", "winext 1000,-500"}},
    {"text_align_of_one_word", [](WmfBuilder& b) { b.record(0x012E, {24}); }, {"textalign 24"}},
    {"colours", [](WmfBuilder& b) { b.record(0x0201, {0x3412, 0x56}).record(0x0209, {0xFF, 0}); },
     {"bkcolor 5649426", "textcolor 255"}},
    {"rectangle", [](WmfBuilder& b) { b.record(0x041B, {40, 30, 20, 10}); }, {"rect 10,20 30,40"}},
    {"polygon", [](WmfBuilder& b) { b.record(0x0324, {3, 0, 0, 10, 0, w(-5), 7}); }, {"polygon 0,0 10,0 -5,7"}},
    {"brush_created_and_selected",
     [](WmfBuilder& b) { b.brush(0, RGB(0, 128, 0)).select(0); },
     {"brush 0 style=0 color=32768 hatch=0", "select 0"}},
    {"text_out_odd_length", [](WmfBuilder& b) { b.record(0x0521, {3, 0x6261, 0x0063, 20, 10}); }, {"text 10,20 [abc]"}},
    {"ext_text_out_clipped_with_advances",
     [](WmfBuilder& b) { b.record(0x0A32, {20, 10, 2, 4, 1, 2, 3, 4, 0x6261, 7, 8}); },
     {"exttext 10,20 opt=4 clip=1,2,3,4 [ab] 7 8"}},
    {"ext_text_out_plain_without_advances",
     [](WmfBuilder& b) { b.record(0x0A32, {20, 10, 1, 0, 0x0078}); }, {"exttext 10,20 opt=0 [x]"}},
    {"save_and_restore", [](WmfBuilder& b) { b.record(0x001E, {}).record(0x0127, {w(-1)}); }, {"save", "restore -1"}},
    {"stretched_8_bit_dib",
     [](WmfBuilder& b) { b.record(0x0F43, dibWords(2, 2, 8, 2, {0, 0, 0xFFFF, 0x00FF, 0x0100, 0, 0x0001, 0})); },
     {"dib dest=10,5,60,40 src=0,0,2,2 rop=13369376 2x2x8 pal=2 rows=8"}},
    {"stretched_top_down_24_bit_dib",
     [](WmfBuilder& b) { b.record(0x0F43, dibWords(2, -2, 24, 0, std::vector<uint16_t>(8, 0x7777))); },
     {"dib dest=10,5,60,40 src=0,0,2,2 rop=13369376 2x2x24 pal=0 rows=16"}},
    {"compressed_dib_skipped",
     [](WmfBuilder& b) {
         std::vector<uint16_t> v = dibWords(2, 2, 8, 0, {});
         v[19] = 1;  // BI_RLE8
         b.record(0x0F43, v).moveTo(1, 1);
     },
     {"moveto 1,1"}},
    {"unknown_record_skipped", [](WmfBuilder& b) { b.record(0x0817, {1, 2, 3, 4, 5}).lineTo(3, 4); }, {"lineto 3,4"}},
};

class PlayerRecords : public ::testing::TestWithParam<RecordCase> {};

TEST_P(PlayerRecords, HandsTheRecordToTheTarget) {
    const RecordCase& c = GetParam();
    WmfBuilder b;
    c.build(b);
    const std::vector<uint8_t> bits = b.bits();
    CallLog log;
    EXPECT_TRUE(wmf_play(bits.data(), bits.size(), log));
    EXPECT_EQ(log.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Records, PlayerRecords, ::testing::ValuesIn(kRecords),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Player, PlaysBitsWithAPlaceableHeader) {
    const std::vector<uint8_t> bare = WmfBuilder().moveTo(1, 2).lineTo(3, 4).bits();
    std::vector<uint8_t> placed(PLACEABLE_HEADER_BYTES);
    placeable_header_write(placeable_header_make(100, 100, 1440), placed.data());
    placed.insert(placed.end(), bare.begin(), bare.end());
    CallLog log;
    EXPECT_TRUE(wmf_play(placed.data(), placed.size(), log));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"moveto 1,2", "lineto 3,4"}));
}

TEST(Player, AFullObjectTableCreatesNothingMore) {
    // The header has room for two objects; the third creation finds no slot.
    const std::vector<uint8_t> bits =
        WmfBuilder(2).pen(0, 1, 0).pen(0, 2, 0).pen(0, 3, 0).select(1).record(0x01F0, {0}).pen(0, 4, 0).select(0).bits();
    CallLog log;
    EXPECT_TRUE(wmf_play(bits.data(), bits.size(), log));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"pen 0 style=0 width=1 color=0", "pen 1 style=0 width=2 color=0",
                                                   "select 1", "delete 0", "pen 0 style=0 width=4 color=0",
                                                   "select 0"}));
}

// ---- damaged metafiles ----

struct DamageCase {
    const char* name;
    std::vector<uint8_t> bits;
    bool acceptedBySetBits;
    std::vector<std::string> played;  // what plays before the damage
};

// Every damaged metafile starts with one good move-to, which must play.
WmfBuilder good() { return std::move(WmfBuilder().moveTo(1, 2)); }

std::vector<DamageCase> damageCases() {
    return {
        {"size_field_larger_than_the_bytes", good().lineTo(3, 4).bits(true, 400), false, {"moveto 1,2", "lineto 3,4"}},
        {"record_of_size_0", good().record(0x0213, {4, 3}, 0).lineTo(5, 6).bits(), true, {"moveto 1,2"}},
        {"record_of_size_2", good().record(0x0213, {4, 3}, 2).bits(), true, {"moveto 1,2"}},
        {"record_running_past_the_end", good().record(0x0213, {4, 3}, 900).bits(false), true, {"moveto 1,2"}},
        {"record_cut_inside_its_head", good().raw({9, 0, 0}).bits(false), true, {"moveto 1,2"}},
        {"object_index_beyond_the_table", good().pen(0, 1, 0).select(7).lineTo(5, 6).bits(), true,
         {"moveto 1,2", "pen 0 style=0 width=1 color=0"}},
        {"deleted_object_selected", good().pen(0, 1, 0).record(0x01F0, {0}).select(0).bits(), true,
         {"moveto 1,2", "pen 0 style=0 width=1 color=0", "delete 0"}},
        {"polyline_count_beyond_its_record", good().record(0x0325, {40, 0, 0, 1, 1}).bits(), true, {"moveto 1,2"}},
        {"font_record_shorter_than_a_logfont", good().record(0x02FB, {w(-240), 0, 0, 0, 400}).bits(), true,
         {"moveto 1,2"}},
        {"text_length_beyond_its_record", good().record(0x0521, {50, 0x6161, 1, 1}).bits(), true, {"moveto 1,2"}},
        {"ext_text_without_its_rectangle", good().record(0x0A32, {1, 1, 0, 2}).bits(), true, {"moveto 1,2"}},
        {"dib_rows_beyond_its_record", good().record(0x0F43, dibWords(200, 200, 24, 0, {1, 2})).bits(), true,
         {"moveto 1,2"}},
        {"dib_palette_larger_than_its_depth", good().record(0x0F43, dibWords(2, 2, 1, 3, std::vector<uint16_t>(14, 0))).bits(),
         true, {"moveto 1,2"}},
        {"pen_record_cut_short", good().record(0x02FA, {0, 1}).bits(), true, {"moveto 1,2"}},
        {"no_end_record", good().bits(false), true, {"moveto 1,2"}},
        {"header_claiming_65535_objects", WmfBuilder(65535).moveTo(1, 2).pen(0, 1, 0).select(0).select(9).bits(), true,
         {"moveto 1,2", "pen 0 style=0 width=1 color=0", "select 0"}},
    };
}

class DamagedMetafile : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedMetafile, IsRefusedOrPlaysUpToTheDamage) {
    const DamageCase& c = GetParam();
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(c.bits.size()), c.bits.data());
    EXPECT_EQ(mf != nullptr, c.acceptedBySetBits);
    if (mf) {
        CallLog log;
        EXPECT_FALSE(PlayMetaFile(log, mf));
        EXPECT_EQ(log.calls, c.played);
        DeleteMetaFile(mf);
    }
    // The raw player, given exactly the bytes (no more), stops at the same place.
    std::vector<uint8_t> exact(c.bits);
    CallLog raw;
    // A size field beyond the bytes is cut to them, so that metafile plays to its end record.
    EXPECT_EQ(wmf_play(exact.data(), exact.size(), raw), !c.acceptedBySetBits);
    EXPECT_EQ(raw.calls, c.played);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedMetafile, ::testing::ValuesIn(damageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Player, EveryPrefixOfTheSampleStopsCleanly) {
    HDC dc = CreateMetaFileA(nullptr);
    gdi_test::recordSample(dc, nullptr);
    HMETAFILE mf = CloseMetaFile(dc);
    const std::vector<uint8_t> bits = gdi_test::metafileBits(mf);
    DeleteMetaFile(mf);
    for (std::size_t n = 0; n < bits.size(); ++n) {
        // Copied so that AddressSanitizer sees the exact end.
        std::vector<uint8_t> cut(bits.begin(), bits.begin() + static_cast<long>(n));
        MetafileTarget nothing;
        EXPECT_FALSE(wmf_play(cut.data(), cut.size(), nothing)) << n;
    }
}

}  // namespace
