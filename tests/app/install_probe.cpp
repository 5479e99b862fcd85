// A program that starts like wkelvo and prints the installation's folders it found, so that a
// test can start it through a symbolic link and by a bare name through PATH.
#include <cstdio>

#include "app/KWorksheetApp.h"
#include "typeset/typeset.h"

namespace {

class ProbeApp : public KWorksheetApp {
public:
    ProbeApp() {
        onLoopRunning = [](KWorksheetApp&) {
            std::printf("help %s\nafm %s\n", helpDirectory.c_str(), afm_directory());
            std::fflush(stdout);
            Application::quit();
        };
    }
};

ProbeApp application;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
