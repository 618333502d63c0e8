#include "profile_graph.h"

#include "printable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

drawn choose_drawn(const profile_graph &g, double node_threshold, double edge_threshold)
{
    drawn d;
    if (g.no_time) // no time to choose by: everything is drawn
        node_threshold = edge_threshold = 0;
    for (const profile_function &f : g.functions)
        if (std::fabs(f.percent) >= node_threshold) // in a comparison, the size of the change
            d.nodes.insert(f.id);
    std::set<const profile_arc *> chosen;
    std::map<int, std::vector<const profile_arc *>> callers; // by callee, other functions only
    for (const profile_arc &a : g.arcs) {
        if (d.nodes.count(a.caller) != 0 && d.nodes.count(a.callee) != 0 && std::fabs(a.percent) >= edge_threshold)
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
            if (heaviest == nullptr || std::fabs(a->percent) > std::fabs(heaviest->percent) ||
                (std::fabs(a->percent) == std::fabs(heaviest->percent) && a->calls > heaviest->calls))
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

std::vector<int> components(const profile_graph &g)
{
    std::size_t n = g.functions.size();
    std::vector<std::vector<int>> out(n);
    for (const profile_arc &a : g.arcs)
        out[std::size_t(a.caller)].push_back(a.callee);
    std::vector<int> index(n, -1), low(n), component(n, -1), stack;
    std::vector<std::pair<int, std::size_t>> walk; // a node, and the next of its arcs to follow
    int visited = 0, found = 0;
    for (std::size_t start = 0; start < n; start++) {
        if (index[start] < 0)
            walk.emplace_back(int(start), 0);
        while (!walk.empty()) {
            auto [v, next] = walk.back();
            std::size_t u = std::size_t(v);
            if (next == 0 && index[u] < 0) {
                index[u] = low[u] = visited++;
                stack.push_back(v);
            }
            if (next < out[u].size()) {
                walk.back().second++;
                std::size_t w = std::size_t(out[u][next]);
                if (index[w] < 0)
                    walk.emplace_back(int(w), 0);
                else if (component[w] < 0)
                    low[u] = std::min(low[u], index[w]);
                continue;
            }
            walk.pop_back();
            if (!walk.empty())
                low[std::size_t(walk.back().first)] = std::min(low[std::size_t(walk.back().first)], low[u]);
            if (low[u] != index[u])
                continue;
            for (int w = -1; w != v; stack.pop_back())
                component[std::size_t(w = stack.back())] = found;
            found++;
        }
    }
    return component;
}

namespace {

bool matches(const regex_t *pattern, const profile_function &f)
{
    for (const std::string *s : {&f.name, &f.object})
        if (!s->empty() && regexec(pattern, s->c_str(), 0, nullptr, 0) == 0)
            return true;
    return false;
}

} // namespace

void focus_functions(profile_graph *g, const regex_t *pattern)
{
    std::map<int, std::vector<int>> callers, callees;
    for (const profile_arc &a : g->arcs) {
        callees[a.caller].push_back(a.callee);
        callers[a.callee].push_back(a.caller);
    }
    std::set<int> kept;
    for (auto *links : {&callers, &callees}) { // up from each match, then down
        std::vector<int> work;
        for (const profile_function &f : g->functions)
            if (matches(pattern, f))
                work.push_back(f.id);
        for (std::set<int> seen; !work.empty();) {
            int f = work.back();
            work.pop_back();
            if (seen.insert(f).second)
                work.insert(work.end(), (*links)[f].begin(), (*links)[f].end());
            kept.insert(f);
        }
    }
    auto gone = [&](int id) { return kept.count(id) == 0; };
    g->functions.erase(std::remove_if(g->functions.begin(), g->functions.end(),
                                      [&](const profile_function &f) { return gone(f.id); }),
                       g->functions.end());
    g->arcs.erase(std::remove_if(g->arcs.begin(), g->arcs.end(),
                                 [&](const profile_arc &a) { return gone(a.caller) || gone(a.callee); }),
                  g->arcs.end());
}

void hide_functions(profile_graph *g, const regex_t *pattern)
{
    std::map<std::pair<int, int>, profile_arc> arcs; // by caller and callee
    std::vector<std::pair<int, int>> order;
    std::map<int, std::set<int>> callers, callees;   // other functions only
    for (const profile_arc &a : g->arcs) {
        order.emplace_back(a.caller, a.callee);
        arcs[order.back()] = a;
        if (a.caller != a.callee) {
            callers[a.callee].insert(a.caller);
            callees[a.caller].insert(a.callee);
        }
    }
    std::map<int, profile_function *> by_id;
    for (profile_function &f : g->functions)
        by_id[f.id] = &f;
    std::set<int> gone;
    for (profile_function &h : g->functions) {
        if (!matches(pattern, h))
            continue;
        gone.insert(h.id);
        double into = 0;
        unsigned long long calls_into = 0;
        for (int c : callers[h.id]) {
            into += arcs[{c, h.id}].percent;
            calls_into += arcs[{c, h.id}].calls;
        }
        // Each caller takes its part of what h passes on, and keeps the rest.
        for (int c : callers[h.id]) {
            const profile_arc in = arcs[{c, h.id}];
            double cost_part = into > 0 ? in.percent / into : 0;
            double calls_part = calls_into > 0 ? double(in.calls) / double(calls_into) : 0;
            double passed = 0;
            for (int v : callees[h.id]) {
                const profile_arc &out = arcs[{h.id, v}];
                auto [it, fresh] = arcs.try_emplace({c, v}, profile_arc{c, v, 0, 0});
                if (fresh)
                    order.emplace_back(c, v);
                if (c != v) {
                    callers[v].insert(c);
                    callees[c].insert(v);
                }
                it->second.percent += out.percent * cost_part;
                it->second.calls += static_cast<unsigned long long>(std::llround(double(out.calls) * calls_part));
                passed += out.percent * cost_part;
            }
            profile_function &caller = *by_id[c];
            caller.self = std::min(caller.percent, caller.self + std::max(0.0, in.percent - passed));
        }
        for (int c : callers[h.id])
            callees[c].erase(h.id);
        for (int v : callees[h.id])
            callers[v].erase(h.id);
        callers.erase(h.id);
        callees.erase(h.id);
    }
    g->arcs.clear();
    for (const auto &key : order) {
        profile_arc &a = arcs[key];
        if (gone.count(a.caller) == 0 && gone.count(a.callee) == 0 && a.caller >= 0) {
            a.percent = std::min(a.percent, 100.0);
            g->arcs.push_back(a);
            a.caller = -1; // taken
        }
    }
    std::vector<profile_function> kept;
    for (const profile_function &f : g->functions)
        if (gone.count(f.id) == 0)
            kept.push_back(f);
    g->functions = kept;
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
