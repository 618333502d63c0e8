#include "callgrind_profile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

namespace {

using cost = std::uint64_t;

struct bad_line {
    std::string what;
};

const std::size_t longest_line = std::size_t{16} << 20;

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

void skip_blanks(const char *&p)
{
    while (blank(*p))
        p++;
}

// A number as callgrind writes them, decimal or hex after "0x", up to a
// blank, a '/' or the end; refused past 64 bits.
cost number(const char *&p)
{
    const char *start = p;
    unsigned base = p[0] == '0' && p[1] == 'x' ? 16 : 10;
    p += base == 16 ? 2 : 0;
    const char *digits = p;
    cost n = 0;
    for (; *p != '\0' && !blank(*p) && *p != '/'; p++) {
        char c = *p;
        unsigned d = c >= '0' && c <= '9' ? unsigned(c - '0') : base == 16 && c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                   : base == 16 && c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10) : 99;
        if (d >= base)
            throw bad_line{"not a number: " + std::string(start, std::strcspn(start, " \t"))};
        if (n > (UINT64_MAX - d) / base)
            throw bad_line{"a number past 64 bits: " + std::string(start, std::strcspn(start, " \t"))};
        n = n * base + d;
    }
    if (p == digits)
        throw bad_line{"not a number: " + std::string(start, std::strcspn(start, " \t"))};
    return n;
}

// A function at one level of recursion: NAME, or NAME'2 and deeper.
struct level {
    int box;       // the function drawn: NAME with its object
    bool first;    // NAME itself
    cost self;
};

struct calls_of {
    cost count, inclusive;
};

struct reader {
    std::string event;               // the event drawn; "" for the first
    std::vector<std::string> events;
    std::size_t column = 0;          // the event's among the counts
    std::size_t positions = 1;       // subpositions that start a cost line
    std::unordered_map<cost, std::string> names[3]; // compressed names: objects, files, functions
    std::string object, called_object, called; // ob=, cob= (for the next call only), cfn=
    bool has_called_object = false, has_called = false;
    int function = -1;               // the level of fn=
    std::unordered_map<std::string, int> level_ids, box_ids;
    std::vector<level> levels;
    std::map<std::pair<int, int>, calls_of> calls; // by caller and callee level
    std::vector<std::pair<int, int>> call_order;
    int pending = 0;                 // the line of a calls= (or jump=) whose cost line is next
    bool pending_call = false;
    std::pair<int, int> call{};
    cost call_count = 0;
    profile_graph *g;
};

