#include "ADT_tree.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>

namespace {

nod *new_nod(int key)
{
    nod *n = static_cast<nod *>(std::malloc(sizeof(nod)));
    if (n != nullptr) {
        n->data = key;
        n->left = nullptr;
        n->right = nullptr;
    }
    return n;
}

// The empty link where key would be hung, starting from *link.
nod **insert_link(nod **link, int key)
{
    while (*link != nullptr)
        link = (*link)->data > key ? &(*link)->left : &(*link)->right;
    return link;
}

void print_key(const nod *n)
{
    std::printf("%d ", n->data);
}

// The walks below are Morris walks: instead of a stack they thread each
// subtree's in-order predecessor back to the subtree's root through its null
// right link, and cut the thread again on the way back up. They allocate
// nothing, recurse nowhere, and restore every link before they return.

// The in-order predecessor of n within its left subtree, or the node whose
// right link already threads back to n.
nod *thread_end(nod *n)
{
    nod *p = n->left;
    while (p->right != nullptr && p->right != n)
        p = p->right;
    return p;
}

// Reverses the chain of right links that starts at n; returns its new start.
nod *reverse_right_chain(nod *n)
{
    nod *prev = nullptr;
    while (n != nullptr) {
        nod *next = n->right;
        n->right = prev;
        prev = n;
        n = next;
    }
    return prev;
}

// Prints the chain of right links from n to its end, bottom first.
void print_right_chain_reversed(nod *n)
{
    nod *last = reverse_right_chain(n);
    for (const nod *p = last; p != nullptr; p = p->right)
        print_key(p);
    reverse_right_chain(last);
}

// Prints each key when the walk first reaches its node (pre-order) or when
// it comes back from the node's left subtree (in-order).
void print_morris(nod *root, bool preorder)
{
    nod *n = root;
    while (n != nullptr) {
        if (n->left == nullptr) {
            print_key(n);
            n = n->right;
            continue;
        }
        nod *p = thread_end(n);
        if (p->right == nullptr) {
            if (preorder)
                print_key(n);
            p->right = n;
            n = n->left;
        } else {
            p->right = nullptr;
            if (!preorder)
                print_key(n);
            n = n->right;
        }
    }
}

} // namespace

BST_TREE *create_bst_tree(void)
{
    BST_TREE *tree = static_cast<BST_TREE *>(std::malloc(sizeof(BST_TREE)));
    if (tree != nullptr) {
        tree->size = 0;
        tree->root = nullptr;
    }
    return tree;
}

void destroy_bst_tree(BST_TREE *tree)
{
    if (tree == nullptr)
        return;
    // Rotates each left child up until the root has none, then frees the
    // root and goes on with its right subtree: every node is rotated at most
    // once, and no stack is needed.
    nod *n = tree->root;
    while (n != nullptr) {
        nod *left = n->left;
        if (left != nullptr) {
            n->left = left->right;
            left->right = n;
            n = left;
        } else {
            nod *right = n->right;
            std::free(n);
            n = right;
        }
    }
    std::free(tree);
}

nod *add_bst(nod *root, int key)
{
    if (root == nullptr)
        return new_nod(key);
    *insert_link(&root, key) = new_nod(key);
    return root;
}

bool BST_insert(BST_TREE *tree, int key)
{
    assert(tree != nullptr);
    nod **link = insert_link(&tree->root, key);
    nod *n = new_nod(key);
    if (n == nullptr)
        return false;
    *link = n;
    tree->size++;
    return true;
}

nod *search_bst(nod *root, int key)
{
    while (root != nullptr && root->data != key)
        root = root->data > key ? root->left : root->right;
    return root;
}

nod *find_smallest_node(nod *root)
{
    assert(root != nullptr);
    while (root->left != nullptr)
        root = root->left;
    return root;
}

nod *find_largest_node(nod *root)
{
    assert(root != nullptr);
    while (root->right != nullptr)
        root = root->right;
    return root;
}

nod *delete_bst(nod *root, int key, bool *found)
{
    assert(found != nullptr);
    nod **link = &root;
    for (;;) {
        nod *n = *link;
        if (n == nullptr) {
            *found = false;
            return root;
        }
        if (n->data > key) {
            link = &n->left;
        } else if (n->data < key) {
            link = &n->right;
        } else if (n->left == nullptr || n->right == nullptr) {
            *link = n->left == nullptr ? n->right : n->left;
            std::free(n);
            *found = true;
            return root;
        } else {
            // Two children: n keeps its place and takes its predecessor's
            // key, and the search goes on for that key in n's left subtree.
            nod *pred = n->left;
            while (pred->right != nullptr)
                pred = pred->right;
            n->data = pred->data;
            key = pred->data;
            link = &n->left;
        }
    }
}

bool BST_delete(BST_TREE *tree, int key)
{
    assert(tree != nullptr);
    bool found = false;
    nod *root = delete_bst(tree->root, key, &found);
    if (found) {
        tree->root = root;
        tree->size--;
        if (tree->size == 0)
            tree->root = nullptr;
    }
    return found;
}

void traverse_preorder(nod *root)
{
    print_morris(root, true);
}

void traverse_inorder(nod *root)
{
    print_morris(root, false);
}

void traverse_postorder(nod *root)
{
    // A stand-in parent with the whole tree as its left subtree, so that the
    // root's own right chain is printed like any other.
    nod top = {0, root, nullptr};
    nod *n = &top;
    while (n != nullptr) {
        if (n->left == nullptr) {
            n = n->right;
            continue;
        }
        nod *p = thread_end(n);
        if (p->right == nullptr) {
            p->right = n;
            n = n->left;
        } else {
            p->right = nullptr;
            print_right_chain_reversed(n->left);
            n = n->right;
        }
    }
}

void BST_print(BST_TREE *tree, int order)
{
    assert(tree != nullptr);
    std::puts("BST_TREE");
    std::printf("size : %d\n", tree->size);
    std::printf("data : ");
    switch (order) {
    case 0:
        traverse_preorder(tree->root);
        break;
    case 1:
        traverse_inorder(tree->root);
        break;
    case 2:
        traverse_postorder(tree->root);
        break;
    default:
        std::puts("type error");
        break;
    }
    std::putchar('\n');
}
