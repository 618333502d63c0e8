// gprof's call graph, the text of `gprof -b`: the flat profile's rows, then
// entries of caller lines, the primary line that starts with "[N]" and
// callee lines, separated by dashes, then the index by function name, which
// shows that the graph is whole and names the files of static functions.
// "<cycle N as a whole>" entries are left out (their members are read), as
// are "<spontaneous>" callers, which are no function.
#include "profile.h"

#include "filter.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <unordered_map>

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
    return w.size() >= 3 && w.front() == '[' && w.back() == ']' && digits(w.substr(1, w.size() - 2));
}

// A flat profile's row: its name, self seconds as written, and % time.
struct flat_row {
    std::string name, seconds;
    double percent;
};

struct reader {
    profile p;
    bool has_total = false, in_graph = false, in_index = false, in_flat = false;
    std::size_t primary = SIZE_MAX;  // the function whose callees are being read
    std::map<int, std::size_t> ids;  // gprof's index to the function's
    std::map<int, std::string> self_seconds; // each entry's, as written
    std::set<int> wholes;            // "<cycle N as a whole>" entries
    std::vector<flat_row> flat;
    std::string *error;
};

bool bad(reader &r, const std::string &what)
{
    *r.error = what;
    return false;
}

bool number(reader &r, std::string_view w, double *out)
{
    return (w.size() <= 20 && decimal(w, out)) ||
           bad(r, w.empty() ? "an empty number" : "not a number: " + std::string(w));
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

// Seconds, as gprof rounds them to hundredths, within the run's total.
bool within_total(double seconds, double total)
{
    return seconds <= total * 1.001 + 0.015;
}

// "[N] %time self children [called] name [N]"
bool entry(reader &r, const std::vector<std::string_view> &w, int index)
{
    int first = 0;
    if (w.size() < 5 || !index_of(r, w[0], &first) || first != index)
        return r.error->empty() && bad(r, "not an entry of the call graph");
    if (r.ids.count(index) != 0 || r.wholes.count(index) != 0)
        return bad(r, "a second entry for " + std::string(w[0]));
    double percent = 0, self = 0, children = 0;
    if (!number(r, w[1], &percent) || !number(r, w[2], &self) || !number(r, w[3], &children))
        return false;
    if (percent > 100.5) // gprof's rounding gives it a little over 100
        return bad(r, "more than all of the time: " + std::string(w[1]));
    if (!within_total(self + children, r.p.total))
        return bad(r, "more than the run's total time of " + std::string(w[0]));
    profile_function f;
    f.inclusive = percent * r.p.total / 100; // gprof's percentages aren't rounded as its seconds are
    f.self = self + children > 0 ? f.inclusive * self / (self + children) : 0; // unless the flat profile says
    std::size_t name_from = 4;
    if (is_calls(w[4])) {
        std::string_view calls = w[name_from++];
        std::size_t plus = calls.find('+');
        whole_number(calls.substr(0, plus), ULLONG_MAX, &f.calls);
        if (plus != calls.npos)
            whole_number(calls.substr(plus + 1), ULLONG_MAX, &f.recursive);
    }
    f.name = name_of(w, name_from, w.size() - 1);
    if (f.name.empty())
        return bad(r, "an entry without a name");
    r.primary = SIZE_MAX;
    if (f.name.find(" as a whole>") != std::string::npos)
        return r.wholes.insert(index).second;
    r.primary = r.p.functions.size();
    r.ids[index] = r.primary;
    r.self_seconds[index] = w[2];
    r.p.functions.push_back(f);
    return true;
}

// "[self children] called name [N]"; within a cycle, and to itself, only
// the calls.
bool callee(reader &r, const std::vector<std::string_view> &w, int index)
{
    std::size_t n = 0;
    double seconds = 0;
    for (double s = 0; n + 1 < w.size() && w[n].find('.') != w[n].npos && decimal(w[n], &s); n++)
        seconds += s;
    if (n + 2 > w.size() || !is_calls(w[n]))
        return bad(r, "not a line of the call graph");
    if (!within_total(seconds, r.p.total))
        return bad(r, "a call that takes more than the run's total time");
    profile_arc a{r.primary, std::size_t(index), seconds, 0, n > 0}; // the callee by gprof's index, until the end
    whole_number(w[n].substr(0, w[n].find_first_of("+/")), ULLONG_MAX, &a.calls);
    r.p.arcs.push_back(a);
    return true;
}

// A row of the flat profile: "%time cumulative self [calls self/call
// total/call] name"; a row that isn't one is passed over.
bool flat(reader &r, const std::vector<std::string_view> &w)
{
    double percent = 0, number = 0;
    unsigned long long calls = 0;
    bool with_calls = w.size() > 6 && whole_number(w[3], ULLONG_MAX, &calls) && decimal(w[4], &number) &&
                      decimal(w[5], &number);
    std::size_t name_from = with_calls ? 6 : 3;
    if (w.size() <= name_from || !decimal(w[0], &percent) || !decimal(w[1], &number) || !decimal(w[2], &number))
        return true;
    r.flat.push_back({name_of(w, name_from, w.size()), std::string(w[2]), percent});
    return percent <= 100.5 || bad(r, "more than all of the time: " + std::string(w[0]));
}

// "[N] name (file)" pairs of the index: a static function's file.
void index_line(reader &r, const std::vector<std::string_view> &w)
{
    for (std::size_t i = 0, next = 0; i < w.size(); i = next) {
        for (next = i + 1; next < w.size() && !is_index(w[next]); next++) {
        }
        int index = 0;
        auto id = is_index(w[i]) && index_of(r, w[i], &index) ? r.ids.find(index) : r.ids.end();
        if (id == r.ids.end())
            continue;
        profile_function &f = r.p.functions[id->second];
        std::string text = name_of(w, i + 1, next), name = f.name.substr(0, f.name.find(" <cycle ")); // the index's has no cycle
        if (text.size() > name.size() + 3 && text.compare(0, name.size() + 2, name + " (") == 0 && text.back() == ')')
            f.file = text.substr(name.size() + 2, text.size() - name.size() - 3);
    }
}

bool read_line(reader &r, std::string_view line)
{
    std::vector<std::string_view> w = words(line);
    if (r.in_index)
        return index_line(r, w), true;
    if (!r.in_graph && r.in_flat && !w.empty() && !flat(r, w))
        return false;
    r.in_flat = (r.in_flat && !w.empty()) || (w.size() > 2 && w[0] == "time" && w[1] == "seconds");
    if (line.rfind("granularity:", 0) == 0) {
        // "... for 0.72% of 1.38 seconds", or, for a run too short to be
        // sampled, "... no time propagated".
        std::size_t of = line.rfind(" of ");
        w = words(of == line.npos ? "" : line.substr(of + 4));
        r.has_total = true;
        return w.empty() ? line.find("no time propagated") != line.npos || bad(r, "no total time")
                         : number(r, w[0], &r.p.total);
    }
    if (line.rfind("index % time", 0) == 0) {
        r.in_graph = true;
        return r.has_total || bad(r, "no \"granularity:\" line before the call graph: the run's total time is missing");
    }
    r.in_index = r.in_graph && line.rfind("Index by function name", 0) == 0;
    if (!r.in_graph || r.in_index)
        return true;
    if (line.rfind("-----", 0) == 0)
        r.primary = SIZE_MAX;
    if (w.empty() || !is_index(w.back()))
        return true; // "<spontaneous>", a blank line, the dashes
    int index = 0;
    if (!index_of(r, w.back(), &index))
        return false;
    if (is_index(w[0]))
        return entry(r, w, index);
    return r.primary == SIZE_MAX || callee(r, w, index);
}

} // namespace

