#include "callgrind_costs.h"

#include <algorithm>
#include <cstdio>

namespace {

// The strongly connected components of the graph whose arcs out of each of
// n functions are out: the same number for functions that reach each other
// by calls (Tarjan's algorithm, with a stack of its own rather than
// recursion).
std::vector<std::size_t> components(const std::vector<std::vector<std::size_t>> &out)
{
    const std::size_t n = out.size(), none = SIZE_MAX;
    std::vector<std::size_t> index(n, none), low(n), component(n, none), stack;
    std::vector<std::pair<std::size_t, std::size_t>> walk; // a function, and the next of its arcs to follow
    std::size_t visited = 0, found = 0;
    for (std::size_t start = 0; start < n; start++) {
        if (index[start] == none)
            walk.emplace_back(start, 0);
        while (!walk.empty()) {
            auto [u, next] = walk.back();
            if (next == 0 && index[u] == none) {
                index[u] = low[u] = visited++;
                stack.push_back(u);
            }
            if (next < out[u].size()) {
                walk.back().second++;
                std::size_t w = out[u][next];
                if (index[w] == none)
                    walk.emplace_back(w, 0);
                else if (component[w] == none)
                    low[u] = std::min(low[u], index[w]);
                continue;
            }
            walk.pop_back();
            if (!walk.empty())
                low[walk.back().first] = std::min(low[walk.back().first], low[u]);
            if (low[u] != index[u])
                continue;
            for (std::size_t w = none; w != u; stack.pop_back())
                component[w = stack.back()] = found;
            found++;
        }
    }
    return component;
}

} // namespace

bool callgrind_costs(const std::vector<callgrind_sums> &sums, count total, profile *p, std::string *error)
{
    const std::size_t n = p->functions.size();
    // A thread's start counts its own cost and its calls out, and the calls
    // that start it join it to no group.
    std::vector<bool> start(n);
    std::vector<std::vector<std::size_t>> out(n);
    for (std::size_t f = 0; f < n; f++)
        start[f] = !sums[f].called || sums[f].out_to_others > sums[f].into;
    for (const profile_arc &a : p->arcs)
        if (!start[a.callee])
            out[a.caller].push_back(a.callee);
    // Without levels, calls among functions that call each other may nest;
    // the calls into their group from outside never do.
    std::vector<std::size_t> group = components(out);
    std::vector<std::size_t> members(n), with_levels(n);
    for (std::size_t f = 0; f < n; f++) {
        members[group[f]]++;
        with_levels[group[f]] += sums[f].has_levels;
    }
    std::vector<double> into_group(n);
    for (const profile_arc &a : p->arcs)
        into_group[group[a.callee]] += group[a.caller] != group[a.callee] ? a.cost : 0;
    for (std::size_t f = 0; f < n; f++) {
        profile_function &fn = p->functions[f];
        std::size_t k = group[f];
        fn.bound = !start[f] && members[k] > 1 && with_levels[k] == 0;
        fn.inclusive = start[f] ? sums[f].first_self + sums[f].out_of_first
                                : fn.bound ? std::min(sums[f].into, into_group[k]) : sums[f].into;
        fn.inclusive = std::max(fn.inclusive, fn.self);
    }
    // Calls within such a group nest too: each at most what its callee costs.
    for (profile_arc &a : p->arcs)
        if (p->functions[a.callee].bound && group[a.caller] == group[a.callee])
            a.cost = std::min(a.cost, p->functions[a.callee].inclusive);
    p->total = double(total);
    auto too_costly = [&](const std::string &what, double cost) {
        char figure[400]; // a double's whole digits, 2^64 and more among them
        std::snprintf(figure, sizeof figure, "%.0f", cost);
        *error = what + " costs " + figure + " of " + p->cost + ", more than the run's " + std::to_string(total);
        return false;
    };
    for (const profile_function &f : p->functions)
        if (f.inclusive > p->total)
            return too_costly(f.name + " with its callees", f.inclusive);
    for (const profile_arc &a : p->arcs)
        if (group[a.caller] != group[a.callee] && a.cost > p->total)
            return too_costly("the call from " + p->functions[a.caller].name + " to " + p->functions[a.callee].name, a.cost);
    return true;
}
