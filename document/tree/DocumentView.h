#pragma once
// DocumentView: the view through which every element of a document lays itself out, measures
// text and draws.  The element tree never touches an output device: it calls these operations
// on the view its document is shown in.  This base holds the coordinate model and declares every
// drawing and measuring operation, all of them doing nothing (or answering 0) here;
// `WindowView` (document/views/WindowView.h) draws on a GUI output device with fonts from the
// font cache, the worksheet window's view and the print view derive from it.
//
// The class is declared here, beside the tree that calls it, and free of Qt: the GUI types it
// passes (`Picture`, `Bitmap`) are only declared.  Its out-of-line operations (construction,
// destruction, relayout, setZoom, the conversions) live in document/views/DocumentView.cpp,
// because they reach the `Document`.
//
// Coordinates.  Document coordinates are 32-bit device units (pixels on screen, twips on the
// printer).  For scroll origin (ox, oy) and margins (left, top):
//     document to window   wx = x - ox + left,   wy = y - oy + top
//     window to document   x = wx + ox - left,   y = wy + oy - top
// The virtual conversions are 32-bit and unclamped; the `...16` forms clamp each coordinate to
// -32768..32767, as every drawing operation of a GUI device does.
//
// Rectangles are (x, y, width, height) in 32 bits (`ElementRect`).  Colours are an RGB value
// (red in bits 0-7, green 8-15, blue 16-23) with a colour-name index: 0 uses the RGB value, 1-5
// name a colour (5 is the automatic text colour).
//
// Scales (all ratios have positive terms; setters refuse anything else, so that no size
// computation ever divides by zero):
//   units per point   device units per typographic point: 1/1 on screen, 20/1 (twips) in print
//   zoom              the user's zoom of the view
//   second scale      a further scale of the owner (the picture scale of a plot or preview);
//                     `scaled` applies it to a length, and it is the scale the tree's
//                     indents, brackets and two-dimensional output widths follow.
//
// Invariants:
//   1. A view with a document is on that document's list of views from construction to
//      destruction; removing the last view deletes the document (Document::removeView).
//   2. viewWidth and viewHeight are -1 until the owner sets them.
//   3. Every ratio term is positive.
//
// Owns its page list (deleted with the view); borrows its document.

#include <cstdint>
#include <memory>

#include "document/tree/ElementEnvironment.h"

class Bitmap;
class Document;
class Element;
class FontMeasure;
class PageList;
class Picture;
class ViewCaret;

// The key of a resolved character style: character style, paragraph style and override index,
// in the order of StyleSet::effectiveCharStyle (-1 = none).
struct StyleKey {
    std::int16_t charStyle = -1;
    std::int16_t paraStyle = 0;
    std::int16_t overrideStyle = -1;
    friend bool operator==(const StyleKey&, const StyleKey&) = default;
};

// Extent record of measuring and of line pieces, in view units.  Text measuring fills width,
// height (the line spacing, or the font height for stringHeightExtent) and ascent.
struct ExtentRecord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t ascent = 0;
};

// The metrics of a realised font, line height first (FontEntry keeps them in this order).
struct FontEntryMetrics {
    std::int32_t height = 0;        // ascent + descent
    std::int32_t descent = 0;
    std::int32_t ascent = 0;
    std::int32_t lineSpacing = 0;   // leading + height
    std::int32_t averageWidth = 0;  // the device's average character width
    bool scalable = false;          // the device's metric kind is 2 or 3
};

// A counted list of points (polygons and polylines of plots and brackets).
struct ViewPointList {
    int count = 0;
    const ElementPoint* points = nullptr;
};

// The page list slot: owned by the view, deleted with it through the deleter its setter gave.
using OwnedPageList = std::unique_ptr<PageList, void (*)(PageList*)>;

class DocumentView {
public:
    // Registers the view with the document (none for a view of the tree's own tests).
    explicit DocumentView(Document* document);
    // Deletes the page list and unregisters from the document (which goes with its last view).
    virtual ~DocumentView();
    DocumentView(const DocumentView&) = delete;
    DocumentView& operator=(const DocumentView&) = delete;

