#include "whole_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reason(int error)
{
    return std::strerror(error);
}

} // namespace

bool read_whole_file(const std::string &path, std::size_t limit, std::string *text,
                     std::string *error)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open: " + reason(errno);
        return false;
    }
    text->clear();
    char block[64 * 1024];
    for (;;) {
        ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = "read failed: " + reason(errno);
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        if (text->size() + static_cast<std::size_t>(n) > limit) {
            *error = "larger than " + std::to_string(limit >> 20) + " MiB: not read";
            close(fd);
            return false;
        }
        text->append(block, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool whole_file_open(whole_file *f, const std::string &path, std::string *error)
{
    // A write past the file size limit is then an error (EFBIG) rather than
    // the end of the process.
    std::signal(SIGXFSZ, SIG_IGN);
    f->path = path;
    f->temp.clear();
    f->out = nullptr;
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = reason(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        f->out = std::fopen(path.c_str(), "w");
        if (f->out == nullptr) {
            *error = reason(errno);
            return false;
        }
        return true;
    }
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + "." + name + ".XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        *error = reason(errno);
        return false;
    }
    // mkostemp makes the file 0600; a finished file gets what a new file
    // would, 0666 less the umask.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    f->out = fdopen(fd, "w");
    if (f->out == nullptr) {
        *error = reason(errno);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    f->temp = temp;
    return true;
}

bool whole_file_commit(whole_file *f, std::string *error)
{
    // On disk before the rename, so that a crash can't leave the new name
    // on an empty file.
    bool ok = std::fflush(f->out) == 0 && std::ferror(f->out) == 0 &&
              (f->temp.empty() || fsync(fileno(f->out)) == 0);
    int saved = errno;
    if (std::fclose(f->out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    f->out = nullptr;
    if (ok && !f->temp.empty() && rename(f->temp.c_str(), f->path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        *error = reason(saved != 0 ? saved : EIO);
        if (!f->temp.empty())
            unlink(f->temp.c_str());
    }
    return ok;
}

void whole_file_abandon(whole_file *f)
{
    if (f->out != nullptr)
        std::fclose(f->out);
    f->out = nullptr;
    if (!f->temp.empty())
        unlink(f->temp.c_str());
}

std::string printable(const std::string &text)
{
    std::string shown = text;
    for (char &c : shown)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f')
            c = '?';
    return shown;
}

bool write_whole_file(const char *program, const std::string &path, const std::string &data)
{
    whole_file f;
    std::string error;
    bool ok = whole_file_open(&f, path, &error);
    if (ok) {
        std::fwrite(data.data(), 1, data.size(), f.out);
        ok = whole_file_commit(&f, &error);
    }
    if (!ok)
        std::fprintf(stderr, "%s: %s: cannot write: %s\n", program, printable(path).c_str(),
                     error.c_str());
    return ok;
}
