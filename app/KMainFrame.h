#pragma once
// KMainFrame: the program's top-level window, the application frame with its MDI area that
// holds every worksheet window, with the menu bars, the tool boxes, the context bars and the
// status bar.  It also owns the two pieces of machinery the whole program depends on:
//
//   the kernel poll   every 18 ms (pollKernels) it drives each quiet evaluator of the one
//                     evaluator list (WorksheetHost::evaluators): sends the kernel options and
//                     runs the start-up statement of a new session once its document is shown,
//                     runs a document's execution queue while its session is idle, reads and
//                     dispatches the replies of a kernel server, and reports a dead kernel;
//   frame commands    frame_command dispatches new, open, recent files, settings, bars,
//                     palettes, the window menu and help; any other command goes to the active
//                     worksheet window.
//
// Invariants of the poll:
//   1. No evaluator is deleted, and no window closed, while the pass walks the list: closes
//      (the kernel's STOP, a dead kernel) are collected during the pass and done after it, on
//      a copy of the list, each checked against the list again.
//   2. A reply is dispatched through the document's kernelReplyCallback, whose guard reports
//      an error in a handler and interrupts the statement: nothing escapes to the event loop.
//   3. A dead kernel is reported once ("Kernel %sfailure:\n%s", its texts taken before anything
//      is closed); its document is drained (drainAfterDeadLink); its window is offered the
//      ordinary close question, and the evaluator leaves the list once.  A window the user
//      keeps stays open without a kernel.
//   4. After the kernel's STOP, the window is closed once through the ordinary close question
//      (a modified worksheet is offered for saving); a window the user keeps is not asked again.
//   5. A kernel server's reply does not wait for the next tick: the read end of each server
//      link is watched, and a readable link runs the poll at once.  A watch whose poll read
//      nothing while its pipe stays readable rests until the next tick (no busy loop); a
//      watch or tick that comes while a poll runs (a nested event loop) starts no pass.  A
//      poll that stops with work left continues at once after the pending events, so that
//      neither a buffered reply nor the end of a region waits for a tick.
//
// Ownership: the frame owns its status bar, its built menu bars, tool boxes and context bars,
// and the poll timer.  The evaluator list belongs to the worksheet host; the frame's destructor
// removes and deletes what is left in it.  Worksheet windows are children of the MDI area: each
// frame adaptor owns its window (KDocFrame.h).  The deferred-deletion list is process-wide.
//
// Left out: the further GUI-library object the frame was built with in the original design,
// whose role the program does not show.  The context bars are empty bars of height 0 until
// their own classes come; the status bar is the program's KStatusBar.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/KMainFrameInterface.h"
#include "app/KMenuRules.h"
#include "app/KStatusBar.h"
#include "app/KWorksheetMenuWindow.h"
#include "platform/gui/Application.h"
#include "platform/gui/Window.h"
#include "platform/gui/base/String.h"

class DescriptorWatch;
class KDocWindow;
class KWindowRegistry;
class KViewOptions;
class Menu;
class QuietEvaluator;
class ToolBox;
class WorksheetDocument;

class KMainFrame : public WorkWindow, public KMainFrameInterface, public KMenuFrame {
public:
    static constexpr const char* kTitle = "Kelvo V Release 5";
    static constexpr int kIconResource = 1000;
    static constexpr int kContextBarCount = 9;
    static constexpr int kFirstMenuBar = 1020;     // menu bars 1020 .. 1025
    static constexpr int kMenuBarCount = 6;
    static constexpr int kFirstToolBox = 1000;     // tool boxes 1000 .. 1004
    static constexpr int kToolBoxCount = 5;
    static constexpr int kRecentMax = 4;
    static constexpr int kFirstRecentItem = 1140;  // 1140 .. 1143
    static constexpr unsigned kPollIntervalMs = 18;
    static constexpr int kPollPassLimit = 1000;
    static constexpr uint16_t kPendingInputMask = 31;
    static constexpr int kIdlePriority = 5;
    static constexpr std::size_t kDeferredGrowthStep = 32;
    // The worksheet window's frame and bars.
    static constexpr int kWorksheetMenuBar = 1021;
    static constexpr int kWorksheetToolBox = 1000;
    static constexpr int kMathContextBar = 5;
    static constexpr int kTextContextBar = 0;
    // Tool-box buttons that follow the text and math context bars.
    static constexpr uint16_t kMathInputButton = 2505;
    static constexpr uint16_t kTextInputButton = 2506;

