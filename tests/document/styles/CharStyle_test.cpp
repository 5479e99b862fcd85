// Tests of character and paragraph styles: merging, defaults, description and their records.
#include <gtest/gtest.h>

#include "document/styles/CharStyle.h"
#include "tests/document/document_env.h"

namespace {

TEST(CharStyle, RelativeSizesOverPoints) {
    struct Row {
        int points, steps, expected;
    };
    const Row rows[] = {{12, 1, 8},  {12, 2, 4},   {12, -1, 16},        {12, -2, 21},
                        {12, 9, 4},  {12, 0, 12},  {10, -3, 22},        {12, -32768, 32767},
                        {32767, -1, 32767}, {4, 1, 4}};
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, relativeSize(r.points, r.steps)) << r.points << " " << r.steps;
}

TEST(CharStyle, MergeFillsOnlyUndefinedAttributes) {
    CharStyle mine;
    mine.bold = 1;
    mine.sizeMode = 2;
    mine.size = 1;
    CharStyle other(7);
    other.setName("Base");
    other.setFontName("Arial");
    other.bold = 2;
    other.italic = 1;
    other.sizeMode = 1;
    other.size = 12;
    other.setColor(1, 2, 3);
    EXPECT_FALSE(mine.mergeFrom(other));
    EXPECT_EQ(1, mine.bold);
    EXPECT_EQ(1, mine.italic);
    EXPECT_EQ(1, mine.sizeMode);
    EXPECT_EQ(8, mine.size);
    EXPECT_EQ("Arial", *mine.fontName);
    EXPECT_EQ("Base", *mine.name);
    EXPECT_EQ(7, mine.basedOn);
    EXPECT_EQ(1, mine.colourDefined);
    EXPECT_EQ(3, mine.color.blue);
}

TEST(CharStyle, RelativeOverRelativeAddsSteps) {
    CharStyle a, b;
    a.sizeMode = b.sizeMode = 2;
    a.size = 1;
    b.size = -3;
    a.mergeFrom(b);
    EXPECT_EQ(2, a.sizeMode);
    EXPECT_EQ(-2, a.size);
}

TEST(CharStyle, DefaultsCompleteEverything) {
    CharStyle s;
    s.sizeMode = 2;
    s.size = -1;
    s.completeWithDefaults();
    EXPECT_EQ("Times New Roman", *s.fontName);
    EXPECT_EQ(16, s.size);
    EXPECT_EQ(5, s.colourKind);
    EXPECT_EQ(2, s.bold);
    EXPECT_EQ(1, s.lineBreak);
    EXPECT_EQ(1, s.pitch);
    s.setName("n");
    EXPECT_TRUE(s.isComplete());
}

TEST(CharStyle, DescriptionWords) {
    struct Row {
        const char* name;
        std::function<void(CharStyle&)> set;
        const char* expected;
    };
    const Row rows[] = {
        {"bold_only", [](CharStyle& s) { s.bold = 1; }, "bold"},
        {"font_and_size", [](CharStyle& s) { s.setFontName("Courier New"); s.sizeMode = 1; s.size = 10; },
         "Courier New + 10 pt"},
        {"one_step_up", [](CharStyle& s) { s.sizeMode = 2; s.size = 1; }, "up 1 step"},
        {"steps_down", [](CharStyle& s) { s.sizeMode = 2; s.size = -2; }, "down 2 steps"},
        {"offs", [](CharStyle& s) { s.italic = 2; s.underline = 2; s.readOnly = 2; },
         "non-italic + non-underlined + writable"},
        {"colour_break_pitch", [](CharStyle& s) { s.setColor(1, 1, 1); s.lineBreak = 3; s.pitch = 3; },
         "colored + lines break at carriage returns + fixed width characters"},
        {"nothing", [](CharStyle&) {}, ""},
    };
    for (const Row& r : rows) {
        CharStyle s;
        r.set(s);
        std::string out;
        s.describe(out);
        EXPECT_EQ(r.expected, out) << r.name;
    }
}

