#pragma once
// Inspection of statement trees without running them: for arguments that come from worksheet
// files, the clipboard or printed outputs (context-menu participants, the HELP stream's
// requests), which reach the kernel without the user running anything.
//
// Two modes:
//   Math     numbers, names (never looked up: a name stands for itself), arithmetic,
//            relations, lists, sets, ranges, and calls: the elementary functions of the
//            kernel are applied (they are pure), any other call is kept unevaluated; a call of a
//            built-in that sends replies or changes the kernel's settings is refused.
//   Literal  the same, but every call is kept as written (a `KValue::Call`), refused names
//            included, since nothing is run.
// Procedures, assignments, loops and other statements are refused.  A refusal is the
// exception KInspectRefused; nothing has run when it is thrown.

#include <string>

#include "KInterpreter.h"

struct KInspectRefused {
    std::string why;
};

enum class KInspectMode { Math, Literal };

KValue kernel_inspect(KInterpreter& k, const KNode& node, KInspectMode mode);
// The arguments of an argument-sequence node, each inspected.
KSeq kernel_inspect_args(KInterpreter& k, const KNode& argSeq, KInspectMode mode);

// True for the built-ins that send replies or change the kernel's settings (INTERFACE_ calls,
// help, interface, print, lprint, readlib, the plot and context-menu procedures, ...).
bool kernel_is_effectful_name(const std::string& name);
