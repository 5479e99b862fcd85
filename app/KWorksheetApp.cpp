#include "app/KWorksheetApp.h"

#include "typeset/devices/gdi_device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/KDocFrame.h"
#include "app/KDocWindow.h"
#include "app/KHelpDocument.h"
#include "app/KMainFrame.h"
#include "app/KSplashWindow.h"
#include "app/KStatusBar.h"
#include "app/KWorksheetWindow.h"
#include "app/dialogs/KTextImportDialog.h"
#include "app/KTransferHooks.h"
#include "app/program_resources.h"
#include "document/elements/MathElement.h"
#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/elements/WorksheetFragment.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/CharStyle.h"
#include "document/tree/Element.h"
#include "document/views/FontCache.h"
#include "kernel_link/KKernelSession.h"
#include "options/KOptions.h"
#include "platform/dde/gui/dde_app.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/message_hooks.h"
#include "platform/os/sysprobe.h"
#include "plot/plot_device.h"
#include "tovu/storage.h"
#include "typeset/mathedit/MathEditSession.h"
#include "typeset/typeset.h"
#include "util/errjump.h"
#include "util/exitcb.h"
#include "util/mem.h"
#include "util/messages.h"

uint32_t worksheetClipboardFormat = 0;
std::string helpDirectory;

