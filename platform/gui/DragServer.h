#pragma once
// DragServer: the data of drags, read by the program the way it reads the clipboard.
//
// Outgoing: clear starts the data of the program's next drag and each copy call adds a format
// (text 1, a picture 3 or a registered format), as for the clipboard; Window::startDrag carries
// it.  Reading answers from the data of the drag arriving at a window while its queryDrop or
// drop handler runs, and otherwise from the program's own outgoing drag data (so the program can
// read back what it prepared before it runs the drag).
//
// Data from other programs is checked as clipboard data is (Clipboard.h): pasteData never copies
// more than the length asked for, blocks larger than Clipboard::kMaxBlock count as absent, text
// loses NULs and characters outside cp1252 become "?".

#include <cstddef>
#include <cstdint>

#include "platform/gui/Clipboard.h"
#include "platform/gui/base/String.h"

class QMimeData;

class DragServer {
public:
    static void clear();
    static bool copyString(const String& text);
    // A registered format (ids from Clipboard::registerFormat); false for others or too large.
    static bool copyData(uint32_t format, const void* data, std::size_t length);
    static bool copyPicture(const Picture& picture);

    static bool hasFormat(uint32_t format);
    static std::size_t getDataLength(uint32_t format);
    static std::size_t pasteData(uint32_t format, void* buffer, std::size_t maxLength);
    static String pasteString();
};

namespace gui::detail {
// The outgoing drag's data (never null).
const QMimeData* outgoingDragData();
// While alive, DragServer reads `incoming` (the data of a drag arriving at a window).
class IncomingDragScope {
public:
    explicit IncomingDragScope(const QMimeData* incoming);
    ~IncomingDragScope();
    IncomingDragScope(const IncomingDragScope&) = delete;
    IncomingDragScope& operator=(const IncomingDragScope&) = delete;

private:
    const QMimeData* saved_;
};
}  // namespace gui::detail
