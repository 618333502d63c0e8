// Turns the call graph of `gprof -b` into a Graphviz graph:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] PROFILE OUTPUT.dot
//
// A node per function, labelled with its name, its share of the run's time
// with its callees and on its own, and how often it was called; filled by
// that share, from blue for none to red for all. An edge per caller and
// callee, labelled with the calls, and drawn wider and redder the more
// time goes through it. gprof's "<cycle N as a whole>" entries are left
// out (their members are drawn), as are "<spontaneous>" callers, which
// are no function.
//
// Only what matters is drawn: functions with less than PCT of the run's
// time with their callees (--node-threshold, default 0.5) and calls that
// carry less than PCT of it (--edge-threshold, default 0.1) are left out,
// except that a drawn function that would be left without a caller keeps
// its heaviest one, and that caller's own, up to a function that has none.
// 0 draws everything.
//
// Exit status: 0 when OUTPUT.dot was written, whole; 1 when PROFILE can't
// be read or OUTPUT.dot written; 2 for a usage error or a PROFILE that is no
// complete, well-formed call graph of gprof -b.
#include "command_line.h"
#include "whole_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char program[] = "gprof_dot";
const char usage[] =
    "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] PROFILE OUTPUT.dot\n";
const std::size_t profile_limit = std::size_t{256} << 20;

struct arc {
    int caller, callee; // gprof's indexes
    std::string calls;  // "n" or "n/total"
    double seconds;     // time that goes to the callee through this arc
};

struct function {
    int index;
    std::string name;
    double percent;    // of the run, with callees
    double self;       // seconds spent in the function itself
    double children;   // seconds spent in its callees
    std::string calls; // "n", "n+recursive", or empty
};

struct call_graph {
    double total = 0; // seconds sampled in the run
    std::vector<function> functions;
    std::vector<arc> arcs;
};

// A malformed profile: the line and what is wrong with it.
struct bad_profile {
    std::size_t line;
    std::string what;
};

bool all_digits(const std::string &t, std::size_t from, std::size_t to)
{
    if (from >= to)
        return false;
    for (std::size_t i = from; i < to; i++)
        if (t[i] < '0' || t[i] > '9')
            return false;
    return true;
}

// gprof writes plain decimals: digits, and a point with digits after it.
bool is_decimal(const std::string &t)
{
    std::size_t point = t.find('.');
    if (point == std::string::npos)
        return all_digits(t, 0, t.size());
    return all_digits(t, 0, point) && all_digits(t, point + 1, t.size());
}

// Calls as gprof writes them: "n", "n+m" (recursive) or "n/m" (of all).
bool is_calls(const std::string &t)
{
    std::size_t mark = t.find_first_of("+/");
    if (mark == std::string::npos)
        return all_digits(t, 0, t.size());
    return all_digits(t, 0, mark) && all_digits(t, mark + 1, t.size());
}

double decimal(const std::string &t, std::size_t line)
{
    if (!is_decimal(t) || t.size() > 20)
        throw bad_profile{line, "not a number: " + t};
    return std::strtod(t.c_str(), nullptr);
}

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool is_index(const std::string &w)
{
    return w.size() >= 3 && w.front() == '[' && w.back() == ']';
}

// The index in "[N]": 1 to a million, gprof's limit being far lower.
int index_of(const std::string &w, std::size_t line)
{
    if (!all_digits(w, 1, w.size() - 1) || w.size() > 9)
        throw bad_profile{line, "index out of range: " + w};
    long n = std::strtol(w.c_str() + 1, nullptr, 10);
    if (n < 1 || n > 1000000)
        throw bad_profile{line, "index out of range: " + w};
    return static_cast<int>(n);
}

std::string name_of(const std::vector<std::string> &w, std::size_t from)
{
    std::string name;
    for (std::size_t i = from; i + 1 < w.size(); i++)
        name += (name.empty() ? "" : " ") + w[i];
    return name;
}

