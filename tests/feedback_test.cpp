#include "load_feedback.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

double fake_now = 0;
double fake_clock()
{
    return fake_now;
}

struct feedback_run {
    std::FILE *out = std::tmpfile();
    load_feedback f{};

    explicit feedback_run(int total) { load_feedback_init(&f, out, "in.txt", total); }
    ~feedback_run() { std::fclose(out); }

    // Feeds keys as the program's loop does, then finishes.
    void load(const std::vector<int> &keys)
    {
        int n = static_cast<int>(keys.size());
        for (int i = feedback_every; i <= n; i += feedback_every)
            load_feedback_update(&f, keys.data(), i);
        load_feedback_update(&f, keys.data(), n);
        load_feedback_finish(&f, n);
    }
    std::string written()
    {
        std::fflush(out);
        std::rewind(out);
        std::string s;
        for (int c; (c = std::fgetc(out)) != EOF;)
            s += static_cast<char>(c);
        return s;
    }
};

std::vector<int> random_keys(int n)
{
    std::mt19937 rng(3);
    std::vector<int> keys(n);
    for (int &k : keys)
        k = static_cast<int>(rng() % 1000);
    return keys;
}

TEST(feedback, WarnsOnceOfARunThatBuildsAChain)
{
    struct example {
        int from, length, step; // a run of keys from..., each step above the one before
        std::string want;       // what the warning says of it, or "" for none
    };
    for (const example &e : {example{0, 0, 0, ""},
                             example{40000, 30000, 1, "come in ascending order"},
                             example{40000, 30000, -1, "come in descending order"},
                             example{40000, 30000, 0, "are one key repeated"},
                             example{40000, chain_warning_run / 2, 1, ""},
                             example{90000, chain_warning_run, 1, "come in ascending order"}}) {
        SCOPED_TRACE(e.want + " " + std::to_string(e.length));
        std::vector<int> keys = random_keys(100000);
        for (int i = 0; i < e.length; i++)
            keys[e.from + i] = 5000 + e.step * i;
        feedback_run run(100000);
        run.load(keys);
        std::string written = run.written();
        if (e.want.empty()) {
            EXPECT_EQ(written, "");
            continue;
        }
        // The run starts at entry from + 1, or at the key before it when that
        // one is in order too; the warning is out by its chain_warning_run-th key.
        std::smatch m;
        ASSERT_TRUE(std::regex_search(written, m,
                                      std::regex("^main_llist: in.txt: warning: entries ([0-9]+) "
                                                 "to ([0-9]+) ([a-z ]+), ")))
            << written;
        int first = std::stoi(m[1]), last = std::stoi(m[2]);
        std::string how = m[3];
        EXPECT_LE(first, e.from + 1);
        EXPECT_GE(first, e.from);
        EXPECT_LE(last, e.from + chain_warning_run);
        EXPECT_GE(last - first + 1, chain_warning_run - feedback_every);
        EXPECT_EQ(how, e.want);
        EXPECT_EQ(written.find('\n'), written.size() - 1) << "one line";
    }
}

TEST(feedback, ProgressAfterASecondAtMostFourTimesASecond)
{
    feedback_run run(1000);
    run.f.progress = true;
    run.f.now = fake_clock;
    run.f.start = run.f.shown_at = fake_now = 100;
    std::vector<int> keys = random_keys(1000);
    fake_now = 100.9;
    load_feedback_update(&run.f, keys.data(), 128);
    EXPECT_EQ(run.written(), "");
    fake_now = 101.5;
    load_feedback_update(&run.f, keys.data(), 256);
    fake_now = 101.6;
    load_feedback_update(&run.f, keys.data(), 384); // too soon after the last line
    fake_now = 101.75;
    load_feedback_update(&run.f, keys.data(), 512);
    fake_now = 102;
    load_feedback_finish(&run.f, 1000);
    EXPECT_EQ(run.written(),
              "\rmain_llist: in.txt: 256 of 1000 entries (25 %), 0:01, 171 entries/s\033[K"
              "\rmain_llist: in.txt: 512 of 1000 entries (51 %), 0:01, 1024 entries/s\033[K"
              "\rmain_llist: in.txt: 1000 of 1000 entries (100 %), 0:02, 1952 entries/s\033[K\n");
}

} // namespace
