// ExecutionGroup: construction, the output sink, output placement, moving on after execution,
// clearing outputs, execution, editing commands, walks, LaTeX hooks and the EXCHG reader.
#include "document/exec/ExecutionGroup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/styles/CharStyle.h"
#include "document/edit/EditRecord.h"
#include "document/tree/ElementPosition.h"
#include "document/exec/ExecutionGroup_text2d.h"
#include "document/elements/ExpressionEditElement.h"
#include "document/elements/InputTextElement.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/elements/MathElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/PlotElements.h"
#include "document/elements/TextElement.h"
#include "document/edit/UndoHistory.h"
#include "document/tree/ViewCaret.h"
#include "document/exec/WorksheetDocument.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/WorksheetTagTable.h"
#include "kernel_link/KKernelSession.h"
#include "plot/plot_device.h"
#include "tovu/ifvars.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"
#include "util/KString.h"
#include "util/errjump.h"
#include "util/messages.h"

ExecutionGroupOptions executionGroupOptions;
ExecutionGroupHooks executionGroupHooks;

// ---- the sink ------------------------------------------------------------------------------

// The group's OutputSink.  `group` is null once the group is gone; `owner` is the document the
// sink was handed to; `held` is set from the hand-over until the region ends.
class GroupSink : public OutputSink {
public:
    explicit GroupSink(ExecutionGroup* g) : group(g) {}
    void beginOutput() override {
        if (group) group->beginOutput();
    }
    void endOutput() override;
    void resetOutput() override;
    bool output(Dag dag, int kind) override { return group ? group->output(dag, kind) : false; }
    bool newTextInputRegion() override { return group ? group->newTextInputRegion() : false; }

    ExecutionGroup* group;
    WorksheetDocument* owner = nullptr;
    bool held = false;
};

namespace {

// Sinks whose group is gone while their document still held them.  Reachable until freed.
std::vector<std::unique_ptr<GroupSink>>& detachedSinks() {
    static std::vector<std::unique_ptr<GroupSink>> list;
    return list;
}

void freeDetached(GroupSink* sink) {
    auto& list = detachedSinks();
    auto it = std::find_if(list.begin(), list.end(), [sink](const auto& p) { return p.get() == sink; });
    if (it != list.end()) list.erase(it);
}

// Frees the detached sinks of a document whose queue has run empty (nothing refers to them).
void sweepDetached(WorksheetDocument* document) {
    if (!document || !document->queueIsEmpty()) return;
    auto& list = detachedSinks();
    list.erase(std::remove_if(list.begin(), list.end(), [document](const auto& p) { return p->owner == document; }),
               list.end());
}

}  // namespace

// While a group operation runs, `held` stays set: a group that destroys itself inside it (an
// unplaced start-up group) then leaves this sink detached instead of deleting it under us.
void GroupSink::endOutput() {
    if (group) {
        group->endOutput();
        if (group) {
            held = false;
            return;
        }
    }
    freeDetached(this);   // the region is over: nothing holds the sink any more
}

void GroupSink::resetOutput() {
    if (group) {
        group->resetOutput();
        if (group) {
            held = false;
            return;
        }
    }
    // Further nodes of the drained region may still name this sink: free it only once the
    // queue is empty.
    if (owner && owner->queueIsEmpty()) freeDetached(this);
}

int detachedGroupSinkCount() { return static_cast<int>(detachedSinks().size()); }

// ---- construction --------------------------------------------------------------------------

ExecutionGroup::ExecutionGroup() : sink_(std::make_unique<GroupSink>(this)) {}

ExecutionGroup::ExecutionGroup(WithInput input) : ExecutionGroup() {
    auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_NORMAL, input.prompt);
    Element* field = executionGroupOptions.typesetInput ? static_cast<Element*>(new ExpressionEditElement(1, ""))
                                                        : static_cast<Element*>(new InputTextElement(1, nullptr));
    paragraph->insertChild(field, nullptr, kInsertAfter);
    insertChild(paragraph, nullptr, kInsertAfter);
}

