// Writes sample files of ints, one per line.
//
//   make_sample [--if-missing] [--order ORDER] FILE [COUNT [SEED]]
//
// ORDER is one of those of sample_keys.h, random by default.
// COUNT defaults to 1000000; without SEED the numbers differ on every run.
// With --if-missing an existing FILE is left as it is. FILE is written whole
// or not at all.
//
// Exit status: 0 when FILE was written (or left); 1 when it can't be
// written; 2 for a usage error; 3 when memory runs out.
#include "command_line.h"
#include "message.h"
#include "printable.h"
#include "replace_file.h"
#include "sample_keys.h"

#include <climits>
#include <new>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

const char usage[] = "usage: make_sample [--if-missing] [--order random|ascending|descending|repeated|"
                     "nearly-sorted] FILE [COUNT [SEED]]\n";

} // namespace

int main(int argc, char **argv)
{
    message_init("make_sample");
    const option options[] = {{"if-missing", no_argument, nullptr, 'm'},
                              {"order", required_argument, nullptr, 'o'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    bool if_missing = false;
    std::string order = "random";
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if (c == 'm')
            if_missing = true;
        else
            order = optarg;
    }
    if (status >= 0)
        return status;
    if (!is_sample_order(order))
        return usage_error(usage, "unknown order: " + order);
    int operands = argc - optind;
    if (operands == 0)
        return usage_error(usage, "no FILE given");
    if (operands > 3)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 3]);
    const std::string path = argv[optind];
    unsigned long long count = 1000000;
    unsigned long long seed = std::random_device{}();
    if (operands >= 2 && !parse_whole_number(argv[optind + 1], INT_MAX, &count))
        return usage_error(usage, std::string("COUNT must be a whole number from 0 to 2147483647: ") + argv[optind + 1]);
    if (operands == 3 && !parse_whole_number(argv[optind + 2], ULLONG_MAX, &seed))
        return usage_error(usage, std::string("SEED must be a whole number from 0 to 18446744073709551615: ") +
                                      argv[optind + 2]);

    struct stat st;
    if (if_missing && stat(path.c_str(), &st) == 0)
        return 0;

    // The file is opened before anything is drawn, so that a path that
    // can't be written fails at once.
    replacement out;
    std::string error;
    if (!replace_begin(&out, path, &error))
        return cannot_write(path, error);
    std::mt19937_64 rng(seed);
    try {
        write_sample_keys(out.out, order, static_cast<std::size_t>(count), rng);
    } catch (const std::bad_alloc &) {
        replace_rollback(&out);
        return fail(3, "%s: out of memory for %llu keys", printable(path).c_str(), count);
    }
    return replace_commit(&out, &error) ? 0 : cannot_write(path, error);
}
