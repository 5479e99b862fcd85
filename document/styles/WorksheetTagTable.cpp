// The tag table of element records, the read state of one file read, style records met among
// element records with their renumbering, old-format regions, and the plain-text imports.
#include "document/styles/WorksheetTagTable.h"

#include <cctype>
#include <cstring>
#include <istream>

#include "document/records/KWorksheetReader.h"
#include "document/styles/StyleSet.h"
#include "document/records/WorksheetFileError.h"

WorksheetTagTable worksheetTagTable;

namespace {
constexpr std::size_t GROWTH = 32;

const TagEntry kEntries[] = {
    {"SECT", 1, nullptr},          {"PARA", 2, nullptr},         {"TEXT", 5, nullptr},
    {"KLVTEXT", 6, nullptr},       {"EXCHG", 14, nullptr},       {"BTN", 8, nullptr},
    {"XPPMATH", 9, nullptr},       {"HYPERLNK", 7, nullptr},     {"METAFILE", 12, nullptr},
    {"BITMAP", 13, nullptr},       {"XPPEDIT", 10, nullptr},     {"SPREADSHEET", 18, nullptr},
    {"MATHOBJ", 0, nullptr},       {"R5MATHOBJ", 19, nullptr},   {"NEWSMARTPLOT2D", 22, nullptr},
    {"NEWSMARTPLOT3D", 23, nullptr}, {"SMARTPLOT2D", 0, nullptr}, {"SMARTPLOT3D", 0, nullptr},
    {"GLPLOT2D", 20, nullptr},     {"GLPLOT3D", 21, nullptr},    {"INLPLOT", 16, nullptr},
    {"OLE", 11, nullptr},          {"IMAGEMAP", 26, nullptr},    {"SCP_R", 15, nullptr},
    {"INP_R", 0, nullptr},         {"COM_R", 0, nullptr},        {"OUT_R", 0, nullptr},
    {"DAG", 0, nullptr},
};

// Grows a renumbering array to hold `index` (new slots 0), in steps of 32.
void growRenumber(std::vector<int>& table, int index) {
    if (index < 0 || std::size_t(index) < table.size()) return;
    table.resize((std::size_t(index) / GROWTH + 1) * GROWTH, 0);
}

bool isRecordToken(const std::string& token) { return !token.empty() && token[0] == '{'; }
bool closesItself(const std::string& token) { return token.back() == '}'; }
}  // namespace

WorksheetTagTable::WorksheetTagTable() {
    for (const TagEntry& e : kEntries) entries_[entryCount_++] = e;
    resetReadState();
}

const TagEntry* WorksheetTagTable::findTag(std::string_view tag) const {
    for (int i = 0; i < entryCount_; ++i)
        if (tag == entries_[i].tag) return &entries_[i];
    return nullptr;
}

bool WorksheetTagTable::tagForKind(int kind, std::string& out) const {
    for (int i = 0; i < entryCount_; ++i) {
        if (entries_[i].kind == kind) {
            out = entries_[i].tag;
            return true;
        }
    }
    out.clear();
    return false;
}

bool WorksheetTagTable::registerReader(std::string_view tag, ElementReaderFn reader) {
    bool found = false;
    for (int i = 0; i < entryCount_; ++i) {
        // "DAG" shares the reader of "XPPMATH".
        if (tag == entries_[i].tag || (tag == "XPPMATH" && std::strcmp(entries_[i].tag, "DAG") == 0)) {
            entries_[i].reader = reader;
            found = true;
        }
    }
    return found;
}

void WorksheetTagTable::registerRegionReaders(ElementReaderFn sectionVariant,
                                              ElementReaderFn groupVariant) {
    sectionRegionReader_ = sectionVariant;
    groupRegionReader_ = groupVariant;
}

int WorksheetTagTable::renumbered(const std::vector<int>& table, int index) {
    return index >= 0 && std::size_t(index) < table.size() ? table[std::size_t(index)] : 0;
}

