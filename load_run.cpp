#include "load_run.h"

#include "chain_watch.h"
#include "load_progress.h"
#include "message.h"

#include <cstdlib>
#include <cstring>

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
    chain_watch_init(&watch, setup->file, setup->warn_depth, &progress);
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
            if (chain_watch_look(&watch, tree, &keys[i + 1 - chain_watch_every]))
                chain_watch_warn(&watch, tree, i + 1);
            load_progress_update(&progress, i + 1);
        }
    }
    load_progress_finish(&progress, entries);

    int target = setup->target;
    return {LOAD_DONE, 0, READ_INT, find_data(list, &target)};
}

int load_failure(const load_outcome &outcome, const int_reader *reader, const char *file, int needed)
{
    const int entry = outcome.entry;
    const unsigned long line = reader->line;
    char text[INT_READER_TEXT + 4];
    int_reader_quote(reader, text);
    if (outcome.status == LOAD_NO_MEMORY)
        return entry == 0 ? fail(3, "%s: out of memory before reading", file)
                          : fail(3, "%s: entry %d (line %lu): out of memory", file, entry, line);
    switch (outcome.read) {
    case READ_END:
        return fail(2, "%s: entry %d (line %lu): missing: the file ends after %d integers, %d are needed", file,
                    entry, line, entry - 1, needed);
    case READ_NOT_INT:
        return fail(2, "%s: entry %d (line %lu): not a decimal integer: \"%s\"", file, entry, line, text);
    case READ_RANGE:
        return fail(2, "%s: entry %d (line %lu): outside the 32-bit integer range: \"%s\"", file, entry, line, text);
    case READ_TOO_LONG:
        return fail(2, "%s: entry %d (line %lu): too long: more than %zu bytes of digits: \"%s\"", file, entry,
                    line, INT_READER_LONGEST, text);
    default:
        return fail(1, "%s: entry %d (line %lu): read failed: %s", file, entry, line, std::strerror(reader->error));
    }
}
