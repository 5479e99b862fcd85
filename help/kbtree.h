#pragma once
// kbtree: several B-trees in one file of fixed-size pages.  It stores byte-string keys with
// byte-string values in numbered trees, each tree with its own key comparison; it knows nothing
// of help topics (hdb.h builds the help database on it).
//
// File layout (every integer little-endian; P = page size, 1024 in every file created here):
//
// Header page (page 0)
// | offset | size | meaning                                                        |
// |--------|------|----------------------------------------------------------------|
// | 0      | u16  | page size P                                                    |
// | 2      | u16  | flags; bit 0 = read-only database                              |
// | 4      | u32  | first page number not yet in use (pages 0 .. this - 1 exist)   |
// | 8      | u32  | first page of the free-page list, 0 = none                     |
// | 12     | u32  | number of trees N                                              |
// | 16+8i  | u32  | root page of tree i, 0 = empty tree                            |
// | 20+8i  | u32  | height of tree i (interior levels above the leaves)           |
//
// Entry: u32 K, K key bytes, u32 V, V value bytes.  K is never 0 (a 0 ends a page's entries).
// Small entry: K + V + 12 < P/2; anything else is big.
//
// Leaf page:      small entries in ascending key order from offset 0, then u32 0.
// Big-entry leaf: one big entry alone in a chain of pages.  First page: K, key, V, value bytes;
//                 when K + V + 8 <= P it is the only page, else it holds P - K - 12 value bytes
//                 and the next page number in its last 4 bytes; further pages hold P - 4 value
//                 bytes and a link, except the last, which holds the remaining (at most P) bytes.
// Interior page:  u32 child 0, then (u32 K, key, u32 child i+1) per separator, then u32 0.
//                 Child i holds keys > separator i-1 and <= separator i.
// Free page:      u32 next free page (0 ends the list); the rest zero.
//
// Invariants:
//   1. Every value read from a file is checked before it is used: page size, tree count, roots,
//      heights (at most 31), page numbers (1 .. next page - 1), entry and key lengths against
//      the bytes left in the page, chain links and lengths.  A walk visits at most as many leaves
//      as the file has pages, so a damaged file cannot make it loop.  Damage is reported through
//      the error callback ("corrupt help database ..."), never by a crash.
//   2. A key occurs at most once per tree: inserting a key that is present replaces its value.
//   3. Changes are transactional.  Pages written by an operation are kept in memory and reach
//      the file only at commit; an operation that fails leaves the file exactly as it was.
//      Pages read or written stay cached for the whole transaction; a page written back with
//      unchanged bytes is not written at all.
//      Between kbtree_begin and kbtree_commit several operations form one transaction.  With a
//      journal path set, commit first saves the original bytes of every page it will overwrite
//      in the journal (synced), then writes and syncs the file, then removes the journal;
//      kbtree_recover_journal puts a file back from a journal left by a crash.
//   4. Between operations (outside a transaction) only the header fields are held; no page is
//      cached, so kbtree_refresh is enough to see what another writer committed.  The
//      exception is a hold (kbtree_hold_pages): the caller, holding a lock that keeps writers
//      out, lets pages read by one operation serve the next until it ends the hold.  Pages of
//      a file whose last change is older than a second are kept past the hold for the next
//      one, which uses them only when the file's identity, size, times and header page are
//      unchanged (kbtree.cpp explains why the age makes that check sound); any other
//      operation drops them first.
//
// Ownership: the caller owns the file descriptor; the handle owns its memory (kbtree_close).
// Not thread-safe: one handle is used by one thread.

#include <cstddef>
#include <cstdint>

struct KbtHandle;

// Negative, 0 or positive as key 1 is smaller than, equal to or greater than key 2.
using KbtCompare = int (*)(std::size_t len1, const unsigned char* key1, std::size_t len2,
                           const unsigned char* key2);
// Called with each entry; the key and value are valid only during the call.  In walks a return
// of 0 stops the walk.
using KbtVisitor = int (*)(void* user, std::size_t keyLength, const unsigned char* key,
                           std::size_t valueLength, const unsigned char* value);
