// A simple reference for the int reader: the bytes are split at white space
// (isspace in the C locale) and each entry converted with strtoll.
#ifndef READER_REFERENCE_H
#define READER_REFERENCE_H

#include "int_reader.h"

#include <string>
#include <vector>

struct reference_reading {
    std::vector<int> values; // the entries accepted, in order
    read_result end;         // READ_END, or why the entry after them is rejected
    unsigned long line;      // line of the rejected entry, or of the end
    std::string entry;       // the rejected entry, whole
};

reference_reading reference_read(const std::string &bytes);

#endif
