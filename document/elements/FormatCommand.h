#pragma once
// FormatCommand: the argument of editing action 3 ("Set Format"), which the worksheet window
// hands down the caret's elements as a pointer in the command's argument.  `id` is the menu
// command: 1251 Italic, 1252 Bold, 1253 Underline (toggles), 1256 Paragraph... (`paraStyle`),
// 1257 Character... (`charStyle`), 1258 Left Justify, 1259 Right Justify, 1260 Center, 1261 the
// bullet toggle, 2502 the font face (`text`), 2503 the size in points (`size`).
//
// Borrowed for one call; the records and the text belong to the caller.

class CharStyle;
class ParaStyle;

struct FormatCommand {
    enum Id : int {
        ITALIC = 1251,
        BOLD = 1252,
        UNDERLINE = 1253,
        PARAGRAPH = 1256,
        CHARACTER = 1257,
        LEFT = 1258,
        RIGHT = 1259,
        CENTER = 1260,
        BULLET = 1261,
        FONT = 2502,
        SIZE = 2503,
    };
    int id = 0;
    const char* text = nullptr;
    int size = 0;
    const CharStyle* charStyle = nullptr;
    const ParaStyle* paraStyle = nullptr;

    // The ids that change character attributes.
    bool isCharacterFormat() const {
        return id == ITALIC || id == BOLD || id == UNDERLINE || id == FONT || id == SIZE || id == CHARACTER;
    }
};
