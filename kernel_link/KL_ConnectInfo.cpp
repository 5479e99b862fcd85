// Connection descriptors.

#include "kernel_link/KL_ConnectInfo.h"

namespace {
std::unique_ptr<std::string> copy_text(const char* t) {
    return t ? std::make_unique<std::string>(t) : nullptr;
}
std::unique_ptr<std::string> copy_text(const std::unique_ptr<std::string>& t) {
    return t ? std::make_unique<std::string>(*t) : nullptr;
}
}  // namespace

KL_ConnectInfo::KL_ConnectInfo(int transport_, const char* command)
    : linkType(KL_LINK_SERVER), transport(transport_), serverCommand(copy_text(command)) {}

KL_ConnectInfo::KL_ConnectInfo(int transport_, const char* command, const char* host_, int port_)
    : linkType(KL_LINK_SERVER), transport(transport_), serverCommand(copy_text(command)),
      host(copy_text(host_)), port(port_) {}

KL_ConnectInfo::KL_ConnectInfo(const KL_ConnectInfo& o)
    : linkType(o.linkType), transport(o.transport), serverCommand(copy_text(o.serverCommand)),
      host(copy_text(o.host)), port(o.port), args(o.args) {}

KL_ConnectInfo& KL_ConnectInfo::operator=(const KL_ConnectInfo& o) {
    if (this != &o) {
        linkType = o.linkType;
        transport = o.transport;
        serverCommand = copy_text(o.serverCommand);
        host = copy_text(o.host);
        port = o.port;
        args = o.args;
    }
    return *this;
}