// The name a spec gives, "(ID) name", "(ID)" or "name", through the kind's
// table of compressed names.
std::string name_in(std::unordered_map<cost, std::string> &table, const char *p)
{
    skip_blanks(p);
    if (p[0] != '(' || p[1] < '0' || p[1] > '9')
        return p;
    const char *q = p + 1;
    cost id = 0;
    for (; *q >= '0' && *q <= '9' && id < UINT64_MAX / 10; q++)
        id = id * 10 + cost(*q - '0');
    if (*q != ')')
        throw bad_line{"a compressed name without its ')': " + std::string(p)};
    q++;
    skip_blanks(q);
    if (*q != '\0')
        return table[id] = q;
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

// A cost line's count of the event drawn, its subpositions and other
// counts checked.
cost cost_line(const reader &r, const char *p)
{
    for (std::size_t i = 0; i < r.positions; i++) {
        if (*p == '*')
            p++;
        else if (*p == '+' || *p == '-' || (*p >= '0' && *p <= '9'))
            number(p += *p == '+' || *p == '-' ? 1 : 0);
        else
            throw bad_line{"not a cost line: " + std::string(p)};
        skip_blanks(p);
    }
    cost wanted = 0;
    for (std::size_t i = 0; *p != '\0'; i++) {
        if (i == r.events.size())
            throw bad_line{"more counts than the " + std::to_string(r.events.size()) + " events"};
        cost n = number(p);
        wanted = i == r.column ? n : wanted;
        skip_blanks(p);
    }
    return wanted;
}

std::vector<std::string> words(const char *p)
{
    std::vector<std::string> w;
    for (skip_blanks(p); *p != '\0'; skip_blanks(p)) {
        const char *start = p;
        while (*p != '\0' && !blank(*p))
            p++;
        w.emplace_back(start, p);
    }
    return w;
}

void header(reader &r, const std::string &key, const char *value)
{
    if (key == "events") {
        std::vector<std::string> events = words(value);
        if (!r.events.empty() && events != r.events)
            throw bad_line{"events: not those of the first part"};
        r.events = events;
        std::string all;
        for (std::size_t i = 0; i < events.size(); i++) {
            all += (i == 0 ? "" : " ") + events[i];
            if (events[i] == r.event || (r.event.empty() && i == 0))
                r.column = i;
        }
        if (events.empty() || (!r.event.empty() && events[r.column] != r.event))
            throw bad_line{"no event " + (r.event.empty() ? std::string("at all") : r.event) +
                           " in this profile, whose events are: " + all};
        r.g->cost = events[r.column];
    } else if (key == "positions") {
        std::vector<std::string> kinds = words(value);
        for (const std::string &k : kinds)
            if (k != "instr" && k != "bb" && k != "line")
                throw bad_line{"positions: unknown position " + k};
        r.positions = kinds.size();
    }
}

// A line of the body: NAME=VALUE, a cost line, or the line after calls=.
void body(reader &r, const std::string &line, int number_of_line)
{
    const char *p = line.c_str();
    std::size_t key_end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz");
    bool cost_first = key_end == 0 && (*p == '*' || *p == '+' || *p == '-' || (*p >= '0' && *p <= '9'));
    if (r.pending != 0 && !cost_first)
        throw bad_line{(r.pending_call ? "calls=" : "jump=") + std::string(" on line ") + std::to_string(r.pending) +
                       " has no cost line after it"};
    if (cost_first) {
        if (r.events.empty())
            throw bad_line{"a cost line before any events: line"};
        if (r.function < 0)
            throw bad_line{"a cost line before any fn="};
        cost c = cost_line(r, p);
        cost *sum = r.pending == 0 ? &r.levels[std::size_t(r.function)].self
                                   : r.pending_call ? &r.calls[r.call].inclusive : nullptr;
        if (sum != nullptr && __builtin_add_overflow(*sum, c, sum))
            throw bad_line{"costs that add up past 64 bits"};
        r.pending = 0;
        return;
    }
    std::string key = line.substr(0, key_end);
    if (key_end == std::string::npos || (line[key_end] != '=' && line[key_end] != ':') || key.empty())
        throw bad_line{"not a line of callgrind's profile"};
    p += key_end + 1;
    if (line[key_end] == ':')
        return header(r, key, p);
    if (key == "ob") {
        r.object = name_in(r.names[0], p);
    } else if (key == "cob") {
        r.called_object = name_in(r.names[0], p);
        r.has_called_object = true;
    } else if (key == "fl" || key == "fi" || key == "fe" || key == "cfi" || key == "cfl" || key == "jfi") {
        name_in(r.names[1], p);
    } else if (key == "fn") {
        r.function = level_of(r, r.object, name_in(r.names[2], p));
    } else if (key == "cfn") {
        r.called = name_in(r.names[2], p);
        r.has_called = true;
    } else if (key == "jfn") {
        name_in(r.names[2], p);
    } else if (key == "calls" || key == "jump" || key == "jcnd") {
        if (r.function < 0)
            throw bad_line{key + "= before any fn="};
        skip_blanks(p);
        cost count = number(p);
        if (key == "jcnd" && (*p == '/' || blank(*p)))
            number(++p);
        r.pending = number_of_line;
        r.pending_call = key == "calls";
        if (!r.pending_call)
            return;
        if (!r.has_called)
            throw bad_line{"calls= without a cfn= before it"};
        int callee = level_of(r, r.has_called_object ? r.called_object : r.object, r.called);
        r.has_called_object = false;
        r.call = {r.function, callee};
        if (r.calls.count(r.call) == 0)
            r.call_order.push_back(r.call);
        calls_of &c = r.calls[r.call];
        if (__builtin_add_overflow(c.count, count, &c.count))
            throw bad_line{"calls that add up past 64 bits"};
    } else {
        throw bad_line{"unknown specification " + key + "="};
    }
}

// The read profile as the graph draws it: levels merged, shares exact.
void build(reader &r)
{
    profile_graph &g = *r.g;
    std::size_t n = g.functions.size();
    std::vector<cost> self(n), first_self(n), into(n), out_of_first(n), recursive(n), into_calls(n);
    std::vector<bool> called(n);
    long double total = 0;
    for (const level &l : r.levels) {
        self[std::size_t(l.box)] += l.self;
        first_self[std::size_t(l.box)] += l.first ? l.self : 0;
        total += l.self;
    }
    std::map<std::pair<int, int>, std::size_t> arc_of;
    for (const auto &key : r.call_order) {
        const calls_of &c = r.calls[key];
        const level &from = r.levels[std::size_t(key.first)], &to = r.levels[std::size_t(key.second)];
        std::size_t a = std::size_t(from.box), b = std::size_t(to.box);
        auto [it, fresh] = arc_of.emplace(std::make_pair(from.box, to.box), g.arcs.size());
        if (fresh)
            g.arcs.push_back({from.box, to.box, 0, 0});
        profile_arc &arc = g.arcs[it->second];
        arc.calls += c.count;
        if (from.first || to.first) // calls that never nest in one another
            arc.percent += double(c.inclusive);
        if (a == b) {
            recursive[a] += c.count;
        } else {
            into_calls[b] += c.count;
            into[b] += to.first ? c.inclusive : 0;
            called[b] = called[b] || to.first;
        }
        if (from.first)
            out_of_first[a] += c.inclusive;
    }
    auto share = [&](long double c) { return total > 0 ? double(100 * c / total) : 0.0; };
    for (std::size_t f = 0; f < n; f++) {
        profile_function &fn = g.functions[f];
        fn.self = share(self[f]);
        double with_callees = share(called[f] ? into[f] : (long double)first_self[f] + out_of_first[f]);
        fn.percent = with_callees < fn.self ? fn.self : with_callees > 100 ? 100 : with_callees;
        if (into_calls[f] + recursive[f] > 0)
            fn.calls = std::to_string(into_calls[f]) + (recursive[f] > 0 ? "+" + std::to_string(recursive[f]) : "");
    }
    for (profile_arc &a : g.arcs) {
        double limit = g.functions[std::size_t(a.callee)].percent;
        a.percent = share(a.percent) > limit ? limit : share(a.percent);
    }
    g.no_time = total == 0;
}

} // namespace

