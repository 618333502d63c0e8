// Watches the unbalanced tree as a load fills it, and warns once, on the
// message stream (message.h), when insertions have become so deep that the load is on
// course to take minutes instead of about a second.
//
// Every chain_watch_every entries the loader passes the tree and the block
// of keys it has just inserted; the watch walks the insertion path (less
// goes left, anything else right, as BST_insert does) of one key of the
// block and counts its levels. Which key is drawn afresh for each block
// from the watch's own pseudo-random sequence, so that no pattern of other
// keys among a chain's can stand where every look falls: at a fixed place
// (the block's last key, say), keys of a chain with a small key at every
// 128th entry would never be walked. Walking a key already in the tree goes
// through its own node and on to where another copy would hang, at least
// as deep as the key's own insertion went: a chain key of the block is at
// most one block's worth of levels short of the chain's depth, so that a
// chain that starts the file warns by entry 19,968, and wherever it starts,
// within 20,000 entries of its first key.
// Keys in ascending or descending order, one key repeated or keys that
// close in from both sides (0, n, 1, n-1, ...) build a chain, each
// insertion one level deeper than the last: the load's cost, the sum of the
// insertions' depths, then grows with the square of the entries (500
// billion steps for a million keys, against 25 million for random ones).
// The warning comes once a look reaches chain_watch_depth levels: within
// 20,000 entries of a chain's first key, wherever it starts in the file
// (40,000 for two chains grown by turns), while random keys (about 50
// levels at most for a million) and nearly sorted ones never reach it.
// When other keys stand among a chain's, each look lands on a chain key
// with at least the chain's share of the block: with chain keys at least
// every other entry, the chance that 20 looks (2,560 entries) past the
// threshold all miss is under one in a million.
// Nearly sorted keys do build chains at first, trees up to 18,198 levels
// high in the files that make_sample --order nearly-sorted writes with
// seeds 1 to 6 (13,860 with seed 1); a pure depth threshold can tell them
// from a chain that starts the file only below 20,000 levels, hence this
// one.
#ifndef CHAIN_WATCH_H
#define CHAIN_WATCH_H

#include "ADT_tree.h"

constexpr int chain_watch_every = 128;     // entries between looks
constexpr int chain_watch_depth = 19840;  // levels at which the warning is out

struct chain_watch {
    const char *file;     // the file named in the warning
    int warn_depth;       // levels that bring the warning: chain_watch_depth
    int depth;            // levels of the last path looked at
    bool warned;          // the warning has been written; no more looks
    unsigned draw;        // the state of the sequence that picks a block's key
};

// Starts a watch that warns at warn_depth levels (0 for chain_watch_depth).
void chain_watch_init(chain_watch *w, const char *file, int warn_depth);

// Walks the insertion path of one of the chain_watch_every keys at block,
// just inserted into tree, unless the warning is out already. Returns true
// when the warning is due: the caller then calls chain_watch_warn.
bool chain_watch_look(chain_watch *w, const BST_TREE *tree, const int *block);

// Warns (message.h), in one line, of the key of entry (counting from 1)
// that the last look found too deep, in tree. The load ends its progress
// line first, so that the warning stands on a line of its own.
void chain_watch_warn(chain_watch *w, const BST_TREE *tree, int entry);

#endif
