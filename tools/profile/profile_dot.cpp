// The DOT of a drawing (dot_of in profile_drawing.h): its labels, colours
// and title.
#include "profile_drawing.h"

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

// text shown (printable) and cut to at most most bytes, between
// characters, with an ellipsis where it was cut.
std::string shown(const std::string &text, std::size_t most)
{
    std::string s = printable(text);
    if (s.size() <= most)
        return s;
    while (most > 0 && (static_cast<unsigned char>(s[most]) & 0xc0) == 0x80)
        most--;
    return s.substr(0, most) + "\u2026";
}

// A name as a label shows it: valid UTF-8, cut when it is very long (C++
// template names can run to tens of thousands of characters, more than
// Graphviz takes in one label), and wrapped, so that a box stays as wide as
// a line of text: after a comma or a blank, else anywhere but inside a
// character.
std::string wrapped(const std::string &name)
{
    std::string text = shown(name, longest_label_name), out;
    std::size_t line = 0;
    for (std::size_t i = 0; i < text.size(); i++) {
        out += text[i];
        line = text[i] == '\n' ? 0 : line + 1;
        bool next_starts = i + 1 == text.size() || (static_cast<unsigned char>(text[i + 1]) & 0xc0) != 0x80;
        bool soft = text[i] == ',' || text[i] == ' ';
        if (i + 1 < text.size() && next_starts && (line >= label_width || (soft && line >= label_width * 3 / 4))) {
            out += '\n';
            line = 0;
        }
    }
    return out;
}

// Blue for no share, through green and yellow, to red for all of it; the
// square root spreads the small shares, so that anything over a third of
// the time is orange to red. In a comparison, red for growth and blue for
// shrinkage, paler the smaller the change (a tenth of the base is full).
std::string colour(double percent, bool change)
{
    double strength = std::sqrt(std::min(1.0, std::fabs(percent) / 100 * (change ? 10 : 1)));
    char text[40];
    if (change)
        std::snprintf(text, sizeof text, "%.3f %.3f 1.000", percent < 0 ? 0.62 : 0.0, 0.05 + 0.75 * strength);
    else
        std::snprintf(text, sizeof text, "%.3f %.3f 0.95", 0.66 * (1 - strength), 0.3 + 0.6 * strength);
    return text;
}

// A share, or in a comparison a signed change, as the labels show it.
std::string percent(double figure, bool change, bool bound = false)
{
    char text[40];
    std::snprintf(text, sizeof text, change ? "%s%+.1f %%" : "%s%.1f %%", bound ? "\u2264 " : "", figure);
    return text;
}

std::string calls_of(const profile_function &f)
{
    if (f.calls + f.recursive == 0)
        return "";
    std::string calls = std::to_string(f.calls) + (f.recursive > 0 ? "+" + std::to_string(f.recursive) : "");
    return "\n" + calls + (calls == "1" ? " call" : " calls");
}

// Whether a function's share with callees is a bound in either run.
bool bound(const drawn_function &f)
{
    return (f.in[0] != nullptr && f.in[0]->bound) || (f.in[1] != nullptr && f.in[1]->bound);
}

std::string box(const drawing &d, const drawn_function &f)
{
    const profile_function &now = *(f.in[1] != nullptr ? f.in[1] : f.in[0]);
    std::string text = wrapped(now.name) + "\n";
    for (std::size_t at = 0, end; at < f.where.size(); at = end + 1) {
        end = std::min(f.where.find('\n', at), f.where.size());
        text += wrapped(f.where.substr(at, end - at)) + "\n";
    }
    if (f.unpaired) { // its run's shares, which change from nothing
        int run = f.in[1] != nullptr;
        double own = d.totals[run] > 0 ? 100 * f.in[run]->self / d.totals[run] : 0;
        return text + percent(share_in(d, f, run), false, bound(f)) + " (" + percent(own, false) + ") of the " +
               (run == 0 ? "base" : "new run") + "\nnot paired: another of its name is in its run" + calls_of(now);
    }
    text += percent(figure(d, f, &profile_function::inclusive), d.compared, bound(f)) + " (" +
            percent(figure(d, f, &profile_function::self), d.compared) + ")" + (d.focused ? " in the whole run" : "");
    if (d.compared && f.in[0] == nullptr)
        text += "\nnew: " + percent(share_in(d, f, 1), false);
    else if (d.compared && f.in[1] == nullptr)
        text += "\ngone: was " + percent(share_in(d, f, 0), false);
    else if (d.compared)
        text += "\n" + percent(share_in(d, f, 0), false) + " \u2192 " + percent(share_in(d, f, 1), false);
    return text + calls_of(now);
}