void WorksheetTagTable::resetReadState() {
    styleSet = nullptr;
    fontStyleMap.clear();
    fontStyleMap.shrink_to_fit();
    fontStyleMapLast = -1;
    currentGroup = nullptr;
    groupsByRegion.clear();
    charStyleRenumber.clear();
    paraStyleRenumber.clear();
}

// ---- element records ---------------------------------------------------------------------------

bool WorksheetTagTable::readNewRep(KWorksheetReader& reader, Element*& out, Element* parent,
                                   bool sectionContext, WorksheetFragment* fragment) {
    std::string token;
    reader.readToken(token);
    return readNewRepFrom(token, reader, out, parent, sectionContext, fragment);
}

bool WorksheetTagTable::readNewRepFrom(const std::string& token, KWorksheetReader& reader, Element*& out,
                                       Element* parent, bool sectionContext, WorksheetFragment* fragment) {
    out = nullptr;
    if (token.empty() || token == "}") return false;
    if (!isRecordToken(token)) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    if (closesItself(token)) {
        // "{NAME}": a record without fields; nothing to build.
        reader.unknownRecordSeen = reader.unknownRecordSeen || !findTag(token.substr(1, token.size() - 2));
        return true;
    }
    if (reader.braceDepth() > RECORD_DEPTH_LIMIT) {
        reader.unknownRecordSeen = true;
        reader.skipRecord();
        return true;
    }
    std::string tag = token.substr(1);
    if (tag == "NEWREP") {
        if (fragment && fragmentReader_) fragmentReader_(reader, fragment);
        else reader.skipRecord();
        return true;
    }
    if (styleSet && readStyleTable(reader, *styleSet, token)) return true;
    if (!styleSet && (tag == "CSTYLE" || tag == "PSTYLE" || tag == "FONT")) {
        reader.skipRecord();
        return true;
    }
    const TagEntry* entry = findTag(tag);
    ElementReaderFn fn = nullptr;
    if (entry) {
        fn = entry->reader;
        if (tag == "SCP_R") fn = sectionContext ? sectionRegionReader_ : groupRegionReader_;
    }
    if (!fn) {
        reader.unknownRecordSeen = true;
        reader.skipRecord();
        return true;
    }
    long depth = reader.braceDepth();   // inside this record
    try {
        ErrorGuard guard;
        return fn(reader, out, parent);
    } catch (const ErrorJump&) {
        // A record that fails yields no element.  Its reader stopped wherever the fault was:
        // the rest of the record is skipped so that the read goes on with the next record.
        out = nullptr;
        reader.skipToDepth(depth - 1);
        return true;
    }
}

// ---- style records among element records ----------------------------------------------------------

bool WorksheetTagTable::readStyleTable(KWorksheetReader& reader, StyleSet& set,
                                       const std::string& recordName) {
    if (recordName == "{CSTYLE") {
        auto style = CharStyle::readCharStyle(reader);
        int own = style->index;
        int based = style->basedOn;
        CharStyle* stored = style.get();
        int at;
        if (own >= 0 && own < StyleSet::FIRST_USER_INDEX) {
            at = set.addCharStyle(std::move(style), own);
        } else {
            at = set.addCharStyle(std::move(style), -1);
            if (at >= 0 && own >= StyleSet::FIRST_USER_INDEX) {
                growRenumber(charStyleRenumber, own);
                charStyleRenumber[std::size_t(own)] = at;
            }
            if (at >= 0 && set.charStyle(at) == stored && based >= StyleSet::FIRST_USER_INDEX) {
                int mapped = renumbered(charStyleRenumber, based);
                if (mapped != 0) stored->basedOn = std::int16_t(mapped);
            }
        }
        // A based-on link that closes a cycle is refused.
        if (at >= 0 && set.charStyle(at) == stored && set.wouldCharBaseLoop(at, stored->basedOn))
            stored->basedOn = -1;
        return true;
    }
    if (recordName == "{PSTYLE") {
        auto style = ParaStyle::readParaStyle(reader);
        int own = style->index;
        int based = style->basedOn;
        ParaStyle* stored = style.get();
        int at;
        if (own >= 0 && own < StyleSet::FIRST_USER_INDEX) {
            at = set.addParaStyle(std::move(style), own);
        } else {
            at = set.addParaStyle(std::move(style), -1);
            if (at >= 0 && own >= StyleSet::FIRST_USER_INDEX) {
                growRenumber(paraStyleRenumber, own);
                paraStyleRenumber[std::size_t(own)] = at;
            }
            if (at >= 0 && set.paraStyle(at) == stored && based >= StyleSet::FIRST_USER_INDEX) {
                int mapped = renumbered(paraStyleRenumber, based);
                if (mapped != 0) stored->basedOn = std::int16_t(mapped);
            }
        }
        if (at >= 0 && set.paraStyle(at) == stored && set.wouldParaBaseLoop(at, stored->basedOn))
            stored->basedOn = -1;
        return true;
    }
    if (recordName == "{FONT") {
        int number = -1;
        auto style = ParaStyle::readR3Font(reader, number);
        if (!style) return true;
        int at = set.addParaStyle(std::move(style), number == 1 ? 0 : -1);
        if (at >= 0) setFontStyle(number, at);
        return true;
    }
    return false;
}

