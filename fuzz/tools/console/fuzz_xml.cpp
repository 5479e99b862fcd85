// Arbitrary bytes through the XML reader, under each family of reader flags.  A finding is a
// crash, a read or write outside memory, a hang, or a broken promise of the reader:
//   1. A read answers an expression with no report, or null after exactly one report (the
//      printer's message or the end of input).
//   2. Every element the reader makes can be written back (a closing tag read alone is a name,
//      which the writer refuses by design).
//   3. Round trip: with entities decoded on reading and escaped on writing, and text split on
//      reading exactly when strings with white space are quoted on writing, reading the
//      written text gives the same expression, and writing that gives the same text.  Split
//      text has two items the writer cannot tell apart from others (an empty quoted string,
//      a quoted string of digits when digit runs become integers); expressions holding them
//      are only written, not compared.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/console/xml.h"
#include "tovu/dag.h"
#include "tovu/errors.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {

void startOnce() {
    static bool ready = false;
    if (ready) return;
    tovu_start();
    ready = true;
}

struct Input {
    const char* data;
    std::size_t size;
    std::size_t at = 0;
    int reports = 0;
};

int source(long, void* context) {
    auto* in = static_cast<Input*>(context);
    return in->at < in->size ? static_cast<unsigned char>(in->data[in->at++]) : -1;
}
void printer(void* context, long, const char*) { ++static_cast<Input*>(context)->reports; }
void ended(void* context, long) { ++static_cast<Input*>(context)->reports; }

// Promise 1: an expression without a report, or null after one.
Dag read(const char* data, std::size_t size, unsigned flags) {
    Input in{data, size};
    Dag d = xml_read(source, ended, printer, flags, &in);
    if ((d == nullptr) != (in.reports == 1) || in.reports > 1) std::abort();
    return d;
}

// Promise 2: what the reader made can be written.
std::string write(const DagWord* d, unsigned flags) {
    std::string out;
    XmlOutput o{[](void* data, int c) { static_cast<std::string*>(data)->push_back(char(c)); },
                [](void* data, const char* t) { *static_cast<std::string*>(data) += t; }, &out};
    try {
        TovuHandlerGuard guard;
        xml_write(d, o, flags);
    } catch (const TovuError&) {
        std::abort();
    }
    return out;
}

bool digits_only(const char* s) {
    if (*s == '-') ++s;
    if (*s == '\0') return false;
    for (; *s != '\0'; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// Children the writer cannot keep apart once split text is read back.
bool has_ambiguous_item(const DagWord* d, bool numbers) {
    if (d == nullptr || dag_type(d) != DAG_FUNCTION) return false;
    const DagWord* args = dag_op(d, 2);
    if (dag_type(args) != DAG_EXPSEQ) return false;
    for (std::size_t i = 1; i < dag_length(args); ++i) {
        const DagWord* child = dag_op(args, i);
        if (dag_type(child) == DAG_STRING) {
            const char* s = dag_text(child);
            if (*s == '\0' || (numbers && digits_only(s))) return true;
        } else if (has_ambiguous_item(child, numbers)) {
            return true;
        }
    }
    return false;
}

void check(const char* data, std::size_t size, unsigned readFlags) {
    Dag first = read(data, size, readFlags);
    if (first == nullptr || dag_type(first) != DAG_FUNCTION) return;
    bool split = (readFlags & XML_SPLIT_TEXT) != 0;
    unsigned writeFlags = XML_ESCAPE | (split ? XML_QUOTE_SPACED : 0u);
    for (unsigned bare : {0u, unsigned(XML_BARE_NUMBERS)}) {
        std::string written = write(first, writeFlags | bare);
        if ((readFlags & XML_ENTITIES) == 0) continue;
        if (split && has_ambiguous_item(first, (readFlags & XML_NUMBERS) != 0)) continue;
        // Promise 3.
        Dag second = read(written.data(), written.size(), readFlags);
        if (second == nullptr || !dag_equal(first, second)) std::abort();
        if (write(second, writeFlags | bare) != written) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    startOnce();
    const char* text = reinterpret_cast<const char*>(data);
    const unsigned families[] = {
        0,
        XML_NUMBERS,
        XML_ENTITIES,
        XML_ENTITIES | XML_NUMBERS,
        XML_SPLIT_TEXT | XML_ENTITIES,
        XML_SPLIT_TEXT | XML_ENTITIES | XML_NUMBERS,
    };
    for (unsigned flags : families) {
        try {
            ErrorGuard memoryGuard;
            check(text, size, flags);
        } catch (const ErrorJump&) {
        }
        storage_reset();
    }
    return 0;
}
