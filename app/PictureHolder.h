#pragma once
// PictureHolder: a picture kept in an off-screen device of the GUI layer, built when first
// needed, so that a picture-like element draws it quickly, reads it back pixel by pixel (for the
// image export) and matches a palette against what the display shows.  A mixin: the element
// draws its picture into `device()` and answers PictureSource through it.
//
// Invariants:
//  1. A device is built only for a size of at most kMaxSide pixels a side and kMaxPixels
//     pixels in all (picture sizes come from files); for a larger size the picture stays
//     empty: device answers null, pixelColor 0, getBitmap false.
//  2. A new reference device drops the off-screen device; the next device() builds an empty
//     one (background of colour-name 15) compatible with the new reference.
//  3. pixelColor never reads outside the device: a point outside answers 0.
//
// Owns the off-screen device and the scratch device; borrows the reference device and the
// palette record (both outlive the holder's use of them).

#include <cstdint>
#include <memory>

#include "document/views/PictureSource.h"
#include "platform/gui/VirtualDevice.h"

class OutputDevice;

class PictureHolder : public PictureSource {
public:
    static constexpr std::int32_t kMaxSide = 32767;
    static constexpr std::int64_t kMaxPixels = 32LL * 1024 * 1024;   // 128 MB at 4 bytes a pixel
    static constexpr int kBackgroundColour = COL_WHITE;              // colour-name 15

    PictureHolder();
    ~PictureHolder() override;
    PictureHolder(const PictureHolder&) = delete;
    PictureHolder& operator=(const PictureHolder&) = delete;

    void getSize(PictureSize& out) const override { out = size_; }
    void pixelColor(PictureColor& out, std::int32_t x, std::int32_t y) override;
    const PicturePalette* palette() const override { return palette_; }
    // The whole device from (0, 0), width x height; false when there is no device.
    bool getBitmap(Bitmap& out) override;

    // The device the picture must be compatible with (null: a default one); drops the picture.
    void setReferenceDevice(const OutputDevice* device);
    // No change for an equal size; otherwise stores it and resizes an existing device (which is
    // dropped when the new size is too large).
    void setSize(const PictureSize& size);
    // The off-screen device, built when there is none; null when the size is too large.
    VirtualDevice* device();
    void releaseDevice();
    bool hasDevice() const { return offscreen_ != nullptr; }
    // Stores the record and sets each entry to the colour the display shows for it.
    void matchPalette(PicturePalette* palette);

private:
    bool sizeAllowed() const;

    const OutputDevice* reference_ = nullptr;
    std::unique_ptr<VirtualDevice> offscreen_;
    VirtualDevice scratch_;
    PictureSize size_;
    PicturePalette* palette_ = nullptr;
};
