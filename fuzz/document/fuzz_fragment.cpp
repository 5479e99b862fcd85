// Fuzz target of worksheet fragments: arbitrary bytes read the way fetched clipboard or drag
// data is read (a reader over memory, the fragment read with its styles), the fragment's
// styles merged into a document, every kind search run, and every element written back.
// Checked: no crash, no leak, the error-jump depth and the tag table's read state as before,
// and rows and slots that agree with what the searches answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "document/elements/MathElement.h"
#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/elements/WorksheetFragment.h"
#include "document/exec/ExecutionGroup.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "document/tree/Element.h"
#include "tovu/dag.h"
#include "util/errjump.h"

namespace {

bool initialise() {
    tovu_start();
    registerSectionReaders();
    registerExecutionGroupReaders();
    registerTextReaders();
    registerMathReaders();
    registerParagraphReaders();
    registerFragmentReader();
    return true;
}

void checkRow(int row, bool found, int rowCount) {
    if (found != (row >= 0) || row >= rowCount) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = initialise();
    (void)ready;
    int depth = errjump_depth();
    std::unique_ptr<WorksheetFragment> fragment =
        WorksheetFragment::readFragmentFromText(reinterpret_cast<const char*>(data), size);
    if (errjump_depth() != depth) std::abort();
    if (worksheetTagTable.styleSet != nullptr) std::abort();
    if (!fragment) return 0;
    const int rows = fragment->rowCount();
    struct Search {
        bool found;
        int row;
    };
    auto run = [](auto search) {
        Search s{false, -2};
        s.found = search(s.row);
        return s;
    };
    WorksheetFragment& f = *fragment;
    const Search searches[] = {
        run([&](int& row) { return f.findMathRow(row); }),
        run([&](int& row) { return f.findSpreadsheetRow(row); }),
        run([&](int& row) { return f.findMathElementRow(row); }),
        run([&](int& row) { return f.findGroupRow(row); }),
        run([&](int& row) { return f.findRowOfKindsFromStart(row, KIND_PARAGRAPH, KIND_SECTION, KIND_GROUP); }),
    };
    for (const Search& s : searches) checkRow(s.row, s.found, rows);
    {
        Document document;
        fragment->remapStyles(&document);
    }
    charStyleIndexMap.clear();
    paraStyleIndexMap.clear();
    KWorksheetWriter writer;
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < fragment->rowLength(r); ++i) {
            Element* e = fragment->elementAt(r, i);
            if (!e) continue;
            WalkControl control;
            control.flags = WALK_BEFORE | WALK_AFTER;
            control.writer = &writer;
            e->walkMethod(&Element::writeElement, control);
        }
    }
    if (errjump_depth() != depth) std::abort();
    return 0;
}
