// InputTextElement: the "KLVTEXT" record, the exports, the input a group collects, the update
// of old input, and the input's own commands (Enter, context menu, placeholders, templates).
#include "document/elements/InputTextElement.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "document/edit/Document.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/ExpressionEditElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/LatexWalk.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/CaretPosition.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ViewCaret.h"
#include "tovu/errors.h"
#include "tovu/storage.h"
#include "tovu/table.h"
#include "typeset/mathedit/repair.h"
#include "update/update.h"

namespace {

constexpr int UPDATE_MIN_CAPACITY = 4096;
constexpr int UPDATE_MESSAGE_LIMIT = 256;

bool fitsCharStyle(long index) { return index >= -1 && index < StyleSet::INDEX_LIMIT; }

// Runs an undo group of its own around a change (nested inside the window's group when one
// is open, so that it adds nothing then).
class UndoGroupScope {
public:
    UndoGroupScope(Element* element, const char* menuText) {
        auto* doc = dynamic_cast<Document*>(element->document());
        history_ = doc ? doc->undoHistory() : nullptr;
        caret_ = doc ? doc->activeCaret() : nullptr;
        if (history_) history_->beginGroup(menuText, caret_, false);
    }
    ~UndoGroupScope() {
        if (history_) history_->endUndoGroup(caret_);
    }
    UndoGroupScope(const UndoGroupScope&) = delete;
    UndoGroupScope& operator=(const UndoGroupScope&) = delete;

private:
    UndoHistory* history_;
    ViewCaret* caret_;
};

bool isPlaceholderText(const std::string& s) { return s == "%?" || s == "%??"; }

}  // namespace

InputTextElement::InputTextElement(int active, const char* text)
    : TextElement(active ? ACTIVE_STYLE : INERT_STYLE, text), active_(active ? 1 : 0) {}

InputTextElement::InputTextElement(const InputTextElement& other) : TextElement(other), active_(other.active_) {}

void InputTextElement::setText(const char* text) {
    text_.assign(text ? text : "");
    clampMarks();
}

// ---- the "KLVTEXT" record -------------------------------------------------------------------

void InputTextElement::writeElement(WalkControl& control) {
    if (control.pass() == PASS_AFTER || !control.writer) return;
    writeTextRecord(control, {active_});
}

bool readInputRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    (void)parent;
    out = nullptr;
    int active = 0;
    long style = 0;
    int unusedLength = 0;
    std::string text;
    reader.readInt(active);
    reader.readLong(style);
    reader.readInt(unusedLength);
    reader.readStringDefault(text);
    // An index that does not fit 16 bits names no style; a user index takes its entry in the
    // read's maps when it has one and otherwise keeps its number, known to the style set or not.
    if (!fitsCharStyle(style)) style = -1;
    else if (reader.majorVersion >= 2 && style > 255) style = worksheetTagTable.mapCharStyle(int(style));
    if (!fitsCharStyle(style)) style = -1;
    auto input = std::make_unique<InputTextElement>(active, nullptr);
    input->setText(text.c_str());
    input->setStyleIndex(int(style));
    input->mark = 0;
    skipFormat20Trailer(reader);
    reader.skipRecord();
    out = input.release();
    return true;
}

// ---- exports ------------------------------------------------------------------------------------

void InputTextElement::exportText(WalkControl& control) {
    KExportWriter* writer = control.exportWriter;
    if (!writer || control.pass() == PASS_AFTER) return;
    int length = 0;
    const char* bytes = walkedText(control, length);
    writer->writeChars(bytes, std::size_t(length));
}

void writeInputLatex(KLatexExportWriter& writer, bool active, const char* text, int length) {
    if (length <= 0) return;
    writer.beginMacro("kelvoinline", active ? "{active}{1d}" : "{inert}{1d}");
    bool raw = writer.rawText;
    writer.setRawText(true);
    writer.writeBraceEscaped(std::string(text, std::size_t(length)));
    writer.setRawText(raw);
    writer.endMacro();
    writer.writeString("{%\n}");
}

void InputTextElement::exportLatexElement(WalkControl& control) {
    KLatexExportWriter* writer = latexWriterOf(control);
    if (!writer || control.pass() == PASS_AFTER) return;
    writeInputLatex(*writer, active_ != 0, text_.text(), text_.length());
}

// ---- execution ----------------------------------------------------------------------------------

void InputTextElement::collectInputText(KString& text) {
    if (!active_) return;
    text.appendN(text_.text(), text_.length());
    text.appendChar('\n');
}

int InputTextElement::inputTextLength() const { return active_ ? text_.length() + 1 : 0; }

