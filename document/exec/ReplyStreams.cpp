// The worksheet's 27 reply-stream handlers and their registration.

#include "document/exec/ReplyStreams.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "document/exec/OutputSink.h"
#include "document/exec/WorksheetDocument.h"
#include "kernel_link/KKernelSession.h"
#include "kernel_link/KL_Direct.h"
#include "tovu/errors.h"
#include "tovu/ifvars.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/stream.h"
#include "typeset/typeset.h"
#include "util/messages.h"

namespace {

constexpr char kCallbackRefusal[] = "callbacks are not available in the worksheet";
constexpr char kInterruptedText[] = "computation interrupted";
constexpr char kHelpTitle[] = "Kelvo Library Help";

HelpStreamHook helpStreamHook = nullptr;

WorksheetDocument* doc(void* context) { return static_cast<WorksheetDocument*>(context); }

Dag builtinName(const char* text) {
    int index = dag_builtin_index(text);
    return index >= 0 ? dag_builtins[index] : dag_name(text);
}

// The settings block the handlers read: the session's, or the program's default one.
InterfaceSettings* settingsOf(WorksheetDocument* document) {
    if (auto* vars = document->interfaceVars()) return vars->settings();
    static KInterfaceVars defaults;
    return defaults.settings();
}

// An INTPOS of one base-10000 digit: 0 .. 9999.
bool isSmallInteger(const DagWord* dag) {
    return dag != nullptr && dag_type(dag) == DAG_INTPOS && dag_length(dag) == 2;
}

bool isIntegerNode(const DagWord* dag) {
    return dag != nullptr && (dag_type(dag) == DAG_INTPOS || dag_type(dag) == DAG_INTNEG);
}

// Whether the conversion to double can take the DAG: an integer, or a fraction or float whose
// two parts are integers.  A reply may carry a float over a name or a list; the conversion
// would stop the program on such a part instead of raising an error.
bool isConvertibleNumber(const DagWord* dag) {
    if (dag == nullptr) return false;
    switch (dag_type(dag)) {
    case DAG_INTPOS:
    case DAG_INTNEG:
        return true;
    case DAG_RATIONAL:
    case DAG_FLOAT:
        return dag_length(dag) == 3 && isIntegerNode(dag_op(dag, 1)) && isIntegerNode(dag_op(dag, 2));
    default:
        return false;
    }
}

// A number as a double, or NaN when the DAG is not a number.
double numberOf(const DagWord* dag) {
    if (!isConvertibleNumber(dag)) return std::nan("");
    try {
        TovuHandlerGuard guard;
        return arith_to_double(dag);
    } catch (...) {
        return std::nan("");
    }
}

// ---- the handlers, in table order -----------------------------------------------------------

Dag onDone(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    d->routeOutput(value, kOutputDone);
    if (d->evaluator() != nullptr) d->evaluator()->session()->firstRun = false;
    return dag_NULL;
}

Dag onLprint(void* context, Dag value) {
    doc(context)->lineOutput(value, WorksheetDocument::kLineItems);
    return dag_NULL;
}

Dag onPrint(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    if (settingsOf(d)->prettyprint != 0) {
        Dag shown = value;
        try {
            TovuHandlerGuard guard;
            shown = denormalise_dag(value);
        } catch (const TovuError&) {
            shown = value;
        }
        d->routeOutput(shown, kOutputResult);
    } else {
        d->lineOutput(value, WorksheetDocument::kLineItems);
    }
    return dag_NULL;
}

Dag onChar(void* context, Dag value) {
    doc(context)->lineOutput(value, WorksheetDocument::kLineChars);
    return dag_NULL;
}

Dag onPlot(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputPlot);
    return dag_NULL;
}

Dag onPlot3D(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputPlot3D);
    return dag_NULL;
}

Dag onText(void* context, Dag value) {
    (void)context;
    HelpText help = helpTextOf(value);
    auto document = std::make_unique<WorksheetDocument>(help.title.c_str());
    WorksheetHost& host = worksheetHost();
    if (host.showHelpDocument != nullptr) host.showHelpDocument(std::move(document), help.paragraphs);
    return dag_NULL;
}

Dag onIntr(void* context, Dag) {
    WorksheetDocument* d = doc(context);
    d->outputWarning(kInterruptedText);
    d->interrupted = true;
    return dag_NULL;
}

