#pragma once
// InputTextElement (kind 6, record "KLVTEXT"): one-dimensional input in the kernel's language,
// a text run with one more field, the active flag.  An active input is executable: its group
// collects the texts of its active inputs, each followed by a newline, and runs them; an
// inert input is shown and kept but never run.  The character style follows the flag: 0
// ("Kelvo Input") for an active input, 21 (inert input) for an inert one.
//
// Beyond the run it offers: Enter runs the input's group (wrapping the paragraph into a new
// group first when it stands in none); palette templates with the marks "%s", "%c" and "%?";
// jumps between the placeholders "%?" (move codes 14 and 15); the context menu 1550 (convert
// to two-dimensional input, toggle active and inert, repair the syntax); the rewriting of
// input written for the previous release of the language (updateInputSyntax).
//
// Record: "{KLVTEXT " active, character style index, length, quoted characters, "}"; a file
// of format 2.0 may carry a trailing value (2 followed by two more integers).

#include <cstdint>
#include <string>

#include "document/elements/TextElement.h"

class KString;

class InputTextElement : public TextElement {
public:
    static constexpr int CONTEXT_MENU = 1550;
    static constexpr int INPUT_CONTEXT_BAR = 5;
    // Context menu entries (and the input bar's tool items).
    enum MenuId : int { MENU_STANDARD_MATH = 1551, MENU_KELVO_INPUT = 1552, MENU_REPAIR = 1553, MENU_EVALUATE = 1554 };
    static constexpr int ACTIVE_STYLE = 0;    // "Kelvo Input"
    static constexpr int INERT_STYLE = 21;    // the inert input style
    // The text position of command 48 that marks a palette template.
    static constexpr int PALETTE_TEMPLATE = 4014;

    // active: non-zero for executable input.  A null text is empty.
    InputTextElement(int active, const char* text);
    InputTextElement(const InputTextElement& other);

    Element* cloneElement() const override { return new InputTextElement(*this); }
    int elementKind() const override { return KIND_INPUT_TEXT; }
    bool isActiveInput() const override { return active_ != 0; }
    int contextId() const override { return CONTEXT_MENU; }
    bool active() const { return active_ != 0; }
    int flag() const { return active_; }

    // Replaces the whole text (no undo record, no layout).
    void setText(const char* text);

    // ---- records and exports -----------------------------------------------------------------
    void writeElement(WalkControl& control) override;
    // The text (or the marked part) without the writer's pending line prefix.
    void exportText(WalkControl& control) override;
    // \kelvoinline{active|inert}{1d}{text}{%\n}; nothing for an empty text.
    void exportLatexElement(WalkControl& control) override;

    // ---- execution -----------------------------------------------------------------------------
    // Rewrites input of the previous release in place; on a failed update the text stays as
    // it was.  Not recorded for undo; no layout.
    void updateInputSyntax(WalkControl& control) override;
    // Active: the text and a newline.  Inert: nothing.
    void collectInputText(KString& text) override;
    int inputTextLength() const override;
    // The caret to the offset (counted from 1); below 1 or at or past the end: to the end.
    void setCaretOffset(int offset) override;
    // The message of the last failed update (empty when it succeeded).
    const std::string& updateMessage() const { return updateMessage_; }

    // ---- editing -------------------------------------------------------------------------------
    // 0 run the group (active only), 9 and 10 typing, 11 delete, 16 a context-menu entry (its
    // id in the text position), 48 a palette template; false for every other code.
    bool command(int code, const char* text, std::intptr_t argument) override;
    // Codes 14 and 15 jump to the next and previous placeholder; the rest as a run.
    bool movePosition(TextPosition& position, int code, Element* child, int index) override;
    // The second half as a new input with the same flag and style index.
    Element* splitAt(ElementPosition& position) override;
    Element* splitAtCaret(const SingleCaret& caret) override;
    // 1551 to two-dimensional input, 1552 toggle active and inert, 1553 repair the syntax.
    bool runContextMenuEntry(int id) override;
    // Inserts a palette template at the mark or the caret (true when inserted).
    bool insertTemplate(const char* pattern);
    // Whole text from the input bar's edit field; the paragraph lays out again; no undo.
    void setTextFromField(const char* text);
    // In a worksheet window: the input context bar, owned by this input (the window reads the
    // text and the active flag from its owner).
    void caretArrived() override;


private:
    // The caret's offset when it stands in this input, else -1.
    int caretOffset() const;
    // The placeholder "%?" at or after `from` (forward) or at or before it (backward); -1.
    int findPlaceholder(int from, bool forward) const;
    bool jumpToPlaceholder(TextPosition& position, bool forward);
    Element* splitOff(int offset);
    bool runGroup();
    bool toStandardMath();
    bool toggleActive();
    bool repairSyntax();

    unsigned char active_ = 1;
    std::string updateMessage_;
};

// The "KLVTEXT" record's reader (the tag table calls it inside a guard).
bool readInputRecord(KWorksheetReader& reader, Element*& out, Element* parent);
// The LaTeX form of an input's text: "\kelvoinline{active}{1d}{" ... "}{%\n}".
void writeInputLatex(class KLatexExportWriter& writer, bool active, const char* text, int length);
