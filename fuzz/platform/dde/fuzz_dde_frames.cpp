// Fuzzes the service end of a conversation as one peer: any bytes are answered or end the
// connection without a crash; feeding them whole and one byte at a time gives the same answers
// and deliveries; only known items are delivered; the answers are well-formed frames.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/dde/DdeConversation.h"
#include "platform/dde/dde_frames.h"

namespace {

struct Run {
    std::string answers;
    std::vector<std::pair<std::string, std::string>> events;
    bool open = true;
};

Run feed(const uint8_t* data, size_t size, size_t chunk) {
    Run r;
    dde::DdeConversation c("wkelvo", [&](const std::string& i, const std::string& d) {
        if (!dde::DdeConversation::isKnownItem(i)) std::abort();
        r.events.emplace_back(i, d);
    });
    for (size_t pos = 0; pos < size && r.open; pos += chunk) {
        size_t n = size - pos < chunk ? size - pos : chunk;
        r.open = c.receive(reinterpret_cast<const char*>(data) + pos, n, r.answers);
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Run whole = feed(data, size, size ? size : 1);
    Run bytes = feed(data, size, 1);
    if (whole.answers != bytes.answers || whole.events != bytes.events || whole.open != bytes.open) std::abort();
    // The answers are whole ACK and TERMINATE frames, a TERMINATE only last.
    dde::FrameReader r;
    r.feed(whole.answers.data(), whole.answers.size());
    dde::Frame f;
    bool terminated = false;
    for (;;) {
        auto s = r.next(f);
        if (s == dde::FrameReader::Status::NeedMore) break;
        if (s == dde::FrameReader::Status::Error || terminated) std::abort();
        if (f.kind == dde::FrameKind::Terminate) terminated = true;
        else if (f.kind != dde::FrameKind::Ack) std::abort();
    }
    if (r.midFrame()) std::abort();
    return 0;
}
