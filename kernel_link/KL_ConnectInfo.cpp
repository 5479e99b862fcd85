// Connection descriptors.

#include "kernel_link/KL_ConnectInfo.h"

namespace {
std::optional<std::string> copy_text(const char* t) {
    if (t == nullptr) return std::nullopt;
    return std::string(t);
}
}  // namespace

KL_ConnectInfo::KL_ConnectInfo(int transport_, const char* command)
    : linkType(KL_LINK_SERVER), transport(transport_), serverCommand(copy_text(command)) {}

KL_ConnectInfo::KL_ConnectInfo(int transport_, const char* command, const char* host_, int port_)
    : linkType(KL_LINK_SERVER), transport(transport_), serverCommand(copy_text(command)),
      host(copy_text(host_)), port(port_) {}
