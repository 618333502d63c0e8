// The progress line of a load, for the person at the terminal: entries
// loaded, share done, time taken and the rate (the average on the first
// line, then over the interval since the line before),
// rewritten in place a few times a second once the load has taken more than
// a second. Shown only when the caller says the stream is a terminal.
#ifndef LOAD_PROGRESS_H
#define LOAD_PROGRESS_H

#include <cstdio>

struct load_progress {
    std::FILE *out;       // where the line goes: stderr in the program
    const char *file;     // the file named in it
    int total;            // entries the load reads
    bool shown;           // show the line at all: out is a terminal
    double (*now)();      // a monotonic clock, in seconds
    double start;         // now() when the load began
    double shown_at;      // when the line was last written
    int shown_count;      // entries loaded then
    bool line_open;       // the line is on screen, without a newline
};

// Starts the progress of a load of total entries from file; shown tells
// whether out is a terminal, where the line is shown, and clock is a
// monotonic clock in seconds (null for the system's). The line starts with
// the program's name (message.h).
void load_progress_init(load_progress *p, std::FILE *out, bool shown, double (*clock)(), const char *file,
                        int total);

// Rewrites the line when it is due; called every so many entries.
void load_progress_update(load_progress *p, int loaded);

// Ends the line, if one is showing, with its final figures and a newline:
// before anything else is written to the terminal.
void load_progress_finish(load_progress *p, int loaded);

#endif
