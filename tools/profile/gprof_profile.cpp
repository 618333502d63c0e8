#include "gprof_profile.h"

#include "filter.h"

#include <algorithm>
#include <climits>
#include <map>

namespace {

bool digits(std::string_view t)
{
    return !t.empty() && t.find_first_not_of("0123456789") == t.npos;
}

// Calls as gprof writes them: "n", "n+m" (recursive) or "n/m" (of all).
bool is_calls(std::string_view t)
{
    std::size_t mark = t.find_first_of("+/");
    return digits(t.substr(0, mark)) && (mark == t.npos || digits(t.substr(mark + 1)));
}

bool is_index(std::string_view w)
{
    return w.size() >= 3 && w.front() == '[' && w.back() == ']';
}

// Whether seconds, as gprof rounds them to hundredths, fit in the run's
// total: nothing can take more than all of the time.
bool within_total(double seconds, double total)
{
    return seconds <= total * 1.001 + 0.015;
}

// What is read of gprof's call graph: entries of caller lines, the primary
// line that starts with "[N]", and callee lines, separated by dashes; then
// the index by function name, which shows that the graph is whole.
struct reader {
    profile_graph g;
    double total = 0;
    bool has_total = false, in_graph = false, complete = false;
    int primary = -1;     // the entry whose callees are being read, or -1
    std::set<int> wholes; // "<cycle N as a whole>" entries
    std::set<int> seen;
    bool in_flat = false; // within the flat profile's rows
    std::map<std::string, double> flat; // its % time, by name
    std::string error;    // what is wrong with the line read
};

bool bad(reader &r, const std::string &what)
{
    r.error = what;
    return false;
}

bool number(reader &r, std::string_view w, double *out)
{
    return (w.size() <= 20 && decimal(w, out)) || bad(r, "not a number: " + std::string(w));
}

// The index in "[N]": 1 to a million, gprof's limit being far lower.
bool index_of(reader &r, std::string_view w, int *index)
{
    unsigned long long n = 0;
    if (!whole_number(w.substr(1, w.size() - 2), 1000000, &n) || n < 1)
        return bad(r, "index out of range: " + std::string(w));
    *index = static_cast<int>(n);
    return true;
}

std::string name_of(const std::vector<std::string_view> &w, std::size_t from, std::size_t to)
{
    std::string name;
    for (std::size_t i = from; i < to; i++)
        name += (name.empty() ? "" : " ") + std::string(w[i]);
    return name;
}

// "[N] %time self children [called] name [N]"
bool entry(reader &r, const std::vector<std::string_view> &w, int index)
{
    int first = 0;
    if (w.size() < 5 || !index_of(r, w[0], &first) || first != index)
        return r.error.empty() && bad(r, "not an entry of the call graph");
    if (!r.seen.insert(index).second)
        return bad(r, "a second entry for " + std::string(w[0]));
    double self = 0, children = 0;
    profile_function f{index, "", "", 0, 0, "", "", false};
    if (!number(r, w[1], &f.percent) || !number(r, w[2], &self) || !number(r, w[3], &children))
        return false;
    // gprof rounds the seconds but not its percentages: the self share is
    // taken as the part of the function's own percentage.
    f.self = self + children > 0 ? f.percent * self / (self + children) : 0;
    if (f.percent > 100.5)
        return bad(r, "more than all of the time: " + std::string(w[1]));
    if (!within_total(self + children, r.total))
        return bad(r, "more than the run's total time of " + std::string(w[0]));
    std::size_t name_from = 4;
    if (is_calls(w[4]))
        f.calls = w[name_from++];
    f.name = name_of(w, name_from, w.size() - 1);
    if (f.name.empty())
        return bad(r, "an entry without a name");
    r.primary = f.name.find(" as a whole>") != std::string::npos ? -1 : index;
    if (r.primary < 0)
        r.wholes.insert(index);
    else
        r.g.functions.push_back(f);
    return true;
}

// "[self children] called name [N]", within a cycle only called.
bool callee(reader &r, const std::vector<std::string_view> &w, int index)
{
    std::size_t n = 0;
    double seconds = 0;
    for (double s = 0; n + 1 < w.size() && w[n].find('.') != w[n].npos && decimal(w[n], &s); n++)
        seconds += s;
    unsigned long long calls = 0;
    if (n + 2 > w.size() || !is_calls(w[n]))
        return bad(r, "not a line of the call graph");
    if (!within_total(seconds, r.total))
        return bad(r, "a call that takes more than the run's total time");
    whole_number(w[n].substr(0, w[n].find_first_of("+/")), ULLONG_MAX, &calls);
    r.g.arcs.push_back({r.primary, index, calls, r.total > 0 ? 100 * seconds / r.total : 0});
    return true;
}

// A row of the flat profile: "%time cumulative self [calls self/call
// total/call] name"; a row that isn't one is passed over.
void flat_row(reader &r, const std::vector<std::string_view> &w)
{
    double percent = 0, number = 0;
    unsigned long long calls = 0;
    bool with_calls = w.size() > 6 && whole_number(w[3], ULLONG_MAX, &calls) && decimal(w[4], &number) &&
                      decimal(w[5], &number);
    std::size_t name_from = with_calls ? 6 : 3;
    if (w.size() > name_from && decimal(w[0], &percent) && decimal(w[1], &number) && decimal(w[2], &number))
        r.flat[name_of(w, name_from, w.size())] = percent;
}

bool read_line(reader &r, const std::string &line)
{
    std::vector<std::string_view> w = words(line);
    if (!r.in_graph && r.in_flat && !w.empty())
        flat_row(r, w);
    r.in_flat = (r.in_flat && !w.empty()) || (w.size() > 2 && w[0] == "time" && w[1] == "seconds");
    if (line.rfind("granularity:", 0) == 0) {
        // "... for 0.72% of 1.38 seconds", or, for a run too short to be
        // sampled, "... no time propagated".
        std::size_t of = line.rfind(" of ");
        w = words(of == std::string::npos ? "" : std::string_view(line).substr(of + 4));
        r.g.no_time = w.empty() && line.find("no time propagated") != std::string::npos;
        r.has_total = true;
        return w.empty() ? r.g.no_time || bad(r, "no total time") : number(r, w[0], &r.total);
    }
    if (line.rfind("index % time", 0) == 0) {
        r.in_graph = true;
        return r.has_total || bad(r, "no \"granularity:\" line before the call graph: the run's total time is missing");
    }
    if (!r.in_graph)
        return true;
    r.complete = line.rfind("Index by function name", 0) == 0;
    if (line.rfind("-----", 0) == 0)
        r.primary = -1;
    if (w.empty() || !is_index(w.back()))
        return true; // "<spontaneous>", a blank line, the dashes or the end
    int index = 0;
    if (!index_of(r, w.back(), &index))
        return false;
    if (is_index(w[0]))
        return entry(r, w, index);
    return r.primary < 0 || callee(r, w, index);
}

} // namespace

