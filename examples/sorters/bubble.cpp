// Example bubble sort, started by p2spawn as P4.

#include "numbers.h"

#include <utility>

int
main(int argc, char *argv[])
{
    std::vector<int> a = numbers(argc, argv);
    for (size_t p = 0; p < a.size(); p++)
        for (size_t j = 0; j + 1 < a.size() - p; j++)
            if (a[j] > a[j + 1])
                std::swap(a[j], a[j + 1]);
    return show("Bubble sort", a);
}
