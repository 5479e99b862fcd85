#pragma once
// Key and mouse event records as the program receives them.
//
// Key code word (16 bits): the key in bits 0-11, Shift 0x1000, Ctrl 0x2000, Alt 0x4000.
// Fixed key codes: cursor keys 1024-1031, Return 1280, Escape 1281, Tab 1282, Backspace 1283,
// Delete 1286.  The others (letters, digits, function keys, Insert, Space) are this layer's own,
// listed below.  The character is the typed byte in cp1252 (0 when the key types nothing); the
// repeat bit tells an auto-repeated key.  getFunction gives 1..12 for the standard-function keys
// (Cut, Copy, Paste, Undo, Redo, New, Open, Save, Print, Close, Quit, Find), 0 otherwise; the
// GUI layer works it out when it builds the event.
//
// Mouse: position in window pixels (16-bit), click count (1 single, 2 double, 3 triple; counted
// by the layer), buttons 1 left, 2 middle, 4 right, modifiers as for keys (mask 0x7000).
//
// Qt-free.

#include <cstdint>

#include "platform/gui/base/geometry.h"

enum : uint16_t {
    KEY_CODE_MASK = 0x0FFF,
    KEY_SHIFT = 0x1000, KEY_MOD1 = 0x2000 /* Ctrl */, KEY_MOD2 = 0x4000 /* Alt */,
    KEY_MODIFIERS_MASK = 0x7000,

    KEY_0 = 256,   // KEY_0 + n for the digits
    KEY_A = 512,   // KEY_A + n for the letters A..Z
    KEY_F1 = 768,  // KEY_F1 + n - 1 for F1..F24

    KEY_DOWN = 1024, KEY_UP = 1025, KEY_LEFT = 1026, KEY_RIGHT = 1027,
    KEY_HOME = 1028, KEY_END = 1029, KEY_PAGEUP = 1030, KEY_PAGEDOWN = 1031,
    KEY_RETURN = 1280, KEY_ESCAPE = 1281, KEY_TAB = 1282, KEY_BACKSPACE = 1283,
    KEY_SPACE = 1284, KEY_INSERT = 1285, KEY_DELETE = 1286,
    KEY_BREAK = 1287,
    KEY_OTHER = 1536,  // a key with no code of its own; see the character
};

enum : int {
    KEYFUNC_DONTKNOW = 0, KEYFUNC_CUT = 1, KEYFUNC_COPY = 2, KEYFUNC_PASTE = 3, KEYFUNC_UNDO = 4,
    KEYFUNC_REDO = 5, KEYFUNC_NEW = 6, KEYFUNC_OPEN = 7, KEYFUNC_SAVE = 8, KEYFUNC_PRINT = 9,
    KEYFUNC_CLOSE = 10, KEYFUNC_QUIT = 11, KEYFUNC_FIND = 12,
};

class KeyEvent {
public:
    KeyEvent() = default;
    KeyEvent(uint8_t character, uint16_t code, bool repeat = false, int function = KEYFUNC_DONTKNOW)
        : character_(character), code_(code), repeat_(repeat), function_(function) {}

    uint8_t getCharCode() const { return character_; }
    uint16_t getKeyCode() const { return code_; }             // key with modifiers
    uint16_t getCode() const { return code_ & KEY_CODE_MASK; }  // key alone
    uint16_t getModifier() const { return code_ & KEY_MODIFIERS_MASK; }
    bool isShift() const { return code_ & KEY_SHIFT; }
    bool isMod1() const { return code_ & KEY_MOD1; }
    bool isMod2() const { return code_ & KEY_MOD2; }
    bool isRepeat() const { return repeat_; }
    int getFunction() const { return function_; }

private:
    uint8_t character_ = 0;
    uint16_t code_ = 0;
    bool repeat_ = false;
    int function_ = KEYFUNC_DONTKNOW;
};

enum : uint16_t { MOUSE_LEFT = 1, MOUSE_MIDDLE = 2, MOUSE_RIGHT = 4 };

class MouseEvent {
public:
    MouseEvent() = default;
    MouseEvent(const Point& pos, uint16_t clicks, uint16_t buttons, uint16_t modifiers)
        : pos_(pos), clicks_(clicks), buttons_(buttons), modifiers_(modifiers & KEY_MODIFIERS_MASK) {}

    const Point& getPosPixel() const { return pos_; }
    uint16_t getClicks() const { return clicks_; }
    uint16_t getButtons() const { return buttons_; }
    uint16_t getModifier() const { return modifiers_; }
    bool isLeft() const { return buttons_ & MOUSE_LEFT; }
    bool isMiddle() const { return buttons_ & MOUSE_MIDDLE; }
    bool isRight() const { return buttons_ & MOUSE_RIGHT; }
    bool isShift() const { return modifiers_ & KEY_SHIFT; }
    bool isMod1() const { return modifiers_ & KEY_MOD1; }
    bool isMod2() const { return modifiers_ & KEY_MOD2; }

private:
    Point pos_;
    uint16_t clicks_ = 0, buttons_ = 0, modifiers_ = 0;
};
