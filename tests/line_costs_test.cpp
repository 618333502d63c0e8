// line_costs: small callgrind records and perf scripts worked out by hand,
// each line's own cost and its calls' through the tool's --tsv and text,
// recursion, the source shown and escaped, a comparison, every refusal.
#include "source_lines.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// main at a.c 5-8 and, inlined, inl.h:30, calling helper at line 6;
// helper calls itself (helper'2) at line 21, and the deeper level once
// more. 124 Ir and 7 D1mr in all.
const std::string record = "# callgrind format\nversion: 1\npositions: line\nevents: Ir D1mr\n"
                           "fl=(1) /src/a.c\nfn=(1) main\n5 10 1\n+2 3\n* 4 1\ncfn=(2) helper\ncalls=2 20\n-1 100 5\n"
                           "fi=(2) /src/inl.h\n30 6\nfe=(1)\n8 1\n"
                           "fn=(2)\n20 70 3\ncfn=(3) helper'2\ncalls=1 20\n21 30 2\n"
                           "fn=(3)\n20 20 1\ncfn=(3)\ncalls=1 20\n21 10 1\n22 10 1\ntotals: 124 7\n";

// A perf script with srclines: an inlined leaf, f calling itself from
// one line, a frame without a line, a sample recorded without stacks.
const std::string script = "prog 1 1.000001: 10 cpu-clock: \n"
                           "\t  10 leaf+0x4\n  inl.h:7 (inlined)\n\t  10 f+0x4 (/bin/p)\n  p.c:20\n"
                           "\t  20 f+0x8 (/bin/p)\n  p.c:30\n\t  30 f+0x8 (/bin/p)\n  p.c:30\n"
                           "\t  40 main+0x1 (/bin/p)\n  p.c:5\n\n"
                           "prog 1 1.000002: 5 cpu-clock: \n\t  20 f+0x8 (/bin/p)\n  p.c:31\n\t  40 main+0x1 (/bin/p)\n  ??:0\n\n"
                           "prog 1 1.000003: 7 page-faults: \n\t  20 f+0x8 (/bin/p)\n  p.c:31\n\n"
                           "    prog 1 1.000004: 2 cpu-clock:  60 g+0x1 (/bin/p)\n  p.c:40\n";

ran line_costs(const scratch_dir &scratch, const std::vector<std::string> &args)
{
    std::vector<std::string> all = {LINE_COSTS_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return run(scratch.path, scratch.path, all);
}

void write(const scratch_dir &scratch, const std::string &name, const std::string &text)
{
    std::ofstream(scratch / name, std::ios::binary) << text;
}

} // namespace

