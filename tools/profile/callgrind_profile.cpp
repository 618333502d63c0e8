// callgrind's profile (callgrind.out.PID), as valgrind's description of the
// format (its cl-format.html) gives it: name compression, subposition
// compression, any positions, jumps, several parts (--combine-dumps=yes),
// whose costs add up. It is read a line at a time into each function's own
// cost and calls, each arc's, and the sums that callgrind_costs.cpp makes
// the costs with callees of.
#include "callgrind_costs.h"
#include "filter.h"
#include "source_lines.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace {

// A function at one level, by its object's, file's and name's strings,
// which stay where they are in the reader's tables.
using level_key = std::array<const std::string *, 3>;
struct level_hash {
    std::size_t operator()(const level_key &k) const
    {
        std::hash<const void *> h;
        return h(k[0]) ^ (h(k[1]) * 31) ^ (h(k[2]) * 1009);
    }
};
const std::string nothing;

// A source line of a function: the function's index, its file's string
// and the line.
using line_key = std::array<std::uintptr_t, 3>;
struct line_hash {
    std::size_t operator()(const line_key &k) const
    {
        return std::hash<std::uintptr_t>()(k[0] * 1000003 ^ k[1] ^ (k[2] << 20));
    }
};

struct reader {
    std::string event;         // the event drawn; "" for the first
    std::vector<std::string> events;
    std::size_t column = 0;    // the event's among the counts
    std::size_t positions = 1; // subpositions that start a cost line
    std::unordered_map<count, std::string> names[3]; // compressed names: objects, files, functions
    std::unordered_set<std::string> plain;          // names given in full
    // ob=, fl=; cob=, cfi= (for the next call only), cfn=
    const std::string *object = &nothing, *file = &nothing, *called_object = nullptr, *called_file = nullptr,
                      *called = nullptr;
    const std::string *named = nullptr, *named_object = nullptr, *named_file = nullptr; // the last fn=, its ob= and fl=
    std::size_t function = SIZE_MAX; // named's level, made at its first cost or call: a fn= with neither is no function
    std::unordered_map<level_key, std::size_t, level_hash> level_ids;
    std::unordered_map<std::string, std::size_t> function_ids;
    std::vector<std::pair<std::size_t, bool>> levels; // each level's function, and whether it is NAME itself
    std::vector<callgrind_sums> sums;                 // a function's
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> arc_ids;
    std::size_t caller = 0, callee = 0; // the levels of the call whose cost line is next
    count total = 0;           // the parts' costs
    count summary = 0;         // the part's summary: line, 0 before it
    std::size_t pending = 0;   // the line of a calls= or jump= whose cost line is next
    std::size_t last_call = SIZE_MAX; // the arc whose cost line is next; SIZE_MAX for a jump
    count part_costs = 0;      // the part's own costs so far
    bool in_part = false;      // a part has begun and its totals: line is still to come
    std::string *error;
    profile *p;
    // With lines read: the events asked (empty for all), each column's
    // place among lp's events (SIZE_MAX for one not asked), which
    // subposition is the line and the last cost line's, the cost line's
    // counts, and the part's summary: line.
    line_profile *lp = nullptr;
    std::vector<std::string> wanted;
    std::vector<std::size_t> slot;
    std::size_t line_at = 0;
    count line = 0;
    std::vector<count> counts, summaries, part_sums; // part_sums: each event's own costs in the part
    std::unordered_map<line_key, std::size_t, line_hash> line_ids;
    line_key last_key = {SIZE_MAX, 0, 0}; // the last cost line's, and its index among lp's lines
    std::size_t last_id = 0;
};

bool bad(reader &r, const std::string &what)
{
    *r.error = what;
    return false;
}

// A number as callgrind writes them, decimal or hex after "0x".
bool number(reader &r, std::string_view word, count *n)
{
    bool hex = word.substr(0, 2) == "0x";
    if (whole_number(word.substr(hex ? 2 : 0), ULLONG_MAX, n, hex ? 16 : 10))
        return true;
    bool digits = word.size() > (hex ? 2 : 0) &&
                  word.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789", hex ? 2 : 0) == word.npos;
    return bad(r, word.empty() ? "an empty count"
                               : (digits ? "a number past 64 bits: " : "not a number: ") + std::string(word));
}

