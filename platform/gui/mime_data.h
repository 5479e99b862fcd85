#pragma once
// Reading the program's formats out of a QMimeData: the clipboard's and a drag's data follow
// the same rules (Clipboard.h): text as cp1252 without NULs, registered blocks of at most
// Clipboard::kMaxBlock bytes, never more bytes copied than asked.  Private to the layer.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

class QMimeData;

namespace gui::detail {

// The MIME type of a format (text, bitmap, picture or registered); empty for an unknown one.
QString mimeOfFormat(uint32_t format);
std::string mimeText(const QMimeData* d);
bool mimeHasFormat(const QMimeData* d, uint32_t format);
std::size_t mimeDataLength(const QMimeData* d, uint32_t format);
std::size_t mimePaste(const QMimeData* d, uint32_t format, void* buffer, std::size_t maxLength);

}  // namespace gui::detail
