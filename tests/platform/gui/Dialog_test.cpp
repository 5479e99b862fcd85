// Dialogs from resources driven by the test script, message boxes and their answers, the
// resource reader's errors, exceptions inside modal runs.
#include "platform/gui/Dialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"

namespace {

using gui::test::Step;

Step answer(int a, const std::string& expect = "") {
    Step s;
    s.kind = Step::AnswerBox;
    s.answer = a;
    s.expect = expect;
    return s;
}
Step type(int id, const std::string& text) {
    Step s;
    s.kind = Step::SetEditText;
    s.id = id;
    s.text = text;
    return s;
}
Step click(const std::string& cls, int id, const std::string& expectTitle = "") {
    Step s;
    s.kind = Step::ClickButton;
    s.control = cls;
    s.id = id;
    s.expect = expectTitle;
    return s;
}

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::ifstream in(std::string(KELVO_TEST_DATA) + "/platform/gui/test_resources.txt");
        std::stringstream ss;
        ss << in.rdbuf();
        std::string error;
        ASSERT_TRUE(gui::loadResources(ss.str(), &error)) << error;
    }
    void SetUp() override {
        gui::test::clearRecords();
        gui::test::setScript({});
        gui::test::takeFailures();
    }
    void TearDown() override {
        EXPECT_EQ(gui::test::stepsLeft(), 0u) << "script steps left over";
    }
};

// The name dialog of the program: OK refuses an empty name with a message box.
class NameDialog : public ModalDialog {
public:
    NameDialog()
        : ModalDialog(nullptr, ResId(8000)), label(this, ResId(1)), edit(this, ResId(1)), group(this, ResId(1)),
          bold(this, ResId(1)), italic(this, ResId(2)), ok(this, ResId(1)), cancel(this, ResId(1)) {
        ok.setClickHdl(Link([this](void*) {
            if (edit.getText().isEmpty()) {
                ErrorBox(nullptr, WB_ERRORBOX_STYLE, "Please enter a name.").execute();
                return 0L;
            }
            endDialog(1);
            return 0L;
        }));
    }
    FixedText label;
    Edit edit;
    GroupBox group;
    CheckBox bold;
    TriStateBox italic;
    OKButton ok;
    CancelButton cancel;
};

TEST_F(DialogTest, ScriptTypesIntoTheEditAndClicksOk) {
    gui::test::setScript({type(1, "Caf\xE9"), click("OKButton", 1, "Name Dialog")});
    NameDialog d;
    EXPECT_EQ(d.label.getText(), String("~Name:"));
    EXPECT_EQ(d.group.getText(), String("Na~me"));
    EXPECT_NE(d.execute(), 0);
    EXPECT_EQ(d.edit.getText(), String("Caf\xE9"));
    EXPECT_TRUE(gui::test::takeFailures().empty());
}

TEST_F(DialogTest, RefusingOkHandlerShowsABoxThenTheScriptFillsTheEdit) {
    gui::test::setScript({click("OKButton", 1), answer(RET_OK, "Please enter a name."), type(1, "x"),
                          click("OKButton", 1)});
    NameDialog d;
    EXPECT_EQ(d.execute(), 1);
    ASSERT_EQ(gui::test::messages().size(), 1u);
    EXPECT_EQ(gui::test::messages()[0], "Please enter a name.");
    EXPECT_EQ(d.edit.getText(), String("x"));
    EXPECT_TRUE(gui::test::takeFailures().empty());
}

TEST_F(DialogTest, CancelLeavesZeroAndBoxesAreSet) {
    Step box;
    box.kind = Step::CheckBox;
    box.control = "CheckBox";
    box.id = 1;
    box.state = 1;
    Step tri = box;
    tri.control = "TriStateBox";
    tri.id = 2;
    tri.state = 2;
    gui::test::setScript({box, tri, click("CancelButton", 1)});
    NameDialog d;
    EXPECT_EQ(d.execute(), 0);
    EXPECT_TRUE(d.bold.isChecked());
    EXPECT_EQ(d.italic.getState(), 2);
}