ExecutionGroup::ExecutionGroup(Element* first) : ExecutionGroup() {
    if (first && !insertChild(first, nullptr, kInsertAfter)) delete first;
}

ExecutionGroup::ExecutionGroup(const ExecutionGroup& other)
    : ContainerElement(other), sink_(std::make_unique<GroupSink>(this)) {
    other.copyChildrenTo(this);
}

ExecutionGroup::~ExecutionGroup() {
    WorksheetDocument* doc = nullptr;
    if (ElementDocument* ed = document()) doc = dynamic_cast<WorksheetDocument*>(ed);   // null while it dies
    else if (sink_ && sink_->held) doc = sink_->owner;
    if (doc && doc->answerGroup == this) doc->answerGroup = nullptr;
    if (doc && undoOpen_ && doc->undoHistory()) doc->undoHistory()->endUndoGroup(nullptr);
    if (sink_ && sink_->held && doc) detachSink();
    sink_.reset();
}

void ExecutionGroup::holdSink(WorksheetDocument* document) {
    auto* groupSink = static_cast<GroupSink*>(sink());
    groupSink->owner = document;
    groupSink->held = true;
}

void ExecutionGroup::detachSink() {
    if (!sink_) return;
    if (!sink_->owner) sink_->owner = worksheet();
    sink_->group = nullptr;
    detachedSinks().push_back(std::move(sink_));
}

OutputSink* ExecutionGroup::sink() {
    if (!sink_) sink_ = std::make_unique<GroupSink>(this);
    return sink_.get();
}

WorksheetDocument* ExecutionGroup::worksheet() {
    if (ElementDocument* ed = document()) return dynamic_cast<WorksheetDocument*>(ed);
    return sink_ ? sink_->owner : nullptr;
}

InterfaceSettings* ExecutionGroup::settings() {
    WorksheetDocument* doc = worksheet();
    if (doc)
        if (auto* vars = doc->interfaceVars()) return vars->settings();
    return interface_default_block();
}

// ---- sink operations -----------------------------------------------------------------------

void ExecutionGroup::beginOutput() {
    if (sink_) sink_->held = true;
    WorksheetDocument* doc = worksheet();
    if (!doc) return;
    if (doc->undoHistory() && !undoOpen_) {
        doc->undoHistory()->beginGroup("result", doc->activeCaret(), false);
        undoOpen_ = true;
    }
    if (doc->replaceOutput) clearOutputs();
}

void ExecutionGroup::closeResultUndo() {
    if (!undoOpen_) return;
    undoOpen_ = false;
    WorksheetDocument* doc = worksheet();
    if (doc && doc->undoHistory()) doc->undoHistory()->endUndoGroup(doc->activeCaret());
}

void ExecutionGroup::endOutput() {
    WorksheetDocument* doc = worksheet();
    if (advanceOnEnd) {
        auto* other = doc ? dynamic_cast<ExecutionGroup*>(doc->answerGroup) : nullptr;
        if (other && other != this) other->advanceToNextInput();
        else advanceToNextInput();
    }
    if (doc) doc->answerGroup = nullptr;
    closeResultUndo();
    advanceOnEnd = 1;
    busy = 0;
}

void ExecutionGroup::resetOutput() {
    // The drained region ends here: the undo group its beginOutput opened closes now (once),
    // so later edits do not nest inside it.  The caret stays where it is.
    closeResultUndo();
    busy = 0;
}

namespace {

// Position of a (position, message) pair: the first element of an expression sequence of at
// least two elements when it is a positive integer; 0 otherwise.
int pairPosition(const DagWord* dag, std::size_t* count = nullptr) {
    if (!dag || dag_type(dag) != DAG_EXPSEQ) return 0;
    std::size_t n = dag_length(dag) - 1;
    if (count) *count = n;
    if (n < 2) return 0;
    const DagWord* first = dag_op(dag, 1);
    if (!first || dag_type(first) != DAG_INTPOS) return 0;
    try {
        TovuHandlerGuard guard;
        K_INT v = arith_to_int(first);
        return v > 0 ? v : 0;
    } catch (const TovuError&) {
        return 0;
    }
}

}  // namespace

