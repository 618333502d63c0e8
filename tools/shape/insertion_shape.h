// The shape of the tree that BST_insert builds from keys inserted in a given
// order, worked out without building it, in O(n log n) for any order, a
// chain of a million keys included.
//
// Inserting keys in order builds the binary search tree of the pairs (key,
// place in the order), since an equal key inserted later goes to the right.
// Each node's ancestors are inserted before it, so that tree is the
// Cartesian tree, by place, of the pairs in sorted order: one sort and one
// pass with a stack build it.
#ifndef INSERTION_SHAPE_H
#define INSERTION_SHAPE_H

#include <vector>

struct tree_figures {
    long long nodes;                  // keys inserted
    long long height;                 // nodes on the longest path from the root; 0 when empty
    long long depth_sum;              // sum of the nodes' depths, the root's being 1
    std::vector<long long> at_depth;  // at_depth[d]: nodes at depth d (at_depth[0] is 0)
};

tree_figures insertion_shape(const std::vector<int> &keys);

// What random order gives for n keys: the expected average depth, and the
// height of one random order, which varies little from order to order.
double random_average_depth(long long n);
long long random_order_height(long long n);

#endif
