#include "reader_reference.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace {

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

reference_reading reference_read(const std::string &bytes)
{
    reference_reading out{{}, READ_END, 1, ""};
    std::size_t i = 0;
    for (;;) {
        for (; i < bytes.size() && is_space(bytes[i]); i++)
            out.line += bytes[i] == '\n';
        if (i == bytes.size())
            return out;
        std::size_t end = i;
        while (end < bytes.size() && !is_space(bytes[end]))
            end++;
        std::string entry = bytes.substr(i, end - i);
        i = end;
        char *stop = nullptr;
        errno = 0;
        long long v = std::strtoll(entry.c_str(), &stop, 10);
        // strtoll in base 10 takes a sign and digits: all of an entry taken
        // means a whole decimal integer (a NUL inside stops it early).
        if (stop == entry.c_str() || stop != entry.c_str() + entry.size()) {
            out.end = READ_NOT_INT;
            out.entry = entry;
            return out;
        }
        if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) {
            out.end = READ_RANGE;
            out.entry = entry;
            return out;
        }
        out.values.push_back(static_cast<int>(v));
    }
}
