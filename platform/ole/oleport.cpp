// The 21 entries of the OLE support library and its handle table (rules in oleport.h).
#include "platform/ole/oleport.h"

#include <cmath>
#include <cstring>
#include <map>

#include "platform/gui/OutputDevice.h"
#include "platform/ole/ole_object.h"
#include "platform/os/global_mem.h"

// Only the entries leave the library (the build hides everything else).
#define OLE_EXPORT __attribute__((visibility("default")))

namespace {

bool gReady = false;
// Live objects by handle; handles count up from 1 and are not reused within a run.
std::map<OleHandle, std::unique_ptr<OleObject>> gObjects;
OleHandle gLastHandle = 0;

// The container's names arrive in 256-byte buffers: at most 255 characters are taken.
std::string boundedName(const char* text)
{
    if (text == nullptr) return std::string();
    return std::string(text, strnlen(text, 255));
}

OutputDevice* deviceOf(void* dc) { return static_cast<OutputDevice*>(dc); }

int32_t toPixels(long himetric, int dpi)
{
    // Both factors are bounded (extent <= 1,000,000, dpi a device's), so the product fits.
    return static_cast<int32_t>(std::lround(static_cast<double>(himetric) * dpi / 2540.0));
}

}  // namespace

void OleObject::assign(std::vector<uint8_t> data, int32_t newLength)
{
    bytes = std::move(data);
    length = newLength;
    hasData = true;
    describe();
}

void OleObject::describe()
{
    description = hasData ? ole_describe(bytes.data(), static_cast<std::size_t>(length)) : OleDescription();
}

OleObject* ole_find(OleHandle h)
{
    auto it = h == 0 ? gObjects.end() : gObjects.find(h);
    return it == gObjects.end() ? nullptr : it->second.get();
}

extern "C" {

OLE_EXPORT int OLE_Init(void* /*instance*/)
{
    gReady = true;
    return 1;
}

OLE_EXPORT void OLE_Uninit()
{
    gObjects.clear();
    gReady = false;
}

OLE_EXPORT OleHandle OLE_Create(void* element)
{
    if (!gReady) return 0;
    // Skip 0 and any number still in use after a wrap-around.
    do ++gLastHandle;
    while (gLastHandle == 0 || gObjects.count(gLastHandle) != 0);
    auto object = std::make_unique<OleObject>();
    object->element = element;
    gObjects.emplace(gLastHandle, std::move(object));
    return gLastHandle;
}

OLE_EXPORT void OLE_SetCallbacks(OleHandle h, OleChangedCallback changed, OleWindowCallback window)
{
    if (OleObject* o = ole_find(h)) {
        o->changed = changed;
        o->window = window;
    }
}

OLE_EXPORT void OLE_Destroy(OleHandle h) { gObjects.erase(h); }

OLE_EXPORT int OLE_clone(OleHandle target, OleHandle source)
{
    OleObject* to = ole_find(target);
    const OleObject* from = ole_find(source);
    if (to == nullptr || from == nullptr || to == from) return 0;
    // A copy of the bytes and the description; the new object keeps its own element and callbacks.
    to->hasData = from->hasData;
    to->bytes = from->bytes;
    to->length = from->length;
    to->description = from->description;
    to->pixWidth = from->pixWidth;
    to->pixHeight = from->pixHeight;
    to->fileName = from->fileName;
    to->title = from->title;
    return 1;
}

OLE_EXPORT int OLE_createFromFile(OleHandle h, void* /*reserved*/, void* block, int32_t length)
{
    // The block is handed over: it is freed whatever the answer.
    std::vector<uint8_t> data;
    bool readable = false;
    if (const auto* p = static_cast<const uint8_t*>(GlobalLock(block))) {
        data.assign(p, p + GlobalSize(block));
        GlobalUnlock(block);
        readable = true;
    }
    GlobalFree(block);
    OleObject* o = ole_find(h);
    if (o == nullptr || !readable || length < 0 || static_cast<std::size_t>(length) > data.size()) return 0;
    o->assign(std::move(data), length);
    return 1;
}

OLE_EXPORT int OLE_createFromInsert(OleHandle, void*, const char*, const char*)
{
    return 0;  // no object servers to insert from
}

OLE_EXPORT int OLE_createFromPaste(OleHandle h, void* /*window*/)
{
    OleObject* o = ole_find(h);
    return o != nullptr && ole_paste_from_clipboard(*o) ? 1 : 0;
}

OLE_EXPORT int OLE_copy(OleHandle h, void* /*window*/)
{
    const OleObject* o = ole_find(h);
    return o != nullptr && o->hasData && ole_copy_to_clipboard(*o) ? 1 : 0;
}

OLE_EXPORT void* OLE_write(OleHandle h, int32_t* length)
{
    const OleObject* o = ole_find(h);
    if (o == nullptr || !o->hasData) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, o->bytes.size());
    void* p = GlobalLock(block);
    if (p == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    if (!o->bytes.empty()) std::memcpy(p, o->bytes.data(), o->bytes.size());
    GlobalUnlock(block);
    if (length != nullptr) *length = o->length;
    return block;
}

OLE_EXPORT void OLE_draw(OleHandle h, void* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                         unsigned char /*showObjects: a placeholder looks the same either way*/)
{
    const OleObject* o = ole_find(h);
    if (o == nullptr || dc == nullptr) return;
    ole_draw_placeholder(*deviceOf(dc), x, y, width, height, o->description.userType);
}

OLE_EXPORT void OLE_calcExtent(OleHandle h)
{
    if (OleObject* o = ole_find(h)) o->describe();
}

OLE_EXPORT void OLE_calcPixExtent(OleHandle h, void* dc)
{
    OleObject* o = ole_find(h);
    if (o == nullptr || dc == nullptr) return;
    o->pixWidth = toPixels(o->description.width, deviceOf(dc)->getDPIX());
    o->pixHeight = toPixels(o->description.height, deviceOf(dc)->getDPIY());
}

OLE_EXPORT void OLE_getPixExtent(OleHandle h, int32_t* width, int32_t* height, int32_t* descent)
{
    const OleObject* o = ole_find(h);
    if (o == nullptr) return;
    if (width) *width = o->pixWidth;
    if (height) *height = o->pixHeight;
    if (descent) *descent = 0;
}

OLE_EXPORT void OLE_getHimetricExtent(OleHandle h, int32_t* width, int32_t* height, int32_t* descent)
{
    const OleObject* o = ole_find(h);
    if (o == nullptr) return;
    if (width) *width = static_cast<int32_t>(o->description.width);
    if (height) *height = static_cast<int32_t>(o->description.height);
    if (descent) *descent = 0;
}

OLE_EXPORT int OLE_activate(OleHandle, int32_t, const char*, const char*)
{
    return 0;  // no object servers to run a verb
}

OLE_EXPORT int OLE_primary(OleHandle, const char*, const char*) { return 0; }

OLE_EXPORT void OLE_notifyOfRename(OleHandle h, const char* fileName, const char* title)
{
    if (OleObject* o = ole_find(h)) {
        o->fileName = boundedName(fileName);
        o->title = boundedName(title);
    }
}

OLE_EXPORT void OLE_addVerbMenu(OleHandle, void*)
{
    // No object servers, so no verbs: the menu is left as it is.
}

OLE_EXPORT int OLE_isLinked(OleHandle) { return 0; }

}  // extern "C"
