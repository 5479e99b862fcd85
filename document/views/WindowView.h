#pragma once
// WindowView: a document view that draws on a window or printer device of the GUI layer, with
// fonts from the font cache.  The worksheet window's view and the print view derive from it.
//
// Every drawing operation converts document points with the clamping form (each coordinate of
// the window point limited to -32768..32767) and passes rectangles as the GUI layer's
// rectangles (right edge x + width - 1, a zero side the empty edge value).
//
// Colours: an index 1..5 names a colour of the GUI layer (1 -> 25, 2 -> 27, 3 -> 26, 4 -> 24,
// 5 -> 20, the window text colour), any other non-zero index 0 (black); index 0 takes the RGB
// value, each byte widened to 16 bits.  Pen styles 0, 2, 3, 4 pass unchanged, others are 1
// (solid); fill styles 0 -> none, 2 -> hatched, others solid.
//
// The keep-visible rule (setPen, selectStyle): a colour equal to the device's fill colour turns
// white when the RGB value's red byte is 0, else black.
//
// Owns its style font table (its entries are released to the cache before the base goes);
// borrows the output device (set by the owner, the print view per page) and the font cache.
// Free of Qt.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/tree/DocumentView.h"
#include "document/views/FontCache.h"
#include "platform/gui/base/geometry.h"

class OutputDevice;

class WindowView : public DocumentView {
public:
    // Fonts come from `cache`, or from the program's cache when none is given.
    explicit WindowView(Document* document, OutputDevice* device = nullptr, FontCache* cache = nullptr);
    ~WindowView() override;

    void setOutputDevice(OutputDevice* device) { device_ = device; }
    OutputDevice* outputDevice() const { return device_; }
    StyleFontTable& styleFonts() { return styleFonts_; }

    // ---- DocumentView -----------------------------------------------------------------------
    int viewKind() const override { return 2; }
    void pushPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) override;
    void setPen(std::uint32_t rgb, int colourIndex, int width, int style, bool keepVisible) override;
    void popPen() override;
    void selectStyle(const StyleKey& key, bool keepVisible) override;
    FontMeasure* currentFont() const override { return current_; }
    const std::uint8_t* setTextColour(std::uint32_t rgb, int colourIndex) override;
    int charWidth(int character) override;
    int textWidth(const char* text, int length) override;
    void textExtent(ExtentRecord& out, const char* text, int length) override;
    void stringExtent(ExtentRecord& out, const char* text, int length) override;
    const FontEntryMetrics* fontMetrics() const override { return current_ ? &current_->metrics() : nullptr; }
    void drawText(const ElementPoint& point, const char* text, int length, bool clean) override;
    void dropStyle(const StyleKey& key) override;
    void dropStyles(int paraStyle) override;
    void setClipRect(const ElementRect& rect) override;
    void resetClip() override;
    void drawPixelInPenColour(const ElementPoint& point) override;
    void drawPixel(const ElementPoint& point) override;
    void drawLine(const ElementPoint& from, const ElementPoint& to, int width) override;
    void drawPolyLine(const ElementPoint* points, int count) override;
    void drawPointList(const ViewPointList& list) override;
    void fillRect(const ElementRect& rect, std::uint32_t rgb, int colourIndex, int fillStyle) override;
    void fillRectIndexed(const ElementRect& rect, int colourIndex, int fillStyle) override;
    void fillPolygon(const ViewPointList& list, std::uint32_t rgb, int colourIndex) override;
    void fillPolygonIndexed(const ViewPointList& list, int colourIndex) override;
    void drawFrameBetween(const ElementPoint& corner1, const ElementPoint& corner2, int handleSize) override;
    void drawFrame(const ElementRect& rect, int handleSize) override;
    void drawXorPolyLine(int width, const ElementPoint* points, int count) override;
    void highlightRect(const ElementRect& rect) override;
    void drawMetafile(const ElementRect& rect, const Picture& metafile) override;
    void drawBitmap(const ElementRect& rect, const Bitmap& bitmap) override;
    // The style notices drop the fonts of the keys they name.
    void paraStyleChanged(int index) override { dropStyles(index); }
    void charStyleChanged(int charIndex, int paraIndex, int overrideIndex) override {
        dropStyle(StyleKey{std::int16_t(charIndex), std::int16_t(paraIndex), std::int16_t(overrideIndex)});
    }

    // ---- colours and styles of the GUI layer -------------------------------------------------
    static Color colourFor(std::uint32_t rgb, int colourIndex);
    static int namedColourCode(int colourIndex);
    static int penStyleFor(int style);
    static int fillStyleFor(int style);

    // The GUI layer's rectangle of a document rectangle (clamped, empty edges for zero sides).
    Rectangle windowRect(const ElementRect& rect) const;

private:
    Point windowPoint(const ElementPoint& point) const;
    // The keep-visible rule against the device's fill colour.
    Color keptVisible(const Color& colour, std::uint32_t rgb) const;
    // Marks of blanks, newlines and control characters after drawText drew the text at `at`.
    // `text` is the caller's (it says which marks go where), `drawn` what was drawn (it is
    // measured).
    void drawInvisibleMarks(const Point& at, const char* text, const char* drawn, std::size_t length);
    // The text cleaned for measuring, in the scratch buffer or the long string.
    std::string_view cleaned(const char* text, int length);

    OutputDevice* device_;
    FontCache* cache_;
    StyleFontTable styleFonts_;
    FontEntry* current_ = nullptr;
    StyleKey currentKey_;   // the key current_ was selected by (its table node holds it)
    // Scratch text of stringExtent: short texts in the buffer, longer ones in the string.
    static constexpr std::size_t SCRATCH_TEXT = 2048;
    char scratch_[SCRATCH_TEXT + 1] = {};
    std::string longText_;
    Polygon polygon_;
};
