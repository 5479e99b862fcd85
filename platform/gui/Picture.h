#pragma once
// Picture: a recorded drawing kept as an ordered list of actions, with the size and map mode it
// prefers, or a wrapped Windows metafile kept as its bytes.
//
// The list is ours rather than a QPicture because the picture stream reads and writes every field
// of every action.  Actions are plain values; a Picture copies like a value (bitmaps inside share
// their pixels until written).
//
// Action types and the fields each one uses (all coordinates in the picture's logic units, 16-bit):
//
//   type                      fields
//   1  PA_PIXEL               point, color
//   2  PA_POINT               point (drawn in the pen colour)
//   3  PA_LINE                point (start), point2 (end)
//   4  PA_RECT                rect, roundX, roundY (corner rounding; 0 = square)
//   5  PA_ELLIPSE             rect (bounding rectangle)
//   6  PA_ARC                 rect, point (start), point2 (end); counter-clockwise from start to end
//   7  PA_PIE                 as PA_ARC, closed to the centre and filled
//   8  PA_INVERT              rect
//   9  PA_HIGHLIGHT           rect (inverted like PA_INVERT)
//   10 PA_POLYLINE            polygons[0]
//   11 PA_POLYGON             polygons[0]
//   12 PA_POLYPOLYGON         polygons (k polygons)
//   13 PA_TEXT                point, text, textIndex, textCount
//   14 PA_TEXTARRAY           as PA_TEXT, offsets (character i > 0 drawn at point.x + offsets[i-1])
//   15 PA_RESERVED            nothing (kept, never drawn)
//   16 PA_PLACEHOLDER         nothing (kept, never drawn)
//   17 PA_BITMAP              point, bitmap
//   18 PA_BITMAPSCALE         point, size, bitmap
//   19 PA_PEN                 pen
//   20 PA_FONT                font, orientation, lineOrientation, strikeout, outline, shadow
//   21 PA_BACKBRUSH           brush, fillColor
//   22 PA_FILLBRUSH           brush, fillColor
//   23 PA_MAPMODE             mapMode
//   24 PA_CLIPREGION          region, clipping (false: clipping off, region empty)
//   25 PA_RASTEROP            rasterOp
//   26 PA_PUSH                nothing
//   27 PA_POP                 nothing
//   28 PA_MOVECLIP            dx, dy
//   29 PA_INTERSECTCLIP       rect
//
// Playback (play, OutputDevice::drawMetafile) maps the preferred size in the preferred map mode
// onto the destination rectangle: positions, sizes, pen widths and font heights scale with it.  It
// draws inside the rectangle only and leaves the device's pen, brush, font, map mode, raster
// operation and clip as it found them, whatever pushes and pops the picture holds.  A wrapped
// Windows metafile plays through the metafile layer's player (Picture_wmf.cpp): its window (the
// origin and extent its records set, else origin 0 and the preferred size, whose numbers are the
// metafile's own units) maps onto the rectangle.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gui/Bitmap.h"
#include "platform/gui/OutputDevice.h"
#include "platform/gui/base/Color.h"
#include "platform/gui/base/Font.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

enum PictureActionType : int {
    PA_PIXEL = 1, PA_POINT = 2, PA_LINE = 3, PA_RECT = 4, PA_ELLIPSE = 5, PA_ARC = 6, PA_PIE = 7,
    PA_INVERT = 8, PA_HIGHLIGHT = 9, PA_POLYLINE = 10, PA_POLYGON = 11, PA_POLYPOLYGON = 12,
    PA_TEXT = 13, PA_TEXTARRAY = 14, PA_RESERVED = 15, PA_PLACEHOLDER = 16, PA_BITMAP = 17,
    PA_BITMAPSCALE = 18, PA_PEN = 19, PA_FONT = 20, PA_BACKBRUSH = 21, PA_FILLBRUSH = 22,
    PA_MAPMODE = 23, PA_CLIPREGION = 24, PA_RASTEROP = 25, PA_PUSH = 26, PA_POP = 27,
    PA_MOVECLIP = 28, PA_INTERSECTCLIP = 29,
};
constexpr int PA_FIRST = PA_PIXEL, PA_LAST = PA_INTERSECTCLIP;

