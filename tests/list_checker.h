// Independent checks for the list module.
#ifndef LIST_CHECKER_H
#define LIST_CHECKER_H

#include "ADT_llist.h"

#include <string>
#include <vector>

// Empty when the list's invariants hold (walked length equals count, tail is
// the last node, head and tail null exactly when empty); otherwise what is
// wrong. Stops walking past count, so a cycle can't hang it.
std::string check_list(const LLIST *list);

// The elements from head to tail.
std::vector<void *> elements(const LLIST *list);

#endif