// The interface variables read the request's elements without looking for empty slots, which
// a reply read from the pipe may hold; such a request is passed on as an empty sequence, which
// they answer with their structure error.
const DagWord* interfaceRequest(Dag value) {
    if (value == nullptr) return dag_NULL;
    for (std::size_t i = 1; i <= replyCount(value); ++i)
        if (dag_op(value, i) == nullptr) return dag_NULL;
    return value;
}

Dag onSet(void* context, Dag value) {
    auto* vars = doc(context)->interfaceVars();
    return vars != nullptr ? vars->set(interfaceRequest(value)) : dag_NULL;
}

Dag onGet(void* context, Dag value) {
    auto* vars = doc(context)->interfaceVars();
    return vars != nullptr ? vars->get(interfaceRequest(value)) : dag_NULL;
}

Dag onRedirect(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    if (d->redirectFile != nullptr) {
        std::fclose(d->redirectFile);
        d->redirectFile = nullptr;
    }
    if (replyCount(value) == 2) {
        const char* path = replyText(replyElement(value, 1));
        if (path != nullptr) {
            const DagWord* mode = replyElement(value, 2);
            bool truncate = isSmallInteger(mode) && mode[1] == 0;
            d->redirectFile = std::fopen(path, truncate ? "w" : "a");
            if (d->redirectFile == nullptr) return builtinName("false");
        }
    }
    return builtinName("true");
}

// Waits for the user's line.  The wait ends with the answer (an input region's Enter), STOP,
// Interrupt, or a link that has died meanwhile; without a GUI pump nothing could ever answer,
// so the wait ends at once with what is stored.
Dag onReadline(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    WorksheetDocument::HandlerScope scope(d);
    d->waitingForReadline = true;
    const DagWord* first = replyElement(value, 1);
    d->readlineHelpQueries = isSmallInteger(first) && first[1] == 0;
    d->setComputing(false);
    d->readlineAnswer.clear();
    OutputSink* sink = d->currentSink();
    bool answered = sink != nullptr && sink->newTextInputRegion();
    if (!answered) {
        while (d->waitingForReadline) {
            if (worksheetHost().reschedule == nullptr || d->stopped || d->linkIsDead()) break;
            WorksheetDocument::pumpEvents();
        }
    }
    d->waitingForReadline = false;
    return dag_name(d->readlineAnswer.text() ? d->readlineAnswer.text() : "");
}

Dag onError(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputError);
    return dag_NULL;
}

Dag onFatal(void* context, Dag value) {
    (void)context;
    std::string text;
    print_sequence(value, "", sink_append_string, sink_ignore_error, 0, PRINT_TOP_UNQUOTED, &text);
    showMessage(text.c_str());
    return dag_NULL;
}

Dag onWarn(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    if (replyCount(value) < 2) return dag_NULL;
    const DagWord* level = replyElement(value, 1);
    if (!isSmallInteger(level)) return dag_NULL;
    if (settingsOf(d)->warnlevel < static_cast<K_INT>(level[1])) return dag_NULL;
    d->routeOutput(value, kOutputWarning);
    return dag_NULL;
}

Dag onDiag(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputDiagnostic);
    return dag_NULL;
}

Dag onHelp(void* context, Dag value) {
    if (helpStreamHook != nullptr) helpStreamHook(doc(context), value);
    return dag_NULL;
}

Dag onStatus(void* context, Dag value) {
    WorksheetDocument* d = doc(context);
    QuietEvaluator* evaluator = d->evaluator();
    if (evaluator == nullptr || replyCount(value) < 3) return dag_NULL;
    double bytes = statusByteCount(replyElement(value, 2));
    std::string seconds = statusTimeText(replyElement(value, 3));
    if (bytes < 0 || seconds.empty()) return dag_NULL;
    evaluator->setMemoryText(formatByteCount(bytes));
    evaluator->setTimeText(seconds.c_str());
    WorksheetHost& host = worksheetHost();
    if (host.showKernelStatus != nullptr && (host.isActiveWindow == nullptr || host.isActiveWindow(d)))
        host.showKernelStatus(d, d->memoryStatusText(), d->timeStatusText());
    return dag_NULL;
}

Dag onLogo(void*, Dag value) {
    if (replyCount(value) < 1) return dag_NULL;
    if (const char* text = replyText(replyElement(value, 1))) kernelBanner().assign(text);
    return dag_NULL;
}

Dag onStart(void*, Dag) { return dag_NULL; }

Dag onStop(void* context, Dag) {
    WorksheetDocument* d = doc(context);
    d->stopped = true;
    d->waitingForReadline = false;
    d->setComputing(false);
    return dag_NULL;
}

