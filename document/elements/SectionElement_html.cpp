// SectionElement's part of the HTML export: page and anchor names, the table-of-contents entry
// and the content pass that gives each collapsed nested section a page of its own.

#include "document/elements/SectionElement.h"

#include "document/elements/TextElement.h"
#include "document/export/HtmlExporter.h"

namespace {

void appendTexts(const Element* element, std::string& out) {
    if (!element) return;
    if (element->isText()) {
        out += static_cast<const TextElement*>(element)->text();
        return;
    }
    for (Element* child = element->firstChild(); child; child = element->nextChild(child)) appendTexts(child, out);
}

bool holdsNestedSection(const Element* section) {
    for (Element* child = section->firstChild(); child; child = section->nextChild(child))
        if (child->elementKind() == KIND_SECTION) return true;
    return false;
}

}  // namespace

std::string SectionElement::headingText() const {
    std::string text;
    appendTexts(firstChild(), text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text.empty() ? " " : text;
}

void SectionElement::assignHtmlNames(WalkControl& control) {
    HtmlExporter* exporter = control.htmlExporter;
    if (!exporter || control.pass() != PASS_BEFORE) return;
    exporter->bookmarkNames().next(anchorName, nullptr);
    if (depth() == 0) {
        // The root's content file: the first numbered name with frames, the export file itself
        // without; the number is taken either way, so later pages keep their numbers.
        KString numbered;
        exporter->mainNames().next(numbered, nullptr);
        pageName = exporter->frames ? numbered : exporter->exportFileName();
        exporter->contentFileName = pageName;
    } else if (startsHtmlPage()) {
        exporter->mainNames().next(pageName, nullptr);
    } else {
        // Written in the page of the nearest section that starts one (named before, pre-order).
        pageName = exporter->contentFileName;
        for (Element* up = parent(); up; up = up->parent()) {
            if (up->elementKind() != KIND_SECTION) continue;
            auto* section = static_cast<SectionElement*>(up);
            if (section->startsHtmlPage() || section->depth() == 0) {
                pageName = section->pageName;
                break;
            }
        }
    }
}

void SectionElement::exportHtmlContents(WalkControl& control) {
    HtmlExporter* exporter = control.htmlExporter;
    if (!exporter) return;
    bool nested = depth() > 0;
    if (control.pass() == PASS_AFTER) {
        if (holdsNestedSection(this)) {
            exporter->writeRaw("</ul>");
            exporter->newLine();
        }
        return;
    }
    if (control.pass() != PASS_BEFORE) return;
    if (nested) {
        exporter->writeRaw("<li><font size=");
        exporter->writeInt(-depth());
        exporter->writeRaw(">");
    }
    KString href(pageName);
    href.append("#");
    href.appendString(anchorName);
    exporter->beginLink(href.text(), nullptr);
    if (nested) {
        exporter->writeText(headingText().c_str());
    } else {
        exporter->writeText(exporter->documentTitle.length() ? exporter->documentTitle.text() : " ");
    }
    exporter->endLink();
    if (nested) exporter->writeRaw("</font>");
    exporter->newLine();
    if (holdsNestedSection(this)) {
        exporter->writeRaw("<ul>");
        exporter->newLine();
    }
}

void SectionElement::exportHtmlElement(WalkControl& control) {
    HtmlExporter* exporter = control.htmlExporter;
    if (!exporter) return;
    if (control.pass() == PASS_AFTER) {
        if (startsHtmlPage()) {
            exporter->endDocument(false);
            exporter->closeFile();
        }
        return;
    }
    if (control.pass() != PASS_BEFORE) return;
    if (startsHtmlPage()) {
        exporter->beginLink(pageName.text(), nullptr);
        exporter->writeText(headingText().c_str());
        exporter->endLink();
        exporter->newLine();
        if (!exporter->openNamedFile(pageName)) {
            exporter->failed = true;
            control.requestStop(STOP_WALK);
            return;
        }
        exporter->beginDocument(false);
    }
    exporter->writeAnchor(anchorName.text());
    exporter->newLine();
}