TEST(line_costs, GivesEachLineItsOwnCostsAndItsCallsOnceThroughARecursion)
{
    scratch_dir scratch;
    write(scratch, "cg.out", record);
    ran r = line_costs(scratch, {"--function", ".", "--tsv", "cg.out"});
    EXPECT_EQ(r.status, 0) << r.err;
    // helper's line 20 sums both levels; its line 21 counts the outer
    // call only, not the deeper one nested in it.
    EXPECT_EQ(r.out, "file\tline\tfunction\tIr\tIr_calls\tD1mr\tD1mr_calls\n"
                     "/src/a.c\t20\thelper\t90\t0\t4\t0\n/src/a.c\t21\thelper\t0\t30\t0\t2\n/src/a.c\t22\thelper\t10\t0\t1\t0\n"
                     "/src/a.c\t5\tmain\t10\t0\t1\t0\n/src/a.c\t6\tmain\t0\t100\t0\t5\n/src/a.c\t7\tmain\t7\t0\t1\t0\n"
                     "/src/a.c\t8\tmain\t1\t0\t0\t0\n/src/inl.h\t30\tmain\t6\t0\t0\t0\n");
    r = line_costs(scratch, {"--event", "D1mr", "--tsv", "cg.out"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tD1mr\tD1mr_calls\n/src/a.c\t20\thelper\t4\t0\n/src/a.c\t21\thelper\t0\t2\n"
                     "/src/a.c\t22\thelper\t1\t0\n/src/a.c\t5\tmain\t1\t0\n/src/a.c\t6\tmain\t0\t5\n/src/a.c\t7\tmain\t1\t0\n"
                     "/src/a.c\t8\tmain\t0\t0\n/src/inl.h\t30\tmain\t0\t0\n");

    // Each subposition is relative to its own in the last cost line.
    write(scratch, "instr.out", "events: Ir\npositions: instr line\nfl=a.c\nfn=f\n0x10 3 5\n+4 +1 6\n* -2 1\ntotals: 12\n");
    r = line_costs(scratch, {"--tsv", "instr.out"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tIr\tIr_calls\na.c\t2\tf\t1\t0\na.c\t3\tf\t5\t0\na.c\t4\tf\t6\t0\n");

    // Without levels (--separate-recs=1) a recursion's calls nest, and
    // sum past the function's cost: they are held to it.
    write(scratch, "flat.out", "events: Ir\nfl=a.c\nfn=main\ncfn=f\ncalls=1 1\n9 20\nfn=f\n1 20\ncfn=f\ncalls=3 1\n2 30\ntotals: 20\n");
    r = line_costs(scratch, {"--tsv", "--function", "^f$", "flat.out"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tIr\tIr_calls\na.c\t1\tf\t20\t0\na.c\t2\tf\t0\t20\n");

    // Two files of one base name are two, outside a comparison.
    write(scratch, "two.out", "events: Ir\nfl=/x/h.h\nfn=f\n3 5\nfi=/y/h.h\n3 1\ntotals: 6\n");
    r = line_costs(scratch, {"--tsv", "two.out"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tIr\tIr_calls\n/x/h.h\t3\tf\t5\t0\n/y/h.h\t3\tf\t1\t0\n");

    // The functions' own and inclusive shares, heaviest first.
    line_profile lp;
    std::FILE *in = fmemopen(const_cast<char *>(record.data()), record.size(), "r");
    std::string error;
    ASSERT_EQ(read_lines(in, {""}, &lp, &error), 0) << error;
    std::fclose(in);
    ASSERT_EQ(lp.p.functions.size(), 2U);
    EXPECT_EQ(lp.p.functions[0].name, "main");
    EXPECT_EQ(lp.self[0], (std::vector<double>{24, 2}));
    EXPECT_EQ(lp.inclusive[0], (std::vector<double>{124, 7}));
    EXPECT_EQ(lp.self[1], (std::vector<double>{100, 5}));
    EXPECT_EQ(lp.inclusive[1], (std::vector<double>{100, 5}));
    EXPECT_EQ(lp.totals, (std::vector<double>{124, 7}));
}

TEST(line_costs, ReadsPerfsSrclinesEachFramesLineOnceAStack)
{
    scratch_dir scratch;
    write(scratch, "p.txt", script);
    ran r = line_costs(scratch, {"--function", ".", "--tsv", "p.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "file\tline\tfunction\tcpu-clock\tcpu-clock_calls\n"
                     "inl.h\t7\tleaf\t10\t0\np.c\t20\tf\t0\t10\np.c\t30\tf\t0\t10\np.c\t31\tf\t5\t0\n"
                     "p.c\t40\tg\t2\t0\n\t0\tmain\t0\t5\np.c\t5\tmain\t0\t10\n");
    r = line_costs(scratch, {"--event", "page-faults,cpu-clock", "--function", "^f$", "--tsv", "p.txt"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tpage-faults\tpage-faults_calls\tcpu-clock\tcpu-clock_calls\n"
                     "p.c\t20\tf\t0\t0\t0\t10\np.c\t30\tf\t0\t0\t0\t10\np.c\t31\tf\t7\t0\t5\t0\n");
    // Samples without stacks, one after another, each with its srcline;
    // a file name holding a tab stays in its column.
    write(scratch, "nog.txt", "  prog 1 1.000001: 3 cpu-clock:  60 g+0x1 (/bin/p)\n  p.c:40\n"
                              "  prog 1 1.000002: 1 cpu-clock:  70 h+0x1 (/bin/p)\n  a\tb.c:2\n"
                              "  prog 1 1.000003: 2 cpu-clock:  60 g+0x1 (/bin/p)\n  p.c:41\n");
    r = line_costs(scratch, {"--tsv", "nog.txt"});
    EXPECT_EQ(r.out, "file\tline\tfunction\tcpu-clock\tcpu-clock_calls\np.c\t40\tg\t3\t0\np.c\t41\tg\t2\t0\n"
                     "a\\tb.c\t2\th\t1\t0\n");
    // f: 5 of 17 on its own, 15 with callees.
    r = line_costs(scratch, {"--function", "^f$", "p.txt"});
    EXPECT_TRUE(has(r.out, "in all: cpu-clock 17\n\nf  p.c  p\n  cpu-clock: 29.41 % own, 88.24 % with callees\n")) << r.out;
    EXPECT_TRUE(has(r.out, "      10   58.82%    30  \n")) << r.out;
    EXPECT_EQ(r.err, "line_costs: p.c: cannot read the source (No such file or directory): its lines are shown without text\n");
}

TEST(line_costs, ShowsTheSourceEscapedWithContextAndLeavesTheRestOut)
{
    scratch_dir scratch;
    std::string source;
    for (int i = 1; i <= 40; i++)
        source += i == 5 ? "\tx = 1;\x01\xff\n" : "line " + std::to_string(i) + (i == 30 ? std::string(600, 'x') : "") + "\n";
    std::filesystem::create_directory(scratch / "moved");
    write(scratch, "moved/p.c", source);
    write(scratch, "p.txt", script);
    ran r = line_costs(scratch, {"--source-dir", "moved", "--function", "^(f|main)$", "p.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(has(r.out, "    5          x = 1;\\x01\\xff\n")) << r.out;
    // f's lines 20, 30 and 31, three lines of context around them, the
    // lines between left out.
    EXPECT_TRUE(has(r.out, "   17  line 17\n")) << r.out;
    EXPECT_TRUE(has(r.out, "   30  line 30" + std::string(600, 'x') + "\n")) << r.out;
    EXPECT_FALSE(has(r.out, "   16  line 16\n")) << r.out;
    EXPECT_TRUE(has(r.out, "... lines 24-26 ...\n")) << r.out;
    EXPECT_TRUE(has(r.out, "   34  line 34\n")) << r.out;
    EXPECT_FALSE(has(r.out, "   35  line 35\n")) << r.out;
    // A source that is no regular file is not read.
    write(scratch, "dir.txt", "prog 1 1.000001: 10 cpu-clock: \n\t  10 f+0x4 (/bin/p)\n  moved:3\n\n");
    r = line_costs(scratch, {"dir.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "line_costs: moved: cannot read the source (not a file): its lines are shown without text\n");
    EXPECT_TRUE(has(r.out, "10  100.00%") && has(r.out, "     3  \n")) << r.out;
    r = line_costs(scratch, {"--source-dir", "moved", "--function", "^(f|main)$", "p.txt"});
    // main's frame without a line is shown as such.
    EXPECT_TRUE(has(r.out, "-- (no source line known)\n")) << r.out;
    EXPECT_TRUE(has(r.out, "     ?  (no line known)\n")) << r.out;
}

TEST(line_costs, ComparesTwoRunsLineByLine)
{
    scratch_dir scratch;
    write(scratch, "now.out", record);
    // The base: main's line 5 cost 30 of 144, its line 8 nothing.
    std::string base = record;
    base.replace(base.find("5 10 1\n"), 7, "5 30 1\n");
    base.replace(base.find("8 1\n"), 4, "8 0\n");
    base.replace(base.find("totals: 124 7"), 13, "totals: 143 7");
    write(scratch, "base.out", base);
    ran r = line_costs(scratch, {"--base", "base.out", "--function", "^main$", "--event", "Ir", "--tsv", "now.out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "/src/a.c\t5\tmain\t-20\t0\n")) << r.out;
    EXPECT_TRUE(has(r.out, "/src/a.c\t8\tmain\t1\t0\n")) << r.out;
    // (10 - 30) of 143: -13.99 %; normalized, 10/124 - 30/143: -12.91 %.
    r = line_costs(scratch, {"--base", "base.out", "--function", "^main$", "--event", "Ir", "now.out"});
    EXPECT_TRUE(has(r.out, "10  -13.99%")) << r.out;
    r = line_costs(scratch, {"--base", "base.out", "--normalize", "--function", "^main$", "--event", "Ir", "now.out"});
    EXPECT_TRUE(has(r.out, "10  -12.91%")) << r.out;
    // A line that only the base has is shown, at its change; so is a
    // function that only the base has.
    base.replace(base.find("8 0\n"), 4, "9 1\n");
    base.replace(base.find("totals: 143 7"), 13, "totals: 144 7");
    base.replace(base.find("fn=(2)\n20 70 3\n"), 16, "fn=(2)\n20 69 3\nfn=(9) gone\n1 1\n");
    write(scratch, "base.out", base);
    r = line_costs(scratch, {"--base", "base.out", "--function", "^(main|gone)$", "--event", "Ir", "--tsv", "now.out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "/src/a.c\t8\tmain\t1\t0\n/src/a.c\t9\tmain\t-1\t0\n")) << r.out;
    EXPECT_TRUE(has(r.out, "/src/a.c\t1\tgone\t-1\t0\n")) << r.out;
}

TEST(line_costs, RefusesWhatHoldsNoLinesInOneLine)
{
    scratch_dir scratch;
    auto before = [](const std::string &work) {
        auto put = [&](const char *name, const std::string &text) { std::ofstream(work + "/" + name) << text; };
        put("cg.out", record);
        put("instr.out", "events: Ir\npositions: instr\nfn=f\n0x10 5\ntotals: 5\n");
        put("cut.out", record.substr(0, record.size() - 14));
        put("below.out", "events: Ir\nfl=a.c\nfn=f\n3 1\n-4 1\ntotals: 2\n");
        put("sums.out", "events: Ir D1mr\nfl=a.c\nfn=f\n3 1 5\ntotals: 1 4\n");
        put("plain.txt", "prog 1 1.000001: 10 cpu-clock: \n\t  10 f+0x4 (/bin/p)\n\n");
        put("bare.txt", "prog 1 1.000001: 10 cpu-clock: \n\t  10 f+0x4\n\t  20 g+0x4 (/bin/p)\n  p.c:3\n\n");
        put("folded.txt", "main;f 3\n");
        put("gprof.txt", "Flat profile:\n");
        put("p.txt", script);
    };
    const std::string usage = "usage: line_costs .*\n";
    run_cases(scratch, {
        {{LINE_COSTS_PATH, "instr.out"}, 2,
         "line_costs: instr.out: line 2: positions: instr holds no source lines: record with callgrind's --dump-line=yes\n"},
        {{LINE_COSTS_PATH, "cut.out"}, 2, "line_costs: cut.out: line 27: no totals: line at the end of the part: the profile is cut short\n"},
        {{LINE_COSTS_PATH, "below.out"}, 2, "line_costs: below.out: line 5: a line before line 0: -4 from line 3\n"},
        {{LINE_COSTS_PATH, "sums.out"}, 2,
         "line_costs: sums.out: line 5: the costs of D1mr add up to 5, not the 4 of its totals: line\n"},
        {{LINE_COSTS_PATH, "plain.txt"}, 2,
         "line_costs: plain.txt: perf script's text without source lines: write it with perf script -F \\+srcline\n"},
        {{LINE_COSTS_PATH, "bare.txt"}, 2,
         "line_costs: bare.txt: line 3: the frame before has no object and no srcline: ADDRESS SYMBOL \\(OBJECT\\)\n"},
        {{LINE_COSTS_PATH, "folded.txt"}, 2,
         "line_costs: folded.txt: folded stacks have no source lines: give callgrind's file or the text of perf script -F \\+srcline\n"},
        {{LINE_COSTS_PATH, "gprof.txt"}, 2, "line_costs: gprof.txt: gprof's text has no source lines: .*\n"},
        {{LINE_COSTS_PATH, "--event", "Ir,Dw", "cg.out"}, 2,
         "line_costs: cg.out: line 4: no event Dw in this profile, whose events are: Ir D1mr\n"},
        {{LINE_COSTS_PATH, "--event", "Ir,,D1mr", "cg.out"}, 2, "line_costs: --event takes .*: Ir,,D1mr\n" + usage},
        {{LINE_COSTS_PATH, "--event", "Ir,Ir", "cg.out"}, 2, "line_costs: --event takes .*: Ir,Ir\n" + usage},
        {{LINE_COSTS_PATH, "--function", "(", "cg.out"}, 2, "line_costs: --function \\(: missing \\).*\n" + usage},
        {{LINE_COSTS_PATH, "--function", "^nothing$", "cg.out"}, 2, "line_costs: no function matches --function \\^nothing\\$\n"},
        {{LINE_COSTS_PATH, "--base", "p.txt", "cg.out"}, 2,
         "line_costs: p.txt: perf's profile of cpu-clock, and cg.out callgrind's of Ir: a comparison needs two of one kind and events\n"},
        {{LINE_COSTS_PATH, "--normalize", "cg.out"}, 2, "line_costs: --normalize needs --base\n" + usage},
        {{LINE_COSTS_PATH, "absent.out"}, 1, "line_costs: absent.out: cannot open: No such file or directory\n"},
    }, before);
}