Dag onCallback(void* context, Dag) {
    doc(context)->outputError(kCallbackRefusal);
    return dag_NULL;
}

Dag onSmartPlot2D(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputSmartPlot2D);
    return dag_NULL;
}

Dag onSmartPlot3D(void* context, Dag value) {
    doc(context)->routeOutput(value, kOutputSmartPlot3D);
    return dag_NULL;
}

struct Registration {
    const char* name;
    StreamHandler handler;
};

const Registration kHandlers[REPLY_STREAM_COUNT] = {
    {"DONE", onDone},         {"RESULT", onPrint},     {"CHAR", onChar},
    {"LPRINT", onLprint},     {"PRINT", onPrint},      {"PLOT", onPlot},
    {"PLOT3D", onPlot3D},     {"TEXT", onText},        {"INTR", onIntr},
    {"SET", onSet},           {"GET", onGet},          {"REDIRECT", onRedirect},
    {"READLINE", onReadline}, {"ERROR", onError},      {"FATALERR", onFatal},
    {"WARN", onWarn},         {"DIAG", onDiag},        {"HELP", onHelp},
    {"INFO", onLprint},       {"DEBUG", onChar},       {"STATUS", onStatus},
    {"LOGO", onLogo},         {"START", onStart},      {"STOP", onStop},
    {"CALLBACK", onCallback}, {"SMARTPLOT2D", onSmartPlot2D}, {"SMARTPLOT3D", onSmartPlot3D},
};

}  // namespace

const char* const replyStreamNames[REPLY_STREAM_COUNT] = {
    "DONE", "RESULT", "CHAR", "LPRINT", "PRINT", "PLOT", "PLOT3D", "TEXT", "INTR",
    "SET", "GET", "REDIRECT", "READLINE", "ERROR", "FATALERR", "WARN", "DIAG", "HELP",
    "INFO", "DEBUG", "STATUS", "LOGO", "START", "STOP", "CALLBACK", "SMARTPLOT2D", "SMARTPLOT3D",
};

KString& kernelBanner() {
    static KString banner;
    return banner;
}

void registerReplyStreams() {
    stream_init_default(REPLY_STREAM_COUNT);
    for (const Registration& r : kHandlers) stream_register(nullptr, r.name, r.handler);
}

void freeReplyStreams() { stream_free_default(); }

void setHelpStreamHook(HelpStreamHook hook) { helpStreamHook = hook; }

const char* replyText(const DagWord* dag) {
    if (dag == nullptr) return nullptr;
    unsigned type = dag_type(dag);
    if (type != DAG_STRING && type != DAG_NAME) return nullptr;
    return dag_text(dag);
}

std::size_t replyCount(const DagWord* reply) {
    if (reply == nullptr || dag_type(reply) != DAG_EXPSEQ || dag_length(reply) < 1) return 0;
    return dag_length(reply) - 1;
}

const DagWord* replyElement(const DagWord* reply, std::size_t n) {
    if (n < 1 || n > replyCount(reply)) return nullptr;
    return dag_op(reply, n);
}

HelpText helpTextOf(const DagWord* reply) {
    HelpText help;
    help.title = kHelpTitle;
    bool titled = false;
    std::string current;
    bool haveLines = false;
    for (std::size_t i = 1; i <= replyCount(reply); ++i) {
        const char* text = replyText(replyElement(reply, i));
        if (text == nullptr) text = "";
        if (!titled) {
            const char* p = text;
            while (*p == ' ') ++p;
            if (*p) {
                help.title += p;
                titled = true;
            }
        }
        if (std::strcmp(text, "   ") == 0) {
            help.paragraphs.push_back(current);
            current.clear();
            haveLines = false;
            continue;
        }
        current += text;
        current += '\n';
        haveLines = true;
    }
    if (haveLines) help.paragraphs.push_back(current);
    return help;
}

std::string statusTimeText(const DagWord* seconds) {
    double value = numberOf(seconds);
    if (!std::isfinite(value)) return std::string();
    int n = std::snprintf(nullptr, 0, "%1.1f", value);
    if (n <= 0) return std::string();
    std::string text(std::size_t(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%1.1f", value);
    text.resize(std::size_t(n));
    return text;
}

double statusByteCount(const DagWord* words) {
    if (words == nullptr || dag_type(words) != DAG_INTPOS) return -1;
    double value = numberOf(words);
    if (!std::isfinite(value) || value < 0) return -1;
    return value * 4.0;
}