bool add(reader &r, count *sum, count c, const char *what)
{
    return !__builtin_add_overflow(*sum, c, sum) || bad(r, std::string(what) + " that add up past 64 bits");
}

// The name a NAME= line gives, "(ID) name", "(ID)" or "name", through the
// kind's table of compressed names.
bool name_in(reader &r, std::unordered_map<count, std::string> &table, std::string_view text, const std::string **name)
{
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    if (text.size() < 2 || text[0] != '(' || text[1] < '0' || text[1] > '9') {
        *name = &*r.plain.emplace(text).first;
        return true;
    }
    std::size_t close = text.find(')');
    count id = 0;
    if (close == text.npos || !whole_number(text.substr(1, close - 1), ULLONG_MAX, &id))
        return bad(r, "a compressed name without its ')': " + std::string(text));
    text.remove_prefix(close + 1);
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    if (!text.empty()) {
        *name = &(table[id] = text);
        return true;
    }
    auto known = table.find(id);
    if (known == table.end())
        return bad(r, "(" + std::to_string(id) + ") was never defined");
    *name = &known->second;
    return true;
}

// A function is its name in its object and its source file: static
// functions of one name in two files are two. NAME'2 is NAME a level of
// recursion deeper.
std::size_t level_of(reader &r, const std::string *object, const std::string *file, const std::string *level)
{
    auto [it, fresh] = r.level_ids.emplace(level_key{object, file, level}, r.levels.size());
    if (!fresh)
        return it->second;
    const std::string &name = *level;
    std::size_t mark = name.rfind('\'');
    bool deeper = mark != std::string::npos && mark + 1 < name.size() &&
                  name.find_first_not_of("0123456789", mark + 1) == std::string::npos;
    std::string base = deeper ? name.substr(0, mark) : name;
    auto [f, new_function] = r.function_ids.emplace(*object + '\n' + *file + '\n' + base, r.p->functions.size());
    if (new_function) {
        r.p->functions.push_back({base, *object, *file});
        r.sums.emplace_back();
    }
    r.sums[f->second].has_levels = r.sums[f->second].has_levels || deeper;
    r.levels.emplace_back(f->second, !deeper);
    return it->second;
}

// A cost line's count of the event drawn, in *wanted; its subpositions
// ("*", "+N", "-N", "N") and other counts checked.
bool cost_line(reader &r, std::string_view line, count *wanted)
{
    for (std::size_t i = 0, at = 0, end = 0; (at = blanks_from(line, end, true)) < line.size(); i++) {
        end = blanks_from(line, at, false);
        std::string_view word = line.substr(at, end - at);
        if (i == r.positions + r.events.size())
            return bad(r, "more counts than the " + std::to_string(r.events.size()) + " events");
        if (i < r.positions && word == "*")
            continue; // the last cost line's
        char sign = i < r.positions && (word[0] == '+' || word[0] == '-') ? word[0] : '\0';
        word.remove_prefix(sign != 0 ? 1 : 0);
        count n = 0;
        if (!number(r, word, &n))
            return false;
        *wanted = i == r.positions + r.column ? n : *wanted;
        if (r.lp != nullptr && i >= r.positions && r.slot[i - r.positions] != SIZE_MAX)
            r.counts[r.slot[i - r.positions]] = n;
        if (i == r.line_at && sign == '-' && n > r.line)
            return bad(r, "a line before line 0: -" + std::to_string(n) + " from line " + std::to_string(r.line));
        if (i == r.line_at)
            r.line = sign == '+' ? r.line + n : sign == '-' ? r.line - n : n;
    }
    return true;
}

// A part ends with its totals: line, which callgrind writes last: a part
// without one is cut short.
bool part_ended(reader &r)
{
    return !r.in_part || bad(r, "no totals: line at the end of the part: the profile is cut short");
}

