// The math-input editor's history and commands (see MathEditSession.h).

#include "MathEditSession.h"

#include <cstring>
#include <new>

#include "repair.h"
#include "tovu/errors.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {

// ---- shared placeholders ----------------------------------------------------------------------------

const DagWord* g_missing = nullptr;
const DagWord* g_second = nullptr;
const DagWord* g_cursorMark = nullptr;

// Made on first use in an area that nothing resets, so they outlive every computation.
void make_placeholders() {
    if (g_missing && g_second && g_cursorMark) return;
    static StorageArea own;
    static bool ready = false;
    if (!ready) {
        storage_init(&own, 0, "e2dplh");
        ready = true;
    }
    auto make = [](const char* text) {
        std::size_t length = std::strlen(text);
        Dag d = dag_alloc(&own, length / sizeof(DagWord) + 4);
        d[0] = dag_header(DAG_NAME, length / sizeof(DagWord) + 4);
        dag_set_op(d, 2, dag_NULL);
        std::memcpy(dag_text(d), text, length + 1);
        return d;
    };
    if (!g_missing) g_missing = make("%?");
    if (!g_second) g_second = make("%??");
    if (!g_cursorMark) g_cursorMark = make("%c");
}

constexpr int kGrow = 32;

}  // namespace

void mathedit_set_placeholders(const DagWord* missing, const DagWord* second, const DagWord* cursorMark) {
    g_missing = missing;
    g_second = second;
    g_cursorMark = cursorMark;
}

const DagWord* mathedit_placeholder() {
    make_placeholders();
    return g_missing;
}

const DagWord* mathedit_cursor_mark() {
    make_placeholders();
    return g_cursorMark;
}

// ---- construction and history --------------------------------------------------------------------------

MathEditSession::MathEditSession(MathEditElement* element) : element_(element) { appendEntry(); }

MathEditSession::MathEditSession(MathEditElement* element, const MathEditSession& other, int n)
    : element_(element) {
    const EditSelection* from = other.entry(n < 0 ? other.currentIndex_ : n);
    if (!from) from = other.currentEntry();
    if (from && element_) element_->setExpression(from->expression);
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    auto* e = new EditSelection(holder ? holder->expression : nullptr, holder);
    if (from && from->cursor()) e->setCursor(node_cursor_copy(from->cursor()));
    store(0, e);
    entryCount_ = 1;
    currentIndex_ = 0;
    inCompound_ = other.inCompound_;
    changed_ = other.changed_;
    failed_ = other.failed_;
    message_ = other.message_;
}

MathEditSession::~MathEditSession() = default;

void MathEditSession::reset(DagHolder* holder) {
    entries_.clear();
    pendingEntry_.reset();
    entryCount_ = 0;
    currentIndex_ = 0;
    inCompound_ = false;
    store(0, newEntry(holder));
    entryCount_ = 1;
}

const EditSelection* MathEditSession::entry(int n) const {
    return n >= 0 && n < entryCount_ ? entries_[std::size_t(n)].get() : nullptr;
}

const EditSelection* MathEditSession::currentEntry() const { return current(); }

EditSelection* MathEditSession::current() const {
    if (inCompound_) return pendingEntry_.get();
    return currentIndex_ < entryCount_ ? entries_[std::size_t(currentIndex_)].get() : nullptr;
}

EditSelection* MathEditSession::newEntry(DagHolder* holder) const {
    if (!holder && element_) holder = element_->dagHolder();
    return new EditSelection(holder);
}

void MathEditSession::store(int index, EditSelection* entry) {
    if (std::size_t(index) >= entries_.size()) entries_.resize(std::size_t((index / kGrow + 1) * kGrow));
    entries_[std::size_t(index)].reset(entry);
}

void MathEditSession::appendEntry() {
    store(entryCount_, newEntry());
    ++entryCount_;
}

void MathEditSession::commitEntry(EditSelection* entry, bool goTo) {
    if (inCompound_) {
        pendingEntry_.reset(entry);
        return;
    }
    truncateHistory(currentIndex_ + 1);
    store(entryCount_, entry);
    ++entryCount_;
    if (goTo) gotoEntry(currentIndex_ + 1);
}

void MathEditSession::truncateHistory(int start) {
    for (int i = start; i < entryCount_; ++i) entries_[std::size_t(i)].reset();
    if (start < entryCount_) entryCount_ = start;
    if (currentIndex_ > start) currentIndex_ = start;
    clearMessage();
}

