// List, number and image controls: entries and selections, the combo box's final and transient
// selections, the metric field's units, limits, spins and reformat hook, images from resources,
// the split bar and the frame icon.
#include "platform/gui/Dialog_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QListWidget>
#include <QMouseEvent>
#include <QWidget>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "platform/gui/Splitter.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/gui_test.h"

namespace {

using gui::test::Step;

class ControlsTest : public ::testing::Test {
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
    void TearDown() override { EXPECT_EQ(gui::test::stepsLeft(), 0u); }
};

class ListsDialog : public ModalDialog {
public:
    ListsDialog()
        : ModalDialog(nullptr, ResId(8002)), combo(this, ResId(1)), list(this, ResId(1)), width(this, ResId(1)),
          style(this, ResId(2)), number(this, ResId(1)), icon(this, ResId(1)), picture(this, ResId(1)) {}
    ComboBox combo;
    ListBox list;
    MetricField width;
    MetricField style;
    NumericField number;
    FixedIcon icon;
    FixedBitmap picture;
};

TEST_F(ControlsTest, ListBoxEntriesPositionsAndImages) {
    ListsDialog d;
    Bitmap swatch = gui::findImage(950);
    ASSERT_FALSE(swatch.isEmpty());
    EXPECT_EQ(d.list.insertEntry("b"), 0);
    EXPECT_EQ(d.list.insertEntry("a", 0), 0);                   // before "b"
    EXPECT_EQ(d.list.insertEntry("c", swatch, 40), 2);          // past the end appends
    EXPECT_EQ(d.list.insertEntry("top", swatch, 0), 0);
    ASSERT_EQ(d.list.getEntryCount(), 4);
    const char* order[] = {"top", "a", "b", "c"};
    for (uint16_t i = 0; i < 4; ++i) EXPECT_EQ(d.list.getEntry(i), String(order[i])) << i;
    EXPECT_EQ(d.list.getEntryImage(2).isEmpty(), true);
    Bitmap back = d.list.getEntryImage(3);
    EXPECT_TRUE(back == swatch);
    EXPECT_EQ(back.getBitCount(), 1);
    EXPECT_EQ(d.list.getEntryPos("b"), 2);
    EXPECT_EQ(d.list.getEntryPos("zz"), LISTBOX_ENTRY_NOTFOUND);
    EXPECT_EQ(d.list.getEntry(99), String());

    // Programmatic selection runs no handler.
    int selects = 0;
    d.list.setSelectHdl(Link([&](void*) { ++selects; return 0L; }));
    EXPECT_EQ(d.list.getSelectEntryPos(), LISTBOX_ENTRY_NOTFOUND);
    d.list.selectEntry("b");
    EXPECT_EQ(d.list.getSelectEntryPos(), 2);
    EXPECT_EQ(d.list.getSelectEntry(), String("b"));
    d.list.setNoSelection();
    EXPECT_EQ(d.list.getSelectEntryPos(), LISTBOX_ENTRY_NOTFOUND);
    d.list.selectEntryPos(1);
    d.list.selectEntryPos(1, false);
    EXPECT_EQ(d.list.getSelectEntryPos(), LISTBOX_ENTRY_NOTFOUND);
    d.list.removeEntry(0);
    d.list.removeEntry(77);  // absent: nothing happens
    EXPECT_EQ(d.list.getEntryCount(), 3);
    EXPECT_EQ(selects, 0);
    d.list.clear();
    EXPECT_EQ(d.list.getEntryCount(), 0);
}

TEST_F(ControlsTest, ScriptSelectsListEntriesAndDoubleClicks) {
    Step pick;
    pick.kind = Step::SelectEntry;
    pick.id = 1;
    pick.text = "two";
    Step dbl = pick;
    dbl.text = "";
    dbl.state = 0;  // by position
    dbl.answer = 2;
    Step ok;
    ok.kind = Step::ClickButton;
    ok.control = "OKButton";
    ok.id = 1;
    gui::test::setScript({pick, dbl, ok});
    ListsDialog d;
    d.list.insertEntry("one");
    d.list.insertEntry("two");
    std::vector<std::string> seen;
    d.list.setSelectHdl(Link([&](void*) { seen.push_back("select " + d.list.getSelectEntry().str()); return 0L; }));
    d.list.setDoubleClickHdl(Link([&](void*) { seen.push_back("double " + d.list.getSelectEntry().str()); return 0L; }));
    EXPECT_EQ(d.execute(), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"select two", "select one", "double one"}));
    EXPECT_TRUE(gui::test::takeFailures().empty());
}

