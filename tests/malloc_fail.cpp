#include "malloc_fail.h"

#include <cstddef>

extern "C" void *__real_malloc(std::size_t size); // NOLINT(bugprone-reserved-identifier)
extern "C" void __real_free(void *p); // NOLINT(bugprone-reserved-identifier)

namespace {
long fail_at = 0; // 0: never fail
bool fail_after = false;
long malloc_calls = 0;
long malloc_failures = 0;
long free_calls = 0;
} // namespace

extern "C" void *__wrap_malloc(std::size_t size) // NOLINT(bugprone-reserved-identifier)
{
    long n = ++malloc_calls;
    if (fail_at != 0 && (n == fail_at || (fail_after && n > fail_at))) {
        malloc_failures++;
        return nullptr;
    }
    return __real_malloc(size);
}

extern "C" void __wrap_free(void *p) // NOLINT(bugprone-reserved-identifier)
{
    if (p != nullptr)
        free_calls++;
    __real_free(p);
}

void fail_malloc_at(long n, bool from_then_on)
{
    fail_at = n;
    fail_after = from_then_on;
    malloc_calls = 0;
    malloc_failures = 0;
    free_calls = 0;
}

void stop_failing_malloc()
{
    fail_malloc_at(0, false);
}

long mallocs_seen()
{
    return malloc_calls;
}

long frees_seen()
{
    return free_calls;
}

long failures_seen()
{
    return malloc_failures;
}
