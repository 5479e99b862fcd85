// Fuzz target of the worksheet loader: arbitrary bytes written to an in-memory file and
// loaded quietly, the way a worksheet is opened.  The section, execution group and text run
// readers are the real ones; paragraphs and one-line inputs are read by small stand-ins (their
// own record readers come with their classes).  A document that loads is written back, so that the
// writer walks whatever tree the reader built.  Checked: no crash, no leak, the error-jump
// depth and the tag table's read state as before, and a loaded document always has a root
// section that ends with the placeholder.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/tree/ElementPosition.h"
#include "document/exec/ExecutionGroup.h"
#include "document/elements/InputTextElement.h"
#include "document/styles/KViewOptions.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/exec/WorksheetFile.h"
#include "document/styles/WorksheetTagTable.h"
#include "kernel_link/KKernelSession.h"
#include "tovu/dag.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {

bool readParagraph(KWorksheetReader& reader, Element*& out, Element*) {
    int style = 0;
    reader.readInt(style);
    auto paragraph = std::make_unique<ParagraphElement>(style, nullptr);
    for (;;) {
        Element* child = nullptr;
        if (!worksheetTagTable.readNewRep(reader, child, paragraph.get(), false, nullptr)) break;
        if (child && !paragraph->insertChild(child, nullptr, kInsertAfter)) delete child;
    }
    out = paragraph.release();
    return true;
}

bool readInput(KWorksheetReader& reader, Element*& out, Element*) {
    std::string text;
    reader.readString(text, false);
    reader.skipRecord();
    out = new InputTextElement(1, text.c_str());
    return true;
}

bool initialise() {
    tovu_start();
    // Documents are built without a kernel connection.
    worksheetHost().connectKernel = connectNoKernel;
    registerSectionReaders();
    registerExecutionGroupReaders();
    registerTextReaders();
    worksheetTagTable.registerReader("PARA", readParagraph);
    worksheetTagTable.registerReader("KLVTEXT", readInput);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = initialise();
    (void)ready;
    int fd = ::memfd_create("fuzz_worksheet", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) std::abort();
        done += std::size_t(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    int depth = errjump_depth();
    std::unique_ptr<WorksheetDocument> document;
    std::unique_ptr<ElementPosition> mark;
    std::unique_ptr<KViewOptions> options;
    bool loaded = loadWorksheet(path.c_str(), document, mark, options, true);
    if (errjump_depth() != depth) std::abort();
    if (worksheetTagTable.styleSet != nullptr) std::abort();
    if (loaded != (document != nullptr)) std::abort();
    if (document) {
        Element* root = document->root();
        if (!root || root->elementKind() != KIND_SECTION || !root->lastChild() ||
            root->lastChild()->elementKind() != KIND_PLACEHOLDER)
            std::abort();
        if (mark && !root->contains(mark->element())) std::abort();
        KWorksheetWriter writer;
        if (!document->writeWorksheet(writer, mark.get(), options.get(), true)) std::abort();
    }
    mark.reset();
    options.reset();
    document.reset();
    // Every document of the shared in-process kernel leaves its evaluator listed for the next
    // one; the run frees them here, as the application's shut-down does.
    WorksheetHost& host = worksheetHost();
    std::vector<QuietEvaluator*> left = host.evaluators;
    host.evaluators.clear();
    for (QuietEvaluator* e : left) delete e;
    ::close(fd);
    return 0;
}
