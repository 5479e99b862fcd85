// TextElement: construction, style access, the "TEXT" record, the exports, search, counts,
// words, marks and the undo recording of changes.
#include "document/elements/TextElement.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "document/edit/Document.h"
#include "document/edit/EditBracket.h"
#include "document/edit/EditRecord.h"
#include "document/elements/LatexWalk.h"
#include "document/elements/ParagraphElement.h"
#include "document/export/HtmlExporter.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/ElementPosition.h"
#include "help/hwords.h"
#include "platform/os/mbtext.h"
#include "platform/os/sysprobe.h"

namespace {

constexpr int CONTEXT_WORD_LIMIT = 32;   // characters of a context-help word

StyleSet* styleSetOf(Element* element) {
    auto* doc = dynamic_cast<Document*>(element->document());
    return doc ? doc->styleSet() : nullptr;
}

int paragraphStyleOf(const Element* element) {
    auto* p = dynamic_cast<const ParagraphElement*>(element->parent());
    return p ? p->styleIndex : 0;
}

bool isWordByte(unsigned char c) { return std::isalnum(c) || c >= 128; }

// The word (or run of other characters) at the offset, at most CONTEXT_WORD_LIMIT characters:
// the context-help word until the help system's own scanner takes over.
void wordAtOffset(const char* text, int length, int offset, KString& out) {
    if (length <= 0) return;
    offset = std::clamp(offset, 0, length - 1);
    bool word = isWordByte(static_cast<unsigned char>(text[offset]));
    int start = offset, end = offset;
    while (start > 0 && isWordByte(static_cast<unsigned char>(text[start - 1])) == word) --start;
    while (end < length && isWordByte(static_cast<unsigned char>(text[end])) == word) ++end;
    int n = 0, at = start;
    while (at < end && n < CONTEXT_WORD_LIMIT) {
        at = std::min(end, mb_next(text, at));
        ++n;
    }
    out.appendN(text + start, at - start);
}

int mappedCharStyle(int index) { return worksheetTagTable.mapCharStyle(index); }

bool fitsStyleIndex(long index) { return index >= -1 && index < StyleSet::INDEX_LIMIT; }

bool textOfRun(const Element* element, std::string& out) {
    auto* run = dynamic_cast<const TextElement*>(element);
    if (!run) return false;
    out.assign(run->text(), std::size_t(run->textLength()));
    return true;
}

}  // namespace

TextElement::TextElement(int charStyle, const char* text, int length)
    : text_(text, length), charStyle_(fitsStyleIndex(charStyle) ? std::int16_t(charStyle) : std::int16_t(-1)) {}

TextElement::TextElement(const TextElement& other)
    : StyledInlineElement(other), text_(other.text_), charStyle_(other.charStyle_) {}

// ---- style -----------------------------------------------------------------------------------

const CharStyle* TextElement::characterStyle() {
    StyleSet* set = styleSetOf(this);
    return set ? &set->effectiveCharStyle(charStyle_, paragraphStyleOf(this), -1) : nullptr;
}

TextStyleFacts TextElement::styleFacts() {
    TextStyleFacts facts;
    if (const CharStyle* s = characterStyle()) {
        facts.readOnly = s->readOnly == 1;
        facts.lineBreak = s->lineBreak == 0 ? 1 : s->lineBreak;
        facts.doubleByte = s->doubleByteFont && sys_is_japanese();
    }
    return facts;
}

// ---- changes ---------------------------------------------------------------------------------

void TextElement::recordChange(const std::function<void()>& change) {
    EditBracket bracket(document());
    bool recording = bracket.isRecording();
    if (recording) {
        bracket.open();
        bracket.setUndoRecord(new ModifyRecord(document()));
        bracket.addUndoElement(this);
    }
    change();
    clampMarks();
    if (recording) {
        bracket.setRedoRecord(new ModifyRecord(document()));
        bracket.addRedoElement(this);
    }
}

void TextElement::clampMarks() {
    int n = text_.length();
    markStart_ = std::clamp(markStart_, 0, n);
    markEnd_ = std::clamp(markEnd_, markStart_, n);
    text_.alignToChar(markStart_, true);
    text_.alignToChar(markEnd_, true);
}

int TextElement::aligned(int offset, bool toStart) const {
    offset = std::clamp(offset, 0, text_.length());
    text_.alignToChar(offset, toStart);
    return offset;
}

void TextElement::setMarkRange(int start, int end) {
    start = aligned(start, true);
    end = aligned(end, true);
    if (start > end) std::swap(start, end);
    markStart_ = start;
    markEnd_ = end;
    if (start == end) mark = 0;
    else mark = (start == 0 && end == text_.length()) ? 1 : 2;
}

