// Independent checks for the tree module: a slow, simple walk over the real
// nodes, and a reference tree that follows the insertion and deletion rules
// step by step with recursion over its own index-linked nodes.
#ifndef TREE_CHECKER_H
#define TREE_CHECKER_H

#include "ADT_tree.h"

#include <string>
#include <vector>

// Empty when the tree's node count equals size and its in-order walk never
// decreases; otherwise what is wrong. Uses an explicit stack, so any depth
// works.
std::string check_tree(const BST_TREE *tree);

// The keys of an in-order walk, with an explicit stack.
std::vector<int> inorder_keys(const nod *root);

// "(key left right)" for each node and "-" for an empty subtree; recursive,
// for trees of modest depth.
std::string tree_shape(const nod *root);

struct model_tree {
    struct model_node {
        int key;
        int left;
        int right;
    };
    std::vector<model_node> nodes; // deleted nodes stay here, unlinked
    int root = -1;                 // index into nodes, -1 for none
    int size = 0;

    void insert(int key);
    bool remove(int key);
    std::string shape() const;

private:
    int insert_at(int subtree, int key);
    int remove_at(int subtree, int key, bool *found);
    std::string shape_at(int subtree) const;
};

#endif
