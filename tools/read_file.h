// Files read into memory whole, up to a bound, so that /dev/zero or a
// runaway file can't exhaust memory.
#ifndef READ_FILE_H
#define READ_FILE_H

#include <cstddef>
#include <cstdio>
#include <string>

// Reads all of path into *text. On failure returns false with the reason in
// *error: "cannot open: ...", "read failed: ...", "larger than N MiB: not
// read".
bool read_file(const std::string &path, std::size_t limit, std::string *text, std::string *error);

// Appends what is left of in to *text, which then holds at most limit
// bytes; fails as read_file does.
bool read_rest(std::FILE *in, std::size_t limit, std::string *text, std::string *error);

#endif
