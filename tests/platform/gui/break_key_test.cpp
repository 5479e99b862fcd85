// The break key: the hook platform/os asks (event filter and test mode under offscreen), and the
// X11 keyboard-state rules (key codes from a keyboard mapping, a break key with Ctrl held).
#include "platform/gui/break_key.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include "platform/gui/Application.h"
#include "platform/gui/gui_test.h"
#include "platform/os/sysprobe.h"

namespace {

TEST(BreakKey, PlatformOsSeesTheKeyThroughTheHook) {
    while (sys_break_pressed()) {}  // nothing pending from earlier tests
    EXPECT_EQ(sys_break_key_state(), 0);

    gui::test::pressBreakKey();
    EXPECT_EQ(sys_break_pressed(), 1);
    EXPECT_EQ(sys_break_pressed(), 0);  // a press counts once

    QWidget w;
    struct Row {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int expected;
    };
    const Row rows[] = {
        {"Ctrl+Pause", Qt::Key_Pause, Qt::ControlModifier, 1},
        {"Ctrl+Break", Qt::Key_Cancel, Qt::ControlModifier, 1},
        {"Pause alone", Qt::Key_Pause, Qt::NoModifier, 0},
        {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, 0},
    };
    for (const Row& r : rows) {
        QKeyEvent ev(QEvent::KeyPress, r.key, r.mods);
        QApplication::sendEvent(&w, &ev);
        EXPECT_EQ(sys_break_pressed(), r.expected) << r.name;
        EXPECT_EQ(sys_break_pressed(), 0) << r.name;
    }
}

TEST(BreakKey, KeyCodesComeFromTheKeyboardMapping) {
    // Codes 8.. with two keysyms each: 8 'a', 9 Pause, 10 Control_L, 11 (nothing, Break second),
    // 12 Control_R, 13 Cancel.
    const std::vector<uint32_t> syms = {0x61, 0x41, 0xff13, 0, 0xffe3, 0, 0, 0xff6b, 0xffe4, 0, 0xff69, 0};
    gui::BreakKeyCodes c = gui::breakKeyCodesFromMapping(8, 2, syms);
    EXPECT_EQ(c.breakKeys, (std::vector<uint8_t>{9, 11, 13}));
    EXPECT_EQ(c.controlKeys, (std::vector<uint8_t>{10, 12}));
    // A malformed reply: no keysyms per code, a partial last row, codes beyond 255.
    EXPECT_TRUE(gui::breakKeyCodesFromMapping(8, 0, syms).breakKeys.empty());
    EXPECT_EQ(gui::breakKeyCodesFromMapping(8, 5, syms).breakKeys, (std::vector<uint8_t>{8, 9}));
    EXPECT_TRUE(gui::breakKeyCodesFromMapping(255, 1, std::vector<uint32_t>{0, 0xff13}).breakKeys.empty());
}

TEST(BreakKey, DownOnlyWithABreakKeyAndControlHeld) {
    gui::BreakKeyCodes codes{{9, 127}, {37, 105}};
    struct Row {
        const char* name;
        std::vector<uint8_t> down;
        bool expected;
    };
    const Row rows[] = {
        {"nothing", {}, false},
        {"Pause and left Ctrl", {9, 37}, true},
        {"Break and right Ctrl", {127, 105}, true},
        {"Pause alone", {9}, false},
        {"Ctrl alone", {37}, false},
        {"other keys", {8, 10, 36, 38}, false},
    };
    for (const Row& r : rows) {
        std::array<uint8_t, 32> map{};
        for (uint8_t k : r.down) map[k / 8] |= static_cast<uint8_t>(1u << (k % 8));
        EXPECT_EQ(gui::breakKeyDown(map, codes), r.expected) << r.name;
    }
}

}  // namespace
