#include "profile.h"

#include <algorithm>

int read_profile(std::FILE *in, const std::string &event, profile *p, std::string *error)
{
    profile_lines lines;
    lines.in = in;
    error->clear();
    bool whole = false, read = false;
    if (!next_line(&lines, error)) {
        if (error->empty())
            *error = "an empty file, which holds no profile";
    } else if (lines.again = true; is_callgrind(lines.line)) {
        read = read_callgrind(&lines, event, p, error, &whole);
    } else if (is_perf(lines.line)) {
        read = read_perf(&lines, event, p, error, &whole);
    } else if (!event.empty()) {
        *error = "--event " + event + ": gprof's profile has time, not events";
        whole = true;
    } else {
        lines.limit = std::size_t{256} << 20;
        read = read_gprof(&lines, p, error, &whole);
    }
    if (read)
        return 0;
    whole = whole || lines.bytes > lines.limit;
    *error = (whole ? "" : "line " + std::to_string(std::max<std::size_t>(lines.number, 1)) + ": ") + *error;
    return lines.failed ? 1 : 2;
}
