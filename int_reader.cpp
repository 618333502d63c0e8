#include "int_reader.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace {

bool is_space(int c)
{
    // Unsigned wrap-around folds the range test \t..\r into one comparison.
    return c == ' ' || static_cast<unsigned>(c - '\t') <= '\r' - '\t';
}

bool is_digit(int c)
{
    return static_cast<unsigned>(c - '0') <= 9;
}

// The next unparsed byte, or -1 at end of file or after a failed read.
int peek(int_reader *r)
{
    if (r->pos < r->len)
        return static_cast<unsigned char>(r->block[r->pos]);
    if (r->ended)
        return -1;
    ssize_t n;
    do
        n = read(r->fd, r->block, INT_READER_BLOCK);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        r->ended = true;
        r->error = n < 0 ? errno : 0;
        return -1;
    }
    r->pos = 0;
    r->len = static_cast<std::size_t>(n);
    r->block[r->len] = '\0';
    return static_cast<unsigned char>(r->block[0]);
}

// Consumes byte c of the current entry, keeping it for messages.
void take(int_reader *r, int c)
{
    if (r->text_len < sizeof r->text)
        r->text[r->text_len++] = static_cast<char>(c);
    else
        r->text_cut = true;
    r->pos++;
}

// Keeps the rest of a rejected entry for messages, up to what text holds.
read_result reject(int_reader *r, read_result why)
{
    for (int c = peek(r); c >= 0 && !is_space(c) && !r->text_cut; c = peek(r))
        take(r, c);
    return r->error != 0 ? READ_IO_ERROR : why;
}

// Parses the entry that starts at the next byte, whatever blocks it spans,
// and keeps its text for messages. Kept out of line so that the common path
// stays small.
__attribute__((noinline)) read_result next_entry(int_reader *r, int *value)
{
    r->text_len = 0;
    r->text_cut = false;
    int c = peek(r);
    bool negative = c == '-';
    if (c == '-' || c == '+') {
        take(r, c);
        c = peek(r);
    }
    // The magnitude stops growing once past any int, so it can't overflow.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t magnitude = 0;
    bool digits = false;
    for (; is_digit(c); c = peek(r)) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        digits = true;
        take(r, c);
    }
    if (c < 0 && r->error != 0)
        return READ_IO_ERROR;
    if (!digits || (c >= 0 && !is_space(c)))
        return reject(r, READ_NOT_INT);
    if (magnitude > limit)
        return READ_RANGE;
    *value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                      : static_cast<int>(magnitude);
    return READ_INT;
}

} // namespace

void int_reader_init(int_reader *r, int fd)
{
    r->fd = fd;
    r->error = 0;
    r->line = 1;
    r->pos = 0;
    r->len = 0;
    r->ended = false;
    r->text_len = 0;
    r->text_cut = false;
    r->block[0] = '\0';
}

read_result int_reader_next(int_reader *r, int *value)
{
    // Locals rather than fields in the loops: stores through a char pointer
    // could alias the record, which would keep the fields in memory.
    const char *p = r->block + r->pos;
    unsigned long line = r->line;
    for (;;) {
        // The NUL after the block's bytes ends this scan, and the digit scan
        // below.
        for (; is_space(*p); p++)
            line += *p == '\n';
        r->line = line;
        r->pos = static_cast<std::size_t>(p - r->block);
        if (r->pos < r->len)
            break;
        if (peek(r) < 0)
            return r->error != 0 ? READ_IO_ERROR : READ_END;
        p = r->block + r->pos;
    }

    // The common case, a valid entry of at most ten digits followed by white
    // space within this block, is parsed here; anything else is parsed again
    // from its start by next_entry. Past ten digits the magnitude may wrap,
    // but is then not used.
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    const char *digits = p;
    std::uint64_t magnitude = 0;
    for (; is_digit(*p); p++)
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
    if (p == digits || p - digits > 10 || !is_space(*p) ||
        magnitude > (negative ? 2147483648u : 2147483647u))
        return next_entry(r, value);
    r->pos = static_cast<std::size_t>(p - r->block);
    *value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                      : static_cast<int>(magnitude);
    return READ_INT;
}
