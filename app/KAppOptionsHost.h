#pragma once
// KAppOptionsHost: the program's answers to the options object (KOptionsHost) over the GUI
// layer: the screen, the main frame, the palettes, the application's printer, the recent-file
// list and the application's four paths.
//
// Until the main frame, worksheet window and palettes exist, the host has no frame and no
// palette windows (the options then write back what they read), measures the palettes at fixed
// sizes, and keeps its own recent-file list and paths.  The program hands it its windows as
// they come: setMainFrame, setActiveWorksheetFrame, setPaletteWindow.  Windows are borrowed;
// whoever deletes one sets it back to null first.
//
// Owns the application's printer.

#include <functional>
#include <memory>
#include <vector>

#include "options/KOptionsHost.h"

class Printer;
class Window;
class WorkWindow;

class KAppOptionsHost : public KOptionsHost {
public:
    // Palette sizes used until palette windows can be built: a tool box of 24-pixel buttons in
    // the palette's rows and columns.
    static constexpr Size kPaletteSizes[PALETTE_COUNT] = {
        Size(12 * 24, 5 * 24),   // Greek: four rows of 12 letters, a row of constants
        Size(6 * 24, 4 * 24),    // Basic: four rows of 6 templates
        Size(4 * 24, 4 * 24),    // Matrix: four rows of 4 templates
    };
    static constexpr int kMaxRecentFiles = 4;

    KAppOptionsHost();
    ~KAppOptionsHost() override;

    void setMainFrame(WorkWindow* frame) { mainFrame_ = frame; }
    // Answers the active worksheet window's frame, or null when none is active.
    void setActiveWorksheetFrame(std::function<WorkWindow*()> lookup) { activeFrame_ = std::move(lookup); }
    void setPaletteWindow(int index, Window* window);

    Printer* printer() const { return printer_.get(); }
    // Deletes the application's printer (shut-down).
    void releasePrinter();

    // ---- KOptionsHost ----
    Size screenSize() override;
    bool mainFrame(FrameState& out) override;
    bool activeWorksheetFrame(bool& maximized) override;
    bool paletteWindow(int index, bool& visible, Point& position) override;
    bool measurePalettes(Size sizes[PALETTE_COUNT]) override;
    int printerCount() override;
    String printerName(int index) override;
    void makePrinter(const String& name) override;
    bool currentPrinter(String& name) override;
    void addRecentFile(const String& path) override;
    int recentFileCount() override { return static_cast<int>(recent_.size()); }
    String recentFile(int index) override;
    FilePath& applicationPath(int kind) override;

private:
    WorkWindow* mainFrame_ = nullptr;
    std::function<WorkWindow*()> activeFrame_;
    Window* palettes_[PALETTE_COUNT] = {};
    std::unique_ptr<Printer> printer_;
    std::vector<String> recent_;          // most recent first
    FilePath paths_[APP_PATH_COUNT];
    FilePath noPath_;                     // answered for an unknown kind
};
