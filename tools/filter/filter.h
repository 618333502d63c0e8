// What every tool shares as a filter: its messages (message.h) under its
// name, its command line read with getopt_long, the numbers it reads, and
// the check that its result reached stdout.
//
// Options may come before, between or after the operands, as --opt VALUE
// or --opt=VALUE; -h and --help print the usage on stdout; -- ends the
// options, so that an operand may start with '-'.
#ifndef FILTER_H
#define FILTER_H

#include <getopt.h>
#include <string>
#include <string_view>

// Names the tool in its messages, and has stdout flushed and closed at
// exit, as coreutils' close_stdout does: a failed write of the result (a
// full disk, /dev/full, a file size limit, for which SIGXFSZ is ignored) is
// then one line, "write error: REASON", and status 1, whatever main
// returned. A closed pipe ends the tool by SIGPIPE, quietly; where the
// caller ignores SIGPIPE, the write fails with EPIPE, and that too ends it
// quietly, with status 1.
void filter_init(const char *name);

// getopt_long over options, which end with {"help", no_argument, nullptr,
// 'h'} and a row of zeros. Returns the next option's val, or -1 once the
// options end: the operands are then argv[optind] on, and *status is -1.
// After --help (usage on stdout) or a usage error, also returns -1, with
// the exit status in *status: 0 or 2.
int next_option(int argc, char **argv, const option *options, const char *usage, int *status);

// Says what (a message) and then the usage; returns 2.
int usage_error(const char *usage, const std::string &what);

// A whole number written as digits of base alone (no blank, no sign, no
// prefix) that is at most most; false for anything else.
bool whole_number(std::string_view text, unsigned long long most, unsigned long long *out, int base = 10);

// A plain decimal: digits, and maybe a point with digits after it.
bool decimal(std::string_view text, double *out);

// The name that messages give an input operand: "standard input" for "-".
std::string input_name(const std::string &operand);

#endif