void MathEditSession::gotoEntry(int n) {
    const EditSelection* e = entry(n);
    if (!e || !element_) return;
    if (!element_->canShowVersionInPlace(n)) {
        element_->replaceByInputText(n);
        return;
    }
    currentIndex_ = n;
    if (DagHolder* holder = element_->dagHolder()) holder->expression = e->expression;
    element_->relayout();
    element_->dropLinePictures(1);
    showSelection();
    changed_ = true;
    element_->newExpression(e->expression);
}

void MathEditSession::beginCompound(bool keepSelection) {
    pendingEntry_.reset(newEntry());
    const EditSelection* shown = entry(currentIndex_);
    if (shown) pendingEntry_->expression = shown->expression;
    if (keepSelection && shown && shown->cursor()) pendingEntry_->setCursor(node_cursor_copy(shown->cursor()));
    inCompound_ = true;
}

void MathEditSession::endCompound() {
    inCompound_ = false;
    std::unique_ptr<EditSelection> pending = std::move(pendingEntry_);
    if (failed_ || !pending) return;
    commitEntry(pending.release(), true);
}

void MathEditSession::dropPending() {
    inCompound_ = false;
    pendingEntry_.reset();
}

void MathEditSession::clearMessage() {
    failed_ = false;
    message_.clear();
}

void MathEditSession::setMessage(const char* text) {
    failed_ = true;
    message_ = text ? text : "";
}

// ---- queries ----------------------------------------------------------------------------------------------

bool MathEditSession::hasSelection() const {
    const EditSelection* e = current();
    return e && e->cursor() && e->cursor()->selected;
}

bool MathEditSession::selectionIsPlaceholder() const {
    return hasSelection() && edit_selection_is_placeholder(current());
}

bool MathEditSession::wholeSelected() const { return hasSelection() && edit_whole_selected(current()); }

bool MathEditSession::selectionIsName() const {
    if (!hasSelection()) return false;
    const DagWord* x = edit_selected_expression(current());
    return x && dag_type(x) == DAG_NAME;
}

const DagWord* MathEditSession::selectedExpression() const {
    return hasSelection() ? edit_selected_expression(current()) : nullptr;
}

void MathEditSession::showSelection() {
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    TypesetContext* ctx = holder ? holder->current : nullptr;
    if (!ctx) return;
    const EditSelection* e = current();
    typeset_show_selection(ctx, e ? e->cursor() : nullptr);
}

void MathEditSession::setSelection(const TypesetPath* firstPath, const TypesetPath* lastPath) {
    EditSelection* e = current();
    if (!e) return;
    NodeCursor* c = e->resetCursor();
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    TypesetContext* ctx = holder ? holder->current : nullptr;
    if (ctx) typeset_select_range(ctx, firstPath, lastPath, c);
    c->selected = 1;
    if (ctx) ctx->selectionShown = true;
    if (c->path->count == 0 && c->first == 0 && c->last == -1 && e->expression) {
        c->first = 1;
        c->last = int(dag_length(e->expression)) - 1;
    }
}

void MathEditSession::selectCursor(const NodeCursor* cursor) {
    EditSelection* e = current();
    if (e && cursor) e->setCursor(node_cursor_copy(cursor));
}

bool MathEditSession::navigate(int code, int mode, const TypesetPath* path) {
    bool possible = false;
    if (code == 0 || code == 2) {
        DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
        TypesetContext* ctx = holder ? holder->current : nullptr;
        if (!ctx || !path) return false;
        TypesetPath* found = typeset_step(ctx, path, code);
        possible = found != nullptr;
        if (found && mode == 1) setSelection(found, found);
        typeset_path_free(ctx, found);
    } else if (code == 14 || code == 15) {
        const EditSelection* e = current();
        if (!e) return false;
        EditSelection hit(e->holder);
        possible = edit_find_name(e, &hit, "%?", code == 15);
        if (possible && mode == 1) selectCursor(hit.cursor());
    } else {
        return false;
    }
    if (possible && mode == 1) {
        showSelection();
        changed_ = true;
    }
    return possible;
}

// ---- commands ---------------------------------------------------------------------------------------------

