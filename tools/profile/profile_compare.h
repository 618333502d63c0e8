// Two runs' call graphs compared, as pprof's -base does: what changed from
// a base run to a new one, function by function and call by call.
#ifndef PROFILE_COMPARE_H
#define PROFILE_COMPARE_H

#include "profile_graph.h"

// The graph of the change from base to now, two profiles of one kind and
// one cost: the union of their functions, matched by name, object file
// name and source file name (not their folders, so that two builds in
// different folders match), and of their calls. A function's percent and
// self are the changes of its shares with callees and on its own, as shares
// of the base's total (with normalize, the base is first scaled to the new
// total, so that they are changes of shares); shares[] are its shares with
// callees in each run, -1 in a run it is absent from. An arc's percent is
// the change of the cost through it, base_calls and calls its calls in
// each run. Exact wherever each run's figures are, recursion included.
profile_graph compare_profiles(const profile_graph &base, const profile_graph &now, bool normalize);

#endif
