#pragma once
// klabel: a fixed-size hash table from integer keys to opaque data (the worksheet document keeps
// its math elements' label numbers in one).
//
// Layout: the caller owns a handle (KLabelTable*, null when no table exists) that points to a
// record holding 211 bucket heads.  A bucket is a singly linked chain of nodes {key, data, next};
// new nodes go at the end of their chain.  The data is not owned by the table.
//
// Programming errors (creating a table twice, using a handle without a table) end the process
// with an assertion message.  A duplicate key on insert, or an absent key on remove, comes from
// ordinary input: it is reported on stderr, the table is left unchanged and the call returns
// false, so the program keeps running.

constexpr int KLABEL_BUCKETS = 211;

struct KLabelNode {
    int key;
    void* data;   // not owned
    KLabelNode* next;
};

struct KLabelTable {
    KLabelNode** buckets;   // KLABEL_BUCKETS heads
};

// key % 211 with the key's sign kept.
int klabel_hash(int key);

void klabel_create(KLabelTable** table);
// Frees the table, its remaining nodes (not their data) and sets the handle to null.
void klabel_destroy(KLabelTable** table);
bool klabel_insert(KLabelTable** table, int key, void* data);
bool klabel_remove(KLabelTable** table, int key);
// The data stored under key through *data; false when the key is absent.
bool klabel_find(KLabelTable* const* table, int key, void** data);
