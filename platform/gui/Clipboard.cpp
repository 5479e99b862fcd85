// The system clipboard through QClipboard (rules in Clipboard.h).
#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>
#include <map>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/VirtualDevice.h"
#include "platform/gui/mime_data.h"
#include "platform/gui/picture_bytes.h"
#include "platform/gui/qt_text.h"

namespace {

struct Registered { String name; QString mime; };
std::vector<Registered> gFormats;  // index i has id FORMAT_FIRST_REGISTERED + i

// The copy being built: MIME type -> bytes.
std::map<QString, QByteArray> gCopy;
QImage gCopyImage;  // the copy's bitmap; Qt offers it as image/png and the other image types

QString mimeOf(uint32_t format) {
    if (format == FORMAT_STRING) return QStringLiteral("text/plain");
    if (format == FORMAT_BITMAP) return QStringLiteral("image/png");
    if (format == FORMAT_PICTURE) return QStringLiteral("application/x-wkelvo-picture");
    if (format >= FORMAT_FIRST_REGISTERED && format - FORMAT_FIRST_REGISTERED < gFormats.size())
        return gFormats[format - FORMAT_FIRST_REGISTERED].mime;
    return QString();
}

void publish() {
    gui::ensureApplication();
    auto* data = new QMimeData;
    for (const auto& [mime, bytes] : gCopy) {
        if (mime == QLatin1String("text/plain")) data->setText(QString::fromUtf8(bytes));
        else data->setData(mime, bytes);
    }
    if (!gCopyImage.isNull()) data->setImageData(gCopyImage);
    QGuiApplication::clipboard()->setMimeData(data);
}

const QMimeData* current() {
    gui::ensureApplication();
    return QGuiApplication::clipboard()->mimeData();
}

std::string pastedText() { return gui::detail::mimeText(current()); }

}  // namespace

namespace gui::detail {

QString mimeOfFormat(uint32_t format) { return mimeOf(format); }

std::string mimeText(const QMimeData* d) {
    if (!d || !d->hasText()) return std::string();
    QString t = d->text();
    t.remove(QChar(0));
    return gui::fromQString(t).str();
}

bool mimeHasFormat(const QMimeData* d, uint32_t format) {
    if (!d) return false;
    if (format == FORMAT_STRING) return d->hasText();
    if (format == FORMAT_BITMAP) {
        if (d->hasImage()) return true;
        for (const QString& f : d->formats())
            if (f.startsWith(QLatin1String("image/"))) return true;
        return false;
    }
    QString mime = mimeOf(format);
    if (mime.isEmpty() || !d->hasFormat(mime)) return false;
    return static_cast<std::size_t>(d->data(mime).size()) <= Clipboard::kMaxBlock;
}

std::size_t mimeDataLength(const QMimeData* d, uint32_t format) {
    if (format == FORMAT_STRING) return mimeText(d).size();
    if (format == FORMAT_BITMAP || !mimeHasFormat(d, format)) return 0;
    return static_cast<std::size_t>(d->data(mimeOf(format)).size());
}

std::size_t mimePaste(const QMimeData* d, uint32_t format, void* buffer, std::size_t maxLength) {
    if (!buffer || maxLength == 0) return 0;
    if (format == FORMAT_STRING) {
        std::string t = mimeText(d);
        std::size_t n = std::min(t.size(), maxLength);
        std::memcpy(buffer, t.data(), n);
        return n;
    }
    if (format == FORMAT_BITMAP || !mimeHasFormat(d, format)) return 0;
    QByteArray bytes = d->data(mimeOf(format));
    std::size_t n = std::min(static_cast<std::size_t>(bytes.size()), maxLength);
    std::memcpy(buffer, bytes.constData(), n);
    return n;
}

}  // namespace gui::detail

uint32_t Clipboard::registerFormat(const String& name) {
    for (std::size_t i = 0; i < gFormats.size(); ++i)
        if (gFormats[i].name.equalsIgnoreCase(name)) return FORMAT_FIRST_REGISTERED + static_cast<uint32_t>(i);
    QString suffix = gui::toQString(name.lower()).replace(QLatin1Char(' '), QLatin1Char('-'));
    gFormats.push_back({name, QStringLiteral("application/x-wkelvo-") + suffix});
    return FORMAT_FIRST_REGISTERED + static_cast<uint32_t>(gFormats.size() - 1);
}

void Clipboard::clear() {
    gCopy.clear();
    gCopyImage = QImage();
    gui::ensureApplication();
    QGuiApplication::clipboard()->clear();
}

bool Clipboard::copyString(const String& text) {
    gCopy[QStringLiteral("text/plain")] = QByteArray::fromStdString(cp1252ToUtf8(text.view()));
    publish();
    return true;
}

bool Clipboard::copyBitmap(const Bitmap& bitmap) {
    if (bitmap.isEmpty()) return false;
    gCopyImage = gui::bitmapImage(bitmap);
    publish();
    return true;
}

bool Clipboard::copyData(uint32_t format, const void* data, std::size_t length) {
    QString mime = mimeOf(format);
    if (mime.isEmpty() || format < FORMAT_FIRST_REGISTERED || length > kMaxBlock || (!data && length)) return false;
    gCopy[mime] = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(length));
    publish();
    return true;
}

bool Clipboard::copyPicture(const Picture& picture) {
    if (picture.isEmpty()) return false;
    std::vector<uint8_t> bytes = picture_bytes_write(picture);
    if (bytes.size() > kMaxBlock) return false;
    gCopy[mimeOf(FORMAT_PICTURE)] = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    if (gCopyImage.isNull()) {
        // The rendering other programs paste: the preferred size in screen pixels.
        const MapMode& map = picture.getPrefMapMode();
        long long w = map.lengthToPixelX(picture.getPrefSize().width, 96);
        long long h = map.lengthToPixelY(picture.getPrefSize().height, 96);
        if (w > 0 && h > 0 && w <= kMaxPictureImage && h <= kMaxPictureImage) {
            VirtualDevice dev;
            if (dev.setOutputSizePixel(Size(w, h))) {
                dev.drawMetafile(Rectangle(0, 0, w - 1, h - 1), picture);
                dev.flushDrawing();
                gCopyImage = dev.image()->copy();
            }
        }
    }
    publish();
    return true;
}

Picture Clipboard::pastePicture() {
    Picture pic;
    if (!hasFormat(FORMAT_PICTURE)) return pic;
    QByteArray bytes = current()->data(mimeOf(FORMAT_PICTURE));
    picture_bytes_read(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()), pic);
    return pic;
}

bool Clipboard::hasFormat(uint32_t format) { return gui::detail::mimeHasFormat(current(), format); }

std::size_t Clipboard::getDataLength(uint32_t format) { return gui::detail::mimeDataLength(current(), format); }

std::size_t Clipboard::pasteData(uint32_t format, void* buffer, std::size_t maxLength) {
    return gui::detail::mimePaste(current(), format, buffer, maxLength);
}

String Clipboard::pasteString() { return String(pastedText()); }

Bitmap Clipboard::pasteBitmap() {
    const QMimeData* d = current();
    if (!d) return Bitmap();
    QImage img;
    if (d->hasImage()) img = qvariant_cast<QImage>(d->imageData());
    for (const QString& f : d->formats())
        if (img.isNull() && f.startsWith(QLatin1String("image/"))) img.loadFromData(d->data(f));
    if (img.isNull()) return Bitmap();
    return gui::makeBitmap(img.convertToFormat(QImage::Format_RGB32), 24);
}
