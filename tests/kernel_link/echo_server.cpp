// A stand-in kernel server for byte-level tests of the worksheet's pipe link: it takes its
// descriptors from PIPES_TRANSFER_VAR, sends every byte of the request pipe straight back on
// the result pipe, and records every byte of the exception pipe.  At the end of the exception
// pipe it writes the recorded bytes, in hexadecimal, to the file named by its first argument
// (through a temporary name, so the file appears complete) and exits.

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* v = std::getenv("PIPES_TRANSFER_VAR");
    unsigned req, res, exc;
    int parent;
    if (v == nullptr || std::sscanf(v, "%x %x %x %d", &req, &res, &exc, &parent) != 4) return 48;
    std::string exceptionBytes;
    bool requestOpen = true;
    for (;;) {
        struct pollfd p[2] = {{int(req), requestOpen ? short(POLLIN) : short(0), 0}, {int(exc), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[0].revents) {
            unsigned char buf[4096];
            ssize_t n = ::read(int(req), buf, sizeof buf);
            if (n <= 0) requestOpen = false;
            else if (::write(int(res), buf, std::size_t(n)) != n) requestOpen = false;
        }
        if (p[1].revents) {
            unsigned char b;
            if (::read(int(exc), &b, 1) != 1) break;
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", b);
            exceptionBytes += hex;
        }
    }
    if (argc > 1) {
        std::string tmp = std::string(argv[1]) + ".tmp";
        if (std::FILE* f = std::fopen(tmp.c_str(), "w")) {
            std::fputs(exceptionBytes.c_str(), f);
            std::fclose(f);
            std::rename(tmp.c_str(), argv[1]);
        }
    }
    return 0;
}
