// The load, called directly with small inputs: what it builds and returns,
// and every one of its allocations failing in turn.
#include "load_run.h"
#include "malloc_fail.h"
#include "stream_text.h"

#include <gtest/gtest.h>

#include "chain_watch.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int compare_ints(void *element, void *key)
{
    return *static_cast<int *>(element) == *static_cast<int *>(key) ? 0 : 1;
}

void print_nothing(void *) {}

// A descriptor that reads text.
int input_of(const std::string &text)
{
    int fd = memfd_create("load_test", 0);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_EQ(lseek(fd, 0, SEEK_SET), 0);
    return fd;
}

struct loaded {
    load_run run{};
    load_outcome outcome{};

    loaded(const std::string &text, int entries, int target, long fail_at = 0, bool from_then_on = false,
           std::FILE *messages = stderr, double (*clock)() = nullptr)
    {
        int fd = input_of(text);
        load_setup setup{fd,           entries,  target,   compare_ints,     print_nothing,
                         "main_llist", "in.txt", messages, clock != nullptr, clock};
        {
            malloc_failure failure(fail_at, from_then_on);
            outcome = load_and_search(&run, &setup);
        }
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
        loaded chain(text, 25000, 1, 0, false, messages, quarter_seconds);
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

TEST(load_run, EveryAllocationCanFail)
{
    // Allocations: the two buffers, the list, the tree, then a list node and
    // a tree node per entry.
    const int entries = 100;
    std::string text;
    for (int i = 0; i < entries; i++)
        text += std::to_string(i * 7919 % 1000) + "\n";
    const int allocations = 4 + 2 * entries;
    for (bool from_then_on : {false, true}) {
        for (int n = 1; n <= allocations; n++) {
            SCOPED_TRACE(std::to_string(n) + (from_then_on ? " on" : ""));
            loaded run(text, entries, 50, n, from_then_on);
            ASSERT_EQ(run.outcome.status, LOAD_NO_MEMORY);
            int entry = n <= 4 ? 0 : (n - 5) / 2 + 1;
            ASSERT_EQ(run.outcome.entry, entry);
            if (entry > 0) {
                ASSERT_EQ(run.run.tree->size, entry - 1);
            }
        }
        loaded run(text, entries, 50, allocations + 1, from_then_on);
        EXPECT_EQ(run.outcome.status, LOAD_DONE);
        EXPECT_EQ(run.outcome.position, 49);
    }
}

} // namespace
