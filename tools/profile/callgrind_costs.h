// What callgrind's reader (callgrind_profile.cpp) gathers, and the
// profile's functions and arcs made of it.
#ifndef CALLGRIND_COSTS_H
#define CALLGRIND_COSTS_H

#include "profile.h"

#include <vector>

// A function at one level of recursion: NAME, or NAME'2 and deeper.
struct callgrind_level {
    std::size_t function; // NAME in its object and file, the profile's function
    bool first;           // NAME itself
    count self;
};

struct callgrind_call {
    std::size_t caller, callee; // levels
    count calls, cost;
};

struct callgrind_levels {
    std::vector<callgrind_level> levels;
    std::vector<callgrind_call> calls; // in the profile's order
    count total = 0;                   // the parts' totals
};

// Sets the costs of p's functions, which the levels name, and adds their
// arcs. A function's cost with callees is that of the calls into its first
// level from other functions, which never nest; one that nothing calls, or
// whose calls out cost more than the calls into it (a thread's start, whose
// thread's costs are in its calls out), counts its own cost and its calls
// out. An arc's cost is that of its calls from the caller's first level or
// into the callee's. Without levels (--separate-recs=1), functions that
// call each other count at most their group's cost, from the calls into the
// group, and are marked as bounds; a thread's start is no member of a group.
// False, with *error, when a function or a call that can't nest costs more
// than the whole run.
bool callgrind_costs(const callgrind_levels &gathered, profile *p, std::string *error);

#endif
