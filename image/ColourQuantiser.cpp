// ColourQuantiser: the octree, its two merge heaps and the palette walk.

#include "image/ColourQuantiser.h"

#include <new>
#include <utility>

namespace {

int childIndex(std::uint32_t colour, int level)
{
    const int shift = 7 - level;
    return static_cast<int>(((colour >> (16 + shift)) & 1u) << 2 |
                            ((colour >> (8 + shift)) & 1u) << 1 |
                            ((colour >> shift) & 1u));
}

void place(OctreeHeap& heap, int position, OctreeNode* node)
{
    heap.nodes[static_cast<std::size_t>(position)] = node;
    node->heapPosition = position;
}

// Moves the node at `position` towards the leaves.  It stops only when the node's count is
// strictly smaller than its smaller child's, so equal counts keep moving down.
void siftDown(OctreeHeap& heap, int position)
{
    OctreeNode* node = heap.nodes[static_cast<std::size_t>(position)];
    for (;;) {
        int child = 2 * position + 1;
        if (child >= heap.count)
            break;
        if (child + 1 < heap.count &&
            heap.nodes[static_cast<std::size_t>(child + 1)]->pixelCount <
                heap.nodes[static_cast<std::size_t>(child)]->pixelCount)
            ++child;
        OctreeNode* smaller = heap.nodes[static_cast<std::size_t>(child)];
        if (node->pixelCount < smaller->pixelCount)
            break;
        place(heap, position, smaller);
        position = child;
    }
    place(heap, position, node);
}

// Moves the node at `position` towards the top; it stops when the parent's count is strictly
// smaller, so equal counts keep moving up.
void siftUp(OctreeHeap& heap, int position)
{
    OctreeNode* node = heap.nodes[static_cast<std::size_t>(position)];
    while (position > 0) {
        const int parent = (position - 1) / 2;
        OctreeNode* above = heap.nodes[static_cast<std::size_t>(parent)];
        if (above->pixelCount < node->pixelCount)
            break;
        place(heap, position, above);
        position = parent;
    }
    place(heap, position, node);
}

void heapPush(OctreeHeap& heap, OctreeNode* node)
{
    // At most one heap entry per leaf and leafCount <= maxColours + 1 <= 256 (invariant 2); the
    // check keeps a broken invariant from writing past the array.
    if (heap.count >= static_cast<int>(heap.nodes.size()))
        return;
    const int position = heap.count++;
    heap.nodes[static_cast<std::size_t>(position)] = node;
    siftUp(heap, position);
}

// Removes the node at `position`: the last entry takes its place and moves down.
void heapRemove(OctreeHeap& heap, int position)
{
    OctreeNode* removed = heap.nodes[static_cast<std::size_t>(position)];
    removed->heapPosition = -1;
    OctreeNode* last = heap.nodes[static_cast<std::size_t>(--heap.count)];
    heap.nodes[static_cast<std::size_t>(heap.count)] = nullptr;
    if (position < heap.count) {
        place(heap, position, last);
        siftDown(heap, position);
    }
}

OctreeNode* takeNode(Octree& quantiser)
{
    OctreeNode* node = quantiser.freeList;
    if (node) {
        quantiser.freeList = node->parent;
        *node = OctreeNode{};
        return node;
    }
    return new (std::nothrow) OctreeNode{};
}

void releaseNode(Octree& quantiser, OctreeNode* node)
{
    node->parent = quantiser.freeList;
    quantiser.freeList = node;
}

void freeTree(OctreeNode* node)
{
    if (!node)
        return;
    for (OctreeNode* child : node->children)
        freeTree(child);
    delete node;
}

// Merges the least used parent of leaves into a leaf, then moves up a level when no parents
// of leaves are left.
void reduce(Octree& quantiser)
{
    while (quantiser.leafCount > quantiser.maxColours && quantiser.heapA->count > 0) {
        OctreeNode* node = quantiser.heapA->nodes[0];
        int removed = 0;
        for (OctreeNode*& child : node->children) {
            if (!child)
                continue;
            node->red += child->red;
            node->green += child->green;
            node->blue += child->blue;
            releaseNode(quantiser, child);
            child = nullptr;
            ++removed;
        }
        node->leaf = true;
        quantiser.leafCount += 1 - removed;
        heapRemove(*quantiser.heapA, 0);
        if (node->parent && node->parent->heapPosition < 0)
            heapPush(*quantiser.heapB, node->parent);
        if (quantiser.heapA->count == 0) {
            std::swap(quantiser.heapA, quantiser.heapB);
            --quantiser.leafDepth;
        }
    }
}

void numberLeaves(Octree& quantiser, OctreeNode* node)
{
    if (node->leaf) {
        node->paletteIndex = static_cast<int>(quantiser.palette.size());
        const std::uint64_t n = node->pixelCount ? node->pixelCount : 1;
        const auto average = [n](std::uint64_t sum) {
            return static_cast<std::uint32_t>(((sum + n / 2) / n) & 0xFFu);
        };
        quantiser.palette.push_back(average(node->red) << 16 | average(node->green) << 8 |
                                    average(node->blue));
        return;
    }
    for (OctreeNode* child : node->children)
        if (child)
            numberLeaves(quantiser, child);
}

} // namespace

