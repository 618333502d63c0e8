// The tools run as a user runs them, each case in a work folder of its
// own: what they print on good input, and, table by table, hostile input,
// odd names, stdout that can't be written, endless input, huge counts, a
// missing gnuplot and --help. No tool writes a file: after every run the
// work folder holds just what it held before. Their parts are tested
// in-process.
#include "printable.h"
#include "sample_keys.h"
#include "shape_report.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Text as messages and pictures show it: valid UTF-8 kept, anything else
// an escape.
TEST(printable, EscapesControlsAndWhatIsntUtf8)
{
    const std::pair<std::string, std::string> examples[] = {
        {"a\tb\nc\x01\x7f", "a\\tb\\nc\\x01\\x7f"},
        {"\u00e9\u20ac\U0001F600", "\u00e9\u20ac\U0001F600"},       // 2, 3 and 4 bytes
        {"\xc2\x9b", "\\u009b"},                                        // C1
        {"\xc0\xaf\xe0\x80\xaf", "\\xc0\\xaf\\xe0\\x80\\xaf"},             // overlong
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                             // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},                     // past U+10FFFF
        {"\xe2\x82", "\\xe2\\x82"},                                       // cut short
    };
    for (const auto &[text, shown] : examples)
        EXPECT_EQ(printable(text), shown);
}

// ---- make_sample ----

TEST(make_sample, WritesEachOrder)
{
    const int n = 3000;
    std::map<std::string, std::vector<long long>> keys;
    for (const char *order : sample_orders) {
        std::FILE *out = std::tmpfile();
        std::mt19937_64 rng(5);
        write_sample_keys(out, order, n, rng);
        std::rewind(out);
        std::string text;
        for (int c; (c = std::fgetc(out)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(out);
        std::istringstream in(text);
        for (long long v; in >> v;)
            keys[order].push_back(v);
        ASSERT_EQ(keys[order].size(), static_cast<std::size_t>(n));
        for (long long k : keys[order])
            ASSERT_TRUE(k >= -2147483648LL && k <= 2147483647LL) << k;
    }
    const std::vector<long long> &ascending = keys["ascending"];
    EXPECT_FALSE(std::is_sorted(keys["random"].begin(), keys["random"].end()));
    EXPECT_TRUE(std::adjacent_find(ascending.begin(), ascending.end(),
                                   [](long long a, long long b) { return a >= b; }) == ascending.end());
    // The same seed draws the same keys: descending is ascending reversed.
    EXPECT_TRUE(std::equal(ascending.rbegin(), ascending.rend(), keys["descending"].begin()));
    EXPECT_EQ(std::count(keys["repeated"].begin(), keys["repeated"].end(), keys["repeated"][0]), n);
    // The ascending keys with about 1 % of them swapped out of place.
    std::vector<long long> sorted = keys["nearly-sorted"];
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, ascending);
    long long misplaced = 0;
    for (int i = 0; i < n; i++)
        misplaced += keys["nearly-sorted"][i] != ascending[i];
    EXPECT_GT(misplaced, n / 100);
    EXPECT_LE(misplaced, 2 * (n / 100));
}

TEST(make_sample, HostileCases)
{
    scratch_dir scratch;
    const std::string tool = MAKE_SAMPLE_PATH;
    const std::string err = "make_sample: ";
    static std::string first_run;
    run_cases(scratch, {
        {{tool, "--help"}, 0, "", "^usage: make_sample \\[--order [^\n]*\\] \\[COUNT \\[SEED\\]\\]\n$"},
        {{tool, "-h", "3"}, 0, "", "^usage: make_sample [^\n]*\n$"},
        {{tool, "10", "1"}, 0, "", "^(-?[0-9]+\n){10}$", {}, [](const std::string &out) { first_run = out; }},
        {{tool, "10", "1"}, 0, "", "^(-?[0-9]+\n){10}$", {}, [](const std::string &out) { EXPECT_EQ(out, first_run); }},
        {{tool, "--order", "descending", "3", "1"}, 0, "", "^(-?[0-9]+\n){3}$"},
        {{tool, "0"}, 0, ""},
        {{tool, "--", "3"}, 0, "", "^(-?[0-9]+\n){3}$"},
        {{tool, "-x"}, 2, err + "unknown option -x\n" + usage_line},
        {{tool, "--count=3"}, 2, err + "unknown option --count=3\n" + usage_line},
        {{tool, "--order=sideways"}, 2, err + "unknown order: sideways\n" + usage_line},
        {{tool, "-5"}, 2, err + "unknown option -5\n" + usage_line},
        {{tool, "--help=x"}, 2, err + "--help takes no value\n" + usage_line},
        {{tool, "3", "1", "extra"}, 2, err + "too many operands: extra\n" + usage_line},
        {{tool, " 3"}, 2, err + "COUNT must be [^\n]*:  3\n" + usage_line},
        {{tool, "2147483648"}, 2, err + "COUNT must be [^\n]*: 2147483648\n" + usage_line},
        {{tool, "3", "18446744073709551616"}, 2, err + "SEED must be [^\n]*: 18446744073709551616\n" + usage_line},
        {{tool, "3", " -1"}, 2, err + "SEED must be [^\n]*:  -1\n" + usage_line},
        {{tool, "100000", "1"}, 1, err + "write error: File too large\n", "", to_small_file},
    });
}

// A closed pipe ends make_sample at once and quietly, as it ends seq: by
// SIGPIPE, or where the caller ignores SIGPIPE, by the failed write.
TEST(make_sample, AClosedPipeEndsItQuietly)
{
    scratch_dir scratch;
    for (const char *ignore : {"", "trap '' PIPE; "}) {
        SCOPED_TRACE(ignore);
        std::string script = std::string(ignore) + "\"$0\" 2000000000 1 | head -n 1";
        ran r = run(scratch.path, scratch.path, {"/bin/sh", "-c", script, MAKE_SAMPLE_PATH});
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(std::regex_match(r.out, std::regex("-?[0-9]+\n"))) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

// ---- tree_shape ----

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
        {{tool, "-", "10"}, 0, "", report, {nullptr, 0, 0, nullptr, nullptr, nullptr, small.c_str()}},
        {{tool, "--svg", small, "10"}, 0, "", svg, {}, [](const std::string &out) {
             well_formed(out);
             EXPECT_TRUE(has(out, "small.txt: 10 nodes, height 4, average depth 2.90"));
         }},
        {{tool, odd, "3", "--svg"}, 0, "", svg, {}, [](const std::string &out) { well_formed(out); }},
        {{tool, "--svg", unholdable, "3"}, 0, "", svg, {}, [](const std::string &out) {
             well_formed(out);
             EXPECT_TRUE(has(out, "t\\x01\\xff\\u009b]]\\x3e&lt;&amp;\""));
         }},
        {{tool, "--svg", "-", "3"}, 0, "", svg, {nullptr, 0, 0, nullptr, nullptr, nullptr, small.c_str()},
         [](const std::string &out) { EXPECT_TRUE(has(out, "standard input: 3 nodes")); }},
        {{tool, small, "10", "extra"}, 2, err + "too many operands: extra\n" + usage_line},
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
         {"/nonexistent"}},
    });
    EXPECT_EQ(files_in(scratch.path).count("X") + files_in(scratch.path).count("Y"), 0u);
}

