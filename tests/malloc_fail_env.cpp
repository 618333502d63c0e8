// malloc for a test build of the program, linked with -Wl,--wrap=malloc:
// FAIL_MALLOC_AT=n fails the program's n-th allocation (counting from 1),
// FAIL_MALLOC_FROM=n that one and every one after it.
#include <cstddef>
#include <cstdlib>

extern "C" void *__real_malloc(std::size_t size); // NOLINT(bugprone-reserved-identifier)

namespace {
long from_env(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0;
}
} // namespace

extern "C" void *__wrap_malloc(std::size_t size) // NOLINT(bugprone-reserved-identifier)
{
    static const long fail_at = from_env("FAIL_MALLOC_AT");
    static const long fail_from = from_env("FAIL_MALLOC_FROM");
    static long calls = 0;
    calls++;
    if (calls == fail_at || (fail_from > 0 && calls >= fail_from))
        return nullptr;
    return __real_malloc(size);
}