bool totals(reader &r, std::string_view value)
{
    std::vector<std::string_view> w = words(value);
    count expected = 0;
    if (r.column < w.size() && !number(r, w[r.column], &expected))
        return false;
    const std::string of = "the costs of " + r.p->cost + " add up to ";
    if (r.part_costs != expected)
        return bad(r, of + std::to_string(r.part_costs) + ", not the " + std::to_string(expected) + " of its totals: line");
    // summary: counts the costs along the call stacks, with the last
    // instructions of a process that ends inside a system call, whose cost
    // lines callgrind never writes; totals:, the costs written, with those
    // of signal handlers, which run on no call stack. The run cost the
    // larger.
    if (__builtin_add_overflow(r.total, std::max(expected, r.summary), &r.total))
        return bad(r, "totals that add up past 64 bits");
    for (std::size_t i = 0; r.lp != nullptr && i < r.slot.size(); i++) {
        count given = 0;
        if (i < w.size() && r.slot[i] != SIZE_MAX && !number(r, w[i], &given))
            return false;
        if (r.slot[i] == SIZE_MAX)
            continue;
        if (given != r.part_sums[r.slot[i]])
            return bad(r, "the costs of " + r.lp->events[r.slot[i]] + " add up to " + std::to_string(r.part_sums[r.slot[i]]) +
                              ", not the " + std::to_string(given) + " of its totals: line");
        r.lp->totals[r.slot[i]] += double(std::max(given, r.summaries[r.slot[i]]));
    }
    std::fill(r.summaries.begin(), r.summaries.end(), 0);
    std::fill(r.part_sums.begin(), r.part_sums.end(), 0);
    r.summary = 0;
    r.part_costs = 0;
    r.in_part = false;
    return true;
}

// Where each of the events asked is among the file's.
bool line_events(reader &r, const std::vector<std::string> &events, const std::string &all)
{
    r.slot.assign(events.size(), SIZE_MAX);
    for (const std::string &name : r.wanted.empty() ? events : r.wanted) {
        auto at = std::find(events.begin(), events.end(), name);
        if (at == events.end())
            return bad(r, "no event " + name + " in this profile, whose events are:" + all);
        r.slot[std::size_t(at - events.begin())] = r.lp->events.size();
        r.lp->events.push_back(name);
    }
    r.lp->totals.assign(r.lp->events.size(), 0);
    r.counts.assign(r.lp->events.size(), 0);
    r.summaries.assign(r.lp->events.size(), 0);
    r.part_sums.assign(r.lp->events.size(), 0);
    return true;
}

