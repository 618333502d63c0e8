// tree_shape: the tree shape worked out from the insertion order, against
// the real tree that BST_insert builds; its report; and the tool run as a
// user runs it, each case in a work folder of its own (tool_cases.h).
#include "ADT_tree.h"
#include "insertion_shape.h"
#include "shape_report.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
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

// The report of a tree's shape, worked out from keys in a given order.
std::string report_of(const std::vector<int> &keys)
{
    tree_figures f = insertion_shape(keys);
    return shape_report(f, depth_bands(f));
}

TEST(tree_shape, ReportsChainsAndRandomTrees)
{
    EXPECT_EQ(report_of({5, 3, 8, 1, 4, 7, 9, 2, 6, 10}),
              "nodes: 10\n"
              "height: 4 (random order: about 6)\n"
              "average depth: 2.90 (random order: 3.44)\n"
              "descent steps: 19 (random order: about 24)\n"
              "depth histogram:\n"
              "                1:        1 ############\n"
              "                2:        2 #########################\n"
              "                3:        4 ##################################################\n"
              "                4:        3 #####################################\n");

    std::vector<int> chain(1000000);
    for (int i = 0; i < 1000000; i++)
        chain[static_cast<std::size_t>(i)] = i + 1;
    std::string r = report_of(chain);
    EXPECT_EQ(r.rfind("nodes: 1000000\nheight: 1000000 (", 0), 0u) << r;
    EXPECT_NE(r.find("\naverage depth: 500000.50 ("), std::string::npos) << r;
    EXPECT_NE(r.find("\ndescent steps: 499999500000 ("), std::string::npos) << r;
    // 40 bands of 25,000 levels, a node at each level.
    EXPECT_NE(r.find(" 1-25000:    25000 " + std::string(50, '#') + "\n"), std::string::npos) << r;
    EXPECT_NE(r.find(" 975001-1000000:    25000 "), std::string::npos) << r;

    // A random tree of a million keys (make_sample's, seed 9) is about
    // 2 ln n - 1.85 deep on average, the root at depth 1 (25.79, give or
    // take 0.7), and some 50 high.
    std::mt19937_64 rng(9);
    std::uniform_int_distribution<int> any_int(INT_MIN, INT_MAX);
    std::vector<int> random(1000000);
    for (int &k : random)
        k = any_int(rng);
    tree_figures f = insertion_shape(random);
    EXPECT_GE(f.height, 40);
    EXPECT_LE(f.height, 65);
    EXPECT_NEAR(static_cast<double>(f.depth_sum) / 1e6, 25.79, 2.5);
}

TEST(tree_shape, HostileCases)
{
    scratch_dir scratch;
    const std::string tool = TREE_SHAPE_PATH;
    std::string small = scratch / "small.txt";
    std::ofstream(small) << "5\n3\n8\n1\n4\n7\n9\n2\n6\n10\n";
    // A copy of the tool with no share/main_llist beside it has no chart script.
    const std::string alone = scratch / "tree_shape";
    std::filesystem::copy_file(TREE_SHAPE_PATH, alone);
    // A name that would end a gnuplot command and start others.
    std::string odd = scratch / "in\nset output 'Y'\nsystem \"touch X\"\nx.txt";
    std::ofstream(odd) << "1 2 3\n";
    // A name that XML can't hold as it is: control bytes, a byte that isn't
    // UTF-8, a C1 control, "]]>" and XML's special characters.
    std::string unholdable = scratch / "t\x01\xff\xc2\x9b]]><&\".txt";
    std::ofstream(unholdable) << "1 2 3\n";
    const char *report = "^nodes: 10\n";
    const char *svg = "^<\\?xml";
    const std::string err = "tree_shape: ";
    run_cases(scratch, {
        {{tool, "--help"}, 0, "", "^usage: tree_shape \\[--svg\\] FILE \\[COUNT\\]\n$"},
        {{tool, small, "10"}, 0, "", report},
        {{tool, "-", "10"}, 0, "", report, stdin_from(small.c_str())},
        {{tool, "--svg", small, "10"}, 0, "", svg, {}, [](const std::string &out) {
             well_formed(out);
             EXPECT_TRUE(has(out, "small.txt: 10 nodes, height 4, average depth 2.90"));
         }},
        {{tool, odd, "3", "--svg"}, 0, "", svg, {}, [](const std::string &out) { well_formed(out); }},
        {{tool, "--svg", unholdable, "3"}, 0, "", svg, {}, [](const std::string &out) {
             well_formed(out);
             EXPECT_TRUE(has(out, "t\\x01\\xff\\u009b]]\\x3e&lt;&amp;\""));
         }},
        {{tool, "--svg", "-", "3"}, 0, "", svg, stdin_from(small.c_str()),
         [](const std::string &out) { EXPECT_TRUE(has(out, "standard input: 3 nodes")); }},
        {{tool, small, "10", "extra"}, 2, err + "too many operands: extra\n" + usage_line},
        {{alone, "--svg", small, "10"}, 1, err + "depth_chart.gp is in no share/main_llist beside tree_shape: install it "
                                                 "with the tool\n"},
        {{tool, small, "11"}, 2,
         err + ".*small.txt: entry 11 \\(line 11\\): missing: the file ends after 10 integers, 11 are needed\n"},
        {{tool, small, "+3"}, 2, err + "COUNT must be [^\n]*: \\+3\n" + usage_line},
        {{tool, small, "0"}, 2, err + "COUNT must be [^\n]*: 0\n" + usage_line},
        {{tool}, 2, err + "no FILE given\n" + usage_line},
        {{tool, "--svg=x.svg", small}, 2, err + "--svg takes no value\n" + usage_line},
        {{tool, "missing.txt"}, 1, err + "missing.txt: cannot open: No such file or directory\n"},
        {{tool, "/dev/zero"}, 2, err + "/dev/zero: entry 1 \\(line 1\\): not a decimal integer: \"\\?{24}\\.\\.\\.\"\n"},
        {{tool, "--svg", small, "10"}, 1, err + "write error: File too large\n", "", to_small_file},
        {{tool, "--svg", small, "10"}, 1, err + "gnuplot is not installed \\(apt-get install gnuplot-nox\\)\n", "",
         path_is("/nonexistent")},
    });
    EXPECT_EQ(files_in(scratch.path).count("X") + files_in(scratch.path).count("Y"), 0u);
}

} // namespace
