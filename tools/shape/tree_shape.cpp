// Reports the shape of the tree that inserting a file's integers, in the
// file's order, into the unbalanced tree builds, without building it:
//
//   tree_shape [--svg] FILE [COUNT]
//
// Reads the first COUNT integers of FILE ("-" for stdin; default 1000000,
// at least 1) as the program does, with its error lines and exit statuses,
// and prints nodes, height, average depth, descent steps (the node visits
// that the insertions make), what random order would give for as many
// keys, and a histogram of the depths, as lines "name: value". With --svg
// it prints the histogram drawn by gnuplot as an SVG instead.
#include "depth_chart.h"
#include "exit_status.h"
#include "filter.h"
#include "insertion_shape.h"
#include "int_reader.h"
#include "message.h"
#include "shape_report.h"

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

const char usage[] = "usage: tree_shape [--svg] FILE [COUNT]\n";

// Returns the exit status: 0, or the reader's for a bad or short file.
int read_keys(const std::string &path, int count, std::vector<int> *keys)
{
    const std::string shown = input_name(path);
    int fd = path == "-" ? 0 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(STATUS_READ_FAILED, "%s: cannot open: %s", shown.c_str(), std::strerror(errno));
    auto reader = std::make_unique<int_reader>(); // 64 KiB: not for the stack
    int_reader_init(reader.get(), fd);
    // The keys grow as they are read, so that a short file with a large
    // COUNT is answered at once.
    int status = 0;
    for (int i = 0; i < count && status == 0; i++) {
        int key = 0;
        read_result result = int_reader_next(reader.get(), &key);
        char what[INT_READER_MESSAGE];
        if (result == READ_INT)
            keys->push_back(key);
        else
            status = fail(int_reader_failure(reader.get(), result, i + 1, count, what), "%s: %s", shown.c_str(), what);
    }
    if (fd != 0)
        close(fd);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    filter_init("tree_shape");
    const option options[] = {{"svg", no_argument, nullptr, 's'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    bool svg = false;
    int status = -1;
    while (next_option(argc, argv, options, usage, &status) != -1)
        svg = true;
    if (status >= 0)
        return status;
    int operands = argc - optind;
    if (operands == 0)
        return usage_error(usage, "no FILE given");
    if (operands > 2)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 2]);
    const std::string path = argv[optind];
    unsigned long long count = 1000000;
    if (operands == 2 && (!whole_number(argv[optind + 1], INT_MAX, &count) || count < 1))
        return usage_error(usage, std::string("COUNT must be a whole number from 1 to 2147483647: ") + argv[optind + 1]);
    try {
        std::vector<int> keys;
        if ((status = read_keys(path, static_cast<int>(count), &keys)) != 0)
            return status;
        tree_figures f = insertion_shape(keys);
        std::vector<depth_band> bands = depth_bands(f);
        if (!svg) {
            std::fputs(shape_report(f, bands).c_str(), stdout);
            return 0;
        }
        std::string chart, error;
        if (!draw_depth_chart(input_name(path) + shape_title_figures(f), bands, &chart, &error))
            return fail(1, "%s", error.c_str());
        std::fwrite(chart.data(), 1, chart.size(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", input_name(path).c_str());
    }
    return 0;
}
