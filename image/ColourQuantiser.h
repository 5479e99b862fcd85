#pragma once
// ColourQuantiser: an octree colour quantiser.  Colours (0x00RRGGBB) go into a tree of depth 8
// keyed by the bits of red, green and blue, most significant bit first; when there are more
// leaves than the maximum, the least used branch at the deepest level is merged into a leaf.
// The GIF writer feeds it every pixel of a picture and takes a palette of at most maximum
// colours.
//
// Tree and heaps:
//   - The root is level 0; the child index at level i is
//       bit (7 - i) of red << 2 | bit (7 - i) of green << 1 | bit (7 - i) of blue.
//   - leafDepth starts at 7: nodes made at that level are leaves.  A leaf is never below
//     leafDepth.  Levels 0 to 6 use bits 7 to 1, so colours apart only in the lowest bit of
//     each channel share a leaf.
//   - heapA holds every non-leaf node at level leafDepth - 1 (the parents of leaves); heapB
//     holds nodes at level leafDepth - 2: those made at that level, and those one of whose
//     children has been merged.  Both are binary min-heaps on the pixel count; a node records
//     its heap position (-1 when in no heap).
//   - Reduction takes the top of heapA, merges its children into it, and moves its parent into
//     heapB.  When heapA runs empty, the heaps swap roles and leafDepth
//     decreases by one.
//   - Every node on a colour's path counts that colour, so a node's count is the sum of its
//     leaves' counts; a leaf also sums the red, green and blue values that reached it.
//
// Invariants:
//   1. After octree_add_colour returns, leafCount <= maxColours.
//   2. Each heap holds at most one node per leaf, so with maxColours < 256 a heap never
//      overflows its 256 slots.
//   3. Nodes removed by a merge go to a free list and are reused, so a tree that has its shape
//      allocates nothing more per colour.
//
// Ownership: octree_new hands out the quantiser in an OctreeHandle that calls octree_free;
// nodes belong to the quantiser.  Not thread-safe; one quantiser per thread at a time.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct OctreeNode {
    bool leaf = false;
    int heapPosition = -1;                 // index in heapA or heapB, -1 when in no heap
    std::uint64_t pixelCount = 0;          // colours that passed through this node
    OctreeNode* parent = nullptr;
    std::array<OctreeNode*, 8> children{};
    std::uint64_t red = 0, green = 0, blue = 0;   // sums of the colours that ended here (leaves)
    int paletteIndex = 0;                  // set by octree_palette (leaves)
};

// A binary min-heap of node pointers ordered by pixel count.
struct OctreeHeap {
    int count = 0;
    std::array<OctreeNode*, 256> nodes{};
};

struct Octree {
    int maxColours = 0;                    // 1..255
    int leafCount = 0;
    int leafDepth = 7;
    std::vector<std::uint32_t> palette;    // made by octree_palette, in tree order
    OctreeNode* root = nullptr;
    OctreeNode* freeList = nullptr;        // merged nodes for reuse, chained through parent
    std::unique_ptr<OctreeHeap> heapA;     // nodes at level leafDepth - 1
    std::unique_ptr<OctreeHeap> heapB;     // nodes at level leafDepth - 2
};

void octree_free(Octree* quantiser);

struct OctreeFree {
    void operator()(Octree* quantiser) const { octree_free(quantiser); }
};
using OctreeHandle = std::unique_ptr<Octree, OctreeFree>;

// A quantiser that keeps at most maxColours leaves.  Null when maxColours is outside 1..255
// (the heaps hold 256 entries) or memory runs out; nothing stays allocated then.
OctreeHandle octree_new(int maxColours);

// Counts one pixel of `colour` (the top byte is ignored).  False when a node could not be
// allocated; the tree stays consistent and the colour is then not counted at a new leaf.
bool octree_add_colour(Octree& quantiser, std::uint32_t colour);

// Numbers the leaves depth-first (children 0 to 7) and answers their colours: each channel is
// the rounded average (sum + n / 2) / n over the leaf's n pixels.
std::span<const std::uint32_t> octree_palette(Octree& quantiser);

// The palette index of the leaf the colour's path reaches; 0 when the path runs into a missing
// node.  Meaningful after octree_palette.
int octree_lookup(const Octree& quantiser, std::uint32_t colour);