namespace {

KWorksheetApp* gWorksheetApp = nullptr;

// Frame commands start-up and the execution groups run.
constexpr int kNewWorksheetCommand = 1101;
constexpr int kInterruptCommand = 2504;

// SIGTERM and SIGINT end the event loop, so that the ordinary shut-down runs (options saved,
// kernels stopped).  The handler only sets the flag; a timer of the loop looks at it.
volatile std::sig_atomic_t gTerminateRequested = 0;
void requestTermination(int) { gTerminateRequested = 1; }
constexpr unsigned kTerminationPollMs = 100;

bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

KWorksheetApp* worksheetApp() { return gWorksheetApp; }

void (*oleVerbHook)(Element* element, int commandId) = nullptr;

long oleMenuMessageHook(unsigned message, uintptr_t wParam, intptr_t lParam) {
    constexpr unsigned kCommandMessage = 273;
    constexpr uintptr_t kFirstVerb = 1451, kLastVerb = 1549;
    constexpr int kOleElementKind = 11;
    if (message != kCommandMessage || lParam != 0 || wParam < kFirstVerb || wParam > kLastVerb) return 0;
    auto* window = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
    Element* current = window && window->document() ? window->document()->currentElement() : nullptr;
    if (!current || current->elementKind() != kOleElementKind) return 0;
    if (oleVerbHook) oleVerbHook(current, static_cast<int>(wParam));
    return 1;
}

// A one-shot or periodic timer that calls a function.
class KWorksheetApp::FunctionTimer : public Timer {
public:
    explicit FunctionTimer(std::function<void()> f) : f_(std::move(f)) {}
    void Timeout() override { f_(); }

private:
    std::function<void()> f_;
};

KWorksheetApp::KWorksheetApp() = default;
KWorksheetApp::~KWorksheetApp() = default;

std::string KWorksheetApp::programFile(const char* argv0) {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return std::string(buf, static_cast<std::size_t>(n));
    return argv0 ? std::string(argv0) : std::string();
}

std::string KWorksheetApp::dataFolderOf(const std::string& install, const char* name) {
    std::string shared = install + "/share/" + name;
    return isDirectory(shared) ? shared : install + "/" + name;
}

std::string KWorksheetApp::installDirectoryOf(const std::string& programFile) {
    FilePath path = FilePath::fromNative(programFile);
    path.makeAbsolute();
    path.cutName();   // the program file
    path.cutName();   // the folder that holds it
    return path.toNative();
}

// ---- start-up ------------------------------------------------------------------------------

void KWorksheetApp::wireHooks() {
    // The options reach the documents, the execution groups and the styles.
    WorksheetHost& host = worksheetHost();
    host = WorksheetHost();
    if (theOptions) {
        host.kernelMode = theOptions->kernelSharing == kKernelPerWorksheet ? kKernelPerWorksheet : kKernelShared;
        host.linkKind = theOptions->linkKind == kLinkInProcess ? kLinkInProcess : kLinkServer;
        host.kernelArgs.clear();
        for (int i = 0; i < theOptions->kernelArgs.count(); ++i)
            host.kernelArgs.emplace_back(theOptions->kernelArgs.word(i));
        if (host.kernelArgs.empty()) host.kernelArgs.emplace_back("wkelvo");
        // The descriptor's command; its bare default (no server beside the program) gives way
        // to the installation's server below.
        std::string command;
        if (theOptions->pipeServerInfo && theOptions->pipeServerInfo->serverCommand)
            command = *theOptions->pipeServerInfo->serverCommand;
        if (!command.empty() && command != "ruz" && command != "kernsrv") host.serverCommand = command;
        const FilePath& templ = optionsHost_.applicationPath(APP_PATH_TEMPLATE);
        if (!templ.isCurrentDir() && isRegularFile(templ.toNative())) host.templatePath = templ.toNative();
        executionGroupOptions.typesetInput = theOptions->typesetInput;
        documentOptions.undoBufferLength = theOptions->undoBufferLength;
        documentOptions.htmlFrames = theOptions->htmlFrames;
        translateTypefaces = theOptions->translateTypefaces;
    }
    host.reschedule = [](void*) { Application::reschedule(); };
    host.initExpressionPlaceholders = [] {
        if (gWorksheetApp) gWorksheetApp->initExpressionPlaceholders();
    };
    executionGroupHooks.interruptCommand = [] {
        if (gWorksheetApp && gWorksheetApp->frame) gWorksheetApp->frame->frame_command(kInterruptCommand, 0);
    };
    worksheetFileHooks().busy = [](bool on, const char* text) {
        if (gWorksheetApp) gWorksheetApp->showBusy(on, text);
    };
    worksheetFileHooks().chooseTextImport = KTextImportDialog::chooseTextImport;
    // The kernel's figures go to the status bar while their worksheet is the active one.
    host.isActiveWindow = [](WorksheetDocument* document) {
        auto* w = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
        return w != nullptr && w->document() == document;
    };
    // A TEXT reply's help worksheet opens in a top-level frame of its own.
    host.showHelpDocument = [](std::unique_ptr<WorksheetDocument> document, const std::vector<std::string>& paragraphs) {
        openHelpDocument(std::move(document), paragraphs, gWorksheetApp && gWorksheetApp->frame
                                                                ? gWorksheetApp->frame->windowRegistry()
                                                                : nullptr);
    };
    host.showKernelStatus = [](WorksheetDocument*, const char* memory, const char* time) {
        if (gWorksheetApp && gWorksheetApp->frame) show_kernel_status(gWorksheetApp->frame->statusBar(), memory, time);
    };
    kl_set_display_converter(denormalise_dag);
}

void KWorksheetApp::startUp(int argc, char** argv) {
    // 1
    splashTimer_ = std::make_unique<FunctionTimer>([this] { splashTimeout(); });
    // 2
    isWin32s = sys_is_win32s() ? 1 : 0;
    isJapanese = sys_is_japanese() ? 1 : 0;
    sys_init_hook();
    // 3
    mem_reserve_take();
    // 4: message boxes, device metrics, focus and the system message hook through the GUI layer.
    gui_install_message_hooks();
    SysDeviceHooks device;
    // Devices reach this layer as their native device contexts.
    device.resolution = [](void* nativeDc, void*) -> int {
        return nativeDc ? gui::nativeDcDpiY(nativeDc) : SYS_DEFAULT_RESOLUTION;
    };
    device.paletteSize = [](void*, void*) -> long {
        return gWorksheetApp && gWorksheetApp->displayPalette ? gWorksheetApp->displayPalette->colorCount
                                                              : SYS_DEFAULT_PALETTE_SIZE;
    };
    sys_set_device_hooks(device);
    sys_set_focus_hook([] {
        if (WorkWindow* w = Application::getAppWindow()) w->grabFocus();
    });
    sys_set_message_hook_installer([] { Application::setSystemMessageHook(oleMenuMessageHook); });
    sys_install_message_hook();
    // 5
    theOptions = new KOptions(argc, argv, optionsHost_);
    // Other programs' events (DDE pokes) reach app_event from now on, between other events.
    ddeService_ = dde::dde_listen_app();
    // 6, 7
    splashTimer_->setTimeout(splashTimeoutMs);
    splash = new KSplashWindow();
    splashCreated = true;
    if (theOptions && theOptions->showSplash && splash) {
        splash->show();
        splash->update();
        splashShown = true;
        // Start-up runs before the event loop: let the window reach the screen now.
        Application::reschedule();
    }
    splashTimer_->start();
    // 8
    if (isJapanese) {
        for (Font* f : {&japaneseFont1, &japaneseFont2}) {
            f->setCharSet(11);
            f->setSize(Size(0, 12));
            f->setTransparent(true);
        }
        japaneseFont1.setName(String("\x82\x6c\x82\x72 \x82\x6f\x96\xbe\x92\xa9"));
        japaneseFont2.setName(String("\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"));
    }
    // 9
    appFont_ = Font(String("MS Sans Serif"), Size(0, 12));
    appFont_.setTransparent(true);
    appFont_.setFamily(5);
    Application::setAppFont(appFont_);
    // 10, 11
    windowRegistry = new KWindowRegistry();
    fontCache = new FontCache();
    FontCache::setProgram(fontCache);
    findDialog = nullptr;
    dragScrollTimer = new FunctionTimer([this] { dragScrollTick(); });
    dragScrollTimer->setRepeat(true);
    dragScrollTimer->setTimeout(kDragScrollMs);
    dragWindow = nullptr;
    // 12-14: the installation's folders, from the program's real file.
    std::string install = installDirectoryOf(programFile(argc > 0 ? argv[0] : nullptr));
    installDirectory = KString(install.c_str());
    helpDirectory = install + "/kwshelp";
    set_afm_directory(dataFolderOf(install, "afm").c_str());
    plot_set_driver_folder(dataFolderOf(install, "drivers").c_str());
    // The kernel library beside the installation (the build tree keeps it in platform/kernel);
    // without one the link's own search applies.
    for (const char* rel : {"/platform/kernel/libkkernel.so", "/lib/kelvo/libkkernel.so"})
        if (isRegularFile(install + rel)) {
            kernelLibrary_ = install + rel;
            break;
        }
    for (const char* rel : {"/kernsrv/kernsrv", "/bin/kernsrv"})
        if (isRegularFile(install + rel)) {
            kernelServer_ = install + rel;
            break;
        }
    // 15
    worksheetClipboardFormat = Clipboard::registerFormat(String("WREZURU5"));
    installTransferHooks(worksheetClipboardFormat);
    // 16
    if (theOptions && theOptions->balloonHelp) Help::enableBalloons(true);
    // 17
    startDirectory = FilePath();
    startDirectory.makeAbsolute();
    // 18
    elementPointer = new Pointer(POINTER_TEXT);
    normalPointer = new Pointer(POINTER_ARROW);
    busyPointer = new Pointer(POINTER_WAIT);
    currentPointer = normalPointer;
    // 19
    loadProgramResources();
    charStyleImage = new Bitmap(gui::findImage(kCharStyleBitmapResource));
    paraStyleImage = new Bitmap(gui::findImage(kParaStyleBitmapResource));
    // 20, 21
    frame = new KMainFrame();
    optionsHost_.setMainFrame(frame);
    optionsHost_.setActiveWorksheetFrame([]() -> WorkWindow* {
        KDocWindow* window = KMainFrame::activeWorksheet();
        auto* adaptor = window ? dynamic_cast<KDocFrame*>(window->adaptor) : nullptr;
        return adaptor ? adaptor->frameWindow() : nullptr;
    });
    if (theOptions) theOptions->readRecentFiles();
    // 22
    if (theOptions) {
        Size size;
        Point position;
        if (theOptions->windowSize(size)) frame->setSizePixel(size);
        else frame->setSizePixel(Size(900, 650));
        if (theOptions->windowPosition(position)) frame->setPosPixel(position);
        if (theOptions->mainWinMaximized) frame->maximize();
    }
    // 23
    frame->show();
    if (splash && splashShown) {
        splash->toTop();
        splash->update();
    }
    frame->update();
    Application::reschedule();
    // 24
    if (theOptions) {
        symbolPalette = createPalette(frame, 1001, PALETTE_GREEK);
        expressionPalette = createPalette(frame, 1000, PALETTE_BASIC);
        matrixPalette = createPalette(frame, 1002, PALETTE_MATRIX);
    }
    // 25
    displayPalette = new LogicalPalette();
    directLink = nullptr;
    // 26: the expression library, the reply streams, the record readers and the kernel host.
    dag_init_constants();
    storage_init_default();
    dag_init_names();
    registerReplyStreams();
    registerExecutionGroupReaders();
    registerSectionReaders();
    registerTextReaders();
    registerMathReaders();
    registerParagraphReaders();
    registerFragmentReader();
    IdentifierStyleTable::loadBuiltin();
    statics_ = std::make_unique<StorageArea>();
    storage_init(statics_.get(), 0, "kwsstatics");
    noMemoryText = doubleQueryText = queryText = charText = emptySequence = nullptr;
    wireHooks();
    if (!kernelLibrary_.empty()) worksheetHost().kernelLibrary = kernelLibrary_;
    if (worksheetHost().serverCommand.empty() && !kernelServer_.empty()) worksheetHost().serverCommand = kernelServer_;
    // 27: the plot devices come with the plot elements' drivers.
    // 28, 29
    if (theOptions)
        for (const std::string& path : theOptions->commandLineWorksheets()) frame->load_worksheet(path.c_str(), false);
    if (Application::getMDIWindowCount() == 0) frame->frame_command(kNewWorksheetCommand, 0);
    // 30
    if (splash && !splashTimer_->isActive()) deleteSplash();
}

// ---- shut-down -----------------------------------------------------------------------------

void KWorksheetApp::shutDown() {
    // No more events from other programs; the service's socket file goes.
    ddeService_.reset();
    // The kernels end first: documents, sessions and links use the storage areas freed below.
    if (frame) frame->releaseKernels();
    worksheetHost().directLink = nullptr;
    directLink = nullptr;
    if (splash) deleteSplash();
    if (dragScrollTimer) dragScrollTimer->stop();
    // 1, 2
    exitcb_run_all();
    if (theOptions) {
        if (theOptions->saveOptions) theOptions->options_write();
        theOptions->writeRecentFiles();
    }
    // 3, 4: no palette windows yet; the OLE bridge is not loaded.
    for (Window* p : {symbolPalette, expressionPalette, matrixPalette})
        if (p) p->hide();
    // 5, 6
    IdentifierStyleTable::free();
    storage_free_default();
    storage_free_fallback();
    // The shared constants and the interned names stay (they live in areas of their own, never
    // freed): a later start-up in this process finds them valid.
    // 7
    for (Window** p : {&symbolPalette, &expressionPalette, &matrixPalette}) {
        delete *p;
        *p = nullptr;
    }
    for (int i = 0; i < PALETTE_COUNT; ++i) optionsHost_.setPaletteWindow(i, nullptr);
    // 8, 9
    Element::releaseElementKindObjects();
    delete findDialog;
    findDialog = nullptr;
    optionsHost_.releasePrinter();
    // 10
    delete windowRegistry;
    windowRegistry = nullptr;
    // The font cache goes after the frame (below): the views of its windows release their fonts
    // to it.
    // 11
    delete elementPointer;
    delete normalPointer;
    delete busyPointer;
    elementPointer = normalPointer = busyPointer = currentPointer = nullptr;
    // 12
    delete theOptions;
    theOptions = nullptr;
    // 13, 14
    delete displayPalette;
    displayPalette = nullptr;
    delete charStyleImage;
    delete paraStyleImage;
    charStyleImage = paraStyleImage = nullptr;
    // 15
    if (statics_) storage_free(statics_.get());
    statics_.reset();
    noMemoryText = doubleQueryText = queryText = charText = emptySequence = nullptr;
    // The keep table lives in one of the freed areas.
    dag_forget_keep();
    freeReplyStreams();
    // 16, 17
    mem_reserve_release();
    sys_exit_hook();
    // 18
    optionsHost_.setMainFrame(nullptr);
    optionsHost_.setActiveWorksheetFrame(nullptr);
    delete frame;
    frame = nullptr;
    FontCache::setProgram(nullptr);
    delete fontCache;
    fontCache = nullptr;
    // The metafile export's fonts, pens and laid-out levels.
    gdi_typeset_cleanup();
    delete dragScrollTimer;
    dragScrollTimer = nullptr;
    splashTimer_.reset();
    // The hooks into this object end with it.
    WorksheetHost& host = worksheetHost();
    host = WorksheetHost();
    executionGroupHooks.interruptCommand = nullptr;
    worksheetFileHooks().busy = nullptr;
    worksheetFileHooks().chooseTextImport = nullptr;
}

void KWorksheetApp::Main(int argc, char** argv) {
    gWorksheetApp = this;
    splashCreated = splashDeleted = splashShown = false;
    startUp(argc, argv);
    // 31: the event loop under the outermost guard.
    gTerminateRequested = 0;
    struct sigaction action {};
    action.sa_handler = requestTermination;
    sigemptyset(&action.sa_mask);
    struct sigaction oldTerm {}, oldInt {};
    ::sigaction(SIGTERM, &action, &oldTerm);
    ::sigaction(SIGINT, &action, &oldInt);
    FunctionTimer terminationWatch([] {
        if (gTerminateRequested) Application::quit();
    });
    terminationWatch.setRepeat(true);
    terminationWatch.setTimeout(kTerminationPollMs);
    terminationWatch.start();
    std::unique_ptr<FunctionTimer> loopProbe;
    if (onLoopRunning) {
        loopProbe = std::make_unique<FunctionTimer>([this] { onLoopRunning(*this); });
        loopProbe->setTimeout(0);
        loopProbe->start();
    }
    try {
        ErrorGuard guard;
        try {
            Application::execute();
        } catch (const ErrorJump&) {
            throw;
        } catch (...) {
            // Anything else that escaped the program's handlers ends the loop the same way.
            raiseRecord(nullptr);
        }
    } catch (const ErrorJump&) {
        // The loop has ended, but the frame is still up: the box shows over it.
        ErrorBox(frame, MESSAGE_ERROR_STYLE, String("Internal Kelvo Error.  Exiting.")).execute();
    }
    loopProbe.reset();
    terminationWatch.stop();
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGINT, &oldInt, nullptr);
    shutDown();
    gWorksheetApp = nullptr;
}

