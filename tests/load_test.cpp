// The load, called directly with small inputs: what it builds and returns,
// and every one of its allocations failing in turn.
#include "chain_watch.h"
#include "int_callbacks.h"
#include "load_run.h"
#include "malloc_fail.h"
#include "message.h"
#include "stream_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// A descriptor that reads text.
int input_of(const std::string &text)
{
    int fd = memfd_create("load_test", 0);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_EQ(lseek(fd, 0, SEEK_SET), 0);
    return fd;
}

// What a test's load may change beyond its input, entries and target.
struct load_options {
    long fail_at = 0;             // the allocation that fails, counting from 1; 0 for none
    bool from_then_on = false;    // and every one after it
    std::FILE *messages = stderr; // where the messages go
    double (*clock)() = nullptr;  // the progress line's clock; with one, the line shows, as on a terminal
    int warn_depth = 0;           // levels that bring the chain warning; 0 for chain_watch_depth
};

load_options failing(long at, bool from_then_on = false)
{
    load_options o;
    o.fail_at = at;
    o.from_then_on = from_then_on;
    return o;
}

// A load of text as options say.
struct loaded {
    load_run run{};
    load_outcome outcome{};
    long mallocs = 0; // allocations the load made

    loaded(const std::string &text, int entries, int target, const load_options &o = {})
        : loaded(input_of(text), entries, target, o)
    {
    }
    // Reads fd, and closes it.
    loaded(int fd, int entries, int target, const load_options &o = {})
    {
        message_init("main_llist", o.messages);
        load_setup setup{fd, entries, target, compare_ints, print_nothing, "in.txt", o.clock != nullptr};
        setup.clock = o.clock;
        setup.warn_depth = o.warn_depth;
        {
            malloc_failure failure(o.fail_at, o.from_then_on);
            outcome = load_and_search(&run, &setup);
            mallocs = mallocs_seen();
        }
        message_init("main_llist", stderr);
        close(fd);
    }
    ~loaded()
    {
        destroy_list(run.list);
        destroy_bst_tree(run.tree);
        std::free(run.keys);
        std::free(run.values);
    }
};

// On a clock that moves a quarter second a look.
double fake_now = 0;
double quarter_seconds()
{
    return fake_now += 0.25;
}

// On a terminal the progress line is rewritten in place; the chain warning
// ends it first and stands on a line of its own, and the progress goes on
// on the next. The warning's figure for random keys is 2 ln n for the n
// keys in the tree then.
TEST(load_run, TheChainWarningOnATerminal)
{
    std::string text;
    for (int i = 0; i < 1000; i++)
        text += std::to_string((i * 7919) % 1000) + " ";
    for (int i = 0; i < 24000; i++)
        text += std::to_string(1000 + i) + " ";
    std::FILE *messages = std::tmpfile();
    {
        load_options on_a_terminal;
        on_a_terminal.messages = messages;
        on_a_terminal.clock = quarter_seconds;
        loaded chain(text, 25000, 1, on_a_terminal);
        EXPECT_EQ(chain.outcome.status, LOAD_DONE);
    }
    std::string said = written(messages);
    std::fclose(messages);
    std::size_t warning = said.find("main_llist: in.txt: warning: entry ");
    ASSERT_NE(warning, std::string::npos) << said.substr(0, 300);
    EXPECT_EQ(said.substr(0, 21), "\rmain_llist: in.txt: ") << said.substr(0, 100);
    EXPECT_EQ(said.substr(warning - 4, 4), "\033[K\n");
    std::size_t end = said.find('\n', warning);
    EXPECT_EQ(said.substr(end, 2), "\n\r");
    EXPECT_EQ(said.back(), '\n');
    // "... entry E went D levels deep into the unbalanced tree (random keys: about N): ..."
    auto number_after = [&](const std::string &words) {
        std::size_t at = said.find(words, warning);
        EXPECT_NE(at, std::string::npos) << words;
        return at == std::string::npos ? 0 : std::stoi(said.substr(at + words.size()));
    };
    int entry = number_after("warning: entry ");
    int depth = number_after(" went ");
    int random_depth = number_after("(random keys: about ");
    EXPECT_NE(said.find(" levels deep into the unbalanced tree (random keys: about ", warning), std::string::npos);
    EXPECT_GE(depth, chain_watch_depth);
    EXPECT_LE(entry, 1000 + 20000);
    EXPECT_EQ(random_depth, std::lround(2 * std::log(entry)));
}

