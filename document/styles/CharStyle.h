#pragma once
// Character and paragraph style records, their "defined" convention, merging, completion,
// equality, description words, and their records "{CSTYLE ", "{PSTYLE " and the oldest
// format's "{FONT" (with a nested "{COLOR").
//
// "Defined" convention: 0 means not defined here for every mode and tri-state attribute
// (tri-states: 1 on, 2 off); -1 for indices, indents and leadings; no value for names.
//
// "{CSTYLE " fields, in order (record syntax of KWorksheetReader.h):
//
// | #     | field                      | notes                                              |
// |-------|----------------------------|----------------------------------------------------|
// | 1     | name                       | quoted; "" for none                                |
// | 2, 3  | basedOn, index             | -1 none; 16-bit (values outside are refused)       |
// | 4     | fontName                   | quoted; translated faces, see translateTypefaces    |
// | 5, 6  | sizeMode, size             | 0 undefined, 1 points, 2 relative steps; 16-bit    |
// | 7-10  | red, green, blue, defined  | colour bytes, then 0/1                             |
// | 11-17 | italic, bold, underline, spare, input, readOnly, lineBreak                      |
// | 18    | charsetCode                | 1 default, 2 symbol, 6 double byte                 |
// | 19    | pitch                      | read only from format 2.3 on                       |
//
// "{PSTYLE ": name, basedOn, index, 1, a nested "{CSTYLE " of the character part, then
// justification, spacing, extraValue, firstIndent, preleading, postleading, leftMarginMode,
// leftMargin, rightMarginMode, rightMargin, newPage, extraMode, nextStyle, listKind, "}".
//
// Readers skip fields added after the known ones, and catch their own syntax faults: the rest
// of the record is skipped and the style keeps what was read.  The Japanese mode (double-byte
// face names and charset code 6 by default) is not built: faces are single-byte names.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class KWorksheetReader;
class KWorksheetWriter;

// Whether the faces "Courier New", "Times New Roman" and "Arial" are written as "Courier",
// "Times" and "Helvetica" and read back the other way.  On by default.
extern bool translateTypefaces;

// Colours of the style records: bytes, a kind (0 the bytes, 5 the automatic text colour, set
// only by completion and three default styles) and whether the colour is defined here.
struct StyleColor {
    std::uint8_t red = 0, green = 0, blue = 0;
};

class CharStyle {
public:
    explicit CharStyle(int basedOn = -1);
    CharStyle(const CharStyle&) = default;
    CharStyle& operator=(const CharStyle&) = default;
    virtual ~CharStyle() = default;

    void setName(const char* text);       // null or "" for none
    void setFontName(const char* text);
    bool hasName() const { return name.has_value(); }

    bool isEmpty() const;                  // no attribute defined, names included
    bool equals(const CharStyle& other) const;
    // Fills what is undefined here from `other`; takes other's basedOn.  True when complete.
    bool mergeFrom(const CharStyle& other);
    bool isComplete() const;
    void completeWithDefaults();
    void describe(std::string& out) const;

    void writeRecord(KWorksheetWriter& writer) const;
    // After "{CSTYLE" was read; reads through the closing brace.  Never null.
    static std::unique_ptr<CharStyle> readCharStyle(KWorksheetReader& reader);

    void setColor(int r, int g, int b, int kind = 0) {
        color = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
        colourKind = kind;
        colourDefined = 1;
    }

    std::optional<std::string> name;
    std::int16_t basedOn;
    std::int16_t index = -1;
    std::optional<std::string> fontName;
    int sizeMode = 0;          // 0 undefined, 1 points, 2 steps
    std::int16_t size = 0;     // points, or steps (positive: smaller)
    StyleColor color;
    int colourKind = 0;        // 0 the bytes, 5 automatic text colour
    int colourDefined = 0;
    int italic = 0, bold = 0, underline = 0;
    int spareAttribute = 0, inputAttribute = 0;
    int readOnly = 0;          // 1 read-only, 2 writable
    int lineBreak = 0;         // 1 at spaces, 2 anywhere, 3 only at carriage returns
    int charsetCode = 0;       // 1 default, 2 symbol, 6 double byte
    int pitch = 0;             // 1 any, 2 variable, 3 fixed
    bool used = false;
    bool doubleByteFont = false;
};

// Size of a relative `steps` over an absolute `points`: positive steps shrink to p*2/(3s),
// negative steps grow by 4/3 per step; never below 4 points nor above 32767.
int relativeSize(int points, int steps);

class ParaStyle {
public:
    explicit ParaStyle(int basedOn = -1);
    ParaStyle(const ParaStyle&) = default;
    ParaStyle& operator=(const ParaStyle&) = default;
    virtual ~ParaStyle() = default;

    void setName(const char* text);
    bool hasName() const { return name.has_value(); }
    bool isEmpty() const;
    bool equals(const ParaStyle& other) const;
    // Merges from `other`, or completes with the defaults when it is null.
    bool mergeFrom(const ParaStyle* other);
    bool isComplete() const;
    void completeWithDefaults();
    void describe(std::string& out) const;

    void writeRecord(KWorksheetWriter& writer) const;
    // After "{PSTYLE" was read; reads through the closing brace.  Never null.
    static std::unique_ptr<ParaStyle> readParaStyle(KWorksheetReader& reader);
    // After "{FONT" was read: the oldest format's font as a paragraph style, or null when the
    // record is damaged (the rest of it is skipped).  fontNumber is 0..FONT_NUMBER_LIMIT-1.
    static std::unique_ptr<ParaStyle> readR3Font(KWorksheetReader& reader, int& fontNumber);
    static constexpr int FONT_NUMBER_LIMIT = 4096;

    std::optional<std::string> name;
    std::int16_t basedOn;
    std::int16_t index = -1;
    CharStyle charPart;
    int justification = 0;     // 1 left, 2 right, 3 centred, 4 full
    int spacing = 0;           // 1 single, 2 double, 3 one and a half
    int extraValue = 0;
    int firstIndent = -1;      // 0 none, >0 first line, <0 hanging
    int preleading = -1, postleading = -1;
    int leftMarginMode = 0, leftMargin = 0;
    int rightMarginMode = 0, rightMargin = 0;
    int newPage = 0;           // 1 new page, 2 not
    int extraMode = 0;
    std::int16_t nextStyle = -1;
    int listKind = 0;          // 1 normal, 2 bullet, 3 dashed, 4 numbered, 5 undecorated
    bool used = false;
};
