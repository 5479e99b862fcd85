// 1,000 conversations (initiate, poke of 1 KB, terminate), each on a new connection, against a
// running service on its own thread, beside a bare Unix-domain socket server that reads the same
// bytes and answers with the same bytes, without frames or checks.  The counters give both rates
// in conversations per second and their ratio (bare / service).

#include <benchmark/benchmark.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/dde/DdeClient.h"
#include "platform/dde/DdeService.h"
#include "platform/dde/dde_frames.h"

namespace {

constexpr int kConversations = 1000;

double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Runs `dispatch` whenever `fd` is readable, until stopped.
class Loop {
public:
    template <typename F>
    Loop(int fd, F dispatch) : stop_(::eventfd(0, EFD_CLOEXEC)) {
        thread_ = std::thread([=, this] {
            for (;;) {
                pollfd p[2] = {{fd, POLLIN, 0}, {stop_, POLLIN, 0}};
                ::poll(p, 2, -1);
                if (p[1].revents) return;
                dispatch();
            }
        });
    }
    ~Loop() {
        uint64_t one = 1;
        (void)!::write(stop_, &one, sizeof one);
        thread_.join();
        ::close(stop_);
    }

private:
    int stop_;
    std::thread thread_;
};

double serviceRate(const std::string& data) {
    dde::DdeService svc([](const std::string&, const std::string&) {});
    if (svc.listen("bench") != dde::DdeService::Listen::Listening) return 0;
    Loop loop(svc.descriptor(), [&] { svc.dispatch(); });
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kConversations; ++i) {
        dde::DdeClient c;
        if (!c.connect("bench") || c.initiate("bench", dde::kTopic, 5000) != dde::DdeClient::Reply::Positive ||
            c.poke("BM_LAUNCH_TEXT", data, 5000) != dde::DdeClient::Reply::Positive || !c.terminate(5000))
            return 0;
    }
    return kConversations / seconds(t0);
}

bool readExactly(int fd, std::size_t n) {
    char buf[4096];
    while (n > 0) {
        ssize_t r = ::recv(fd, buf, std::min(n, sizeof buf), 0);
        if (r <= 0) return false;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool sendAll(int fd, const std::string& s) {
    return ::send(fd, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
}

// The same exchange over a bare socket: each step's bytes sent, the answer's bytes read back.
double bareRate(const std::string& dir, const std::string& data) {
    std::string init, poke, term, ack;
    dde::frame_initiate(init, "bench", dde::kTopic);
    dde::frame_poke(poke, "BM_LAUNCH_TEXT", data);
    dde::frame_terminate(term);
    dde::frame_ack(ack, true);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::string path = dir + "/bare";
    std::strcpy(addr.sun_path, path.c_str());
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener, 16) != 0) return 0;
    std::thread server([&] {
        for (int i = 0; i < kConversations; ++i) {
            int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0) return;
            if (readExactly(fd, init.size()) && sendAll(fd, ack) && readExactly(fd, poke.size()) && sendAll(fd, ack) &&
                readExactly(fd, term.size()))
                sendAll(fd, term);
            ::close(fd);
        }
    });
    auto t0 = std::chrono::steady_clock::now();
    bool ok = true;
    for (int i = 0; i < kConversations && ok; ++i) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && sendAll(fd, init) &&
             readExactly(fd, ack.size()) && sendAll(fd, poke) && readExactly(fd, ack.size()) && sendAll(fd, term) &&
             readExactly(fd, term.size());
        ::close(fd);
    }
    double rate = kConversations / seconds(t0);
    server.join();
    ::close(listener);
    ::unlink(path.c_str());
    return ok ? rate : 0;
}

void BM_dde_conversations_1k_service_vs_bare_socket(benchmark::State& state) {
    char tmpl[] = "/tmp/kelvo-dde-bench-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    std::string data(1024, 'x');
    double service = 0, bare = 0;
    for (auto _ : state) {
        service += serviceRate(data);
        bare += bareRate(dir, data);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["service_conv_per_s"] = service / n;
    state.counters["bare_conv_per_s"] = bare / n;
    state.counters["ratio"] = service > 0 ? bare / service : 0;
    if (service == 0 || bare == 0) state.SkipWithError("a conversation failed");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_dde_conversations_1k_service_vs_bare_socket)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
