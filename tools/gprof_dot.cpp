// Turns a profile's call graph, gprof's or callgrind's, into a Graphviz
// graph:
//
//   gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME]
//             [--hide PATTERN] PROFILE OUTPUT.dot
//
// PROFILE is the text of `gprof -b` or callgrind's output file
// (callgrind.out.PID), told apart by its first line. A node per function,
// labelled with its name (and for callgrind, its object's file name), its
// share of the run's cost with its callees and on its own, and how often it
// was called; filled by that share, from blue for none to red for all. An
// edge per caller and callee, labelled with the share of the run's cost
// that goes through it and the calls, and drawn wider and redder the more
// goes through it (profile_graph.h). --event picks callgrind's event (its
// first by default); --hide leaves out the functions whose name or object
// path matches an extended regular expression, their cost counted in their
// callers' own.
//
// Only what matters is drawn: functions with less than PCT of the run's
// cost with their callees (--node-threshold, default 0.5) and calls that
// carry less than PCT of it (--edge-threshold, default 0.1) are left out,
// except that a drawn function that would be left without a caller keeps
// its heaviest one, and that caller's own, up to a function that has none.
// 0 draws everything.
//
// Exit status: 0 when OUTPUT.dot was written, whole; 1 when PROFILE can't
// be read or OUTPUT.dot written; 2 for a usage error, an OUTPUT.dot that is
// PROFILE, a PROFILE that is no complete, well-formed profile, or an event
// it lacks; 3 when memory runs out.
#include "callgrind_profile.h"
#include "command_line.h"
#include "gprof_profile.h"
#include "message.h"
#include "printable.h"
#include "read_file.h"
#include "replace_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

const char usage[] = "usage: gprof_dot [--node-threshold PCT] [--edge-threshold PCT] [--event NAME] "
                     "[--hide PATTERN] PROFILE OUTPUT.dot\n";
const std::size_t profile_limit = std::size_t{256} << 20; // for gprof's text, read whole

// A threshold option's value: a percentage from 0 to 100; false for others.
bool percentage(const char *text, double *value)
{
    if (!is_decimal(text) || std::string(text).size() > 20)
        return false;
    *value = std::strtod(text, nullptr);
    return *value <= 100;
}

// Reads the profile at path into *g: callgrind's, streamed, when its first
// line says so, else gprof's text, read whole. Returns the exit status.
int read_profile(const std::string &path, const std::string &event, profile_graph *g)
{
    const std::string shown = printable(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> in(std::fopen(path.c_str(), "re"), std::fclose);
    if (!in)
        return fail(1, "%s: cannot open: %s", shown.c_str(), std::strerror(errno));
    std::string text, error; // the start of the first line, which tells the profile's kind
    for (int c = 0; text.size() < 256 && c != '\n' && (c = std::getc(in.get())) != EOF;)
        text += static_cast<char>(c);
    if (text.empty() && std::ferror(in.get()) == 0)
        return fail(2, "%s: line 1: an empty file, which holds no profile", shown.c_str());
    if (is_callgrind_profile(text))
        return read_callgrind_profile(in.get(), text, event, g, &error)
                   ? 0 : fail(std::ferror(in.get()) != 0 ? 1 : 2, "%s: %s", shown.c_str(), printable(error).c_str());
    if (!event.empty())
        return fail(2, "%s: --event %s: gprof's profile has time, not events", shown.c_str(), printable(event).c_str());
    if (!read_rest(in.get(), profile_limit, &text, &error))
        return fail(1, "%s: %s", shown.c_str(), error.c_str());
    return read_gprof_profile(text, g, &error) ? 0 : fail(2, "%s: %s", shown.c_str(), printable(error).c_str());
}

// --hide's expression, compiled, for as long as the tool runs.
struct hidden_names {
    regex_t pattern;
    bool compiled = false;
    ~hidden_names()
    {
        if (compiled)
            regfree(&pattern);
    }
};

} // namespace

int main(int argc, char **argv)
{
    message_init("gprof_dot");
    const option options[] = {{"node-threshold", required_argument, nullptr, 'n'},
                              {"edge-threshold", required_argument, nullptr, 'e'},
                              {"event", required_argument, nullptr, 'v'},
                              {"hide", required_argument, nullptr, 'x'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    double thresholds[2] = {0.5, 0.1}; // node, edge
    std::string event;
    const char *hide = nullptr;
    hidden_names hidden;
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        if (c == 'v' && *optarg == '\0')
            return usage_error(usage, "--event takes an event's name");
        if (c == 'v')
            event = optarg;
        else if (c == 'x')
            hide = optarg;
        else if (!percentage(optarg, &thresholds[c == 'n' ? 0 : 1]))
            return usage_error(usage, std::string(c == 'n' ? "--node" : "--edge") + "-threshold takes a percentage: " + optarg);
    }
    if (status >= 0)
        return status;
    hidden.compiled = hide != nullptr && regcomp(&hidden.pattern, hide, REG_EXTENDED | REG_NOSUB) == 0;
    if (hide != nullptr && !hidden.compiled)
        return usage_error(usage, std::string("--hide takes an extended regular expression: ") + hide);
    if (argc - optind < 2)
        return usage_error(usage, "PROFILE and OUTPUT.dot are needed");
    if (argc - optind > 2)
        return usage_error(usage, std::string("too many operands: ") + argv[optind + 2]);
    const std::string profile = argv[optind];
    const std::string output = argv[optind + 1];
    if ((status = refuse_output_as_input(output, profile)) != 0)
        return status;

    std::string dot, error;
    try {
        profile_graph g;
        if ((status = read_profile(profile, event, &g)) != 0)
            return status;
        if (hidden.compiled)
            hide_functions(&g, &hidden.pattern);
        dot = dot_of(g, choose_drawn(g, thresholds[0], thresholds[1]), thresholds[0]);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", printable(profile).c_str());
    }
    return replace_with(output, dot, &error) ? 0 : cannot_write(output, error);
}
