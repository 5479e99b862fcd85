// Generic hash table with integer or pointer keys (each table in an area of its own), the
// growable text buffer on the process heap, and tovu_realloc.

#include "tovu/table.h"

#include <cstdlib>
#include <cstring>

#include "tovu/dag.h"
#include "tovu/errors.h"

// One block of count + 5 words in the table's own area: these five fields, then the buckets.
struct GenericTable {
    TableHash hash;
    TableEqual equal;
    StorageArea* area;
    std::size_t count;
    const char* name;
};
static_assert(sizeof(GenericTable) == 5 * sizeof(DagWord));

namespace {

// A three-word node from the table's area.
struct TableNode {
    TableKey key;
    void* value;
    TableNode* next;
};
static_assert(sizeof(TableNode) == 3 * sizeof(DagWord));

TableNode** buckets(GenericTable* table) { return reinterpret_cast<TableNode**>(table + 1); }

TableNode* findNode(GenericTable* table, TableKey key) {
    std::size_t i = table->hash(key, table->count) % table->count;
    for (TableNode* node = buckets(table)[i]; node; node = node->next)
        if (table->equal(node->key, key)) return node;
    return nullptr;
}

// The text buffer's header; the data block holds a pointer back to it, then the characters.
struct BufferHeader {
    std::size_t capacity;   // characters the data block holds, NUL included
    std::size_t length;     // characters in use, NUL excluded
    char* data;             // start of the data block (the back pointer)
};

constexpr std::size_t kBufferStart = 256;

BufferHeader* headerOf(const char* text) {
    BufferHeader* header;
    std::memcpy(&header, text - sizeof(BufferHeader*), sizeof header);
    return header;
}

char* textOf(BufferHeader* header) { return header->data + sizeof(BufferHeader*); }

void growTo(BufferHeader* header, std::size_t capacity) {
    header->data = static_cast<char*>(tovu_realloc(header->data, capacity + sizeof(BufferHeader*)));
    header->capacity = capacity;
}

}  // namespace

GenericTable* table_new(TableHash hash, TableEqual equal, std::size_t count, const char* name,
                        TableError) {
    if (count == 0) count = 1;
    StorageArea* area = storage_new(0, name);
    auto* table = reinterpret_cast<GenericTable*>(dag_alloc(area, count + 5));
    table->hash = hash;
    table->equal = equal;
    table->area = area;
    table->count = count;
    table->name = name;
    for (std::size_t i = 0; i < count; ++i) buckets(table)[i] = nullptr;
    return table;
}

bool table_lookup(GenericTable* table, TableKey key, void** value) {
    TableNode* node = findNode(table, key);
    if (!node) return false;
    if (value) *value = node->value;
    return true;
}

TableKey table_set(GenericTable* table, TableKey key, void* value) {
    if (TableNode* node = findNode(table, key)) {
        node->value = value;
        return key;
    }
    std::size_t i = table->hash(key, table->count) % table->count;
    auto* node = reinterpret_cast<TableNode*>(dag_alloc(table->area, 3));
    node->key = key;
    node->value = value;
    node->next = buckets(table)[i];
    buckets(table)[i] = node;
    return key;
}

void table_delete(GenericTable* table) {
    if (table) storage_delete(table->area);   // the table block lives in its own area
}

long mod_nonneg(long key, long count) { return (count + key % count) % count; }

std::size_t table_int_hash(TableKey key, std::size_t count) {
    auto c = static_cast<std::intptr_t>(count);
    return static_cast<std::size_t>((c + key % c) % c);
}

bool table_int_equal(TableKey a, TableKey b) { return a == b; }

char* buffer_new() {
    auto* header = static_cast<BufferHeader*>(tovu_realloc(nullptr, sizeof(BufferHeader)));
    header->data = nullptr;
    header->length = 0;
    growTo(header, kBufferStart);
    std::memcpy(header->data, &header, sizeof header);
    char* text = textOf(header);
    text[0] = '\0';
    return text;
}

char* buffer_append_char(char* text, char c) {
    BufferHeader* header = headerOf(text);
    if (header->length + 1 >= header->capacity) growTo(header, header->capacity * 3 / 2);
    text = textOf(header);
    text[header->length++] = c;
    text[header->length] = '\0';
    return text;
}

char* buffer_append(char* text, const char* s) {
    BufferHeader* header = headerOf(text);
    std::size_t add = std::strlen(s);
    std::size_t capacity = header->capacity;
    while (header->length + add >= capacity) capacity = capacity * 3 / 2;
    if (capacity != header->capacity) growTo(header, capacity);
    text = textOf(header);
    std::memcpy(text + header->length, s, add + 1);
    header->length += add;
    return text;
}

std::size_t buffer_length(const char* text) { return headerOf(text)->length; }

void buffer_free(char* text) {
    if (!text) return;
    BufferHeader* header = headerOf(text);
    std::free(header->data);
    std::free(header);
}

DagWord* buffer_to_name(char* text) {
    Dag name = dag_name(text);
    buffer_free(text);
    return name;
}

void* tovu_realloc(void* block, std::size_t size) {
    void* result = block ? std::realloc(block, size ? size : 1) : std::malloc(size ? size : 1);
    if (!result) tovu_system_error("out of memory");
    return result;
}
