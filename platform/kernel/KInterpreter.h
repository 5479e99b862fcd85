#pragma once
// The interpreter: runs statement trees (KValue.h) against the kernel's global variables, calls
// procedures and built-ins, and hands every reply to a sink (the entry points turn them into
// INTERFACE_ DAGs for the query callback).
//
// Invariants:
//   1. Every node the interpreter evaluates, and every loop iteration, counts one tick(); every
//      NODES_PER_POLL ticks, and at every step() (built-ins between their long operations, the
//      libraries' allocation hooks), pollNow() reads the clock and asks the sink at most every
//      POLL_INTERVAL, throwing KInterrupt when it answers non-zero.
//   2. Recursion is capped twice: procedure nesting (MAX_CALL_DEPTH) and the stack used by
//      evaluation (MAX_STACK_BYTES), so a runaway recursion ends in a KError, not a crash.
//   3. GiNaC's Digits follows the variable Digits; an error restores it.
// One interpreter lives from kernel_start to kernel_stop; it is not thread-safe.

#include <chrono>
#include <functional>

#include "KValue.h"

// What the interpreter asks of its caller.
struct KReplySink {
    virtual ~KReplySink() = default;
    // Sends INTERFACE_<stream>(args) and returns the answer as a value (NULL when none).
    virtual KValue reply(const char* stream, const KSeq& args) = 0;
    // Sends INTERFACE_<stream> whose argument sequence `build` makes as an EXPSEQ in the current
    // storage area (the reply area): for replies that are not values, such as plot structures
    // with their HFARRAYs.  The answer is not used.  Expression-library errors become KError.
    virtual void replyBuilt(const char* stream, const std::function<Dag()>& build) = 0;
    // Non-zero when the user asked for an interrupt.
    virtual int poll() = 0;
};

class KInterpreter {
public:
    static constexpr int MAX_CALL_DEPTH = 500;
    static constexpr std::size_t MAX_STACK_BYTES = 2u << 20;
    static constexpr std::chrono::milliseconds POLL_INTERVAL{20};
    // Nodes between two readings of the clock.  A node of the interpreter's own costs well below
    // a microsecond (a variable, a small sum, a loop iteration), so 32 of them stay far inside
    // POLL_INTERVAL; a node that runs a long library computation polls from inside it (step()).
    // Reading the clock at every node was a tenth of the time of a loop of small statements.
    static constexpr int NODES_PER_POLL = 32;

    KInterpreter();

    // Runs one request statement; `showResults` is the request flag (";" ends the statement).
    // Errors, interrupts and STOP come out as exceptions (KError, KInterrupt, KStopRequest).
    void run(const KNode& statement, bool showResults, KReplySink& sink);

    // ---- used by the built-ins -----------------------------------------------------------
    KValue eval(const KNode& n);
    KValue evalArgs(const KNode& seq);           // an EXPSEQ node to a flat sequence
    GiNaC::ex toEx(const KValue& v, const char* where);
    // toEx(eval(n), where), taking a number written in the statement without making a value.
    GiNaC::ex numberOrEx(const KNode& n, const char* where);
    KValue withBinding(const std::string& name, const KValue& value,
                       const std::function<KValue()>& body);
    // Applies a procedure value, or the name of a built-in, to evaluated arguments.
    KValue apply(const KValue& f, KSeq args);
    // Sets a global without the effects of an assignment (start-up values).
    void define(const std::string& name, const KValue& value);
    // The value of libname (the library folders).
    KValue libname();
    // Checks the stack and polls for an interrupt now (see invariant 1).
    void step();
    // Polls from inside the arithmetic libraries; notes an interrupt for the next step().
    void pollFromLibrary() noexcept;
    KReplySink& sink() { return *sink_; }
    // Puts another sink in place (one that refuses replies, around a computation that may run
    // no effects) and returns the one it replaced, which the caller puts back.
    KReplySink* swapSink(KReplySink* s) { KReplySink* old = sink_; sink_ = s; return old; }
    std::string currentProcedure() const;
    void setDigits(long d);
    long digits() const { return digits_; }

private:
    struct Frame {
        const KProc* proc;
        KSeq args;
        std::vector<KValue> locals;
        std::vector<bool> localSet;
    };
    struct BreakLoop {};
    struct NextLoop {};
    struct Return { KValue value; };

