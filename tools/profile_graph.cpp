#include "profile_graph.h"

#include "whole_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

bool all_digits(const std::string &t, std::size_t from, std::size_t to)
{
    if (from >= to)
        return false;
    for (std::size_t i = from; i < to; i++)
        if (t[i] < '0' || t[i] > '9')
            return false;
    return true;
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

// Whether seconds, as gprof rounds them to hundredths, fit in the run's
// total: nothing can take more than all of the time.
bool within_total(double seconds, double total)
{
    return seconds <= total * 1.001 + 0.015;
}

} // namespace

bool is_decimal(const std::string &t)
{
    std::size_t point = t.find('.');
    if (point == std::string::npos)
        return all_digits(t, 0, t.size());
    return all_digits(t, 0, point) && all_digits(t, point + 1, t.size());
}

// Reads gprof's call graph: entries of caller lines, the primary line that
// starts with "[N]", and callee lines, separated by dashes; then the index
// by function name, which shows that the graph is whole.
profile_graph parse_profile(const std::string &text)
{
    profile_graph g;
    std::istringstream in(text);
    std::string line;
    std::size_t number = 0;
    bool in_graph = false;
    bool complete = false;
    bool has_total = false;
    int primary = -1;          // the entry whose callees are being read, or -1
    std::set<int> wholes;      // "<cycle N as a whole>" entries
    std::set<int> seen;
    while (!complete && std::getline(in, line)) {
        number++;
        if (line.find('\0') != std::string::npos)
            throw bad_profile{number, "holds a NUL byte"};
        if (line.rfind("granularity:", 0) == 0) {
            // "... for 0.72% of 1.38 seconds", or, for a run too short to be
            // sampled, "... no time propagated".
            std::size_t of = line.rfind(" of ");
            std::vector<std::string> w = words(of == std::string::npos ? "" : line.substr(of + 4));
            if (!w.empty()) {
                g.total = decimal(w[0], number);
            } else if (line.find("no time propagated") != std::string::npos) {
                g.no_time = true;
            } else {
                throw bad_profile{number, "no total time"};
            }
            has_total = true;
        } else if (line.rfind("index % time", 0) == 0) {
            if (!has_total)
                throw bad_profile{number, "no \"granularity:\" line before the call graph: the run's total time is missing"};
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
                profile_function f{index, "", decimal(w[1], number), decimal(w[2], number),
                                   decimal(w[3], number), ""};
                if (f.percent > 100.5)
                    throw bad_profile{number, "more than all of the time: " + w[1]};
                if (!within_total(f.self + f.children, g.total))
                    throw bad_profile{number, "more than the run's total time of " + w[0]};
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
                if (!within_total(seconds, g.total))
                    throw bad_profile{number, "a call that takes more than the run's total time"};
                g.arcs.push_back({primary, index, w[n], seconds});
            }
        }
    }
    if (!in_graph || g.functions.empty())
        throw bad_profile{0, "holds no call graph of gprof -b"};
    if (!complete)
        throw bad_profile{0, "ends inside the call graph: the profile is cut short"};
    for (const profile_arc &a : g.arcs)
        if (seen.count(a.callee) == 0)
            throw bad_profile{0, "a call to [" + std::to_string(a.callee) + "], which has no entry"};
    // A call to a cycle as a whole is drawn as the calls to its members.
    std::vector<profile_arc> arcs;
    for (const profile_arc &a : g.arcs)
        if (wholes.count(a.callee) == 0)
            arcs.push_back(a);
    g.arcs = arcs;
    return g;
}

drawn choose_drawn(const profile_graph &g, double node_threshold, double edge_threshold)
{
    drawn d;
    if (g.no_time) // no time to choose by: everything is drawn
        node_threshold = edge_threshold = 0;
    for (const profile_function &f : g.functions)
        if (f.percent >= node_threshold)
            d.nodes.insert(f.index);
    auto share = [&](const profile_arc &a) { return g.total > 0 ? 100 * a.seconds / g.total : 0.0; };
    std::set<const profile_arc *> chosen;
    std::map<int, std::vector<const profile_arc *>> callers; // by callee, other functions only
    for (const profile_arc &a : g.arcs) {
        if (d.nodes.count(a.caller) != 0 && d.nodes.count(a.callee) != 0 && share(a) >= edge_threshold)
            chosen.insert(&a);
        if (a.caller != a.callee)
            callers[a.callee].push_back(&a);
    }

    std::vector<int> work(d.nodes.begin(), d.nodes.end());
    while (!work.empty()) {
        int f = work.back();
        work.pop_back();
        const profile_arc *heaviest = nullptr;
        bool has_caller = false;
        for (const profile_arc *a : callers[f]) {
            has_caller = has_caller || chosen.count(a) != 0;
            if (heaviest == nullptr || a->seconds > heaviest->seconds ||
                (a->seconds == heaviest->seconds &&
                 std::strtod(a->calls.c_str(), nullptr) > std::strtod(heaviest->calls.c_str(), nullptr)))
                heaviest = a;
        }
        if (has_caller || heaviest == nullptr)
            continue;
        chosen.insert(heaviest);
        if (d.nodes.insert(heaviest->caller).second)
            work.push_back(heaviest->caller);
    }
    for (const profile_arc &a : g.arcs) // in gprof's order
        if (chosen.count(&a) != 0)
            d.arcs.push_back(&a);
    return d;
}

