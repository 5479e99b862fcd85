#pragma once
// The frames of a DDE conversation over a stream socket: the one reader and writer of their
// bytes.  Each frame is a kind byte and a 32-bit length before its payload:
//
//   offset  size  meaning
//   0       1     kind: 1 INITIATE, 2 ACK, 3 POKE, 4 TERMINATE
//   1       4     payload length n, little-endian, at most kMaxPayload
//   5       n     payload:
//                   INITIATE   application name, NUL, topic, NUL (nothing after)
//                   ACK        one byte: 1 positive, 0 negative
//                   POKE       item name, NUL, format (16 bits, little-endian; 1 = CF_TEXT),
//                              then the data bytes (the rest of the payload)
//                   TERMINATE  empty
//
// Names (application, topic, item) hold 1 to kMaxName bytes, none of them NUL.  Texts are
// cp1252 bytes carried unchanged.  The reader takes outside data: it checks every length against
// the bytes that came and rejects whatever breaks the table above; after a rejection the
// connection that fed it must end.
//
// Qt-free.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dde {

enum class FrameKind : uint8_t { Initiate = 1, Ack = 2, Poke = 3, Terminate = 4 };

constexpr std::size_t kHeaderSize = 5;
constexpr uint32_t kMaxPayload = 16u << 20;
constexpr std::size_t kMaxName = 255;
constexpr uint16_t kFormatText = 1;  // CF_TEXT
// The topic every conversation with the worksheet program uses.
inline constexpr const char* kTopic = "DURavIreru";

// One decoded frame; the fields that its kind does not use stay empty.
struct Frame {
    FrameKind kind = FrameKind::Terminate;
    std::string name;       // INITIATE: application name; POKE: item name
    std::string topic;      // INITIATE
    bool positive = false;  // ACK
    std::string data;       // POKE
};

// Writers: append one whole frame to `out`.  Names longer than kMaxName or holding a NUL, and
// data above the payload limit, are the caller's fault: the function then appends nothing and
// answers false.
bool frame_initiate(std::string& out, std::string_view application, std::string_view topic);
bool frame_ack(std::string& out, bool positive);
bool frame_poke(std::string& out, std::string_view item, std::string_view data);
bool frame_terminate(std::string& out);
// A POKE with any format number (the reader refuses all but CF_TEXT); for tests and fuzz seeds.
bool frame_poke_format(std::string& out, std::string_view item, uint16_t format, std::string_view data);

// Incremental reader of one peer's byte stream.
class FrameReader {
public:
    enum class Status { NeedMore, Frame, Error };

    // Appends bytes that came from the peer.
    void feed(const char* data, std::size_t size);
    // Takes the next whole frame.  Error (with a reason) when the stream breaks the format; the
    // reader then stays in error.
    Status next(Frame& out, std::string* error = nullptr);
    // True while bytes of an unfinished frame are held.
    bool midFrame() const { return pos_ < buf_.size(); }
    // True once the stream broke the format.
    bool failed() const { return failed_; }

private:
    Status fail(std::string* error, const char* why);

    std::string buf_;      // bytes fed and not yet taken
    std::size_t pos_ = 0;  // start of the next frame in buf_
    bool failed_ = false;
};

}  // namespace dde
