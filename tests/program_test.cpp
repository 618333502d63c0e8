#include "ADT_llist.h"
#include "process_runner.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The program's callbacks, from main_llist.cpp, which this test links whole;
// the process starts at the tests' own main (see __wrap_main below).
int compare1(void *element, void *key);
void print1(void *element);

namespace {

const int entries = 1000000;
const std::string result_line = "iter num = 999998\n";

TEST(callbacks, Compare1IsTheWrappingDifference)
{
    struct example {
        int a, b, want;
    };
    for (example e : {example{7, 7, 0}, example{1, 2, -1}, example{2, 1, 1},
                      example{-2147483647 - 1, 1, 2147483647},
                      example{2147483647, -1, -2147483647 - 1}, example{-5, -5, 0}}) {
        EXPECT_EQ(compare1(&e.a, &e.b), e.want) << e.a << " - " << e.b;
    }
}

TEST(callbacks, Print1WritesOneLinePerElement)
{
    int values[] = {42, -5, -2147483647 - 1};
    LLIST *list = create_list(compare1, print1);
    for (int &v : values)
        ASSERT_TRUE(add_node_at(list, list->count, &v));
    ::testing::internal::CaptureStdout();
    print1(&values[0]);
    print_all(list, list->head->next);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " - int data 42\n - int data -5\n - int data -2147483648\n");
    destroy_list(list);
}

// ---- the program end to end ----

struct program_run : ::testing::Test {
    scratch_dir scratch;
    std::string dir = scratch.path;

    // Writes sample.txt: count random ints over the whole range, entry i
    // (from 1) followed by separator(i), and entry `bad_at` replaced by bad.
    void write_sample(int count, std::function<std::string(int)> separator = nullptr,
                      int bad_at = 0, const std::string &bad = "")
    {
        std::mt19937 rng(static_cast<unsigned>(count));
        std::string text;
        for (int i = 1; i <= count; i++) {
            text += i == bad_at ? bad : std::to_string(static_cast<int>(rng()));
            text += separator ? separator(i) : "\n";
        }
        std::ofstream(dir + "/sample.txt", std::ios::binary) << text;
    }

    // Runs a program in dir with one more variable in its environment
    // ("NAME=value", or null), stdout to the file named (from dir). Returns
    // its exit status, or -1 when it didn't exit normally.
    int run(const char *program = MAIN_LLIST_PATH, const char *env = nullptr, const char *stdout_to = "stdout")
    {
        return ::run(dir, dir, {program}, {nullptr, 0, 0, nullptr, stdout_to, env}).status;
    }
    std::string out() { return slurp(dir + "/stdout"); }
    std::string err() { return slurp(dir + "/stderr"); }

    void expect_failure(int status, const std::string &message)
    {
        EXPECT_EQ(run(), status);
        EXPECT_EQ(out(), "");
        EXPECT_EQ(err(), "main_llist: sample.txt: " + message + "\n");
    }
};

TEST_F(program_run, PrintsTheResultLineForAGoodFile)
{
    write_sample(entries);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    EXPECT_EQ(err(), "");
#ifdef MAIN_LLIST_PROFILED
    EXPECT_EQ(access((dir + "/gmon.out").c_str(), R_OK), 0);
#endif
}

TEST_F(program_run, ReadsNothingAfterTheMillionthInteger)
{
    write_sample(entries + 1000, nullptr, entries + 1, "12abc");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    EXPECT_EQ(err(), "");
}

TEST_F(program_run, AcceptsMixedWhiteSpaceAndPlusSigns)
{
    const char *separators[] = {" ", "\t", "\r\n", "\n\n", " \t\v\f ", "\n"};
    std::mt19937 rng(1);
    std::string text = "  \n";
    for (int i = 1; i <= entries; i++) {
        text += (i % 3 == 0 ? "+" : i % 3 == 1 ? "-" : "+000") + std::to_string(rng() >> 1);
        if (i < entries) // no newline after the last entry
            text += separators[i % 6];
    }
    std::ofstream(dir + "/sample.txt", std::ios::binary) << text;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    EXPECT_EQ(err(), "");
}

TEST_F(program_run, SkipsALeadingByteOrderMarkOnly)
{
    write_sample(entries, nullptr, 1, "\xEF\xBB\xBF-830069773");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    EXPECT_EQ(err(), "");
    write_sample(entries, nullptr, 2, "\xEF\xBB\xBF" "17");
    expect_failure(2, "entry 2 (line 2): not a decimal integer: \"???17\"");
}

