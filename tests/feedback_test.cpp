// The chain warning, on trees that BST_insert builds, and the progress
// line, on a fake clock.
#include "chain_watch.h"
#include "load_progress.h"
#include "stream_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

// Inserts keys as the program's loop does, with a watch that warns at
// warn_depth levels; returns what the watch wrote.
std::string watched_load(const std::vector<int> &keys, int warn_depth)
{
    std::FILE *out = std::tmpfile();
    chain_watch w;
    chain_watch_init(&w, out, "main_llist", "in.txt");
    w.warn_depth = warn_depth;
    BST_TREE *tree = create_bst_tree();
    for (std::size_t i = 0; i < keys.size(); i++) {
        EXPECT_TRUE(BST_insert(tree, keys[i]));
        int entry = static_cast<int>(i) + 1;
        if (entry % chain_watch_every == 0 && chain_watch_look(&w, tree, &keys[i + 1 - chain_watch_every]))
            chain_watch_warn(&w, tree, entry);
    }
    destroy_bst_tree(tree);
    std::string s = written(out);
    std::fclose(out);
    return s;
}

TEST(chain_watch, WarnsOnceOfKeysThatBuildAChainWhereverTheyStart)
{
    // The rule at a tenth of its scale: 2,200 keys of a pattern (2,000 for
    // spread keys, which would wrap past that), among random ones, in a
    // file of 100,000.
    const int depth = chain_watch_depth / 10 / chain_watch_every * chain_watch_every;
    const int n = 100000;
    const int pattern = 2200;
    struct example {
        const char *order;
        int from;         // keys before the pattern, random
        bool warns;
        int length;       // keys of the pattern
        int other = 0;    // in the pattern, a random key every `other` entries (0: none)
    };
    // Ascending keys with a random one at every 2nd, 127th, ... entry: for a
    // watch that always walked the block's last key, a random key every
    // 128th entry (or 2nd) would stand at every look.
    std::vector<example> examples = {{"random", n, false, pattern},        {"ascending", 0, true, pattern},
                                     {"ascending", 60032, true, pattern},  {"descending", 3072, true, pattern},
                                     {"repeated", 90112, true, pattern},   {"zigzag", 40064, true, pattern},
                                     {"spread ascending", n - 2000, false, 2000}};
    for (int other : {2, 127, 128, 129, 256, 1000})
        examples.push_back({"ascending", 50048, true, 3 * pattern, other});
    for (const example &e : examples) {
        SCOPED_TRACE(std::string(e.order) + " from " + std::to_string(e.from) + ", another key every " +
                     std::to_string(e.other));
        std::mt19937 rng(7);
        std::vector<int> keys(n);
        for (int i = 0; i < n; i++) {
            int k = i - e.from; // place in the pattern
            std::string order = e.order;
            bool other = i < e.from || k >= e.length || (e.other != 0 && k % e.other == e.other - 1);
            keys[i] = other                           ? static_cast<int>(rng() % 1000000000)
                      : order == "ascending"          ? 1000000000 + k
                      : order == "descending"         ? -k
                      : order == "repeated"           ? 123
                      : order == "zigzag"             ? (k % 2 == 0 ? 1000000000 + k / 2 : 2000000000 - k / 2)
                      : order == "spread ascending"   ? static_cast<int>(-2147483647LL + k * 2000000LL)
                                                      : 0;
        }
        std::string warning = watched_load(keys, depth);
        if (!e.warns) {
            EXPECT_EQ(warning, "");
            continue;
        }
        std::smatch m;
        ASSERT_TRUE(std::regex_match(warning, m,
                                     std::regex("main_llist: in.txt: warning: entry ([0-9]+) went "
                                                "([0-9]+) levels deep into the unbalanced tree "
                                                "\\(random keys: about [0-9]+\\): [^\n]*minutes[^\n]*\n")))
            << warning;
        int entry = std::stoi(m[1]);
        EXPECT_GE(std::stoi(m[2]), depth);
        EXPECT_GT(entry, e.from + depth / 2);
        EXPECT_LE(entry, e.from + e.length);
    }
}

double fake_now = 0;
double fake_clock()
{
    return fake_now;
}

TEST(load_progress, AfterASecondAtMostFourTimesASecond)
{
    std::FILE *out = std::tmpfile();
    load_progress p;
    load_progress_init(&p, out, true, fake_clock, "main_llist", "in.txt", 1000);
    p.start = p.shown_at = fake_now = 100;
    fake_now = 100.9;
    load_progress_update(&p, 128);
    EXPECT_EQ(written(out), "");
    fake_now = 101.5;
    load_progress_update(&p, 256);
    fake_now = 101.6;
    load_progress_update(&p, 384); // too soon after the last line
    fake_now = 101.75;
    load_progress_update(&p, 512);
    fake_now = 102;
    load_progress_finish(&p, 1000);
    EXPECT_EQ(written(out),
              "\rmain_llist: in.txt: 256 of 1000 entries (25 %), 0:01, 171 entries/s\033[K"
              "\rmain_llist: in.txt: 512 of 1000 entries (51 %), 0:01, 1024 entries/s\033[K"
              "\rmain_llist: in.txt: 1000 of 1000 entries (100 %), 0:02, 1952 entries/s\033[K\n");
    std::fclose(out);
}

} // namespace
