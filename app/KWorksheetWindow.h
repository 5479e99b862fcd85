#pragma once
// KWorksheetWindow: the document window that shows one worksheet and takes the user's keys,
// clicks, drops and editing actions for it.  Three parts:
//   the window        a scrolled document window (KScrolledDocWindow) in a frame adaptor;
//   the view part     a WindowView drawing into the window's back buffer, answering the
//                     window as the document's worksheet window;
//   the editor part   a KEditorPart (caret and selection) whose requests the window answers,
//                     with the ElementWindow the caret and the selection talk to.
//
// Every change to the document from this window runs as one editing action through
// executeAction (KWorksheetWindow_actions.cpp), under an error guard, inside one undo group named
// after the action (undo_action_name).  Keys, mouse and drops are in KWorksheetWindow_input.cpp.
//
// Invariants:
//   1. Every path through executeAction and the input handlers leaves the caret's hide count
//      and busy flag as it found them, and closes every undo group it opened.
//   2. No handler lets an error escape: each reports it (reportOutOfMemory with its operation
//      word) and the program goes on.
//   3. The window is never destroyed from inside its own executeAction: a close the kernel's
//      STOP asks for is posted and runs once, after the handler returned, through the ordinary
//      close question.
//   4. The drag record, the application's drag-scroll window and the undo groups linked to the
//      window never name a destroyed window: the destructor clears them.
//
// Ownership: the view keeps the document alive (the document deletes itself with its last
// view), so the document goes with the window.  The editor part (caret, selection) goes first,
// then the view, then the element-window part the view answered.

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/KScrolledDocWindow.h"
#include "document/styles/KViewOptions.h"
#include "util/KString.h"
#include "util/errjump.h"
#include "util/messages.h"

class CharStyle;
class Element;
class ElementPosition;
class KEditorPart;
class ParaStyle;
class KFrameAdaptor;
class KWindowRegistry;
class Selection;
class Timer;
class ViewCaret;
class WorksheetDocument;
class ElementWindow;
class WindowView;

// The name of an editing action: "Enter" for 0, the table's name for 1..71, "" above.
KString undo_action_name(unsigned code);

class KWorksheetWindow : public KScrolledDocWindow {
public:
    // Editing-action codes the window itself uses.
    enum Action : int {
        kEnter = 0, kInsertSubsection = 1, kInsertSection = 2, kSetFormat = 3, kSetParagraphStyle = 4,
        kTypeText = 9, kTypeChar = 10, kDelete = 11, kDeleteParagraph = 15, kInsertParagraph = 18,
        kCut = 19, kCopy = 20, kExpandSection = 21, kCollapseSection = 22, kSplit = 23, kInsertGroup = 28,
        kEditPlot = 30, kConvert = 31, kUndo = 32, kRedo = 33, kJoinSections = 34, kSplitSection = 35,
        kJoinGroups = 36, kSplitGroup = 37, kExecute = 38, kRemoveOutput = 39, kSetCharacterStyle = 40,
        kIndent = 41, kOutdent = 42, kSelectAll = 43, kIdle = 71, kLastAction = 71,
    };
    // The delete record of code 11: four flag bytes and the position a drop deletes at.
    struct DeleteRecord {
        std::uint8_t backward = 0;        // Backspace, Ctrl+H
        std::uint8_t beforeTyping = 0;    // replaces a marked selection before typing
        std::uint8_t movedByElement = 0;  // the element moved the dragged material itself
        std::uint8_t marked = 0;          // applied to a marked selection
        class TextPosition* position = nullptr;
    };
    // The drag record every worksheet window shares.
    struct DragRecord {
        KWorksheetWindow* source = nullptr;
        KWorksheetWindow* target = nullptr;
        std::unique_ptr<Element> fragment;   // the dragged material: clones under one section
    };

    static constexpr int kDefaultZoomCommand = 1803;
    static constexpr int kInterruptButton = 2504;
    static constexpr int kCloseCommand = 1105;
    // Question boxes: styles, answers.
    static constexpr int kStyleYesNo = 4160;
    static constexpr int kStyleYesNoCancel = 4224;
    static constexpr int kAnswerYes = 2;
    static constexpr int kAnswerNo = 3;
    // Context bars.
    static constexpr int kWorksheetContextBar = 1001;
    static constexpr int kPlotContextBar = 1002;
    static constexpr int kNoContextBar = -2;
    // The auto-scroll step of a selection drag.
    static constexpr unsigned kDragScrollMs = 100;

    // Builds the three parts over the document (owned from now on through the view), registers
    // the window (a worksheet under its file path, or its title; a plot document under its
    // title).  viewOptions may be null.
    KWorksheetWindow(KFrameAdaptor* adaptor, std::unique_ptr<WorksheetDocument> document, KWindowRegistry* registry,
                     const KViewOptions* viewOptions = nullptr, int menuBar = 1021, int contextBar = 1000);
    ~KWorksheetWindow() override;

    // Shows the window with the caret at the element's first caret stop (the root's when null).
    void open(Element* element);

