#include "shape_report.h"

#include <cmath>
#include <cstdio>

namespace {

double average_depth(const tree_figures &f)
{
    return f.nodes > 0 ? static_cast<double>(f.depth_sum) / static_cast<double>(f.nodes) : 0;
}

// printf into a string, for the report's lines.
template <typename... Args>
std::string formatted(const char *format, Args... args)
{
    char line[256];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

} // namespace

std::vector<depth_band> depth_bands(const tree_figures &f)
{
    long long width = (f.height + shape_bands - 1) / shape_bands;
    if (width < 1)
        width = 1;
    std::vector<depth_band> bands;
    for (long long d = 1; d <= f.height; d += width) {
        depth_band b{d, d + width - 1 < f.height ? d + width - 1 : f.height, 0};
        for (long long e = b.from; e <= b.to; e++)
            b.nodes += f.at_depth[static_cast<std::size_t>(e)];
        bands.push_back(b);
    }
    return bands;
}

std::string shape_report(const tree_figures &f, const std::vector<depth_band> &bands)
{
    double random_depth = random_average_depth(f.nodes);
    std::string report = formatted("nodes: %lld\n", f.nodes);
    report += formatted("height: %lld (random order: about %lld)\n", f.height, random_order_height(f.nodes));
    report += formatted("average depth: %.2f (random order: %.2f)\n", average_depth(f), random_depth);
    report += formatted("descent steps: %lld (random order: about %lld)\n", f.depth_sum - f.nodes,
                        std::llround((random_depth - 1) * static_cast<double>(f.nodes)));
    report += "depth histogram:\n";
    long long most = 1;
    for (const depth_band &b : bands)
        most = b.nodes > most ? b.nodes : most;
    for (const depth_band &b : bands) {
        std::string depths = std::to_string(b.from);
        if (b.to != b.from)
            depths += "-" + std::to_string(b.to);
        report += formatted("  %15s: %8lld ", depths.c_str(), b.nodes) +
                  std::string(static_cast<std::size_t>(50 * b.nodes / most), '#') + "\n";
    }
    return report;
}

std::string shape_title_figures(const tree_figures &f)
{
    return formatted(": %lld nodes, height %lld, average depth %.2f", f.nodes, f.height, average_depth(f));
}
