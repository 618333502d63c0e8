// Reports the shape of the tree that inserting a file's integers, in the
// file's order, into the unbalanced tree builds, without building it:
//
//   tree_shape FILE [COUNT] [--svg OUT]
//
// Reads the first COUNT integers of FILE (default 1000000) as the program
// does, with its error lines and exit statuses, and prints
//   nodes, height, average depth, descent steps (the node visits that the
//   insertions make), what random order would give for as many keys,
//   and a histogram of the depths,
// as lines "name: value". With --svg the histogram is also drawn, by
// gnuplot, to OUT.
#include "gnuplot.h"
#include "insertion_shape.h"
#include "int_reader.h"

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

int usage()
{
    std::fprintf(stderr, "usage: tree_shape FILE [COUNT] [--svg OUT]\n");
    return 2;
}

// Returns the exit status: 0, or the reader's for a bad or short file.
int read_keys(const char *path, int count, std::vector<int> *keys)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s: cannot open: %s\n", program, path, std::strerror(errno));
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
        int_reader_report(reader.get(), result, program, path, i + 1, count);
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
    double average = average_depth(f);
    char title[200];
    std::snprintf(title, sizeof title, "%s: %lld nodes, height %lld, average depth %.2f", path,
                  f.nodes, f.height, average);
    long long width = bands.empty() ? 1 : bands[0].to - bands[0].from + 1;
    std::string script =
        "set terminal svg size 800,450 dynamic noenhanced font 'Helvetica,12' background rgb 'white'\n"
        "set output " + gnuplot_quoted(out) + "\n"
        "set title " + gnuplot_quoted(title) + "\n"
        "set xlabel " + gnuplot_quoted(width == 1 ? "depth (the root is 1)"
                                                  : "depth, in bands of " + std::to_string(width)) + "\n"
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
    return run_gnuplot(program, script);
}

} // namespace

int main(int argc, char **argv)
{
    const char *path = nullptr;
    const char *svg = nullptr;
    long long count = 1000000;
    bool have_count = false;
    for (int i = 1; i < argc; i++) {
        bool option = argv[i][0] == '-' && argv[i][1] != '\0';
        if (option && std::strcmp(argv[i], "--svg") == 0 && i + 1 < argc) {
            svg = argv[++i];
            continue;
        }
        if (option || have_count)
            return usage();
        if (path == nullptr) {
            path = argv[i];
            continue;
        }
        char *end = nullptr;
        errno = 0;
        count = std::strtoll(argv[i], &end, 10);
        if (errno != 0 || *end != '\0' || end == argv[i] || count < 0 || count > INT_MAX)
            return usage();
        have_count = true;
    }
    if (path == nullptr)
        return usage();

    try {
        std::vector<int> keys;
        int status = read_keys(path, static_cast<int>(count), &keys);
        if (status != 0)
            return status;
        tree_figures f = insertion_shape(keys);
        std::vector<band> bands = bands_of(f);
        print_report(f, bands);
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "%s: cannot write the report: %s\n", program, std::strerror(errno));
            return 4;
        }
        if (svg != nullptr && !draw_histogram(path, f, bands, svg))
            return 1;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", program, path);
        return 3;
    }
    return 0;
}
