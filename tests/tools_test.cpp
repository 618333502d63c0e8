// The tools run as a user runs them, each case in a work folder of its
// own: what they print on good input, and, table by table, hostile input,
// odd names, stdout that can't be written, endless input, huge counts, a
// missing gnuplot and --help. No tool writes a file: after every run the
// work folder holds just what it held before. Their parts are tested
// in-process.
#include "callgrind_profile.h"
#include "gprof_profile.h"
#include "printable.h"
#include "profile_compare.h"
#include "process_runner.h"
#include "sample_keys.h"
#include "scratch_dir.h"
#include "shape_report.h"

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

std::set<std::string> files_in(const std::string &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// One case: the run, then what it must have printed.
struct tool_case {
    std::vector<std::string> args; // the tool first; relative paths are in the work folder
    int status;
    std::string err;               // a regex that all of stderr matches
    const char *out = "";          // a regex found in stdout (anchor it); "" for none, null for any
    limits l = {};
    void (*then)(const std::string &out) = nullptr; // further checks on stdout
};

// Runs each case in a work folder that holds only what `before` puts
// there, then checks its status, its messages, its output, and that the
// folder holds just what it held.
void run_cases(const scratch_dir &scratch, const std::vector<tool_case> &cases,
               void (*before)(const std::string &work) = nullptr)
{
    std::string work = scratch / "work";
    for (const tool_case &c : cases) {
        std::string shown;
        for (const std::string &a : c.args)
            shown += " " + a;
        SCOPED_TRACE(shown);
        fs::remove_all(work);
        fs::create_directory(work);
        if (before != nullptr)
            before(work);
        std::set<std::string> held = files_in(work);
        if (c.l.stdout_to != nullptr && c.l.stdout_to[0] != '/')
            held.insert(c.l.stdout_to);
        ran r = run(work, scratch.path, c.args, c.l);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err))) << r.err;
        if (c.out != nullptr && c.out[0] == '\0') {
            EXPECT_EQ(r.out, "");
        } else if (c.out != nullptr) {
            EXPECT_TRUE(std::regex_search(r.out, std::regex(c.out))) << r.out.substr(0, 300);
        }
        EXPECT_EQ(files_in(work), held);
        if (c.then != nullptr)
            c.then(r.out);
    }
}

bool has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Whether an SVG is well-formed XML.
void well_formed(const std::string &svg)
{
    scratch_dir scratch;
    std::ofstream(scratch / "x.svg") << svg;
    EXPECT_EQ(std::system(("xmllint --noout '" + scratch / "x.svg" + "'").c_str()), 0) << svg.substr(0, 300);
}

// Whether dot takes a DOT without a word and draws well-formed XML.
void drawable(const std::string &dot)
{
    scratch_dir scratch;
    std::ofstream(scratch / "x.dot") << dot;
    std::string at = "'" + scratch.path + "'";
    EXPECT_EQ(std::system(("dot -Tsvg " + at + "/x.dot -o " + at + "/x.svg 2> " + at + "/dot.err").c_str()), 0);
    EXPECT_EQ(slurp(scratch / "dot.err"), "");
    well_formed(slurp(scratch / "x.svg"));
}

const std::string usage_line = "usage: [a-z_]+ [^\n]*\n";
const limits to_small_file = {nullptr, 1024, 0, nullptr, "out"}; // a file of at most 1 KiB

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

// ---- gprof_dot ----

// n times U+00E9, two bytes each.
std::string u8s(int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += "\u00e9";
    return s;
}

// Reads text as gprof's profile.
bool gprof_of(const std::string &text, profile_graph *g, std::string *error)
{
    std::FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    profile_lines lines;
    lines.in = in;
    bool ok = read_gprof_profile(&lines, g, error);
    std::fclose(in);
    return ok;
}

// Reads text as gprof_dot does: callgrind's profile when its first line
// says so, else gprof's.
bool read_text(const std::string &text, profile_graph *g, std::string *error, const std::string &event = "")
{
    std::FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    profile_lines lines;
    lines.in = in;
    bool ok = next_line(&lines, error);
    lines.again = true;
    ok = ok && (is_callgrind_profile(lines.line) ? read_callgrind_profile(&lines, event, g, error)
                                                 : read_gprof_profile(&lines, g, error));
    std::fclose(in);
    return ok;
}

// The DOT that gprof_dot prints for a fixture, drawing everything; "" when
// it fails.
std::string converted(const scratch_dir &scratch, const std::string &fixture,
                      const std::vector<std::string> &options = {"--node-threshold=0", "--edge-threshold=0"})
{
    std::vector<std::string> args = {GPROF_DOT_PATH};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(std::string(FIXTURES) + "/" + fixture);
    ran r = run(scratch.path, scratch.path, args);
    return r.status == 0 ? r.out : "";
}

