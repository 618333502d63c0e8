// Loads 1,000,000 ints from sample.txt into a tree while filling a list with
// the values 1,000,000 down to 1 (each at the head), then searches the list
// for 999999 and prints its position as "iter num = <position>".
//
// How the parts fit: this file opens the input, supplies the list's
// callbacks and turns what happened into the output and the exit status;
// load_run does the work, with the two containers (ADT_tree, ADT_llist),
// the reader of ints (int_reader), and, on stderr, the chain warning
// (chain_watch) and the progress line (load_progress).
//
// Exit status: 0 after a complete run; 1 when sample.txt can't be opened or
// read; 2 when it holds too few integers, an entry that isn't a decimal
// integer, or one outside the 32-bit range; 3 when memory runs out; 4 when
// the result line can't be written. Every failure writes one line to stderr
// and nothing to stdout.
#include "exit_status.h"
#include "load_run.h"
#include "message.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// The list's callbacks for elements that point to ints.

// The first int minus the second, wrapping around in 32 bits; 0 exactly when
// they are equal.
int compare1(void *element, void *key)
{
    unsigned a = static_cast<unsigned>(*static_cast<int *>(element));
    unsigned b = static_cast<unsigned>(*static_cast<int *>(key));
    return static_cast<int>(a - b);
}

void print1(void *element)
{
    std::printf(" - int data %d\n", *static_cast<int *>(element));
}

namespace {

const char program[] = "main_llist";
const char input_name[] = "sample.txt";
const int entries = 1000000;
const int search_target = 999999;

// What the run builds, reachable from here until the process exits.
load_run run;

} // namespace

int main()
{
    message_init(program);
    int fd = open(input_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(STATUS_READ_FAILED, "%s: cannot open: %s", input_name, std::strerror(errno));
    load_setup setup{};
    setup.fd = fd;
    setup.entries = entries;
    setup.target = search_target;
    setup.compare = compare1;
    setup.print = print1;
    setup.file = input_name;
    setup.terminal = isatty(STDERR_FILENO) != 0;
    load_outcome outcome = load_and_search(&run, &setup);
    close(fd);
    if (outcome.status != LOAD_DONE)
        return load_failure(outcome, &run.reader, input_name, entries);
    if (std::printf("iter num = %d\n", outcome.position) < 0 || std::fflush(stdout) != 0)
        return fail(STATUS_WRITE_FAILED, "cannot write the result: %s", std::strerror(errno));
    return STATUS_DONE;
}