// Each tool out of memory, under a limit on its address space: one line
// and status 3, or for a short file with a huge COUNT, the answer at once.
TEST(tools, RunningOutOfMemory)
{
#ifdef MAIN_LLIST_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limits";
#endif
    scratch_dir scratch;
    std::ofstream(scratch / "small.txt") << "5\n3\n8\n";
    const limits limited = {nullptr, 0, rlim_t{1536} << 20};
    run_cases(scratch, {
        {{MAKE_SAMPLE_PATH, "--order=ascending", "2000000000"}, 3,
         "make_sample: out of memory for 2000000000 keys\n", "", limited},
        {{TREE_SHAPE_PATH, scratch / "small.txt", "2000000000"}, 2,
         "tree_shape: .*small.txt: entry 4 \\(line 4\\): missing: the file ends after 3 integers, 2000000000 are "
         "needed\n", "", limited},
    });
}

// Each tool writing to a full disk: a device like /dev/full made in the
// test's scratch folder, so that no test writes the machine's own.
TEST(tools, AFullDiskIsOneLineAndStatus1)
{
    scratch_dir scratch;
    const std::string full = scratch / "full";
    if (!make_full_device(full))
        GTEST_SKIP() << "no device can be made here (mknod needs root)";
    std::ofstream(scratch / "small.txt") << "5\n3\n8\n";
    const std::string gprof = std::string(FIXTURES) + "/gprof_cycle.txt";
    const limits to_full = {nullptr, 0, 0, nullptr, full.c_str()};
    const std::string said = ": write error: No space left on device\n";
    run_cases(scratch, {
        {{MAKE_SAMPLE_PATH, "2000000000", "1"}, 1, "make_sample" + said, "", to_full},
        {{MAKE_SAMPLE_PATH, "--help"}, 1, "make_sample" + said, "", to_full},
        {{TREE_SHAPE_PATH, scratch / "small.txt", "3"}, 1, "tree_shape" + said, "", to_full},
        {{TREE_SHAPE_PATH, "--svg", scratch / "small.txt", "3"}, 1, "tree_shape" + said, "", to_full},
        {{GPROF_DOT_PATH, gprof}, 1, "gprof_dot" + said, "", to_full},
    });
}

} // namespace
