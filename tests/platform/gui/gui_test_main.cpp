// Shared set-up of the GUI layer tests: the QApplication exists before any test runs, and the
// test mode records beeps and message boxes.
#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        gui::ensureApplication("gui_test");
        gui::test::activate();
    }
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
