// WorksheetFragment: rows of elements read from worksheet text, the kind searches, the style
// merge into a document, and the readers over the clipboard, the drag data and a file.
#include "document/elements/WorksheetFragment.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "document/edit/Document.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/Element.h"
#include "util/errjump.h"

namespace {
constexpr int KIND_SPREADSHEET = 18;

// Reads the leading "{VERSION" record into the reader's format numbers (a damaged one is
// skipped and leaves them as they were).
void readVersion(KWorksheetReader& reader) {
    std::string token;
    try {
        ErrorGuard guard;
        reader.readToken(token);
        reader.readInt(reader.majorVersion);
        reader.readInt(reader.minorVersion);
        reader.skipRecord();
    } catch (const ErrorJump& jump) {
        if (jump.record != &worksheetFileError) throw;
        if (reader.braceDepth() > 0) reader.skipToDepth(0);
    }
}

bool startsWithVersion(const char* data, std::size_t length) {
    std::size_t i = 0;
    while (i < length && (data[i] == ' ' || data[i] == '\n' || data[i] == '\r' || data[i] == '\t')) ++i;
    return length - i >= 8 && std::memcmp(data + i, "{VERSION", 8) == 0;
}

bool readNested(KWorksheetReader& reader, WorksheetFragment* fragment) {
    fragment->prepare();
    return fragment->read(reader, false);
}
}  // namespace

WorksheetFragment::TransferHooks WorksheetFragment::transferHooks;

WorksheetFragment::WorksheetFragment() = default;

WorksheetFragment::~WorksheetFragment() {
    for (Row& row : rows_) deleteRow(row);
}

void WorksheetFragment::deleteRow(Row& row) {
    for (Element* e : row) delete e;
    row.clear();
}

int WorksheetFragment::rowLength(int row) const {
    return row >= 0 && row < rowCount() ? static_cast<int>(rows_[std::size_t(row)].size()) : 0;
}

void WorksheetFragment::appendToLastRow(Element* element) {
    if (rows_.empty()) appendRow();
    rows_.back().push_back(element);
}

Element* WorksheetFragment::elementAt(int row, int index) {
    if (row < 0 || row >= rowCount() || index < 0) return nullptr;
    Row& r = rows_[std::size_t(row)];
    if (std::size_t(index) >= r.size()) r.resize(std::size_t(index) + 1, nullptr);
    return r[std::size_t(index)];
}

int WorksheetFragment::elementKind(int row, int index) {
    Element* e = elementAt(row, index);
    return e ? e->elementKind() : 0;
}

Element* WorksheetFragment::takeElement(int row, int index) {
    Element* e = elementAt(row, index);
    if (e) rows_[std::size_t(row)][std::size_t(index)] = nullptr;
    return e;
}

// ---- kind searches ----------------------------------------------------------------------------

bool WorksheetFragment::rowMatches(const Row& row, const int kinds[7]) const {
    for (const Element* e : row) {
        int kind = e ? e->elementKind() : 0;
        if (std::find(kinds, kinds + 7, kind) == kinds + 7) return false;
    }
    return true;
}

bool WorksheetFragment::findRowOfKinds(int startRow, int& row, int k1, int k2, int k3, int k4, int k5, int k6,
                                       int k7) {
    const int kinds[7] = {k1, k2, k3, k4, k5, k6, k7};
    row = -1;
    if (startRow < 0 || startRow >= rowCount()) return false;
    for (int i = startRow; i < rowCount(); ++i) {
        if (rowMatches(rows_[std::size_t(i)], kinds)) {
            row = i;
            return true;
        }
    }
    return false;
}

const Element* WorksheetFragment::single(int row) const {
    const Row& r = rows_[std::size_t(row)];
    return r.size() == 1 ? r[0] : nullptr;
}

bool WorksheetFragment::findSpreadsheetRow(int& row) {
    for (row = 0; row < rowCount(); ++row) {
        const Element* e = single(row);
        if (e && e->elementKind() == KIND_SPREADSHEET) return true;
    }
    row = -1;
    return false;
}

