// The placeable header: bytes written, fields read back, keys refused.
#include "platform/gdi/placeable.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kelvo_test::PrintTo;

struct HeaderCase {
    const char* name;
    int width, height, inch;
    std::vector<uint8_t> bytes;
};

const HeaderCase kHeaders[] = {
    {"twips_1440x720", 1440, 720, 1440,
     {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0xA0, 0x05, 0xD0, 0x02, 0xA0, 0x05, 0, 0, 0, 0, 0xC1, 0x55}},
    {"thousandths_2000x1000", 2000, 1000, 1000,
     {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0xD0, 0x07, 0xE8, 0x03, 0xE8, 0x03, 0, 0, 0, 0, 0xC1, 0x50}},
};

class PlaceableHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(PlaceableHeaderTest, WritesTheBytesAndReadsTheFieldsBack) {
    const HeaderCase& c = GetParam();
    const PlaceableHeader h = placeable_header_make(c.width, c.height, c.inch);
    uint8_t out[PLACEABLE_HEADER_BYTES];
    placeable_header_write(h, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + PLACEABLE_HEADER_BYTES), c.bytes);

    PlaceableHeader back;
    ASSERT_TRUE(placeable_header_read(c.bytes.data(), c.bytes.size(), back));
    EXPECT_EQ(back, h);
    EXPECT_EQ(back.key, PLACEABLE_KEY);
    EXPECT_EQ(back.left, 0);
    EXPECT_EQ(back.top, 0);
    EXPECT_EQ(back.right, c.width);
    EXPECT_EQ(back.bottom, c.height);
    EXPECT_EQ(back.inch, c.inch);
    EXPECT_EQ(back.checksum, placeable_checksum(back));
}

INSTANTIATE_TEST_SUITE_P(Headers, PlaceableHeaderTest, ::testing::ValuesIn(kHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlaceableHeaderRead, RefusesAWrongKeyAndShortBytes) {
    std::vector<uint8_t> b = kHeaders[0].bytes;
    PlaceableHeader h;
    h.inch = 77;
    b[3] = 0x9B;
    EXPECT_FALSE(placeable_header_read(b.data(), b.size(), h));
    EXPECT_EQ(h.inch, 77) << "a refused header leaves the output alone";
    b = kHeaders[0].bytes;
    EXPECT_FALSE(placeable_header_read(b.data(), b.size() - 1, h));
    EXPECT_FALSE(placeable_header_read(nullptr, 22, h));
}

TEST(PlaceableHeaderRead, IgnoresTheChecksumOfOtherWriters) {
    std::vector<uint8_t> b = kHeaders[1].bytes;
    b[20] ^= 0xFF;
    PlaceableHeader h;
    ASSERT_TRUE(placeable_header_read(b.data(), b.size(), h));
    EXPECT_EQ(h.inch, 1000);
    EXPECT_NE(h.checksum, placeable_checksum(h));
}

}  // namespace
