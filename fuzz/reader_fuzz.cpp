// The int reader against a simple reference (reader_reference.h): the
// input is split at white space and each entry converted with strtoll. The
// first byte caps how many bytes each read call returns, so that entries
// fall across blocks at every place.
#include "int_reader.h"
#include "reader_reference.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
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

    std::vector<int> values;
    int value = 0;
    read_result end;
    while ((end = int_reader_next(&r, &value)) == READ_INT)
        values.push_back(value);

    reference_reading want = reference_read(bytes);
    check(values == want.values);
    check(end == want.end);
    check(r.line == want.line);
    if (end != READ_END) {
        check(std::string(r.text, r.text_len) == want.entry.substr(0, INT_READER_TEXT));
        check(r.text_cut == (want.entry.size() > INT_READER_TEXT));
    }
    capped_fd = -1;
    close(fd);
    return 0;
}
