// A profile as its profiler counted it, whichever profiler that was: the
// cost of each function on its own and with its callees, of each call arc,
// and of the whole run, in the profiler's unit (seconds for gprof, an
// event's count for callgrind), and the calls as numbers. Nothing here is a
// share: shares are worked out once, where the graph is drawn
// (profile_drawing.h).
//
// read_profile tells gprof's text from callgrind's file by its first line;
// hide_functions and focus_functions leave out what --hide and --focus say.
#ifndef PROFILE_H
#define PROFILE_H

#include "profile_lines.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <re2/re2.h>
#include <string>
#include <vector>

using count = unsigned long long;

struct profile_function {
    std::string name;
    std::string object;       // the path of its object (callgrind), or ""
    std::string file;         // its source file: callgrind's fl=, gprof's for a static function; or ""
    double self = 0;          // its cost on its own
    double inclusive = 0;     // its cost with its callees
    count calls = 0;          // the calls into it from other functions
    count recursive = 0;      // the calls into it from itself
    bool bound = false;       // inclusive is a bound: that of a group of functions that call each other
};

struct profile_arc {
    std::size_t caller, callee; // indexes into the profile's functions
    double cost = 0;            // what the callee and its callees cost through this arc
    count calls = 0;
    bool timed = true;          // false where gprof gives calls and no time (within a cycle, a call to itself)
};

struct profile {
    std::string kind = "gprof"; // the profiler: "gprof", "callgrind" or "perf", or "folded" stacks
    std::string cost = "time";  // what is counted: "time", or an event, such as "Ir" or "cpu-clock"
    bool calls_counted = true;  // perf counts samples, not calls
    double total = 0;          // the run's cost; 0 when nothing was counted
    bool focused = false;       // of the samples whose stack holds a match of read_profile's focus alone
    std::vector<profile_function> functions;
    std::vector<profile_arc> arcs;
};

// Reads a profile from in, gprof's text, callgrind's file, perf script's
// text or folded stacks, as its first line says, callgrind's and perf's by
// event (the file's first when empty). With focus, a profile of stacks
// keeps only the samples whose stack holds a function whose name or object
// matches, and says so (focused); the others are left whole. Returns 0
// when it was read; else the exit status, 1 when in can't be read or
// gprof's text is over 256 MiB, 2 when it isn't a whole, well-formed
// profile, with *error: "line N: what is wrong", or what is wrong with the
// whole.
int read_profile(std::FILE *in, const std::string &event, profile *p, std::string *error, const RE2 *focus = nullptr);

// The readers behind read_profile: false with *error saying what is wrong
// with lines->line, or with the whole when *whole is set.
bool read_gprof(profile_lines *lines, profile *p, std::string *error, bool *whole);
bool read_callgrind(profile_lines *lines, const std::string &event, profile *p, std::string *error, bool *whole);
bool is_callgrind(std::string_view first_line);
bool is_perf(std::string_view first_line);

// A pattern from a user (--hide, --focus, --function): RE2's, which takes
// linear time and bounded memory whatever the pattern; null, with *error,
// when text is no pattern.
std::unique_ptr<RE2> pattern_of(const char *text, std::string *error);

// Leaves out the functions whose name or object matches pattern, as
// pprof's -hide does: what each cost through a caller counts in that
// caller's own cost, and a function that a hidden one calls is drawn as
// called by the hidden one's callers, each in proportion to the cost and
// the calls it gave the hidden one.
void hide_functions(profile *p, const RE2 &pattern);

// Keeps only the functions on call paths through a function whose name or
// object matches pattern, as pprof's -focus does: those, their callers and
// their callees, all the way.
void focus_functions(profile *p, const RE2 &pattern);

#endif
