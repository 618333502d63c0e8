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
#include "whole_file.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <new>
#include <string>

namespace {

const char program[] = "bench_plot";
const char usage[] = "usage: bench_plot RESULTS.json OUT.svg\n";
const std::size_t results_limit = std::size_t{256} << 20;

} // namespace

int main(int argc, char **argv)
{
    command_line line;
    int status = read_command_line(argc, argv, program, usage, {}, &line);
    if (status >= 0)
        return status;
    if (line.operands.size() < 2)
        return usage_error(program, usage, "RESULTS.json and OUT.svg are needed");
    if (line.operands.size() > 2)
        return too_many_operands(program, usage, line, 2);
    const std::string &input = line.operands[0];
    const std::string &output = line.operands[1];
    if (output_is_input(program, output, input))
        return 2;
    std::string script;
    try {
        std::string text, error;
        if (!read_whole_file(input, results_limit, &text, &error)) {
            std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), error.c_str());
            return 1;
        }
        script = bench_chart_script(read_bench_results(text));
    } catch (const nlohmann::json::exception &e) {
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), printable(e.what()).c_str());
        return 2;
    } catch (const bad_results &bad) {
        std::string what = bad.what.size() > 300 ? bad.what.substr(0, 300) + "..." : bad.what;
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), printable(what).c_str());
        return 2;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", program, printable(input).c_str());
        return 3;
    }
    std::string chart;
    if (!run_gnuplot(program, script, {}, &chart))
        return 1;
    return write_whole_file(program, output, chart) ? 0 : 1;
}