    KMainFrame();
    ~KMainFrame() override;
    KMainFrame(const KMainFrame&) = delete;
    KMainFrame& operator=(const KMainFrame&) = delete;

    // ---- commands ------------------------------------------------------------------------------
    // Runs a frame command under its guard; false when an error escaped to it (reported as
    // running out of memory during a "command").
    bool frame_command(int commandId, std::intptr_t argument);
    // Opens a worksheet in a new window (path null: the file dialog asks for it), or brings
    // forward the window that shows that file already.  Quiet: no "Unable to load" message.
    // True when a window shows the file afterwards.
    bool load_worksheet(const char* path, bool quiet);
    // Opens a new worksheet window over the document (owned from now on), shows it and makes it
    // the active worksheet window.
    void openWorksheetWindow(std::unique_ptr<WorksheetDocument> document, const KViewOptions* viewOptions = nullptr);
    // The frame's close: the active worksheet's interface settings become the defaults, every
    // document window is asked to close; false when one refuses (the frame stays open).
    bool closeFrame();

    // ---- recent files --------------------------------------------------------------------------
    void addRecentFile(const char* path) override;
    // Puts the items 1140.. of the list into the File menu, before the item preceding "Exit".
    void rebuildRecentMenu(Menu* fileMenu);
    int recentCount() const { return recentCount_; }
    const String& recentPath(int index) const { return recentPaths_[index]; }
    const String& recentName(int index) const { return recentNames_[index]; }

    // ---- kernels -------------------------------------------------------------------------------
    // The poll timer's handler (see the opening comment).
    void pollKernels();
    // The deepest nesting of pollKernels seen so far (1 when a pass never started inside
    // another).
    int deepestPollNesting() const { return deepestPoll_; }
    // How many times pollKernels has run, and the poll timer (a test stops it to show that
    // replies arrive through the link watches alone).
    long pollCount() const { return pollCount_; }
    Timer& pollTimer();
    // The one list of quiet evaluators: the worksheet host's.
    static std::vector<QuietEvaluator*>& evaluators();

    // ---- deferred deletion ---------------------------------------------------------------------
    // Queues an object (deleted through its virtual destructor) for the idle handler; windows
    // queue themselves here instead of deleting themselves inside their own handlers.
    template <class T>
    static void deleteLater(T* object) {
        if (object) queueDeletion(object, [](void* p) { delete static_cast<T*>(p); });
    }
    // Deletes the queued objects, the last queued first.
    static void flushDeferredDeletes();
    static std::size_t deferredCount();
    static std::size_t deferredCapacity();

    // ---- bars ----------------------------------------------------------------------------------
    // The menu bar of a resource id (1020 .. 1025), built on first use; null for other ids or
    // when the resource cannot be built.
    Menu* menuBar(int id);
    void setMenuBar(int id) override;
    int currentMenuBar() const { return currentMenuBar_; }
    // The tool box of a resource id (1000 .. 1004), built on first use; null otherwise.
    ToolBox* toolBox(int id);
    void setToolBox(int id);
    void setToolBar(int id) override { setToolBox(id); }
    int currentToolBox() const { return currentToolBox_; }
    Window* contextBar(int index) const;
    int currentContextBar() const { return currentContextBar_; }
    // Index -2 gives the current bar the owner data only.
    void setContextBar(int index, void* owner, std::intptr_t data) override;
    void* contextBarOwner(int index) const;
    std::intptr_t contextBarData(int index) const;
    // The input bar's field and tool items as its owner last showed them, and its field's text
    // edited by the user: the owner input takes it.  Return in the field is contextButton(1554).
    void showInputBar(const InputBarState& state) override;
    const InputBarState& inputBar() const { return inputBar_; }
    void contextFieldChanged(const char* text);
    void forgetContextBarOwner(const void* owner) override;
    Menu* frameMenu(int menuId) override;
    bool isActiveWorksheetWindow(const KDocWindow* window) const override;

