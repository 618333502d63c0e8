// What the program tells the person at the terminal while it loads its
// file, on stderr only:
//   - when stderr is a terminal and the load has taken more than a second,
//     a progress line (entries loaded, share done, time taken, current
//     rate), rewritten in place a few times a second;
//   - whatever stderr is, one warning when keys come in ascending or
//     descending order, or as one key repeated, for chain_warning_run
//     entries in a row (or a little fewer: runs are looked at every
//     feedback_every entries): such keys build a chain in the unbalanced
//     tree, and the load then takes quadratic time.
// The loop calls load_feedback_update every feedback_every entries, and
// load_feedback_finish before it writes anything else to stderr or stdout.
#ifndef LOAD_FEEDBACK_H
#define LOAD_FEEDBACK_H

#include <cstdio>

constexpr int feedback_every = 128;       // entries between updates
constexpr int chain_warning_run = 10000;  // keys in order by which the warning is out

struct load_feedback {
    std::FILE *out;     // where the lines go: stderr in the program
    const char *file;   // the file named in them
    int total;          // entries the load reads
    bool progress;      // show the progress line
    double (*now)();    // a monotonic clock, in seconds
    double start;       // now() when the load began
    double shown_at;    // when the progress line was last written
    int shown_count;    // entries loaded then
    bool line_open;     // the progress line is on screen, without a newline
    int scanned;        // keys looked at for runs
    int rising;         // length of the run of keys, each >= the one before, ending at the last scanned
    int falling;        // the same for each <= the one before
    bool warned;        // the chain warning has been written
};

// Starts the feedback for a load of total entries from file; progress is
// shown only when out is a terminal.
void load_feedback_init(load_feedback *f, std::FILE *out, const char *file, int total);

// Looks at the keys loaded since the last call (keys[0..loaded) are all the
// keys so far), warns once about a chain, and updates the progress line
// when it is due.
void load_feedback_update(load_feedback *f, const int *keys, int loaded);

// Ends the progress line, if one is showing, with its final figures and a
// newline.
void load_feedback_finish(load_feedback *f, int loaded);

#endif
