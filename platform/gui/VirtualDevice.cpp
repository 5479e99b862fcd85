// Off-screen images to draw on.
#include "platform/gui/VirtualDevice.h"

#include <cmath>
#include <QImage>

VirtualDevice::VirtualDevice() : OutputDevice(OUTDEV_VIRDEV), image_(new QImage) {}

VirtualDevice::VirtualDevice(const OutputDevice& reference)
    : OutputDevice(OUTDEV_VIRDEV, reference.getDPIX(), reference.getDPIY()), image_(new QImage) {}

VirtualDevice::~VirtualDevice() {
    flushDrawing();
    delete image_;
}

bool VirtualDevice::setOutputSizePixel(const Size& s, bool erase) {
    flushDrawing();
    int w = std::max<int32_t>(s.width, 0), h = std::max<int32_t>(s.height, 0);
    QImage next(w, h, QImage::Format_RGB32);
    if (w > 0 && h > 0 && next.isNull()) return false;
    const Color& bg = getBackgroundBrush().color;
    next.fill(QColor(bg.red8(), bg.green8(), bg.blue8()));
    if (!erase && !image_->isNull()) {
        for (int y = 0; y < std::min(h, image_->height()); ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(image_->constScanLine(y)), std::min(w, image_->width()),
                        reinterpret_cast<QRgb*>(next.scanLine(y)));
    }
    next.setDevicePixelRatio(1.0);
    next.setDotsPerMeterX(static_cast<int>(std::lround(getDPIX() / 0.0254)));
    next.setDotsPerMeterY(static_cast<int>(std::lround(getDPIY() / 0.0254)));
    *image_ = std::move(next);
    return true;
}

const QImage* VirtualDevice::image() const { return image_; }
QPaintDevice* VirtualDevice::paintTarget() const { return image_; }
QImage* VirtualDevice::imageTarget() const { return image_; }
