#pragma once
// The break key (Ctrl+Break, Ctrl+Pause) as platform/os asks for it through its hook
// (sys_set_break_key_hook): pressed since the last query, as the application's event filter saw
// it, or held down now.  "Held down now" needs the display connection: on X11 (platform "xcb")
// the keyboard state is read with xcb_query_keymap, so a key held during a long drawing that
// pumps no events is still seen; other platforms (offscreen) have the event filter alone.

#include <array>
#include <cstdint>
#include <vector>

namespace gui {

// Non-zero when the break key was pressed since the last call or is held now; clears the
// pressed flag.  This is the function installed as platform/os's hook.
int breakKeyHookState();

// Installs breakKeyHookState as platform/os's hook (when the layer is built with platform/os);
// done by the application set-up.
void installBreakKeyHook();

// The X11 key codes that make up the break key.
struct BreakKeyCodes {
    std::vector<uint8_t> breakKeys;    // Pause, Break, Cancel
    std::vector<uint8_t> controlKeys;  // Control_L, Control_R
};
// Whether a keymap (32 bytes, bit k set = key code k down) holds a break key and a control key.
bool breakKeyDown(const std::array<uint8_t, 32>& keymap, const BreakKeyCodes& codes);
// The key codes whose keysyms (a row of `perCode` keysyms for each code from `firstCode` on)
// name the break or control keys.
BreakKeyCodes breakKeyCodesFromMapping(uint8_t firstCode, int perCode, const std::vector<uint32_t>& keysyms);

}  // namespace gui
