#include "load_progress.h"

#include "message.h"

#include <ctime>

namespace {

double monotonic_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void show(load_progress *p, int loaded, double now)
{
    double elapsed = now - p->start;
    double interval = now - p->shown_at;
    double rate = interval > 0 ? (loaded - p->shown_count) / interval : 0;
    int seconds = static_cast<int>(elapsed);
    // \r and erase-to-end-of-line rewrite the line in place.
    std::fprintf(p->out, "\r%s: %s: %d of %d entries (%d %%), %d:%02d, %.0f entries/s\033[K",
                 program_name(), p->file, loaded, p->total, static_cast<int>(100.0 * loaded / p->total),
                 seconds / 60, seconds % 60, rate);
    std::fflush(p->out);
    p->line_open = true;
    p->shown_at = now;
    p->shown_count = loaded;
}

} // namespace

void load_progress_init(load_progress *p, std::FILE *out, bool shown, double (*clock)(), const char *file,
                        int total)
{
    p->out = out;
    p->file = file;
    p->total = total;
    p->shown = shown;
    p->now = clock != nullptr ? clock : monotonic_seconds;
    p->start = p->shown ? p->now() : 0;
    p->shown_at = p->start;
    p->shown_count = 0;
    p->line_open = false;
}

void load_progress_update(load_progress *p, int loaded)
{
    if (!p->shown)
        return;
    double now = p->now();
    // The first line after a second, then at most four a second.
    if (now - p->start > 1.0 && now - p->shown_at >= 0.25)
        show(p, loaded, now);
}

void load_progress_finish(load_progress *p, int loaded)
{
    if (!p->line_open)
        return;
    show(p, loaded, p->now());
    std::fputc('\n', p->out);
    p->line_open = false;
}
