#include "gnuplot.h"

#include "whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// An anonymous temporary file under TMPDIR (or /tmp when it isn't set),
// gone once closed; null with errno set when none can be made.
std::FILE *temporary_file()
{
    const char *folder = std::getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/gnuplot.XXXXXX";
    int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    unlink(name.c_str());
    std::FILE *f = fdopen(fd, "w+");
    if (f == nullptr)
        close(fd);
    return f;
}

// What a temporary file holds, from its start.
std::string contents(std::FILE *f)
{
    std::string text;
    std::rewind(f);
    char block[64 * 1024];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;)
        text.append(block, n);
    return text;
}

// The last non-empty line of gnuplot's messages, for the one line the tool
// writes.
std::string last_line(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    std::size_t start = text.rfind('\n');
    text = start == std::string::npos ? text : text.substr(start + 1);
    for (char &c : text)
        if (static_cast<unsigned char>(c) < ' ')
            c = ' ';
    return text.size() > 200 ? text.substr(0, 200) + "..." : text;
}

} // namespace

std::string chart_text(const std::string &text)
{
    std::string shown = printable(text);
    for (std::size_t at = 0; (at = shown.find("]]>", at)) != std::string::npos; at += 2)
        shown.replace(at + 2, 1, "\\x3e");
    return shown;
}

bool run_gnuplot(const char *program, const std::string &script,
                 const std::vector<std::string> &args, std::string *chart)
{
    // The script, the chart and the messages go through anonymous temporary
    // files: no pipe to block on or to break, whatever gnuplot does.
    std::FILE *in = temporary_file();
    std::FILE *out = temporary_file();
    std::FILE *messages = temporary_file();
    bool ok = in != nullptr && out != nullptr && messages != nullptr &&
              std::fwrite(script.data(), 1, script.size(), in) == script.size() &&
              std::fflush(in) == 0 && std::fseek(in, 0, SEEK_SET) == 0;
    if (!ok) {
        std::fprintf(stderr, "%s: cannot make a temporary file for gnuplot: %s\n", program,
                     std::strerror(errno));
    }

    pid_t pid = 0;
    int spawned = 0;
    if (ok) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fileno(in), 0);
        posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
        posix_spawn_file_actions_adddup2(&actions, fileno(messages), 2);
        // gnuplot -c reads the script from a file: its standard input,
        // opened afresh from the start.
        std::vector<char *> argv = {const_cast<char *>("gnuplot"), const_cast<char *>("-c"),
                                    const_cast<char *>("/dev/stdin")};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        spawned = posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ok = false;
            if (spawned == ENOENT)
                std::fprintf(stderr, "%s: gnuplot is not installed (apt-get install gnuplot-nox)\n",
                             program);
            else
                std::fprintf(stderr, "%s: cannot run gnuplot: %s\n", program, std::strerror(spawned));
        }
    }
    if (ok) {
        int status = 0;
        pid_t waited;
        while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        int wait_error = errno;
        *chart = contents(out);
        if (waited < 0) {
            // With SIGCHLD ignored, say, gnuplot's end can't be known.
            ok = false;
            std::fprintf(stderr, "%s: cannot wait for gnuplot: %s\n", program, std::strerror(wait_error));
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ok = false;
            std::string why = WIFSIGNALED(status) ? std::string("killed by ") + strsignal(WTERMSIG(status))
                                                  : last_line(contents(messages));
            std::fprintf(stderr, "%s: gnuplot failed%s%s\n", program, why.empty() ? "" : ": ",
                         why.c_str());
        } else if (chart->empty()) {
            ok = false;
            std::fprintf(stderr, "%s: gnuplot wrote no chart\n", program);
        }
    }
    for (std::FILE *f : {in, out, messages})
        if (f != nullptr)
            std::fclose(f);
    return ok;
}
