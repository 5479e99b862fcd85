// ParagraphElement's records and exports: the "PARA" record, the readers of the oldest
// format's region records ("INP_R", "COM_R", "OUT_R"), and the paragraph's share of the
// plain-text and HTML exports.
//
// "{PARA " style index, prompt ("" for none), output flag, bookmark ("" for none), the
// children's records, "}".
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "document/edit/Document.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/LatexWalk.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/export/HtmlExporter.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "util/errjump.h"

namespace {

// A paragraph style index read from a file: -1 and an index that does not fit 16 bits name
// "Normal"; a user index takes its entry in the read's maps and otherwise keeps its number.
int readParaStyleIndex(long index, int majorVersion) {
    if (index < 0 || index >= StyleSet::INDEX_LIMIT) return ParagraphElement::STYLE_NORMAL;
    if (majorVersion >= 2 && index >= StyleSet::FIRST_USER_INDEX) {
        int mapped = worksheetTagTable.mapParaStyle(int(index));
        return mapped >= 0 && mapped < StyleSet::INDEX_LIMIT ? mapped : ParagraphElement::STYLE_NORMAL;
    }
    return int(index);
}

// The paragraph style the oldest format's font number n stands for (0 when none).
int oldParagraphStyle(int n) {
    const WorksheetTagTable& t = worksheetTagTable;
    if (n < 0 || n > t.fontStyleMapLast || std::size_t(n) >= t.fontStyleMap.size()) return 0;
    int style = t.fontStyleMap[std::size_t(n)];
    return style < 0 ? 0 : style;
}

// The next child record inside a region record that must be a text run; a read error when
// the record ends or the child is something else.
std::unique_ptr<TextElement> readTextChild(KWorksheetReader& reader, Element* parent) {
    Element* child = nullptr;
    if (!worksheetTagTable.readNewRep(reader, child, parent, false, nullptr) || !child)
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    std::unique_ptr<Element> owned(child);
    if (child->elementKind() != KIND_TEXT) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    return std::unique_ptr<TextElement>(static_cast<TextElement*>(owned.release()));
}

void append(ParagraphElement& paragraph, Element* child) {
    if (!paragraph.insertChild(child, nullptr, kInsertAfter)) delete child;
}

// Runs a region reader's body under its own guard: a read error deletes the paragraph built
// so far.  The region record is then read to its end, whatever happened.
template <typename Body>
std::unique_ptr<ParagraphElement> readRegion(KWorksheetReader& reader, Body body) {
    long depth = reader.braceDepth();
    std::unique_ptr<ParagraphElement> paragraph;
    try {
        ErrorGuard guard;
        body(paragraph);
    } catch (const ErrorJump&) {
        paragraph.reset();
    }
    reader.skipToDepth(depth - 1);
    return paragraph;
}

}  // namespace

// ---- "PARA" ------------------------------------------------------------------------------------

void ParagraphElement::writeElement(WalkControl& control) {
    if (!control.writer || ((control.flags & WALK_MARKED_ONLY) && mark != 1)) return;
    if (control.pass() == PASS_AFTER) {
        writeRecordTail(control);
        return;
    }
    if (control.pass() != PASS_BEFORE) return;
    writeRecordHead(control);
    control.writer->writeInt(styleIndex);
    control.writer->writeQuotedCStr(prompt_ ? prompt_.get() : "");
    control.writer->writeInt(outputFlag_);
    control.writer->writeQuotedString(bookmark);
}

bool readParagraph(KWorksheetReader& reader, Element*& out, Element* parent) {
    (void)parent;
    out = nullptr;
    long style = 0;
    reader.readLong(style);
    auto paragraph = std::make_unique<ParagraphElement>(readParaStyleIndex(style, reader.majorVersion), nullptr);
    std::string prompt;
    reader.readStringDefault(prompt);
    if (!prompt.empty()) paragraph->setPrompt(prompt.c_str());
    int output = 0;
    reader.readInt(output);
    paragraph->setOutput((output & 0xFF) != 0);
    reader.readStringDefault(paragraph->bookmark);
    for (;;) {
        Element* child = nullptr;
        if (!worksheetTagTable.readNewRep(reader, child, paragraph.get(), false, nullptr)) break;
        if (!child) continue;
        int kind = child->elementKind();
        if (kind == KIND_SECTION || kind == KIND_PARAGRAPH) delete child;   // may not stand here
        else append(*paragraph, child);
    }
    out = paragraph.release();
    return true;
}

