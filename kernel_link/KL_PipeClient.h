#pragma once
// The kernel server's end of the pipe link: KL_Stream (byte, string, end-byte framing) and
// KL_PipeClient over the three descriptors that the worksheet's KL_PipeServer hands down in
// PIPES_TRANSFER_VAR.  The wire format is the one KL_Link.h draws, seen from the other side:
//
// | pipe      | when                         | bytes                                          |
// |-----------|------------------------------|------------------------------------------------|
// | request   | once, before any request     | count "%d" NUL, that many texts each NUL, 0x01 |
// | request   | a request                    | flag byte (0x00 flag 0, any other flag 1), DAG text, 0x01 |
// | request   | the answer to each reply     | DAG text, 0x01                                 |
// | result    | each reply of the kernel     | DAG text, 0x01                                 |
// | exception | any time                     | 0x00 stop, any other byte interrupt            |
//
// Bytes are read as unsigned values, so every byte value is data and -1 means only "no more".
//
// Two threads of the client's own watch the outside (both detached, never stopped):
//   exception thread  reads the exception pipe: a non-zero byte sets `interrupted` and raises
//                     SIGINT on that thread; a 0 byte waits 1000 ms and raises SIGTERM.
//   watch thread      every 10 s checks that the worksheet process (the pid in the variable)
//                     still exists and raises SIGTERM each time it does not.
// What the signals do is the server's choice (kernsrv/KernelServer.h); the handlers run on the
// raising thread and call only async-signal-safe code, such as wake() below.
//
// All request and result pipe traffic happens on one thread (the server's request thread).
// A read blocks until bytes arrive, the pipe ends, or wake() is called (the stop path), which
// makes the client dead so that the request thread comes back.

#include <atomic>
#include <thread>

#include "kernel_link/KL_ArgList.h"
#include "kernel_link/KL_ByteBuffer.h"
#include "tovu/dag.h"

class KL_Stream {
public:
    KL_Stream() = default;
    virtual ~KL_Stream() = default;
    KL_Stream(const KL_Stream&) = delete;
    KL_Stream& operator=(const KL_Stream&) = delete;

    virtual int readByte() = 0;                                   // 0..255, or -1
    virtual int write(const unsigned char* bytes, long count) = 0; // 0 or -1
    virtual int sendString(const char* text);                     // 0 or -1
    // 0 when a NUL was stored, size when size bytes came without one, -1 at the end.
    virtual int readString(char* buffer, int size);
    virtual int sendEnd();                                        // 0 or -1
    virtual int expectEnd();                                      // 0 when the byte is 0x01

    int requestFlag = 0;                // 1 when the last flag byte was not 0
    std::atomic<int> interrupted{0};    // set by the exception thread, cleared per request
    std::atomic<int> dead{0};           // every operation fails once set
    int errorCode = 0;                  // 3/4/5 after a failed construction, else errno of a failure
};

// What PIPES_TRANSFER_VAR holds.  parse answers false unless the text is exactly four numbers
// (three hexadecimal descriptors of at most 8 digits, one decimal pid) separated by blanks and
// the descriptors are non-negative.
struct KL_PipeHandles {
    int request = -1;
    int result = -1;
    int exception = -1;
    long parent = 0;
    static bool parse(const char* text, KL_PipeHandles* out);
};

class KL_PipeClient : public KL_Stream {
public:
    // transferValue: the variable's value (null: read it from the environment).  errorCode 3
    // when it is missing, malformed or names descriptors that are not open pipes (nothing is
    // read, written or closed then), 4 or 5 when a watch thread cannot start.
    explicit KL_PipeClient(const char* name, const char* transferValue = nullptr);
    ~KL_PipeClient() override;

    int readByte() override;
    int write(const unsigned char* bytes, long count) override;
    long writeRaw(const unsigned char* bytes, long count);

    int sendDAG(Dag dag);          // 0 or -1
    Dag readDAG();                 // null when dead, unreadable or without its end byte
    Dag readRequest();             // flag byte + frame; null ends the request loop
    // 0; 1 when already dead; -1 when a text cannot be read (or fills 2048 bytes without NUL);
    // else expectEnd's result.
    int receiveArguments(KL_ArgList& list);

    // Async-signal-safe: makes a blocked or later read fail so that the request thread returns.
    void wake();
    bool woken() const { return woken_.load() != 0; }

    const KL_PipeHandles& handles() const { return handles_; }

private:
    static void exceptionThread(KL_PipeClient* self);
    static void watchThread(KL_PipeClient* self);
    bool parentGone() const;

    KL_PipeHandles handles_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<int> woken_{0};
    bool parentWasDirect_ = false;   // the server's own parent was the worksheet at start
    KL_ByteBuffer readBuffer_{KL_BUFFER_SIZE};
    KL_FrameWriter writer_;
    unsigned lastReadCount_ = 0;
};
