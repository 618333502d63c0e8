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

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <re2/re2.h>
#include <string>
#include <string_view>
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
    std::string kind = "gprof"; // the profiler: "gprof", "callgrind" or "perf"
    std::string cost = "time";  // what is counted: "time", or an event, such as "Ir" or "cpu-clock"
    bool calls_counted = true;  // perf counts samples, not calls
    double total = 0;          // the run's cost; 0 when nothing was counted
    std::vector<profile_function> functions;
    std::vector<profile_arc> arcs;
};

// The text of a profile, a line at a time, and the words of a line: the
// one tokenizer of both readers, so that both read stdin or a file as a
// stream.
constexpr std::size_t longest_profile_line = std::size_t{16} << 20;

struct profile_lines {
    std::FILE *in = nullptr;
    std::size_t limit = SIZE_MAX; // the most bytes read of in; past it, reading stops
    std::string_view line;        // the line read, without its "\n" or "\r\n", until the next is read
    std::size_t number = 0;       // the line's number, from 1; at the end, the last line's
    std::size_t bytes = 0;        // bytes read so far
    bool again = false;           // next_line gives the same line once more
    bool failed = false;          // in couldn't be read, or is past limit
    std::string block;            // bytes read from in
    std::size_t next = 0;         // where the next line starts in block
};

// Reads the next line into lines->line. False at the end, with *error
// empty, or when in can't be read (failed set), is past the limit (failed
// set), has a line longer than longest_profile_line or holding a NUL byte,
// with *error saying what is wrong with the line, or, past the limit,
// "larger than N MiB: not read".
bool next_line(profile_lines *lines, std::string *error);

// The words of text, separated by blanks and tabs; where the run of
// blanks (blank) or of other bytes (!blank) from at ends.
std::vector<std::string_view> words(std::string_view text);
std::size_t blanks_from(std::string_view text, std::size_t at, bool blank);

// Reads a profile from in, gprof's text, callgrind's file or perf script's
// text as its first line says, callgrind's and perf's by event (the file's
// first when empty). Returns 0 when it
// was read; else the exit status, 1 when in can't be read or gprof's text is
// over 256 MiB, 2 when it isn't a whole, well-formed profile, with *error:
// "line N: what is wrong", or what is wrong with the whole.
int read_profile(std::FILE *in, const std::string &event, profile *p, std::string *error);

// The readers behind read_profile: false with *error saying what is wrong
// with lines->line, or with the whole when *whole is set.
bool read_gprof(profile_lines *lines, profile *p, std::string *error, bool *whole);
bool read_callgrind(profile_lines *lines, const std::string &event, profile *p, std::string *error, bool *whole);
bool is_callgrind(std::string_view first_line);
bool read_perf(profile_lines *lines, const std::string &event, profile *p, std::string *error, bool *whole);
bool is_perf(std::string_view first_line);

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
