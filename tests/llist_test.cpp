#include "ADT_llist.h"
#include "list_checker.h"
#include "malloc_fail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

int compare_calls = 0;

int compare_ints(void *element, void *key)
{
    compare_calls++;
    return *static_cast<int *>(element) == *static_cast<int *>(key) ? 0 : 1;
}

std::vector<void *> printed_elements;

void record(void *element)
{
    printed_elements.push_back(element);
}

struct list_fixture : ::testing::Test {
    LLIST *list = create_list(compare_ints, record);
    int a = 1, b = 2, c = 3, x = 9;

    list_fixture() { printed_elements.clear(); }
    ~list_fixture() override { destroy_list(list); }
    void fill_abc()
    {
        ASSERT_TRUE(add_node_at(list, 0, &c));
        ASSERT_TRUE(add_node_at(list, 0, &b));
        ASSERT_TRUE(add_node_at(list, 0, &a));
    }
    std::vector<void *> abc() { return {&a, &b, &c}; }
};

// ---- creation and insertion ----

TEST_F(list_fixture, NewListIsEmptyWithItsCallbacks)
{
    EXPECT_EQ(list->count, 0u);
    EXPECT_EQ(list->head, nullptr);
    EXPECT_EQ(list->tail, nullptr);
    EXPECT_EQ(list->cur, nullptr);
    EXPECT_EQ(list->compare, compare_ints);
    EXPECT_EQ(list->print, record);
}

TEST_F(list_fixture, InsertIntoEmptyList)
{
    fail_malloc_at(0);
    EXPECT_FALSE(add_node_at(list, 1, &a));
    EXPECT_EQ(mallocs_seen(), 0);
    ASSERT_TRUE(add_node_at(list, 0, &a));
    EXPECT_EQ(list->count, 1u);
    EXPECT_EQ(list->head, list->tail);
    EXPECT_EQ(list->head->data, &a);
    EXPECT_EQ(check_list(list), "");
}

TEST_F(list_fixture, InsertAtHeadMiddleAndEnd)
{
    fill_abc();
    EXPECT_EQ(elements(list), abc());
    EXPECT_EQ(list->cur, nullptr); // head insertions leave the cursor alone

    ASSERT_TRUE(add_node_at(list, 1, &x));
    EXPECT_EQ(elements(list), (std::vector<void *>{&a, &x, &b, &c}));
    EXPECT_EQ(list->cur, list->head);
    EXPECT_EQ(list->tail->data, &c);

    ASSERT_TRUE(add_node_at(list, 4, &x));
    EXPECT_EQ(list->tail->data, &x);
    EXPECT_EQ(list->cur->next, list->tail);
    EXPECT_EQ(list->cur->data, &c);
    EXPECT_FALSE(add_node_at(list, 6, &x));
    EXPECT_EQ(list->count, 5u);
    EXPECT_EQ(check_list(list), "");
}

TEST_F(list_fixture, FailedAllocationChangesNothing)
{
    fill_abc();
    list->cur = list->head->next;
    for (unsigned position : {0u, 1u, 3u}) {
        malloc_failure fail(1);
        EXPECT_FALSE(add_node_at(list, position, &x));
    }
    EXPECT_EQ(elements(list), abc());
    EXPECT_EQ(list->cur, list->head->next);
    EXPECT_EQ(check_list(list), "");
    malloc_failure fail(1);
    EXPECT_EQ(create_list(compare_ints, record), nullptr);
}

// ---- search ----

TEST_F(list_fixture, FindDataReturnsTheFirstMatchFromTheHead)
{
    int key = 2;
    compare_calls = 0;
    EXPECT_EQ(find_data(list, &key), -1);
    EXPECT_EQ(compare_calls, 0);

    int b2 = 2;
    fill_abc();
    ASSERT_TRUE(add_node_at(list, 3, &b2));
    compare_calls = 0;
    EXPECT_EQ(find_data(list, &key), 1);
    EXPECT_EQ(compare_calls, 2);
    EXPECT_EQ(list->cur, list->head->next);

    key = 7;
    compare_calls = 0;
    EXPECT_EQ(find_data(list, &key), -1);
    EXPECT_EQ(compare_calls, 4);
    EXPECT_EQ(list->cur, nullptr);
}

TEST_F(list_fixture, AMillionHeadInsertionsRunAscending)
{
    const int n = 1000000;
    std::vector<int> values(n);
    for (int i = 0; i < n; i++) {
        values[i] = n - i;
        ASSERT_TRUE(add_node_at(list, 0, &values[i]));
    }
    EXPECT_EQ(*static_cast<int *>(list->head->data), 1);
    EXPECT_EQ(*static_cast<int *>(list->tail->data), n);
    int target = 999999;
    EXPECT_EQ(find_data(list, &target), 999998);
    EXPECT_EQ(check_list(list), "");

    // Every node and the handle go back, no element; a null list is a no-op.
    stop_failing_malloc();
    destroy_list(list);
    list = nullptr;
    EXPECT_EQ(frees_seen(), n + 1);
}

// ---- removal ----

