#include "int_reader.h"
#include "reader_reference.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

// read, as the reader calls it, through -Wl,--wrap=read: for the descriptor
// scripted_fd, each call takes the next step of the script first (a cap on
// the bytes returned, or a failure with an errno), then reads as read does.
extern "C" ssize_t __real_read(int fd, void *buf, std::size_t count); // NOLINT(bugprone-reserved-identifier)

namespace {

struct read_step {
    std::size_t cap; // bytes at most, for a step that reads
    int error;       // errno of a failed call, or 0 for one that reads
};
int scripted_fd = -1;
std::vector<read_step> script;

} // namespace

extern "C" ssize_t __wrap_read(int fd, void *buf, std::size_t count) // NOLINT(bugprone-reserved-identifier)
{
    if (fd != scripted_fd || script.empty())
        return __real_read(fd, buf, count);
    read_step step = script.front();
    script.erase(script.begin());
    if (step.error != 0) {
        errno = step.error;
        return -1;
    }
    return __real_read(fd, buf, count < step.cap ? count : step.cap);
}

namespace {

struct reading {
    std::vector<int> values;
    read_result last;   // the result that ended the reading
    unsigned long line; // the reader's line then
    std::string text;   // the entry kept for messages then
    int error;
};

// An unlinked file holding bytes, open at its start.
int file_holding(const std::string &bytes)
{
    char path[] = "/tmp/reader_testXXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    lseek(fd, 0, SEEK_SET);
    unlink(path);
    return fd;
}

// Reads the entries of the bytes given up to the first that isn't READ_INT,
// the read calls following steps.
reading read_all(const std::string &bytes, const std::vector<read_step> &steps = {})
{
    int fd = file_holding(bytes);
    scripted_fd = fd;
    script = steps;

    static int_reader r;
    int_reader_init(&r, fd);
    reading out{};
    int v = 0;
    while ((out.last = int_reader_next(&r, &v)) == READ_INT)
        out.values.push_back(v);
    out.line = r.line;
    out.text.assign(r.text, r.text_len);
    out.error = r.error;
    scripted_fd = -1;
    close(fd);
    return out;
}

TEST(reader, AcceptsWhatPercentDAcceptsForInRangeValues)
{
    reading r = read_all(" 1\t-2\r\n+3\v\f0004\n\n-0 +0 2147483647 -2147483648");
    EXPECT_EQ(r.values, (std::vector<int>{1, -2, 3, 4, 0, 0, 2147483647, -2147483647 - 1}));
    EXPECT_EQ(r.last, READ_END);
    EXPECT_EQ(read_all("").last, READ_END);
    EXPECT_EQ(read_all(" \n\t ").last, READ_END);
}

TEST(reader, RejectsWhatIsNotAWholeDecimalInteger)
{
    for (const char *bad : {"12abc", "-", "+", "abc", "1.5", "--1", "+-1", "1-2", "0x10", "1,2"}) {
        SCOPED_TRACE(bad);
        reading r = read_all(std::string("7\n") + bad + " 8");
        EXPECT_EQ(r.values, std::vector<int>{7});
        EXPECT_EQ(r.last, READ_NOT_INT);
        EXPECT_EQ(r.text, bad);
        EXPECT_EQ(r.line, 2u);
    }
    reading nul = read_all(std::string("5 1\0 2", 6));
    EXPECT_EQ(nul.last, READ_NOT_INT);
    EXPECT_EQ(nul.text, std::string("1\0", 2));
}

TEST(reader, RejectsIntegersOutsideTheRangeWithoutWrapping)
{
    for (const char *big : {"2147483648", "-2147483649", "4294967296", "+99999999999999999999999999"}) {
        SCOPED_TRACE(big);
        reading r = read_all(std::string("1\n\n") + big);
        EXPECT_EQ(r.values, std::vector<int>{1});
        EXPECT_EQ(r.last, READ_RANGE);
        EXPECT_EQ(r.line, 3u);
    }
    reading r = read_all("1 " + std::string(40, '9'));
    EXPECT_EQ(r.text, std::string(INT_READER_TEXT, '9'));
}

// The eight-digits-at-a-time path and the byte-at-a-time one must agree at
// their edges: the bytes either side of the digits ('/' and ':') at every
// place of an entry, and the limits of int. Each entry stands where the
// fast path reads it (whole within a block) and where it falls across the
// boundary of two blocks, which the slow path reads.
TEST(reader, EdgesOfBothPaths)
{
    struct edge {
        std::string entry;
        read_result result;
        int value;
    };
    std::vector<edge> edges = {{"2147483647", READ_INT, 2147483647},    {"2147483648", READ_RANGE, 0},
                               {"-2147483648", READ_INT, -2147483647 - 1}, {"-2147483649", READ_RANGE, 0},
                               {"21474836470", READ_RANGE, 0},          {"+0002147483647", READ_INT, 2147483647},
                               {"12345678", READ_INT, 12345678},       {"999999999", READ_INT, 999999999}};
    for (char odd : {'/', ':'})
        for (std::size_t at = 0; at < 10; at++) {
            std::string entry = "1234567890";
            entry[at] = odd;
            edges.push_back({entry, READ_NOT_INT, 0});
        }
    for (const edge &e : edges)
        for (std::size_t split : {std::size_t{0}, std::size_t{1}, e.entry.size() / 2, e.entry.size() - 1}) {
            // split bytes of the entry in the first block, the rest in the
            // second; 0 for an entry whole in the first.
            SCOPED_TRACE(e.entry + " split after " + std::to_string(split));
            std::string pad(split == 0 ? 0 : INT_READER_BLOCK - 2 - split, ' ');
            reading r = read_all("7\n" + pad + e.entry + " 9");
            std::vector<int> want = {7};
            if (e.result == READ_INT)
                want.insert(want.end(), {e.value, 9});
            EXPECT_EQ(r.values, want);
            EXPECT_EQ(r.last, e.result == READ_INT ? READ_END : e.result);
        }
    // An entry that ends where the block ends, and one that ends the file.
    reading r = read_all(std::string(INT_READER_BLOCK - 8, ' ') + "12345678" + "\n5");
    EXPECT_EQ(r.values, (std::vector<int>{12345678, 5}));
    EXPECT_EQ(read_all("5 12345678").values, (std::vector<int>{5, 12345678}));
}

// A read that fails part-way through an entry's digits is a failed read,
// not a shorter entry; one that a signal interrupts is tried again.
TEST(reader, ReadsThatFailOrAreInterrupted)
{
    reading r = read_all("1 2 345678 9", {{7, 0}, {0, EIO}});
    EXPECT_EQ(r.values, (std::vector<int>{1, 2}));
    EXPECT_EQ(r.last, READ_IO_ERROR);
    EXPECT_EQ(r.error, EIO);
    r = read_all("1 2 345678 9", {{0, EINTR}, {5, 0}, {0, EINTR}, {0, EINTR}});
    EXPECT_EQ(r.values, (std::vector<int>{1, 2, 345678, 9}));
    EXPECT_EQ(r.last, READ_END);
}

TEST(reader, SkipsAByteOrderMarkAtTheStartOnly)
{
    const std::string mark = "\xEF\xBB\xBF";
    reading r = read_all(mark + "-830069773 5");
    EXPECT_EQ(r.values, (std::vector<int>{-830069773, 5}));
    EXPECT_EQ(r.last, READ_END);
    EXPECT_EQ(read_all(mark).last, READ_END);
    reading twice = read_all(mark + mark + "1");
    EXPECT_EQ(twice.last, READ_NOT_INT);
    EXPECT_EQ(twice.text, mark + "1");
    EXPECT_EQ(read_all("1 " + mark + "2").values, std::vector<int>{1});
    EXPECT_EQ(read_all("\xEF\xBB" "7").last, READ_NOT_INT);
}

TEST(reader, EntriesAcrossBlockBoundaries)
{
    for (std::size_t pad : {INT_READER_BLOCK - 3, INT_READER_BLOCK - 1, INT_READER_BLOCK,
                            2 * INT_READER_BLOCK - 5}) {
        SCOPED_TRACE(pad);
        reading r = read_all(std::string(pad, '\n') + "-123456 7" + std::string(pad, ' ') + "8x");
        EXPECT_EQ(r.values, (std::vector<int>{-123456, 7}));
        EXPECT_EQ(r.last, READ_NOT_INT);
        EXPECT_EQ(r.text, "8x");
        EXPECT_EQ(r.line, pad + 1);
    }
}

TEST(reader, ReportsAFailedRead)
{
    int fd = open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    static int_reader r;
    int_reader_init(&r, fd);
    int v = 0;
    EXPECT_EQ(int_reader_next(&r, &v), READ_IO_ERROR);
    EXPECT_EQ(r.error, EISDIR);
    close(fd);
}

// Random streams of digits, signs, letters and white space, read to the end
// and checked against strtoll on each white-space-separated entry.
TEST(reader, AgreesWithStrtollOnRandomStreams)
{
    const std::string alphabet = "0123456789012345678999+-  \n\tx";
    for (unsigned seed = 1; seed <= 300; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::string bytes;
        for (auto i = rng() % 200; i > 0; i--)
            bytes += alphabet[rng() % alphabet.size()];
        int fd = file_holding(bytes);
        static int_reader r;
        int_reader_init(&r, fd);
        EXPECT_EQ(read_every_entry(&r), reference_read(bytes)) << bytes;
        close(fd);
    }
}

// An entry of sign and digits is read no further than INT_READER_LONGEST
// bytes, so that endless digits end; within that, leading zeros are read.
TEST(reader, AnEntryIsReadNoFurtherThanItsBound)
{
    const std::string zeros(INT_READER_LONGEST - 1, '0');
    const std::pair<std::string, read_result> entries[] = {
        {zeros + "7", READ_INT},        {"-" + zeros.substr(1) + "7", READ_INT},
        {zeros + "07", READ_TOO_LONG},  {"-" + zeros + "7", READ_TOO_LONG},
        {zeros + "0x", READ_NOT_INT},   {zeros + "12345678901", READ_TOO_LONG},
    };
    for (const auto &[entry, result] : entries) {
        SCOPED_TRACE(entry.size());
        std::string bytes = "1 " + entry + " 2";
        reading r = read_all(bytes);
        EXPECT_EQ(r.last, result == READ_INT ? READ_END : result);
        int fd = file_holding(bytes);
        static int_reader reader;
        int_reader_init(&reader, fd);
        EXPECT_EQ(read_every_entry(&reader), reference_read(bytes));
        close(fd);
    }
}

TEST(reader, ReadsOnAfterARejectedEntryOfAnyLength)
{
    std::string bytes = std::string(51, 'x') + "12 7\n" + std::string(56, '9') + " -8 " +
                        std::string(INT_READER_BLOCK, '5') + "z 9";
    int fd = file_holding(bytes);
    static int_reader r;
    int_reader_init(&r, fd);
    std::string cut = "...";
    EXPECT_EQ(read_every_entry(&r),
              (std::vector<reference_entry>{
                  {READ_NOT_INT, 0, 1, std::string(INT_READER_TEXT, 'x') + cut},
                  {READ_INT, 7, 1, ""},
                  {READ_RANGE, 0, 2, std::string(INT_READER_TEXT, '9') + cut},
                  {READ_INT, -8, 2, ""},
                  {READ_TOO_LONG, 0, 2, std::string(INT_READER_TEXT, '5') + cut},
                  {READ_INT, 9, 2, ""},
                  {READ_END, 0, 2, ""}}));
    close(fd);
}

} // namespace
