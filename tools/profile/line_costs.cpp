// Shows which source lines cost: for each function chosen, heaviest first,
// its lines with each event's own count and share of the run, and where a
// line calls, the cost of those calls with their callees; or the change
// from a base run to this one:
//
//   line_costs [--function REGEX] [--event LIST] [--source-dir DIR] [--tsv]
//              [--base BASE [--normalize]] [PROFILE]
//
// PROFILE ("-" or none for stdin) is callgrind's file or the text of perf
// script -F +srcline (source_lines.h). By default the functions shown are
// those with 1 % or more of the first event on their own; --function
// names them by a regular expression (RE2) on their names. --event picks
// events, comma-separated: by default all of callgrind's and the first of
// perf's. A line's text is read from the file the profile names, or under
// --source-dir, by that name or its base name; lines without cost, beyond
// a few lines of context, are left out, saying which. A file that can't be
// read is said on stderr, and its lines are shown without text.
//
// --tsv writes a row a function's line instead: file, line, function, then
// for each event its own count and its calls'. --base shows each line's
// change, lines matched by function, file name and line number: in shares
// of the base's total, or with --normalize, the change of the shares; with
// --tsv, the change of the counts (the base scaled to this run's totals
// with --normalize).
//
// Exit status: 0 when the lines were written; 1 when a profile or stdout
// can't be read or written; 2 for a usage error, a profile that is no
// complete, well-formed one with source lines, an event it lacks, two
// profiles of different kinds or events, a base that counted nothing, or a
// --function that names none; 3 when memory runs out.
#include "read_operand.h"
#include "source_lines.h"

#include <algorithm>
#include <cstdarg>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sys/stat.h>