bool read_gprof(profile_lines *lines, profile *p, std::string *error, bool *whole)
{
    reader r;
    r.error = error;
    while (next_line(lines, error)) {
        if (lines->unended) // gprof ends every line
            return bad(r, "a line without its newline: the file is cut short");
        if (!read_line(r, lines->line))
            return false;
    }
    if (!error->empty() || lines->failed)
        return false;
    *whole = true;
    if (!r.in_graph || r.p.functions.empty())
        return bad(r, "holds no call graph of gprof -b");
    if (!r.in_index)
        return bad(r, "ends inside the call graph: the profile is cut short");
    // A call to a cycle as a whole is drawn as the calls to its members.
    std::vector<profile_arc> arcs;
    for (profile_arc a : r.p.arcs) {
        auto callee = r.ids.find(int(a.callee));
        if (callee == r.ids.end() && r.wholes.count(int(a.callee)) == 0)
            return bad(r, "a call to [" + std::to_string(a.callee) + "], which has no entry");
        if (callee != r.ids.end())
            arcs.push_back({a.caller, callee->second, a.cost, a.calls, a.timed});
    }
    r.p.arcs = std::move(arcs);
    // A function's own share is its flat profile row's, which gprof doesn't
    // round as it rounds seconds: of two rows of one name (static functions
    // of two files), the first left whose seconds are the entry's, else the
    // first left.
    std::unordered_map<std::string_view, std::vector<std::size_t>> rows; // of each name, in order
    for (std::size_t i = 0; i < r.flat.size(); i++)
        rows[r.flat[i].name].push_back(i);
    std::vector<bool> taken(r.flat.size());
    for (const auto &entry : r.ids) {
        const std::string &seconds = r.self_seconds[entry.first];
        profile_function &f = r.p.functions[entry.second];
        auto named = rows.find(std::string_view(f.name).substr(0, f.name.find(" <cycle ")));
        if (named == rows.end())
            continue;
        std::size_t row = SIZE_MAX;
        for (std::size_t i : named->second)
            if (!taken[i] && (row == SIZE_MAX || (r.flat[i].seconds == seconds && r.flat[row].seconds != seconds)))
                row = i;
        if (row == SIZE_MAX)
            continue;
        taken[row] = true;
        f.self = std::min(r.flat[row].percent * r.p.total / 100, f.inclusive);
    }
    *p = std::move(r.p);
    return true;
}
