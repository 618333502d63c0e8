#include "profile_graph.h"

#include <algorithm>
#include <cmath>
#include <map>

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

// Leaves out of g the functions that gone says, and the arcs to and from
// them.
template <typename Gone>
void remove_functions(profile_graph *g, Gone gone)
{
    g->functions.erase(std::remove_if(g->functions.begin(), g->functions.end(),
                                      [&](const profile_function &f) { return gone(f.id); }),
                       g->functions.end());
    g->arcs.erase(std::remove_if(g->arcs.begin(), g->arcs.end(),
                                 [&](const profile_arc &a) { return gone(a.caller) || gone(a.callee); }),
                  g->arcs.end());
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
    remove_functions(g, [&](int id) { return kept.count(id) == 0; });
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
    for (const auto &key : order) { // each arc once, in the profile's order
        if (auto taken = arcs.extract(key)) {
            g->arcs.push_back(taken.mapped());
            g->arcs.back().percent = std::min(g->arcs.back().percent, 100.0);
        }
    }
    remove_functions(g, [&](int id) { return gone.count(id) != 0; });
}
