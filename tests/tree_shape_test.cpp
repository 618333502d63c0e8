// The tree shape worked out from the insertion order, against the real tree
// that BST_insert builds.
#include "ADT_tree.h"
#include "insertion_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// The real tree's figures, by a walk with an explicit stack.
tree_figures built_shape(const std::vector<int> &keys)
{
    BST_TREE *tree = create_bst_tree();
    for (int k : keys)
        EXPECT_TRUE(BST_insert(tree, k));
    tree_figures f{tree->size, 0, 0, {0}};
    std::vector<std::pair<const nod *, long long>> stack;
    if (tree->root != nullptr)
        stack.push_back({tree->root, 1});
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        f.height = std::max(f.height, depth);
        f.at_depth.resize(static_cast<std::size_t>(f.height) + 1, 0);
        f.at_depth[static_cast<std::size_t>(depth)]++;
        f.depth_sum += depth;
        for (const nod *child : {n->left, n->right})
            if (child != nullptr)
                stack.push_back({child, depth + 1});
    }
    destroy_bst_tree(tree);
    return f;
}

std::vector<int> keys_of(const std::string &order, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<int> keys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; i++) {
        int random = static_cast<int>(rng());
        keys[i] = order == "random"          ? random
                  : order == "few distinct"  ? random % 5
                  : order == "ascending"     ? i
                  : order == "descending"    ? -i
                  : order == "repeated"      ? 7
                  : order == "zigzag"        ? (i % 2 == 0 ? i / 2 : n - i / 2)
                  : order == "nearly sorted" ? (rng() % 50 == 0 ? random : i)
                                             : 0;
    }
    return keys;
}

TEST(insertion_shape, EqualsTheTreeThatBstInsertBuilds)
{
    for (const char *order : {"random", "few distinct", "ascending", "descending", "repeated",
                              "zigzag", "nearly sorted"}) {
        for (int n : {0, 1, 2, 3, 100, 3000}) {
            for (unsigned seed : {1u, 2u}) {
                SCOPED_TRACE(std::string(order) + ", " + std::to_string(n) + " keys, seed " +
                             std::to_string(seed));
                std::vector<int> keys = keys_of(order, n, seed);
                tree_figures want = built_shape(keys);
                tree_figures got = insertion_shape(keys);
                EXPECT_EQ(got.nodes, want.nodes);
                EXPECT_EQ(got.height, want.height);
                EXPECT_EQ(got.depth_sum, want.depth_sum);
                EXPECT_EQ(got.at_depth, want.at_depth);
            }
        }
    }
}

} // namespace
