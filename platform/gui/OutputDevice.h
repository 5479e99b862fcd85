#pragma once
// OutputDevice: drawing and measuring on a window, a virtual device or a printer.
//
// Every drawing call runs the same steps: return early when nothing shows (an empty rectangle,
// a null pen and brush), clamp the coordinates to 16 bits, map logic units to device pixels,
// open the backend painter lazily, refresh the dirty pen, brush, font, raster operation and clip
// state, and make one QPainter call.  The painter stays open between calls (opening one per call
// costs more than most primitives) and is closed before the image is read raw, resized or
// shown.
//
// Raster operations: exclusive-or (ROP_XOR) and inversion use RasterOp_SourceXorDestination and
// RasterOp_NotDestination with antialiasing off, so drawing twice restores every pixel; in
// exclusive-or a black pen counts as white, so that rubber bands show on white.  Printers ignore
// both.
//
// Text: a drawing position names the top of the line (font alignment 0) or the baseline (1);
// text is cp1252 (Shift-JIS in the Japanese mode), or Symbol-encoding bytes for the Symbol face.
//
// Recording (PictureRecorder, Picture.h): while a device records, every drawing call appends an
// action to its picture instead of drawing, and every state change that alters the state appends
// one too; the state itself is kept as usual, so measuring answers as before.
//
// Device kinds: 0 window, 1 printer, 2 virtual device.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/Bitmap.h"
#include "platform/gui/base/Color.h"
#include "platform/gui/base/Font.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/geometry.h"

class QImage;
class QPaintDevice;
class QPainter;
class Picture;

enum OutDevType : int { OUTDEV_WINDOW = 0, OUTDEV_PRINTER = 1, OUTDEV_VIRDEV = 2 };
enum RasterOp : int { ROP_OVERPAINT = 0, ROP_XOR = 1 };

struct FontMetric {
    long ascent = 0, descent = 0, leading = 0;
    long averageWidth = 0;   // the fifth value: average character width
    int kind = 3;            // 3 = scalable
    int charSet = CHARSET_SYSTEM;  // 10 Symbol face, 11 Japanese face, else 9
    long getHeight() const { return ascent + descent; }
};

struct DevFont {
    String name;
    int kind = 3;
    int charSet = CHARSET_SYSTEM;
    int pitch = PITCH_VARIABLE;
    int family = FAMILY_DONTKNOW;
};

class OutputDevice {
public:
    virtual ~OutputDevice();
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    int getOutDevType() const;

    // ---- state ----
    void setFont(const Font& f);
    const Font& getFont() const;
    void setPen(const Pen& p);
    const Pen& getPen() const;
    void setFillInBrush(const Brush& b);
    const Brush& getFillInBrush() const;
    void setBackgroundBrush(const Brush& b);
    const Brush& getBackgroundBrush() const;
    void setRasterOp(int op);
    int getRasterOp() const;
    void setMapMode(const MapMode& m);
    const MapMode& getMapMode() const;

    // ---- clipping and saved states ----
    void setClipRegion(const Region& r);  // logic units
    void intersectClipRegion(const Rectangle& r);
    // Shifts the clip region by (dx, dy) logic units; nothing when not clipping.
    void moveClipRegion(long dx, long dy);
    void resetClip();
    bool isClipping() const;
    // Saves pen, brush, font, raster operation, clip and map mode; pop restores the last push.
    void push();
    void pop();

    // ---- text ----
    void drawText(const Point& p, const String& text, std::size_t index = 0, std::size_t len = String::npos);
    Size getTextSize(const String& text, std::size_t index = 0, std::size_t len = String::npos) const;
    long getTextWidth(const String& text, std::size_t index = 0, std::size_t len = String::npos) const;
    long getTextHeight() const;
    FontMetric getFontMetric() const;

    // ---- shapes ----
    void drawLine(const Point& a, const Point& b);
    void drawPolyLine(const Polygon& poly);
    void drawPolygon(const Polygon& poly);
    void drawRect(const Rectangle& r);
    void drawEllipse(const Rectangle& r);
    // A rectangle with rounded corners (horizontal and vertical rounding, logic units).
    void drawRect(const Rectangle& r, long roundX, long roundY);
    // Arc and pie of the ellipse in `r`, counter-clockwise from the ray through `start` to the ray
    // through `end` (both rays from the centre); equal rays give the whole ellipse.
    void drawArc(const Rectangle& r, const Point& start, const Point& end);
    void drawPie(const Rectangle& r, const Point& start, const Point& end);
    void drawPixel(const Point& p);
    void drawPixel(const Point& p, const Color& c);
    // Inverts the pixels of the rectangle ("highlight"); twice restores them.
    void invert(const Rectangle& r);
    // Fills with the background brush.
    void erase();
    void erase(const Rectangle& r);

    // ---- pixels and images ----
    Color getPixel(const Point& p) const;
    void drawBitmap(const Point& p, const Bitmap& b);
    void drawBitmap(const Point& p, const Size& s, const Bitmap& b);
    Bitmap getBitmap(const Point& p, const Size& s) const;
    void copyFromDevice(const Point& dest, const Size& size, const Point& src, const OutputDevice& from);
    // Plays a recorded picture into the rectangle (see Picture::play).
    void drawMetafile(const Rectangle& r, const Picture& picture);

    // ---- units ----
    Point logicToPixel(const Point& p) const;
    Size logicToPixel(const Size& s) const;
    Rectangle logicToPixel(const Rectangle& r) const;
    Point pixelToLogic(const Point& p) const;
    Size pixelToLogic(const Size& s) const;
    Rectangle pixelToLogic(const Rectangle& r) const;
    Size getOutputSizePixel() const;
    Size getOutputSize() const;  // logic units
    int getDPIX() const;
    int getDPIY() const;
    long getColorCount() const { return 16777216; }
    // An opaque handle standing for the device context; see gui::nativeDcDpiY.
    void* getNativeDC() const { return const_cast<OutputDevice*>(this); }

    // ---- fonts ----
    int getDevFontCount() const;
    DevFont getDevFont(int i) const;
    int getDevFontSizeCount(const Font& f) const;
    Size getDevFontSize(const Font& f, int j) const;

    // Closes the cached painter (before the image is read raw, resized or shown).
    void flushDrawing() const;

    struct Impl;

protected:
    explicit OutputDevice(int type, int dpiX = 96, int dpiY = 96);
    // Backend: the surface drawn on; the image (null for a printer); a painter the backend keeps
    // open itself (a printer job), or null.
    virtual QPaintDevice* paintTarget() const = 0;
    virtual QImage* imageTarget() const = 0;
    virtual QPainter* externalPainter() const { return nullptr; }
    // Called after drawing touched the surface (windows schedule a screen update).
    virtual void touched() const;
    void setResolution(int dpiX, int dpiY);
    // From now on drawing and state calls append actions to `target` instead of drawing
    // (PictureRecorder); null stops recording.
    void setRecording(Picture* target);

    Impl* dev_;
};

namespace gui {
// Answers the questions asked through a native device context: vertical dots per inch; true
// colour has no palette.
int nativeDcDpiY(void* nativeDc);
constexpr int nativeDcPaletteSize(void*) { return 0; }
}  // namespace gui
