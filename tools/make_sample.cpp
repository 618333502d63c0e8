// Writes sample files of ints, one per line.
//
//   make_sample [--if-missing] [--order ORDER] FILE [COUNT [SEED]]
//
// ORDER is one of
//   random         uniform over the whole int range (the default)
//   ascending      strictly ascending random keys
//   descending     the same, in descending order
//   repeated       one random key COUNT times
//   nearly-sorted  ascending, with COUNT / 100 entries each swapped with a
//                  random other entry
// COUNT defaults to 1000000; without SEED the numbers differ on every run.
// With --if-missing an existing FILE is left as it is. Options may come
// anywhere.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: make_sample [--if-missing] [--order random|ascending|descending|repeated|"
                 "nearly-sorted] FILE [COUNT [SEED]]\n");
    return 2;
}

bool parse_number(const char *text, unsigned long long *out)
{
    char *end = nullptr;
    errno = 0;
    *out = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

const char *const orders[] = {"random", "ascending", "descending", "repeated", "nearly-sorted"};

std::vector<int> keys_in_order(const std::string &order, std::size_t count, std::mt19937_64 &rng)
{
    std::vector<int> keys(count);
    if (order == "random" || order == "repeated") {
        std::uniform_int_distribution<int> any_int(INT_MIN, INT_MAX);
        for (int &k : keys)
            k = order == "repeated" && &k != &keys[0] ? keys[0] : any_int(rng);
        return keys;
    }
    // Sorted random keys, each raised above the one before where they tie;
    // drawn low enough that the raising can't pass INT_MAX.
    std::uniform_int_distribution<long long> low(INT_MIN, static_cast<long long>(INT_MAX) - static_cast<long long>(count));
    for (int &k : keys)
        k = static_cast<int>(low(rng));
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < count; i++)
        keys[i] = std::max(keys[i], keys[i - 1] + 1);
    if (order == "descending")
        std::reverse(keys.begin(), keys.end());
    if (order == "nearly-sorted" && count > 1) {
        std::uniform_int_distribution<std::size_t> any_entry(0, count - 1);
        for (std::size_t swaps = count / 100; swaps > 0; swaps--)
            std::swap(keys[any_entry(rng)], keys[any_entry(rng)]);
    }
    return keys;
}

} // namespace

int main(int argc, char **argv)
{
    bool if_missing = false;
    std::string order = "random";
    std::vector<const char *> operands; // FILE [COUNT [SEED]]
    for (int arg = 1; arg < argc; arg++) {
        if (std::strcmp(argv[arg], "--if-missing") == 0)
            if_missing = true;
        else if (std::strcmp(argv[arg], "--order") == 0 && arg + 1 < argc)
            order = argv[++arg];
        else if (std::strncmp(argv[arg], "--", 2) == 0)
            return usage();
        else
            operands.push_back(argv[arg]);
    }
    if (std::find(std::begin(orders), std::end(orders), order) == std::end(orders))
        return usage();
    if (operands.empty() || operands.size() > 3)
        return usage();
    const char *path = operands[0];
    unsigned long long count = 1000000;
    unsigned long long seed = std::random_device{}();
    if (operands.size() >= 2 && (!parse_number(operands[1], &count) || count > INT_MAX))
        return usage();
    if (operands.size() == 3 && !parse_number(operands[2], &seed))
        return usage();

    struct stat st;
    if (if_missing && stat(path, &st) == 0)
        return 0;

    std::mt19937_64 rng(seed);
    std::vector<int> keys = keys_in_order(order, static_cast<std::size_t>(count), rng);
    std::FILE *out = std::fopen(path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "make_sample: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    for (int k : keys)
        std::fprintf(out, "%d\n", k);
    bool write_failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || write_failed) {
        std::fprintf(stderr, "make_sample: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    return 0;
}
