// The program's exit statuses, and tree_shape's for the same faults of its
// input: the one list of them.
#ifndef EXIT_STATUS_H
#define EXIT_STATUS_H

enum exit_status {
    STATUS_DONE = 0,
    STATUS_READ_FAILED = 1,  // the input can't be opened or read
    STATUS_BAD_INPUT = 2,    // too few integers, or an entry that isn't one in the 32-bit range
    STATUS_NO_MEMORY = 3,
    STATUS_WRITE_FAILED = 4, // the result line can't be written
};

#endif
