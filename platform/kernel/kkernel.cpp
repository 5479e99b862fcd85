// The kernel library's entry points (kkernel.h): option checking, the reply streams built as
// INTERFACE_ DAGs in the kernel's reply area, and the boundary that turns every failure into an
// ERROR reply so that no exception leaves the library.
//
// Reply area: replies of one evaluation are built in the area "KERNEL-REPLIES", which is
// emptied when the next evaluation starts (the callers copy what they keep before answering).

#include "kkernel.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include <cln/malloc.h>
#include <gmp.h>

#include "KInterpreter.h"
#include "kernel_analysis.h"
#include "tovu/errors.h"
#include "util/errjump.h"

namespace {

constexpr const char* BANNER = "Kelvo Kernel, Release 5, exact and floating-point mathematics";

struct KernelState {
    std::unique_ptr<KInterpreter> interpreter;
    StorageArea* replies = nullptr;   // never freed as a whole: emptied per evaluation
    bool busy = false;
    std::string startError;
};

KernelState& state() {
    static KernelState s;
    return s;
}

// The NAME INTERFACE_<stream>.  Interned names live as long as the process, so each stream's
// name is made once: an evaluation names a few streams, each by a literal, and building the text
// and looking it up in the name table was a visible part of a small statement's time.
Dag stream_name_dag(const char* stream) {
    struct Entry {
        const char* stream;
        Dag name;
    };
    static std::vector<Entry> known;
    constexpr std::size_t PREFIX = sizeof("INTERFACE_") - 1;
    for (const Entry& e : known)
        if (e.stream == stream && std::strcmp(dag_text(e.name) + PREFIX, stream) == 0) return e.name;
    Dag name = kernel_name_dag((std::string("INTERFACE_") + stream).c_str());
    if (known.size() < 64) known.push_back({stream, name});
    return name;
}

class QuerySink : public KReplySink {
public:
    QuerySink(KernelQueryCallback q, KernelPollCallback p, void* link) : query_(q), poll_(p), link_(link) {}

    KValue reply(const char* stream, const KSeq& args) override {
        Dag answer = nullptr;
        Dag message;
        try {
            TovuHandlerGuard guard;
            StoragePush push(state().replies);
            Dag seq = dag_new(args.size() + 1, DAG_EXPSEQ);
            for (std::size_t i = 0; i < args.size(); ++i) dag_set_op(seq, i + 1, kernel_value_to_dag(args[i]));
            message = dag_new2(DAG_FUNCTION, stream_name_dag(stream), seq);
        } catch (const TovuError& e) {
            throw KError(e.message);
        }
        if (query_) answer = query_(link_, message);
        if (answer == nullptr) return KValue::seq();
        try {
            TovuHandlerGuard guard;
            return kernel_dag_to_value(answer);
        } catch (const TovuError& e) {
            throw KError(e.message);
        }
    }

    void replyBuilt(const char* stream, const std::function<Dag()>& build) override {
        Dag message;
        try {
            TovuHandlerGuard guard;
            StoragePush push(state().replies);
            Dag seq = build();
            message = dag_new2(DAG_FUNCTION, stream_name_dag(stream), seq);
        } catch (const TovuError& e) {
            throw KError(e.message);
        }
        if (query_) query_(link_, message);
    }

    int poll() override { return poll_ ? poll_(link_) : 0; }