bool ExecutionGroup::output(Dag dag, int kind) {
    WorksheetDocument* doc = worksheet();
    if (doc) {
        auto* other = dynamic_cast<ExecutionGroup*>(doc->answerGroup);
        if (other && other != this) return other->output(dag, kind);
    }
    InputTextElement* continuation = nullptr;
    if (kind == kOutputIncomplete) {
        auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_NORMAL, nullptr);
        continuation = new InputTextElement(1, nullptr);
        paragraph->insertChild(continuation, nullptr, kInsertAfter);
        insertChild(paragraph, nullptr, kInsertAfter);
    }
    int position = (kind == kOutputWarning || kind == kOutputError) ? pairPosition(dag) : 0;
    bool answer = insertOutput(dag, kind);
    if (kind == kOutputIncomplete) {
        if (doc)
            if (ViewCaret* caret = doc->activeCaret()) caret->setPosition(continuation, 0);
        advanceOnEnd = 0;
    } else if (kind == kOutputError && position > 0) {
        setCaretOffset(position > 1 ? position - 1 : position);
        advanceOnEnd = 0;
    }
    return answer;
}

bool ExecutionGroup::newTextInputRegion() {
    bool saved = executionGroupOptions.typesetInput;
    executionGroupOptions.typesetInput = false;
    advanceToNextInput();
    executionGroupOptions.typesetInput = saved;
    if (WorksheetDocument* doc = worksheet())
        if (ViewCaret* caret = doc->activeCaret()) caret->scrollIntoView(false);
    return false;
}

// ---- output placement ----------------------------------------------------------------------

namespace {

// The plot path's character and error callbacks write into the group's text buffer.
void plotChar(void* context, int byte) { static_cast<KString*>(context)->appendChar(static_cast<char>(byte)); }
void plotError(void* context, const char* message) {
    auto* buffer = static_cast<KString*>(context);
    buffer->clear();
    buffer->append("Plotting error, ");
    buffer->append(message);
}

}  // namespace

bool ExecutionGroup::insertResult(ParagraphElement* paragraph, Dag dag, bool typesetting, KString& buffer) {
    WorksheetDocument* doc = worksheet();
    InterfaceSettings* s = settings();
    if (typesetting) {
        if (!dag || dag_is_null(dag)) return false;
        auto* math = new MathElement(dag, MathElement::kResultValue);
        math->kernelOutput = 1;
        paragraph->insertChild(math, nullptr, kInsertAfter);
        return true;
    }
    int width = s->screenwidth;
    int height = s->screenheight;
    if (doc && !doc->redirectFile) {
        // The view's size in characters of the paragraph's font; without a usable view (none
        // yet, headless, or a font without metrics) the session's screen size stands.
        DocumentView* view = doc->activeView();
        int widthOfM = 0;
        int lineHeight = 0;
        if (view && executionGroupHooks.styleFontMetrics &&
            executionGroupHooks.styleFontMetrics(view, paragraph->paraStyle(doc), widthOfM, lineHeight) &&
            widthOfM > 0 && lineHeight > 0) {
            int w = view->availableWidth() / widthOfM;
            int h = view->availableHeight() / lineHeight;
            if (w > 0) width = w;
            if (h > 0) height = h;
        }
    }
    GroupText2dSettings t;
    t.indentamount = s->indentamount;
    t.labelling = s->labelling;
    t.labelwidth = s->labelwidth;
    t.verboseproc = s->verboseproc;
    t.showassumed = s->showassumed;
    std::string text;
    group_render_text_2d(dag, t, width, height, text);
    if ((!doc || !doc->redirectFile) && !text.empty() && text.back() == '\n') text.pop_back();
    buffer.appendN(text.data(), static_cast<int>(text.size()));
    paragraph->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
    return true;
}

