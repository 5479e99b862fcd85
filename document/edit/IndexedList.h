#pragma once
// IndexedList: a singly linked list of owned nodes with positional access that remembers the
// last node it reached.  The undo history keeps its groups and each group its record pairs in
// such lists.
//
// Fields, in order: head, tail, count, the cached node and the cached index (-1: nothing
// cached).  Invariants:
//   1. count is the number of nodes from head to tail; tail->next is null.
//   2. When cachedIndex_ >= 0 and cachedNode_ is not null, cachedNode_ is the node at that
//      index.  A lookup past the end caches its index with a null node.
//   3. Every insertion and removal resets the cache.
//
// nodeAt answers the cached index and the one after it at once, so a forward walk 0, 1, 2, ...
// costs one step each; any other index walks from the head.
//
// The list owns its nodes: deleteAll and the destructor delete them through the node's virtual
// destructor.  removeAt hands a node back undeleted.  Copying is not allowed.

class IndexedListNode {
public:
    IndexedListNode() = default;
    virtual ~IndexedListNode() = default;
    IndexedListNode(const IndexedListNode&) = delete;
    IndexedListNode& operator=(const IndexedListNode&) = delete;
    IndexedListNode* next = nullptr;
};

class IndexedList {
public:
    IndexedList() = default;
    ~IndexedList() { deleteAll(); }
    IndexedList(const IndexedList&) = delete;
    IndexedList& operator=(const IndexedList&) = delete;

    int count() const { return count_; }

    // Links the node in so that it stands at `index` (-1 or count: after the tail) and answers
    // it.  An index past the count appends as well.
    IndexedListNode* insertAt(IndexedListNode* node, int index) {
        node->next = nullptr;
        if (count_ == 0) {
            head_ = tail_ = node;
        } else if (index < 0 || index >= count_) {
            tail_->next = node;
            tail_ = node;
        } else if (index == 0) {
            node->next = head_;
            head_ = node;
        } else {
            IndexedListNode* before = nodeAt(index - 1);
            node->next = before->next;
            before->next = node;
        }
        resetCache();
        ++count_;
        return node;
    }
    IndexedListNode* append(IndexedListNode* node) { return insertAt(node, -1); }

    // Takes the node at `index` (-1: the last) out and answers it, undeleted; null when the
    // list is empty or the index is past the end.
    IndexedListNode* removeAt(int index) {
        if (count_ == 0 || index >= count_) return nullptr;
        if (index < 0) index = count_ - 1;
        IndexedListNode* node;
        if (count_ == 1) {
            node = head_;
            head_ = tail_ = nullptr;
        } else if (index == 0) {
            node = head_;
            head_ = node->next;
        } else {
            IndexedListNode* before = nodeAt(index - 1);
            node = before->next;
            before->next = node->next;
            if (node == tail_) tail_ = before;
        }
        --count_;
        node->next = nullptr;
        resetCache();
        return node;
    }

    // The node at `index` (-1: the last), or null past the end.
    IndexedListNode* nodeAt(int index) {
        if (index < 0) index = count_ - 1;
        if (index < 0) return nullptr;
        if (cachedIndex_ >= 0 && cachedNode_) {
            if (index == cachedIndex_) return cachedNode_;
            if (index == cachedIndex_ + 1) {
                cachedNode_ = cachedNode_->next;
                cachedIndex_ = index;
                return cachedNode_;
            }
        }
        IndexedListNode* node = head_;
        for (int i = 0; i < index && node; ++i) node = node->next;
        cachedNode_ = node;
        cachedIndex_ = index;
        return node;
    }

    // Deletes every node, oldest first.
    void deleteAll() {
        while (count_ > 0) delete removeAt(0);
        head_ = tail_ = nullptr;
        resetCache();
    }

    IndexedListNode* head() const { return head_; }
    IndexedListNode* tail() const { return tail_; }
    // The cache, for tests.
    int cachedIndex() const { return cachedIndex_; }
    const IndexedListNode* cachedNode() const { return cachedNode_; }

private:
    void resetCache() {
        cachedNode_ = nullptr;
        cachedIndex_ = -1;
    }

    IndexedListNode* head_ = nullptr;
    IndexedListNode* tail_ = nullptr;
    int count_ = 0;
    IndexedListNode* cachedNode_ = nullptr;
    int cachedIndex_ = -1;
};
