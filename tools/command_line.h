// The tools' command lines, read with getopt_long: options may come before,
// between or after the operands, as --opt VALUE or --opt=VALUE; -h and
// --help print the usage on stdout; -- ends the options, so that an operand
// may start with '-'; any other argument that starts with '-' is an error.
#ifndef COMMAND_LINE_H
#define COMMAND_LINE_H

#include <map>
#include <string>
#include <vector>

struct tool_option {
    const char *name;   // without the dashes
    bool takes_value;
};

struct command_line {
    std::map<std::string, std::string> options; // given options, "" for one without a value
    std::vector<std::string> operands;
};

// Reads argv. Returns -1 when the tool goes on with *line; otherwise the
// exit status to return at once: 0 after the usage for --help, 2 after a
// usage error.
int read_command_line(int argc, char **argv, const char *program, const char *usage,
                      const std::vector<tool_option> &options, command_line *line);

// Writes "PROGRAM: what" and the usage to stderr; returns 2.
int usage_error(const char *program, const char *usage, const std::string &what);

// The usage error for the operand past the last of at most `most`:
// "too many operands: EXTRA".
int too_many_operands(const char *program, const char *usage, const command_line &line, std::size_t most);

// Reads a whole number written as decimal digits alone (no blank, no sign)
// that is at most `most`. False for anything else.
bool parse_whole_number(const std::string &text, unsigned long long most, unsigned long long *out);

#endif
