#pragma once
// DdeClient: the client end of a conversation with a service (dde_socket.h, dde_frames.h).
//
// Every wait sleeps in poll on the socket with the time that remains until its deadline, and
// none spins; a closed connection ends a wait at once.  Sends are part of the same deadline.
//
// Qt-free; one object per conversation, used by one thread.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/dde/dde_frames.h"
#include "platform/dde/dde_socket.h"

namespace dde {

class DdeClient {
public:
    DdeClient() = default;
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // Connects to the socket of `service` in the folder of user `uid`; false (with the reason)
    // when the folder or name is refused or nothing listens.
    bool connect(const std::string& service, std::string* error = nullptr);
    bool connect(const std::string& service, uid_t uid, std::string* error);
    bool connected() const { return fd_.valid(); }
    void close() { fd_.reset(); }

    enum class Reply { Positive, Negative, NoAnswer };
    // Sends INITIATE(application, topic) and waits at most timeoutMs for the acknowledgement.
    Reply initiate(std::string_view application, std::string_view topic, int timeoutMs);
    // Sends POKE(item, CF_TEXT, data) and waits at most timeoutMs for its acknowledgement.
    Reply poke(std::string_view item, std::string_view data, int timeoutMs);
    // Sends POKE without waiting for its acknowledgement (which the next wait skips).
    bool sendPoke(std::string_view item, std::string_view data, int timeoutMs);
    // Sends TERMINATE and waits at most timeoutMs for the answering TERMINATE, skipping the
    // acknowledgements that come before it.  True when it came.
    bool terminate(int timeoutMs);
    // Raw bytes, for tests of the service's checks.
    bool sendBytes(std::string_view bytes, int timeoutMs);
    // Waits at most timeoutMs for the service to close the connection; true when it did.
    bool waitClosed(int timeoutMs);

    // Waits at most timeoutMs until `service` accepts a connection.
    static bool waitForService(const std::string& service, int timeoutMs);

private:
    bool sendAll(std::string_view bytes, long long deadline);
    // Reads the next frame by the deadline; false on time-out, a closed connection or a broken
    // frame (the connection is closed then).
    bool readFrame(Frame& out, long long deadline);
    Reply awaitAck(long long deadline);

    UniqueFd fd_;
    FrameReader reader_;
    int unansweredPokes_ = 0;  // acknowledgements still owed by sendPoke
};

}  // namespace dde