// A graph in short: each function "NAME@OBJECT INCL (SELF) CALLS", then
// each arc "CALLER>CALLEE SHARE CALLS", shares to a tenth of a percent.
std::string in_short(const profile_graph &g)
{
    std::map<int, std::string> names;
    std::string s;
    char line[200];
    for (const profile_function &f : g.functions) {
        names[f.id] = f.name + (f.object.empty() ? "" : "@" + f.object);
        std::snprintf(line, sizeof line, "%s %s%.1f (%.1f) %s\n", names[f.id].c_str(), f.bound ? "<=" : "", f.percent,
                      f.self, f.calls.c_str());
        s += line;
    }
    for (const profile_arc &a : g.arcs) {
        std::snprintf(line, sizeof line, "%s>%s %.1f %llu\n", names[a.caller].c_str(), names[a.callee].c_str(),
                      a.percent, a.calls);
        s += line;
    }
    return s;
}

// fixtures/gprof_main_llist.txt is from a run of the program, and
// fixtures/gprof_cycle.txt from a small -pg program with two mutually
// recursive functions (a cycle), a self-recursive one and one that takes no
// samples.
TEST(gprof_dot, DrawsCallGraphsWithCyclesAndRecursion)
{
    scratch_dir scratch;
    std::string dot = converted(scratch, "gprof_main_llist.txt");
    ASSERT_NE(dot, "");
    EXPECT_TRUE(has(dot, "f2 [label=\"BST_insert\\n65.2 % (65.2 %)\\n1000000 calls\", fillcolor=\"0.127 "));
    EXPECT_TRUE(has(dot, "f1 [label=\"main\\n92.7 % (9.5 %)\", "));                // <spontaneous> caller
    EXPECT_TRUE(has(dot, "f1 -> f2 [label=\"65.2 %\\n1000000×\""));
    EXPECT_TRUE(has(dot, "f4 -> f8 [label=\"2.4 %\\n999999×\""));                         // find_data -> compare1
    EXPECT_TRUE(has(dot, "f9 [label=\"create_bst_tree\\n0.0 % (0.0 %)\\n1 call\"")); // no samples
    EXPECT_TRUE(has(dot, "(anonymous namespace)::refill(int_reader*)"));
    EXPECT_FALSE(has(dot, "spontaneous"));

    // By default the functions under 0.5 % go, and calls under 0.1 %.
    std::string shown = converted(scratch, "gprof_main_llist.txt", {});
    EXPECT_TRUE(has(shown, "f1 -> f2 "));
    EXPECT_FALSE(has(shown, "create_bst_tree"));
    EXPECT_TRUE(has(shown, "8 of 16 functions"));

    dot = converted(scratch, "gprof_cycle.txt");
    ASSERT_NE(dot, "");
    EXPECT_TRUE(has(dot, "f5 [label=\"is_odd <cycle 1>\\n44.7 % (0.0 %)\\n153000 calls\""));
    EXPECT_TRUE(has(dot, "f4 -> f5 [label=\"0.0 %\\n150000×\""));  // within the cycle: no times
    EXPECT_TRUE(has(dot, "f6 [label=\"fact\\n10.5 % (0.0 %)\\n3000+33000 calls\""));
    EXPECT_TRUE(has(dot, "f6 -> f6 [label=\"0.0 %\\n33000×\""));
    EXPECT_TRUE(has(dot, "f7 [label=\"idle\\n0.0 % (0.0 %)\\n3000 calls\""));
    EXPECT_FALSE(has(dot, "as a whole"));

    // A function's own share is the flat profile's % time, not one worked
    // out from the call graph's rounded seconds.
    std::string text = slurp(std::string(FIXTURES) + "/gprof_main_llist.txt");
    text.replace(text.find(" 65.21 "), 7, " 61.49 ");
    profile_graph g;
    std::string error;
    ASSERT_TRUE(gprof_of(text, &g, &error)) << error;
    EXPECT_TRUE(has(in_short(g), "\nBST_insert 65.2 (61.5) 1000000\n")) << in_short(g);
}

// Profiles refused, and what for: the line and what is wrong.
TEST(gprof_dot, RefusesProfilesThatArentWholeCallGraphs)
{
    const std::string text = slurp(std::string(FIXTURES) + "/gprof_cycle.txt");
    auto spoilt = [&](const std::string &from, const std::string &to) {
        std::string bad = text;
        std::size_t at = bad.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return bad.replace(at, from.size(), to);
    };
    const std::string granularity = "granularity: each sample hit covers 2 byte(s) for 3.99% of 0.25 seconds";
    struct refusal {
        std::string profile;
        std::size_t line;
        std::string what;
    };
    const refusal refusals[] = {
        {spoilt("[6]     10.5", "[6]   0x1p10"), 46, "not a number: 0x1p10"},
        {spoilt("[6]     10.5", "[6]    110.5"), 46, "more than all of the time: 110.5"},
        {spoilt("fact [6]\n-----", "fact [4294967297]\n-----"), 48, "index out of range: [4294967297]"},
        {spoilt("[7]      0.0    0.00    0.00    3000         idle [7]",
                "[6]      0.0    0.00    0.00    3000         idle [6]"), 51, "a second entry for [6]"},
        {spoilt("                0.00    0.00    3000/3000        idle [7]", "                0.00    0.00    3000/3000        idle [9]"),
         0, "a call to [9], which has no entry"},
        {spoilt(granularity, ""), 17, "no \"granularity:\" line before the call graph: the run's total time is missing"},
        {spoilt(granularity, "granularity: each sample hit covers 2 byte(s)"), 15, "no total time"},
        {spoilt("[6]     10.5    0.00    0.03", "[6]     10.5    0.00    9.03"), 46, "more than the run's total time of [6]"},
        {spoilt("                0.00    0.03    3000/3000        fact [6]",
                "                0.00    3.03    3000/3000        fact [6]"), 26, "a call that takes more than the run's total time"},
        {spoilt("Index by function name", ""), 0, "ends inside the call graph: the profile is cut short"},
        {"Flat profile:\n", 0, "holds no call graph of gprof -b"},
    };
    for (const refusal &r : refusals) {
        SCOPED_TRACE(r.what);
        profile_graph g;
        std::string error;
        EXPECT_FALSE(gprof_of(r.profile, &g, &error));
        EXPECT_EQ(error, (r.line > 0 ? "line " + std::to_string(r.line) + ": " : "") + r.what);
    }
}

