#include "gprof_profile.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

struct bad_profile {
    std::size_t line; // 0 for the whole
    std::string what;
};

bool digits(const std::string &t)
{
    return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
}

// Digits, and maybe one of marks followed by digits.
bool digits_around(const std::string &t, const char *marks)
{
    std::size_t mark = t.find_first_of(marks);
    return mark == std::string::npos ? digits(t) : digits(t.substr(0, mark)) && digits(t.substr(mark + 1));
}

// Calls as gprof writes them: "n", "n+m" (recursive) or "n/m" (of all).
bool is_calls(const std::string &t)
{
    return digits_around(t, "+/");
}

double decimal(const std::string &t, std::size_t line)
{
    if (!is_decimal(t) || t.size() > 20)
        throw bad_profile{line, "not a number: " + t};
    return std::strtod(t.c_str(), nullptr);
}

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool is_index(const std::string &w)
{
    return w.size() >= 3 && w.front() == '[' && w.back() == ']';
}

// The index in "[N]": 1 to a million, gprof's limit being far lower.
int index_of(const std::string &w, std::size_t line)
{
    long n = std::strtol(w.c_str() + 1, nullptr, 10);
    if (!digits(w.substr(1, w.size() - 2)) || w.size() > 9 || n < 1 || n > 1000000)
        throw bad_profile{line, "index out of range: " + w};
    return static_cast<int>(n);
}

std::string name_of(const std::vector<std::string> &w, std::size_t from)
{
    std::string name;
    for (std::size_t i = from; i + 1 < w.size(); i++)
        name += (name.empty() ? "" : " ") + w[i];
    return name;
}

// Whether seconds, as gprof rounds them to hundredths, fit in the run's
// total: nothing can take more than all of the time.
bool within_total(double seconds, double total)
{
    return seconds <= total * 1.001 + 0.015;
}

} // namespace

bool is_decimal(const std::string &t)
{
    return digits_around(t, ".");
}

namespace {

// Reads gprof's call graph: entries of caller lines, the primary line that
// starts with "[N]", and callee lines, separated by dashes; then the index
// by function name, which shows that the graph is whole.
profile_graph parse(const std::string &text)
{
    profile_graph g;
    double total = 0;
    std::istringstream in(text);
    std::string line;
    std::size_t number = 0;
    bool in_graph = false;
    bool complete = false;
    bool has_total = false;
    int primary = -1;          // the entry whose callees are being read, or -1
    std::set<int> wholes;      // "<cycle N as a whole>" entries
    std::set<int> seen;
    while (!complete && std::getline(in, line)) {
        number++;
        if (line.find('\0') != std::string::npos)
            throw bad_profile{number, "holds a NUL byte"};
        if (line.rfind("granularity:", 0) == 0) {
            // "... for 0.72% of 1.38 seconds", or, for a run too short to be
            // sampled, "... no time propagated".
            std::size_t of = line.rfind(" of ");
            std::vector<std::string> w = words(of == std::string::npos ? "" : line.substr(of + 4));
            if (!w.empty()) {
                total = decimal(w[0], number);
            } else if (line.find("no time propagated") != std::string::npos) {
                g.no_time = true;
            } else {
                throw bad_profile{number, "no total time"};
            }
            has_total = true;
        } else if (line.rfind("index % time", 0) == 0) {
            if (!has_total)
                throw bad_profile{number, "no \"granularity:\" line before the call graph: the run's total time is missing"};
            in_graph = true;
        } else if (!in_graph) {
            continue;
        } else if (line.rfind("Index by function name", 0) == 0) {
            complete = true;
        } else if (line.rfind("-----", 0) == 0) {
            primary = -1;
        } else {
            std::vector<std::string> w = words(line);
            if (w.empty() || !is_index(w.back()))
                continue; // "<spontaneous>" or a blank line
            int index = index_of(w.back(), number);
            if (is_index(w[0])) {
                // [N] %time self children [called] name [N]
                if (w.size() < 5 || index_of(w[0], number) != index)
                    throw bad_profile{number, "not an entry of the call graph"};
                if (!seen.insert(index).second)
                    throw bad_profile{number, "a second entry for " + w[0]};
                double self = decimal(w[2], number), children = decimal(w[3], number);
                // gprof rounds the seconds but not its percentages: the self
                // share is taken as the part of the function's own percentage.
                profile_function f{index, "", "", decimal(w[1], number), 0, ""};
                f.self = self + children > 0 ? f.percent * self / (self + children) : 0;
                if (f.percent > 100.5)
                    throw bad_profile{number, "more than all of the time: " + w[1]};
                if (!within_total(self + children, total))
                    throw bad_profile{number, "more than the run's total time of " + w[0]};
                std::size_t name_from = 4;
                if (is_calls(w[4]))
                    f.calls = w[name_from++];
                f.name = name_of(w, name_from);
                if (f.name.empty())
                    throw bad_profile{number, "an entry without a name"};
                if (f.name.find(" as a whole>") != std::string::npos) {
                    wholes.insert(index);
                    primary = -1;
                } else {
                    g.functions.push_back(f);
                    primary = index;
                }
            } else if (primary >= 0) {
                // [self children] called name [N]; within a cycle only called
                std::size_t n = 0;
                double seconds = 0;
                while (n + 1 < w.size() && is_decimal(w[n]) && w[n].find('.') != std::string::npos)
                    seconds += decimal(w[n++], number);
                if (n + 2 > w.size() || !is_calls(w[n]))
                    throw bad_profile{number, "not a line of the call graph"};
                if (!within_total(seconds, total))
                    throw bad_profile{number, "a call that takes more than the run's total time"};
                g.arcs.push_back({primary, index, std::strtoull(w[n].c_str(), nullptr, 10),
                                  total > 0 ? 100 * seconds / total : 0});
            }
        }
    }
    if (!in_graph || g.functions.empty())
        throw bad_profile{0, "holds no call graph of gprof -b"};
    if (!complete)
        throw bad_profile{0, "ends inside the call graph: the profile is cut short"};
    for (const profile_arc &a : g.arcs)
        if (seen.count(a.callee) == 0)
            throw bad_profile{0, "a call to [" + std::to_string(a.callee) + "], which has no entry"};
    // A call to a cycle as a whole is drawn as the calls to its members.
    g.arcs.erase(std::remove_if(g.arcs.begin(), g.arcs.end(), [&](const profile_arc &a) { return wholes.count(a.callee) != 0; }),
                 g.arcs.end());
    return g;
}

} // namespace

bool read_gprof_profile(const std::string &text, profile_graph *g, std::string *error)
{
    try {
        *g = parse(text);
        return true;
    } catch (const bad_profile &bad) {
        *error = (bad.line > 0 ? "line " + std::to_string(bad.line) + ": " : "") + bad.what.substr(0, 200);
        return false;
    }
}

