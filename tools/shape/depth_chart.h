// The depth histogram of a tree's shape as an SVG, drawn by gnuplot
// (Debian's gnuplot-nox) from the script depth_chart.gp, kept beside this
// file, and found at run time from where the program stands:
// share/main_llist/ in the build folder, or in the install prefix beside
// bin/. The title, text from the user, reaches gnuplot as an argument that
// the script uses as a string value: it is never read as a command.
#ifndef DEPTH_CHART_H
#define DEPTH_CHART_H

#include "shape_report.h"

#include <string>
#include <vector>

// Draws bands under title into *chart. Returns false with the reason in
// *error when gnuplot is missing, fails (its own messages are on stderr)
// or draws nothing.
bool draw_depth_chart(const std::string &title, const std::vector<depth_band> &bands, std::string *chart,
                      std::string *error);

#endif
