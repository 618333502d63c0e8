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
#include "profile_graph.h"
#include "whole_file.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

const char program[] = "gprof_dot";
const char usage[] =
    "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] PROFILE OUTPUT.dot\n";
const std::size_t profile_limit = std::size_t{256} << 20;

// A threshold option's value: a percentage from 0 to 100.
bool threshold(command_line &line, const char *name, double *value)
{
    if (line.options.count(name) == 0)
        return true;
    const std::string &t = line.options[name];
    if (!is_decimal(t) || t.size() > 20)
        return false;
    *value = std::strtod(t.c_str(), nullptr);
    return *value <= 100;
}

} // namespace

int main(int argc, char **argv)
{
    command_line line;
    int status = read_command_line(argc, argv, program, usage,
                                   {{"node-threshold", true}, {"edge-threshold", true}}, &line);
    if (status >= 0)
        return status;
    if (line.operands.size() < 2)
        return usage_error(program, usage, "PROFILE and OUTPUT.dot are needed");
    if (line.operands.size() > 2)
        return too_many_operands(program, usage, line, 2);
    double node_threshold = 0.5;
    double edge_threshold = 0.1;
    if (!threshold(line, "node-threshold", &node_threshold))
        return usage_error(program, usage, "--node-threshold takes a percentage: " + line.options["node-threshold"]);
    if (!threshold(line, "edge-threshold", &edge_threshold))
        return usage_error(program, usage, "--edge-threshold takes a percentage: " + line.options["edge-threshold"]);
    const std::string &profile = line.operands[0];
    const std::string &output = line.operands[1];
    if (output_is_input(program, output, profile))
        return 2;

    std::string dot;
    try {
        std::string text, error;
        if (!read_whole_file(profile, profile_limit, &text, &error)) {
            std::fprintf(stderr, "%s: %s: %s\n", program, printable(profile).c_str(), error.c_str());
            return 1;
        }
        profile_graph g = parse_profile(text);
        dot = dot_of(g, choose_drawn(g, node_threshold, edge_threshold), node_threshold);
    } catch (const bad_profile &bad) {
        std::string where = bad.line > 0 ? "line " + std::to_string(bad.line) + ": " : "";
        std::fprintf(stderr, "%s: %s: %s%s\n", program, printable(profile).c_str(), where.c_str(),
                     printable(bad.what.substr(0, 200)).c_str());
        return 2;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", program, printable(profile).c_str());
        return 3;
    }
    return write_whole_file(program, output, dot) ? 0 : 1;
}
