// perf script's default text: a sample is its header line ("COMMAND PID[/TID]
// [CPU] TIME: PERIOD EVENT: ..."), then its frames, leaf first ("ADDRESS
// SYMBOL+0xOFFSET (OBJECT)"), and a blank line; recorded without -g, its
// one frame follows the event on the header line, and no blank line. A
// sample weighs its period. A frame is its symbol in its object; an
// "(inlined)" frame is one of its own, in the object of the frame it was
// inlined into, the next one at its address; where perf left that frame
// out, in "[unknown]". A stack's root is its command, so that a sample
// printed without frames still counts. perf script -F +srcline writes a
// frame's source line under it ("  FILE:LINE"), and an inlined frame
// without its object, its srcline ending in " (inlined)".
#include "stacks.h"

#include "filter.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

namespace {

// A sample's header: its command, period and event (modifiers included),
// and what follows the event on the line (a frame, when perf recorded no
// stacks). perf pads the command with blanks on the left.
bool header(std::string_view line, std::string_view *command, count *period, std::string_view *event,
            std::string_view *rest)
{
    if (line.empty() || line[0] == '\t')
        return false;
    std::vector<std::string_view> w = words(line);
    for (std::size_t i = 2; i + 2 < w.size(); i++) {
        std::string_view time = w[i], e = w[i + 2];
        double seconds = 0;
        if (time.back() == ':' && time.find('.') != time.npos && decimal(time.substr(0, time.size() - 1), &seconds) &&
            whole_number(w[i + 1], ULLONG_MAX, period) && e.size() > 1 && e.back() == ':') {
            std::size_t pid = w[i - 1][0] == '[' ? i - 2 : i - 1;
            if (pid == 0)
                return false;
            *command = line.substr(std::size_t(w[0].data() - line.data()),
                                   std::size_t(w[pid - 1].data() + w[pid - 1].size() - w[0].data()));
            *event = e.substr(0, e.size() - 1);
            *rest = line.substr(std::size_t(e.data() + e.size() - line.data()));
            return true;
        }
    }
    return false;
}

std::string_view bare(std::string_view event)
{
    return event.substr(0, event.find(':'));
}

struct inlined {
    std::string address, symbol;
    std::uint32_t position = 0;
};

struct reader {
    stack_set *s;
    std::vector<std::string> events; // those of the file, in the order met, modifiers included
    std::size_t event = 0;           // the sample's, an index into events
    count period = 0;
    bool in_sample = false;
    std::uint32_t command = 0;       // the sample's, an index into the set's frames
    std::vector<std::uint32_t> ids;  // the sample's frames, leaf first, then its command
    std::vector<std::uint32_t> positions; // their srclines
    bool after_frame = false;        // the line read was a frame, whose srcline may follow
    bool last_inlined = false;       // that frame is inlined
    bool objectless = false;         // that frame has no object: inlined, as its srcline must say
    bool one_line = false;           // the sample has no stack: its frame was on its header line
    std::unordered_map<std::string, std::uint32_t> position_ids; // "file:line"
    std::vector<inlined> waiting;    // its inlined frames whose object the next frame tells
    std::size_t inlined_frames = 0;  // of them, those read
    std::unordered_map<std::string, std::uint32_t> frame_ids; // "symbol\nobject\ninlined"
    std::unordered_map<std::string, std::size_t> stack_ids;   // event and frames, as bytes
    std::vector<std::size_t> stack_events;                     // each stack's event
    std::vector<double> totals;                                // each event's
    std::string key;
};

frame_kind kind_of(std::string_view object)
{
    if (object == "[unknown]" || object.empty())
        return object.empty() ? frame_kind::command : frame_kind::unknown;
    if (object.substr(0, 7) == "[kernel" || object.substr(0, 13) == "[guest.kernel")
        return frame_kind::kernel;
    std::string_view file = object.substr(object.rfind('/') + 1);
    return file.find(".so") != file.npos || file == "[vdso]" ? frame_kind::library : frame_kind::program;
}

std::uint32_t frame_id(reader &r, std::string_view name, std::string_view object, bool inlined)
{
    r.key.assign(name).append(1, '\n').append(object).append(1, inlined ? 'i' : '\n');
    auto id = r.frame_ids.find(r.key); // before emplace, which would copy the key each time
    if (id != r.frame_ids.end())
        return id->second;
    r.s->frames.push_back({std::string(name), std::string(object), kind_of(object), inlined});
    return r.frame_ids.emplace(r.key, std::uint32_t(r.s->frames.size() - 1)).first->second;
}

// The inlined frames read, each in the object of the frame after it where
// that one is at its address (the frame read now: object, at address),
// else in "[unknown]".
void place_inlined(reader &r, std::string_view address, std::string_view object)
{
    std::size_t base = r.ids.size(), n = r.inlined_frames;
    r.ids.resize(base + n);
    r.positions.resize(base + n);
    for (std::size_t i = n; i-- > 0;) {
        bool last = i + 1 == n;
        bool same = r.waiting[i].address == (last ? address : std::string_view(r.waiting[i + 1].address));
        std::string_view in = !same ? "[unknown]" : last ? object : std::string_view(r.s->frames[r.ids[base + i + 1]].object);
        r.ids[base + i] = frame_id(r, r.waiting[i].symbol, in, true);
        r.positions[base + i] = r.waiting[i].position;
    }
    r.inlined_frames = 0;
}

// "ADDRESS SYMBOL+0xOFFSET (OBJECT)", SYMBOL "[unknown]" where perf has
// none; OBJECT is what the last parentheses hold, "(deleted)" of an object
// removed since included. Under -F +srcline, "ADDRESS SYMBOL+0xOFFSET"
// is an inlined frame.
bool frame_line(reader &r, std::string_view line, std::string *error)
{
    std::size_t start = blanks_from(line, 0, true), open = line.size(), depth = 0;
    std::size_t plus = line.rfind("+0x");
    r.objectless = line.back() != ')' && plus != line.npos && plus + 3 < line.size() &&
                   line.find_first_not_of("0123456789abcdef", plus + 3) == line.npos;
    while (!r.objectless && open-- > 0 && !(line[open] == '(' && --depth == 0))
        depth += line[open] == ')';
    std::size_t symbol = blanks_from(line, start, false);
    if (open == line.npos || open == 0 || (!r.objectless && (line[open - 1] != ' ' || line.back() != ')')) || symbol + 1 >= open)
        return *error = "not a frame of perf script's stack: ADDRESS SYMBOL (OBJECT)", false;
    std::string_view address = line.substr(start, symbol - start),
                     name = line.substr(symbol + 1, open - symbol - (r.objectless ? 1 : 2)),
                     object = r.objectless ? "inlined" : line.substr(open + 1, line.size() - open - 2);
    r.after_frame = true;
    r.last_inlined = object == "inlined";
    std::size_t offset = name.rfind("+0x");
    if (offset != name.npos && offset + 3 < name.size() &&
        name.find_first_not_of("0123456789abcdef", offset + 3) == name.npos)
        name = name.substr(0, offset);
    if (object == "inlined") {
        if (r.inlined_frames == r.waiting.size())
            r.waiting.emplace_back();
        r.waiting[r.inlined_frames].address.assign(address);
        r.waiting[r.inlined_frames].position = 0;
        r.waiting[r.inlined_frames++].symbol.assign(name);
        return true;
    }
    place_inlined(r, address, object);
    r.ids.push_back(frame_id(r, name, object, false));
    r.positions.push_back(0);
    return true;
}

// The srcline of the frame read: "FILE:LINE", " (inlined)" after it for an
// inlined frame; "??:0", ":0" or a kernel's address where perf knows none.
bool srcline(reader &r, std::string_view line, std::string *error)
{
    line.remove_prefix(blanks_from(line, 0, true));
    const std::string_view mark = " (inlined)";
    bool inlined = line.size() > mark.size() && line.substr(line.size() - mark.size()) == mark;
    if (r.objectless && !inlined)
        return *error = "an inlined frame's srcline without its (inlined)", false;
    line.remove_suffix(inlined ? mark.size() : 0);
    std::size_t colon = line.rfind(':');
    count number = 0;
    std::uint32_t id = 0;
    if (colon != line.npos && colon > 0 && line.substr(0, colon) != "??" &&
        whole_number(line.substr(colon + 1), UINT32_MAX, &number) && number > 0) {
        if (r.s->positions.empty())
            r.s->positions.emplace_back();
        r.key.assign(line);
        auto [it, fresh] = r.position_ids.emplace(r.key, std::uint32_t(r.s->positions.size()));
        if (fresh)
            r.s->positions.push_back({std::string(line.substr(0, colon)), number});
        id = it->second;
    }
    (r.last_inlined ? r.waiting[r.inlined_frames - 1].position : r.positions.back()) = id;
    r.s->srclines = true;
    r.after_frame = r.objectless = false;
    return true;
}

// Adds the sample read to its stack, root first.
void count_sample(reader &r)
{
    place_inlined(r, "", "");
    r.in_sample = r.one_line = r.after_frame = false;
    r.totals[r.event] += double(r.period);
    std::vector<std::uint32_t> &ids = r.ids, &lines = r.positions;
    ids.push_back(r.command);
    lines.push_back(0);
    std::reverse(ids.begin(), ids.end());
    std::reverse(lines.begin(), lines.end());
    std::uint32_t frames = std::uint32_t(ids.size());
    r.key.assign(reinterpret_cast<const char *>(&r.event), sizeof r.event);
    r.key.append(reinterpret_cast<const char *>(&frames), sizeof frames);
    r.key.append(reinterpret_cast<const char *>(ids.data()), ids.size() * sizeof ids[0]);
    if (r.s->srclines)
        r.key.append(reinterpret_cast<const char *>(lines.data()), lines.size() * sizeof lines[0]);
    auto id = r.stack_ids.find(r.key);
    if (id == r.stack_ids.end()) {
        id = r.stack_ids.emplace(r.key, r.s->stacks.size()).first;
        r.s->stacks.push_back({ids, {0, 0}, 0, r.s->srclines ? lines : std::vector<std::uint32_t>(), 0});
        r.stack_events.push_back(r.event);
    }
    stack &s = r.s->stacks[id->second];
    s.cost[1] += double(r.period);
    s.samples++;
}

// The event that name picks: itself, or where the file has one event of
// that name and other modifiers, that one. events.size() for none.
std::size_t pick(const std::vector<std::string> &events, const std::string &name)
{
    std::size_t found = events.size(), bare_matches = 0;
    for (std::size_t e = 0; e < events.size(); e++) {
        if (events[e] == name)
            return e;
        if (bare(events[e]) == name && bare_matches++ == 0)
            found = e;
    }
    return bare_matches == 1 ? found : events.size();
}

} // namespace