TEST_F(ControlsTest, ScriptNamingAMissingEntryFailsAndClosesTheDialog) {
    Step pick;
    pick.kind = Step::SelectEntry;
    pick.id = 1;
    pick.text = "absent";
    gui::test::setScript({pick});
    ListsDialog d;
    d.list.insertEntry("one");
    EXPECT_EQ(d.execute(), 0);
    auto f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("no entry \"absent\""), std::string::npos) << f[0];
}

TEST_F(ControlsTest, ComboBoxTellsFinalAndTransientSelectionsApart) {
    ListsDialog d;
    EXPECT_EQ(d.combo.getText(), String("12"));  // the resource text
    for (const char* s : {"8", "10", "12"}) d.combo.insertEntry(s);
    EXPECT_EQ(d.combo.getText(), String("12"));  // inserting keeps the text
    EXPECT_EQ(d.combo.getEntryPos("10"), 1);
    std::vector<bool> travel;
    int modified = 0;
    d.combo.setSelectHdl(Link([&](void*) { travel.push_back(d.combo.isTravelSelect()); return 0L; }));
    d.combo.setModifyHdl(Link([&](void*) { ++modified; return 0L; }));
    auto* cb = static_cast<QComboBox*>(d.combo.widget());
    emit cb->highlighted(1);  // keyboard travel through the open list
    emit cb->activated(1);    // the entry chosen
    EXPECT_EQ(travel, (std::vector<bool>{true, false}));
    EXPECT_FALSE(d.combo.isTravelSelect());
    cb->setEditText("14");
    EXPECT_EQ(modified, 1);
    // Clearing the entries leaves the text and calls no handler.
    d.combo.clear();
    EXPECT_EQ(d.combo.getEntryCount(), 0);
    EXPECT_EQ(d.combo.getText(), String("14"));
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(travel.size(), 2u);
}

TEST_F(ControlsTest, MetricParseTable) {
    struct Row {
        const char* name;
        const char* text;
        int unit, decimals;
        bool ok;
        long long value;
    } rows[] = {
        {"plain", "12", FUNIT_POINT, 0, true, 12},
        {"plus sign", "+12", FUNIT_POINT, 0, true, 12},
        {"plus and blank", "+ 12 pt", FUNIT_POINT, 0, true, 12},
        {"minus", "-3", FUNIT_POINT, 0, true, -3},
        {"decimals padded", "6", FUNIT_INCH, 2, true, 600},
        {"decimals rounded", "1.505", FUNIT_INCH, 2, true, 151},
        {"comma as point", "1,5", FUNIT_INCH, 2, true, 150},
        {"inch mark", "1.5\"", FUNIT_INCH, 2, true, 150},
        {"inches into points", "1.5 in", FUNIT_POINT, 0, true, 108},
        {"points into inches", "72pt", FUNIT_INCH, 2, true, 100},
        {"cm into mm", "2.5 cm", FUNIT_MM, 0, true, 25},
        {"twips into points", "1440 twip", FUNIT_POINT, 0, true, 72},
        {"no unit field ignores suffix", "7 mm", FUNIT_NONE, 0, true, 7},
        {"star", "*", FUNIT_POINT, 0, false, 0},
        {"empty", "", FUNIT_POINT, 0, false, 0},
        {"sign only", "+", FUNIT_POINT, 0, false, 0},
        {"unknown unit", "12 furlongs", FUNIT_POINT, 0, false, 0},
        {"huge", "99999999999999999999", FUNIT_POINT, 0, false, 0},
    };
    for (const Row& r : rows) {
        long long v = 0;
        bool ok = MetricField::parse(String(r.text), r.unit, r.decimals, v);
        EXPECT_EQ(ok, r.ok) << r.name << ": \"" << r.text << "\"";
        if (r.ok && ok) {
            EXPECT_EQ(v, r.value) << r.name << ": \"" << r.text << "\"";
        }

    }
}

TEST_F(ControlsTest, MetricFormatAndConvertTable) {
    struct Row {
        long long value;
        int unit, decimals;
        const char* text;
    } rows[] = {
        {12, FUNIT_POINT, 0, "12 pt"}, {600, FUNIT_INCH, 2, "6.00\""}, {-5, FUNIT_INCH, 2, "-0.05\""},
        {7, FUNIT_NONE, 0, "7"},       {1234, FUNIT_MM, 1, "123.4 mm"},
    };
    for (const auto& r : rows) EXPECT_EQ(MetricField::format(r.value, r.unit, r.decimals), String(r.text)) << r.text;
    EXPECT_EQ(MetricField::convert(600, FUNIT_INCH, FUNIT_POINT), 43200);
    EXPECT_EQ(MetricField::convert(150, FUNIT_INCH, FUNIT_POINT), 10800);
    EXPECT_EQ(MetricField::convert(1, FUNIT_POINT, FUNIT_TWIP), 20);
    EXPECT_EQ(MetricField::convert(-1, FUNIT_POINT, FUNIT_TWIP), -20);
    EXPECT_EQ(MetricField::convert(5, FUNIT_NONE, FUNIT_POINT), 5);
}

