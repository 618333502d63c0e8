#include "bench_results.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace {

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

using json = nlohmann::json;

// Results that aren't Google Benchmark's, or hold nothing to draw.
struct bad_results {
    std::string what;
};

const long largest_n = 1000000000000000; // 10^15: exact as a double, and far past any run

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
    static const std::map<std::string, double> units = {{"ns", 1}, {"us", 1e3}, {"ms", 1e6}, {"s", 1e9}};
    auto it = units.find(unit);
    if (it == units.end())
        throw bad_results{pointer + "/time_unit: unknown unit \"" + unit + "\""};
    return it->second;
}

// Adds what one row of the results holds to *out; a median, once there,
// stays (medians holds the NAME/n it was taken for), whatever single runs
// come after it.
void take_row(const json &row, const std::string &pointer, bench_points *out, std::set<std::string> *medians)
{
    if (row.contains("error_occurred") && !row["error_occurred"].is_boolean())
        throw bad_results{pointer + "/error_occurred: not a boolean"};
    if (row.value("error_occurred", false))
        return;
    std::string name = field(row, pointer, row.contains("run_name") ? "run_name" : "name").get<std::string>();
    bool median = row.contains("aggregate_name");
    if (median && field(row, pointer, "aggregate_name").get<std::string>() != "median")
        return;
    double time = field(row, pointer, "real_time", true).get<double>();
    std::string unit = field(row, pointer, "time_unit").get<std::string>();
    double scale = nanoseconds_per(unit, pointer);
    if (!std::isfinite(time) || time <= 0)
        throw bad_results{pointer + "/real_time: not a positive time"};
    std::size_t slash = name.find('/');
    std::string size = slash == std::string::npos ? "" : name.substr(slash + 1);
    if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos)
        return; // not NAME/n
    errno = 0;
    long n = std::strtol(size.c_str(), nullptr, 10);
    if (errno != 0 || n <= 0 || n > largest_n)
        throw bad_results{pointer + "/name: the size n is out of range (1 to 10^15): " + size};
    // What gnuplot draws must be a plain positive number, neither
    // overflowed nor so small that it underflows to nothing.
    double per = time * scale / static_cast<double>(n);
    if (!std::isnormal(per)) {
        char given[64];
        std::snprintf(given, sizeof given, "%g %s for n = %ld", time, unit.c_str(), n);
        throw bad_results{pointer + "/real_time: out of range once taken per operation: " + given};
    }
    if (median)
        medians->insert(name);
    else if (medians->count(name) != 0)
        return;
    (*out)[name.substr(0, slash)][n] = per;
}

bench_points read(const std::string &text)
{
    // Each row is taken as soon as it is parsed and then dropped, and nothing
    // is kept that no row's reading needs: the parse holds one row at a time,
    // whatever the size of the file (a whole tree of JSON takes some 30
    // times the text, and a failed allocation while the library frees a
    // tree ends the process).
    bench_points out;
    std::set<std::string> medians;
    bool in_rows = false;  // within the "benchmarks" array
    std::size_t rows = 0;  // rows begun
    auto keep = [&](int depth, json::parse_event_t event, json &parsed) {
        using event_t = json::parse_event_t;
        if (depth >= deepest_results && (event == event_t::object_start || event == event_t::array_start))
            throw bad_results{"nested deeper than " + std::to_string(deepest_results) + " levels"};
        if (depth == 0)
            return true;
        if (depth == 1) {
            if (event == event_t::key)
                in_rows = parsed == "benchmarks";
            else if (event == event_t::object_start)
                in_rows = false; // "benchmarks" is then no array, which is said below
            return in_rows;
        }
        if (!in_rows)
            return false;
        if (depth == 2) {
            std::string pointer = "/benchmarks/" + std::to_string(event == event_t::object_end ? rows - 1 : rows);
            if (event == event_t::object_start)
                rows++;
            else if (event == event_t::object_end)
                take_row(parsed, pointer, &out, &medians);
            else
                throw bad_results{pointer + ": not an object"};
            return event == event_t::object_start;
        }
        return depth == 3; // inside a field: a field of the wrong type stays one, though empty
    };
    json doc;
    try {
        doc = json::parse(text, keep);
    } catch (const json::parse_error &e) {
        std::string what = e.what();
        std::size_t at = what.find("parse error");
        throw bad_results{"not JSON: " + what.substr(at == std::string::npos ? 0 : at)};
    }
    if (!doc.is_object() || !doc.contains("benchmarks") || !doc["benchmarks"].is_array())
        throw bad_results{"/benchmarks: missing, or not an array"};
    if (out.empty())
        throw bad_results{"holds no Google Benchmark results with a size n (NAME/n)"};
    std::string drawn;
    for (const pairing &p : pairings)
        for (const char *name : {p.ours, p.standard}) {
            if (out.count(name) != 0)
                return out;
            drawn += std::string(drawn.empty() ? "" : ", ") + name;
        }
    throw bad_results{"holds none of the benchmarks this chart draws (" + drawn + ")"};
}

} // namespace

bool read_bench_results(const std::string &text, bench_points *points, std::string *error)
{
    try {
        *points = read(text);
        return true;
    } catch (const bad_results &bad) {
        *error = bad.what.size() > 300 ? bad.what.substr(0, 300) + "..." : bad.what;
    } catch (const nlohmann::json::exception &e) {
        *error = e.what();
    }
    return false;
}

namespace {

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

} // namespace

std::string bench_chart_script(const bench_points &r)
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
                script += data_block(name, r.at(name));
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

