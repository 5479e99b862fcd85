#pragma once
// The DAG text encoding: the compact printable form in which DAGs travel on the kernel pipes
// and sit in worksheet records, and the byte packer that turns binary data into printable text.
//
// One character names each node's type (the table in encode.cpp), short integers and decimal
// digits are packed into printable characters, shared sub-expressions are written once and then
// referred to by number ("F" and the number), and line breaks may stand anywhere.
//
// The reader is fed by pipes and files: it checks every length and count against its limits,
// never reads past its input, and reports malformed text through the error callback and a null
// result; it never ends the process.

#include <cstdint>
#include <string>
#include <string_view>

#include "dag.h"

using DagSink = void (*)(void* data, int ch);
using DagErrorSink = void (*)(void* data, const char* message);
using DagSource = int (*)(void* data);   // next character, or -1 at the end
using DagEndCallback = void (*)(void* data, long count);
using DagErrorCallback = void (*)(void* data, long count, const char* message);

enum : unsigned {
    DAG_WRITE_NO_VALUES = 1u << 0,   // names at the top level are written without their values
    DAG_KEEP_BACKREFS = 1u << 1,     // the back-reference table is kept from the previous call
    DAG_CONTINUE_COUNT = 1u << 2,    // node counter (and the reader's character count) continue
};

// Writes one DAG; null sinks mean stdout and "Output Error: %s\n" on stderr.  Returns true
// when the whole DAG was written.
bool dag_write(const DagWord* dag, DagSink sink, DagErrorSink errorSink, int lineWidth,
               unsigned flags, void* data);
// Reads one DAG, or answers null after an error (end callback for the end of input).
Dag dag_read(DagSource source, DagEndCallback end, DagErrorCallback error,
             DagErrorCallback warning, unsigned flags, void* data);
// The same over a text already in memory, read without a call per character: the same DAG,
// errors and character counts as dag_read with a source handing out the bytes of `text` and
// then -1.
Dag dag_read_text(std::string_view text, DagEndCallback end, DagErrorCallback error,
                  DagErrorCallback warning, unsigned flags, void* data);

// Byte packer and its inverse; the unpacker answers null on success or an error text.
using ByteSource = int (*)(void* data);
using ByteSink = void (*)(void* data, int ch);
void enc_pack_bytes(ByteSource source, ByteSink sink, void* data);
const char* enc_unpack_bytes(ByteSource source, ByteSink sink, void* data);

// Conveniences over the callbacks, for tests and for callers holding whole texts.
std::string dag_to_text(const DagWord* dag, unsigned flags = 0, int lineWidth = 0);
// Null on error; *error (when given) receives the message ("unexpected end of input" at the end).
Dag dag_from_text(std::string_view text, std::string* error = nullptr, unsigned flags = 0);
std::string enc_pack(std::string_view bytes);
bool enc_unpack(std::string_view text, std::string* bytes, std::string* error = nullptr);
