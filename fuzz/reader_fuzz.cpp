// The int reader against a simple reference (reader_reference.h): the
// input is split at white space and each entry converted with strtoll, and
// the reader reads on after every rejected entry. The
// first byte caps how many bytes each read call returns, so that entries
// fall across blocks at every place.
#include "int_reader.h"
#include "reader_reference.h"

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

    check(read_every_entry(&r) == reference_read(bytes));
    capped_fd = -1;
    close(fd);
    return 0;
}
