/* Uses both containers from C: builds a tree and a list, searches and
   prints them, and gives their memory back. */
#include "ADT_llist.h"
#include "ADT_tree.h"

#include <stdio.h>

/* The list's callbacks: compare returns 0 when the element equals the key
   (its sign is never used); print writes one element. */
static int compare_int(void *element, void *key)
{
    return *(int *)element != *(int *)key;
}

static void print_int(void *element)
{
    printf("%d\n", *(int *)element);
}

int main(void)
{
    int values[] = {5, 3, 8, 3}; /* the list holds pointers to these */
    BST_TREE *tree = create_bst_tree();
    LLIST *list = create_list(compare_int, print_int);
    if (tree == NULL || list == NULL)
        return 1;
    for (unsigned i = 0; i < 4; i++) {
        if (!BST_insert(tree, values[i]) || !add_node_at(list, list->count, &values[i]))
            return 1;
    }
    int key = 8;
    bool found = search_bst(tree->root, key) != NULL;
    int position = find_data(list, &key);
    BST_print(tree, 1);           /* in-order, under the tree's header */
    print_all(list, list->head);  /* 5 3 8 3, one per line */
    printf("found %d: %s, at position %d\n", key, found ? "yes" : "no", position);
    destroy_bst_tree(tree);
    destroy_list(list);           /* frees the nodes; the elements stay yours */
    return found && position == 2 ? 0 : 1;
}
