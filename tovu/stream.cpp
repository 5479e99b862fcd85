// The reply-stream handler table (see stream.h).
#include "stream.h"

#include <cstring>
#include <memory>
#include <new>

#include "errors.h"

namespace {

StreamTable globalTable;

StreamTable* table_or_global(StreamTable* table) { return table != nullptr ? table : &globalTable; }

constexpr char PREFIX[] = "INTERFACE_";
constexpr std::size_t PREFIX_LENGTH = sizeof PREFIX - 1;

// The stream name of a wrapper reply, or null.
const char* wrapper_stream(const DagWord* d) {
    if (d == nullptr || dag_type(d) != DAG_FUNCTION || dag_length(d) < 3) return nullptr;
    const DagWord* f = dag_op(d, 1);
    if (f == nullptr || dag_type(f) != DAG_NAME) return nullptr;
    const char* text = dag_text(f);
    if (std::strncmp(text, PREFIX, PREFIX_LENGTH) != 0) return nullptr;
    return text + PREFIX_LENGTH;
}

StreamHandler find_handler(const StreamTable* table, const char* name) {
    std::uint32_t h = text_hash(name);
    for (const StreamEntry& e : table->entries) {
        if (e.hash == h && e.name[0] == name[0] && std::strcmp(e.name, name) == 0) return e.handler;
    }
    return nullptr;
}

}  // namespace

StreamTable* stream_global_table() { return &globalTable; }

StreamTable* stream_table_init(StreamTable* table, int capacity) {
    table->entries = {};
    table->capacity = 0;
    table->defaultHandler = nullptr;
    if (capacity < 0) capacity = 0;
    try {
        table->entries.reserve(static_cast<std::size_t>(capacity));
    } catch (const std::bad_alloc&) {
        tovu_error("could not allocate stream handler table");
    }
    table->capacity = capacity;
    return table;
}

StreamTable* stream_init_default(int capacity) { return stream_table_init(&globalTable, capacity); }

void stream_free_default() { globalTable = StreamTable{}; }

StreamTable* stream_table_new(int capacity) {
    auto table = std::unique_ptr<StreamTable>(new (std::nothrow) StreamTable);
    if (table == nullptr) return nullptr;
    stream_table_init(table.get(), capacity);
    return table.release();
}

void stream_table_delete(StreamTable* table) { delete table; }

StreamTable* stream_register(StreamTable* table, const char* name, StreamHandler handler) {
    table = table_or_global(table);
    if (table->entries.size() >= static_cast<std::size_t>(table->capacity)) tovu_error("stream handler table is full");
    table->entries.push_back(StreamEntry{name, text_hash(name), handler});
    return table;
}

void stream_set_default(StreamTable* table, StreamHandler handler) {
    table_or_global(table)->defaultHandler = handler;
}

Dag stream_dispatch(StreamTable* table, Dag reply, void* context) {
    table = table_or_global(table);
    Dag value = reply;
    const char* stream = nullptr;
    const DagWord* current = reply;
    while (const char* name = wrapper_stream(current)) {
        stream = name;
        Dag arguments = dag_op(current, 2);
        value = arguments;
        current = arguments;
        if (arguments != nullptr && dag_type(arguments) == DAG_EXPSEQ && dag_length(arguments) == 2 &&
            (std::strcmp(stream, "PRINT") == 0 || std::strcmp(stream, "RESULT") == 0)) {
            current = dag_op(arguments, 1);
            continue;
        }
        break;
    }
    const char* name = stream != nullptr ? stream : "PRINT";
    for (int pass = 0; pass < 2; ++pass) {
        if (StreamHandler handler = find_handler(table, name)) return handler(context, value);
        if (table->defaultHandler != nullptr) return table->defaultHandler(context, value);
        name = "PRINT";
    }
    tovu_error("no PRINT stream handler installed");
}
