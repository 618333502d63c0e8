// gprof's call graph, the text of `gprof -b`, read into a profile_graph.
// gprof's "<cycle N as a whole>" entries are left out (their members are
// read), as are "<spontaneous>" callers, which are no function.
#ifndef GPROF_PROFILE_H
#define GPROF_PROFILE_H

#include "profile_graph.h"

#include <string>

// Whether t is a plain decimal as gprof writes them: digits, and a point
// with digits after it.
bool is_decimal(const std::string &t);

// Reads gprof -b's text into *g. A profile that isn't a complete,
// well-formed call graph gives false with *error: "line N: what is wrong",
// or what is wrong with the whole.
bool read_gprof_profile(const std::string &text, profile_graph *g, std::string *error);

#endif
