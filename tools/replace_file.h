// Replacing a file, whole or not at all, in three calls as git's lockfile
// does: replace_begin opens the new content for writing, replace_commit
// puts it in place, replace_rollback drops it. One replacement at a time.
//
// The content is written beside its destination under a temporary name,
// and renamed into place only once every byte went out and the file closed
// without error; then the folder is synced. A full disk, a file size limit
// (SIGXFSZ is ignored from replace_begin to the end, so that the write
// fails with EFBIG), a failed write or a signal leaves no partial file, and
// an existing file stays as it was. SIGINT, SIGTERM and SIGHUP, unless the
// caller ignores them, remove the temporary file and then end the process
// as they would have; every signal's disposition is put back as it was
// once the replacement ends.
//
// Replacing a file keeps what the user had:
// - a symbolic link is followed, and the file it points to is replaced (a
//   dangling link's target is made); the link stays;
// - an existing file keeps its permission bits, and its owner and group
//   where the process may set them; a new one gets 0666 less the umask;
// - a file the user may not write is refused, as the shell's > does;
// - "-", /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N are the
//   process's own descriptors, and anything else that isn't a regular file
//   (a terminal, a pipe, a device) is written in place.
// The rename gives the destination a new inode: other hard links to the old
// file keep the old content.
#ifndef REPLACE_FILE_H
#define REPLACE_FILE_H

#include <cstdio>
#include <string>

struct replacement {
    std::string path;  // the file replaced: the destination, its links followed
    std::string temp;  // the temporary name written, or "" when writing in place
    std::FILE *out;    // open for writing; null once committed or rolled back
};

// Opens r->out to write what will replace path. On failure returns false
// with the reason in *error, and nothing is left behind.
bool replace_begin(replacement *r, const std::string &path, std::string *error);

// Flushes, closes and renames the file into place. On failure removes the
// temporary file and returns false with the reason in *error.
bool replace_commit(replacement *r, std::string *error);

// Closes and removes the temporary file: nothing is replaced.
void replace_rollback(replacement *r);

// replace_begin, data, replace_commit.
bool replace_with(const std::string &path, const std::string &data, std::string *error);

// Whether output names the regular file that input names (after links), so
// that writing it would lose the input.
bool output_is_input(const std::string &output, const std::string &input);

#endif