bool header(reader &r, std::string_view key, std::string_view value)
{
    if (key == "part") {
        if (!part_ended(r))
            return false;
        r.in_part = true;
    }
    if ((key == "totals" || key == "summary") && r.events.empty())
        return bad(r, std::string(key) + ": before any events: line");
    if (key == "totals")
        return totals(r, value);
    if (key == "summary") {
        std::vector<std::string_view> w = words(value);
        for (std::size_t i = 0; r.lp != nullptr && i < r.slot.size() && i < w.size(); i++)
            if (r.slot[i] != SIZE_MAX && !number(r, w[i], &r.summaries[r.slot[i]]))
                return false;
        return r.column >= w.size() || number(r, w[r.column], &r.summary);
    }
    if (key == "positions") {
        std::vector<std::string_view> kinds = words(value);
        r.positions = kinds.size();
        for (std::string_view kind : kinds)
            if (kind != "instr" && kind != "bb" && kind != "line")
                return bad(r, "positions: unknown position " + std::string(kind));
        r.line_at = std::size_t(std::find(kinds.begin(), kinds.end(), "line") - kinds.begin());
        if (r.lp != nullptr && r.line_at == kinds.size())
            return bad(r, "positions:" + std::string(value) + " holds no source lines: record with callgrind's --dump-line=yes");
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
    r.p->cost = *wanted;
    return r.lp == nullptr || !r.lp->events.empty() || line_events(r, events, all);
}

// The level of the last fn=, made now that it has a cost or a call.
std::size_t function_level(reader &r)
{
    if (r.function == SIZE_MAX)
        r.function = level_of(r, r.named_object, r.named_file, r.named);
    return r.function;
}

// Rows of each function's own and inclusive costs, for those made so far.
void function_rows(line_profile *lp)
{
    if (lp->self.size() == lp->p.functions.size())
        return;
    lp->self.resize(lp->p.functions.size(), std::vector<double>(lp->events.size()));
    lp->inclusive.resize(lp->p.functions.size(), std::vector<double>(lp->events.size()));
}

// A cost line's counts at its line, as the function's own (own) or as a
// call's. A function with its callees costs what its outermost level
// costs, with its calls into deeper levels and other functions; a line's
// calls are those from the outermost level, which never nest in another
// call from the same line.
bool line_cost(reader &r, bool own)
{
    std::size_t level = own ? function_level(r) : r.caller;
    auto [f, first] = r.levels[level];
    line_key key{f, std::uintptr_t(r.file), r.line};
    if (key != r.last_key) { // cost lines come a line's instructions after another
        auto [id, fresh] = r.line_ids.emplace(key, r.lp->lines.size());
        if (fresh)
            r.lp->lines.push_back({f, *r.file, r.line, std::vector<double>(r.counts.size()), std::vector<double>(r.counts.size())});
        r.last_key = key;
        r.last_id = id->second;
    }
    function_rows(r.lp);
    source_line &l = r.lp->lines[r.last_id];
    for (std::size_t e = 0; e < r.counts.size(); e++) {
        double c = double(r.counts[e]);
        (own ? l.own[e] : l.calls[e]) += own || first ? c : 0;
        r.lp->self[f][e] += own ? c : 0;
        r.lp->inclusive[f][e] += first && (own || r.callee != r.caller) ? c : 0;
        if (own && !add(r, &r.part_sums[e], r.counts[e], "costs"))
            return false;
    }
    std::fill(r.counts.begin(), r.counts.end(), 0);
    return true;
}

bool call_line(reader &r, std::string_view key, std::string_view value, std::size_t line)
{
    std::vector<std::string_view> w = words(value);
    if (r.named == nullptr)
        return bad(r, std::string(key) + "= before any fn=");
    std::string_view first = w.empty() ? "" : w[0];
    count calls = 0, taken = 0;
    std::size_t slash = key == "jcnd" ? first.find('/') : first.npos;
    if (!number(r, first.substr(0, slash), &calls) || (slash != first.npos && !number(r, first.substr(slash + 1), &taken)))
        return false;
    r.pending = line;
    r.last_call = SIZE_MAX;
    if (key != "calls")
        return true;
    if (r.called == nullptr)
        return bad(r, "calls= without a cfn= before it");
    r.caller = function_level(r);
    r.callee = level_of(r, r.called_object != nullptr ? r.called_object : r.object,
                        r.called_file != nullptr ? r.called_file : r.file, r.called);
    r.called_object = r.called_file = nullptr;
    std::size_t a = r.levels[r.caller].first, b = r.levels[r.callee].first;
    auto [id, fresh] = r.arc_ids.emplace(std::make_pair(a, b), r.p->arcs.size());
    if (fresh)
        r.p->arcs.push_back({a, b, 0, 0, true});
    r.last_call = id->second;
    (a == b ? r.p->functions[b].recursive : r.p->functions[b].calls) += calls;
    return add(r, &r.p->arcs[r.last_call].calls, calls, "calls");
}

// The cost c of the call whose calls= line came last, in the sums: calls
// from the caller's first level or into the callee's never nest.
void call_cost(reader &r, double c)
{
    auto [a, from_first] = r.levels[r.caller];
    auto [b, to_first] = r.levels[r.callee];
    r.p->arcs[r.last_call].cost += from_first || to_first ? c : 0;
    r.sums[b].into += a != b && to_first ? c : 0;
    r.sums[b].called = r.sums[b].called || (a != b && to_first);
    r.sums[a].out_of_first += from_first ? c : 0;
    r.sums[a].out_to_others += from_first && a != b ? c : 0;
}

// Any line but a comment: a cost line (the line after calls= among them),
// NAME=VALUE or a header's NAME: VALUE.
bool read_line(reader &r, std::string_view line, std::size_t number_of_line)
{
    bool costs = std::string_view("0123456789+-*").find(line[0]) != std::string_view::npos;
    if (r.pending != 0 && !costs)
        return bad(r, (r.last_call != SIZE_MAX ? "calls=" : "jump=") + std::string(" on line ") +
                          std::to_string(r.pending) + " has no cost line after it");
    if (costs) {
        if (r.events.empty())
            return bad(r, "a cost line before any events: line");
        if (r.named == nullptr)
            return bad(r, "a cost line before any fn=");
        count c = 0;
        if (!cost_line(r, line, &c))
            return false;
        r.in_part = true;
        bool own = r.pending == 0, call = r.pending != 0 && r.last_call != SIZE_MAX;
        r.pending = 0;
        if (call)
            call_cost(r, double(c));
        if (r.lp != nullptr && (own || call) && !line_cost(r, own))
            return false;
        if (r.lp != nullptr && !own && !call)
            std::fill(r.counts.begin(), r.counts.end(), 0); // a jump's
        if (!own)
            return true;
        auto [f, first] = r.levels[function_level(r)];
        r.p->functions[f].self += double(c);
        r.sums[f].first_self += first ? double(c) : 0;
        return add(r, &r.part_costs, c, "costs");
    }
    std::size_t key_end = 0;
    while (key_end < line.size() && line[key_end] >= 'a' && line[key_end] <= 'z')
        key_end++;
    if (key_end == 0 || key_end == line.size() || (line[key_end] != '=' && line[key_end] != ':'))
        return bad(r, "not a line of callgrind's profile");
    std::string_view key = line.substr(0, key_end), value = line.substr(key_end + 1);
    if (line[key_end] == ':')
        return header(r, key, value);
    if (key == "calls" || key == "jump" || key == "jcnd")
        return call_line(r, key, value, number_of_line);
    static const std::map<std::string_view, int> kinds = {{"ob", 0}, {"cob", 0}, {"fl", 1}, {"fi", 1}, {"fe", 1}, {"cfi", 1},
                                                     {"cfl", 1}, {"jfi", 1}, {"fn", 2}, {"cfn", 2}, {"jfn", 2}};
    auto kind = kinds.find(key);
    const std::string *name = nullptr;
    if (kind == kinds.end())
        return bad(r, "unknown line " + std::string(key) + "=");
    if (!name_in(r, r.names[kind->second], value, &name)) // objects, files or functions
        return false;
    r.object = key == "ob" ? name : r.object;
    r.called_object = key == "cob" ? name : r.called_object;
    r.called = key == "cfn" ? name : r.called;
    r.file = key == "fl" || key == "fi" || key == "fe" ? name : r.file;
    r.called_file = key == "cfi" || key == "cfl" ? name : r.called_file;
    if (key == "fn") {
        r.named = name;
        r.named_object = r.object;
        r.named_file = r.file;
        r.function = SIZE_MAX;
    }
    r.in_part = r.in_part || key == "fn";
    return true;
}

} // namespace

