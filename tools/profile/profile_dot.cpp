// The DOT of a profile's graph (dot_of in profile_graph.h): its labels,
// colours and title.
#include "profile_graph.h"

#include "printable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

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
// the time is orange to red. In a comparison, red for growth and blue for
// shrinkage, paler the smaller the change (a tenth of the base is full).
std::string colour(double share, bool change)
{
    double strength = std::sqrt(std::min(1.0, std::fabs(share) * (change ? 10 : 1)));
    char text[40];
    if (change)
        std::snprintf(text, sizeof text, "%.3f %.3f 1.000", share < 0 ? 0.62 : 0.0, 0.05 + 0.75 * strength);
    else
        std::snprintf(text, sizeof text, "%.3f %.3f 0.95", 0.66 * (1 - strength), 0.3 + 0.6 * strength);
    return text;
}

// A share, or in a comparison a signed change, as the labels show it.
std::string figure(double percent, bool change, bool bound = false)
{
    char text[40];
    std::snprintf(text, sizeof text, change ? "%s%+.1f %%" : "%s%.1f %%", bound ? "\u2264 " : "", percent);
    return text;
}

// The title: what the figures are, and what of the graph is drawn.
std::string title_of(const profile_graph &g, const drawn &d, double node_threshold)
{
    const bool compared = g.base_total >= 0;
    const std::string cost = printable(g.cost).substr(0, 100);
    std::string label = compared ? "comparison: change of the run's " + cost + " with callees (and on its own), as " +
                                       (g.normalized ? "changes of its shares, the base scaled to the new total"
                                                     : "shares of the base's total") + "; calls"
                                 : "call graph: share of the run's " + cost + " with callees (and on its own), calls";
    char figures[300];
    if (compared) {
        const char *unit = g.cost == "time" ? "s" : cost.c_str();
        std::snprintf(figures, sizeof figures, "\nbase: %.15g %s, new: %.15g %s, new / base = %.4f", g.base_total, unit,
                      g.total, unit, g.base_total > 0 ? g.total / g.base_total : 0.0);
        label += figures;
    }
    if (g.no_time)
        label += g.cost == "time" ? "\nno time propagated: the run was too short to be sampled, so every share is 0"
                                  : "\nno " + cost + " counted, so every share is 0";
    if (d.nodes.size() < g.functions.size()) {
        std::snprintf(figures, sizeof figures, "\n%zu of %zu functions: those with %g %% of the %s or more%s, and their callers",
                      d.nodes.size(), g.functions.size(), node_threshold, cost.c_str(), compared ? " of change" : "");
        label += figures;
    }
    std::size_t bounds = 0;
    for (const profile_function &f : g.functions)
        bounds += f.bound && d.nodes.count(f.id) != 0;
    if (bounds > 0) {
        std::snprintf(figures, sizeof figures, "\n%zu shares marked \u2264 are bounds: the share of a group of functions "
                      "that call each other, which the profile doesn't tell apart", bounds);
        label += figures;
    }
    return label;
}

} // namespace

std::string dot_of(const profile_graph &g, const drawn &d, double node_threshold)
{
    const bool compared = g.base_total >= 0;
    std::ostringstream out;
    out << "digraph callgraph {\n"
           "  graph [fontname=\"Helvetica\", label="
        << quoted(title_of(g, d, node_threshold))
        << ", labelloc=t, nodesep=0.3, ranksep=0.5];\n"
           "  node [shape=box, style=\"rounded,filled\", fontname=\"Helvetica\", fontsize=10];\n"
           "  edge [fontname=\"Helvetica\", fontsize=9, arrowsize=0.6];\n";
    // Where one name in one object stands for functions of several source
    // files, each box says its file.
    std::map<std::pair<std::string, std::string>, std::set<std::string>> files;
    for (const profile_function &f : g.functions)
        files[{f.name, f.object}].insert(f.file);
    auto base_name = [](const std::string &path) { return shown_name(path.substr(path.rfind('/') + 1)); };
    for (const profile_function &f : g.functions) {
        if (d.nodes.count(f.id) == 0)
            continue;
        std::string text = shown_name(f.name) + "\n" + (f.object.empty() ? "" : base_name(f.object) + "\n");
        if (files[{f.name, f.object}].size() > 1)
            text += base_name(f.file) + "\n";
        text += figure(f.percent, compared, f.bound) + " (" + figure(f.self, compared) + ")";
        if (compared && f.shares[0] < 0)
            text += "\nnew: " + figure(f.shares[1], false);
        else if (compared && f.shares[1] < 0)
            text += "\ngone: was " + figure(f.shares[0], false);
        else if (compared)
            text += "\n" + figure(f.shares[0], false) + " \u2192 " + figure(f.shares[1], false);
        if (!f.calls.empty())
            text += "\n" + f.calls + (f.calls == "1" ? " call" : " calls");
        out << "  f" << f.id << " [label=" << quoted(text) << ", fillcolor=" << quoted(colour(f.percent / 100, compared))
            << "];\n";
    }
    // The leaves of a wide fan-out stand on four ranks by turns, as
    // Graphviz's unflatten -l 4 puts them, so that the picture stays narrow.
    std::map<int, int> callees, leaves, placed;
    for (const profile_arc *a : d.arcs)
        callees[a->caller] += a->caller != a->callee;
    for (const profile_arc *a : d.arcs)
        leaves[a->caller] += callees[a->callee] == 0;
    for (const profile_arc *a : d.arcs) {
        int rank = leaves[a->caller] > 4 && callees[a->callee] == 0 ? placed[a->caller]++ % 4 : 0;
        double share = std::max(-1.0, std::min(1.0, a->percent / 100));
        std::string text = figure(100 * share, compared) + "\n";
        text += compared ? std::to_string(a->base_calls) + "\u00d7 \u2192 " + std::to_string(a->calls) + "\u00d7"
                         : std::to_string(a->calls) + "\u00d7";
        char width[16];
        std::snprintf(width, sizeof width, "%.2f", 1 + 4 * std::fabs(share));
        out << "  f" << a->caller << " -> f" << a->callee << " [label=" << quoted(text)
            << ", color=" << quoted(colour(share, compared)) << ", penwidth=" << width
            << (rank > 0 ? ", minlen=" + std::to_string(rank + 1) : std::string()) << "];\n";
    }
    out << "}\n";
    return out.str();
}