// Reads gprof's call graph: entries of caller lines, the primary line that
// starts with "[N]", and callee lines, separated by dashes; then the index
// by function name, which shows that the graph is whole.
call_graph parse(const std::string &text)
{
    call_graph g;
    std::istringstream in(text);
    std::string line;
    std::size_t number = 0;
    bool in_graph = false;
    bool complete = false;
    int primary = -1;          // the entry whose callees are being read, or -1
    std::set<int> wholes;      // "<cycle N as a whole>" entries
    std::set<int> seen;
    while (!complete && std::getline(in, line)) {
        number++;
        if (line.find('\0') != std::string::npos)
            throw bad_profile{number, "holds a NUL byte"};
        if (line.rfind("granularity:", 0) == 0) {
            std::size_t of = line.rfind(" of ");
            std::vector<std::string> w = words(of == std::string::npos ? "" : line.substr(of + 4));
            if (w.empty())
                throw bad_profile{number, "no total time"};
            g.total = decimal(w[0], number);
        } else if (line.rfind("index % time", 0) == 0) {
            in_graph = true;
        } else if (!in_graph) {
            continue;
        } else if (line.rfind("Index by function name", 0) == 0) {
            complete = true;
        } else if (line.rfind("-----", 0) == 0) {
            primary = -1;
        } else {
            std::vector<std::string> w = words(line);
            if (w.empty() || !is_index(w.back()))
                continue; // "<spontaneous>" or a blank line
            int index = index_of(w.back(), number);
            if (is_index(w[0])) {
                // [N] %time self children [called] name [N]
                if (w.size() < 5 || index_of(w[0], number) != index)
                    throw bad_profile{number, "not an entry of the call graph"};
                if (!seen.insert(index).second)
                    throw bad_profile{number, "a second entry for " + w[0]};
                function f{index, "", decimal(w[1], number), decimal(w[2], number),
                           decimal(w[3], number), ""};
                if (f.percent > 100.5)
                    throw bad_profile{number, "more than all of the time: " + w[1]};
                std::size_t name_from = 4;
                if (is_calls(w[4]))
                    f.calls = w[name_from++];
                f.name = name_of(w, name_from);
                if (f.name.empty())
                    throw bad_profile{number, "an entry without a name"};
                if (f.name.find(" as a whole>") != std::string::npos) {
                    wholes.insert(index);
                    primary = -1;
                } else {
                    g.functions.push_back(f);
                    primary = index;
                }
            } else if (primary >= 0) {
                // [self children] called name [N]; within a cycle only called
                std::size_t n = 0;
                double seconds = 0;
                while (n + 1 < w.size() && is_decimal(w[n]) && w[n].find('.') != std::string::npos)
                    seconds += decimal(w[n++], number);
                if (n + 2 > w.size() || !is_calls(w[n]))
                    throw bad_profile{number, "not a line of the call graph"};
                g.arcs.push_back({primary, index, w[n], seconds});
            }
        }
    }
    if (!in_graph || g.functions.empty())
        throw bad_profile{0, "holds no call graph of gprof -b"};
    if (!complete)
        throw bad_profile{0, "ends inside the call graph: the profile is cut short"};
    for (const arc &a : g.arcs)
        if (seen.count(a.callee) == 0)
            throw bad_profile{0, "a call to [" + std::to_string(a.callee) + "], which has no entry"};
    // A call to a cycle as a whole is drawn as the calls to its members.
    std::vector<arc> arcs;
    for (const arc &a : g.arcs)
        if (wholes.count(a.callee) == 0)
            arcs.push_back(a);
    g.arcs = arcs;
    return g;
}

// The functions and arcs to draw: those over the thresholds, and the
// heaviest callers that keep every drawn function joined to a root.
void choose(const call_graph &g, double node_threshold, double edge_threshold,
            std::set<int> *nodes, std::vector<const arc *> *arcs)
{
    std::map<int, const function *> by_index;
    for (const function &f : g.functions) {
        by_index[f.index] = &f;
        if (f.percent >= node_threshold)
            nodes->insert(f.index);
    }
    auto share = [&](const arc &a) { return g.total > 0 ? 100 * a.seconds / g.total : 0.0; };
    std::set<const arc *> chosen;
    for (const arc &a : g.arcs)
        if (nodes->count(a.caller) != 0 && nodes->count(a.callee) != 0 && share(a) >= edge_threshold)
            chosen.insert(&a);

    std::vector<int> work(nodes->begin(), nodes->end());
    while (!work.empty()) {
        int f = work.back();
        work.pop_back();
        const arc *heaviest = nullptr;
        bool has_caller = false;
        for (const arc &a : g.arcs) {
            if (a.callee != f || a.caller == f)
                continue;
            has_caller = has_caller || chosen.count(&a) != 0;
            if (heaviest == nullptr || a.seconds > heaviest->seconds ||
                (a.seconds == heaviest->seconds && std::strtod(a.calls.c_str(), nullptr) > std::strtod(heaviest->calls.c_str(), nullptr)))
                heaviest = &a;
        }
        if (has_caller || heaviest == nullptr)
            continue;
        chosen.insert(heaviest);
        if (nodes->insert(heaviest->caller).second)
            work.push_back(heaviest->caller);
    }
    for (const arc &a : g.arcs) // in gprof's order
        if (chosen.count(&a) != 0)
            arcs->push_back(&a);
}

