// How the tools read their operands: a file, or stdin for "-", with one
// line said when it can't be opened or read, naming it as messages do.
#ifndef READ_OPERAND_H
#define READ_OPERAND_H

#include "filter.h"
#include "message.h"
#include "printable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// Reads the operand at path with read(in, &error), which returns an exit
// status: that status, 0 when it was read.
template <class Read> int read_operand(const std::string &path, Read read)
{
    const std::string shown = input_name(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(path == "-" ? nullptr : std::fopen(path.c_str(), "re"),
                                                          std::fclose);
    if (path != "-" && !file)
        return fail(1, "%s: cannot open: %s", shown.c_str(), std::strerror(errno));
    std::string error;
    int status = read(file ? file.get() : stdin, &error);
    return status == 0 ? 0 : fail(status, "%s: %s", shown.c_str(), printable(error).c_str());
}

// The profile tools' one PROFILE operand after the options, "-" when none,
// in *path, checked with --base and --normalize (false where a tool checks
// that itself): 0, or the status of the usage error said.
inline int profile_operand(int argc, char **argv, const char *usage, const std::string &base, bool normalize,
                           std::string *path)
{
    if (argc - optind > 1)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 1]);
    *path = argc > optind ? argv[optind] : "-";
    if (normalize && base.empty())
        return usage_error(usage, "--normalize needs --base");
    if (base == "-" && *path == "-")
        return usage_error(usage, "--base and PROFILE can't both be standard input");
    return 0;
}

#endif
