#include "list_checker.h"

std::string check_list(const LLIST *list)
{
    if ((list->head == nullptr) != (list->count == 0) || (list->tail == nullptr) != (list->count == 0))
        return "head or tail null while count is " + std::to_string(list->count);
    unsigned walked = 0;
    const node *last = nullptr;
    for (const node *n = list->head; n != nullptr && walked <= list->count; n = n->next) {
        last = n;
        walked++;
    }
    if (walked != list->count)
        return "count " + std::to_string(list->count) + " but at least " + std::to_string(walked) +
               " nodes";
    if (list->tail != last)
        return "tail is not the last node";
    return "";
}

std::vector<void *> elements(const LLIST *list)
{
    std::vector<void *> out;
    for (const node *n = list->head; n != nullptr; n = n->next)
        out.push_back(n->data);
    return out;
}
