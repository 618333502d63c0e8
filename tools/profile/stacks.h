// Whole stacks, as a sampling profiler records them: perf script's text,
// or folded stacks ("ROOT;...;LEAF COUNT", a line a distinct stack, the
// exchange format of flame graph tools; "STACK BASE NOW" for two runs).
// The readers aggregate equal stacks, so a stack is distinct and weighs the
// cost of all the samples that had it.
//
// read_stacks reads either, as its first line says; fold_stacks turns
// stacks into a profile of functions and arcs, as gprof_dot draws it.
#ifndef STACKS_H
#define STACKS_H

#include "profile.h"

#include <cstdint>
#include <string>
#include <vector>

// What a frame's code is, for its colour: its command (perf's COMMAND, the
// root of each of its stacks), the program's own, a library's, the
// kernel's, or of no known object.
enum class frame_kind : char { command, program, library, kernel, unknown };

struct stack_frame {
    std::string name;   // perf's symbol without its offset, "[unknown]" where it has none; or the folded frame
    std::string object; // the path of its object; "" for a command and in folded stacks
    frame_kind kind = frame_kind::program;
    bool inlined = false; // perf's "(inlined)", folded "_[i]"
};

// A frame's source line, as perf script -F +srcline gives it.
struct source_position {
    std::string file; // as perf names it, its base name
    count line = 0;
};

struct stack {
    std::vector<std::uint32_t> frames; // indexes into the set's frames, root first
    double cost[2] = {0, 0};           // the base's and this run's; cost[0] only in a two-count folded file
    double samples = 0;                // this run's samples (perf), or cost[1] (folded)
    std::vector<std::uint32_t> lines;  // with srclines, each frame's, an index into the set's positions; else empty
    std::uint32_t event = 0;           // of perf's events read, an index into the set's events
};

struct stack_set {
    std::string kind = "perf";  // "perf" or "folded"
    std::string cost = "samples"; // perf's event; "samples" for folded stacks
    bool two_runs = false;      // a two-count folded file: each stack has the base's cost too
    double total[2] = {0, 0};   // the runs' costs, those of frameless samples included
    std::vector<stack_frame> frames;
    std::vector<stack> stacks;
    std::vector<std::string> events;       // perf's events read, as cost names them
    std::vector<double> totals;            // each one's cost, frameless samples included
    bool srclines = false;                 // perf's text held srclines
    std::vector<source_position> positions; // the srclines, positions[0] none
};

// The name a frame is shown by, in flame graphs and folded stacks: perf's
// "[unknown]" symbol as its object's file name in brackets; with suffixes,
// a kernel's frame takes "_[k]" and an inlined one "_[i]".
std::string frame_name(const stack_frame &f, bool suffixes);

// Reads stacks from in, perf script's text or folded stacks, as its first
// line says, perf's by event (the file's first when empty); gprof's text
// and callgrind's file are refused. Returns 0 when they were read; else the
// exit status, 1 when in can't be read, 2 when it holds no whole,
// well-formed stacks, with *error: "line N: what is wrong", or what is
// wrong with the whole.
int read_stacks(std::FILE *in, const std::string &event, stack_set *s, std::string *error);

// The readers behind read_stacks: false with *error saying what is wrong
// with lines->line, or with the whole when *whole is set.
bool read_perf_stacks(profile_lines *lines, const std::string &event, stack_set *s, std::string *error, bool *whole);
// As read_perf_stacks, keeping the stacks of each of events, each stack's
// event an index into them.
bool read_perf_events(profile_lines *lines, const std::vector<std::string> &events, stack_set *s, std::string *error,
                      bool *whole);
bool read_folded(profile_lines *lines, stack_set *s, std::string *error, bool *whole);
bool is_folded(std::string_view first_line);

// Keeps the stacks that hold a frame whose name or object matches pattern;
// the runs' totals stay the whole runs'.
void focus_stacks(stack_set *s, const RE2 &pattern);

// A run's profile from its stacks (run 1, or 0 for a two-count file's
// base): with callees, a function counts the stacks that hold it, once a
// stack however deep the recursion; on its own, those it is the leaf of;
// an arc, the stacks that have the caller directly above the callee, once
// a stack. A command's frame is no function. No calls are counted.
void fold_stacks(const stack_set &s, int run, profile *p);

#endif
