// The program's workload, as one operation that the program (and a test,
// with another input, count or target) calls: reads the integers of an
// input into a tree while it puts pointers to the values count down to 1
// at the head of a list, then searches the list for the target.
//
// It writes nothing but the chain warning and the progress line, on the
// message stream (message.h; see chain_watch.h and load_progress.h); it
// returns what happened, and the caller says it, with load_failure for a
// load that stopped, and chooses the exit status.
#ifndef LOAD_RUN_H
#define LOAD_RUN_H

#include "ADT_llist.h"
#include "ADT_tree.h"
#include "int_reader.h"

// What a run builds. Nothing of it is freed (the list's elements point
// into values); the caller keeps it reachable until the process exits.
struct load_run {
    int *keys;         // slot i: the integer read in pass i
    int *values;       // slot i: count - i, the element pass i puts in the list
    LLIST *list;
    BST_TREE *tree;
    int_reader reader; // its line and text say where a read stopped
};

struct load_setup {
    int fd;                          // the input, read from where it stands; not closed
    int entries;                     // integers to read
    int target;                      // the value searched for in the list
    int (*compare)(void *, void *);  // the list's callbacks
    void (*print)(void *);
    const char *file;                // the input's name in the warning and the progress line
    bool terminal;                   // the message stream is a terminal: show the progress line
    // Left as they are but in tests:
    double (*clock)() = nullptr;     // the progress line's clock, in seconds; null for the system's
    int warn_depth = 0;              // levels that bring the chain warning; 0 for chain_watch_depth
};

enum load_status {
    LOAD_DONE,         // position holds the search's result
    LOAD_NO_MEMORY,    // a buffer or handle (entry 0), or a node for entry, couldn't be allocated
    LOAD_BAD_READ,     // reading entry gave read; run->reader says where and what
};

struct load_outcome {
    load_status status;
    int entry;          // the entry (from 1) at which the load stopped, 0 for none
    read_result read;   // for LOAD_BAD_READ
    int position;       // for LOAD_DONE: find_data's result, -1 when the target is absent
};

// Allocates both buffers, then creates the list and the tree, into *run;
// then for each entry i from 0: stores entries - i in values[i], reads keys[i],
// adds &values[i] at the head of the list and inserts keys[i] into the
// tree; then searches the list for the target. Stops at the first read that
// isn't an integer or allocation that fails.
load_outcome load_and_search(load_run *run, const load_setup *setup);

// Says what stopped a load (not LOAD_DONE) in one message (message.h),
// "FILE: entry N (line L): what is wrong", reader telling where a read
// stopped (int_reader_failure words it) and needed being the entries the
// load needed, and returns the exit status for it (exit_status.h).
int load_failure(const load_outcome &outcome, const int_reader *reader, const char *file, int needed);

#endif