TEST_F(program_run, WarnsOnceOfAChainButNotOfNearlySortedKeys)
{
    // 940,000 random keys, then 60,000 ascending keys above them all: the
    // warning comes within 20,000 entries of the first ascending one.
    std::mt19937 rng(1);
    std::string text;
    for (int i = 0; i < entries; i++)
        text += std::to_string(i < 940000 ? static_cast<int>(rng() % 2000000000) : 2000000000 + i) + "\n";
    std::ofstream(dir + "/sample.txt", std::ios::binary) << text;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    std::smatch m;
    std::string warning = err();
    ASSERT_TRUE(std::regex_match(warning, m,
                                 std::regex("main_llist: sample.txt: warning: entry ([0-9]+) went "
                                            "[0-9]+ levels deep into the unbalanced tree [^\n]*\n")))
        << warning;
    EXPECT_GT(std::stoi(m[1]), 940000);
    EXPECT_LE(std::stoi(m[1]), 960000);

    // Ascending keys with one in a hundred swapped with a random other one
    // build short chains, some thousands of levels deep, but no long one.
    std::vector<int> keys(entries);
    for (int i = 0; i < entries; i++)
        keys[i] = 2 * i;
    std::mt19937 swaps(1);
    for (int i = 0; i < entries / 100; i++)
        std::swap(keys[swaps() % entries], keys[swaps() % entries]);
    text.clear();
    for (int k : keys)
        text += std::to_string(k) + "\n";
    std::ofstream(dir + "/sample.txt", std::ios::binary) << text;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(out(), result_line);
    EXPECT_EQ(err(), "");
}

TEST_F(program_run, MissingUnreadableOrEndlessFile)
{
    expect_failure(1, "cannot open: No such file or directory");
    ASSERT_EQ(symlink("/dev/zero", (dir + "/sample.txt").c_str()), 0);
    expect_failure(2, "entry 1 (line 1): not a decimal integer: \"" + std::string(24, '?') + "...\"");
    ASSERT_EQ(unlink((dir + "/sample.txt").c_str()), 0);
    ASSERT_EQ(mkdir((dir + "/sample.txt").c_str(), 0755), 0);
    expect_failure(1, "entry 1 (line 1): read failed: Is a directory");
}

TEST_F(program_run, TooFewIntegers)
{
    std::ofstream(dir + "/sample.txt") << "";
    expect_failure(2, "entry 1 (line 1): missing: the file ends after 0 integers, 1000000 are needed");
    write_sample(entries - 1);
    expect_failure(2, "entry 1000000 (line 1000000): missing: the file ends after 999999 integers, "
                      "1000000 are needed");
}

TEST_F(program_run, EntriesThatAreNotIntegers)
{
    write_sample(entries, nullptr, 500000, "12abc");
    expect_failure(2, "entry 500000 (line 500000): not a decimal integer: \"12abc\"");
    write_sample(entries, [](int i) { return i % 2 ? " " : "\n"; }, 7, "-");
    expect_failure(2, "entry 7 (line 4): not a decimal integer: \"-\"");
    write_sample(entries, nullptr, 3, std::string("1\x01\xff") + std::string(40, 'z'));
    expect_failure(2, "entry 3 (line 3): not a decimal integer: \"1??" + std::string(21, 'z') +
                          "...\"");
}

TEST_F(program_run, EntriesOutsideTheIntRange)
{
    write_sample(entries, nullptr, entries, "2147483648");
    expect_failure(2, "entry 1000000 (line 1000000): outside the 32-bit integer range: \"2147483648\"");
    write_sample(entries, nullptr, 2, "-2147483649");
    expect_failure(2, "entry 2 (line 2): outside the 32-bit integer range: \"-2147483649\"");
}

TEST_F(program_run, RunningOutOfMemory)
{
    write_sample(entries);
    // Allocations: the two buffers, the list, the tree, then a list node
    // and a tree node per entry.
    struct example {
        const char *env;
        const char *message;
    } examples[] = {
        {"FAIL_MALLOC_AT=1", "out of memory before reading"},
        {"FAIL_MALLOC_AT=4", "out of memory before reading"},
        {"FAIL_MALLOC_AT=5", "entry 1 (line 1): out of memory"},
        {"FAIL_MALLOC_FROM=1000", "entry 498 (line 498): out of memory"},
        {"FAIL_MALLOC_AT=2000004", "entry 1000000 (line 1000000): out of memory"},
    };
    for (const example &e : examples) {
        SCOPED_TRACE(e.env);
        EXPECT_EQ(run(FAILING_MALLOC_PATH, e.env), 3);
        EXPECT_EQ(out(), "");
        EXPECT_EQ(err(), std::string("main_llist: sample.txt: ") + e.message + "\n");
    }
    EXPECT_EQ(run(FAILING_MALLOC_PATH, "FAIL_MALLOC_AT=2000005"), 0);
    EXPECT_EQ(out(), result_line);
}

TEST_F(program_run, AFailedWriteOfTheResultIsAnError)
{
    write_sample(entries);
    if (!make_full_device(dir + "/full"))
        GTEST_SKIP() << "no device can be made here";
    EXPECT_EQ(run(MAIN_LLIST_PATH, nullptr, "full"), 4);
    EXPECT_EQ(err(), "main_llist: cannot write the result: No space left on device\n");
    EXPECT_TRUE(is_full_device(dir + "/full"));
}

} // namespace

// Linked with -Wl,--wrap=main, so that the process starts here rather than
// at the program's main.
extern "C" int __wrap_main(int argc, char **argv) // NOLINT(bugprone-reserved-identifier)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
