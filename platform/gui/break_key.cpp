// The break key: event-filter flag plus, on X11, the keyboard state (break_key.h).
#include "platform/gui/break_key.h"

#include <xcb/xcb.h>

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

#include "platform/gui/Application.h"

#ifdef KELVO_GUI_WITH_OS
#include "platform/os/sysprobe.h"
#endif

namespace gui {

namespace {

// Keysyms of the keys that make up the break key.
constexpr uint32_t kXkPause = 0xff13, kXkCancel = 0xff69, kXkBreak = 0xff6b;
constexpr uint32_t kXkControlL = 0xffe3, kXkControlR = 0xffe4;

bool isSet(const std::array<uint8_t, 32>& keymap, uint8_t code) { return keymap[code / 8] & (1u << (code % 8)); }

// The X11 connection and the key codes, looked up once; null when the platform is not xcb.
struct X11Keys {
    xcb_connection_t* conn = nullptr;
    BreakKeyCodes codes;
};

const X11Keys& x11Keys() {
    static const X11Keys keys = [] {
        X11Keys k;
        if (QGuiApplication::platformName() != QLatin1String("xcb")) return k;
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection()) return k;
        xcb_connection_t* c = x11->connection();
        const xcb_setup_t* setup = xcb_get_setup(c);
        uint8_t first = setup->min_keycode;
        uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        xcb_get_keyboard_mapping_reply_t* reply =
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr);
        if (!reply) return k;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        int n = xcb_get_keyboard_mapping_keysyms_length(reply);
        k.codes = breakKeyCodesFromMapping(first, reply->keysyms_per_keycode, std::vector<uint32_t>(syms, syms + n));
        std::free(reply);
        k.conn = c;
        return k;
    }();
    return keys;
}

bool x11BreakKeyDown() {
    const X11Keys& k = x11Keys();
    if (!k.conn || k.codes.breakKeys.empty()) return false;
    xcb_query_keymap_reply_t* reply = xcb_query_keymap_reply(k.conn, xcb_query_keymap(k.conn), nullptr);
    if (!reply) return false;
    std::array<uint8_t, 32> keymap{};
    for (int i = 0; i < 32; ++i) keymap[static_cast<std::size_t>(i)] = reply->keys[i];
    std::free(reply);
    return breakKeyDown(keymap, k.codes);
}

}  // namespace

BreakKeyCodes breakKeyCodesFromMapping(uint8_t firstCode, int perCode, const std::vector<uint32_t>& keysyms) {
    BreakKeyCodes out;
    if (perCode <= 0) return out;
    const std::size_t per = static_cast<std::size_t>(perCode);
    for (std::size_t i = 0; i + per <= keysyms.size(); i += per) {
        std::size_t code = firstCode + i / per;
        if (code > 255) break;
        for (std::size_t j = 0; j < per; ++j) {
            uint32_t s = keysyms[i + j];
            if (s == kXkPause || s == kXkBreak || s == kXkCancel) {
                out.breakKeys.push_back(static_cast<uint8_t>(code));
                break;
            }
            if (s == kXkControlL || s == kXkControlR) {
                out.controlKeys.push_back(static_cast<uint8_t>(code));
                break;
            }
        }
    }
    return out;
}

bool breakKeyDown(const std::array<uint8_t, 32>& keymap, const BreakKeyCodes& codes) {
    bool brk = false, ctrl = false;
    for (uint8_t c : codes.breakKeys) brk = brk || isSet(keymap, c);
    for (uint8_t c : codes.controlKeys) ctrl = ctrl || isSet(keymap, c);
    return brk && ctrl;
}

int breakKeyHookState() {
    bool pressed = breakKeyPressed();  // clears the flag
    if (!QGuiApplication::instance()) return pressed ? 1 : 0;
    return pressed || x11BreakKeyDown() ? 1 : 0;
}

void installBreakKeyHook() {
#ifdef KELVO_GUI_WITH_OS
    sys_set_break_key_hook(&breakKeyHookState);
#endif
}

}  // namespace gui
