// callgrind's profile (callgrind.out.PID), read into a profile_graph, as
// valgrind's description of the format (its cl-format.html) gives it:
// name compression, subposition compression, any positions, jumps, several
// parts (--combine-dumps=yes), whose costs add up.
//
// A function is its name with its object (ob=): the same name in two
// objects is two functions. Callgrind names a call into a function already
// on the stack NAME'2 (or deeper); those levels are merged into NAME, and
// its share with callees is the sum of the calls into its first level,
// which never nest, from other functions; a function that nothing calls
// counts its own cost and its calls out. An arc's share is that of its
// calls from the caller's first level or into the callee's, which never
// nest either. With --separate-recs=1 there are no levels: a function that
// calls itself is still exact, and functions that call each other show at
// most the share of their group, whose calls in from outside never nest;
// no share is ever above 100 %.
#ifndef CALLGRIND_PROFILE_H
#define CALLGRIND_PROFILE_H

#include "profile_graph.h"
#include "profile_lines.h"

#include <string>

// Whether a profile whose first line is first_line is callgrind's.
bool is_callgrind_profile(const std::string &first_line);

// Reads callgrind's profile from lines, a line at a time: memory grows with
// the functions and calls, not the lines. The shares are of event's costs
// (the file's first event when event is empty). A profile that is broken,
// or lacks event, or can't be read gives false with *error: "line N: what
// is wrong".
bool read_callgrind_profile(profile_lines *lines, const std::string &event, profile_graph *g, std::string *error);

#endif
