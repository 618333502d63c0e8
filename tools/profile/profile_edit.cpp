// --hide and --focus: functions left out of a profile (profile.h).
#include "profile.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace {

bool matches(const RE2 &pattern, const profile_function &f)
{
    return RE2::PartialMatch(f.name, pattern) || (!f.object.empty() && RE2::PartialMatch(f.object, pattern));
}

// Leaves out of p the functions that gone says, and the arcs to and from
// them; the others keep their order.
void remove_functions(profile *p, const std::vector<bool> &gone)
{
    std::vector<std::size_t> id(gone.size());
    std::vector<profile_function> kept;
    for (std::size_t f = 0; f < gone.size(); f++) {
        id[f] = kept.size();
        if (!gone[f])
            kept.push_back(std::move(p->functions[f]));
    }
    p->functions = std::move(kept);
    auto cut = std::remove_if(p->arcs.begin(), p->arcs.end(),
                              [&](const profile_arc &a) { return gone[a.caller] || gone[a.callee]; });
    p->arcs.erase(cut, p->arcs.end());
    for (profile_arc &a : p->arcs) {
        a.caller = id[a.caller];
        a.callee = id[a.callee];
    }
}

} // namespace

void focus_functions(profile *p, const RE2 &pattern)
{
    const std::size_t n = p->functions.size();
    std::vector<std::vector<std::size_t>> links[2]; // callers, callees
    links[0].resize(n);
    links[1].resize(n);
    for (const profile_arc &a : p->arcs) {
        links[0][a.callee].push_back(a.caller);
        links[1][a.caller].push_back(a.callee);
    }
    std::vector<bool> on[2] = {std::vector<bool>(n), std::vector<bool>(n)}; // reaches a match; is reached from one
    for (int way = 0; way < 2; way++) { // up from each match, then down
        std::vector<std::size_t> work;
        for (std::size_t f = 0; f < n; f++)
            if (matches(pattern, p->functions[f]))
                work.push_back(f);
        while (!work.empty()) {
            std::size_t f = work.back();
            work.pop_back();
            if (!on[way][f])
                work.insert(work.end(), links[way][f].begin(), links[way][f].end());
            on[way][f] = true;
        }
    }
    // An arc lies on a path through a match when it leads to one or from one:
    // main -> W goes around main -> M -> W.
    auto around = std::remove_if(p->arcs.begin(), p->arcs.end(),
                                 [&](const profile_arc &a) { return !on[0][a.callee] && !on[1][a.caller]; });
    p->arcs.erase(around, p->arcs.end());
    std::vector<bool> gone(n);
    for (std::size_t f = 0; f < n; f++)
        gone[f] = !on[0][f] && !on[1][f];
    remove_functions(p, gone);
}

void hide_functions(profile *p, const RE2 &pattern)
{
    using ends = std::pair<std::size_t, std::size_t>;
    std::map<ends, profile_arc> arcs; // by caller and callee
    std::vector<ends> order;
    std::vector<std::set<std::size_t>> callers(p->functions.size()), callees(p->functions.size()); // other functions
    for (const profile_arc &a : p->arcs) {
        order.emplace_back(a.caller, a.callee);
        arcs[order.back()] = a;
        if (a.caller != a.callee) {
            callers[a.callee].insert(a.caller);
            callees[a.caller].insert(a.callee);
        }
    }
    std::vector<bool> gone(p->functions.size());
    for (std::size_t h = 0; h < p->functions.size(); h++) {
        if (!(gone[h] = matches(pattern, p->functions[h])))
            continue;
        double into = 0, calls_into = 0;
        for (std::size_t c : callers[h]) {
            into += arcs[{c, h}].cost;
            calls_into += double(arcs[{c, h}].calls);
        }
        // Each caller takes its part of what h passes on, and keeps the rest
        // as its own.
        for (std::size_t c : callers[h]) {
            const profile_arc in = arcs[{c, h}];
            double part = into > 0 ? in.cost / into : 0, passed = 0;
            double calls_part = calls_into > 0 ? double(in.calls) / calls_into : 0;
            for (std::size_t v : callees[h]) {
                const profile_arc &out = arcs[{h, v}];
                auto [it, fresh] = arcs.try_emplace({c, v}, profile_arc{c, v, 0, 0, true});
                if (fresh)
                    order.emplace_back(c, v);
                if (c != v) {
                    callers[v].insert(c);
                    callees[c].insert(v);
                }
                it->second.cost += out.cost * part;
                it->second.calls += static_cast<count>(std::llround(double(out.calls) * calls_part));
                it->second.timed = it->second.timed && in.timed && out.timed;
                passed += out.cost * part;
            }
            profile_function &caller = p->functions[c];
            caller.self = std::min(caller.inclusive, caller.self + std::max(0.0, in.cost - passed));
        }
        for (std::size_t c : callers[h])
            callees[c].erase(h);
        for (std::size_t v : callees[h])
            callers[v].erase(h);
        callers[h].clear();
        callees[h].clear();
    }
    p->arcs.clear();
    for (const ends &key : order) // each arc once, in the profile's order
        if (auto taken = arcs.extract(key))
            p->arcs.push_back(taken.mapped());
    remove_functions(p, gone);
}

std::unique_ptr<RE2> pattern_of(const char *text, std::string *error)
{
    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(std::int64_t{8} << 20);
    auto pattern = std::make_unique<RE2>(text, options);
    if (pattern->ok())
        return pattern;
    *error = pattern->error();
    return nullptr;
}
