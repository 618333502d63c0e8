// The int reader against a simple reference: the input is split at white
// space and each entry converted with strtoll. The first byte caps how many
// bytes each read call returns, so that entries fall across blocks at every
// place.
#include "int_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int capped_fd = -1;
std::size_t read_cap = 0;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" ssize_t __real_read(int fd, void *buf, std::size_t count); // NOLINT(bugprone-reserved-identifier)

// Linked in for read with -Wl,--wrap=read.
extern "C" ssize_t __wrap_read(int fd, void *buf, std::size_t count) // NOLINT(bugprone-reserved-identifier)
{
    if (fd == capped_fd && count > read_cap)
        count = read_cap;
    return __real_read(fd, buf, count);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    read_cap = data[0] % 16 + 1;
    std::string bytes(reinterpret_cast<const char *>(data + 1), size - 1);

    int fd = memfd_create("reader_fuzz", 0);
    check(fd >= 0);
    check(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    check(lseek(fd, 0, SEEK_SET) == 0);
    capped_fd = fd;
    static int_reader r;
    int_reader_init(&r, fd);

    std::size_t i = 0;
    unsigned long line = 1;
    for (;;) {
        for (; i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[i])); i++)
            line += bytes[i] == '\n';
        int value = 0;
        read_result got = int_reader_next(&r, &value);
        if (i == bytes.size()) {
            check(got == READ_END && r.line == line);
            break;
        }
        std::size_t end = i;
        while (end < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[end])))
            end++;
        std::string entry = bytes.substr(i, end - i);
        i = end;
        char *stop = nullptr;
        errno = 0;
        long long want = std::strtoll(entry.c_str(), &stop, 10);
        // An entry with a NUL stops strtoll early, and so isn't whole.
        bool whole = stop != entry.c_str() && stop == entry.c_str() + entry.size();
        bool in_range = errno != ERANGE && want >= INT32_MIN && want <= INT32_MAX;
        if (whole && in_range) {
            check(got == READ_INT && value == want);
            continue;
        }
        check(got == (whole ? READ_RANGE : READ_NOT_INT));
        check(r.line == line);
        std::string kept(r.text, r.text_len);
        check(kept == entry.substr(0, INT_READER_TEXT));
        check(r.text_cut == (entry.size() > INT_READER_TEXT));
        break;
    }
    capped_fd = -1;
    close(fd);
    return 0;
}
