// Charts for the tools, drawn by gnuplot (Debian's gnuplot-nox).
//
// The script comes from the tool alone. Text from the user, such as a file
// name in a title, is passed to gnuplot as the arguments ARG1, ARG2, ...,
// which the script uses as string values: it is never read as a command.
// The script, the chart and gnuplot's messages go through anonymous
// temporary files under TMPDIR (or /tmp): no pipe to block on or to break,
// whatever gnuplot does; the tool writes the chart's file itself.
#ifndef GNUPLOT_H
#define GNUPLOT_H

#include <string>
#include <vector>

// Runs gnuplot on script with args, and stores what it wrote in *chart.
// Returns false with the reason in *error when gnuplot is missing, fails
// (its last message line is the reason) or writes no chart.
bool run_gnuplot(const std::string &script, const std::vector<std::string> &args, std::string *chart,
                 std::string *error);

#endif
