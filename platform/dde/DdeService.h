#pragma once
// DdeService: the service end.  Listens on the socket of one service name (dde_socket.h) and
// holds one DdeConversation per peer.
//
// It never blocks: every descriptor is non-blocking and sits in one epoll set, together with a
// timer descriptor for the deadlines.  The owner watches descriptor() (readable whenever there is
// work) and calls dispatch(), which handles what is ready and returns; the GUI layer's
// descriptor watch does so on the GUI thread, a test or benchmark from its own poll loop.
//
// Rules at the connection:
//  1. A peer whose user id (SO_PEERCRED) differs from the service's is closed before a byte of
//     it is read.
//  2. A peer that broke the frame format or ended its conversation is closed after its answers
//     were sent (or at once when they cannot be).
//  3. A peer holding an unfinished frame, or owing the reading of our answers, and giving no
//     progress for stallMs is dropped.
//  4. Each dispatch reads at most kReadSlice bytes of each ready peer, so many peers are served
//     in turn and a fast one cannot hold the caller.  At most kMaxPeers are connected; further
//     connections are closed at once.
//
// Starting: a socket file that nothing answers is stale and is replaced; one that a live program
// answers is left alone and listen() answers InUse.  The socket file is removed on destruction
// when it is still the one this service made.
//
// Qt-free; single-threaded (the thread that calls dispatch).

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace dde {

class DdeService {
public:
    using Deliver = std::function<void(const std::string& item, const std::string& data)>;

    struct Options {
        uid_t uid;              // the user whose socket folder is used (the process's own)
        uid_t peerUid;          // the user id a peer must have (the process's own)
        int stallMs = 2000;     // rule 3
        Options();
    };

    static constexpr std::size_t kReadSlice = 64 * 1024;
    static constexpr std::size_t kMaxPeers = 64;

    explicit DdeService(Deliver deliver, Options options = Options());
    ~DdeService();
    DdeService(const DdeService&) = delete;
    DdeService& operator=(const DdeService&) = delete;

    enum class Listen { Listening, InUse, Refused };
    // Starts listening under `serviceName`; Refused (with the reason) for a refused folder or name
    // or a failing system call.
    Listen listen(const std::string& serviceName, std::string* error = nullptr);
    bool listening() const;
    const std::string& socketPath() const;

    // Readable when dispatch has work; -1 before listen succeeded.
    int descriptor() const;
    // Handles what is ready; never blocks.
    void dispatch();
    std::size_t peerCount() const;
    // Connections the service ended (rules 1 to 3, a refused initiate) since listening; for tests
    // and diagnostics.
    std::size_t droppedCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dde