bool read_gprof_profile(profile_lines *lines, profile_graph *g, std::string *error)
{
    reader r;
    while (!r.complete && next_line(lines, error))
        if (!read_line(r, lines->line)) {
            *error = "line " + std::to_string(lines->number) + ": " + r.error.substr(0, 200);
            return false;
        }
    if (!error->empty())
        return false;
    if (!r.in_graph || r.g.functions.empty())
        *error = "holds no call graph of gprof -b";
    else if (!r.complete)
        *error = "ends inside the call graph: the profile is cut short";
    for (const profile_arc &a : r.g.arcs)
        if (error->empty() && r.seen.count(a.callee) == 0)
            *error = "a call to [" + std::to_string(a.callee) + "], which has no entry";
    if (!error->empty())
        return false;
    r.g.total = r.total;
    // A function's own share is the flat profile's, which gprof doesn't
    // round as it rounds the call graph's seconds.
    for (profile_function &f : r.g.functions) {
        auto own = r.flat.find(f.name.substr(0, f.name.find(" <cycle ")));
        if (own != r.flat.end())
            f.self = std::min(own->second, f.percent);
    }
    // A call to a cycle as a whole is drawn as the calls to its members.
    auto into_whole = [&](const profile_arc &a) { return r.wholes.count(a.callee) != 0; };
    r.g.arcs.erase(std::remove_if(r.g.arcs.begin(), r.g.arcs.end(), into_whole), r.g.arcs.end());
    *g = std::move(r.g);
    return true;
}
