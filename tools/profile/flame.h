// A flame graph of stacks: a frame per distinct stack prefix under a root,
// "all", each as wide as the cost of the stacks under it, children in name
// order so that graphs of similar runs look alike. Two runs are drawn from
// one tree that holds both runs' costs (merge_runs).
//
// build_flame lays the tree out, flame_svg draws it as one self-contained
// SVG with its script, and folded_text writes it back as folded stacks.
#ifndef FLAME_H
#define FLAME_H

#include "stacks.h"

#include <climits>
#include <string>
#include <vector>

struct flame_node {
    std::uint32_t frame = UINT32_MAX; // into the set's frames; UINT32_MAX for the root
    std::uint32_t parent = 0;        // the root's own index for the root
    std::uint32_t depth = 0;         // the root's 0
    double cost[2] = {0, 0};         // of the stacks through it, in each run (the base's, then this run's)
    double self[2] = {0, 0};         // of the stacks that end at it
    double start[2] = {0, 0};        // of the stacks left of it, from the root's left edge, in each run
    double samples = 0;              // this run's
    std::vector<std::uint32_t> children; // in name order
};

struct flame_options {
    bool reverse = false;            // stacks read from the leaf
    bool collapse = false;           // a frame calling itself is one frame
    bool inverted = false;           // the root on top
    bool normalize = false;          // changes of shares, not of the base's total
    double width = 1200;             // of the SVG, in px
    double min_width = 0.1;          // narrower frames are left out, in px
    std::string title = "Flame graph";
};

// The tree of s's stacks, the root first and every parent before its
// children; frames walked as the options say.
std::vector<flame_node> build_flame(const stack_set &s, const flame_options &o);

// Adds base's stacks to now as its base run: now is then two runs.
void merge_runs(const stack_set &base, stack_set *now);

// The SVG of the tree: the new run's graph, and with two runs the base's
// below it, each frame coloured by its change.
std::string flame_svg(const stack_set &s, const std::vector<flame_node> &nodes, const flame_options &o);

// Each leaf's stack as a folded line, "ROOT;...;LEAF COUNT" (or "BASE NOW"
// with two runs), sorted, frames named as the graph names them.
std::string folded_text(const stack_set &s, const std::vector<flame_node> &nodes);

#endif
