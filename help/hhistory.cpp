// The help history list (see hhistory.h).

#include "help/hhistory.h"

#include <cstring>

#include "tovu/storage.h"

namespace {

constexpr std::size_t words(std::size_t bytes) { return (bytes + sizeof(DagWord) - 1) / sizeof(DagWord); }

}  // namespace

HelpHistory* HelpHistory::create() {
    auto* h = new HelpHistory;
    h->area_ = storage_new(0, "history");
    return h;
}

void HelpHistory::destroy(HelpHistory* history) {
    if (!history) return;
    storage_delete(history->area_);
    delete history;
}

HelpHistoryEntry* HelpHistory::add(HelpHistory* h, const char* topic, const char* second) {
    if (!topic) return nullptr;
    if (h->newest_ && std::strcmp(h->newest_->topic, topic) == 0) return nullptr;
    const std::size_t t = std::strlen(topic) + 1;
    const std::size_t s = second ? std::strlen(second) + 1 : 0;
    // One record: the entry, then the topic text, then the second text.
    auto* block = reinterpret_cast<char*>(dag_alloc(h->area_, words(sizeof(HelpHistoryEntry) + t + s)));
    auto* e = reinterpret_cast<HelpHistoryEntry*>(block);
    e->topic = block + sizeof(HelpHistoryEntry);
    std::memcpy(e->topic, topic, t);
    e->second = nullptr;
    if (second) {
        e->second = e->topic + t;
        std::memcpy(e->second, second, s);
    }
    e->newer = nullptr;
    e->older = h->newest_;
    if (h->newest_) h->newest_->newer = e;
    else h->oldest_ = e;
    h->newest_ = e;
    h->current_ = e;
    return e;
}

const char* HelpHistory::back(HelpHistory* h) {
    if (!h->current_ || !h->current_->older) return nullptr;
    h->current_ = h->current_->older;
    return h->current_->topic;
}

const char* HelpHistory::forward(HelpHistory* h) {
    if (!h->current_ || !h->current_->newer) return nullptr;
    h->current_ = h->current_->newer;
    return h->current_->topic;
}

const char* HelpHistory::current(HelpHistory* h) {
    return h->current_ ? h->current_->topic : nullptr;
}

HelpHistorySnapshot* HelpHistory::snapshot(HelpHistory* h, StorageArea* area) {
    HelpHistorySnapshot* head = nullptr;
    HelpHistorySnapshot** tail = &head;
    for (HelpHistoryEntry* e = h->oldest_; e; e = e->newer) {
        auto* s = reinterpret_cast<HelpHistorySnapshot*>(dag_alloc(area, words(sizeof(HelpHistorySnapshot))));
        s->next = nullptr;
        s->current = e == h->current_ ? 1 : 0;
        s->second = e->second;
        s->topic = e->topic;
        *tail = s;
        tail = &s->next;
    }
    return head;
}
