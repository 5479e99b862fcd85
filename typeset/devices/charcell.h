#pragma once
// The character-cell device (kind 1, size level 0 only) and the renderer of two-dimensional
// character text built on it.
//
// Every character is one cell wide and one row high; texts are measured by their byte length.
// Drawing goes into a character grid (the context's device data during a render): rows of
// characters and, optionally, rows of style bytes.  A write that would pass the grid's width, or
// lands on a row that does not exist, is dropped whole.
//
// render_text_2d results:
//   0 done; 1 no character callback; 3 no context (or memory exhausted / too deep during the
//   run); 5 no tree; 6 a callback asked to stop.

#include <string>
#include <vector>

#include "typeset/typeset.h"

extern const TypesetDevice CharCellDevice;

// Character-cell text of a glyph code (129..192), or null for other codes.
const char* charcell_glyph_text(int code);
// Font style of a glyph code on the character grid (0 or 3).
int charcell_glyph_style(int code);

// Frees the cached glyph nodes (shut-down; the device's close does the same).
void charcell_release_cache();

struct CharGrid {
    int width = 0;
    std::vector<std::string> rows;
    std::vector<std::string> styles;   // empty unless attributes are kept
    bool keepStyles = false;

    void reset(int rowsWanted, int columns);
    void put(int col, int row, const char* text, std::size_t n, int style);
    void putChar(int col, int row, char c, int style) { put(col, row, &c, 1, style); }
};

using Put2dChar = int (*)(void* user, int ch);
using Put2dAttribute = int (*)(void* user, int style);

int render_text_2d(const DagWord* dag, const LayoutOptions* options, Put2dChar putChar,
                   Put2dAttribute putAttribute, bool wantAttributes, void* user);

// Convenience for callers holding a whole text: the 2-D text, or the error code in *code.
std::string render_text_2d_string(const DagWord* dag, const LayoutOptions* options, int* code);
