#pragma once
// KernelQueue: the worksheet document's FIFO of statements waiting for the kernel.  The
// statements of one input region's run sit between a begin marker and an end marker, each node
// naming the region's output sink:
//
//   begin(E)  statement(E) ... statement(E)  end(E)  begin(F) ...
//
// Rules (each enforced by the push that would break it):
//   1. A statement joins only a run that is open: the tail belongs to the same sink and is not
//      an end marker.
//   2. An end marker closes only a run that holds a statement: the tail belongs to the sink and
//      is not its begin marker.  A sink whose run holds nothing gets no end marker.
// Nodes own nothing: sinks and statements are the document's.

#include <cstddef>
#include <deque>

#include "tovu/dag.h"

class OutputSink;

class KernelQueue {
public:
    bool isEmpty() const { return nodes_.empty(); }
    void pushBegin(OutputSink* sink);
    void pushStatement(OutputSink* sink, Dag statement, bool terminated);
    void pushEnd(OutputSink* sink);

    OutputSink* frontSink() const { return nodes_.empty() ? nullptr : nodes_.front().sink; }
    Dag frontStatement() const { return nodes_.empty() ? nullptr : nodes_.front().statement; }
    // Whether the front statement ended with a terminator that shows its result.
    bool frontTerminated() const { return !nodes_.empty() && nodes_.front().terminated; }
    bool frontIsBegin() const { return !nodes_.empty() && nodes_.front().kind == Kind::Begin; }
    bool frontIsEnd() const { return !nodes_.empty() && nodes_.front().kind == Kind::End; }

    void pop();
    // Drops the last n nodes (all of them when n is the size or more).
    void dropLast(std::size_t n);
    std::size_t size() const { return nodes_.size(); }

private:
    enum class Kind : unsigned char { Begin, Statement, End };
    struct Node {
        OutputSink* sink = nullptr;
        Kind kind = Kind::Statement;
        Dag statement = nullptr;   // none for markers
        bool terminated = false;
    };
    bool tailOpenFor(OutputSink* sink) const {
        return !nodes_.empty() && nodes_.back().sink == sink && nodes_.back().kind != Kind::End;
    }

    std::deque<Node> nodes_;
};
