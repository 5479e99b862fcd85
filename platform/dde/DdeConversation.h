#pragma once
// DdeConversation: the service end of one peer's conversation, free of sockets so that tests
// and the fuzz target drive it with bytes alone.
//
// States and the frames that move between them (anything else ends the connection):
//
//   AwaitInitiate --INITIATE(own name, topic "DURavIreru")--> Connected   (positive ACK)
//   AwaitInitiate --INITIATE(other name or topic)--> Closed              (negative ACK)
//   Connected     --POKE(known item)--> Connected     (positive ACK, item and data delivered)
//   Connected     --POKE(other item)--> Connected     (negative ACK, nothing delivered)
//   any           --TERMINATE--> Closed                                   (TERMINATE)
//   any           --broken frame, ACK, POKE before INITIATE, second INITIATE--> Closed
//
// The known items are "BM_LAUNCH_TEXT", "BM_PASTE_TEXT", "Open" and "Print".  This class carries
// them; it decides nothing about what they mean.
//
// Qt-free.

#include <cstddef>
#include <functional>
#include <string>

#include "platform/dde/dde_frames.h"

namespace dde {

class DdeConversation {
public:
    using Deliver = std::function<void(const std::string& item, const std::string& data)>;

    DdeConversation(std::string serviceName, Deliver deliver);

    // Feeds bytes from the peer and appends the answers to `out`.  False once the connection is
    // to end (after `out` has been sent); later calls do nothing and answer false.
    bool receive(const char* data, std::size_t size, std::string& out);
    // True while an unfinished frame is held (the peer owes bytes).
    bool midFrame() const { return reader_.midFrame(); }
    bool closed() const { return state_ == State::Closed; }
    // Why the connection ended abnormally (empty after a TERMINATE).
    const std::string& error() const { return error_; }

    static bool isKnownItem(const std::string& item);

private:
    enum class State { AwaitInitiate, Connected, Closed };

    void handle(Frame& f, std::string& out);

    std::string service_;
    Deliver deliver_;
    FrameReader reader_;
    State state_ = State::AwaitInitiate;
    std::string error_;
};

}  // namespace dde
