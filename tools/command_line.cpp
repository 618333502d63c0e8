#include "command_line.h"

#include "whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <getopt.h>

int usage_error(const char *program, const char *usage, const std::string &what)
{
    std::fprintf(stderr, "%s: %s\n%s", program, printable(what).c_str(), usage);
    return 2;
}

int too_many_operands(const char *program, const char *usage, const command_line &line, std::size_t most)
{
    return usage_error(program, usage, "too many operands: " + line.operands[most]);
}

bool parse_whole_number(const std::string &text, unsigned long long most, unsigned long long *out)
{
    if (text.empty() || text.size() > 20)
        return false;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        unsigned digit = static_cast<unsigned>(c - '0');
        if (n > (most - digit) / 10)
            return false;
        n = n * 10 + digit;
    }
    *out = n;
    return true;
}

namespace {

// The message for an argument getopt_long refused: an option that takes no
// value given one ("--help=x"), or one it doesn't know.
std::string refused(const std::string &given, const std::vector<tool_option> &options)
{
    std::size_t equals = given.find('=');
    if (given.compare(0, 2, "--") == 0 && equals != std::string::npos) {
        std::string name = given.substr(2, equals - 2);
        bool plain = name == "help";
        for (const tool_option &o : options)
            plain = plain || (!o.takes_value && name == o.name);
        if (plain)
            return "--" + name + " takes no value";
    }
    return "unknown option " + given;
}

} // namespace

int read_command_line(int argc, char **argv, const char *program, const char *usage,
                      const std::vector<tool_option> &options, command_line *line)
{
    std::vector<option> table;
    for (const tool_option &o : options)
        table.push_back({o.name, o.takes_value ? required_argument : no_argument, nullptr, 0});
    table.push_back({"help", no_argument, nullptr, 'h'});
    table.push_back({nullptr, 0, nullptr, 0});
    opterr = 0; // the messages are the tool's own
    optind = 1;
    for (;;) {
        int index = -1;
        int c = getopt_long(argc, argv, ":h", table.data(), &index);
        if (c == -1)
            break;
        if (c == 'h') {
            if (std::fputs(usage, stdout) < 0 || std::fflush(stdout) != 0) {
                std::fprintf(stderr, "%s: cannot write the usage: %s\n", program, std::strerror(errno));
                return 1;
            }
            return 0;
        }
        std::string given = argv[optind - 1];
        if (c == ':')
            return usage_error(program, usage, "option " + given + " needs a value");
        if (c == '?') {
            // optopt is the unknown short option; 0 (or --help's 'h') for a
            // long one, which argv[optind - 1] then holds.
            return usage_error(program, usage,
                               optopt != 0 && optopt != 'h' ? "unknown option -" + std::string(1, char(optopt))
                                                            : refused(given, options));
        }
        line->options[table[static_cast<std::size_t>(index)].name] = optarg != nullptr ? optarg : "";
    }
    for (int i = optind; i < argc; i++)
        line->operands.emplace_back(argv[i]);
    return -1;
}