std::string quoted(const std::string &s)
{
    std::string q = "\"";
    for (char c : s) {
        if (c == '\n') {
            q += "\\n";
            continue;
        }
        if (c == '"' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

// Blue for no share, through green and yellow, to red for all of it; the
// square root spreads the small shares, so that anything over a third of
// the time is orange to red.
std::string colour(double share)
{
    share = share < 0 ? 0 : share > 1 ? 1 : std::sqrt(share);
    char text[40];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f", 0.66 * (1 - share), 0.3 + 0.6 * share, 0.95);
    return text;
}

std::string dot_of(const call_graph &g, const std::set<int> &nodes, const std::vector<const arc *> &arcs,
                   double node_threshold)
{
    std::string label = "call graph: share of the run's time with callees (and on its own), calls";
    if (nodes.size() < g.functions.size()) {
        char figures[200];
        std::snprintf(figures, sizeof figures, "\n%zu of %zu functions: those with %g %% of the time or more, and their callers",
                      nodes.size(), g.functions.size(), node_threshold);
        label += figures;
    }
    std::ostringstream out;
    out << "digraph callgraph {\n"
           "  graph [fontname=\"Helvetica\", label="
        << quoted(label)
        << ", labelloc=t, rankdir=LR];\n"
           "  node [shape=box, style=\"rounded,filled\", fontname=\"Helvetica\", fontsize=10];\n"
           "  edge [fontname=\"Helvetica\", fontsize=9, arrowsize=0.6];\n";
    for (const function &f : g.functions) {
        if (nodes.count(f.index) == 0)
            continue;
        // gprof rounds the seconds but not its percentages: the self share
        // is taken as the part of the function's own percentage.
        double self_percent = f.self + f.children > 0 ? f.percent * f.self / (f.self + f.children) : 0;
        char figures[64];
        std::snprintf(figures, sizeof figures, "%.1f %% (%.1f %%)", f.percent, self_percent);
        std::string text = f.name + "\n" + figures;
        if (!f.calls.empty())
            text += "\n" + f.calls + (f.calls == "1" ? " call" : " calls");
        out << "  f" << f.index << " [label=" << quoted(text) << ", fillcolor=" << quoted(colour(f.percent / 100))
            << "];\n";
    }
    for (const arc *a : arcs) {
        double share = g.total > 0 ? a->seconds / g.total : 0;
        std::string calls = a->calls.substr(0, a->calls.find('/'));
        char width[16];
        std::snprintf(width, sizeof width, "%.2f", 1 + 4 * share);
        out << "  f" << a->caller << " -> f" << a->callee << " [label=" << quoted(calls + "×")
            << ", color=" << quoted(colour(share)) << ", penwidth=" << width << "];\n";
    }
    out << "}\n";
    return out.str();
}

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
    if (line.operands.size() != 2)
        return usage_error(program, usage, line.operands.size() < 2 ? "PROFILE and OUTPUT.dot are needed"
                                                                    : "too many operands");
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

    std::string text, error;
    if (!read_whole_file(profile, profile_limit, &text, &error)) {
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(profile).c_str(), error.c_str());
        return 1;
    }
    call_graph g;
    try {
        g = parse(text);
    } catch (const bad_profile &bad) {
        std::string where = bad.line > 0 ? "line " + std::to_string(bad.line) + ": " : "";
        std::fprintf(stderr, "%s: %s: %s%s\n", program, printable(profile).c_str(), where.c_str(),
                     printable(bad.what.substr(0, 200)).c_str());
        return 2;
    }
    std::set<int> nodes;
    std::vector<const arc *> arcs;
    choose(g, node_threshold, edge_threshold, &nodes, &arcs);
    return write_whole_file(program, output, dot_of(g, nodes, arcs, node_threshold)) ? 0 : 1;
}