TEST(ParaStyle, DescriptionWords) {
    ParaStyle p;
    p.charPart.bold = 1;
    p.justification = 3;
    p.spacing = 3;
    p.firstIndent = -12;
    p.preleading = 0;
    p.postleading = 4;
    p.leftMarginMode = 1;
    p.rightMarginMode = 2;
    p.rightMargin = 9;
    p.newPage = 1;
    p.listKind = 2;
    std::string out;
    p.describe(out);
    EXPECT_EQ("bold + centered + 1.5 spaced + hanging indent of 12 pts + no preleading + "
              "postlead by 4 pts + left margin: 0 pts + right margin: 9 pts + starts on new page + "
              "bullet list item",
              out);
}

TEST(CharStyle, RecordRoundTripAndColourKind) {
    CharStyle s(3);
    s.setName("Mine \"quoted\"");
    s.index = 300;
    s.setFontName("Times New Roman");
    s.sizeMode = 2;
    s.size = -2;
    s.setColor(10, 20, 30, 5);
    s.bold = 1;
    s.pitch = 3;
    KWorksheetWriter w;
    s.writeRecord(w);
    std::string text = w.getBuffer();
    EXPECT_NE(std::string::npos, text.find("\"Times\""));
    TextReader t(text);
    std::string token;
    t.reader.readToken(token);
    ASSERT_EQ("{CSTYLE", token);
    auto back = CharStyle::readCharStyle(t.reader);
    EXPECT_TRUE(back->equals(s));
    EXPECT_EQ(0, back->colourKind);
    EXPECT_EQ(20, back->color.green);
    EXPECT_EQ(3, back->basedOn);
    EXPECT_EQ(300, back->index);
    EXPECT_EQ("Times New Roman", *back->fontName);
    EXPECT_TRUE(t.reader.atEnd());
}

TEST(CharStyle, RecordVersions) {
    const std::string fields18 = "\"\" -1 -1 \"Arial\" 1 10 0 0 0 0 1 0 0 0 0 0 0 1 ";
    struct Row {
        const char* name;
        int major, minor;
        std::string body;
        int pitch;
    };
    const Row rows[] = {
        {"v22_eighteen_fields", 2, 2, fields18 + "}", 0},
        {"v22_nineteenth_field_skipped", 2, 2, fields18 + "3 }", 0},
        {"v23_reads_pitch", 2, 3, fields18 + "3 }", 3},
        {"v3_trailing_fields_skipped", 3, 0, fields18 + "2 7 \"x\\{\" {NEW 1} }", 2},
    };
    for (const Row& r : rows) {
        TextReader t(r.body + " 77");
        t.reader.majorVersion = r.major;
        t.reader.minorVersion = r.minor;
        auto s = CharStyle::readCharStyle(t.reader);
        EXPECT_EQ(r.pitch, s->pitch) << r.name;
        EXPECT_EQ(1, s->sizeMode) << r.name;
        EXPECT_EQ("Arial", *s->fontName) << r.name;
        int next = 0;
        t.reader.readInt(next);
        EXPECT_EQ(77, next) << r.name;
    }
}

TEST(CharStyle, DamagedRecordsKeepReaderInStep) {
    const char* rows[] = {
        "\"a\" 99999 5 \"f\" 1 10 }",          // index beyond 16 bits
        "\"a\" -1 -1 \"f\" 7 10 }",            // size mode out of range
        "\"a\" -1 -1 f 1 10 }",                // missing quote
        "\"a\" -1 -1 \"f\" 1 }",               // record ends early
        "\"a\" -1 -1 \"f\" 1 70000 {X 1} }",   // size beyond 16 bits, nested record after
    };
    for (const char* body : rows) {
        TextReader t(std::string(body) + " 55");
        auto s = CharStyle::readCharStyle(t.reader);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ("a", *s->name) << body;
        int next = 0;
        t.reader.readInt(next);
        EXPECT_EQ(55, next) << body;
    }
}

