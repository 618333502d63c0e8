#include "flame.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

std::vector<flame_node> build_flame(const stack_set &s, const flame_options &o)
{
    std::vector<flame_node> nodes(1);
    std::unordered_map<std::uint64_t, std::uint32_t> ids; // parent << 32 | frame
    for (const stack &k : s.stacks) {
        std::uint32_t at = 0, last = UINT32_MAX;
        for (std::size_t i = 0; i < k.frames.size(); i++) {
            std::uint32_t frame = k.frames[o.reverse ? k.frames.size() - 1 - i : i];
            if (o.collapse && frame == last)
                continue;
            last = frame;
            auto [id, fresh] = ids.emplace(std::uint64_t(at) << 32 | frame, std::uint32_t(nodes.size()));
            if (fresh) {
                flame_node child;
                child.frame = frame;
                child.parent = at;
                child.depth = nodes[at].depth + 1;
                nodes.push_back(std::move(child));
                nodes[at].children.push_back(id->second);
            }
            at = id->second;
            for (int run = 0; run < 2; run++)
                nodes[at].cost[run] += k.cost[run];
            nodes[at].samples += k.samples;
        }
        for (int run = 0; run < 2; run++) {
            nodes[0].cost[run] += k.cost[run];
            nodes[at].self[run] += k.cost[run];
        }
        nodes[0].samples += k.samples;
    }
    // Children in name order, then each one's start after its elder siblings.
    std::vector<std::string> names(s.frames.size());
    for (std::size_t f = 0; f < s.frames.size(); f++)
        names[f] = frame_name(s.frames[f], false) + '\n' + s.frames[f].object;
    std::vector<std::uint32_t> walk(1, 0);
    while (!walk.empty()) {
        flame_node &n = nodes[walk.back()];
        walk.pop_back();
        std::sort(n.children.begin(), n.children.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return names[nodes[a].frame] < names[nodes[b].frame]; });
        double start[2] = {n.start[0], n.start[1]};
        for (std::uint32_t c : n.children) {
            for (int run = 0; run < 2; run++) {
                nodes[c].start[run] = start[run];
                start[run] += nodes[c].cost[run];
            }
            walk.push_back(c);
        }
    }
    return nodes;
}

void merge_runs(const stack_set &base, stack_set *now)
{
    std::unordered_map<std::string, std::uint32_t> frame_ids;
    std::unordered_map<std::string, std::size_t> stack_ids;
    auto frame_key = [](const stack_frame &f) {
        return f.name + '\n' + f.object + '\n' + char(f.kind) + (f.inlined ? "i" : "");
    };
    auto stack_key = [](const std::vector<std::uint32_t> &frames) {
        return std::string(reinterpret_cast<const char *>(frames.data()), frames.size() * sizeof frames[0]);
    };
    for (std::size_t f = 0; f < now->frames.size(); f++)
        frame_ids.emplace(frame_key(now->frames[f]), std::uint32_t(f));
    for (std::size_t k = 0; k < now->stacks.size(); k++)
        stack_ids.emplace(stack_key(now->stacks[k].frames), k);
    for (const stack &k : base.stacks) {
        std::vector<std::uint32_t> frames;
        for (std::uint32_t f : k.frames) {
            auto [id, fresh] = frame_ids.emplace(frame_key(base.frames[f]), std::uint32_t(now->frames.size()));
            if (fresh)
                now->frames.push_back(base.frames[f]);
            frames.push_back(id->second);
        }
        auto [id, fresh] = stack_ids.emplace(stack_key(frames), now->stacks.size());
        if (fresh)
            now->stacks.push_back({frames, {0, 0}, 0, {}, 0});
        now->stacks[id->second].cost[0] += k.cost[1];
    }
    now->total[0] = base.total[1];
    now->two_runs = true;
}

std::string folded_text(const stack_set &s, const std::vector<flame_node> &nodes)
{
    std::vector<std::string> lines;
    std::vector<std::string> names(s.frames.size());
    for (std::size_t f = 0; f < s.frames.size(); f++)
        names[f] = frame_name(s.frames[f], true);
    char number[64];
    for (std::size_t i = 1; i < nodes.size(); i++) {
        const flame_node &n = nodes[i];
        if (n.self[0] <= 0 && n.self[1] <= 0)
            continue;
        std::string line;
        for (std::uint32_t at = std::uint32_t(i); at != 0; at = nodes[at].parent)
            line.insert(0, (nodes[at].parent != 0 ? ";" : "") + names[nodes[at].frame]);
        if (s.two_runs)
            line += (std::snprintf(number, sizeof number, " %.15g", n.self[0]), number);
        lines.push_back(line + (std::snprintf(number, sizeof number, " %.15g\n", n.self[1]), number));
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string &l : lines)
        text += l;
    return text;
}
