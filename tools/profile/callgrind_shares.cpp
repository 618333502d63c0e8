#include "callgrind_shares.h"

#include <algorithm>
#include <map>

void callgrind_shares(const std::vector<level> &levels, const std::vector<call> &calls, profile_graph *graph)
{
    profile_graph &g = *graph;
    std::size_t n = g.functions.size();
    std::vector<long double> self(n), first_self(n), into(n), out_of_first(n), out_to_others(n);
    std::vector<cost> into_calls(n), recursive(n);
    std::vector<bool> called(n), has_levels(n);
    long double total = 0;
    for (const level &l : levels) {
        self[std::size_t(l.box)] += l.self;
        has_levels[std::size_t(l.box)] = has_levels[std::size_t(l.box)] || !l.first;
        first_self[std::size_t(l.box)] += l.first ? l.self : 0;
        total += l.self;
    }
    auto share = [&](long double c) { return total > 0 ? double(100 * c / total) : 0.0; };
    std::map<std::pair<int, int>, std::size_t> arc_ids; // an arc's percent holds its cost until the end
    for (const call &c : calls) {
        const level &from = levels[std::size_t(c.caller)], &to = levels[std::size_t(c.callee)];
        std::size_t a = std::size_t(from.box), b = std::size_t(to.box);
        auto [id, fresh] = arc_ids.emplace(std::make_pair(from.box, to.box), g.arcs.size());
        if (fresh)
            g.arcs.push_back({from.box, to.box, 0, 0});
        g.arcs[id->second].calls += c.count;
        g.arcs[id->second].percent += from.first || to.first ? double(c.inclusive) : 0;
        (a == b ? recursive[a] : into_calls[b]) += c.count;
        into[b] += a != b && to.first ? c.inclusive : 0;
        called[b] = called[b] || (a != b && to.first);
        out_of_first[a] += from.first ? c.inclusive : 0;
        out_to_others[a] += from.first && a != b ? c.inclusive : 0;
    }
    // Without levels (--separate-recs=1), calls among functions that call
    // each other may nest; a function's share is then at most its group's,
    // whose calls in from outside never nest.
    std::vector<int> group = components(g);
    std::vector<int> members(n), with_levels(n);
    for (std::size_t f = 0; f < n; f++) {
        members[std::size_t(group[f])]++;
        with_levels[std::size_t(group[f])] += has_levels[f];
    }
    std::vector<long double> into_group(n, -1); // -1: never entered from outside
    for (const profile_arc &a : g.arcs) {       // calls in from outside are into first levels
        std::size_t from = std::size_t(group[std::size_t(a.caller)]), to = std::size_t(group[std::size_t(a.callee)]);
        into_group[to] = from == to ? into_group[to] : std::max(into_group[to], 0.0L) + a.percent;
    }
    for (std::size_t f = 0; f < n; f++) {
        profile_function &fn = g.functions[f];
        fn.self = share(self[f]);
        // A function that nothing calls, or whose calls out cost more than
        // the calls into it (a thread starts inside clone, say), counts its
        // own cost and its calls out.
        bool entered = called[f] && out_to_others[f] <= into[f];
        long double with_callees = entered ? into[f] : first_self[f] + out_of_first[f];
        std::size_t k = std::size_t(group[f]);
        if (entered && into_group[k] >= 0)
            with_callees = std::min(with_callees, into_group[k]);
        fn.bound = entered && members[k] > 1 && with_levels[k] == 0;
        fn.percent = std::min(100.0, std::max(fn.self, share(with_callees)));
        if (into_calls[f] + recursive[f] > 0)
            fn.calls = std::to_string(into_calls[f]) + (recursive[f] > 0 ? "+" + std::to_string(recursive[f]) : "");
    }
    for (profile_arc &a : g.arcs)
        a.percent = std::min(share(a.percent), g.functions[std::size_t(a.callee)].percent);
    g.no_time = total == 0;
    g.total = double(total);
}
