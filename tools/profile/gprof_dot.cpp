// Turns a profile's call graph, gprof's or callgrind's, into a Graphviz
// graph on stdout, or the change from a base profile to it:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME]
//             [--hide PATTERN] [--focus PATTERN] [--base BASE [--normalize]]
//             [PROFILE]
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
// cost counted in their callers' own; --focus keeps only the call paths
// through the functions that match one.
//
// With --base, a profile of the same kind and cost, the graph shows the
// change from BASE to PROFILE (profile_compare.h), in shares of BASE's
// total, or with --normalize, of PROFILE's, BASE being scaled to it.
//
// Only what matters is drawn: functions with less than PCT of the run's
// cost with their callees (--node-threshold, default 0.5) and calls that
// carry less than PCT of it (--edge-threshold, default 0.1) are left out,
// the changes' sizes in a comparison, except that a drawn function that
// would be left without a caller keeps its heaviest one, and that caller's
// own, up to a function that has none. 0 draws everything.
//
// Exit status: 0 when the graph was written; 1 when a profile or stdout
// can't be read or written, or gprof's text is larger than 256 MiB; 2 for
// a usage error, a profile that is no complete, well-formed one, an event
// it lacks, or two profiles of different kinds or costs; 3 when memory
// runs out.
#include "callgrind_profile.h"
#include "filter.h"
#include "gprof_profile.h"
#include "message.h"
#include "printable.h"
#include "profile_compare.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

const char usage[] = "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME] "
                     "[--hide PATTERN] [--focus PATTERN] [--base BASE [--normalize]] [PROFILE]\n";
const std::size_t gprof_limit = std::size_t{256} << 20; // of gprof's text

// Reads the profile at path ("-": stdin) into *g: callgrind's when its
// first line says so (*callgrind), else gprof's text. Returns the exit
// status.
int read_profile(const std::string &path, const std::string &event, profile_graph *g, bool *callgrind)
{
    const std::string shown = input_name(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(path == "-" ? nullptr : std::fopen(path.c_str(), "re"),
                                                          std::fclose);
    if (path != "-" && !file)
        return fail(1, "%s: cannot open: %s", shown.c_str(), std::strerror(errno));
    profile_lines lines;
    lines.in = file ? file.get() : stdin;
    std::string error;
    if (!next_line(&lines, &error))
        return error.empty() ? fail(2, "%s: line 1: an empty file, which holds no profile", shown.c_str())
                             : fail(lines.failed ? 1 : 2, "%s: %s", shown.c_str(), printable(error).c_str());
    lines.again = true;
    bool read = false;
    *callgrind = is_callgrind_profile(lines.line);
    if (*callgrind) {
        read = read_callgrind_profile(&lines, event, g, &error);
    } else if (!event.empty()) {
        return fail(2, "%s: --event %s: gprof's profile has time, not events", shown.c_str(), printable(event).c_str());
    } else {
        lines.limit = gprof_limit;
        read = read_gprof_profile(&lines, g, &error);
    }
    return read ? 0 : fail(lines.failed ? 1 : 2, "%s: %s", shown.c_str(), printable(error).c_str());
}

// --hide's or --focus's expression, compiled, for as long as the tool runs.
struct expression {
    regex_t pattern;
    bool compiled = false;
    ~expression()
    {
        if (compiled)
            regfree(&pattern);
    }
};

// What --hide and --focus leave of a profile.
void leave_out(profile_graph *g, expression *hidden, expression *focus)
{
    if (hidden->compiled)
        hide_functions(g, &hidden->pattern);
    if (focus->compiled)
        focus_functions(g, &focus->pattern);
}

} // namespace

int main(int argc, char **argv)
{
    filter_init("gprof_dot");
    const option options[] = {{"node-threshold", required_argument, nullptr, 'n'},
                              {"edge-threshold", required_argument, nullptr, 'e'},
                              {"event", required_argument, nullptr, 'v'},
                              {"hide", required_argument, nullptr, 'x'},
                              {"focus", required_argument, nullptr, 'f'},
                              {"base", required_argument, nullptr, 'b'},
                              {"normalize", no_argument, nullptr, 'N'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    double thresholds[2] = {0.5, 0.1}; // node, edge
    std::string event, base;
    bool normalize = false;
    expression patterns[2]; // --hide, --focus
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if ((c == 'v' || c == 'b') && *optarg == '\0')
            return usage_error(usage, c == 'v' ? "--event takes an event's name" : "--base takes a profile");
        if (c == 'v' || c == 'b') {
            (c == 'v' ? event : base) = optarg;
        } else if (c == 'N') {
            normalize = true;
        } else if (c == 'x' || c == 'f') {
            expression &e = patterns[c == 'x' ? 0 : 1];
            if (e.compiled)
                regfree(&e.pattern);
            e.compiled = regcomp(&e.pattern, optarg, REG_EXTENDED | REG_NOSUB) == 0;
            if (!e.compiled)
                return usage_error(usage, std::string(c == 'x' ? "--hide" : "--focus") +
                                              " takes an extended regular expression: " + optarg);
        } else if (double &t = thresholds[c == 'n' ? 0 : 1]; !decimal(optarg, &t) || t > 100) {
            return usage_error(usage, std::string(c == 'n' ? "--node" : "--edge") + "-threshold takes a percentage: " + optarg);
        }
    }
    if (status >= 0)
        return status;
    if (argc - optind > 1)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 1]);
    const std::string path = argc > optind ? argv[optind] : "-";
    if (normalize && base.empty())
        return usage_error(usage, "--normalize needs --base");
    if (base == "-" && path == "-")
        return usage_error(usage, "--base and PROFILE can't both be standard input");
    try {
        profile_graph g, before;
        bool callgrind = false, base_callgrind = false;
        if (!base.empty() && (status = read_profile(base, event, &before, &base_callgrind)) != 0)
            return status;
        if ((status = read_profile(path, event, &g, &callgrind)) != 0)
            return status;
        leave_out(&g, &patterns[0], &patterns[1]);
        if (!base.empty() && (base_callgrind != callgrind || before.cost != g.cost))
            return fail(2, "%s: %s profile of %s, and %s %s one of %s: a comparison needs two of one kind and cost",
                        input_name(base).c_str(), base_callgrind ? "callgrind's" : "gprof's",
                        printable(before.cost).c_str(), input_name(path).c_str(), callgrind ? "callgrind's" : "gprof's",
                        printable(g.cost).c_str());
        if (!base.empty()) {
            leave_out(&before, &patterns[0], &patterns[1]);
            g = compare_profiles(before, g, normalize);
        }
        std::fputs(dot_of(g, choose_drawn(g, thresholds[0], thresholds[1]), thresholds[0]).c_str(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", input_name(path).c_str());
    }
    return 0;
}
