// Folded stacks: "ROOT;FRAME;...;LEAF COUNT", a line a stack, the count
// after the last blank (a frame may hold blanks), an integer or a decimal;
// "STACK BASE NOW" gives two runs' counts. The first line sets the form of
// the file. A frame's "_[k]" marks the kernel's and "_[i]" an inlined one.
#include "stacks.h"

#include "filter.h"

#include <unordered_map>

namespace {

// The count that ends text, and the text before its blank; false where
// text ends in no number.
bool last_count(std::string_view *text, double *cost)
{
    std::size_t blank = text->find_last_of(" \t");
    if (blank == text->npos || !decimal(text->substr(blank + 1), cost))
        return false;
    *text = text->substr(0, text->find_last_not_of(" \t", blank) + 1);
    return true;
}

frame_kind kind_of(std::string_view name)
{
    if (name.size() < 2 || name.front() != '[' || name.back() != ']')
        return frame_kind::program;
    return name == "[unknown]" ? frame_kind::unknown
           : name.find(".so") != name.npos || name == "[vdso]" ? frame_kind::library
                                                                : frame_kind::unknown;
}

} // namespace

std::string frame_name(const stack_frame &f, bool suffixes)
{
    std::string name = f.name;
    if (name == "[unknown]" && !f.object.empty()) // "[vdso]" and "[unknown]" are in brackets already
        name = f.object[0] == '[' ? f.object : "[" + f.object.substr(f.object.rfind('/') + 1) + "]";
    if (suffixes && f.kind == frame_kind::kernel)
        name += "_[k]";
    else if (suffixes && f.inlined)
        name += "_[i]";
    return name;
}

bool is_folded(std::string_view first_line)
{
    double cost = 0;
    return !first_line.empty() && first_line[0] != ' ' && first_line[0] != '\t' && last_count(&first_line, &cost) &&
           !first_line.empty();
}

bool read_folded(profile_lines *lines, stack_set *s, std::string *error, bool *whole)
{
    s->kind = "folded";
    s->cost = "samples";
    std::unordered_map<std::string, std::uint32_t> frame_ids;
    std::unordered_map<std::string, std::size_t> stack_ids;
    std::vector<std::uint32_t> ids;
    std::string key;
    bool first = true;
    while (next_line(lines, error)) {
        std::string_view text = lines->line;
        double now = 0, base = 0;
        if (lines->unended)
            return *error = "a line without its newline: the file is cut short", false;
        if (text.empty())
            continue;
        if (!last_count(&text, &now))
            return *error = "a folded stack without a count that is a number, at least 0: STACK COUNT", false;
        bool two = last_count(&text, &base);
        if (first)
            s->two_runs = two;
        first = false;
        if (two != s->two_runs)
            return *error = "one- and two-count lines in one file: it holds either STACK COUNT or STACK BASE NOW", false;
        ids.clear();
        for (std::size_t at = 0, end = 0; end != text.npos; at = end + 1) {
            end = text.find(';', at);
            std::string_view name = text.substr(at, end == text.npos ? text.npos : end - at);
            if (name.empty())
                return *error = "an empty frame: each of a stack's frames has a name", false;
            stack_frame f{std::string(name), "", kind_of(name), false};
            std::string_view suffix = name.size() > 4 ? name.substr(name.size() - 4) : "";
            if (suffix == "_[k]" || suffix == "_[i]") {
                f.name.resize(f.name.size() - 4);
                f.kind = suffix == "_[k]" ? frame_kind::kernel : kind_of(f.name);
                f.inlined = suffix == "_[i]";
            }
            auto [id, fresh] = frame_ids.emplace(name, std::uint32_t(s->frames.size()));
            if (fresh)
                s->frames.push_back(std::move(f));
            ids.push_back(id->second);
        }
        key.assign(reinterpret_cast<const char *>(ids.data()), ids.size() * sizeof ids[0]);
        auto [id, fresh] = stack_ids.emplace(key, s->stacks.size());
        if (fresh)
            s->stacks.push_back({ids, {0, 0}, 0, {}, 0});
        stack &k = s->stacks[id->second];
        k.cost[0] += base;
        k.cost[1] += now;
        k.samples += now;
        s->total[0] += base;
        s->total[1] += now;
    }
    *whole = error->empty();
    if (*whole && first)
        *error = "no stack in this file";
    return error->empty();
}
