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
#include "sample_keys.h"
#include "whole_file.h"

#include <climits>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

const char program[] = "make_sample";
const char usage[] = "usage: make_sample [--if-missing] [--order random|ascending|descending|repeated|"
                     "nearly-sorted] FILE [COUNT [SEED]]\n";

} // namespace

int main(int argc, char **argv)
{
    command_line line;
    int status = read_command_line(argc, argv, program, usage, {{"if-missing", false}, {"order", true}},
                                   &line);
    if (status >= 0)
        return status;
    std::string order = line.options.count("order") != 0 ? line.options["order"] : "random";
    if (!is_sample_order(order))
        return usage_error(program, usage, "unknown order: " + order);
    if (line.operands.empty())
        return usage_error(program, usage, "no FILE given");
    if (line.operands.size() > 3)
        return too_many_operands(program, usage, line, 3);
    const std::string &path = line.operands[0];
    unsigned long long count = 1000000;
    unsigned long long seed = std::random_device{}();
    if (line.operands.size() >= 2 && !parse_whole_number(line.operands[1], INT_MAX, &count))
        return usage_error(program, usage, "COUNT must be a whole number from 0 to 2147483647: " + line.operands[1]);
    if (line.operands.size() == 3 && !parse_whole_number(line.operands[2], ULLONG_MAX, &seed))
        return usage_error(program, usage, "SEED must be a whole number from 0 to 18446744073709551615: " +
                                               line.operands[2]);

    struct stat st;
    if (line.options.count("if-missing") != 0 && stat(path.c_str(), &st) == 0)
        return 0;

    // The file is opened before anything is drawn, so that a path that
    // can't be written fails at once.
    whole_file out;
    std::string error;
    if (!whole_file_open(&out, path, &error)) {
        std::fprintf(stderr, "%s: %s: cannot write: %s\n", program, printable(path).c_str(), error.c_str());
        return 1;
    }
    std::mt19937_64 rng(seed);
    try {
        write_sample_keys(out.out, order, static_cast<std::size_t>(count), rng);
    } catch (const std::bad_alloc &) {
        whole_file_abandon(&out);
        std::fprintf(stderr, "%s: %s: out of memory for %llu keys\n", program, printable(path).c_str(),
                     count);
        return 3;
    }
    if (!whole_file_commit(&out, &error)) {
        std::fprintf(stderr, "%s: %s: cannot write: %s\n", program, printable(path).c_str(), error.c_str());
        return 1;
    }
    return 0;
}
