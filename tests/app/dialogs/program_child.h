#pragma once
// Runs the worksheet program inside a death-test child: the body runs once the event loop is
// up and writes what it saw into the text; the loop then ends, the text and the number of GUI
// failures go to standard error ("...failures N") and the child exits with 0.  The program runs
// in a child since the expression library comes up once per process.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/KWorksheetApp.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

[[noreturn]] inline void runProgramAndReport(const std::function<void(KWorksheetApp&, std::string&)>& body) {
    gui::ensureApplication();
    gui::test::activate();
    std::string seen;
    KWorksheetApp app;
    app.splashTimeoutMs = 3600 * 1000;
    app.onLoopRunning = [&](KWorksheetApp& a) {
        body(a, seen);
        Application::quit();
    };
    char* argv[] = {const_cast<char*>("wkelvo"), const_cast<char*>("-nosplash"), nullptr};
    app.Main(2, argv);
    std::fprintf(stderr, "%sfailures %zu\n", seen.c_str(), gui::test::takeFailures().size());
    std::exit(0);
}
