// Drag data: the outgoing drag's formats and reading the current drag's data.
#include "platform/gui/DragServer.h"

#include <QMimeData>

#include <memory>
#include <vector>

#include "platform/gui/mime_data.h"
#include "platform/gui/picture_bytes.h"
#include "platform/gui/qt_text.h"

namespace {

std::unique_ptr<QMimeData>& outgoing() {
    static std::unique_ptr<QMimeData> data = std::make_unique<QMimeData>();
    return data;
}
const QMimeData* gIncoming = nullptr;

const QMimeData* current() { return gIncoming ? gIncoming : outgoing().get(); }

}  // namespace

void DragServer::clear() { outgoing() = std::make_unique<QMimeData>(); }

bool DragServer::copyString(const String& text) {
    outgoing()->setText(gui::toQString(text.view()));
    return true;
}

bool DragServer::copyData(uint32_t format, const void* data, std::size_t length) {
    QString mime = gui::detail::mimeOfFormat(format);
    if (mime.isEmpty() || format < FORMAT_FIRST_REGISTERED || length > Clipboard::kMaxBlock || (!data && length))
        return false;
    outgoing()->setData(mime, QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(length)));
    return true;
}

bool DragServer::copyPicture(const Picture& picture) {
    if (picture.isEmpty()) return false;
    std::vector<uint8_t> bytes = picture_bytes_write(picture);
    if (bytes.size() > Clipboard::kMaxBlock) return false;
    outgoing()->setData(gui::detail::mimeOfFormat(FORMAT_PICTURE),
                        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    return true;
}

bool DragServer::hasFormat(uint32_t format) { return gui::detail::mimeHasFormat(current(), format); }

std::size_t DragServer::getDataLength(uint32_t format) { return gui::detail::mimeDataLength(current(), format); }

std::size_t DragServer::pasteData(uint32_t format, void* buffer, std::size_t maxLength) {
    return gui::detail::mimePaste(current(), format, buffer, maxLength);
}

String DragServer::pasteString() { return String(gui::detail::mimeText(current())); }

namespace gui::detail {

const QMimeData* outgoingDragData() { return outgoing().get(); }

IncomingDragScope::IncomingDragScope(const QMimeData* incoming) : saved_(gIncoming) { gIncoming = incoming; }
IncomingDragScope::~IncomingDragScope() { gIncoming = saved_; }

}  // namespace gui::detail
