// Random expression texts as participants of the kernel's context menus and of each menu
// command, evaluated through the kernel's entry points as the worksheet asks for them.  Every
// request must end with exactly one DONE and send nothing but PRINT, RESULT, ERROR and INTR
// before it: a participant is inspected, never run, so no HELP (or any other reply a
// participant's call could send) may come out.
//
// Input: byte 0 picks the request (the menu or one command), byte 1 the in-place form and the
// name of a per-name command; the rest is the participant's text.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/storage.h"

namespace {

struct Tally {
    int done = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    const char* bad = nullptr;   // the first reply that may not come
};

Dag on_query(void* link, Dag reply) {
    auto* t = static_cast<Tally*>(link);
    const char* name = dag_text(dag_op(reply, 1));
    const char* stream = std::strncmp(name, "INTERFACE_", 10) == 0 ? name + 10 : name;
    if (std::strcmp(stream, "DONE") == 0) {
        ++t->done;
    } else if (t->done > 0 || (std::strcmp(stream, "PRINT") != 0 && std::strcmp(stream, "RESULT") != 0 &&
                               std::strcmp(stream, "ERROR") != 0 && std::strcmp(stream, "INTR") != 0)) {
        if (t->bad == nullptr) t->bad = name;
    }
    return nullptr;
}

// A long computation is interrupted as the worksheet's Interrupt button would, after a second.
int on_poll(void* link) {
    auto* t = static_cast<Tally*>(link);
    return std::chrono::steady_clock::now() - t->start > std::chrono::seconds(1) ? 1 : 0;
}

const char* const requests[] = {
    "ContextMenu",    "ContextFactor", "ContextExpand", "ContextNormal", "ContextSimplify",
    "ContextApproximate", "ContextIfactor", "ContextDiff",   "ContextInt",    "ContextSolve",
    "ContextPlot",    "ContextPlot3d",
};
constexpr std::size_t request_count = sizeof requests / sizeof requests[0];

bool per_name(const char* r) {
    return std::strcmp(r, "ContextDiff") == 0 || std::strcmp(r, "ContextInt") == 0 ||
           std::strcmp(r, "ContextSolve") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = [] {
        tovu_start();
        char prog[] = "kernel";
        char* argv[] = {prog, nullptr};
        if (kernel_start(1, argv) != nullptr) std::abort();
        return true;
    }();
    (void)ready;
    if (size < 3 || size > 200) return 0;

    // The participant is one expression: nothing that would end the call or the statement.
    std::string participant(reinterpret_cast<const char*>(data + 2), size - 2);
    for (char c : participant)
        if (c == '\0' || c == ';' || c == ':' || c == '#') return 0;
    if (parse_text((participant + ";").c_str()) == nullptr) {
        storage_reset();
        return 0;
    }
    storage_reset();

    const char* request = requests[data[0] % request_count];
    const bool inPlace = (data[1] & 1) != 0;
    const char* names[] = {"x", "y", "z", "t"};
    std::string call = request;
    if (per_name(request)) call += std::string("(") + names[(data[1] >> 1) % 4] + ")";
    std::string text;
    if (std::strcmp(request, "ContextMenu") == 0) {
        text = "print(ContextMenu(" + participant + "));";
    } else {
        text = "print(" + call + "([ none, " + participant + " ]" +
               (inPlace ? ", \"autoassign\"=false, \"parse\"=true" : "") + "));";
    }

    int flag = 0;
    Dag statement = parse_text_full(text.c_str(), nullptr, nullptr, nullptr, nullptr, &flag, nullptr,
                                    nullptr, false);
    if (statement != nullptr) {
        Tally tally;
        kernel_evaluate(statement, on_query, on_poll, flag, 1, &tally);
        if (tally.done != 1 || tally.bad != nullptr) {
            std::fprintf(stderr, "%s\n  DONE replies: %d, unexpected reply: %s\n", text.c_str(), tally.done,
                         tally.bad ? tally.bad : "none");
            std::abort();
        }
    }
    storage_reset();
    return 0;
}
