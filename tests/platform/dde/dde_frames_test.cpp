// The frame reader and writer: round trips, byte-at-a-time feeding, and the rejections that end
// a connection.
#include "platform/dde/dde_frames.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace dde;

namespace {

std::string header(uint8_t kind, uint32_t length) {
    std::string h(1, static_cast<char>(kind));
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    return h;
}

std::string allBytes() {
    std::string s;
    for (int b = 1; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
}

}  // namespace

TEST(DdeFrames, ConversationRoundTripsWholeAndByteByByte) {
    std::string stream;
    ASSERT_TRUE(frame_initiate(stream, "wkelvo", "DURavIreru"));
    ASSERT_TRUE(frame_poke(stream, "BM_LAUNCH_TEXT", allBytes()));
    ASSERT_TRUE(frame_poke(stream, "Open", ""));
    ASSERT_TRUE(frame_ack(stream, false));
    ASSERT_TRUE(frame_terminate(stream));
    for (bool byteByByte : {false, true}) {
        SCOPED_TRACE(byteByByte ? "byte by byte" : "whole");
        FrameReader r;
        std::vector<Frame> got;
        Frame f;
        std::size_t fed = 0;
        while (fed < stream.size()) {
            std::size_t n = byteByByte ? 1 : stream.size();
            r.feed(stream.data() + fed, n);
            fed += n;
            FrameReader::Status s;
            while ((s = r.next(f)) == FrameReader::Status::Frame) got.push_back(f);
            ASSERT_EQ(s, FrameReader::Status::NeedMore);
        }
        EXPECT_FALSE(r.midFrame());
        ASSERT_EQ(got.size(), 5u);
        EXPECT_EQ(got[0].kind, FrameKind::Initiate);
        EXPECT_EQ(got[0].name, "wkelvo");
        EXPECT_EQ(got[0].topic, "DURavIreru");
        EXPECT_EQ(got[1].kind, FrameKind::Poke);
        EXPECT_EQ(got[1].name, "BM_LAUNCH_TEXT");
        EXPECT_EQ(got[1].data, allBytes());
        EXPECT_EQ(got[2].data, "");
        EXPECT_EQ(got[3].kind, FrameKind::Ack);
        EXPECT_FALSE(got[3].positive);
        EXPECT_EQ(got[4].kind, FrameKind::Terminate);
    }
}

TEST(DdeFrames, MidFrameWhileAFrameIsUnfinished) {
    std::string s;
    frame_poke(s, "Open", "a.kws");
    FrameReader r;
    Frame f;
    r.feed(s.data(), 3);
    EXPECT_EQ(r.next(f), FrameReader::Status::NeedMore);
    EXPECT_TRUE(r.midFrame());
    r.feed(s.data() + 3, s.size() - 3);
    EXPECT_EQ(r.next(f), FrameReader::Status::Frame);
    EXPECT_FALSE(r.midFrame());
}

TEST(DdeFrames, WriterRefusesWhatTheReaderWouldReject) {
    std::string out;
    EXPECT_FALSE(frame_initiate(out, std::string(256, 'a'), "t"));
    EXPECT_FALSE(frame_initiate(out, "", "t"));
    EXPECT_FALSE(frame_poke(out, std::string("a\0b", 3), "x"));
    EXPECT_FALSE(frame_poke(out, "Open", std::string(kMaxPayload, 'x')));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(frame_initiate(out, std::string(255, 'a'), "t"));
}

using kelvo_test::PrintTo;

struct BadStream {
    const char* name;
    std::string bytes;
};

class DdeFramesReject : public ::testing::TestWithParam<BadStream> {};

TEST_P(DdeFramesReject, EndsTheStream) {
    FrameReader r;
    r.feed(GetParam().bytes.data(), GetParam().bytes.size());
    Frame f;
    std::string why;
    EXPECT_EQ(r.next(f, &why), FrameReader::Status::Error) << GetParam().name;
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(r.failed());
    // A broken stream stays broken whatever follows.
    std::string good;
    frame_terminate(good);
    r.feed(good.data(), good.size());
    EXPECT_EQ(r.next(f), FrameReader::Status::Error);
}

INSTANTIATE_TEST_SUITE_P(Rows, DdeFramesReject, ::testing::Values(
    // Only the header of a 17 MiB frame is needed to refuse it.
    BadStream{"payload17MiB", header(3, 17u << 20)},
    BadStream{"payloadJustAboveLimit", header(1, kMaxPayload + 1)},
    BadStream{"unknownKind", header(9, 0)},
    BadStream{"kindZero", std::string(1, '\0')},
    BadStream{"name300", header(1, 302) + std::string(300, 'a') + std::string(1, '\0') + "t" + std::string(1, '\0')},
    BadStream{"item300", header(3, 303) + std::string(300, 'a') + std::string(1, '\0') + std::string("\x01\x00", 2)},
    BadStream{"nameWithoutTerminator", header(1, 6) + "wkelvo"},
    BadStream{"topicWithoutTerminator", header(1, 8) + std::string("a\0topic", 7) + "x"},
    BadStream{"emptyName", header(1, 3) + std::string("\0t\0", 3)},
    BadStream{"bytesAfterTopic", header(1, 5) + std::string("a\0t\0z", 5)},
    BadStream{"formatNotText", header(3, 7) + std::string("Open\0\x02\x00", 7)},
    BadStream{"pokeWithoutFormat", header(3, 6) + std::string("Open\0\x01", 6)},
    BadStream{"ackTwoBytes", header(2, 2) + std::string("\x01\x01", 2)},
    BadStream{"ackValueTwo", header(2, 1) + "\x02"},
    BadStream{"terminateWithPayload", header(4, 1) + "x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DdeFrames, LimitsThemselvesAreAccepted) {
    std::string s = header(3, kMaxPayload);
    FrameReader r;
    r.feed(s.data(), s.size());
    Frame f;
    EXPECT_EQ(r.next(f), FrameReader::Status::NeedMore);  // waits for the 16 MiB to come
    std::string name255;
    ASSERT_TRUE(frame_poke(name255, std::string(255, 'n'), "d"));
    FrameReader r2;
    r2.feed(name255.data(), name255.size());
    ASSERT_EQ(r2.next(f), FrameReader::Status::Frame);
    EXPECT_EQ(f.name.size(), 255u);
}