bool is_callgrind_profile(const std::string &first_line)
{
    for (const char *start : {"# callgrind format", "version:", "creator:", "events:", "positions:", "cmd:", "pid:"})
        if (first_line.compare(0, std::strlen(start), start) == 0)
            return true;
    return false;
}

bool read_callgrind_profile(std::FILE *in, const std::string &start, const std::string &event, profile_graph *g,
                            std::string *error)
{
    reader r;
    r.event = event;
    r.g = g;
    *g = profile_graph{};
    std::string line;
    std::size_t from = 0; // of start, not yet read as lines
    int number = 0;
    try {
        for (int c = 0; c != EOF;) {
            // The next line: what is left of start, then the file's bytes.
            line.clear();
            while (from < start.size() && start[from] != '\n')
                line += start[from++];
            bool ended = from < start.size() && start[from++] == '\n';
            while (!ended && (c = getc_unlocked(in)) != EOF && c != '\n') {
                line += static_cast<char>(c);
                if (line.size() > longest_line)
                    throw bad_line{"a line longer than 16 MiB"};
            }
            if (std::ferror(in) != 0)
                throw bad_line{std::string("read failed: ") + std::strerror(errno)};
            if (c == EOF && line.empty())
                break;
            number++;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.find('\0') != std::string::npos)
                throw bad_line{"holds a NUL byte"};
            if (!line.empty() && line[0] != '#')
                body(r, line, number);
        }
        if (r.pending != 0)
            throw bad_line{(r.pending_call ? "calls=" : "jump=") + std::string(" on line ") + std::to_string(r.pending) +
                           " has no cost line after it"};
        if (r.events.empty())
            throw bad_line{"no events: line"};
        build(r);
        return true;
    } catch (const bad_line &bad) {
        *error = "line " + std::to_string(number > 0 ? number : 1) + ": " + bad.what.substr(0, 200);
        return false;
    }
}
