// MathElement: the expression's private copy, its record, and the two-dimensional character
// text that stands in for typeset math on the screen.
#include "document/elements/MathElement.h"

#include <algorithm>
#include <climits>

#include "document/edit/Document.h"
#include "document/elements/LatexWalk.h"
#include "document/elements/ParagraphElement.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "tovu/errors.h"
#include "tovu/ifvars.h"
#include "tovu/print.h"
#include "typeset/devices/charcell.h"
#include "typeset/devices/latex.h"
#include "typeset/typeset.h"
#include "util/KString.h"
#include "util/messages.h"

void MathElement::HolderDeleter::operator()(DagHolder* holder) const { dag_holder_free(holder); }

MathElement::MathElement(const DagWord* expression, int value) : value_(value) { setExpression(expression); }

MathElement::MathElement(const MathElement& other)
    : InlineElement(other), kernelOutput(other.kernelOutput), value_(other.value_) {
    setExpression(other.expression());
}

MathElement::~MathElement() = default;

void MathElement::setExpression(const DagWord* expression) {
    holder_.reset(expression ? dag_holder_read(expression) : nullptr);
    text_.clear();
    // A copy that failed (memory, or nesting beyond the copier's depth) leaves the element
    // without an expression: it shows and writes nothing rather than pointing into storage
    // that the next kernel request frees.
    if (holder_) {
        try {
            text_ = print_to_text(holder_->expression);
        } catch (const TovuError&) {
            text_.clear();
        }
    }
    lines_.clear();
    renderedColumns_ = -1;
}

const DagWord* MathElement::expression() const { return holder_ ? holder_->expression : nullptr; }

void MathElement::expressionText(KString& out) const { out.appendN(text_.data(), static_cast<int>(text_.size())); }

// ---- two-dimensional text ---------------------------------------------------------------------

namespace {

// The interface settings the rendering follows: the document's kernel session's, else the
// built-in defaults.
const InterfaceSettings* settingsOf(Element* element) {
    if (auto* doc = dynamic_cast<Document*>(element->document()))
        if (KInterfaceVars* vars = doc->interfaceVars())
            if (InterfaceSettings* s = vars->settings()) return s;
    return interface_default_block();
}

}  // namespace

const std::vector<std::string>& MathElement::textLines(int columns) {
    if (columns == renderedColumns_) return lines_;
    lines_.clear();
    renderedColumns_ = columns;
    const DagWord* dag = expression();
    if (!dag || dag_is_null(dag)) return lines_;
    LayoutOptions options;
    layout_options_init(1, &options, settingsOf(this));
    if (columns > 0) options.pageWidth = columns;
    int code = 0;
    std::string text = render_text_2d_string(dag, &options, &code);
    if (code != 0) {
        // Refused (too deep, memory): the one-line text still says what the result is.
        lines_.push_back(text_);
        return lines_;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines_.emplace_back(text, at, end - at);
        at = end + 1;
    }
    // The renderer ends with a line feed and may open with an empty line; neither is shown.
    while (!lines_.empty() && lines_.back().find_first_not_of(' ') == std::string::npos) lines_.pop_back();
    while (!lines_.empty() && lines_.front().find_first_not_of(' ') == std::string::npos) lines_.erase(lines_.begin());
    // The renderer places the text within its page (centred on the character-cell preset);
    // the element is as wide as the text itself, and its paragraph places it.
    std::size_t indent = std::string::npos;
    for (const std::string& line : lines_)
        if (std::size_t first = line.find_first_not_of(' '); first != std::string::npos) indent = std::min(indent, first);
    if (indent != std::string::npos && indent > 0)
        for (std::string& line : lines_) line.erase(0, std::min(indent, line.size()));
    return lines_;
}

DocumentView* MathElement::selectFace() {
    DocumentView* view = activeView();
    if (view) view->selectStyle(StyleKey{-1, kTextFaceParagraphStyle, -1}, false);
    return view;
}

int MathElement::viewColumns() {
    DocumentView* view = selectFace();
    if (!view) return kDefaultColumns;
    int widthOfM = view->textWidth("M", 1);
    int available = view->availableWidth();
    if (widthOfM <= 0 || available <= 0) return kDefaultColumns;
    return std::max(1, available / widthOfM);
}

void MathElement::measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) {
    out = ExtentRecord{};
    hasLineBreak = false;
    flows = false;
    const std::vector<std::string>& lines = textLines(viewColumns());
    DocumentView* view = selectFace();
    if (view && !lines.empty()) {
        const FontEntryMetrics* m = view->fontMetrics();
        int lineHeight = m ? m->height : 0;
        for (const std::string& line : lines)
            out.width = std::max(out.width, view->textWidth(line.data(), static_cast<int>(line.size())));
        // The element's baseline is its last line's: the paragraph lines it up with the text
        // around it, and the rows above stand over it.
        std::int64_t h = std::int64_t(lineHeight) * std::int64_t(lines.size());
        out.height = static_cast<std::int32_t>(std::min<std::int64_t>(h, INT_MAX / 2));
        out.ascent = out.height - (m ? m->descent : 0);
    }
    width = out.width;
    height = out.height;
    ascent = out.ascent;
}

