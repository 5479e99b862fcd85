#pragma once
// The worksheet file at its top level: how a file becomes a document (loadWorksheet,
// readWorksheet) and the records around the element tree.  Document::writeWorksheet writes
// it (Document.h).
//
// A worksheet file, in this order:
//
// | record        | content                                                                 |
// |---------------|-------------------------------------------------------------------------|
// | "{VERSION "   | 3, 0 (major, minor), "IBM INTEL NT", "3.0", then "}\n"                  |
// | "{USTYLETAB " | the used character then paragraph styles (StyleSet), then "}\n"        |
// | "{SECT "      | the root section, holding the records of everything below it            |
// | "{MARK "      | the caret or selection mark (ElementPosition.h), when there is one      |
// | "{VIEWOPTS "  | the six view options (KViewOptions.h), when given                       |
// | "\n"          | the end                                                                 |
//
// Major versions: 1 a Release 3 file (old expression form, no style table), 2 a Release 4
// file, 3 this release; none is refused.  A mark is looked for in the record right after the
// root, and view options only after a mark.
//
// Failures: every error raised while reading deletes what was built and answers false; the
// tag table's read state is left reset, so that no later read reaches into a document that
// has gone.  A file that does not begin with "{VERSION" is not a worksheet: a quiet load
// answers false, any other offers it to the plain-text import.
//
// Ownership: the out document, mark and view options are the caller's.  The mark is a
// position on an element of the document: the caller keeps it no longer than the document.

#include <memory>

class ElementPosition;
class KViewOptions;
class KWorksheetReader;
class WorksheetDocument;

// Pieces of the application the loader calls; null hooks are skipped.
struct WorksheetFileHooks {
    // The busy indicator: on with its text ("Loading worksheet"), off with null.
    void (*busy)(bool on, const char* text) = nullptr;
    // The text import dialog for a file that is not a worksheet: the entries of its list;
    // answers the chosen entry's index (0 when nothing was selected), or -1 for Cancel.
    // Without a hook the import is cancelled.
    int (*chooseTextImport)(const char* path, const char* const* entries, int count) = nullptr;
};
WorksheetFileHooks& worksheetFileHooks();

// The list of the text import dialog: "Kelvo Text" (lines with "#" and ">" markers) and
// "Text" (every line is text).
extern const char* const kTextImportEntries[2];

// Opens the file at path as a document.  quiet: no message, no busy indicator, no question,
// no text import, and the document gets an "Untitled (%d)" title.  True when a document was
// built.
bool loadWorksheet(const char* path, std::unique_ptr<WorksheetDocument>& document,
                   std::unique_ptr<ElementPosition>& mark, std::unique_ptr<KViewOptions>& viewOptions,
                   bool quiet);

// Reads a worksheet from an opened reader (path: the document's title unless quiet).
bool readWorksheet(KWorksheetReader& reader, const char* path, std::unique_ptr<WorksheetDocument>& document,
                   std::unique_ptr<ElementPosition>& mark, std::unique_ptr<KViewOptions>& viewOptions,
                   bool quiet);
