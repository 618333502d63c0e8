// flame_graph: the layout of small stacks worked out by hand, each view and
// option, the differential, the folded stacks it writes, every refusal,
// and the SVG driven in headless Chromium where it is installed.
#include "flame.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

std::string fixture(const std::string &name)
{
    return std::string(FIXTURES) + "/" + name;
}

stack_set read_ok(const std::string &text)
{
    stack_set s;
    std::string error;
    std::FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    EXPECT_EQ(read_stacks(in, "", &s, &error), 0) << error;
    std::fclose(in);
    return s;
}

std::string svg_of(const std::string &text, const flame_options &o = {})
{
    stack_set s = read_ok(text);
    return flame_svg(s, build_flame(s, o), o);
}

std::string folded_of(const std::string &text, const flame_options &o = {})
{
    stack_set s = read_ok(text);
    return folded_text(s, build_flame(s, o));
}

// Each frame of an SVG's first graph (or of all), "NAME X WIDTH Y" a line.
std::string frames_of(const std::string &svg, bool fill = false)
{
    static const std::regex frame("<g class=\"frame\" data-cost=\"[^\"]*\"><title>([^\n<]*)[^<]*</title>"
                                  "<rect x=\"([^\"]*)\" y=\"([^\"]*)\" width=\"([^\"]*)\" height=\"15\" fill=\"([^\"]*)\"/>");
    std::string out;
    for (std::sregex_iterator m(svg.begin(), svg.end(), frame), end; m != end; ++m)
        out += (*m)[1].str() + " " + (*m)[2].str() + " " + (*m)[4].str() + " " + (*m)[3].str() +
               (fill ? " " + (*m)[5].str() : "") + "\n";
    return out;
}

// main calls a (which calls c) and b, and costs 1 on its own; other is a
// second root. 12 in all, over 1180 px.
const std::string small = "main;b 5\nmain;a;c 3\nmain;a 2\nmain 1\nother 1\n";

} // namespace

TEST(flame_graph, LaysFramesOutInNameOrderAtTheirShareOfTheWidth)
{
    EXPECT_EQ(frames_of(svg_of(small)), "all 10.00 1180.00 118\nmain 10.00 1081.67 102\na 10.00 491.67 86\n"
                                        "c 10.00 295.00 70\nb 501.67 491.67 86\nother 1091.67 98.33 102\n");
    flame_options o;
    o.inverted = true;
    o.width = 600;
    EXPECT_EQ(frames_of(svg_of(small, o)), "all 10.00 580.00 70\nmain 10.00 531.67 86\na 10.00 241.67 102\n"
                                           "c 10.00 145.00 118\nb 251.67 241.67 102\nother 541.67 48.33 86\n");
    // Read from the leaf: the functions that cost on their own at the root.
    o = {};
    o.reverse = true;
    EXPECT_EQ(folded_of(small, o), "a;main 2\nb;main 5\nc;a;main 3\nmain 1\nother 1\n");
    o = {};
    o.collapse = true;
    EXPECT_EQ(folded_of("f;f;f;g 2\nf;g;g 1\ng;f;g 1\n", o), "f;g 3\ng;f;g 1\n");
    // Written back, the stacks are the input's, summed where one repeats.
    EXPECT_EQ(folded_of(small + "main;b 0.5\n"), "main 1\nmain;a 2\nmain;a;c 3\nmain;b 5.5\nother 1\n");
    std::string svg = svg_of(small);
    EXPECT_TRUE(has(svg, "<g class=\"frame\" data-cost=\"5\"><title>a\n5 samples, 41.67 %</title>")) << svg;
    well_formed(svg);
}