// ---- the oldest format's regions ----------------------------------------------------------------

bool readInputRegion(KWorksheetReader& reader, Element*& out, Element* parent) {
    int region = -1;
    auto paragraph = readRegion(reader, [&](std::unique_ptr<ParagraphElement>& p) {
        int ignored = 0;
        std::string prompt;
        reader.readInt(region);
        reader.readInt(ignored);
        reader.readStringDefault(prompt);
        p = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_NORMAL, prompt.empty() ? nullptr : prompt.c_str());
        std::string token;
        reader.readToken(token);
        if (token != "{TEXT") raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        std::string text;
        reader.readInt(ignored);
        reader.readInt(ignored);
        reader.readStringDefault(text);
        reader.skipRecord();
        append(*p, new InputTextElement(1, text.c_str()));
        (void)parent;
    });
    out = paragraph.release();
    worksheetTagTable.addOldInputRegion(out, region, reader);
    return true;
}

bool readCommentRegion(KWorksheetReader& reader, Element*& out, Element* parent) {
    int region = -1;
    auto paragraph = readRegion(reader, [&](std::unique_ptr<ParagraphElement>& p) {
        int ignored = 0;
        reader.readInt(region);
        reader.readInt(ignored);
        p = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_NORMAL, nullptr);
        if (reader.majorVersion == 1 && reader.minorVersion > 33) {
            int number = 0, justification = 0;
            reader.readInt(number);
            reader.readInt(justification);
            int style = oldParagraphStyle(number);
            if (StyleSet* set = worksheetTagTable.styleSet) {
                ParaStyle justified(-1);
                justified.justification = justification == 1 ? 3 : justification == 2 ? 2 : 1;
                set->changeParaStyle(style, justified);
            }
            p->styleIndex = std::int16_t(style);
            while (!reader.atRecordEnd()) {
                std::unique_ptr<TextElement> run = readTextChild(reader, p.get());
                int own = run->styleIndex();
                run->setStyleIndex(own == number ? -1 : worksheetTagTable.styleForOldRegion(own, number));
                append(*p, run.release());
            }
        } else {
            std::unique_ptr<TextElement> run = readTextChild(reader, p.get());
            p->styleIndex = std::int16_t(oldParagraphStyle(run->styleIndex()));
            run->setStyleIndex(-1);
            append(*p, run.release());
        }
        (void)parent;
    });
    out = paragraph.release();
    worksheetTagTable.addOldCommentRegion(out, region, reader);
    return true;
}

bool readOutputRegion(KWorksheetReader& reader, Element*& out, Element* parent) {
    int region = -1;
    bool failed = false;
    auto paragraph = readRegion(reader, [&](std::unique_ptr<ParagraphElement>& p) {
        int ignored = 0;
        reader.readInt(ignored);
        reader.readInt(ignored);
        reader.readInt(region);
        p = std::make_unique<ParagraphElement>(ParagraphElement::STYLE_TEXT_OUTPUT, nullptr);
        failed = true;
        for (;;) {
            Element* child = nullptr;
            if (!worksheetTagTable.readNewRep(reader, child, p.get(), false, nullptr)) break;
            if (!child) continue;
            if (auto* run = dynamic_cast<TextElement*>(child); run && child->elementKind() == KIND_TEXT)
                run->setStyleIndex(-1);
            else
                p->styleIndex = ParagraphElement::STYLE_KELVO_OUTPUT;
            append(*p, child);
            break;
        }
        failed = false;
        (void)parent;
    });
    out = paragraph.release();
    if (!failed) worksheetTagTable.addOldOutputRegion(out, region, reader);
    return true;
}

void registerParagraphReaders() {
    worksheetTagTable.registerReader("PARA", readParagraph);
    worksheetTagTable.registerReader("KLVTEXT", readInputRecord);
    worksheetTagTable.registerReader("INP_R", readInputRegion);
    worksheetTagTable.registerReader("COM_R", readCommentRegion);
    worksheetTagTable.registerReader("OUT_R", readOutputRegion);
}

// ---- plain text ----------------------------------------------------------------------------------

