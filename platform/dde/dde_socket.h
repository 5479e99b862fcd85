#pragma once
// Where DDE services listen: one Unix-domain stream socket per service (application) name, in a
// folder that only its user may enter:
//
//   $XDG_RUNTIME_DIR/wkelvo-dde/<service name>     (XDG_RUNTIME_DIR set and absolute)
//   /tmp/wkelvo-dde-<uid>/<service name>           (otherwise)
//
// Invariants the functions here keep, because any local user could otherwise drive a program:
//  1. The folder is made with mode 0700.  An existing folder that is not a directory (a symbolic
//     link included), is owned by another user or is open to group or others is refused; it is
//     never repaired or used.
//  2. A service name comes from a settings file: a name that is empty, holds "/" or NUL, is "."
//     or "..", or would make the socket path longer than sun_path holds is refused, never cut
//     or joined into another path.
//
// Qt-free.

#include <sys/types.h>
#include <sys/un.h>

#include <string>
#include <string_view>

namespace dde {

// An open descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { int f = fd_; fd_ = -1; return f; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// The socket folder's path for the user `uid` (from the environment as above).
std::string dde_socket_folder_path(uid_t uid);
// Makes the folder when missing and checks it (invariant 1) for the user `uid`; false with a
// reason when it is refused or cannot be made.
bool dde_prepare_socket_folder(uid_t uid, std::string& folder, std::string* error = nullptr);
// True when `name` may name a service (invariant 2, the length part against `folder`).
bool dde_valid_service_name(std::string_view folder, std::string_view name);
// The socket address of a service in a checked folder; false when the name is refused.
bool dde_socket_address(std::string_view folder, std::string_view name, sockaddr_un& addr,
                        std::string* error = nullptr);

// Monotonic clock in milliseconds, for deadlines.
long long dde_now_ms();

}  // namespace dde
