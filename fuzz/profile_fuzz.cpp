// gprof_dot's reading and drawing on any bytes, gprof's text or callgrind's
// as the first line says, as the tool reads them. Whatever is read has no
// function on its own above its cost with callees, none of them negative,
// and draws, with a function hidden and a comparison with itself too,
// without a fault. Read as stacks, as flame_graph reads them, every frame
// costs at least its children together, and the graph and its folded
// stacks are written, reversed and compared with themselves too.
#include "flame.h"
#include "profile_drawing.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    flame_stacks(text);
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
