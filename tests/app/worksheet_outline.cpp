// Loads a worksheet file the way the program opens one (without a kernel) and prints its
// outline, one line per element, indented by depth: "PARA <style>" for paragraphs, the text of
// inputs, text runs and math after "INPUT", "TEXT" and "MATH", else "KIND <kind>".  The run script's test
// reads a worksheet the program saved with it.  Exit status 1 when the file does not load.
//   worksheet_outline <file.kws>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/elements/MathElement.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/KViewOptions.h"
#include "document/tree/ElementPosition.h"
#include "kernel_link/KKernelSession.h"
#include "tovu/dag.h"

namespace {

void outline(Element* e, int depth) {
    if (!e) return;
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    if (auto* p = dynamic_cast<ParagraphElement*>(e)) line += "PARA " + std::to_string(p->styleIndex);
    else if (auto* i = dynamic_cast<InputTextElement*>(e)) line += std::string("INPUT ") + i->text();
    else if (auto* t = dynamic_cast<TextElement*>(e)) line += std::string("TEXT ") + t->text();
    else if (auto* m = dynamic_cast<MathElement*>(e)) line += "MATH " + m->text();
    else line += "KIND " + std::to_string(e->elementKind());
    std::printf("%s\n", line.c_str());
    for (int k = 0, n = e->childCount(); k < n; ++k) outline(e->childAt(k), depth + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: worksheet_outline <file.kws>\n");
        return 2;
    }
    tovu_start();
    worksheetHost().connectKernel = connectNoKernel;
    registerExecutionGroupReaders();
    registerSectionReaders();
    registerTextReaders();
    registerMathReaders();
    registerParagraphReaders();
    std::unique_ptr<WorksheetDocument> document;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> options;
    if (!loadWorksheet(argv[1], document, mark, options, true) || !document) {
        std::fprintf(stderr, "worksheet_outline: %s does not load\n", argv[1]);
        return 1;
    }
    outline(document->root(), 0);
    mark.reset();
    document.reset();
    std::vector<QuietEvaluator*> left = worksheetHost().evaluators;
    worksheetHost().evaluators.clear();
    for (QuietEvaluator* e : left) delete e;
    return 0;
}