bool ExecutionGroup::insertOutput(Dag dag, int kind) {
    if (kind == kOutputAdvance) {
        advanceToNextInput();
        return true;
    }
    if (kind == kOutputNone || kind == kOutputDone || kind < 0 || kind > kOutputIncomplete) return kind == kOutputDone;
    WorksheetDocument* doc = worksheet();
    InterfaceSettings* s = settings();
    KString buffer;
    bool scroll = true;
    std::unique_ptr<ParagraphElement> paragraph;
    auto message = [&](const DagWord* d) -> const DagWord* {
        std::size_t n = 0;
        if (pairPosition(d, &n) > 0) return dag_op(d, n);
        return d;
    };
    switch (kind) {
    case kOutputResult: {
        bool typesetting = (s->prettyprint == 2 || s->prettyprint == 3) && !(doc && doc->redirectFile);
        paragraph = std::make_unique<ParagraphElement>(
            typesetting ? ParagraphElement::STYLE_KELVO_OUTPUT : ParagraphElement::STYLE_TEXT_OUTPUT, nullptr);
        if (!insertResult(paragraph.get(), dag, typesetting, buffer)) return true;   // NULL typeset: nothing
        break;
    }
    case kOutputWarning:
    case kOutputIncomplete:
        paragraph = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_WARNING, nullptr);
        buffer.append("Warning, ");
        if (kind == kOutputWarning)
            print_expression(message(dag), sink_append_kstring, sink_ignore_error, 0, PRINT_RAW, &buffer);
        else
            print_sequence(message(dag), "", sink_append_kstring, sink_ignore_error, 0, PRINT_TOP_UNQUOTED, &buffer);
        paragraph->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
        break;
    case kOutputError:
        paragraph = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_ERROR, nullptr);
        print_sequence(message(dag), "", sink_append_kstring, sink_ignore_error, 0, PRINT_TOP_UNQUOTED, &buffer);
        paragraph->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
        break;
    case kOutputDiagnostic:
    case kOutputText:
        paragraph = std::make_unique<ParagraphElement>(
            kind == kOutputText ? ParagraphElement::STYLE_LINE_PRINTED : ParagraphElement::STYLE_DIAGNOSTIC, nullptr);
        print_sequence(dag, "", sink_append_kstring, sink_ignore_error, 0, PRINT_TOP_UNQUOTED, &buffer);
        paragraph->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
        break;
    case kOutputPlot:
    case kOutputPlot3D: {
        inlineLastPlot = nullptr;
        PlotByteWriter writer = std::strcmp(s->plotoutput, "terminal") == 0 ? plotChar : nullptr;
        int ok = 0;
        try {
            ErrorGuard guard;
            ok = plot_to_device(dag, writer, plotError, 0, s, kind == kOutputPlot ? 2 : 3, &buffer);
        } catch (const ErrorJump&) {
            if (executionGroupHooks.interruptCommand) executionGroupHooks.interruptCommand();
            reportOutOfMemory("plot");
            ok = 0;
        }
        InlinePlotElement* plot = inlineLastPlot;
        inlineLastPlot = nullptr;
        if (!ok) {
            delete plot;
            auto* error = new ParagraphElement(ParagraphElement::STYLE_ERROR, nullptr);
            error->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
            appendOutput(error, true);
            return true;
        }
        if (!plot && buffer.length() == 0) return true;
        paragraph = std::make_unique<ParagraphElement>(
            plot ? ParagraphElement::STYLE_KELVO_PLOT : ParagraphElement::STYLE_TEXT_OUTPUT, nullptr);
        if (plot) {
            scroll = false;
            if (!plotSizes.empty()) {
                PlotSize size = plotSizes.front();
                plotSizes.pop_front();
                plot->setPlotSize(size.width, size.height, size.height);
            }
            paragraph->insertChild(plot, nullptr, kInsertAfter);
        } else {
            paragraph->insertChild(new TextElement(-1, buffer.text()), nullptr, kInsertAfter);
        }
        break;
    }
    case kOutputSmartPlot2D:
    case kOutputSmartPlot3D: {
        if (!doc || !doc->evaluator()) return false;   // a document without a kernel shows none
        paragraph = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_KELVO_PLOT, nullptr);
        Element* region = kind == kOutputSmartPlot2D ? static_cast<Element*>(new PlotRegion2D(dag, doc))
                                                     : static_cast<Element*>(new PlotRegion3D(dag, doc));
        paragraph->insertChild(region, nullptr, kInsertAfter);
        break;
    }
    default:
        return false;
    }
    ParagraphElement* placed = paragraph.release();
    if (placed->parent() != this) appendOutput(placed, scroll);
    if (doc) doc->placeChildWindows();
    return true;
}

