// The worksheet program's entry: the GUI layer makes the application and hands the application
// object's Main every command-line word.
#include "app/KWorksheetApp.h"

namespace {
KWorksheetApp application;
}

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