void MathElement::draw(int x, int y, const ElementRect& clip, ExtentRecord& piece, int part) {
    (void)piece, (void)part;
    const std::vector<std::string>& lines = textLines(viewColumns());
    DocumentView* view = selectFace();
    if (!view) return;
    const FontEntryMetrics* m = view->fontMetrics();
    int lineHeight = m && m->height > 0 ? m->height : 1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int top = y + static_cast<int>(i) * lineHeight;
        // Lines wholly outside the area being painted are skipped (a long result).
        if (clip.height > 0 && (top + lineHeight <= clip.y || top >= clip.y + clip.height)) continue;
        if (!lines[i].empty()) view->drawText({x, top}, lines[i].data(), static_cast<int>(lines[i].size()), true);
    }
}

// ---- record --------------------------------------------------------------------------------------

void MathElement::writeElement(WalkControl& control) {
    if (control.pass() == PASS_AFTER || !control.writer || !expression()) return;
    writeRecordHead(control);
    control.writer->writeInt(value_);
    control.writer->writeExpression(expression());
    writeRecordTail(control);
}

// ---- exports -------------------------------------------------------------------------------------

void MathElement::exportText(WalkControl& control) {
    KExportWriter* writer = control.exportWriter;
    const DagWord* dag = expression();
    if (!writer || control.pass() == PASS_AFTER || !dag) return;
    writer->emitPendingPrefix(false);
    if ((control.flags & WALK_MARKED_ONLY) && mark == 2) {
        writer->writeString(text_);
        return;
    }
    LayoutOptions options;
    layout_options_init(1, &options, settingsOf(this));
    options.pageWidth = writer->lineWidth > 0 ? writer->lineWidth : kTextExportWidth;
    options.pageHeight = kTextExportHeight;
    int code = 0;
    std::string text = render_text_2d_string(dag, &options, &code);
    // A rendering the typesetter refuses (too deep, memory) still leaves the one-line text.
    if (code != 0) text = text_;
    writer->writeString("\n" + text);
}

namespace {

// The LaTeX writer's characters are collected first, so that a failed layout writes nothing.
int collectLatexChar(void* user, int ch) {
    static_cast<std::string*>(user)->push_back(static_cast<char>(ch));
    return 0;
}

}  // namespace

void MathElement::exportLatexElement(WalkControl& control) {
    KLatexExportWriter* writer = latexWriterOf(control);
    const DagWord* dag = expression();
    if (!writer || control.pass() == PASS_AFTER || !dag) return;
    LatexExportState* state = latexStateOf(control);
    LayoutOptions options;
    layout_options_init(3, &options, settingsOf(this));
    if (state && state->option > 0) options.pageWidth = state->option;
    options.pageHeight = kLatexPageHeight;
    std::string latex;
    int code = latex_write_expression(dag, &options, false, collectLatexChar, &latex);
    writer->beginEnvironment("kelvolatex");
    if (code == 0) {
        bool raw = writer->rawText;
        writer->setRawText(true);
        writer->writeString(latex);
        writer->setRawText(raw);
    } else {
        showMessage("Unable to export expression to LaTeX.\nEnsure that the Adobe Font Metric files\n"
                    "are located in Kelvo's AFM subdirectory.");
        if (state) state->errorFlags |= 0x200;
    }
    writer->endEnvironment("kelvolatex");
}

namespace {

bool readMathRecord(KWorksheetReader& reader, Element*& out, Element* parent) {
    (void)parent;
    out = nullptr;
    int style = MathElement::kResultValue;
    if (reader.majorVersion >= 2) {
        long read = MathElement::kResultValue;
        reader.readLong(read);
        // A user style (above 255) goes through the file's style map; an unmapped or damaged
        // index stays within what the element can hold.
        if (read > 255 && read < StyleSet::INDEX_LIMIT) read = worksheetTagTable.mapCharStyle(int(read));
        style = read >= -1 && read < StyleSet::INDEX_LIMIT ? int(read) : MathElement::kResultValue;
    }
    Dag dag = nullptr;
    reader.readExpression(dag);
    // The expression lives in the reader's storage until the next read: the element copies it.
    if (dag && !dag_is_null(dag)) {
        auto math = std::make_unique<MathElement>(dag, style);
        if (math->expression()) out = math.release();
    }
    reader.skipRecord();
    return true;
}

}  // namespace

void registerMathReaders() { worksheetTagTable.registerReader("XPPMATH", readMathRecord); }
