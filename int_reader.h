// Buffered reader of decimal ints from a file descriptor.
//
// Reads the file a block at a time (one read call per block) and splits it
// into entries separated by white space (blank, tab, newline, vertical tab,
// form feed, carriage return). An entry is accepted as "%d" would accept an
// in-range value: an optional + or - sign and one or more decimal digits,
// leading zeros allowed. Anything else in an entry, such as "12abc", "-" or
// "1.5", makes it no integer; an integer outside int's range is rejected
// rather than wrapped, and an entry of sign and digits that runs past
// INT_READER_LONGEST bytes is rejected as too long as soon as it does, so
// that an endless run of digits ends the read. What a read returns depends on nothing past the byte
// that ends its entry, though later bytes of the block may already be
// loaded.
#ifndef INT_READER_H
#define INT_READER_H

#include <cstddef>

enum read_result {
    READ_INT,       // the next entry, stored in *value
    READ_END,       // the file ends before another entry
    READ_NOT_INT,   // the entry is not a whole decimal integer
    READ_RANGE,     // the entry is a decimal integer outside int's range
    READ_TOO_LONG,  // the entry's sign and digits run past INT_READER_LONGEST bytes
    READ_IO_ERROR,  // a read call failed; error holds its errno
};

constexpr std::size_t INT_READER_BLOCK = 64 * 1024; // bytes per read call
constexpr std::size_t INT_READER_TEXT = 24;         // bytes of an entry kept
constexpr std::size_t INT_READER_LONGEST = 4096;    // bytes of an entry read, at most

struct int_reader {
    int fd;                         // descriptor read from; not owned
    int error;                      // errno of the failed read, or 0
    unsigned long line;             // line of the last entry read, from 1
    std::size_t pos;                // next unread byte of block
    std::size_t len;                // bytes held in block
    bool ended;                     // a read returned end of file or failed
    bool at_start;                  // nothing read yet
    bool skipping;                  // the rest of a rejected entry is still unread
    std::size_t text_len;           // bytes of the last entry kept in text
    bool text_cut;                  // the entry was longer than text holds
    char text[INT_READER_TEXT];     // start of the last entry, for messages
    char block[INT_READER_BLOCK + 1]; // bytes read, then a NUL that stops scans
};

// Prepares r to read from fd, at its line 1.
void int_reader_init(int_reader *r, int fd);

// Reads the next entry. On READ_INT stores it in *value; *value is left
// alone otherwise. After READ_NOT_INT, READ_RANGE or READ_TOO_LONG, text holds the start of
// the rejected entry and line its line. An entry is rejected as soon as a
// byte shows it is no integer, having read no more of it than text holds
// and one byte besides, so that endless input such as /dev/zero is rejected
// at once; a further call first skips the rest of it and then reads the
// entry after it.
read_result int_reader_next(int_reader *r, int *value);

// The start of the entry last rejected, as printable text for a message:
// bytes other than printable ASCII shown as '?', and "..." after an entry
// too long to keep whole. out holds INT_READER_TEXT + 4 bytes.
void int_reader_quote(const int_reader *r, char *out);

// What stopped the read of entry (counting from 1) with result (not
// READ_INT), in the words of a message, into out (INT_READER_MESSAGE
// bytes): "entry N (line L): what is wrong", needed being the entries that
// were to be read. Returns the exit status for it (exit_status.h):
// STATUS_READ_FAILED for a failed read, STATUS_BAD_INPUT for bad or missing
// input.
constexpr std::size_t INT_READER_MESSAGE = 256;
int int_reader_failure(const int_reader *r, read_result result, int entry, int needed, char *out);

#endif
