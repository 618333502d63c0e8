#include "ADT_llist.h"

#include <cassert>
#include <cstdlib>

LLIST *create_list(llist_compare compare, llist_print print)
{
    LLIST *list = static_cast<LLIST *>(std::malloc(sizeof(LLIST)));
    if (list != nullptr) {
        list->count = 0;
        list->head = nullptr;
        list->tail = nullptr;
        list->cur = nullptr;
        list->compare = compare;
        list->print = print;
    }
    return list;
}

void destroy_list(LLIST *list)
{
    if (list == nullptr)
        return;
    for (node *n = list->head; n != nullptr;) {
        node *next = n->next;
        std::free(n);
        n = next;
    }
    std::free(list);
}

bool add_node_at(LLIST *list, unsigned position, void *element)
{
    assert(list != nullptr);
    if (list->count < position)
        return false;
    node *n = static_cast<node *>(std::malloc(sizeof(node)));
    if (n == nullptr)
        return false;
    // The link to the position; cur ends on the node before it, when any.
    node **link = &list->head;
    for (unsigned i = 0; i != position; i++) {
        list->cur = *link;
        link = &list->cur->next;
    }
    n->data = element;
    n->next = *link;
    *link = n;
    if (n->next == nullptr)
        list->tail = n;
    list->count++;
    return true;
}

bool del_node_at(LLIST *list, unsigned position)
{
    assert(list != nullptr);
    if (position >= list->count)
        return false;
    node *before = nullptr;
    node **link = &list->head;
    for (unsigned i = 0; i != position; i++) {
        before = *link;
        link = &before->next;
    }
    node *n = *link;
    assert(n != nullptr); // count says the list holds it
    *link = n->next;
    if (list->tail == n)
        list->tail = before;
    std::free(n);
    list->cur = nullptr;
    list->count--;
    return true;
}

void *get_data_at(LLIST *list, unsigned position)
{
    assert(list != nullptr);
    if (position >= list->count)
        return nullptr;
    list->cur = list->head;
    for (unsigned i = 0; i != position; i++)
        list->cur = list->cur->next;
    return list->cur->data;
}

int find_data(LLIST *list, void *key)
{
    assert(list != nullptr && list->compare != nullptr);
    int i = 0;
    for (list->cur = list->head; list->cur != nullptr; list->cur = list->cur->next, i++) {
        if (list->compare(list->cur->data, key) == 0)
            return i;
    }
    return -1;
}

void print_all(LLIST *list, node *start)
{
    assert(start == nullptr || (list != nullptr && list->print != nullptr));
    for (node *n = start; n != nullptr;) {
        list->print(n->data);
        n = n->next;
    }
}