bool MathEditSession::editor_command(int id, const EditorArgument& arg) {
    clearMessage();
    const int depth = storage_stack_top();
    try {
        ErrorGuard memoryGuard;
        TovuHandlerGuard guard;
        switch (id) {
        case EDIT_UNDO: undo(); break;
        case EDIT_REDO: redo(); break;
        case EDIT_REPLACE_TEXT:
        case EDIT_REPLACE_TEXT2: replaceSelectionText(arg.text); break;
        case EDIT_NOTHING: break;
        case EDIT_DELETE: deleteSelection(arg.flag); break;
        case EDIT_MOVE: moveSelection(arg.path); break;
        case EDIT_GLOBAL_REPLACE: globalReplaceText(arg.text); break;
        case EDIT_REPLACE_DAG: replaceSelection(arg.dag, true); break;
        case EDIT_TEMPLATE: insertTemplate(arg.text); break;
        default: setMessage("Unknown editor command"); break;
        }
    } catch (const TovuError& e) {
        setMessage(e.message.c_str());
    } catch (const ErrorJump&) {
        setMessage("out of memory");
    } catch (const std::bad_alloc&) {
        setMessage("out of memory");
    }
    // A refused command leaves no compound open and no area pushed.
    if (inCompound_) dropPending();
    while (storage_stack_top() > depth) storage_pop_area();
    return !failed_;
}

void MathEditSession::undo() {
    if (failed_) return;
    if (canUndo()) gotoEntry(currentIndex_ - 1);
    else setMessage("Nothing to undo");
}

void MathEditSession::redo() {
    if (failed_) return;
    if (canRedo()) gotoEntry(currentIndex_ + 1);
    else setMessage("Nothing to redo");
}

void MathEditSession::replaceSelectionText(const char* text) {
    if (failed_) return;
    if (!hasSelection()) {
        setMessage("no selection to replace");
        return;
    }
    const DagWord* x = parseText(text);
    if (!x) return;
    if (wholeSelected() && text && *text && element_)
        element_->setEndsWithColon(text[std::strlen(text) - 1] == ':');
    replaceSelection(x, false);
}

void MathEditSession::replaceSelection(const DagWord* expression, bool copy) {
    if (failed_) return;
    std::unique_ptr<EditSelection> e(newEntry());
    if (copy && expression) {
        expression = adoptExpression(expression);
        if (!expression) {
            setMessage("unknown error");
            return;
        }
    }
    const char* message = nullptr;
    const EditSelection* source = current();
    if (source && edit_replace(source, e.get(), expression, &message)) {
        commitEntry(e.release(), true);
        return;
    }
    setMessage(message ? message : "unknown error");
}

void MathEditSession::globalReplaceText(const char* text) {
    if (failed_) return;
    if (!selectionIsName()) {
        setMessage("a name must be selected for global replacement");
        return;
    }
    const DagWord* x = parseText(text);
    if (!x) return;
    replaceName(x, nullptr);
}

void MathEditSession::replaceName(const DagWord* expression, const char* name) {
    if (failed_) return;
    std::string text;
    if (!name) {
        const DagWord* selected = selectedExpression();
        if (!selected || dag_type(selected) != DAG_NAME) {
            setMessage("global replace error");
            return;
        }
        text = dag_text(selected);
        name = text.c_str();
    }
    std::unique_ptr<EditSelection> e(newEntry());
    const char* message = nullptr;
    const EditSelection* source = current();
    if (source && edit_replace_name(source, e.get(), name, expression, &message)) {
        commitEntry(e.release(), true);
        return;
    }
    setMessage(message ? message : "global replace error");
}

void MathEditSession::insertExpression(const DagWord* expression, bool copy) {
    if (failed_) return;
    std::unique_ptr<EditSelection> e(newEntry());
    if (copy && expression) expression = adoptExpression(expression);
    const char* message = nullptr;
    const EditSelection* source = current();
    if (source && expression && edit_insert(source, e.get(), expression, &message)) {
        commitEntry(e.release(), true);
        return;
    }
    setMessage(message ? message : "unknown error");
}

void MathEditSession::deleteSelection(bool leavePlaceholder) {
    if (failed_) return;
    if (!hasSelection()) {
        setMessage("no selection to delete");
        return;
    }
    if (!selectionIsPlaceholder() || leavePlaceholder) replaceSelection(mathedit_placeholder(), false);
    else replaceSelection(nullptr, false);
}

