// The default style set that every new style set starts with.  Its indices are fixed: elements
// and other modules refer to them by number (section headings 3, 4, 5, 20; execution group
// output 2 and 6-13; the fixed-width text of the plain-text import, character style 23).
#include "document/styles/StyleSet.h"

namespace {

// A compact description of one default style; -1 / 0 / null leave an attribute undefined.
struct CharSpec {
    int index;
    const char* name;
    int basedOn;
    const char* font;
    int sizeMode, size;
    int red, green, blue, colourKind;   // red -1: colour undefined
    int italic, bold, underline, input, readOnly, lineBreak, charset, pitch;
};

struct ParaSpec {
    int index;
    const char* name;
    int basedOn;
    CharSpec chars;   // index, name and basedOn unused
    int justification, spacing, firstIndent, preleading, postleading, nextStyle, listKind;
};

constexpr int N = -1;   // colour not defined

// index, name, basedOn, font, sizeMode, size, r, g, b, kind, italic, bold, underline, input,
// readOnly, lineBreak, charset, pitch
const CharSpec kCharStyles[] = {
    {0, "Kelvo Input", -1, "Courier New", 0, 0, 255, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0},
    {1, nullptr, 0, nullptr, 0, 0, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 0},
    {2, "2D Math", -1, "Times New Roman", 0, 0, N, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0},
    {3, nullptr, 2, nullptr, 0, 0, N, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
    {4, nullptr, 2, "Symbol", 0, 0, N, 0, 0, 0, 2, 0, 0, 0, 0, 0, 2, 0},
    {5, nullptr, 2, nullptr, 0, 0, N, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {6, nullptr, 4, nullptr, 2, -2, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {7, nullptr, 2, nullptr, 2, 1, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {8, nullptr, 3, nullptr, 2, 1, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {9, nullptr, 4, nullptr, 2, 1, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {10, nullptr, 5, nullptr, 2, 1, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {11, nullptr, 9, nullptr, 2, -2, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {16, nullptr, -1, "Symbol", 0, 0, N, 0, 0, 0, 2, 2, 2, 0, 0, 0, 2, 0},
    {17, "Hyperlink", -1, nullptr, 0, 0, 0, 128, 128, 0, 2, 0, 1, 0, 0, 0, 0, 0},
    {18, "2D Comment", 2, nullptr, 0, 0, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {19, "2D Input", 2, nullptr, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {20, "2D Output", 2, nullptr, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {21, nullptr, 0, nullptr, 0, 0, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 0},
    {22, nullptr, -1, nullptr, 0, 0, N, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {23, nullptr, -1, "Courier New", 1, 10, N, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0},
    {24, nullptr, -1, nullptr, 0, 0, 118, 73, 104, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {25, nullptr, -1, nullptr, 0, 0, 104, 64, 92, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {26, "Help Heading", -1, nullptr, 1, 14, N, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {27, "Plot Title", -1, nullptr, 1, 10, N, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
    {28, "Plot Text", -1, nullptr, 1, 8, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {29, "Output Labels", -1, "Times New Roman", 1, 8, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0},
    {30, "Help Normal", -1, "Times New Roman", 1, 12, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {31, "Popup", -1, nullptr, 0, 0, 0, 128, 128, 0, 1, 0, 1, 0, 0, 0, 0, 0},
    {32, "LaTeX", -1, nullptr, 0, 0, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

constexpr CharSpec NONE = {0, nullptr, -1, nullptr, 0, 0, N, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr CharSpec chars(const char* font, int sizeMode, int size, int r, int g, int b,
                         int italic, int bold, int underline, int readOnly, int lineBreak,
                         int pitch) {
    return {0, nullptr, -1, font, sizeMode, size, r, g, b, 0, italic, bold, underline, 0,
            readOnly, lineBreak, 0, pitch};
}

// index, name, basedOn, character part, justification, spacing, firstIndent, preleading,
// postleading, nextStyle, listKind
const ParaSpec kParaStyles[] = {
    {0, "Normal", -1, NONE, 0, 0, -1, -1, -1, -1, 0},
    {2, "Text Output", -1, chars("Courier New", 1, 10, 0, 0, 255, 0, 0, 0, 1, 3, 3), 1, 0, -1, -1, -1, -1, 0},
    {3, "Heading 1", 0, chars(nullptr, 1, 18, N, 0, 0, 0, 1, 0, 0, 0, 0), 1, 0, 0, 8, 4, -1, 0},
    {4, "Heading 2", 3, chars(nullptr, 1, 14, N, 0, 0, 0, 0, 0, 0, 0, 0), 0, 0, -1, 8, 2, -1, 0},
    {5, "Heading 3", 4, chars(nullptr, 1, 12, N, 0, 0, 1, 0, 0, 0, 0, 0), 0, 0, -1, 0, 0, -1, 0},
    {6, nullptr, 2, chars(nullptr, 0, 0, N, 0, 0, 0, 0, 0, 0, 2, 0), 0, 0, -1, -1, -1, -1, 0},
    {7, "Warning", 2, chars(nullptr, 0, 0, 0, 0, 255, 0, 0, 0, 0, 1, 0), 0, 0, -1, -1, -1, -1, 0},
    {8, "Error", 7, chars(nullptr, 0, 0, 255, 0, 255, 0, 0, 0, 0, 0, 0), 0, 0, -1, -1, -1, -1, 0},
    {9, "Diagnostic", 7, chars(nullptr, 0, 0, 64, 128, 64, 0, 0, 0, 0, 0, 0), 0, 0, -1, -1, -1, -1, 0},
    {10, nullptr, 6, chars("Courier New", 1, 9, N, 0, 0, 0, 0, 0, 0, 3, 0), 0, 0, -1, -1, -1, -1, 0},
    {11, "Kelvo Output", 0, NONE, 3, 3, -1, -1, -1, -1, 0},
    {12, nullptr, 11, NONE, 1, 0, -1, -1, -1, -1, 0},
    {13, "Kelvo Plot", 0, NONE, 3, 0, -1, -1, -1, -1, 0},
    {14, "List Item", 0, NONE, 0, 0, -1, 3, 3, 14, 5},
    {15, "Bullet Item", 0, NONE, 0, 0, -1, 3, 3, 15, 2},
    {16, "Dash Item", 0, NONE, 0, 0, -1, 3, 3, 16, 3},
    {17, "Fixed Width", 0, chars("Courier New", 1, 10, N, 0, 0, 0, 0, 0, 0, 3, 0), 3, 0, -1, -1, -1, 17, 0},
    {18, "Title", 0, chars(nullptr, 1, 18, N, 0, 0, 0, 1, 1, 0, 0, 0), 3, 0, -1, 12, 12, 19, 0},
    {19, "Author", 0, NONE, 3, 0, -1, 8, 8, -1, 0},
    {20, "Heading 4", 5, chars(nullptr, 1, 10, N, 0, 0, 1, 0, 0, 0, 0, 0), 0, 0, -1, 0, 0, -1, 0},
};

void fill(CharStyle& s, const CharSpec& spec) {
    s.setName(spec.name);
    s.setFontName(spec.font);
    s.sizeMode = spec.sizeMode;
    s.size = std::int16_t(spec.size);
    if (spec.red != N) s.setColor(spec.red, spec.green, spec.blue, spec.colourKind);
    s.italic = spec.italic;
    s.bold = spec.bold;
    s.underline = spec.underline;
    s.inputAttribute = spec.input;
    s.readOnly = spec.readOnly;
    s.lineBreak = spec.lineBreak;
    s.charsetCode = spec.charset;
    s.pitch = spec.pitch;
}

}  // namespace

void StyleSet::buildDefaultStyles() {
    for (const CharSpec& spec : kCharStyles) {
        auto s = std::make_unique<CharStyle>(spec.basedOn);
        fill(*s, spec);
        addCharStyle(std::move(s), spec.index);
    }
    for (const ParaSpec& spec : kParaStyles) {
        auto s = std::make_unique<ParaStyle>(spec.basedOn);
        s->setName(spec.name);
        fill(s->charPart, spec.chars);
        s->charPart.setName(nullptr);
        s->justification = spec.justification;
        s->spacing = spec.spacing;
        s->firstIndent = spec.firstIndent;
        s->preleading = spec.preleading;
        s->postleading = spec.postleading;
        s->nextStyle = std::int16_t(spec.nextStyle);
        s->listKind = spec.listKind;
        addParaStyle(std::move(s), spec.index);
    }
}
