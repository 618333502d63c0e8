// Charts for the tools, drawn by gnuplot (Debian's gnuplot-nox).
#ifndef GNUPLOT_H
#define GNUPLOT_H

#include <string>

// text as a gnuplot string literal, quoted so that nothing in it is special.
std::string gnuplot_quoted(const std::string &text);

// Runs gnuplot on script. Returns false, with a line on stderr that starts
// with program, when gnuplot can't be run or fails.
bool run_gnuplot(const char *program, const std::string &script);

#endif
