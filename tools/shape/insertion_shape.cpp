#include "insertion_shape.h"

#include <algorithm>
#include <numeric>
#include <random>

tree_figures insertion_shape(const std::vector<int> &keys)
{
    int n = static_cast<int>(keys.size());
    // Places in the order, sorted by key and, for equal keys, by place.
    std::vector<int> sorted(keys.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) { return keys[a] < keys[b]; });

    // The Cartesian tree with the earliest place on top, built left to right:
    // the stack holds the right spine so far, and the spine's nodes placed
    // after the newcomer go below it, as its left subtree.
    std::vector<int> parent(keys.size(), -1);
    std::vector<int> spine;
    for (int place : sorted) {
        int popped = -1;
        while (!spine.empty() && spine.back() > place) {
            popped = spine.back();
            spine.pop_back();
        }
        if (popped >= 0)
            parent[popped] = place;
        if (!spine.empty())
            parent[place] = spine.back();
        spine.push_back(place);
    }

    // A parent is placed before its children, so one pass in place order
    // has every parent's depth ready.
    tree_figures f{n, 0, 0, {0}};
    std::vector<int> depth(keys.size());
    for (int place = 0; place < n; place++) {
        int d = parent[place] < 0 ? 1 : depth[parent[place]] + 1;
        depth[place] = d;
        if (d > f.height) {
            f.height = d;
            f.at_depth.resize(static_cast<std::size_t>(d) + 1, 0);
        }
        f.at_depth[d]++;
        f.depth_sum += d;
    }
    return f;
}

double random_average_depth(long long n)
{
    // The expected internal path length of a random binary search tree is
    // 2 (n + 1) H(n) - 4n with the root at depth 0.
    double harmonic = 0;
    for (long long i = 1; i <= n; i++)
        harmonic += 1.0 / static_cast<double>(i);
    double x = static_cast<double>(n);
    return n == 0 ? 0 : 2 * (1 + 1 / x) * harmonic - 3;
}

long long random_order_height(long long n)
{
    // The height's expectation is known only up to a constant term (Reed
    // 2003: 4.311 ln n - 1.953 ln ln n + O(1) edges), so one random order of
    // n keys, the same on every run, stands for it.
    std::vector<int> keys(static_cast<std::size_t>(n));
    std::iota(keys.begin(), keys.end(), 0);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
    return insertion_shape(keys).height;
}
