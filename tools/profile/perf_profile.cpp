// perf script's default text: a sample is its header line ("COMMAND PID[/TID]
// [CPU] TIME: PERIOD EVENT: ..."), then its frames, leaf first ("ADDRESS
// SYMBOL+0xOFFSET (OBJECT)"), and a blank line. A sample weighs its period.
// A function is its symbol in its object; an "(inlined)" frame is one of
// its own, in the object of the frame it was inlined into, the next one at
// its address; where perf left that frame out, in "[unknown]". With callees, a function counts the samples whose
// stack holds it, once a stack however deep the recursion; on its own, those
// it is the leaf of; an arc, those whose stack has the caller directly
// above the callee, once a stack. perf counts no calls.
#include "profile.h"

#include "filter.h"

#include <algorithm>
#include <climits>
#include <map>
#include <unordered_map>

namespace {

// A sample's header: its period and its event (without modifiers), and what
// follows the event on the line (a frame, when perf recorded no stacks).
bool header(std::string_view line, count *period, std::string_view *event, std::string_view *rest)
{
    if (line.empty() || line[0] == ' ' || line[0] == '\t')
        return false;
    std::vector<std::string_view> w = words(line);
    for (std::size_t i = 2; i + 2 < w.size(); i++) {
        std::string_view time = w[i], e = w[i + 2];
        double seconds = 0;
        if (time.back() == ':' && time.find('.') != time.npos && decimal(time.substr(0, time.size() - 1), &seconds) &&
            whole_number(w[i + 1], ULLONG_MAX, period) && e.back() == ':') {
            *event = e.substr(0, e.find(':'));
            *rest = line.substr(std::size_t(e.data() + e.size() - line.data()));
            return true;
        }
    }
    return false;
}

struct frame {
    std::string address, symbol, object; // object "" for an inlined frame
};

struct reader {
    profile *p;
    std::string event;               // the event drawn; "" for the first
    std::vector<std::string> events; // those of the file, in the order met
    std::vector<frame> stack;        // the sample's frames, leaf first
    std::size_t depth = 0;           // of them, those read
    count weight = 0;                // the sample's period, 0 for one of another event
    bool in_sample = false;
    std::unordered_map<std::string, std::size_t> ids; // "symbol\nobject"
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> arc_ids;
    std::vector<count> function_seen, arc_seen; // the sample that last counted each
    count samples = 0;
    std::string key;
};

// "ADDRESS SYMBOL+0xOFFSET (OBJECT)", SYMBOL "[unknown]" where perf has none.
bool frame_line(reader &r, std::string_view line, std::string *error)
{
    std::size_t start = blanks_from(line, 0, true), open = line.rfind(" (");
    std::size_t symbol = blanks_from(line, start, false);
    if (open == line.npos || line.back() != ')' || symbol > open)
        return *error = "not a frame of perf script's stack: ADDRESS SYMBOL (OBJECT)", false;
    std::string_view address = line.substr(start, symbol - start), name = line.substr(symbol + 1, open - symbol - 1),
                     object = line.substr(open + 2);
    object.remove_suffix(1);
    std::size_t offset = name.rfind("+0x");
    if (offset != name.npos && name.find_first_not_of("0123456789abcdef", offset + 3) == name.npos)
        name = name.substr(0, offset);
    if (r.depth == r.stack.size())
        r.stack.emplace_back();
    r.stack[r.depth].address.assign(address);
    r.stack[r.depth].symbol.assign(name);
    r.stack[r.depth++].object.assign(object == "inlined" ? "" : object);
    return true;
}

// Counts the sample read, its stack from the root down.
void count_sample(reader &r)
{
    r.in_sample = false;
    if (r.weight == 0 || r.depth == 0)
        return;
    profile &p = *r.p;
    double w = double(r.weight);
    p.total += w;
    r.samples++;
    std::size_t caller = SIZE_MAX;
    for (std::size_t i = r.depth; i-- > 0;) {
        frame &f = r.stack[i];
        if (f.object.empty())
            f.object = i + 1 < r.depth && r.stack[i + 1].address == f.address ? r.stack[i + 1].object : "[unknown]";
        r.key.assign(f.symbol).append(1, '\n').append(f.object);
        auto [id, fresh] = r.ids.emplace(r.key, p.functions.size());
        if (fresh) {
            p.functions.push_back({f.symbol, f.object, ""});
            r.function_seen.push_back(0);
        }
        std::size_t callee = id->second;
        if (r.function_seen[callee] != r.samples)
            p.functions[callee].inclusive += w;
        r.function_seen[callee] = r.samples;
        p.functions[callee].self += i == 0 ? w : 0;
        if (caller != SIZE_MAX) {
            auto [arc, new_arc] = r.arc_ids.emplace(std::make_pair(caller, callee), p.arcs.size());
            if (new_arc) {
                p.arcs.push_back({caller, callee, 0, 0, true});
                r.arc_seen.push_back(0);
            }
            if (r.arc_seen[arc->second] != r.samples)
                p.arcs[arc->second].cost += w;
            r.arc_seen[arc->second] = r.samples;
        }
        caller = callee;
    }
}

} // namespace

bool is_perf(std::string_view first_line)
{
    count period = 0;
    std::string_view event, rest;
    return header(first_line, &period, &event, &rest);
}

bool read_perf(profile_lines *lines, const std::string &event, profile *p, std::string *error, bool *whole)
{
    reader r;
    r.p = p;
    r.event = event;
    p->kind = "perf";
    p->calls_counted = false;
    while (next_line(lines, error)) {
        std::string_view line = lines->line, name, rest;
        count period = 0;
        if (blanks_from(line, 0, true) == line.size()) {
            count_sample(r);
        } else if (line[0] == '#' && !r.in_sample) {
            continue; // perf script --header's lines
        } else if (line[0] == ' ' || line[0] == '\t') {
            if (!r.in_sample)
                return *error = "a frame outside a sample", false;
            if (r.weight > 0 && !frame_line(r, line, error))
                return false;
        } else if (!r.in_sample && header(line, &period, &name, &rest)) {
            if (std::find(r.events.begin(), r.events.end(), name) == r.events.end())
                r.events.emplace_back(name);
            r.event = r.event.empty() ? std::string(name) : r.event;
            r.weight = name == r.event ? period : 0;
            r.in_sample = true;
            r.depth = 0;
            if (r.weight > 0 && blanks_from(rest, 0, true) < rest.size() && !frame_line(r, rest, error))
                return false;
        } else {
            return *error = r.in_sample ? "a sample without the blank line that ends it"
                                        : "not a sample's header of perf script: COMMAND PID TIME: PERIOD EVENT:",
                   false;
        }
    }
    if (!error->empty())
        return false;
    if (r.in_sample)
        return *error = "the last sample has no blank line after it: the file is cut short", false;
    *whole = true;
    std::string all;
    for (const std::string &e : r.events)
        all += " " + e;
    if (std::find(r.events.begin(), r.events.end(), r.event) == r.events.end())
        return *error = "no event " + r.event + " in this profile, whose events are:" + all, false;
    p->cost = r.event;
    return true;
}
