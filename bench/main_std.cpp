// The program's workload written with the standard library, for comparison:
// std::multiset<int> for the tree and std::forward_list<int *> for the
// list, with the same reader, the same buffers and the same search through
// the same comparison callback. Run it where sample.txt is; it prints the
// same line.
#include "int_reader.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <forward_list>
#include <iterator>
#include <set>
#include <unistd.h>
#include <vector>

int compare1(void *element, void *key)
{
    unsigned a = static_cast<unsigned>(*static_cast<int *>(element));
    unsigned b = static_cast<unsigned>(*static_cast<int *>(key));
    return static_cast<int>(a - b);
}

int main()
{
    const int entries = 1000000;
    int fd = open("sample.txt", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror("main_std: sample.txt");
        return 1;
    }
    std::vector<int> keys(entries);
    std::vector<int> values(entries);
    std::forward_list<int *> list;
    std::multiset<int> tree;
    static int_reader reader;
    int_reader_init(&reader, fd);
    for (int i = 0; i < entries; i++) {
        values[i] = entries - i;
        if (int_reader_next(&reader, &keys[i]) != READ_INT) {
            std::fprintf(stderr, "main_std: sample.txt: bad or missing entry %d\n", i + 1);
            return 2;
        }
        list.push_front(&values[i]);
        tree.insert(keys[i]);
    }
    int target = 999999;
    auto found = std::find_if(list.begin(), list.end(),
                              [&](int *element) { return compare1(element, &target) == 0; });
    int position = found == list.end() ? -1 : static_cast<int>(std::distance(list.begin(), found));
    std::printf("iter num = %d\n", position);
    close(fd);
    return 0;
}
