// Draws bench_containers' results as one chart: for each operation, the
// time per operation against n, ours beside the standard library's, on log
// scales; by gnuplot.
//
//   bench_plot RESULTS.json OUT.svg
//
// RESULTS.json is Google Benchmark's JSON output (--benchmark_out=...
// --benchmark_out_format=json), read with nlohmann-json; with repetitions,
// the medians are drawn. OUT.svg is written whole or not at all.
//
// Exit status: 0 when OUT.svg was written; 1 when RESULTS.json can't be read
// or OUT.svg written, or gnuplot fails; 2 for a usage error, an OUT.svg that
// is RESULTS.json, or results that aren't Google Benchmark's or hold nothing
// to draw (bench_results.h); 3 when memory runs out.
#include "bench_results.h"
#include "command_line.h"
#include "gnuplot.h"
#include "message.h"
#include "printable.h"
#include "read_file.h"
#include "replace_file.h"

#include <new>
#include <string>

namespace {

const char usage[] = "usage: bench_plot RESULTS.json OUT.svg\n";
const std::size_t results_limit = std::size_t{256} << 20;

} // namespace

int main(int argc, char **argv)
{
    message_init("bench_plot");
    const option options[] = {{"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
    int status = -1;
    while (next_option(argc, argv, options, usage, &status) != -1) {
    }
    if (status >= 0)
        return status;
    if (argc - optind < 2)
        return usage_error(usage, "RESULTS.json and OUT.svg are needed");
    if (argc - optind > 2)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 2]);
    const std::string input = argv[optind];
    const std::string output = argv[optind + 1];
    const std::string shown = printable(input);
    if ((status = refuse_output_as_input(output, input)) != 0)
        return status;
    std::string script, chart, error;
    try {
        std::string text;
        bench_points points;
        if (!read_file(input, results_limit, &text, &error))
            return fail(1, "%s: %s", shown.c_str(), error.c_str());
        if (!read_bench_results(text, &points, &error))
            return fail(2, "%s: %s", shown.c_str(), printable(error).c_str());
        script = bench_chart_script(points);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", shown.c_str());
    }
    if (!run_gnuplot(script, {}, &chart, &error))
        return fail(1, "%s", error.c_str());
    return replace_with(output, chart, &error) ? 0 : cannot_write(output, error);
}
