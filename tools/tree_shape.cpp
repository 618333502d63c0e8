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
#include "shape_report.h"
#include "whole_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char program[] = "tree_shape";

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

// Draws the histogram with gnuplot and writes it to out, whole.
bool draw_histogram(const char *path, const tree_figures &f, const std::vector<depth_band> &bands,
                    const char *out)
{
    std::string chart;
    return run_gnuplot(program, shape_chart_script(f, bands), {chart_text(path) + shape_title_figures(f)}, &chart) &&
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
        std::vector<depth_band> bands = depth_bands(f);
        // The chart first: when it can't be drawn, nothing is printed.
        if (svg != nullptr && !draw_histogram(path, f, bands, svg))
            return 1;
        std::string report = shape_report(f, bands);
        if (std::fputs(report.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "%s: cannot write the report: %s\n", program, std::strerror(errno));
            return 4;
        }
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", program, printable(path).c_str());
        return 3;
    }
    return 0;
}
