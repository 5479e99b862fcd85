// Feeds random kernel replies to a worksheet document's reply handlers.
//
// The input is a run of replies, each one selector byte followed by a DAG in the text encoding
// (read with the DAG reader, which stops at the end of one DAG).  The selector picks one of the
// 27 streams: the DAG (its elements, when it is an expression sequence) becomes the arguments of
// an INTERFACE_<stream> call; selectors past the table hand the DAG over as it was read, so the
// unwrapping of stream_dispatch sees arbitrary shapes too.
//
// One document over the in-process kernel library (so the link is alive and a READLINE request
// waits) serves every run; each run starts from default interface settings and an empty queue,
// queues a region of two statements for a checking sink, dispatches the replies as the kernel's
// query callback would, then drains the queue as for a dead link.
// The sink aborts on any call after its region ended and on a region that is not ended exactly
// once.  READLINE is answered by the harness's GUI pump at once.  REDIRECT only ever opens plain
// file names, inside a scratch folder, removed again after each run.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "document/exec/OutputSink.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/WorksheetDocument.h"
#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/errors.h"
#include "tovu/ifvars.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"
#include "tovu/stream.h"

namespace {

constexpr int kMaxReplies = 64;

// Aborts on any operation after the region ended; counts the endings.
class CheckingSink : public OutputSink {
public:
    void beginOutput() override {
        if (ended_ || begun_) std::abort();
        begun_ = true;
    }
    void endOutput() override { end(); }
    void resetOutput() override { end(); }
    bool output(Dag dag, int kind) override {
        if (ended_ || kind == kOutputDone || kind < kOutputResult || kind > kOutputIncomplete) std::abort();
        // The DAG must be readable for the call: print it as a sink would.
        if (dag != nullptr) (void)dag_to_text(dag);
        return true;
    }
    bool newTextInputRegion() override {
        if (ended_) std::abort();
        return false;
    }
    int endings() const { return endings_; }

private:
    void end() {
        if (ended_) std::abort();
        ended_ = true;
        ++endings_;
    }
    bool begun_ = false;
    bool ended_ = false;
    int endings_ = 0;
};

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

int nextChar(void* data) {
    auto* in = static_cast<Input*>(data);
    return in->position < in->size ? in->data[in->position++] : -1;
}

WorksheetDocument* current = nullptr;
int pumps = 0;

// The GUI pump: the user types an answer and presses Enter at once.
void answerReadline(void*) {
    ++pumps;
    if (current != nullptr && current->waitingForReadline) {
        current->readlineAnswer.assign("typed");
        current->waitingForReadline = false;
    }
}

// REDIRECT goes through this guard: only plain names, opened inside the scratch folder.
StreamHandler redirectHandler = nullptr;
std::string scratchFolder;
std::set<std::string> redirected;

Dag guardedRedirect(void* context, Dag value) {
    if (replyCount(value) >= 1) {
        const char* name = replyText(replyElement(value, 1));
        if (name != nullptr) {
            if (std::strchr(name, '/') != nullptr || std::strcmp(name, ".") == 0 ||
                std::strcmp(name, "..") == 0 || std::strlen(name) > 64)
                return dag_NULL;
            std::string path = scratchFolder + "/" + name;
            redirected.insert(path);
            Dag inScratch = dag_copy(value);
            dag_set_op(inScratch, 1, dag_intern(path.c_str(), DAG_STRING));
            return redirectHandler(context, inScratch);
        }
    }
    return redirectHandler(context, value);
}

void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    tovu_start();
    registerReplyStreams();
    StreamTable* table = stream_global_table();
    for (StreamEntry& entry : table->entries) {
        if (std::strcmp(entry.name, "REDIRECT") == 0) {
            redirectHandler = entry.handler;
            entry.handler = guardedRedirect;
        }
    }
    static char scratch[] = "/tmp/fuzz_replies.XXXXXX";
    if (mkdtemp(scratch) == nullptr) std::abort();
    scratchFolder = scratch;
    std::atexit([] { ::rmdir(scratch); });

    WorksheetHost& host = worksheetHost();
    host.kernelMode = 1;   // a kernel of the document's own
    host.linkKind = 2;
#ifdef FUZZ_KERNEL_LIBRARY
    host.kernelLibrary = FUZZ_KERNEL_LIBRARY;
#else
    host.kernelLibrary = "/nonexistent/libkkernel.so";   // a dead link: READLINE does not wait
#endif
    host.lowMemoryCheck = [] { return false; };
    host.reschedule = answerReadline;
    current = new WorksheetDocument(nullptr);   // lives as long as the process
}

// Back to the settings of a new session: the fresh block's contents (and its owned text) change
// places with the used one's, which is then freed.
void resetSettings(WorksheetDocument* doc) {
    auto* vars = doc->interfaceVars();
    if (vars == nullptr) return;
    InterfaceSettings* fresh = interface_vars_new();
    if (fresh == nullptr) std::abort();
    std::swap(*fresh, *vars->settings());
    interface_vars_free(fresh);
}

// Wraps a DAG read from the input as a reply on the selected stream.
Dag asReply(unsigned selector, Dag value) {
    if (selector >= unsigned(REPLY_STREAM_COUNT)) return value;
    std::string name = std::string("INTERFACE_") + replyStreamNames[selector];
    Dag arguments = dag_type(value) == DAG_EXPSEQ ? value : dag_new1(DAG_EXPSEQ, value);
    return dag_new2(DAG_FUNCTION, dag_name(name.c_str()), arguments);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();   // an empty default area and fresh names for every input
    kernelBanner().clear();

    WorksheetDocument* doc = current;
    resetSettings(doc);
    doc->stopped = false;
    doc->readlineAnswer.clear();
    CheckingSink sink;
    if (!doc->executeInput(&sink, KString("a; b;")) || doc->queueIsEmpty()) std::abort();

    Input in{data, size, 0};
    for (int n = 0; n < kMaxReplies && in.position + 1 < in.size; ++n) {
        unsigned selector = in.data[in.position++] % 32;
        std::size_t before = in.position;
        Dag value = dag_read(nextChar, sink_ignore_read_end, sink_ignore_read_error, sink_ignore_read_error, 0, &in);
        if (value == nullptr || in.position == before) break;
        Dag reply = asReply(selector, value);
        // As the kernel's query callback does: the document stays alive meanwhile, and a raise
        // inside a handler ends that reply only.
        // A READLINE on a live link, not stopped, must wait for and return the pump's answer.
        bool expectTyped = selector == 12 && !doc->stopped && !doc->linkIsDead();
        Dag answer = nullptr;
        WorksheetDocument::HandlerScope scope(doc);
        try {
            TovuHandlerGuard guard;
            answer = stream_dispatch(nullptr, reply, doc);
        } catch (...) {
            expectTyped = false;
        }
        if (doc->waitingForReadline) std::abort();   // a finished handler never leaves a wait
        if (expectTyped) {
            const char* text = replyText(answer);
            if (text == nullptr || std::strcmp(text, "typed") != 0) std::abort();
        }
    }

    doc->drainAfterDeadLink();
    if (!doc->queueIsEmpty() || doc->computing() || doc->interrupted) std::abort();
    if (sink.endings() != 1) std::abort();
    if (doc->redirectFile != nullptr) {
        std::fclose(doc->redirectFile);
        doc->redirectFile = nullptr;
    }
    for (const std::string& path : redirected) ::unlink(path.c_str());
    redirected.clear();
    return 0;
}
