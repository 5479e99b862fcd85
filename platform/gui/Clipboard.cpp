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

// Pasted text as program bytes: NULs removed, characters outside the code page as "?".
std::string pastedText() {
    const QMimeData* d = current();
    if (!d || !d->hasText()) return std::string();
    QString t = d->text();
    t.remove(QChar(0));
    return gui::fromQString(t).str();
}

}  // namespace

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

bool Clipboard::hasFormat(uint32_t format) {
    const QMimeData* d = current();
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
    return static_cast<std::size_t>(d->data(mime).size()) <= kMaxBlock;
}

std::size_t Clipboard::getDataLength(uint32_t format) {
    if (format == FORMAT_STRING) return pastedText().size();
    if (format == FORMAT_BITMAP || !hasFormat(format)) return 0;
    return static_cast<std::size_t>(current()->data(mimeOf(format)).size());
}

std::size_t Clipboard::pasteData(uint32_t format, void* buffer, std::size_t maxLength) {
    if (!buffer || maxLength == 0) return 0;
    if (format == FORMAT_STRING) {
        std::string t = pastedText();
        std::size_t n = std::min(t.size(), maxLength);
        std::memcpy(buffer, t.data(), n);
        return n;
    }
    if (format == FORMAT_BITMAP || !hasFormat(format)) return 0;
    QByteArray bytes = current()->data(mimeOf(format));
    std::size_t n = std::min(static_cast<std::size_t>(bytes.size()), maxLength);
    std::memcpy(buffer, bytes.constData(), n);
    return n;
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
