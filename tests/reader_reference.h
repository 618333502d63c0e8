// A simple reference for the int reader: the bytes are split at white space
// (isspace in the C locale) and each entry converted with strtoll.
#ifndef READER_REFERENCE_H
#define READER_REFERENCE_H

#include "int_reader.h"

#include <string>
#include <vector>

struct reference_entry {
    read_result result; // READ_INT, READ_NOT_INT, READ_RANGE, READ_TOO_LONG or READ_END
    int value;          // the integer, for READ_INT
    unsigned long line; // the entry's line, or for READ_END the last line
    std::string text;   // for a rejected entry, its first INT_READER_TEXT
                        // bytes, and "..." when it is longer

    bool operator==(const reference_entry &o) const
    {
        return result == o.result && value == o.value && line == o.line && text == o.text;
    }
};

// Every entry in order, rejected ones included, then one READ_END.
std::vector<reference_entry> reference_read(const std::string &bytes);

// The same from the reader itself, reading on after every rejection; a
// failed read ends the list with READ_IO_ERROR instead of READ_END.
std::vector<reference_entry> read_every_entry(int_reader *r);

#endif
