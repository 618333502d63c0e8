// The containers' operations and the input reader, side by side with what a
// C++ programmer would otherwise use: std::multiset<int> for the tree,
// std::forward_list<void *> with std::find_if for the list, and
// fscanf("%d") for the reader. Sizes 10^3 to 10^6.
#include "ADT_llist.h"
#include "ADT_tree.h"
#include "int_reader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <forward_list>
#include <malloc.h>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<int> random_keys(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> any_int(-2147483647 - 1, 2147483647);
    std::vector<int> keys(n);
    for (int &k : keys)
        k = any_int(rng);
    return keys;
}

std::vector<int> shuffled(std::vector<int> keys, unsigned seed)
{
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    return keys;
}

BST_TREE *build_tree(const std::vector<int> &keys)
{
    BST_TREE *tree = create_bst_tree();
    for (int k : keys)
        BST_insert(tree, k);
    return tree;
}

// Merges the chunks freed by the previous iteration, so that every
// iteration allocates its nodes one after another, as a fresh process does,
// whatever order the container freed them in. A request of this size makes
// glibc consolidate its free chunks; main() keeps the memory from going back
// to the system, which would add page faults instead.
void fresh_heap()
{
    void *large = std::malloc(std::size_t{64} * 1024);
    benchmark::DoNotOptimize(large); // or the compiler drops the pair
    std::free(large);
}

const std::vector<long> sizes = {1000, 10000, 100000, 1000000};

void sized(benchmark::internal::Benchmark *b)
{
    for (long n : sizes)
        b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

// ---- tree against std::multiset ----

void BM_BST_insert(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) {
        BST_TREE *tree = build_tree(keys);
        benchmark::DoNotOptimize(tree->root);
        state.PauseTiming();
        destroy_bst_tree(tree);
        fresh_heap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_multiset_insert(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) {
        auto *tree = new std::multiset<int>;
        for (int k : keys)
            tree->insert(k);
        benchmark::DoNotOptimize(tree);
        state.PauseTiming();
        delete tree;
        fresh_heap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_search_bst(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    BST_TREE *tree = build_tree(keys);
    auto order = shuffled(keys, 2);
    for (auto _ : state)
        for (int k : order)
            benchmark::DoNotOptimize(search_bst(tree->root, k));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    destroy_bst_tree(tree);
}

void BM_multiset_find(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    std::multiset<int> tree(keys.begin(), keys.end());
    auto order = shuffled(keys, 2);
    for (auto _ : state)
        for (int k : order)
            benchmark::DoNotOptimize(tree.find(k));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BST_delete(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    auto order = shuffled(keys, 2);
    for (auto _ : state) {
        state.PauseTiming();
        fresh_heap();
        BST_TREE *tree = build_tree(keys);
        state.ResumeTiming();
        for (int k : order)
            BST_delete(tree, k);
        benchmark::DoNotOptimize(tree->root);
        destroy_bst_tree(tree);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_multiset_erase(benchmark::State &state)
{
    auto keys = random_keys(static_cast<std::size_t>(state.range(0)), 1);
    auto order = shuffled(keys, 2);
    for (auto _ : state) {
        state.PauseTiming();
        fresh_heap();
        auto *tree = new std::multiset<int>(keys.begin(), keys.end());
        state.ResumeTiming();
        for (int k : order)
            tree->erase(tree->find(k));
        benchmark::DoNotOptimize(tree);
        delete tree;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- list against std::forward_list ----

int compare_ints(void *element, void *key)
{
    return *static_cast<int *>(element) != *static_cast<int *>(key);
}

void BM_add_node_at_head(benchmark::State &state)
{
    std::vector<int> values(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        LLIST *list = create_list(compare_ints, nullptr);
        for (int &v : values)
            add_node_at(list, 0, &v);
        benchmark::DoNotOptimize(list->head);
        state.PauseTiming();
        destroy_list(list);
        fresh_heap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_forward_list_push_front(benchmark::State &state)
{
    std::vector<int> values(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto *list = new std::forward_list<void *>;
        for (int &v : values)
            list->push_front(&v);
        benchmark::DoNotOptimize(list);
        state.PauseTiming();
        delete list;
        fresh_heap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Searches for a value that isn't there, so the whole list is walked.
void BM_find_data(benchmark::State &state)
{
    std::vector<int> values(static_cast<std::size_t>(state.range(0)), 1);
    LLIST *list = create_list(compare_ints, nullptr);
    for (int &v : values)
        add_node_at(list, 0, &v);
    int absent = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(find_data(list, &absent));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    destroy_list(list);
}

void BM_forward_list_find_if(benchmark::State &state)
{
    std::vector<int> values(static_cast<std::size_t>(state.range(0)), 1);
    std::forward_list<void *> list;
    for (int &v : values)
        list.push_front(&v);
    int absent = 0;
    int (*volatile compare)(void *, void *) = compare_ints; // called through a pointer, as the list does
    for (auto _ : state) {
        auto it = std::find_if(list.begin(), list.end(),
                               [&](void *element) { return compare(element, &absent) == 0; });
        benchmark::DoNotOptimize(it);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- the input reader against fscanf("%d") ----

// A file of n random ints, one per line, removed when the process ends.
std::string sample_file(long n)
{
    static std::vector<std::string> made;
    std::string path = "/tmp/bench_sample_" + std::to_string(n) + "_" + std::to_string(getpid());
    std::FILE *f = std::fopen(path.c_str(), "w");
    for (int k : random_keys(static_cast<std::size_t>(n), 3))
        std::fprintf(f, "%d\n", k);
    std::fclose(f);
    made.push_back(path);
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit([] {
            for (const std::string &p : made)
                unlink(p.c_str());
        });
    }
    return path;
}

long file_size(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "r");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

void BM_int_reader(benchmark::State &state)
{
    std::string path = sample_file(state.range(0));
    static int_reader reader;
    for (auto _ : state) {
        int fd = open(path.c_str(), O_RDONLY);
        int_reader_init(&reader, fd);
        int v = 0;
        long sum = 0;
        while (int_reader_next(&reader, &v) == READ_INT)
            sum += v;
        benchmark::DoNotOptimize(sum);
        close(fd);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * file_size(path));
}

void BM_fscanf(benchmark::State &state)
{
    std::string path = sample_file(state.range(0));
    for (auto _ : state) {
        std::FILE *f = std::fopen(path.c_str(), "r");
        int v = 0;
        long sum = 0;
        while (std::fscanf(f, "%d", &v) == 1) // NOLINT(cert-err34-c): the baseline being measured
            sum += v;
        benchmark::DoNotOptimize(sum);
        std::fclose(f);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * file_size(path));
}

} // namespace

BENCHMARK(BM_BST_insert)->Apply(sized);
BENCHMARK(BM_multiset_insert)->Apply(sized);
BENCHMARK(BM_search_bst)->Apply(sized);
BENCHMARK(BM_multiset_find)->Apply(sized);
BENCHMARK(BM_BST_delete)->Apply(sized);
BENCHMARK(BM_multiset_erase)->Apply(sized);
BENCHMARK(BM_add_node_at_head)->Apply(sized);
BENCHMARK(BM_forward_list_push_front)->Apply(sized);
BENCHMARK(BM_find_data)->Apply(sized);
BENCHMARK(BM_forward_list_find_if)->Apply(sized);
BENCHMARK(BM_int_reader)->Apply(sized);
BENCHMARK(BM_fscanf)->Apply(sized);

int main(int argc, char **argv)
{
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