void TextElement::insertTextAt(const char* text, int offset) {
    if (!text || !*text) return;
    offset = aligned(offset, true);
    recordChange([&] { text_.insert(offset, text); });
    ElementExtent ignored;
    layout(ignored);
}

// ---- the "TEXT" record -------------------------------------------------------------------------

const char* TextElement::walkedText(const WalkControl& control, int& length) {
    clampMarks();
    if ((control.flags & WALK_MARKED_ONLY) && mark == 2) {
        length = markEnd_ - markStart_;
        return text_.text() + markStart_;
    }
    length = text_.length();
    return text_.text();
}

void TextElement::writeTextRecord(WalkControl& control, std::initializer_list<int> leading) {
    int length = 0;
    const char* bytes = walkedText(control, length);
    writeRecordHead(control);
    for (int value : leading) control.writer->writeInt(value);
    control.writer->writeInt(charStyle_);
    control.writer->writeInt(length);
    control.writer->writeQuoted(bytes, length);
    writeRecordTail(control);
}

void TextElement::writeElement(WalkControl& control) {
    if (control.pass() == PASS_AFTER || !control.writer) return;
    writeTextRecord(control, {});
}

bool readTextRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    (void)parent;
    out = nullptr;
    long style = -1;
    int unusedLength = 0;
    std::string text;
    reader.readLong(style);
    reader.readInt(unusedLength);
    reader.readStringDefault(text);
    if (reader.majorVersion >= 2) {
        // An index beyond every map stays unmapped; one that does not fit 16 bits names no
        // style.  No map grows on lookup, so a damaged index costs nothing.
        if (fitsStyleIndex(style) && style > 255) style = mappedCharStyle(int(style));
        if (!fitsStyleIndex(style)) style = -1;
        if (StyleSet* set = worksheetTagTable.styleSet; set && style >= 0 && !set->charStyle(int(style)))
            style = -1;
    } else if (!fitsStyleIndex(style)) {
        style = -1;
    }
    auto run = std::make_unique<TextElement>(int(style), text.c_str(), int(std::min<std::size_t>(text.size(), INT_MAX)));
    skipFormat20Trailer(reader);
    reader.skipRecord();
    out = run.release();
    return true;
}

void skipFormat20Trailer(KWorksheetReader& reader) {
    if (reader.majorVersion != 2 || reader.minorVersion != 0 || reader.atRecordEnd()) return;
    int trailing = 0;
    reader.readInt(trailing);
    if (trailing == 2) {
        int dropped = 0;
        reader.readInt(dropped);
        reader.readInt(dropped);
    }
}

void registerTextReaders() {
    worksheetTagTable.registerReader("TEXT", readTextRecord);
    textOfElement = &textOfRun;
}

// ---- exports -----------------------------------------------------------------------------------

void TextElement::exportText(WalkControl& control) {
    KExportWriter* writer = control.exportWriter;
    if (!writer || control.pass() == PASS_AFTER) return;
    writer->emitPendingPrefix(false);
    int length = 0;
    const char* bytes = walkedText(control, length);
    writer->writeChars(bytes, std::size_t(length));
}

void TextElement::exportLatexElement(WalkControl& control) {
    KLatexExportWriter* writer = latexWriterOf(control);
    if (!writer || control.pass() == PASS_AFTER) return;
    StyleSet* set = styleSetOf(this);
    const CharStyle* own = set ? set->charStyle(charStyle_) : nullptr;
    std::string text(text_.text(), std::size_t(text_.length()));
    auto closeFaces = [&] {
        for (int group = 0; group <= 4; ++group) writer->setFontStyle(group, false);
    };
    if (own && own->name && *own->name == "LaTeX") {
        closeFaces();
        writer->writeString(text);
        return;
    }
    bool named = own && own->name.has_value();
    if (!own || named) {
        closeFaces();
        if (named) writer->setFontStyle(5, true, *own->name);
    } else {
        Element* p = parent();
        Element* section = p ? p->parent() : nullptr;
        bool heading = section && section->elementKind() == KIND_SECTION && section->firstChild() == p &&
                       section->parent();
        if (!heading) {
            const int attributes[3] = {own->italic, own->bold, own->underline};
            for (int group = 0; group < 3; ++group) {
                if (attributes[group] == 1) writer->setFontStyle(group, true);
                else if (attributes[group] == 2) writer->setFontStyle(group, false);
            }
            if (own->sizeMode == 1 && set) {
                const CharStyle& para = set->resolvedParaStyle(paragraphStyleOf(this)).charPart;
                if (own->size > para.size) writer->setFontStyle(3, true);
                else if (own->size < para.size) writer->setFontStyle(4, true);
            }
        }
    }
    if (paragraphStyleOf(this) == ParagraphElement::STYLE_DIAGNOSTIC) writer->writeString(text);
    else writer->writeEscapedText(text);
    if (named) writer->setFontStyle(5, false);
}

