// The client end of a conversation (rules in DdeClient.h).
#include "platform/dde/DdeClient.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dde {

namespace {

int remaining(long long deadline) {
    long long left = deadline - dde_now_ms();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// One poll for `events` by the deadline; the revents, or 0 on time-out.
short waitFor(int fd, short events, long long deadline) {
    for (;;) {
        pollfd p {fd, events, 0};
        int n = ::poll(&p, 1, remaining(deadline));
        if (n < 0 && errno == EINTR) continue;
        return n > 0 ? p.revents : 0;
    }
}

bool tryConnect(const sockaddr_un& addr, UniqueFd& out) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return false;
    // A Unix-domain connect completes at once or fails (EAGAIN: backlog full, try again).
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return false;
    out = std::move(fd);
    return true;
}

}  // namespace

bool DdeClient::connect(const std::string& service, std::string* error) {
    return connect(service, ::geteuid(), error);
}

bool DdeClient::connect(const std::string& service, uid_t uid, std::string* error) {
    std::string folder = dde_socket_folder_path(uid);
    sockaddr_un addr {};
    if (!dde_socket_address(folder, service, addr, error)) return false;
    reader_ = FrameReader();
    unansweredPokes_ = 0;
    if (!tryConnect(addr, fd_)) {
        if (error) *error = std::string("connect: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool DdeClient::sendAll(std::string_view bytes, long long deadline) {
    while (fd_.valid() && !bytes.empty()) {
        ssize_t n = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && (waitFor(fd_.get(), POLLOUT, deadline) & POLLOUT))
            continue;
        fd_.reset();
        return false;
    }
    return fd_.valid();
}

bool DdeClient::readFrame(Frame& out, long long deadline) {
    while (fd_.valid()) {
        FrameReader::Status s = reader_.next(out);
        if (s == FrameReader::Status::Frame) return true;
        if (s == FrameReader::Status::Error) break;
        short rev = waitFor(fd_.get(), POLLIN, deadline);
        if (rev == 0) return false;  // time ran out; the connection stays
        char buf[4096];
        ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        reader_.feed(buf, static_cast<std::size_t>(n));
    }
    fd_.reset();
    return false;
}

DdeClient::Reply DdeClient::awaitAck(long long deadline) {
    Frame f;
    while (readFrame(f, deadline)) {
        if (f.kind != FrameKind::Ack) break;
        if (unansweredPokes_ > 0) {
            --unansweredPokes_;
            continue;
        }
        return f.positive ? Reply::Positive : Reply::Negative;
    }
    return Reply::NoAnswer;
}

DdeClient::Reply DdeClient::initiate(std::string_view application, std::string_view topic, int timeoutMs) {
    long long deadline = dde_now_ms() + timeoutMs;
    std::string frame;
    if (!frame_initiate(frame, application, topic) || !sendAll(frame, deadline)) return Reply::NoAnswer;
    return awaitAck(deadline);
}

bool DdeClient::sendPoke(std::string_view item, std::string_view data, int timeoutMs) {
    std::string frame;
    if (!frame_poke(frame, item, data) || !sendAll(frame, dde_now_ms() + timeoutMs)) return false;
    ++unansweredPokes_;
    return true;
}

DdeClient::Reply DdeClient::poke(std::string_view item, std::string_view data, int timeoutMs) {
    long long deadline = dde_now_ms() + timeoutMs;
    std::string frame;
    if (!frame_poke(frame, item, data) || !sendAll(frame, deadline)) return Reply::NoAnswer;
    return awaitAck(deadline);
}

bool DdeClient::terminate(int timeoutMs) {
    long long deadline = dde_now_ms() + timeoutMs;
    std::string frame;
    frame_terminate(frame);
    if (!sendAll(frame, deadline)) return false;
    Frame f;
    while (readFrame(f, deadline)) {
        if (f.kind == FrameKind::Terminate) {
            fd_.reset();
            return true;
        }
        if (f.kind != FrameKind::Ack) break;
    }
    fd_.reset();
    return false;
}

bool DdeClient::sendBytes(std::string_view bytes, int timeoutMs) {
    return sendAll(bytes, dde_now_ms() + timeoutMs);
}

bool DdeClient::waitClosed(int timeoutMs) {
    long long deadline = dde_now_ms() + timeoutMs;
    while (fd_.valid()) {
        if (waitFor(fd_.get(), POLLIN, deadline) == 0) return false;
        char buf[4096];
        ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) fd_.reset();
    }
    return true;
}

bool DdeClient::waitForService(const std::string& service, int timeoutMs) {
    long long deadline = dde_now_ms() + timeoutMs;
    std::string folder = dde_socket_folder_path(::geteuid());
    sockaddr_un addr {};
    if (!dde_socket_address(folder, service, addr)) return false;
    // Changes in the folder wake the wait; between a service's bind and its listen, and while
    // the folder does not exist yet, a short poll takes the place of an event.
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    bool watching = false;
    constexpr int kRetryMs = 50;
    for (;;) {
        if (watch.valid() && !watching)
            watching = ::inotify_add_watch(watch.get(), folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB) >= 0;
        UniqueFd fd;
        if (tryConnect(addr, fd)) return true;
        int left = remaining(deadline);
        if (left == 0) return false;
        if (watching) {
            pollfd p {watch.get(), POLLIN, 0};
            if (::poll(&p, 1, std::min(left, kRetryMs)) > 0) {
                char buf[4096];
                while (::read(watch.get(), buf, sizeof buf) > 0) {}
            }
        } else {
            ::poll(nullptr, 0, std::min(left, kRetryMs));
        }
    }
}

}  // namespace dde
