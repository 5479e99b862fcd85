#pragma once
// WorksheetTagTable: the map from the tags of element records ("{SECT ", "{PARA " ...) to
// element kinds and to the functions that read the rest of each record, and the state that
// one file read carries across records (the style set being filled, the renumbering of user
// styles, the oldest format's font numbers and execution groups).
//
// Tags and kinds, in table order (findTag and tagForKind search in this order):
//
// | tag          | kind | tag            | kind | tag         | kind | tag     | kind |
// |--------------|------|----------------|------|-------------|------|---------|------|
// | SECT         | 1    | XPPEDIT        | 10   | NEWSMARTPLOT3D | 23 | OLE     | 11   |
// | PARA         | 2    | SPREADSHEET    | 18   | SMARTPLOT2D | 0    | IMAGEMAP| 26   |
// | TEXT         | 5    | MATHOBJ        | 0    | SMARTPLOT3D | 0    | SCP_R   | 15   |
// | KLVTEXT      | 6    | R5MATHOBJ      | 19   | GLPLOT2D    | 20   | INP_R   | 0    |
// | EXCHG        | 14   | NEWSMARTPLOT2D | 22   | GLPLOT3D    | 21   | COM_R   | 0    |
// | BTN          | 8    | HYPERLNK       | 7    | INLPLOT     | 16   | OUT_R   | 0    |
// | XPPMATH      | 9    | METAFILE       | 12   | BITMAP      | 13   | DAG     | 0    |
//
// (The table order is: SECT PARA TEXT KLVTEXT EXCHG BTN XPPMATH HYPERLNK METAFILE BITMAP
// XPPEDIT SPREADSHEET MATHOBJ R5MATHOBJ NEWSMARTPLOT2D NEWSMARTPLOT3D SMARTPLOT2D SMARTPLOT3D
// GLPLOT2D GLPLOT3D INLPLOT OLE IMAGEMAP SCP_R INP_R COM_R OUT_R DAG.)  "DAG" is read by the
// reader of "XPPMATH".
//
// Element classes register their readers at start-up (registerReader); a tag whose reader is
// not registered is skipped like an unknown tag.  Old-format regions are grouped through
// OldRegionGroups, which the execution group layer supplies.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class Element;
class KWorksheetReader;
class StyleSet;
class WorksheetFragment;

using ElementReaderFn = bool (*)(KWorksheetReader& reader, Element*& out, Element* parent);
using FragmentReaderFn = bool (*)(KWorksheetReader& reader, WorksheetFragment* fragment);

struct TagEntry {
    const char* tag;
    int kind;
    ElementReaderFn reader;   // null until the element class registers it
};

// What the oldest format's region records need from execution groups.
class OldRegionGroups {
public:
    virtual ~OldRegionGroups() = default;
    virtual Element* newGroup() = 0;                                 // an empty group
    virtual void append(Element* group, Element* region) = 0;
    virtual void attachOutput(Element* group, Element* region) = 0;
    virtual bool inputComplete(Element* group) = 0;                 // statements complete
};

class WorksheetTagTable {
public:
    static constexpr int CAPACITY = 256;
    // Highest region number remembered for the oldest format's output regions.
    static constexpr int REGION_LIMIT = 1 << 16;
    // Deepest nesting of element records read: every level takes error-jump guards and stack,
    // so a record nested deeper is skipped like an unknown one.
    static constexpr long RECORD_DEPTH_LIMIT = 64;

    WorksheetTagTable();   // buildWorksheetTagTable

    const TagEntry* findTag(std::string_view tag) const;
    bool tagForKind(int kind, std::string& out) const;
    int entryCount() const { return entryCount_; }
    const TagEntry& entry(int i) const { return entries_[i]; }

    // Registration by the element classes; false for a tag that is not in the table.
    bool registerReader(std::string_view tag, ElementReaderFn reader);
    // The two readers of "SCP_R": inside a section and inside an execution group.
    void registerRegionReaders(ElementReaderFn sectionVariant, ElementReaderFn groupVariant);
    void registerFragmentReader(FragmentReaderFn reader) { fragmentReader_ = reader; }
    void setOldRegionGroups(OldRegionGroups* groups) { oldGroups_ = groups; }

    void resetReadState();

    // The next record of an element list: false at its end (the "}" consumed); true with an
    // element or none otherwise.  A token that is no record raises code 2.
    bool readNewRep(KWorksheetReader& reader, Element*& out, Element* parent,
                    bool sectionContext, WorksheetFragment* fragment);
    // The same for a record whose opening token the caller has read already.
    bool readNewRepFrom(const std::string& token, KWorksheetReader& reader, Element*& out, Element* parent,
                        bool sectionContext, WorksheetFragment* fragment);
    // "{CSTYLE", "{PSTYLE" and "{FONT" met among element records; false for other names.
    bool readStyleTable(KWorksheetReader& reader, StyleSet& set, const std::string& recordName);
    bool readStyleTableRecord(KWorksheetReader& reader, StyleSet& set);
    bool readStyleTableEntry(KWorksheetReader& reader, StyleSet& set);
    int styleForOldRegion(int firstFontNumber, int secondFontNumber);
    // A user style index (256 and up) read from a file or a paste, through the maps of the
    // read: the merge map of a paste, then the file's renumbering.  Neither grows on look-up:
    // an index that no map holds stays as it is.
    int mapCharStyle(int index) const;
    int mapParaStyle(int index) const;

    void addOldInputRegion(Element*& element, int regionNumber, KWorksheetReader& reader);
    void addOldCommentRegion(Element*& element, int regionNumber, KWorksheetReader& reader);
    void addOldOutputRegion(Element*& element, int regionNumber, KWorksheetReader& reader);

    // Read state.
    StyleSet* styleSet = nullptr;
    std::vector<std::int16_t> fontStyleMap;
    int fontStyleMapLast = -1;
    Element* currentGroup = nullptr;
    std::vector<Element*> groupsByRegion;
    std::vector<int> charStyleRenumber;
    std::vector<int> paraStyleRenumber;
    // The index a loaded style was renumbered to; 0 (unmapped) for an index the map does not
    // cover.  A look-up never grows the map.
    static int renumbered(const std::vector<int>& table, int index);

private:
    void addOldRegion(Element*& element, int regionNumber, bool testComplete);
    void rememberGroup(int regionNumber, Element* group);
    void setFontStyle(int fontNumber, int styleIndex);

    TagEntry entries_[CAPACITY];
    int entryCount_ = 0;
    ElementReaderFn sectionRegionReader_ = nullptr;
    ElementReaderFn groupRegionReader_ = nullptr;
    FragmentReaderFn fragmentReader_ = nullptr;
    OldRegionGroups* oldGroups_ = nullptr;
};

extern WorksheetTagTable worksheetTagTable;

// ---- plain-text imports ------------------------------------------------------------------------
// What the imports build; the element layer supplies it (paragraphs, text and input elements,
// execution groups inserted into the section).
class TextImportSink {
public:
    virtual ~TextImportSink() = default;
    virtual void text(const std::string& line) = 0;     // a "#" line (or any plain line)
    virtual void input(const std::string& line) = 0;    // a ">" line
    virtual bool groupComplete() = 0;                   // pending group's input is complete
    virtual void endGroup() = 0;                        // insert the pending group
};

// Lines with markers: "#" text and ">" input lines grouped into execution groups; other
// lines dropped.  Lines are read whole, however long.
void importText(std::istream& in, TextImportSink& sink);
// Every line becomes text.
void importPlainText(std::istream& in, TextImportSink& sink);
