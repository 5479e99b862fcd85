// Fuzz target of the worksheet loader: arbitrary bytes written to an in-memory file and
// loaded quietly, the way a worksheet is opened, through the real readers of sections,
// execution groups, text runs, paragraphs, one-line inputs and the oldest format's regions
// (read in files of major version 1).  A document that loads is written back, so that the
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

#include "document/elements/MathElement.h"
#include "document/tree/ElementPosition.h"
#include "document/exec/ExecutionGroup.h"
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

bool initialise() {
    tovu_start();
    // Documents are built without a kernel connection.
    worksheetHost().connectKernel = connectNoKernel;
    registerSectionReaders();
    registerExecutionGroupReaders();
    registerTextReaders();
    registerMathReaders();
    registerParagraphReaders();
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
