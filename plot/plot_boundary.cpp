// Outlines of visible pieces: joining the two chains, cleaning and handing the outline out.

#include "plot/plot_boundary.h"

#include <cmath>
#include <cstdlib>

#include "plot/plot_storage_records.h"
#include "plot/plot_sweep.h"

namespace {

StorageArea boundaryArea;
long liveRecords = 0;
double* stackX = nullptr;
double* stackY = nullptr;
int capacity = 0;
int count = 0;

void push(double x, double y) {
    if (count >= capacity) {
        int grown = capacity ? 2 * capacity : 100;
        auto* nx = static_cast<double*>(std::realloc(stackX, sizeof(double) * grown));
        if (nx) stackX = nx;
        auto* ny = nx ? static_cast<double*>(std::realloc(stackY, sizeof(double) * grown)) : nullptr;
        if (ny) stackY = ny;
        if (!nx || !ny) tovu_error("graphics out of memory");
        capacity = grown;
    }
    stackX[count] = x;
    stackY[count] = y;
    ++count;
}

void giveBack(BoundaryEdge* e) {
    if (e->live != 1) return;   // already on the free list
    e->live = 0;
    --liveRecords;
    area_give_back(&boundaryArea, e);
}

bool coincide(double ax, double ay, double bx, double by, double tx, double ty) {
    return std::fabs(ax - bx) < tx && std::fabs(ay - by) < ty;
}

}  // namespace

void boundary_begin() {
    std::free(stackX);
    std::free(stackY);
    stackX = static_cast<double*>(std::malloc(sizeof(double) * 100));
    stackY = static_cast<double*>(std::malloc(sizeof(double) * 100));
    if (!stackX || !stackY) {
        std::free(stackX);
        std::free(stackY);
        stackX = stackY = nullptr;
        capacity = 0;
        tovu_error("graphics out of memory");
    }
    capacity = 100;
    count = 0;
    liveRecords = 0;
    storage_init(&boundaryArea, STORAGE_ALIGN8 | STORAGE_NOZERO, "boundary");
}

void boundary_end() {
    std::free(stackX);
    std::free(stackY);
    stackX = stackY = nullptr;
    capacity = count = 0;
    liveRecords = 0;
    storage_free(&boundaryArea);
}

int boundary_stack_capacity() { return capacity; }

BoundaryEdge* boundary_edge_new(double x, double y, BoundaryEdge* next) {
    auto* e = area_record<BoundaryEdge>(&boundaryArea);
    e->x = x;
    e->y = y;
    e->next = next;
    e->live = 1;
    ++liveRecords;
    return e;
}

void boundary_chain_free(BoundaryChain chain) {
    for (long steps = liveRecords; chain && steps > 0; --steps) {
        BoundaryEdge* next = chain->next;
        if (chain->live != 1) break;
        giveBack(chain);
        chain = next;
    }
}

int boundary_clean(double* xs, double* ys, int n) {
    const double tx = 100 * sweep_tol.x, ty = 100 * sweep_tol.y;
    bool changed = true;
    while (changed && n >= 3) {
        changed = false;
        // 1. Points that coincide with their successor (cyclically) go.
        int j = 0;
        for (int k = 0; k < n; ++k) {
            if (j > 0 && coincide(xs[k], ys[k], xs[j - 1], ys[j - 1], tx, ty)) continue;
            xs[j] = xs[k];
            ys[j] = ys[k];
            ++j;
        }
        while (j >= 2 && coincide(xs[j - 1], ys[j - 1], xs[0], ys[0], tx, ty)) --j;
        if (j != n) changed = true;
        n = j;
        if (n < 3) break;
        // 2. Points on the straight run between their neighbours go, one at a time from the
        // kept ones, so a long straight run shrinks to its two ends.
        j = 0;
        for (int k = 0; k < n; ++k) {
            double px = j > 0 ? xs[j - 1] : xs[n - 1], py = j > 0 ? ys[j - 1] : ys[n - 1];
            double qx = xs[(k + 1) % n], qy = ys[(k + 1) % n];
            double cross = (xs[k] - px) * (qy - ys[k]) - (qx - xs[k]) * (ys[k] - py);
            if (std::fabs(cross) < sweep_tol.area) continue;
            xs[j] = xs[k];
            ys[j] = ys[k];
            ++j;
        }
        if (j != n) changed = true;
        n = j;
    }
    return n < 3 ? 0 : n;
}

void boundary_emit(double x, double y, BoundaryChain first, BoundaryChain second, const DrawPolygon* polygon) {
    if (polygon->colour & COLOUR_BACKGROUND_FILL) {
        boundary_chain_free(first);
        boundary_chain_free(second);
        return;
    }
    count = 0;
    push(x, y);
    long limit = liveRecords;
    for (BoundaryEdge* e = first; e && e->live == 1 && limit > 0; --limit) {
        BoundaryEdge* next = e->next;
        push(e->x, e->y);
        giveBack(e);
        e = next;
    }
    int start = count;
    limit = liveRecords;
    for (BoundaryEdge* e = second; e && e->live == 1 && limit > 0; --limit) {
        BoundaryEdge* next = e->next;
        push(e->x, e->y);
        giveBack(e);
        e = next;
    }
    // The second chain is read newest first; the outline wants it oldest first.
    for (int i = start, j = count - 1; i < j; ++i, --j) {
        std::swap(stackX[i], stackX[j]);
        std::swap(stackY[i], stackY[j]);
    }
    int n = boundary_clean(stackX, stackY, count);
    if (n < 3) return;
    double a2 = 0;
    for (int i = 0; i < n; ++i) {
        int k = (i + 1) % n;
        a2 += stackX[i] * stackY[k] - stackX[k] * stackY[i];
    }
    if (std::fabs(a2) > 100 * sweep_tol.area) output_polygon(n, stackX, stackY, polygon->colour);
}
