#pragma once
// KernelQueue: the document's FIFO of statements waiting for the kernel.  The statements of
// one element's run sit between a begin marker and an end marker:
//
//   begin(E)  statement(E) ... statement(E)  end(E)  begin(F) ...
//
// Rules (each enforced by the push that would break it):
//   1. A statement joins only a run that is open: the tail belongs to the same element and is
//      not an end marker.
//   2. An end marker closes only a run that holds a statement: the tail belongs to the element
//      and is not its begin marker.  An element whose run holds nothing gets no end marker.
// Nodes own nothing: elements and statements are the document's.

#include <cstddef>

#include "tovu/src/dag.h"

class Element;

class KernelQueue {
public:
    KernelQueue() = default;
    ~KernelQueue();
    KernelQueue(const KernelQueue&) = delete;
    KernelQueue& operator=(const KernelQueue&) = delete;

    bool isEmpty() const { return head_ == nullptr; }
    void pushBegin(Element* element);
    void pushStatement(Element* element, Dag statement, unsigned char flag);
    void pushEnd(Element* element);

    Element* frontElement() const { return head_ ? head_->element : nullptr; }
    Dag frontStatement() const { return head_ ? head_->statement : nullptr; }
    bool frontFlag() const { return head_ && head_->flag != 0; }
    bool frontIsBegin() const { return head_ && head_->isBegin != 0; }
    bool frontIsEnd() const { return head_ && head_->isEnd != 0; }

    void pop();
    void dropLast(std::size_t n);
    std::size_t size() const;

private:
    struct Node {
        Node* next = nullptr;
        Element* element = nullptr;
        Dag statement = nullptr;   // none for markers
        unsigned char flag = 0;
        unsigned char isBegin = 0;
        unsigned char isEnd = 0;
    };
    void append(Node* node);

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
};
