// The service end over a listening Unix-domain socket and one epoll set (rules in DdeService.h).
#include "platform/dde/DdeService.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "platform/dde/DdeConversation.h"
#include "platform/dde/dde_socket.h"

namespace dde {

DdeService::Options::Options() : uid(::geteuid()), peerUid(::geteuid()) {}

namespace {

// Above this much unsent output a peer that does not read is dropped.
constexpr std::size_t kMaxPendingOutput = 1u << 20;

struct Peer {
    UniqueFd fd;
    DdeConversation conv;
    std::string out;            // answers not yet sent
    bool closing = false;       // close once `out` is sent
    bool writeWatched = false;  // EPOLLOUT is in the set
    long long lastProgress = 0;

    Peer(int f, std::string service, DdeConversation::Deliver d)
        : fd(f), conv(std::move(service), std::move(d)) {}
};

}  // namespace

struct DdeService::Impl {
    Deliver deliver;
    Options options;
    UniqueFd epoll, timer, listener;
    std::string service, path;
    ino_t pathInode = 0;
    std::map<int, std::unique_ptr<Peer>> peers;
    std::size_t dropped = 0;

    void drop(int fd, bool counted) {
        auto it = peers.find(fd);
        if (it == peers.end()) return;
        ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, fd, nullptr);
        peers.erase(it);
        if (counted) ++dropped;
    }

    void accept() {
        // A bounded batch per dispatch; the level-triggered set brings us back for the rest.
        for (std::size_t n = 0; n < kMaxPeers; ++n) {
            int fd = ::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            UniqueFd guard(fd);
            ucred cred {};
            socklen_t len = sizeof cred;
            if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != options.peerUid ||
                peers.size() >= kMaxPeers) {
                ++dropped;
                continue;  // rule 1 (and the peer limit): closed unread
            }
            epoll_event ev {};
            ev.events = EPOLLIN;
            ev.data.fd = fd;
            if (::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, fd, &ev) != 0) continue;
            auto peer = std::make_unique<Peer>(guard.release(), service, deliver);
            peer->lastProgress = dde_now_ms();
            peers.emplace(fd, std::move(peer));
        }
    }

    // Sends what is pending; false when the peer is gone.
    bool flush(Peer& p) {
        while (!p.out.empty()) {
            ssize_t n = ::send(p.fd.get(), p.out.data(), p.out.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n <= 0) return false;
            p.out.erase(0, static_cast<std::size_t>(n));
            p.lastProgress = dde_now_ms();
        }
        if (p.out.size() > kMaxPendingOutput) return false;
        bool wantWrite = !p.out.empty();
        if (wantWrite != p.writeWatched) {
            epoll_event ev {};
            ev.events = (p.closing ? 0u : static_cast<uint32_t>(EPOLLIN)) | (wantWrite ? EPOLLOUT : 0u);
            ev.data.fd = p.fd.get();
            ::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, p.fd.get(), &ev);
            p.writeWatched = wantWrite;
        }
        return !(p.closing && p.out.empty());
    }

    void serve(int fd, uint32_t events) {
        auto it = peers.find(fd);
        if (it == peers.end()) return;
        Peer& p = *it->second;
        if ((events & EPOLLIN) && !p.closing) {
            char buf[kReadSlice];
            ssize_t n;
            do n = ::recv(fd, buf, sizeof buf, 0); while (n < 0 && errno == EINTR);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                drop(fd, p.conv.midFrame());
                return;
            }
            if (n > 0) {
                p.lastProgress = dde_now_ms();
                if (!p.conv.receive(buf, static_cast<std::size_t>(n), p.out)) {
                    p.closing = true;
                    if (!p.conv.error().empty()) ++dropped;
                    // Stop reading: the peer has had its say.
                    epoll_event ev {};
                    ev.events = p.writeWatched ? static_cast<uint32_t>(EPOLLOUT) : 0u;
                    ev.data.fd = fd;
                    ::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, fd, &ev);
                }
            }
        } else if ((events & (EPOLLHUP | EPOLLERR)) && !(events & EPOLLOUT)) {
            drop(fd, false);
            return;
        }
        if (!flush(p)) drop(fd, false);
    }

    // Rule 3, then the timer is set to the next deadline.
    void expire() {
        long long now = dde_now_ms();
        long long next = -1;
        std::vector<int> late;
        for (auto& [fd, p] : peers) {
            if (!p->conv.midFrame() && p->out.empty()) continue;
            long long due = p->lastProgress + options.stallMs;
            if (due <= now) late.push_back(fd);
            else if (next < 0 || due < next) next = due;
        }
        for (int fd : late) drop(fd, true);
        itimerspec spec {};
        if (next >= 0) {
            long long wait = next - now;
            spec.it_value.tv_sec = wait / 1000;
            spec.it_value.tv_nsec = (wait % 1000) * 1000000 + 1;  // never zero: zero disarms
        }
        ::timerfd_settime(timer.get(), 0, &spec, nullptr);
    }
};

