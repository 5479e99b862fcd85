// The options object's view of the program, over the GUI layer.
#include "app/KAppOptionsHost.h"

#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Printer.h"
#include "platform/gui/Window.h"

KAppOptionsHost::KAppOptionsHost() = default;
KAppOptionsHost::~KAppOptionsHost() = default;

void KAppOptionsHost::setPaletteWindow(int index, Window* window) {
    if (index >= 0 && index < PALETTE_COUNT) palettes_[index] = window;
}

Size KAppOptionsHost::screenSize() { return System::getScreenSize(); }

bool KAppOptionsHost::mainFrame(FrameState& out) {
    if (mainFrame_ == nullptr) return false;
    out.position = mainFrame_->getPosPixel();
    out.size = mainFrame_->getSizePixel();
    out.maximized = mainFrame_->isMaximized();
    out.minimized = mainFrame_->isMinimized();
    return true;
}

bool KAppOptionsHost::activeWorksheetFrame(bool& maximized) {
    WorkWindow* frame = activeFrame_ ? activeFrame_() : nullptr;
    if (frame == nullptr) return false;
    maximized = frame->isMaximized();
    return true;
}

bool KAppOptionsHost::paletteWindow(int index, bool& visible, Point& position) {
    if (index < 0 || index >= PALETTE_COUNT || palettes_[index] == nullptr) return false;
    visible = palettes_[index]->isVisible();
    position = palettes_[index]->getPosPixel();
    return true;
}

bool KAppOptionsHost::measurePalettes(Size sizes[PALETTE_COUNT]) {
    std::copy(std::begin(kPaletteSizes), std::end(kPaletteSizes), sizes);
    return true;
}

int KAppOptionsHost::printerCount() { return Printer::getPrinterCount(); }

String KAppOptionsHost::printerName(int index) { return Printer::getPrinterName(index); }

void KAppOptionsHost::makePrinter(const String& name) {
    printer_ = name.isEmpty() ? std::make_unique<Printer>() : std::make_unique<Printer>(name);
}

bool KAppOptionsHost::currentPrinter(String& name) {
    if (!printer_) return false;
    name = printer_->getName();
    return true;
}

void KAppOptionsHost::addRecentFile(const String& path) {
    std::erase(recent_, path);
    recent_.insert(recent_.begin(), path);
    if (recent_.size() > static_cast<std::size_t>(kMaxRecentFiles)) recent_.resize(kMaxRecentFiles);
}

String KAppOptionsHost::recentFile(int index) {
    return index >= 0 && index < recentFileCount() ? recent_[static_cast<std::size_t>(index)] : String();
}

FilePath& KAppOptionsHost::applicationPath(int kind) {
    if (kind >= 0 && kind < APP_PATH_COUNT) return paths_[kind];
    noPath_ = FilePath();
    return noPath_;
}

void KAppOptionsHost::releasePrinter() { printer_.reset(); }
