#include "depth_chart.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Runs gnuplot with args, its stdin empty and its stdout read into *out;
// false with *error when it can't be run or doesn't end well.
bool run_gnuplot(std::vector<std::string> args, std::string *out, std::string *error)
{
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        *error = std::string("cannot run gnuplot: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    char block[64 * 1024];
    for (ssize_t n; spawned == 0 && (n = read(pipe_ends[0], block, sizeof block)) != 0;)
        if (n > 0)
            out->append(block, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    close(pipe_ends[0]);
    if (spawned != 0) {
        *error = spawned == ENOENT ? "gnuplot is not installed (apt-get install gnuplot-nox)"
                                   : std::string("cannot run gnuplot: ") + std::strerror(spawned);
        return false;
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited < 0)
        *error = std::string("cannot wait for gnuplot: ") + std::strerror(errno);
    else if (WIFSIGNALED(status))
        *error = std::string("gnuplot failed: killed by ") + strsignal(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        *error = "gnuplot failed";
    else if (out->empty())
        *error = "gnuplot drew nothing";
    return waited >= 0 && status == 0 && !out->empty();
}

// depth_chart.gp, found from where the running program stands: installed,
// in the prefix's share/main_llist beside its bin/ (DEPTH_CHART_INSTALLED,
// from bin/); built, in share/main_llist of the build folder that holds it.
// Empty when it is in neither.
std::string chart_script()
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, std::size_t(length)) : "";
    folder.resize(folder.rfind('/') + 1); // npos + 1 is 0: no folder
    for (std::string where : {std::string(DEPTH_CHART_INSTALLED), std::string("share/main_llist/depth_chart.gp")}) {
        where = where[0] == '/' ? where : folder + where;
        if (!folder.empty() && access(where.c_str(), R_OK) == 0)
            return where;
    }
    return "";
}

} // namespace

bool draw_depth_chart(const std::string &title, const std::vector<depth_band> &bands, std::string *chart,
                      std::string *error)
{
    long long width = bands.empty() ? 1 : bands[0].to - bands[0].from + 1;
    std::string points;
    for (const depth_band &b : bands)
        points += std::to_string(static_cast<double>(b.from + b.to) / 2) + " " + std::to_string(b.nodes) + " ";
    // gnuplot escapes XML's special characters in text, but leaves "]]>",
    // which XML forbids there.
    std::string shown = title;
    for (std::size_t at = 0; (at = shown.find("]]>", at)) != std::string::npos; at += 2)
        shown.replace(at + 2, 1, "\\x3e");
    std::string script = chart_script();
    if (script.empty()) {
        *error = "depth_chart.gp is in no share/main_llist beside tree_shape: install it with the tool";
        return false;
    }
    return run_gnuplot({"gnuplot", "-c", script, shown, std::to_string(width),
                        std::to_string((bands.empty() ? 0 : bands.back().to) + width), points},
                       chart, error);
}
