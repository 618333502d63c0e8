// gprof_dot's reading and drawing on any bytes, gprof's text or callgrind's
// as the first line says, as the tool reads them. Whatever is read has no
// function on its own above its cost with callees, none of them negative,
// and draws, with a function hidden and a comparison with itself too,
// without a fault. Read as stacks, as flame_graph reads them, every frame
// costs at least its children together, and the graph and its folded
// stacks are written, reversed and compared with themselves too. Read as
// source lines, as line_costs reads them, each function's lines add up to
// its own cost, and no line's calls cost more than its function with
// callees.
#include "flame.h"
#include "profile_drawing.h"
#include "source_lines.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void flame_stacks(std::string &text)
{
    std::FILE *in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr)
        return;
    stack_set s;
    std::string error;
    int status = read_stacks(in, "", &s, &error);
    std::fclose(in);
    check((status == 0) == error.empty());
    if (status != 0)
        return;
    flame_options o;
    std::vector<flame_node> nodes = build_flame(s, o);
    for (const flame_node &n : nodes) {
        double children = n.self[1];
        for (std::uint32_t c : n.children)
            children += nodes[c].cost[1];
        check(n.cost[1] >= 0 && children <= n.cost[1] * (1 + 1e-9) + 1e-9);
    }
    check(flame_svg(s, nodes, o).find("</svg>") != std::string::npos);
    o.reverse = o.collapse = true;
    folded_text(s, build_flame(s, o));
    stack_set twice = s;
    if (!s.two_runs && s.total[1] > 0) {
        merge_runs(s, &twice);
        check(flame_svg(twice, build_flame(twice, o), o).find("</svg>") != std::string::npos);
    }
}

void source_lines_of(std::string &text)
{
    std::FILE *in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr)
        return;
    line_profile lp;
    std::string error;
    int status = read_lines(in, {""}, &lp, &error);
    std::fclose(in);
    check((status == 0) == error.empty());
    if (status != 0)
        return;
    const std::size_t events = lp.events.size(), functions = lp.p.functions.size();
    check(lp.self.size() == functions && lp.inclusive.size() == functions && lp.totals.size() == events);
    std::vector<std::vector<double>> own(functions, std::vector<double>(events));
    for (const source_line &l : lp.lines) {
        check(l.function < functions && l.own.size() == events && l.calls.size() == events);
        for (std::size_t e = 0; e < events; e++) {
            check(l.own[e] >= 0 && l.calls[e] >= 0 && l.calls[e] <= lp.inclusive[l.function][e]);
            own[l.function][e] += l.own[e];
        }
    }
    for (std::size_t f = 0; f < functions; f++)
        for (std::size_t e = 0; e < events; e++)
            check(std::abs(own[f][e] - lp.self[f][e]) <= 1e-9 * lp.self[f][e] &&
                  lp.self[f][e] <= lp.inclusive[f][e] * (1 + 1e-9) && lp.inclusive[f][e] <= lp.totals[e] * (1 + 1e-9));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    flame_stacks(text);
    source_lines_of(text);
    std::FILE *in = fmemopen(text.data(), text.size(), "r");
    if (in == nullptr)
        return 0;
    profile p;
    std::string error;
    int status = read_profile(in, "", &p, &error);
    std::fclose(in);
    check((status == 0) == error.empty());
    if (status != 0)
        return 0;
    for (const profile_function &f : p.functions)
        check(f.self >= 0 && f.self <= f.inclusive && f.inclusive <= p.total * 1.006);
    for (const profile_arc &a : p.arcs)
        check(a.cost >= 0 && a.caller < p.functions.size() && a.callee < p.functions.size());
    drawing d = draw(nullptr, p, false);
    check(!dot_of(d, choose(d, 0.5, 0.1), 0.5).empty());
    profile hidden = p;
    hide_functions(&hidden, RE2("^[a-f]"));
    if (p.total > 0) {
        d = draw(&p, hidden, false);
        check(!dot_of(d, choose(d, 0.5, 0.1), 0.5).empty());
    }
    return 0;
}
