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
    std::string &block = lines->block;
    std::size_t end = 0, scanned = lines->next; // no '\n' before scanned
    bool read_more = true;
    while ((end = block.find('\n', scanned)) == std::string::npos &&
           block.size() - lines->next <= longest_profile_line && read_more) {
        block.erase(0, lines->next);
        lines->next = 0;
        scanned = block.size();
        char more[64 * 1024];
        std::size_t n = std::fread(more, 1, sizeof more, lines->in);
        block.append(more, n);
        read_more = n > 0;
    }
    std::size_t length = std::min(end, block.size()) - lines->next;
    lines->line = std::string_view(block).substr(lines->next, std::min(length, longest_profile_line + 1));
    lines->bytes += length + (end != std::string::npos ? 1 : 0);
    lines->next = std::min(block.size(), lines->next + length + 1);
    lines->number += end != std::string::npos || length > 0;
    lines->unended = end == std::string::npos && length > 0;
    lines->failed = std::ferror(lines->in) != 0 || lines->bytes > lines->limit;
    if (std::ferror(lines->in) != 0)
        *error = std::string("read failed: ") + std::strerror(errno);
    else if (lines->bytes > lines->limit)
        *error = "larger than " + std::to_string(lines->limit >> 20) + " MiB: not read";
    else if (lines->line.size() > longest_profile_line)
        *error = "a line longer than " + std::to_string(longest_profile_line >> 20) + " MiB";
    else if (lines->line.find('\0') != std::string::npos)
        *error = "holds a NUL byte";
    else if (end != std::string::npos || !lines->line.empty()) {
        if (!lines->line.empty() && lines->line.back() == '\r')
            lines->line.remove_suffix(1);
        return true;
    }
    return false;
}

std::size_t blanks_from(std::string_view text, std::size_t at, bool blank)
{
    // By hand: find_first_of takes a memchr a byte.
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t') == blank)
        at++;
    return at;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    for (std::size_t at = blanks_from(text, 0, true); at < text.size(); at = blanks_from(text, at, true)) {
        std::size_t end = blanks_from(text, at, false);
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}
