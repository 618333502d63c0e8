#include "ADT_llist.h"

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
    if (list->count < position)
        return false;
    node *n = static_cast<node *>(std::malloc(sizeof(node)));
    if (n == nullptr)
        return false;
    n->data = element;
    n->next = nullptr;

    if (list->count == 0) {
        list->head = n;
        list->tail = n;
    } else if (position == 0) {
        n->next = list->head;
        list->head = n;
    } else {
        list->cur = list->head;
        for (unsigned i = 1; i != position; i++)
            list->cur = list->cur->next;
        if (position == list->count) {
            list->cur->next = n;
            list->tail = n;
        } else {
            n->next = list->cur->next;
            list->cur->next = n;
        }
    }
    list->count++;
    return true;
}

bool del_node_at(LLIST *list, unsigned position)
{
    if (position >= list->count)
        return false;

    if (list->count == 1) {
        std::free(list->head);
        list->head = nullptr;
        list->tail = nullptr;
        list->cur = nullptr;
        list->count = 0;
        return true;
    }

    node *prev = nullptr;
    list->cur = list->head;
    for (unsigned i = 0; i != position; i++) {
        prev = list->cur;
        list->cur = list->cur->next;
    }
    if (position == 0) {
        list->head = list->cur->next;
    } else if (position == list->count - 1) {
        prev->next = nullptr;
        list->tail = prev;
    } else {
        prev->next = list->cur->next;
    }
    std::free(list->cur);
    list->cur = nullptr;
    list->count--;
    return true;
}

void *get_data_at(LLIST *list, unsigned position)
{
    if (position >= list->count)
        return nullptr;
    list->cur = list->head;
    for (unsigned i = 0; list->cur != nullptr; i++) {
        if (i == position)
            return list->cur->data;
        list->cur = list->cur->next;
    }
    return nullptr;
}

int find_data(LLIST *list, void *key)
{
    int i = 0;
    for (list->cur = list->head; list->cur != nullptr; list->cur = list->cur->next, i++) {
        if (list->compare(list->cur->data, key) == 0)
            return i;
    }
    return -1;
}

void print_all(LLIST *list, node *start)
{
    for (node *n = start; n != nullptr;) {
        list->print(n->data);
        n = n->next;
    }
}