    WorksheetDocument* document() const { return document_; }
    WindowView* view() const;
    ViewCaret* caret() const;
    Selection* selection() const;
    KEditorPart* editorPart() const;
    ElementWindow* elementWindow() const;
    const KViewOptions& viewOptions() const { return viewOptions_; }
    int zoomCommand() const { return zoomCommand_; }

    // ---- the editor part ------------------------------------------------------------------
    // Runs one editing action; true when it did something.
    bool executeAction(int code, const char* data, std::intptr_t argument);
    void setComputing(bool on);
    bool computing() const { return computing_; }
    // Hides or shows the caret when the root's mark state changed from or to nothing marked.
    void updateCaretState(bool refresh);
    // Inserts an element at the caret (see the insert rule in the actions file).
    bool insertElement(Element* element, int mode, bool moveCaret);
    bool insertAndPlace(Element* element, int mode, Element* caretTarget, int offset);
    // Clears the selection's marks and zones.
    void clearMarks();
    // The read-only rule: a help document without a kernel session.
    bool isReadOnly() const;
    bool isHelpDocument() const;
    // Selects a context bar for its owner element; an input's bar shows the input's text and
    // state in its field and tools.
    void showContextBarFor(int index, Element* owner);
    // The document area made visible (document pixels).
    void makeVisible(const ElementRect& documentRect);
    // Lays the whole document out again ("Formatting document").
    virtual void relayoutAll();

    // ---- window events ----------------------------------------------------------------------
    void mouseMove(const MouseEvent& e) override;
    void mouseButtonDown(const MouseEvent& e) override;
    void mouseButtonUp(const MouseEvent& e) override;
    void keyInput(const KeyEvent& e) override;
    void paint(const Rectangle& r) override;
    void resize() override;
    void getFocus() override;
    void loseFocus() override;
    bool drop(const MouseEvent& e) override;
    bool queryDrop(const MouseEvent& e) override;
    void activate() override;
    bool command(int commandId, std::intptr_t argument) override;
    bool closeQuery() override;
    void afterScroll() override;

    // ---- save and export (KWorksheetWindow_save.cpp) -----------------------------------------
    // Save types: 1 worksheet, 2 LaTeX, 3 Kelvo text (wrapped at 70), 4 plain text, 5 HTML.
    enum SaveType : int { kSaveWorksheet = 1, kSaveLatex = 2, kSaveKelvoText = 3, kSaveText = 4, kSaveHtml = 5 };
    // Writes a worksheet with a file name back to it; asks for a name otherwise (and for a help
    // document, which then becomes an ordinary worksheet).
    bool save();
    // Asks for a file name and a type (the chosen filter decides) and writes the file; false
    // when cancelled or when writing failed.
    bool saveAs(int type);
    // Writes the document to the path as that type.  Worksheets, text and LaTeX replace the
    // file through a temporary, so that a failure leaves the old file as it was.
    bool writeFile(const std::string& path, int type);

    // ---- print, preview, printer set-up (KWorksheetWindow_print.cpp) ----------------------------
    // Prints the document through a print view (PrintView.h) in print mode `mode` (0 asks with
    // the print dialog) with the dialogs parented to `owner`; false without a printer.
    bool print(int mode, Window* owner);
    // Shows the pages as they would print; false without a printer.
    bool printPreview();
    // Chooses the program's printer, which the options remember.
    bool printerSetup();

    // ---- window commands (KWorksheetWindow_commands.cpp) -------------------------------------
    static constexpr int kFirstBookmarkCommand = 1902;
    static constexpr int kLastBookmarkCommand = 2396;   // the 495th bookmark
    // Carries out a menu, tool-bar or palette command (the low 16 bits of the word); text is
    // the command's text argument and argument its data (a query's out-parameter).  False for
    // an id it does not know and when the command did nothing.
    bool window_command(int commandWord, const char* text, std::intptr_t argument);
    // Copies the six view settings into the window and its view (null: switches off, 100 %);
    // a zoom id that is not one of 1801..1807 stands for 1803.
    void setViewOptions(const KViewOptions* options);
    void getViewOptions(KViewOptions& out) const;
    // The zoom ratio of a command id 1801..1807 (true), or 1/1 (false).
    static bool zoomOfCommand(int command, int& numerator, int& denominator);
    bool zoom(int command);
    // The frame's check marks and tool-bar states from this window.
    void refreshCommands();
    bool undo();
    bool redo();
    // Asks every execution group (or the marked ones) to execute; only with an idle kernel
    // session.
    bool execute(bool selectionOnly);
    bool gotoBookmark(const char* name);
    bool gotoBookmarkNumber(int number);
    // The answers of the queries 2512 (the word at the caret into `word`) to 2516.
    int query(int id, KString* word);

    // ---- inserts, bookmarks, context menu (KWorksheetWindow_inserts.cpp) ------------------
    static constexpr int kPopupNoUndoItem = 1853;
    // Inserts an input at the caret (or, converting, a math input in place of an empty one).
    bool insertInput(bool convertOnly);
    bool insertText();
    // Text after math or active input, input elsewhere.
    bool toggleInput();
    bool insertMath();
    bool editBookmark();
    // Runs the element's context menu at the mouse; the chosen item in one undo group.
    bool contextMenu(const MouseEvent& e, Element* element, ElementPoint point);
    bool inPopup() const { return inPopup_; }

