#pragma once
// Sorting of score lists (records whose first field is an int score and whose second is next).
// Included by hwords.h.

#include <algorithm>
#include <vector>

template <class Record>
Record* help_sort_by_score(Record* list) {
    std::vector<Record*> items;
    for (Record* r = list; r; r = r->next) items.push_back(r);
    std::stable_sort(items.begin(), items.end(),
                     [](const Record* a, const Record* b) { return a->score > b->score; });
    Record* head = nullptr;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        (*it)->next = head;
        head = *it;
    }
    return head;
}
