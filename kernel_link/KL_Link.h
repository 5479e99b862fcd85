#pragma once
// KL_Link: the abstract kernel link.  It carries requests (statement DAGs) to the kernel and its
// replies back, holds the connection descriptor, the link state and the error report, and frames
// messages over three byte primitives that each link supplies (readByte, write,
// getServerStatus).
//
// Frames: a DAG in the DAG text encoding (tovu/encode.h, written with flags 1, read with
// flags 0, so each message stands alone) followed by the end byte 0x01.  The reader knows from
// the encoding where the DAG ends and then expects the end byte; it never searches for 0x01.
// A request is one flag byte (0x01 for a non-zero request flag, else 0x00) and a frame.
// Kernel options: the count as "%d" text and a NUL, each option and a NUL, the end byte.
//
// States (the function making each transition):
//
//   0 constructing --(subclass constructor done)--> 1 idle
//   1 idle    --startEvaluation--> 2 busy
//   2 busy    --poll sees waiting bytes--> 3 result ready
//   3 ready   --getResult--> 2 busy, or 1 idle when the reply was INTERFACE_DONE
//   any       --failed read/write, failed request, failed start--> 4 dead (never left)
//
// Bytes are handled as unsigned values 0..255; -1 alone means failure, so a byte 0xFF is data.
// Nothing here raises: failures are results (0/-1/1, null) plus the dead state with errorCode,
// osError and the error text.  `state` is atomic because the kernel server's interrupt request
// reads it from a signal handler (see KL_Direct).

#include <atomic>
#include <cstdint>
#include <memory>

#include "kernel_link/KL_ByteBuffer.h"
#include "kernel_link/KL_ConnectInfo.h"
#include "tovu/dag.h"

enum : int { KL_CONSTRUCTING = 0, KL_IDLE = 1, KL_BUSY = 2, KL_RESULT_READY = 3, KL_DEAD = 4 };

// Error codes and their texts (errorText when no text was stored).
enum : int {
    KL_ERR_NONE = 0,          // "no error information available"
    KL_ERR_START = 1,         // "unable to start server process"
    KL_ERR_INIT = 2,          // "initialization encountered errors, possible library problem"
    KL_ERR_PARAMS = 3,        // "invalid parameters for server"
    KL_ERR_CONNECT = 4,       // "unable to connect to server"
    KL_ERR_OS = 5,            // "server encountered OS error %u"
};

constexpr int KL_ERROR_TEXT_MAX = 256;
// The longest kernel option (or count text) that the receiving side's 2048-byte buffer takes.
constexpr int KL_ARG_TEXT_MAX = 2047;

class KL_Link {
public:
    explicit KL_Link(const KL_ConnectInfo& connectInfo);
    virtual ~KL_Link();
    KL_Link(const KL_Link&) = delete;
    KL_Link& operator=(const KL_Link&) = delete;

    virtual const char* errorText();
    virtual int poll();
    virtual int sendArguments();
    virtual int startEvaluation(Dag request, int flag);
    virtual Dag getResult(int wait);
    virtual Dag sendReply(Dag answer);
    virtual int interrupt() = 0;
    virtual int sendString(const char* text);
    virtual int readString(char* buffer, int size);
    virtual int sendEnd();
    virtual int expectEnd();
    virtual Dag readDAG();
    virtual int sendDAG(Dag dag);
    virtual int getServerStatus() = 0;
    virtual int readByte() = 0;                                   // 0..255, or -1
    virtual int write(const unsigned char* bytes, int count) = 0; // 0, or non-zero on failure

    int state() const { return state_.load(); }
    int errorCode() const { return errorCode_; }
    unsigned osError() const { return osError_; }
    int requestFlag() const { return requestFlag_; }
    const KL_ConnectInfo& connectInfo() const { return connectInfo_; }

    // True for a FUNCTION whose name begins with the 14 characters "INTERFACE_DONE".
    static bool isDoneReply(const DagWord* reply);

protected:
    // Formats into the error text (at most 256 characters) and logs it.
    void setErrorText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The link fails for good: state dead, the code, the system error and a text.
    void setDead(int code, unsigned os, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void setState(int s) { state_.store(s); }
    // Sets s unless the link is dead.
    void setStateUnlessDead(int s);

    int requestFlag_ = 0;
    KL_ConnectInfo connectInfo_;
    std::atomic<int> state_{KL_CONSTRUCTING};
    int errorCode_ = 0;
    unsigned osError_ = 0;
    std::unique_ptr<char[]> errorText_;   // KL_ERROR_TEXT_MAX + 1 bytes once used
};