namespace {

const char usage[] = "usage: line_costs [--function REGEX] [--event LIST] [--source-dir DIR] [--tsv] "
                     "[--base BASE [--normalize]] [PROFILE]\n";
constexpr count context = 3;                        // lines shown around a costly one
constexpr long long largest_source = 64LL << 20;    // bytes of a source file read at most

// A function's line in the two runs (0 the base, 1 this one), each
// vector an entry an event.
struct row {
    std::string file; // as the profile names it
    count line = 0;
    std::vector<double> own[2], calls[2];
};

struct function_lines {
    std::string name, file, object;
    std::vector<double> self[2], inclusive[2];
    std::vector<row> rows;
    std::map<std::pair<std::string, count>, std::size_t> row_ids; // by file and line (its base name in a comparison)
};

struct report {
    std::vector<std::string> events;
    std::vector<double> totals[2];
    bool compared = false, normalized = false;
    std::vector<function_lines> functions;
    std::map<std::string, std::size_t> ids; // by name
};

std::string base_name(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

void add(std::vector<double> *to, const std::vector<double> &from)
{
    to->resize(from.size());
    for (std::size_t e = 0; e < from.size(); e++)
        (*to)[e] += from[e];
}

// Puts run's lines into the report, functions by name and their lines by
// file and line; in a comparison by the file's base name, so that two
// builds of one source in two folders pair up.
void add_run(report *r, const line_profile &lp, int run)
{
    r->events = lp.events;
    r->totals[run] = lp.totals;
    const std::vector<double> none(lp.events.size());
    std::vector<std::size_t> ids;
    for (std::size_t f = 0; f < lp.p.functions.size(); f++) {
        const profile_function &pf = lp.p.functions[f];
        auto [id, fresh] = r->ids.emplace(pf.name, r->functions.size());
        if (fresh)
            r->functions.push_back({pf.name, pf.file, pf.object, {none, none}, {none, none}, {}, {}});
        add(&r->functions[id->second].self[run], lp.self[f]);
        add(&r->functions[id->second].inclusive[run], lp.inclusive[f]);
        ids.push_back(id->second);
    }
    for (const source_line &l : lp.lines) {
        function_lines &f = r->functions[ids[l.function]];
        auto [id, fresh] = f.row_ids.emplace(std::make_pair(r->compared ? base_name(l.file) : l.file, l.line), f.rows.size());
        if (fresh)
            f.rows.push_back({l.file, l.line, {none, none}, {none, none}});
        add(&f.rows[id->second].own[run], l.own);
        add(&f.rows[id->second].calls[run], l.calls);
    }
}

// A figure in percent from the counts, in one division: a share of the
// run; in a comparison, the change of the base's total, or normalized, the
// change of the shares, (now t0 - base t1) / (t0 t1).
double percent(const report &r, std::size_t e, const std::vector<double> *v)
{
    long double t0 = r.totals[0].empty() ? 0 : r.totals[0][e], t1 = r.totals[1][e], now = v[1][e], base = v[0][e];
    long double part = now, whole = t1;
    if (r.compared && (!r.normalized || t1 <= 0)) {
        part = r.normalized ? -base : now - base;
        whole = t0;
    } else if (r.compared) {
        part = now * t0 - base * t1;
        whole = t0 * t1;
    }
    return whole > 0 ? double(100 * part / whole) : 0;
}

// A count in --tsv: this run's, or the change from the base's, scaled to
// this run's total when normalized.
double change(const report &r, std::size_t e, const std::vector<double> *v)
{
    if (!r.compared)
        return v[1][e];
    double scale = r.normalized && r.totals[0][e] > 0 ? r.totals[1][e] / r.totals[0][e] : 1;
    return v[1][e] - v[0][e] * scale;
}

void append(std::string *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string *out, const char *format, ...)
{
    std::va_list args, again; // NOLINT(cppcoreguidelines-pro-type-vararg)
    va_start(args, format);
    va_copy(again, args);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer doesn't follow it
    int length = std::max(std::vsnprintf(nullptr, 0, format, args), 0);
    va_end(args);
    std::size_t at = out->size();
    out->resize(at + std::size_t(length) + 1);
    std::vsnprintf(&(*out)[at], std::size_t(length) + 1, format, again);
    va_end(again);
    out->resize(at + std::size_t(length));
}

// The text of a source file, a string a line, read once: a regular file
// of at most largest_source bytes, at path or under dir. Empty, said once
// on stderr, where none can be read.
const std::vector<std::string> &source(std::map<std::string, std::vector<std::string>> *cache, const std::string &path,
                                       const std::string &dir)
{
    auto [it, fresh] = cache->emplace(path, std::vector<std::string>());
    if (!fresh || path.empty())
        return it->second;
    std::vector<std::string> tried = {path};
    if (!dir.empty() && path[0] != '/')
        tried.push_back(dir + "/" + path);
    if (!dir.empty())
        tried.push_back(dir + "/" + base_name(path));
    std::string why = "no such file";
    for (const std::string &name : tried) {
        struct stat st {};
        std::unique_ptr<std::FILE, int (*)(std::FILE *)> in(nullptr, std::fclose);
        bool found = stat(name.c_str(), &st) == 0;
        if (!found || !S_ISREG(st.st_mode) || st.st_size > largest_source) {
            why = !found ? std::strerror(errno) : S_ISREG(st.st_mode) ? "larger than 64 MiB" : "not a file";
            continue;
        }
        in.reset(std::fopen(name.c_str(), "re"));
        char *text = nullptr;
        std::size_t size = 0;
        for (ssize_t n = 0; in && (n = getline(&text, &size, in.get())) >= 0;)
            it->second.emplace_back(text, std::size_t(n) - (n > 0 && text[n - 1] == '\n' ? 1 : 0));
        std::free(text); // NOLINT(cppcoreguidelines-no-malloc): getline's buffer
        if (in && !std::ferror(in.get()))
            return it->second;
        why = std::strerror(errno);
        it->second.clear();
    }
    warning("%s: cannot read the source (%s): its lines are shown without text", printable(path).c_str(), why.c_str());
    return it->second;
}

// A line of source as text: tabs to the next multiple of 8, a CR that
// ends it dropped, control characters and bytes that are not UTF-8
// escaped.
std::string shown_text(const std::string &line)
{
    std::string text;
    for (std::size_t i = 0; i < line.size(); i++)
        if (line[i] == '\t')
            text.append(8 - text.size() % 8, ' ');
        else if (line[i] != '\r' || i + 1 < line.size())
            text += line[i];
    return printable(text);
}

// A row's cells: for each event, its own count and figure, then its
// calls'; "." for no cost of its own, nothing for no calls.
std::string cells(const report &r, const row &w, int width)
{
    std::string out;
    for (std::size_t e = 0; e < r.events.size(); e++)
        for (const std::vector<double> *v : {w.own, w.calls}) {
            if (v[1][e] != 0)
                append(&out, "%*.0f", width, v[1][e]);
            else
                append(&out, "%*s", width, v == w.own ? "." : "");
            if (v[1][e] != 0 || (r.compared && v[0][e] != 0))
                append(&out, r.compared ? " %+7.2f%%" : " %7.2f%%", percent(r, e, v));
            else
                append(&out, "%9s", "");
        }
    return out;
}

// A function's lines, a block a file, with their text and context.
void write_function(const report &r, const function_lines &f, const std::string &dir,
                    std::map<std::string, std::vector<std::string>> *cache, std::string *out)
{
    append(out, "%s  %s  %s\n", printable(f.name).c_str(), printable(f.file).c_str(), printable(base_name(f.object)).c_str());
    for (std::size_t e = 0; e < r.events.size(); e++)
        append(out, "%s %s: %.2f %% own, %.2f %% with callees", e == 0 ? " " : ";", printable(r.events[e]).c_str(),
               percent(r, e, f.self), percent(r, e, f.inclusive));
    int width = 1;
    for (const row &w : f.rows)
        for (std::size_t e = 0; e < r.events.size(); e++)
            for (double c : {w.own[1][e], w.calls[1][e]})
                width = std::max(width, std::snprintf(nullptr, 0, "%.0f", c));
    for (const std::string &e : r.events)
        width = std::max(width, int(e.size() + 6));
    *out += "\n";
    for (const std::string &e : r.events)
        append(out, "%*s%9s%*s%9s", width, e.c_str(), "", width, (e + " calls").c_str(), "");
    *out += "  line\n";
    std::vector<const row *> rows;
    for (const row &w : f.rows)
        rows.push_back(&w);
    std::sort(rows.begin(), rows.end(), [](const row *a, const row *b) { return std::tie(a->file, a->line) < std::tie(b->file, b->line); });
    for (std::size_t i = 0; i < rows.size();) {
        const std::string &file = rows[i]->file;
        const std::vector<std::string> &text = source(cache, file, dir);
        if (file != f.file || i > 0)
            append(out, "-- %s\n", file.empty() ? "(no source line known)" : printable(file).c_str());
        std::map<count, const row *> costly;
        for (; i < rows.size() && rows[i]->file == file; i++)
            costly[rows[i]->line] = rows[i];
        // Context where the text is known, a gap of one line filled.
        std::set<count> shown;
        for (const auto &[line, w] : costly)
            for (count l = line > context ? line - context : 0; l <= line + context; l++)
                if (l == line || (l > 0 && l <= text.size() && line > 0))
                    shown.insert(l);
        for (auto l = shown.begin(); !text.empty() && l != shown.end(); l++)
            if (std::next(l) != shown.end() && *std::next(l) == *l + 2)
                shown.insert(*l + 1);
        count last = 0;
        const std::vector<double> none(r.events.size());
        const row blank{"", 0, {none, none}, {none, none}};
        for (count l : shown) {
            if (last != 0 && l > last + 1 && !text.empty())
                append(out, "%*s... lines %llu-%llu ...\n", width, "", last + 1, l - 1);
            auto w = costly.find(l);
            std::string cell = cells(r, w != costly.end() ? *w->second : blank, width);
            if (l == 0)
                append(out, "%s     ?  (no line known)\n", cell.c_str());
            else
                append(out, "%s %5llu  %s\n", cell.c_str(), l, l <= text.size() ? shown_text(text[l - 1]).c_str() : "");
            last = l;
        }
    }
    *out += "\n";
}

} // namespace

int main(int argc, char **argv)
{
    filter_init("line_costs");
    const option options[] = {{"function", required_argument, nullptr, 'f'}, {"event", required_argument, nullptr, 'v'},
                              {"source-dir", required_argument, nullptr, 's'}, {"tsv", no_argument, nullptr, 't'},
                              {"base", required_argument, nullptr, 'b'},       {"normalize", no_argument, nullptr, 'N'},
                              {"help", no_argument, nullptr, 'h'},             {nullptr, 0, nullptr, 0}};
    std::string base, dir, pattern_text;
    std::vector<std::string> events = {""};
    std::unique_ptr<RE2> pattern;
    bool tsv = false, normalize = false;
    int status = -1;
    for (int c; (c = next_option(argc, argv, options, usage, &status)) != -1;) {
        std::string arg = c == 't' || c == 'N' ? "" : optarg;
        if (c == 'v') {
            events.clear();
            for (std::size_t at = 0, end = 0; end != arg.npos; at = end + 1)
                events.push_back(arg.substr(at, (end = arg.find(',', at)) - at));
            std::set<std::string> distinct(events.begin(), events.end());
            if (distinct.count("") != 0 || distinct.size() != events.size())
                return usage_error(usage, "--event takes events' names, each once, separated by commas: " + arg);
        } else if (c == 'f') {
            std::string error;
            pattern_text = arg;
            if (!(pattern = pattern_of(optarg, &error)))
                return usage_error(usage, "--function " + arg + ": " + error);
        } else if ((c == 'b' || c == 's') && arg.empty()) {
            return usage_error(usage, c == 'b' ? "--base takes a profile" : "--source-dir takes a folder");
        } else if (c == 'b' || c == 's') {
            (c == 'b' ? base : dir) = arg;
        } else {
            (c == 't' ? tsv : normalize) = true;
        }
    }
    if (status >= 0)
        return status;
    std::string path;
    if ((status = profile_operand(argc, argv, usage, base, normalize, &path)) != 0)
        return status;
    try {
        line_profile runs[2];
        for (int run : {0, 1}) {
            auto read = [&](std::FILE *in, std::string *error) { return read_lines(in, events, &runs[run], error); };
            if ((run == 1 || !base.empty()) && (status = read_operand(run == 1 ? path : base, read)) != 0)
                return status;
        }
        if (!base.empty() && (runs[0].p.kind != runs[1].p.kind || runs[0].events != runs[1].events))
            return fail(2, "%s: %s's profile of %s, and %s %s's of %s: a comparison needs two of one kind and events",
                        input_name(base).c_str(), runs[0].p.kind.c_str(), printable(runs[0].events[0]).c_str(),
                        input_name(path).c_str(), runs[1].p.kind.c_str(), printable(runs[1].events[0]).c_str());
        if (!base.empty() && runs[0].totals[0] <= 0)
            return fail(2, "%s: counted no %s, so there is nothing to compare with", input_name(base).c_str(),
                        printable(runs[0].events[0]).c_str());
        report r;
        r.compared = !base.empty();
        r.normalized = normalize;
        for (int run : {0, 1})
            if (run == 1 || r.compared)
                add_run(&r, runs[run], run);
        if (!r.compared)
            r.totals[0].assign(r.events.size(), 0);
        // The functions shown, heaviest on their own first.
        std::vector<const function_lines *> chosen;
        for (const function_lines &f : r.functions) {
            bool heavy = false;
            for (int run : {0, 1})
                heavy = heavy || (r.totals[run][0] > 0 && f.self[run][0] >= 0.01 * r.totals[run][0]);
            if (pattern ? RE2::PartialMatch(f.name, *pattern) : heavy)
                chosen.push_back(&f);
        }
        if (pattern && chosen.empty())
            return fail(2, "no function matches --function %s", printable(pattern_text).c_str());
        std::sort(chosen.begin(), chosen.end(), [](const function_lines *a, const function_lines *b) {
            return std::make_tuple(-a->self[1][0], -a->self[0][0], a->name) < std::make_tuple(-b->self[1][0], -b->self[0][0], b->name);
        });
        std::string out;
        std::map<std::string, std::vector<std::string>> cache;
        if (tsv) {
            out = "file\tline\tfunction";
            for (const std::string &e : r.events)
                out += "\t" + printable(e) + "\t" + printable(e) + "_calls";
            out += "\n";
        } else {
            out = r.compared ? (r.normalized ? "the change of each run's shares" : "the change, in shares of the base's total")
                             : "in all";
            for (std::size_t e = 0; e < r.events.size(); e++)
                append(&out, "%s %s %.0f", e == 0 ? ":" : ",", printable(r.events[e]).c_str(), r.totals[1][e]);
            out += "\n\n";
        }
        for (const function_lines *f : chosen) {
            if (!tsv) {
                write_function(r, *f, dir, &cache, &out);
                continue;
            }
            std::vector<const row *> rows;
            for (const row &w : f->rows)
                rows.push_back(&w);
            std::sort(rows.begin(), rows.end(),
                      [](const row *a, const row *b) { return std::tie(a->file, a->line) < std::tie(b->file, b->line); });
            for (const row *w : rows) {
                append(&out, "%s\t%llu\t%s", printable(w->file).c_str(), w->line, printable(f->name).c_str());
                for (std::size_t e = 0; e < r.events.size(); e++)
                    append(&out, "\t%.0f\t%.0f", change(r, e, w->own), change(r, e, w->calls));
                out += "\n";
            }
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    } catch (const std::bad_alloc &) {
        return fail(3, "%s: out of memory", input_name(path).c_str());
    }
    return 0;
}