void TextElement::exportHtmlElement(WalkControl& control) {
    HtmlExporter* exporter = control.htmlExporter;
    if (!exporter || control.pass() == PASS_AFTER || text_.length() == 0) return;
    const CharStyle* style = characterStyle();
    exporter->beginCharStyle(style);
    exporter->writeText(text_.text(), std::size_t(text_.length()));
    exporter->endCharStyle(style);
}

// ---- walks ---------------------------------------------------------------------------------------

void TextElement::markUsedStyles(WalkControl& control) {
    if (control.styleSet && charStyle_ >= 0) control.styleSet->markCharStyleChainUsed(charStyle_);
}

void TextElement::collectWords(WalkControl& control) {
    if (control.wordScanner) wordscanner_add_text(control.wordScanner, text_.text());
}

void TextElement::findText(WalkControl& control) {
    TextSearch* search = control.search;
    bool isStart = control.searchStart == this;
    if (search && search->pattern && *search->pattern && !(search->flags & TextSearch::FOUND)) {
        if (search->backward && control.passedStart) {
            // Everything before the start has been seen: the last match remembered stands.
            control.requestStop(STOP_WALK);
        } else {
            const char* base = text_.text();
            // Every match, overlapping ones included: the next search starts one byte after the
            // start of the last match.
            for (const char* at = std::strstr(base, search->pattern); at; at = std::strstr(at + 1, search->pattern)) {
                int offset = int(at - base);
                if (search->backward) {
                    if (isStart && offset >= search->startOffset) break;
                    search->foundElement = this;
                    search->foundOffset = offset;
                } else if (control.passedStart || (isStart && offset > search->startOffset)) {
                    control.passedStart = true;
                    search->foundElement = this;
                    search->foundOffset = offset;
                    search->flags |= TextSearch::FOUND;
                    control.requestStop(STOP_WALK);
                    break;
                }
            }
            if (search->backward && isStart) {
                if (search->foundElement) search->flags |= TextSearch::FOUND;
                control.requestStop(STOP_WALK);
            }
        }
    }
    Element::findText(control);
}

void TextElement::countCharacters(WalkControl& control) {
    CharacterCounts* counts = control.characterCounts;
    if (!counts) return;
    clampMarks();
    int from = 0, to = text_.length();
    if ((control.flags & WALK_MARKED_ONLY) && mark == 2) from = markStart_, to = markEnd_;
    for (int i = from; i < to; ++i) ++(*counts)[static_cast<unsigned char>(text_.text()[i])];
}

void TextElement::replaceStyleIndex(WalkControl& control) {
    const StyleIndexChange* change = control.styleChange;
    if (!change || change->kind != 1 || change->oldIndex != charStyle_) return;
    int newIndex = fitsStyleIndex(change->newIndex) ? change->newIndex : -1;
    recordChange([&] { charStyle_ = std::int16_t(newIndex); });
    ElementExtent ignored;
    layout(ignored);
}

void TextElement::remapStyleIndex(WalkControl& control) {
    (void)control;
    if (charStyle_ <= 255) return;
    int mapped = mappedCharStyle(charStyle_);
    charStyle_ = fitsStyleIndex(mapped) ? std::int16_t(mapped) : std::int16_t(-1);
}

// ---- positions and marks ---------------------------------------------------------------------------

bool TextElement::placePositionAtEdge(ElementPosition& position, bool atStart) {
    clampMarks();
    int offset = mark == 1 ? (atStart ? 0 : text_.length()) : (atStart ? markStart_ : markEnd_);
    position.setPosition(this, offset);
    return true;
}

bool TextElement::isPositionSelected(const ElementPosition& position) const {
    if (position.heldElement() != this) return false;
    if (mark == 1) return true;
    if (mark != 2) return false;
    return markStart_ <= position.offset() && position.offset() <= markEnd_;
}

void TextElement::helpWordAt(KString& word, int offset) const {
    int at = aligned(offset, true);
    auto* self = const_cast<TextElement*>(this);
    if (self->styleFacts().doubleByte) {
        if (at < text_.length()) word.appendN(text_.text() + at, mb_char_length(text_.text(), at));
        return;
    }
    wordAtOffset(text_.text(), text_.length(), at, word);
}

bool TextElement::mouseMove(const ElementMouseEvent& event) {
    (void)event;
    if (ElementWindow* window = worksheetWindow()) window->showTextPointer();
    return true;
}
