#pragma once
// ExecutionGroup (kind 14, worksheet tag EXCHG): the unit of execution of a worksheet.  Holds
// input paragraphs (a prompt and a one- or two-dimensional input) and, after execution, the
// output paragraphs the kernel's replies became.  Its output sink is how the worksheet
// document delivers those replies (OutputSink.h).
//
// Members after the container's, in order: the "exch" storage area (owned), pendingRecord
// (a pending-input record; nothing sets it yet, so it stays null), busy (the input was handed
// to the document and its region has not ended), plotSizes (sizes of the plots shown before
// the outputs were last cleared, oldest first), advanceOnEnd (endOutput moves the caret on),
// nextInList (the chain of collectGroups).
//
// The sink.  The document's queue keeps the sink of a group until the group's region has
// drained, so the sink is a small object of its own (GroupSink) that reaches the group through
// a back pointer.  Invariants:
//   1. A group and its sink point at each other while both live.
//   2. A group destroyed while the document still holds its sink (queued statements, an
//      interrupt drain under way, an unplaced start-up group) leaves the sink behind, detached:
//      its nodes keep their places in the queue, their outputs go nowhere, and the detached sink
//      frees itself at endOutput or once its document's queue is empty.  The document's
//      answerGroup never names a destroyed group.
//   3. The undo group "result" that beginOutput opens is closed exactly once, by endOutput or
//      by the first resetOutput of the drained region, whichever comes first.
//   4. Clearing outputs never removes the group itself, even when nothing else is left in it.
//
// Output placement (insertOutput): one paragraph per visible reply, appended at the end of the
// group in arrival order, with the paragraph style of its kind:
//
// | kind | what                  | style                                        |
// |------|-----------------------|----------------------------------------------|
// | 2    | result                | 11 typeset (prettyprint 2, 3), else 2 (2-D text) |
// | 3    | warning               | 7, "Warning, " and the message               |
// | 4    | error                 | 8, the message                               |
// | 5    | diagnostic            | 9                                            |
// | 7    | line-printed text     | 6                                            |
// | 8, 9 | plot, 3-D plot        | 13 with a plot element, else 2 (character plot); 8 for a plotting error |
// | 10, 11 | smart plots         | 13 (a plot region)                           |
// | 12   | incomplete statement  | 7, after a style-0 continuation input        |

#include <cstdint>
#include <deque>
#include <memory>

#include "document/tree/ContainerElement.h"
#include "document/exec/OutputSink.h"
#include "document/export/LatexExport.h"
#include "tovu/dag.h"
#include "tovu/storage.h"

class DocumentView;
class KString;
class KWorksheetReader;
class ParaStyle;
class ParagraphElement;
class WorksheetDocument;
class GroupSink;
struct InterfaceSettings;
struct StorageArea;

// What the group needs of the options object (the option "Typeset Input").
struct ExecutionGroupOptions {
    bool typesetInput = false;
};
extern ExecutionGroupOptions executionGroupOptions;

// The pieces of other layers the group calls, installed by them; null hooks are skipped.
struct ExecutionGroupHooks {
    // Help: the topic of a "?" query (section out: "usage", "examples" or null), showing a
    // topic, and the introduction topic shown once.
    const char* (*normaliseHelpQuery)(const char* query, const char** section) = nullptr;
    void (*showHelpTopic)(const char* topic, bool sameWindow, bool addToHistory, const char* section,
                          ElementWindow* target, void (*onError)(const char* message)) = nullptr;
    void (*showIntroductionOnce)() = nullptr;
    // Character metrics of the font of a paragraph style in a view: the width of "M" and the
    // line height, in view pixels.  False (or a zero value) when the view cannot tell.
    bool (*styleFontMetrics)(DocumentView* view, const ParaStyle* style, int& widthOfM, int& lineHeight) = nullptr;
    // The main frame's Interrupt command, run when a plot runs out of memory.
    void (*interruptCommand)() = nullptr;
};
extern ExecutionGroupHooks executionGroupHooks;

// A pending-input record (see advanceToNextInput).
struct PendingInputRecord {
    int pendingCount = 0;
};

class ExecutionGroup : public ContainerElement {
public:
    // Selects the constructor that builds one input paragraph.
    struct WithInput {
        const char* prompt = nullptr;
    };

    ExecutionGroup();
    // One input paragraph (style 0, the prompt or none) holding a math input when "Typeset
    // Input" is on, else a one-dimensional input.
    explicit ExecutionGroup(WithInput input);
    // The element, when given, becomes the first child.
    explicit ExecutionGroup(Element* first);
    // Copies the children; the members start as at creation.
    ExecutionGroup(const ExecutionGroup& other);
    ~ExecutionGroup() override;

    // ---- Element ---------------------------------------------------------------------------
    Element* cloneElement() const override { return new ExecutionGroup(*this); }
    int elementKind() const override { return KIND_GROUP; }
    void exportLatexElement(WalkControl& control) override;
    void executeGroup(WalkControl& control) override;   // the execute-all walk
    void removeOutput(WalkControl& control) override;
    void collectGroups(WalkControl& control) override;
    Element* splitAtIndex(int index) override;
    bool command(int code, const char* text, std::intptr_t argument) override;

    // ---- sink ------------------------------------------------------------------------------
    // The sink the document is given for this group's input (owned by the group; see the
    // opening comment for its life after the group).
    OutputSink* sink();
    virtual void beginOutput();
    virtual void endOutput();
    virtual void resetOutput();
    virtual bool output(Dag dag, int kind);
    virtual bool newTextInputRegion();

    // ---- operations ------------------------------------------------------------------------
    void execute(bool force);
    void inputText(KString& text);
    bool inputIsComplete();
    void answerReadline(WorksheetDocument* document);
    void clearOutputs();
    bool insertOutput(Dag dag, int kind);
    void appendOutput(Element* element, bool scroll);
    void advanceToNextInput();
    void setAdvanceOnEnd(bool flag) { advanceOnEnd = flag ? 1 : 0; }

    WorksheetDocument* worksheet();
    // The interface settings of the document's session, or the library's default block.
    InterfaceSettings* settings();

    struct PlotSize {
        int width = 0;
        int height = 0;
    };

    // Members, in order.
    OwnedArea exchArea{STORAGE_ALIGN8, "exch"};
    PendingInputRecord* pendingRecord = nullptr;
    unsigned char busy = 0;
    std::deque<PlotSize> plotSizes;
    unsigned char advanceOnEnd = 1;
    ExecutionGroup* nextInList = nullptr;

    // Whether the undo group "result" of beginOutput is still open (for tests).
    bool resultUndoOpen() const { return undoOpen_; }

protected:
    // The sink is handed to the document (it holds it until the region ends).
    void holdSink(WorksheetDocument* document);
    // The sink leaves the group for good: it stays with the document until its region drains.
    void detachSink();

private:
    friend class GroupSink;
    void closeResultUndo();
    bool insertResult(ParagraphElement* paragraph, Dag dag, bool typesetting, KString& buffer);

    std::unique_ptr<GroupSink> sink_;
    bool undoOpen_ = false;
};

// The EXCHG record reader of the tag table, and the reader of a run of element records into a
// parent.  registerExecutionGroupReaders enters the first under "EXCHG".
bool readExchgRecord(KWorksheetReader& reader, Element*& out, Element* parent);
bool readChildRecords(KWorksheetReader& reader, Element*& out, Element* parent);
void registerExecutionGroupReaders();

// Detached sinks still waiting for their document (tests and shut-down).
int detachedGroupSinkCount();
