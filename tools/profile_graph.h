// gprof's call graph as gprof_dot reads, chooses and draws it: parse_profile
// reads the text of `gprof -b`, choose_drawn picks what is worth drawing,
// and dot_of writes the Graphviz graph.
//
// A node per function, labelled with its name, its share of the run's time
// with its callees and on its own, and how often it was called; filled by
// that share, from blue for none to red for all. An edge per caller and
// callee, labelled with the share of the run's time that goes through it
// and the calls, and drawn wider and redder the more time goes through it.
// gprof's "<cycle N as a whole>" entries are left out (their members are
// drawn), as are "<spontaneous>" callers, which are no function.
#ifndef PROFILE_GRAPH_H
#define PROFILE_GRAPH_H

#include <cstddef>
#include <set>
#include <string>
#include <vector>

struct profile_arc {
    int caller, callee; // gprof's indexes
    std::string calls;  // "n" or "n/total"
    double seconds;     // time that goes to the callee through this arc
};

struct profile_function {
    int index;         // gprof's index, "[N]"
    std::string name;
    double percent;    // of the run, with callees
    double self;       // seconds spent in the function itself
    double children;   // seconds spent in its callees
    std::string calls; // "n", "n+recursive", or empty
};

struct profile_graph {
    double total = 0;       // seconds sampled in the run
    bool no_time = false;   // gprof said "no time propagated": every time is 0
    std::vector<profile_function> functions; // in gprof's order
    std::vector<profile_arc> arcs;           // in gprof's order, calls to cycles as a whole left out
};

// A profile that isn't a complete, well-formed call graph of gprof -b: the
// line (0 for the whole) and what is wrong with it.
struct bad_profile {
    std::size_t line;
    std::string what;
};

// Whether t is a plain decimal as gprof writes them: digits, and a point
// with digits after it.
bool is_decimal(const std::string &t);

// Reads gprof -b's text; throws bad_profile (or std::bad_alloc).
profile_graph parse_profile(const std::string &text);

// What to draw: the functions with node_threshold percent of the run's time
// or more and the calls between them that carry edge_threshold percent or
// more, and then, for each drawn function that would be left without a
// drawn caller, its heaviest caller (and that one's, up to a function that
// has none). arcs come in gprof's order. A profile without time has
// everything drawn.
struct drawn {
    std::set<int> nodes;                    // indexes of the functions drawn
    std::vector<const profile_arc *> arcs;  // into the graph's arcs
};
drawn choose_drawn(const profile_graph &g, double node_threshold, double edge_threshold);

// Names longer than this are cut, with an ellipsis, in the labels, and
// wrap at about label_width bytes a line.
constexpr std::size_t longest_label_name = 2000;
constexpr std::size_t label_width = 80;

// The Graphviz DOT of what d draws of g; every name is shown as valid
// UTF-8 with its control characters escaped, and the DOT parses whatever
// the names hold.
std::string dot_of(const profile_graph &g, const drawn &d, double node_threshold);

#endif
