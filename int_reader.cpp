#include "int_reader.h"

#include "exit_status.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// For each byte value: 0 for a byte that isn't white space, 1 for one that
// is, 3 for a newline, so that bit 1 counts lines.
struct space_kinds {
    unsigned char of[256];
};
constexpr space_kinds make_space_kinds()
{
    space_kinds kinds{};
    const char spaces[] = " \t\n\v\f\r";
    for (int i = 0; spaces[i] != '\0'; i++)
        kinds.of[static_cast<unsigned char>(spaces[i])] = spaces[i] == '\n' ? 3 : 1;
    return kinds;
}
constexpr space_kinds space_kind = make_space_kinds();

bool is_space(int c)
{
    return c >= 0 && space_kind.of[c] != 0;
}

unsigned space_kind_of(char c)
{
    return space_kind.of[static_cast<unsigned char>(c)];
}

bool is_digit(int c)
{
    return static_cast<unsigned>(c - '0') <= 9;
}

// The value of the eight decimal digits at p, or -1 when any of the eight
// bytes is not a digit. Works on all eight at once, as a little-endian
// 64-bit word holding one byte per lane.
std::int64_t eight_digits(const char *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "p[0] must be the low byte");
    // A lane holding a digit becomes 0..9, so that neither it nor it plus 6
    // reaches 0x10. The lowest lane that isn't a digit gets no borrow or
    // carry from the digits below it and is caught: below '0' it wraps to
    // 0xd0 or more, above '9' it or it plus 6 reaches 0x10.
    std::uint64_t d = word - 0x3030303030303030u;
    if (((d | (d + 0x0606060606060606u)) & 0xf0f0f0f0f0f0f0f0u) != 0)
        return -1;
    // Fold neighbouring lanes: pairs of digits, then fours, then all eight.
    d = d * 10 + (d >> 8);
    d = (((d & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
         (((d >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >>
        32;
    return static_cast<std::int64_t>(d);
}

const char byte_order_mark[] = "\xEF\xBB\xBF";

// Whether the len bytes at the start of the file could still become a
// byte-order mark.
bool may_become_mark(const int_reader *r, std::size_t len)
{
    return r->at_start && len < 3 && std::memcmp(r->block, byte_order_mark, len) == 0;
}

// Reads the next block; false at end of file or after a failed read. At the
// start of the file it reads on while the bytes so far begin a UTF-8
// byte-order mark, so that a leading mark is skipped however the reads come.
// Kept out of line, with the rest of the rare paths, so that the common path
// needs few registers.
__attribute__((noinline)) bool refill(int_reader *r)
{
    std::size_t len = 0;
    while ((len == 0 || may_become_mark(r, len)) && !r->ended) {
        ssize_t n;
        do
            n = read(r->fd, r->block + len, INT_READER_BLOCK - len);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            r->ended = true;
            r->error = n < 0 ? errno : 0;
        } else {
            len += static_cast<std::size_t>(n);
        }
    }
    if (len == 0)
        return false;
    r->pos = 0;
    r->len = len;
    r->block[len] = '\0';
    if (r->at_start && len >= 3 && std::memcmp(r->block, byte_order_mark, 3) == 0)
        r->pos = 3;
    r->at_start = false;
    return true;
}

// The next unparsed byte, or -1 at end of file or after a failed read.
int peek(int_reader *r)
{
    while (r->pos == r->len) {
        if (!refill(r))
            return -1;
    }
    return static_cast<unsigned char>(r->block[r->pos]);
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

// Takes what text still holds of a rejected entry and leaves the rest,
// however long, for the next read to skip.
read_result reject(int_reader *r, read_result why)
{
    int c = peek(r);
    for (; c >= 0 && !is_space(c) && r->text_len < sizeof r->text; c = peek(r))
        take(r, c);
    if (c >= 0 && !is_space(c)) {
        r->text_cut = true;
        r->skipping = true;
    }
    return r->error != 0 ? READ_IO_ERROR : why;
}

// Reads the next entry a byte at a time, whatever blocks it spans, keeping
// its text for messages: the general case behind int_reader_next. Kept out
// of line so that the common path needs few registers.
__attribute__((noinline)) read_result next_entry_slowly(int_reader *r, int *value)
{
    int c = peek(r);
    if (r->skipping) {
        for (; c >= 0 && !is_space(c); c = peek(r))
            r->pos++;
        r->skipping = false;
    }
    for (; c >= 0 && is_space(c); c = peek(r)) {
        r->line += c == '\n';
        r->pos++;
    }
    if (c < 0)
        return r->error != 0 ? READ_IO_ERROR : READ_END;

    r->text_len = 0;
    r->text_cut = false;
    bool negative = c == '-';
    std::size_t taken = 0; // bytes of the entry so far
    if (c == '-' || c == '+') {
        take(r, c);
        taken++;
        c = peek(r);
    }
    // The magnitude stops growing once past any int, so it can't overflow.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t magnitude = 0;
    bool digits = false;
    for (; is_digit(c); c = peek(r), taken++) {
        if (taken == INT_READER_LONGEST)
            return reject(r, READ_TOO_LONG);
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

void int_reader_quote(const int_reader *r, char *out)
{
    for (std::size_t i = 0; i < r->text_len; i++) {
        char c = r->text[i];
        *out++ = c >= ' ' && c <= '~' ? c : '?';
    }
    for (int i = 0; r->text_cut && i < 3; i++)
        *out++ = '.';
    *out = '\0';
}

int int_reader_failure(const int_reader *r, read_result result, int entry, int needed, char *out)
{
    char text[INT_READER_TEXT + 4];
    int_reader_quote(r, text);
    const std::size_t size = INT_READER_MESSAGE;
    const unsigned long line = r->line;
    switch (result) {
    case READ_END:
        std::snprintf(out, size, "entry %d (line %lu): missing: the file ends after %d integers, %d are needed",
                      entry, line, entry - 1, needed);
        return STATUS_BAD_INPUT;
    case READ_NOT_INT:
        std::snprintf(out, size, "entry %d (line %lu): not a decimal integer: \"%s\"", entry, line, text);
        return STATUS_BAD_INPUT;
    case READ_RANGE:
        std::snprintf(out, size, "entry %d (line %lu): outside the 32-bit integer range: \"%s\"", entry, line, text);
        return STATUS_BAD_INPUT;
    case READ_TOO_LONG:
        std::snprintf(out, size, "entry %d (line %lu): too long: more than %zu bytes of digits: \"%s\"", entry, line,
                      INT_READER_LONGEST, text);
        return STATUS_BAD_INPUT;
    default:
        std::snprintf(out, size, "entry %d (line %lu): read failed: %s", entry, line, std::strerror(r->error));
        return STATUS_READ_FAILED;
    }
}

void int_reader_init(int_reader *r, int fd)
{
    r->fd = fd;
    r->error = 0;
    r->line = 1;
    r->pos = 0;
    r->len = 0;
    r->ended = false;
    r->at_start = true;
    r->skipping = false;
    r->text_len = 0;
    r->text_cut = false;
    r->block[0] = '\0';
}

read_result int_reader_next(int_reader *r, int *value)
{
    // The common case, a valid entry of at most ten digits whose white space
    // on both sides lies within this block, is read here; anything else is
    // read again, from where the last entry ended, by next_entry_slowly.
    if (r->skipping)
        return next_entry_slowly(r, value);
    // Locals rather than fields in the loops: stores through a char pointer
    // could alias the record, which would keep the fields in memory.
    const char *p = r->block + r->pos;
    const char *end = r->block + r->len;
    unsigned long line = r->line;
    // The NUL after the block's bytes ends the scans.
    for (unsigned kind; (kind = space_kind_of(*p)) != 0; p++)
        line += kind >> 1;

    // The sign, and the ninth and tenth digits, are taken without branches:
    // in random input they follow no pattern that a predictor could learn.
    unsigned char first = static_cast<unsigned char>(*p);
    bool negative = first == '-';
    p += (first == '-') | (first == '+');
    const char *digits = p;
    std::uint64_t magnitude = 0;
    std::int64_t first_eight = end - p >= 8 ? eight_digits(p) : -1;
    if (first_eight >= 0) {
        magnitude = static_cast<std::uint64_t>(first_eight);
        p += 8;
        for (int i = 0; i < 2; i++) {
            std::uint64_t d = static_cast<unsigned char>(*p) - std::uint64_t{'0'};
            std::uint64_t is_digit_mask = 0 - static_cast<std::uint64_t>(d <= 9);
            magnitude += (magnitude * 9 + d) & is_digit_mask;
            p += d <= 9;
        }
    }
    // Past ten digits the magnitude may wrap, but is then not used.
    for (; is_digit(*p); p++)
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
    if (p == digits || p - digits > 10 || p == end || space_kind_of(*p) == 0 ||
        magnitude > 2147483647u + negative)
        return next_entry_slowly(r, value);

    r->pos = static_cast<std::size_t>(p - r->block);
    r->line = line;
    std::int64_t signed_magnitude = static_cast<std::int64_t>(magnitude);
    *value = static_cast<int>(negative ? -signed_magnitude : signed_magnitude);
    return READ_INT;
}
