#include "app/program_resources.h"

#include <cstdio>
#include <string>

#include "platform/gui/Resource.h"

namespace {
// Generated from wkelvo.res by the build (see CMakeLists.txt).
#include "wkelvo_res.inc"
}  // namespace

bool loadProgramResources() {
    static bool loaded = false;
    if (loaded) return true;
    std::string error;
    if (!gui::loadResources(kProgramResources, &error)) {
        std::fprintf(stderr, "wkelvo.res: %s\n", error.c_str());
        return false;
    }
    loaded = true;
    return true;
}
