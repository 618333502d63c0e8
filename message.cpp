#include "message.h"

#include <cstdarg>
#include <cstdlib>

namespace {

const char *program = "";
std::FILE *stream = stderr;

// One fprintf for the whole line, so that it can't interleave with another
// process's writes. A line too long for the buffer is formatted whole in
// memory of its own, where that can be had, and shortened in its middle,
// between characters, with an ellipsis.
void say(const char *format, va_list args)
{
    char text[longest_message];
    va_list again;
    va_copy(again, args);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): the callers' va_start; the analyzer doesn't follow it
    int length = std::vsnprintf(text, sizeof text, format, args);
    char *whole = length >= longest_message ? static_cast<char *>(std::malloc(std::size_t(length) + 1)) : nullptr;
    if (whole != nullptr) {
        std::vsnprintf(whole, std::size_t(length) + 1, format, again);
        auto starts = [&](int at) { return (static_cast<unsigned char>(whole[at]) & 0xc0) != 0x80; };
        int head = longest_message / 4, tail = length - longest_message / 2;
        while (!starts(head))
            head--;
        while (!starts(tail))
            tail++;
        std::fprintf(stream, "%s: %.*s\u2026%s\n", program, head, whole, whole + tail);
    } else {
        std::fprintf(stream, "%s: %s\n", program, text);
    }
    va_end(again);
    std::free(whole);
    std::fflush(stream);
}

} // namespace

void message_init(const char *name, std::FILE *to)
{
    program = name;
    stream = to;
}

const char *program_name()
{
    return program;
}

std::FILE *message_stream()
{
    return stream;
}

void warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    say(format, args);
    va_end(args);
}

int fail(int status, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    say(format, args);
    va_end(args);
    return status;
}