    // Context-bar controls: what each control gives (the command and its argument).  The focus
    // goes back to the application window afterwards.
    void contextStyleChosen(bool paragraphStyle, const char* styleName);
    void contextFontChosen(const char* fontName);
    void contextSizeChosen(int size);
    void contextButton(int commandId);
    // The 3-D plot bar's two angles, each brought into -180..180; the values written back.
    void contextAnglesEntered(int& theta, int& phi);
    // A key a context-bar control passed on: to the active worksheet window.
    void contextKeyPassed(const KeyEvent& e);
    // Brings an angle in degrees into -180..180 by adding or subtracting 360.
    static int normaliseAngle(int degrees);

    // ---- status bar ----------------------------------------------------------------------------
    KStatusBar* statusBar() const { return statusBar_.get(); }
    // With a text: the items hide and the text runs across the bar; without (empty): the items
    // show again.
    void setStatusMessage(const String& text);

    // ---- menu and command-state rules (KMainFrame_menus.cpp, rules in KMenuRules) -----------
    // Brings a popup's items up to date before it opens (by its first item's id).
    void updateMenu(Menu* popup);
    // 0: every tracked command; otherwise that command.  False without a tool box.
    bool updateCommandState(int commandId);
    bool canCutCopy(bool asText, bool cut);
    bool canPaste(bool asText);
    // The Undo and Redo item texts of the Edit menu.
    void update_undo_menu(Menu* editMenu);
    // Whether the current context bar is usable, told to it.
    void refreshContextBarState();
    // The text bar and the Format popup from the current styles.
    void updateTextBar(StyleSet* styleSet, const ParaStyle* paragraphStyle, const CharStyle* characterStyle);
    // One pass over the current menu bar's popups and the tracked commands.
    void refreshMenus();
    // Heights of the visible tool box (flag 1), context bar (2) and status bar (4).
    long barHeights(int flags);

    // ---- what the menu rules ask of the frame (KMenuFrame) -------------------------------------
    // The active worksheet window's answers, or null without one.
    KMenuWindow* activeWindow() override;
    Menu* menuBar() override { return currentMenuBar_ ? menuBar(currentMenuBar_) : nullptr; }
    int menuBarId() const override { return currentMenuBar_; }
    ToolBox* toolBox() override { return currentToolBox_ ? toolBox(currentToolBox_) : nullptr; }
    // The context bars have no text fields yet.
    bool contextBarFieldHasFocus() override { return false; }
    void enableContextBar(bool on) override;
    // The text bar is not built yet.
    KMenuTextBar* textBar() override { return nullptr; }
    bool isPaletteVisible(int palette) override;
    // The palettes have no spreadsheet mode yet.
    void setPalettesSpreadsheetMode(bool) override {}
    bool clipboardHasText() override;
    long visibleBarHeight(int bar) override;

    // ---- window --------------------------------------------------------------------------------
    void resize() override;
    void getFocus() override {}
    bool closeQuery() override;
    void paint(const Rectangle& r) override;

