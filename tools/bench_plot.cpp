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
// or OUT.svg written, or gnuplot fails; 2 for a usage error or results that
// aren't Google Benchmark's.
#include "command_line.h"
#include "gnuplot.h"
#include "whole_file.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const char program[] = "bench_plot";
const char usage[] = "usage: bench_plot RESULTS.json OUT.svg\n";
const std::size_t results_limit = std::size_t{256} << 20;
const int deepest = 64; // Google Benchmark's output nests 3 levels

struct pairing {
    const char *title;
    const char *ours, *our_label;
    const char *standard, *standard_label;
};

const pairing pairings[] = {
    {"insert n random keys", "BM_BST_insert", "BST_insert", "BM_multiset_insert", "std::multiset::insert"},
    {"search for each of n keys", "BM_search_bst", "search_bst", "BM_multiset_find", "std::multiset::find"},
    {"delete n keys in random order", "BM_BST_delete", "BST_delete", "BM_multiset_erase",
     "std::multiset::erase of one"},
    {"n insertions at the head", "BM_add_node_at_head", "add_node_at 0", "BM_forward_list_push_front",
     "std::forward_list::push_front"},
    {"one search through n nodes", "BM_find_data", "find_data", "BM_forward_list_find_if",
     "std::find_if on std::forward_list"},
    {"read a file of n ints", "BM_int_reader", "int_reader_next", "BM_fscanf", "fscanf(\"%d\")"},
};

// Nanoseconds per operation by benchmark and n: a row does n operations.
using results = std::map<std::string, std::map<long, double>>;

// Results that aren't Google Benchmark's: where, and what is wrong.
struct bad_results {
    std::string what;
};

using json = nlohmann::json;

// A row's field, which must be there and be a string (or a number).
const json &field(const json &row, const std::string &pointer, const char *name, bool number = false)
{
    auto it = row.find(name);
    if (it == row.end())
        throw bad_results{pointer + "/" + name + ": missing"};
    if (number ? !it->is_number() : !it->is_string())
        throw bad_results{pointer + "/" + name + ": not a " + (number ? "number" : "string")};
    return *it;
}

double nanoseconds_per(const std::string &unit, const std::string &pointer)
{
    if (unit == "ns")
        return 1;
    if (unit == "us")
        return 1e3;
    if (unit == "ms")
        return 1e6;
    if (unit == "s")
        return 1e9;
    throw bad_results{pointer + "/time_unit: unknown unit \"" + unit + "\""};
}

// Nesting deeper than any benchmark output is refused before parsing, so
// that no input can make the parse, or the freeing of what it built, deep.
void check_depth(const std::string &text)
{
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (in_string) {
            if (c == '\\')
                i++;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            if (++depth > deepest)
                throw bad_results{"nested deeper than " + std::to_string(deepest) + " levels"};
        } else if (c == '}' || c == ']') {
            depth--;
        }
    }
}

results read_results(const std::string &text)
{
    check_depth(text);
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error &e) {
        std::string what = e.what();
        std::size_t at = what.find("parse error");
        throw bad_results{"not JSON: " + what.substr(at == std::string::npos ? 0 : at)};
    }
    if (!doc.is_object() || !doc.contains("benchmarks") || !doc["benchmarks"].is_array())
        throw bad_results{"/benchmarks: missing, or not an array"};
    results out;
    const json &rows = doc["benchmarks"];
    for (std::size_t i = 0; i < rows.size(); i++) {
        const json &row = rows[i];
        std::string pointer = "/benchmarks/" + std::to_string(i);
        if (!row.is_object())
            throw bad_results{pointer + ": not an object"};
        if (row.value("error_occurred", false))
            continue;
        std::string name = field(row, pointer, "name").get<std::string>();
        if (row.contains("run_name"))
            name = field(row, pointer, "run_name").get<std::string>();
        if (row.contains("aggregate_name") &&
            field(row, pointer, "aggregate_name").get<std::string>() != "median")
            continue;
        double time = field(row, pointer, "real_time", true).get<double>();
        std::string unit = field(row, pointer, "time_unit").get<std::string>();
        double scale = nanoseconds_per(unit, pointer);
        if (!std::isfinite(time) || time <= 0)
            throw bad_results{pointer + "/real_time: not a positive time"};
        std::size_t slash = name.find('/');
        if (slash == std::string::npos)
            continue;
        char *end = nullptr;
        long n = std::strtol(name.c_str() + slash + 1, &end, 10);
        if (n <= 0 || *end != '\0')
            continue;
        out[name.substr(0, slash)][n] = time * scale / static_cast<double>(n);
    }
    if (out.empty())
        throw bad_results{"holds no Google Benchmark results with a size n (NAME/n)"};
    return out;
}

