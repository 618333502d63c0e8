#include "callgrind_costs.h"

#include <algorithm>
#include <map>

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

bool callgrind_costs(const callgrind_levels &gathered, profile *p, std::string *error)
{
    const std::size_t n = p->functions.size();
    std::vector<double> first_self(n), into(n), out_of_first(n), out_to_others(n);
    std::vector<bool> called(n), has_levels(n);
    for (const callgrind_level &l : gathered.levels) {
        p->functions[l.function].self += double(l.self);
        first_self[l.function] += l.first ? double(l.self) : 0;
        has_levels[l.function] = has_levels[l.function] || !l.first;
    }
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> arc_ids;
    for (const callgrind_call &c : gathered.calls) {
        const callgrind_level &from = gathered.levels[c.caller], &to = gathered.levels[c.callee];
        std::size_t a = from.function, b = to.function;
        auto [id, fresh] = arc_ids.emplace(std::make_pair(a, b), p->arcs.size());
        if (fresh)
            p->arcs.push_back({a, b, 0, 0, true});
        p->arcs[id->second].calls += c.calls;
        p->arcs[id->second].cost += from.first || to.first ? double(c.cost) : 0;
        (a == b ? p->functions[b].recursive : p->functions[b].calls) += c.calls;
        into[b] += a != b && to.first ? double(c.cost) : 0;
        called[b] = called[b] || (a != b && to.first);
        out_of_first[a] += from.first ? double(c.cost) : 0;
        out_to_others[a] += from.first && a != b ? double(c.cost) : 0;
    }
    // A thread's start counts its own cost and its calls out, and the calls
    // that start it join it to no group.
    std::vector<bool> start(n);
    std::vector<std::vector<std::size_t>> out(n);
    for (std::size_t f = 0; f < n; f++)
        start[f] = !called[f] || out_to_others[f] > into[f];
    for (const profile_arc &a : p->arcs)
        if (!start[a.callee])
            out[a.caller].push_back(a.callee);
    // Without levels, calls among functions that call each other may nest;
    // the calls into their group from outside never do.
    std::vector<std::size_t> group = components(out);
    std::vector<std::size_t> members(n), with_levels(n);
    for (std::size_t f = 0; f < n; f++) {
        members[group[f]]++;
        with_levels[group[f]] += has_levels[f];
    }
    std::vector<double> into_group(n);
    for (const profile_arc &a : p->arcs)
        into_group[group[a.callee]] += group[a.caller] != group[a.callee] ? a.cost : 0;
    for (std::size_t f = 0; f < n; f++) {
        profile_function &fn = p->functions[f];
        std::size_t k = group[f];
        fn.bound = !start[f] && members[k] > 1 && with_levels[k] == 0;
        fn.inclusive = start[f] ? first_self[f] + out_of_first[f] : fn.bound ? std::min(into[f], into_group[k]) : into[f];
        fn.inclusive = std::max(fn.inclusive, fn.self);
    }
    // Calls within such a group nest too: each at most what its callee costs.
    for (profile_arc &a : p->arcs)
        if (p->functions[a.callee].bound && group[a.caller] == group[a.callee])
            a.cost = std::min(a.cost, p->functions[a.callee].inclusive);
    p->total = double(gathered.total);
    auto too_costly = [&](const std::string &what, double cost) {
        *error = what + " costs " + std::to_string(count(cost)) + " of " + p->cost + ", more than the run's " +
                 std::to_string(gathered.total);
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
