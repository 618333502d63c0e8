#include "ADT_llist.h"
#include "process_runner.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>
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

    // Runs a program in dir with one more variable in its environment
    // ("NAME=value", or null), stdout to the file named.
    ran run(const char *program = MAIN_LLIST_PATH, const char *env = nullptr, const char *stdout_to = nullptr)
    {
        return ::run(dir, dir, {program}, limits_of{}.and_stdout_to(stdout_to).and_env(env));
    }
};

// A million random ints, written once for the tests that need them.
const std::string &million_ints()
{
    static const std::string text = [] {
        std::mt19937 rng(1);
        std::string t;
        for (int i = 0; i < entries; i++)
            t += std::to_string(static_cast<int>(rng())) + "\n";
        return t;
    }();
    return text;
}

TEST_F(program_run, AMillionIntsEndToEnd)
{
    std::ofstream(dir + "/sample.txt") << million_ints();
    ran good = run();
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, result_line);
    EXPECT_EQ(good.err, "");
#ifdef MAIN_LLIST_PROFILED
    EXPECT_EQ(access((dir + "/gmon.out").c_str(), R_OK), 0);
#endif
}

// A result that can't be written, to a device like /dev/full made in the
// scratch folder.
TEST_F(program_run, AFailedWriteOfTheResultIsAnError)
{
    if (!make_full_device(dir + "/full"))
        GTEST_SKIP() << "no device can be made here (mknod needs root)";
    std::ofstream(dir + "/sample.txt") << million_ints();
    ran full = run(MAIN_LLIST_PATH, nullptr, "full");
    EXPECT_EQ(full.status, 4);
    EXPECT_EQ(full.err, "main_llist: cannot write the result: No space left on device\n");
}

// What goes wrong, each a line on stderr and a status, nothing on stdout.
// The load words its messages (load_test); here they reach the user.
TEST_F(program_run, AFailureIsOneLineAndAStatus)
{
    struct example {
        const char *sample; // sample.txt's text, or null for none, or "/" for a folder
        const char *env;
        int status;
        const char *err;    // a regex
    } examples[] = {
        {nullptr, nullptr, 1, "main_llist: sample.txt: cannot open: No such file or directory\n"},
        {"/", nullptr, 1, "main_llist: sample.txt: entry 1 \\(line 1\\): read failed: [^\n]*\n"},
        {"1 2\n3\n", nullptr, 2, "main_llist: sample.txt: entry 4 \\(line 3\\): missing: [^\n]*\n"},
        {"1 2\n3\n", "FAIL_MALLOC_AT=1", 3, "main_llist: sample.txt: out of memory before reading\n"},
    };
    for (const example &e : examples) {
        SCOPED_TRACE(e.sample != nullptr ? e.sample : "none");
        std::filesystem::remove_all(dir + "/sample.txt");
        if (e.sample != nullptr && std::string(e.sample) == "/")
            std::filesystem::create_directory(dir + "/sample.txt");
        else if (e.sample != nullptr)
            std::ofstream(dir + "/sample.txt") << e.sample;
        ran r = run(e.env != nullptr ? FAILING_MALLOC_PATH : MAIN_LLIST_PATH, e.env);
        EXPECT_EQ(r.status, e.status);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(std::regex_match(r.err, std::regex(e.err))) << r.err;
    }
}

} // namespace

// Linked with -Wl,--wrap=main, so that the process starts here rather than
// at the program's main.
extern "C" int __wrap_main(int argc, char **argv) // NOLINT(bugprone-reserved-identifier)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
