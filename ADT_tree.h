// Unbalanced binary search tree of int keys, kept as a multiset.
//
// A tree is a BST_TREE handle (node count and root) over nod records.
//   create_bst_tree                       new empty tree
//   BST_insert / add_bst                  insert a key (handle / subtree level)
//   search_bst                            first node holding a key
//   find_smallest_node, find_largest_node leftmost / rightmost node of a subtree
//   BST_delete / delete_bst               remove one node holding a key
//   traverse_preorder, traverse_inorder,
//   traverse_postorder                    print a subtree's keys as "%d "
//   BST_print                             print a tree under its header
//
// Ordering: a key less than a node's key goes to (and is looked for in) the
// left subtree; any other key, equal or greater, goes to the right. Equal keys
// are allowed. There is no balancing: keys inserted in ascending order build a
// chain of right links. No operation recurses per level, so chains of any
// length work at the default stack size.
//
//   destroy_bst_tree                      free every node and the handle
//
// The handle and every node come from malloc, and a deleted node goes back
// with free; callers may build or free nodes the same way. destroy_bst_tree
// is the only operation that frees a whole tree or its handle. No operation
// writes a message. Builds without NDEBUG (Debug, the sanitizer build)
// assert each operation's preconditions at its entry: a handle, a root where
// one is required, a place for *found; the Release libraries test nothing.
//
// There is no lock, and no operation may run alongside any other on the same
// tree, searches and prints included: the print walks relink nodes as they go.
//
// The header serves C (C99 on) and C++ alike; the operations have C linkage.
#ifndef ADT_TREE_H
#define ADT_TREE_H

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// Insertion alone keeps every key of a left subtree strictly less than the
// node's key, as the ordering above says. Deleting a node with two children
// gives it the key of its in-order predecessor, and another node holding
// that key may remain in its left subtree; so the rule that every operation
// relies on is the weaker one written on the fields.
typedef struct nod nod;
struct nod {
    int data;   // the key
    nod *left;  // root of the left subtree (keys less than or equal), or null
    nod *right; // root of the right subtree (keys greater or equal), or null
};

typedef struct BST_TREE BST_TREE;
struct BST_TREE {
    int size;  // number of nodes in the tree
    nod *root; // root node; null when the tree is empty
};

// Returns a new empty tree (size 0, root null), or null when the handle
// can't be allocated.
BST_TREE *create_bst_tree(void);

// Frees every node of tree and then the handle; nothing for a null tree.
// Linear time and constant extra memory, so chains of any length go too.
void destroy_bst_tree(BST_TREE *tree);

// Inserts key into the subtree rooted at root and returns the subtree's root
// afterwards: the new node when root was null, root itself otherwise. Returns
// null only when root was null and the node couldn't be allocated; a failed
// allocation below the root leaves the subtree as it was and still returns
// root. Store the result back into the link that held root.
nod *add_bst(nod *root, int key);

// Inserts key into tree. Returns true with size one higher; false when the
// new node couldn't be allocated, leaving root and size as they were.
bool BST_insert(BST_TREE *tree, int key);

// Returns the first node on key's search path that holds key (the one
// nearest the root), or null when there is none.
nod *search_bst(nod *root, int key);

// Return the leftmost (smallest key) and rightmost (largest key) node of a
// subtree. root must not be null.
nod *find_smallest_node(nod *root);
nod *find_largest_node(nod *root);

// Removes the first node on key's search path that holds key and returns the
// subtree's root afterwards. A node with two children stays in place: it
// takes the key of its in-order predecessor, which is then removed from its
// left subtree, so exactly one node is freed. *found is always written: true
// when a node was removed, false when key wasn't there (the subtree is then
// unchanged).
nod *delete_bst(nod *root, int key, bool *found);

// Removes one occurrence of key from tree. Returns true with size one lower;
// false when key isn't in the tree, leaving root and size as they were.
bool BST_delete(BST_TREE *tree, int key);

// Print every key of a subtree to stdout as "%d " (each key followed by one
// blank), in pre-order, in-order (ascending) or post-order. Nothing for a
// null subtree. The tree is left exactly as it was.
void traverse_preorder(nod *root);
void traverse_inorder(nod *root);
void traverse_postorder(nod *root);

// Prints the lines "BST_TREE" and "size : <size>", then "data : " and the
// keys in the order that order selects (0 pre-order, 1 in-order, 2
// post-order), then a newline. For any other order "type error" and a
// newline stand in place of the keys. Output goes through buffered stdout.
void BST_print(BST_TREE *tree, int order);

#ifdef __cplusplus
}
#endif

#endif
