// Counting wrappers around malloc and free for the test binaries, which are
// linked with -Wl,--wrap=malloc -Wl,--wrap=free: calls from the code under
// test reach these wrappers, so a test can fail chosen allocations.
#ifndef MALLOC_FAIL_H
#define MALLOC_FAIL_H

// Makes the n-th malloc from now fail (n counts from 1), and with
// from_then_on every malloc after it too. Resets both counters.
void fail_malloc_at(long n, bool from_then_on = false);

// Lets every malloc succeed again and resets both counters.
void stop_failing_malloc();

// mallocs (failed ones included), mallocs made to fail, and frees of
// non-null pointers since the counters were last reset.
long mallocs_seen();
long failures_seen();
long frees_seen();

// Fails allocations as fail_malloc_at says for as long as it lives.
struct malloc_failure {
    malloc_failure(long n, bool from_then_on = false) { fail_malloc_at(n, from_then_on); }
    ~malloc_failure() { stop_failing_malloc(); }
    malloc_failure(const malloc_failure &) = delete;
    malloc_failure &operator=(const malloc_failure &) = delete;
};

#endif
