#pragma once
// MathElement (kind 9, record "XPPMATH"; the older tag "DAG" reads the same): the math of one
// expression.  The element keeps a private copy of its expression (a typesetter DAG holder,
// whose storage area outlives the kernel's), so that it can write itself and lay itself out
// again at any width.  `kernelOutput` marks an element made from a kernel result.
//
// Until the typeset screen layout lands the element shows the expression as two-dimensional
// character text: the character-cell rendering of the typesetter at the view's width in
// characters, drawn line by line in a fixed-pitch face (the text-output paragraph style's
// font).  The rendering is kept and made again only when the width in characters changes.
//
// Record: "{XPPMATH " character style index (integer), the expression in the DAG text
// encoding (a quoted string), "}".  An expression read as NULL gives no element; a file of
// format 1 has no style index (20) and writes its expression in the old token form.

#include <memory>
#include <string>
#include <vector>

#include "document/elements/InlineElement.h"
#include "tovu/dag.h"

class KString;
struct DagHolder;

class MathElement : public InlineElement {
public:
    // The value kernel results, plot regions and the spreadsheet give their math elements.
    static constexpr int kResultValue = 20;
    // The paragraph style whose font draws the two-dimensional text (fixed pitch).
    static constexpr int kTextFaceParagraphStyle = 2;
    // Columns of the rendering without a view to measure (the session's default screen width).
    static constexpr int kDefaultColumns = 79;
    // The text export's page: its width without a writer width, and a height no result reaches.
    static constexpr int kTextExportWidth = 70;
    static constexpr int kTextExportHeight = 1000000;
    // The LaTeX export's page height (points).
    static constexpr int kLatexPageHeight = 576;

    // A copy of the expression is kept (none for a null expression); value: the character
    // style index.
    MathElement(const DagWord* expression, int value);
    MathElement(const MathElement& other);
    ~MathElement() override;
    MathElement& operator=(const MathElement&) = delete;

    Element* cloneElement() const override { return new MathElement(*this); }
    int elementKind() const override { return KIND_MATH; }
    bool isMath() const override { return true; }

    // The element's own copy of the expression; null when it has none.
    const DagWord* expression() const;
    // Appends the linear text of the expression.
    void expressionText(KString& out) const;
    const std::string& text() const { return text_; }
    int value() const { return value_; }
    // Whether a place in the expression's text falls in its second half (the caret then
    // stands after the expression); from the one-line text until the typeset layout lands.
    bool offsetInSecondHalf(int offset) const { return 2 * offset > static_cast<int>(text_.size()); }

    // The two-dimensional text at a width in characters, one string a line (no line feeds);
    // kept until the width changes.  Empty when the expression cannot be rendered.
    const std::vector<std::string>& textLines(int columns);
    // The width in characters the active view offers (kDefaultColumns without a view).
    int viewColumns();

    // ---- layout and drawing (the inline protocol) ---------------------------------------------
    void measure(ExtentRecord& out, bool& flows, bool& hasLineBreak) override;
    void draw(int x, int y, const ElementRect& clip, ExtentRecord& piece, int part) override;

    // ---- records and exports ------------------------------------------------------------------
    void writeElement(WalkControl& control) override;
    // Text: the two-dimensional character text at the writer's line width (70 without one),
    // after a line break; a partly marked element writes its one-line text.
    void exportText(WalkControl& control) override;
    // LaTeX: the expression in the "kelvolatex" environment, laid out at the export's width.
    void exportLatexElement(WalkControl& control) override;

    // Math positions: before, inside or after the expression (MathCaret.h).  A range over
    // the marked part of a partly marked element has both ends at the start.
    void createCaretPosition(CaretHandle& handle, bool byPath) override;
    void createCaretRange(CaretHandle& handle, bool markedOnly, bool byPath) override;

    unsigned char kernelOutput = 0;

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = static_cast<int>(text_.size());
        charStyle = -1;
        return text_.c_str();
    }

private:
    struct HolderDeleter {
        void operator()(DagHolder* holder) const;
    };
    void setExpression(const DagWord* expression);
    // Selects the fixed-pitch face in the active view; null without a view.
    DocumentView* selectFace();

    int value_;
    std::string text_;
    std::unique_ptr<DagHolder, HolderDeleter> holder_;
    std::vector<std::string> lines_;   // the rendering at renderedColumns_
    int renderedColumns_ = -1;         // -1: nothing rendered yet
};

// Registers the reader of "XPPMATH" (and "DAG") in the tag table.
void registerMathReaders();