    // A reply whose own failure must not start another error reply.
    void replyQuietly(const char* stream, const KSeq& args) {
        try {
            reply(stream, args);
        } catch (...) {
        }
    }

private:
    KernelQueryCallback query_;
    KernelPollCallback poll_;
    void* link_;
};

// GiNaC and the C++ library phrase their failures their own way; the user sees ours.
std::string error_text(const char* what) {
    if (std::strstr(what, "division by zero")) return "division by zero";
    if (std::strstr(what, "log(0)")) return "singularity encountered";
    return what;
}

// The expression library and the reply area, made on first use by whichever entry comes first.
void ensure_library() {
    KernelState& s = state();
    if (dag_NULL == nullptr) {   // a caller that has not set up the expression library
        storage_init_default();
        dag_init();
    }
    if (s.replies == nullptr) s.replies = storage_new(0, "KERNEL-REPLIES");
}

// GMP ends the process when an allocation fails ("GNU MP: Cannot allocate memory"); these raise
// std::bad_alloc instead, which unwinds through GMP's C frames (built with unwind tables) to
// the entry point's "object too large".
// They also poll for an interrupt; the poll never throws (an interrupt is raised by the
// interpreter's next step, outside the libraries).
//
// CLN's and the kernel's own mpn calls take GMP blocks as scratch space freed before the call
// returns; a failed allocation that unwinds through GMP skips those frees.  So the blocks GMP
// takes on the evaluating thread during a statement are listed, and whatever is still listed
// when a GMP allocation failed is released.  Blocks listed when the statement fails for another
// reason are kept: FLINT holds GMP numbers in caches of its own that outlive the call.
struct GmpScratch {
    std::unordered_set<void*> blocks;
    std::thread::id owner;
    bool active = false;
    bool allocationFailed = false;
    bool mine() const { return active && std::this_thread::get_id() == owner; }
};
GmpScratch& scratch() {
    static GmpScratch s;
    return s;
}

[[noreturn]] void gmp_failed() {
    if (scratch().mine()) scratch().allocationFailed = true;
    throw std::bad_alloc();
}

void* gmp_malloc(std::size_t n) {
    void* p = std::malloc(n);
    if (p == nullptr) gmp_failed();
    if (scratch().mine()) scratch().blocks.insert(p);
    return p;
}
void* gmp_allocate(std::size_t n) {
    kernel_poll_from_library();
    return gmp_malloc(n);
}
void* gmp_reallocate(void* old, std::size_t, std::size_t n) {
    kernel_poll_from_library();
    void* p = std::realloc(old, n);
    if (p == nullptr) gmp_failed();
    if (scratch().mine() && scratch().blocks.erase(old) > 0) scratch().blocks.insert(p);
    return p;
}
void gmp_release(void* p, std::size_t) {
    if (scratch().mine()) scratch().blocks.erase(p);
    std::free(p);
}
// CLN's own numbers are not scratch: they are only polled for.
void* cln_allocate(std::size_t n) {
    kernel_poll_from_library();
    void* p = std::malloc(n);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

// Lists GMP's scratch blocks while a statement runs; releases the ones a failure left behind.
class GmpScratchScope {
public:
    GmpScratchScope() : exceptions_(std::uncaught_exceptions()) {
        scratch().owner = std::this_thread::get_id();
        scratch().active = true;
        scratch().allocationFailed = false;
    }
    ~GmpScratchScope() {
        scratch().active = false;
        // After a normal end nothing of GMP's scratch is left; what is listed then belongs to
        // someone else and is kept.
        if (std::uncaught_exceptions() > exceptions_ && scratch().allocationFailed)
            for (void* p : scratch().blocks) std::free(p);
        scratch().blocks.clear();
        scratch().allocationFailed = false;
    }

private:
    int exceptions_;
};

bool option_takes_value(char c) { return std::strchr("LTbegpw", c) != nullptr; }
bool option_is_flag(char c) { return std::strchr("Iafqst", c) != nullptr; }

}  // namespace

extern "C" const char* kernel_start(int argc, char** argv) {
    KernelState& s = state();
    try {
        std::string library;   // -b: the library folder, libname's start-up value
        for (int i = 1; i < argc; ++i) {
            const char* w = argv[i];
            if (w == nullptr) break;
            if (w[0] != '-' || w[1] == '\0') {
                s.startError = std::string("unknown kernel argument ") + w;
                return s.startError.c_str();
            }
            if (option_is_flag(w[1])) continue;
            if (!option_takes_value(w[1])) {
                s.startError = std::string("unknown kernel option ") + w;
                return s.startError.c_str();
            }
            const char* value = w + 2;
            if (w[2] == '\0') {
                if (i + 1 >= argc || argv[i + 1] == nullptr) {
                    s.startError = std::string("kernel option ") + w + " needs a value";
                    return s.startError.c_str();
                }
                value = argv[++i];
            }
            if (w[1] == 'b') library = value;
        }
        ensure_library();
        mp_set_memory_functions(gmp_allocate, gmp_reallocate, gmp_release);
        cln::malloc_hook = cln_allocate;
        s.interpreter = std::make_unique<KInterpreter>();
        s.interpreter->define("libname", KValue::str(library.empty() ? kernel_library_folder() : library));
        return nullptr;
    } catch (const std::exception& e) {
        s.startError = std::string("kernel start failed: ") + e.what();
    } catch (...) {
        s.startError = "kernel start failed";
    }
    return s.startError.c_str();
}

extern "C" int kernel_evaluate(Dag request, KernelQueryCallback query, KernelPollCallback poll,
                               int requestFlag, int mode, void* link) {
    (void)mode;
    KernelState& s = state();
    // A nested call from inside a query callback would interleave two reply streams.
    if (s.busy) return 1;
    s.busy = true;
    QuerySink sink(query, poll, link);
    int rc = 0;
    try {
        ensure_library();
        storage_free(s.replies);
        if (!s.interpreter) {
            sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, the kernel has not been started"))});
            rc = 1;
        } else if (request == nullptr || dag_is_null(request)) {
            sink.reply("LOGO", {KValue(kernel_symbol(BANNER))});
        } else {
            KNodePtr statement = kernel_translate(request);
            GmpScratchScope scope;
            s.interpreter->run(*statement, requestFlag != 0, sink);
        }
    } catch (const KError& e) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, " + error_text(e.what())))});
    } catch (const KInterrupt&) {
        sink.replyQuietly("INTR", {});
    } catch (const KStopRequest&) {
        sink.replyQuietly("STOP", {});
    } catch (const std::bad_alloc&) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, object too large"))});
    } catch (const TovuError& e) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, " + e.message))});
    } catch (const ErrorJump&) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, out of memory"))});
    } catch (const std::exception& e) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, " + error_text(e.what())))});
    } catch (...) {
        sink.replyQuietly("ERROR", {KValue(kernel_symbol("Error, internal kernel error"))});
    }
    if (s.interpreter) kernel_set_digits(s.interpreter->digits());
    sink.replyQuietly("DONE", {});
    s.busy = false;
    return rc;
}

extern "C" void kernel_third(void) {}

extern "C" void kernel_stop(void) {
    KernelState& s = state();
    if (s.busy) return;
    s.interpreter.reset();
}
