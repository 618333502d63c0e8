// The progress line, on a fake clock.
#include "load_progress.h"
#include "message.h"
#include "stream_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

double fake_now = 0;
double fake_clock()
{
    return fake_now;
}

TEST(load_progress, AfterASecondAtMostFourTimesASecond)
{
    message_init("main_llist");
    std::FILE *out = std::tmpfile();
    load_progress p;
    load_progress_init(&p, out, true, fake_clock, "in.txt", 1000);
    p.start = p.shown_at = fake_now = 100;
    fake_now = 100.9;
    load_progress_update(&p, 128);
    EXPECT_EQ(written(out), "");
    fake_now = 101.5;
    load_progress_update(&p, 256);
    fake_now = 101.6;
    load_progress_update(&p, 384); // too soon after the last line
    fake_now = 101.75;
    load_progress_update(&p, 512);
    fake_now = 102;
    load_progress_finish(&p, 1000);
    EXPECT_EQ(written(out),
              "\rmain_llist: in.txt: 256 of 1000 entries (25 %), 0:01, 171 entries/s\033[K"
              "\rmain_llist: in.txt: 512 of 1000 entries (51 %), 0:01, 1024 entries/s\033[K"
              "\rmain_llist: in.txt: 1000 of 1000 entries (100 %), 0:02, 1952 entries/s\033[K\n");
    std::fclose(out);
}

} // namespace
