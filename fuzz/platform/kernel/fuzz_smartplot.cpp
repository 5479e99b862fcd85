// Argument texts of smart plot regions, as worksheet files and the clipboard may hold them,
// wrapped in each of the five commands that a region sends and evaluated through the kernel's
// entry points.
//
// The fuzzer's bytes drive a small generator of the text's grammar: the first byte picks the
// command, each further byte one token (brackets, commas, "=", "..", names of curves, options
// and values, numbers, operators and function calls), and a byte with its top bit set is copied
// as it is, so that random bytes reach the parser too.  Texts that do not parse, or that parse
// into a statement other than a call of the command, are skipped.
//
// A finding (abort) is any of: a reply count of DONE other than one, or a DONE that is not the
// last reply; a reply other than RESULT, PLOT, PLOT3D, ERROR or INTR; a RESULT whose one-line
// print does not parse back.  A statement still running after kBudget is interrupted, so every
// input ends.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/errors.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"

namespace {

constexpr std::chrono::milliseconds kBudget{300};

const char* const kCommands[] = {"SMARTPLOT2D(", "SMARTPLOT3D(", "EDITSMARTPLOT(", "APPENDPLOT(", "APPENDPLOTS("};

const char* const kTokens[] = {
    "[", "]", ", ", "=", " .. ", "(", ")", "+", "-", "*", "/", "^", "x", "y", "t", "a", "sin(x)", "cos(x)",
    "x*y", "1/x", "ln(x)", "sqrt(x)", "exp(x)", "Pi", "0", "1", "2", "3", "-10", "10", "0.5", "0.9", "1000",
    "100000", "1e300", "\"abc\"", "x = -10 .. 10", "y = 0 .. 1", "x = 1 .. 0", "style", "symbol", "linestyle",
    "thickness", "color", "colour", "shading", "axes", "scaling", "projection", "gridstyle", "view", "title",
    "orientation", "lightmodel", "numpoints", "grid", "frames", "LINE", "POINT", "PATCH", "HIDDEN", "WIREFRAME",
    "CROSS", "BOX", "red", "navy", "ZHUE", "XYZ", "NONE", "BOXED", "FRAME", "CONSTRAINED", "triangular",
    "DEFAULT", "[DEFAULT, DEFAULT]", "[0 .. 1, DEFAULT]", "[DEFAULT, DEFAULT, DEFAULT]", "[1000, 1000]",
    "[sin(x), x = -10 .. 10]", "[x*y, x = -1 .. 1, y = -1 .. 1]", "         2,", "print(x)", "f(x)", "{x}",
};

struct Outcome {
    int done = 0;
    bool afterDone = false;
    bool bad = false;
    std::string why;
};

Dag on_reply(void* link, Dag reply) {
    auto* o = static_cast<Outcome*>(link);
    std::string name = dag_text(dag_op(reply, 1));
    std::string stream = name.substr(10);
    if (o->done > 0) o->afterDone = true;
    if (stream == "DONE") {
        ++o->done;
    } else if (stream == "RESULT") {
        std::string printed = print_to_text(dag_op(reply, 2));
        if (!printed.empty()) {
            std::string again = "(" + printed + ");";
            if (parse_text(again.c_str()) == nullptr) {
                o->bad = true;
                o->why = "a result that does not parse back: " + printed;
            }
        }
    } else if (stream != "PLOT" && stream != "PLOT3D" && stream != "ERROR" && stream != "INTR") {
        o->bad = true;
        o->why = "an unexpected reply " + stream;
    }
    return nullptr;
}

std::chrono::steady_clock::time_point deadline;

int on_poll(void*) { return std::chrono::steady_clock::now() > deadline ? 1 : 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tovu_start();
    char program[] = "kernel";
    char* argv[] = {program, nullptr};
    if (const char* error = kernel_start(1, argv)) {
        std::fprintf(stderr, "kernel_start: %s\n", error);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 400) return 0;
    std::string text = kCommands[data[0] % std::size(kCommands)];
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] & 0x80) text.push_back(char(data[i] & 0x7F ? data[i] & 0x7F : ' '));
        else text += kTokens[data[i] % std::size(kTokens)];
    }
    text += ");";
    // Statements and the texts parsed back live in the default area, emptied for every input
    // (names are interned there too, so it cannot be an area of our own that goes away).
    storage_reset();
    int flag = 1;
    Dag statement = nullptr;
    try {
        TovuHandlerGuard guard;
        statement = parse_text_full(text.c_str(), nullptr, nullptr, nullptr, nullptr, &flag, nullptr, nullptr, false);
    } catch (const TovuError&) {
        return 0;
    }
    // A text can turn the statement into something else ("(|" opens an index, ")" ends the
    // call early): only calls of the command are the procedures' business.
    std::string command(kCommands[data[0] % std::size(kCommands)]);
    command.pop_back();
    if (statement == nullptr || dag_type(statement) != DAG_FUNCTION || dag_type(dag_op(statement, 1)) != DAG_NAME ||
        command != dag_text(dag_op(statement, 1)))
        return 0;
    Outcome outcome;
    deadline = std::chrono::steady_clock::now() + kBudget;
    kernel_evaluate(statement, on_reply, on_poll, flag, 1, &outcome);
    if (outcome.done != 1 || outcome.afterDone || outcome.bad) {
        std::fprintf(stderr, "%s\n%s\n", text.c_str(),
                     outcome.bad ? outcome.why.c_str() : outcome.done != 1 ? "DONE count" : "reply after DONE");
        std::abort();
    }
    return 0;
}
