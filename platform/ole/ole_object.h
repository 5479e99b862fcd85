#pragma once
// The library's objects and their handle table (the rules for handles are in oleport.h).
//
// An object owns its stored bytes: the whole block it was created from (or the clipboard's
// bytes), together with the length the caller gave, both written back unchanged.  Its
// description (user type name, HIMETRIC extent) is read from the first `length` bytes whenever
// the bytes change, and again by OLE_calcExtent.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ole/ole_describe.h"
#include "platform/ole/oleport.h"

class OutputDevice;

struct OleObject {
    void* element = nullptr;  // the caller's, passed back to the callbacks
    OleChangedCallback changed = nullptr;
    OleWindowCallback window = nullptr;

    bool hasData = false;        // bytes were read, pasted or cloned
    std::vector<uint8_t> bytes;  // the whole block
    int32_t length = 0;          // the caller's length, 0 <= length <= bytes.size()
    OleDescription description;
    int32_t pixWidth = 0, pixHeight = 0;  // from the last OLE_calcPixExtent

    std::string fileName, title;  // the container's, from OLE_notifyOfRename

    // Takes new bytes and reads their description.
    void assign(std::vector<uint8_t> data, int32_t newLength);
    void describe();
};

// The object of a handle, or null for 0, an unknown or a destroyed handle.
OleObject* ole_find(OleHandle h);

// The placeholder (ole_draw.cpp): frame and centred name on `device` between the corners
// (x, y) and (x + width, y + height) in its current map mode.
void ole_draw_placeholder(OutputDevice& device, long long x, long long y, long long width, long long height,
                          const std::string& name);

// Clipboard (ole_clipboard.cpp).
bool ole_copy_to_clipboard(const OleObject& object);
bool ole_paste_from_clipboard(OleObject& object);
// The "Object Descriptor" bytes: the 52-byte descriptor (size, class id, aspect 1, extent in
// HIMETRIC, position 0, status 0, offset of the user type name, no source) and the name in
// UTF-16LE with a terminating zero.
std::vector<uint8_t> ole_object_descriptor(const OleDescription& description);
