#include "whole_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
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

namespace {

// The temporary file being written, for the signal handler: a fixed buffer,
// since the handler may use nothing that allocates.
char pending[4096];

void remove_pending_and_die(int sig)
{
    if (pending[0] != '\0')
        unlink(pending);
    std::signal(sig, SIG_DFL);
    raise(sig);
}

const int fatal_signals[] = {SIGINT, SIGTERM, SIGHUP};

void watch_signals(const std::string &temp)
{
    if (temp.size() >= sizeof pending)
        return;
    std::memcpy(pending, temp.c_str(), temp.size() + 1);
    for (int sig : fatal_signals) {
        struct sigaction a {};
        a.sa_handler = remove_pending_and_die;
        sigemptyset(&a.sa_mask);
        for (int other : fatal_signals)
            sigaddset(&a.sa_mask, other);
        sigaction(sig, &a, nullptr);
    }
}

void unwatch_signals()
{
    for (int sig : fatal_signals)
        std::signal(sig, SIG_DFL);
    pending[0] = '\0';
}

// The descriptor that path names by itself: "-" and /dev/stdout for 1,
// /dev/stderr for 2, /dev/fd/N and /proc/self/fd/N for N; -1 for others.
int own_descriptor(const std::string &path)
{
    if (path == "-" || path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char *prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        std::string p = prefix;
        if (path.compare(0, p.size(), p) != 0 || path.size() == p.size() || path.size() > p.size() + 6)
            continue;
        int n = 0;
        for (std::size_t i = p.size(); i < path.size(); i++) {
            if (path[i] < '0' || path[i] > '9')
                return -1;
            n = n * 10 + (path[i] - '0');
        }
        return n;
    }
    return -1;
}

std::string folder_of(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// path with its symbolic links followed, as far as they lead: a dangling
// link gives the path it points to. False for a loop (ELOOP).
bool follow_links(std::string path, std::string *target)
{
    for (int hops = 0; hops < 40; hops++) {
        char link[4096];
        ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof link) {
            *target = path;
            return true;
        }
        std::string to(link, static_cast<std::size_t>(n));
        path = to[0] == '/' ? to : folder_of(path) + to;
    }
    return false;
}

// The temporary name beside path: ".NAME.XXXXXX", NAME cut short so that the
// whole stays within the folder's limit for one name.
std::string temporary_name(const std::string &path)
{
    std::string folder = folder_of(path);
    std::string name = path.substr(folder.size());
    long max = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    std::size_t room = (max > 0 ? static_cast<std::size_t>(max) : 255) - std::strlen("..XXXXXX");
    if (name.size() > room)
        name.resize(room);
    return folder + "." + name + ".XXXXXX";
}

} // namespace

bool whole_file_open(whole_file *f, const std::string &path, std::string *error)
{
    // A write past the file size limit is then an error (EFBIG) rather than
    // the end of the process.
    std::signal(SIGXFSZ, SIG_IGN);
    f->path = path;
    f->temp.clear();
    f->out = nullptr;
    int own = own_descriptor(path);
    if (own >= 0) {
        int fd = fcntl(own, F_DUPFD_CLOEXEC, 3);
        f->out = fd < 0 ? nullptr : fdopen(fd, "w");
        if (f->out == nullptr) {
            *error = reason(errno);
            if (fd >= 0)
                close(fd);
            return false;
        }
        return true;
    }
    if (!follow_links(path, &f->path)) {
        *error = reason(ELOOP);
        return false;
    }
    struct stat st;
    bool exists = stat(f->path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = reason(EISDIR);
        return false;
    }
    if (exists && access(f->path.c_str(), W_OK) != 0) {
        *error = reason(errno);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        f->out = std::fopen(f->path.c_str(), "w");
        if (f->out == nullptr) {
            *error = reason(errno);
            return false;
        }
        return true;
    }
    std::string temp = temporary_name(f->path);
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        *error = reason(errno);
        return false;
    }
    watch_signals(temp);
    if (exists) {
        // The owner first: changing it may clear the set-id bits.
        if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // Another owner isn't ours to give; the file is then the user's.
        }
        fchmod(fd, st.st_mode & 07777);
    } else {
        // mkostemp makes the file 0600; a new file gets 0666 less the umask.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    f->out = fdopen(fd, "w");
    if (f->out == nullptr) {
        *error = reason(errno);
        close(fd);
        unlink(temp.c_str());
        unwatch_signals();
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
    if (ok && !f->temp.empty()) {
        // The rename itself on disk; file systems that can't sync a folder
        // say EINVAL, and have nothing to sync.
        std::string folder = folder_of(f->path);
        int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            if (fsync(dir) != 0 && errno != EINVAL) {
                ok = false;
                saved = errno;
            }
            close(dir);
        }
    }
    if (!ok) {
        *error = reason(saved != 0 ? saved : EIO);
        if (!f->temp.empty())
            unlink(f->temp.c_str());
    }
    if (!f->temp.empty())
        unwatch_signals();
    return ok;
}

void whole_file_abandon(whole_file *f)
{
    if (f->out != nullptr)
        std::fclose(f->out);
    f->out = nullptr;
    if (!f->temp.empty()) {
        unlink(f->temp.c_str());
        unwatch_signals();
    }
}

std::string printable(const std::string &text)
{
    std::string shown;
    auto escape = [&](unsigned char c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        shown += hex;
    };
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\t') {
            shown += c == '\n' ? "\\n" : "\\t";
            i++;
            continue;
        }
        if (c < ' ' || c == 0x7f) {
            escape(c);
            i++;
            continue;
        }
        if (c < 0x80) {
            shown += static_cast<char>(c);
            i++;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, its code point
        // neither overlong, nor a surrogate, nor past U+10FFFF.
        std::size_t length = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        unsigned long point = length == 2 ? c & 0x1fu : length == 3 ? c & 0x0fu : c & 0x07u;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; k++) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xc0) == 0x80;
            point = point << 6 | (next & 0x3fu);
        }
        valid = valid && !(length == 3 && (point < 0x800 || (point >= 0xd800 && point <= 0xdfff))) &&
                !(length == 4 && (point < 0x10000 || point > 0x10ffff));
        if (!valid) {
            escape(c);
            i++;
        } else if (point >= 0x80 && point <= 0x9f) {
            char u[8];
            std::snprintf(u, sizeof u, "\\u%04lx", point);
            shown += u;
            i += length;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
}

bool output_is_input(const char *program, const std::string &output, const std::string &input)
{
    struct stat out, in;
    // Only a regular file is overwritten, and so lost; a terminal may well
    // be both.
    int own = own_descriptor(output);
    if ((own >= 0 ? fstat(own, &out) : stat(output.c_str(), &out)) != 0 || !S_ISREG(out.st_mode) ||
        stat(input.c_str(), &in) != 0 || out.st_dev != in.st_dev || out.st_ino != in.st_ino)
        return false;
    std::fprintf(stderr, "%s: %s: is the same file as the input %s\n", program, printable(output).c_str(),
                 printable(input).c_str());
    return true;
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