void ExecutionGroup::appendOutput(Element* element, bool scroll) {
    if (!element) return;
    Element* given = element;
    int kind = element->elementKind();
    if (kind != KIND_PARAGRAPH && kind != 25) {
        auto* wrapper = new ParagraphElement(ParagraphElement::STYLE_NORMAL, nullptr);
        wrapper->insertChild(element, nullptr, kInsertAfter);
        element = wrapper;
    }
    WorksheetDocument* doc = worksheet();
    if (doc && doc->redirectFile) {
        for (int i = 0, n = element->childCount(); i < n; ++i) {
            Element* child = element->childAt(i);
            if (auto* text = dynamic_cast<TextElement*>(child))
                std::fwrite(text->text(), 1, static_cast<std::size_t>(text->textLength()), doc->redirectFile);
            std::fputc('\n', doc->redirectFile);
        }
        destroyElement(element);
        return;
    }
    element->setOutput(true);
    if (!insertChild(element, nullptr, kInsertAfter)) {
        destroyElement(element);
        return;
    }
    if (doc)
        if (ViewCaret* caret = doc->activeCaret()) {
            caret->setPosition(given, 0);
            caret->scrollIntoView(scroll);
        }
}

// ---- moving on -------------------------------------------------------------------------------

void ExecutionGroup::advanceToNextInput() {
    WorksheetDocument* doc = worksheet();
    bool waiting = doc && doc->waitingForReadline;
    if (!waiting && pendingRecord && pendingRecord->pendingCount != 0 && !(doc && doc->interrupted)) return;
    ExecutionGroup* from = this;
    Element* target = nullptr;
    if (!(doc && doc->insertMode)) {
        auto* answer = doc ? dynamic_cast<ExecutionGroup*>(doc->answerGroup) : nullptr;
        if (answer) {
            target = answer->nextInputRegion();
            from = answer;
            doc->answerGroup = nullptr;
        } else {
            target = nextInputRegion();
        }
    }
    if (target) {
        ParagraphElement* paragraph = nullptr;
        if (target->isInline()) paragraph = dynamic_cast<ParagraphElement*>(target->parent());
        else paragraph = dynamic_cast<ParagraphElement*>(target);
        if (!paragraph) target = nullptr;
        if (target) {
            const char* prompt = settings()->prompt;
            if (std::strcmp(prompt, "DBG> ") != 0) {
                if (paragraph->prompt()) paragraph->setPrompt(prompt);
            } else if (!paragraph->prompt() || std::strcmp(paragraph->prompt(), "DBG> ") != 0) {
                target = nullptr;
            }
        }
        if (target && waiting && target->elementKind() == KIND_EXPRESSION_EDIT)
            if (auto* edit = dynamic_cast<ExpressionEditElement*>(target))
                if (InputTextElement* converted = edit->convertToInput()) target = converted;
    }
    if (!target) {
        auto* group = new ExecutionGroup(WithInput{});
        Element* parent = from->parent();
        if (!parent || !parent->insertChild(group, from, kInsertAfter)) {
            delete group;
            return;
        }
        Element* first = group->firstChild();
        target = first ? first->firstChild() : nullptr;
    }
    if (doc && target)
        if (ViewCaret* caret = doc->activeCaret()) caret->setPosition(target, 0);
}

