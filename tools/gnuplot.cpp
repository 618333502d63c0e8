#include "gnuplot.h"

#include <cstdio>
#include <sys/wait.h>

std::string gnuplot_quoted(const std::string &text)
{
    // Single-quoted strings take no escapes; a quote is written twice.
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

bool run_gnuplot(const char *program, const std::string &script)
{
    std::FILE *pipe = popen("gnuplot", "w");
    if (pipe == nullptr) {
        std::perror(program);
        return false;
    }
    std::fwrite(script.data(), 1, script.size(), pipe);
    int status = pclose(pipe);
    if (status != 0) {
        std::fprintf(stderr, "%s: gnuplot failed%s\n", program,
                     WIFEXITED(status) && WEXITSTATUS(status) == 127
                         ? ": it is not installed (apt-get install gnuplot-nox)"
                         : "");
        return false;
    }
    return true;
}
