// Which profile a file holds, told by its first line, and its reader's
// result as the tools report it.
#include "source_lines.h"

#include <algorithm>

namespace {

enum class format { none, callgrind, perf, folded, gprof };

const char formats[] = "gprof's text (\"Flat profile:\", \"Call graph\"), callgrind's file (\"# callgrind format\", "
                       "\"events:\"), perf script's text (COMMAND PID TIME: PERIOD EVENT:) or folded stacks (STACK COUNT)";

bool is_gprof(std::string_view first_line)
{
    std::string_view text = first_line.substr(blanks_from(first_line, 0, true));
    for (std::string_view start : {"Flat profile:", "Call graph", "granularity:"})
        if (text.substr(0, start.size()) == start)
            return true;
    return false;
}

// Reads the first line, to be read again by the format's reader.
format format_of(profile_lines *lines, std::string *error)
{
    if (!next_line(lines, error)) {
        if (error->empty())
            *error = "an empty file, which holds no profile";
        return format::none;
    }
    lines->again = true;
    format f = is_callgrind(lines->line) ? format::callgrind
               : is_perf(lines->line)    ? format::perf
               : is_gprof(lines->line)   ? format::gprof
               : is_folded(lines->line)  ? format::folded
                                         : format::none;
    if (f == format::none)
        *error = std::string("not a profile: its first line starts none of ") + formats;
    return f;
}

// The exit status of a reading, with "line N: " before what is wrong with
// a line.
int finish(const profile_lines &lines, bool read, bool whole, std::string *error)
{
    if (read)
        return 0;
    whole = whole || lines.bytes > lines.limit;
    *error = (whole ? "" : "line " + std::to_string(std::max<std::size_t>(lines.number, 1)) + ": ") + *error;
    return lines.failed ? 1 : 2;
}

// Stacks, perf's or folded, by their format's reader; folded stacks have
// no events to choose from.
bool stacks_of(format f, profile_lines *lines, const std::string &event, stack_set *s, std::string *error, bool *whole)
{
    if (f == format::folded && !event.empty())
        return *error = "--event " + event + ": folded stacks have counts, not events", *whole = true, false;
    return f == format::perf ? read_perf_stacks(lines, event, s, error, whole) : read_folded(lines, s, error, whole);
}

} // namespace

int read_profile(std::FILE *in, const std::string &event, profile *p, std::string *error, const RE2 *focus)
{
    profile_lines lines;
    lines.in = in;
    error->clear();
    bool whole = false, read = false;
    format f = format_of(&lines, error);
    if (f == format::callgrind) {
        read = read_callgrind(&lines, event, p, error, &whole);
    } else if (f == format::gprof && !event.empty()) {
        *error = "--event " + event + ": gprof's profile has time, not events";
        whole = true;
    } else if (f == format::perf || f == format::folded) {
        stack_set s;
        read = stacks_of(f, &lines, event, &s, error, &whole);
        if (read && focus != nullptr)
            focus_stacks(&s, *focus);
        if (read)
            fold_stacks(s, 1, p);
        p->focused = read && focus != nullptr;
    } else if (f == format::gprof) {
        lines.limit = std::size_t{256} << 20;
        read = read_gprof(&lines, p, error, &whole);
    }
    return finish(lines, read, whole, error);
}

int read_stacks(std::FILE *in, const std::string &event, stack_set *s, std::string *error)
{
    profile_lines lines;
    lines.in = in;
    error->clear();
    bool whole = false, read = false;
    format f = format_of(&lines, error);
    if (f == format::perf || f == format::folded) {
        read = stacks_of(f, &lines, event, s, error, &whole);
    } else if (f != format::none) {
        *error = std::string(f == format::gprof ? "gprof's text" : "callgrind's file") +
                 " records calls between functions, not stacks: gprof_dot draws it";
        whole = true;
    }
    return finish(lines, read, whole, error);
}

int read_lines(std::FILE *in, const std::vector<std::string> &events, line_profile *lp, std::string *error)
{
    profile_lines lines;
    lines.in = in;
    error->clear();
    bool whole = false, read = false;
    format f = format_of(&lines, error);
    if (f == format::callgrind) {
        read = read_callgrind_lines(&lines, events, lp, error, &whole);
    } else if (f == format::perf) {
        stack_set s;
        read = read_perf_events(&lines, events, &s, error, &whole);
        if (read && !s.srclines)
            *error = "perf script's text without source lines: write it with perf script -F +srcline", read = false;
        if (read)
            lines_of_stacks(s, lp);
    } else if (f != format::none) {
        *error = std::string(f == format::gprof ? "gprof's text has" : "folded stacks have") +
                 " no source lines: give callgrind's file or the text of perf script -F +srcline";
        whole = true;
    }
    return finish(lines, read, whole, error);
}