DdeService::DdeService(Deliver deliver, Options options) : impl_(std::make_unique<Impl>()) {
    impl_->deliver = std::move(deliver);
    impl_->options = options;
}

DdeService::~DdeService() {
    if (!impl_->path.empty()) {
        // Only the file this service bound: a successor may have replaced it meanwhile.
        struct stat st {};
        if (::lstat(impl_->path.c_str(), &st) == 0 && st.st_ino == impl_->pathInode)
            ::unlink(impl_->path.c_str());
    }
}

DdeService::Listen DdeService::listen(const std::string& serviceName, std::string* error) {
    Impl& m = *impl_;
    if (m.listener.valid()) {
        if (error) *error = "already listening";
        return Listen::Refused;
    }
    std::string folder;
    if (!dde_prepare_socket_folder(m.options.uid, folder, error)) return Listen::Refused;
    sockaddr_un addr {};
    if (!dde_socket_address(folder, serviceName, addr, error)) return Listen::Refused;
    auto sysFail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return Listen::Refused;
    };

    UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sock.valid()) return sysFail("socket");
    if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EADDRINUSE) return sysFail("bind");
        // Someone's file: a live program answers a connection, a stale file refuses it.
        // Non-blocking, so a live program with a full backlog (EAGAIN) cannot hold us up.
        UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!probe.valid()) return sysFail("socket");
        if (::connect(probe.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || errno == EAGAIN) {
            if (error) *error = "service " + serviceName + " is run by another program";
            return Listen::InUse;
        }
        struct stat st {};
        if (::lstat(addr.sun_path, &st) != 0 || !S_ISSOCK(st.st_mode)) {
            if (error) *error = std::string(addr.sun_path) + " is not a socket";
            return Listen::Refused;
        }
        ::unlink(addr.sun_path);
        if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return sysFail("bind");
    }
    struct stat st {};
    if (::lstat(addr.sun_path, &st) != 0) return sysFail("stat");
    m.path = addr.sun_path;
    m.pathInode = st.st_ino;
    if (::listen(sock.get(), 16) != 0) return sysFail("listen");

    UniqueFd ep(::epoll_create1(EPOLL_CLOEXEC));
    UniqueFd tm(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    if (!ep.valid() || !tm.valid()) return sysFail("epoll");
    for (int fd : {sock.get(), tm.get()}) {
        epoll_event ev {};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        if (::epoll_ctl(ep.get(), EPOLL_CTL_ADD, fd, &ev) != 0) return sysFail("epoll_ctl");
    }
    m.listener = std::move(sock);
    m.epoll = std::move(ep);
    m.timer = std::move(tm);
    m.service = serviceName;
    return Listen::Listening;
}

bool DdeService::listening() const { return impl_->listener.valid(); }
const std::string& DdeService::socketPath() const { return impl_->path; }
int DdeService::descriptor() const { return impl_->epoll.valid() ? impl_->epoll.get() : -1; }
std::size_t DdeService::peerCount() const { return impl_->peers.size(); }
std::size_t DdeService::droppedCount() const { return impl_->dropped; }

void DdeService::dispatch() {
    Impl& m = *impl_;
    if (!m.epoll.valid()) return;
    epoll_event events[kMaxPeers + 2];
    int n = ::epoll_wait(m.epoll.get(), events, static_cast<int>(std::size(events)), 0);
    for (int i = 0; i < n; ++i) {
        int fd = events[i].data.fd;
        if (fd == m.listener.get()) {
            m.accept();
        } else if (fd == m.timer.get()) {
            uint64_t ticks;
            while (::read(fd, &ticks, sizeof ticks) > 0) {}
        } else {
            m.serve(fd, events[i].events);
        }
    }
    m.expire();
}

}  // namespace dde
