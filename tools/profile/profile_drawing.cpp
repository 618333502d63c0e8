#include "profile_drawing.h"

#include <cmath>
#include <map>

namespace {

std::string base_name(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

// What matches a function across runs: gprof numbers its cycles anew in
// every run, and builds in two folders have the same functions.
std::string key_of(const profile_function &f)
{
    return f.name.substr(0, f.name.find(" <cycle ")) + '\n' + base_name(f.object) + '\n' + base_name(f.file);
}

// The share of cost in run (0 the base, 1 the new run) as a comparison
// counts it: of the base's total, unless normalized.
double in_run(const drawing &d, int run, double cost)
{
    double total = d.compared && !d.normalized ? d.totals[0] : d.totals[run];
    return total > 0 ? 100 * cost / total : 0;
}

} // namespace

drawing draw(const profile *base, const profile &now, bool normalize)
{
    drawing d;
    d.compared = base != nullptr;
    d.normalized = normalize;
    d.cost = now.cost;
    d.calls_counted = now.calls_counted;
    d.totals[0] = base != nullptr ? base->total : 0;
    d.totals[1] = now.total;
    std::map<std::string, std::size_t> ids;
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> arc_ids;
    std::set<std::string> apart; // keys that a run holds more than once
    for (const profile *run : {base, &now}) {
        std::map<std::string, int> seen;
        for (std::size_t f = 0; run != nullptr && f < run->functions.size(); f++)
            if (seen[key_of(run->functions[f])]++ > 0)
                apart.insert(key_of(run->functions[f]));
    }
    for (int run = base != nullptr ? 0 : 1; run < 2; run++) {
        const profile &p = run == 0 ? *base : now;
        std::vector<std::size_t> id_of;
        std::map<std::string, int> seen;
        for (const profile_function &f : p.functions) {
            std::string key = key_of(f);
            if (apart.count(key) != 0)
                key = f.name + '\n' + f.object + '\n' + f.file + '\n' + std::to_string(seen[key]++);
            auto [it, fresh] = ids.emplace(key, d.functions.size());
            if (fresh)
                d.functions.emplace_back();
            d.functions[it->second].in[run] = &f;
            if (apart.count(key_of(f)) != 0)
                d.functions[it->second].where = f.object + (f.object.empty() || f.file.empty() ? "" : "\n") + f.file;
            id_of.push_back(it->second);
        }
        for (const profile_arc &a : p.arcs) {
            auto [it, fresh] = arc_ids.emplace(std::make_pair(id_of[a.caller], id_of[a.callee]), d.arcs.size());
            if (fresh)
                d.arcs.push_back({id_of[a.caller], id_of[a.callee], {}});
            d.arcs[it->second].in[run] = &a;
        }
    }
    // Where one name stands for functions of several files, each says its
    // file; each says its object's file name.
    std::map<std::pair<std::string, std::string>, std::set<std::string>> files;
    for (const drawn_function &f : d.functions) {
        const profile_function &g = *(f.in[1] != nullptr ? f.in[1] : f.in[0]);
        files[{g.name, g.object}].insert(g.file);
    }
    for (drawn_function &f : d.functions) {
        const profile_function &g = *(f.in[1] != nullptr ? f.in[1] : f.in[0]);
        if (f.where.empty())
            f.where = base_name(g.object) + (g.object.empty() ? "" : "\n") +
                      (files[{g.name, g.object}].size() > 1 ? base_name(g.file) : "");
    }
    return d;
}

double figure(const drawing &d, const drawn_function &f, double profile_function::*cost)
{
    double base = f.in[0] != nullptr ? in_run(d, 0, f.in[0]->*cost) : 0;
    double now = f.in[1] != nullptr ? in_run(d, 1, f.in[1]->*cost) : 0;
    return now - base;
}

double figure(const drawing &d, const drawn_arc &a)
{
    return (a.in[1] != nullptr ? in_run(d, 1, a.in[1]->cost) : 0) - (a.in[0] != nullptr ? in_run(d, 0, a.in[0]->cost) : 0);
}

double share_in(const drawing &d, const drawn_function &f, int run)
{
    return d.totals[run] > 0 && f.in[run] != nullptr ? 100 * f.in[run]->inclusive / d.totals[run] : 0;
}

bool timed(const drawn_arc &a)
{
    return (a.in[0] == nullptr || a.in[0]->timed) && (a.in[1] == nullptr || a.in[1]->timed);
}

chosen choose(const drawing &d, double node_threshold, double edge_threshold)
{
    chosen c;
    if (d.totals[1] <= 0 && !d.compared) // nothing to choose by: everything is drawn
        node_threshold = edge_threshold = 0;
    for (std::size_t f = 0; f < d.functions.size(); f++)
        if (std::fabs(figure(d, d.functions[f], &profile_function::inclusive)) >= node_threshold ||
            std::fabs(figure(d, d.functions[f], &profile_function::self)) >= node_threshold)
            c.functions.insert(f);
    std::vector<bool> taken(d.arcs.size());
    std::vector<std::vector<std::size_t>> callers(d.functions.size()); // other functions only
    auto calls = [&](std::size_t a) { return d.arcs[a].in[1] != nullptr ? d.arcs[a].in[1]->calls : 0; };
    for (std::size_t a = 0; a < d.arcs.size(); a++) {
        const drawn_arc &arc = d.arcs[a];
        taken[a] = c.functions.count(arc.caller) != 0 && c.functions.count(arc.callee) != 0 &&
                   std::fabs(figure(d, arc)) >= edge_threshold;
        if (arc.caller != arc.callee)
            callers[arc.callee].push_back(a);
    }
    std::vector<std::size_t> work(c.functions.begin(), c.functions.end());
    while (!work.empty()) {
        std::size_t f = work.back(), heaviest = SIZE_MAX;
        work.pop_back();
        bool has_caller = false;
        for (std::size_t a : callers[f]) {
            has_caller = has_caller || taken[a];
            double weight = std::fabs(figure(d, d.arcs[a])), most = 0;
            if (heaviest != SIZE_MAX)
                most = std::fabs(figure(d, d.arcs[heaviest]));
            if (heaviest == SIZE_MAX || weight > most || (weight == most && calls(a) > calls(heaviest)))
                heaviest = a;
        }
        if (has_caller || heaviest == SIZE_MAX)
            continue;
        taken[heaviest] = true;
        if (c.functions.insert(d.arcs[heaviest].caller).second)
            work.push_back(d.arcs[heaviest].caller);
    }
    for (std::size_t a = 0; a < d.arcs.size(); a++)
        if (taken[a])
            c.arcs.push_back(a);
    return c;
}
