// Operation sequences on the list, checked against a vector and the
// checker. Each operation takes two bytes: what to do, and a position (or
// an element) from a small range around the list's length.
#include "ADT_llist.h"
#include "list_checker.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

int elements_pool[8] = {0, 1, 2, 3, 0, 1, 2, 3}; // equal values, distinct pointers
std::vector<void *> printed;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

int compare_ints(void *element, void *key)
{
    return *static_cast<int *>(element) - *static_cast<int *>(key);
}

void record(void *element)
{
    printed.push_back(element);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    LLIST *list = create_list(compare_ints, record);
    check(list != nullptr);
    std::vector<void *> model;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        unsigned count = list->count;
        unsigned position = data[i + 1] % (count + 2);
        void *element = &elements_pool[data[i + 1] % 8];
        switch (data[i] % 6) {
        case 0:
        case 1:
            check(add_node_at(list, position, element) == (position <= count));
            if (position <= count)
                model.insert(model.begin() + position, element);
            break;
        case 2: {
            node *cur = list->cur;
            bool removed = del_node_at(list, position);
            check(removed == (position < count));
            check(list->cur == (removed ? nullptr : cur));
            if (removed)
                model.erase(model.begin() + position);
            break;
        }
        case 3: {
            void *got = get_data_at(list, position);
            check(got == (position < count ? model[position] : nullptr));
            check(position >= count || list->cur->data == got);
            break;
        }
        case 4: {
            int want = -1;
            for (std::size_t j = 0; j < model.size() && want < 0; j++)
                if (*static_cast<int *>(model[j]) == *static_cast<int *>(element))
                    want = static_cast<int>(j);
            check(find_data(list, element) == want);
            check(want < 0 ? list->cur == nullptr : list->cur->data == model[want]);
            break;
        }
        default: {
            node *start = list->head;
            for (unsigned j = 0; j < position && start != nullptr; j++)
                start = start->next;
            printed.clear();
            print_all(list, start);
            std::vector<void *> want;
            if (position < count)
                want.assign(model.begin() + position, model.end());
            check(printed == want);
        }
        }
        check(check_list(list).empty());
        check(elements(list) == model);
    }
    destroy_list(list);
    return 0;
}
