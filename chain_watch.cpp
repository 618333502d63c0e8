#include "chain_watch.h"

#include "message.h"

#include <cmath>

namespace {

// Nodes on the path that an insertion of key walks, the new node included
// when key was the last one inserted.
int insertion_depth(const BST_TREE *tree, int key)
{
    int levels = 0;
    for (const nod *n = tree->root; n != nullptr; n = key < n->data ? n->left : n->right)
        levels++;
    return levels;
}

} // namespace

void chain_watch_init(chain_watch *w, const char *file, int warn_depth)
{
    w->file = file;
    w->warn_depth = warn_depth > 0 ? warn_depth : chain_watch_depth;
    w->depth = 0;
    w->warned = false;
    w->draw = 2463534242u;
}

bool chain_watch_look(chain_watch *w, const BST_TREE *tree, const int *block)
{
    if (w->warned)
        return false;
    // xorshift32: cheap, and with no period that input could follow.
    unsigned x = w->draw;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    w->draw = x;
    w->depth = insertion_depth(tree, block[x % chain_watch_every]);
    return w->depth >= w->warn_depth;
}

void chain_watch_warn(chain_watch *w, const BST_TREE *tree, int entry)
{
    // A tree of n random keys puts a new key about 2 ln n levels down.
    double random_depth = 2 * std::log(static_cast<double>(tree->size > 1 ? tree->size : 2));
    warning("%s: warning: entry %d went %d levels deep into the unbalanced tree (random "
                 "keys: about %.0f): keys in sorted order, or one key repeated, build a chain; each "
                 "insertion now costs as much as %.0f random ones, and if the file goes on like "
                 "this the load takes minutes instead of about a second",
         w->file, entry, w->depth, random_depth, w->depth / random_depth);
    w->warned = true;
}