void InputTextElement::setCaretOffset(int offset) {
    ViewCaret* caret = activeCaret();
    if (!caret) return;
    if (offset < 1 || offset >= text_.length()) offset = text_.length();
    caret->setPosition(this, aligned(offset, true));
}

namespace {
// The update's error handler: the message (at most 256 characters) travels in the exception.
[[noreturn]] void keepUpdateMessage(const char* message) {
    char kept[UPDATE_MESSAGE_LIMIT + 1];
    std::snprintf(kept, sizeof kept, "%.*s", UPDATE_MESSAGE_LIMIT, message ? message : "");
    throw TovuError(kept);
}
void ignoreWarning(void*, std::int32_t, const char*) {}
}  // namespace

void InputTextElement::updateInputSyntax(WalkControl& control) {
    (void)control;
    updateMessage_.clear();
    long need = 2L * text_.length();
    if (need >= INT_MAX / 2) {
        updateMessage_ = "input too long to update";
        return;
    }
    int capacity = std::max(UPDATE_MIN_CAPACITY, int(need) + 1);
    std::vector<char> buffer(std::size_t(capacity), '\0');
    std::memcpy(buffer.data(), text_.text(), std::size_t(text_.length()));
    try {
        TovuHandlerGuard guard(keepUpdateMessage);
        update_source(buffer.data(), capacity, ignoreWarning, nullptr);
    } catch (const TovuError& e) {
        // A failed update may have rewritten part of the buffer: the input keeps its text.
        updateMessage_ = e.message;
        return;
    }
    buffer[std::size_t(capacity) - 1] = '\0';
    text_.assign(buffer.data());
    clampMarks();
}

// ---- commands -----------------------------------------------------------------------------------

int InputTextElement::caretOffset() const {
    ViewCaret* caret = const_cast<InputTextElement*>(this)->activeCaret();
    return caret && caret->heldElement() == this ? caret->offset() : -1;
}

bool InputTextElement::runGroup() {
    if (!active_) return false;
    Element* group = enclosingGroup();
    if (!group) {
        ParagraphElement* p = paragraph();
        group = p ? p->wrapInGroup() : nullptr;
        if (!group) return false;
    }
    return group->command(0, nullptr, 1);
}

bool InputTextElement::command(int code, const char* text, std::intptr_t argument) {
    switch (code) {
    case 0:
        return runGroup();
    case 9:
    case 10:
    case 11:
        return TextElement::command(code, text, argument);
    case 16:
        return runContextMenuEntry(int(argument));
    case 48:
        return argument == PALETTE_TEMPLATE && caretOffset() >= 0 && insertTemplate(text);
    default:
        return false;
    }
}

bool InputTextElement::runContextMenuEntry(int id) {
    switch (id) {
    case MENU_STANDARD_MATH:
        return toStandardMath();
    case MENU_KELVO_INPUT:
        return toggleActive();
    case MENU_REPAIR:
        return repairSyntax();
    default:
        return false;
    }
}

bool InputTextElement::toStandardMath() {
    Element* p = parent();
    if (!p) return true;
    auto* edit = new ExpressionEditElement(active_, nullptr);
    edit->setText(text_.text());
    if (!p->replaceChild(this, edit)) {
        delete edit;
        return true;
    }
    if (ViewCaret* caret = activeCaret(); caret && caret->heldElement() == this) caret->holdAsPoint();
    destroyElement(this);
    return true;
}

bool InputTextElement::toggleActive() {
    UndoGroupScope group(this, "Kelvo Input");
    recordChange([&] {
        active_ = active_ ? 0 : 1;
        charStyle_ = std::int16_t(active_ ? ACTIVE_STYLE : INERT_STYLE);
    });
    ElementExtent ignored;
    layout(ignored);
    return true;
}

bool InputTextElement::repairSyntax() {
    char* repaired = nullptr;
    parse_with_repair(text_.text(), &repaired, nullptr);
    bool changed = repaired != nullptr;
    if (changed) {
        UndoGroupScope group(this, "Repair");
        std::string text(repaired);
        recordChange([&] { text_.assign(text.c_str()); });
        buffer_free(repaired);
        ElementExtent ignored;
        layout(ignored);
    }
    storage_reset();
    if (changed) caretArrived();
    else if (ElementDocument* doc = document()) doc->beep();
    return true;
}

// ---- placeholders ---------------------------------------------------------------------------------

