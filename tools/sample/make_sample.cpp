// Prints sample ints, one per line, for the program's sample.txt:
//
//   make_sample [--order ORDER] [COUNT [SEED]]
//
// ORDER is one of those of sample_keys.h, random by default. COUNT
// defaults to 1000000; without SEED the numbers differ on every run.
//
// Exit status: 0; 1 when stdout can't be written; 2 for a usage error; 3
// when memory runs out.
#include "filter.h"
#include "message.h"
#include "sample_keys.h"

#include <climits>
#include <new>
#include <random>
#include <string>

namespace {

const char usage[] = "usage: make_sample [--order random|ascending|descending|repeated|nearly-sorted] "
                     "[COUNT [SEED]]\n";

} // namespace

int main(int argc, char **argv)
{
    filter_init("make_sample");
    const option options[] = {{"order", required_argument, nullptr, 'o'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    std::string order = "random";
    int status = -1;
    while (next_option(argc, argv, options, usage, &status) != -1)
        order = optarg;
    if (status >= 0)
        return status;
    if (!is_sample_order(order))
        return usage_error(usage, "unknown order: " + order);
    int operands = argc - optind;
    if (operands > 2)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 2]);
    unsigned long long count = 1000000;
    unsigned long long seed = std::random_device{}();
    if (operands >= 1 && !whole_number(argv[optind], INT_MAX, &count))
        return usage_error(usage, std::string("COUNT must be a whole number from 0 to 2147483647: ") + argv[optind]);
    if (operands == 2 && !whole_number(argv[optind + 1], ULLONG_MAX, &seed))
        return usage_error(usage, std::string("SEED must be a whole number from 0 to 18446744073709551615: ") +
                                      argv[optind + 1]);
    std::mt19937_64 rng(seed);
    try {
        write_sample_keys(stdout, order, static_cast<std::size_t>(count), rng);
    } catch (const std::bad_alloc &) {
        return fail(3, "out of memory for %llu keys", count);
    }
    return 0;
}
