#pragma once
// HelpHistory: the topics the user has visited, oldest to newest, with a current position for
// Back and Forward.  It lives in its own storage area "history" for the whole run and is never
// trimmed; entries are freed only with the area (destroy).
//
// Invariants:
//   1. Empty list: oldest, current and newest are all null; otherwise all three are set and
//      current lies between oldest and newest.
//   2. add appends after the newest entry (not after the current one), so entries that Forward
//      would have reached stay in the list; it refuses a topic equal to the newest entry's.

struct StorageArea;

struct HelpHistoryEntry {
    HelpHistoryEntry* newer;
    HelpHistoryEntry* older;
    char* topic;
    char* second;   // optional second text (stored after the topic in the same record) or null
};

// One row of a snapshot for the history dialog, oldest first.
struct HelpHistorySnapshot {
    HelpHistorySnapshot* next;
    int current;            // 1 for the current entry
    const char* second;     // or null
    const char* topic;
};

class HelpHistory {
public:
    static HelpHistory* create();
    static void destroy(HelpHistory* history);
    // The new entry, or null when the topic equals the newest entry's topic (or is null).
    static HelpHistoryEntry* add(HelpHistory* history, const char* topic, const char* second);
    static const char* back(HelpHistory* history);
    static const char* forward(HelpHistory* history);
    static const char* current(HelpHistory* history);
    // The list in the caller's area (texts are shared with the history's entries).
    static HelpHistorySnapshot* snapshot(HelpHistory* history, StorageArea* area);

    HelpHistory(const HelpHistory&) = delete;
    HelpHistory& operator=(const HelpHistory&) = delete;

private:
    HelpHistory() = default;
    StorageArea* area_ = nullptr;   // "history"
    HelpHistoryEntry* oldest_ = nullptr;
    HelpHistoryEntry* current_ = nullptr;
    HelpHistoryEntry* newest_ = nullptr;
};
