#include "sample_keys.h"

#include <algorithm>
#include <climits>

const char *const sample_orders[5] = {"random", "ascending", "descending", "repeated", "nearly-sorted"};

bool is_sample_order(const std::string &order)
{
    return std::find(std::begin(sample_orders), std::end(sample_orders), order) != std::end(sample_orders);
}

namespace {

// The keys of a sorted order (ascending, descending, nearly-sorted).
std::vector<int> sorted_keys(const std::string &order, std::size_t count, std::mt19937_64 &rng)
{
    // Sorted random keys, each raised above the one before where they tie;
    // drawn low enough that the raising can't pass INT_MAX.
    std::vector<int> keys(count);
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

void write_sample_keys(std::FILE *out, const std::string &order, std::size_t count, std::mt19937_64 &rng)
{
    if (order == "random" || order == "repeated") { // written as they are drawn
        std::uniform_int_distribution<int> any_int(INT_MIN, INT_MAX);
        int first = 0;
        for (std::size_t i = 0; i < count && std::ferror(out) == 0; i++) {
            int k = order == "repeated" && i > 0 ? first : any_int(rng);
            first = i == 0 ? k : first;
            std::fprintf(out, "%d\n", k);
        }
        return;
    }
    for (int k : sorted_keys(order, count, rng)) {
        if (std::ferror(out) != 0)
            return;
        std::fprintf(out, "%d\n", k);
    }
}
