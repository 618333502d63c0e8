// Runs a built program as a user runs it, without a shell, for the
// program's and the tools' tests.
#ifndef PROCESS_RUNNER_H
#define PROCESS_RUNNER_H

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ran {
    int status; // the exit status, or -1 when the program didn't exit
    std::string out, err;
};

struct limits {
    const char *path_env = nullptr;  // PATH for the program, or null for the test's own
    rlim_t file = 0;                 // RLIMIT_FSIZE in bytes, 0 for none
    rlim_t memory = 0;               // RLIMIT_AS in bytes, 0 for none
    const char *tmpdir = nullptr;    // TMPDIR for the program, or null for none
    const char *stdout_to = nullptr; // the file stdout goes to (from work), or null for the capture
    const char *env = nullptr;       // one more "NAME=value", or null
    const char *stdin_from = nullptr; // the file stdin comes from, or null for the test's own
};

// A run's limits, each named: stdin_from("in.txt"), memory_at_most(40 <<
// 20), and .and_stdout_to(...) and the like on top of one.
struct limits_of : limits {
    limits_of &and_path(const char *p) { return path_env = p, *this; }
    limits_of &and_file_at_most(rlim_t bytes) { return file = bytes, *this; }
    limits_of &and_memory_at_most(rlim_t bytes) { return memory = bytes, *this; }
    limits_of &and_stdout_to(const char *p) { return stdout_to = p, *this; }
    limits_of &and_env(const char *e) { return env = e, *this; }
    limits_of &and_stdin_from(const char *p) { return stdin_from = p, *this; }
};
inline limits_of path_is(const char *p) { return limits_of{}.and_path(p); }
inline limits_of file_at_most(rlim_t bytes) { return limits_of{}.and_file_at_most(bytes); }
inline limits_of memory_at_most(rlim_t bytes) { return limits_of{}.and_memory_at_most(bytes); }
inline limits_of stdout_to(const char *p) { return limits_of{}.and_stdout_to(p); }
inline limits_of stdin_from(const char *p) { return limits_of{}.and_stdin_from(p); }

// Runs args (the program first) in folder work; stdout and stderr go to
// files in capture, and come back with the status.
inline ran run(const std::string &work, const std::string &capture, const std::vector<std::string> &args,
               const limits &l = {})
{
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(work.c_str()) != 0)
            _exit(126);
        std::string out_path = l.stdout_to != nullptr ? l.stdout_to : capture + "/stdout";
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((capture + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        int in = l.stdin_from != nullptr ? open(l.stdin_from, O_RDONLY) : 0;
        if (in < 0 || dup2(in, 0) < 0)
            _exit(126);
        for (auto [resource, bytes] : {std::pair<int, rlim_t>{RLIMIT_FSIZE, l.file}, {RLIMIT_AS, l.memory}}) {
            rlimit r{bytes, bytes};
            if (bytes != 0)
                setrlimit(resource, &r);
        }
        if (l.path_env != nullptr)
            setenv("PATH", l.path_env, 1);
        if (l.tmpdir != nullptr)
            setenv("TMPDIR", l.tmpdir, 1);
        else
            unsetenv("TMPDIR");
        if (l.env != nullptr)
            putenv(const_cast<char *>(l.env));
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::string out = l.stdout_to != nullptr ? "" : slurp(capture + "/stdout"); // stdout went elsewhere
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, slurp(capture + "/stderr")};
}

// A device like /dev/full at path, in a test's own scratch folder, so that
// no test writes the machine's own: false when it can't be made (not root),
// and the test then skips what needs it.
inline bool make_full_device(const std::string &path)
{
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
}

#endif
