// What callgrind's reader (callgrind_profile.cpp) gathers, and the
// profile's functions and arcs made of it.
#ifndef CALLGRIND_COSTS_H
#define CALLGRIND_COSTS_H

#include "profile.h"

#include <vector>

// What callgrind's reader gathers of each function beyond its own cost.
struct callgrind_sums {
    double first_self = 0;    // its own cost at its first level: NAME itself, not NAME'2
    double into = 0;          // what the calls into its first level from other functions cost
    double out_of_first = 0;  // what the calls out of its first level cost
    double out_to_others = 0; // of those, the calls to other functions
    bool called = false;      // another function called its first level
    bool has_levels = false;  // it was met as NAME'2 or deeper
};

// Sets the costs with callees of p's functions from their sums, p's arcs
// holding their calls and costs, in a run of total. A function's cost with
// callees is that of the calls into its first level from other functions,
// which never nest; one that nothing calls, or
// whose calls out cost more than the calls into it (a thread's start, whose
// thread's costs are in its calls out), counts its own cost and its calls
// out. An arc's cost is that of its calls from the caller's first level or
// into the callee's. Without levels (--separate-recs=1), functions that
// call each other count at most their group's cost, from the calls into the
// group, and are marked as bounds; a thread's start is no member of a group.
// False, with *error, when a function or a call that can't nest costs more
// than the whole run.
bool callgrind_costs(const std::vector<callgrind_sums> &sums, count total, profile *p, std::string *error);

#endif
