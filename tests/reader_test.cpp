#include "int_reader.h"
#include "reader_reference.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

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

// Reads the entries of the bytes given up to the first that isn't READ_INT.
reading read_all(const std::string &bytes)
{
    int fd = file_holding(bytes);

    static int_reader r;
    int_reader_init(&r, fd);
    reading out{};
    int v = 0;
    while ((out.last = int_reader_next(&r, &v)) == READ_INT)
        out.values.push_back(v);
    out.line = r.line;
    out.text.assign(r.text, r.text_len);
    out.error = r.error;
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
