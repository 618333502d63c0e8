// gprof's call graph, the text of `gprof -b`, read into a profile_graph.
// gprof's "<cycle N as a whole>" entries are left out (their members are
// read), as are "<spontaneous>" callers, which are no function.
#ifndef GPROF_PROFILE_H
#define GPROF_PROFILE_H

#include "profile_graph.h"
#include "profile_lines.h"

#include <string>

// Reads gprof -b's text from lines into *g. A profile that isn't a
// complete, well-formed call graph, or can't be read, gives false with
// *error: "line N: what is wrong", or what is wrong with the whole.
bool read_gprof_profile(profile_lines *lines, profile_graph *g, std::string *error);

#endif
