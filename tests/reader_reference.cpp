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

std::string kept(const std::string &entry)
{
    if (entry.size() <= INT_READER_TEXT)
        return entry;
    return entry.substr(0, INT_READER_TEXT) + "...";
}

} // namespace

std::vector<reference_entry> reference_read(const std::string &bytes)
{
    std::vector<reference_entry> out;
    unsigned long line = 1;
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; // a leading byte-order mark
    for (;;) {
        for (; i < bytes.size() && is_space(bytes[i]); i++)
            line += bytes[i] == '\n';
        if (i == bytes.size()) {
            out.push_back({READ_END, 0, line, ""});
            return out;
        }
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
        // The reader stops at the byte past INT_READER_LONGEST of sign and
        // digits.
        std::size_t sign = entry[0] == '-' || entry[0] == '+' ? 1 : 0;
        std::size_t run = entry.find_first_not_of("0123456789", sign);
        if (run == std::string::npos)
            run = entry.size();
        if (run > INT_READER_LONGEST)
            out.push_back({READ_TOO_LONG, 0, line, kept(entry)});
        else if (stop == entry.c_str() || stop != entry.c_str() + entry.size())
            out.push_back({READ_NOT_INT, 0, line, kept(entry)});
        else if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
            out.push_back({READ_RANGE, 0, line, kept(entry)});
        else
            out.push_back({READ_INT, static_cast<int>(v), line, ""});
    }
}

std::vector<reference_entry> read_every_entry(int_reader *r)
{
    std::vector<reference_entry> out;
    for (;;) {
        int value = 0;
        read_result result = int_reader_next(r, &value);
        std::string text;
        if (result == READ_NOT_INT || result == READ_RANGE || result == READ_TOO_LONG)
            text = std::string(r->text, r->text_len) + (r->text_cut ? "..." : "");
        out.push_back({result, result == READ_INT ? value : 0, r->line, text});
        if (result == READ_END || result == READ_IO_ERROR)
            return out;
    }
}
