// Shared character sinks and ignoring callbacks.

#include "tovu/sinks.h"

#include <string>

#include "util/KString.h"

void sink_append_string(void* data, int ch) { static_cast<std::string*>(data)->push_back(char(ch)); }

void sink_append_kstring(void* data, int ch) { static_cast<KString*>(data)->appendChar(char(ch)); }

void sink_ignore_error(void*, const char*) {}

void sink_ignore_read_end(void*, long) {}

void sink_ignore_read_error(void*, long, const char*) {}