TEST_F(list_fixture, RemoveTheOnlyNodeThenReuseTheList)
{
    ASSERT_TRUE(add_node_at(list, 0, &a));
    list->cur = list->head;
    fail_malloc_at(0);
    EXPECT_TRUE(del_node_at(list, 0));
    EXPECT_EQ(frees_seen(), 1);
    EXPECT_EQ(list->count, 0u);
    EXPECT_EQ(list->head, nullptr);
    EXPECT_EQ(list->tail, nullptr);
    EXPECT_EQ(list->cur, nullptr);
    EXPECT_FALSE(del_node_at(list, 0));
    ASSERT_TRUE(add_node_at(list, 0, &b));
    ASSERT_TRUE(add_node_at(list, 1, &c));
    EXPECT_EQ(elements(list), (std::vector<void *>{&b, &c}));
    EXPECT_EQ(check_list(list), "");
}

TEST_F(list_fixture, RemoveHeadMiddleAndTail)
{
    struct example {
        unsigned position;
        std::vector<int> left; // indexes into a, b, c
    };
    for (const example &e : {example{0, {1, 2}}, example{1, {0, 2}}, example{2, {0, 1}}}) {
        SCOPED_TRACE("position " + std::to_string(e.position));
        fill_abc();
        list->cur = list->head;
        fail_malloc_at(0);
        EXPECT_TRUE(del_node_at(list, e.position));
        EXPECT_EQ(frees_seen(), 1);
        EXPECT_EQ(list->cur, nullptr);
        std::vector<void *> want;
        for (int i : e.left)
            want.push_back(abc()[i]);
        EXPECT_EQ(elements(list), want);
        EXPECT_EQ(list->head->data, want.front());
        EXPECT_EQ(list->tail->data, want.back());
        EXPECT_EQ(check_list(list), "");
        while (list->count > 0)
            del_node_at(list, 0);
    }
}

TEST_F(list_fixture, RemovePastTheEndChangesNothing)
{
    fill_abc();
    list->cur = list->head->next;
    fail_malloc_at(0);
    EXPECT_FALSE(del_node_at(list, 3));
    EXPECT_FALSE(del_node_at(list, 4000000000u));
    EXPECT_EQ(frees_seen(), 0);
    EXPECT_EQ(list->cur, list->head->next);
    EXPECT_EQ(elements(list), abc());
}

// ---- positional access ----

TEST_F(list_fixture, GetDataAtEachEnd)
{
    fill_abc();
    EXPECT_EQ(get_data_at(list, 0), &a);
    EXPECT_EQ(list->cur, list->head);
    EXPECT_EQ(get_data_at(list, 2), &c);
    EXPECT_EQ(list->cur, list->tail);
    EXPECT_EQ(get_data_at(list, 3), nullptr);
    EXPECT_EQ(list->cur, list->tail);
    ASSERT_TRUE(add_node_at(list, 0, nullptr));
    EXPECT_EQ(get_data_at(list, 0), nullptr);
    EXPECT_EQ(list->cur, list->head);
}

// ---- printing ----

TEST_F(list_fixture, PrintAllFromHeadMiddleAndNull)
{
    fill_abc();
    list->cur = list->tail;
    print_all(list, list->head);
    EXPECT_EQ(printed_elements, abc());
    printed_elements.clear();
    print_all(list, list->head->next);
    EXPECT_EQ(printed_elements, (std::vector<void *>{&b, &c}));
    printed_elements.clear();
    print_all(list, nullptr);
    EXPECT_TRUE(printed_elements.empty());
    EXPECT_EQ(list->cur, list->tail);
}

LLIST *growing_list; // for the callback below

// Appends a node while being printed; print_all must then reach it.
void print_and_append(void *element)
{
    static int extra = 0;
    printed_elements.push_back(element);
    if (printed_elements.size() == 1)
        add_node_at(growing_list, growing_list->count, &extra);
}

TEST_F(list_fixture, PrintAllReadsNextAfterTheCallback)
{
    fill_abc();
    growing_list = list;
    list->print = print_and_append;
    print_all(list, list->tail);
    EXPECT_EQ(printed_elements.size(), 2u);
    EXPECT_EQ(list->count, 4u);
}

// ---- against a model ----

TEST(list_model, SeededRandomOperationsMatchAVector)
{
    static int pool[16];
    for (int i = 0; i < 16; i++)
        pool[i] = i % 8; // equal values behind different pointers
    for (unsigned seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        LLIST *list = create_list(compare_ints, record);
        std::vector<void *> model;
        for (int step = 0; step < 500; step++) {
            unsigned size = static_cast<unsigned>(model.size());
            unsigned position = std::uniform_int_distribution<unsigned>(0, size + 1)(rng);
            void *element = &pool[rng() % 16];
            fail_malloc_at(0);
            switch (rng() % 4) {
            case 0:
                ASSERT_EQ(add_node_at(list, position, element), position <= size);
                if (position <= size)
                    model.insert(model.begin() + position, element);
                break;
            case 1:
                ASSERT_EQ(del_node_at(list, position), position < size);
                ASSERT_EQ(frees_seen(), position < size ? 1 : 0);
                if (position < size)
                    model.erase(model.begin() + position);
                break;
            case 2:
                ASSERT_EQ(get_data_at(list, position), position < size ? model[position] : nullptr);
                break;
            default: {
                int want = -1;
                for (unsigned i = 0; i < size && want < 0; i++)
                    if (*static_cast<int *>(model[i]) == *static_cast<int *>(element))
                        want = static_cast<int>(i);
                ASSERT_EQ(find_data(list, element), want);
            }
            }
            ASSERT_EQ(check_list(list), "") << "step " << step;
            ASSERT_EQ(elements(list), model) << "step " << step;
        }
        destroy_list(list);
    }
}

} // namespace
