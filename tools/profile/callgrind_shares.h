// The shares of callgrind's profile, from the costs that its reader
// (callgrind_profile.h) gathers: the levels of recursion merged into their
// functions, and shares taken from calls that never nest in one another.
#ifndef CALLGRIND_SHARES_H
#define CALLGRIND_SHARES_H

#include "profile_graph.h"

#include <vector>

using cost = unsigned long long;

// A function at one level of recursion: NAME, or NAME'2 and deeper.
struct level {
    int box;    // the function drawn (its id in the graph): NAME in its object and file
    bool first; // NAME itself
    cost self;
};

struct call {
    int caller, callee; // levels
    cost count, inclusive;
};

// Sets the shares of graph's functions, whose ids are levels' boxes, and
// adds its arcs, from the costs of the levels and the calls between them. A
// function's share with callees is the sum of the calls into its first
// level from other functions, which never nest; one that nothing calls,
// or whose calls out cost more than the calls into it (a thread's start),
// counts its own cost and its calls out. An arc's share is that of its
// calls from the caller's first level or into the callee's. Without levels
// (--separate-recs=1), functions that call each other show at most their
// group's share, and are marked as bounds.
void callgrind_shares(const std::vector<level> &levels, const std::vector<call> &calls, profile_graph *graph);

#endif
