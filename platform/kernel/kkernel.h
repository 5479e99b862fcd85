#pragma once
// The math kernel library (libkkernel.so): the four entry points through which the in-process
// kernel link and the kernel server reach the kernel.  Exported with C linkage under these names:
//
// | entry            | slot | what it does                                                     |
// |------------------|------|------------------------------------------------------------------|
// | kernel_start     | 1    | starts the kernel with the kernel options; null or an error text |
// | kernel_third     | 2    | exists so that the slot can be bound; never called, does nothing |
// | kernel_evaluate  | 4    | evaluates one statement DAG, replying through the query callback |
// | kernel_stop      | 10   | ends the kernel: forgets every variable and procedure            |
//
// Evaluation contract:
//   1. Every reply is a FUNCTION whose name is "INTERFACE_" and a stream name (RESULT, PRINT,
//      LPRINT, ERROR, INTR, SET, GET, LOGO, STOP, DONE, PLOT, PLOT3D, HELP); the query callback's
//      answer DAG is the answer to it (only SET and GET answers are used).  PLOT and PLOT3D
//      (sent by plot, plot3d, animate and animate3d) carry a plot structure: their argument
//      sequence is the sequence of elements that the plot engine's structure reader reads,
//      with the sampled data in HFARRAYs of doubles (NaN where a point is undefined).  HELP
//      (readlib(`context/init`)(), assignments to libname, help, INTERFACE_HELP) carries a
//      request of the help system: setpath with the library folders, display, insert, delete.
//   2. Every call of kernel_evaluate ends with exactly one INTERFACE_DONE reply, also after an
//      error, an interrupt or a STOP reply.  A null request answers LOGO (the banner) and DONE.
//   3. The poll callback is called at least every 50 ms while the interpreter runs; a non-zero
//      answer stops the statement: INTR, then DONE.  Long calls into GiNaC, CLN and GMP are
//      polled from the libraries' allocation functions (at most every 20 ms), so a huge power,
//      factor or conversion stops too; a library loop that allocates nothing cannot be cut
//      short, and polls resume after it.
//   4. No C++ exception leaves an entry point.
//   5. Reply DAGs are built in the kernel's own storage area and stay valid until the next
//      kernel_evaluate or kernel_stop; the request DAG is only read, never kept.
//
// Single-threaded: one evaluation at a time, on the caller's thread.  The poll callback may be
// answered from a flag that another thread sets.

#include "tovu/dag.h"

extern "C" {

// Answer to one reply; null is taken as NULL.
typedef Dag (*KernelQueryCallback)(void* link, Dag reply);
// Non-zero asks the kernel to stop the statement.
typedef int (*KernelPollCallback)(void* link);

// Options: -I -a -f -q -s -t alone; -L -T -b -e -g -p -w with a value (attached or the next
// word); -b names the library folder (libname; the kernel library's folder without it).
// argv[0] is the program name.  Null when the kernel started, else an error text that
// stays valid until the next call.
const char* kernel_start(int argc, char** argv);

// requestFlag: non-zero when the statement ended with ";" (its value is sent as RESULT).
// `mode` is the constant 1 the link passes; other values are treated alike.  Returns 0, or 1
// when the kernel has not been started (DONE is still sent).
int kernel_evaluate(Dag request, KernelQueryCallback query, KernelPollCallback poll,
                    int requestFlag, int mode, void* link);

void kernel_third(void);

void kernel_stop(void);

}  // extern "C"