bool is_callgrind(std::string_view first_line)
{
    for (const char *start : {"# callgrind format", "version:", "creator:", "events:", "positions:", "cmd:", "pid:"})
        if (first_line.compare(0, std::strlen(start), start) == 0)
            return true;
    return false;
}

namespace {

bool read_all(reader &r, profile_lines *lines, std::string *error, bool *whole)
{
    profile *p = r.p;
    p->kind = "callgrind";
    while (next_line(lines, error)) {
        if (lines->unended) // callgrind ends every line
            return bad(r, "a line without its newline: the file is cut short");
        if (!lines->line.empty() && lines->line[0] != '#' && !read_line(r, lines->line, lines->number))
            return false;
    }
    if (!error->empty())
        return false;
    if (r.pending != 0)
        return read_line(r, "#", lines->number); // says what the calls= lacks
    if (r.events.empty())
        return bad(r, "no events: line");
    if (!part_ended(r))
        return false;
    *whole = true;
    if (p->functions.empty())
        return bad(r, "holds no function");
    return callgrind_costs(r.sums, r.total, p, error);
}

} // namespace

bool read_callgrind(profile_lines *lines, const std::string &event, profile *p, std::string *error, bool *whole)
{
    reader r;
    r.event = event;
    r.error = error;
    r.p = p;
    return read_all(r, lines, error, whole);
}

bool read_callgrind_lines(profile_lines *lines, const std::vector<std::string> &events, line_profile *lp,
                          std::string *error, bool *whole)
{
    reader r;
    r.wanted = events.size() == 1 && events[0].empty() ? std::vector<std::string>() : events;
    r.event = r.wanted.empty() ? "" : r.wanted[0];
    r.error = error;
    r.p = &lp->p;
    r.lp = lp;
    if (!read_all(r, lines, error, whole))
        return false;
    function_rows(lp);
    for (std::size_t f = 0; f < lp->self.size(); f++)
        for (std::size_t e = 0; e < lp->events.size(); e++)
            lp->inclusive[f][e] = std::min(std::max(lp->inclusive[f][e], lp->self[f][e]), lp->totals[e]);
    for (source_line &l : lp->lines)
        for (std::size_t e = 0; e < lp->events.size(); e++)
            l.calls[e] = std::min(l.calls[e], lp->inclusive[l.function][e]);
    return true;
}