bool WorksheetFragment::findMathElementRow(int& row) {
    for (row = 0; row < rowCount(); ++row) {
        const Element* e = single(row);
        if (e && e->isMath()) return true;
    }
    row = -1;
    return false;
}

bool WorksheetFragment::findGroupRow(int& row) {
    for (row = 0; row < rowCount(); ++row) {
        const Element* group = single(row);
        if (!group || group->elementKind() != KIND_GROUP || group->childCount() != 1) continue;
        const Element* paragraph = group->childAt(0);
        if (!paragraph || paragraph->elementKind() != KIND_PARAGRAPH || paragraph->childCount() != 1) continue;
        const Element* math = paragraph->childAt(0);
        if (math && math->isMath()) return true;
    }
    row = -1;
    return false;
}

// ---- styles ------------------------------------------------------------------------------------

void WorksheetFragment::remapStyles(Document* document) {
    StyleSet* target = document ? document->styleSet() : nullptr;
    if (!styleSet_ || !target) return;
    target->mergeStyles(*styleSet_);
    for (Row& row : rows_) {
        for (Element* e : row) {
            if (!e) continue;
            WalkControl control;
            control.flags = WALK_BEFORE;
            e->walkMethod(&Element::remapStyleIndex, control);
        }
    }
}

// ---- reading -----------------------------------------------------------------------------------

bool WorksheetFragment::read(KWorksheetReader& reader, bool withStyles) {
    appendRow();
    if (withStyles) {
        worksheetTagTable.resetReadState();
        styleSet_ = std::make_unique<StyleSet>();
        styleSet_->readUserStyleTable(reader);
        worksheetTagTable.styleSet = styleSet_.get();
    }
    for (;;) {
        Element* element = nullptr;
        try {
            // Text that is not a record ends the read: what was read so far stays.
            ErrorGuard guard;
            if (!worksheetTagTable.readNewRep(reader, element, nullptr, false, flat_ ? nullptr : this)) break;
        } catch (const ErrorJump& jump) {
            if (jump.record != &worksheetFileError) throw;
            break;
        }
        if (!element) continue;
        if (withStyles && !flat_ && rowCount() > 1) {
            // A plain element after groups: the fragment keeps one row of plain elements.
            for (std::size_t i = 1; i < rows_.size(); ++i) deleteRow(rows_[i]);
            rows_.resize(1);
            flat_ = true;
        }
        appendToLastRow(element);
    }
    prepare();
    if (withStyles) worksheetTagTable.resetReadState();
    return true;
}

void registerFragmentReader() { worksheetTagTable.registerFragmentReader(readNested); }

std::unique_ptr<WorksheetFragment> WorksheetFragment::readFragmentFromText(const char* data, std::size_t length) {
    KWorksheetReader reader;
    if (!reader.openMemory(data, length)) return nullptr;
    if (startsWithVersion(data, length)) readVersion(reader);
    auto fragment = std::make_unique<WorksheetFragment>();
    fragment->read(reader, true);
    return fragment;
}

std::unique_ptr<WorksheetFragment> WorksheetFragment::readTransferFragment(int source) {
    const TransferHooks& h = transferHooks;
    if (!h.hasFormat || !h.dataLength || !h.fetch || !h.hasFormat(source)) return nullptr;
    std::size_t length = h.dataLength(source);
    if (length == 0 || length > TRANSFER_LIMIT) return nullptr;
    std::string buffer(length + 1, '\0');
    std::size_t fetched = h.fetch(source, buffer.data(), length);
    if (fetched == 0 || fetched > length) return nullptr;
    // Up to the first zero byte.
    std::size_t text = std::strlen(buffer.c_str());
    return readFragmentFromText(buffer.data(), text);
}

std::unique_ptr<WorksheetFragment> WorksheetFragment::readFragmentFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    char head[64] = {};
    in.read(head, sizeof head);
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    KWorksheetReader reader;
    if (!reader.open(path)) return nullptr;
    if (startsWithVersion(head, got)) readVersion(reader);
    auto fragment = std::make_unique<WorksheetFragment>();
    fragment->read(reader, true);
    return fragment;
}
