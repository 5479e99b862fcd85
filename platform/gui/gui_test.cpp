// Test-mode records: beeps, message texts, fixed screen size, break key, screenshots.
#include "platform/gui/gui_test.h"

#include <QDir>
#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/gui/base/text_tables.h"
#include "platform/gui/line_words.h"

#include "platform/gui/Window.h"

namespace gui::test {

namespace {
bool gActive = false;
int gBeeps = 0;
std::vector<std::string> gMessages;
bool gScreenFixed = false;
Size gScreen;
bool gBreak = false;
std::vector<Step> gSteps;
std::size_t gNext = 0;
std::vector<std::string> gFailures;
}  // namespace

void setScript(std::vector<Step> steps) {
    gSteps = std::move(steps);
    gNext = 0;
}
void addStep(const Step& step) { gSteps.push_back(step); }
std::size_t stepsLeft() { return gSteps.size() - gNext; }
bool takeStep(Step& out) {
    if (gNext >= gSteps.size()) return false;
    out = gSteps[gNext++];
    return true;
}
void recordFailure(const std::string& text) { gFailures.push_back(text); }
std::vector<std::string> takeFailures() {
    std::vector<std::string> f = std::move(gFailures);
    gFailures.clear();
    return f;
}

void activate() { gActive = true; }
void deactivate() { gActive = false; }
bool isActive() { return gActive; }

void initFromEnvironment() {
    const char* script = std::getenv("WKELVO_GUI_SCRIPT");
    if (!script || !*script) return;
    gActive = true;
    std::ifstream in(script, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<Step> steps;
    std::string error;
    if (!in || !parseScript(ss.str(), steps, &error)) {
        std::string why = !in ? "cannot be read" : error;
        recordFailure(std::string("GUI script ") + script + ": " + why);
        std::cerr << "GUI script " << script << ": " << why << "\n";
        return;
    }
    setScript(std::move(steps));
}

bool takeStepFor(Step::Kind kind, const std::string& what, const std::string& title, Step& out) {
    if (!takeStep(out)) {
        recordFailure("script ran out at " + what + " \"" + title + "\"");
        return false;
    }
    if (out.kind != kind && out.kind != Step::CancelDialog) {
        recordFailure(what + " \"" + title + "\" opened where the script had another step");
        return false;
    }
    if (!out.expect.empty() && out.expect != title) {
        recordFailure(what + " \"" + title + "\" opened where the script expected \"" + out.expect + "\"");
        return false;
    }
    return true;
}

namespace {

bool number(const std::string& w, long lo, long hi, long& v) {
    if (w.empty() || w.size() > 11) return false;
    char* end = nullptr;
    v = std::strtol(w.c_str(), &end, 10);
    return *end == '\0' && v >= lo && v <= hi;
}

}  // namespace

bool parseScript(std::string_view text, std::vector<Step>& out, std::string* error) {
    std::vector<Step> steps;
    bool fixScreen = false, pressBreak = false;
    Size screen;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        auto fail = [&](const std::string& why) {
            if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        std::vector<std::string> w;
        std::vector<bool> q;
        if (!splitLineWords(line, w, q)) return fail("unterminated text");
        if (w.empty() || (!q[0] && w[0][0] == '#')) continue;
        if (q[0]) return fail("a line starts with a keyword");
        const std::string& k = w[0];
        // Unquoted words at 1..n-1 must be the numbers asked for; texts are converted to cp1252.
        auto text1252 = [](const std::string& utf8) { return utf8ToCp1252(utf8); };
        auto trailing = [&](std::size_t from, std::size_t maxTexts) {
            if (w.size() > from + maxTexts) return false;
            for (std::size_t i = from; i < w.size(); ++i)
                if (!q[i]) return false;
            return true;
        };
        Step s;
        long a = 0, b = 0, c = 0, d = 0, e = 0;
        if (k == "answer") {
            if (w.size() < 2 || q[1] || !number(w[1], 0, 3, a) || !trailing(2, 1)) return fail("expected: answer <0-3> [\"<text>\"]");
            s.kind = Step::AnswerBox;
            s.answer = static_cast<int>(a);
            if (w.size() == 3) s.expect = text1252(w[2]);
        } else if (k == "type" || k == "check" || k == "click" || k == "select") {
            if (w.size() < 3 || q[1] || q[2] || !number(w[2], -32768, 32767, a)) return fail("expected: " + k + " <Class> <id> ...");
            s.control = w[1];
            s.id = static_cast<int>(a);
            std::size_t next = 3;
            if (k == "type") {
                if (w.size() < 4 || !q[3]) return fail("expected: type <Class> <id> \"<text>\"");
                s.kind = Step::SetEditText;
                s.text = text1252(w[3]);
                next = 4;
            } else if (k == "check") {
                if (w.size() < 4 || q[3] || !number(w[3], 0, 2, b)) return fail("expected: check <Class> <id> <0-2>");
                s.kind = Step::CheckBox;
                s.state = static_cast<int>(b);
                next = 4;
            } else if (k == "select") {
                s.kind = Step::SelectEntry;
                if (w.size() >= 4 && q[3]) {
                    s.text = text1252(w[3]);
                } else if (w.size() >= 4 && w[3].size() > 1 && w[3][0] == '@' && number(w[3].substr(1), 0, 65534, b)) {
                    s.state = static_cast<int>(b);
                } else {
                    return fail("expected: select <Class> <id> \"<entry>\" or @<position>");
                }
                next = 4;
            } else {
                s.kind = Step::ClickButton;
            }
            if (!trailing(next, 1)) return fail("unexpected words after " + k);
            if (w.size() == next + 1) s.expect = text1252(w[next]);
        } else if (k == "menu") {
            if (w.size() != 2 || q[1] || !number(w[1], 0, 65535, a)) return fail("expected: menu <id>");
            s.kind = Step::ChooseMenuItem;
            s.answer = static_cast<int>(a);
        } else if (k == "drop") {
            bool copy = w.size() == 4 && !q[3] && w[3] == "copy";
            if ((w.size() != 3 && !copy) || q[1] || q[2] || !number(w[1], -32768, 32767, a) ||
                !number(w[2], -32768, 32767, b))
                return fail("expected: drop <x> <y> [copy]");
            s.kind = Step::DropAt;
            s.point = Point(a, b);
            s.state = copy ? 1 : 0;
        } else if (k == "file") {
            if (w.size() < 2 || !q[1] || !trailing(1, 3)) return fail("expected: file \"<path>\" [\"<filter>\" [\"<title>\"]]");
            s.kind = Step::ChooseFile;
            s.path = w[1];
            if (w.size() >= 3) s.text = text1252(w[2]);
            if (w.size() == 4) s.expect = text1252(w[3]);
        } else if (k == "color") {
            if (w.size() != 4 || q[1] || q[2] || q[3] || !number(w[1], 0, 65535, a) || !number(w[2], 0, 65535, b) ||
                !number(w[3], 0, 65535, c))
                return fail("expected: color <red> <green> <blue> (0 to 65535)");
            s.kind = Step::ChooseColor;
            s.red = static_cast<uint16_t>(a);
            s.green = static_cast<uint16_t>(b);
            s.blue = static_cast<uint16_t>(c);
        } else if (k == "printer") {
            if (w.size() < 6 || w.size() > 7 || !q[1] || q[2] || q[3] || q[4] || q[5] || (w.size() == 7 && !q[6]) ||
                !number(w[2], 1, 9999, a) || !number(w[3], 0, 1, b) || !number(w[4], 0, 65535, d) ||
                !number(w[5], 0, 65535, e) || d > e)
                return fail("expected: printer \"<name>\" <copies> <collate 0|1> <first> <last> [\"<pdf file>\"]");
            s.kind = Step::ChoosePrinter;
            s.text = text1252(w[1]);
            s.copies = static_cast<int>(a);
            s.collate = b != 0;
            s.firstPage = static_cast<int>(d);
            s.lastPage = static_cast<int>(e);
            if (w.size() == 7) s.path = w[6];
        } else if (k == "cancel" && w.size() == 1) {
            s.kind = Step::CancelDialog;
        } else if (k == "screen") {
            if (w.size() != 3 || q[1] || q[2] || !number(w[1], 1, 32767, a) || !number(w[2], 1, 32767, b))
                return fail("expected: screen <width> <height>");
            fixScreen = true;
            screen = Size(a, b);
            continue;
        } else if (k == "break" && w.size() == 1) {
            pressBreak = true;
            continue;
        } else {
            return fail("unknown step " + k);
        }
        steps.push_back(std::move(s));
    }
    if (fixScreen) fixScreenSize(screen);
    if (pressBreak) pressBreakKey();
    out = std::move(steps);
    return true;
}

void recordBeep() { ++gBeeps; }
int beepCount() { return gBeeps; }
void recordMessage(const std::string& text) { gMessages.push_back(text); }
const std::vector<std::string>& messages() { return gMessages; }
void clearRecords() {
    gBeeps = 0;
    gMessages.clear();
}

void fixScreenSize(const Size& s) { gScreenFixed = true; gScreen = s; }
void unfixScreenSize() { gScreenFixed = false; }
bool fixedScreenSize(Size& out) {
    if (gScreenFixed) out = gScreen;
    return gScreenFixed;
}

void pressBreakKey() { gBreak = true; }
bool takeBreakKey() {
    bool b = gBreak;
    gBreak = false;
    return b;
}

QImage grabWindow(Window& w) {
    w.update();
    QWidget* peer = static_cast<QWidget*>(w.getNativeHandle());
    return peer ? peer->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage grabBackBuffer(Window& w) {
    w.update();
    const QImage* img = w.backBuffer();
    return img ? img->copy() : QImage();
}

bool saveShot(const QImage& image, const std::string& name) {
    const char* dir = std::getenv("WKELVO_TEST_SHOTS");
    if (!dir || !*dir) return false;
    QDir().mkpath(QString::fromUtf8(dir));
    return image.save(QString::fromUtf8(dir) + "/" + QString::fromStdString(name) + ".png", "PNG");
}

}  // namespace gui::test
