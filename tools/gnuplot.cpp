#include "gnuplot.h"

#include "printable.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// An anonymous temporary file, gone once closed; -1 when none can be made.
int temporary_file()
{
    const char *folder = std::getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/gnuplot.XXXXXX";
    int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd >= 0)
        unlink(name.c_str());
    return fd;
}

std::string contents(int fd)
{
    std::string text;
    char block[64 * 1024];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd, block, sizeof block, at)) > 0; at += n)
        text.append(block, static_cast<std::size_t>(n));
    return text;
}

// ": " and the last line of gnuplot's messages, cut short; "" for none.
std::string last_line(std::string text)
{
    text.erase(text.find_last_not_of("\n ") + 1);
    text = printable(text.substr(text.rfind('\n') + 1));
    return text.empty() ? "" : ": " + (text.size() > 200 ? text.substr(0, 200) + "..." : text);
}

// Runs gnuplot with the files as its standard streams; false, with *error,
// when it can't be run or doesn't end well.
bool run(const int files[3], const std::vector<std::string> &args, std::string *error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < 3; i++)
        posix_spawn_file_actions_adddup2(&actions, files[i], i);
    // gnuplot -c reads the script from a file: its standard input.
    std::vector<char *> argv = {const_cast<char *>("gnuplot"), const_cast<char *>("-c"),
                                const_cast<char *>("/dev/stdin")};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        *error = spawned == ENOENT ? "gnuplot is not installed (apt-get install gnuplot-nox)"
                                   : std::string("cannot run gnuplot: ") + std::strerror(spawned);
        return false;
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited < 0) // with SIGCHLD ignored, say, gnuplot's end can't be known
        *error = std::string("cannot wait for gnuplot: ") + std::strerror(errno);
    else if (WIFSIGNALED(status))
        *error = std::string("gnuplot failed: killed by ") + strsignal(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        *error = "gnuplot failed" + last_line(contents(files[2]));
    else
        return true;
    return false;
}

} // namespace

bool run_gnuplot(const std::string &script, const std::vector<std::string> &args, std::string *chart,
                 std::string *error)
{
    int files[3] = {temporary_file(), temporary_file(), temporary_file()}; // script, chart, messages
    bool ok = files[0] >= 0 && files[1] >= 0 && files[2] >= 0 &&
              write(files[0], script.data(), script.size()) == static_cast<ssize_t>(script.size());
    if (!ok)
        *error = std::string("cannot make a temporary file for gnuplot: ") + std::strerror(errno);
    ok = ok && lseek(files[0], 0, SEEK_SET) == 0 && run(files, args, error);
    if (ok)
        *chart = contents(files[1]);
    if (ok && chart->empty()) {
        ok = false;
        *error = "gnuplot wrote no chart";
    }
    for (int fd : files)
        if (fd >= 0)
            close(fd);
    return ok;
}
