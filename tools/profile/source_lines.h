// What each source line of a profile's functions cost: its own cost, what
// was counted while the program was at it, and its calls', what the calls
// made at it cost with their callees, for each event read. callgrind's file
// gives a line to each cost line and calls= line; perf script's text made
// with -F +srcline gives one to each frame of a stack.
//
// read_lines reads either, as its first line says; line_costs shows them.
#ifndef SOURCE_LINES_H
#define SOURCE_LINES_H

#include "stacks.h"

#include <cstdio>
#include <string>
#include <vector>

struct source_line {
    std::size_t function = 0;        // an index into the profile's functions
    std::string file;                // as the profile names it; "" where the profiler knew no line
    count line = 0;                  // from 1; 0 where the profiler knew none
    std::vector<double> own, calls;  // an entry an event
};

struct line_profile {
    profile p;                       // the functions: name, object and file
    std::vector<std::string> events; // those read, as the profile names them
    std::vector<double> totals;      // each event's cost in the run
    std::vector<std::vector<double>> self, inclusive; // each function's, an entry an event
    std::vector<source_line> lines;
};

// Reads a profile's lines from in: callgrind's file with line positions,
// or perf script's text with srclines, for events ({""}: callgrind's all,
// perf's first). A line's calls count the calls from a function's
// outermost level only (callgrind's NAME, not NAME'2), or once a stack
// (perf), so that a recursion's calls are never counted twice. Returns 0,
// or the exit status and *error as read_profile does; gprof's text, folded
// stacks, and profiles that hold no lines are refused, saying how to
// record lines.
int read_lines(std::FILE *in, const std::vector<std::string> &events, line_profile *lp, std::string *error);

// The readers behind read_lines.
bool read_callgrind_lines(profile_lines *lines, const std::vector<std::string> &events, line_profile *lp,
                          std::string *error, bool *whole);
void lines_of_stacks(const stack_set &s, line_profile *lp);

#endif
