#pragma once
// VirtualDevice: an off-screen image to draw on, with the resolution of a reference device.

#include "platform/gui/OutputDevice.h"

class VirtualDevice : public OutputDevice {
public:
    VirtualDevice();  // screen resolution
    explicit VirtualDevice(const OutputDevice& reference);
    // A device compatible with another virtual device (same resolution); nothing is copied.
    explicit VirtualDevice(const VirtualDevice& reference)
        : VirtualDevice(static_cast<const OutputDevice&>(reference)) {}
    VirtualDevice& operator=(const VirtualDevice&) = delete;
    ~VirtualDevice() override;

    // New size; the old content is kept where it fits unless `erase`, which fills with the
    // background brush.  False when the image cannot be made.
    bool setOutputSizePixel(const Size& s, bool erase = true);

    const QImage* image() const;

protected:
    QPaintDevice* paintTarget() const override;
    QImage* imageTarget() const override;

private:
    QImage* image_;
};
