// Turns a profile's call graph, gprof's or callgrind's, into a Graphviz
// graph on stdout:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME]
//             [--hide PATTERN] [PROFILE]
//
// PROFILE ("-" or none for stdin) is the text of `gprof -b` or callgrind's
// output file (callgrind.out.PID), told apart by its first line. A node per
// function, labelled with its name (and for callgrind, its object's file
// name), its share of the run's cost with its callees and on its own, and
// how often it was called; filled by that share, from blue for none to red
// for all. An edge per caller and callee, labelled with the share of the
// run's cost that goes through it and the calls, and drawn wider and
// redder the more goes through it (profile_graph.h). --event picks
// callgrind's event (its first by default); --hide leaves out the functions
// whose name or object path matches an extended regular expression, their
// cost counted in their callers' own.
//
// Only what matters is drawn: functions with less than PCT of the run's
// cost with their callees (--node-threshold, default 0.5) and calls that
// carry less than PCT of it (--edge-threshold, default 0.1) are left out,
// except that a drawn function that would be left without a caller keeps
// its heaviest one, and that caller's own, up to a function that has none.
// 0 draws everything.
//
// Exit status: 0 when the graph was written; 1 when PROFILE or stdout
// can't be read or written, or gprof's text is larger than 256 MiB; 2 for
// a usage error, a PROFILE that is no complete, well-formed profile, or an
// event it lacks; 3 when memory runs out.
#include "callgrind_profile.h"
#include "filter.h"
#include "gprof_profile.h"
#include "message.h"
#include "printable.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

const char usage[] = "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME] "
                     "[--hide PATTERN] [PROFILE]\n";
const std::size_t gprof_limit = std::size_t{256} << 20; // of gprof's text

// Reads the profile from in into *g: callgrind's when its first line says
// so, else gprof's text. Returns the exit status.
int read_profile(std::FILE *in, const std::string &shown, const std::string &event, profile_graph *g)
{
    profile_lines lines;
    lines.in = in;
    std::string error;
    if (!next_line(&lines, &error))
        return error.empty() ? fail(2, "%s: line 1: an empty file, which holds no profile", shown.c_str())
                             : fail(lines.failed ? 1 : 2, "%s: %s", shown.c_str(), printable(error).c_str());
    lines.again = true;
    bool read = false;
    if (is_callgrind_profile(lines.line)) {
        read = read_callgrind_profile(&lines, event, g, &error);
    } else if (!event.empty()) {
        return fail(2, "%s: --event %s: gprof's profile has time, not events", shown.c_str(), printable(event).c_str());
    } else {
        lines.limit = gprof_limit;
        read = read_gprof_profile(&lines, g, &error);
    }
    return read ? 0 : fail(lines.failed ? 1 : 2, "%s: %s", shown.c_str(), printable(error).c_str());
}

// --hide's expression, compiled, for as long as the tool runs.
struct hidden_names {
    regex_t pattern;
    bool compiled = false;
    ~hidden_names()
    {
        if (compiled)
            regfree(&pattern);
    }
};

} // namespace

int main(int argc, char **argv)
{
    filter_init("gprof_dot");
    const option options[] = {{"node-threshold", required_argument, nullptr, 'n'},
                              {"edge-threshold", required_argument, nullptr, 'e'},
                              {"event", required_argument, nullptr, 'v'},
                              {"hide", required_argument, nullptr, 'x'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    double thresholds[2] = {0.5, 0.1}; // node, edge
    std::string event;
    const char *hide = nullptr;
    hidden_names hidden;
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if (c == 'v' && *optarg == '\0')
            return usage_error(usage, "--event takes an event's name");
        if (c == 'v')
            event = optarg;
        else if (c == 'x')
            hide = optarg;
        else if (double &t = thresholds[c == 'n' ? 0 : 1]; !decimal(optarg, &t) || t > 100)
            return usage_error(usage, std::string(c == 'n' ? "--node" : "--edge") + "-threshold takes a percentage: " + optarg);
    }
    if (status >= 0)
        return status;
    hidden.compiled = hide != nullptr && regcomp(&hidden.pattern, hide, REG_EXTENDED | REG_NOSUB) == 0;
    if (hide != nullptr && !hidden.compiled)
        return usage_error(usage, std::string("--hide takes an extended regular expression: ") + hide);
    if (argc - optind > 1)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 1]);
    const std::string path = argc > optind ? argv[optind] : "-";
    const std::string shown = input_name(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(path == "-" ? nullptr : std::fopen(path.c_str(), "re"),
                                                          std::fclose);
    if (path != "-" && !file)
        return fail(1, "%s: cannot open: %s", shown.c_str(), std::strerror(errno));
    try {
        profile_graph g;
        if ((status = read_profile(file ? file.get() : stdin, shown, event, &g)) != 0)
            return status;
        if (hidden.compiled)
            hide_functions(&g, &hidden.pattern);
        std::fputs(dot_of(g, choose_drawn(g, thresholds[0], thresholds[1]), thresholds[0]).c_str(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", shown.c_str());
    }
    return 0;
}
