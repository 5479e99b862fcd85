// Persistent depth trees with path copying and reference counts.
//
// take() is the one copy-on-write step: given a node that the caller's path holds one
// reference to, it answers a node the path owns alone.  An unshared node is answered as it is;
// a shared one is copied (count 1, both children gain a reference) and the original loses the
// path's reference.  Walking down with take() therefore copies exactly the shared nodes of the
// path and every node below the first shared one.

#include "plot/plot_depth_tree.h"

#include <vector>

#include "plot/plot_storage_records.h"
#include "plot/plot_sweep.h"

namespace {

StorageArea mvArea;
long liveNodes = 0;
std::uint32_t removalState = 0xFFFFFFFFu;   // pseudo-random choice of the replacement node

DepthTreeNode* newNode(DrawPolygon* p, DepthTreeNode* left, DepthTreeNode* right) {
    auto* n = area_record<DepthTreeNode>(&mvArea);
    n->left = left;
    n->right = right;
    n->refCount = 1;
    n->polygon = p;
    ++liveNodes;
    return n;
}

void recycle(DepthTreeNode* n) {
    --liveNodes;
    area_give_back(&mvArea, n);
}

DepthTreeNode* take(DepthTreeNode* n) {
    if (n->refCount <= 1) return n;
    if (n->left) ++n->left->refCount;
    if (n->right) ++n->right->refCount;
    --n->refCount;
    return newNode(n->polygon, n->left, n->right);
}

// Removes the leftmost node below *link (owned path) and answers its polygon.
DrawPolygon* takeFirst(DepthTreeNode** link) {
    DepthTreeNode* n = take(*link);
    *link = n;
    while (n->left) {
        link = &n->left;
        n = take(*link);
        *link = n;
    }
    DrawPolygon* p = n->polygon;
    *link = n->right;   // the right child's reference passes to the link
    recycle(n);
    return p;
}

DrawPolygon* takeLast(DepthTreeNode** link) {
    DepthTreeNode* n = take(*link);
    *link = n;
    while (n->right) {
        link = &n->right;
        n = take(*link);
        *link = n;
    }
    DrawPolygon* p = n->polygon;
    *link = n->left;
    recycle(n);
    return p;
}

// Read-only search for p; records the turns (0 left, 1 right) of the path to it.
bool findPath(const DepthTreeNode* n, const DrawPolygon* p, double y, std::vector<char>& path) {
    // Iterative depth-first search, so a deep unbalanced tree cannot exhaust the stack.
    struct Frame {
        const DepthTreeNode* node;
        int stage;       // 0 not yet looked at, 1 first side searched, 2 both searched
        char first;      // side searched first
    };
    static std::vector<Frame> stack;   // kept between calls: no allocation per search
    stack.clear();
    if (!n) return false;
    stack.push_back({n, 0, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.stage == 0) {
            if (f.node->polygon == p) {
                path.clear();
                for (std::size_t i = 0; i + 1 < stack.size(); ++i)
                    path.push_back(stack[i].stage == 1 ? stack[i].first : static_cast<char>(1 - stack[i].first));
                return true;
            }
            f.first = polygon_behind(f.node->polygon, p, y) ? 0 : 1;
            f.stage = 1;
            const DepthTreeNode* c = f.first == 0 ? f.node->left : f.node->right;
            if (c) stack.push_back({c, 0, 0});
        } else if (f.stage == 1) {
            f.stage = 2;
            const DepthTreeNode* c = f.first == 0 ? f.node->right : f.node->left;
            if (c) stack.push_back({c, 0, 0});
        } else {
            stack.pop_back();
        }
    }
    return false;
}

}  // namespace

void depth_tree_open() {
    storage_init(&mvArea, STORAGE_ALIGN8 | STORAGE_NOZERO, "mv");
    liveNodes = 0;
}

void depth_tree_close() {
    storage_free(&mvArea);
    liveNodes = 0;
}

long depth_tree_live_nodes() { return liveNodes; }

DepthTree depth_tree_retain(DepthTree tree) {
    if (tree) ++tree->refCount;
    return tree;
}

void depth_tree_release(DepthTree tree) {
    // Iterative: a chain of nodes freed one after another never deepens the stack.  The list
    // is kept between calls (the sweep releases a tree at almost every event) and is empty
    // whenever a call ends.
    if (!tree) return;
    static std::vector<DepthTreeNode*> pending;
    pending.push_back(tree);
    while (!pending.empty()) {
        DepthTreeNode* n = pending.back();
        pending.pop_back();
        if (--n->refCount > 0) continue;
        if (n->left) pending.push_back(n->left);
        if (n->right) pending.push_back(n->right);
        recycle(n);
    }
}

DrawPolygon* depth_tree_front(DepthTree tree) {
    if (!tree) return nullptr;
    while (tree->left) tree = tree->left;
    return tree->polygon;
}

DepthTree depth_tree_insert(DepthTree tree, DrawPolygon* p, double y) {
    y += sweep_tol.y;
    DepthTreeNode* root = tree;
    DepthTreeNode** link = &root;
    while (*link) {
        DepthTreeNode* n = take(*link);
        *link = n;
        link = polygon_behind(n->polygon, p, y) ? &n->left : &n->right;
    }
    *link = newNode(p, nullptr, nullptr);
    return root;
}

DepthTree depth_tree_remove(DepthTree tree, DrawPolygon* p, double y) {
    static std::vector<char> path;
    y -= 100 * sweep_tol.y;
    if (!findPath(tree, p, y, path)) return tree;   // not held: the tree stays as it was
    DepthTreeNode* root = tree;
    DepthTreeNode** link = &root;
    for (char turn : path) {
        DepthTreeNode* n = take(*link);
        *link = n;
        link = turn == 0 ? &n->left : &n->right;
    }
    DepthTreeNode* n = take(*link);
    *link = n;
    if (!n->left) {
        *link = n->right;
        recycle(n);
    } else if (!n->right) {
        *link = n->left;
        recycle(n);
    } else {
        removalState *= 503u;
        if (removalState & 0x80000000u) n->polygon = takeFirst(&n->right);
        else n->polygon = takeLast(&n->left);
    }
    return root;
}

DepthTree depth_tree_push_front(DepthTree tree, DrawPolygon* p) {
    DepthTreeNode* root = tree;
    DepthTreeNode** link = &root;
    while (*link) {
        DepthTreeNode* n = take(*link);
        *link = n;
        link = &n->left;
    }
    *link = newNode(p, nullptr, nullptr);
    return root;
}

DepthTree depth_tree_restore_front(DepthTree tree, DrawPolygon* p) {
    if (!tree) return depth_tree_push_front(tree, p);
    DepthTreeNode* root = take(tree);
    DepthTreeNode* parent = nullptr;
    DepthTreeNode* n = root;
    while (n->left) {
        DepthTreeNode* c = take(n->left);
        n->left = c;
        parent = n;
        n = c;
    }
    if (!parent) {
        // The front is the root itself: p simply goes in front of it.
        return depth_tree_push_front(root, p);
    }
    parent->polygon = n->polygon;
    n->polygon = p;
    return root;
}

DepthTree depth_tree_insert_behind(DepthTree tree, DrawPolygon* p, double y) {
    DrawPolygon* front = depth_tree_front(tree);
    tree = depth_tree_insert(tree, p, y);
    if (front && depth_tree_front(tree) != front) tree = depth_tree_restore_front(tree, front);
    return tree;
}
