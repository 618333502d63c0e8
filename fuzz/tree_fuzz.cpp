// Operation sequences on the tree, checked against the reference tree and
// the checker. Each operation takes two bytes: what to do, and a key from a
// small range so that equal keys and deletions of present keys are common.
#include "ADT_tree.h"
#include "tree_checker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The walks print; their output isn't what is checked here.
    check(std::freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    BST_TREE *tree = create_bst_tree();
    check(tree != nullptr);
    model_tree model;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        int key = static_cast<std::int8_t>(data[i + 1]) % 16;
        switch (data[i] % 6) {
        case 0:
        case 1:
            check(BST_insert(tree, key));
            model.insert(key);
            break;
        case 2: {
            bool removed = BST_delete(tree, key);
            check(removed == model.remove(key));
            break;
        }
        case 3: {
            nod *found = search_bst(tree->root, key);
            std::vector<int> keys = inorder_keys(tree->root);
            bool present = false;
            for (int k : keys)
                present = present || k == key;
            check(found == nullptr ? !present : found->data == key);
            break;
        }
        case 4:
            if (tree->root != nullptr) {
                std::vector<int> keys = inorder_keys(tree->root);
                check(find_smallest_node(tree->root)->data == keys.front());
                check(find_largest_node(tree->root)->data == keys.back());
            }
            break;
        default:
            BST_print(tree, key % 4);
            break;
        }
        check(check_tree(tree).empty());
        check(tree->size == model.size);
    }
    check(tree_shape(tree->root) == model.shape());
    destroy_bst_tree(tree);
    return 0;
}
