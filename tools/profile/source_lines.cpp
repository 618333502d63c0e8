// The lines of perf's stacks, each frame at its srcline.
#include "source_lines.h"

#include <unordered_map>

void lines_of_stacks(const stack_set &s, line_profile *lp)
{
    const std::size_t events = s.events.size();
    lp->events = s.events;
    lp->totals = s.totals;
    lp->p.kind = s.kind;
    lp->p.cost = s.events.empty() ? s.cost : s.events[0];
    lp->p.calls_counted = false;
    lp->p.total = s.totals.empty() ? 0 : s.totals[0];
    std::vector<std::size_t> function_of(s.frames.size(), SIZE_MAX), function_seen;
    std::unordered_map<std::string, std::size_t> function_ids;  // "name\nobject"
    std::unordered_map<std::uint64_t, std::size_t> line_ids;      // function << 32 | position
    std::vector<std::size_t> line_seen;
    for (std::size_t i = 0; i < s.stacks.size(); i++) {
        const stack &k = s.stacks[i];
        const double w = k.cost[1];
        for (std::size_t depth = 0; depth < k.frames.size(); depth++) {
            const stack_frame &frame = s.frames[k.frames[depth]];
            if (frame.kind == frame_kind::command)
                continue;
            std::size_t &f = function_of[k.frames[depth]];
            if (f == SIZE_MAX) {
                auto [id, fresh] = function_ids.emplace(frame.name + "\n" + frame.object, lp->p.functions.size());
                if (fresh) {
                    lp->p.functions.push_back({frame.name, frame.object, ""});
                    lp->self.emplace_back(events);
                    lp->inclusive.emplace_back(events);
                    function_seen.push_back(SIZE_MAX);
                }
                f = id->second;
            }
            std::uint32_t at = k.lines.empty() ? 0 : k.lines[depth];
            auto [id, fresh] = line_ids.emplace(std::uint64_t(f) << 32 | at, lp->lines.size());
            if (fresh) {
                const source_position none, &p = at < s.positions.size() ? s.positions[at] : none;
                lp->lines.push_back({f, p.file, p.line, std::vector<double>(events), std::vector<double>(events)});
                line_seen.push_back(SIZE_MAX);
            }
            // The leaf's line is where the sample was taken; every line
            // above it was calling, each counted once a stack.
            source_line &l = lp->lines[id->second];
            bool leaf = depth + 1 == k.frames.size();
            l.own[k.event] += leaf ? w : 0;
            l.calls[k.event] += !leaf && line_seen[id->second] != i ? w : 0;
            line_seen[id->second] = i;
            lp->self[f][k.event] += leaf ? w : 0;
            lp->inclusive[f][k.event] += function_seen[f] != i ? w : 0;
            function_seen[f] = i;
        }
    }
    // A function's file is that of its costliest line of the first event.
    std::vector<double> heaviest(lp->p.functions.size(), -1);
    for (const source_line &l : lp->lines)
        if (events > 0 && !l.file.empty() && l.own[0] + l.calls[0] > heaviest[l.function]) {
            heaviest[l.function] = l.own[0] + l.calls[0];
            lp->p.functions[l.function].file = l.file;
        }
}
