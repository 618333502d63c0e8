// What a test has written to a temporary stream (std::tmpfile), from its
// start.
#ifndef STREAM_TEXT_H
#define STREAM_TEXT_H

#include <cstdio>
#include <string>

inline std::string written(std::FILE *out)
{
    std::fflush(out);
    std::rewind(out);
    std::string s;
    for (int c; (c = std::fgetc(out)) != EOF;)
        s += static_cast<char>(c);
    return s;
}

#endif
