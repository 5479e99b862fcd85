// The fragment reader's way to the clipboard and the drag data: source 0 the clipboard, 1 the
// drag data, both in the format given at start-up.
#include "app/KTransferHooks.h"

#include "document/elements/WorksheetFragment.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/DragServer.h"

namespace {
std::uint32_t transferFormat = 0;

bool hasFormat(int source) {
    return source == WorksheetFragment::SOURCE_DRAG ? DragServer::hasFormat(transferFormat)
                                                    : Clipboard::hasFormat(transferFormat);
}

std::size_t dataLength(int source) {
    return source == WorksheetFragment::SOURCE_DRAG ? DragServer::getDataLength(transferFormat)
                                                    : Clipboard::getDataLength(transferFormat);
}

std::size_t fetch(int source, char* buffer, std::size_t length) {
    return source == WorksheetFragment::SOURCE_DRAG ? DragServer::pasteData(transferFormat, buffer, length)
                                                    : Clipboard::pasteData(transferFormat, buffer, length);
}
}  // namespace

void installTransferHooks(std::uint32_t worksheetFormat) {
    transferFormat = worksheetFormat;
    WorksheetFragment::transferHooks = {hasFormat, dataLength, fetch};
}
