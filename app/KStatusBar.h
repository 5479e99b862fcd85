#pragma once
// KStatusBar: the main frame's status bar.  A message field on the left and three fixed items
// on the right, in this order:
//
// | item | width (sample text + 2 px)      | text                                         |
// |------|---------------------------------|----------------------------------------------|
// | 1    | "Time:888888s"                  | "Time:" + time figure right-aligned in 6 + "s" |
// | 2    | "Bytes:88888K"                  | "Bytes:" + memory figure right-aligned in 6  |
// | 3    | "Available: 8888M" (+ " / 88%") | "Available: " + free memory [+ " / NN%"]     |
//
// Items 1 and 2 show the kernel's figures of the active worksheet (show_kernel_status); item 3
// the free memory of the machine (available memory plus free swap), refreshed by an idle
// handler of priority 2, followed by the percentage of free system resources only on a
// platform that has such a figure (none here: the probe answers -1).  The wider sample of item 3
// is used only on such a platform.
//
// Texts are built without fixed buffers: the time figure comes from the kernel and may be of
// any length (the item then shows what fits).
//
// The bar is a member of the main frame; it registers its idle handler in the constructor and
// removes it in the destructor.  setStatusMessage hides the items while a message shows.

#include <cstdint>
#include <string>

#include "platform/gui/StatusBar.h"

class KStatusBar : public StatusBar {
public:
    enum : uint16_t { kTimeItem = 1, kBytesItem = 2, kAvailableItem = 3 };
    static constexpr int kIdlePriority = 2;
    static constexpr long kItemPadding = 2;   // pixels beyond the sample text's width

    // What refreshAvailable reads.  freeBytes: available memory plus free swap, -1 when unknown;
    // freeResourcesPercent: free system resources in percent, -1 when the platform has none.
    struct MemoryProbe {
        long long (*freeBytes)() = nullptr;
        int (*freeResourcesPercent)() = nullptr;
    };
    // sys_free_memory_bytes, and a percentage only on Win32s and Windows 95 (never here).
    static MemoryProbe systemProbe();

    // Builds the bar (style 5) over the frame with its three items, registers refreshAvailable
    // as an idle handler, runs it once and shows the bar when the "StatusBar" option is on.
    explicit KStatusBar(Window* frame, const MemoryProbe& probe = systemProbe());
    ~KStatusBar() override;

    // Item 3 from the probe, then the once-per-run low virtual memory warning.
    void refreshAvailable();
    // With a text: the items hide and the text runs across the bar.  With an empty text: the
    // message clears and the items show again.
    void setStatusMessage(const String& text);

    // The item texts (cp1252 bytes).
    static std::string timeItemText(const char* seconds);
    static std::string bytesItemText(const char* bytes);
    // freeBytes < 0: the empty text (no figure to show); percent < 0: no percentage.
    static std::string availableItemText(long long freeBytes, int percent);
    // The sample text whose width item 3 gets.
    static const char* availableSample();

private:
    MemoryProbe probe_;
    uint64_t idleHandle_ = 0;
};

// The kernel's figures on the bar: with both texts, item 1 reads the time text and item 2 the
// bytes text; when either is missing, item 2 and then item 1 are emptied.  A null bar does
// nothing.
void show_kernel_status(StatusBar* bar, const char* bytesText, const char* timeText);
