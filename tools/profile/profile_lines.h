// The text of a profile, a line at a time, and the words of a line: the
// one tokenizer of every reader, so that all read stdin or a file as a
// stream.
#ifndef PROFILE_LINES_H
#define PROFILE_LINES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t longest_profile_line = std::size_t{16} << 20;

struct profile_lines {
    std::FILE *in = nullptr;
    std::size_t limit = SIZE_MAX; // the most bytes read of in; past it, reading stops
    std::string_view line;        // the line read, without its "\n" or "\r\n", until the next is read
    std::size_t number = 0;       // the line's number, from 1; at the end, the last line's
    std::size_t bytes = 0;        // bytes read so far
    bool again = false;           // next_line gives the same line once more
    bool failed = false;          // in couldn't be read, or is past limit
    std::string block;            // bytes read from in
    std::size_t next = 0;         // where the next line starts in block
    bool unended = false;         // the line read is the last and has no "\n": a file cut short, for the
                                  // formats whose writers end every line
};

// Reads the next line into lines->line. False at the end, with *error
// empty, or when in can't be read (failed set), is past the limit (failed
// set), has a line longer than longest_profile_line or holding a NUL byte,
// with *error saying what is wrong with the line, or, past the limit,
// "larger than N MiB: not read".
bool next_line(profile_lines *lines, std::string *error);

// The words of text, separated by blanks and tabs; where the run of
// blanks (blank) or of other bytes (!blank) from at ends.
std::vector<std::string_view> words(std::string_view text);
std::size_t blanks_from(std::string_view text, std::size_t at, bool blank);

#endif
