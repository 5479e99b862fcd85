#pragma once
// Operating-system probes of the worksheet program over POSIX: which system variant runs, whether
// the user's language is Japanese, device resolution and palette size, a temporary file name,
// the break key, free system resources and free memory, the debug output and the start-up and
// shut-down hooks of this layer.
//
// Pieces that belong to the GUI layer (the break key, the main window's focus, the system message
// hook, device metrics) are function pointers that the GUI layer sets at start-up; until then the
// probes answer fixed stand-in values (no key pressed, 96 dpi, 2^24 colours).
//
// Single-threaded: called from the GUI thread; the state here is process-wide.

// Never true on this platform.
bool sys_is_win32s();
bool sys_is_windows95();

// Japanese mode: Shift-JIS text with double-byte characters.  By default read once from the
// locale (LANG, then LC_ALL and LC_CTYPE when LANG is unset, starting with "ja");
// sys_set_japanese overrides it (tests, and a command-line choice).
bool sys_is_japanese();
void sys_set_japanese(bool on);
// Drops an override so that the locale is read again.
void sys_reset_japanese();

// Creates a new empty file named "kvl" + 6 random characters in $TMPDIR (or /tmp) with mkstemp
// and returns its name in a static buffer overwritten by the next call; the caller removes the
// file.  Returns an empty string when no file could be made.
const char* sys_temp_file_name();

// The break key: raw state from the GUI's hook (0 without a hook); pressed when non-zero.
void sys_set_break_key_hook(int (*hook)());
int sys_break_key_state();
int sys_break_pressed();

// Free system resources in percent: this platform has no such limited pool, so 100.
int sys_free_system_resources();
bool sys_resources_low();

// Available physical memory plus free swap in bytes (/proc/meminfo MemAvailable + SwapFree);
// -1 when it cannot be read.
long long sys_free_memory_bytes();
// The same from a /proc/meminfo text; -1 when either field is missing or malformed.
long long sys_parse_meminfo(const char* text);
// Room left under the process's address-space limit (ulimit -v) in bytes; -1 without a limit.
long long sys_address_space_left_bytes();

// Debug output: when the flag is set, the text and a line end go to stderr.
extern bool sys_debug_flag;
void debug_print(const char* text);

// Device metrics.  device and window are the GUI's OutputDevice and Window, opaque here.
struct SysDeviceHooks {
    int (*resolution)(void* device, void* window) = nullptr;    // vertical pixels per inch
    long (*paletteSize)(void* device, void* window) = nullptr;  // usable colours
};
void sys_set_device_hooks(const SysDeviceHooks& hooks);
void sys_device_resolution(void* device, void* window, int* resolution, int* points);
long sys_palette_size(void* device, void* window);
constexpr int SYS_DEFAULT_RESOLUTION = 96;
constexpr long SYS_DEFAULT_PALETTE_SIZE = 1L << 24;

// Per-device extra objects: none is ever made.
void* sys_device_object_new(void* device);
void sys_device_object_delete(void* object);

// Hooks the GUI layer sets: give the main window the keyboard focus; install the system message
// hook (the OLE element's menu commands).  Both do nothing without a hook.
void sys_set_focus_hook(void (*hook)());
void sys_focus_app_window();
void sys_set_message_hook_installer(void (*installer)());
void sys_install_message_hook();

// Called by the application at its start and end; nothing to do on this platform.
void sys_init_hook();
void sys_exit_hook();
