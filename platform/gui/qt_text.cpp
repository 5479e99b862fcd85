// Text and font conversions at the Qt boundary.
#include "platform/gui/qt_text.h"

#include <QFontMetrics>
#include <QHash>
#include <QRawFont>

namespace gui {

QString toQString(std::string_view bytes) {
    if (isJapaneseTextMode()) return QString::fromStdString(sjisToUtf8(bytes));
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(static_cast<char16_t>(cp1252ToUnicode(static_cast<uint8_t>(bytes[i]))));
    return out;
}

QString toQString(const String& s) { return toQString(s.view()); }

String fromQString(const QString& s, std::size_t* replaced) {
    if (isJapaneseTextMode()) return String(utf8ToSjis(s.toStdString(), replaced));
    std::string out;
    out.reserve(static_cast<std::size_t>(s.size()));
    std::size_t bad = 0;
    for (auto it = s.begin(); it != s.end(); ++it) {
        char32_t ch = it->unicode();
        if (it->isHighSurrogate() && it + 1 != s.end() && (it + 1)->isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        int b = unicodeToCp1252(ch);
        if (b < 0) { out += '?'; ++bad; }
        else out += static_cast<char>(b);
    }
    if (replaced) *replaced = bad;
    return String(std::move(out));
}

void buildSymbolMap(const QFont& font, char16_t map[256]) {
    QRawFont raw = QRawFont::fromFont(font);
    for (int b = 0; b < 256; ++b) {
        // The symbol character map (U+F000 + b); then the face's own encoding, which Qt
        // addresses by the byte itself for a face without a Unicode map (the Type 1 and OpenType
        // URW faces); then the byte's standard Unicode character.
        char32_t cp = symbolGlyphCodePoint(static_cast<uint8_t>(b));
        if (!raw.isValid() || !raw.supportsCharacter(static_cast<uint>(cp))) {
            cp = static_cast<char32_t>(b);
            if (!raw.isValid() || b < 0x20 || !raw.supportsCharacter(static_cast<uint>(cp))) {
                cp = symbolToUnicode(static_cast<uint8_t>(b));
                if (cp == 0) cp = U' ';
            }
        }
        map[b] = static_cast<char16_t>(cp);
    }
}

QString symbolToQString(std::string_view bytes, const char16_t map[256]) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i) d[i] = QChar(map[static_cast<uint8_t>(bytes[i])]);
    return out;
}

bool isSymbolFont(const Font& f) {
    return f.getCharSet() == CHARSET_SYMBOL || f.getName().equalsIgnoreCase("Symbol");
}

QString mapFaceName(const String& face) {
    struct Entry { const char* from; const char* to; };
    static const Entry table[] = {
        {"times new roman", "Liberation Serif"}, {"times", "Liberation Serif"},
        {"arial", "Liberation Sans"},            {"helvetica", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},    {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},          {"symbol", "Standard Symbols PS"},
    };
    String lower = face.trimmed().lower();
    for (const Entry& e : table)
        if (lower == String(e.from)) return QString::fromLatin1(e.to);
    if (face.isEmpty()) return QStringLiteral("Liberation Sans");
    return toQString(face);
}

QFont makeQFont(const Font& f, int pixelHeight) {
    QFont q(mapFaceName(f.getName()));
    q.setPixelSize(pixelHeight > 0 ? pixelHeight : 16);
    q.setBold(f.getWeight() == WEIGHT_BOLD);
    q.setItalic(f.isItalic());
    q.setUnderline(f.isUnderline());
    q.setHintingPreference(QFont::PreferFullHinting);
    if (f.getFamily() == FAMILY_ROMAN) q.setStyleHint(QFont::Serif);
    else if (f.getFamily() == FAMILY_SWISS) q.setStyleHint(QFont::SansSerif);
    if (f.getPitch() == PITCH_FIXED) q.setFixedPitch(true);
    return q;
}

}  // namespace gui