// ---- clearing --------------------------------------------------------------------------------

void ExecutionGroup::clearOutputs() {
    WorksheetDocument* doc = worksheet();
    if (doc) doc->holdLayout(false);
    // The display ratio of the active worksheet window (view units per pixel); unscaled without
    // a window or with a zero term.
    int numerator = 1;
    int denominator = 1;
    if (doc)
        if (ElementWindow* window = doc->activeWorksheetWindow())
            if (DocumentView* view = window->view())
                {
                    // The view keeps both terms positive.
                    numerator = view->secondScaleDenominator();
                    denominator = view->secondScaleNumerator();
                }
    ElementOperationScope scope;
    int i = 0;
    while (i < childCount()) {
        Element* child = childAt(i);
        bool isOutput = child->isOutput();
        if (isOutput && child->elementKind() == KIND_PARAGRAPH) {
            for (int k = 0, n = child->childCount(); k < n; ++k)
                if (Element* c = child->childAt(k); c && c->isActiveInput()) isOutput = false;
        }
        if (!isOutput) {
            ++i;
            continue;
        }
        for (int k = 0, n = child->childCount(); k < n; ++k) {
            Element* c = child->childAt(k);
            int kind = c ? c->elementKind() : 0;
            if (kind != 16 && kind != 20 && kind != 21) continue;
            if (auto* plot = dynamic_cast<PlotElementSize*>(c))
                plotSizes.push_back({plot->plotWidth() * numerator / denominator,
                                     plot->plotHeight() * numerator / denominator});
        }
        if (child->elementKind() == 25) {
            while (child->childCount() > 0 && child->removeChildAt(0)) {}
            ++i;
            continue;
        }
        // Taken out by index: the group stays even when this was its last child.
        if (removeChildAt(i)) destroyElement(child);
        else ++i;
    }
    if (doc) {
        doc->holdLayout(true);
        if (ElementWindow* window = doc->activeWorksheetWindow()) window->update();
    }
}

// ---- execution -------------------------------------------------------------------------------

void ExecutionGroup::execute(bool force) {
    KString text;
    inputText(text);
    WorksheetDocument* doc = worksheet();
    InterfaceSettings* s = settings();
    bool redirect = doc && doc->redirectFile;
    bool echo = (s->quiet == 0 && s->echo >= 4) || (s->echo == 1 && redirect);
    if (echo) {
        if (redirect) {
            std::fputs(s->prompt, doc->redirectFile);
            std::fwrite(text.text(), 1, static_cast<std::size_t>(text.length()), doc->redirectFile);
        } else {
            auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_TEXT_OUTPUT, nullptr);
            paragraph->insertChild(new TextElement(-1, text.text()), nullptr, kInsertAfter);
            appendOutput(paragraph, true);
        }
    }
    if ((text.length() == 0 && !force) || busy || !doc) return;
    sweepDetached(doc);
    busy = 1;
    GroupSink* groupSink = static_cast<GroupSink*>(sink());
    groupSink->owner = doc;
    groupSink->held = true;
    bool queued = doc->executeInput(groupSink, text);
    // Refused (low memory): nothing was queued, so nothing will clear busy later.
    if (!queued && sink_.get() == groupSink) {
        busy = 0;
        groupSink->held = false;
    }
}

