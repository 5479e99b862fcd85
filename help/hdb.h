#pragma once
// hdb: the help database operations over kbtree files of twelve trees.
//
// Trees (index in the header; key -> value):
// | tree | name             | key                         | value                                  |
// |------|------------------|-----------------------------|----------------------------------------|
// | 0    | attributes       | attribute name              | text, NUL                              |
// | 1    | topicIds         | topic name                  | u16 id, u16 active flag                |
// | 2    | topicNames       | u16 id                      | name, NUL, description, NUL            |
// | 3    | pages            | u16 id                      | worksheet text (no NUL)                |
// | 4    | parents          | u16 id                      | parent name, NUL                       |
// | 5    | words            | folded, stemmed word        | u24 total, then (u16 id, u16 count)... |
// | 6    | nameIndex        | topic name or alias         | (u16 id, description <= 80, NUL)...    |
// | 7    | reversedNames    | comma name, parts reversed  | (u16 id, u8 kind 1 name / 0 alias)...  |
// | 8    | topicWords       | u16 id                      | words of tree 5, each with NUL         |
// | 9    | browserEntries   | u8 part count, path         | leaf: 1, topic, NUL, description, NUL; |
// |      |                  |                             | inner: 0, u16 reference count, 0       |
// | 10   | topicAliases     | u16 id                      | aliases, each with NUL                 |
// | 11   | browserLocations | topic name                  | browser path, no NUL                   |
// Trees 0, 1, 5, 6, 7, 9, 11 use kbtree_compare_string; 2, 3, 4, 8, 10 kbtree_compare_int16.
// Id lists inside values (trees 5, 6, 7) are in ascending unsigned id order.
//
// Single-file operations (create, insert, delete, browser changes, attributes) open the file for
// the call.  Changes hold an fcntl write lock (none when DISABLELOCKING is set) and run as one
// kbtree transaction with a journal next to the file ("<path>-journal"): a change that fails
// leaves the database exactly as it was, and a journal left by a crash is played back by the
// next process that opens the file -- a change, a set (at open and before each query) or an
// attribute query -- so no query answers from a half-written change.  Set operations work over a HelpFileSet; each takes read locks on every file and
// re-reads the headers first, and drops the locks before it returns.
//
// Every failure is reported through the caller's callback (null: "Fatal error: %s\n" and exit)
// as "during <operation words><subject> - <message>", and the operation returns its failure
// value.  Result records are taken from the storage area the caller gives and released with it.
// Not thread-safe.

#include <cstddef>

#include "help/hwords.h"

struct StorageArea;
struct HelpFileSet;

using HdbErrorCallback = void (*)(const char* message);

enum HelpTree : unsigned {
    attributes = 0,
    topicIds = 1,
    topicNames = 2,
    pages = 3,
    parents = 4,
    words = 5,
    nameIndex = 6,
    reversedNames = 7,
    topicWords = 8,
    browserEntries = 9,
    topicAliases = 10,
    browserLocations = 11,
    HELP_TREE_COUNT = 12,
};

// A topic found by a search: relevance score, next, description (or null), topic name.
struct HdbTopicResult {
    int score;
    HdbTopicResult* next;
    char* description;
    char* name;
};

// A topic list entry (browse by prefix).
struct HdbTopicEntry {
    HdbTopicEntry* next;
    char* description;
    char* name;
};

enum : int { HDB_BROWSER_INNER = 1, HDB_BROWSER_TOPIC = 2 };

struct HdbBrowserEntry {
    int kind;                // HDB_BROWSER_INNER or HDB_BROWSER_TOPIC
    HdbBrowserEntry* next;
    char* topic;             // topic leaves; null for inner nodes
    char* description;       // empty for inner nodes
    char* part;              // the entry's own part of the path
};

// An alias given to insert: kind (0 for aliases from the help stream), next, text.
struct HdbAlias {
    int kind;
    HdbAlias* next;
    const char* text;
};

// Receives (user, length of the topic name + 1, topic name, page length, page, active flag).
using HdbPageVisitor = void (*)(void* user, std::size_t nameLength, const char* name,
                                std::size_t pageLength, const char* page, int active);

constexpr std::size_t HDB_DESCRIPTION_INDEX_MAX = 80;

// ---- single-file operations: 1 on success, 0 on failure --------------------------------------

