#pragma once
// The character sinks and ignoring callbacks that callers of the DAG writer, the DAG reader and
// the printer (encode.h, print.h) hand in when they want the text in a string and no report of
// errors.  Written once here instead of in every caller.
//
// | function               | shape                 | what it does                              |
// |------------------------|-----------------------|-------------------------------------------|
// | sink_append_string     | DagSink               | appends the byte to the std::string data  |
// | sink_append_kstring    | DagSink               | appends the byte to the KString data      |
// | sink_ignore_error      | DagErrorSink          | nothing (writer and printer errors)       |
// | sink_ignore_read_end   | DagEndCallback        | nothing (reader: input ended)             |
// | sink_ignore_read_error | DagErrorCallback      | nothing (reader: malformed text)          |
//
// The data pointer must point at the kind of string the sink names.

#include "tovu/encode.h"

void sink_append_string(void* data, int ch);
void sink_append_kstring(void* data, int ch);
void sink_ignore_error(void* data, const char* message);
void sink_ignore_read_end(void* data, long count);
void sink_ignore_read_error(void* data, long count, const char* message);
