// The tools' command lines, read with getopt_long: options may come before,
// between or after the operands, as --opt VALUE or --opt=VALUE; -h and
// --help print the usage on stdout; -- ends the options, so that an operand
// may start with '-'; any other argument that starts with '-' is an error.
#ifndef COMMAND_LINE_H
#define COMMAND_LINE_H

#include <getopt.h>
#include <string>

// getopt_long over options, which end with {"help", no_argument, nullptr,
// 'h'} and a row of zeros. Returns the next option's val, or -1 once the
// options end: the operands are then argv[optind] on, and *status is -1.
// After --help (usage on stdout) or a usage error, also returns -1, with
// the exit status in *status: 0, 1 when the usage can't be written, 2.
int next_option(int argc, char **argv, const option *options, const char *usage, int *status);

// Says what (a message, message.h) and then the usage; returns 2.
int usage_error(const char *usage, const std::string &what);

// The tools' two messages about their output: 2 after "OUTPUT: is the same
// file as the input INPUT" when writing output would lose input (see
// output_is_input in replace_file.h), else 0; and 1 after "PATH: cannot
// write: REASON".
int refuse_output_as_input(const std::string &output, const std::string &input);
int cannot_write(const std::string &path, const std::string &reason);

// Reads a whole number written as decimal digits alone (no blank, no sign)
// that is at most `most`. False for anything else.
bool parse_whole_number(const std::string &text, unsigned long long most, unsigned long long *out);

#endif