void WorksheetTagTable::setFontStyle(int fontNumber, int styleIndex) {
    if (fontNumber < 0 || fontNumber >= ParaStyle::FONT_NUMBER_LIMIT) return;
    std::size_t need = (std::size_t(fontNumber) / GROWTH + 1) * GROWTH;
    if (fontStyleMap.size() < need) fontStyleMap.resize(need, -1);
    fontStyleMap[std::size_t(fontNumber)] = std::int16_t(styleIndex);
    if (fontNumber > fontStyleMapLast) fontStyleMapLast = fontNumber;
}

bool WorksheetTagTable::readStyleTableRecord(KWorksheetReader& reader, StyleSet& set) {
    std::string token;
    reader.readToken(token);
    if (token.empty() || token == "}") return false;
    if (!isRecordToken(token)) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    if (!readStyleTable(reader, set, token)) {
        if (!closesItself(token)) reader.skipRecord();
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    }
    return true;
}

bool WorksheetTagTable::readStyleTableEntry(KWorksheetReader& reader, StyleSet& set) {
    std::string token;
    reader.readToken(token);
    if (token.empty() || token == "}") return false;
    if (!isRecordToken(token)) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    if (token == "{CSTYLE") {
        auto style = CharStyle::readCharStyle(reader);
        int own = style->index;
        CharStyle* stored = style.get();
        int at = own >= 0 && own < StyleSet::FIRST_USER_INDEX
                     ? set.addCharStyle(std::move(style), own)
                     : set.addCharStyleByName(std::move(style));
        if (at >= 0 && set.charStyle(at) == stored && set.wouldCharBaseLoop(at, stored->basedOn))
            stored->basedOn = -1;
    } else if (token == "{PSTYLE") {
        auto style = ParaStyle::readParaStyle(reader);
        int own = style->index;
        ParaStyle* stored = style.get();
        int at = own >= 0 && own < StyleSet::FIRST_USER_INDEX
                     ? set.addParaStyle(std::move(style), own)
                     : set.addParaStyleByName(std::move(style));
        if (at >= 0 && set.paraStyle(at) == stored && set.wouldParaBaseLoop(at, stored->basedOn))
            stored->basedOn = -1;
    } else if (!closesItself(token)) {
        reader.skipRecord();
    }
    return true;
}

int WorksheetTagTable::styleForOldRegion(int first, int second) {
    auto mapped = [&](int n) -> int {
        if (n < 0 || n > fontStyleMapLast || std::size_t(n) >= fontStyleMap.size()) return 0;
        int v = fontStyleMap[std::size_t(n)];
        return v < 0 ? 0 : v;
    };
    if (!styleSet) return -1;
    return styleSet->charStyleForParaAndChar(mapped(first), mapped(second));
}

