#pragma once
// Test mode of the GUI layer: what tests (and scripted whole-program runs) use to see and drive
// the layer without a person.
//
// Active when a test calls gui::test::activate, or when the environment names a script file
// (WKELVO_GUI_SCRIPT).  While active, beeps are counted instead of sounded, message-box texts
// are recorded, the screen size can be fixed and the break key pressed.  Screenshots: the window
// as the screen shows it (peer widget grab, children included) and the back buffer alone; with
// WKELVO_TEST_SHOTS naming a folder, saveShot writes them there as PNG.

#include <string>
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
// modal dialog takes SetEditText, CheckBox and ClickButton steps (by control class and local
// id) until it closes.  `expect` (optional) must equal the dialog title or the box text.
struct Step {
    enum Kind { AnswerBox, SetEditText, CheckBox, ClickButton, ChooseMenuItem } kind = AnswerBox;
    std::string expect;  // cp1252; empty = any
    int answer = 0;      // AnswerBox: 1 OK, 2 Yes, 3 No, 0 Cancel; ChooseMenuItem: the id (0 = none)
    std::string control; // SetEditText, CheckBox, ClickButton: "Edit", "CheckBox", "OKButton", ...
    int id = 0;
    std::string text;    // SetEditText (cp1252)
    int state = 0;       // CheckBox: 0, 1, 2
};
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
