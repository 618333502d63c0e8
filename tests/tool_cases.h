// The tools' tests' shared helpers: run a tool as a user runs it, in a
// work folder of its own, and check what it printed; check pictures.
#ifndef TOOL_CASES_H
#define TOOL_CASES_H

#include "process_runner.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

inline std::set<std::string> files_in(const std::string &folder)
{
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// One case: the run, then what it must have printed.
struct tool_case {
    std::vector<std::string> args; // the tool first; relative paths are in the work folder
    int status;
    std::string err;               // a regex that all of stderr matches
    const char *out = "";          // a regex found in stdout (anchor it); "" for none, null for any
    limits l = {};
    void (*then)(const std::string &out) = nullptr; // further checks on stdout
};

// Runs each case in a work folder that holds only what `before` puts
// there, then checks its status, its messages, its output, and that the
// folder holds just what it held.
inline void run_cases(const scratch_dir &scratch, const std::vector<tool_case> &cases,
               void (*before)(const std::string &work) = nullptr)
{
    std::string work = scratch / "work";
    for (const tool_case &c : cases) {
        std::string shown;
        for (const std::string &a : c.args)
            shown += " " + a;
        SCOPED_TRACE(shown);
        std::filesystem::remove_all(work);
        std::filesystem::create_directory(work);
        if (before != nullptr)
            before(work);
        std::set<std::string> held = files_in(work);
        if (c.l.stdout_to != nullptr && c.l.stdout_to[0] != '/')
            held.insert(c.l.stdout_to);
        ran r = run(work, scratch.path, c.args, c.l);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err))) << r.err;
        if (c.out != nullptr && c.out[0] == '\0') {
            EXPECT_EQ(r.out, "");
        } else if (c.out != nullptr) {
            EXPECT_TRUE(std::regex_search(r.out, std::regex(c.out))) << r.out.substr(0, 300);
        }
        EXPECT_EQ(files_in(work), held);
        if (c.then != nullptr)
            c.then(r.out);
    }
}

inline bool has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Whether an SVG is well-formed XML.
inline void well_formed(const std::string &svg)
{
    scratch_dir scratch;
    std::ofstream(scratch / "x.svg") << svg;
    EXPECT_EQ(std::system(("xmllint --noout '" + scratch / "x.svg" + "'").c_str()), 0) << svg.substr(0, 300);
}

// Whether dot takes a DOT without a word and draws well-formed XML.
inline void drawable(const std::string &dot)
{
    scratch_dir scratch;
    std::ofstream(scratch / "x.dot") << dot;
    std::string at = "'" + scratch.path + "'";
    EXPECT_EQ(std::system(("dot -Tsvg " + at + "/x.dot -o " + at + "/x.svg 2> " + at + "/dot.err").c_str()), 0);
    EXPECT_EQ(slurp(scratch / "dot.err"), "");
    well_formed(slurp(scratch / "x.svg"));
}

inline const std::string usage_line = "usage: [a-z_]+ [^\n]*\n";
inline const limits to_small_file = file_at_most(1024).and_stdout_to("out"); // a file of at most 1 KiB

#endif
