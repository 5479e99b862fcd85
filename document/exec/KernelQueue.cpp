// The execution queue.

#include "document/exec/KernelQueue.h"

void KernelQueue::pushBegin(OutputSink* sink) {
    nodes_.push_back({sink, Kind::Begin, nullptr, false});
}

void KernelQueue::pushStatement(OutputSink* sink, Dag statement, bool terminated) {
    if (!tailOpenFor(sink)) return;
    nodes_.push_back({sink, Kind::Statement, statement, terminated});
}

void KernelQueue::pushEnd(OutputSink* sink) {
    if (!tailOpenFor(sink) || nodes_.back().kind == Kind::Begin) return;
    nodes_.push_back({sink, Kind::End, nullptr, false});
}

void KernelQueue::pop() {
    if (!nodes_.empty()) nodes_.pop_front();
}

void KernelQueue::dropLast(std::size_t n) {
    if (n >= nodes_.size()) {
        nodes_.clear();
        return;
    }
    nodes_.erase(nodes_.end() - static_cast<std::ptrdiff_t>(n), nodes_.end());
}
