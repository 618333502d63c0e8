// A profile's call graph as gprof_dot draws it, whichever profiler made it
// (gprof_profile.h, callgrind_profile.h): choose_drawn picks what is worth
// drawing and dot_of writes the Graphviz graph.
//
// A node per function, labelled with its name, its share of the run's cost
// with its callees and on its own, and how often it was called; filled by
// that share, from blue for none to red for all. An edge per caller and
// callee, labelled with the share of the run's cost that goes through it
// and the calls, and drawn wider and redder the more goes through it.
#ifndef PROFILE_GRAPH_H
#define PROFILE_GRAPH_H

#include <cstddef>
#include <regex.h>
#include <set>
#include <string>
#include <vector>

struct profile_function {
    int id;             // gprof's index, "[N]", or the callgrind reader's own number
    std::string name;
    std::string object; // the path of the function's object, or "" (gprof)
    double percent;     // of the run's cost, with callees
    double self;        // of the run's cost, on its own
    std::string calls;  // "n", "n+recursive", or empty
    std::string file;   // callgrind: its source file (fl=); shown where the name alone is ambiguous
    bool bound = false; // percent is a bound: the share of its group, functions that call each other
    // In a comparison (profile_compare.h), percent and self are changes,
    // and these its shares with callees in each run, -1 where it is absent.
    double shares[2] = {-1, -1}; // base, new
};

struct profile_arc {
    int caller, callee;
    unsigned long long calls;
    double percent;     // of the run's cost that goes to the callee through this arc
    unsigned long long base_calls = 0; // in a comparison, the calls in the base run
};

struct profile_graph {
    std::string cost = "time";  // what the shares are of: "time", or an event such as "Ir"
    bool no_time = false;       // gprof said "no time propagated": every share is 0
    double total = 0;           // the run's cost: seconds, or the event's count
    double base_total = -1;     // in a comparison, the base run's; -1 otherwise
    bool normalized = false;    // in a comparison, the base was scaled to the new total
    std::vector<profile_function> functions; // in the profile's order
    std::vector<profile_arc> arcs;           // in the profile's order
};

// What to draw: the functions with node_threshold percent of the run or
// more and the calls between them that carry edge_threshold percent or
// more, and then, for each drawn function that would be left without a
// drawn caller, its heaviest caller (and that one's, up to a function that
// has none). arcs come in the profile's order. A profile without time has
// everything drawn.
struct drawn {
    std::set<int> nodes;                    // ids of the functions drawn
    std::vector<const profile_arc *> arcs;  // into the graph's arcs
};
drawn choose_drawn(const profile_graph &g, double node_threshold, double edge_threshold);

// The strongly connected components of g, whose functions' ids are 0 to
// n - 1: the component of each, the same for functions that reach each
// other by calls (Tarjan's algorithm, with a stack of its own rather than
// recursion).
std::vector<int> components(const profile_graph &g);

// Leaves out the functions whose name or object matches pattern (an
// extended regular expression), as pprof's -hide does: their cost counts
// in their callers' own share, and a function that a hidden one calls is
// drawn as called by the hidden one's callers, in proportion to the calls
// and the cost that each caller gives the hidden one.
void hide_functions(profile_graph *g, const regex_t *pattern);

// Keeps only the functions on call paths through a function whose name or
// object matches pattern, as pprof's -focus does: those, their callers and
// their callees, all the way. Shares stay shares of the whole run.
void focus_functions(profile_graph *g, const regex_t *pattern);

// Names longer than this are cut, with an ellipsis, in the labels, and
// wrap at about label_width bytes a line.
constexpr std::size_t longest_label_name = 2000;
constexpr std::size_t label_width = 80;

// The Graphviz DOT of what d draws of g; every name is shown as valid
// UTF-8 with its control characters escaped, and the DOT parses whatever
// the names hold.
std::string dot_of(const profile_graph &g, const drawn &d, double node_threshold);

#endif
