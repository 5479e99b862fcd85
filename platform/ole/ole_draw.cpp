// The placeholder drawing of an OLE object: a one-pixel frame on the edge of the object's box and
// its user type name centred inside, clipped to the inside of the frame.
//
// The box is mapped to device pixels first and drawn in pixels, so that a map mode of any unit
// or direction (twips with y growing upwards on a print view, pixels on screen) gives an upright
// name at the same physical size: 8 points at the device's resolution, smaller when the box is
// lower than that.
#include <algorithm>
#include <string>

#include "platform/gui/OutputDevice.h"
#include "platform/gui/base/text_tables.h"
#include "platform/ole/ole_object.h"

namespace {

constexpr int kNamePoints = 8;

}  // namespace

void ole_draw_placeholder(OutputDevice& device, long long x, long long y, long long width, long long height,
                          const std::string& name)
{
    if (width == 0 || height == 0) return;
    // Corners in device pixels, normalised: the pixel box covers [left, right) x [top, bottom).
    const Point a = device.logicToPixel(Point(x, y));
    const Point b = device.logicToPixel(Point(x + width, y + height));
    const long left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    const long top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
    if (right - left < 1 || bottom - top < 1) return;

    device.push();
    device.setMapMode(MapMode());
    device.setRasterOp(ROP_OVERPAINT);
    device.setPen(Pen(Color(COL_BLACK)));
    device.setFillInBrush(Brush(Color(COL_WHITE), BRUSH_NULL));
    device.drawRect(Rectangle(left, top, right - 1, bottom - 1));

    // The name, inside the frame only.
    if (right - left > 2 && bottom - top > 2) {
        device.intersectClipRegion(Rectangle(left + 1, top + 1, right - 2, bottom - 2));
        const long pixels = std::max<long>(1, std::min<long>(kNamePoints * device.getDPIY() / 72, bottom - top - 2));
        Font font(String("Arial"), Size(0, pixels));
        font.setAlign(ALIGN_TOP);
        font.setTransparent(true);
        font.setColor(Color(COL_BLACK));
        device.setFont(font);
        // The name's bytes are cp1252 whatever the program's text mode.
        const String text(utf8ToProgramText(cp1252ToUtf8(name)));
        const Size extent = device.getTextSize(text);
        device.drawText(Point(left + (right - left - extent.width) / 2, top + (bottom - top - extent.height) / 2), text);
    }
    device.pop();
}
