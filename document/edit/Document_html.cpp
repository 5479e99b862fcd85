// Document::exportHtml: the HTML export driver.
//
// Files, for the export file doc.html:
//   with frames     doc.html the frameset, docTOC.html the table of contents, doc1.html the
//                   content
//   without frames  doc.html the content
//   both            doc2.html, doc3.html, ... the pages of collapsed nested sections in document
//                   order; pictures in images/ (see HtmlExporter.h)
// The naming walk gives every section the file its anchor is written in, so links and
// bookmarks name files that exist; each page is then opened under its recorded name.

#include "document/edit/Document.h"

#include "document/export/HtmlExporter.h"

namespace {

const char* const kNoMainFile = "Unable to create the main file";
const char* const kNoContents = "Unable to create a table of contents";
const char* const kNoContent = "Unable to save the document as HTML";

}  // namespace

bool Document::exportHtml(const FilePath& exportPath, KString& errorText) {
    if (!root_) return false;
    HtmlExporter exporter(exportPath);
    exporter.setImageFormat(HtmlExporter::IMAGE_GIF);
    exporter.frames = documentOptions.htmlFrames;
    exporter.documentTitle.assign(title());

    // Names: pre-order, so a section's enclosing page is named before it.
    WalkControl naming;
    naming.flags = WALK_BEFORE;
    naming.htmlExporter = &exporter;
    root_->walkMethod(&Element::assignHtmlNames, naming);
    exporter.mainNames().reset();
    exporter.bookmarkNames().reset();

    auto fail = [&](const char* text) {
        exporter.closeAll();
        errorText.assign(text);
        return false;
    };
    if (exporter.frames) {
        if (!exporter.openFile("", false)) return fail(kNoMainFile);
        exporter.beginDocument(true);
        exporter.writeFrameset();
        exporter.endDocument(true);
        exporter.closeFile();
        if (exporter.failed) return fail(kNoMainFile);

        if (!exporter.openFile("TOC", false)) return fail(kNoContents);
        exporter.beginDocument(false);
        exporter.writeRaw("<table width=1000><tr><td>\n");
        WalkControl contents;
        contents.flags = WALK_BEFORE | WALK_AFTER;
        contents.htmlExporter = &exporter;
        root_->walkMethod(&Element::exportHtmlContents, contents);
        exporter.writeRaw("</td></tr></table>\n");
        exporter.endDocument(false);
        exporter.closeFile();
        if (exporter.failed) return fail(kNoContents);
        exporter.mainNames().reset();
    }

    if (!exporter.openNamedFile(exporter.contentFileName)) return fail(kNoContent);
    exporter.beginDocument(false);
    WalkControl content;
    content.flags = WALK_BEFORE | WALK_AFTER;
    content.htmlExporter = &exporter;
    root_->walkMethod(&Element::exportHtmlElement, content);
    if (exporter.failed) return fail(kNoContent);
    exporter.endDocument(false);
    exporter.closeFile();
    if (exporter.failed) return fail(kNoContent);
    return true;
}
