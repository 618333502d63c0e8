// Google Benchmark's JSON results of bench_containers as bench_plot charts
// them: read_bench_results turns the text into the time per operation of
// each benchmark and size n, and bench_chart_script is the gnuplot script
// that draws them, one panel per operation, ours beside the standard
// library's, on log scales.
#ifndef BENCH_RESULTS_H
#define BENCH_RESULTS_H

#include <map>
#include <string>

// Nanoseconds per operation, by benchmark ("BM_BST_insert") and n: a row
// named NAME/n does n operations. With repetitions, the median's row is
// kept and the mean, standard deviation and single runs are left out, as
// are rows that report an error.
using bench_points = std::map<std::string, std::map<long, double>>;

// Nesting deeper than any benchmark output writes is refused as it is met.
constexpr int deepest_results = 64; // Google Benchmark's output nests 3 levels

// Reads the results into *points. Every time kept is finite and positive in
// nanoseconds per operation, and the results hold at least one of the
// benchmarks that the chart draws. Results that aren't Google Benchmark's,
// or hold nothing to draw, give false with *error: the JSON pointer where it
// helps, and what is wrong.
bool read_bench_results(const std::string &text, bench_points *points, std::string *error);

// The gnuplot script that draws points as an SVG on its standard output.
std::string bench_chart_script(const bench_points &points);

#endif
