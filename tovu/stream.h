#pragma once
// The reply-stream handler table: routes each reply of the kernel (one DAG) to the handler of
// its output stream and returns the handler's answer, which goes back to the kernel.
//
// A reply on a named stream is a FUNCTION named "INTERFACE_" + stream name.  Unwrapping: while
// the current DAG is such a FUNCTION, the stream name becomes the text after the prefix and the
// value becomes its argument EXPSEQ; a PRINT or RESULT wrapper of exactly one argument is looked
// through (the loop goes on with that argument, the value staying the wrapper's sequence).  A
// reply that is no wrapper at all goes to PRINT with the reply itself as value.
//
// Lookup: entries in registration order, matched by stored text hash, first character and full
// text; no match calls the default handler when there is one, else the lookup is repeated for
// "PRINT"; no PRINT handler either raises "no PRINT stream handler installed" (tovu_error).
//
// The table owns its entries; entry names are borrowed (callers register string literals).
// One global table (stream_* calls with a null table) plus any number of private ones.

#include <cstdint>
#include <vector>

#include "dag.h"

using StreamHandler = Dag (*)(void* context, Dag value);

struct StreamEntry {
    const char* name;      // stream name without "INTERFACE_", not owned
    std::uint32_t hash;    // text_hash(name)
    StreamHandler handler;
};

struct StreamTable {
    std::vector<StreamEntry> entries;   // in registration order, at most capacity of them
    std::int32_t capacity = 0;
    StreamHandler defaultHandler = nullptr;
};

// Drops the entries, reserves room for `capacity` entries, clears the default handler ("could not allocate stream handler table" on failure).
StreamTable* stream_table_init(StreamTable* table, int capacity);
StreamTable* stream_init_default(int capacity);   // the global table; start-up passes 27
void stream_free_default();
StreamTable* stream_table_new(int capacity);      // null when the table cannot be allocated
void stream_table_delete(StreamTable* table);      // a table of stream_table_new
StreamTable* stream_global_table();

// Appends an entry ("stream handler table is full" when capacity entries are there).
StreamTable* stream_register(StreamTable* table, const char* name, StreamHandler handler);
void stream_set_default(StreamTable* table, StreamHandler handler);
Dag stream_dispatch(StreamTable* table, Dag reply, void* context);
