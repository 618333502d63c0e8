// Singly linked list of caller-owned elements (void pointers).
//
// A list is an LLIST handle (count, head, tail, a walking cursor and two
// callbacks) over node records.
//   create_list    new empty list with its compare and print callbacks
//   add_node_at    insert an element at a position (0 is the head)
//   del_node_at    remove the node at a position
//   get_data_at    the element at a position
//   find_data      position of the first element that matches a key
//   print_all      print the elements from a given node to the tail
//   destroy_list   free every node and the handle, no element
//
// The list owns its nodes, not its elements: it stores the caller's pointers,
// never copies, inspects (other than through the callbacks) or frees what
// they point to, and removal frees only the node. The caller keeps every
// element alive while the list refers to it.
//
// The cursor cur is the walking pointer of add_node_at, del_node_at,
// get_data_at and find_data; each sets it to head before it walks and leaves
// it where its comment says. So even lookups write to the list, and the
// compare callback must not call any of those four on the list it is
// searching.
//
// The handle and every node come from malloc; a removed node goes back with
// free. destroy_list is the only operation that frees a whole list or its
// handle. No operation writes a message. Builds without NDEBUG (Debug, the
// sanitizer build) assert each operation's preconditions at its entry: a
// handle, and the callback that the operation calls; the Release libraries
// test nothing.
//
// There is no lock, and no operation may run alongside any other on the same
// list, lookups and prints included: every walk but print_all writes cur.
//
// The header serves C (C99 on) and C++ alike; the operations have C linkage.
#ifndef ADT_LLIST_H
#define ADT_LLIST_H

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// Compares an element (first argument) with a key (second): returns 0 when
// the element matches the key; any other value means no match.
typedef int (*llist_compare)(void *element, void *key);

// Prints one element.
typedef void (*llist_print)(void *element);

typedef struct node node;
struct node {
    void *data; // the caller's element
    node *next; // following node; null at the tail
};

typedef struct LLIST LLIST;
struct LLIST {
    unsigned count;        // number of nodes
    node *head;            // first node, position 0; null when empty
    node *tail;            // last node; null when empty
    node *cur;             // walking cursor (see above)
    llist_compare compare; // called by find_data
    llist_print print;     // called by print_all
};

// Returns a new empty list holding the two callbacks, or null when the handle
// can't be allocated.
LLIST *create_list(llist_compare compare, llist_print print);

// Frees every node of list and then the handle; nothing for a null list. The
// elements are the caller's and are not touched.
void destroy_list(LLIST *list);

// Inserts element so that it stands at position; position count appends.
// Returns true on success. Returns false and leaves the list as it was when
// position is greater than count or the node can't be allocated. Position 0
// and an empty list leave cur alone; any other position leaves cur on the
// node before the new one.
bool add_node_at(LLIST *list, unsigned position, void *element);

// Removes the node at position, without touching its element. Returns true
// with cur null; returns false and changes nothing (cur included) when
// position is not less than count.
bool del_node_at(LLIST *list, unsigned position);

// Returns the element at position, leaving cur on its node; null when
// position is not less than count (cur then untouched). A null element
// stored in the list also gives null.
void *get_data_at(LLIST *list, unsigned position);

// Returns the position of the first element, from the head, for which the
// compare callback returns 0 with key, leaving cur on its node; -1 when none
// does (cur then null). The callback is called once per node visited, up to
// and including the match.
int find_data(LLIST *list, void *key);

// Calls the print callback on the element of start and of every node after
// it, in order; nothing for a null start. print_all(list, list->head) prints
// the whole list. Each node's next is read only after the callback returns,
// which may read the list but must not remove the node it is given. Neither
// head nor cur is used or changed.
void print_all(LLIST *list, node *start);

#ifdef __cplusplus
}
#endif

#endif
