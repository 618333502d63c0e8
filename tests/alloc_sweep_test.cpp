// Allocation-failure sweep: one scripted workload over both modules is run
// with its 1st, then its 2nd, ... allocation failing (once, and from then
// on), until a run completes without a failure. Every operation is checked
// as it returns: a failed allocation must be reported and leave its
// container exactly as it was; at the end nothing may be left allocated.
#include "ADT_llist.h"
#include "ADT_tree.h"
#include "int_callbacks.h"
#include "list_checker.h"
#include "malloc_fail.h"
#include "tree_checker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int pool[8] = {0, 1, 2, 3, 4, 5, 6, 7};

void run_workload()
{
    BST_TREE *tree = create_bst_tree();
    LLIST *list = create_list(compare_ints, print_nothing);
    BST_TREE *bare = create_bst_tree(); // its root is grown by add_bst alone
    if (tree == nullptr || list == nullptr || bare == nullptr) {
        ASSERT_GT(failures_seen(), 0);
        destroy_bst_tree(tree);
        destroy_list(list);
        destroy_bst_tree(bare);
        return;
    }
    ASSERT_EQ(tree->size, 0);
    ASSERT_EQ(list->count, 0u);

    model_tree tree_model;
    std::vector<void *> list_model;
    nod *&subtree = bare->root;
    model_tree subtree_model;

    for (int step = 0; step < 40; step++) {
        SCOPED_TRACE("step " + std::to_string(step));
        int key = (step * 7) % 11 - 5;

        long failures = failures_seen();
        bool inserted = BST_insert(tree, key);
        ASSERT_EQ(inserted, failures_seen() == failures);
        if (inserted)
            tree_model.insert(key);
        ASSERT_EQ(check_tree(tree), "");
        ASSERT_EQ(tree->size, tree_model.size);
        ASSERT_EQ(tree_shape(tree->root), tree_model.shape());

        failures = failures_seen();
        nod *before = subtree;
        nod *after = add_bst(subtree, key);
        if (failures_seen() == failures) {
            subtree = after;
            subtree_model.insert(key);
        } else {
            ASSERT_EQ(after, before); // null for an empty subtree, else unchanged
        }
        ASSERT_EQ(tree_shape(subtree), subtree_model.shape());

        unsigned count = list->count;
        unsigned position = step % 4 == 0 ? 0 : step % 4 == 1 ? count : step % 4 == 2 ? count / 2 : count + 1;
        void *element = &pool[step % 8];
        failures = failures_seen();
        bool added = add_node_at(list, position, element);
        ASSERT_EQ(added, position <= count && failures_seen() == failures);
        if (added)
            list_model.insert(list_model.begin() + position, element);
        ASSERT_EQ(check_list(list), "");
        ASSERT_EQ(elements(list), list_model);

        if (step % 3 == 2) { // removals keep the containers small and varied
            ASSERT_EQ(BST_delete(tree, key), tree_model.remove(key));
            if (list->count > 0) {
                unsigned third = list->count / 3;
                ASSERT_TRUE(del_node_at(list, third));
                list_model.erase(list_model.begin() + static_cast<long>(third));
            }
        }
    }

    destroy_bst_tree(tree);
    destroy_list(list);
    destroy_bst_tree(bare);
}

TEST(alloc_sweep, EveryAllocationOfTheWorkloadCanFail)
{
    for (bool from_then_on : {false, true}) {
        for (long n = 1;; n++) {
            SCOPED_TRACE(std::string(from_then_on ? "from" : "at") + " allocation " + std::to_string(n));
            fail_malloc_at(n, from_then_on);
            run_workload();
            long mallocs = mallocs_seen();
            long failures = failures_seen();
            long frees = frees_seen();
            stop_failing_malloc();
            ASSERT_FALSE(HasFatalFailure());
            EXPECT_EQ(mallocs - failures, frees) << "blocks left allocated";
            if (failures == 0) {
                EXPECT_GT(n, 100); // the workload really allocates
                break;
            }
        }
    }
}

} // namespace
