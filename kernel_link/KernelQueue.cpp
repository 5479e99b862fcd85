// The execution queue.

#include "kernel_link/KernelQueue.h"

KernelQueue::~KernelQueue() {
    while (!isEmpty()) pop();
}

void KernelQueue::append(Node* node) {
    if (tail_) tail_->next = node;
    else head_ = node;
    tail_ = node;
}

void KernelQueue::pushBegin(Element* element) {
    Node* n = new Node;
    n->element = element;
    n->isBegin = 1;
    append(n);
}

void KernelQueue::pushStatement(Element* element, Dag statement, unsigned char flag) {
    if (tail_ == nullptr || tail_->element != element || tail_->isEnd) return;
    Node* n = new Node;
    n->element = element;
    n->statement = statement;
    n->flag = flag;
    append(n);
}

void KernelQueue::pushEnd(Element* element) {
    if (tail_ == nullptr || tail_->element != element || tail_->isBegin || tail_->isEnd) return;
    Node* n = new Node;
    n->element = element;
    n->isEnd = 1;
    append(n);
}

void KernelQueue::pop() {
    if (head_ == nullptr) return;
    Node* n = head_;
    head_ = n->next;
    if (head_ == nullptr) tail_ = nullptr;
    delete n;
}

std::size_t KernelQueue::size() const {
    std::size_t n = 0;
    for (Node* p = head_; p; p = p->next) ++n;
    return n;
}

void KernelQueue::dropLast(std::size_t n) {
    if (n == 0) return;
    std::size_t len = size();
    if (n >= len) {
        while (!isEmpty()) pop();
        return;
    }
    // Keep the first len - n nodes.
    Node* keep = head_;
    for (std::size_t i = 1; i < len - n; ++i) keep = keep->next;
    Node* p = keep->next;
    keep->next = nullptr;
    tail_ = keep;
    while (p) {
        Node* next = p->next;
        delete p;
        p = next;
    }
}
