// make_sample: the keys of each order from its core, and the tool run as a
// user runs it, each case in a work folder of its own (tool_cases.h):
// hostile input, huge counts, stdout that can't be written, a closed pipe.
#include "sample_keys.h"
#include "tool_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

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

} // namespace
