// What gprof_dot draws of one profile, or of the change from a base run to
// a new one, and the figures of its labels: the one place where counted
// costs become shares.
//
// A box per function, labelled with its name, where it is (its object's
// file name, its source file's where one name stands for several), its
// share of the run's cost with callees and on its own, and its calls;
// filled by that share, from blue for none to red for all. An arrow per
// caller and callee, labelled with the share of the run's cost that goes
// through it and the calls, wider and redder the more goes through it. In a
// comparison the figures are changes, red for growth and blue for
// shrinkage.
#ifndef PROFILE_DRAWING_H
#define PROFILE_DRAWING_H

#include "profile.h"

#include <set>

// A function of the drawing, in the base run and in the new one.
struct drawn_function {
    const profile_function *in[2] = {}; // base, new; null in a run it is absent from
    std::string where;                  // what tells it from a function of the same name: object, file, folders
    bool unpaired = false;              // its run holds another of its name, object and file: matched with none
};

struct drawn_arc {
    std::size_t caller, callee;         // into the drawing's functions
    const profile_arc *in[2] = {};
};

struct drawing {
    bool compared = false, normalized = false, calls_counted = true;
    bool focused = false;               // --focus left the paths through a match; each figure is still the whole run's
    bool focused_stacks = false;        // --focus kept the samples whose stack holds a match; each figure is theirs
    std::string cost;
    double totals[2] = {};              // the base's and the new run's
    std::vector<drawn_function> functions;
    std::vector<drawn_arc> arcs;
};

// The drawing of now, or with base, of the change from base to now: the
// union of their functions, matched by name (without gprof's cycle),
// object file name and source file name, not their folders, so that two
// builds in different folders match; where one run holds two functions of
// one such key, they are matched by their whole paths, and never merged;
// where it holds two that even those don't tell apart (gprof's statics
// without -g), each is drawn unpaired. Changes are shares of the base's
// total, or with normalize, changes of the shares.
drawing draw(const profile *base, const profile &now, bool normalize);

// A share (in one run) or change (in a comparison) of d's run, in percent:
// of what the functions cost with callees or on their own, or of an arc.
double figure(const drawing &d, const drawn_function &f, double profile_function::*cost);
double figure(const drawing &d, const drawn_arc &a);
// A function's share of one run's total (run 0 the base, 1 the new run).
double share_in(const drawing &d, const drawn_function &f, int run);
// Whether an arc's cost is known: gprof gives none within a cycle.
bool timed(const drawn_arc &a);

// What to draw: the functions whose figure with callees or on their own is
// node_threshold percent or more, in size, and the arcs between them of
// edge_threshold or more, and then, for each drawn function that would be
// left without a drawn caller, its heaviest caller (and that one's, up to
// a function that has none). A run that counted nothing has everything
// drawn.
struct chosen {
    std::set<std::size_t> functions;
    std::vector<std::size_t> arcs; // in the profile's order
};
chosen choose(const drawing &d, double node_threshold, double edge_threshold);

// Names longer than this are cut, with an ellipsis, in the labels, and
// wrap at about label_width bytes a line.
constexpr std::size_t longest_label_name = 2000;
constexpr std::size_t label_width = 80;

// The Graphviz DOT of what c chooses of d; every name is shown as valid
// UTF-8 with its control characters escaped, and the DOT parses whatever
// the names hold.
std::string dot_of(const drawing &d, const chosen &c, double node_threshold);

#endif
