// Charts for the tools, drawn by gnuplot (Debian's gnuplot-nox).
//
// The script comes from the tool alone. Text from the user, such as a file
// name in a title, is passed to gnuplot as the arguments ARG1, ARG2, ...,
// which the script uses as string values: it is never read as a command.
// gnuplot writes the chart to its standard output, which the runner keeps,
// so that the tool writes the file itself (whole_file.h).
#ifndef GNUPLOT_H
#define GNUPLOT_H

#include <string>
#include <vector>

// text as it may stand in a chart: valid UTF-8 on one line (printable in
// whole_file.h), with "]]>", which gnuplot's SVG leaves as it is and XML
// forbids in text, shown as "]]\x3e". gnuplot escapes the rest of XML's
// special characters itself.
std::string chart_text(const std::string &text);

// Runs gnuplot on script with args, and stores what it wrote in *chart.
// gnuplot's own messages are shown only when it fails. Returns false, with
// one line on stderr that starts with program, when gnuplot is missing,
// fails or writes no chart.
bool run_gnuplot(const char *program, const std::string &script,
                 const std::vector<std::string> &args, std::string *chart);

#endif