TEST_F(ControlsTest, MetricFieldValueLimitsAndSpins) {
    ListsDialog d;
    MetricField& f = d.width;
    f.setUnit(FUNIT_INCH);
    f.setDecimalDigits(2);
    f.setMin(0);
    f.setMax(2400);  // 24.00 inches
    f.setValue(6, FUNIT_INCH);  // 0.06"
    EXPECT_EQ(f.getValue(), 6);
    f.setValue(600);
    EXPECT_EQ(f.getText(), String("6.00\""));
    EXPECT_EQ(f.getValue(FUNIT_POINT) / 100, 432);
    f.setValue(9000);
    EXPECT_EQ(f.getValue(), 2400);  // kept within the limits
    f.setText("1.50");
    EXPECT_EQ(f.getValue(FUNIT_POINT) / 100, 108);  // the typed text counts before a reformat
    f.setSpinSize(25);
    int modified = 0;
    f.setModifyHdl(Link([&](void*) { ++modified; return 0L; }));
    f.up();
    EXPECT_EQ(f.getValue(), 175);
    f.setValue(10);
    f.down();
    EXPECT_EQ(f.getValue(), 0);  // not below the minimum
    EXPECT_EQ(modified, 2);
    f.setText("nonsense");
    f.reformat();
    EXPECT_EQ(f.getText(), String("0.00\""));  // no value: the previous one comes back
}

// The program's style field: "*" is kept as "undefined", "+12" keeps its sign.
class StyleField : public MetricField {
public:
    StyleField(Dialog* d, const ResId& id) : MetricField(d, id) {}
    void reformat() override {
        String t = getText();
        undefined = t == String("*");
        plus = !t.isEmpty() && t.str()[0] == '+';
        if (undefined) {
            setValue(0);
            setText("*");
            return;
        }
        reformatValue();
        if (plus) setText(String("+ " + getText().str()));
    }
    bool undefined = false, plus = false;
};

TEST_F(ControlsTest, ReformatHookKeepsStarAndPlusAsTyped) {
    Step star;
    star.kind = Step::SetEditText;
    star.control = "MetricField";
    star.id = 2;
    star.text = "*";
    Step plus = star;
    plus.text = "+12";
    Step ok;
    ok.kind = Step::ClickButton;
    ok.control = "OKButton";
    ok.id = 1;
    ModalDialog d(nullptr, ResId(8002));
    StyleField f(&d, ResId(2));
    f.setUnit(FUNIT_POINT);
    f.setMin(-144);
    f.setMax(144);
    f.setValue(30);
    std::vector<std::string> seen;
    OKButton okButton(&d, ResId(1));
    okButton.setClickHdl(Link([&](void*) {
        seen.push_back(f.getText().str() + (f.undefined ? " undefined" : "") + (f.plus ? " plus" : ""));
        if (seen.size() == 2) d.endDialog(1);
        return 0L;
    }));
    gui::test::setScript({star, ok, plus, ok});
    EXPECT_EQ(d.execute(), 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "* undefined");
    EXPECT_EQ(seen[1], "+ 12 pt plus");
    EXPECT_EQ(f.getValue(), 12);
    EXPECT_TRUE(gui::test::takeFailures().empty());
}

TEST_F(ControlsTest, NumericFieldLimitsAndModify) {
    ListsDialog d;
    d.number.setMin(0);
    d.number.setMax(500);
    int modified = 0;
    d.number.setModifyHdl(Link([&](void*) { ++modified; return 0L; }));
    d.number.setValue(700);
    EXPECT_EQ(d.number.getValue(), 500);
    d.number.setValue(-4);
    EXPECT_EQ(d.number.getValue(), 0);
    EXPECT_EQ(modified, 0);  // the program's own sets call no handler
    static_cast<QWidget*>(d.number.widget())->setProperty("value", 42);
    EXPECT_EQ(d.number.getValue(), 42);
    EXPECT_EQ(modified, 1);
}

