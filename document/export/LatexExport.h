#pragma once
// What a LaTeX export walk hands the elements it visits (the walk control's context), and the
// clock whose time the export writes into its header.
//
// Document::exportLatex fills the state once and every element's exportLatexElement reads it;
// some visitors also set its flags for the ones after them:
//   inGroup, secondFlag    an execution group's pre visit sets the first and clears the second,
//                          its post visit clears the first
//   markResults            the first output paragraph is preceded by \kelvoresult (on for
//                          every export)
//   resultMacroWritten     \kelvoresult has been written in this export (at most once)
// The state borrows the writer and the interface settings for the one export.

#include <ctime>
#include <string>

class KLatexExportWriter;
struct InterfaceSettings;

struct LatexExportState {
    KLatexExportWriter* writer = nullptr;
    int option = 0;                        // the export dialog's option value, for the elements
    bool latex2e = true;                   // \usepackage{kelvo2e} (else \documentstyle[kelvo209])
    InterfaceSettings* settings = nullptr; // the program's default interface settings
    std::string baseName;                  // the export file's name (pictures are named after it)
    std::string path;                      // the export file's full path
    bool markResults = true;
    bool resultMacroWritten = false;
    bool inGroup = false;
    bool secondFlag = false;
    int errorFlags = 0;                    // 0x200: an expression could not be written
};

// The export's clock: the time written on the header's "Generated" line (as local time).
// Tests set a fixed one; the default reads the system clock.
using LatexExportClock = std::time_t (*)();
extern LatexExportClock latexExportClock;