int InputTextElement::findPlaceholder(int from, bool forward) const {
    const char* t = text_.text();
    int n = text_.length();
    if (forward) {
        for (int i = std::max(0, from); i + 1 < n; ++i)
            if (t[i] == '%' && t[i + 1] == '?') return i;
        return -1;
    }
    for (int i = std::min(from, n - 2); i >= 0; --i)
        if (t[i] == '%' && t[i + 1] == '?') return i;
    return -1;
}

bool InputTextElement::jumpToPlaceholder(TextPosition& position, bool forward) {
    ViewCaret* caret = activeCaret();
    if (!caret || caret->heldElement() != this) return false;
    clampMarks();
    bool marked = mark != 0 && markEnd_ > markStart_;
    int at = aligned(position.offset(), true);
    int from = forward ? (marked ? markStart_ + 1 : at) : (marked ? markStart_ - 1 : at);
    int found = findPlaceholder(from, forward);
    if (found >= 0) {
        selectRange(found, found + 2);
        return true;
    }
    int edge = forward ? text_.length() : 0;
    if (at == edge && !marked) return false;
    selectRange(edge, edge);
    return true;
}

bool InputTextElement::movePosition(TextPosition& position, int code, Element* child, int index) {
    if (code == 14 || code == 15) return jumpToPlaceholder(position, code == 14);
    return TextElement::movePosition(position, code, child, index);
}

// ---- palette templates ------------------------------------------------------------------------------

bool InputTextElement::insertTemplate(const char* pattern) {
    if (!pattern) return false;
    clampMarks();
    bool wasEmpty = text_.length() == 0;
    bool marked = mark != 0 && markEnd_ > markStart_;
    int at = marked ? markStart_ : std::max(0, caretOffset());
    at = aligned(at, true);
    std::string markedText = marked ? std::string(text_.text() + markStart_, std::size_t(markEnd_ - markStart_)) : "";
    std::string form(pattern);
    std::size_t target = std::string::npos;
    std::size_t targetLength = 2;
    if (marked && !isPlaceholderText(markedText)) {
        if (std::size_t s = form.find("%s"); s != std::string::npos) form.replace(s, 2, markedText);
        target = form.find("%c");
    } else {
        for (std::size_t i = 0; i + 1 < form.size(); ++i) {
            if (form[i] == '%' && (form[i + 1] == 's' || form[i + 1] == 'c' || form[i + 1] == '?')) {
                target = i;
                break;
            }
        }
    }
    if (target == std::string::npos) {
        target = form.size();
        targetLength = 0;
    }
    // Every remaining mark becomes a placeholder (after the target was fixed: both have two
    // bytes, so positions stay).
    for (std::size_t i = 0; i + 1 < form.size(); ++i)
        if (form[i] == '%' && (form[i + 1] == 's' || form[i + 1] == 'c')) form[i + 1] = '?';
    int start = marked ? markStart_ : at;
    int end = marked ? markEnd_ : at;
    recordChange([&] {
        if (end > start) text_.eraseRange(start, end - 1);
        text_.insert(at, form.c_str());
        if (wasEmpty) text_.append(";");
    });
    int from = at + int(target);
    selectRange(from, from + int(targetLength));
    if (ViewCaret* caret = activeCaret(); caret && caret->heldElement() == this) caret->setPosition(this, markEnd_);
    ElementExtent ignored;
    layout(ignored);
    return true;
}

void InputTextElement::caretArrived() {
    if (ElementWindow* window = worksheetWindow()) window->showContextBar(INPUT_CONTEXT_BAR, this);
}

void InputTextElement::setTextFromField(const char* text) {
    setText(text);
    ElementExtent ignored;
    layout(ignored);
}

// ---- splitting ---------------------------------------------------------------------------------------

Element* InputTextElement::splitOff(int offset) {
    Element* p = parent();
    auto tail = std::make_unique<InputTextElement>(active_, text_.text() + offset);
    tail->setStyleIndex(charStyle_);
    InputTextElement* made = tail.get();
    if (!p || !p->insertChild(made, this, kInsertAfter)) return this;
    tail.release();
    if (offset < text_.length()) recordChange([&] { text_.eraseRange(offset, text_.length() - 1); });
    ElementExtent ignored;
    layout(ignored);
    return made;
}

Element* InputTextElement::splitAt(ElementPosition& position) {
    int o = aligned(position.offset(), true);
    if (o == 0) return this;
    if (o >= text_.length()) {
        Element* p = parent();
        return p ? p->nextChild(this) : nullptr;
    }
    return splitOff(o);
}

Element* InputTextElement::splitAtCaret(const SingleCaret& caret) {
    return splitOff(aligned(caret.offset(), true));
}