// Loads keys with a watch that warns at warn_depth levels; returns what the
// load wrote.
std::string watched_load(const std::vector<int> &keys, int warn_depth)
{
    std::string text;
    for (int k : keys)
        text += std::to_string(k) + "\n";
    std::FILE *out = std::tmpfile();
    {
        load_options watched;
        watched.messages = out;
        watched.warn_depth = warn_depth;
        loaded load(text, static_cast<int>(keys.size()), 1, watched);
        EXPECT_EQ(load.outcome.status, LOAD_DONE);
    }
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

// Ascending keys with one in a hundred swapped with a random other one
// build short chains, thousands of levels deep (13,860 for make_sample's
// seed 1), but never one that brings the warning.
TEST(chain_watch, NearlySortedKeysNeverWarn)
{
    std::vector<int> keys(1000000);
    for (std::size_t i = 0; i < keys.size(); i++)
        keys[i] = 2 * static_cast<int>(i);
    std::mt19937 swaps(1);
    for (std::size_t i = 0; i < keys.size() / 100; i++)
        std::swap(keys[swaps() % keys.size()], keys[swaps() % keys.size()]);
    EXPECT_EQ(watched_load(keys, 0), "");
}

TEST(load_run, FillsBothContainersThenSearches)
{
    loaded good("5 -3 8\n8 1 ignored", 5, 2);
    EXPECT_EQ(good.outcome.status, LOAD_DONE);
    EXPECT_EQ(good.outcome.position, 1); // the list runs 1 2 3 4 5
    EXPECT_EQ(good.run.tree->size, 5);
    EXPECT_EQ(good.run.tree->root->data, 5);
    EXPECT_EQ(good.run.list->count, 5u);
    EXPECT_EQ(*static_cast<int *>(good.run.list->tail->data), 5);

    struct example {
        const char *text;
        load_status status;
        int entry;
        read_result read;
        unsigned long line;
    };
    for (const example &e : {example{"1 2", LOAD_BAD_READ, 3, READ_END, 1},
                             example{"1\n2\nx3 4", LOAD_BAD_READ, 3, READ_NOT_INT, 3},
                             example{"1 99999999999", LOAD_BAD_READ, 2, READ_RANGE, 1}}) {
        SCOPED_TRACE(e.text);
        loaded bad(e.text, 3, 2);
        EXPECT_EQ(bad.outcome.status, e.status);
        EXPECT_EQ(bad.outcome.entry, e.entry);
        EXPECT_EQ(bad.outcome.read, e.read);
        EXPECT_EQ(bad.run.reader.line, e.line);
        EXPECT_EQ(bad.run.tree->size, e.entry - 1);
    }
}

// Each way a load stops, as load_failure words it, with its status: at
// small counts, here 3 entries where the program needs a million.
TEST(load_run, EachFailureIsOneMessageAndAStatus)
{
    struct example {
        long fd;      // the input
        long fail_at; // the allocation that fails, or 0
        long status;
        std::string message;
    };
    const example examples[] = {
        {input_of(""), 0, 2, "entry 1 (line 1): missing: the file ends after 0 integers, 3 are needed"},
        {input_of("1\n2\n"), 0, 2, "entry 3 (line 3): missing: the file ends after 2 integers, 3 are needed"},
        {input_of("7 12abc 8"), 0, 2, "entry 2 (line 1): not a decimal integer: \"12abc\""},
        {input_of("1 2\n\n-\n"), 0, 2, "entry 3 (line 3): not a decimal integer: \"-\""},
        {input_of("1\x01\xff" + std::string(40, 'z')), 0, 2,
         "entry 1 (line 1): not a decimal integer: \"1??" + std::string(21, 'z') + "...\""},
        {input_of("5 \xEF\xBB\xBF" "17 2"), 0, 2, "entry 2 (line 1): not a decimal integer: \"???17\""},
        {input_of("1 2 2147483648"), 0, 2, "entry 3 (line 1): outside the 32-bit integer range: \"2147483648\""},
        {input_of("1\n-2147483649"), 0, 2, "entry 2 (line 2): outside the 32-bit integer range: \"-2147483649\""},
        {input_of(std::string(5000, '9')), 0, 2,
         "entry 1 (line 1): too long: more than 4096 bytes of digits: \"" + std::string(24, '9') + "...\""},
        {open("/dev/zero", O_RDONLY), 0, 2, "entry 1 (line 1): not a decimal integer: \"" + std::string(24, '?') + "...\""},
        {open("/", O_RDONLY | O_DIRECTORY), 0, 1, "entry 1 (line 1): read failed: Is a directory"},
        {input_of("1 2 3"), 1, 3, "out of memory before reading"},
        {input_of("1 2 3"), 5, 3, "entry 1 (line 1): out of memory"},
    };
    for (const example &e : examples) {
        SCOPED_TRACE(e.message);
        loaded load(static_cast<int>(e.fd), 3, 2, failing(e.fail_at));
        ASSERT_NE(load.outcome.status, LOAD_DONE);
        std::FILE *said = std::tmpfile();
        message_init("main_llist", said);
        EXPECT_EQ(load_failure(load.outcome, &load.run.reader, "in.txt", 3), e.status);
        message_init("main_llist", stderr);
        EXPECT_EQ(written(said), "main_llist: in.txt: " + e.message + "\n");
        std::fclose(said);
    }
}

TEST(load_run, EveryAllocationCanFail)
{
    // Whatever the order of the allocations, each one failing stops the
    // load at an entry no earlier than the last one's, with the entries
    // before it in the tree; and between them they stop it before reading
    // and at every entry.
    const int entries = 100;
    std::string text;
    for (int i = 0; i < entries; i++)
        text += std::to_string(i * 7919 % 1000) + "\n";
    const long allocations = loaded(text, entries, 50, failing(1L << 40)).mallocs;
    for (bool from_then_on : {false, true}) {
        std::set<int> stopped_at;
        int last = 0;
        for (long n = 1; n <= allocations; n++) {
            SCOPED_TRACE(std::to_string(n) + (from_then_on ? " on" : ""));
            loaded run(text, entries, 50, failing(n, from_then_on));
            ASSERT_EQ(run.outcome.status, LOAD_NO_MEMORY);
            ASSERT_GE(run.outcome.entry, last);
            last = run.outcome.entry;
            stopped_at.insert(last);
            if (last > 0) {
                ASSERT_EQ(run.run.tree->size, last - 1);
            }
        }
        EXPECT_EQ(stopped_at.size(), static_cast<std::size_t>(entries + 1));
        EXPECT_EQ(*stopped_at.rbegin(), entries);
        loaded run(text, entries, 50, failing(allocations + 1, from_then_on));
        EXPECT_EQ(run.outcome.status, LOAD_DONE);
        EXPECT_EQ(run.outcome.position, 49);
    }
}

} // namespace
