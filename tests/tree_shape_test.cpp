// The tree shape worked out from the insertion order, against the real tree
// that BST_insert builds; and the tools make_sample and tree_shape on files.
#include "ADT_tree.h"
#include "insertion_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The real tree's figures, by a walk with an explicit stack.
tree_figures built_shape(const std::vector<int> &keys)
{
    BST_TREE *tree = create_bst_tree();
    for (int k : keys)
        EXPECT_TRUE(BST_insert(tree, k));
    tree_figures f{tree->size, 0, 0, {0}};
    std::vector<std::pair<const nod *, long long>> stack;
    if (tree->root != nullptr)
        stack.push_back({tree->root, 1});
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        f.height = std::max(f.height, depth);
        f.at_depth.resize(static_cast<std::size_t>(f.height) + 1, 0);
        f.at_depth[static_cast<std::size_t>(depth)]++;
        f.depth_sum += depth;
        for (const nod *child : {n->left, n->right})
            if (child != nullptr)
                stack.push_back({child, depth + 1});
    }
    destroy_bst_tree(tree);
    return f;
}

std::vector<int> keys_of(const std::string &order, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<int> keys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; i++) {
        int random = static_cast<int>(rng());
        keys[i] = order == "random"          ? random
                  : order == "few distinct"  ? random % 5
                  : order == "ascending"     ? i
                  : order == "descending"    ? -i
                  : order == "repeated"      ? 7
                  : order == "zigzag"        ? (i % 2 == 0 ? i / 2 : n - i / 2)
                  : order == "nearly sorted" ? (rng() % 50 == 0 ? random : i)
                                             : 0;
    }
    return keys;
}

TEST(insertion_shape, EqualsTheTreeThatBstInsertBuilds)
{
    for (const char *order : {"random", "few distinct", "ascending", "descending", "repeated",
                              "zigzag", "nearly sorted"}) {
        for (int n : {0, 1, 2, 3, 100, 3000}) {
            for (unsigned seed : {1u, 2u}) {
                SCOPED_TRACE(std::string(order) + ", " + std::to_string(n) + " keys, seed " +
                             std::to_string(seed));
                std::vector<int> keys = keys_of(order, n, seed);
                tree_figures want = built_shape(keys);
                tree_figures got = insertion_shape(keys);
                EXPECT_EQ(got.nodes, want.nodes);
                EXPECT_EQ(got.height, want.height);
                EXPECT_EQ(got.depth_sum, want.depth_sum);
                EXPECT_EQ(got.at_depth, want.at_depth);
            }
        }
    }
}

// ---- the tools ----

std::string scratch(const std::string &name)
{
    return testing::TempDir() + "tree_shape_test_" + name;
}

std::vector<long long> numbers_in(const std::string &path)
{
    std::ifstream in(path);
    std::vector<long long> out;
    for (long long v; in >> v;)
        out.push_back(v);
    return out;
}

// Runs a command; returns its exit status and stdout.
std::pair<int, std::string> run(const std::string &command)
{
    std::string out = scratch("out.txt");
    int status = std::system((command + " > " + out + " 2>&1").c_str());
    std::ifstream in(out);
    std::stringstream s;
    s << in.rdbuf();
    return {WEXITSTATUS(status), s.str()};
}

std::vector<long long> sample(const std::string &order, int count)
{
    std::string path = scratch(order + ".txt");
    EXPECT_EQ(run(std::string(MAKE_SAMPLE_PATH) + " " + path + " --order " + order + " " +
                  std::to_string(count) + " 5")
                  .first,
              0);
    return numbers_in(path);
}

TEST(tools, MakeSampleWritesEachOrder)
{
    const int n = 3000;
    std::vector<long long> random = sample("random", n);
    std::vector<long long> ascending = sample("ascending", n);
    std::vector<long long> descending = sample("descending", n);
    std::vector<long long> repeated = sample("repeated", n);
    std::vector<long long> nearly = sample("nearly-sorted", n);
    for (const auto *keys : {&random, &ascending, &descending, &repeated, &nearly}) {
        ASSERT_EQ(keys->size(), static_cast<std::size_t>(n));
        for (long long k : *keys)
            ASSERT_TRUE(k >= -2147483648LL && k <= 2147483647LL) << k;
    }
    EXPECT_FALSE(std::is_sorted(random.begin(), random.end()));
    EXPECT_TRUE(std::adjacent_find(ascending.begin(), ascending.end(),
                                   [](long long a, long long b) { return a >= b; }) == ascending.end());
    EXPECT_TRUE(std::adjacent_find(descending.begin(), descending.end(),
                                   [](long long a, long long b) { return a <= b; }) == descending.end());
    EXPECT_EQ(std::count(repeated.begin(), repeated.end(), repeated[0]), n);
    // The ascending keys with about 1 % of them swapped out of place.
    std::vector<long long> sorted = nearly;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, ascending);
    long long misplaced = 0;
    for (int i = 0; i < n; i++)
        misplaced += nearly[i] != ascending[i];
    EXPECT_GT(misplaced, n / 100);
    EXPECT_LE(misplaced, 2 * (n / 100));
}

TEST(tools, TreeShapeReportsChainsAndRandomTrees)
{
    std::string chain = scratch("chain.txt");
    {
        std::ofstream out(chain);
        for (int i = 1; i <= 1000000; i++)
            out << i << "\n";
    }
    auto [status, report] = run(std::string(TREE_SHAPE_PATH) + " " + chain);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(report.rfind("nodes: 1000000\nheight: 1000000 (", 0), 0u) << report;
    EXPECT_NE(report.find("\naverage depth: 500000.50 ("), std::string::npos) << report;
    EXPECT_NE(report.find("\ndescent steps: 499999500000 ("), std::string::npos) << report;

    // A random tree of a million keys is about 1.39 log2 n deep on average
    // (25.79, give or take 0.7) and some 50 high.
    std::string random = scratch("random.txt");
    ASSERT_EQ(run(std::string(MAKE_SAMPLE_PATH) + " " + random + " 1000000 9").first, 0);
    std::tie(status, report) = run(std::string(TREE_SHAPE_PATH) + " " + random);
    EXPECT_EQ(status, 0);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(report, m,
                                  std::regex("^nodes: 1000000\nheight: ([0-9]+) .*\naverage depth: ([0-9.]+) ")))
        << report;
    long long height = std::stoll(m[1]);
    double average = std::stod(m[2]);
    EXPECT_GE(height, 40);
    EXPECT_LE(height, 65);
    EXPECT_NEAR(average, 25.79, 2.5);

    std::tie(status, report) = run(std::string(TREE_SHAPE_PATH) + " " + chain + " 1000001");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(report, "tree_shape: " + chain +
                          ": entry 1000001 (line 1000001): missing: the file ends after 1000000 "
                          "integers, 1000001 are needed\n");
}

} // namespace
