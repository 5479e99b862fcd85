// The worksheet document: kernel connection, title, execution queue and output routing.

#include "document/exec/WorksheetDocument.h"

#include "document/tree/ViewCaret.h"

#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "document/records/KWorksheetReader.h"
#include "document/exec/ReplyStreams.h"
#include "document/exec/SessionGroup.h"
#include "document/styles/StyleSet.h"
#include "kernel_link/KKernelSession.h"
#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_PipeServer.h"
#include "kernel_link/kl_paths.h"
#include "tovu/errors.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/stream.h"
#include "util/errjump.h"
#include "util/messages.h"

namespace {

constexpr char kHelpPrefix[] = "Kelvo Library Help";
constexpr std::size_t kHelpPrefixLength = sizeof(kHelpPrefix) - 1;
constexpr char kStartupStatement[] = "readlib(`context/init`)();";

bool isHelpTitle(const char* text) {
    return text != nullptr && std::strncmp(text, kHelpPrefix, kHelpPrefixLength) == 0;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The sink of the start-up statement's own region: it shows nothing and goes with its region.
class DiscardingSink : public OutputSink {
public:
    void endOutput() override { delete this; }
    void resetOutput() override { delete this; }
    bool output(Dag, int) override { return true; }
    bool newTextInputRegion() override { return false; }
};

}  // namespace

WorksheetHost& worksheetHost() {
    static WorksheetHost host;
    return host;
}

// ---- construction ---------------------------------------------------------------------------

WorksheetDocument::WorksheetDocument(const char* title, Element* root) {
    if (isHelpTitle(title)) {
        isHelpDocument_ = true;
    } else {
        connect();
    }
    setTitle(title);
    readStyleTemplate();
    if (root != nullptr) setRoot(root);
}

void WorksheetDocument::connect() {
    KernelConnectionFactory factory = worksheetHost().connectKernel;
    evaluator_ = factory != nullptr ? factory(this) : nullptr;
    if (void (*init)() = worksheetHost().initExpressionPlaceholders) init();
}

namespace {

// The per-worksheet in-process link carries a server descriptor (link type 3), so that the
// document owns its evaluator as it owns a server's; the descriptor's command is never run.
constexpr const char* kPerWorksheetInProcessCommand = "ruz";

}  // namespace

QuietEvaluator* connectNoKernel(WorksheetDocument*) { return nullptr; }

// Builds the link for the host's options and the evaluator over it.  A link that cannot start
// is still built: it is dead, and the document reports that at its first statement.
QuietEvaluator* connectKernelFromOptions(WorksheetDocument* document) {
    WorksheetHost& host = worksheetHost();
    std::shared_ptr<KKernelSession> session;
    auto makeArgs = [&host](KL_ConnectInfo& info) {
        KL_ArgList args;
        for (const std::string& word : host.kernelArgs) args.append(word.c_str());
        info.args = args;
    };
    auto serverInfo = [&host, &makeArgs]() {
        std::string command = host.serverCommand.empty() ? kl_kernel_server_path() : host.serverCommand;
        KL_ConnectInfo info(KL_TRANSPORT_PIPES, command.c_str());
        info.linkType = KL_LINK_SERVER;
        makeArgs(info);
        return info;
    };
    const char* library = host.kernelLibrary.empty() ? nullptr : host.kernelLibrary.c_str();
    if (host.kernelMode == kKernelPerWorksheet) {
        KL_Link* link = nullptr;
        if (host.linkKind == kLinkInProcess) {
            KL_ConnectInfo info(KL_TRANSPORT_PIPES, kPerWorksheetInProcessCommand);
            info.linkType = KL_LINK_SERVER;
            makeArgs(info);
            auto* direct = new KL_Direct(info, library);
            host.directLink = direct;
            link = direct;
        } else {
            link = new KL_PipeServer(serverInfo());
        }
        session = std::make_shared<KKernelSession>(link);
    } else if (!host.evaluators.empty()) {
        session = host.evaluators.front()->sharedSession();
    } else {
        KL_Link* link = nullptr;
        if (host.linkKind == kLinkInProcess) {
            KL_ConnectInfo info;
            makeArgs(info);
            auto* direct = new KL_Direct(info, library);
            host.directLink = direct;
            link = direct;
        } else {
            link = new KL_PipeServer(serverInfo());
        }
        session = std::make_shared<KKernelSession>(link);
    }
    auto* evaluator = new QuietEvaluator(document, std::move(session));
    host.evaluators.push_back(evaluator);
    return evaluator;
}

// The paragraph styles of the options' template worksheet replace the defaults; a missing or
// damaged template leaves the defaults.
void WorksheetDocument::readStyleTemplate() {
    const std::string& path = worksheetHost().templatePath;
    if (path.empty() || styleSet() == nullptr) return;
    try {
        TovuHandlerGuard guard;
        KWorksheetReader reader;
        if (!reader.open(path)) return;
        std::string token;
        reader.readToken(token);
        if (token != "{VERSION") return;
        reader.skipRecord();
        styleSet()->readStyleTable(reader);
    } catch (...) {
        // The default styles stay.
    }
}

WorksheetDocument::~WorksheetDocument() {
    WorksheetHost& host = worksheetHost();
    freeParsedStatements();
    if (evaluator_ != nullptr) {
        // The evaluator goes with its document; the session (and with it the link and the
        // kernel) goes with the last evaluator that shares it, so a shared kernel lives as long
        // as some worksheet uses it.
        KKernelSession* session = evaluator_->session();
        const bool lastUser = evaluator_->sessionUsers() == 1;
        if (auto* direct = dynamic_cast<KL_Direct*>(session->link)) {
            // No handlers may point at this document any more (another worksheet on the shared
            // kernel installs its own before it runs).
            if (direct->handlerData() == this) direct->setHandlers(nullptr, nullptr, nullptr);
            if (lastUser && host.directLink == direct) host.directLink = nullptr;
        }
        for (auto it = host.evaluators.begin(); it != host.evaluators.end(); ++it) {
            if (*it == evaluator_) {
                host.evaluators.erase(it);
                break;
            }
        }
        delete evaluator_;
        evaluator_ = nullptr;
    }
    if (redirectFile != nullptr) {
        std::fclose(redirectFile);
        redirectFile = nullptr;
    }
    // Sinks still queued are told their region will not run.
    drainQueue();
}

void WorksheetDocument::requestDestroy() {
    if (handlerDepth_ > 0) {
        destroyRequested_ = true;
        return;
    }
    delete this;
}

WorksheetDocument::HandlerScope::HandlerScope(WorksheetDocument* document) : document_(document) {
    ++document_->handlerDepth_;
}

WorksheetDocument::HandlerScope::~HandlerScope() {
    if (--document_->handlerDepth_ == 0 && document_->destroyRequested_) delete document_;
}

// ---- Document -------------------------------------------------------------------------------

bool WorksheetDocument::hasIdleSession() const { return evaluator_ != nullptr && evaluator_->poll() == KL_IDLE; }

KInterfaceVars* WorksheetDocument::interfaceVars() const {
    return evaluator_ != nullptr ? evaluator_->session()->interfaceVars : nullptr;
}

void WorksheetDocument::runQueue() {
    // The idle kernel is the caret's chance to act (the placeholder of an empty worksheet makes
    // its first input then).
    if (queue_.isEmpty() && !computing_)
        if (ViewCaret* caret = activeCaret()) caret->dispatchCommand(71, nullptr, 0);
    runExecutionQueue();
}

// ---- title ----------------------------------------------------------------------------------

// Titles are built in growing strings: a path of any length keeps its whole file name.
void WorksheetDocument::setTitle(const char* text) {
    std::string plain;
    if (text == nullptr) {
        int number = ++worksheetHost().untitledCount;
        plain = "Untitled (" + std::to_string(number) + ")";
        filePath_.clear();
    } else if (!isHelpTitle(text)) {
        filePath_.assign(text);
        const char* name = text;
        for (const char* p = text; *p; ++p)
            if (*p == '/' || *p == '\\') name = p + 1;
        plain = name;
    } else {
        const char* topic = text + kHelpPrefixLength;
        while (*topic == ' ') ++topic;
        plain = *topic ? topic : kHelpPrefix;
    }
    setPlainTitle(plain.c_str());
    if (evaluator_ != nullptr && evaluator_->linkType() != KL_LINK_DIRECT)
        plain += " - [Server " + std::to_string(evaluator_->session()->sessionNumber) + "]";
    setDisplayTitle(plain.c_str());
}

// ---- execution ------------------------------------------------------------------------------

bool WorksheetDocument::executeInput(OutputSink* sink, const KString& text) {
    bool (*lowMemory)() = worksheetHost().lowMemoryCheck ? worksheetHost().lowMemoryCheck : warnLowVirtualMemory;
    if (lowMemory()) {
        // The caller has marked its group busy: end the region as an empty one so that the
        // group can run again once memory is back.
        if (sink != nullptr) {
            sink->beginOutput();
            sink->endOutput();
        }
        return false;
    }
    firstOutputPending_ = false;
    parsing_ = true;
    const char* source = text.text() ? text.text() : "";
    const int length = int(std::strlen(source));
    int offset = 0;
    while (offset < length && isBlank(source[offset])) ++offset;
    if (offset >= length) {
        parsing_ = false;
        sink->beginOutput();
        sink->endOutput();
        return true;
    }
    parsingSink_ = sink;
    queue_.pushBegin(sink);
    std::size_t count = 1;
    while (true) {
        while (offset < length && isBlank(source[offset])) ++offset;
        if (offset >= length) break;
        const char* errorText = nullptr;
        int errorPosition = -1, consumed = 0, terminator = 1;
        bool premature = false;
        Dag statement = nullptr;
        try {
            TovuHandlerGuard guard;
            statement = parse_text_full(source + offset, &errorText, &errorPosition, &consumed, &premature,
                                        &terminator, nullptr, parsedStatements_.get(), true);
        } catch (const TovuError& error) {
            statement = nullptr;
            errorText = nullptr;
        }
        if (statement == nullptr || consumed <= 0) {
            std::string message = errorText && *errorText ? errorText
                                  : premature            ? "premature end of input"
                                                         : "syntax error";
            int position = offset + (errorPosition < 0 ? 0 : errorPosition);
            sink->beginOutput();
            if (premature)
                outputIncomplete(position, message.c_str());
            else
                outputSyntaxError(position, message.c_str());
            queue_.dropLast(count);
            parsing_ = false;
            parsingSink_ = nullptr;
            sink->endOutput();
            return true;
        }
        // A text of nothing but comments parses to the control statement: nothing to run.
        if (dag_type(statement) != DAG_CONTROL) {
            queue_.pushStatement(sink, statement, terminator != 0);
            ++count;
        }
        offset += consumed;
        if (offset >= length) break;
    }
    if (count > 1) {
        queue_.pushEnd(sink);
    } else {
        // Only comments: the region ran, with nothing to show.
        queue_.dropLast(count);
        sink->beginOutput();
        sink->endOutput();
    }
    parsing_ = false;
    parsingSink_ = nullptr;
    return true;
}

void WorksheetDocument::installCallbacks() {
    if (evaluator_ == nullptr) return;
    // The shared in-process link gets them through the evaluator; a per-worksheet in-process
    // link (type 3 descriptor over the library) gets them directly.
    if (evaluator_->setHandlers(kernelReplyCallback, kernelPollCallback, this) == 0) {
        if (auto* direct = dynamic_cast<KL_Direct*>(evaluator_->session()->link))
            direct->setHandlers(kernelReplyCallback, kernelPollCallback, this);
    }
}

void WorksheetDocument::setComputing(bool on) {
    computing_ = on;
    if (ElementWindow* window = activeEditTarget()) window->setComputing(on);
}

void WorksheetDocument::freeParsedStatements() {
    storage_free(parsedStatements_.get());
}

void WorksheetDocument::drainQueue() {
    while (!queue_.isEmpty()) {
        OutputSink* sink = queue_.frontSink();
        bool begin = queue_.frontIsBegin();
        queue_.pop();
        // One resetOutput per region: at its end marker (a region cut before its end marker
        // was queued cannot exist: regions are queued whole).
        if (!begin && queue_.frontSink() != sink && sink) sink->resetOutput();
    }
    interrupted = false;
    statementDone_ = false;
    firstOutputPending_ = false;
    startupRunning_ = false;
    freeParsedStatements();
    if (evaluator_ && evaluator_->session()->currentEvaluator == evaluator_)
        evaluator_->session()->currentEvaluator = nullptr;
    setComputing(false);
}

void WorksheetDocument::runExecutionQueue() {
    if (parsing_) return;
    if (statementDone_) {
        if (!queue_.isEmpty() && !queue_.frontIsBegin() && !queue_.frontIsEnd()) queue_.pop();
        if (queue_.frontIsEnd()) {
            OutputSink* sink = queue_.frontSink();
            firstOutputPending_ = false;
            queue_.pop();
            if (sink) sink->endOutput();
        }
        statementDone_ = false;
    }
    if (queue_.isEmpty()) {
        if (evaluator_ != nullptr) {
            evaluator_->session()->firstRun = false;
            if (evaluator_->session()->currentEvaluator == evaluator_)
                evaluator_->session()->currentEvaluator = nullptr;
        }
        interrupted = false;
        freeParsedStatements();
        setComputing(false);
        return;
    }
    if (interrupted) {
        drainQueue();
        return;
    }
    if (queue_.frontIsBegin()) {
        setComputing(true);
        OutputSink* sink = queue_.frontSink();
        queue_.pop();
        if (sink) sink->beginOutput();
    }
    if (queue_.isEmpty() || queue_.frontIsEnd() || queue_.frontIsBegin()) return;
    if (evaluator_ == nullptr || linkIsDead()) {
        drainAfterDeadLink();
        return;
    }
    KKernelSession* session = evaluator_->session();
    if (!session->argumentsSent) {
        session->argumentsSent = true;
        if (evaluator_->linkType() != KL_LINK_DIRECT && evaluator_->sendArguments() != 0) {
            drainAfterDeadLink();
            return;
        }
    }
    installCallbacks();
    Dag statement = queue_.frontStatement();
    int flag = queue_.frontTerminated() ? 1 : 0;
    HandlerScope scope(this);
    if (evaluator_->startEvaluation(statement, flag) != 0) drainAfterDeadLink();
}

bool WorksheetDocument::linkIsDead() {
    if (evaluator_ == nullptr) return false;
    KL_Link* link = evaluator_->session()->link;
    if (link->state() == KL_BUSY && dynamic_cast<KL_Direct*>(link) == nullptr) link->poll();
    return link->state() == KL_DEAD;
}

void WorksheetDocument::drainAfterDeadLink() {
    printPending_ = false;
    printBuffer_.clear();
    waitingForReadline = false;
    drainQueue();
}

bool WorksheetDocument::serviceServerLink(bool wait) {
    if (evaluator_ == nullptr) return false;
    KL_Link* link = evaluator_->session()->link;
    if (dynamic_cast<KL_Direct*>(link) != nullptr) return link->state() != KL_DEAD;
    HandlerScope scope(this);
    while (true) {
        int state = link->poll();
        if (state == KL_DEAD) return false;
        if (state == KL_IDLE) return true;
        if (state != KL_RESULT_READY && !wait) return true;
        Dag reply = link->getResult(1);
        if (reply == nullptr) return link->state() != KL_DEAD;
        bool done = link->state() == KL_IDLE;
        Dag answer = kernelReplyCallback(this, reply);
        // Every reply, DONE included, is answered: the server waits for the answer.
        if (link->sendReply(answer ? answer : dag_NULL) == nullptr && link->state() == KL_DEAD)
            return false;
        if (done) return true;
    }
}

bool WorksheetDocument::pollExecution(bool wait) {
    runQueue();
    const bool server = evaluator_ != nullptr && dynamic_cast<KL_Direct*>(evaluator_->session()->link) == nullptr;
    if (server && !serviceServerLink(wait)) drainAfterDeadLink();
    return !queue_.isEmpty();
}

void WorksheetDocument::runExecutionToEnd(int maxSteps) {
    for (int step = 0; step < maxSteps && !queue_.isEmpty(); ++step) pollExecution(true);
    runQueue();
}

OutputSink* WorksheetDocument::currentSink() const {
    if (parsing_) return parsingSink_;
    return queue_.frontSink();
}

bool WorksheetDocument::routeOutput(Dag dag, int kind) {
    flushPrintBuffer();
    if (kind == kOutputDone) {
        statementDone_ = true;
        startupRunning_ = false;
        return true;
    }
    OutputSink* sink = currentSink();
    if (sink != nullptr) sink->output(dag, kind);
    firstOutputPending_ = false;
    return true;
}

void WorksheetDocument::outputWarning(const char* text) {
    routeOutput(dag_new1(DAG_EXPSEQ, dag_name(text)), kOutputWarning);
}

void WorksheetDocument::outputError(const char* text) {
    routeOutput(dag_new1(DAG_EXPSEQ, dag_name(text)), kOutputError);
}

void WorksheetDocument::outputSyntaxError(int position, const char* text) {
    routeOutput(dag_new2(DAG_EXPSEQ, dag_of_int(position), dag_name(text)), kOutputError);
}

void WorksheetDocument::outputIncomplete(int position, const char* text) {
    routeOutput(dag_new2(DAG_EXPSEQ, dag_of_int(position), dag_name(text)), kOutputIncomplete);
}

void WorksheetDocument::lineOutput(Dag dag, LineOutputMode mode) {
    KString& buffer = printBuffer_;
    if (mode == kLineItems) {
        int width = 0;
        if (redirectFile != nullptr && interfaceVars() != nullptr)
            width = int(interfaceVars()->settings()->screenwidth);
        print_sequence(dag, "   ", sink_append_kstring, sink_ignore_error, width, PRINT_TOP_UNQUOTED, &buffer);
        buffer.appendChar('\n');
        printPending_ = true;
        flushPrintBuffer();
        return;
    }
    if (dag == nullptr || dag_type(dag) != DAG_EXPSEQ || dag_length(dag) < 2) return;
    const char* text = replyText(dag_op(dag, 1));
    if (text == nullptr) return;
    buffer.append(text);
    printPending_ = true;
    if (buffer.length() > 0 && buffer.text()[buffer.length() - 1] == '\n') flushPrintBuffer();
}

void WorksheetDocument::flushPrintBuffer() {
    if (!printPending_) return;
    printPending_ = false;
    KString& buffer = printBuffer_;
    std::string text(buffer.text() ? buffer.text() : "");
    buffer.clear();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    routeOutput(dag_new1(DAG_EXPSEQ, dag_name(text.c_str())), kOutputText);
}

void WorksheetDocument::startSession() {
    if (evaluator_ == nullptr) return;
    installCallbacks();
    KString text(kStartupStatement);
    // What the start-up prints (a banner) is placed in a session group at the top of the
    // worksheet; a document without a tree has nowhere to place it and discards it.
    if (root() != nullptr)
        executeInput((new SessionGroup(this))->sink(), text);
    else
        executeInput(new DiscardingSink, text);
    firstOutputPending_ = true;
    startupRunning_ = true;
}

// The user's Interrupt.  While the start-up statement runs it still reaches the kernel, so a
// start-up that never ends cannot leave a worksheet that is neither usable nor closable.
void WorksheetDocument::interrupt() {
    if (evaluator_ != nullptr) evaluator_->interrupt();
    waitingForReadline = false;
}

Dag WorksheetDocument::evaluateString(const char* text) {
    return evaluator_ != nullptr ? evaluator_->evaluateString(text) : nullptr;
}

const char* WorksheetDocument::memoryStatusText() const {
    return evaluator_ != nullptr ? evaluator_->memoryText()->text() : nullptr;
}

const char* WorksheetDocument::timeStatusText() const {
    return evaluator_ != nullptr ? evaluator_->timeText()->text() : nullptr;
}

void WorksheetDocument::pumpEvents() {
    WorksheetHost& host = worksheetHost();
    if (host.reschedule != nullptr) host.reschedule(host.rescheduleData);
}

// ---- kernel callbacks -----------------------------------------------------------------------

// The boundary with the kernel library: nothing raised here may cross into it.
Dag WorksheetDocument::kernelReplyCallback(void* document, Dag reply) {
    auto* self = static_cast<WorksheetDocument*>(document);
    if (self == nullptr || reply == nullptr) return dag_NULL;
    HandlerScope scope(self);
    // What went wrong: out of memory only when memory ran out; otherwise the error's own text.
    bool outOfMemory = false;
    std::string failure;
    try {
        TovuHandlerGuard guard;
        Dag answer = stream_dispatch(nullptr, reply, self);
        return answer != nullptr ? answer : dag_NULL;
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    } catch (const ErrorJump& jump) {
        outOfMemory = jump.record == nullptr || jump.record->kind == 1;
        if (!outOfMemory) failure = "internal error while handling a kernel reply";
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown error while handling a kernel reply";
    }
    try {
        self->interrupt();
        if (outOfMemory) reportOutOfMemory("calculation");
        else showError(failure.c_str());
    } catch (...) {
    }
    return dag_NULL;
}

void WorksheetDocument::kernelPollCallback(void* document) {
    auto* self = static_cast<WorksheetDocument*>(document);
    if (self == nullptr) return;
    HandlerScope scope(self);
    if (++self->pollCount_ > 4) {
        self->pollCount_ = 0;
        try {
            pumpEvents();
        } catch (...) {
        }
    }
}

