// gprof_dot: its readers, what it draws of one run and of two, in-process,
// and the tool run as a user runs it, table by table. The profiles are the
// fixtures, made from real programs, and small ones whose figures are
// worked out by hand.
#include "profile_drawing.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <sys/resource.h>

namespace {

std::string fixture(const std::string &name)
{
    return std::string(FIXTURES) + "/" + name;
}

// Reads text as gprof_dot does; the exit status, 0 when it was read.
int read_text(const std::string &text, profile *p, std::string *error, const std::string &event = "")
{
    std::FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    int status = read_profile(in, event, p, error);
    std::fclose(in);
    return status;
}

profile read_ok(const std::string &text, const std::string &event = "")
{
    profile p;
    std::string error;
    EXPECT_EQ(read_text(text, &p, &error, event), 0) << error;
    return p;
}

// A drawing in short: each function "NAME@OBJECT FIGURE (OWN) CALLS", with
// its shares in each run in a comparison, then each arc "CALLER>CALLEE
// FIGURE CALLS", figures to a tenth of a percent, "-" where gprof gives an
// arc no time and a run lacks a function.
std::string in_short(const drawing &d)
{
    std::string s;
    char line[400];
    auto name = [&](std::size_t f) {
        const profile_function &g = *d.functions[f].in[d.functions[f].in[1] != nullptr];
        return g.name + (g.object.empty() ? "" : "@" + g.object);
    };
    auto calls = [](const profile_function *f) {
        return f == nullptr ? "-" : std::to_string(f->calls) + (f->recursive ? "+" + std::to_string(f->recursive) : "");
    };
    for (std::size_t f = 0; f < d.functions.size(); f++) {
        const drawn_function &g = d.functions[f];
        std::snprintf(line, sizeof line, d.compared ? "%s %s%+.1f (%+.1f)" : "%s %s%.1f (%.1f)", name(f).c_str(),
                      g.in[1] != nullptr && g.in[1]->bound ? "<=" : "", figure(d, g, &profile_function::inclusive),
                      figure(d, g, &profile_function::self));
        s += line;
        for (int run = d.compared ? 0 : 1; run < 2; run++) {
            std::snprintf(line, sizeof line, " %.1f", share_in(d, g, run));
            s += g.in[run] != nullptr && d.compared ? line : "";
            s += " " + calls(g.in[run]);
        }
        s += "\n";
    }
    for (const drawn_arc &a : d.arcs) {
        std::snprintf(line, sizeof line, d.compared ? "%s>%s %+.1f" : "%s>%s %.1f", name(a.caller).c_str(),
                      name(a.callee).c_str(), figure(d, a));
        s += timed(a) ? line : name(a.caller) + ">" + name(a.callee) + " -";
        for (int run = d.compared ? 0 : 1; run < 2; run++)
            s += " " + (a.in[run] != nullptr ? std::to_string(a.in[run]->calls) : std::string("-"));
        s += "\n";
    }
    return s;
}

std::string in_short(const std::string &text, const std::string &event = "")
{
    profile p;
    std::string error;
    return read_text(text, &p, &error, event) == 0 ? in_short(draw(nullptr, p, false)) : "error: " + error;
}

// n times U+00E9, two bytes each.
std::string u8s(int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += "\u00e9";
    return s;
}

std::string dot_of_all(const drawing &d)
{
    return dot_of(d, choose(d, 0, 0), 0);
}

// gprof's text: fixtures/gprof_main_llist.txt is from a run of the program,
// fixtures/gprof_cycle.txt from a small -pg program with two mutually
// recursive functions (a cycle), a self-recursive one and one that takes
// no samples, fixtures/gprof_statics.txt from two static functions of one
// name in two files.
TEST(gprof_dot, ReadsGprofsCallGraphs)
{
    std::string llist = in_short(slurp(fixture("gprof_main_llist.txt")));
    for (const char *line : {"\nBST_insert 65.2 (65.2) 1000000\n", "main 92.7 (9.5) 0\n", // a <spontaneous> caller
                             "\nmain>BST_insert 65.2 1000000\n", "\nfind_data>compare1(void*, void*) 2.4 999999\n",
                             "\ncreate_bst_tree 0.0 (0.0) 1\n", "\n(anonymous namespace)::refill(int_reader*) "})
        EXPECT_TRUE(has(llist, line)) << line << llist;
    EXPECT_FALSE(has(llist, "spontaneous"));

    // Within a cycle, and to itself, gprof gives calls and no time.
    std::string cycle = in_short(slurp(fixture("gprof_cycle.txt")));
    for (const char *line : {"\nis_odd <cycle 1> 44.7 (0.0) 153000\n", "\nis_even <cycle 1>>is_odd <cycle 1> - 150000\n",
                             "\nfact 10.5 (0.0) 3000+33000\n", "\nfact>fact - 33000\n", "\nidle 0.0 (0.0) 3000\n"})
        EXPECT_TRUE(has(cycle, line)) << line << cycle;
    EXPECT_FALSE(has(cycle, "as a whole"));

    // A function's own share is its flat profile row's % time, not one
    // worked out from the call graph's rounded seconds; of two static
    // functions of one name, each has its own row, and its file.
    std::string text = slurp(fixture("gprof_main_llist.txt"));
    text.replace(text.find(" 65.21 "), 7, " 61.49 ");
    EXPECT_TRUE(has(in_short(text), "\nBST_insert 65.2 (61.5) 1000000\n")) << in_short(text);
    std::string statics_text = slurp(fixture("gprof_statics.txt"));
    const std::string rows[2] = {" 75.12      0.93     0.93", " 25.04      1.24     0.31"};
    std::string swapped = statics_text; // the flat profile's rows in the other order
    swapped.replace(swapped.find(rows[0]), rows[0].size(), rows[1]).replace(swapped.rfind(rows[1]), rows[1].size(), rows[0]);
    for (const std::string &text_of_statics : {statics_text, swapped}) {
        std::string shown = in_short(text_of_statics);
        EXPECT_TRUE(has(shown, "\ncompute 75.0 (75.0) 40\nrun_b 75.0 (0.0) 1\ncompute 25.0 (25.0) 40\n")) << shown;
    }
    profile statics = read_ok(statics_text);
    ASSERT_EQ(statics.functions.size(), 5u);
    EXPECT_EQ(statics.functions[1].file + " " + statics.functions[3].file, "a2.c a1.c");
    std::string dot = dot_of_all(draw(nullptr, statics, false));
    EXPECT_TRUE(has(dot, "[label=\"compute\\na1.c\\n25.0 % (25.0 %)\\n40 calls\"")) << dot;
    EXPECT_TRUE(has(dot, "[label=\"run_a\\n25.0 % (0.0 %)\\n1 call\"")) << dot;
}

// Profiles refused, and what for: the line and what is wrong.
TEST(gprof_dot, RefusesProfilesThatArentWholeCallGraphs)
{
    const std::string text = slurp(fixture("gprof_cycle.txt"));
    auto spoilt = [&](const std::string &from, const std::string &to) {
        std::string bad = text;
        std::size_t at = bad.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return bad.replace(at, from.size(), to);
    };
    const std::string granularity = "granularity: each sample hit covers 2 byte(s) for 3.99% of 0.25 seconds";
    const std::pair<std::string, std::string> refusals[] = {
        {spoilt("[6]     10.5", "[6]   0x1p10"), "line 46: not a number: 0x1p10"},
        {spoilt("[6]     10.5", "[6]    110.5"), "line 46: more than all of the time: 110.5"},
        {spoilt("100.16      0.25", "140.41      0.25"), "line 6: more than all of the time: 140.41"},
        {spoilt("fact [6]\n-----", "fact [4294967297]\n-----"), "line 48: index out of range: [4294967297]"},
        {spoilt("[7]      0.0    0.00    0.00    3000         idle [7]",
                "[6]      0.0    0.00    0.00    3000         idle [6]"), "line 51: a second entry for [6]"},
        {spoilt("                0.00    0.00    3000/3000        idle [7]",
                "                0.00    0.00    3000/3000        idle [9]"), "a call to [9], which has no entry"},
        {spoilt(granularity, ""), "line 17: no \"granularity:\" line before the call graph: the run's total time is missing"},
        {spoilt(granularity, "granularity: each sample hit covers 2 byte(s)"), "line 15: no total time"},
        {spoilt("[6]     10.5    0.00    0.03", "[6]     10.5    0.00    9.03"), "line 46: more than the run's total time of [6]"},
        {spoilt("                0.00    0.03    3000/3000        fact [6]",
                "                0.00    3.03    3000/3000        fact [6]"), "line 26: a call that takes more than the run's total time"},
        {spoilt("Index by function name", ""), "ends inside the call graph: the profile is cut short"},
        {"Flat profile:\n", "holds no call graph of gprof -b"},
        {text.substr(0, text.size() - 1), "line 57: a line without its newline: the file is cut short"},
        {text.substr(0, text.find("Index by function name") + 5), "line 54: a line without its newline: the file is cut short"},
        {"", "line 1: an empty file, which holds no profile"},
    };
    for (const auto &[profile_text, what] : refusals) {
        profile p;
        std::string error;
        EXPECT_EQ(read_text(profile_text, &p, &error), 2) << what;
        EXPECT_EQ(error, what);
    }
}

// Which functions and calls are drawn: those over the thresholds, with
// callees or on their own, and for a drawn function left without a drawn
// caller, its heaviest caller, and so on up; a function that has a drawn
// caller gains no other.
TEST(gprof_dot, KeepsTheHeaviestCallerOfAFunctionLeftWithoutOne)
{
    // main calls a (4 %, under the 5 % drawn) and b (10 %), and both call
    // hot (7 %): a with 0.40 s, b with 0.30 s (3 %, drawn) or 0.20 s (2 %,
    // not drawn, so that hot would be left without a caller).
    auto profile_text = [](const char *b_to_hot) {
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
        profile p = read_ok(text);
        drawing d = draw(nullptr, p, false);
        chosen c = choose(d, 5, 3);
        std::vector<std::pair<std::size_t, std::size_t>> arcs;
        for (std::size_t a : c.arcs)
            arcs.emplace_back(d.arcs[a].caller, d.arcs[a].callee);
        return std::make_pair(c.functions, arcs);
    };
    using arcs = std::vector<std::pair<std::size_t, std::size_t>>;
    auto kept = drawn_of(profile_text("0.30"));
    EXPECT_EQ(kept.first, (std::set<std::size_t>{0, 2, 3}));
    EXPECT_EQ(kept.second, (arcs{{0, 2}, {2, 3}}));
    auto rescued = drawn_of(profile_text("0.20"));
    EXPECT_EQ(rescued.first, (std::set<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(rescued.second, (arcs{{0, 1}, {0, 2}, {1, 3}}));

    // Of two callers that weigh the same, the one of more calls: a and b
    // (5 % each, not drawn at 6 %) give hot (6 %) 3 % each, a in one call,
    // b, the later, in five.
    profile tie = read_ok("events: Ir\nfn=main\n0 90\ncfn=a\ncalls=1 0\n0 5\ncfn=b\ncalls=1 0\n0 5\nfn=a\n0 2\ncfn=hot\n"
                          "calls=1 0\n0 3\nfn=b\n0 2\ncfn=hot\ncalls=5 0\n0 3\nfn=hot\n0 6\ntotals: 100\n");
    drawing d = draw(nullptr, tie, false);
    chosen c = choose(d, 6, 4);
    EXPECT_EQ(c.functions, (std::set<std::size_t>{0, 2, 3}));
    arcs tie_arcs;
    for (std::size_t a : c.arcs)
        tie_arcs.emplace_back(d.arcs[a].caller, d.arcs[a].callee);
    EXPECT_EQ(tie_arcs, (arcs{{0, 2}, {2, 3}}));
}

// The format's features, a row each, with the figures worked out by hand:
// main's 20 and calls of 400 and 400; func1's 100 and a call of 300;
// func2's 700; 820 in all (the format's own extended example).
TEST(gprof_dot, ReadsEachFeatureOfCallgrindsFormat)
{
    const std::string example = "fl=file1.c\nfn=main\n16 20\ncfn=func1\ncalls=1 50\n16 400\ncfi=file2.c\n"
                                "cfn=func2\ncalls=3 20\n16 400\nfn=func1\n51 100\ncfi=file2.c\ncfn=func2\n"
                                "calls=2 20\n51 300\nfl=file2.c\nfn=func2\n20 700\ntotals: 820\n";
    const std::string figures = "main 100.0 (2.4) 0\nfunc1 48.8 (12.2) 1\nfunc2 85.4 (85.4) 5\n"
                                "main>func1 48.8 1\nmain>func2 48.8 3\nfunc1>func2 36.6 2\n";
    struct row {
        std::string feature, text, event, want;
    };
    const row rows[] = {
        {"calls and inclusive costs", "# callgrind format\nevents: Instructions\n" + example, "", figures},
        {"names defined ahead of any cost, under another file: no function of their own",
         "events: Instructions\nfl=(1) file1.c\nfl=(2) file2.c\nfn=(1) main\nfn=(2) func1\nfn=(3) func2\nfl=(1)\nfn=(1)\n"
         "16 20\ncfn=(2)\ncalls=1 50\n16 400\ncfi=(2)\ncfn=(3)\ncalls=3 20\n16 400\nfn=(2)\n51 100\ncfi=(2)\ncfn=(3)\n"
         "calls=2 20\n51 300\nfl=(2)\nfn=(3)\n20 700\ntotals: 820\n",
         "", figures},
        {"compressed names, comments and blank lines",
         "events: Instructions\n# names first\nfl=(1) file1.c\nfl=(2) file2.c\n\nfn=(1) main\n16 20\ncfn=(2) func1\n"
         "calls=1 50\n16 400\ncfi=(2)\ncfn=(3) func2\ncalls=3 20\n16 400\nfn=(2)\n51 100\ncfi=(2)\ncfn=(3)\n"
         "calls=2 20\n51 300\nfl=(2)\nfn=(3)\n20 700\ntotals: 820\n",
         "", figures},
        {"one name in two objects, cob= for one call only",
         "events: Ir\nob=(1) /bin/a\nfn=(1) main\n0 10\ncob=(2) /lib/b.so\ncfn=(2) f\ncalls=1 0\n0 30\ncfn=(2)\n"
         "calls=2 0\n0 60\nfn=(2)\n0 60\nob=(2)\nfn=(2)\n0 30\ntotals: 100\n",
         "", "main@/bin/a 100.0 (10.0) 0\nf@/lib/b.so 30.0 (30.0) 1\nf@/bin/a 60.0 (60.0) 2\n"
             "main@/bin/a>f@/lib/b.so 30.0 1\nmain@/bin/a>f@/bin/a 60.0 2\n"},
        {"subpositions: instr and line, +, -, *, hex",
         "positions: instr line\nevents: Ir\nfn=f\n0x10 5 3\n+3 * 4\n-1 +1 2\n* -1 1\n0xA0 7 0x0a\ntotals: 20\n", "",
         "f 100.0 (100.0) 0\n"},
        {"jumps and the lines that follow them",
         "positions: instr line\nevents: Ir\nfn=f\n0x10 5 4\njump=3 +2 *\n+2 *\njcnd=1/2 +3 +1\n* *\n+3 +1 6\n"
         "totals: 10\n", "", "f 100.0 (100.0) 0\n"},
        {"--event, and fewer counts than events",
         "events: Ir Dr\nfn=main\n1 10 4\ncfn=f\ncalls=1 1\n1 90\nfn=f\n1 90\ntotals: 100 4\n", "Dr",
         "main 100.0 (100.0) 0\nf 0.0 (0.0) 1\nmain>f 0.0 1\n"},
        {"event: lines, summary:, totals: and parts whose costs add up, names kept across parts",
         "version: 1\ncreator: callgrind\npart: 1\nevent: Ir : Instruction Fetches\nevents: Ir\nsummary: 10\n"
         "fn=(1) main\n0 10\ntotals: 10\npart: 2\nevents: Ir\nsummary: 30\nfn=(1)\n0 10\ncfn=(2) f\ncalls=1 0\n0 20\n"
         "fn=(2)\n0 20\ntotals: 30\n",
         "", "main 100.0 (50.0) 0\nf 50.0 (50.0) 1\nmain>f 50.0 1\n"},
        {"direct recursion by levels: f'2 merged into f, its calls nested",
         "events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 90\nfn=f\n0 30\ncfn=f'2\ncalls=1 0\n0 60\nfn=f'2\n0 30\n"
         "cfn=f'2\ncalls=1 0\n0 30\nfn=f'2\n0 30\ntotals: 100\n",
         "", "main 100.0 (10.0) 0\nf 90.0 (90.0) 1+2\nmain>f 90.0 1\nf>f 60.0 2\n"},
        {"mutual recursion by levels",
         "events: Ir\nfn=main\n0 10\ncfn=a\ncalls=1 0\n0 90\nfn=a\n0 10\ncfn=b\ncalls=1 0\n0 80\nfn=b\n0 20\ncfn=a'2\n"
         "calls=1 0\n0 60\nfn=a'2\n0 20\ncfn=b'2\ncalls=1 0\n0 40\nfn=b'2\n0 40\ntotals: 100\n",
         "", "main 100.0 (10.0) 0\na 90.0 (30.0) 2\nb 80.0 (60.0) 2\nmain>a 90.0 1\na>b 80.0 2\nb>a 60.0 1\n"},
        {"mutual recursion without levels: at most the pair's cost, from the calls into it",
         "events: Ir\nfn=main\n0 10\ncfn=a\ncalls=1 0\n0 90\nfn=a\n0 30\ncfn=b\ncalls=2 0\n0 120\nfn=b\n0 60\n"
         "cfn=a\ncalls=1 0\n0 60\ntotals: 100\n",
         "", "main 100.0 (10.0) 0\na <=90.0 (30.0) 2\nb <=90.0 (60.0) 2\nmain>a 90.0 1\na>b 90.0 2\nb>a 60.0 1\n"},
        {"direct recursion without levels (--separate-recs=1)",
         "events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 90\nfn=f\n0 90\ncfn=f\ncalls=2 0\n0 90\ntotals: 100\n", "",
         "main 100.0 (10.0) 0\nf 90.0 (90.0) 1+2\nmain>f 90.0 1\nf>f 90.0 2\n"},
        {"a thread's start: its calls out cost more than the call into it",
         "events: Ir\nfn=main\n0 10\ncfn=clone\ncalls=1 0\n0 5\nfn=clone\n0 5\ncfn=start_thread\ncalls=1 0\n0 85\n"
         "fn=start_thread\n0 85\ntotals: 100\n",
         "", "main 15.0 (10.0) 0\nclone 90.0 (5.0) 1\nstart_thread 85.0 (85.0) 1\nmain>clone 5.0 1\n"
             "clone>start_thread 85.0 1\n"},
        {"without levels, a function that starts a thread running itself is no group with it",
         "events: Ir\nfn=main\n0 10\ncfn=sort\ncalls=1 0\n0 50\nfn=sort\n0 89\ncfn=clone\ncalls=1 0\n0 1\n"
         "fn=clone\n0 1\ncfn=sort\ncalls=1 0\n0 40\ntotals: 100\n",
         "", "main 60.0 (10.0) 0\nsort 90.0 (89.0) 2\nclone 41.0 (1.0) 1\nmain>sort 50.0 1\nsort>clone 1.0 1\n"
             "clone>sort 40.0 1\n"},
        {"summary: below totals: (a signal handler's costs, on no call stack): the run is totals:",
         "events: Ir\nsummary: 100\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 90\nfn=f\n0 90\nfn=handler\n0 20\ntotals: 120\n",
         "", "main 83.3 (8.3) 0\nf 75.0 (75.0) 1\nhandler 16.7 (16.7) 0\nmain>f 75.0 1\n"},
        {"a function that costs more on its own than its calls say (entered by a jump) counts its own",
         "events: Ir\nfn=main\n0 10\ncfn=g\ncalls=1 0\n0 5\nfn=g\n0 50\ntotals: 60\n", "",
         "main 25.0 (16.7) 0\ng 83.3 (83.3) 1\nmain>g 8.3 1\n"},
        {"static functions of one name in two files, and CRLF line ends",
         "events: Ir\r\nfl=m.c\r\nfn=main\r\n0 10\r\ncfi=a.c\r\ncfn=check\r\ncalls=1 0\r\n0 30\r\ncfi=b.c\r\n"
         "cfn=check\r\ncalls=1 0\r\n0 60\r\nfl=a.c\r\nfn=check\r\n0 30\r\nfl=b.c\r\nfn=check\r\n0 60\r\ntotals: 100\r\n",
         "", "main 100.0 (10.0) 0\ncheck 30.0 (30.0) 1\ncheck 60.0 (60.0) 1\nmain>check 30.0 1\nmain>check 60.0 1\n"},
    };
    for (const row &r : rows)
        EXPECT_EQ(in_short(r.text, r.event), r.want) << r.feature;
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
        {"events: Ir\nfn=f\ncfn=g\ncalls=\n", "line 4: an empty count"},
        {"events: Ir\nfn=f\n1 18446744073709551616\n", "line 3: a number past 64 bits: 18446744073709551616"},
        {"events: Ir\nfn=f\n1 18446744073709551615\n+1 1\n", "line 4: costs that add up past 64 bits"},
        {"events: Ir\nfn=f\ncfn=g\ncalls=1 0\nfn=g\n", "line 5: calls= on line 4 has no cost line after it"},
        {"events: Ir\nfn=f\ncfn=g\ncalls=1 0\n", "line 4: calls= on line 4 has no cost line after it"},
        {"events: Ir Dr\nfn=f\n1 2\n", "line 1: no event DLmr in this profile, whose events are: Ir Dr"},
        {"events: Ir\nfn=f\n0 10\n", "line 3: no totals: line at the end of the part: the profile is cut short"},
        {"events: Ir\nsummary: 10\nfn=f\n0 10\n", "line 4: no totals: line at the end of the part: the profile is cut short"},
        {"events: Ir\nfn=f\n0 10\ntotals: 11\n", "line 4: the costs of Ir add up to 10, not the 11 of its totals: line"},
        {"events: Ir\nfn=f\n0 10\ntotals: 10\npart: 2\nfn=f\n0 5\n",
         "line 7: no totals: line at the end of the part: the profile is cut short"},
        {"events: Ir\nfn=f\n0 10\ntotals: 10\npart: 2\n", "line 5: no totals: line at the end of the part: the profile is cut short"},
        {"events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 900\nfn=f\n0 90\ntotals: 100\n",
         "main with its callees costs 910 of Ir, more than the run's 100"},
        {"events: Ir\ntotals: 0\n", "holds no function"},
        {"events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 18446744073709551615\ncfn=f\ncalls=1 0\n"
         "0 18446744073709551615\nfn=f\n0 90\ntotals: 100\n",
         "main with its callees costs 36893488147419103232 of Ir, more than the run's 100"},
        {"events: Ir\nfn=f\n0 10\ntotals: 10", "line 4: a line without its newline: the file is cut short"},
        {"events: Ir\nfn=f\n0 1", "line 3: a line without its newline: the file is cut short"},
        {"version: 1\nsummary: 10\n", "line 2: summary: before any events: line"},
    };
    for (const auto &[text, why] : refusals)
        EXPECT_EQ(in_short(text, why.find("DLmr") != std::string::npos ? "DLmr" : ""), "error: " + why) << text;
}

// fixtures/callgrind_twin.out: valgrind --tool=callgrind (default options)
// of fixtures/callgrind_twin/prog.c, which has direct (fact) and mutual
// (is_even, is_odd) recursion, calls malloc, and has a function twin of its
// own besides libtwin.so's. Each figure worked out from the file's lines:
// 382,250 instructions in all. fixtures/callgrind_threads.out: a sort that
// runs in two threads, the second started from within itself, so that its
// calls loop through the thread's start; callgrind_annotate --inclusive=yes
// gives its figures (8,933,844 instructions). fixtures/callgrind_exit.out:
// a program that ends inside a system call (fixtures/callgrind_exit/exit.c),
// under --cache-sim=yes: its summary: counts the last two instructions,
// which no cost line and so no totals: holds.
TEST(gprof_dot, TheFiguresOfRealCallgrindProfiles)
{
    std::string text = slurp(fixture("callgrind_twin.out"));
    std::string got = in_short(text);
    auto share = [](double cost, double total = 382250) {
        char s[32];
        std::snprintf(s, sizeof s, "%.1f", 100 * cost / total);
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
    profile p = read_ok(text);
    hide_functions(&p, RE2("libc\\.so"));
    std::string hidden = in_short(draw(nullptr, p, false));
    EXPECT_TRUE(has(hidden, "\ntwin@/tmp/fx/libtwin.so " + share(112420) + " (" + share(93408 + 8808 + 8800) + ") 100\n"))
        << hidden;
    EXPECT_FALSE(has(hidden, "\nmalloc@"));

    // The run's cost is the larger figure, summary:'s 614, which the call
    // into end holds; the 612 of totals: would have (below main) cost more
    // than the run.
    EXPECT_EQ(in_short(slurp(fixture("callgrind_exit.out"))),
              "work@/tmp/fx/exit 98.9 (98.9) 1\n(below main)@/tmp/fx/exit 100.0 (0.8) 0\nend@/tmp/fx/exit 0.3 (0.0) 1\n"
              "(below main)@/tmp/fx/exit>work@/tmp/fx/exit 98.9 1\n(below main)@/tmp/fx/exit>end@/tmp/fx/exit 0.3 1\n");

    // Each thread's sort counts, through the thread's start as from main.
    std::string threads = in_short(slurp(fixture("callgrind_threads.out")));
    for (const auto &[name, cost] : {std::make_pair("sort_rec", 8245920), {"sort_job", 4873097}, {"main", 3936136},
                                     {"start_thread", 4873363}}) {
        std::regex line("\n" + std::string(name) + "@[^ ]* " + share(cost, 8933844) + " ");
        EXPECT_TRUE(std::regex_search(threads, line)) << name << " " << share(cost, 8933844) << threads;
    }
}

// perf script's text: fixtures/perf_threads_dwarf.txt and _fp.txt are perf
// record --call-graph dwarf, and fp with two events, of the threaded sort of
// fixtures/callgrind_threads; perf report --children --sort dso,sym gives
// the figures. Small samples show each rule of the reading.
TEST(gprof_dot, ReadsPerfScriptsText)
{
    const std::pair<std::string, std::vector<std::string>> runs[] = {
        {"perf_threads_dwarf.txt", {"sort_rec@/tmp/fx/threads 94.6 (94.6) 0", "main@/tmp/fx/threads 55.7 (2.7) 0",
                                    "sort_job@/tmp/fx/threads 44.3 (0.0) 0", "clone3@/usr/lib/x86_64-linux-gnu/libc.so.6 44.3 (0.0) 0",
                                    "exc_page_fault@[kernel.kallsyms] 2.2 (0.5) 0"}},
        {"perf_threads_fp.txt", {"main@/tmp/fx/threads 95.6 (95.6) 0", // page-faults, the file's first event
                                 "strcmp@/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 3.2 (3.2) 0"}},
    };
    for (const auto &[file, lines] : runs) {
        std::string shown = "\n" + in_short(slurp(fixture(file)));
        for (const std::string &line : lines)
            EXPECT_TRUE(has(shown, "\n" + line + "\n")) << file << ": " << line << shown;
    }
    std::string cpu = "\n" + in_short(slurp(fixture("perf_threads_fp.txt")), "cpu-clock");
    for (const char *line : {"\nsort_rec@/tmp/fx/threads 93.4 (93.4) 0\n", "\nsort_job@/tmp/fx/threads 43.2 (0.0) 0\n",
                             "\nexc_page_fault@[kernel.kallsyms] 6.0 (1.1) 0\n"})
        EXPECT_TRUE(has(cpu, line)) << line << cpu;

    // A command with blanks, pid/tid and [cpu], an event's modifiers, a
    // symbol with blanks and parentheses; recursion and a repeated arc
    // counted once a stack; an inlined frame in the object of the frame at
    // its address, or in [unknown] where perf left that out; the [unknown]
    // frames of one object one function.
    const std::string samples =
        "my prog 10/11 [001] 5.000001: 3 cpu-clock:ppp: \n"
        "\t  10 f(int, char)+0x4 (/bin/a)\n\t  20 f(int, char)+0x8 (/bin/a)\n\t  30 main+0x1 (/bin/a)\n\n"
        "my prog 10/12 [000] 5.000002: 1 cpu-clock:ppp: \n"
        "\t  40 g+0x2 (inlined)\n\t  40 h+0x2 (/lib/b.so)\n\t  50 k+0x1 (inlined)\n\t  30 main+0x1 (/bin/a)\n\n"
        "my prog 10/12 [000] 5.000003: 1 page-faults: \n\t  60 [unknown] (/lib/b.so)\n\t  70 [unknown] (/lib/b.so)\n\n";
    EXPECT_EQ(in_short(samples), "main@/bin/a 100.0 (0.0) 0\nf(int, char)@/bin/a 75.0 (75.0) 0\nk@[unknown] 25.0 (0.0) 0\n"
                                 "h@/lib/b.so 25.0 (0.0) 0\ng@/lib/b.so 25.0 (25.0) 0\nmain@/bin/a>f(int, char)@/bin/a 75.0 0\n"
                                 "f(int, char)@/bin/a>f(int, char)@/bin/a 75.0 0\nmain@/bin/a>k@[unknown] 25.0 0\n"
                                 "k@[unknown]>h@/lib/b.so 25.0 0\nh@/lib/b.so>g@/lib/b.so 25.0 0\n");
    EXPECT_EQ(in_short(samples, "page-faults"), "[unknown]@/lib/b.so 100.0 (100.0) 0\n[unknown]@/lib/b.so>[unknown]@/lib/b.so 100.0 0\n");
    const std::pair<std::string, std::string> refusals[] = {
        {samples.substr(0, samples.size() - 1), "line 14: the last sample has no blank line after it: the file is cut short"},
        {samples.substr(0, samples.size() - 12), "line 14: a line without its newline: the file is cut short"},
        {samples + "\t  10 f+0x4 (/bin/a)\n", "line 16: a frame outside a sample"},
        {samples + "my prog 10/11 [001] 5.000004: 3 cpu-clock: \n\t 10 f+0x4 /bin/a\n\n",
         "line 17: not a frame of perf script's stack: ADDRESS SYMBOL (OBJECT)"},
        {samples + "nonsense\n", "line 16: not a sample's header of perf script: COMMAND PID TIME: PERIOD EVENT:"},
    };
    for (const auto &[text, why] : refusals)
        EXPECT_EQ(in_short(text), "error: " + why) << text;
    EXPECT_EQ(in_short(samples, "task-clock"), "error: no event task-clock in this profile, whose events are: cpu-clock:ppp page-faults");
    // Two perf runs compare as the others do: the arcs show no calls.
    profile base = read_ok(samples), now = read_ok(slurp(fixture("perf_threads_dwarf.txt")));
    drawing d = draw(&base, now, false);
    std::string dot = dot_of_all(d);
    EXPECT_TRUE(has(dot, "[label=\"main\\na\\n-100.0 % (+0.0 %)\\ngone: was 100.0 %\"")) << dot;
    EXPECT_FALSE(has(dot, "\u00d7")) << dot;
    drawable(dot);
}

// What real perf runs hold: samples printed without frames (counted in
// the total, in no function), a cut inside a frame's leading blanks, a
// deleted object, one event under two modifiers, a run without -g (the
// command padded, the one frame on the header line), a "+0x" inside a
// symbol, and an arc twice in one stack.
TEST(gprof_dot, ReadsWhatRealPerfRunsHold)
{
    const std::string frameless = "cc1plus 7/7 1.000001: 3 cpu-clock: \n\t  10 f+0x4 (/bin/cc)\n\n"
                                  "cc1plus 7/7 1.000002: 1 cpu-clock: \n\n";
    EXPECT_EQ(in_short(frameless), "f@/bin/cc 75.0 (75.0) 0\n");
    EXPECT_EQ(in_short(frameless + "cc1plus 7/7 1.000003: 1 cpu-clock: \n\t  10 f+0x4 (/bin/cc)\n\t  "),
              "error: line 8: a line without its newline: the file is cut short");
    EXPECT_EQ(in_short("prog 1 1.0: 1 cpu-clock: \n\t 10 main+0x1 (/tmp/prog (deleted))\n"
                       "\t 20 main+0x9 (/tmp/prog (deleted))\n\t 30 [unknown] (/tmp/prog (deleted))\n\n"),
              "[unknown]@/tmp/prog (deleted) 100.0 (0.0) 0\nmain@/tmp/prog (deleted) 100.0 (100.0) 0\n"
              "[unknown]@/tmp/prog (deleted)>main@/tmp/prog (deleted) 100.0 0\nmain@/tmp/prog (deleted)>main@/tmp/prog (deleted) 100.0 0\n");
    const std::string two = "w 1 1.0: 3 cpu-clock: \n\t 10 work+0x1 (/bin/w)\n\n"
                            "w 1 1.1: 1 cpu-clock:u: \n\t 20 rest+0x1 (/bin/w)\n\n"
                            "w 1 1.2: 1 cpu-clock:u: \n\t 10 work+0x1 (/bin/w)\n\n";
    EXPECT_EQ(in_short(two), "work@/bin/w 100.0 (100.0) 0\n");
    EXPECT_EQ(in_short(two, "cpu-clock:u"), "rest@/bin/w 50.0 (50.0) 0\nwork@/bin/w 50.0 (50.0) 0\n");
    EXPECT_EQ(in_short(two, "cpu-clock:ppp"), "error: no event cpu-clock:ppp in this profile, whose events are: cpu-clock cpu-clock:u");
    profile p = read_ok(two, "cpu-clock:u");
    EXPECT_EQ(p.cost, "cpu-clock:u");
    EXPECT_EQ(read_ok(frameless).cost, "cpu-clock");
    EXPECT_EQ(in_short("         my prog 10 [000] 1.000001:    3 cpu-clock:ppp:  10 f+0x1 (/bin/a)\n"
                       "         my prog 10 [000] 1.000002:    1 cpu-clock:ppp:  20 g+0x1 (/bin/a)\n"),
              "f@/bin/a 75.0 (75.0) 0\ng@/bin/a 25.0 (25.0) 0\n");
    EXPECT_EQ(in_short("p 1 1.0: 1 cpu-clock: \n\t 10 operator+0xzz (/bin/p)\n\t 20 t<+0x1f>+0x2 (/bin/p)\n\n"),
              "t<+0x1f>@/bin/p 100.0 (0.0) 0\noperator+0xzz@/bin/p 100.0 (100.0) 0\nt<+0x1f>@/bin/p>operator+0xzz@/bin/p 100.0 0\n");
    // f calls g calls f calls g: the arc f > g is in the stack twice, and
    // counts once.
    EXPECT_EQ(in_short("p 1 1.0: 2 cpu-clock: \n\t 1 g+0x1 (/b)\n\t 2 f+0x1 (/b)\n\t 1 g+0x1 (/b)\n\t 2 f+0x1 (/b)\n\n"
                       "p 1 1.1: 2 cpu-clock: \n\t 2 f+0x1 (/b)\n\n"),
              "f@/b 100.0 (50.0) 0\ng@/b 50.0 (50.0) 0\nf@/b>g@/b 50.0 0\ng@/b>f@/b 50.0 0\n");
}

// Two runs compared: base has main (10), f (70) and h (20), 100 in all;
// the new run main (10), f (340, called twice) and g (50), 400 in all.
TEST(gprof_dot, ComparesTwoRuns)
{
    profile base = read_ok("events: Ir\nfn=main\n0 10\ncfn=f\ncalls=1 0\n0 70\ncfn=h\ncalls=1 0\n0 20\nfn=f\n0 70\n"
                           "fn=h\n0 20\ntotals: 100\n");
    profile now = read_ok("events: Ir\nfn=main\n0 10\ncfn=f\ncalls=2 0\n0 340\ncfn=g\ncalls=1 0\n0 50\nfn=f\n0 340\n"
                          "fn=g\n0 50\ntotals: 400\n");
    // In shares of the base's 100: the new run's figures count four times,
    // and an arrow's change is whole, past 100 %.
    drawing d = draw(&base, now, false);
    EXPECT_EQ(in_short(d), "main +300.0 (+0.0) 100.0 0 100.0 0\nf +270.0 (+270.0) 70.0 1 85.0 2\n"
                           "h -20.0 (-20.0) 20.0 1 -\ng +50.0 (+50.0) - 12.5 1\nmain>f +270.0 1 2\nmain>h -20.0 1 -\n"
                           "main>g +50.0 - 1\n");
    // Each change is worked out in one division: (1099 - 202) / 368 is
    // +243.75 %, not the +243.74999999999997 of two shares' difference.
    profile small = read_ok("events: Ir\nfn=main\n0 166\ncfn=f\ncalls=1 0\n0 202\nfn=f\n0 202\ntotals: 368\n");
    profile grown = read_ok("events: Ir\nfn=main\n0 1\ncfn=f\ncalls=1 0\n0 1099\nfn=f\n0 1099\ntotals: 1100\n");
    EXPECT_TRUE(has(dot_of_all(draw(&small, grown, false)), "[label=\"f\\n+243.8 % (+243.8 %)\\n"));
    // Normalized, the changes of the shares.
    EXPECT_EQ(in_short(draw(&base, now, true)),
              "main +0.0 (-7.5) 100.0 0 100.0 0\nf +15.0 (+15.0) 70.0 1 85.0 2\nh -20.0 (-20.0) 20.0 1 -\n"
              "g +12.5 (+12.5) - 12.5 1\nmain>f +15.0 1 2\nmain>h -20.0 1 -\nmain>g +12.5 - 1\n");
    // The drawing: thresholds on the size of the change, both totals in
    // the title, red for growth, blue for shrinkage, new and gone.
    std::string dot = dot_of(d, choose(d, 30, 30), 30);
    EXPECT_TRUE(has(dot, "base: 100 Ir, new: 400 Ir, new / base = 4.0000")) << dot;
    EXPECT_TRUE(has(dot, "[label=\"f\\n+270.0 % (+270.0 %)\\n70.0 % \u2192 85.0 %\\n2 calls\", fillcolor=\"0.000 ")) << dot;
    EXPECT_TRUE(has(dot, "f0 -> f1 [label=\"+270.0 %\\n1\u00d7 \u2192 2\u00d7\"")) << dot;
    EXPECT_TRUE(has(dot, "[label=\"g\\n+50.0 % (+50.0 %)\\nnew: 12.5 %\\n1 call\"")) << dot;
    EXPECT_FALSE(has(dot, "\"h\\n")) << dot; // a change of 20 %
    dot = dot_of_all(d);
    EXPECT_TRUE(has(dot, "[label=\"h\\n-20.0 % (-20.0 %)\\ngone: was 20.0 %\\n1 call\", fillcolor=\"0.620 ")) << dot;
    drawable(dot);
    // A function whose own cost changed by the threshold is drawn, though
    // its cost with callees and each callee's changed less.
    auto run = [](int own) {
        std::string c = std::to_string((100 - own) / 3), text = "events: Ir\nfn=main\ncfn=a\ncalls=1 0\n0 100\nfn=a\n0 " +
                                                              std::to_string(own) + "\n";
        for (const char *callee : {"c1", "c2", "c3"})
            text += "cfn=" + std::string(callee) + "\ncalls=1 0\n0 " + c + "\nfn=" + callee + "\n0 " + c + "\nfn=a\n";
        return read_ok(text + "totals: 100\n");
    };
    profile moved = run(10), back = run(40);
    EXPECT_EQ(choose(draw(&moved, back, false), 25, 25).functions, (std::set<std::size_t>{0, 1}));
}

// Functions match across runs whatever their gprof cycle's number, two of
// one key in a run stay apart, told by their folders, and the title and
// labels cut text only between characters.
TEST(gprof_dot, MatchesFunctionsAcrossRunsWithoutMerging)
{
    profile first = read_ok(slurp(fixture("gprof_cycles_1.txt"))), second = read_ok(slurp(fixture("gprof_cycles_2.txt")));
    std::string compared = in_short(draw(&first, second, false));
    EXPECT_TRUE(has(compared, "\nparse_factor <cycle 2> -18.5 (-18.5) 52.3 1000000 46.8 500000\n")) << compared;
    EXPECT_FALSE(has(compared, "gone")) << compared;

    profile base = read_ok("events: Ir\nob=/a/lib.so\nfn=f\n0 30\nob=/b/lib.so\nfn=f\n0 70\ntotals: 100\n");
    profile now = read_ok("events: Ir\nob=/a/lib.so\nfn=f\n0 130\nob=/b/lib.so\nfn=f\n0 70\ntotals: 200\n");
    drawing d = draw(&base, now, false);
    EXPECT_EQ(in_short(d), "f@/a/lib.so +100.0 (+100.0) 30.0 0 65.0 0\nf@/b/lib.so +0.0 (+0.0) 70.0 0 35.0 0\n");
    std::string dot = dot_of_all(d);
    EXPECT_TRUE(has(dot, "[label=\"f\\n/a/lib.so\\n+100.0 %")) << dot;

    // Static functions of one name in two files, in two runs that differ
    // only in which is called first: each its own file's.
    auto twins = [](const char *one, const char *other) {
        std::string text = "events: Ir\nfl=m.c\nfn=main\n0 10\n";
        for (const char *file : {one, other})
            text += "cfi=" + std::string(file) + "\ncfn=init\ncalls=1 0\n0 " + (file[0] == 'n' ? "30" : "60") + "\n";
        for (const char *file : {one, other})
            text += "fl=" + std::string(file) + "\nfn=init\n0 " + (file[0] == 'n' ? "30" : "60") + "\n";
        return read_ok(text + "totals: 100\n");
    };
    profile net_first = twins("net/util.c", "db/util.c"), db_first = twins("db/util.c", "net/util.c");
    EXPECT_EQ(in_short(draw(&net_first, db_first, false)),
              "main +0.0 (+0.0) 100.0 0 100.0 0\ninit +0.0 (+0.0) 30.0 1 30.0 1\ninit +0.0 (+0.0) 60.0 1 60.0 1\n"
              "main>init +0.0 1 1\nmain>init +0.0 1 1\n");

    // gprof's static ping of a.c, in a cycle in the first run only, is one
    // box, with its file; without -g, gprof names no files, and the two
    // pings of each run are drawn unpaired, saying so.
    std::string pings[2] = {slurp(fixture("gprof_ping_1.txt")), slurp(fixture("gprof_ping_2.txt"))};
    profile ping_runs[2] = {read_ok(pings[0]), read_ok(pings[1])};
    compared = in_short(draw(&ping_runs[0], ping_runs[1], false));
    for (const char *line : {"\nping -56.4 (-56.4) 67.7 1800 11.3 300\n", "\nping +56.4 (+56.4) 32.3 40 88.7 40\n"})
        EXPECT_TRUE(has(compared, line)) << line << compared;
    EXPECT_FALSE(has(compared, "ping <cycle 1>")) << compared;
    EXPECT_TRUE(has(dot_of_all(draw(nullptr, ping_runs[0], false)), "[label=\"ping <cycle 1>\\na.c\\n67.7 %"));
    EXPECT_TRUE(has(dot_of_all(draw(&ping_runs[0], ping_runs[1], false)), "[label=\"ping\\na.c\\n-56.4 %")) << compared;
    for (std::string &text : pings)
        for (const char *file : {" (a.c)", " (b.c)"})
            for (std::size_t at; (at = text.find(file)) != std::string::npos;)
                text.replace(at, 6, "");
    profile without_files[2] = {read_ok(pings[0]), read_ok(pings[1])};
    std::string unpaired = dot_of_all(draw(&without_files[0], without_files[1], false));
    for (const char *box : {"\"ping <cycle 1>\\n67.7 % (67.7 %) of the base\\nnot paired: another of its name is in its run\\n1800 calls\"",
                            "\"ping\\n88.7 % (88.7 %) of the new run\\nnot paired", "\"ping\\n11.3 % (11.3 %) of the new run",
                            "\"ping\\n32.3 % (32.3 %) of the base", "\\n4 boxes not paired across the runs"})
        EXPECT_TRUE(has(unpaired, box)) << box << unpaired;

    std::string event = "x" + u8s(128); // 100 bytes end inside a character
    dot = dot_of_all(draw(nullptr, read_ok("events: " + event + "\nfn=f\n0 1\ntotals: 1\n"), false));
    EXPECT_TRUE(has(dot, "share of the run's " + event.substr(0, 99) + "\u2026 with callees")) << dot;
}

// --focus keeps the call paths through fact: its callers up to the root and
// its callees, with their shares of the whole run; same-named functions of
// one object in two files say their files.
TEST(gprof_dot, FocusAndTheFilesOfSameNamedFunctions)
{
    profile p = read_ok(slurp(fixture("callgrind_twin.out")));
    std::string before = in_short(draw(nullptr, p, false));
    focus_functions(&p, RE2("^fact$"));
    std::string after = "\n" + in_short(draw(nullptr, p, false));
    for (const char *kept : {"\nmain@/tmp/fx/prog ", "\nfact@/tmp/fx/prog "}) {
        std::size_t at = after.find(kept);
        ASSERT_NE(at, std::string::npos) << kept << after;
        EXPECT_TRUE(has("\n" + before, after.substr(at, after.find('\n', at + 1) - at + 1))) << kept;
    }
    EXPECT_FALSE(has(after, "is_even")) << after;

    // main calls M (100) and W (200), and M calls W (60): of the arcs, only
    // main -> M -> W goes through M, whose callees are kept with its callers.
    p = read_ok("events: Ir\nfn=main\n0 10\ncfn=M\ncalls=1 0\n0 100\ncfn=W\ncalls=1 0\n0 200\nfn=M\n0 40\ncfn=W\n"
                "calls=1 0\n0 60\nfn=W\n0 260\ntotals: 310\n");
    focus_functions(&p, RE2("^M$"));
    EXPECT_EQ(in_short(draw(nullptr, p, false)), "main 100.0 (3.2) 0\nM 32.3 (12.9) 1\nW 83.9 (83.9) 2\nmain>M 32.3 1\nM>W 19.4 1\n");

    // The same run as stacks (folded, or perf's) is focused exactly: the
    // samples whose stack holds M, in shares of the whole run.
    std::string folded = "main 10\nmain;M 40\nmain;M;W 60\nmain;W 200\n";
    std::FILE *in = fmemopen(folded.data(), folded.size(), "r");
    std::string error;
    profile stacks;
    ASSERT_EQ(read_profile(in, "", &stacks, &error, std::make_unique<RE2>("^M$").get()), 0) << error;
    std::fclose(in);
    EXPECT_TRUE(stacks.focused);
    drawing d = draw(nullptr, stacks, false);
    d.focused_stacks = true;
    EXPECT_EQ(in_short(d), "main 32.3 (0.0) 0\nM 32.3 (12.9) 0\nW 19.4 (19.4) 0\nmain>M 32.3 0\nM>W 19.4 0\n");
    EXPECT_TRUE(has(dot_of_all(d), "\\nonly the samples whose stack holds a function that --focus matches")) << dot_of_all(d);

    p = read_ok("events: Ir\nfl=m.c\nfn=main\n0 10\ncfi=a.c\ncfn=check\ncalls=1 0\n0 30\ncfi=b.c\ncfn=check\n"
                "calls=1 0\n0 60\nfl=a.c\nfn=check\n0 30\nfl=b.c\nfn=check\n0 60\ntotals: 100\n");
    std::string dot = dot_of_all(draw(nullptr, p, false));
    EXPECT_TRUE(has(dot, "\"check\\na.c\\n30.0 % (30.0 %)\\n1 call\"")) << dot;
    EXPECT_TRUE(has(dot, "\"main\\n100.0 % (10.0 %)\"")) << dot;
}

// gprof's text of 80,000 functions, each with its flat profile row, and
// called by main and by the one before it; returns its path. (Each entry's
// row was once found by a linear search: 18 s for this, 1 s now.)
std::string big_profile(const scratch_dir &scratch)
{
    std::string big = scratch / "big.txt";
    std::ofstream out(big);
    const int n = 80000;
    out << "Flat profile:\n\n  %   cumulative   self              self     total\n"
           " time   seconds   seconds    calls  ms/call  ms/call  name\n"
           "100.00    100.00   100.00        1   100.00   100.00  main\n";
    for (int i = 2; i <= n; i++)
        out << "  0.00    100.00     0.00        2     0.00     0.00  f" << i << "\n";
    out << "\n\t\t\tCall graph\n\n"
           "granularity: each sample hit covers 2 byte(s) for 0.01% of 100.00 seconds\n\n"
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
    const std::string good = fixture("gprof_cycle.txt");
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
    const std::string callgrind = fixture("callgrind_twin.out");
    std::string big = big_profile(scratch);
    std::ofstream(scratch / "empty.txt").close();
    const std::string err = "gprof_dot: ";
    const char *dot = "^digraph callgraph \\{\n";
    const limits from_good = stdin_from(good.c_str());
    run_cases(scratch, {
        {{tool, "--help"}, 0, "", "^usage: gprof_dot [^\n]*\\[PROFILE\\]\n$"},
        {{tool, good}, 0, "", dot},
        {{tool}, 0, "", dot, from_good},
        {{tool, "-"}, 0, "", dot, from_good},
        {{tool, crlf}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "[label=\"fact\\n10.5 % (0.0 %)\\n3000+33000 calls\"")) << out;
         }},
        {{tool, nan}, 2, err + ".*nan.txt: line 46: not a number: nan\n"},
        {{tool, cut}, 2, err + ".*cut.txt: ends inside the call graph: the profile is cut short\n"},
        {{tool, "-"}, 2, err + "standard input: ends inside the call graph: the profile is cut short\n", "",
         stdin_from(cut.c_str())},
        {{"/bin/sh", "-c", "(echo 'Flat profile:'; yes 0123456789012345678901234567890123456789) | head -c 270000000 | \"$0\"", tool}, 1,
         err + "standard input: larger than 256 MiB: not read\n"},
        {{tool, "/dev/zero"}, 2, err + "/dev/zero: line 1: a line longer than 16 MiB\n"},
        {{tool, "missing.txt"}, 1, err + "missing.txt: cannot open: No such file or directory\n"},
        {{tool, good}, 1, err + "write error: File too large\n", "", to_small_file},
        {{tool, "--node-threshold=nan", good}, 2, err + "--node-threshold takes a percentage: nan\n" + usage_line},
        {{tool, "--edge-threshold=100.5", good}, 2, err + "--edge-threshold takes a percentage: 100.5\n" + usage_line},
        {{tool, good, "extra"}, 2, err + "too many operands: extra\n" + usage_line},
        {{tool, fixture("gprof_no_time.txt")}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "no time propagated"));
             EXPECT_TRUE(has(out, "f1 -> f0 [label=\"0.0 %\\n10×\""));
         }},
        {{tool, "--base", fixture("gprof_no_time.txt"), good}, 2,
         err + ".*gprof_no_time.txt: counted no time, so there is nothing to compare with\n"},
        {{tool, "--event", "Ir", "--hide", "libc\\.so|^_dl", callgrind}, 0, "", dot, {}, [](const std::string &out) {
             EXPECT_TRUE(has(out, "share of the run's Ir with callees"));
             EXPECT_TRUE(has(out, "\"twin\\nlibtwin.so\\n"));
             EXPECT_FALSE(has(out, "malloc\\nlibc.so.6"));
             drawable(out);
         }},
        {{tool, "--event=Nope", callgrind}, 2,
         err + ".*callgrind_twin.out: line 17: no event Nope in this profile, whose events are: Ir\n"},
        {{tool, "--event=Ir", good}, 2, err + ".*gprof_cycle.txt: --event Ir: gprof's profile has time, not events\n"},
        {{tool, "--hide=(", good}, 2, err + "--hide \\(: missing \\): \\(\n" + usage_line},
        {{tool, "--focus=(.*)(.*)(.*)\\3\\2\\1x", good}, 2,
         err + "--focus \\(\\.\\*\\)\\(\\.\\*\\)\\(\\.\\*\\)\\\\3\\\\2\\\\1x: invalid escape sequence: \\\\3\n" + usage_line},
        {{tool, "--focus=^nothing$", good}, 2, err + "no function is left to draw by --focus \\^nothing\\$\n"},
        {{tool, "--hide=.", good}, 2, err + "no function is left to draw by --hide \\.\n"},
        {{tool, "--base", good, callgrind}, 2,
         err + ".*gprof_cycle.txt: gprof's profile of time, and .*callgrind_twin.out callgrind's one of Ir: a "
               "comparison needs two of one kind and cost\n"},
        {{tool, "--normalize", good}, 2, err + "--normalize needs --base\n" + usage_line},
        {{tool, "--base=-"}, 2, err + "--base and PROFILE can't both be standard input\n" + usage_line},
        {{tool, "--base", good, "--normalize", "--focus", "fact", "--node-threshold=0", good}, 0, "", dot, {},
         [](const std::string &out) {
             EXPECT_TRUE(has(out, "[label=\"fact\\n+0.0 % (+0.0 %) in the whole run\\n10.5 % \u2192 10.5 %\\n3000+33000 calls\""))
                 << out;
             EXPECT_TRUE(has(out, "\\nonly the call paths through a function that --focus matches: each figure is of "
                                  "the whole run, not of those paths alone\""));
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
         [](const std::string &out) {
             EXPECT_TRUE(has(out, "f79998 -> f79999 "));
             EXPECT_TRUE(has(out, "[label=\"main\\n100.0 % (100.0 %)\"")); // its flat row's own share
         }},
    });
}

// Out of memory, under a limit on its address space: one line and status
// 3; a pattern that would take gigabytes is refused within a few MiB.
TEST(gprof_dot, RunningOutOfMemory)
{
#ifdef MAIN_LLIST_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limits";
#endif
    scratch_dir scratch;
    run_cases(scratch, {
        {{GPROF_DOT_PATH, "--node-threshold=0", "--edge-threshold=0", big_profile(scratch)}, 3,
         "gprof_dot: .*big.txt: out of memory\n", "", memory_at_most(rlim_t{40} << 20)},
        {{GPROF_DOT_PATH, "--hide=(.*)(.*)[a-z]{1000}[0-9]{1000}", fixture("gprof_cycle.txt")}, 0, "",
         "^digraph callgraph", memory_at_most(rlim_t{64} << 20)},
        {{GPROF_DOT_PATH, "--focus=a{1000}{1000}{1000}", fixture("gprof_cycle.txt")}, 2,
         "gprof_dot: --focus a\\{1000\\}\\{1000\\}\\{1000\\}: bad repetition operator: \\{1000\\}\\{1000\\}\n" +
             usage_line, "", memory_at_most(rlim_t{64} << 20)},
    });
}

} // namespace