namespace {
int mapUserStyle(int index, const IndexMap& merged, const std::vector<int>& renumber) {
    if (index < StyleSet::FIRST_USER_INDEX) return index;
    if (merged.contains(index)) return merged.map(index);
    if (std::size_t(index) < renumber.size() && renumber[std::size_t(index)] != 0)
        return renumber[std::size_t(index)];
    return index;
}
}  // namespace

int WorksheetTagTable::mapCharStyle(int index) const {
    return mapUserStyle(index, charStyleIndexMap, charStyleRenumber);
}

int WorksheetTagTable::mapParaStyle(int index) const {
    return mapUserStyle(index, paraStyleIndexMap, paraStyleRenumber);
}

// ---- old-format regions ------------------------------------------------------------------------

void WorksheetTagTable::rememberGroup(int regionNumber, Element* group) {
    // Region numbers come from the file: only a bounded range is remembered.
    if (regionNumber < 0 || regionNumber >= REGION_LIMIT) return;
    if (std::size_t(regionNumber) >= groupsByRegion.size())
        groupsByRegion.resize((std::size_t(regionNumber) / GROWTH + 1) * GROWTH, nullptr);
    groupsByRegion[std::size_t(regionNumber)] = group;
}

void WorksheetTagTable::addOldRegion(Element*& element, int regionNumber, bool testComplete) {
    if (!oldGroups_) return;   // no execution groups available: the element stays as it is
    Element* region = element;
    if (!region) {
        // A region that could not be read still opens its group, so that its output region
        // finds the group under its number.
        if (!currentGroup) {
            currentGroup = oldGroups_->newGroup();
            element = currentGroup;
        }
        if (regionNumber != -1) rememberGroup(regionNumber, currentGroup);
        return;
    }
    if (!currentGroup) {
        currentGroup = oldGroups_->newGroup();
        element = currentGroup;
    } else {
        element = nullptr;
    }
    oldGroups_->append(currentGroup, region);
    if (regionNumber != -1) rememberGroup(regionNumber, currentGroup);
    if (testComplete && oldGroups_->inputComplete(currentGroup)) currentGroup = nullptr;
}

void WorksheetTagTable::addOldInputRegion(Element*& element, int regionNumber, KWorksheetReader&) {
    addOldRegion(element, regionNumber, true);
}

void WorksheetTagTable::addOldCommentRegion(Element*& element, int regionNumber, KWorksheetReader&) {
    addOldRegion(element, regionNumber, false);
}

void WorksheetTagTable::addOldOutputRegion(Element*& element, int regionNumber, KWorksheetReader&) {
    if (!oldGroups_) return;
    Element* group = nullptr;
    if (regionNumber >= 0 && std::size_t(regionNumber) < groupsByRegion.size())
        group = groupsByRegion[std::size_t(regionNumber)];
    if (group) {
        oldGroups_->attachOutput(group, element);
        element = nullptr;
        return;
    }
    addOldRegion(element, -1, false);
}

// ---- plain-text imports ------------------------------------------------------------------------

namespace {
// One whole line without its line end (LF, CR LF); false at the end of the input.
bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
bool isWhite(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

void importText(std::istream& in, TextImportSink& sink) {
    std::string line;
    bool pending = false;
    bool sawInput = false;
    while (readLine(in, line)) {
        std::size_t i = 0;
        while (i < line.size() && isWhite(line[i])) ++i;
        if (i >= line.size() || (line[i] != '#' && line[i] != '>')) continue;
        char marker = line[i++];
        if (i < line.size() && isWhite(line[i])) ++i;
        std::string rest = line.substr(i);
        pending = true;
        if (marker == '#') {
            sink.text(rest);
        } else {
            sink.input(rest);
            sawInput = true;
        }
        if (sawInput && sink.groupComplete()) {
            sink.endGroup();
            pending = false;
            sawInput = false;
        }
    }
    if (pending) sink.endGroup();
}

void importPlainText(std::istream& in, TextImportSink& sink) {
    std::string line;
    while (readLine(in, line)) sink.text(line);
}
