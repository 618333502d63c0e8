#include "profile_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

bool next_line(profile_lines *lines, std::string *error)
{
    if (lines->again) {
        lines->again = false;
        return true;
    }
    lines->line.clear();
    lines->number++;
    int c = 0;
    while ((c = getc_unlocked(lines->in)) != EOF && c != '\n' && lines->line.size() <= longest_profile_line)
        lines->line += static_cast<char>(c);
    lines->bytes += lines->line.size() + (c == '\n' ? 1 : 0);
    std::string at = "line " + std::to_string(lines->number) + ": ";
    lines->failed = std::ferror(lines->in) != 0 || lines->bytes > lines->limit;
    if (std::ferror(lines->in) != 0)
        *error = at + "read failed: " + std::strerror(errno);
    else if (lines->bytes > lines->limit)
        *error = "larger than " + std::to_string(lines->limit >> 20) + " MiB: not read";
    else if (lines->line.size() > longest_profile_line)
        *error = at + "a line longer than " + std::to_string(longest_profile_line >> 20) + " MiB";
    else if (lines->line.find('\0') != std::string::npos)
        *error = at + "holds a NUL byte";
    else if (c != EOF || !lines->line.empty()) {
        if (!lines->line.empty() && lines->line.back() == '\r')
            lines->line.pop_back();
        return true;
    }
    return false;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    for (std::size_t at = 0; (at = text.find_first_not_of(" \t", at)) != text.npos;) {
        std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}
