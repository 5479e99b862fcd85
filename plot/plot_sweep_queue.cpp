// The sweep's event queue: a flat binary heap of (key, event) slots with doubling growth and a
// bottom-up pop (the smaller child at each level on the way down, two levels per step, then a
// short sift-up of the last event).

#include "plot/plot_sweep_queue.h"

#include <cstdlib>

#include "plot/plot_storage_records.h"
#include "tovu/errors.h"

namespace {

constexpr int kInitialSlots = 2046;

// A slot holds its event's key beside the pointer, so that sifting compares within the array
// and never reads the scattered event records.
struct Slot {
    double y;
    SweepEvent* event;
};

Slot* heap = nullptr;
int heapSize = 0;
int heapCapacity = 0;
StorageArea eventArea;

}  // namespace

void eventq_open() {
    auto* slots = static_cast<Slot*>(std::calloc(kInitialSlots, sizeof(Slot)));
    if (!slots) tovu_error("Error in tovu-malloc - out of memory");
    std::free(heap);
    heap = slots;
    heapCapacity = kInitialSlots;
    heapSize = 0;
    storage_init(&eventArea, STORAGE_ALIGN8 | STORAGE_NOZERO, "event");
}

void eventq_close() {
    storage_free(&eventArea);
    std::free(heap);
    heap = nullptr;
    heapSize = heapCapacity = 0;
}

int eventq_size() { return heapSize; }
int eventq_capacity() { return heapCapacity; }

SweepEvent* eventq_insert(double x, double y, std::int32_t kind, void* subject, void* second) {
    auto* e = area_record<SweepEvent>(&eventArea);
    e->x = x;
    e->y = y;
    e->kind = kind;
    e->subject = subject;
    e->second = second;
    e->stamp = 0;
    e->secondStamp = 0;
    if (heapSize + 1 >= heapCapacity) {
        auto* grown = static_cast<Slot*>(std::realloc(heap, sizeof(Slot) * 2 * std::size_t(heapCapacity)));
        if (!grown) tovu_error("Error in tovu-eventq_insert:realloc - out of memory");
        heap = grown;
        for (int i = heapCapacity; i < 2 * heapCapacity; ++i) heap[i] = Slot{0, nullptr};
        heapCapacity *= 2;
    }
    // Sift up; a parent of equal y moves down, so a new event rises above queued equals.
    int hole = heapSize++;
    while (hole > 0) {
        int parent = (hole - 1) / 2;
        if (!(heap[parent].y >= y)) break;
        heap[hole] = heap[parent];
        hole = parent;
    }
    heap[hole] = Slot{y, e};
    heap[heapSize] = Slot{0, nullptr};
    return e;
}

SweepEvent* eventq_pop() {
    if (heapSize == 0) return nullptr;
    SweepEvent* result = heap[0].event;
    --heapSize;
    const Slot last = heap[heapSize];
    int hole = 0;
    // Two levels per step while all four grandchildren are in the heap: the three comparisons
    // that decide both steps are made at once and the choice is arithmetic, so a step costs no
    // mispredicted branch and the loads do not wait on one another.  The choices are the ones
    // the one-level loop below makes (the smaller child, the left one on a tie), so the heap
    // ends up exactly as that loop would leave it.  Measured on the event sequence of a
    // 100 x 100 surface replayed alone: 17.0 -> 16.4 ms with the plain branching loop, 20.5 ms
    // with a one-level arithmetic choice (its loads wait on each comparison).
    while (4 * hole + 6 < heapSize) {
        const Slot* c = heap + 2 * hole + 1;
        const Slot* g = heap + 4 * hole + 3;
        unsigned right = c[1].y < c[0].y;
        unsigned underLeft = g[1].y < g[0].y, underRight = g[3].y < g[2].y;
        unsigned under = underLeft ^ ((underLeft ^ underRight) & (0u - right));
        int child = 2 * hole + 1 + static_cast<int>(right);
        int grandchild = 4 * hole + 3 + static_cast<int>(2 * right + under);
        heap[hole] = heap[child];
        heap[child] = heap[grandchild];
        hole = grandchild;
    }
    int child = 2 * hole + 1;
    while (child < heapSize - 1) {
        if (heap[child + 1].y < heap[child].y) ++child;
        heap[hole] = heap[child];
        hole = child;
        child = 2 * hole + 1;
    }
    if (child == heapSize - 1) {
        heap[hole] = heap[child];
        hole = child;
    }
    while (hole > 0) {
        int parent = (hole - 1) / 2;
        if (!(last.y <= heap[parent].y)) break;
        heap[hole] = heap[parent];
        hole = parent;
    }
    heap[hole] = last;
    heap[heapSize] = Slot{0, nullptr};
    if (heapSize == 0) heap[0] = Slot{0, nullptr};
    return result;
}

void eventq_release(SweepEvent* event) { area_give_back(&eventArea, event); }
