#pragma once
// The event queue of the hidden-surface sweep: a binary min-heap of SweepEvents keyed on the
// sweep height y.
//
// Invariants:
//   1. Slot 0 is the root; the children of slot i are 2i + 1 and 2i + 2; no child has a smaller
//      y than its parent.
//   2. The slot just past the last event is always clear (null).
//   3. Event records come from the storage area "event" (8-byte aligned, not zeroed); the
//      caller hands a handled event back with eventq_release, and the next insert reuses it.
// The slot array (each slot: the event's y and the event) lives on the heap; it starts at 2046
// slots and doubles when an insert would fill it.  Events of equal y come out in the order the
// plain binary heap of invariant 1 gives them (the sweep's output depends on it): an insert rises
// above parents of equal y, a pop takes the smaller child, the left one on a tie.

#include <cstdint>

#include "tovu/storage.h"

enum SweepEventKind : std::int32_t {
    SWEEP_POLYGON_START = 0,
    SWEEP_EDGE_END = 1,
    SWEEP_LINE_START = 2,
    SWEEP_LINE_END = 3,
    SWEEP_POINT = 4,
    SWEEP_CROSSING = 5,
    SWEEP_TEXT = 6,
};

struct SweepEvent {
    double x;             // where on the sweep line
    double y;             // the sweep height; the queue's key
    void* subject;        // DrawPolygon (0), Span (1, 3, 5), DrawSegment (2), DrawPoint (4), DrawText (6)
    void* second;         // the right-hand Span of a crossing, else null
    std::int32_t kind;    // SweepEventKind
    // Serial numbers of the subject and second spans when the event was queued: a span record
    // reused after the event was queued has another serial, so the event is recognised as stale.
    std::uint32_t stamp;
    std::uint32_t secondStamp;
};

void eventq_open();
void eventq_close();
SweepEvent* eventq_insert(double x, double y, std::int32_t kind, void* subject, void* second);
SweepEvent* eventq_pop();                 // null when empty
void eventq_release(SweepEvent* event);   // back to the free list of "event"
int eventq_size();
int eventq_capacity();