// One recorded action; which fields count depends on the type (table above).
struct PictureAction {
    int type = PA_PLACEHOLDER;
    Point point, point2;
    Rectangle rect;
    int32_t roundX = 0, roundY = 0;
    Color color;
    std::vector<Polygon> polygons;
    String text;
    int32_t textIndex = 0, textCount = 0;
    std::vector<int32_t> offsets;
    Bitmap bitmap;
    Size size;
    Pen pen;
    Font font;
    int32_t orientation = 0, lineOrientation = 0, strikeout = 0;
    bool outline = false, shadow = false;
    Brush brush;
    Color fillColor{COL_WHITE};
    MapMode mapMode;
    Region region;
    bool clipping = false;
    int rasterOp = ROP_OVERPAINT;
    int32_t dx = 0, dy = 0;

    PictureAction() = default;
    explicit PictureAction(int t) : type(t) {}
};

class Picture {
public:
    Picture() = default;

    const Size& getPrefSize() const { return prefSize_; }
    void setPrefSize(const Size& s) { prefSize_ = s; }
    const MapMode& getPrefMapMode() const { return prefMap_; }
    void setPrefMapMode(const MapMode& m) { prefMap_ = m; }

    std::size_t getActionCount() const { return actions_.size(); }
    // Precondition: i < getActionCount().
    const PictureAction& getAction(std::size_t i) const { return actions_[i]; }
    const std::vector<PictureAction>& actions() const { return actions_; }
    // Appends an action; one of an unknown type (outside 1..29) is refused with false.
    bool addAction(PictureAction a);
    // Drops every action and a wrapped Windows metafile; keeps size and map mode.
    void clear();

    // A wrapped Windows metafile replaces the actions; its bytes are kept unchanged.  Empty bytes
    // unwrap it.
    void setWindowsMetafile(std::vector<uint8_t> bytes);
    bool isWindowsMetafile() const { return !wmf_.empty(); }
    const std::vector<uint8_t>& getWindowsMetafile() const { return wmf_; }

    bool isEmpty() const { return actions_.empty() && wmf_.empty(); }

    // Plays the actions into `dest` (logic units of `dev`); see the opening comment.
    void play(OutputDevice& dev, const Rectangle& dest) const;

    friend bool operator==(const Picture& a, const Picture& b);

private:
    // Each plays into the device set up by play (pixels, clipped to `destPixel`) and returns the
    // number of pushes it left for play to pop.
    std::size_t playActions(OutputDevice& dev, const Rectangle& destPixel) const;
    std::size_t playWindowsMetafile(OutputDevice& dev, const Rectangle& destPixel) const;

    Size prefSize_;
    MapMode prefMap_;
    std::vector<PictureAction> actions_;
    std::vector<uint8_t> wmf_;
};

bool operator==(const PictureAction& a, const PictureAction& b);

// A device that records: every drawing and state call appends an action to its picture instead of
// drawing, with the coordinates as given (logic units of the recorder's map mode).  Measuring
// (text sizes, font metrics) answers as a device of the given resolution would.  Pixels cannot be
// read back (getPixel gives black, getBitmap an empty bitmap).
class PictureRecorder : public OutputDevice {
public:
    // Records a picture of the given preferred size (logic units of `map`) and map mode, at the
    // resolution of a screen (96 dots per inch) unless told otherwise.
    explicit PictureRecorder(const Size& prefSize, const MapMode& map = MapMode(), int dpi = 96);
    ~PictureRecorder() override;

    const Picture& getPicture() const { return picture_; }
    // Hands the picture over and starts an empty one of the same size and map mode.
    Picture takePicture();

protected:
    QPaintDevice* paintTarget() const override;
    QImage* imageTarget() const override { return nullptr; }

private:
    Picture picture_;
    QImage* scratch_;  // 1 x 1, so that the device has a surface for font work
};