TEST_F(ControlsTest, ImagesFromResources) {
    ListsDialog d;
    Bitmap rgb = d.icon.getBitmap();
    ASSERT_FALSE(rgb.isEmpty());
    EXPECT_EQ(rgb.getSizePixel(), Size(3, 1));
    EXPECT_EQ(rgb.getBitCount(), 4);
    EXPECT_EQ(rgb.getPixel(Point(0, 0)), Color::fromRGB8(255, 0, 0));
    EXPECT_EQ(rgb.getPixel(Point(2, 0)), Color::fromRGB8(0, 0, 255));
    EXPECT_TRUE(d.picture.getBitmap().isEmpty());  // image 999 is not there
    d.picture.setBitmap(gui::findImage(950));
    EXPECT_EQ(d.picture.getBitmap().getPixel(Point(0, 0)), Color::fromRGB8(0, 0, 0));
    EXPECT_EQ(d.picture.getBitmap().getPixel(Point(1, 0)), Color::fromRGB8(255, 255, 255));
    d.icon.setIcon(Icon());
    EXPECT_TRUE(d.icon.getBitmap().isEmpty());
}

TEST_F(ControlsTest, ImageResourceErrorsLeaveTheRegistryUnchanged) {
    struct Row {
        const char* name;
        const char* text;
        const char* error;
    } rows[] = {
        {"too wide", "image 960 2 1\n color \"a\" 1 2 3\n row \"aaa\"\nend\n", "line 3: row of the wrong width"},
        {"missing rows", "image 960 2 2\n color \"a\" 1 2 3\n row \"aa\"\nend\n", "line 4: image 960 needs 2 rows"},
        {"unknown colour", "image 960 1 1\n row \"x\"\nend\n", "line 2: no color for \"x\""},
        {"colour out of range", "image 960 1 1\n color \"a\" 1 2 300\nend\n", "line 2: expected: color"},
        {"zero size", "image 960 0 1\nend\n", "line 1: expected: image"},
        {"unterminated", "image 960 1 1\n color \"a\" 1 2 3\n row \"a\"\n", "missing end"},
    };
    for (const Row& r : rows) {
        std::string error;
        EXPECT_FALSE(gui::loadResources(r.text, &error)) << r.name;
        EXPECT_NE(error.find(r.error), std::string::npos) << r.name << ": " << error;
        EXPECT_TRUE(gui::findImage(960).isEmpty()) << r.name;
    }
}

TEST_F(ControlsTest, SplitterDragStaysInTheAreaAndReportsOnce) {
    Window parent(nullptr, WB_FRAME);
    parent.setSizePixel(Size(200, 300));
    Splitter bar(&parent);
    bar.setPosSizePixel(Point(0, 100), Size(200, 5));
    bar.setDragRectPixel(Rectangle(0, 0, 199, 299));
    bar.setSplitPosPixel(100);
    std::vector<long> reports;
    bar.setSplitHdl(Link([&](void*) { reports.push_back(bar.getSplitPosPixel()); return 0L; }));
    auto* peer = static_cast<QWidget*>(bar.getNativeHandle());
    auto send = [&](QEvent::Type t, int y, Qt::MouseButtons held) {
        QMouseEvent ev(t, QPointF(10, y), QPointF(10, y), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(peer, &ev);
    };
    send(QEvent::MouseButtonPress, 2, Qt::LeftButton);
    send(QEvent::MouseMove, 42, Qt::LeftButton);  // 40 down
    EXPECT_EQ(bar.getSplitPosPixel(), 140);
    EXPECT_EQ(bar.getPosPixel().y, 140);
    send(QEvent::MouseMove, 2 + 1000, Qt::LeftButton);  // far below the area
    EXPECT_EQ(bar.getSplitPosPixel(), 295);  // the bar's 5 pixels stay inside
    send(QEvent::MouseButtonRelease, 2, Qt::NoButton);
    EXPECT_EQ(reports, std::vector<long>{295});
    // A click without a move reports nothing.
    send(QEvent::MouseButtonPress, 2, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, 2, Qt::NoButton);
    EXPECT_EQ(reports.size(), 1u);
    bar.setSplitPosPixel(-50);
    EXPECT_EQ(bar.getSplitPosPixel(), 0);
}

TEST_F(ControlsTest, FrameIconFromImageResource) {
    WorkWindow w(nullptr, WB_FRAME);
    auto* peer = static_cast<QWidget*>(w.getNativeHandle());
    w.setIcon(Icon(ResId(950)));
    EXPECT_FALSE(peer->windowIcon().isNull());
    QImage shown = peer->windowIcon().pixmap(QSize(4, 2)).toImage();
    EXPECT_EQ(shown.size(), QSize(4, 2));
    w.setIcon(Icon());
    EXPECT_TRUE(peer->windowIcon().isNull() || peer->windowIcon().availableSizes().isEmpty());
}

}  // namespace
