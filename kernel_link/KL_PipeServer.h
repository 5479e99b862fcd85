#pragma once
// KL_PipeServer: the worksheet's end of the link to a kernel server process (kernsrv) over three
// anonymous pipes.  It creates the pipes, starts the server with its ends inherited and the
// environment variable PIPES_TRANSFER_VAR naming them, then speaks the frame protocol of
// KL_Link.h.
//
// | pipe      | direction          | worksheet keeps | server gets |
// |-----------|--------------------|-----------------|-------------|
// | request   | worksheet → server | write end       | read end    |
// | result    | server → worksheet | read end        | write end   |
// | exception | worksheet → server | write end       | read end    |
//
// PIPES_TRANSFER_VAR = "%08X %08X %08X %d": the server's request read end, result write end and
// exception read end (descriptor numbers, upper-case hexadecimal, 8 digits) and the worksheet's
// process id in decimal (the server watches it and ends when the worksheet has gone).
//
// The ends the worksheet keeps are close-on-exec, so the server holds no copy of them: when the
// worksheet closes its request end, or dies, the server sees the end of its input.  SIGPIPE is
// ignored process-wide once a pipe link exists, so a write to a server that has gone fails with
// EPIPE instead of killing the program.
//
// Exception pipe bytes: '1' (0x31) interrupts the running evaluation; 0x00 (written by the
// destructor) stops the server.
//
// Failures make the link dead with a real error code and text: 1 when the pipes cannot be made
// or the server cannot be started (the system's reason in the text), 2 when the server ended
// because its kernel did not start, and otherwise the server's exit status, the signal that
// killed it, or the system error of the failed pipe operation.
//
// Single-threaded: every pipe operation blocks the caller.  The server process is reaped by the
// link (when it is lost) or by a detached waiter after the destructor.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "kernel_link/KL_ByteBuffer.h"
#include "kernel_link/KL_Link.h"

// Splits a command line into words at blanks; double quotes group, a backslash takes the next
// character literally.
std::vector<std::string> kl_split_command_line(const std::string& command);

class KL_PipeServer : public KL_Link {
public:
    // Starts the server named by the descriptor's serverCommand.  Without a command the link is
    // idle with no pipes and becomes dead at its first pipe operation.
    explicit KL_PipeServer(const KL_ConnectInfo& connectInfo);
    ~KL_PipeServer() override;

    int interrupt() override;   // 0, or the system error of the failed write
    int getServerStatus() override;
    int readByte() override;
    int write(const unsigned char* bytes, int count) override;
    // A frame that cannot be read leaves the two ends out of step, so it kills the link.
    Dag readDAG() override;

    // Writes all bytes to the request pipe: the count, or -1 (the link is then dead).
    long writeRaw(const unsigned char* bytes, long count);

    pid_t serverPid() const { return pid_; }
    // The read end of the result pipe (-1 without pipes), for a caller that waits until a reply
    // can be read.  The descriptor stays the link's.
    int resultDescriptor() const { return resultRead_; }

private:
    // The server is gone or its pipe failed: reap it when it has ended, and say why.
    void serverLost(int systemError);
    bool havePipes();

    int resultRead_ = -1;
    int requestWrite_ = -1;
    int exceptionWrite_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    KL_ByteBuffer readBuffer_{KL_BUFFER_SIZE};
    std::unique_ptr<KL_FrameWriter> writer_;
};
