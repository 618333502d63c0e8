// Files as the tools read and write them: whole, or not at all.
//
// read_whole_file reads a file into memory, refusing one larger than a
// bound, so that /dev/zero or a runaway file can't exhaust memory.
//
// whole_file writes beside its destination under a temporary name and
// renames the file into place only once every byte went out and it closed
// without error: a full disk, a file size limit or a failed write leaves no
// partial file, and an existing file at the destination stays as it was.
// A destination that exists and is no regular file (a device such as
// /dev/full, a pipe) is written directly, its errors checked all the same.
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
    std::string path;   // the destination
    std::string temp;   // the temporary name written, or "" when writing path itself
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

// text with every control byte shown as '?', so that a path named in a
// message keeps it to one line.
std::string printable(const std::string &text);

// Writes data to path whole or not at all; on failure writes the one line
// "PROGRAM: PATH: cannot write: REASON" to stderr and returns false.
bool write_whole_file(const char *program, const std::string &path, const std::string &data);

#endif