void ExecutionGroup::inputText(KString& text) {
    WorksheetDocument* doc = worksheet();
    for (int i = 0, n = childCount(); i < n; ++i) {
        Element* child = childAt(i);
        if (!child) continue;
        KString scratch;
        child->collectInputText(scratch);
        int start = 0;
        while (start < scratch.length() && static_cast<unsigned char>(scratch.text()[start]) < '!') ++start;
        const char* rest = scratch.text() + start;
        bool helpQuery = rest[0] == '?' && doc && doc->activeWorksheetWindow() &&
                         (!doc->waitingForReadline || doc->readlineHelpQueries);
        if (helpQuery) {
            // The query without the line end that each input's text carries.
            std::string query(rest, std::size_t(scratch.length() - start));
            while (!query.empty() && (query.back() == '\n' || query.back() == '\r')) query.pop_back();
            rest = query.c_str();
            const char* section = nullptr;
            const char* topic = executionGroupHooks.normaliseHelpQuery
                                    ? executionGroupHooks.normaliseHelpQuery(rest, &section)
                                    : rest + std::strspn(rest, "?");
            if (executionGroupHooks.showHelpTopic && topic)
                executionGroupHooks.showHelpTopic(topic, false, true, section, nullptr, nullptr);
            for (int k = 0; k < scratch.length(); ++k) text.appendChar(' ');
        } else {
            text.appendN(rest, scratch.length() - start);
        }
    }
}

bool ExecutionGroup::inputIsComplete() {
    KString text;
    inputText(text);
    int offset = 0;
    while (offset < text.length()) {
        int consumed = 0;
        bool premature = false;
        Dag statement = parse_text_full(text.text() + offset, nullptr, nullptr, &consumed, &premature, nullptr,
                                        nullptr, nullptr, true);
        if (!statement) {
            if (premature) return false;
            pendingRecord = nullptr;
        }
        if (consumed <= 0) break;   // nothing taken: the rest cannot be split further
        offset += consumed;
    }
    return true;
}

void ExecutionGroup::answerReadline(WorksheetDocument* doc) {
    if (!doc) return;
    KString text;
    inputText(text);
    doc->readlineAnswer.appendString(text);
    doc->waitingForReadline = false;
    doc->answerGroup = this;
}

// ---- commands ------------------------------------------------------------------------------

bool ExecutionGroup::command(int code, const char* text, std::intptr_t argument) {
    WorksheetDocument* doc = worksheet();
    ViewCaret* caret = doc ? doc->activeCaret() : nullptr;
    Element* caretElement = caret ? caret->element() : nullptr;
    switch (code) {
    case 0:   // Enter
        if (caretElement == this && mark == 0) {
            auto* group = new ExecutionGroup(WithInput{});
            if (!insertSibling(group, kInsertBefore)) {
                delete group;
                return true;
            }
            if (caret && group->firstChild() && group->firstChild()->firstChild())
                caret->setPosition(group->firstChild()->firstChild(), 0);
            return true;
        }
        if (doc && doc->waitingForReadline) {
            if (doc->replaceOutput) clearOutputs();
            answerReadline(doc);
        } else if (doc && doc->hasIdleSession()) {
            execute(true);
        }
        return true;
    case 11:   // Delete
        if (mark == 0) {
            if (caretElement == this && parent()) {
                ElementOperationScope scope;
                if (doc) doc->holdLayout(false);
                Element* p = parent();
                moveChildrenTo(0, childCount(), p, this, kInsertAfter);
                p->removeChild(this);
                if (doc) doc->holdLayout(true);
                return true;
            }
            return false;
        }
        if (mark != 1) return false;
        [[fallthrough]];
    case 15:   // Delete Paragraph
        if (caret) caret->holdAsPoint();
        if (Element* p = parent()) p->removeChild(this);
        return true;
    case 36:   // Join Groups
        joinWithSibling(2);
        return true;
    case 37:   // Split Group
        if (caret) splitAtCaretUpTo(*caret, 0);
        return true;
    default:
        return ContainerElement::command(code, text, argument);
    }
}

Element* ExecutionGroup::splitAtIndex(int index) {
    if (index <= 0 || index >= childCount() || !parent()) return this;
    ElementDocument* doc = document();
    if (doc) doc->holdLayout();
    auto* second = new ExecutionGroup();
    moveChildrenTo(index, childCount() - index, second, nullptr, kInsertAfter);
    if (!parent()->insertChild(second, this, kInsertAfter)) {
        second->moveChildrenTo(0, second->childCount(), this, nullptr, kInsertAfter);
        delete second;
        if (doc) doc->releaseLayout();
        return this;
    }
    markNeedsLayout();
    second->markNeedsLayout();
    if (doc) doc->releaseLayout();
    return second;
}

