#pragma once
// A fixture of worksheet windows on the offscreen platform, without a kernel: windows over new
// worksheets or built trees, 400 x 300 pixels, opened with their caret; an adaptor whose frame
// close runs the window's close question, as the program's frames do.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/KWorksheetWindow.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/Element.h"
#include "document/tree/ViewCaret.h"
#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/Dialog.h"
#include "util/messages.h"
#include "tests/app/doc_window_support.h"

namespace worksheet_window_test {

// The frame close asks the held window and, on consent, the window is gone.
class ClosingAdaptor : public docwin_test::HoldingAdaptor {
public:
    bool closeFrame() override {
        ++closeCalls;
        if (!window || !window->closeQuery()) return false;
        window = nullptr;
        return true;
    }
    KWorksheetWindow* window = nullptr;
    int closeCalls = 0;
};

inline InputTextElement* firstInput(Element* e) {
    if (auto* input = dynamic_cast<InputTextElement*>(e)) return input;
    for (int i = 0; e && i < e->childCount(); ++i)
        if (InputTextElement* found = firstInput(e->childAt(i))) return found;
    return nullptr;
}

inline ExecutionGroup* groupWith(const char* text) {
    auto* group = new ExecutionGroup(ExecutionGroup::WithInput{});
    if (InputTextElement* input = firstInput(group)) input->setText(text);
    return group;
}

// The input texts of the root's groups, in order, each followed by a blank.
inline std::string groupTexts(Element* root) {
    std::string out;
    for (int i = 0; root && i < root->childCount(); ++i)
        if (InputTextElement* input = firstInput(root->childAt(i))) out += std::string(input->text()) + " ";
    return out;
}

class WorksheetWindowFixture : public ::testing::Test {
public:   // the rows of case tables reach the helpers
    void SetUp() override {
        gui::test::activate();
        gui::test::clearRecords();
        // Questions go to the GUI layer's boxes (answered by the test script) while the event
        // loop runs; earlier tests of the binary may have changed the program's hooks.
        MessageGuiHooks hooks;
        hooks.questionBox = [](int style, const char* text) {
            return static_cast<int>(
                QueryBox(Application::getAppWindow(), static_cast<uint32_t>(style), String(text ? text : "")).execute());
        };
        hooks.isRunning = [] { return Application::isRunning(); };
        messages_set_gui_hooks(hooks);
        savedHost_ = worksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        FontCache::setProgram(&fonts_);
        window = openWindow(std::make_unique<WorksheetDocument>(nullptr), adaptor);
    }
    void TearDown() override {
        for (auto& a : extraAdaptors_) delete a->window;
        delete adaptor.window;
        FontCache::setProgram(nullptr);
        worksheetHost() = savedHost_;
        gui::test::setScript({});
        messages_clear_gui_hooks();
        gui::test::deactivate();
    }
    KWorksheetWindow* openWindow(std::unique_ptr<WorksheetDocument> document, ClosingAdaptor& into) {
        auto* w = new KWorksheetWindow(&into, std::move(document), nullptr);
        into.window = w;
        w->setSizePixel(Size(400, 300));
        w->open(nullptr);
        return w;
    }
    // A second window (deleted by the fixture unless it closed).
    KWorksheetWindow* openAnother(std::unique_ptr<WorksheetDocument> document) {
        extraAdaptors_.push_back(std::make_unique<ClosingAdaptor>());
        return openWindow(std::move(document), *extraAdaptors_.back());
    }
    // Closes a window of openAnother through its frame (the close question).
    bool closeAnother(KWorksheetWindow* w) {
        for (auto& a : extraAdaptors_)
            if (a->window == w) return a->closeFrame();
        return false;
    }
    // A worksheet of one group per text.
    static std::unique_ptr<WorksheetDocument> worksheetOf(const std::vector<const char*>& texts,
                                                          const char* title = nullptr) {
        auto document = std::make_unique<WorksheetDocument>(title);
        auto* root = new SectionElement();
        for (const char* t : texts) root->insertChild(groupWith(t), nullptr, kInsertAfter);
        document->setRoot(root);
        return document;
    }
    // Replaces the fixture's window by one over the document.
    void reopen(std::unique_ptr<WorksheetDocument> document) {
        delete adaptor.window;
        window = openWindow(std::move(document), adaptor);
    }
    InputTextElement* input() { return dynamic_cast<InputTextElement*>(window->caret()->element()); }
    void type(const std::string& text) {
        for (char ch : text) window->keyInput(KeyEvent(static_cast<uint8_t>(ch), KEY_OTHER));
    }
    void key(uint16_t code, uint8_t ch = 0) { window->keyInput(KeyEvent(ch, code)); }
    // Runs f inside the application's event loop (message boxes take the script's answers only
    // there), after the timers already started; the loop ends when f has returned.
    static void inEventLoop(std::function<void()> f) {
        class Runner : public Timer {
        public:
            std::function<void()> body;
            void Timeout() override {
                body();
                Application::quit();
            }
        } runner;
        runner.body = std::move(f);
        runner.setTimeout(0);
        runner.start();
        Application::execute();
    }
    static void answer(int which) {
        gui::test::Step step;
        step.kind = gui::test::Step::AnswerBox;
        step.answer = which;
        gui::test::addStep(step);
    }

    docwin_test::AppWindowScope app_;
    docwin_test::RecordingFrame frame_;
    ClosingAdaptor adaptor;
    FontCache fonts_;
    WorksheetHost savedHost_;
    KWorksheetWindow* window = nullptr;

private:
    std::vector<std::unique_ptr<ClosingAdaptor>> extraAdaptors_;
};

}  // namespace worksheet_window_test
