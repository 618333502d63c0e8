#include "read_file.h"

#include <cerrno>
#include <cstring>

bool read_rest(std::FILE *in, std::size_t limit, std::string *text, std::string *error)
{
    char block[64 * 1024];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) {
        if (text->size() + n > limit) {
            *error = "larger than " + std::to_string(limit >> 20) + " MiB: not read";
            return false;
        }
        text->append(block, n);
    }
    if (std::ferror(in) != 0) {
        *error = std::string("read failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool read_file(const std::string &path, std::size_t limit, std::string *text, std::string *error)
{
    std::FILE *in = std::fopen(path.c_str(), "re");
    if (in == nullptr) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    text->clear();
    bool ok = read_rest(in, limit, text, error);
    std::fclose(in);
    return ok;
}