    // ---- kind and queries --------------------------------------------------------------------
    // The device key under which the view's fonts are shared in the font cache: 0 here, 2 a
    // window view, 3 the worksheet window's view, 4 the print view.
    virtual int viewKind() const { return 0; }
    // Answered true by the worksheet window's view; no behaviour of their own here.
    virtual bool reservedQuery1() const { return false; }
    virtual bool reservedQuery2() const { return false; }
    virtual bool isPrintView() const { return false; }
    virtual bool isPrintPreview() const { return false; }
    virtual bool reservedQuery3() const { return false; }
    virtual bool reservedQuery4() const { return false; }

    // ---- layout ------------------------------------------------------------------------------
    // Lays the document out for this view (which becomes its active view) with the available
    // width viewWidth - leftMargin - rightMargin, keeps the extent, then calls afterLayout.
    virtual void relayout();
    virtual void afterLayout() {}
    // The document's display title changed (the worksheet window shows it in its caption).
    virtual void setTitle(const char* text) { (void)text; }

    // ---- coordinates (32-bit, unclamped) -------------------------------------------------------
    virtual void documentToWindowXY(int x, int y, ElementPoint& out) const;
    virtual void documentToWindow(const ElementPoint& point, ElementPoint& out) const;
    virtual void documentToWindowInPlace(ElementPoint& point) const;
    virtual ElementPoint documentToWindowPair(int x, int y) const;
    virtual void windowToDocument(const ElementPoint& point, ElementPoint& out) const;
    virtual void windowToDocumentInPlace(ElementPoint& point) const;

