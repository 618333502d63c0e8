#include "filter.h"

#include "message.h"
#include "printable.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void close_stdout()
{
    int error = errno; // a failed write's reason, where stdout failed before
    bool failed = std::ferror(stdout) != 0;
    errno = 0;
    if (std::fclose(stdout) != 0) {
        failed = true;
        error = errno;
    }
    if (!failed)
        return;
    if (error != EPIPE)
        warning(error != 0 ? "write error: %s" : "write error", std::strerror(error));
    _exit(1);
}

} // namespace

void filter_init(const char *name)
{
    message_init(name);
    std::atexit(close_stdout);
    // A file size limit is then a failed write, said as any other, rather
    // than the end of the tool by SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
}

int usage_error(const char *usage, const std::string &what)
{
    return fail(2, "%s\n%.*s", printable(what).c_str(), static_cast<int>(std::strlen(usage)) - 1, usage);
}

bool whole_number(std::string_view text, unsigned long long most, unsigned long long *out, int base)
{
    const char *end = text.data() + text.size();
    unsigned long long n = 0;
    auto [stop, error] = std::from_chars(text.data(), end, n, base);
    if (text.empty() || text[0] == '-' || error != std::errc{} || stop != end || n > most)
        return false;
    *out = n;
    return true;
}

bool decimal(std::string_view text, double *out)
{
    std::size_t point = text.find('.');
    for (std::string_view part : {text.substr(0, point), point == text.npos ? "0" : text.substr(point + 1)})
        if (part.empty() || part.find_first_not_of("0123456789") != part.npos)
            return false;
    return std::from_chars(text.data(), text.data() + text.size(), *out, std::chars_format::fixed).ec == std::errc{};
}

std::string input_name(const std::string &operand)
{
    return operand == "-" ? "standard input" : printable(operand);
}

int next_option(int argc, char **argv, const option *options, const char *usage, int *status)
{
    opterr = 0; // the messages are the tool's own
    *status = -1;
    int c = getopt_long(argc, argv, ":h", options, nullptr);
    if (c == 'h') {
        std::fputs(usage, stdout); // a failed write is caught at exit
        *status = 0;
        return -1;
    }
    if (c != ':' && c != '?')
        return c;
    std::string given = argv[optind - 1];
    std::string what = "unknown option " + given;
    if (c == ':') {
        what = "option " + given + " needs a value";
    } else if (given.compare(0, 2, "--") != 0) {
        what = "unknown option -" + std::string(1, static_cast<char>(optopt));
    } else if (given.find('=') != std::string::npos) {
        // getopt_long refuses "--help=x" as it refuses an unknown option.
        std::string name = given.substr(2, given.find('=') - 2);
        for (const option *o = options; o->name != nullptr; o++)
            if (o->has_arg == no_argument && name == o->name)
                what = "--" + name + " takes no value";
    }
    *status = usage_error(usage, what);
    return -1;
}