TEST(ParaStyle, RecordRoundTrip) {
    ParaStyle p(4);
    p.setName("Para");
    p.index = 257;
    p.charPart.setFontName("Courier New");
    p.charPart.sizeMode = 1;
    p.charPart.size = 9;
    p.justification = 4;
    p.firstIndent = 20;
    p.leftMarginMode = 3;
    p.leftMargin = 36;
    p.nextStyle = 5;
    p.listKind = 4;
    p.extraValue = 6;
    KWorksheetWriter w;
    p.writeRecord(w);
    TextReader t(w.getBuffer() + "8");
    std::string token;
    t.reader.readToken(token);
    ASSERT_EQ("{PSTYLE", token);
    auto back = ParaStyle::readParaStyle(t.reader);
    EXPECT_TRUE(back->equals(p));
    EXPECT_EQ(4, back->basedOn);
    EXPECT_EQ(257, back->index);
    int next = 0;
    t.reader.readInt(next);
    EXPECT_EQ(8, next);
}

TEST(ParaStyle, NestedRecordThatIsNotCharStyleIsSkipped) {
    TextReader t("\"P\" -1 -1 1 {OTHER 1 {Y 2} } 1 1 0 0 0 0 1 0 1 0 2 2 0 1 } 66");
    auto p = ParaStyle::readParaStyle(t.reader);
    EXPECT_EQ("P", *p->name);
    EXPECT_EQ(0, p->justification);
    int next = 0;
    t.reader.readInt(next);
    EXPECT_EQ(66, next);
}

TEST(ParaStyle, OldFontRecords) {
    struct Row {
        const char* name;
        std::string body;
        bool nt;
        bool ok;
        int number;
        const char* face;
        int bold, size, underline, italic;
        int red;   // -1: no colour
    };
    const Row rows[] = {
        {"weight_size_flags", "2 \"Arial\" \"helv\" \"x\" 7 10 33 \"y\" 0 }", false, true, 2, "Helv", 1, 10, 1, 1, -1},
        {"nt_face_and_colour", "1 \"Arial\" \"helv\" \"x\" 4 12 0 \"y\" 0 {COLOR \"FF8000\" } }", true, true, 1, "Arial", 2, 12, 2, 2, 255},
        {"font_number_out_of_range", "100000 \"A\" \"b\" \"x\" 4 12 0 \"y\" 0 }", false, false, -1, nullptr, 0, 0, 0, 0, -1},
        {"damaged_colour", "3 \"A\" \"b\" \"x\" 4 12 0 \"y\" 0 {COLOR FF } }", false, false, -1, nullptr, 0, 0, 0, 0, -1},
        {"missing_string", "3 \"A\" b }", false, false, -1, nullptr, 0, 0, 0, 0, -1},
    };
    for (const Row& r : rows) {
        TextReader t(r.body + " 44");
        t.reader.platformIsNt = r.nt;
        int number = 99;
        auto p = ParaStyle::readR3Font(t.reader, number);
        EXPECT_EQ(r.ok, p != nullptr) << r.name;
        EXPECT_EQ(r.number, number) << r.name;
        if (p) {
            EXPECT_EQ(r.face, *p->charPart.fontName) << r.name;
            EXPECT_EQ(r.bold, p->charPart.bold) << r.name;
            EXPECT_EQ(r.size, p->charPart.size) << r.name;
            EXPECT_EQ(r.underline, p->charPart.underline) << r.name;
            EXPECT_EQ(r.italic, p->charPart.italic) << r.name;
            EXPECT_EQ(r.number == 1 ? "Normal" : "R3 Font " + std::to_string(r.number), *p->name);
            if (r.red >= 0) {
                EXPECT_EQ(r.red, p->charPart.color.red) << r.name;
            }
        }
        int next = 0;
        t.reader.readInt(next);
        EXPECT_EQ(44, next) << r.name;
    }
}

TEST(CharStyle, TypefaceTranslationCanBeSwitchedOff) {
    translateTypefaces = false;
    CharStyle s;
    s.setFontName("courier new");
    KWorksheetWriter w;
    s.writeRecord(w);
    translateTypefaces = true;
    EXPECT_NE(std::string::npos, w.getBuffer().find("\"courier new\""));
    KWorksheetWriter w2;
    s.writeRecord(w2);
    EXPECT_NE(std::string::npos, w2.getBuffer().find("\"Courier\""));
}

}  // namespace
