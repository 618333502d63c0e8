// Turns the call graph of `gprof -b` into a Graphviz graph:
//
//   gprof_dot PROFILE OUTPUT.dot
//
// A node per function, labelled with its name, its share of the run's time
// with its callees and on its own, and how often it was called; filled by
// that share, from blue for none to red for all. An edge per caller and
// callee, labelled with the calls, and drawn wider and redder the more
// time goes through it. gprof's "<cycle N as a whole>" entries are left
// out (their members are drawn), as are "<spontaneous>" callers, which
// are no function.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct arc {
    int callee;        // gprof's index of the function called
    std::string calls; // "n" or "n/total"
    double seconds;    // time that goes to the callee through this arc
};

struct function {
    int index;
    std::string name;
    double percent;    // of the run, with callees
    double self;       // seconds spent in the function itself
    double children;   // seconds spent in its callees
    std::string calls; // "n", "n+recursive", or empty
    std::vector<arc> callees;
};

// gprof's figures are well formed; anything else reads as 0.
double number(const char *text)
{
    return std::strtod(text, nullptr);
}

bool is_number(const std::string &t)
{
    if (t.empty())
        return false;
    for (char c : t)
        if (std::strchr("0123456789./+", c) == nullptr)
            return false;
    return true;
}

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// The index of a line that ends with "[N]", or -1.
int index_at_end(const std::vector<std::string> &w)
{
    if (w.empty() || w.back().size() < 3 || w.back().front() != '[' || w.back().back() != ']')
        return -1;
    return static_cast<int>(std::strtol(w.back().c_str() + 1, nullptr, 10));
}

std::string name_of(const std::vector<std::string> &w, std::size_t from)
{
    std::string name;
    for (std::size_t i = from; i + 1 < w.size(); i++)
        name += (name.empty() ? "" : " ") + w[i];
    return name;
}

double seconds_of(const std::string &t)
{
    return t.find('.') != std::string::npos ? number(t.c_str()) : 0;
}

// Reads gprof's call graph: entries of caller lines, the primary line that
// starts with "[N]", and callee lines, separated by dashes.
bool parse(std::istream &in, std::vector<function> *out, double *total)
{
    std::string line;
    bool in_graph = false;
    bool after_primary = false;
    while (std::getline(in, line)) {
        if (line.rfind("granularity:", 0) == 0) {
            std::size_t of = line.rfind(" of ");
            if (of != std::string::npos)
                *total = number(line.c_str() + of + 4);
        } else if (line.rfind("index % time", 0) == 0) {
            in_graph = true;
        } else if (!in_graph) {
            continue;
        } else if (line.rfind("Index by function name", 0) == 0) {
            break;
        } else if (line.rfind("-----", 0) == 0) {
            after_primary = false;
        } else {
            std::vector<std::string> w = words(line);
            int index = index_at_end(w);
            if (index < 0)
                continue; // "<spontaneous>" or a blank line
            if (w[0].front() == '[') {
                // [N] %time self children [called] name [N]
                if (w.size() < 5)
                    continue;
                function f{index, "", number(w[1].c_str()), number(w[2].c_str()),
                           number(w[3].c_str()), "", {}};
                std::size_t name_from = 4;
                if (is_number(w[4]) && w[4].find('.') == std::string::npos)
                    f.calls = w[name_from++];
                f.name = name_of(w, name_from);
                after_primary = f.name.find(" as a whole>") == std::string::npos;
                if (after_primary)
                    out->push_back(f);
            } else if (after_primary) {
                // [self children] called name [N]
                std::size_t n = 0;
                double seconds = 0;
                while (n < w.size() && is_number(w[n])) {
                    seconds += seconds_of(w[n]);
                    n++;
                }
                if (n == 0)
                    continue;
                out->back().callees.push_back({index, w[n - 1], seconds});
            }
        }
    }
    return in_graph;
}

std::string quoted(const std::string &s)
{
    std::string q = "\"";
    for (char c : s) {
        if (c == '\n') {
            q += "\\n";
            continue;
        }
        if (c == '"' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

// Blue for no share, through green and yellow, to red for all of it; the
// square root spreads the small shares, so that anything over a third of
// the time is orange to red.
std::string colour(double share)
{
    share = share < 0 ? 0 : share > 1 ? 1 : std::sqrt(share);
    char text[40];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f", 0.66 * (1 - share), 0.3 + 0.6 * share, 0.95);
    return text;
}

void write_dot(std::ostream &out, const std::vector<function> &functions, double total)
{
    out << "digraph callgraph {\n"
           "  graph [fontname=\"Helvetica\", label=\"call graph: share of the run's time with "
           "callees (and on its own), calls\", labelloc=t, rankdir=LR];\n"
           "  node [shape=box, style=\"rounded,filled\", fontname=\"Helvetica\", fontsize=10];\n"
           "  edge [fontname=\"Helvetica\", fontsize=9, arrowsize=0.6];\n";
    for (const function &f : functions) {
        // gprof rounds the seconds but not its percentages: the self share
        // is taken as the part of the function's own percentage.
        double self_percent = f.self + f.children > 0 ? f.percent * f.self / (f.self + f.children) : 0;
        char figures[64];
        std::snprintf(figures, sizeof figures, "%.1f %% (%.1f %%)", f.percent, self_percent);
        std::string label = f.name + "\n" + figures;
        if (!f.calls.empty())
            label += "\n" + f.calls + (f.calls == "1" ? " call" : " calls");
        out << "  f" << f.index << " [label=" << quoted(label) << ", fillcolor=" << quoted(colour(f.percent / 100))
            << "];\n";
    }
    for (const function &f : functions) {
        for (const arc &a : f.callees) {
            double share = total > 0 ? a.seconds / total : 0;
            std::string calls = a.calls.substr(0, a.calls.find('/'));
            char width[16];
            std::snprintf(width, sizeof width, "%.2f", 1 + 4 * share);
            out << "  f" << f.index << " -> f" << a.callee << " [label=" << quoted(calls + "×")
                << ", color=" << quoted(colour(share)) << ", penwidth=" << width << "];\n";
        }
    }
    out << "}\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: gprof_dot PROFILE OUTPUT.dot\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "gprof_dot: %s: cannot open: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::vector<function> functions;
    double total = 0;
    if (!parse(in, &functions, &total) || functions.empty()) {
        std::fprintf(stderr, "gprof_dot: %s: holds no call graph of gprof -b\n", argv[1]);
        return 2;
    }
    std::ofstream out(argv[2]);
    write_dot(out, functions, total);
    out.close();
    if (!out) {
        std::fprintf(stderr, "gprof_dot: %s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
