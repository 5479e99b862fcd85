#pragma once
// Shared by the DDE tests: a private socket folder for each test (XDG_RUNTIME_DIR pointed at a
// fresh temporary folder) and a thread that runs a service's dispatch loop until stopped.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dde/DdeService.h"

namespace dde_test {

class RuntimeDir {
public:
    RuntimeDir() {
        char tmpl[] = "/tmp/kelvo-dde-test-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) saved_ = old, hadOld_ = true;
        ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~RuntimeDir() {
        if (hadOld_) ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string folder() const { return path_ + "/wkelvo-dde"; }

private:
    std::string path_, saved_;
    bool hadOld_ = false;
};

// Records deliveries; safe to read after the thread stopped.
struct Recorder {
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> events;
    dde::DdeService::Deliver deliver() {
        return [this](const std::string& i, const std::string& d) {
            std::lock_guard<std::mutex> g(lock);
            events.emplace_back(i, d);
        };
    }
    std::size_t count() {
        std::lock_guard<std::mutex> g(lock);
        return events.size();
    }
};

// Runs dispatch for a listening service on its own thread; the service is touched by no other
// thread until stop() returned.
class DispatchThread {
public:
    explicit DispatchThread(dde::DdeService& s) : service_(s), stop_(::eventfd(0, EFD_CLOEXEC)) {
        thread_ = std::thread([this] {
            for (;;) {
                pollfd p[2] = {{service_.descriptor(), POLLIN, 0}, {stop_, POLLIN, 0}};
                ::poll(p, 2, -1);
                if (p[1].revents) return;
                service_.dispatch();
            }
        });
    }
    ~DispatchThread() { stop(); ::close(stop_); }
    void stop() {
        if (!thread_.joinable()) return;
        uint64_t one = 1;
        (void)!::write(stop_, &one, sizeof one);
        thread_.join();
    }

private:
    dde::DdeService& service_;
    int stop_;
    std::thread thread_;
};

}  // namespace dde_test
