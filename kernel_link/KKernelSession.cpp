// Kernel session and quiet evaluator.

#include "kernel_link/KKernelSession.h"

#include <atomic>
#include <utility>

#include "tovu/errors.h"
#include "tovu/parse_driver.h"
#include "tovu/stream.h"

namespace {

std::atomic<std::uint32_t> nextSessionNumber{1};
KL_DisplayConverter displayConverter = nullptr;

// The quiet evaluation's private table holds 14 entries, in this order.
constexpr int QUIET_TABLE_CAPACITY = 14;

}  // namespace

void kl_set_display_converter(KL_DisplayConverter converter) { displayConverter = converter; }

// ---- KKernelSession -------------------------------------------------------------------------

KKernelSession::KKernelSession(KL_Link* link_)
    : interfaceVars(new KInterfaceVars()), sessionNumber(nextSessionNumber++), link(link_) {}

KKernelSession::~KKernelSession() {
    delete link;
    delete interfaceVars;
}

// ---- QuietEvaluator -------------------------------------------------------------------------

QuietEvaluator::QuietEvaluator(Document* document, std::shared_ptr<KKernelSession> session)
    : KL_Link(session->link->connectInfo()), document_(document), session_(std::move(session)),
      interfaceVars_(session_->interfaceVars) {
    setState(KL_IDLE);
}

QuietEvaluator::~QuietEvaluator() {
    if (session_->currentEvaluator == this) session_->currentEvaluator = nullptr;
    if (streamTable_) stream_table_delete(streamTable_);
}

const char* QuietEvaluator::errorText() { return session_->link->errorText(); }
int QuietEvaluator::poll() { return session_->link->poll(); }
int QuietEvaluator::sendArguments() { return session_->link->sendArguments(); }
Dag QuietEvaluator::getResult(int wait) { return session_->link->getResult(wait); }
Dag QuietEvaluator::sendReply(Dag answer) { return session_->link->sendReply(answer); }
int QuietEvaluator::interrupt() { return session_->link->interrupt(); }

int QuietEvaluator::startEvaluation(Dag request, int flag) {
    session_->currentEvaluator = this;
    return session_->link->startEvaluation(request, flag);
}

int QuietEvaluator::setHandlers(KL_QueryHandler queryHandler, KL_IdleHandler idleHandler, void* data) {
    if (linkType() != KL_LINK_DIRECT) return 0;
    auto* direct = dynamic_cast<KL_Direct*>(session_->link);
    if (direct == nullptr) return 0;
    direct->setHandlers(queryHandler, idleHandler, data);
    return 1;
}

int QuietEvaluator::linkType() const { return session_->link->connectInfo().linkType; }

void QuietEvaluator::setMemoryText(const char* text) {
    if (session_) session_->memoryText.assign(text);
}
void QuietEvaluator::setTimeText(const char* text) {
    if (session_) session_->timeText.assign(text);
}
const KString* QuietEvaluator::memoryText() const { return session_ ? &session_->memoryText : nullptr; }
const KString* QuietEvaluator::timeText() const { return session_ ? &session_->timeText : nullptr; }

// The kept value is copied out of the reply: on an in-process link replies live in the kernel's
// own storage only until its next evaluation.
Dag QuietEvaluator::keepValue(void* context, Dag value) {
    auto* self = static_cast<QuietEvaluator*>(context);
    Dag copy = nullptr;
    if (value != nullptr) {
        try {
            TovuHandlerGuard guard;
            copy = dag_copy_deep(value, nullptr, nullptr);
        } catch (const TovuError&) {
            copy = nullptr;
        }
    }
    self->result_ = copy;
    return dag_NULL;
}

Dag QuietEvaluator::markDone(void* context, Dag) {
    static_cast<QuietEvaluator*>(context)->done_ = true;
    return dag_NULL;
}

Dag QuietEvaluator::answerGet(void* context, Dag value) {
    return static_cast<QuietEvaluator*>(context)->interfaceVars_->get(value);
}

Dag QuietEvaluator::answerSet(void* context, Dag value) {
    return static_cast<QuietEvaluator*>(context)->interfaceVars_->set(value);
}

Dag QuietEvaluator::ignore(void*, Dag) { return dag_NULL; }

Dag QuietEvaluator::dispatch(void* context, Dag reply) {
    auto* self = static_cast<QuietEvaluator*>(context);
    try {
        TovuHandlerGuard guard;
        return stream_dispatch(self->streamTable_, reply, self);
    } catch (const TovuError&) {
        return dag_NULL;
    }
}

Dag QuietEvaluator::evaluate(Dag statement) {
    result_ = nullptr;
    done_ = false;
    if (streamTable_ == nullptr) {
        streamTable_ = stream_table_new(QUIET_TABLE_CAPACITY);
        if (streamTable_ == nullptr) return nullptr;
        stream_set_default(streamTable_, ignore);
        stream_register(streamTable_, "RESULT", keepValue);
        stream_register(streamTable_, "PRINT", keepValue);
        stream_register(streamTable_, "DONE", markDone);
        stream_register(streamTable_, "STOP", markDone);
        stream_register(streamTable_, "GET", answerGet);
        stream_register(streamTable_, "SET", answerSet);
        for (const char* name : {"STATUS", "ERROR", "FATALERR", "WARN", "SMARTPLOT2D", "SMARTPLOT3D", "CHAR", "DIAG"})
            stream_register(streamTable_, name, ignore);
    }
    setHandlers(dispatch, nullptr, this);
    if (startEvaluation(statement, 1) == 0) {
        KL_Link* link = session_->link;
        while (!done_) {
            Dag reply = link->getResult(1);
            // A null reply means the link failed or sent garbage: nothing more will come.
            if (reply == nullptr || link->state() == KL_DEAD) break;
            Dag answer = dispatch(this, reply);
            if (link->sendReply(answer) == nullptr && link->state() == KL_DEAD) break;
        }
    }
    if (result_ == nullptr) return nullptr;
    return displayConverter ? displayConverter(result_) : result_;
}

Dag QuietEvaluator::evaluateString(const char* text) {
    Dag statement = text ? parse_text(text) : nullptr;
    if (statement == nullptr) return nullptr;
    return evaluate(statement);
}
