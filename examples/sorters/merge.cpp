// Example merge sort, started by p3spawn as P7.

#include "numbers.h"

static void
mergeSort(std::vector<int> &a, std::vector<int> &temp, size_t lo, size_t hi)
{
    if (hi - lo < 2)
        return;
    size_t mid = lo + (hi - lo) / 2;
    mergeSort(a, temp, lo, mid);
    mergeSort(a, temp, mid, hi);
    size_t i = lo, j = mid, k = lo;
    while (i < mid || j < hi)
        temp[k++] = j == hi || (i < mid && a[i] <= a[j]) ? a[i++] : a[j++];
    for (k = lo; k < hi; k++)
        a[k] = temp[k];
}

int
main(int argc, char *argv[])
{
    std::vector<int> a = numbers(argc, argv);
    std::vector<int> temp(a.size());
    mergeSort(a, temp, 0, a.size());
    return show("Merge sort", a);
}
