#include "read_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool read_file(const std::string &path, std::size_t limit, std::string *text, std::string *error)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    text->clear();
    char block[64 * 1024];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *error = std::string("read failed: ") + std::strerror(errno);
        else if (text->size() + static_cast<std::size_t>(n) > limit)
            *error = "larger than " + std::to_string(limit >> 20) + " MiB: not read";
        else {
            text->append(block, static_cast<std::size_t>(n));
            continue;
        }
        close(fd);
        return false;
    }
    close(fd);
    return true;
}