TEST(flame_graph, NamesPerfFramesAsTheFieldDoes)
{
    // The command first; a kernel frame, an inlined one, one without a
    // symbol; a sample printed without frames is its command alone.
    const std::string perf = "my prog 10/11 [001] 5.000001: 3 cpu-clock: \n"
                             "\t ffff1 do_fault+0x4 ([kernel.kallsyms])\n\t 20 g+0x2 (inlined)\n\t 20 h+0x8 (/lib/b.so)\n"
                             "\t 30 [unknown] (/lib/b.so)\n\t 35 [unknown] ([unknown])\n\t 40 main+0x1 (/bin/a)\n\n"
                             "my prog 10/11 [001] 5.000002: 1 cpu-clock: \n\n"
                             "sh 12 5.000003: 2 cpu-clock: \n\t 40 main+0x1 (/bin/a)\n\n";
    EXPECT_EQ(folded_of(perf), "my prog 1\nmy prog;main;[unknown];[b.so];h;g_[i];do_fault_[k] 3\nsh;main 2\n");
    std::string svg = svg_of(perf);
    // The object's file name, where the name doesn't say it already.
    EXPECT_TRUE(has(svg, "<title>[b.so]\n1 samples, 3 cpu-clock, 50.00 %</title>")) << svg;
    EXPECT_TRUE(has(svg, "<title>h\nb.so\n1 samples, 3 cpu-clock, 50.00 %</title>")) << svg;
    EXPECT_TRUE(has(frames_of(svg), "\nmy prog 10.00 786.67 ")) << frames_of(svg);
    // The colour of a name is the same in every graph, and by its kind.
    std::string other = svg_of("sh 1 1.0: 7 cpu-clock: \n\t 10 h+0x2 (/lib/b.so)\n\n");
    std::regex h_fill("<title>h\n[^<]*</title><rect [^>]* fill=\"(#[0-9a-f]{6})\"");
    std::smatch one, two;
    ASSERT_TRUE(std::regex_search(svg, one, h_fill));
    ASSERT_TRUE(std::regex_search(other, two, h_fill));
    EXPECT_EQ(one[1], two[1]);
    EXPECT_TRUE(has(frames_of(svg), "\ndo_fault 10.00 590.00 70\n")) << frames_of(svg);
}

// Base: main;a 4 and main;b 4. Now: main;a 8 and main;c 2. a grew by half
// the base's total, the largest change; b shrank as much and vanished; c
// grew a quarter.
TEST(flame_graph, DrawsBothRunsOfADifferential)
{
    auto check = [](const std::string &svg, const char *a_change) {
        std::string frames = frames_of(svg, true);
        std::size_t base = svg.find("The base run");
        ASSERT_NE(base, std::string::npos);
        std::string now = frames_of(svg.substr(0, base), true), before = frames_of(svg.substr(base), true);
        EXPECT_TRUE(has(now, "a 10.00 944.00 70 #ff4646\n")) << now;
        EXPECT_TRUE(has(now, "c 954.00 236.00 70 #ffa3a3\n")) << now;
        EXPECT_FALSE(has(now, "\nb ")) << now;
        EXPECT_TRUE(has(before, "a 10.00 590.00 ")) << before;
        EXPECT_TRUE(has(before, "b 600.00 590.00 ") && has(before, " #4646ff\n")) << before;
        EXPECT_TRUE(has(svg, a_change)) << svg;
        well_formed(svg);
    };
    scratch_dir scratch;
    std::ofstream(scratch / "base") << "main;a 4\nmain;b 4\n";
    std::ofstream(scratch / "now") << "main;c 2\nmain;a 8\n";
    ran r = run(scratch.path, scratch.path, {FLAME_GRAPH_PATH, "--base", "base", "now"});
    ASSERT_EQ(r.status, 0) << r.err;
    check(r.out, "<title>a\nbase: 4 samples, 50.00 %\nnow: 8 samples, 80.00 %\nchange: +50.00 % of the base's total</title>");
    std::string two = svg_of("main;a 4 8\nmain;b 4 0\nmain;c 0 2\n");
    check(two, "change: +50.00 % of the base's total");
    r = run(scratch.path, scratch.path, {FLAME_GRAPH_PATH, "--base", "base", "--normalize", "now"});
    EXPECT_TRUE(has(r.out, "<title>a\nbase: 4 samples, 50.00 %\nnow: 8 samples, 80.00 %\nchange: +30.00 % of the share</title>"));
    r = run(scratch.path, scratch.path, {FLAME_GRAPH_PATH, "--base", "base", "--folded", "now"});
    EXPECT_EQ(r.out, "main;a 4 8\nmain;b 4 0\nmain;c 0 2\n");
}

