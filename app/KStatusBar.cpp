// The main frame's status bar: item texts, the free-memory refresh and the kernel figures
// (layout and rules in KStatusBar.h).
#include "app/KStatusBar.h"

#include "options/KOptions.h"
#include "platform/gui/Application.h"
#include "platform/os/sysprobe.h"
#include "util/messages.h"

namespace {

constexpr const char* kTimeSample = "Time:888888s";
constexpr const char* kBytesSample = "Bytes:88888K";
constexpr const char* kAvailableSample = "Available: 8888M";
constexpr const char* kAvailablePercentSample = "Available: 8888M / 88%";
constexpr std::size_t kFigureWidth = 6;   // the figures are right-aligned in six places
constexpr uint16_t kItemStyle = 5;      // the GUI layer's item style of a sunken field

bool hasResourcePercentage() { return sys_is_win32s() || sys_is_windows95(); }

// The text right-aligned in `width` places (a longer text stays whole).
std::string padLeft(const char* text, std::size_t width) {
    std::string s = text ? text : "";
    if (s.size() < width) s.insert(0, width - s.size(), ' ');
    return s;
}

}  // namespace

KStatusBar::MemoryProbe KStatusBar::systemProbe() {
    MemoryProbe probe;
    probe.freeBytes = sys_free_memory_bytes;
    probe.freeResourcesPercent = [] { return hasResourcePercentage() ? sys_free_system_resources() : -1; };
    return probe;
}

const char* KStatusBar::availableSample() {
    return hasResourcePercentage() ? kAvailablePercentSample : kAvailableSample;
}

KStatusBar::KStatusBar(Window* frame, const MemoryProbe& probe) : StatusBar(frame, WB_POPUP_FRAME), probe_(probe) {
    const std::pair<uint16_t, const char*> items[] = {
        {kTimeItem, kTimeSample}, {kBytesItem, kBytesSample}, {kAvailableItem, availableSample()}};
    for (const auto& [id, sample] : items)
        insertItem(id, getTextWidth(String(sample)) + kItemPadding, SIB_CENTER, kItemStyle);
    idleHandle_ = Application::insertIdleHandler(Link([this](void*) {
        // An idle handler is a boundary: a failure here (no memory for the text) must not reach
        // the event loop, and the next idle moment simply tries again.
        try {
            refreshAvailable();
        } catch (...) {
        }
        return 0L;
    }), kIdlePriority);
    refreshAvailable();
    if (theOptions && theOptions->showStatusBar) show();
}

KStatusBar::~KStatusBar() { Application::removeIdleHandler(idleHandle_); }

std::string KStatusBar::timeItemText(const char* seconds) { return "Time:" + padLeft(seconds, kFigureWidth) + "s"; }

std::string KStatusBar::bytesItemText(const char* bytes) { return "Bytes:" + padLeft(bytes, kFigureWidth); }

std::string KStatusBar::availableItemText(long long freeBytes, int percent) {
    if (freeBytes < 0) return std::string();
    std::string text = std::string("Available: ") + formatByteCount(static_cast<double>(freeBytes));
    if (percent >= 0) {
        const std::string digits = std::to_string(percent);
        text += " / " + std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits + "%";
    }
    return text;
}

void KStatusBar::refreshAvailable() {
    const long long free = probe_.freeBytes ? probe_.freeBytes() : -1;
    const int percent = probe_.freeResourcesPercent ? probe_.freeResourcesPercent() : -1;
    setItemText(kAvailableItem, String(availableItemText(free, percent).c_str()));
    warnLowVirtualMemory();
}

void KStatusBar::setStatusMessage(const String& text) {
    if (!text.isEmpty()) {
        hideItems();
        setText(text);
    } else {
        setText(String());
        showItems();
    }
}

void show_kernel_status(StatusBar* bar, const char* bytesText, const char* timeText) {
    if (bar == nullptr) return;
    if (bytesText != nullptr && timeText != nullptr) {
        bar->setItemText(KStatusBar::kTimeItem, String(KStatusBar::timeItemText(timeText).c_str()));
        bar->setItemText(KStatusBar::kBytesItem, String(KStatusBar::bytesItemText(bytesText).c_str()));
    } else {
        bar->setItemText(KStatusBar::kBytesItem, String());
        bar->setItemText(KStatusBar::kTimeItem, String());
    }
}