namespace {

// s as a DOT string: quoted, with its quotes and backslashes escaped, and
// each newline a line break of the label.
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

// A function's name as a label shows it: valid UTF-8 on one line, cut with
// an ellipsis when it is very long (C++ template names can run to tens of
// thousands of characters, more than Graphviz takes in one label).
std::string shown_name(const std::string &name)
{
    std::string shown = name.size() <= longest_label_name
                            ? printable(name)
                            : printable(name.substr(0, longest_label_name)) + "\u2026";
    // Long names wrap, so that a box stays as wide as a line of text: a
    // break after a comma or a blank, else anywhere but inside a character.
    std::string wrapped;
    std::size_t line = 0;
    for (std::size_t i = 0; i < shown.size(); i++) {
        wrapped += shown[i];
        line++;
        bool next_starts = i + 1 == shown.size() || (static_cast<unsigned char>(shown[i + 1]) & 0xc0) != 0x80;
        bool soft = shown[i] == ',' || shown[i] == ' ';
        if (i + 1 < shown.size() && next_starts && (line >= label_width || (soft && line >= label_width * 3 / 4))) {
            wrapped += '\n';
            line = 0;
        }
    }
    return wrapped;
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

} // namespace

std::string dot_of(const profile_graph &g, const drawn &d, double node_threshold)
{
    std::string label = "call graph: share of the run's time with callees (and on its own), calls";
    if (g.no_time)
        label += "\nno time propagated: the run was too short to be sampled, so every share is 0";
    if (d.nodes.size() < g.functions.size()) {
        char figures[200];
        std::snprintf(figures, sizeof figures, "\n%zu of %zu functions: those with %g %% of the time or more, and their callers",
                      d.nodes.size(), g.functions.size(), node_threshold);
        label += figures;
    }
    std::ostringstream out;
    out << "digraph callgraph {\n"
           "  graph [fontname=\"Helvetica\", label="
        << quoted(label)
        << ", labelloc=t, rankdir=LR];\n"
           "  node [shape=box, style=\"rounded,filled\", fontname=\"Helvetica\", fontsize=10];\n"
           "  edge [fontname=\"Helvetica\", fontsize=9, arrowsize=0.6];\n";
    for (const profile_function &f : g.functions) {
        if (d.nodes.count(f.index) == 0)
            continue;
        // gprof rounds the seconds but not its percentages: the self share
        // is taken as the part of the function's own percentage.
        double self_percent = f.self + f.children > 0 ? f.percent * f.self / (f.self + f.children) : 0;
        char figures[64];
        std::snprintf(figures, sizeof figures, "%.1f %% (%.1f %%)", f.percent, self_percent);
        std::string text = shown_name(f.name) + "\n" + figures;
        if (!f.calls.empty())
            text += "\n" + f.calls + (f.calls == "1" ? " call" : " calls");
        out << "  f" << f.index << " [label=" << quoted(text) << ", fillcolor=" << quoted(colour(f.percent / 100))
            << "];\n";
    }
    for (const profile_arc *a : d.arcs) {
        double share = g.total > 0 ? a->seconds / g.total : 0;
        share = share > 1 ? 1 : share;
        std::string calls = a->calls.substr(0, a->calls.find('/'));
        char text[64];
        std::snprintf(text, sizeof text, "%.1f %%\n", 100 * share);
        char width[16];
        std::snprintf(width, sizeof width, "%.2f", 1 + 4 * share);
        out << "  f" << a->caller << " -> f" << a->callee << " [label=" << quoted(text + calls + "×")
            << ", color=" << quoted(colour(share)) << ", penwidth=" << width << "];\n";
    }
    out << "}\n";
    return out.str();
}
