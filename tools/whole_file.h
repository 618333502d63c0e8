// Files as the tools read and write them: whole, or not at all.
//
// read_whole_file reads a file into memory, refusing one larger than a
// bound, so that /dev/zero or a runaway file can't exhaust memory.
//
// whole_file writes beside its destination under a temporary name and
// renames the file into place only once every byte went out and it closed
// without error, then syncs the folder: a full disk, a file size limit, a
// failed write or a signal (SIGINT, SIGTERM, SIGHUP, which remove the
// temporary file and then end the process as they would have) leaves no
// partial file, and an existing file at the destination stays as it was.
// Replacing a file keeps what the user had:
// - a symbolic link is followed, and the file it points to is replaced (a
//   dangling link's target is created); the link stays;
// - an existing file keeps its permission bits, and its owner and group
//   where the process may set them; a new one gets 0666 less the umask;
// - a file the user may not write is refused, as the shell's > does;
// - "-", /dev/stdout, /dev/stderr and /dev/fd/N are the process's own
//   descriptors, and anything else that isn't a regular file (a terminal,
//   a pipe, a device) is written in place, its errors checked all the same.
// The rename gives the destination a new inode: other hard links to the
// old file keep the old content.
#ifndef WHOLE_FILE_H
#define WHOLE_FILE_H

#include <cstddef>
#include <cstdio>
#include <string>

// Reads all of path into *text. On failure returns false with the reason in
// *error ("cannot open: ...", "read failed: ...", "larger than N MiB").
bool read_whole_file(const std::string &path, std::size_t limit, std::string *text,
                     std::string *error);

struct whole_file {
    std::string path;   // the file replaced: the destination, its links followed
    std::string temp;   // the temporary name written, or "" when writing in place
    std::FILE *out;     // open for writing; null once committed or abandoned
};

// Opens a file to be written to path. On failure returns false with the
// reason in *error.
bool whole_file_open(whole_file *f, const std::string &path, std::string *error);

// Flushes, closes and renames the file into place. On failure removes the
// temporary file and returns false with the reason in *error.
bool whole_file_commit(whole_file *f, std::string *error);

// Closes and removes the temporary file: nothing is written.
void whole_file_abandon(whole_file *f);

// text as valid UTF-8 on one line: control characters (C0, DEL and C1) and
// bytes that aren't UTF-8 shown as visible escapes, \n, \t, \x01, \xff,
// \u009b; for messages and for the text of pictures.
std::string printable(const std::string &text);

// When output names the same file as input (after links), writes
// "PROGRAM: OUTPUT: is the same file as the input INPUT" to stderr and
// returns true: the tool then stops with status 2 before reading anything.
bool output_is_input(const char *program, const std::string &output, const std::string &input);

// Writes data to path whole or not at all; on failure writes the one line
// "PROGRAM: PATH: cannot write: REASON" to stderr and returns false.
bool write_whole_file(const char *program, const std::string &path, const std::string &data);

#endif
