// What every tool shares, tried on each (the tools' own cases are in
// make_sample_test, tree_shape_test and gprof_dot_test): text shown as
// printable, memory running out, a full disk; and the two scripts that the
// build's targets run, held to the same standard.
#include "printable.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

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

// Each tool out of memory, under a limit on its address space: one line
// and status 3, or for a short file with a huge COUNT, the answer at once.
TEST(tools, RunningOutOfMemory)
{
#ifdef MAIN_LLIST_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limits";
#endif
    scratch_dir scratch;
    std::ofstream(scratch / "small.txt") << "5\n3\n8\n";
    const limits limited = memory_at_most(rlim_t{1536} << 20);
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
    const limits to_full = stdout_to(full.c_str());
    const std::string said = ": write error: No space left on device\n";
    run_cases(scratch, {
        {{MAKE_SAMPLE_PATH, "2000000000", "1"}, 1, "make_sample" + said, "", to_full},
        {{MAKE_SAMPLE_PATH, "--help"}, 1, "make_sample" + said, "", to_full},
        {{TREE_SHAPE_PATH, scratch / "small.txt", "3"}, 1, "tree_shape" + said, "", to_full},
        {{TREE_SHAPE_PATH, "--svg", scratch / "small.txt", "3"}, 1, "tree_shape" + said, "", to_full},
        {{GPROF_DOT_PATH, gprof}, 1, "gprof_dot" + said, "", to_full},
    });
}

// A message too long for one line loses the middle of its long name, and
// keeps what is wrong whole.
TEST(tools, ALongNameKeepsTheReason)
{
    scratch_dir scratch;
    std::string name;
    for (int i = 0; i < 6; i++)
        name += "/" + std::string(200, '\xff'); // each byte shown as \xff, four bytes
    name += "/missing.txt";
    for (const std::string tool : {GPROF_DOT_PATH, TREE_SHAPE_PATH}) {
        ran r = run(scratch.path, scratch.path, {tool, name});
        const std::string reason = "\\xff/missing.txt: cannot open: No such file or directory\n";
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.find(": /\\xff\\xff"), r.err.find(':')) << r.err;
        EXPECT_NE(r.err.find("\u2026"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind(reason), r.err.size() - reason.size()) << r.err;
        EXPECT_LT(r.err.size(), 3200u);
    }
}

// bench/draw_chart.sh draws the benchmarks' chart whole or not at all, and
// cmake/write_whole.sh writes a target's file whole or not at all: a failed
// write, bad results and a usage error are each one line and a status.
TEST(scripts, WriteWholeOrSayWhy)
{
    scratch_dir scratch;
    const std::string chart = std::string(SOURCE_DIR) + "/bench/draw_chart.sh";
    const std::string whole = std::string(SOURCE_DIR) + "/cmake/write_whole.sh";
    const std::string results = std::string(FIXTURES) + "/bench_containers.json";
    std::ofstream(scratch / "broken.json") << "{\"benchmarks\": [";
    std::ofstream(scratch / "zero.json") << "{\"benchmarks\": [{\"name\": \"BM_find_data/1000\", \"run_type\": "
                                            "\"iteration\", \"real_time\": 0, \"time_unit\": \"ns\"}]}";
    const std::string err = "draw_chart.sh: ";
    run_cases(scratch, {
        {{chart, results}, 0, "", "^<\\?xml", {}, [](const std::string &out) {
             well_formed(out);
             EXPECT_TRUE(has(out, "std::multiset::insert"));
         }},
        {{chart, results}, 1, err + "write error: File too large\n", "", to_small_file},
        {{chart, scratch / "broken.json"}, 2, err + ".*broken.json: parse error: Unfinished JSON term at EOF at line 1, "
                                                    "column 16\n"},
        {{chart, scratch / "zero.json"}, 2, err + ".*zero.json: BM_find_data/1000: a time that isn't a positive number: 0\n"},
        {{chart, scratch.path}, 2, err + ".*: is a folder, not benchmark results\n"},
        {{chart, "missing.json"}, 1, err + "missing.json: cannot be read\n"},
        {{chart}, 2, err + "usage: draw_chart.sh RESULTS.json\n"},
        {{whole, "out"}, 2, "write_whole.sh: usage: write_whole.sh OUT COMMAND \\[ARG\\]...\n"},
        {{whole, "out", "false"}, 1, ""},
        // The command ends write_whole.sh, which ends the command's group
        // at once: the file that it would touch a second later never is.
        {{whole, "out", "sh", "-c", "echo part; kill -TERM $PPID; sleep 1; touch late"}, 130, ""},
    });
    ran r = run(scratch.path, scratch.path, {whole, "out", "echo", "whole"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(scratch / "out"), "whole\n");
    EXPECT_EQ(files_in(scratch.path).count("out.part"), 0u);
}

} // namespace