    // The active worksheet window: the application object's activeWindow (a process-wide
    // pointer while no application object runs, for tests of the frame alone).
    static KDocWindow* activeWorksheet();
    static void setActiveWorksheet(KDocWindow* window);
    // Deletes every worksheet window (their documents end their own kernels), then what is left
    // of the evaluator list, and waits until every kernel server started has exited.
    void releaseKernels();
    // The help topics shown by the help commands; does nothing until the help system comes.
    void (*showHelpTopicHook)(const char* topic) = nullptr;
    // The window registry the frame consults (the application object's by default).
    void setWindowRegistry(KWindowRegistry* registry) { registry_ = registry; }
    KWindowRegistry* windowRegistry() const { return registry_; }
    int menuDepth() const { return menuDepth_; }

private:
    static void queueDeletion(void* object, void (*deleter)(void*));
    long idleFlushDeletes(void*);
    // Menu and tool-box handlers (each catches at its boundary).
    long menuActivated(void* menu);
    long menuHighlighted(void* menu);
    long menuSelected(void* menu);
    long menuDeactivated(void* menu);
    long toolActivated(void* box);
    long toolDeactivated(void* box);
    long toolHighlighted(void* box);
    long toolSelected(void* box);
    // Runs f under the boundary guard of a handler: an error is reported with the word.
    template <class F>
    void guarded(const char* word, F&& f);
    // Places the context bar of an index under the tool box.
    void placeContextBar(int index);
    // Closes the window of a document through its close question; false when it stays.
    bool closeDocumentWindow(WorksheetDocument* document);
    void reportDeadKernel(QuietEvaluator* evaluator);
    // The watch over one kernel server's result pipe: a copy of its descriptor (so the watch
    // never sees a descriptor the link closed or another link reuses) and the pipe's identity.
    struct LinkWatch {
        QuietEvaluator* evaluator = nullptr;
        const void* link = nullptr;
        int fd = -1;
        unsigned long long inode = 0;
        bool resting = false;   // read nothing when it last ran: waits for the next tick
        std::unique_ptr<DescriptorWatch> watch;
        LinkWatch() = default;
        LinkWatch(const LinkWatch&) = delete;
        LinkWatch& operator=(const LinkWatch&) = delete;
        ~LinkWatch();
    };
    void pollOnTimer();
    void pollOnLink(LinkWatch* watch);
    // Brings the watches in line with the server links of the evaluator list.
    void watchLinks();
    void dropLinkWatches();
    void showHelpTopic(const char* topic);
    void closeAllHelp();

    // ---- members, in order ----
    std::unique_ptr<KStatusBar> statusBar_;
    Window* contextBars_[kContextBarCount] = {};
    int currentContextBar_ = -1;
    Menu* menuBars_[kMenuBarCount] = {};
    int currentMenuBar_ = 0;
    ToolBox* toolBoxes_[kToolBoxCount] = {};
    int currentToolBox_ = 0;
    class PollTimer;
    std::unique_ptr<PollTimer> pollTimer_;
    // A poll that stopped with work left (pending input or the pass limit after a pass that
    // made progress: a reply already read into a link's buffer, whose pipe then wakes no watch,
    // or a document gone idle that has still to run its queue) continues from this single-shot
    // timer once the pending events have run.
    std::unique_ptr<PollTimer> continueTimer_;
    int32_t menuDepth_ = 0;
    String recentPaths_[kRecentMax];
    String recentNames_[kRecentMax];
    int32_t recentCount_ = 0;

    // Owner data of each context bar (the bars keep none of their own yet).
    void* contextOwners_[kContextBarCount] = {};
    std::intptr_t contextData_[kContextBarCount] = {};
    // The input bar's field and tools (kept here until the bar's own class comes).
    InputBarState inputBar_;
    uint64_t flushIdleHandler_ = 0;
    // Dead evaluators that no document owns (the frame deletes them in releaseKernels).
    std::vector<QuietEvaluator*> orphans_;
    KWindowRegistry* registry_ = nullptr;
    int pollDepth_ = 0;
    int deepestPoll_ = 0;
    long pollCount_ = 0;
    long repliesRead_ = 0;
    std::vector<std::unique_ptr<LinkWatch>> linkWatches_;
    // Watches whose links have gone, deleted once no watch handler runs.
    std::vector<std::unique_ptr<LinkWatch>> retiredWatches_;
    int linkHandlerDepth_ = 0;
    // The menu rules and the active worksheet window as they see it.
    KWorksheetMenuWindow menuWindow_;
    KMenuRules menuRules_{*this};
};
