#pragma once
// The OLE support library (liboleport.so): the 21 entries the worksheet program's OLE bridge
// looks up by name with dlsym, with C linkage.
//
// This system has no OLE object servers.  An object is the bytes it was stored with, kept
// unchanged and written back byte for byte, and it is drawn as a placeholder: a frame with the
// object's user type name centred in it ("OLE object" when its bytes name none).  Inserting a new
// object and running verbs answer false, so the caller shows its own message.
//
// Handles: non-zero 32-bit numbers from the library's table, never pointers and never reused
// within a run.  Every entry refuses a handle that is 0, unknown or destroyed (false, null, no
// drawing) without touching memory.  True is 1.
//
// Units: HIMETRIC is 0.01 mm; pixels = HIMETRIC * dpi / 2540, rounded, with the device's
// horizontal and vertical resolution.  A device context is the opaque handle of
// OutputDevice::getNativeDC; a window the one of Window::getNativeHandle; a menu is any pointer
// (nothing is added to it).
//
// OLE_draw draws in the device's current map mode between the corners (x, y) and
// (x + width, y + height), whichever way round they are, so a caller in a twips mode whose y axis
// grows upwards (a scale of -1 on y) passes y and the height negated and gets the same box.
//
// Global memory blocks (platform/os/global_mem.h): OLE_createFromFile takes over the block it
// is given (also when it answers false); OLE_write hands a new block to the caller.
//
// Single-threaded: called from the GUI thread.

#include <cstdint>

extern "C" {

using OleHandle = uint32_t;
// Called when an object changed (never here: nothing changes an object) and to ask for the
// native window of the element's worksheet.
using OleChangedCallback = void (*)(void* element);
using OleWindowCallback = void* (*)(void* element);

int OLE_Init(void* instance);
void OLE_Uninit();
OleHandle OLE_Create(void* element);
void OLE_SetCallbacks(OleHandle h, OleChangedCallback changed, OleWindowCallback window);
void OLE_Destroy(OleHandle h);
int OLE_clone(OleHandle target, OleHandle source);
int OLE_createFromFile(OleHandle h, void* reserved, void* block, int32_t length);
int OLE_createFromInsert(OleHandle h, void* window, const char* fileName, const char* title);
int OLE_createFromPaste(OleHandle h, void* window);
int OLE_copy(OleHandle h, void* window);
void* OLE_write(OleHandle h, int32_t* length);
void OLE_draw(OleHandle h, void* dc, int32_t x, int32_t y, int32_t width, int32_t height, unsigned char showObjects);
void OLE_calcExtent(OleHandle h);
void OLE_calcPixExtent(OleHandle h, void* dc);
void OLE_getPixExtent(OleHandle h, int32_t* width, int32_t* height, int32_t* descent);
void OLE_getHimetricExtent(OleHandle h, int32_t* width, int32_t* height, int32_t* descent);
int OLE_activate(OleHandle h, int32_t verb, const char* fileName, const char* title);
int OLE_primary(OleHandle h, const char* fileName, const char* title);
void OLE_notifyOfRename(OleHandle h, const char* fileName, const char* title);
void OLE_addVerbMenu(OleHandle h, void* menu);
int OLE_isLinked(OleHandle h);

}  // extern "C"

// The names the bridge looks up, in the order above.
inline constexpr const char* kOleEntryNames[] = {
    "OLE_Init", "OLE_Uninit", "OLE_Create", "OLE_SetCallbacks", "OLE_Destroy", "OLE_clone",
    "OLE_createFromFile", "OLE_createFromInsert", "OLE_createFromPaste", "OLE_copy", "OLE_write",
    "OLE_draw", "OLE_calcExtent", "OLE_calcPixExtent", "OLE_getPixExtent", "OLE_getHimetricExtent",
    "OLE_activate", "OLE_primary", "OLE_notifyOfRename", "OLE_addVerbMenu", "OLE_isLinked",
};

// Clipboard formats of an OLE object: its bytes, and a descriptor with its user type name and
// extent (object_descriptor.h).
inline constexpr const char* kOleEmbeddedFormat = "Embedded Object";
inline constexpr const char* kOleDescriptorFormat = "Object Descriptor";
