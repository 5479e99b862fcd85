#pragma once
// KWorksheetApp: the worksheet program's one application object.  Main brings every part of
// the program up in a fixed order, runs the event loop under the outermost guard of the
// error-jump stack and takes everything down again in a fixed order.  The object also holds
// what the whole program shares (main frame, display palette, printer, pointers, last-used
// directories, window registry, font cache, palettes, splash) and small services: the busy
// indicator, command-state refresh, the monochrome test, the placeholder expressions.
//
// Parts that are not built yet are small stand-ins here: the worksheet window
// (KWorksheetWindow.h), the display palette (true colour) and the palettes (none can be
// built yet, so each is null).
//
// Shut-down releases the kernels first: the worksheet windows and their documents go, then the
// shared kernel's evaluators, so that every session and link has ended (an in-process kernel
// stopped, every kernel server told to stop and waited for) before the storage areas they
// share are freed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/KAppOptionsHost.h"
#include "app/KWindowRegistry.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/FilePath.h"
#include "platform/gui/base/Font.h"
#include "tovu/dag.h"
#include "util/KString.h"

class Dialog;
class Element;
class KMainFrame;
class KL_Direct;
class FontCache;
class KOptions;
class KSplashWindow;
class Window;
struct StorageArea;
namespace dde {
class DdeAppService;
}

// The display palette: its colour count first (stand-in: a true-colour display).
struct LogicalPalette {
    long colorCount = 1L << 24;
};

// Process-wide values Main sets.
extern uint32_t worksheetClipboardFormat;   // "WREZURU5"
extern std::string helpDirectory;           // <installation>/kwshelp

class KWorksheetApp : public Application {
public:
    static constexpr unsigned kSplashTimeoutMs = 3000;
    static constexpr unsigned kDragScrollMs = 100;
    static constexpr std::size_t kMemoryReserveBytes = 0x20000;
    static constexpr uint16_t kFatalNoBox = 768;

    KWorksheetApp();
    ~KWorksheetApp() override;

    // ---- fields, in their order ------------------------------------------------------------
    KMainFrame* frame = nullptr;
    LogicalPalette* displayPalette = nullptr;
    Pointer* elementPointer = nullptr;
    Pointer* normalPointer = nullptr;
    Pointer* busyPointer = nullptr;
    Pointer* currentPointer = nullptr;
    KL_Direct* directLink = nullptr;
    Window* activeWindow = nullptr;
    FilePath startDirectory;     // the other four directories are the options host's paths
    Element* lastPlot = nullptr;
    KWindowRegistry* windowRegistry = nullptr;
    // The program's font cache (FontCache::program): from start-up, before the first window,
    // until every window with a view is gone at shut-down.
    FontCache* fontCache = nullptr;
    Bitmap* charStyleImage = nullptr;
    Bitmap* paraStyleImage = nullptr;
    Font japaneseFont1;
    Font japaneseFont2;
    Window* symbolPalette = nullptr;
    Window* expressionPalette = nullptr;
    Window* matrixPalette = nullptr;
    KSplashWindow* splash = nullptr;
    KString installDirectory;
    Timer* dragScrollTimer = nullptr;
    Window* dragWindow = nullptr;
    uint8_t isWin32s = 0;
    uint8_t isJapanese = 0;
    Dialog* findDialog = nullptr;   // the Find dialog (KFindDialog), from its first use on
    Dag noMemoryText = nullptr;
    Dag doubleQueryText = nullptr;
    Dag queryText = nullptr;
    Dag charText = nullptr;
    Dag emptySequence = nullptr;

    // ---- operations --------------------------------------------------------------------------
    void Main(int argc, char** argv) override;
    void exception(uint16_t code) override { fatal_error(static_cast<int16_t>(code)); }
    [[noreturn]] void fatal_error(int16_t code);

    void initExpressionPlaceholders();
    void showBusy(bool busy, const char* text);
    void updateCommandState(int commandId);
    bool isMonochrome() const;
    bool ensurePrinter();
    void enterLastDirectory(int kind);
    void splashTimeout();
    void dragScrollTick();
    Window* createPalette(Window* frame, int resourceId, int paletteIndex);

    // The options' view of the program (owns the printer and the four last-used paths).
    KAppOptionsHost& optionsHost() { return optionsHost_; }
    Printer* printer() const { return optionsHost_.printer(); }

    // The installation directory for a program file: two components removed.
    static std::string installDirectoryOf(const std::string& programFile);
    // A data folder of the installation: <install>/share/<name> when it is a folder (the build
    // tree and installs keep data there), else <install>/<name>.
    static std::string dataFolderOf(const std::string& install, const char* name);
    // The program's own file, /proc/self/exe resolved (argv[0] when that cannot be read).
    static std::string programFile(const char* argv0);

    // ---- observation for tests and the benchmark ------------------------------------------
    // Called once from inside the running event loop (before any other event), e.g. to look at
    // the windows and quit.
    std::function<void(KWorksheetApp&)> onLoopRunning;
    // The splash timer's time (tests choose one that cannot run out during start-up, or 0).
    unsigned splashTimeoutMs = kSplashTimeoutMs;
    // Whether a splash window was created and deleted during the last Main.
    bool splashCreated = false;
    bool splashDeleted = false;
    bool splashShown = false;
    // The storage area "kwsstatics" (the placeholders' area); null outside Main.
    StorageArea* staticsArea() const { return statics_.get(); }
    // The DDE service while Main runs (null otherwise, or when it could not start).
    dde::DdeAppService* ddeService() const { return ddeService_.get(); }

private:
    class FunctionTimer;
    void startUp(int argc, char** argv);
    void shutDown();
    void deleteSplash();
    void wireHooks();

    KAppOptionsHost optionsHost_;
    std::unique_ptr<FunctionTimer> splashTimer_;
    std::unique_ptr<StorageArea> statics_;
    // The DDE service other programs reach the running program through; null when the program
    // runs without it (another program holds the name, or the socket folder was refused).
    std::unique_ptr<dde::DdeAppService> ddeService_;
    Font appFont_;
    std::string kernelLibrary_;   // the installation's kernel library, when it has one
    std::string kernelServer_;    // the installation's kernel server, when it has one
};

// The application object while Main runs (null otherwise).
KWorksheetApp* worksheetApp();

// The system message hook start-up installs: a menu command (message 273, no control) with an
// id from 1451 to 1549 runs that verb of the active worksheet's current OLE element (kind 11)
// and is consumed; anything else passes (0).
long oleMenuMessageHook(unsigned message, uintptr_t wParam, intptr_t lParam);
// Runs an OLE verb on the element; null until the OLE element comes (the command is still
// consumed, as the element takes it).
extern void (*oleVerbHook)(Element* element, int commandId);
