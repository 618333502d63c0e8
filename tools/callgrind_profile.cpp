#include "callgrind_profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace {

using cost = std::uint64_t;

using bad_line = std::runtime_error; // a line of the profile that is broken, and how

void skip_blanks(const char *&p)
{
    p += std::strspn(p, " \t");
}

// A number as callgrind writes them, decimal or hex after "0x", up to a
// blank or a '/'; refused past 64 bits.
cost number(const char *&p)
{
    std::string token(p, std::strcspn(p, " \t/"));
    bool hex = token.compare(0, 2, "0x") == 0;
    if (token.size() == (hex ? 2 : 0) ||
        token.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789", hex ? 2 : 0) != std::string::npos)
        throw bad_line{"not a number: " + token};
    errno = 0;
    cost n = std::strtoull(token.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
    if (errno == ERANGE)
        throw bad_line{"a number past 64 bits: " + token};
    p += token.size();
    return n;
}

void add(cost *sum, cost c, const char *what)
{
    if (__builtin_add_overflow(*sum, c, sum))
        throw bad_line{std::string(what) + " that add up past 64 bits"};
}

// A function at one level of recursion: NAME, or NAME'2 and deeper.
struct level {
    int box;    // the function drawn: NAME with its object
    bool first; // NAME itself
    cost self;
};

struct call {
    int caller, callee; // levels
    cost count, inclusive;
};

struct reader {
    std::string event;         // the event drawn; "" for the first
    std::vector<std::string> events;
    std::size_t column = 0;    // the event's among the counts
    std::size_t positions = 1; // subpositions that start a cost line
    std::unordered_map<cost, std::string> names[3]; // compressed names: objects, files, functions
    std::string object, called_object, called;      // ob=, cob= (for the next call only), cfn=
    bool has_called_object = false, has_called = false;
    int function = -1;         // the level of fn=
    std::unordered_map<std::string, int> level_ids, box_ids;
    std::vector<level> levels;
    std::map<std::pair<int, int>, std::size_t> call_ids;
    std::vector<call> calls;   // in the profile's order
    int pending = 0;           // the line of a calls= or jump= whose cost line is next
    bool pending_call = false; // the pending line is a calls=, of calls[last_call]
    std::size_t last_call = 0;
    profile_graph *g;
};

// The name a NAME= line gives, "(ID) name", "(ID)" or "name", through the kind's
// table of compressed names.
std::string name_in(std::unordered_map<cost, std::string> &table, const char *p)
{
    skip_blanks(p);
    if (p[0] != '(' || p[1] < '0' || p[1] > '9')
        return p;
    char *end = nullptr;
    cost id = std::strtoull(p + 1, &end, 10);
    if (*end != ')')
        throw bad_line{"a compressed name without its ')': " + std::string(p)};
    const char *name = end + 1;
    skip_blanks(name);
    if (*name != '\0')
        return table[id] = name;
    auto known = table.find(id);
    if (known == table.end())
        throw bad_line{"(" + std::to_string(id) + ") was never defined"};
    return known->second;
}

int level_of(reader &r, const std::string &object, const std::string &name)
{
    auto [it, fresh] = r.level_ids.emplace(object + '\n' + name, int(r.levels.size()));
    if (!fresh)
        return it->second;
    std::size_t mark = name.rfind('\'');
    bool deeper = mark != std::string::npos && mark + 1 < name.size() &&
                  name.find_first_not_of("0123456789", mark + 1) == std::string::npos;
    std::string base = deeper ? name.substr(0, mark) : name;
    auto [box, new_box] = r.box_ids.emplace(object + '\n' + base, int(r.g->functions.size()));
    if (new_box)
        r.g->functions.push_back({box->second, base, object, 0, 0, ""});
    r.levels.push_back({box->second, !deeper, 0});
    return it->second;
}

// A cost line's count of the event drawn; its subpositions ("*", "+N",
// "-N", "N") and other counts checked.
cost cost_line(const reader &r, const char *p)
{
    for (std::size_t i = 0; i < r.positions; i++, skip_blanks(p)) {
        if (*p == '*')
            p++;
        else
            number(p += *p == '+' || *p == '-' ? 1 : 0);
    }
    cost wanted = 0;
    for (std::size_t i = 0; *p != '\0'; i++, skip_blanks(p)) {
        if (i == r.events.size())
            throw bad_line{"more counts than the " + std::to_string(i) + " events"};
        cost n = number(p);
        wanted = i == r.column ? n : wanted;
    }
    return wanted;
}

std::vector<std::string> words(const char *p)
{
    std::istringstream in(p);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

void header(reader &r, const std::string &key, const char *value)
{
    if (key == "positions") {
        r.positions = words(value).size();
        for (const std::string &kind : words(value))
            if (kind != "instr" && kind != "bb" && kind != "line")
                throw bad_line{"positions: unknown position " + kind};
    }
    if (key != "events")
        return; // the rest of the header says nothing that is drawn
    std::vector<std::string> events = words(value);
    if (!r.events.empty() && events != r.events)
        throw bad_line{"events: not those of the first part"};
    r.events = events;
    auto wanted = r.event.empty() ? events.begin() : std::find(events.begin(), events.end(), r.event);
    std::string all;
    for (const std::string &e : events)
        all += " " + e;
    if (wanted == events.end())
        throw bad_line{"no event " + (r.event.empty() ? "at all" : r.event) + " in this profile, whose events are:" + all};
    r.column = std::size_t(wanted - events.begin());
    r.g->cost = *wanted;
}

// Any line but a comment: a cost line (the line after calls= among them),
// NAME=VALUE or a header's NAME: VALUE.
void read_line(reader &r, const std::string &line, int number_of_line)
{
    const char *p = line.c_str();
    bool costs = std::strchr("0123456789+-*", *p) != nullptr;
    if (r.pending != 0 && !costs)
        throw bad_line{(r.pending_call ? "calls=" : "jump=") + std::string(" on line ") +
                       std::to_string(r.pending) + " has no cost line after it"};
    if (costs) {
        if (r.events.empty())
            throw bad_line{"a cost line before any events: line"};
        if (r.function < 0)
            throw bad_line{"a cost line before any fn="};
        cost c = cost_line(r, p);
        if (r.pending == 0)
            add(&r.levels[std::size_t(r.function)].self, c, "costs");
        else if (r.pending_call)
            add(&r.calls[r.last_call].inclusive, c, "costs");
        r.pending = 0;
        return;
    }
    std::size_t key_end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz");
    if (key_end == 0 || key_end == std::string::npos || (line[key_end] != '=' && line[key_end] != ':'))
        throw bad_line{"not a line of callgrind's profile"};
    std::string key = line.substr(0, key_end);
    p += key_end + 1;
    if (line[key_end] == ':')
        return header(r, key, p);
    static const std::map<std::string, int> kinds = {{"ob", 0}, {"cob", 0}, {"fl", 1}, {"fi", 1}, {"fe", 1}, {"cfi", 1},
                                                     {"cfl", 1}, {"jfi", 1}, {"fn", 2}, {"cfn", 2}, {"jfn", 2}};
    auto kind = kinds.find(key);
    if (kind != kinds.end()) {
        std::string name = name_in(r.names[kind->second], p); // objects, files or functions
        r.object = key == "ob" ? name : r.object;
        r.called_object = key == "cob" ? name : r.called_object;
        r.has_called_object = r.has_called_object || key == "cob";
        r.called = key == "cfn" ? name : r.called;
        r.has_called = r.has_called || key == "cfn";
        if (key == "fn")
            r.function = level_of(r, r.object, name);
    } else if (key == "calls" || key == "jump" || key == "jcnd") {
        if (r.function < 0)
            throw bad_line{key + "= before any fn="};
        skip_blanks(p);
        cost count = number(p);
        if (key == "jcnd" && *p != '\0')
            number(++p);
        r.pending = number_of_line;
        r.pending_call = key == "calls";
        if (!r.pending_call)
            return;
        if (!r.has_called)
            throw bad_line{"calls= without a cfn= before it"};
        int callee = level_of(r, r.has_called_object ? r.called_object : r.object, r.called);
        r.has_called_object = false;
        auto [id, fresh] = r.call_ids.emplace(std::make_pair(r.function, callee), r.calls.size());
        if (fresh)
            r.calls.push_back({r.function, callee, 0, 0});
        r.last_call = id->second;
        add(&r.calls[r.last_call].count, count, "calls");
    } else {
        throw bad_line{"unknown line " + key + "="};
    }
}

// The profile as the graph draws it: the levels merged, the shares from
// calls that never nest in one another.
void build(reader &r)
{
    profile_graph &g = *r.g;
    std::size_t n = g.functions.size();
    std::vector<long double> self(n), first_self(n), into(n), out_of_first(n);
    std::vector<cost> into_calls(n), recursive(n);
    std::vector<bool> called(n);
    long double total = 0;
    for (const level &l : r.levels) {
        self[std::size_t(l.box)] += l.self;
        first_self[std::size_t(l.box)] += l.first ? l.self : 0;
        total += l.self;
    }
    auto share = [&](long double c) { return total > 0 ? double(100 * c / total) : 0.0; };
    std::map<std::pair<int, int>, std::size_t> arc_ids; // an arc's percent holds its cost until the end
    for (const call &c : r.calls) {
        const level &from = r.levels[std::size_t(c.caller)], &to = r.levels[std::size_t(c.callee)];
        std::size_t a = std::size_t(from.box), b = std::size_t(to.box);
        auto [id, fresh] = arc_ids.emplace(std::make_pair(from.box, to.box), g.arcs.size());
        if (fresh)
            g.arcs.push_back({from.box, to.box, 0, 0});
        g.arcs[id->second].calls += c.count;
        g.arcs[id->second].percent += from.first || to.first ? double(c.inclusive) : 0;
        (a == b ? recursive[a] : into_calls[b]) += c.count;
        into[b] += a != b && to.first ? c.inclusive : 0;
        called[b] = called[b] || (a != b && to.first);
        out_of_first[a] += from.first ? c.inclusive : 0;
    }
    // Without levels (--separate-recs=1), calls among functions that call
    // each other may nest; a function's share is then at most its group's,
    // whose calls in from outside never nest.
    std::vector<int> group = components(g);
    std::vector<long double> into_group(n, -1); // -1: never entered from outside
    for (const profile_arc &a : g.arcs) {       // calls in from outside are into first levels
        std::size_t from = std::size_t(group[std::size_t(a.caller)]), to = std::size_t(group[std::size_t(a.callee)]);
        into_group[to] = from == to ? into_group[to] : std::max(into_group[to], 0.0L) + a.percent;
    }
    for (std::size_t f = 0; f < n; f++) {
        profile_function &fn = g.functions[f];
        fn.self = share(self[f]);
        long double with_callees = called[f] ? into[f] : first_self[f] + out_of_first[f];
        if (into_group[std::size_t(group[f])] >= 0)
            with_callees = std::min(with_callees, into_group[std::size_t(group[f])]);
        fn.percent = std::min(100.0, std::max(fn.self, share(with_callees)));
        if (into_calls[f] + recursive[f] > 0)
            fn.calls = std::to_string(into_calls[f]) + (recursive[f] > 0 ? "+" + std::to_string(recursive[f]) : "");
    }
    for (profile_arc &a : g.arcs)
        a.percent = std::min(share(a.percent), g.functions[std::size_t(a.callee)].percent);
    g.no_time = total == 0;
}

} // namespace

bool is_callgrind_profile(const std::string &first_line)
{
    return std::regex_search(first_line, std::regex("^(# callgrind format|(version|creator|events|positions|cmd|pid):)"));
}

bool read_callgrind_profile(std::FILE *in, const std::string &start, const std::string &event, profile_graph *g,
                            std::string *error)
{
    reader r;
    r.event = event;
    r.g = g;
    *g = profile_graph{};
    std::string line;
    std::size_t from = 0; // the bytes of start come first, then the file's
    auto next = [&] { return from < start.size() ? static_cast<unsigned char>(start[from++]) : getc_unlocked(in); };
    int number = 0;
    try {
        for (int c = 0; c != EOF; number++) {
            line.clear();
            while ((c = next()) != EOF && c != '\n' && line.size() <= (std::size_t{16} << 20))
                line += static_cast<char>(c);
            if (std::ferror(in) != 0)
                throw bad_line{std::string("read failed: ") + std::strerror(errno)};
            if (line.size() > (std::size_t{16} << 20))
                throw bad_line{"a line longer than 16 MiB"};
            if (c == EOF && line.empty())
                break;
            if (line.find('\0') != std::string::npos)
                throw bad_line{"holds a NUL byte"};
            if (!line.empty() && line[0] != '#')
                read_line(r, line, number + 1);
        }
        number = number > 0 ? number - 1 : 0; // what is wrong at the end is said of the last line
        if (r.pending != 0)
            read_line(r, "#", number); // says what the calls= lacks
        if (r.events.empty())
            throw bad_line{"no events: line"};
        build(r);
        return true;
    } catch (const bad_line &bad) {
        *error = "line " + std::to_string(number + 1) + ": " + std::string(bad.what()).substr(0, 200);
        return false;
    }
}