    // ---- pens and styles -------------------------------------------------------------------------
    // Saves the drawing state, then setPen.
    virtual void pushPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) {
        (void)rgb, (void)colourIndex, (void)width, (void)style, (void)keepVisible;
    }
    // Pen styles 0 none, 1 solid, 2 dash, 3 dot, 4 dash-dot.  With keepVisible a colour equal to
    // the current fill colour turns white (red byte 0) or black.
    virtual void setPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) {
        (void)rgb, (void)colourIndex, (void)width, (void)style, (void)keepVisible;
    }
    virtual void popPen() {}
    // Makes the font of a resolved style current (and its colour the text colour).
    virtual void selectStyle(const StyleKey& key, bool keepVisible) { (void)key, (void)keepVisible; }
    virtual void selectStyleParts(std::int16_t charStyle, std::int16_t paraStyle, std::int16_t overrideStyle,
                                  bool keepVisible) {
        selectStyle(StyleKey{charStyle, paraStyle, overrideStyle}, keepVisible);
    }
    // The current font entry; none until a style was selected.
    virtual FontMeasure* currentFont() const { return nullptr; }
    // Sets the current entry's text colour; answers the previous colour as three bytes (red,
    // green, blue) in a record that the next call overwrites, or null without a current entry.
    virtual const std::uint8_t* setTextColour(std::uint32_t rgb, int colourIndex) {
        (void)rgb, (void)colourIndex;
        return nullptr;
    }

    // ---- measuring (current font) ----------------------------------------------------------
    // A length of -1 means up to the terminating zero.
    virtual int charWidth(int character) { (void)character; return 1; }
    virtual int textWidth(const char* text, int length);
    virtual void textExtent(ExtentRecord& out, const char* text, int length) { (void)out, (void)text, (void)length; }
    // As textExtent, after the text is cleaned as for drawing (every byte of 32 or below counts
    // as a blank).
    virtual void stringExtent(ExtentRecord& out, const char* text, int length) { (void)out, (void)text, (void)length; }
    virtual const FontEntryMetrics* fontMetrics() const { return nullptr; }

    // ---- drawing -------------------------------------------------------------------------------
    // Draws text in the current font with the top of its line at the document point; with
    // clean, every byte below 33 is drawn as a blank.
    virtual void drawText(const ElementPoint& point, const char* text, int length, bool clean) = 0;
    // Font notices: forget the font of one key, or of every key of a paragraph style (-1 all).
    virtual void dropStyle(const StyleKey& key) { (void)key; }
    virtual void dropStyles(int paraStyle) { (void)paraStyle; }
    virtual void setClipRect(const ElementRect& rect) { (void)rect; }
    virtual void resetClip() {}
    virtual void drawPixelInPenColour(const ElementPoint& point) { (void)point; }
    virtual void drawPixel(const ElementPoint& point) { (void)point; }
    // A non-zero width draws with a copy of the current pen of that width.
    virtual void drawLine(const ElementPoint& from, const ElementPoint& to, int width) { (void)from, (void)to, (void)width; }
    virtual void drawPolyLine(const ElementPoint* points, int count) { (void)points, (void)count; }
    virtual void drawPointList(const ViewPointList& list) { (void)list; }
    // Fill styles 0 none, 1 solid, 2 hatched; the outline in the current pen.
    virtual void fillRect(const ElementRect& rect, std::uint32_t rgb, int colourIndex, int fillStyle) {
        (void)rect, (void)rgb, (void)colourIndex, (void)fillStyle;
    }
    virtual void fillRectIndexed(const ElementRect& rect, int colourIndex, int fillStyle) {
        (void)rect, (void)colourIndex, (void)fillStyle;
    }
    // The closed five-point outline through drawPolyLine.
    virtual void drawRectOutline(const ElementRect& rect);
    virtual void fillPolygon(const ViewPointList& list, std::uint32_t rgb, int colourIndex) {
        (void)list, (void)rgb, (void)colourIndex;
    }
    virtual void fillPolygonIndexed(const ViewPointList& list, int colourIndex) { (void)list, (void)colourIndex; }
    // The frame of the rectangle spanned by two corners (both inclusive).
    virtual void drawFrameBetween(const ElementPoint& corner1, const ElementPoint& corner2, int handleSize) {
        (void)corner1, (void)corner2, (void)handleSize;
    }
    // A frame with eight handles of the given size, in exclusive-or: drawn twice it is gone.
    virtual void drawFrame(const ElementRect& rect, int handleSize) { (void)rect, (void)handleSize; }
    // A polyline in exclusive-or with a pen of that width: drawn twice it is gone.
    virtual void drawXorPolyLine(int width, const ElementPoint* points, int count) { (void)width, (void)points, (void)count; }
    // Inverts the part of the rectangle that lies in the view.
    virtual void highlightRect(const ElementRect& rect) { (void)rect; }
    virtual void drawMetafile(const ElementRect& rect, const Picture& metafile) { (void)rect, (void)metafile; }
    virtual void drawBitmap(const ElementRect& rect, const Bitmap& bitmap) { (void)rect, (void)bitmap; }
    virtual void reservedHook2(std::intptr_t a, std::intptr_t b) { (void)a, (void)b; }
    virtual void reservedHook3(std::intptr_t a) { (void)a; }

    // ---- the window around the view ------------------------------------------------------------
    virtual ViewCaret* viewCaret() { return nullptr; }
    // An element is about to change (the worksheet window's caret in it becomes a pending point).
    virtual void elementChanging(Element* element) { (void)element; }

    // ---- further notices of the document and the tree --------------------------------------------
    // The document-wide notice.
    virtual void documentNotice(std::intptr_t argument) { (void)argument; }
    // A paragraph style changed (-1: all); one character-style combination was dropped.
    // A WindowView drops the fonts of those keys.
    virtual void paraStyleChanged(int index) { (void)index; }
    virtual void charStyleChanged(int charIndex, int paraIndex, int overrideIndex) {
        (void)charIndex, (void)paraIndex, (void)overrideIndex;
    }
    // The worksheet window holding the view, or the other window kind, when the view belongs to
    // one; the editing part of each when it is ready (null otherwise).
    virtual ElementWindow* worksheetWindow() { return nullptr; }
    virtual ElementWindow* docWindow() { return nullptr; }
    virtual ElementWindow* worksheetEditTarget() { return nullptr; }
    virtual ElementWindow* docEditTarget() { return nullptr; }
    // The view forgets an element that is going away.
    virtual void forgetElement(Element* element) { (void)element; }
    // The root's size changed by (dw, dh); origin is the root's origin.
    virtual void extentChanged(int dw, int dh, ElementPoint origin) { (void)dw, (void)dh, (void)origin; }
    // Redraw of a changed document area.
    virtual void redraw(const ElementRect& area) { (void)area; }

    // ---- non-virtual ---------------------------------------------------------------------------
    Document* document() const { return document_; }

    // Zoom: nothing when the ratio is unchanged or a term is not positive (answers false then);
    // otherwise stores it and hands the old and new ratio to Document::zoomChanged.
    bool setZoom(int numerator, int denominator);
    int zoomNumerator() const { return zoomNumerator_; }
    int zoomDenominator() const { return zoomDenominator_; }
    // The other ratios; false (and nothing changed) for a term that is not positive.
    bool setSecondScale(int numerator, int denominator);
    int secondScaleNumerator() const { return secondScaleNumerator_; }
    int secondScaleDenominator() const { return secondScaleDenominator_; }
    bool setUnitsPerPoint(int numerator, int denominator);
    int unitsPerPointNumerator() const { return unitsPerPointNumerator_; }
    int unitsPerPointDenominator() const { return unitsPerPointDenominator_; }
    // A length in view units under the second scale (integer arithmetic).
    int scaled(int n) const { return int(std::int64_t(n) * secondScaleNumerator_ / secondScaleDenominator_); }
    // A style size in points as a font height on this view: size x units per point x zoom x
    // second scale, in 64 bits, clamped to 1..32767.
    int fontHeightFor(int points) const;

    void setViewSize(int width, int height) { viewWidth_ = width, viewHeight_ = height; }
    int viewWidth() const { return viewWidth_; }
    int viewHeight() const { return viewHeight_; }
    void setScrollOrigin(int x, int y) { scrollX_ = x, scrollY_ = y; }
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }
    void setMargins(int left, int right, int top, int bottom) {
        leftMargin_ = left, rightMargin_ = right, topMargin_ = top, bottomMargin_ = bottom;
    }
    int leftMargin() const { return leftMargin_; }
    int rightMargin() const { return rightMargin_; }
    int topMargin() const { return topMargin_; }
    int bottomMargin() const { return bottomMargin_; }
    // Width and height of the drawing area (view size less the margins).
    int availableWidth() const { return viewWidth_ - leftMargin_ - rightMargin_; }
    int availableHeight() const { return viewHeight_ - topMargin_ - bottomMargin_; }
    // Origin and size of the laid-out root, as the last relayout left them.
    const ElementRect& documentExtent() const { return documentExtent_; }

    bool showInvisible = false;
    bool showSectionRanges = true;
    bool showGroupRanges = true;

    PageList* pageList() const { return pageList_.get(); }
    void setPageList(OwnedPageList list) { pageList_ = std::move(list); }

    // Clamping conversions of a document point to a 16-bit window point (every coordinate
    // limited to -32768..32767), and of a window point back.
    ElementPoint documentToWindow16(const ElementPoint& point) const;
    ElementPoint documentToWindowXY16(int x, int y) const;
    ElementPoint documentToWindowUnclamped(int x, int y) const;
    ElementPoint windowToDocument16(int x, int y) const;

protected:
    // Unregisters from the document now (it goes with its last view).  A class whose
    // worksheetWindow or docWindow answers a window calls this in its own destructor, while
    // those still answer: the document unlinks the window's undo groups as the view goes, and
    // the base destructor can only reach the base's answers.
    void leaveDocument();

private:
    friend class Document;   // clears document_ when it is deleted before its views
    Document* document_;
    int viewWidth_ = -1;
    int viewHeight_ = -1;
    int scrollX_ = 0;
    int scrollY_ = 0;
    ElementRect documentExtent_;
    int leftMargin_ = 0;
    int rightMargin_ = 0;
    int topMargin_ = 0;
    int bottomMargin_ = 0;
    int zoomNumerator_ = 1;
    int zoomDenominator_ = 1;
    int secondScaleNumerator_ = 1;
    int secondScaleDenominator_ = 1;
    int unitsPerPointNumerator_ = 1;
    int unitsPerPointDenominator_ = 1;
    OwnedPageList pageList_{nullptr, nullptr};
};