// Which functions and calls are drawn: those over the thresholds, and for a
// drawn function left without a drawn caller, its heaviest caller, and so on
// up; a function that has a drawn caller gains no other.
TEST(gprof_dot, KeepsTheHeaviestCallerOfAFunctionLeftWithoutOne)
{
    // main calls a (4 %, under the 5 % drawn) and b (10 %), and both call
    // hot (7 %): a with 0.40 s, b with 0.30 s (3 %, drawn) or 0.20 s (2 %,
    // not drawn, so that hot would be left without a caller).
    auto profile = [](const char *b_to_hot) {
        return std::string("granularity: each sample hit covers 2 byte(s) for 0.10% of 10.00 seconds\n\n"
                           "index % time    self  children    called     name\n"
                           "                                                 <spontaneous>\n"
                           "[1]    100.0    8.60    1.40                 main [1]\n"
                           "                0.00    0.40       1/1           a [2]\n"
                           "                0.30    0.70       1/1           b [3]\n"
                           "-----\n"
                           "[2]      4.0    0.00    0.40       1         a [2]\n"
                           "                0.40    0.00       1/2           hot [4]\n"
                           "-----\n"
                           "[3]     10.0    0.30    0.70       1         b [3]\n"
                           "                ") +
               b_to_hot +
               "    0.00       1/2           hot [4]\n"
               "-----\n"
               "[4]      7.0    0.70    0.00       2         hot [4]\n"
               "-----\n\n"
               "Index by function name\n";
    };
    auto drawn_of = [](const std::string &text) {
        profile_graph g;
        std::string error;
        EXPECT_TRUE(gprof_of(text, &g, &error)) << error;
        drawn d = choose_drawn(g, 5, 3);
        std::vector<std::pair<int, int>> arcs;
        for (const profile_arc *a : d.arcs)
            arcs.emplace_back(a->caller, a->callee);
        return std::make_pair(d.nodes, arcs);
    };
    auto kept = drawn_of(profile("0.30"));
    EXPECT_EQ(kept.first, (std::set<int>{1, 3, 4}));
    EXPECT_EQ(kept.second, (std::vector<std::pair<int, int>>{{1, 3}, {3, 4}}));
    auto rescued = drawn_of(profile("0.20"));
    EXPECT_EQ(rescued.first, (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(rescued.second, (std::vector<std::pair<int, int>>{{1, 2}, {1, 3}, {2, 4}}));
}

// Reads text as callgrind's profile; "error: ..." when it is refused.
std::string callgrind_of(const std::string &text, const std::string &event = "")
{
    profile_graph g;
    std::string error;
    return read_text(text, &g, &error, event) ? in_short(g) : "error: " + error;
}

// The format's features, a row each, with the figures worked out by hand:
// main's 20 and calls of 400 and 400; func1's 100 and a call of 300;
// func2's 700; 820 in all (the format's own extended example).
TEST(gprof_dot, ReadsEachFeatureOfCallgrindsFormat)
{
    const std::string example = "fl=file1.c\nfn=main\n16 20\ncfn=func1\ncalls=1 50\n16 400\ncfi=file2.c\n"
                                "cfn=func2\ncalls=3 20\n16 400\nfn=func1\n51 100\ncfi=file2.c\ncfn=func2\n"
                                "calls=2 20\n51 300\nfl=file2.c\nfn=func2\n20 700\ntotals: 820\n";
    const std::string figures = "main 100.0 (2.4) \nfunc1 48.8 (12.2) 1\nfunc2 85.4 (85.4) 5\n"
                                "main>func1 48.8 1\nmain>func2 48.8 3\nfunc1>func2 36.6 2\n";
    struct row {
        std::string feature, text, event, want;
    };
    const row rows[] = {
        {"calls and inclusive costs", "# callgrind format\nevents: Instructions\n" + example, "", figures},
        {"compressed names, comments and blank lines",
         "events: Instructions\n# names first\nfl=(1) file1.c\nfl=(2) file2.c\n\nfn=(1) main\n16 20\ncfn=(2) func1\n"
         "calls=1 50\n16 400\ncfi=(2)\ncfn=(3) func2\ncalls=3 20\n16 400\nfn=(2)\n51 100\ncfi=(2)\ncfn=(3)\n"
         "calls=2 20\n51 300\nfl=(2)\nfn=(3)\n20 700\ntotals: 820\n",
         "", figures},
        {"one name in two objects, cob= for one call only",
         "events: Ir\nob=(1) /bin/a\nfn=(1) main\n0 10\ncob=(2) /lib/b.so\ncfn=(2) f\ncalls=1 0\n0 30\ncfn=(2)\n"
         "calls=2 0\n0 60\nfn=(2)\n0 60\nob=(2)\nfn=(2)\n0 30\ntotals: 100\n",
         "", "main@/bin/a 100.0 (10.0) \nf@/lib/b.so 30.0 (30.0) 1\nf@/bin/a 60.0 (60.0) 2\n"
             "main@/bin/a>f@/lib/b.so 30.0 1\nmain@/bin/a>f@/bin/a 60.0 2\n"},
        {"subpositions: instr and line, +, -, *, hex",
         "positions: instr line\nevents: Ir\nfn=f\n0x10 5 3\n+3 * 4\n-1 +1 2\n* -1 1\n0xA0 7 0x0a\ntotals: 20\n", "", "f 100.0 (100.0) \n"},
        {"jumps and the lines that follow them",
         "positions: instr line\nevents: Ir\nfn=f\n0x10 5 4\njump=3 +2 *\n+2 *\njcnd=1/2 +3 +1\n* *\n+3 +1 6\n"
         "totals: 10\n", "",
         "f 100.0 (100.0) \n"},
        {"--event, and fewer counts than events",
         "events: Ir Dr\nfn=main\n1 10 4\ncfn=f\ncalls=1 1\n1 90\nfn=f\n1 90\ntotals: 100 4\n", "Dr",
         "main 100.0 (100.0) \nf 0.0 (0.0) 1\nmain>f 0.0 1\n"},
        {"event: lines, summary:, totals: and parts whose costs add up, names kept across parts",
         "version: 1\ncreator: callgrind\npart: 1\nevent: Ir : Instruction Fetches\nevents: Ir\nsummary: 10\n"
         "fn=(1) main\n0 10\ntotals: 10\npart: 2\nevents: Ir\nsummary: 30\nfn=(1)\n0 10\ncfn=(2) f\ncalls=1 0\n0 20\n"
         "fn=(2)\n0 20\ntotals: 30\n",
         "", "main 100.0 (50.0) \nf 50.0 (50.0) 1\nmain>f 50.0 1\n"},
        {"direct recursion by levels: f'2 merged into f, its calls nested",
         "events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 90\nfn=f\n0 30\ncfn=f'2\ncalls=1 0\n0 60\nfn=f'2\n0 30\n"
         "cfn=f'2\ncalls=1 0\n0 30\nfn=f'2\n0 30\ntotals: 100\n",
         "", "main 100.0 (10.0) \nf 90.0 (90.0) 1+2\nmain>f 90.0 1\nf>f 60.0 2\n"},
        {"mutual recursion by levels",
         "events: Ir\nfn=main\n0 10\ncfn=a\ncalls=1 0\n0 90\nfn=a\n0 10\ncfn=b\ncalls=1 0\n0 80\nfn=b\n0 20\ncfn=a'2\n"
         "calls=1 0\n0 60\nfn=a'2\n0 20\ncfn=b'2\ncalls=1 0\n0 40\nfn=b'2\n0 40\ntotals: 100\n",
         "", "main 100.0 (10.0) \na 90.0 (30.0) 2\nb 80.0 (60.0) 2\nmain>a 90.0 1\na>b 80.0 2\nb>a 60.0 1\n"},
        {"mutual recursion without levels: at most the pair's share, from the calls into it",
         "events: Ir\nfn=main\n0 10\ncfn=a\ncalls=1 0\n0 90\nfn=a\n0 30\ncfn=b\ncalls=2 0\n0 120\nfn=b\n0 60\n"
         "cfn=a\ncalls=1 0\n0 60\ntotals: 100\n",
         "", "main 100.0 (10.0) \na <=90.0 (30.0) 2\nb <=90.0 (60.0) 2\nmain>a 90.0 1\na>b 90.0 2\nb>a 60.0 1\n"},
        {"direct recursion without levels (--separate-recs=1)",
         "events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 90\nfn=f\n0 90\ncfn=f\ncalls=2 0\n0 90\ntotals: 100\n", "",
         "main 100.0 (10.0) \nf 90.0 (90.0) 1+2\nmain>f 90.0 1\nf>f 90.0 2\n"},
        {"a thread's start: its calls out cost more than the call into it",
         "events: Ir\nfn=main\n0 10\ncfn=clone\ncalls=1 0\n0 5\nfn=clone\n0 5\ncfn=start_thread\ncalls=1 0\n0 85\n"
         "fn=start_thread\n0 85\ntotals: 100\n",
         "", "main 15.0 (10.0) \nclone 90.0 (5.0) 1\nstart_thread 85.0 (85.0) 1\nmain>clone 5.0 1\n"
             "clone>start_thread 85.0 1\n"},
        {"static functions of one name in two files, and CRLF line ends",
         "events: Ir\r\nfl=m.c\r\nfn=main\r\n0 10\r\ncfi=a.c\r\ncfn=check\r\ncalls=1 0\r\n0 30\r\ncfi=b.c\r\n"
         "cfn=check\r\ncalls=1 0\r\n0 60\r\nfl=a.c\r\nfn=check\r\n0 30\r\nfl=b.c\r\nfn=check\r\n0 60\r\ntotals: 100\r\n",
         "", "main 100.0 (10.0) \ncheck 30.0 (30.0) 1\ncheck 60.0 (60.0) 1\nmain>check 30.0 1\nmain>check 60.0 1\n"},
    };
    for (const row &r : rows)
        EXPECT_EQ(callgrind_of(r.text, r.event), r.want) << r.feature;
}

// Broken profiles: the line and what is wrong with it.
TEST(gprof_dot, RefusesBrokenCallgrindProfiles)
{
    const std::pair<std::string, std::string> refusals[] = {
        {"events: Ir\nfn=f\n\x7f" "ELF\x01\x02\n", "line 3: not a line of callgrind's profile"},
        {std::string("events: Ir\nfn=f\n1 2\0 3\n", 23), "line 3: holds a NUL byte"},
        {"events: Ir\nfn=" + std::string(std::size_t{17} << 20, 'f') + "\n", "line 2: a line longer than 16 MiB"},
        {"positions: line\nfn=f\n", "line 2: no events: line"},
        {"events: Ir\nfn=(3)\n", "line 2: (3) was never defined"},
        {"events: Ir\n1 2\n", "line 2: a cost line before any fn="},
        {"events: Ir Dr\nfn=f\n1 2 3 4\n", "line 3: more counts than the 2 events"},
        {"events: Ir\nfn=f\n1 2x\n", "line 3: not a number: 2x"},
        {"events: Ir\nfn=f\n1 18446744073709551616\n", "line 3: a number past 64 bits: 18446744073709551616"},
        {"events: Ir\nfn=f\n1 18446744073709551615\n+1 1\n", "line 4: costs that add up past 64 bits"},
        {"events: Ir\nfn=f\ncfn=g\ncalls=1 0\nfn=g\n", "line 5: calls= on line 4 has no cost line after it"},
        {"events: Ir\nfn=f\ncfn=g\ncalls=1 0\n", "line 4: calls= on line 4 has no cost line after it"},
        {"events: Ir Dr\nfn=f\n1 2\n", "line 1: no event DLmr in this profile, whose events are: Ir Dr"},
        {"events: Ir\nfn=f\n0 10\n", "line 3: no totals: line at the end of the part: the profile is cut short"},
        {"events: Ir\nfn=f\n0 10\ntotals: 11\n", "line 4: the costs of Ir add up to 10, not to its totals: of 11"},
        {"events: Ir\nsummary: 30\nfn=f\n0 10\n",
         "line 4: the costs of Ir add up to 10, not to its summary: of 30: the profile is cut short"},
        {"events: Ir\nfn=f\n0 10\ntotals: 10\npart: 2\nfn=f\n0 5\n",
         "line 7: no totals: line at the end of the part: the profile is cut short"},
    };
    for (const auto &[text, why] : refusals)
        EXPECT_EQ(callgrind_of(text, why.find("DLmr") != std::string::npos ? "DLmr" : ""), "error: " + why) << text;
}

// fixtures/callgrind_twin.out: valgrind --tool=callgrind (default options)
// of fixtures/callgrind_twin/prog.c, which has direct (fact) and mutual
// (is_even, is_odd) recursion, calls malloc, and has a function twin of its
// own besides libtwin.so's. Each figure worked out from the file's lines:
// 382,250 instructions in all.
TEST(gprof_dot, TheFiguresOfARealCallgrindProfile)
{
    std::string text = slurp(std::string(FIXTURES) + "/callgrind_twin.out");
    std::string got = callgrind_of(text);
    auto share = [](double cost) {
        char s[32];
        std::snprintf(s, sizeof s, "%.1f", 100 * cost / 382250);
        return std::string(s);
    };
    const std::pair<std::string, std::string> figures[] = {
        {"main@/tmp/fx/prog ", share(243895)},                 // the call from (below main)
        {"is_even@/tmp/fx/prog ", share(65250) + " (" + share(996 + 300 + 24304 + 7350) + ") 2550\n"}, // 100 + 2450
        {"is_odd@/tmp/fx/prog ", share(63954) + " (" + share(986 + 297 + 23814 + 7203) + ") 2500\n"},
        {"fact@/tmp/fx/prog ", share(11576) + " (" + share(1216 + 486 + 7050 + 2824) + ") 100+582\n"},
        {"twin@/tmp/fx/prog ", share(30900) + " "},
        {"twin@/tmp/fx/libtwin.so ", share(112420) + " (" + share(93408) + ") 100\n"},
        {"is_even@/tmp/fx/prog>is_odd@/tmp/fx/prog ", share(63954) + " 2500\n"},   // 99 + 2401 calls
        {"is_odd@/tmp/fx/prog>is_even@/tmp/fx/prog ", share(62671) + " 2450\n"},   // into is_even'2
        {"fact@/tmp/fx/prog>fact@/tmp/fx/prog ", share(9874) + " 582\n"},           // into fact'2
    };
    for (const auto &[what, figure] : figures)
        EXPECT_TRUE(has(got, "\n" + what + figure)) << what << figure;
    EXPECT_FALSE(has(got, "'2"));

    // Hiding libc folds malloc and free into their callers' own cost.
    profile_graph g;
    std::string error;
    ASSERT_TRUE(read_text(text, &g, &error)) << error;
    regex_t libc;
    ASSERT_EQ(regcomp(&libc, "libc\\.so", REG_EXTENDED | REG_NOSUB), 0);
    hide_functions(&g, &libc);
    regfree(&libc);
    std::string hidden = in_short(g);
    EXPECT_TRUE(has(hidden, "\ntwin@/tmp/fx/libtwin.so " + share(112420) + " (" + share(93408 + 8808 + 8800) + ") 100\n"))
        << hidden;
    EXPECT_FALSE(has(hidden, "\nmalloc@"));
}

// Two runs compared: base has main (10), f (70) and h (20), 100 in all;
// the new run main (10), f (140, called twice) and g (50), 200 in all.
TEST(gprof_dot, ComparesTwoRuns)
{
    profile_graph base, now;
    std::string error;
    ASSERT_TRUE(read_text("events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 70\ncfn=h\ncalls=1 0\n0 20\nfn=f\n0 70\n"
                          "fn=h\n0 20\ntotals: 100\n", &base, &error)) << error;
    ASSERT_TRUE(read_text("events: Ir\nfn=main\n0 10\ncfn=f\ncalls=2 0\n0 140\ncfn=g\ncalls=1 0\n0 50\nfn=f\n0 140\n"
                          "fn=g\n0 50\ntotals: 200\n", &now, &error)) << error;
    auto in_short = [](const profile_graph &c) {
        std::string s;
        char line[200];
        for (const profile_function &f : c.functions) {
            std::snprintf(line, sizeof line, "%s %+.1f (%+.1f) %.1f>%.1f\n", f.name.c_str(), f.percent, f.self,
                          f.shares[0], f.shares[1]);
            s += line;
        }
        for (const profile_arc &a : c.arcs) {
            std::snprintf(line, sizeof line, "%s>%s %+.1f %llu>%llu\n", c.functions[std::size_t(a.caller)].name.c_str(),
                          c.functions[std::size_t(a.callee)].name.c_str(), a.percent, a.base_calls, a.calls);
            s += line;
        }
        return s;
    };
    // In shares of the base's 100: the new run's figures count twice.
    profile_graph c = compare_profiles(base, now, false);
    EXPECT_EQ(in_short(c), "main +100.0 (+0.0) 100.0>100.0\nf +70.0 (+70.0) 70.0>70.0\nh -20.0 (-20.0) 20.0>-1.0\n"
                           "g +50.0 (+50.0) -1.0>25.0\nmain>f +70.0 1>2\nmain>h -20.0 1>0\nmain>g +50.0 0>1\n");
    // Normalized, the changes of the shares.
    EXPECT_EQ(in_short(compare_profiles(base, now, true)),
              "main +0.0 (-5.0) 100.0>100.0\nf +0.0 (+0.0) 70.0>70.0\nh -20.0 (-20.0) 20.0>-1.0\n"
              "g +25.0 (+25.0) -1.0>25.0\nmain>f +0.0 1>2\nmain>h -20.0 1>0\nmain>g +25.0 0>1\n");
    // The drawing: thresholds on the size of the change, both totals in
    // the title, red for growth, blue for shrinkage, new and gone.
    std::string dot = dot_of(c, choose_drawn(c, 30, 30), 30);
    EXPECT_TRUE(has(dot, "base: 100 Ir, new: 200 Ir, new / base = 2.0000")) << dot;
    EXPECT_TRUE(has(dot, "[label=\"f\\n+70.0 % (+70.0 %)\\n70.0 % \u2192 70.0 %\\n2 calls\", fillcolor=\"0.000 ")) << dot;
    EXPECT_TRUE(has(dot, "[label=\"g\\n+50.0 % (+50.0 %)\\nnew: 25.0 %\\n1 call\"")) << dot;
    EXPECT_FALSE(has(dot, "\"h\\n")) << dot; // a change of 20 %
    dot = dot_of(c, choose_drawn(c, 0, 0), 0);
    EXPECT_TRUE(has(dot, "[label=\"h\\n-20.0 % (-20.0 %)\\ngone: was 20.0 %\", fillcolor=\"0.620 ")) << dot;
    EXPECT_TRUE(has(dot, "f0 -> f2 [label=\"-20.0 %\\n1\u00d7 \u2192 0\u00d7\"")) << dot;
    drawable(dot);
}

// --focus keeps the call paths through fact: its callers up to the root and
// its callees, with their shares of the whole run; same-named functions of
// one object in two files say their files.
TEST(gprof_dot, FocusAndTheFilesOfSameNamedFunctions)
{
    profile_graph g;
    std::string error;
    ASSERT_TRUE(read_text(slurp(std::string(FIXTURES) + "/callgrind_twin.out"), &g, &error)) << error;
    std::string before = in_short(g);
    regex_t fact;
    ASSERT_EQ(regcomp(&fact, "^fact$", REG_EXTENDED | REG_NOSUB), 0);
    focus_functions(&g, &fact);
    regfree(&fact);
    std::string after = "\n" + in_short(g);
    for (const char *kept : {"\nmain@/tmp/fx/prog ", "\nfact@/tmp/fx/prog "}) {
        std::size_t at = after.find(kept);
        ASSERT_NE(at, std::string::npos) << kept << after;
        EXPECT_TRUE(has("\n" + before, after.substr(at, after.find('\n', at + 1) - at + 1))) << kept;
    }
    EXPECT_FALSE(has(after, "is_even")) << after;

    ASSERT_TRUE(read_text("events: Ir\nfl=m.c\nfn=main\n0 10\ncfi=a.c\ncfn=check\ncalls=1 0\n0 30\ncfi=b.c\ncfn=check\n"
                          "calls=1 0\n0 60\nfl=a.c\nfn=check\n0 30\nfl=b.c\nfn=check\n0 60\ntotals: 100\n", &g, &error))
        << error;
    std::string dot = dot_of(g, choose_drawn(g, 0, 0), 0);
    EXPECT_TRUE(has(dot, "\"check\\na.c\\n30.0 % (30.0 %)\\n1 call\"")) << dot;
    EXPECT_TRUE(has(dot, "\"main\\n100.0 % (10.0 %)\"")) << dot;
}

// gprof's text of 80,000 functions, each called by main and by the one
// before it; returns its path.
std::string big_profile(const scratch_dir &scratch)
{
    std::string big = scratch / "big.txt";
    std::ofstream out(big);
    const int n = 80000;
    out << "granularity: each sample hit covers 2 byte(s) for 0.01% of 100.00 seconds\n\n"
           "index % time    self  children    called     name\n"
           "                                                 <spontaneous>\n"
           "[1]    100.0    0.00  100.00                 main [1]\n";
    for (int i = 2; i <= n; i++)
        out << "                0.00    0.00       1/2           f" << i << " [" << i << "]\n";
    out << "-----\n";
    for (int i = 2; i <= n; i++) {
        out << "                0.00    0.00       1/2           main [1]\n";
        if (i > 2)
            out << "                0.00    0.00       1/2           f" << i - 1 << " [" << i - 1 << "]\n";
        out << "[" << i << "]      0.0    0.00    0.00       2         f" << i << " [" << i << "]\n";
        if (i < n)
            out << "                0.00    0.00       1/2           f" << i + 1 << " [" << i + 1 << "]\n";
        out << "-----\n";
    }
    out << "\nIndex by function name\n";
    return big;
}

TEST(gprof_dot, HostileCases)
{
    scratch_dir scratch;
    const std::string tool = GPROF_DOT_PATH;
    const std::string good = std::string(FIXTURES) + "/gprof_cycle.txt";
    std::string text = slurp(good);
    // Profiles spoilt one way each.
    auto spoilt = [&](const std::string &name, const std::string &from, const std::string &to) {
        std::string bad = text;
        std::size_t at = bad.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        bad.replace(at, from.size(), to);
        std::ofstream(scratch / name) << bad;
        return scratch / name;
    };
    std::string nan = spoilt("nan.txt", "[6]     10.5", "[6]     nan ");
    std::string cut = scratch / "cut.txt";
    std::ofstream(cut) << text.substr(0, text.find("[6]     10.5"));
    std::string crlf = scratch / "crlf.txt";
    std::ofstream(crlf) << std::regex_replace(text, std::regex("\n"), "\r\n");
    // A name with DOT's and XML's special characters, control bytes, a byte
    // that isn't UTF-8, and 24,000 characters of templates.
    std::string long_name;
    for (int i = 0; i < 2000; i++)
        long_name = "std::vector<" + long_name + "int>";
    std::string names = spoilt("names.txt", "3000+33000   fact [6]",
                               "3000+33000   fa\"ct\\ \xff\x01]]><&x " + std::string(51, 'x') + u8s(60) +
                                   long_name + " [6]");
    const std::string callgrind = std::string(FIXTURES) + "/callgrind_twin.out";
    std::string big = big_profile(scratch);
    std::ofstream(scratch / "empty.txt").close();
    const std::string err = "gprof_dot: ";
    const char *dot = "^digraph callgraph \\{\n";
    const limits from_good = {nullptr, 0, 0, nullptr, nullptr, nullptr, good.c_str()};
    run_cases(scratch, {
        {{tool, "--help"}, 0, "", "^usage: gprof_dot [^\n]*\\[PROFILE\\]\n$"},
        {{tool, good}, 0, "", dot},
        {{tool}, 0, "", dot, from_good},
        {{tool, "-"}, 0, "", dot, from_good},
        {{tool, crlf}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "f6 [label=\"fact\\n10.5 % (0.0 %)\\n3000+33000 calls\"")) << out;
         }},
        {{tool, nan}, 2, err + ".*nan.txt: line 46: not a number: nan\n"},
        {{tool, cut}, 2, err + ".*cut.txt: ends inside the call graph: the profile is cut short\n"},
        {{tool, "-"}, 2, err + "standard input: ends inside the call graph: the profile is cut short\n", "",
         {nullptr, 0, 0, nullptr, nullptr, nullptr, cut.c_str()}},
        {{"/bin/sh", "-c", "yes 0123456789012345678901234567890123456789 | head -c 270000000 | \"$0\"", tool}, 1,
         err + "standard input: larger than 256 MiB: not read\n"},
        {{tool, "/dev/zero"}, 2, err + "/dev/zero: line 1: a line longer than 16 MiB\n"},
        {{tool, "missing.txt"}, 1, err + "missing.txt: cannot open: No such file or directory\n"},
        {{tool, good}, 1, err + "write error: File too large\n", "", to_small_file},
        {{tool, "--node-threshold=nan", good}, 2, err + "--node-threshold takes a percentage: nan\n" + usage_line},
        {{tool, "--edge-threshold=100.5", good}, 2, err + "--edge-threshold takes a percentage: 100.5\n" + usage_line},
        {{tool, good, "extra"}, 2, err + "too many operands: extra\n" + usage_line},
        {{tool, std::string(FIXTURES) + "/gprof_no_time.txt"}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "no time propagated"));
             EXPECT_TRUE(has(out, "f2 -> f1 [label=\"0.0 %\\n10×\""));
         }},
        {{tool, "--event", "Ir", "--hide", "libc\\.so|^_dl", callgrind}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "share of the run's Ir with callees"));
             EXPECT_TRUE(has(out, "\"twin\\nlibtwin.so\\n"));
             EXPECT_FALSE(has(out, "malloc\\nlibc.so.6"));
             drawable(out);
         }},
        {{tool, "--event=Nope", callgrind}, 2,
         err + ".*callgrind_twin.out: line 17: no event Nope in this profile, whose events are: Ir\n"},
        {{tool, "--event=Ir", good}, 2, err + ".*gprof_cycle.txt: --event Ir: gprof's profile has time, not events\n"},
        {{tool, "--hide=(", good}, 2, err + "--hide takes an extended regular expression: \\(\n" + usage_line},
        {{tool, "--focus=(", good}, 2, err + "--focus takes an extended regular expression: \\(\n" + usage_line},
        {{tool, "--base", good, callgrind}, 2,
         err + ".*gprof_cycle.txt: gprof's profile of time, and .*callgrind_twin.out callgrind's one of Ir: a "
               "comparison needs two of one kind and cost\n"},
        {{tool, "--normalize", good}, 2, err + "--normalize needs --base\n" + usage_line},
        {{tool, "--base=-"}, 2, err + "--base and PROFILE can't both be standard input\n" + usage_line},
        {{tool, "--base", good, "--normalize", "--focus", "fact", "--node-threshold=0", good}, 0, "", dot, {},
         [](const std::string &out) {
             EXPECT_TRUE(has(out, "[label=\"fact\\n+0.0 % (+0.0 %)\\n10.5 % \u2192 10.5 %\\n3000+33000 calls\"")) << out;
             EXPECT_TRUE(has(out, "base: 0.25 s, new: 0.25 s, new / base = 1.0000"));
             EXPECT_FALSE(has(out, "idle"));
         }},
        {{tool, scratch / "empty.txt"}, 2, err + ".*empty.txt: line 1: an empty file, which holds no profile\n"},
        {{tool, "--node-threshold=0", names}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "fa\\\"ct\\\\ \\\\xff\\\\x01]]><&x xxxxx"));
             // Wrapped at about 80 bytes a line, never inside a character:
             // the lines of é are whole (and the SVG well-formed).
             std::string label = out.substr(out.find("fa\\\"ct"), 2400);
             for (std::size_t at = 0, next; (next = label.find("\\n", at)) < 2200; at = next + 2)
                 EXPECT_LE(next - at, 90u) << label.substr(at, next - at);
             EXPECT_TRUE(has(label, "\\n\u00e9\u00e9"));
             EXPECT_TRUE(has(out, "\u2026\\n10.5 %"));
             EXPECT_LT(out.size(), 10000u);
             drawable(out);
         }},
        {{tool, "--node-threshold=0", "--edge-threshold=0", big}, 0, "", nullptr, {},
         [](const std::string &out) { EXPECT_TRUE(has(out, "f79999 -> f80000 ")); }},
    });
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
        {{GPROF_DOT_PATH, "--node-threshold=0", "--edge-threshold=0", big_profile(scratch)}, 3,
         "gprof_dot: .*big.txt: out of memory\n", "", {nullptr, 0, rlim_t{40} << 20}},
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