TEST_F(DialogTest, ScriptRunningOutFailsWithTheDialogTitleAtOnce) {
    gui::test::setScript({type(1, "abc")});
    NameDialog d;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.execute(), 0);
    EXPECT_LT(t.elapsed(), 5000);
    auto f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("Name Dialog"), std::string::npos) << f[0];
}

TEST_F(DialogTest, MismatchedStepsAreReported) {
    gui::test::setScript({click("OKButton", 1, "Other Title")});
    NameDialog d;
    EXPECT_EQ(d.execute(), 0);
    auto f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("Other Title"), std::string::npos);

    gui::test::setScript({answer(RET_OK)});
    NameDialog d2;
    EXPECT_EQ(d2.execute(), 0);
    EXPECT_EQ(gui::test::takeFailures().size(), 1u);

    gui::test::setScript({click("PushButton", 99)});
    NameDialog d3;
    EXPECT_EQ(d3.execute(), 0);
    f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("PushButton 99"), std::string::npos);
}

TEST_F(DialogTest, ExceptionInAHandlerClosesTheDialogAndReachesTheCaller) {
    gui::test::setScript({click("PushButton", 1)});
    ModalDialog d(nullptr, ResId(8000));
    PushButton help(&d, ResId(1));
    help.setClickHdl(Link([](void*) -> long { throw std::runtime_error("help failed"); }));
    EXPECT_THROW(d.execute(), std::runtime_error);
    EXPECT_FALSE(d.isVisible());
}

TEST_F(DialogTest, DefaultButtonsEndWithOneAndZero) {
    gui::test::setScript({click("OKButton", 1)});
    ModalDialog a(nullptr, ResId(8000));
    EXPECT_EQ(a.execute(), 1);
    gui::test::setScript({click("CancelButton", 1)});
    ModalDialog b(nullptr, ResId(8000));
    EXPECT_EQ(b.execute(), 0);
}

TEST_F(DialogTest, MissingResourceOrControlIsAnError) {
    EXPECT_THROW(ModalDialog(nullptr, ResId(4242)), std::runtime_error);
    ModalDialog d(nullptr, ResId(8001));
    EXPECT_THROW(Edit(&d, ResId(1)), std::runtime_error);
    EXPECT_THROW(OKButton(&d, ResId(2)), std::runtime_error);
}

// A program window placed into a dialog sits in its client area like a control, with the
// dialog's size and the controls' geometry in pixels; help texts come from the resource.
TEST_F(DialogTest, WindowsAndControlsArePlacedInTheClientArea) {
    ModalDialog d(nullptr, ResId(8001));
    d.setPosSizePixel(Point(30, 40), Size(300, 200));
    EXPECT_EQ(d.getOutputSizePixel(), Size(300, 200));

    OKButton ok(&d, ResId(1));
    EXPECT_EQ(ok.getHelpText(), String("Close the dialog"));
    ok.setPosSizePixel(Point(10, 150), Size(80, 24));
    EXPECT_EQ(ok.getPosPixel(), Point(10, 150));
    EXPECT_EQ(ok.getSizePixel(), Size(80, 24));
    ModalDialog named(nullptr, ResId(8000));
    EXPECT_EQ(OKButton(&named, ResId(1)).getHelpText(), String()) << "no help text in the resource";

    Window inside(nullptr, WB_CHILD_PLAIN);
    inside.setBackgroundBrush(Brush(Color::fromRGB8(0, 0, 255)));
    d.insertWindow(inside);
    inside.setPosSizePixel(Point(100, 20), Size(50, 40));
    inside.show();
    auto* peer = static_cast<QWidget*>(inside.getNativeHandle());
    EXPECT_EQ(peer->parentWidget(), d.peer());
    EXPECT_FALSE(peer->isWindow());
    EXPECT_FALSE(inside.isVisible()) << "hidden with its dialog";
    d.show();
    EXPECT_TRUE(inside.isVisible());
    EXPECT_EQ(peer->geometry(), QRect(100, 20, 50, 40));
    d.show(false);
    EXPECT_FALSE(inside.isVisible());
}

struct BoxCase { const char* name; uint32_t style; int answer; long result; bool offered; };

