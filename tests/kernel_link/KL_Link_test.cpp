// The link base over an in-memory byte source and sink: framing, kernel options, the reply
// round trip, state changes and error texts; byte buffers and the frame writer.

#include "kernel_link/KL_Link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel_link/KL_ByteBuffer.h"
#include "kl_test_util.h"
#include "tovu/encode.h"

namespace {

// Replies come from `input`; everything written lands in `output`.  failWrites makes writes fail.
class MemoryLink : public KL_Link {
public:
    explicit MemoryLink(const KL_ConnectInfo& info = KL_ConnectInfo()) : KL_Link(info) { setState(KL_IDLE); }
    int interrupt() override { return 0; }
    int getServerStatus() override { return pos < input.size() ? 1 : 0; }
    int readByte() override {
        if (pos >= input.size()) {
            setState(KL_DEAD);
            return -1;
        }
        return static_cast<unsigned char>(input[pos++]);
    }
    int write(const unsigned char* b, int n) override {
        if (failWrites) return -1;
        output.append(reinterpret_cast<const char*>(b), std::size_t(n));
        return 0;
    }
    void force(int code, unsigned os) {
        errorCode_ = code;
        osError_ = os;
    }
    std::string input, output;
    std::size_t pos = 0;
    bool failWrites = false;
};

TEST(KLLink, SendArgumentsBytes) {
    KL_ConnectInfo info(KL_TRANSPORT_PIPES, "kernsrv");
    const char* w[] = {"wkelvo", "-b", "100", "file.kws", "-q"};
    info.args = KL_ArgList(5, w);
    MemoryLink link(info);
    ASSERT_EQ(link.sendArguments(), 0);
    EXPECT_EQ(link.output, kl_options_message({"4", "wkelvo", "-b", "100", "-q"}));
}

TEST(KLLink, SendArgumentsRefusesOverlongOption) {
    KL_ConnectInfo info;
    std::string longValue(2048, 'v');
    const char* w[] = {"wkelvo", "-b", longValue.c_str()};
    info.args = KL_ArgList(3, w);
    MemoryLink link(info);
    EXPECT_EQ(link.sendArguments(), -1);
    EXPECT_EQ(link.output, "");   // nothing half-sent
    EXPECT_EQ(link.state(), KL_DEAD);
    EXPECT_EQ(link.errorCode(), KL_ERR_PARAMS);
}

TEST(KLLink, RequestFrameBytes) {
    struct Case {
        const char* name;
        int flag;
        char flagByte;
    };
    for (const Case& c : {Case{"flag 0", 0, '\x00'}, Case{"flag 1", 1, '\x01'}, Case{"flag 7", 7, '\x01'}}) {
        MemoryLink link;
        Dag stmt = kl_parse("x+1;");
        ASSERT_EQ(link.startEvaluation(stmt, c.flag), 0) << c.name;
        EXPECT_EQ(link.output, std::string(1, c.flagByte) + kl_frame(stmt)) << c.name;
        EXPECT_EQ(link.state(), KL_BUSY) << c.name;
        EXPECT_EQ(link.requestFlag(), c.flag) << c.name;
    }
}

TEST(KLLink, FailedRequestKillsLink) {
    MemoryLink link;
    link.failWrites = true;
    EXPECT_EQ(link.startEvaluation(kl_parse("1;"), 1), 1);
    EXPECT_EQ(link.state(), KL_DEAD);
    link.failWrites = false;
    EXPECT_EQ(link.startEvaluation(kl_parse("1;"), 1), 1);   // dead stays dead
    EXPECT_EQ(link.output, "");
}

TEST(KLLink, ReplyRoundTripAndDone) {
    MemoryLink link;
    Dag print = kl_reply("PRINT", {dag_of_int(5)});
    link.input = kl_frame(print) + kl_frame(kl_reply("DONE", {}));
    ASSERT_EQ(link.startEvaluation(kl_parse("5;"), 1), 0);
    link.output.clear();

    EXPECT_EQ(link.poll(), KL_RESULT_READY);
    Dag r = link.getResult(0);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(dag_equal(r, print));
    EXPECT_EQ(link.state(), KL_BUSY);
    ASSERT_NE(link.sendReply(dag_NULL), nullptr);
    EXPECT_EQ(link.output, kl_frame(dag_NULL));

    r = link.getResult(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(link.state(), KL_IDLE);
}

TEST(KLLink, DoneRecognisedByFirstFourteenCharacters) {
    struct Case {
        const char* name;
        const char* stream;
        bool done;
    };
    const Case cases[] = {{"DONE", "DONE", true}, {"DONEX", "DONEX", true}, {"DON", "DON", false}, {"PRINT", "PRINT", false}};
    for (const auto& c : cases) EXPECT_EQ(KL_Link::isDoneReply(kl_reply(c.stream, {})), c.done) << c.name;
    EXPECT_FALSE(KL_Link::isDoneReply(dag_NULL));
    EXPECT_FALSE(KL_Link::isDoneReply(nullptr));
}

TEST(KLLink, GetResultOnIdleLinkDoesNothing) {
    MemoryLink link;
    link.input = kl_frame(dag_NULL);
    EXPECT_EQ(link.getResult(0), nullptr);
    EXPECT_EQ(link.state(), KL_IDLE);
    EXPECT_EQ(link.pos, 0u);
}

TEST(KLLink, ReadDagNeedsItsEndByte) {
    MemoryLink link;
    std::string text = dag_to_text(dag_of_int(7), DAG_WRITE_NO_VALUES);
    link.input = text + "\x02" + kl_frame(dag_of_int(8));
    EXPECT_EQ(link.readDAG(), nullptr);   // wrong end byte
    Dag d = link.readDAG();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(kl_printed(d), "8");
}

TEST(KLLink, ByteFFIsData) {
    MemoryLink link;
    Dag s = dag_intern("a\xFF" "b\x01" "c", DAG_STRING);
    link.input = kl_frame(s);
    Dag d = link.readDAG();
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(dag_text(d), "a\xFF" "b\x01" "c");
}

TEST(KLLink, ReadString) {
    struct Case {
        const char* name;
        std::string input;
        int size, result;
        std::string stored;
    };
    const Case cases[] = {
        {"terminated", std::string("abc\0", 4), 16, 0, std::string("abc\0", 4)},
        {"3000-byte word into 2048", std::string(3000, 'w'), 2048, 2048, std::string(2048, 'w')},
        {"input ends", "ab", 16, -1, "ab"},
    };
    for (const auto& c : cases) {
        MemoryLink link;
        link.input = c.input;
        std::vector<char> buf(std::size_t(c.size), '#');
        EXPECT_EQ(link.readString(buf.data(), c.size), c.result) << c.name;
        EXPECT_EQ(std::string(buf.data(), c.stored.size()), c.stored) << c.name;
    }
}

TEST(KLLink, ErrorTexts) {
    struct Case {
        int code;
        unsigned os;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "no error information available"},
        {1, 0, "unable to start server process"},
        {2, 0, "initialization encountered errors, possible library problem"},
        {3, 0, "invalid parameters for server"},
        {4, 0, "unable to connect to server"},
        {5, 32, "server encountered OS error 32"},
        {7, 0, "unexpected server error 7, no information"},
    };
    for (const auto& c : cases) {
        MemoryLink link;
        link.force(c.code, c.os);
        EXPECT_STREQ(link.errorText(), c.text) << c.code;
    }
}

TEST(KLLink, ErrorTextIsKeptOnceFormatted) {
    MemoryLink link;
    link.force(1, 0);
    std::string first = link.errorText();
    link.force(4, 0);
    EXPECT_EQ(std::string(link.errorText()), first);
}

TEST(KLByteBuffer, PutGetText) {
    KL_ByteBuffer b(10);
    EXPECT_EQ(b.size(), KL_BUFFER_SIZE);   // raised to the minimum
    EXPECT_FALSE(b.put('a'));
    EXPECT_FALSE(b.put('b'));
    EXPECT_STREQ(b.text(), "ab");
    EXPECT_EQ(b.get(), 'a');
    EXPECT_STREQ(b.text(), "b");
    EXPECT_EQ(b.get(), 'b');
    EXPECT_EQ(b.held(), 0);   // drained: back to the start
    for (int i = 0; i < KL_BUFFER_SIZE - 1; ++i) ASSERT_FALSE(b.put('x'));
    EXPECT_TRUE(b.put('y'));
    EXPECT_TRUE(b.put('z'));   // taken back
    EXPECT_EQ(b.held(), KL_BUFFER_SIZE);
}

// Chunks handed to the raw writer for a request: flag byte, `statement` bytes, end byte, one
// byte per call as the framing writes them.
std::vector<long> request_chunks(unsigned char flagByte, std::size_t statement) {
    std::vector<long> chunks;
    KL_FrameWriter w(KL_BUFFER_SIZE, [&](const unsigned char*, long n) {
        chunks.push_back(n);
        return n;
    });
    w.write(&flagByte, 1);
    unsigned char x = 'x';
    for (std::size_t i = 0; i < statement; ++i) w.write(&x, 1);
    unsigned char end = KL_END_BYTE;
    w.write(&end, 1);
    return chunks;
}

TEST(KLFrameWriter, LongFramesLeaveInPieces) {
    EXPECT_EQ(request_chunks(0x00, 5000), (std::vector<long>{2047, 1, 2047, 1, 906}));
    EXPECT_EQ(request_chunks(0x01, 5000), (std::vector<long>{1, 2047, 1, 2047, 1, 905}));
    EXPECT_EQ(request_chunks(0x00, 10), (std::vector<long>{12}));
}

TEST(KLFrameWriter, WriteOfExactlyTheFreeSpaceGoesStraight) {
    std::vector<long> chunks;
    KL_FrameWriter w(KL_BUFFER_SIZE, [&](const unsigned char*, long n) {
        chunks.push_back(n);
        return n;
    });
    std::string a(48, 'a'), b(2000, 'b');
    EXPECT_EQ(w.write(reinterpret_cast<const unsigned char*>(a.data()), long(a.size())), 0);
    EXPECT_TRUE(chunks.empty());   // no end byte yet: held
    EXPECT_EQ(w.write(reinterpret_cast<const unsigned char*>(b.data()), long(b.size())), 0);
    EXPECT_EQ(chunks, (std::vector<long>{48, 2000}));
}

TEST(KLFrameWriter, ShortRawWriteFails) {
    KL_FrameWriter w(KL_BUFFER_SIZE, [](const unsigned char*, long n) { return n - 1; });
    unsigned char end = KL_END_BYTE;
    EXPECT_EQ(w.write(&end, 1), -1);
}

}  // namespace
