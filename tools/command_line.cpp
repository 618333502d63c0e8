#include "command_line.h"

#include "message.h"
#include "printable.h"
#include "replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int usage_error(const char *usage, const std::string &what)
{
    return fail(2, "%s\n%.*s", printable(what).c_str(), static_cast<int>(std::strlen(usage)) - 1, usage);
}

int refuse_output_as_input(const std::string &output, const std::string &input)
{
    if (!output_is_input(output, input))
        return 0;
    return fail(2, "%s: is the same file as the input %s", printable(output).c_str(), printable(input).c_str());
}

int cannot_write(const std::string &path, const std::string &reason)
{
    return fail(1, "%s: cannot write: %s", printable(path).c_str(), reason.c_str());
}

bool parse_whole_number(const std::string &text, unsigned long long most, unsigned long long *out)
{
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long n = 0;
    for (char c : text) {
        unsigned digit = static_cast<unsigned>(c - '0');
        if (n > (most - digit) / 10)
            return false;
        n = n * 10 + digit;
    }
    *out = n;
    return true;
}

int next_option(int argc, char **argv, const option *options, const char *usage, int *status)
{
    opterr = 0; // the messages are the tool's own
    *status = -1;
    int c = getopt_long(argc, argv, ":h", options, nullptr);
    if (c == 'h') {
        *status = std::fputs(usage, stdout) >= 0 && std::fflush(stdout) == 0
                      ? 0
                      : fail(1, "cannot write the usage: %s", std::strerror(errno));
        return -1;
    }
    if (c != ':' && c != '?')
        return c;
    std::string given = argv[optind - 1];
    std::string what = "unknown option " + given;
    bool long_option = given.compare(0, 2, "--") == 0;
    if (c == ':') {
        what = "option " + given + " needs a value";
    } else if (!long_option) {
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