void ParagraphElement::exportText(WalkControl& control) {
    KExportWriter* writer = control.exportWriter;
    if (!writer) return;
    if (control.pass() == PASS_BEFORE) {
        Element* first = firstChild();
        if (!first) return;
        int mode = 2;
        switch (first->elementKind()) {
        case KIND_TEXT:
        case KIND_HYPERLINK: mode = 0; break;
        case KIND_INPUT_TEXT:
        case KIND_EXPRESSION_EDIT: mode = 1; break;
        default: break;
        }
        if (isOutput()) mode = 2;
        if (mark == 1) writer->suppressPrefix = false;
        writer->setLinePrefixMode(mode);
    } else if (control.pass() == PASS_AFTER) {
        if ((control.flags & WALK_MARKED_ONLY) && mark != 1) return;
        writer->writeString("\n");
    }
}

// ---- LaTeX -----------------------------------------------------------------------------------------

namespace {
bool isPlotKind(int kind) { return kind == 16 || kind == 20 || kind == 21; }
}  // namespace

bool ParagraphElement::isSectionHeading() const {
    Element* section = parent();
    return section && section->elementKind() == KIND_SECTION && section->firstChild() == this && section->parent();
}

std::string ParagraphElement::latexStyleEnvironment() {
    if (styleIndex == STYLE_NORMAL || isOutput() || isSectionHeading()) return {};
    auto* doc = dynamic_cast<Document*>(document());
    StyleSet* set = doc ? doc->styleSet() : nullptr;
    if (!set) return {};
    const ParaStyle& resolved = set->resolvedParaStyle(styleIndex);
    if (!resolved.name || resolved.name->empty()) return {};
    const ParaStyle& normal = set->resolvedParaStyle(STYLE_NORMAL);
    if (normal.name && *normal.name == *resolved.name) return {};
    // A name LaTeX cannot take as an environment name gives none.
    return KLatexExportWriter::isUsableName(*resolved.name) ? *resolved.name : std::string();
}

void ParagraphElement::exportLatexElement(WalkControl& control) {
    KLatexExportWriter* writer = latexWriterOf(control);
    Element* first = firstChild();
    if (!writer || !first) return;
    if (control.pass() == PASS_AFTER) {
        writer->endBlock();
        return;
    }
    if (control.pass() != PASS_BEFORE) return;
    bool heading = isSectionHeading();
    std::string styleEnvironment = latexStyleEnvironment();
    writer->beginBlock(styleEnvironment);
    std::string environment;
    int kind = first->elementKind();
    if (heading) {
        int n = std::min(ancestorCount() - 1, 3);
        std::string name;
        for (int i = 1; i < n; ++i) name += "sub";
        writer->ensureBlankLine();
        writer->beginMacro(name + "section");
    } else if (isOutput()) {
        LatexExportState* state = latexStateOf(control);
        if (state && state->markResults && !state->resultMacroWritten) {
            writer->startLine("\\kelvoresult\n");
            state->resultMacroWritten = true;
        }
        if (kind == KIND_MATH) environment = "kelvolatex";
        else if (!isPlotKind(kind)) environment = "kelvottyout";
    } else if (kind == KIND_INPUT_TEXT && first->isActiveInput()) {
        environment = "kelvoinput";
    }
    if (environment.empty() && styleEnvironment.empty() && !heading) {
        auto* doc = dynamic_cast<Document*>(document());
        const ParaStyle* own = doc && doc->styleSet() ? doc->styleSet()->paraStyle(styleIndex) : nullptr;
        switch (own ? own->justification : 0) {
        case 1: environment = "flushleft"; break;
        case 2: environment = "flushright"; break;
        case 3: environment = "center"; break;
        default: break;
        }
    }
    if (!environment.empty()) writer->beginEnvironment(environment);
}

// ---- HTML ------------------------------------------------------------------------------------------

void ParagraphElement::exportHtmlElement(WalkControl& control) {
    HtmlExporter* exporter = control.htmlExporter;
    if (!exporter) return;
    if (control.pass() == PASS_AFTER) {
        exporter->endParagraphContent();
        exporter->endParagraph();
        return;
    }
    if (control.pass() != PASS_BEFORE) return;
    exporter->beginParagraph(paraStyle());
    // The exporter escapes the name as an attribute value: it is handed over as it stands.
    if (bookmark.length() > 0) exporter->writeAnchor(bookmark.text());
    exporter->beginParagraphContent();
    if (prompt_) {
        exporter->writeRaw("<tt>");
        exporter->writeText(prompt_.get());
        exporter->writeRaw("</tt>");
        exporter->newLine();
    }
}