bool read_perf_events(profile_lines *lines, const std::vector<std::string> &events, stack_set *s, std::string *error,
                      bool *whole)
{
    reader r;
    r.s = s;
    s->kind = "perf";
    while (next_line(lines, error)) {
        std::string_view line = lines->line, command, name, rest;
        if (lines->unended)
            return *error = "a line without its newline: the file is cut short", false;
        bool blank = blanks_from(line, 0, true) == line.size();
        count period = 0;
        if (r.after_frame && !blank && line[0] == ' ' && !(r.one_line && header(line, &command, &period, &name, &rest))) {
            if (!srcline(r, line, error))
                return false;
            continue;
        }
        if (r.objectless)
            return *error = "the frame before has no object and no srcline: ADDRESS SYMBOL (OBJECT)", false;
        if (r.one_line)
            count_sample(r);
        if (blank) {
            if (r.in_sample)
                count_sample(r);
        } else if (line[0] == '#' && !r.in_sample) {
            continue; // perf script --header's lines
        } else if (line[0] == '\t') {
            if (!r.in_sample)
                return *error = "a frame outside a sample", false;
            if (!frame_line(r, line, error))
                return false;
        } else if (!r.in_sample && header(line, &command, &r.period, &name, &rest)) {
            r.event = std::find(r.events.begin(), r.events.end(), name) - r.events.begin();
            if (r.event == r.events.size()) {
                r.events.emplace_back(name);
                r.totals.push_back(0);
            }
            r.command = frame_id(r, command, "", false);
            r.in_sample = true;
            r.ids.clear();
            r.positions.clear();
            if (blanks_from(rest, 0, true) < rest.size()) { // no stacks recorded: the sample is this line
                if (!frame_line(r, rest, error))
                    return false;
                r.one_line = true; // counted once its srcline, if any, is read
            }
        } else {
            return *error = r.in_sample ? "a sample without the blank line that ends it"
                                        : "not a sample's header of perf script: COMMAND PID TIME: PERIOD EVENT:",
                   false;
        }
    }
    if (!error->empty())
        return false;
    if (r.objectless)
        return *error = "the last frame has no object and no srcline: ADDRESS SYMBOL (OBJECT)", false;
    if (r.one_line)
        count_sample(r);
    if (r.in_sample)
        return *error = "the last sample has no blank line after it: the file is cut short", false;
    *whole = true;
    std::vector<std::size_t> slot(r.events.size(), SIZE_MAX);
    for (const std::string &event : events) {
        std::size_t chosen = event.empty() ? 0 : pick(r.events, event);
        if (chosen == r.events.size()) {
            std::string all;
            for (const std::string &e : r.events)
                all += " " + e;
            return *error = "no event " + event + " in this profile, whose events are:" + all, false;
        }
        std::string_view shown = bare(r.events[chosen]);
        bool alone = std::count_if(r.events.begin(), r.events.end(), [&](const std::string &e) { return bare(e) == shown; }) == 1;
        slot[chosen] = s->events.size();
        s->events.push_back(alone ? std::string(shown) : r.events[chosen]);
        s->totals.push_back(r.totals[chosen]);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < s->stacks.size(); i++) {
        s->stacks[i].event = std::uint32_t(slot[r.stack_events[i]]);
        if (slot[r.stack_events[i]] != SIZE_MAX && kept++ != i)
            s->stacks[kept - 1] = std::move(s->stacks[i]);
    }
    s->stacks.resize(kept);
    return true;
}

