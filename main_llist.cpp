// Loads 1,000,000 ints from sample.txt into a tree while filling a list with
// the values 1,000,000 down to 1 (each at the head), then searches the list
// for 999999 and prints its position as "iter num = <position>".
//
// Exit status: 0 after a complete run; 1 when sample.txt can't be opened or
// read; 2 when it holds too few integers, an entry that isn't a decimal
// integer, or one outside the 32-bit range; 3 when memory runs out; 4 when
// the result line can't be written. Every failure writes one line to stderr
// and nothing to stdout.
#include "ADT_llist.h"
#include "ADT_tree.h"
#include "int_reader.h"
#include "load_feedback.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// A test build may read fewer entries, to reach every allocation quickly.
#ifndef MAIN_LLIST_ENTRIES
#define MAIN_LLIST_ENTRIES 1000000
#endif

const char input_name[] = "sample.txt";
const int entries = MAIN_LLIST_ENTRIES;
const int search_target = 999999;

// 1 and 2 are also what int_reader_report returns.
enum exit_status {
    EXIT_READ_FAILED = 1,
    EXIT_BAD_INPUT = 2,
    EXIT_OUT_OF_MEMORY = 3,
    EXIT_WRITE_FAILED = 4,
};

// What a run builds. Nothing of it is freed (the list's elements point into
// values), and it stays reachable from here until the process exits.
struct run_state {
    int *keys;
    int *values;
    LLIST *list;
    BST_TREE *tree;
    int_reader reader;
};
run_state run;

int load_and_search(int fd)
{
    run.keys = static_cast<int *>(std::malloc(entries * sizeof(int)));
    run.values = static_cast<int *>(std::malloc(entries * sizeof(int)));
    run.list = create_list(compare1, print1);
    run.tree = create_bst_tree();
    int *keys = run.keys;
    int *values = run.values;
    LLIST *list = run.list;
    BST_TREE *tree = run.tree;
    int_reader &reader = run.reader;
    int target = search_target;
    if (keys == nullptr || values == nullptr || list == nullptr || tree == nullptr) {
        std::fprintf(stderr, "main_llist: %s: out of memory before reading\n", input_name);
        return EXIT_OUT_OF_MEMORY;
    }

    int_reader_init(&reader, fd);
    load_feedback feedback;
    load_feedback_init(&feedback, stderr, input_name, entries);
    for (int i = 0; i < entries; i++) {
        values[i] = entries - i;
        read_result result = int_reader_next(&reader, &keys[i]);
        if (result != READ_INT) {
            load_feedback_finish(&feedback, i);
            return int_reader_report(&reader, result, "main_llist", input_name, i + 1, entries);
        }
        if (!add_node_at(list, 0, &values[i]) || !BST_insert(tree, keys[i])) {
            load_feedback_finish(&feedback, i);
            std::fprintf(stderr, "main_llist: %s: entry %d (line %lu): out of memory\n", input_name,
                         i + 1, reader.line);
            return EXIT_OUT_OF_MEMORY;
        }
        if ((i + 1) % feedback_every == 0)
            load_feedback_update(&feedback, keys, i + 1);
    }
    load_feedback_update(&feedback, keys, entries);
    load_feedback_finish(&feedback, entries);

    int position = find_data(list, &target);
    if (std::printf("iter num = %d\n", position) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "main_llist: cannot write the result: %s\n", std::strerror(errno));
        return EXIT_WRITE_FAILED;
    }
    return 0;
}

} // namespace

int main()
{
    int fd = open(input_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "main_llist: %s: cannot open: %s\n", input_name, std::strerror(errno));
        return EXIT_READ_FAILED;
    }
    int status = load_and_search(fd);
    close(fd);
    return status;
}
