// gprof_dot's reading and drawing on any bytes, gprof's text or callgrind's
// as the first line says, as the tool reads them. Whatever is read has no
// function on its own above its cost with callees, none of them negative,
// and draws, with a function hidden and a comparison with itself too,
// without a fault.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
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
