// The framing shared by both link ends: what is written when a write fails part-way, and that
// both ends frame alike.

#include "kernel_link/kl_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "kernel_link/KL_Link.h"
#include "kernel_link/KL_PipeClient.h"
#include "kl_test_util.h"
#include "tovu/encode.h"
#include "tests/support/named_rows.h"

namespace {

// Writes land in `output`; the write numbered `failAt` (0-based) fails and every later one
// succeeds again, as a pipe that was momentarily full or interrupted might.
struct FlakyEnd {
    std::string input, output;
    std::size_t pos = 0;
    int writes = 0;
    int failAt = -1;
    int readByte() { return pos < input.size() ? static_cast<unsigned char>(input[pos++]) : -1; }
    int write(const unsigned char* b, long n) {
        if (writes++ == failAt) return -1;
        output.append(reinterpret_cast<const char*>(b), std::size_t(n));
        return 0;
    }
};

// The worksheet's link and the server's stream over the same flaky end.
class FlakyLink : public KL_Link {
public:
    explicit FlakyLink(FlakyEnd& e) : KL_Link(KL_ConnectInfo()), end(e) { setState(KL_IDLE); }
    int interrupt() override { return 0; }
    int getServerStatus() override { return 0; }
    int readByte() override { return end.readByte(); }
    int write(const unsigned char* b, int n) override { return end.write(b, n); }
    FlakyEnd& end;
};
class FlakyStream : public KL_Stream {
public:
    explicit FlakyStream(FlakyEnd& e) : end(e) {}
    int readByte() override { return end.readByte(); }
    int write(const unsigned char* b, long n) override { return end.write(b, n); }
    FlakyEnd& end;
};

Dag deepChain() {
    Dag chain = dag_new0(DAG_STOP);
    for (int i = 0; i < 10000; ++i) chain = dag_new1(DAG_NOT, chain);
    return chain;
}

using kelvo_test::PrintTo;

struct CutRow {
    const char* name;
    bool fails;
    int index;   // of the failing write (one byte each), counted from the end when negative
};

class FrameCut : public ::testing::TestWithParam<CutRow> {};

// A frame cut by a failed write is never closed by an end byte: the reader would take the
// cut text for a whole DAG.
TEST_P(FrameCut, FailedWriteEndsTheFrameThere) {
    const CutRow& row = GetParam();
    Dag dag = kl_parse("f(x, 12345);");
    std::string whole = kl_frame(dag);
    ASSERT_GT(whole.size(), 4u);
    int failAt = !row.fails ? -1 : row.index >= 0 ? row.index : int(whole.size()) + row.index;
    FlakyEnd end;
    end.failAt = failAt;
    int rc = kl_frame_send_dag(kl_frame_end(&end), dag);
    if (!row.fails) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(end.output, whole);
        return;
    }
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(end.output, whole.substr(0, std::size_t(failAt)));
    EXPECT_EQ(end.writes, failAt + 1) << "a write was attempted after the failure";
}

INSTANTIATE_TEST_SUITE_P(Rows, FrameCut,
                         ::testing::Values(CutRow{"whole", false, 0}, CutRow{"first_byte", true, 0},
                                           CutRow{"middle", true, 3}, CutRow{"last_text_byte", true, -2},
                                           CutRow{"end_byte", true, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KLFrame, UnencodableDagWritesNothingAtEitherEnd) {
    FlakyEnd end;
    EXPECT_EQ(kl_frame_send_dag(kl_frame_end(&end), deepChain()), 1);
    EXPECT_EQ(end.output, "");
    FlakyLink link(end);
    EXPECT_NE(link.sendDAG(deepChain()), 0);
    EXPECT_EQ(end.output, "");
}

// Both link ends write the same bytes and stop at the same place after a failed write.
TEST(KLFrame, BothEndsFrameAlike) {
    Dag dag = kl_parse("[1, \"two\", x^3];");
    for (int failAt : {-1, 0, 3}) {
        FlakyEnd a, b;
        a.failAt = b.failAt = failAt;
        FlakyLink link(a);
        FlakyStream stream(b);
        int linkRc = link.sendDAG(dag);
        int streamRc = kl_frame_send_dag(kl_frame_end(&stream), dag);
        EXPECT_EQ(a.output, b.output) << failAt;
        EXPECT_EQ(linkRc == 0, streamRc == 0) << failAt;
        for (const char* text : {"", "option"}) {
            FlakyEnd c, d;
            FlakyLink l2(c);
            FlakyStream s2(d);
            EXPECT_EQ(l2.sendString(text), 0);
            EXPECT_EQ(s2.sendString(text), 0);
            EXPECT_EQ(l2.sendEnd(), 0);
            EXPECT_EQ(s2.sendEnd(), 0);
            EXPECT_EQ(c.output, d.output);
            EXPECT_EQ(c.output, std::string(text) + '\0' + '\x01');
        }
    }
}

TEST(KLFrame, ReadDagAfterACutFrameFindsNoEndByte) {
    // What a cut frame looks like to the reader: the text stops, the next frame's bytes follow.
    FlakyEnd end;
    std::string whole = kl_frame(dag_of_int(42));
    end.input = whole.substr(0, whole.size() - 1) + kl_frame(dag_of_int(7));
    EXPECT_EQ(kl_frame_read_dag(kl_frame_end(&end)), nullptr);
}

}  // namespace