// ---- walks ---------------------------------------------------------------------------------

void ExecutionGroup::executeGroup(WalkControl& control) {
    WorksheetDocument* doc = worksheet();
    if (doc && doc->interrupted) {
        doc->interrupted = false;
        control.requestStop(STOP_WALK);
        return;
    }
    control.requestStop(STOP_CHILDREN);
    advanceOnEnd = 0;
    execute(false);
}

void ExecutionGroup::removeOutput(WalkControl& control) {
    control.requestStop(STOP_CHILDREN);
    clearOutputs();
}

void ExecutionGroup::collectGroups(WalkControl& control) {
    control.requestStop(STOP_CHILDREN);
    GroupListRecord* list = control.groupList;
    if (!list) return;
    if (!list->first) list->first = this;
    nextInList = nullptr;
    if (list->chain) {
        if (auto* last = dynamic_cast<ExecutionGroup*>(list->last); last && last != this) last->nextInList = this;
        list->last = this;
    }
}

// ---- LaTeX ---------------------------------------------------------------------------------

void ExecutionGroup::exportLatexElement(WalkControl& control) {
    auto* state = static_cast<LatexExportState*>(control.context);
    if (!state || !state->writer) return;
    if (control.pass() == PASS_AFTER) {
        state->writer->startLine("\\end{kelvogroup}\n");
        state->inGroup = false;
    } else {
        state->writer->startLine("\\begin{kelvogroup}\n");
        state->inGroup = true;
        state->secondFlag = false;
    }
}

// ---- records -------------------------------------------------------------------------------

bool readExchgRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    (void)parent;
    out = nullptr;
    std::unique_ptr<ExecutionGroup> group;
    int records = 0;
    try {
        ErrorGuard guard;
        group = std::make_unique<ExecutionGroup>();
        for (;;) {
            Element* element = nullptr;
            if (!worksheetTagTable.readNewRep(reader, element, group.get(), false, nullptr)) break;
            ++records;
            if (!element) continue;
            int kind = element->elementKind();
            if (kind == KIND_SECTION) {
                if (!group->insertChild(element, nullptr, kInsertAfter)) delete element;
            } else if (kind == KIND_PARAGRAPH) {
                Element* first = element->firstChild();
                if (first && first->elementKind() == KIND_MATH) group->appendOutput(element, true);
                else if (!group->insertChild(element, nullptr, kInsertAfter)) delete element;
            } else {
                delete element;
            }
        }
    } catch (const ErrorJump&) {
        reader.skipRecord();
        return true;
    }
    if (records == 0 || group->childCount() == 0) return true;
    out = group.release();
    return true;
}

bool readChildRecords(KWorksheetReader& reader, Element*& out, Element* parent) {
    out = nullptr;
    if (!parent) {
        reader.skipRecord();
        return true;
    }
    int dropped = 0;
    reader.readInt(dropped);
    reader.readInt(dropped);
    reader.readInt(dropped);
    try {
        ErrorGuard guard;
        for (;;) {
            Element* element = nullptr;
            if (!worksheetTagTable.readNewRep(reader, element, parent, false, nullptr)) break;
            if (!element) continue;
            bool needsParagraph = false;
            if (!parent->acceptsChild(element, needsParagraph) || needsParagraph ||
                !parent->insertChild(element, nullptr, kInsertAfter))
                delete element;
        }
    } catch (const ErrorJump&) {
        reader.skipRecord();
    }
    return true;
}

void registerExecutionGroupReaders() {
    worksheetTagTable.registerReader("EXCHG", readExchgRecord);
    ParagraphElement::makeExecutionGroup = [](Element* first) -> Element* { return new ExecutionGroup(first); };
}
