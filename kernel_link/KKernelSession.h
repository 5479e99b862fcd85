#pragma once
// KKernelSession: one conversation with a kernel: the link (owned), the interface settings the
// kernel reads and writes through the GET and SET streams (owned), the memory and time figures
// it last reported.  The quiet evaluators that share a session own it together (shared_ptr): the
// last one to go deletes the session, and with it the link.
//
// QuietEvaluator: the document's view of its session.  It forwards the link operations to the
// session's link and can evaluate a statement synchronously and quietly, keeping the value of
// the last RESULT or PRINT reply instead of showing the replies.  Only while the session is idle:
// on a server link a request sent during another one would interleave with it on the pipe.
//
// The value a quiet evaluation returns is the display form of the kept value, made by the
// converter installed with kl_set_display_converter (the typesetter's denormalisation in the
// worksheet program; the value unchanged when none is installed).  It is allocated in the
// caller's current storage area and outlives the kernel's own reply storage.

#include <cstdint>
#include <memory>

#include "kernel_link/KL_Direct.h"
#include "kernel_link/KL_Link.h"
#include "tovu/ifvars.h"
#include "util/KString.h"

class Document;
struct StreamTable;

using KL_DisplayConverter = Dag (*)(Dag value);
void kl_set_display_converter(KL_DisplayConverter converter);

class KKernelSession {
public:
    explicit KKernelSession(KL_Link* link);   // takes ownership of the link
    ~KKernelSession();
    KKernelSession(const KKernelSession&) = delete;
    KKernelSession& operator=(const KKernelSession&) = delete;

    KString memoryText{"0.0K"};
    KString timeText{"0.0"};
    KInterfaceVars* interfaceVars;
    class QuietEvaluator* currentEvaluator = nullptr;
    std::uint32_t sessionNumber;
    KL_Link* link;
    bool argumentsSent = false;
    bool firstRun = true;
};

class QuietEvaluator : public KL_Link {
public:
    QuietEvaluator(Document* document, std::shared_ptr<KKernelSession> session);
    ~QuietEvaluator() override;

    const char* errorText() override;
    int poll() override;
    int sendArguments() override;
    int startEvaluation(Dag request, int flag) override;
    Dag getResult(int wait) override;
    Dag sendReply(Dag answer) override;
    int interrupt() override;
    int getServerStatus() override { return 1; }
    int readByte() override { return -1; }
    int write(const unsigned char*, int) override { return 0; }
    // On an in-process session link, installs the handlers there; otherwise nothing.
    virtual int setHandlers(KL_QueryHandler queryHandler, KL_IdleHandler idleHandler, void* data);

    // Quiet synchronous evaluation: the display form of the last RESULT/PRINT value, or null
    // when there was none or the link failed.
    Dag evaluate(Dag statement);
    // Parses the text as statements first; null (and no kernel contact) when it does not parse.
    Dag evaluateString(const char* text);

    // The document; an evaluator goes with its document.
    Document* document() const { return document_; }
    KKernelSession* session() const { return session_.get(); }
    // The session for another evaluator to share.
    const std::shared_ptr<KKernelSession>& sharedSession() const { return session_; }
    // How many evaluators share the session (this one included).
    long sessionUsers() const { return session_.use_count(); }
    int linkType() const;
    void setMemoryText(const char* text);
    void setTimeText(const char* text);
    const KString* memoryText() const;
    const KString* timeText() const;
    // Whether the last quiet evaluation saw DONE or STOP.
    bool done() const { return done_; }

private:
    static Dag keepValue(void* context, Dag value);
    static Dag markDone(void* context, Dag value);
    static Dag answerGet(void* context, Dag value);
    static Dag answerSet(void* context, Dag value);
    static Dag ignore(void* context, Dag value);
    static Dag dispatch(void* context, Dag reply);

    Document* document_;
    std::shared_ptr<KKernelSession> session_;
    KInterfaceVars* interfaceVars_;
    Dag result_ = nullptr;
    bool done_ = false;
    StreamTable* streamTable_ = nullptr;
};
