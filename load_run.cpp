#include "load_run.h"

#include "exit_status.h"

#include "chain_watch.h"
#include "load_progress.h"
#include "message.h"

#include <cstdlib>

load_outcome load_and_search(load_run *run, const load_setup *setup)
{
    const int entries = setup->entries;
    run->keys = static_cast<int *>(std::malloc(static_cast<std::size_t>(entries) * sizeof(int)));
    run->values = static_cast<int *>(std::malloc(static_cast<std::size_t>(entries) * sizeof(int)));
    run->list = create_list(setup->compare, setup->print);
    run->tree = create_bst_tree();
    int *keys = run->keys;
    int *values = run->values;
    LLIST *list = run->list;
    BST_TREE *tree = run->tree;
    int_reader *reader = &run->reader;
    if (keys == nullptr || values == nullptr || list == nullptr || tree == nullptr)
        return {LOAD_NO_MEMORY, 0, READ_INT, -1};

    int_reader_init(reader, setup->fd);
    load_progress progress;
    load_progress_init(&progress, message_stream(), setup->terminal, setup->clock, setup->file, entries);
    chain_watch watch;
    chain_watch_init(&watch, setup->file, setup->warn_depth);
    for (int i = 0; i < entries; i++) {
        values[i] = entries - i;
        read_result result = int_reader_next(reader, &keys[i]);
        if (result != READ_INT) {
            load_progress_finish(&progress, i);
            return {LOAD_BAD_READ, i + 1, result, -1};
        }
        if (!add_node_at(list, 0, &values[i]) || !BST_insert(tree, keys[i])) {
            load_progress_finish(&progress, i);
            return {LOAD_NO_MEMORY, i + 1, READ_INT, -1};
        }
        if ((i + 1) % chain_watch_every == 0) {
            if (chain_watch_look(&watch, tree, &keys[i + 1 - chain_watch_every])) {
                load_progress_finish(&progress, i + 1); // the warning stands on a line of its own
                chain_watch_warn(&watch, tree, i + 1);
            }
            load_progress_update(&progress, i + 1);
        }
    }
    load_progress_finish(&progress, entries);

    int target = setup->target;
    return {LOAD_DONE, 0, READ_INT, find_data(list, &target)};
}

int load_failure(const load_outcome &outcome, const int_reader *reader, const char *file, int needed)
{
    if (outcome.status == LOAD_NO_MEMORY)
        return outcome.entry == 0 ? fail(STATUS_NO_MEMORY, "%s: out of memory before reading", file)
                                  : fail(STATUS_NO_MEMORY, "%s: entry %d (line %lu): out of memory", file, outcome.entry,
                                         reader->line);
    char what[INT_READER_MESSAGE];
    int status = int_reader_failure(reader, outcome.read, outcome.entry, needed, what);
    return fail(status, "%s: %s", file, what);
}