int hdb_create(const char* path, int replaceable, const char* copyright, HdbErrorCallback error);
int hdb_insert_topic(const char* path, const char* name, std::size_t pageLength, const char* page,
                     const char* parent, const HdbAlias* aliases, const HWord* words,
                     const char* description, int active, HdbErrorCallback error);
int hdb_delete_topic(const char* path, const char* name, HdbErrorCallback error);
int addtobrowser(const char* path, const char* browserPath, const char* topic,
                 const char* description, HdbErrorCallback error);
int hdb_delete_from_browser(const char* path, const char* browserPath, HdbErrorCallback error);
// The buffer (always NUL-terminated, at most size - 1 characters) or null when absent.
char* hdb_get_attributes(const char* path, const char* name, char* buffer, std::size_t size,
                         HdbErrorCallback error);

// ---- batches: many topics in one change ------------------------------------------------------
//
// A batch holds the file's write lock from begin to end and makes all its inserts one
// transaction: the word lists of its topics are merged in memory and each is written once at the
// end, so building a database of n topics costs time linear in n.  Until the end nothing reaches
// the file; a crash, an abandoned batch or a failed insert leaves the database as before the
// batch.  Each insert behaves as hdb_insert_topic (a name inserted twice is replaced, ids are
// drawn the same way); a failed insert abandons the whole batch (later inserts fail), and the
// batch must still be ended.  Readers wait for the lock while a batch is open.
struct HdbBatch;
// Null on failure (reported).
HdbBatch* hdb_batch_begin(const char* path, HdbErrorCallback error);
int hdb_batch_insert(HdbBatch* batch, const char* name, std::size_t pageLength, const char* page,
                     const char* parent, const HdbAlias* aliases, const HWord* words,
                     const char* description, int active);
// commit 1: writes the batch as one durable change; 0: drops it.  Frees the batch either way;
// 1 when the batch was written.
int hdb_batch_end(HdbBatch* batch, int commit);

// ---- set operations --------------------------------------------------------------------------

// paths: null-terminated list.  Paths that cannot be opened are passed over.
HelpFileSet* hdb_open_all(const char* const* paths, HdbErrorCallback error);
int hdb_close_all(HelpFileSet* set);
int hdb_set_file_count(const HelpFileSet* set);

char* hdb_get_copyright(HelpFileSet* set, const char* topic, char* buffer, std::size_t size);
HdbTopicResult* hdb_search_topic(HelpFileSet* set, StorageArea* area, const char* name);
// 1 when the visitor was called.
int hdb_load_page(HelpFileSet* set, const char* name, HdbPageVisitor visitor, void* user);
// Scores 0-100; each word record's count becomes the word's stored total (0 when absent).
HdbTopicResult* hdb_word_search(HelpFileSet* set, StorageArea* area, HWord* words);
char* hdb_next_topic(HelpFileSet* set, StorageArea* area, const char* name);
char* hdb_previous_topic(HelpFileSet* set, StorageArea* area, const char* name);
char* hdb_parent_topic(HelpFileSet* set, StorageArea* area, const char* name);
enum : int { HDB_BROWSE_BACKWARDS = 1, HDB_BROWSE_PREFIX = 2 };
HdbTopicEntry* hdb_browse_prefix(HelpFileSet* set, StorageArea* area, const char* start,
                                 int mode, int maxCount);
HdbBrowserEntry* hdb_list_browser(HelpFileSet* set, StorageArea* area, const char* prefix);
char* hdb_browser_location(HelpFileSet* set, const char* topic, char* buffer, std::size_t size);

// ---- helpers ---------------------------------------------------------------------------------

// In place: white space removed; each run of ",", "[", "]", "/" becomes one ","; a run at the
// end is dropped.  "plot [ options ]" -> "plot,options".
void hdb_normalise_topic(char* name);
// The comma-separated parts in reverse order: "a,b,c" -> "c,b,a".
void hdb_reverse_name(const char* name, char* out, std::size_t size);
// A help page from text lines (the caller has checked each line is a string or a name); a new
// text the caller frees with delete[], or null when out of memory.
char* wrap_text_as_worksheet(const char* const* lines, std::size_t count);
// Seeds the generator that picks the first id tried for a new topic (seeded with the process id
// otherwise), so that a run can be repeated page for page, as the crash sweep needs.
void hdb_seed_ids(unsigned seed);
// The advisory lock of a help file: mode 1 for update, 0 for reading.  Nothing is locked when
// the environment variable DISABLELOCKING is set.  True on success.
bool hdb_lock(int fd, int mode);
bool hdb_unlock(int fd);
