#include "tree_checker.h"

std::vector<int> inorder_keys(const nod *root)
{
    std::vector<int> keys;
    std::vector<const nod *> stack;
    const nod *n = root;
    while (n != nullptr || !stack.empty()) {
        for (; n != nullptr; n = n->left)
            stack.push_back(n);
        n = stack.back();
        stack.pop_back();
        keys.push_back(n->data);
        n = n->right;
    }
    return keys;
}

std::string check_tree(const BST_TREE *tree)
{
    std::vector<int> keys = inorder_keys(tree->root);
    if (keys.size() != static_cast<std::size_t>(tree->size))
        return "size " + std::to_string(tree->size) + " but " + std::to_string(keys.size()) +
               " nodes";
    for (std::size_t i = 1; i < keys.size(); i++)
        if (keys[i - 1] > keys[i])
            return "in-order walk decreases at " + std::to_string(i);
    return "";
}

std::string tree_shape(const nod *root)
{
    if (root == nullptr)
        return "-";
    return "(" + std::to_string(root->data) + " " + tree_shape(root->left) + " " +
           tree_shape(root->right) + ")";
}

void model_tree::insert(int key)
{
    root = insert_at(root, key);
    size++;
}

bool model_tree::remove(int key)
{
    bool found = false;
    int r = remove_at(root, key, &found);
    if (found) {
        root = r;
        size--;
    }
    return found;
}

std::string model_tree::shape() const
{
    return shape_at(root);
}

int model_tree::insert_at(int subtree, int key)
{
    if (subtree < 0) {
        nodes.push_back({key, -1, -1});
        return static_cast<int>(nodes.size()) - 1;
    }
    if (nodes[subtree].key > key) {
        int left = insert_at(nodes[subtree].left, key);
        nodes[subtree].left = left;
    } else {
        int right = insert_at(nodes[subtree].right, key);
        nodes[subtree].right = right;
    }
    return subtree;
}

int model_tree::remove_at(int subtree, int key, bool *found)
{
    if (subtree < 0) {
        *found = false;
        return -1;
    }
    model_node &n = nodes[subtree];
    if (n.key > key) {
        n.left = remove_at(n.left, key, found);
        return subtree;
    }
    if (n.key < key) {
        n.right = remove_at(n.right, key, found);
        return subtree;
    }
    *found = true;
    if (n.left < 0)
        return n.right;
    if (n.right < 0)
        return n.left;
    int pred = n.left;
    while (nodes[pred].right >= 0)
        pred = nodes[pred].right;
    n.key = nodes[pred].key;
    n.left = remove_at(n.left, n.key, found);
    return subtree;
}

std::string model_tree::shape_at(int subtree) const
{
    if (subtree < 0)
        return "-";
    const model_node &n = nodes[subtree];
    return "(" + std::to_string(n.key) + " " + shape_at(n.left) + " " + shape_at(n.right) + ")";
}
