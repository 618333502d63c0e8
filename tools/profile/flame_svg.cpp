// The flame graph as SVG: a <g class="frame"> a frame, in the tree's
// order (a parent before its children), holding its <title>, <rect> and
// <text>; each graph a <g class="graph"> whose data- attributes tell the
// script where its levels are. The text's offset is CSS, so that a frame
// costs fewer bytes; a rect's height is not: Chromium takes three times as
// long to draw rects whose height CSS gives.
#include "flame.h"
#include "flame_script.h"
#include "printable.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr double margin = 10, level = 16, top = 70;

// s as XML text, valid UTF-8 on one line (printable's escapes, which it
// leaves as they are when given them again).
std::string xml(const std::string &s)
{
    std::string out;
    for (char c : printable(s))
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

void add(std::string *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void add(std::string *out, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start is above; the analyzer doesn't follow it
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    out->append(text, std::size_t(std::min(n, int(sizeof text) - 1)));
}

std::string figure(double cost)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", cost);
    return text;
}

// A shade of the kind's colour, the same for a name in every graph.
std::string kind_colour(const stack_frame &f, const std::string &name)
{
    std::uint32_t h = 2166136261u; // FNV-1a
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    double a = (h & 0xffff) / 65535.0, b = (h >> 16) / 65535.0;
    // Command violet, own code red to orange, libraries yellow-green,
    // kernel blue, unknown grey: families whose shades never meet.
    static const int low[5][3] = {{170, 150, 220}, {220, 70, 40}, {180, 200, 60}, {80, 160, 210}, {170, 170, 170}};
    static const int span[5][3] = {{30, 30, 25}, {30, 80, 30}, {40, 30, 40}, {50, 50, 35}, {30, 30, 30}};
    const int *l = low[int(f.kind)], *sp = span[int(f.kind)];
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", l[0] + int(sp[0] * a), l[1] + int(sp[1] * b),
                  l[2] + int(sp[2] * (f.kind == frame_kind::unknown ? a : 1 - a)));
    return text;
}

// Red for growth, blue for shrinkage, as saturated as the change is large
// against the largest, but never so dark that black text can't be read;
// white for none.
std::string change_colour(double change, double largest)
{
    int pale = largest > 0 ? int(std::lround(255 - 185 * std::min(1.0, std::fabs(change) / largest))) : 255;
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", change > 0 ? 255 : pale, pale, change < 0 ? 255 : pale);
    return text;
}

struct graph {
    const stack_set &s;
    const std::vector<flame_node> &nodes;
    const flame_options &o;
    std::vector<std::string> names;
    std::string unit; // " EVENT"
};

double change_of(const graph &g, const flame_node &n)
{
    const double *t = g.s.total;
    return g.o.normalize ? (n.cost[1] * t[0] - n.cost[0] * t[1]) / (t[0] * t[1]) * 100
                         : (n.cost[1] - n.cost[0]) / t[0] * 100;
}

std::string share(double cost, double total)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", total > 0 ? cost / total * 100 : 0);
    return text;
}

// A run's "COUNT EVENT, SHARE", perf's this run's with its samples first.
std::string figures(const graph &g, const flame_node &n, int run)
{
    std::string counted = figure(n.cost[run]) + g.unit + ", " + share(n.cost[run], g.s.total[run]);
    return g.s.kind == "perf" && run == 1 ? figure(n.samples) + " samples, " + counted : counted;
}

// The frame's name, its object's file name (as gprof_dot gives it) where
// the name doesn't say it, then its figures.
std::string title_of(const graph &g, const flame_node &n, std::size_t i)
{
    std::string title = i == 0 ? "all" : xml(g.names[n.frame]);
    std::string object = i == 0 ? "" : g.s.frames[n.frame].object, file = object.substr(object.rfind('/') + 1);
    if (!file.empty() && g.names[n.frame] != printable("[" + file + "]"))
        title += "\n" + xml(file);
    if (!g.s.two_runs)
        return title + "\n" + figures(g, n, 1);
    char change[64];
    std::snprintf(change, sizeof change, "\nchange: %+.2f %%%s", change_of(g, n), g.o.normalize ? " of the share" : " of the base's total");
    return title + "\nbase: " + figures(g, n, 0) + "\nnow: " + figures(g, n, 1) + change;
}

