// Example heap sort, started by p3spawn as P6.

#include "numbers.h"

#include <utility>

static void
siftDown(std::vector<int> &a, size_t top, size_t n)
{
    for (size_t child; (child = 2 * top + 1) < n; top = child) {
        if (child + 1 < n && a[child + 1] > a[child])
            child++;
        if (a[top] >= a[child])
            return;
        std::swap(a[top], a[child]);
    }
}

int
main(int argc, char *argv[])
{
    std::vector<int> a = numbers(argc, argv);
    for (size_t i = a.size() / 2; i-- > 0;)
        siftDown(a, i, a.size());
    for (size_t n = a.size(); n > 1; n--) {
        std::swap(a[0], a[n - 1]);
        siftDown(a, 0, n - 1);
    }
    return show("Heap sort", a);
}
