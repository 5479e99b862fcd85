#pragma once
// Shared helpers of the kernel link tests: statements from text, printed forms, frames as the
// pipe carries them, and the paths of the stand-in kernel and servers.

#include <string>

#include "tovu/dag.h"

// Parses one statement (terminator included); fails the test when it does not parse.
Dag kl_parse(const char* text);
// One-line printed form ("<null>" for none).
std::string kl_printed(const DagWord* dag);
// The frame of a DAG: its text (flags 1) and the end byte.
std::string kl_frame(const DagWord* dag);
// The kernel options message: each text with its NUL, then the end byte.
std::string kl_options_message(std::initializer_list<const char*> texts);
// INTERFACE_<stream>(args...) as the kernel sends it.
Dag kl_reply(const char* stream, std::initializer_list<Dag> args);
// Reads a whole small file ("" when missing).
std::string kl_read_file(const std::string& path);
// A fresh file name in the temporary directory.
std::string kl_temp_name(const char* tag);
// Waits (bounded, generously) until the file exists.
bool kl_wait_for_file(const std::string& path);
