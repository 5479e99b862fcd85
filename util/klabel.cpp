// Integer-keyed hash table (see klabel.h).
#include "util/klabel.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The run-time library's assertion report: expression, source name and line, then the end.
[[noreturn]] void assertionFailed(const char* expression, int line)
{
    std::fprintf(stderr, "Assertion failed: %s, file klabel, line %d\n", expression, line);
    std::fflush(stderr);
    std::abort();
}

bool keysEqual(int a, int b)
{
    return a == b;
}

}  // namespace

int klabel_hash(int key)
{
    return key % KLABEL_BUCKETS;
}

static int bucketIndex(int key)
{
    // Negative keys hash to negative values; fold them into the table instead of indexing before
    // its start.
    const int h = klabel_hash(key);
    return h < 0 ? -h : h;
}

void klabel_create(KLabelTable** table)
{
    if (*table != nullptr)
        assertionFailed("*data == NULL", 22);
    auto* record = new KLabelTable;
    record->buckets = new KLabelNode*[KLABEL_BUCKETS]();
    *table = record;
}

void klabel_destroy(KLabelTable** table)
{
    if (*table == nullptr)
        assertionFailed("*data != NULL", 38);
    KLabelTable* record = *table;
    for (int i = 0; i < KLABEL_BUCKETS; ++i) {
        for (KLabelNode* node = record->buckets[i]; node != nullptr;) {
            KLabelNode* next = node->next;
            delete node;
            node = next;
        }
    }
    delete[] record->buckets;
    delete record;
    *table = nullptr;
}

bool klabel_insert(KLabelTable** table, int key, void* data)
{
    if (*table == nullptr)
        assertionFailed("*data != NULL", 85);
    KLabelNode** current = &(*table)->buckets[bucketIndex(key)];
    while (*current != nullptr) {
        if (keysEqual((*current)->key, key)) {
            std::fprintf(stderr, "klabel: label %d is already in use\n", key);
            return false;
        }
        current = &(*current)->next;
    }
    *current = new KLabelNode{key, data, nullptr};
    return true;
}

bool klabel_remove(KLabelTable** table, int key)
{
    if (*table == nullptr)
        assertionFailed("*data != NULL", 111);
    for (KLabelNode** current = &(*table)->buckets[bucketIndex(key)]; *current != nullptr;
         current = &(*current)->next) {
        if (keysEqual((*current)->key, key)) {
            KLabelNode* node = *current;
            *current = node->next;
            delete node;
            return true;
        }
    }
    std::fprintf(stderr, "klabel: label %d is not in use\n", key);
    return false;
}

bool klabel_find(KLabelTable* const* table, int key, void** data)
{
    if (table == nullptr || *table == nullptr)
        return false;
    for (const KLabelNode* node = (*table)->buckets[bucketIndex(key)]; node != nullptr;
         node = node->next) {
        if (keysEqual(node->key, key)) {
            if (data != nullptr)
                *data = node->data;
            return true;
        }
    }
    return false;
}
