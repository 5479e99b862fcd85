#pragma once
// Conversions at the Qt boundary (internal to the GUI layer): program text to QString and back,
// Symbol-face text, and Font descriptions to QFont through the face table.
//
// Face table: "Times New Roman" and "Times" -> Liberation Serif; "Arial", "Helvetica" and
// "MS Sans Serif" -> Liberation Sans; "Courier New" and "Courier" -> Liberation Mono;
// "Symbol" -> Standard Symbols PS.  Other names are passed to fontconfig unchanged.

#include <QFont>
#include <QString>

#include "platform/gui/base/Font.h"
#include "platform/gui/base/String.h"
#include "platform/gui/base/text_tables.h"

namespace gui {

QString toQString(const String& s);
QString toQString(std::string_view bytes);
// Unicode to program text; `replaced` counts characters that became "?".  NUL characters are
// kept (the clipboard removes them itself).
String fromQString(const QString& s, std::size_t* replaced = nullptr);
// Symbol-encoding bytes to the code points the Symbol face draws them with: U+F000 + b through
// the face's symbol character map, else the byte through the face's own encoding, else the
// byte's standard Unicode character.  `map` is a 256-entry table buildSymbolMap fills once per font.
void buildSymbolMap(const QFont& font, char16_t map[256]);
QString symbolToQString(std::string_view bytes, const char16_t map[256]);

// True for a description that names the Symbol face or its character set.
bool isSymbolFont(const Font& f);
// The installed family a face name maps to.
QString mapFaceName(const String& face);
// The QFont for a description, its height (logic units) already turned into `pixelHeight`.
QFont makeQFont(const Font& f, int pixelHeight);

}  // namespace gui
