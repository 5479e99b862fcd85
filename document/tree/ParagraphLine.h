#pragma once
// ParagraphLine: one laid-out line of a paragraph, a row of pieces.  Each piece shows one inline
// child of the paragraph (the whole child, or one part of a child that flows over several lines)
// at an offset inside the line.  Lines are owned by their paragraph and live from one layout of
// it to the next; pieces hold child indexes, so any change of the children needs a new layout.
//
// The class is declared here, beside the tree whose carets, selection and page moves read the
// lines; its operations that reach the inline children (hit tests, drawing) are defined with the
// element classes (document/elements/ParagraphLine.cpp).
//
// The thirteen operations from hitTest to childAtX are virtual: an element that is no paragraph
// but must answer a line for the caret (the placeholder) gives a line of its own.
//
// Coordinates: (x, y) is the line's offset inside the paragraph; a piece's (x, y) its offset
// inside the line, y being baseline - the piece's ascent.  Counts and indexes are 32-bit.

#include <vector>

#include "document/tree/DocumentView.h"
#include "document/tree/ElementEnvironment.h"

class Element;
class TextPosition;

struct LinePiece {
    int childIndex = 0;
    int part = -1;          // -1: the whole child; flowing children number their fragments
    int x = 0;
    int y = 0;
    ExtentRecord extent;    // the child's extent; the child reads and updates it when it draws
};

class ParagraphLine {
public:
    explicit ParagraphLine(Element* owner) : paragraph(owner) {}
    virtual ~ParagraphLine() = default;

    // Places the position for a point in line coordinates: a gap between two pieces is split at
    // its midpoint; the child then places the position itself.  False for a line without pieces.
    virtual bool hitTest(TextPosition& position, int px, int py);
    // Draws the pieces that meet the clip (or whose child is marked), line origin at (ox, oy).
    virtual void draw(int ox, int oy, const ElementRect& clip);
    // Appends a piece at the line's current width; answers its index.
    virtual int addPiece(int childIndex, const ExtentRecord& extent, int part);
    virtual void pieceOffset(int piece, ElementPoint& point) const;
    virtual void pieceRect(int piece, ElementRect& rect) const;
    // Baseline, piece tops and height; the first line also places the prompt and the marker
    // boxes (those with a width); the prompt's height counts on every line.  A line without
    // pieces is as high as the paragraph's font.
    virtual void computeMetrics();
    // Justification 2 right, 3 centred, only for a line narrower than the width.
    virtual void align(int justification, int alignWidth);
    // Fits piece k to a new extent when the line has room (`limit` is the content width);
    // stores the whole new extent and reports the change of the line's height in dy.
    virtual bool resizePiece(int k, const ExtentRecord& extent, int& dy, bool allowShrink, int limit);
    // The paragraph's absolute origin plus (x, y), size (width, height).
    virtual void lineRect(ElementRect& out) const;
    virtual int lastChildIndex() const { return pieces.empty() ? -1 : pieces.back().childIndex; }
    virtual int baseline() const { return lineBaseline; }
    virtual int height() const { return lineHeight; }
    // The child under x by the hit test's midpoint rule; adds the piece's (x, y) to the point.
    virtual Element* childAtX(int px, ElementPoint& point) const;
    // The piece index the midpoint rule gives for x (0 for an empty line).
    int pieceAtX(int px) const;
    int pieceCount() const { return static_cast<int>(pieces.size()); }

    Element* paragraph;
    int x = 0;
    int y = 0;
    int width = 0;
    std::vector<LinePiece> pieces;
    // Set by the paragraph: its prompt box (every line), its marker box (first line only), the
    // first-line flag and its font's height and ascent.
    ExtentRecord* prompt = nullptr;
    ExtentRecord* marker = nullptr;
    bool first = false;
    int fontHeight = 0;
    int fontAscent = 0;
    int lineBaseline = 0;
    int lineHeight = 0;
};