// ---- services ------------------------------------------------------------------------------

void KWorksheetApp::fatal_error(int16_t code) {
    char text[64];
    std::snprintf(text, sizeof text, "Fatal Application Error: code %d", static_cast<int>(code));
    debug_print(text);
    if (static_cast<uint16_t>(code) != kFatalNoBox) showMessage(text);
    Application::abort(String());
}

void KWorksheetApp::initExpressionPlaceholders() {
    if (!statics_) return;
    StoragePush push(statics_.get());
    auto make = [](Dag& slot, Dag value) {
        if (slot) return;
        slot = value;
        dag_keep(slot);
    };
    make(noMemoryText, dag_name("[ Insufficient memory to display expression ]"));
    make(queryText, dag_name("%?"));
    make(doubleQueryText, dag_name("%??"));
    make(charText, dag_name("%c"));
    make(emptySequence, dag_new0(DAG_EXPSEQ));
    // The math-input editor compares with and inserts these very NAMEs.
    mathedit_set_placeholders(queryText, doubleQueryText, charText);
}

void KWorksheetApp::showBusy(bool busy, const char* text) {
    if (busy) {
        Application::setBusy(true);
        if (frame) frame->setStatusMessage(String((std::string(text ? text : "") + "...").c_str()));
    } else {
        if (frame) frame->setStatusMessage(String());
        if (Application::isWaitMode()) Application::setBusy(false);
    }
}

