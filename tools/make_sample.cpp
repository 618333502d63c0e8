// Writes random ints, uniform over the whole int range, one per line.
//
//   make_sample [--if-missing] FILE [COUNT [SEED]]
//
// COUNT defaults to 1000000; without SEED the numbers differ on every run.
// With --if-missing an existing FILE is left as it is.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: make_sample [--if-missing] FILE [COUNT [SEED]]\n");
    return 2;
}

bool parse_number(const char *text, unsigned long long *out)
{
    char *end = nullptr;
    errno = 0;
    *out = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    bool if_missing = arg < argc && std::strcmp(argv[arg], "--if-missing") == 0;
    if (if_missing)
        arg++;
    if (argc - arg < 1 || argc - arg > 3)
        return usage();
    const char *path = argv[arg];
    unsigned long long count = 1000000;
    unsigned long long seed = std::random_device{}();
    if (argc - arg >= 2 && !parse_number(argv[arg + 1], &count))
        return usage();
    if (argc - arg == 3 && !parse_number(argv[arg + 2], &seed))
        return usage();

    struct stat st;
    if (if_missing && stat(path, &st) == 0)
        return 0;

    std::FILE *out = std::fopen(path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "make_sample: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> any_int(INT_MIN, INT_MAX);
    for (unsigned long long i = 0; i < count; i++)
        std::fprintf(out, "%d\n", any_int(rng));
    bool write_failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || write_failed) {
        std::fprintf(stderr, "make_sample: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    return 0;
}
