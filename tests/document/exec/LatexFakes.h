#pragma once
// Stand-ins for the LaTeX export tests: paragraphs and text runs that mark the styles they use
// (as the worksheet's own will), and, with `writes`, export through the LaTeX writer in the
// forms the paragraph, text and input exports write: a style block or centring environment,
// section headings as \section macros, output in kelvottyout, text escaped inside the
// character-style groups, inputs as \kelvoinline with the brace-escaped text.
#include <stdexcept>
#include <string>

#include "document/edit/Document.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/export/LatexExport.h"
#include "document/records/KExportWriter.h"
#include "document/styles/StyleSet.h"
#include "document/tree/Element.h"
#include "tovu/ifvars.h"

inline KLatexExportWriter* latexWriter(WalkControl& control) {
    auto* state = static_cast<LatexExportState*>(control.context);
    return state ? state->writer : nullptr;
}

class LatexParagraph : public ParagraphElement {
public:
    // env: the environment an output or input paragraph opens ("" none); heading: the section
    // macro of a heading ("" for none).
    LatexParagraph(int style, bool writes, const char* env = "", const char* heading = "")
        : ParagraphElement(style, nullptr), writes_(writes), env_(env), heading_(heading) {}
    LatexParagraph(const LatexParagraph& other) = default;
    Element* cloneElement() const override { return new LatexParagraph(*this); }
    void markUsedStyles(WalkControl& control) override {
        if (control.styleSet) control.styleSet->markParaStyleChainUsed(styleIndex);
    }
    void exportLatexElement(WalkControl& control) override {
        KLatexExportWriter* w = latexWriter(control);
        if (!writes_ || !w) return;
        if (control.pass() == PASS_AFTER) {
            w->endBlock();
            return;
        }
        Document* doc = dynamic_cast<Document*>(document());
        const ParaStyle* own = doc && doc->styleSet() ? doc->styleSet()->paraStyle(styleIndex) : nullptr;
        bool named = own && own->name && styleIndex >= StyleSet::FIRST_USER_INDEX && !isOutput();
        w->beginBlock(named ? *own->name : std::string());
        if (!heading_.empty()) {
            w->ensureBlankLine();
            w->beginMacro(heading_);
        } else if (!env_.empty()) {
            w->beginEnvironment(env_);
        } else if (!named && own && own->justification >= 1 && own->justification <= 3) {
            static const char* const names[] = {"flushleft", "flushright", "center"};
            w->beginEnvironment(names[own->justification - 1]);
        }
    }

private:
    bool writes_;
    std::string env_;
    std::string heading_;
};

class LatexText : public TextElement {
public:
    // fonts: bits of KLatexExportWriter's font types 0-2 (italic, bold, underline) to wrap
    // the text in; a character style with a name wraps it in \QTR.
    LatexText(int style, const char* text, bool writes, unsigned fonts = 0, std::string styleName = {})
        : TextElement(style, text), writes_(writes), fonts_(fonts), styleName_(std::move(styleName)) {}
    LatexText(const LatexText& other) = default;
    Element* cloneElement() const override { return new LatexText(*this); }
    void markUsedStyles(WalkControl& control) override {
        if (control.styleSet) control.styleSet->markCharStyleChainUsed(styleIndex());
    }
    void exportLatexElement(WalkControl& control) override {
        KLatexExportWriter* w = latexWriter(control);
        if (!writes_ || !w || control.pass() != PASS_LEAF) return;
        if (!styleName_.empty()) w->setFontStyle(KLatexExportWriter::FONT_NAMED, true, styleName_);
        for (int type = 0; type < 3; ++type)
            if (fonts_ & (1u << type)) w->setFontStyle(type, true);
        w->writeEscapedText(text());
        for (int type = 2; type >= 0; --type)
            if (fonts_ & (1u << type)) w->setFontStyle(type, false);
        if (!styleName_.empty()) w->setFontStyle(KLatexExportWriter::FONT_NAMED, false);
    }

private:
    bool writes_;
    unsigned fonts_;
    std::string styleName_;
};

class LatexInput : public InputTextElement {
public:
    // latex: the typeset form of a 2-D input ("" for a 1-D input).
    LatexInput(const char* text, bool active, bool writes, std::string latex = {})
        : InputTextElement(1, text), active_(active), writes_(writes), latex_(std::move(latex)) {}
    LatexInput(const LatexInput& other) = default;
    Element* cloneElement() const override { return new LatexInput(*this); }
    void markUsedStyles(WalkControl& control) override {
        if (control.styleSet) control.styleSet->markCharStyleChainUsed(0);
    }
    void exportLatexElement(WalkControl& control) override {
        KLatexExportWriter* w = latexWriter(control);
        if (!writes_ || !w || control.pass() != PASS_LEAF) return;
        w->beginMacro("kelvoinline", std::string(active_ ? "{active}" : "{inert}") + (latex_.empty() ? "{1d}" : "{2d}"));
        w->setRawText(true);
        w->writeBraceEscaped(text());
        w->setRawText(false);
        w->endMacro();
        w->writeString(latex_.empty() ? "{%\n}" : "{%\n" + latex_ + "%\n}");
    }

private:
    bool active_;
    bool writes_;
    std::string latex_;
};

// Records the export state it sees and the plot device of the moment; raises when asked.
class LatexProbe : public TextElement {
public:
    explicit LatexProbe(bool raises = false) : TextElement(0, "probe"), raises_(raises) {}
    Element* cloneElement() const override { return new LatexProbe(raises_); }
    void exportLatexElement(WalkControl& control) override {
        if (control.pass() != PASS_LEAF) return;
        if (auto* state = static_cast<LatexExportState*>(control.context)) {
            seen = *state;
            if (state->settings) deviceDuringWalk = state->settings->plotdevice;
        }
        if (raises_) throw std::runtime_error("element export failed");
    }
    inline static LatexExportState seen;
    inline static std::string deviceDuringWalk;

private:
    bool raises_;
};
