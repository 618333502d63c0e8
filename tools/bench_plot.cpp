// Draws bench_containers' results as one chart: for each operation, the
// time per operation against n, ours beside the standard library's, on log
// scales; by gnuplot.
//
//   bench_plot RESULTS.json OUT.svg
//
// RESULTS.json is Google Benchmark's JSON output (--benchmark_out=...
// --benchmark_out_format=json); with repetitions, the medians are drawn.
#include "gnuplot.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char program[] = "bench_plot";

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

double to_nanoseconds(double time, const std::string &unit)
{
    return unit == "s" ? time * 1e9 : unit == "ms" ? time * 1e6 : unit == "us" ? time * 1e3 : time;
}

// Google Benchmark writes each run as a flat object of "key": value pairs.
bool read_results(const std::string &json, results *out)
{
    std::size_t list = json.find("\"benchmarks\"");
    if (list == std::string::npos)
        return false;
    const std::regex field("\"([a-z_]+)\": (\"([^\"]*)\"|[-+0-9.eE]+)");
    for (std::size_t open = json.find('{', list); open != std::string::npos;
         open = json.find('{', open + 1)) {
        std::size_t close = json.find('}', open);
        if (close == std::string::npos)
            break;
        std::string object = json.substr(open, close - open);
        std::map<std::string, std::string> f;
        for (std::sregex_iterator m(object.begin(), object.end(), field), end; m != end; ++m)
            f[(*m)[1]] = (*m)[3].matched ? (*m)[3].str() : (*m)[2].str();
        if (f.count("aggregate_name") != 0 && f["aggregate_name"] != "median")
            continue;
        std::string name = f.count("run_name") != 0 ? f["run_name"] : f["name"];
        std::size_t slash = name.find('/');
        if (slash == std::string::npos || f.count("real_time") == 0)
            continue;
        long n = std::strtol(name.c_str() + slash + 1, nullptr, 10);
        if (n <= 0)
            continue;
        double ns = to_nanoseconds(std::strtod(f["real_time"].c_str(), nullptr), f["time_unit"]);
        (*out)[name.substr(0, slash)][n] = ns / static_cast<double>(n);
    }
    return !out->empty();
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

int draw(char **argv)
{
    std::ifstream in(argv[1]);
    std::stringstream text;
    text << in.rdbuf();
    results r;
    if (!in || !read_results(text.str(), &r)) {
        std::fprintf(stderr, "%s: %s: holds no Google Benchmark results\n", program, argv[1]);
        return 2;
    }

    std::string script =
        "set terminal svg size 1200,760 dynamic noenhanced font 'Helvetica,12' background rgb 'white'\n"
        "set output " + gnuplot_quoted(argv[2]) + "\n"
        "set logscale xy\n"
        "set xtics ('10^3' 1e3, '10^4' 1e4, '10^5' 1e5, '10^6' 1e6)\n"
        "set xrange [500:2000000]\n"
        "set grid xtics ytics mytics\n"
        "set key top left box opaque samplen 3\n"
        "set xlabel 'n'\n"
        "set ylabel 'ns per operation'\n";
    for (const pairing &p : pairings)
        for (const char *name : {p.ours, p.standard})
            if (r.count(name) != 0)
                script += data_block(name, r[name]);
    script += "set multiplot layout 2,3 title 'Each operation, ours against the standard library "
              "(bench_containers, median of the runs)'\n";
    for (const pairing &p : pairings) {
        script += "set title " + gnuplot_quoted(p.title) + "\n";
        std::string plot;
        if (r.count(p.ours) != 0)
            plot += std::string("$") + p.ours + " using 1:2 with linespoints lw 2 pt 7 lc rgb '#1f77b4' title " +
                    gnuplot_quoted(p.our_label);
        if (r.count(p.standard) != 0)
            plot += std::string(plot.empty() ? "" : ", ") + "$" + p.standard +
                    " using 1:2 with linespoints lw 2 pt 5 dt 2 lc rgb '#ff7f0e' title " +
                    gnuplot_quoted(p.standard_label);
        script += plot.empty() ? "set multiplot next\n" : "plot " + plot + "\n";
    }
    script += "unset multiplot\n";
    return run_gnuplot(program, script) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_plot RESULTS.json OUT.svg\n");
        return 2;
    }
    try {
        return draw(argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 1;
    }
}
