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

// What tells a function from every other of its run, paths whole.
std::string identity_of(const profile_function &f)
{
    return f.name.substr(0, f.name.find(" <cycle ")) + '\n' + f.object + '\n' + f.file;
}

// A figure in percent, from the counts in one division, so that what is
// printed is the exact figure rounded: the share of now in one run; in a
// comparison the change from base to now, of the base's total, or
// normalized, the change of the shares, (now t0 - base t1) / (t0 t1).
double in_percent(const drawing &d, double base, double now)
{
    long double t0 = d.totals[0], t1 = d.totals[1], part = now, whole = t1;
    if (d.compared && (!d.normalized || t1 <= 0)) { // no new total to scale to: the new shares are 0
        part = d.normalized ? -(long double)base : (long double)now - base;
        whole = t0;
    } else if (d.compared) {
        part = now * t0 - base * t1;
        whole = t0 * t1;
    }
    return whole > 0 ? double(100 * part / whole) : 0;
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
    std::set<std::string> apart, alike; // keys, and whole identities, that a run holds more than once
    for (const profile *run : {base, &now}) {
        std::map<std::string, int> keys, identities;
        for (std::size_t f = 0; run != nullptr && f < run->functions.size(); f++) {
            if (keys[key_of(run->functions[f])]++ > 0)
                apart.insert(key_of(run->functions[f]));
            if (identities[identity_of(run->functions[f])]++ > 0)
                alike.insert(identity_of(run->functions[f]));
        }
    }
    for (int run = base != nullptr ? 0 : 1; run < 2; run++) {
        const profile &p = run == 0 ? *base : now;
        std::vector<std::size_t> id_of;
        for (const profile_function &f : p.functions) {
            bool unpaired = d.compared && alike.count(identity_of(f)) != 0;
            std::string key = unpaired                        ? "\n\n\n" + std::to_string(run) + "\n" + std::to_string(id_of.size())
                              : apart.count(key_of(f)) != 0 ? identity_of(f)
                                                             : key_of(f);
            auto [it, fresh] = ids.emplace(key, d.functions.size());
            if (fresh)
                d.functions.emplace_back();
            d.functions[it->second].in[run] = &f;
            d.functions[it->second].unpaired = unpaired;
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
    auto name = [](const profile_function &g) { return g.name.substr(0, g.name.find(" <cycle ")); };
    for (const drawn_function &f : d.functions) {
        const profile_function &g = *(f.in[1] != nullptr ? f.in[1] : f.in[0]);
        files[{name(g), g.object}].insert(g.file);
    }
    for (drawn_function &f : d.functions) {
        const profile_function &g = *(f.in[1] != nullptr ? f.in[1] : f.in[0]);
        if (f.where.empty())
            f.where = base_name(g.object) + (g.object.empty() ? "" : "\n") +
                      (files[{name(g), g.object}].size() > 1 ? base_name(g.file) : "");
    }
    return d;
}

double figure(const drawing &d, const drawn_function &f, double profile_function::*cost)
{
    return in_percent(d, f.in[0] != nullptr ? f.in[0]->*cost : 0, f.in[1] != nullptr ? f.in[1]->*cost : 0);
}

double figure(const drawing &d, const drawn_arc &a)
{
    return in_percent(d, a.in[0] != nullptr ? a.in[0]->cost : 0, a.in[1] != nullptr ? a.in[1]->cost : 0);
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
