#include "ADT_tree.h"
#include "malloc_fail.h"
#include "tree_checker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

// The sanitizer build keeps the containers' asserts and really sanitizes,
// whatever the build type's own flags say.
#if defined(MAIN_LLIST_SANITIZED) && (defined(NDEBUG) || !defined(__SANITIZE_ADDRESS__))
#error "the sanitizer build must have the asserts on and AddressSanitizer"
#endif

namespace {

struct tree_fixture : ::testing::Test {
    BST_TREE *tree = create_bst_tree();
    ~tree_fixture() override { destroy_bst_tree(tree); }

    void insert_all(const std::vector<int> &keys)
    {
        for (int k : keys)
            ASSERT_TRUE(BST_insert(tree, k));
    }
    std::string shape() const { return tree_shape(tree->root); }
};

std::string printed(BST_TREE *tree, int order)
{
    ::testing::internal::CaptureStdout();
    BST_print(tree, order);
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// Expected walks, from the reference tree, by plain recursion.
void walk(const model_tree &m, int t, int order, std::string *out)
{
    if (t < 0)
        return;
    const auto &n = m.nodes[t];
    std::string key = std::to_string(n.key) + " ";
    if (order == 0)
        *out += key;
    walk(m, n.left, order, out);
    if (order == 1)
        *out += key;
    walk(m, n.right, order, out);
    if (order == 2)
        *out += key;
}

// ---- insertion ----

TEST_F(tree_fixture, NewTreeIsEmptyAndFirstInsertMakesTheRoot)
{
    EXPECT_EQ(tree->size, 0);
    EXPECT_EQ(tree->root, nullptr);
    ASSERT_TRUE(BST_insert(tree, 7));
    EXPECT_EQ(tree->size, 1);
    EXPECT_EQ(shape(), "(7 - -)");
}

TEST(tree_insert, ShapesFollowTheOrderingRule)
{
    struct example {
        std::vector<int> keys;
        std::string shape;
    };
    const example examples[] = {
        {{5, 3, 8}, "(5 (3 - -) (8 - -))"},
        {{5, 3, 8, 3}, "(5 (3 - (3 - -)) (8 - -))"},
        {{5, 5}, "(5 - (5 - -))"},
        {{-1, 1, 0}, "(-1 - (1 (0 - -) -))"},
        {{1, 2, 3}, "(1 - (2 - (3 - -)))"},
        {{3, 2, 1}, "(3 (2 (1 - -) -) -)"},
        {{-2147483647 - 1, 2147483647, 0}, "(-2147483648 - (2147483647 (0 - -) -))"},
    };
    for (const example &e : examples) {
        BST_TREE *tree = create_bst_tree();
        for (int k : e.keys)
            ASSERT_TRUE(BST_insert(tree, k));
        EXPECT_EQ(tree_shape(tree->root), e.shape);
        EXPECT_EQ(tree->size, static_cast<int>(e.keys.size()));
        destroy_bst_tree(tree);
    }
}

TEST_F(tree_fixture, AddBstReturnsTheSubtreeRoot)
{
    nod *root = add_bst(nullptr, 5);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(add_bst(root, 3), root);
    EXPECT_EQ(add_bst(root, 9), root);
    tree->root = root;
    tree->size = 3;
    EXPECT_EQ(shape(), "(5 (3 - -) (9 - -))");
}

TEST(tree_insert, SeededRandomInsertionsMatchTheReferenceTree)
{
    for (unsigned seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> key(-15, 15);
        BST_TREE *tree = create_bst_tree();
        model_tree model;
        for (int step = 0; step < 300; step++) {
            int k = key(rng);
            ASSERT_TRUE(BST_insert(tree, k));
            model.insert(k);
            ASSERT_EQ(check_tree(tree), "");
            ASSERT_EQ(tree->size, model.size);
        }
        EXPECT_EQ(tree_shape(tree->root), model.shape());
        destroy_bst_tree(tree);
    }
}

TEST_F(tree_fixture, FailedAllocationChangesNothing)
{
    {
        malloc_failure fail(1, true);
        EXPECT_FALSE(BST_insert(tree, 1));
        EXPECT_EQ(add_bst(nullptr, 1), nullptr);
    }
    EXPECT_EQ(tree->size, 0);
    EXPECT_EQ(tree->root, nullptr);

    insert_all({5, 3, 8});
    std::string before = shape();
    {
        malloc_failure fail(1, true);
        EXPECT_FALSE(BST_insert(tree, 4)); // below the root
        EXPECT_FALSE(BST_insert(tree, 9));
        EXPECT_EQ(add_bst(tree->root, 1), tree->root);
        EXPECT_EQ(create_bst_tree(), nullptr);
    }
    EXPECT_EQ(tree->size, 3);
    EXPECT_EQ(shape(), before);
}

// ---- search and extreme nodes ----

TEST_F(tree_fixture, SearchFindsTheNodeNearestTheRoot)
{
    insert_all({5, 3, 8, 3});
    EXPECT_EQ(search_bst(tree->root, 3), tree->root->left);
    EXPECT_EQ(search_bst(tree->root, 8), tree->root->right);
    EXPECT_EQ(search_bst(tree->root, 4), nullptr);
    EXPECT_EQ(search_bst(nullptr, 4), nullptr);
}

TEST_F(tree_fixture, SmallestAndLargestNodes)
{
    insert_all({3});
    EXPECT_EQ(find_smallest_node(tree->root), tree->root);
    EXPECT_EQ(find_largest_node(tree->root), tree->root);
    insert_all({3, -4, 10, 7});
    EXPECT_EQ(find_smallest_node(tree->root), tree->root->left);
    EXPECT_EQ(find_largest_node(tree->root), tree->root->right->right);
    EXPECT_EQ(find_largest_node(tree->root)->data, 10);
}

// ---- deletion ----

TEST_F(tree_fixture, DeleteFromEmptyOrMissingKeyChangesNothing)
{
    EXPECT_FALSE(BST_delete(tree, 1));
    EXPECT_EQ(tree->size, 0);
    bool found = true;
    EXPECT_EQ(delete_bst(nullptr, 1, &found), nullptr);
    EXPECT_FALSE(found);

    insert_all({5, 3, 8});
    fail_malloc_at(0); // reset counters
    EXPECT_FALSE(BST_delete(tree, 4));
    found = true;
    EXPECT_EQ(delete_bst(tree->root, 9, &found), tree->root);
    EXPECT_FALSE(found);
    EXPECT_EQ(frees_seen(), 0);
    EXPECT_EQ(tree->size, 3);
    EXPECT_EQ(shape(), "(5 (3 - -) (8 - -))");
}

TEST_F(tree_fixture, DeleteOnlyKeyEmptiesTheTree)
{
    insert_all({5});
    EXPECT_TRUE(BST_delete(tree, 5));
    EXPECT_EQ(tree->root, nullptr);
    EXPECT_EQ(tree->size, 0);
    EXPECT_FALSE(BST_delete(tree, 5));
}

TEST_F(tree_fixture, DeleteRootWithTwoChildrenKeepsTheNode)
{
    insert_all({5, 3, 8, 2, 4});
    nod *root = tree->root;
    fail_malloc_at(0);
    EXPECT_TRUE(BST_delete(tree, 5));
    EXPECT_EQ(frees_seen(), 1);
    EXPECT_EQ(tree->root, root);
    EXPECT_EQ(shape(), "(4 (3 (2 - -) -) (8 - -))");
    EXPECT_EQ(tree->size, 4);
    EXPECT_EQ(inorder_keys(tree->root), (std::vector<int>{2, 3, 4, 8}));
}

TEST_F(tree_fixture, DeleteInnerNodeWithTwoChildrenThenALeaf)
{
    insert_all({5, 3, 8, 2, 4});
    nod *three = tree->root->left;
    nod *four = three->right;
    EXPECT_TRUE(BST_delete(tree, 3));
    EXPECT_EQ(tree->root->left, three);
    EXPECT_EQ(three->right, four);
    EXPECT_EQ(shape(), "(5 (2 - (4 - -)) (8 - -))");
    EXPECT_TRUE(BST_delete(tree, 8));
    EXPECT_EQ(tree->root->right, nullptr);
    EXPECT_EQ(tree->size, 3);
}

TEST_F(tree_fixture, DeleteWithDuplicatePredecessorRemovesTheFirstOnItsPath)
{
    insert_all({10, 5, 5, 15});
    nod *root = tree->root;
    nod *second_five = root->left->right;
    EXPECT_TRUE(BST_delete(tree, 10));
    EXPECT_EQ(tree->root, root);
    EXPECT_EQ(root->left, second_five);
    EXPECT_EQ(shape(), "(5 (5 - -) (15 - -))");
    EXPECT_EQ(tree->size, 3);
    EXPECT_EQ(search_bst(tree->root, 5), root);
    EXPECT_EQ(check_tree(tree), "");
}

TEST_F(tree_fixture, DeleteNodeWithOneChildLiftsTheChild)
{
    insert_all({5, 5});
    nod *second = tree->root->right;
    EXPECT_TRUE(BST_delete(tree, 5));
    EXPECT_EQ(tree->root, second);
    EXPECT_EQ(tree->size, 1);
    EXPECT_TRUE(BST_delete(tree, 5));
    EXPECT_EQ(tree->root, nullptr);
    EXPECT_FALSE(BST_delete(tree, 5));

    insert_all({5, 3});
    nod *three = tree->root->left;
    bool found = false;
    tree->root = delete_bst(tree->root, 5, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(tree->root, three);
}

TEST(tree_delete, SeededRandomMixMatchesTheReferenceTree)
{
    for (unsigned seed = 1; seed <= 30; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> key(0, 12);
        std::bernoulli_distribution insert(0.55);
        BST_TREE *tree = create_bst_tree();
        model_tree model;
        for (int step = 0; step < 400; step++) {
            int k = key(rng);
            if (insert(rng)) {
                ASSERT_TRUE(BST_insert(tree, k));
                model.insert(k);
            } else {
                fail_malloc_at(0);
                bool removed = BST_delete(tree, k);
                ASSERT_EQ(removed, model.remove(k)) << "step " << step << " key " << k;
                ASSERT_EQ(frees_seen(), removed ? 1 : 0);
            }
            ASSERT_EQ(check_tree(tree), "") << "step " << step;
            ASSERT_EQ(tree->size, model.size);
            ASSERT_EQ(tree_shape(tree->root), model.shape()) << "step " << step;
        }
        destroy_bst_tree(tree);
    }
}

// ---- printing ----

TEST_F(tree_fixture, PrintsEachOrderUnderTheHeader)
{
    insert_all({5, 3, 8});
    EXPECT_EQ(printed(tree, 0), "BST_TREE\nsize : 3\ndata : 5 3 8 \n");
    EXPECT_EQ(printed(tree, 1), "BST_TREE\nsize : 3\ndata : 3 5 8 \n");
    EXPECT_EQ(printed(tree, 2), "BST_TREE\nsize : 3\ndata : 3 8 5 \n");
    EXPECT_EQ(printed(tree, 5), "BST_TREE\nsize : 3\ndata : type error\n\n");
    EXPECT_EQ(printed(tree, -1), "BST_TREE\nsize : 3\ndata : type error\n\n");
}

TEST_F(tree_fixture, PrintsAnEmptyTree)
{
    for (int order : {0, 1, 2})
        EXPECT_EQ(printed(tree, order), "BST_TREE\nsize : 0\ndata : \n");
    EXPECT_EQ(printed(tree, 3), "BST_TREE\nsize : 0\ndata : type error\n\n");
}

TEST_F(tree_fixture, PrintsNegativeAndEqualKeys)
{
    insert_all({0, -3, 7, -3, 7, -2147483647 - 1});
    EXPECT_EQ(printed(tree, 1), "BST_TREE\nsize : 6\ndata : -2147483648 -3 -3 0 7 7 \n");
    EXPECT_EQ(printed(tree, 0), "BST_TREE\nsize : 6\ndata : 0 -3 -2147483648 -3 7 7 \n");
    EXPECT_EQ(printed(tree, 2), "BST_TREE\nsize : 6\ndata : -2147483648 -3 -3 7 7 0 \n");
}

TEST(tree_print, WalksOfRandomTreesMatchRecursionAndLeaveTheTreeAlone)
{
    for (unsigned seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> key(-50, 50);
        BST_TREE *tree = create_bst_tree();
        model_tree model;
        for (int i = 0; i < 200; i++) {
            int k = key(rng);
            BST_insert(tree, k);
            model.insert(k);
        }
        if (seed % 2 == 0) { // deletions leave equal keys on the left too
            for (int k = -50; k <= 50; k += 3)
                ASSERT_EQ(BST_delete(tree, k), model.remove(k));
        }
        std::string shape = tree_shape(tree->root);
        for (int order : {0, 1, 2}) {
            std::string keys;
            walk(model, model.root, order, &keys);
            EXPECT_EQ(printed(tree, order),
                      "BST_TREE\nsize : " + std::to_string(model.size) + "\ndata : " + keys + "\n");
            EXPECT_EQ(tree_shape(tree->root), shape);
        }
        destroy_bst_tree(tree);
    }
}

// ---- chains deeper than any call stack ----

// A chain of n nodes built by hand: keys 0..n-1 down right links
// (ascending) or n-1..0 down left links (descending).
BST_TREE *chain(int n, bool ascending)
{
    BST_TREE *tree = create_bst_tree();
    nod **link = &tree->root;
    for (int i = 0; i < n; i++) {
        nod *x = static_cast<nod *>(std::malloc(sizeof(nod)));
        x->data = ascending ? i : n - 1 - i;
        x->left = x->right = nullptr;
        *link = x;
        link = ascending ? &x->right : &x->left;
    }
    tree->size = n;
    return tree;
}

std::string numbers(int from, int to) // "from ... to " stepping by one
{
    std::string s;
    for (int i = from;; i += from <= to ? 1 : -1) {
        s += std::to_string(i) + " ";
        if (i == to)
            return s;
    }
}

TEST(tree_chain, EveryOperationWorksOnAMillionLevels)
{
    const int n = 1000000;
    for (bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "right chain" : "left chain");
        BST_TREE *tree = chain(n, ascending);
        nod *bottom = ascending ? find_largest_node(tree->root) : find_smallest_node(tree->root);
        EXPECT_EQ(bottom->data, ascending ? n - 1 : 0);

        // Inserted at the bottom of the chain.
        int below = ascending ? n : -1;
        ASSERT_TRUE(BST_insert(tree, below));
        nod *added = ascending ? bottom->right : bottom->left;
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added->data, below);
        EXPECT_EQ(add_bst(tree->root, below), tree->root);
        tree->size++;
        EXPECT_EQ(search_bst(tree->root, below), added);
        EXPECT_EQ(search_bst(tree->root, ascending ? n + 1 : -2), nullptr);
        EXPECT_EQ(check_tree(tree), "");

        std::string in_all = ascending ? numbers(0, n - 1) + std::to_string(n) + " " +
                                             std::to_string(n) + " "
                                       : "-1 " + numbers(-1, n - 1);
        EXPECT_EQ(printed(tree, 1), "BST_TREE\nsize : " + std::to_string(n + 2) + "\ndata : " +
                                        in_all + "\n");
        std::string pre = ascending ? in_all : numbers(n - 1, -1) + "-1 ";
        EXPECT_EQ(printed(tree, 0), "BST_TREE\nsize : " + std::to_string(n + 2) + "\ndata : " +
                                        pre + "\n");
        std::string post = ascending ? std::to_string(n) + " " + std::to_string(n) + " " +
                                           numbers(n - 1, 0)
                                     : "-1 " + numbers(-1, n - 1);
        EXPECT_EQ(printed(tree, 2), "BST_TREE\nsize : " + std::to_string(n + 2) + "\ndata : " +
                                        post + "\n");

        // Delete at the bottom, then the top, of the chain.
        EXPECT_TRUE(BST_delete(tree, below));
        EXPECT_TRUE(BST_delete(tree, below));
        EXPECT_EQ(ascending ? bottom->right : bottom->left, nullptr);
        EXPECT_TRUE(BST_delete(tree, ascending ? 0 : n - 1));
        EXPECT_FALSE(BST_delete(tree, n + 5));
        EXPECT_EQ(tree->size, n - 1);
        EXPECT_EQ(check_tree(tree), "");

        stop_failing_malloc();
        destroy_bst_tree(tree);
        EXPECT_EQ(frees_seen(), n); // n - 1 nodes and the handle
    }
}

TEST(tree_destroy, FreesEveryNodeOfAnyShapeAndTheHandle)
{
    destroy_bst_tree(nullptr);
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 1000}) {
        BST_TREE *tree = create_bst_tree();
        for (int i = 0; i < n; i++)
            ASSERT_TRUE(BST_insert(tree, static_cast<int>(rng() % 100)));
        stop_failing_malloc();
        destroy_bst_tree(tree);
        EXPECT_EQ(frees_seen(), n + 1) << n << " keys";
    }
}

} // namespace
