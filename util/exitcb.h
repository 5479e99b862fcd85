#pragma once
// The table of exit callbacks: up to 100 functions without arguments, run in registration order
// at process exit, by the application after its event loop, and by the operator-new failure
// handler on memory exhaustion.
//
// Invariant: 0 <= exitcb_count() <= EXITCB_SLOTS.  Callbacks stay registered after a run (the
// exit run may therefore repeat what an earlier run did; callbacks must tolerate that).

using ExitCallback = void (*)();

constexpr int EXITCB_SLOTS = 100;

// Adds a callback in the next slot.  Returns false, and registers nothing, when all 100 slots are
// taken or the callback is null.
bool exitcb_register(ExitCallback callback);
int exitcb_count();
// Runs callbacks 0 to count - 1.
void exitcb_run_all();
// Forgets every callback (for the application's shut-down and for tests).
void exitcb_clear();
