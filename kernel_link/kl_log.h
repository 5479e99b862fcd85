#pragma once
// The link log: one line per call, "<pid>: <text>\n", written to the log file (standard error
// unless another was chosen) and flushed at once.  The log starts switched off; the worksheet
// program never switches it on, the kernel server does when KELVO_KERNSRV_LOG is set.
//
// Lines longer than the 1024-byte line buffer are cut.  Safe to call from several threads (the
// kernel server's watch threads log too); never call it from a signal handler.

#include <cstdio>

void kl_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void kl_log_init();                       // standard error becomes the log file
void kl_log_set_file(std::FILE* file);    // null: standard error
void kl_log_enable(bool on);
bool kl_log_enabled();
