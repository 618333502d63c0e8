// Turns a profile's call graph, gprof's or callgrind's, into a Graphviz
// graph on stdout, or the change from a base profile to it:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME]
//             [--hide PATTERN] [--focus PATTERN] [--base BASE [--normalize]]
//             [PROFILE]
//
// PROFILE ("-" or none for stdin) is the text of `gprof -b`, callgrind's
// output file (callgrind.out.PID) or perf script's text, told apart by its
// first line. A node per
// function, labelled with its name (and for callgrind, its object's file
// name), its share of the run's cost with its callees and on its own, and
// how often it was called; filled by that share, from blue for none to red
// for all. An edge per caller and callee, labelled with the share of the
// run's cost that goes through it and the calls, and drawn wider and
// redder the more goes through it (profile_drawing.h). --event picks
// callgrind's or perf's event (the file's first by default); --hide leaves out the functions
// whose name or object path matches a regular expression, their cost
// counted in their callers' own; --focus keeps only the call paths through
// the functions that match one.
//
// With --base, a profile of the same kind and cost, the graph shows the
// change from BASE to PROFILE (profile_drawing.h), in shares of BASE's
// total, or with --normalize, of PROFILE's, BASE being scaled to it.
//
// Only what matters is drawn: functions with less than PCT of the run's
// cost with their callees and on their own (--node-threshold, default
// 0.5) and calls that carry less than PCT of it (--edge-threshold, default
// 0.1) are left out, the changes' sizes in a comparison, except that a drawn function that
// would be left without a caller keeps its heaviest one, and that caller's
// own, up to a function that has none. 0 draws everything.
//
// Exit status: 0 when the graph was written; 1 when a profile or stdout
// can't be read or written, or gprof's text is larger than 256 MiB; 2 for
// a usage error, a profile that is no complete, well-formed one, an event
// it lacks, two profiles of different kinds or costs, a base that counted
// nothing, or patterns that leave nothing to draw; 3 when memory runs out.
#include "profile_drawing.h"
#include "read_operand.h"

#include <new>
#include <string>

namespace {

const char usage[] = "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME] "
                     "[--hide PATTERN] [--focus PATTERN] [--base BASE [--normalize]] [PROFILE]\n";

// What --hide and --focus leave of a profile; a profile of stacks was
// focused as it was read.
void leave_out(profile *p, const std::unique_ptr<RE2> patterns[2])
{
    if (patterns[0])
        hide_functions(p, *patterns[0]);
    if (patterns[1] && !p->focused)
        focus_functions(p, *patterns[1]);
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
    std::string event, base, texts[2]; // texts: of --hide and --focus
    bool normalize = false;
    std::unique_ptr<RE2> patterns[2];
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if ((c == 'v' || c == 'b') && *optarg == '\0')
            return usage_error(usage, c == 'v' ? "--event takes an event's name" : "--base takes a profile");
        if (c == 'v' || c == 'b') {
            (c == 'v' ? event : base) = optarg;
        } else if (c == 'N') {
            normalize = true;
        } else if (c == 'x' || c == 'f') {
            std::string error;
            texts[c == 'f'] = optarg;
            if (!(patterns[c == 'f'] = pattern_of(optarg, &error)))
                return usage_error(usage, std::string(c == 'x' ? "--hide " : "--focus ") + optarg + ": " + error);
        } else if (double &t = thresholds[c == 'n' ? 0 : 1]; !decimal(optarg, &t) || t > 100) {
            return usage_error(usage, std::string(c == 'n' ? "--node" : "--edge") + "-threshold takes a percentage: " + optarg);
        }
    }
    if (status >= 0)
        return status;
    std::string path;
    if ((status = profile_operand(argc, argv, usage, base, normalize, &path)) != 0)
        return status;
    try {
        profile now, before;
        auto profile_into = [&](profile *p) {
            return [&event, &patterns, p](std::FILE *in, std::string *error) {
                return read_profile(in, event, p, error, patterns[1].get());
            };
        };
        if (!base.empty() && (status = read_operand(base, profile_into(&before))) != 0)
            return status;
        if ((status = read_operand(path, profile_into(&now))) != 0)
            return status;
        if (!base.empty() && (before.kind != now.kind || before.cost != now.cost))
            return fail(2, "%s: %s's profile of %s, and %s %s's one of %s: a comparison needs two of one kind and cost",
                        input_name(base).c_str(), before.kind.c_str(), printable(before.cost).c_str(),
                        input_name(path).c_str(), now.kind.c_str(), printable(now.cost).c_str());
        if (!base.empty() && before.total <= 0)
            return fail(2, "%s: counted no %s, so there is nothing to compare with", input_name(base).c_str(),
                        printable(before.cost).c_str());
        leave_out(&now, patterns);
        leave_out(&before, patterns);
        if (now.functions.empty() && before.functions.empty())
            return fail(2, "no function is left to draw by --%s %s", patterns[1] ? "focus" : "hide",
                        printable(texts[patterns[1] ? 1 : 0]).c_str());
        drawing d = draw(base.empty() ? nullptr : &before, now, normalize);
        d.focused = patterns[1] != nullptr && !now.focused; // arcs say nothing of the costs through a match alone
        d.focused_stacks = now.focused;
        std::fputs(dot_of(d, choose(d, thresholds[0], thresholds[1]), thresholds[0]).c_str(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", input_name(path).c_str());
    }
    return 0;
}