    // ---- dialogs, find and the shown document (KWorksheetWindow_dialogs.cpp) ---------------
    // The style management dialog on the document's style set, inside the undo group
    // "format style" that records the style set before and after it.
    bool styleManager();
    // The paragraph (1256) or character (1257) style dialog; OK applies the chosen record as
    // editing action 3.
    bool formatDialog(int id);
    // Editing action 3 for a format command id (the menus' 1251..1261, the format bar's 2502 face
    // name and 2503 size in `text`, the style dialogs' 1256 and 1257 with their record).
    bool setFormat(int id, const char* text, const CharStyle* charStyle, const ParaStyle* paraStyle);
    // Shows the program's one Find dialog, built on first use.
    bool showFindDialog();
    // Finds the text from the caret, forwards (2508) or backwards (2509): a match is marked and
    // the caret put on it; none beeps.  Always true.
    bool search(int id, const char* text);
    // Places the window's frame over the main frame's client area, less its bars.
    bool fitWindow();
    // Editing action 48: a math editor command id with its text.
    bool mathEditorOperation(int id, const char* text);
    // Shows another document in this window (a link that opens a worksheet in place): the old
    // one's save question (Cancel keeps it), then the new document with the caret at the
    // position (the start when null) and the view options (switches off, 100 % when null).
    // False, with "Unable to locate document", without a document; what is not taken is freed.
    bool replaceDocument(std::unique_ptr<WorksheetDocument> document, std::unique_ptr<ElementPosition> position,
                         const KViewOptions* options);
    // Loads the worksheet file and shows it in this window.
    bool openInWindow(const char* path);

    // The element captured by the mouse; the selecting and tracking flags.
    Element* capturedElement() const { return captured_; }
    bool selecting() const { return selecting_; }
    bool tracking() const { return tracking_; }

    // The auto-scroll step (the drag-scroll timer calls it).
    void dragScrollStep();
    // The window the drag-scroll timer works for (null when none).
    static KWorksheetWindow* dragWindow();
    static DragRecord& dragRecord();
    // Drops the dragged fragment at the window point; the test and the drop event both use it.
    bool dropAt(Point windowPoint, bool copy);

    // Every worksheet window alive, oldest first.
    static const std::vector<KWorksheetWindow*>& all();
    // Whether a close was posted and not yet run (the kernel's STOP).
    bool closePending() const { return closePending_; }
    // Runs a posted close now (the event loop's idle call does it otherwise).
    void runPendingClose();

    // Test hook: an error raised by the next action's operation (0: none; 1 out of memory,
    // 2 an ordinary raise).
    static int injectedActionError;
    // Test hook: an error raised while a drop inserts its fragment.
    static int injectedDropError;

    // Window commands seen that the window does not handle yet (the commands issue builds them).
    const std::vector<int>& receivedCommands() const { return received_; }

    class View;
    class Target;
    class Editor;
    class FunctionTimer;

protected:
    // The view part's second reserved query; a window showing a single plot answers false.
    virtual bool viewSecondQuery() const { return true; }

private:
    friend class View;
    friend class Target;
    friend class Editor;

    bool runAction(int code, const char* data, std::intptr_t argument);
    bool markedPath(int code, const char* data, std::intptr_t argument);
    bool caretPath(int code, const char* data, std::intptr_t argument);
    void afterAction(int code);
    void updateExtent();
    void moveCaretByKey(int movement, bool shift, bool tab);
    void startSelectionTracking();
    void stopTracking();
    void postClose();
    Point documentPoint(Point windowPoint) const;
    // Runs f under a guard; an error is reported with the word and the handler ends.
    template <class F>
    static void guardedHandler(const char* word, F&& f) {
        try {
            ErrorGuard guard;
            f();
        } catch (const ErrorJump&) {
            reportOutOfMemory(word);
        } catch (const std::bad_alloc&) {
            reportOutOfMemory(word);
        }
    }
    bool saveDocument();
    // The modified worksheet's save question: true to go on (saved, or No), false for Cancel or
    // a failed save.
    bool askToSave();
    // Rebuilds the view and editor parts over another document; the old one goes with its view.
    void swapDocument(std::unique_ptr<WorksheetDocument> document);
    bool runCommand(int id, const char* text, std::intptr_t argument);
    bool gotoBookmarkElement(Element* element);

    WorksheetDocument* document_;
    KWindowRegistry* registry_;
    std::unique_ptr<Target> target_;
    std::unique_ptr<View> view_;
    std::unique_ptr<Editor> editor_;
    KViewOptions viewOptions_;
    int zoomCommand_ = kDefaultZoomCommand;
    Element* captured_ = nullptr;
    bool tracking_ = false;
    bool selecting_ = false;
    bool computing_ = false;
    Point lastMouse_{0, 0};
    Point lastOverflow_{0, 0};
    bool nothingMarked_ = true;
    bool closePending_ = false;
    std::unique_ptr<FunctionTimer> closeTimer_;
    std::vector<int> received_;
    bool inPopup_ = false;
};
