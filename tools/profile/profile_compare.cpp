#include "profile_compare.h"

#include <map>

namespace {

std::string key_of(const profile_function &f)
{
    auto base_name = [](const std::string &path) { return path.substr(path.rfind('/') + 1); };
    return f.name + '\n' + base_name(f.object) + '\n' + base_name(f.file);
}

} // namespace

profile_graph compare_profiles(const profile_graph &base, const profile_graph &now, bool normalize)
{
    profile_graph c;
    c.cost = now.cost;
    c.no_time = base.no_time && now.no_time;
    c.total = now.total;
    c.base_total = base.total;
    c.normalized = normalize;
    // Each run's shares, in shares of the base's total (scaled or not).
    const double scale[2] = {1, normalize || base.total <= 0 ? 1 : now.total / base.total};
    const profile_graph *runs[2] = {&base, &now};
    std::map<std::string, int> ids;
    std::map<std::pair<int, int>, std::size_t> arc_ids;
    for (int run = 0; run < 2; run++) {
        const double sign = run == 0 ? -1 : 1;
        std::map<int, int> id_of; // the run's ids to the comparison's
        for (const profile_function &f : runs[run]->functions) {
            auto [it, fresh] = ids.emplace(key_of(f), int(c.functions.size()));
            if (fresh)
                c.functions.push_back({it->second, f.name, f.object, 0, 0, "", f.file, false});
            profile_function &to = c.functions[std::size_t(it->second)];
            to.percent += sign * scale[run] * f.percent;
            to.self += sign * scale[run] * f.self;
            to.shares[run] = f.percent;
            to.bound = to.bound || f.bound;
            to.calls = run == 1 ? f.calls : to.calls;
            id_of[f.id] = it->second;
        }
        for (const profile_arc &a : runs[run]->arcs) {
            std::pair<int, int> ends{id_of[a.caller], id_of[a.callee]};
            auto [it, fresh] = arc_ids.emplace(ends, c.arcs.size());
            if (fresh)
                c.arcs.push_back({ends.first, ends.second, 0, 0, 0});
            profile_arc &to = c.arcs[it->second];
            to.percent += sign * scale[run] * a.percent;
            (run == 0 ? to.base_calls : to.calls) = a.calls;
        }
    }
    return c;
}
