// The two profile readers of gprof_dot on any bytes: gprof's text and
// callgrind's, told apart by the first line as the tool does. Whatever they
// accept has every share within 0 to 100 % (gprof's own rounding allows
// it half a point more), no function on its own above its share with its
// callees, and draws, with a function hidden too, without a fault.
#include "callgrind_profile.h"
#include "gprof_profile.h"
#include "profile_lines.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    std::FILE *in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr)
        return 0;
    profile_lines lines;
    lines.in = in;
    profile_graph g;
    std::string error;
    bool read = next_line(&lines, &error);
    lines.again = true;
    bool callgrind = read && is_callgrind_profile(lines.line);
    read = read && (callgrind ? read_callgrind_profile(&lines, "", &g, &error) : read_gprof_profile(&lines, &g, &error));
    std::fclose(in);
    if (!read) {
        check(!error.empty() || text.empty());
        return 0;
    }
    double most = callgrind ? 100 : 100.5;
    for (const profile_function &f : g.functions)
        check(f.self >= 0 && f.self <= f.percent + 1e-9 && f.percent <= most);
    for (const profile_arc &a : g.arcs)
        check(a.percent >= 0 && a.percent <= 100);
    regex_t hidden;
    check(regcomp(&hidden, "^[a-f]", REG_EXTENDED | REG_NOSUB) == 0);
    hide_functions(&g, &hidden);
    regfree(&hidden);
    for (const profile_arc &a : g.arcs)
        check(a.percent >= 0 && a.percent <= 100);
    check(!dot_of(g, choose_drawn(g, 0.5, 0.1), 0.5).empty());
    return 0;
}
