// Character and paragraph styles: merging, defaults, description and their records.
#include "document/styles/CharStyle.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"

bool translateTypefaces = true;

namespace {

constexpr int SIZE_FLOOR = 4;
constexpr int SIZE_CEILING = 32767;

std::optional<std::string> optionalText(const char* text) {
    if (!text || !*text) return std::nullopt;
    return std::string(text);
}

// Pairs of (face in the program, face written when translating).
const char* const kFaceTranslations[][2] = {
    {"Courier New", "Courier"},
    {"Times New Roman", "Times"},
    {"Arial", "Helvetica"},
};

std::string faceForFile(const std::string& face) {
    if (!translateTypefaces) return face;
    for (auto& pair : kFaceTranslations)
        if (strcasecmp(face.c_str(), pair[0]) == 0) return pair[1];
    return face;
}

std::string faceFromFile(const std::string& face) {
    if (!translateTypefaces) return face;
    for (auto& pair : kFaceTranslations)
        if (face == pair[1]) return pair[0];
    return face;
}

void appendWord(std::string& out, const std::string& word) {
    if (!out.empty()) out += " + ";
    out += word;
}

std::string formatted(const char* format, int value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// An integer field that must fit a 16-bit index or size.
std::int16_t readShort(KWorksheetReader& reader, int low) {
    int v;
    reader.readInt(v);
    if (v < low || v > 32767) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    return std::int16_t(v);
}

int readField(KWorksheetReader& reader) {
    int v;
    reader.readInt(v);
    return v;
}

// Fills the style's fields from a "{CSTYLE" record body; raises on a syntax fault.
void readCharFields(KWorksheetReader& reader, CharStyle& s) {
    std::string text;
    reader.readString(text, false);
    s.name = optionalText(text.c_str());
    s.basedOn = readShort(reader, -1);
    s.index = readShort(reader, -1);
    reader.readString(text, false);
    s.fontName = optionalText(faceFromFile(text).c_str());
    int mode = readField(reader);
    if (mode < 0 || mode > 2) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    std::int16_t size = readShort(reader, -32768);
    s.sizeMode = mode;
    s.size = size;
    int r = readField(reader), g = readField(reader), b = readField(reader);
    s.color = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
    s.colourKind = 0;
    s.colourDefined = readField(reader) != 0 ? 1 : 0;
    s.italic = readField(reader);
    s.bold = readField(reader);
    s.underline = readField(reader);
    s.spareAttribute = readField(reader);
    s.inputAttribute = readField(reader);
    s.readOnly = readField(reader);
    s.lineBreak = readField(reader);
    s.charsetCode = readField(reader);
    s.doubleByteFont = s.charsetCode == 6;
    if ((reader.majorVersion == 2 && reader.minorVersion > 2) || reader.majorVersion > 2)
        s.pitch = readField(reader);
}

}  // namespace

int relativeSize(int points, int steps) {
    long p = points;
    if (steps > 0) {
        p = p * 2 / (3L * steps);
    } else {
        for (int i = 0; i < -steps && p <= SIZE_CEILING; ++i) p = p * 4 / 3;
    }
    if (p < SIZE_FLOOR) p = SIZE_FLOOR;
    if (p > SIZE_CEILING) p = SIZE_CEILING;
    return int(p);
}

// ---- CharStyle ---------------------------------------------------------------------------------

CharStyle::CharStyle(int based) : basedOn(std::int16_t(based)) {}

void CharStyle::setName(const char* text) { name = optionalText(text); }

void CharStyle::setFontName(const char* text) {
    fontName = optionalText(text);
    doubleByteFont = false;   // only a Japanese system has double-byte faces
}

bool CharStyle::isEmpty() const {
    return !name && !fontName && sizeMode == 0 && !colourDefined && italic == 0 && bold == 0 &&
           underline == 0 && spareAttribute == 0 && inputAttribute == 0 && readOnly == 0 &&
           lineBreak == 0 && charsetCode == 0 && pitch == 0;
}

bool CharStyle::equals(const CharStyle& o) const {
    if (name != o.name || fontName != o.fontName) return false;
    if (sizeMode != o.sizeMode || size != o.size) return false;
    if (colourDefined != o.colourDefined) return false;
    if (colourDefined && colourKind == 0 &&
        (color.red != o.color.red || color.green != o.color.green || color.blue != o.color.blue))
        return false;
    return italic == o.italic && bold == o.bold && underline == o.underline &&
           spareAttribute == o.spareAttribute && inputAttribute == o.inputAttribute &&
           readOnly == o.readOnly && lineBreak == o.lineBreak && charsetCode == o.charsetCode &&
           pitch == o.pitch;
}

bool CharStyle::isComplete() const {
    return name && fontName && sizeMode == 1 && colourDefined && italic && bold && underline &&
           spareAttribute && inputAttribute && readOnly && lineBreak && charsetCode && pitch;
}

bool CharStyle::mergeFrom(const CharStyle& o) {
    if (!name) name = o.name;
    if (!fontName) {
        fontName = o.fontName;
        doubleByteFont = o.doubleByteFont;
    }
    if (sizeMode == 0) {
        sizeMode = o.sizeMode;
        size = o.size;
    } else if (sizeMode == 2 && o.sizeMode == 1) {
        size = std::int16_t(relativeSize(o.size, size));
        sizeMode = 1;
    } else if (sizeMode == 2 && o.sizeMode == 2) {
        int steps = int(size) + int(o.size);
        if (steps > 32767) steps = 32767;
        if (steps < -32768) steps = -32768;
        size = std::int16_t(steps);
    }
    if (!colourDefined) {
        color = o.color;
        colourKind = o.colourKind;
        colourDefined = o.colourDefined;
    }
    auto take = [](int& mine, int theirs) {
        if (mine == 0) mine = theirs;
    };
    take(italic, o.italic);
    take(bold, o.bold);
    take(underline, o.underline);
    take(spareAttribute, o.spareAttribute);
    take(inputAttribute, o.inputAttribute);
    take(readOnly, o.readOnly);
    take(lineBreak, o.lineBreak);
    take(charsetCode, o.charsetCode);
    take(pitch, o.pitch);
    basedOn = o.basedOn;
    return isComplete();
}

void CharStyle::completeWithDefaults() {
    if (!fontName) fontName = "Times New Roman";
    if (sizeMode == 0) {
        sizeMode = 1;
        size = 12;
    } else if (sizeMode == 2) {
        size = std::int16_t(relativeSize(12, size));
        sizeMode = 1;
    }
    if (!colourDefined) {
        color = {0, 0, 0};
        colourKind = 5;
        colourDefined = 1;
    }
    auto fill = [](int& v, int d) {
        if (v == 0) v = d;
    };
    fill(italic, 2);
    fill(bold, 2);
    fill(underline, 2);
    fill(spareAttribute, 2);
    fill(inputAttribute, 2);
    fill(readOnly, 2);
    fill(lineBreak, 1);
    fill(charsetCode, 1);
    fill(pitch, 1);
}

void CharStyle::describe(std::string& out) const {
    if (fontName) appendWord(out, *fontName);
    if (sizeMode == 1) {
        appendWord(out, formatted("%d pt", size));
    } else if (sizeMode == 2) {
        int steps = size < 0 ? -int(size) : int(size);
        std::string word = size > 0 ? "up " : "down ";
        word += formatted("%d step", steps);
        if (steps > 1) word += "s";
        appendWord(out, word);
    }
    static const char* const italicWords[] = {"italic", "non-italic"};
    static const char* const boldWords[] = {"bold", "non-bold"};
    static const char* const underlineWords[] = {"underlined", "non-underlined"};
    if (italic == 1 || italic == 2) appendWord(out, italicWords[italic - 1]);
    if (bold == 1 || bold == 2) appendWord(out, boldWords[bold - 1]);
    if (underline == 1 || underline == 2) appendWord(out, underlineWords[underline - 1]);
    if (colourDefined) appendWord(out, "colored");
    if (readOnly == 1) appendWord(out, "read-only");
    else if (readOnly == 2) appendWord(out, "writable");
    static const char* const breakWords[] = {"lines break at spaces", "lines break anywhere",
                                             "lines break at carriage returns"};
    if (lineBreak >= 1 && lineBreak <= 3) appendWord(out, breakWords[lineBreak - 1]);
    static const char* const pitchWords[] = {"any pitch", "variable width characters",
                                             "fixed width characters"};
    if (pitch >= 1 && pitch <= 3) appendWord(out, pitchWords[pitch - 1]);
}

void CharStyle::writeRecord(KWorksheetWriter& w) const {
    w.writeRaw("{CSTYLE ");
    w.writeQuotedString(name ? *name : std::string());
    w.writeInt(basedOn).writeInt(index);
    w.writeQuotedString(fontName ? faceForFile(*fontName) : std::string());
    w.writeInt(sizeMode).writeInt(size);
    w.writeInt(color.red).writeInt(color.green).writeInt(color.blue).writeInt(colourDefined);
    w.writeInt(italic).writeInt(bold).writeInt(underline).writeInt(spareAttribute);
    w.writeInt(inputAttribute).writeInt(readOnly).writeInt(lineBreak).writeInt(charsetCode);
    w.writeInt(pitch);
    w.writeRaw("}");
}

std::unique_ptr<CharStyle> CharStyle::readCharStyle(KWorksheetReader& reader) {
    auto style = std::make_unique<CharStyle>(-1);
    try {
        ErrorGuard guard;
        readCharFields(reader, *style);
    } catch (const ErrorJump& jump) {
        if (jump.record != &worksheetFileError) throw;
    }
    reader.skipRecord();
    return style;
}

// ---- ParaStyle ---------------------------------------------------------------------------------

ParaStyle::ParaStyle(int based) : basedOn(std::int16_t(based)), charPart(-1) {}

void ParaStyle::setName(const char* text) { name = optionalText(text); }

bool ParaStyle::isEmpty() const {
    return !name && charPart.isEmpty() && justification == 0 && spacing == 0 &&
           firstIndent == -1 && preleading == -1 && postleading == -1 && leftMarginMode == 0 &&
           rightMarginMode == 0 && newPage == 0 && extraMode == 0 && nextStyle == -1 &&
           listKind == 0;
}

bool ParaStyle::equals(const ParaStyle& o) const {
    return name == o.name && charPart.equals(o.charPart) && justification == o.justification &&
           spacing == o.spacing && extraValue == o.extraValue && firstIndent == o.firstIndent &&
           preleading == o.preleading && postleading == o.postleading &&
           leftMarginMode == o.leftMarginMode && leftMargin == o.leftMargin &&
           rightMarginMode == o.rightMarginMode && rightMargin == o.rightMargin &&
           newPage == o.newPage && extraMode == o.extraMode && nextStyle == o.nextStyle &&
           listKind == o.listKind;
}

bool ParaStyle::isComplete() const {
    return name && charPart.isComplete() && justification && spacing && firstIndent != -1 &&
           preleading != -1 && postleading != -1 && leftMarginMode && rightMarginMode &&
           newPage && extraMode && nextStyle != -1 && listKind;
}

bool ParaStyle::mergeFrom(const ParaStyle* o) {
    if (!o) {
        completeWithDefaults();
        return true;
    }
    if (!name) name = o->name;
    charPart.mergeFrom(o->charPart);
    auto take = [](int& mine, int theirs) {
        if (mine == 0) mine = theirs;
    };
    auto takeIndex = [](int& mine, int theirs) {
        if (mine == -1) mine = theirs;
    };
    take(justification, o->justification);
    take(spacing, o->spacing);
    takeIndex(firstIndent, o->firstIndent);
    takeIndex(preleading, o->preleading);
    takeIndex(postleading, o->postleading);
    if (leftMarginMode == 0) {
        leftMarginMode = o->leftMarginMode;
        leftMargin = o->leftMargin;
    }
    if (rightMarginMode == 0) {
        rightMarginMode = o->rightMarginMode;
        rightMargin = o->rightMargin;
    }
    take(newPage, o->newPage);
    take(extraMode, o->extraMode);
    if (nextStyle == -1) nextStyle = o->nextStyle;
    take(listKind, o->listKind);
    basedOn = o->basedOn;
    return isComplete();
}

void ParaStyle::completeWithDefaults() {
    if (!name) name = "No Name";
    basedOn = -1;
    charPart.completeWithDefaults();
    if (justification == 0) justification = 1;
    if (spacing == 0) spacing = 1;
    if (firstIndent == -1) firstIndent = 0;
    if (preleading == -1) preleading = 0;
    if (postleading == -1) postleading = 0;
    if (leftMarginMode == 0) leftMarginMode = 1;
    if (rightMarginMode == 0) rightMarginMode = 1;
    if (newPage == 0) newPage = 2;
    if (extraMode == 0) extraMode = 2;
    if (listKind == 0) listKind = 1;
    if (nextStyle == -1) nextStyle = 0;
}

void ParaStyle::describe(std::string& out) const {
    charPart.describe(out);
    static const char* const justWords[] = {"left justified", "right justified", "centered",
                                            "fully justified"};
    if (justification >= 1 && justification <= 4) appendWord(out, justWords[justification - 1]);
    static const char* const spacingWords[] = {"single spaced", "double spaced", "1.5 spaced"};
    if (spacing >= 1 && spacing <= 3) appendWord(out, spacingWords[spacing - 1]);
    if (firstIndent == 0) appendWord(out, "no special indentation");
    else if (firstIndent > 0) appendWord(out, formatted("indent first line by %d pts", firstIndent));
    else if (firstIndent < -1) appendWord(out, formatted("hanging indent of %d pts", -firstIndent));
    if (preleading == 0) appendWord(out, "no preleading");
    else if (preleading > 0) appendWord(out, formatted("prelead by %d pts", preleading));
    if (postleading == 0) appendWord(out, "no postleading");
    else if (postleading > 0) appendWord(out, formatted("postlead by %d pts", postleading));
    if (leftMarginMode != 0)
        appendWord(out, formatted("left margin: %d pts", leftMarginMode == 1 ? 0 : leftMargin));
    if (rightMarginMode != 0)
        appendWord(out, formatted("right margin: %d pts", rightMarginMode == 1 ? 0 : rightMargin));
    if (newPage == 1) appendWord(out, "starts on new page");
    else if (newPage == 2) appendWord(out, "no new page");
    static const char* const listWords[] = {"normal paragraph", "bullet list item",
                                            "dashed list item", "numbered list item",
                                            "undecorated list item"};
    if (listKind >= 1 && listKind <= 5) appendWord(out, listWords[listKind - 1]);
}

void ParaStyle::writeRecord(KWorksheetWriter& w) const {
    w.writeRaw("{PSTYLE ");
    w.writeQuotedString(name ? *name : std::string());
    w.writeInt(basedOn).writeInt(index).writeInt(1);
    charPart.writeRecord(w);
    w.writeInt(justification).writeInt(spacing).writeInt(extraValue).writeInt(firstIndent);
    w.writeInt(preleading).writeInt(postleading).writeInt(leftMarginMode).writeInt(leftMargin);
    w.writeInt(rightMarginMode).writeInt(rightMargin).writeInt(newPage).writeInt(extraMode);
    w.writeInt(nextStyle).writeInt(listKind);
    w.writeRaw("}");
}

std::unique_ptr<ParaStyle> ParaStyle::readParaStyle(KWorksheetReader& reader) {
    auto style = std::make_unique<ParaStyle>(-1);
    try {
        ErrorGuard guard;
        ParaStyle& s = *style;
        std::string text;
        reader.readString(text, false);
        s.name = optionalText(text.c_str());
        s.basedOn = readShort(reader, -1);
        s.index = readShort(reader, -1);
        readField(reader);   // always 1
        reader.readToken(text);
        if (text != "{CSTYLE") {
            // Another nested record is consumed whole, so the skip below ends this one.
            if (!text.empty() && text[0] == '{' && text.back() != '}') reader.skipRecord();
            raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        }
        s.charPart = *CharStyle::readCharStyle(reader);
        s.charPart.basedOn = -1;
        s.charPart.index = -1;
        s.justification = readField(reader);
        s.spacing = readField(reader);
        s.extraValue = readField(reader);
        s.firstIndent = readField(reader);
        s.preleading = readField(reader);
        s.postleading = readField(reader);
        s.leftMarginMode = readField(reader);
        s.leftMargin = readField(reader);
        s.rightMarginMode = readField(reader);
        s.rightMargin = readField(reader);
        s.newPage = readField(reader);
        s.extraMode = readField(reader);
        s.nextStyle = readShort(reader, -1);
        s.listKind = readField(reader);
    } catch (const ErrorJump& jump) {
        if (jump.record != &worksheetFileError) throw;
    }
    reader.skipRecord();
    return style;
}

std::unique_ptr<ParaStyle> ParaStyle::readR3Font(KWorksheetReader& reader, int& fontNumber) {
    auto style = std::make_unique<ParaStyle>(-1);
    fontNumber = -1;
    bool nestedClosed = false;
    bool inColor = false;
    try {
        ErrorGuard guard;
        int number = readField(reader);
        if (number < 0 || number >= FONT_NUMBER_LIMIT) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        std::string ntFace, face, unused;
        reader.readString(ntFace, false);
        reader.readString(face, false);
        reader.readString(unused, false);
        int weight = readField(reader);
        int size = readField(reader);
        int flags = readField(reader);
        reader.readString(unused, false);
        readField(reader);
        CharStyle& c = style->charPart;
        if (reader.platformIsNt) {
            c.setFontName(ntFace.c_str());
        } else {
            if (!face.empty()) face[0] = char(std::toupper(static_cast<unsigned char>(face[0])));
            c.setFontName(face.c_str());
        }
        c.bold = weight < 5 ? 2 : 1;
        if (size < 1 || size > 32767) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        c.sizeMode = 1;
        c.size = std::int16_t(size);
        c.underline = (flags & 1) ? 1 : 2;
        c.italic = (flags & 32) ? 1 : 2;
        std::string token;
        reader.readToken(token);
        if (token == "{COLOR") {
            inColor = true;
            std::string hex;
            reader.readString(hex, false);
            unsigned short r, g, b;
            if (std::sscanf(hex.c_str(), "%02hx%02hx%02hx", &r, &g, &b) == 3) c.setColor(r & 0xFF, g & 0xFF, b & 0xFF);
            inColor = false;
            reader.skipRecord();    // the rest of "{COLOR"
        } else if (token == "}") {
            nestedClosed = true;    // the font record ended here
        } else {
            if (!token.empty() && token[0] == '{' && token.back() != '}') reader.skipRecord();
            raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        }
        fontNumber = number;
        if (number == 1) {
            style->setName("Normal");
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "R3 Font %d", number);
            style->setName(name);
        }
    } catch (const ErrorJump& jump) {
        if (jump.record != &worksheetFileError) throw;
        fontNumber = -1;
        style.reset();
        if (inColor) reader.skipRecord();
    }
    if (!nestedClosed) reader.skipRecord();
    return style;
}
