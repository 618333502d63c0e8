#include "callgrind_profile.h"

#include "callgrind_shares.h"
#include "filter.h"

#include <algorithm>
#include <cstring>
#include <climits>
#include <map>
#include <unordered_map>
#include <vector>

namespace {

struct reader {
    std::string event;         // the event drawn; "" for the first
    std::vector<std::string> events;
    std::size_t column = 0;    // the event's among the counts
    std::size_t positions = 1; // subpositions that start a cost line
    std::unordered_map<cost, std::string> names[3]; // compressed names: objects, files, functions
    std::string object, called_object, called;      // ob=, cob= (for the next call only), cfn=
    std::string file, called_file;                  // fl=, fi= or fe=; cfi= or cfl= (for the next call only)
    bool has_called_object = false, has_called = false, has_called_file = false;
    int function = -1;         // the level of fn=
    std::unordered_map<std::string, int> level_ids, box_ids;
    std::vector<level> levels;
    std::map<std::pair<int, int>, std::size_t> call_ids;
    std::vector<call> calls;   // in the profile's order
    std::size_t pending = 0;   // the line of a calls= or jump= whose cost line is next
    bool pending_call = false; // the pending line is a calls=, of calls[last_call]
    std::size_t last_call = 0;
    std::string error;         // what is wrong with the line read
    cost part_costs = 0;       // the event's costs in the part so far, to check against its totals
    cost summary = 0;          // the part's summary: of the event, when it has one
    bool has_summary = false, closed = false; // closed: by a totals: line, with nothing after it
    profile_graph *g;
};

bool bad(reader &r, const std::string &what)
{
    r.error = what;
    return false;
}

// A number as callgrind writes them, decimal or hex after "0x".
bool number(reader &r, std::string_view word, cost *n)
{
    bool hex = word.substr(0, 2) == "0x";
    if (whole_number(word.substr(hex ? 2 : 0), ULLONG_MAX, n, hex ? 16 : 10))
        return true;
    bool digits = word.size() > (hex ? 2 : 0) &&
                  word.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789", hex ? 2 : 0) == word.npos;
    return bad(r, (digits ? "a number past 64 bits: " : "not a number: ") + std::string(word));
}

bool add(reader &r, cost *sum, cost c, const char *what)
{
    return !__builtin_add_overflow(*sum, c, sum) || bad(r, std::string(what) + " that add up past 64 bits");
}

// The name a NAME= line gives, "(ID) name", "(ID)" or "name", through the
// kind's table of compressed names.
bool name_in(reader &r, std::unordered_map<cost, std::string> &table, std::string_view text, std::string *name)
{
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    if (text.size() < 2 || text[0] != '(' || text[1] < '0' || text[1] > '9') {
        *name = text;
        return true;
    }
    std::size_t close = text.find(')');
    cost id = 0;
    if (close == text.npos || !whole_number(text.substr(1, close - 1), ULLONG_MAX, &id))
        return bad(r, "a compressed name without its ')': " + std::string(text));
    text.remove_prefix(close + 1);
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    if (!text.empty()) {
        *name = table[id] = text;
        return true;
    }
    auto known = table.find(id);
    if (known == table.end())
        return bad(r, "(" + std::to_string(id) + ") was never defined");
    *name = known->second;
    return true;
}

// A function is its name in its object and its source file: static
// functions of one name in two files are two.
int level_of(reader &r, const std::string &object, const std::string &file, const std::string &name)
{
    auto [it, fresh] = r.level_ids.emplace(object + '\n' + file + '\n' + name, int(r.levels.size()));
    if (!fresh)
        return it->second;
    std::size_t mark = name.rfind('\'');
    bool deeper = mark != std::string::npos && mark + 1 < name.size() &&
                  name.find_first_not_of("0123456789", mark + 1) == std::string::npos;
    std::string base = deeper ? name.substr(0, mark) : name;
    auto [box, new_box] = r.box_ids.emplace(object + '\n' + file + '\n' + base, int(r.g->functions.size()));
    if (new_box)
        r.g->functions.push_back({box->second, base, object, 0, 0, "", file, false});
    r.levels.push_back({box->second, !deeper, 0});
    return it->second;
}

// A cost line's count of the event drawn, in *wanted; its subpositions
// ("*", "+N", "-N", "N") and other counts checked.
bool cost_line(reader &r, const std::vector<std::string_view> &w, cost *wanted)
{
    if (w.size() > r.positions + r.events.size())
        return bad(r, "more counts than the " + std::to_string(r.events.size()) + " events");
    for (std::size_t i = 0; i < w.size(); i++) {
        std::string_view word = w[i];
        if (i < r.positions && word == "*")
            continue;
        if (i < r.positions && (word[0] == '+' || word[0] == '-'))
            word.remove_prefix(1);
        cost n = 0;
        if (!number(r, word, &n))
            return false;
        *wanted = i == r.positions + r.column ? n : *wanted;
    }
    return true;
}

// A part's costs of the event against its closing totals: (or, without
// one, its summary:), so that a profile cut short is refused.
bool close_part(reader &r, bool totals, cost expected)
{
    const std::string of = "the costs of " + r.g->cost + " add up to " + std::to_string(r.part_costs);
    if (!totals && !r.has_summary && !r.closed)
        return bad(r, "no totals: line at the end of the part: the profile is cut short");
    if (!totals && !r.closed && r.part_costs != r.summary)
        return bad(r, of + ", not to its summary: of " + std::to_string(r.summary) + ": the profile is cut short");
    if (totals && r.part_costs != expected)
        return bad(r, of + ", not to its totals: of " + std::to_string(expected));
    r.part_costs = 0;
    r.has_summary = false;
    r.closed = totals;
    return true;
}

// The event's count in a totals: or summary: line.
bool count_of_event(reader &r, std::string_view value, cost *n)
{
    std::vector<std::string_view> w = words(value);
    *n = 0;
    return r.column >= w.size() || number(r, w[r.column], n);
}

bool header(reader &r, const std::string &key, std::string_view value)
{
    cost n = 0;
    if (key == "part" && !r.events.empty() && (r.part_costs != 0 || !r.closed))
        return close_part(r, false, 0);
    if (key == "summary" && !r.events.empty()) {
        r.has_summary = true;
        return count_of_event(r, value, &r.summary);
    }
    if (key == "totals")
        return !r.events.empty() && count_of_event(r, value, &n) && close_part(r, true, n);
    if (key == "positions") {
        r.positions = words(value).size();
        for (std::string_view kind : words(value))
            if (kind != "instr" && kind != "bb" && kind != "line")
                return bad(r, "positions: unknown position " + std::string(kind));
    }
    if (key != "events")
        return true; // the rest of the header says nothing that is drawn
    std::vector<std::string_view> given = words(value);
    std::vector<std::string> events(given.begin(), given.end());
    if (!r.events.empty() && events != r.events)
        return bad(r, "events: not those of the first part");
    r.events = events;
    auto wanted = r.event.empty() ? events.begin() : std::find(events.begin(), events.end(), r.event);
    std::string all;
    for (const std::string &e : events)
        all += " " + e;
    if (wanted == events.end())
        return bad(r, "no event " + (r.event.empty() ? "at all" : r.event) + " in this profile, whose events are:" + all);
    r.column = std::size_t(wanted - events.begin());
    r.g->cost = *wanted;
    return true;
}

bool call_line(reader &r, const std::string &key, std::string_view value, std::size_t number_of_line)
{
    std::vector<std::string_view> w = words(value);
    if (r.function < 0)
        return bad(r, key + "= before any fn=");
    std::string_view first = w.empty() ? "" : w[0];
    cost count = 0, taken = 0;
    std::size_t slash = key == "jcnd" ? first.find('/') : first.npos;
    if (!number(r, first.substr(0, slash), &count) || (slash != first.npos && !number(r, first.substr(slash + 1), &taken)))
        return false;
    r.pending = number_of_line;
    r.pending_call = key == "calls";
    if (!r.pending_call)
        return true;
    if (!r.has_called)
        return bad(r, "calls= without a cfn= before it");
    int callee = level_of(r, r.has_called_object ? r.called_object : r.object,
                          r.has_called_file ? r.called_file : r.file, r.called);
    r.has_called_object = r.has_called_file = false;
    auto [id, fresh] = r.call_ids.emplace(std::make_pair(r.function, callee), r.calls.size());
    if (fresh)
        r.calls.push_back({r.function, callee, 0, 0});
    r.last_call = id->second;
    return add(r, &r.calls[r.last_call].count, count, "calls");
}

// Any line but a comment: a cost line (the line after calls= among them),
// NAME=VALUE or a header's NAME: VALUE.
bool read_line(reader &r, const std::string &line, std::size_t number_of_line)
{
    bool costs = std::string_view("0123456789+-*").find(line[0]) != std::string_view::npos;
    if (r.pending != 0 && !costs)
        return bad(r, (r.pending_call ? "calls=" : "jump=") + std::string(" on line ") + std::to_string(r.pending) +
                          " has no cost line after it");
    if (costs) {
        if (r.events.empty())
            return bad(r, "a cost line before any events: line");
        if (r.function < 0)
            return bad(r, "a cost line before any fn=");
        cost c = 0;
        if (!cost_line(r, words(line), &c))
            return false;
        r.closed = false;
        bool added = r.pending == 0 ? add(r, &r.levels[std::size_t(r.function)].self, c, "costs") &&
                                          add(r, &r.part_costs, c, "costs")
                                    : !r.pending_call || add(r, &r.calls[r.last_call].inclusive, c, "costs");
        r.pending = 0;
        return added;
    }
    std::size_t key_end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz");
    if (key_end == 0 || key_end == std::string::npos || (line[key_end] != '=' && line[key_end] != ':'))
        return bad(r, "not a line of callgrind's profile");
    std::string key = line.substr(0, key_end);
    std::string_view value = std::string_view(line).substr(key_end + 1);
    if (line[key_end] == ':')
        return header(r, key, value);
    if (key == "calls" || key == "jump" || key == "jcnd")
        return call_line(r, key, value, number_of_line);
    static const std::map<std::string, int> kinds = {{"ob", 0}, {"cob", 0}, {"fl", 1}, {"fi", 1}, {"fe", 1}, {"cfi", 1},
                                                     {"cfl", 1}, {"jfi", 1}, {"fn", 2}, {"cfn", 2}, {"jfn", 2}};
    auto kind = kinds.find(key);
    std::string name;
    if (kind == kinds.end())
        return bad(r, "unknown line " + key + "=");
    if (!name_in(r, r.names[kind->second], value, &name)) // objects, files or functions
        return false;
    r.object = key == "ob" ? name : r.object;
    r.called_object = key == "cob" ? name : r.called_object;
    r.has_called_object = r.has_called_object || key == "cob";
    r.called = key == "cfn" ? name : r.called;
    r.has_called = r.has_called || key == "cfn";
    r.file = key == "fl" || key == "fi" || key == "fe" ? name : r.file;
    r.called_file = key == "cfi" || key == "cfl" ? name : r.called_file;
    r.has_called_file = r.has_called_file || key == "cfi" || key == "cfl";
    if (key == "fn")
        r.function = level_of(r, r.object, r.file, name);
    return true;
}

} // namespace

bool is_callgrind_profile(const std::string &first_line)
{
    for (const char *start : {"# callgrind format", "version:", "creator:", "events:", "positions:", "cmd:", "pid:"})
        if (first_line.compare(0, std::strlen(start), start) == 0)
            return true;
    return false;
}

bool read_callgrind_profile(profile_lines *lines, const std::string &event, profile_graph *g, std::string *error)
{
    reader r;
    r.event = event;
    r.g = g;
    *g = profile_graph{};
    std::size_t at = 1; // the line read last
    while (next_line(lines, error)) {
        at = lines->number;
        if (!lines->line.empty() && lines->line[0] != '#' && !read_line(r, lines->line, at))
            break;
    }
    if (r.error.empty() && error->empty() && r.pending != 0)
        read_line(r, "#", at); // says what the calls= lacks
    else if (r.error.empty() && error->empty() && r.events.empty())
        r.error = "no events: line";
    else if (r.error.empty() && error->empty())
        close_part(r, false, 0);
    if (!r.error.empty())
        *error = "line " + std::to_string(at) + ": " + r.error.substr(0, 200);
    if (!error->empty())
        return false;
    callgrind_shares(r.levels, r.calls, g);
    return true;
}
