#include "replace_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file, for the signal handler: a fixed buffer, since the
// handler may use nothing that allocates; and each signal's disposition
// from before, to put back.
char pending[4096];
const int fatal_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
struct sigaction before[4];

void remove_pending_and_die(int sig)
{
    unlink(pending);
    for (int i = 0; i < 3; i++)
        if (fatal_signals[i] == sig)
            sigaction(sig, &before[i], nullptr);
    raise(sig); // delivered, as it was set before, once the handler returns
}

// Saves every disposition, ignores SIGXFSZ, and, when a temporary file is
// written, has the others that aren't ignored remove it.
void hold_signals(const std::string &temp)
{
    bool watch = !temp.empty() && temp.size() < sizeof pending;
    if (watch)
        std::memcpy(pending, temp.c_str(), temp.size() + 1);
    struct sigaction a {};
    sigfillset(&a.sa_mask);
    for (int i = 0; i < 4; i++) {
        sigaction(fatal_signals[i], nullptr, &before[i]);
        a.sa_handler = fatal_signals[i] == SIGXFSZ ? SIG_IGN : remove_pending_and_die;
        if (fatal_signals[i] == SIGXFSZ || (watch && before[i].sa_handler != SIG_IGN))
            sigaction(fatal_signals[i], &a, nullptr);
    }
}

void release_signals()
{
    for (int i = 0; i < 4; i++)
        sigaction(fatal_signals[i], &before[i], nullptr);
    pending[0] = '\0';
}

// The descriptor that path names by itself: "-" and /dev/stdout for 1,
// /dev/stderr for 2, /dev/fd/N and /proc/self/fd/N for N; -1 for others.
int own_descriptor(const std::string &path)
{
    if (path == "-" || path == "/dev/stdout" || path == "/dev/stderr")
        return path == "/dev/stderr" ? 2 : 1;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        std::string n = path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : "";
        if (!n.empty() && n.size() <= 6 && n.find_first_not_of("0123456789") == std::string::npos)
            return static_cast<int>(std::strtol(n.c_str(), nullptr, 10));
    }
    return -1;
}

std::string folder_of(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// path with its symbolic links followed, as far as they lead: a dangling
// link gives the path it points to. False for a loop.
bool follow_links(std::string path, std::string *target)
{
    char link[4096];
    for (int hops = 0; hops < 40; hops++) {
        ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n < 0) {
            *target = path;
            return true;
        }
        link[n] = '\0';
        path = link[0] == '/' ? std::string(link) : folder_of(path) + link;
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
    return folder + "." + name.substr(0, room) + ".XXXXXX";
}

// Opens where the content goes: the process's own descriptor, a special
// file in place, or a new temporary file with the old one's mode and owner.
std::FILE *open_for(replacement *r, const std::string &path)
{
    int own = own_descriptor(path);
    if (own >= 0) {
        int fd = fcntl(own, F_DUPFD_CLOEXEC, 3);
        std::FILE *out = fd < 0 ? nullptr : fdopen(fd, "w");
        if (out == nullptr && fd >= 0)
            close(fd);
        return out;
    }
    if (!follow_links(path, &r->path)) {
        errno = ELOOP;
        return nullptr;
    }
    struct stat st;
    bool exists = stat(r->path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    if (exists && access(r->path.c_str(), W_OK) != 0)
        return nullptr;
    if (exists && !S_ISREG(st.st_mode))
        return std::fopen(r->path.c_str(), "w");
    std::string temp = temporary_name(r->path);
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // An existing file's owner first, as changing it may clear the set-id
    // bits (another owner isn't ours to give, and the file is then the
    // user's), then its mode; a new file's mode is 0666 less the umask, not
    // mkostemp's 0600.
    mode_t mask = umask(0);
    umask(mask);
    if (exists && fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    fchmod(fd, exists ? st.st_mode & 07777 : 0666 & ~mask);
    std::FILE *out = fdopen(fd, "w");
    if (out == nullptr) {
        close(fd);
        unlink(temp.c_str());
    } else {
        r->temp = temp;
    }
    return out;
}

} // namespace

bool replace_begin(replacement *r, const std::string &path, std::string *error)
{
    r->path = path;
    r->temp.clear();
    r->out = open_for(r, path);
    if (r->out == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    hold_signals(r->temp);
    return true;
}

bool replace_commit(replacement *r, std::string *error)
{
    // On disk before the rename, so that a crash can't leave the new name on
    // an empty file; then the rename itself (file systems that can't sync a
    // folder say EINVAL, and have nothing to sync).
    bool temporary = !r->temp.empty();
    int saved = 0;
    auto check = [&](bool ok) { saved = ok || saved != 0 ? saved : errno != 0 ? errno : EIO; };
    check(std::fflush(r->out) == 0 && std::ferror(r->out) == 0 && (!temporary || fsync(fileno(r->out)) == 0));
    check(std::fclose(r->out) == 0);
    r->out = nullptr;
    if (temporary && saved == 0)
        check(rename(r->temp.c_str(), r->path.c_str()) == 0);
    std::string folder = folder_of(r->path);
    int dir = temporary && saved == 0 ? open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (dir >= 0) {
        check(fsync(dir) == 0 || errno == EINVAL);
        close(dir);
    }
    if (saved != 0 && temporary)
        unlink(r->temp.c_str());
    *error = saved != 0 ? std::strerror(saved) : "";
    release_signals();
    return saved == 0;
}

void replace_rollback(replacement *r)
{
    std::fclose(r->out);
    r->out = nullptr;
    if (!r->temp.empty())
        unlink(r->temp.c_str());
    release_signals();
}

bool replace_with(const std::string &path, const std::string &data, std::string *error)
{
    replacement r;
    if (!replace_begin(&r, path, error))
        return false;
    std::fwrite(data.data(), 1, data.size(), r.out);
    return replace_commit(&r, error);
}

bool output_is_input(const std::string &output, const std::string &input)
{
    // Only a regular file is overwritten, and so lost; a terminal may well
    // be both.
    struct stat out, in;
    int own = own_descriptor(output);
    return (own >= 0 ? fstat(own, &out) : stat(output.c_str(), &out)) == 0 && S_ISREG(out.st_mode) &&
           stat(input.c_str(), &in) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}
