// Draws stacks as a flame graph, one self-contained interactive SVG on
// stdout, or writes them as folded stacks:
//
//   flame_graph [--event NAME] [--title TEXT] [--width PX] [--min-width PX]
//               [--inverted] [--reverse] [--collapse-recursion]
//               [--base BASE [--normalize]] [--folded] [PROFILE]
//
// PROFILE ("-" or none for stdin) is perf script's text or folded stacks
// (stacks.h). Each frame is as wide as the cost of the stacks under it;
// a perf stack's root is its command. --base draws the change from BASE to
// PROFILE (two runs of one event; a two-count folded file is one already):
// PROFILE's graph coloured by each frame's change, then BASE's at its own
// widths, coloured the same. Frames narrower than --min-width are left out.
//
// Exit status: 0 when the graph was written; 1 when a profile or stdout
// can't be read or written; 2 for a usage error, a profile that is no
// complete, well-formed one of stacks, an event it lacks, two runs of
// different events, or a base that counted nothing; 3 when memory runs out.
#include "flame.h"
#include "read_operand.h"

#include <new>

namespace {

const char usage[] = "usage: flame_graph [--event NAME] [--title TEXT] [--width PX] [--min-width PX] [--inverted] "
                     "[--reverse] [--collapse-recursion] [--base BASE [--normalize]] [--folded] [PROFILE]\n";

} // namespace

int main(int argc, char **argv)
{
    filter_init("flame_graph");
    const option options[] = {{"event", required_argument, nullptr, 'v'},   {"title", required_argument, nullptr, 't'},
                              {"width", required_argument, nullptr, 'w'},   {"min-width", required_argument, nullptr, 'm'},
                              {"inverted", no_argument, nullptr, 'i'},      {"reverse", no_argument, nullptr, 'r'},
                              {"collapse-recursion", no_argument, nullptr, 'c'},
                              {"base", required_argument, nullptr, 'b'},    {"normalize", no_argument, nullptr, 'N'},
                              {"folded", no_argument, nullptr, 'f'},        {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    flame_options o;
    std::string event, base;
    bool folded = false, min_given = false;
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if ((c == 'v' || c == 'b') && *optarg == '\0')
            return usage_error(usage, c == 'v' ? "--event takes an event's name" : "--base takes a profile");
        double px = 0;
        if (c == 'v' || c == 'b')
            (c == 'v' ? event : base) = optarg;
        else if (c == 't')
            o.title = optarg;
        else if ((c == 'w' || c == 'm') && (!decimal(optarg, &px) || px > 1e6 || (c == 'w' && px < 100)))
            return usage_error(usage, std::string(c == 'w' ? "--width takes 100 to 1000000 px: " : "--min-width takes 0 to 1000000 px: ") + optarg);
        else if (c == 'w' || c == 'm')
            (c == 'w' ? o.width : o.min_width) = px, min_given = min_given || c == 'm';
        else
            (c == 'i' ? o.inverted : c == 'r' ? o.reverse : c == 'c' ? o.collapse : c == 'N' ? o.normalize : folded) = true;
    }
    if (status >= 0)
        return status;
    std::string path; // --normalize is checked below: a two-count file takes it too
    if ((status = profile_operand(argc, argv, usage, base, false, &path)) != 0)
        return status;
    o.min_width = min_given ? o.min_width : 0.1 * o.width / 1200;
    try {
        stack_set now, before;
        auto stacks_into = [&](stack_set *s) {
            return [&event, s](std::FILE *in, std::string *error) { return read_stacks(in, event, s, error); };
        };
        if (!base.empty() && (status = read_operand(base, stacks_into(&before))) != 0)
            return status;
        if ((status = read_operand(path, stacks_into(&now))) != 0)
            return status;
        const std::string &shown = input_name(base.empty() ? path : base);
        if (!base.empty() && (before.two_runs || now.two_runs))
            return fail(2, "%s: holds two runs already: --base takes two of one run", input_name(before.two_runs ? base : path).c_str());
        if (!base.empty() && (before.kind != now.kind || before.cost != now.cost))
            return fail(2, "%s: %s's run of %s, and %s %s's of %s: a comparison needs two runs of one event", shown.c_str(),
                        before.kind.c_str(), printable(before.cost).c_str(), input_name(path).c_str(), now.kind.c_str(),
                        printable(now.cost).c_str());
        if (!base.empty())
            merge_runs(before, &now);
        if (o.normalize && !now.two_runs)
            return usage_error(usage, "--normalize needs --base or a two-count folded file");
        if (now.two_runs && now.total[0] <= 0)
            return fail(2, "%s: counted no %s in its base run, so there is nothing to compare with", shown.c_str(),
                        printable(now.cost).c_str());
        std::vector<flame_node> nodes = build_flame(now, o);
        std::string out = folded ? folded_text(now, nodes) : flame_svg(now, nodes, o);
        std::fwrite(out.data(), 1, out.size(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", input_name(path).c_str());
    }
    return 0;
}