TEST_F(DialogTest, MessageBoxAnswers) {
    const BoxCase cases[] = {
        {"query yes", WB_QUERY_YNC, RET_YES, 2, true},
        {"query no", WB_QUERY_YNC, RET_NO, 3, true},
        {"query cancel", WB_QUERY_YNC, RET_CANCEL, 0, true},
        {"yes-no yes", WB_QUERY_YN, RET_YES, 2, true},
        {"yes-no no", WB_QUERY_YN, RET_NO, 3, true},
        {"yes-no offers no cancel", WB_QUERY_YN, RET_CANCEL, 0, false},
        {"error ok", WB_ERRORBOX_STYLE, RET_OK, 1, true},
        {"error offers no yes", WB_ERRORBOX_STYLE, RET_YES, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gui::test::clearRecords();
        gui::test::setScript({answer(c.answer, "Save changes?")});
        EXPECT_EQ(QueryBox(nullptr, c.style, "Save changes?", "Kelvo").execute(), c.result);
        EXPECT_EQ(gui::test::takeFailures().empty(), c.offered);
        ASSERT_EQ(gui::test::messages().size(), 1u);
        EXPECT_EQ(gui::test::messages()[0], "Save changes?");
    }
    gui::test::setScript({answer(RET_OK, "something else")});
    EXPECT_EQ(InfoBox(nullptr, "Caf\xE9").execute(), 0);
    EXPECT_EQ(gui::test::messages().back(), "Caf\xC3\xA9");
    EXPECT_EQ(gui::test::takeFailures().size(), 1u);
    EXPECT_EQ(ErrorBox(nullptr, WB_ERRORBOX_STYLE, "unscripted").execute(), 0);  // no step left
    EXPECT_EQ(gui::test::takeFailures().size(), 1u);
}

struct ResCase { const char* name; const char* text; const char* error; };

TEST(Resources, ReaderRejectsFaultyText) {
    const ResCase cases[] = {
        {"missing end", "dialog 1 \"A\" 10 10\n", "line 2: missing end"},
        {"unknown class", "dialog 1 \"A\" 10 10\n  Slider 1 0 0 1 1 \"\"\nend\n", "line 2: unknown control class Slider"},
        {"unterminated text", "dialog 1 \"A 10 10\nend\n", "line 1: unterminated text"},
        {"bad number", "dialog x \"A\" 10 10\nend\n", "line 1: bad number"},
        {"huge number", "dialog 1 \"A\" 99999999999 10\nend\n", "line 1: bad number"},
        {"duplicate control", "dialog 1 \"A\" 10 10\n Edit 1 0 0 1 1 \"\"\n Edit 1 0 0 1 1 \"\"\nend\n", "line 3: duplicate Edit 1"},
        {"missing text", "dialog 1 \"A\" 10 10\n Edit 1 0 0 1 1\nend\n", "line 2: expected"},
        {"help text not quoted", "dialog 1 \"A\" 10 10\n Edit 1 0 0 1 1 \"\" help\nend\n", "line 2: expected"},
        {"two help texts", "dialog 1 \"A\" 10 10\n Edit 1 0 0 1 1 \"\" \"a\" \"b\"\nend\n", "line 2: expected"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(gui::loadResources(c.text, &error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
    std::string error;
    ASSERT_TRUE(gui::loadResources("# comment\ndialog 77 \"Quote \\\" and \\\\\" 10 10\nend", &error)) << error;
    ASSERT_NE(gui::findDialog(77), nullptr);
    EXPECT_EQ(gui::findDialog(77)->title, String("Quote \" and \\"));
}

TEST(Mnemonics, TildeBecomesAmpersandAndAmpersandIsDoubled) {
    EXPECT_EQ(gui::mnemonicText("~Undo"), QString("&Undo"));
    EXPECT_EQ(gui::mnemonicText("Cop~y as Kelvo Text"), QString("Cop&y as Kelvo Text"));
    EXPECT_EQ(gui::mnemonicText("P~rinter Setup..."), QString("P&rinter Setup..."));
    EXPECT_EQ(gui::mnemonicText("A & B"), QString("A && B"));
    EXPECT_EQ(gui::mnemonicText("Caf\xE9"), QString::fromUtf8("Café"));
}

}  // namespace
