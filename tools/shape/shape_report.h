// The report and the chart of a tree's shape (insertion_shape.h), as
// tree_shape prints and draws them: the figures beside what random order
// gives for as many keys, and the depths of the nodes, in at most
// shape_bands bands of equal width.
#ifndef SHAPE_REPORT_H
#define SHAPE_REPORT_H

#include "insertion_shape.h"

#include <string>
#include <vector>

constexpr int shape_bands = 40; // deeper trees are shown in bands of depths

struct depth_band {
    long long from, to; // depths, the root's being 1
    long long nodes;    // nodes at those depths
};

std::vector<depth_band> depth_bands(const tree_figures &f);

// The report: lines "name: value" for nodes, height, average depth and
// descent steps (the node visits that the insertions make), then the
// histogram of the bands, a row each.
std::string shape_report(const tree_figures &f, const std::vector<depth_band> &bands);

// What follows the file's name in the chart's title.
std::string shape_title_figures(const tree_figures &f);

#endif
