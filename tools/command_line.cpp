#include "command_line.h"

#include "whole_file.h"

#include <cstdio>
#include <getopt.h>

int usage_error(const char *program, const char *usage, const std::string &what)
{
    std::fprintf(stderr, "%s: %s\n%s", program, printable(what).c_str(), usage);
    return 2;
}

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
            std::fputs(usage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        std::string given = argv[optind - 1];
        if (c == ':')
            return usage_error(program, usage, "option " + given + " needs a value");
        if (c == '?')
            return usage_error(program, usage,
                               "unknown option " + (optopt != 0 ? std::string("-") + char(optopt) : given));
        line->options[table[static_cast<std::size_t>(index)].name] = optarg != nullptr ? optarg : "";
    }
    for (int i = optind; i < argc; i++)
        line->operands.emplace_back(argv[i]);
    return -1;
}