std::string data_block(const std::string &name, const std::map<long, double> &points)
{
    std::string block = "$" + name + " << EOD\n";
    for (const auto &[n, ns] : points) {
        char line[64];
        std::snprintf(line, sizeof line, "%ld %.6g\n", n, ns);
        block += line;
    }
    return block + "EOD\n";
}

std::string script_for(results &r)
{
    std::string script =
        "set terminal svg size 1200,900 dynamic noenhanced font 'Helvetica,12' background rgb 'white'\n"
        "set logscale xy\n"
        "set xtics ('n = 10^3' 1e3, '10^4' 1e4, '10^5' 1e5, '10^6' 1e6)\n"
        "set xrange [500:2000000]\n"
        "set grid xtics ytics mytics\n"
        "set key below box samplen 3\n"
        "set ylabel 'ns per operation'\n";
    // Only the benchmarks named in pairings reach the script.
    for (const pairing &p : pairings)
        for (const char *name : {p.ours, p.standard})
            if (r.count(name) != 0)
                script += data_block(name, r[name]);
    script += "set multiplot layout 2,3 title 'Each operation, ours against the standard library "
              "(bench_containers, median of the runs)'\n";
    for (const pairing &p : pairings) {
        script += std::string("set title '") + p.title + "'\n";
        std::string plot;
        if (r.count(p.ours) != 0)
            plot += std::string("$") + p.ours + " using 1:2 with linespoints lw 2 pt 7 lc rgb '#1f77b4' title '" +
                    p.our_label + "'";
        if (r.count(p.standard) != 0)
            plot += std::string(plot.empty() ? "" : ", ") + "$" + p.standard +
                    " using 1:2 with linespoints lw 2 pt 5 dt 2 lc rgb '#ff7f0e' title '" +
                    p.standard_label + "'";
        script += plot.empty() ? "set multiplot next\n" : "plot " + plot + "\n";
    }
    return script + "unset multiplot\n";
}

} // namespace

int main(int argc, char **argv)
{
    command_line line;
    int status = read_command_line(argc, argv, program, usage, {}, &line);
    if (status >= 0)
        return status;
    if (line.operands.size() != 2)
        return usage_error(program, usage, line.operands.size() < 2 ? "RESULTS.json and OUT.svg are needed"
                                                                    : "too many operands");
    const std::string &input = line.operands[0];
    const std::string &output = line.operands[1];
    if (output_is_input(program, output, input))
        return 2;
    std::string text, error;
    if (!read_whole_file(input, results_limit, &text, &error)) {
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), error.c_str());
        return 1;
    }
    results r;
    try {
        r = read_results(text);
    } catch (const json::exception &e) {
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), printable(e.what()).c_str());
        return 2;
    } catch (const bad_results &bad) {
        std::string what = bad.what.size() > 300 ? bad.what.substr(0, 300) + "..." : bad.what;
        std::fprintf(stderr, "%s: %s: %s\n", program, printable(input).c_str(), printable(what).c_str());
        return 2;
    }
    std::string chart;
    if (!run_gnuplot(program, script_for(r), {}, &chart))
        return 1;
    return write_whole_file(program, output, chart) ? 0 : 1;
}
