#pragma once
// Persistent depth trees: the polygons covering one region of the sweep line, front to back.
//
// Invariants:
//   1. Every polygon in a node's left subtree lies in front of the node's polygon and every
//      polygon in its right subtree behind it, as judged (polygon_behind) when it was inserted.
//      The leftmost node holds the front polygon.  The tree is not rebalanced.
//   2. Regions side by side share unchanged nodes.  `refCount` counts the parents and span owners
//      holding a node; every update copies only the nodes on its path that are shared
//      (refCount > 1, or below such a node) and changes unshared nodes in place.
//   3. Every operation consumes the reference its caller held to the tree passed in and returns
//      one reference to the new root.  A caller keeping the old tree first calls
//      depth_tree_retain.
// Nodes come from the storage area "mv" (8-byte aligned, not zeroed) and go back to its free
// list when their count reaches zero.

#include <cstdint>

struct DrawPolygon;

struct DepthTreeNode {
    DepthTreeNode* left;
    DepthTreeNode* right;
    std::int32_t refCount;
    DrawPolygon* polygon;
};
using DepthTree = DepthTreeNode*;

void depth_tree_open();
void depth_tree_close();
DepthTree depth_tree_retain(DepthTree tree);   // one more reference; answers the tree
void depth_tree_release(DepthTree tree);
DrawPolygon* depth_tree_front(DepthTree tree);
DepthTree depth_tree_insert(DepthTree tree, DrawPolygon* p, double y);
// Removes p, searching at y - 100 tol y.  A tree without p comes back unchanged.
DepthTree depth_tree_remove(DepthTree tree, DrawPolygon* p, double y);
DepthTree depth_tree_push_front(DepthTree tree, DrawPolygon* p);
DepthTree depth_tree_insert_behind(DepthTree tree, DrawPolygon* p, double y);
DepthTree depth_tree_restore_front(DepthTree tree, DrawPolygon* p);
// Nodes handed out and not yet back on the free list (for checks of the sharing).
long depth_tree_live_nodes();
