// Example insertion sort, started by p2spawn as P5.

#include "numbers.h"

int
main(int argc, char *argv[])
{
    std::vector<int> a = numbers(argc, argv);
    for (size_t i = 1; i < a.size(); i++) {
        int v = a[i];
        size_t j = i;
        for (; j > 0 && a[j - 1] > v; j--)
            a[j] = a[j - 1];
        a[j] = v;
    }
    return show("Insertion sort", a);
}
