// Fuzzes the OLE support library with any bytes as an object's stored form: OLE_createFromFile,
// the compound-file reader behind it, the extents and the placeholder drawn on an off-screen
// device.  The bytes must come back unchanged from OLE_write, and the extents must stay within
// the bounds every caller lays out with.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/ole/oleport.h"
#include "platform/os/global_mem.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    gui::ensureApplication("fuzz_oleport");
    OLE_Init(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static VirtualDevice* device = [] {
        auto* d = new VirtualDevice;
        d->setOutputSizePixel(Size(64, 48));
        return d;
    }();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (size > 0) std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    const OleHandle h = OLE_Create(nullptr);
    if (OLE_createFromFile(h, nullptr, block, static_cast<int32_t>(size)) != 1) std::abort();

    OLE_calcExtent(h);
    int32_t w = 0, hgt = 0, d = 0;
    OLE_getHimetricExtent(h, &w, &hgt, &d);
    if (w <= 0 || hgt <= 0 || w > 1000000 || hgt > 1000000 || d != 0) std::abort();
    OLE_calcPixExtent(h, device->getNativeDC());
    OLE_getPixExtent(h, &w, &hgt, &d);
    // An extent of less than half a pixel rounds to 0; none exceeds 1,000,000 HIMETRIC at 96 dpi.
    if (w < 0 || hgt < 0 || w > 37796 || hgt > 37796 || d != 0) std::abort();

    OLE_draw(h, device->getNativeDC(), 2, 2, 60, 44, 1);
    OLE_draw(h, device->getNativeDC(), 2, 46, 60, -44, 0);

    int32_t length = -1;
    HGLOBAL out = OLE_write(h, &length);
    if (out == nullptr || GlobalSize(out) != size || length != static_cast<int32_t>(size)) std::abort();
    if (size > 0 && std::memcmp(GlobalLock(out), data, size) != 0) std::abort();
    GlobalFree(out);
    OLE_Destroy(h);
    return 0;
}