OctreeHandle octree_new(int maxColours)
{
    if (maxColours < 1 || maxColours > 255)
        return nullptr;
    OctreeHandle quantiser(new (std::nothrow) Octree{});
    if (!quantiser)
        return nullptr;
    quantiser->maxColours = maxColours;
    quantiser->root = new (std::nothrow) OctreeNode{};
    quantiser->heapA.reset(new (std::nothrow) OctreeHeap{});
    quantiser->heapB.reset(new (std::nothrow) OctreeHeap{});
    if (!quantiser->root || !quantiser->heapA || !quantiser->heapB)
        return nullptr;   // the handle frees what was made
    return quantiser;
}

bool octree_add_colour(Octree& quantiser, std::uint32_t colour)
{
    OctreeNode* node = quantiser.root;
    int level = 0;
    bool fresh = false;   // a node just made already counts this pixel
    for (;;) {
        if (!fresh) {
            ++node->pixelCount;
            if (node->heapPosition >= 0) {
                if (level == quantiser.leafDepth - 1)
                    siftDown(*quantiser.heapA, node->heapPosition);
                else if (level == quantiser.leafDepth - 2)
                    siftDown(*quantiser.heapB, node->heapPosition);
            }
        }
        if (node->leaf) {
            node->red += (colour >> 16) & 0xFFu;
            node->green += (colour >> 8) & 0xFFu;
            node->blue += colour & 0xFFu;
            break;
        }
        OctreeNode*& slot = node->children[static_cast<std::size_t>(childIndex(colour, level))];
        fresh = slot == nullptr;
        if (fresh) {
            OctreeNode* child = takeNode(quantiser);
            if (!child)
                return false;
            child->pixelCount = 1;
            child->parent = node;
            slot = child;
            const int childLevel = level + 1;
            if (childLevel == quantiser.leafDepth) {
                child->leaf = true;
                ++quantiser.leafCount;
            } else if (childLevel == quantiser.leafDepth - 1) {
                heapPush(*quantiser.heapA, child);
            } else if (childLevel == quantiser.leafDepth - 2) {
                heapPush(*quantiser.heapB, child);
            }
        }
        node = slot;
        ++level;
    }
    reduce(quantiser);
    return true;
}

std::span<const std::uint32_t> octree_palette(Octree& quantiser)
{
    quantiser.palette.clear();
    quantiser.palette.reserve(static_cast<std::size_t>(quantiser.maxColours));
    numberLeaves(quantiser, quantiser.root);
    return quantiser.palette;
}

int octree_lookup(const Octree& quantiser, std::uint32_t colour)
{
    const OctreeNode* node = quantiser.root;
    int level = 0;
    while (!node->leaf) {
        node = node->children[static_cast<std::size_t>(childIndex(colour, level))];
        if (!node)
            return 0;
        ++level;
    }
    return node->paletteIndex;
}

void octree_free(Octree* quantiser)
{
    if (!quantiser)
        return;
    while (OctreeNode* node = quantiser->freeList) {
        quantiser->freeList = node->parent;
        delete node;
    }
    freeTree(quantiser->root);
    delete quantiser;
}