bool read_perf_stacks(profile_lines *lines, const std::string &event, stack_set *s, std::string *error, bool *whole)
{
    if (!read_perf_events(lines, {event}, s, error, whole))
        return false;
    s->total[1] = s->totals[0];
    s->cost = s->events[0];
    return true;
}

bool is_perf(std::string_view first_line)
{
    count period = 0;
    std::string_view command, event, rest;
    return header(first_line, &command, &period, &event, &rest);
}

void fold_stacks(const stack_set &s, int run, profile *p)
{
    p->kind = s.kind;
    p->cost = s.cost;
    p->calls_counted = false;
    p->total = s.total[run];
    std::vector<std::size_t> function_of(s.frames.size(), SIZE_MAX), seen;
    std::unordered_map<std::string, std::size_t> ids;      // "name\nobject"
    std::unordered_map<std::uint64_t, std::size_t> arc_ids; // caller << 32 | callee
    std::vector<std::size_t> arc_seen;
    for (std::size_t i = 0; i < s.stacks.size(); i++) {
        const stack &k = s.stacks[i];
        double w = k.cost[run];
        std::size_t caller = SIZE_MAX;
        for (std::size_t depth = 0; depth < k.frames.size() && w > 0; depth++) {
            const stack_frame &f = s.frames[k.frames[depth]];
            if (f.kind == frame_kind::command)
                continue;
            std::size_t &callee = function_of[k.frames[depth]];
            if (callee == SIZE_MAX) {
                auto [id, fresh] = ids.emplace(f.name + "\n" + f.object, p->functions.size());
                if (fresh) {
                    p->functions.push_back({f.name, f.object, ""});
                    seen.push_back(SIZE_MAX);
                }
                callee = id->second;
            }
            profile_function &g = p->functions[callee];
            g.inclusive += seen[callee] != i ? w : 0;
            g.self += depth + 1 == k.frames.size() ? w : 0;
            seen[callee] = i;
            if (caller != SIZE_MAX) {
                auto [arc, fresh] = arc_ids.emplace(std::uint64_t(caller) << 32 | callee, p->arcs.size());
                if (fresh) {
                    p->arcs.push_back({caller, callee, 0, 0, true});
                    arc_seen.push_back(SIZE_MAX);
                }
                p->arcs[arc->second].cost += arc_seen[arc->second] != i ? w : 0;
                arc_seen[arc->second] = i;
            }
            caller = callee;
        }
    }
}

void focus_stacks(stack_set *s, const RE2 &pattern)
{
    std::vector<char> matches(s->frames.size());
    for (std::size_t f = 0; f < s->frames.size(); f++)
        matches[f] = s->frames[f].kind != frame_kind::command &&
                             (RE2::PartialMatch(s->frames[f].name, pattern) ||
                              (!s->frames[f].object.empty() && RE2::PartialMatch(s->frames[f].object, pattern)))
                         ? 1
                         : 0;
    auto unmatched = [&](const stack &k) {
        return std::none_of(k.frames.begin(), k.frames.end(), [&](std::uint32_t f) { return matches[f] != 0; });
    };
    s->stacks.erase(std::remove_if(s->stacks.begin(), s->stacks.end(), unmatched), s->stacks.end());
}
