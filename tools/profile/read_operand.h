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

#endif