// Receives the message of a failed operation.  It may return (the operation then returns its
// failure value) or leave by throwing; null selects kbtree_default_error.
using KbtError = void (*)(const char* message);

constexpr unsigned KBT_PAGE_SIZE = 1024;   // page size of every file created here
constexpr unsigned KBT_MAX_HEIGHT = 31;    // interior levels; the descent path has 32 slots
constexpr unsigned KBT_FLAG_READONLY = 1;

// Prints "Fatal error: %s\n" to stderr and ends the process with exit status -1 (255).
[[noreturn]] void kbtree_default_error(const char* message);

// The two key orders of the help databases.
// Byte-wise unsigned over the shorter length, stopping early at a NUL common to both; when equal
// there, the shorter key is smaller.
int kbtree_compare_string(std::size_t len1, const unsigned char* key1, std::size_t len2,
                          const unsigned char* key2);
// The keys are u16 (little-endian) compared as signed 16-bit numbers; a key shorter than 2 bytes
// reads its missing bytes as 0.
int kbtree_compare_int16(std::size_t len1, const unsigned char* key1, std::size_t len2,
                         const unsigned char* key2);

// Writes a fresh header (P = 1024, flags 0, next page 1, no free page, `trees` empty trees).
// Null on failure (reported through the callback).
KbtHandle* kbtree_create(int fd, unsigned trees, const KbtCompare* compare, KbtError error);
// Reads and checks the header; the file must hold exactly `trees` trees.  Null on failure.
KbtHandle* kbtree_open(int fd, unsigned trees, const KbtCompare* compare, KbtError error);
// Frees the handle; an open transaction is rolled back.  The descriptor stays open.
void kbtree_close(KbtHandle* handle);
// Re-reads next page, free list head, roots and heights.  0 on failure, else 1.
int kbtree_refresh(KbtHandle* handle);
unsigned kbtree_flags(const KbtHandle* handle);
void kbtree_set_error(KbtHandle* handle, KbtError error);

// Changes: 1 on success, 0 on failure (reported through the callback; the file is unchanged).
int kbtree_insert(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key,
                  std::size_t valueLength, const void* value);
int kbtree_update(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key,
                  std::size_t valueLength, const void* value);
int kbtree_delete(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key);

// 0 when the key is absent (or on failure); else the visitor's result for the whole value.
int kbtree_lookup(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key,
                  KbtVisitor visitor, void* user);
// Ascending over every entry / from the first key >= key; descending from the last key <= key.
// 1 when the walk ran (also when the visitor stopped it), 0 on failure.
int kbtree_walk(KbtHandle* handle, unsigned tree, KbtVisitor visitor, void* user);
int kbtree_walk_from(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key,
                     KbtVisitor visitor, void* user);
int kbtree_walk_back(KbtHandle* handle, unsigned tree, std::size_t keyLength, const void* key,
                     KbtVisitor visitor, void* user);

// Transactions (invariant 3).  begin does not nest; commit writes everything at once; rollback
// forgets every change since begin and restores the header fields.  1 on success, 0 on failure.
int kbtree_begin(KbtHandle* handle);
int kbtree_commit(KbtHandle* handle);
void kbtree_rollback(KbtHandle* handle);
// hold 1: re-reads the header fields (as kbtree_refresh) and from then on pages read outside a
// transaction stay cached across operations (the caller guarantees that the file does not
// change meanwhile, e.g. by a read lock); 0 ends the hold.  0 on failure (reported), else 1.
int kbtree_hold_pages(KbtHandle* handle, int hold);
// The journal file used by commit (copied); null for none.
void kbtree_set_journal(KbtHandle* handle, const char* path);
// Puts the file back from a complete journal left by an interrupted commit and removes the
// journal; an incomplete journal (the crash came before the file was touched) is only removed.
// 1 when nothing was left to do or the file was restored, 0 on failure (reported).
int kbtree_recover_journal(int fd, const char* journalPath, KbtError error);

// The largest key this page size can hold (a separator must fit an interior page and the first
// page of a chain).
std::size_t kbtree_max_key(const KbtHandle* handle);
