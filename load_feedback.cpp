#include "load_feedback.h"

#include <ctime>
#include <unistd.h>

namespace {

double monotonic_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool in_order(int before, int key, bool rising)
{
    return rising ? key >= before : key <= before;
}

// The length of the run in order that ends at keys[to - 1], given run, the
// length of the one that ended at keys[from - 1]. Walks back from the end,
// so for keys in no order it looks at a key or two.
int run_at_end(const int *keys, int from, int to, int run, bool rising)
{
    int i = to - 1;
    while (i > 0 && i >= from && in_order(keys[i - 1], keys[i], rising))
        i--;
    return i < from ? run + (to - from) : to - i;
}

// Where both runs overlap every key equals the one before it.
void warn_of_chain(load_feedback *f, int loaded, int warn_at)
{
    int equal = f->rising < f->falling ? f->rising : f->falling;
    int run = equal >= warn_at ? equal : f->rising >= warn_at ? f->rising : f->falling;
    const char *how = equal >= warn_at       ? "are one key repeated"
                      : f->rising >= warn_at ? "come in ascending order"
                                             : "come in descending order";
    std::fprintf(f->out,
                 "main_llist: %s: warning: entries %d to %d %s, which builds a chain in the "
                 "unbalanced tree: input like this makes the load take quadratic time "
                 "(minutes at 1000000 such keys)\n",
                 f->file, loaded - run + 1, loaded, how);
    f->warned = true;
}

void show_progress(load_feedback *f, int loaded, double now)
{
    double elapsed = now - f->start;
    double interval = now - f->shown_at;
    double rate = interval > 0 ? (loaded - f->shown_count) / interval : 0;
    int seconds = static_cast<int>(elapsed);
    // \r and erase-to-end-of-line rewrite the line in place.
    std::fprintf(f->out, "\rmain_llist: %s: %d of %d entries (%d %%), %d:%02d, %.0f entries/s\033[K",
                 f->file, loaded, f->total, static_cast<int>(100.0 * loaded / f->total),
                 seconds / 60, seconds % 60, rate);
    std::fflush(f->out);
    f->line_open = true;
    f->shown_at = now;
    f->shown_count = loaded;
}

} // namespace

void load_feedback_init(load_feedback *f, std::FILE *out, const char *file, int total)
{
    f->out = out;
    f->file = file;
    f->total = total;
    f->progress = isatty(fileno(out)) != 0;
    f->now = monotonic_seconds;
    f->start = f->progress ? f->now() : 0;
    f->shown_at = f->start;
    f->shown_count = 0;
    f->line_open = false;
    f->scanned = 0;
    f->rising = 0;
    f->falling = 0;
    f->warned = false;
}

void load_feedback_update(load_feedback *f, const int *keys, int loaded)
{
    if (!f->warned) {
        f->rising = run_at_end(keys, f->scanned, loaded, f->rising, true);
        f->falling = run_at_end(keys, f->scanned, loaded, f->falling, false);
        f->scanned = loaded;
        // A shorter run than chain_warning_run can't reach it unseen before
        // the next update.
        const int warn_at = chain_warning_run - feedback_every + 1;
        if (f->rising >= warn_at || f->falling >= warn_at) {
            if (f->line_open)
                std::fputc('\n', f->out);
            f->line_open = false;
            warn_of_chain(f, loaded, warn_at);
        }
    }
    if (!f->progress)
        return;
    double now = f->now();
    // The first line after a second, then at most four a second.
    if (now - f->start > 1.0 && now - f->shown_at >= 0.25)
        show_progress(f, loaded, now);
}

void load_feedback_finish(load_feedback *f, int loaded)
{
    if (!f->line_open)
        return;
    show_progress(f, loaded, f->now());
    std::fputc('\n', f->out);
    f->line_open = false;
}