void MathEditSession::moveSelection(const TypesetPath* path) {
    if (failed_ || wholeSelected()) return;
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    TypesetContext* ctx = holder ? holder->current : nullptr;
    const EditSelection* shown = current();
    if (!ctx || !path || !shown || !shown->cursor()) return;
    std::unique_ptr<NodeCursor, void (*)(NodeCursor*)> target(node_cursor_new(), node_cursor_free);
    typeset_selection_from_positions(ctx, path, path, target.get());
    std::unique_ptr<NodeCursor, void (*)(NodeCursor*)> source(node_cursor_copy(shown->cursor()), node_cursor_free);
    const DagWord* moved = edit_selected_expression(shown);
    if (!moved) return;
    bool inside = false;
    int order = cursor_compare(target.get(), source.get(), &inside);
    if (order == 0 || inside) return;
    target->selected = 1;
    beginCompound(false);
    if (order == -1) {
        selectCursor(source.get());
        deleteSelection(true);
        selectCursor(target.get());
        replaceSelection(moved, false);
    } else {
        selectCursor(target.get());
        replaceSelection(moved, false);
        selectCursor(source.get());
        deleteSelection(false);
    }
    endCompound();
}

bool MathEditSession::replaceNameIn(EditSelection* entry, const char* name, const DagWord* replacement) {
    EditSelection out(entry->holder);
    const char* message = nullptr;
    if (!edit_replace_name(entry, &out, name, replacement, &message)) {
        setMessage(message ? message : "global replace error");
        return false;
    }
    entry->expression = out.expression;
    return true;
}

void MathEditSession::insertTemplate(const char* text) {
    if (failed_) return;
    const DagWord* parsed = parseText(text);
    if (!parsed) return;
    const bool hadSelection = hasSelection();
    const DagWord* wrap = hadSelection && !selectionIsPlaceholder() ? selectedExpression() : nullptr;
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    if (!holder) return;
    // The template in a one-element sequence, so that the name search sees it as an operand.
    Dag seq;
    {
        StoragePush push(&holder->area);
        seq = dag_new1(DAG_EXPSEQ, parsed);
    }
    EditSelection tmpl(seq, holder);
    EditSelection found(holder);
    bool hasSlot = edit_find_name(&tmpl, &found, "%s", false);
    if (hasSlot) {
        if (!wrap) {
            if (!replaceNameIn(&tmpl, "%c", mathedit_placeholder())) return;
            wrap = mathedit_cursor_mark();
        }
        if (!replaceNameIn(&tmpl, "%s", wrap)) return;
    }
    const DagWord* result = dag_length(tmpl.expression) == 2 ? dag_op(tmpl.expression, 1) : tmpl.expression;
    beginCompound(true);
    if (hadSelection) replaceSelection(result, false);
    else insertExpression(result, false);
    EditSelection* e = current();
    if (!failed_ && e && e->cursor()) {
        NodeCursor* c = e->cursor();
        c->last = c->first;
        if (edit_selection_is_name(e, "%c")) {
            NodeCursor* at = node_cursor_copy(c);
            if (replaceNameIn(e, "%c", mathedit_placeholder())) e->setCursor(at);
            else node_cursor_free(at);
        } else {
            EditSelection hit(e->holder);
            if (edit_find_name(e, &hit, "%c", false)) {
                NodeCursor* at = node_cursor_copy(hit.cursor());
                if (replaceNameIn(e, "%c", mathedit_placeholder())) e->setCursor(at);
                else node_cursor_free(at);
            }
        }
        if (e->cursor()) e->cursor()->selected = 1;
    }
    endCompound();
}

const DagWord* MathEditSession::parseText(const char* text) {
    const char* input = text ? text : "";
    Dag parsed = parse_with_repair(input, nullptr, nullptr);
    const DagWord* result = nullptr;
    if (!parsed || (dag_type(parsed) == DAG_EXPSEQ && dag_length(parsed) == 1)) {
        std::string shown = input;
        if (shown.size() > 25) shown = shown.substr(0, 25) + " ...";
        std::string m = "Unable to convert \"" + shown + "\" to an expression";
        setMessage(m.c_str());
    } else {
        result = adoptExpression(denormalise_dag(parsed));
        if (!result) setMessage("unknown error");
    }
    // The parse's DAGs in the default area go with the next reset; one is safe only between
    // computations, with nothing but the default area on the stack.
    if (storage_stack_top() == 0 && element_ && !element_->worksheetComputing()) storage_reset();
    return result;
}

const DagWord* MathEditSession::adoptExpression(const DagWord* dag) {
    DagHolder* holder = element_ ? element_->dagHolder() : nullptr;
    if (!holder || !dag) return nullptr;
    // A temporary current area for whatever the copy allocates besides the copy itself; freed
    // on every way out.
    struct Temporary {
        StorageArea area;
        Temporary() { storage_init(&area, 0, "e2dtmp"); }
        ~Temporary() { storage_free(&area); }
    } temporary;
    StoragePush push(&temporary.area);
    return dag_copy_deep(dag, dag_alloc, &holder->area);
}
