#pragma once
// Selection: a worksheet window's selection.  An anchor and a current position, three zones
// that cover the selected area on screen, and the selection marks of the elements.
//
// Zones (document pixels; width or height 0 is empty):
//   same line:       middle from the smaller x of the two ends to the larger; top and bottom
//                    empty.
//   different lines: top = the first end's line from its x on; bottom = the last end's line up
//                    to its x; middle = every row between, x 0 with width 0x40000000.
// Drawing a zone inverts it in the window, so drawing twice erases; zones are drawn only
// while the window's debug switch is set.
//
// classify(corner1, corner2) of a span: 3 wholly above the top zone, 4 wholly below the bottom
// zone, 1 both corners inside a zone, else 2.

#include "document/tree/ElementPosition.h"

class ViewCaret;

class Selection {
public:
    static constexpr int WIDE = 0x40000000;
    static constexpr int COMMAND_COPY = 1154;
    static constexpr int COMMAND_CUT = 1153;

    Selection(ElementDocument* document, ElementWindow* window);

    void setAnchor(TextPosition& caret);
    void extendTo(TextPosition& caret);
    void clear();
    void resetMarks();
    int classify(ElementPoint corner1, ElementPoint corner2) const;
    int classifyRect(const ElementRect& rect) const;
    bool containsPoint(ElementPoint point) const;

    TextPosition anchor;
    TextPosition current;
    ElementRect top;
    ElementRect middle;
    ElementRect bottom;
    bool active = false;
    bool anchorFirst = true;   // the anchor comes first in the document

private:
    void computeZones();
    void drawZones();
    void refreshCommands();
    void copyPosition(TextPosition& to, TextPosition& from);

    ElementDocument* document_;
    ElementWindow* window_;
};
