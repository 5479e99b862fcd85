#pragma once
// WorksheetFragment: what a piece of worksheet text becomes when it is read back from the
// clipboard, a drag or another program's file: rows of elements, each row holding the elements
// of one copied group ("{NEWREP" record), with the style set that came with them.  Callers look
// at the rows by kind, take the elements they want (takeElement) and delete the rest with the
// fragment.
//
// Rows and the fragment own their elements.  A text of "{NEWREP" groups gives an empty row 0
// and one row per group; a text of plain element records gives one row holding them all; a
// plain element after groups makes the fragment flat (only row 0 stays, later groups are
// skipped).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Document;
class Element;
class KWorksheetReader;
class StyleSet;

class WorksheetFragment {
public:
    // The clipboard and the drag data, as readTransferFragment's source.
    enum Source { SOURCE_CLIPBOARD = 0, SOURCE_DRAG = 1 };

    // How the document layer reaches the clipboard and the drag data (it does not link the GUI
    // layer): set at start-up.  Each takes the source; fetch copies at most `length` bytes and
    // answers the number copied.
    struct TransferHooks {
        bool (*hasFormat)(int source) = nullptr;
        std::size_t (*dataLength)(int source) = nullptr;
        std::size_t (*fetch)(int source, char* buffer, std::size_t length) = nullptr;
    };
    static TransferHooks transferHooks;
    // Largest transfer read (a larger one is not worksheet text the program wrote).
    static constexpr std::size_t TRANSFER_LIMIT = std::size_t(256) << 20;

    WorksheetFragment();
    ~WorksheetFragment();
    WorksheetFragment(const WorksheetFragment&) = delete;
    WorksheetFragment& operator=(const WorksheetFragment&) = delete;

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // 0 for a row that does not exist.
    int rowLength(int row) const;
    // The last row's elements, null when there is none.
    const std::vector<Element*>* lastRow() const { return rows_.empty() ? nullptr : &rows_.back(); }
    void appendRow() { rows_.emplace_back(); }
    // Appended to the last row (a first row is made when there is none); the fragment owns it.
    void appendToLastRow(Element* element);
    // The element in the slot; a slot past the end of an existing row extends the row with
    // empty slots.  Null for an empty slot, a row that does not exist or a negative index.
    Element* elementAt(int row, int index);
    // The element's kind, 0 for an empty slot.
    int elementKind(int row, int index);
    // The element, its slot cleared: the caller owns it now.
    Element* takeElement(int row, int index);

    // The first row from startRow whose every slot holds one of the kinds (0 stands for an
    // empty slot, so unused kinds are passed as 0); false and row -1 when none.
    bool findRowOfKinds(int startRow, int& row, int k1, int k2 = 0, int k3 = 0, int k4 = 0, int k5 = 0,
                        int k6 = 0, int k7 = 0);
    bool findRowOfKindsFromStart(int& row, int k1, int k2 = 0, int k3 = 0, int k4 = 0, int k5 = 0, int k6 = 0,
                                 int k7 = 0) {
        return findRowOfKinds(0, row, k1, k2, k3, k4, k5, k6, k7);
    }
    // Math, expression edit and named math elements only.
    bool findMathRow(int& row) { return findRowOfKindsFromStart(row, 9, 10, 19); }
    // A row of exactly one spreadsheet.
    bool findSpreadsheetRow(int& row);
    // A row of exactly one element that is math.
    bool findMathElementRow(int& row);
    // A row of exactly one execution group holding exactly one paragraph holding exactly one
    // math element.
    bool findGroupRow(int& row);

    // Merges the fragment's user styles into the document's and renumbers every element's
    // style indexes to match; nothing when either side has no style set.
    void remapStyles(Document* document);

    // Called before a nested group is read; nothing to prepare.
    void prepare() {}
    // Fills the fragment from the reader (see the header comment); with styles, the user
    // style table comes first.  True.
    bool read(KWorksheetReader& reader, bool withStyles);

    StyleSet* styleSet() const { return styleSet_.get(); }
    // Set for fragments of another program's paste request: the insertion refreshes every
    // inserted element once it is in place.
    bool refreshAfterInsert = false;

    // A new fragment from the clipboard or the drag data, null when the source holds no
    // worksheet text, it is empty or cannot be fetched.
    static std::unique_ptr<WorksheetFragment> readTransferFragment(int source);
    static std::unique_ptr<WorksheetFragment> fragmentFromClipboard() { return readTransferFragment(SOURCE_CLIPBOARD); }
    static std::unique_ptr<WorksheetFragment> fragmentFromDragData() { return readTransferFragment(SOURCE_DRAG); }
    // The whole worksheet file as a fragment with styles; null when it cannot be opened.
    static std::unique_ptr<WorksheetFragment> readFragmentFromFile(const std::string& path);
    // Reads worksheet text held in memory (a leading "{VERSION" record sets the format) into a
    // new fragment with styles.
    static std::unique_ptr<WorksheetFragment> readFragmentFromText(const char* data, std::size_t length);

private:
    using Row = std::vector<Element*>;
    static void deleteRow(Row& row);
    bool rowMatches(const Row& row, const int kinds[7]) const;
    // The one element of a row of exactly one element, else null.
    const Element* single(int row) const;

    std::unique_ptr<StyleSet> styleSet_;
    std::vector<Row> rows_;
    bool flat_ = false;
};

// Registers WorksheetFragment::read as the tag table's reader of nested "{NEWREP" groups.
void registerFragmentReader();
