#pragma once
// Two small containers built on storage areas: a generic hash table with integer or pointer
// keys, each table in an area of its own named after the table, and a growable text buffer on
// the process heap whose callers hold a pointer to the characters.

#include <cstddef>
#include <cstdint>

#include "storage.h"

using TableKey = std::intptr_t;
using TableHash = std::size_t (*)(TableKey key, std::size_t count);
using TableEqual = bool (*)(TableKey a, TableKey b);
using TableError = void (*)(const char* message);   // accepted, not used

struct GenericTable;   // hash, equal, own area, bucket count, name, then the bucket heads

GenericTable* table_new(TableHash hash, TableEqual equal, std::size_t count, const char* name,
                        TableError error);
bool table_lookup(GenericTable* table, TableKey key, void** value);   // value may be null
TableKey table_set(GenericTable* table, TableKey key, void* value);  // replaces an existing value
void table_delete(GenericTable* table);
std::size_t table_int_hash(TableKey key, std::size_t count);         // (count + key % count) % count
bool table_int_equal(TableKey a, TableKey b);
long mod_nonneg(long key, long count);

// Growable text buffer: header {capacity, length, data}; data block = back pointer, characters, NUL.
char* buffer_new();                                   // capacity 256
char* buffer_append_char(char* text, char c);         // may move the text
char* buffer_append(char* text, const char* s);       // may move the text
std::size_t buffer_length(const char* text);
void buffer_free(char* text);
// Interns the text as a NAME and frees the buffer.
DagWord* buffer_to_name(char* text);

void* tovu_realloc(void* block, std::size_t size);   // "out of memory" system error on failure
