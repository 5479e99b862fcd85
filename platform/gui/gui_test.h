#pragma once
// Test mode of the GUI layer: what tests (and scripted whole-program runs) use to see and drive
// the layer without a person.
//
// Active when a test calls gui::test::activate, or when the environment names a script file
// (WKELVO_GUI_SCRIPT).  While active, beeps are counted instead of sounded, message-box texts
// are recorded, the screen size can be fixed and the break key pressed.  Screenshots: the window
// as the screen shows it (peer widget grab, children included) and the back buffer alone; with
// WKELVO_TEST_SHOTS naming a folder, saveShot writes them there as PNG.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/base/geometry.h"

class QImage;
class Window;

namespace gui::test {

void activate();
void deactivate();
bool isActive();
// Reads WKELVO_GUI_SCRIPT when set (called when the application is made).
void initFromEnvironment();

void recordBeep();
int beepCount();
void recordMessage(const std::string& utf8Text);
const std::vector<std::string>& messages();
void clearRecords();

void fixScreenSize(const Size& s);
void unfixScreenSize();
bool fixedScreenSize(Size& out);

void pressBreakKey();
bool takeBreakKey();

// ---- scripts ----
// One step of a script.  Modal runs take steps in order: a message box takes an AnswerBox; a
// modal dialog takes SetEditText, CheckBox, ClickButton and SelectEntry steps (by control class
// and local id) until it closes.  SetEditText types into an Edit (control empty), a
// MetricField, a ComboBox or a NumericField; SelectEntry chooses the entry of a ListBox (control
// empty) or ComboBox named by `text`, or at position `state` when the text is empty, and with
// `answer` 2 double-clicks it.  `expect` (optional) must equal the dialog title or the box text.
struct Step {
    enum Kind {
        AnswerBox, SetEditText, CheckBox, ClickButton, ChooseMenuItem, SelectEntry,
        ChooseFile, ChooseColor, ChoosePrinter, CancelDialog, DropAt,
    } kind = AnswerBox;
    std::string expect;  // cp1252; empty = any
    int answer = 0;      // AnswerBox: 1 OK, 2 Yes, 3 No, 0 Cancel; ChooseMenuItem: the id (0 = none)
    std::string control; // SetEditText, CheckBox, ClickButton: "Edit", "CheckBox", "OKButton", ...
    int id = 0;
    std::string text;    // SetEditText (cp1252)
    int state = 0;       // CheckBox: 0, 1, 2
    // ChooseFile: the path (UTF-8, as the dialog would return it) and the filter's name in
    // `text` (empty = the current one).  ChoosePrinter: the output file of the PDF printer.
    std::string path;
    // ChooseColor: 16-bit components.
    uint16_t red = 0, green = 0, blue = 0;
    // ChoosePrinter: printer name in `text`, copies, collate, page range (0, 0 = all pages).
    int copies = 1;
    bool collate = false;
    int firstPage = 0, lastPage = 0;
    // DropAt: a drag ends over `dropTarget` (null: the window the drag started in) at `point`
    // (its pixels), as a copy when `state` is 1 (Ctrl held), else as a move.  A CancelDialog
    // step ends a drag without a drop.
    Window* dropTarget = nullptr;
    Point point;
};
// Takes the next step for a standard dialog that wants a step of `kind` (or CancelDialog);
// records a failure naming `what` and answers false when the script ran out or the step does
// not fit.  `title` is matched against the step's `expect`.
bool takeStepFor(Step::Kind kind, const std::string& what, const std::string& title, Step& out);

// Script files (WKELVO_GUI_SCRIPT), UTF-8, one step a line, "#" starts a comment line; texts
// in double quotes with \" and \\ as escapes; a trailing quoted "<expect>" is optional where
// shown:
//   answer <1|2|3|0> ["<box text>"]                 message box: OK, Yes, No, Cancel
//   type <Class> <id> "<text>" ["<dialog title>"]   SetEditText
//   check <Class> <id> <0|1|2> ["<dialog title>"]
//   click <Class> <id> ["<dialog title>"]
//   select <Class> <id> "<entry>" ["<dialog title>"] | select <Class> <id> @<position> ...
//   menu <id>                                        pop-up menu answer (0 = none)
//   drop <x> <y> [copy]                              a drag ends over its own window there
//   file "<path>" ["<filter name>" ["<dialog title>"]]
//   color <red> <green> <blue>                       16-bit components
//   printer "<name>" <copies> <collate 0|1> <first> <last> ["<pdf file>"]
//   cancel                                           cancels a file, colour, print dialog or drag
//   screen <width> <height>                          fixes the screen size now
//   break                                            presses the break key now
// False with `error` ("line N: ...") on the first fault; nothing is changed then.
bool parseScript(std::string_view text, std::vector<Step>& out, std::string* error = nullptr);
void setScript(std::vector<Step> steps);
void addStep(const Step& step);
std::size_t stepsLeft();
// Takes the next step, or false when the script ran out.
bool takeStep(Step& out);
// Problems of scripted runs (unexpected modal run, mismatch, script ran out), oldest first;
// taking them clears the list.
void recordFailure(const std::string& text);
std::vector<std::string> takeFailures();

// The window as the screen shows it, children included.
QImage grabWindow(Window& w);
// The back buffer alone (caret excluded).
QImage grabBackBuffer(Window& w);
// Saves into $WKELVO_TEST_SHOTS/<name>.png when that variable is set; true when written.
bool saveShot(const QImage& image, const std::string& name);

}  // namespace gui::test
