#pragma once
// The help worksheet of a kernel's TEXT reply: the reply's paragraphs, each a paragraph of the
// help-text style holding one text run, under a new root section, shown read-only in a worksheet
// window of its own top-level frame (menu bar 1021, context bar 1000).  The document is a help
// document without a kernel: only copying, Select All and the section keys change anything.

#include <memory>
#include <string>
#include <vector>

class KWindowRegistry;
class KWorksheetWindow;
class WorksheetDocument;

// The paragraph style of help text.
inline constexpr int kHelpTextStyle = 10;
inline constexpr int kHelpMenuBar = 1021;
inline constexpr int kHelpContextBar = 1000;

// Builds the tree, the frame and the window and shows it with the caret at the start; the frame
// owns the window from now on.  Answers the window.
KWorksheetWindow* openHelpDocument(std::unique_ptr<WorksheetDocument> document,
                                   const std::vector<std::string>& paragraphs, KWindowRegistry* registry);