void KWorksheetApp::updateCommandState(int commandId) {
    if (frame) frame->updateCommandState(commandId);
}

bool KWorksheetApp::isMonochrome() const { return displayPalette && displayPalette->colorCount <= 2; }

bool KWorksheetApp::ensurePrinter() {
    if (!printer() && theOptions) theOptions->readPrinter();
    return printer() != nullptr;
}

void KWorksheetApp::enterLastDirectory(int kind) {
    switch (kind) {
    case 0: optionsHost_.applicationPath(APP_PATH_OPEN).setCwd(); break;
    case 1: optionsHost_.applicationPath(APP_PATH_SAVEAS).setCwd(); break;
    case 2: optionsHost_.applicationPath(APP_PATH_HYPERLINK).setCwd(); break;
    case 3: startDirectory.setCwd(); break;
    default: break;
    }
}

void KWorksheetApp::deleteSplash() {
    delete splash;
    splash = nullptr;
    splashDeleted = true;
}

void KWorksheetApp::splashTimeout() {
    if (Application::isRunning() && splash) deleteSplash();
}

// The worksheet window's drag scrolling comes with that window.
void KWorksheetApp::dragScrollTick() {}

// No palette window class exists yet: a palette cannot be built.
Window* KWorksheetApp::createPalette(Window*, int, int) { return nullptr; }
