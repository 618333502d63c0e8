// The one voice of the program and the tools on their message stream
// (stderr unless a test sets another): every line starts with the
// program's name, set once in main, as OpenBSD's err and warn do (named
// warning and fail here, so that none is <err.h>'s). A line is never cut:
// one longer than longest_message loses bytes from its middle, most often
// of a long file name, and keeps its start and what is wrong at its end.
//
//   message_init("tree_shape");
//   warning("%s: warning: ...", file);           // goes on
//   return fail(2, "%s: not a number", file); // stops with status 2
//
// The result line, the progress line and --help's usage go to their own
// streams and are not messages.
#ifndef MESSAGE_H
#define MESSAGE_H

#include <cstdio>

// Sets the name that starts every message, and the stream they go to.
void message_init(const char *program, std::FILE *stream = stderr);

const char *program_name();
std::FILE *message_stream();

constexpr int longest_message = 4096;

// Writes "PROGRAM: " and the formatted text as one line.
void warning(const char *format, ...) __attribute__((format(printf, 1, 2)));

// As warn, then returns status, for `return fail(status, ...)`.
int fail(int status, const char *format, ...) __attribute__((format(printf, 2, 3)));

#endif