TEST(flame_graph, LeavesOutNarrowFramesAndSaysSo)
{
    flame_options o;
    o.min_width = 1;
    o.title = "<a & b>";
    std::string svg = svg_of("main 999\nmain;t 0.5\nmain;t;u 0.3\n", o);
    EXPECT_FALSE(has(frames_of(svg), "\nt ")) << svg;
    EXPECT_TRUE(has(svg, "; 2 frames narrower than 1 px left out (0.08 %)</text>")) << svg;
    EXPECT_TRUE(has(svg, ">&lt;a &amp; b&gt;</text>")) << svg;
    // A name that is not UTF-8, or holds markup, is shown escaped.
    // A label cut to its frame's width is cut between characters.
    std::string long_name;
    for (int i = 0; i < 40; i++)
        long_name += "\u00e4";
    svg = svg_of("x;" + long_name + " 1\nx;b 3\n");
    EXPECT_TRUE(has(svg, ">" + long_name.substr(0, 40) + "..</text>")) << svg;
    well_formed(svg);
    svg = svg_of("ma\xffin;<f> & \"g\" 1\n");
    EXPECT_TRUE(has(svg, "<title>&lt;f&gt; &amp; &quot;g&quot;\n")) << svg;
    EXPECT_TRUE(has(svg, "<title>ma\\xffin\n")) << svg;
    well_formed(svg);
}

TEST(flame_graph, RefusesWhatHoldsNoWholeStacks)
{
    scratch_dir scratch;
    const std::string err = "flame_graph: ";
    auto write = [](const std::string &work) {
        const std::pair<const char *, const char *> files[] = {
            {"none", "main 1\nmain;f\n"}, {"negative", "main 1\nmain;f -3\n"}, {"word", "main 1\nmain;f x\n"}, {"empty", "main;;f 3\n"},
            {"mixed", "main 1\nmain;f 1 2\n"}, {"cut", "p 1 1.0: 1 cpu-clock: \n\t 10 f+0x1 (/b)\n"},
            {"cpu", "p 1 1.0: 1 cpu-clock: \n\t 10 f+0x1 (/b)\n\n"}, {"faults", "p 1 1.0: 1 page-faults: \n\t 10 f+0x1 (/b)\n\n"},
            {"gprof", "Flat profile:\n"}, {"callgrind", "events: Ir\n"}, {"unended", "main 1\nmain;f 1"},
            {"zero", "main 0\n"}};
        for (const auto &[name, text] : files)
            std::ofstream(work + "/" + name) << text;
    };
    const std::string s = FLAME_GRAPH_PATH;
    run_cases(scratch,
              {
                  {{s, "none"}, 2, err + "none: line 2: a folded stack without a count that is a number, at least 0: STACK COUNT\n"},
                  {{s, "negative"}, 2, err + "negative: line 2: a folded stack without a count .*\n"},
                  {{s, "word"}, 2, err + "word: line 2: a folded stack without a count .*\n"},
                  {{s, "empty"}, 2, err + "empty: line 1: an empty frame: each of a stack's frames has a name\n"},
                  {{s, "mixed"}, 2, err + "mixed: line 2: one- and two-count lines in one file: .*\n"},
                  {{s, "unended"}, 2, err + "unended: line 2: a line without its newline: the file is cut short\n"},
                  {{s, "cut"}, 2, err + "cut: line 2: the last sample has no blank line after it: the file is cut short\n"},
                  {{s, "--base", "cpu", "faults"}, 2,
                   err + "cpu: perf's run of cpu-clock, and faults perf's of page-faults: a comparison needs two runs of one event\n"},
                  {{s, "--base", "zero", "cpu"}, 2, err + "zero: folded's run of samples, and cpu perf's of cpu-clock: .*\n"},
                  {{s, "--base", "zero", "zero"}, 2, err + "zero: counted no samples in its base run, so there is nothing to compare with\n"},
                  {{s, "--event", "page-faults", "cpu"}, 2, err + "cpu: no event page-faults in this profile, whose events are: cpu-clock\n"},
                  {{s, "gprof"}, 2, err + "gprof: gprof's text records calls between functions, not stacks: gprof_dot draws it\n"},
                  {{s, "callgrind"}, 2, err + "callgrind: callgrind's file records calls between functions, not stacks: gprof_dot draws it\n"},
                  {{s, "--normalize", "cpu"}, 2, err + "--normalize needs --base or a two-count folded file\n" + "usage: .*\n"},
                  {{s, "--width", "50", "cpu"}, 2, err + "--width takes 100 to 1000000 px: 50\nusage: .*\n"},
                  {{s, "missing"}, 1, err + "missing: cannot open: No such file or directory\n"},
                  {{s, "--event", "page-faults", "--base", "cpu", "faults"}, 2, err + "cpu: no event page-faults .*\n"},
                  {{s, "--event", "page-faults", "faults"}, 0, "", "^<\\?xml"},
                  {{s, "--event", "page-faults", "zero"}, 2, err + "zero: --event page-faults: folded stacks have counts, not events\n"},
              },
              write);
}

