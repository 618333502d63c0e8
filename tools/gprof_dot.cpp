// Turns the call graph of `gprof -b` into a Graphviz graph:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] PROFILE OUTPUT.dot
//
// A node per function, labelled with its name, its share of the run's time
// with its callees and on its own, and how often it was called; filled by
// that share, from blue for none to red for all. An edge per caller and
// callee, labelled with the share of the run's time that goes through it
// and the calls, and drawn wider and redder the more time goes through it
// (profile_graph.h).
//
// Only what matters is drawn: functions with less than PCT of the run's
// time with their callees (--node-threshold, default 0.5) and calls that
// carry less than PCT of it (--edge-threshold, default 0.1) are left out,
// except that a drawn function that would be left without a caller keeps
// its heaviest one, and that caller's own, up to a function that has none.
// 0 draws everything.
//
// Exit status: 0 when OUTPUT.dot was written, whole; 1 when PROFILE can't
// be read or OUTPUT.dot written; 2 for a usage error, an OUTPUT.dot that is
// PROFILE, or a PROFILE that is no complete, well-formed call graph of
// gprof -b; 3 when memory runs out.
#include "command_line.h"
#include "gprof_profile.h"
#include "message.h"
#include "printable.h"
#include "read_file.h"
#include "replace_file.h"

#include <cstdlib>
#include <new>
#include <string>

namespace {

const char usage[] = "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] PROFILE OUTPUT.dot\n";
const std::size_t profile_limit = std::size_t{256} << 20;

// A threshold option's value: a percentage from 0 to 100; false for others.
bool percentage(const char *text, double *value)
{
    if (!is_decimal(text) || std::string(text).size() > 20)
        return false;
    *value = std::strtod(text, nullptr);
    return *value <= 100;
}

} // namespace

int main(int argc, char **argv)
{
    message_init("gprof_dot");
    const option options[] = {{"node-threshold", required_argument, nullptr, 'n'},
                              {"edge-threshold", required_argument, nullptr, 'e'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    double thresholds[2] = {0.5, 0.1}; // node, edge
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        bool node = c == 'n';
        if (!percentage(optarg, &thresholds[node ? 0 : 1]))
            return usage_error(usage, std::string(node ? "--node" : "--edge") + "-threshold takes a percentage: " + optarg);
    }
    if (status >= 0)
        return status;
    if (argc - optind < 2)
        return usage_error(usage, "PROFILE and OUTPUT.dot are needed");
    if (argc - optind > 2)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 2]);
    const std::string profile = argv[optind];
    const std::string output = argv[optind + 1];
    const std::string shown = printable(profile);
    if (output_is_input(output, profile))
        return fail(2, "%s: is the same file as the input %s", printable(output).c_str(), shown.c_str());

    std::string dot, error;
    try {
        std::string text;
        profile_graph g;
        if (!read_file(profile, profile_limit, &text, &error))
            return fail(1, "%s: %s", shown.c_str(), error.c_str());
        if (!read_gprof_profile(text, &g, &error))
            return fail(2, "%s: %s", shown.c_str(), printable(error).c_str());
        dot = dot_of(g, choose_drawn(g, thresholds[0], thresholds[1]), thresholds[0]);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", shown.c_str());
    }
    if (!replace_with(output, dot, &error))
        return fail(1, "%s: cannot write: %s", printable(output).c_str(), error.c_str());
    return 0;
}
