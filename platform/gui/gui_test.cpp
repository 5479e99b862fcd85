// Test-mode records: beeps, message texts, fixed screen size, break key, screenshots.
#include "platform/gui/gui_test.h"

#include <QDir>
#include <QImage>
#include <QWidget>

#include <cstdlib>

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
    if (script && *script) gActive = true;
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
