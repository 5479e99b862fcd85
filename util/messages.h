#pragma once
// The one road by which messages reach the user, the out-of-memory report, the low-resources and
// low-virtual-memory warnings, byte-count formatting and two small C-string helpers.
//
// Until the GUI layer is up (its is-running hook answers false, or no hooks are set) every text
// goes to the standard error stream unchanged, questions answer 0 and the beep does nothing.  The
// GUI layer calls messages_set_gui_hooks once at start-up to route texts to its message boxes.
//
// Warning flags (low resources, low virtual memory) are one per run: each warning is shown at most
// once; messages_reset_warnings clears them (for tests).

#include <cstddef>

// Callbacks the GUI layer provides.  A null member keeps the stderr default for that service.
struct MessageGuiHooks {
    // Modal error box (style 528) on the parent window, or the main window when parent is null.
    void (*errorBox)(void* parent, int style, const char* text) = nullptr;
    // Modal question box on the main window with the caller's button style; the pressed button.
    int (*questionBox)(int style, const char* text) = nullptr;
    // Modal information box on the main window.
    void (*infoBox)(const char* text) = nullptr;
    // The default audible warning.
    void (*beep)() = nullptr;
    // Whether the application's event loop runs (Application::isRunning).
    bool (*isRunning)() = nullptr;
};

constexpr int MESSAGE_ERROR_STYLE = 528;

void messages_set_gui_hooks(const MessageGuiHooks& hooks);
// Back to the stderr defaults.
void messages_clear_gui_hooks();
// Clears the once-per-run warning flags.
void messages_reset_warnings();

// parent is the parent window (a GUI Window*), null for the main window.  Without the GUI the
// text is written to stderr as it is (no line end added).
void showMessage(const char* text, void* parent = nullptr);
void showError(const char* text);
int askQuestion(const char* text, int style);
void showInfo(const char* text);

// word names the operation that failed ("calculation", "load", ...).  Clears errorRaised, beeps,
// shows the text and clears the out-of-memory flag.
void reportOutOfMemory(const char* word);
// The text reportOutOfMemory shows for word under the current out-of-memory flag.
// Kept separate so that the status bar and tests can build it without showing it.
void formatOutOfMemoryText(char* out, std::size_t outSize, const char* word);

void warnLowResources();
// Whether size bytes are unlikely to be had: free memory (available physical memory plus free
// swap) below size and a trial allocation of size bytes failing.
bool memoryIsLow(std::size_t size);
// Once per run, when memoryIsLow(2 MB): shows the low-virtual-memory text and returns true.
bool warnLowVirtualMemory();

constexpr std::size_t LOW_VIRTUAL_MEMORY_BYTES = 0x200000;

// "512 ", "2.00K", "1.46M", "1024G": a static buffer, overwritten by the next call.
const char* formatByteCount(double bytes);

// A new heap copy (operator new[]) of a C string; null for null.  Free with delete[].
char* duplicateString(const char* text);
// 0 when both are null, 1 when exactly one is null, else strcmp.
int compareStrings(const char* a, const char* b);
