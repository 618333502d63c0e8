// Reports the shape of the tree that inserting a file's integers, in the
// file's order, into the unbalanced tree builds, without building it:
//
//   tree_shape [--svg OUT] FILE [COUNT]
//
// Reads the first COUNT integers of FILE (default 1000000, at least 1) as
// the program does, with its error lines and exit statuses, and prints
//   nodes, height, average depth, descent steps (the node visits that the
//   insertions make), what random order would give for as many keys,
//   and a histogram of the depths,
// as lines "name: value". With --svg the histogram is also drawn, by
// gnuplot, to OUT, written whole or not at all.
#include "command_line.h"
#include "gnuplot.h"
#include "insertion_shape.h"
#include "int_reader.h"
#include "whole_file.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char program[] = "tree_shape";
const int histogram_rows = 40; // deeper trees are shown in bands of depths

const char usage[] = "usage: tree_shape [--svg OUT] FILE [COUNT]\n";

// Returns the exit status: 0, or the reader's for a bad or short file.
int read_keys(const char *path, int count, std::vector<int> *keys)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s: cannot open: %s\n", program, printable(path).c_str(),
                     std::strerror(errno));
        return 1;
    }
    auto reader = std::make_unique<int_reader>(); // 64 KiB: not for the stack
    int_reader_init(reader.get(), fd);
    // The keys grow as they are read, so that a short file with a large
    // COUNT is answered at once.
    int status = 0;
    for (int i = 0; i < count && status == 0; i++) {
        int key = 0;
        read_result result = int_reader_next(reader.get(), &key);
        if (result == READ_INT) {
            keys->push_back(key);
            continue;
        }
        int_reader_report(reader.get(), result, program, printable(path).c_str(), i + 1, count);
        status = result == READ_IO_ERROR ? 1 : 2;
    }
    close(fd);
    return status;
}

struct band {
    long long from, to; // depths
    long long nodes;
};

std::vector<band> bands_of(const tree_figures &f)
{
    long long width = (f.height + histogram_rows - 1) / histogram_rows;
    if (width < 1)
        width = 1;
    std::vector<band> bands;
    for (long long d = 1; d <= f.height; d += width) {
        band b{d, d + width - 1 < f.height ? d + width - 1 : f.height, 0};
        for (long long e = b.from; e <= b.to; e++)
            b.nodes += f.at_depth[static_cast<std::size_t>(e)];
        bands.push_back(b);
    }
    return bands;
}

double average_depth(const tree_figures &f)
{
    return f.nodes > 0 ? static_cast<double>(f.depth_sum) / static_cast<double>(f.nodes) : 0;
}

void print_report(const tree_figures &f, const std::vector<band> &bands)
{
    double average = average_depth(f);
    std::printf("nodes: %lld\n", f.nodes);
    std::printf("height: %lld (random order: about %lld)\n", f.height, random_order_height(f.nodes));
    std::printf("average depth: %.2f (random order: %.2f)\n", average, random_average_depth(f.nodes));
    std::printf("descent steps: %lld (random order: about %lld)\n", f.depth_sum - f.nodes,
                std::llround((random_average_depth(f.nodes) - 1) * static_cast<double>(f.nodes)));
    std::printf("depth histogram:\n");
    long long most = 1;
    for (const band &b : bands)
        most = b.nodes > most ? b.nodes : most;
    for (const band &b : bands) {
        std::string depths = std::to_string(b.from);
        if (b.to != b.from)
            depths += "-" + std::to_string(b.to);
        std::printf("  %15s: %8lld %s\n", depths.c_str(), b.nodes,
                    std::string(static_cast<std::size_t>(50 * b.nodes / most), '#').c_str());
    }
}

bool draw_histogram(const char *path, const tree_figures &f, const std::vector<band> &bands,
                    const char *out)
{
    char figures[200];
    std::snprintf(figures, sizeof figures, ": %lld nodes, height %lld, average depth %.2f", f.nodes,
                  f.height, average_depth(f));
    long long width = bands.empty() ? 1 : bands[0].to - bands[0].from + 1;
    // The title, with the file's name, is ARG1: data, never a command.
    std::string script =
        "set terminal svg size 800,450 dynamic noenhanced font 'Helvetica,12' background rgb 'white'\n"
        "set title ARG1\n"
        "set xlabel '" + (width == 1 ? std::string("depth (the root is 1)")
                                     : "depth, in bands of " + std::to_string(width)) + "'\n"
        "set ylabel 'nodes (log scale)'\n"
        "set logscale y\n"
        "set style fill solid 0.8 border rgb '#1f4e79'\n"
        "set boxwidth 0.9 relative\n"
        "set grid ytics\n"
        "set key off\n"
        "set yrange [0.8:*]\n"
        "set xrange [0:" + std::to_string(f.height + width) + "]\n"
        "$depths << EOD\n";
    for (const band &b : bands)
        script += std::to_string(static_cast<double>(b.from + b.to) / 2) + " " + std::to_string(b.nodes) + "\n";
    script += "EOD\n"
              "plot $depths using 1:2 with boxes lc rgb '#4f81bd'\n";
    std::string chart;
    return run_gnuplot(program, script, {chart_text(path) + figures}, &chart) &&
           write_whole_file(program, out, chart);
}

} // namespace

int main(int argc, char **argv)
{
    command_line line;
    int status = read_command_line(argc, argv, program, usage, {{"svg", true}}, &line);
    if (status >= 0)
        return status;
    if (line.operands.empty())
        return usage_error(program, usage, "no FILE given");
    if (line.operands.size() > 2)
        return too_many_operands(program, usage, line, 2);
    const char *path = line.operands[0].c_str();
    const char *svg = line.options.count("svg") != 0 ? line.options["svg"].c_str() : nullptr;
    unsigned long long count = 1000000;
    if (line.operands.size() == 2 && (!parse_whole_number(line.operands[1], INT_MAX, &count) || count < 1))
        return usage_error(program, usage, "COUNT must be a whole number from 1 to 2147483647: " + line.operands[1]);
    if (svg != nullptr && output_is_input(program, svg, path))
        return 2;

    try {
        std::vector<int> keys;
        status = read_keys(path, static_cast<int>(count), &keys);
        if (status != 0)
            return status;
        tree_figures f = insertion_shape(keys);
        std::vector<band> bands = bands_of(f);
        // The chart first: when it can't be drawn, nothing is printed.
        if (svg != nullptr && !draw_histogram(path, f, bands, svg))
            return 1;
        print_report(f, bands);
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "%s: cannot write the report: %s\n", program, std::strerror(errno));
            return 4;
        }
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", program, printable(path).c_str());
        return 3;
    }
    return 0;
}