// One run's graph, its top at y; returns its height.
double draw_run(const graph &g, int run, double y, double largest, std::string *out, std::string *left_out)
{
    const std::vector<flame_node> &nodes = g.nodes;
    double total = g.s.total[run], scale = total > 0 ? (g.o.width - 2 * margin) / total : 0, lost = 0;
    std::vector<char> drawn(nodes.size(), 0);
    std::uint32_t deepest = 0;
    std::size_t pruned = 0;
    for (std::size_t i = 0; i < nodes.size(); i++) {
        const flame_node &n = nodes[i];
        bool wide = n.cost[run] * scale >= g.o.min_width && (i == 0 || drawn[n.parent]);
        drawn[i] = wide ? 1 : 0;
        deepest = wide ? std::max(deepest, n.depth) : deepest;
        pruned += !wide && n.cost[run] > 0;
        lost += !wide && n.cost[run] > 0 && (i == 0 || drawn[n.parent]) ? n.cost[run] : 0;
    }
    add(out, "<g class=\"graph\" data-top=\"%g\" data-rows=\"%u\" data-run=\"%d\">\n", y, deepest + 1, run);
    std::vector<std::uint32_t> walk(1, 0); // depth first, so that a parent comes before its children
    while (!walk.empty()) {
        std::uint32_t i = walk.back();
        walk.pop_back();
        const flame_node &n = nodes[i];
        for (auto c = n.children.rbegin(); c != n.children.rend(); ++c)
            if (drawn[*c])
                walk.push_back(*c);
        double x = margin + n.start[run] * scale, w = n.cost[run] * scale;
        double row = y + (g.o.inverted ? n.depth : deepest - n.depth) * level;
        std::string name = i == 0 ? "all" : g.names[n.frame]; // printable, not yet XML
        std::string fill = g.s.two_runs ? change_colour(change_of(g, n), largest)
                           : i == 0     ? "#e0e0e0"
                                        : kind_colour(g.s.frames[n.frame], name);
        add(out, "<g class=\"frame\" data-cost=\"%s\"><title>", figure(n.cost[run]).c_str());
        *out += title_of(g, n, i);
        add(out, "</title><rect x=\"%.2f\" y=\"%g\" width=\"%.2f\" height=\"15\" fill=\"%s\"/>", x, row, w, fill.c_str());
        std::size_t fits = w > 6 ? std::size_t((w - 6) / 6.6) : 0;
        if (fits >= 3) {
            if (fits < name.size()) { // cut at a character's start, never inside a UTF-8 sequence
                std::size_t cut = fits - 2;
                while (cut > 0 && (name[cut] & 0xc0) == 0x80)
                    cut--;
                name.replace(cut, name.npos, "..");
            }
            add(out, "<text x=\"%.2f\" y=\"%g\">", x, row);
            *out += xml(name) + "</text></g>\n";
        } else {
            *out += "<text/></g>\n";
        }
    }
    *out += "</g>\n";
    if (pruned > 0)
        *left_out += "; " + std::to_string(pruned) + (run == 0 ? " of the base's" : "") + " frames narrower than " +
                     figure(g.o.min_width) + " px left out (" + share(lost, total) + ")";
    return (deepest + 1) * level;
}

} // namespace

std::string flame_svg(const stack_set &s, const std::vector<flame_node> &nodes, const flame_options &o)
{
    graph g{s, nodes, o, {}, " " + xml(s.cost)};
    for (const stack_frame &f : s.frames)
        g.names.push_back(printable(frame_name(f, false)));
    double largest = 0;
    for (std::size_t i = 1; s.two_runs && i < nodes.size(); i++)
        largest = std::max(largest, std::fabs(change_of(g, nodes[i])));
    std::string frames, left_out;
    double height = draw_run(g, 1, top, largest, &frames, &left_out);
    if (s.two_runs) {
        add(&frames, "<text class=\"heading\" x=\"%g\" y=\"%g\">The base run, at its own widths, coloured as above</text>\n",
            margin, top + height + 20);
        height += 30 + draw_run(g, 0, top + height + 30, largest, &frames, &left_out);
    }
    double bottom = top + height + 40, w = o.width;
    std::string svg, subtitle = xml(s.cost) + ": " + figure(s.total[1]) + " in all";
    if (s.two_runs)
        subtitle = "red grew, blue shrank, from the base's " + figure(s.total[0]) + " " + xml(s.cost) + " to " +
                   figure(s.total[1]) + (o.normalize ? ", in shares of each run" : ", in shares of the base's total");
    subtitle += std::string(o.reverse ? "; stacks read from the leaf" : "") + (o.collapse ? "; recursion collapsed" : "");
    add(&svg, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" "
              "viewBox=\"0 0 %g %g\" data-inverted=\"%d\" data-margin=\"%g\">\n",
        w, bottom, w, bottom, o.inverted, margin);
    svg += std::string("<style>text{font:11px monospace;fill:#000}.frame rect{stroke:") + (s.two_runs ? "#bbb" : "#fff") +
           ";stroke-width:.5}"
           ".frame text{transform:translate(3px,11px);pointer-events:none}.frame:focus rect{stroke:#000;stroke-width:1.5}"
           ".dim{opacity:.5}.hide{display:none}.match rect{fill:#e040e0}.title{font-size:17px;text-anchor:middle}"
           ".sub{text-anchor:middle}.button{cursor:pointer;text-decoration:underline}.heading{font-weight:bold}</style>\n";
    add(&svg, "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n<text class=\"title\" x=\"%g\" y=\"24\">", w / 2);
    svg += xml(o.title) + "</text>\n";
    add(&svg, "<text class=\"sub\" x=\"%g\" y=\"42\">", w / 2);
    svg += subtitle + left_out + "</text>\n";
    add(&svg, "<text id=\"reset\" class=\"button hide\" x=\"%g\" y=\"60\">Reset zoom</text>\n"
              "<text id=\"search\" class=\"button\" x=\"%g\" y=\"60\" text-anchor=\"end\">Search</text>\n"
              "<text id=\"matched\" x=\"%g\" y=\"%g\" text-anchor=\"end\"></text>\n<text id=\"status\" x=\"%g\" y=\"%g\"> </text>\n",
        margin, w - margin, w - margin, bottom - 8, margin, bottom - 8);
    static const char *kinds[5] = {"command", "own code", "library", "kernel", "unknown"};
    static const char *changes[3] = {"grew", "shrank", "no change"};
    for (int k = 0; k < (s.two_runs ? 3 : 5); k++) {
        std::string fill = s.two_runs ? change_colour(k == 0 ? 1 : k == 1 ? -1 : 0, 1)
                                      : kind_colour(stack_frame{"", "", frame_kind(k)}, "");
        add(&svg, "<rect x=\"%g\" y=\"51\" width=\"10\" height=\"10\" fill=\"%s\" stroke=\"#999\"/><text x=\"%g\" y=\"60\">%s</text>\n",
            margin + 110 + k * 90, fill.c_str(), margin + 124 + k * 90, s.two_runs ? changes[k] : kinds[k]);
    }
    return svg + frames + "<script><![CDATA[\n" + flame_script + "]]></script>\n</svg>\n";
}
