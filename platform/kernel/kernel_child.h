#pragma once
// Library calls that may run long, run where an interrupt can abandon them: a forked child.
//
// GiNaC, CLN, GMP and FLINT are not exception-safe: an exception unwinding through them leaves
// reference counts, cached numbers and half-made objects behind, which later crash the kernel.
// So the kernel never raises an interrupt inside them (kernel_poll_from_library only notes it),
// and a call that may take long goes to a child process, a copy of the kernel made by fork().
// The kernel waits for the child's answer in its own code, stepping the running statement every
// POLL_INTERVAL: an interrupt kills the child and raises KInterrupt from the kernel's frames
// only, with the kernel's state as it was before the call.
//
// How long the Interrupt button waits: at most POLL_INTERVAL past the end of the library call
// that is running in the kernel's own process.  Calls estimated past these sizes run in a child
// (each call site names its estimate):
//   exact powers and factorials   results above kernel_child_large_integer_bits
//   expand                        more than kernel_child_large_expansion terms
//   FLINT factorisations          the sizes in kernel_factor.cpp
// Below them, a call takes milliseconds to a few tens of milliseconds.
//
// The child writes its answer as text through a pipe; it never polls the kernel's link and
// never replies.  A child that fails, or no child at all (fork refused), is the caller's to
// handle: kernel_run_in_child answers nullopt for the latter, and raises KError for the former.

#include <functional>
#include <optional>
#include <string>

#include <ginac/ginac.h>

// Results of exact integer arithmetic above this many bits are computed in a child.  GMP makes
// a power of 2^22 bits in about 10 ms on this machine, a fork of the kernel costs a few ms.
constexpr double kernel_child_large_integer_bits = 4194304.0;
// Expansions bounded above this many terms are computed in a child.
constexpr double kernel_child_large_expansion = 20000.0;

// Runs `work` in a child and answers the text it returned; `what` names the work in the error
// ("factorisation failed: out of memory").  KInterrupt when the statement is interrupted while
// waiting; nullopt when no child could be started.
std::optional<std::string> kernel_run_in_child(const std::function<std::string()>& work, const char* what);

// The value of `work`, computed in the kernel's process, or in a child when `large`.  The value
// comes back through GiNaC's archive, its names matched by text to those of `inputs`, integers
// as hexadecimal digits; where no child can be started, or the value does not come back whole,
// the work runs in the kernel's process.
GiNaC::ex kernel_compute(bool large, const GiNaC::ex& inputs, const std::function<GiNaC::ex()>& work);
