// The list's callbacks for tests whose elements point to ints: equal or
// not, and a print that prints nothing.
#ifndef INT_CALLBACKS_H
#define INT_CALLBACKS_H

inline int compare_ints(void *element, void *key)
{
    return *static_cast<int *>(element) == *static_cast<int *>(key) ? 0 : 1;
}

inline void print_nothing(void *) {}

#endif
