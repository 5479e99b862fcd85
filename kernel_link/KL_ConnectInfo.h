#pragma once
// How to reach a kernel: in this process (link type 2, KL_Direct) or through a kernel server
// (link type 3) over anonymous pipes to a local process (transport 2) or a network (transport 6,
// which no link here builds).  The descriptor owns copies of its texts and its argument list.

#include <optional>
#include <string>

#include "kernel_link/KL_ArgList.h"

enum : int {
    KL_LINK_DIRECT = 2,
    KL_LINK_SERVER = 3,
    KL_TRANSPORT_PIPES = 2,
    KL_TRANSPORT_NETWORK = 6,
};

struct KL_ConnectInfo {
    int linkType = KL_LINK_DIRECT;
    int transport = 0;
    std::optional<std::string> serverCommand;     // command line of the server, or none
    std::optional<std::string> host;              // network host, or none
    int port = 0;
    KL_ArgList args;                              // the program's words, program name first

    KL_ConnectInfo() = default;
    KL_ConnectInfo(int transport, const char* serverCommand);
    KL_ConnectInfo(int transport, const char* serverCommand, const char* host, int port);

};
