#include "message.h"

#include <cstdarg>

namespace {

const char *program = "";
std::FILE *stream = stderr;

// One fprintf for the whole line, so that it can't interleave with another
// process's writes.
void say(const char *format, va_list args)
{
    char text[4096];
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): the callers' va_start; the analyzer doesn't follow it
    std::vsnprintf(text, sizeof text, format, args);
    std::fprintf(stream, "%s: %s\n", program, text);
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

void warn(const char *format, ...)
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