// The title: what the figures are, and what of the graph is drawn.
std::string title_of(const drawing &d, const chosen &c, double node_threshold)
{
    const std::string cost = shown(d.cost, 100);
    std::string label = d.compared ? "comparison: change of the run's " + cost + " with callees (and on its own), as " +
                                         (d.normalized ? "changes of its shares, the base scaled to the new total"
                                                       : "shares of the base's total") + (d.calls_counted ? "; calls" : "")
                                   : "call graph: share of the run's " + cost + " with callees (and on its own)" +
                                         (d.calls_counted ? ", calls" : "");
    char figures[300];
    if (d.compared) {
        const char *unit = d.cost == "time" ? "s" : cost.c_str();
        std::snprintf(figures, sizeof figures, "\nbase: %.15g %s, new: %.15g %s, new / base = %.4f", d.totals[0], unit,
                      d.totals[1], unit, d.totals[1] / d.totals[0]);
        label += figures;
    }
    if (!d.compared && d.totals[1] <= 0)
        label += d.cost == "time" ? "\nno time propagated: the run was too short to be sampled, so every share is 0"
                                  : "\nno " + cost + " counted, so every share is 0";
    if (c.functions.size() < d.functions.size()) {
        std::snprintf(figures, sizeof figures, "\n%zu of %zu functions: those with %g %% of the %s or more%s, and their callers",
                      c.functions.size(), d.functions.size(), node_threshold, cost.c_str(), d.compared ? " of change" : "");
        label += figures;
    }
    std::size_t bounds = 0;
    for (std::size_t f : c.functions)
        bounds += bound(d.functions[f]);
    if (d.focused)
        label += "\nonly the call paths through a function that --focus matches: each figure is of the whole run, "
                 "not of those paths alone";
    if (d.focused_stacks)
        label += "\nonly the samples whose stack holds a function that --focus matches: each figure is theirs, in "
                 "shares of the whole run";
    std::size_t unpaired = 0;
    for (std::size_t f : c.functions)
        unpaired += d.functions[f].unpaired;
    if (unpaired > 0) {
        std::snprintf(figures, sizeof figures, "\n%zu box%s not paired across the runs: functions that their run holds "
                      "more than once, of one name, object and file (gprof without -g gives no files)", unpaired,
                      unpaired == 1 ? "" : "es");
        label += figures;
    }
    if (bounds > 0) {
        std::snprintf(figures, sizeof figures, "\n%zu shares marked \u2264 are bounds: the share of a group of functions "
                      "that call each other, which the profile doesn't tell apart", bounds);
        label += figures;
    }
    return label;
}

} // namespace

std::string dot_of(const drawing &d, const chosen &c, double node_threshold)
{
    std::ostringstream out;
    out << "digraph callgraph {\n"
           "  graph [fontname=\"Helvetica\", label="
        << quoted(title_of(d, c, node_threshold))
        << ", labelloc=t, nodesep=0.3, ranksep=0.5];\n"
           "  node [shape=box, style=\"rounded,filled\", fontname=\"Helvetica\", fontsize=10];\n"
           "  edge [fontname=\"Helvetica\", fontsize=9, arrowsize=0.6];\n";
    for (std::size_t f : c.functions)
        out << "  f" << f << " [label=" << quoted(box(d, d.functions[f]))
            << ", fillcolor="
            << quoted(d.functions[f].unpaired ? "0.000 0.000 0.850"
                                              : colour(figure(d, d.functions[f], &profile_function::inclusive), d.compared))
            << "];\n";
    // The leaves of a wide fan-out stand on four ranks by turns, as
    // Graphviz's unflatten -l 4 puts them, so that the picture stays narrow.
    std::map<std::size_t, int> callees, leaves, placed;
    for (std::size_t a : c.arcs)
        callees[d.arcs[a].caller] += d.arcs[a].caller != d.arcs[a].callee;
    for (std::size_t a : c.arcs)
        leaves[d.arcs[a].caller] += callees[d.arcs[a].callee] == 0;
    for (std::size_t a : c.arcs) {
        const drawn_arc &arc = d.arcs[a];
        int rank = leaves[arc.caller] > 4 && callees[arc.callee] == 0 ? placed[arc.caller]++ % 4 : 0;
        double share = timed(arc) ? figure(d, arc) : 0;
        auto calls = [&](int run) { return std::to_string(arc.in[run] != nullptr ? arc.in[run]->calls : 0) + "\u00d7"; };
        std::string text = (timed(arc) ? percent(share, d.compared) : "") + (timed(arc) && d.calls_counted ? "\n" : "") +
                           (!d.calls_counted ? "" : d.compared ? calls(0) + " \u2192 " + calls(1) : calls(1));
        char width[16];
        std::snprintf(width, sizeof width, "%.2f", 1 + 4 * std::min(1.0, std::fabs(share) / 100));
        out << "  f" << arc.caller << " -> f" << arc.callee << " [label=" << quoted(text)
            << ", color=" << quoted(colour(share, d.compared)) << ", penwidth=" << width
            << (rank > 0 ? ", minlen=" + std::to_string(rank + 1) : std::string()) << "];\n";
    }
    out << "}\n";
    return out.str();
}
