// The service end of a conversation (states in DdeConversation.h).
#include "platform/dde/DdeConversation.h"

#include <utility>

namespace dde {

DdeConversation::DdeConversation(std::string serviceName, Deliver deliver)
    : service_(std::move(serviceName)), deliver_(std::move(deliver)) {}

bool DdeConversation::isKnownItem(const std::string& item) {
    return item == "BM_LAUNCH_TEXT" || item == "BM_PASTE_TEXT" || item == "Open" || item == "Print";
}

bool DdeConversation::receive(const char* data, std::size_t size, std::string& out) {
    if (state_ == State::Closed) return false;
    reader_.feed(data, size);
    Frame f;
    for (;;) {
        std::string why;
        FrameReader::Status s = reader_.next(f, &why);
        if (s == FrameReader::Status::NeedMore) return true;
        if (s == FrameReader::Status::Error) {
            error_ = why;
            state_ = State::Closed;
            return false;
        }
        handle(f, out);
        if (state_ == State::Closed) return false;
    }
}

void DdeConversation::handle(Frame& f, std::string& out) {
    switch (f.kind) {
    case FrameKind::Initiate:
        if (state_ != State::AwaitInitiate) {
            error_ = "second initiate";
            state_ = State::Closed;
        } else if (f.name == service_ && f.topic == kTopic) {
            frame_ack(out, true);
            state_ = State::Connected;
        } else {
            frame_ack(out, false);
            error_ = "initiate for another application or topic";
            state_ = State::Closed;
        }
        return;
    case FrameKind::Poke:
        if (state_ != State::Connected) {
            error_ = "poke before initiate";
            state_ = State::Closed;
            return;
        }
        if (!isKnownItem(f.name)) {
            frame_ack(out, false);
            return;
        }
        frame_ack(out, true);
        if (deliver_) deliver_(f.name, f.data);
        return;
    case FrameKind::Terminate:
        frame_terminate(out);
        state_ = State::Closed;
        return;
    case FrameKind::Ack:
        error_ = "acknowledgement from the client";
        state_ = State::Closed;
        return;
    }
}

}  // namespace dde