// The SVG in a real browser: tests/browser's page loads it in an iframe and
// drives it; the share that a search matches is worked out here from the
// stacks, each sample once.
TEST(flame_graph, WorksInHeadlessChromium)
{
    std::string chromium;
    for (const char *folder : {"/usr/bin", "/usr/local/bin", "/bin"})
        chromium = chromium.empty() && std::filesystem::exists(std::string(folder) + "/chromium") ? std::string(folder) + "/chromium" : chromium;
    if (chromium.empty())
        GTEST_SKIP() << "chromium is not installed: the browser test needs Debian's chromium";
    scratch_dir scratch;
    stack_set s = read_ok(slurp(fixture("perf_threads_dwarf.txt")));
    // sort_rec calls itself: a stack holds many matches, and counts once.
    const std::regex pattern("sort_(job|rec)");
    double matched = 0;
    for (const stack &k : s.stacks)
        for (std::uint32_t f : k.frames)
            if (std::regex_search(s.frames[f].name, pattern)) {
                matched += k.cost[1];
                break;
            }
    char share[32];
    std::snprintf(share, sizeof share, "%.2f", matched / s.total[1] * 100);
    flame_options o;
    std::ofstream(scratch / "flame.svg") << flame_svg(s, build_flame(s, o), o);
    std::string page = std::string("file://") + SOURCE_DIR + "/tests/browser/flame_graph_test.html?svg=" +
                       scratch / "flame.svg" + "&match=sort_(job%7Crec)&share=" + share;
    ran r = run(scratch.path, scratch.path,
                {chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + scratch / "profile", "--allow-file-access-from-files", "--virtual-time-budget=5000",
                 "--dump-dom", page});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch results;
    ASSERT_TRUE(std::regex_search(r.out, results, std::regex("<pre id=\"results\">([^<]*)</pre>"))) << r.out;
    std::string lines = results[1];
    EXPECT_TRUE(has(lines, "done\n")) << lines;
    EXPECT_FALSE(has(lines, "not ok")) << lines;
    for (const char *check : {"ok layout\n", "ok hover shows", "ok click zooms", "ok Escape", "ok Ctrl-F", "ok ?s=",
                              "ok ArrowDown", "ok Enter zooms", "ok \"Reset zoom\"", "ok ArrowRight"})
        EXPECT_TRUE(has(lines, check)) << check << "\n" << lines;
}
