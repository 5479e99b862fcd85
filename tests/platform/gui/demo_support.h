#pragma once
// What the demo programs (gui_demo, grid_demo) share: their command line and the count of
// failed checks that becomes the exit code.
//
//   --hold     keep the window open after the checks until it is closed (X11 or Xvfb)
//   --pos X Y  place the window at screen position X, Y first (default 40, 40)

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace demo {

struct Args {
    bool hold = false;
    int x = 40, y = 40;
};

inline Args parseArgs(int argc, char** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hold") == 0) a.hold = true;
        if (std::strcmp(argv[i], "--pos") == 0 && i + 2 < argc) {
            a.x = std::atoi(argv[i + 1]);
            a.y = std::atoi(argv[i + 2]);
            i += 2;
        }
    }
    return a;
}

inline int failures = 0;

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    }
}

// Prints the summary line the test scripts read.
inline void report() {
    std::printf("%s: %d failed checks\n", failures ? "FAILED" : "OK", failures);
    std::fflush(stdout);
}

}  // namespace demo