    // One node: poll every NODES_PER_POLL.  Inline, as it runs for every node.
    void tick() {
        checkStack();
        if (--nodesUntilPoll_ > 0 && !interruptPending_) return;
        nodesUntilPoll_ = NODES_PER_POLL;
        pollNow();
    }
    void checkStack() {
        char here;
        if (stackBase_ && std::size_t(stackBase_ - &here) > MAX_STACK_BYTES) stackExhausted();
    }
    [[noreturn]] static void stackExhausted();
    void pollNow();                               // the clock and the sink's poll
    KValue exec(const KNode& n, bool top);        // statements; the value of the last one
    KValue execSeq(const KNode& n, bool top);
    KValue execIf(const KNode& n, bool top);
    KValue execFor(const KNode& n, bool top);
    KValue assign(const KNode& n, bool top);
    void assignTo(const KNode& target, KValue value);
    // Names by id (kernel_names.h); a node made by hand may carry only its text.
    static unsigned nameOf(const KNode& n);
    void setName(unsigned id, KValue value);
    KValue lookup(unsigned id);
    KValue lookupGlobal(unsigned id, int depth);
    bool isFrameName(unsigned id) const;   // a parameter or local of the running procedure
    KValue index(const KNode& n);
    KValue call(const KNode& n);
    KValue callLazy(const std::function<KValue(KInterpreter&, const KNode&)>& lazy, const std::string& name,
                    const KNode& argSeq);
    KValue callProc(const KProc& p, KSeq args, const std::string& name);
    KValue makeProc(const KNode& n);
    bool truth(const KValue& v);
    bool condition(const KNode& n);   // truth(eval(n))
    // The value of a number written in the statement or of a parameter whose argument is an
    // expression, as eval would give it, without making a value; false (nothing evaluated,
    // nothing counted) for any other node, which the caller then evaluates.
    bool quickEx(const KNode& n, GiNaC::ex& out);
    KValue arith(const KNode& n);
    static bool isElementwise(const KValue& v);   // a list or an equation
    KValue mapElements(const KValue& v, const std::function<GiNaC::ex(const GiNaC::ex&)>& f);
    KValue addElementwise(const KValue& a, const KValue& b);
    KValue fullEval(const KValue& v, int depth);
    void show(const KValue& v);

    // Global variables by name id - 1; a slot that is not set is a name without a value.
    struct Global {
        KValue value;
        bool set = false;
    };
    std::vector<Global> globals_;
    std::size_t globalsSet_ = 0;   // slots set
    Global& globalSlot(unsigned id);
    const Global* findGlobal(unsigned id) const;
    void clearGlobal(unsigned id);
    std::vector<Frame> frames_;
    KReplySink* sink_ = nullptr;
    bool showResults_ = false;
    long digits_ = 10;
    char* stackBase_ = nullptr;
    std::chrono::steady_clock::time_point lastPoll_;
    int nodesUntilPoll_ = NODES_PER_POLL;
    bool interruptPending_ = false;   // seen by a poll from inside the libraries
    unsigned long assignments_ = 0;   // bumped by every global assignment
    KValue ditto_[3];                 // %, %%, %%%
};

// Polls for an interrupt from inside the arithmetic libraries (their allocation functions): on
// the thread of the running statement, at most every POLL_INTERVAL, never re-entered.  It never
// throws (GiNaC, CLN and GMP are not exception-safe): an interrupt it sees is raised by the
// interpreter's next step.  A library call that may run long goes to a child process
// (kernel_child.h), which an interrupt abandons.
void kernel_poll_from_library() noexcept;

// The running statement's step() (nothing when none runs on this thread): for waits of the
// kernel's own code outside the libraries, which may throw KInterrupt.
void kernel_step_running();

// For tests: every allocation of the arithmetic libraries polls, not only one every
// POLL_INTERVAL, so that an interrupt can be asked for at a chosen allocation.
void kernel_poll_at_every_library_allocation(bool on);

// While one lives, kernel_poll_from_library does nothing on this thread: in a child process,
// which must never poll the kernel's link, and around short FLINT calls.  Nests.
class KLibraryPollPause {
public:
    KLibraryPollPause();
    ~KLibraryPollPause();
    KLibraryPollPause(const KLibraryPollPause&) = delete;
    KLibraryPollPause& operator=(const KLibraryPollPause&) = delete;

private:
    bool saved_;
};

// Built-in procedures (kernel_builtins.cpp).  Lazy built-ins get their argument nodes
// unevaluated (seq, sum, product, add, mul).
using KBuiltin = std::function<KValue(KInterpreter&, const KSeq& args)>;
using KLazyBuiltin = std::function<KValue(KInterpreter&, const KNode& argSeq)>;
const KBuiltin* kernel_find_builtin(const std::string& name);
const KLazyBuiltin* kernel_find_lazy_builtin(const std::string& name);

// Groups of built-ins kept in files of their own, added to the tables when they are made.
void kernel_add_plot_builtins(std::map<std::string, KBuiltin>& table);        // kernel_plot.cpp
void kernel_add_context_builtins(std::map<std::string, KLazyBuiltin>& lazy);  // kernel_context.cpp
void kernel_add_sheet_builtins(std::map<std::string, KLazyBuiltin>& lazy);    // kernel_sheet.cpp
void kernel_add_help_builtins(std::map<std::string, KBuiltin>& table);        // kernel_help.cpp
void kernel_add_help_lazy_builtins(std::map<std::string, KLazyBuiltin>& lazy);  // kernel_help.cpp
void kernel_add_smartplot_builtins(std::map<std::string, KLazyBuiltin>& lazy);  // kernel_smartplot.cpp

// The HELP stream (kernel_help.cpp): the arguments of INTERFACE_HELP(setpath, folders...) for
// a value of libname (KError for a value that holds no folders); the folder the kernel library
// was loaded from.
KSeq kernel_help_setpath(const KValue& libname);
std::string kernel_library_folder();
