// The order of dates, earliest first: the comparison, and the exchange
// sorts that use it, plainly or on keys.

#include "chronsort.h"

#include <cstdint>
#include <cstdlib>

static bool
later(const Date &x, const Date &y)
{
    if (x.year != y.year)
        return x.year > y.year;
    if (x.month != y.month)
        return x.month > y.month;
    return x.day > y.day;
}

// The exchange sort of neighbours as plainly as it can be written, for the
// dates that have no key. Neighbours that compare equal are never
// exchanged, so equal dates keep their order from the file; a pass that
// exchanges nothing finds the dates in order, and ends the sort.
static void
sortPlain(Dates *t, Passes passes)
{
    size_t n = t->n;
    Date temp;

    for (size_t p = 0; p < n; p++) {
        bool exchanged = false;
        for (size_t j = 0; j < n - p - 1; j++)
            if (later(t->date[j], t->date[j + 1])) {
                temp = t->date[j];
                t->date[j] = t->date[j + 1];
                t->date[j + 1] = temp;
                exchanged = true;
            }
        if (!exchanged)
            break;
        passes(p + 1, n - 1);
    }
}

// A date as one number that orders as the dates do: the year in the high
// 32 bits, then the month and the day in 16 each, all offset so that
// unsigned order is signed order. Every date whose month and day fit in 16
// bits has one (any real date, and most that are not); equal dates have
// equal keys, and a key gives back its date.
typedef uint64_t Key;

static bool
hasKey(const Date &d)
{
    return d.month >= INT16_MIN && d.month <= INT16_MAX && d.day >= INT16_MIN &&
           d.day <= INT16_MAX;
}

static Key
keyOf(const Date &d)
{
    return (Key)((int64_t)d.year - INT32_MIN) << 32 |
           (Key)(d.month - INT16_MIN) << 16 | (Key)(d.day - INT16_MIN);
}

static Date
dateOf(Key k)
{
    Date d;
    d.day = (int)(k & 0xffff) + INT16_MIN;
    d.month = (int)(k >> 16 & 0xffff) + INT16_MIN;
    d.year = (int)((int64_t)(k >> 32) + INT32_MIN);
    return d;
}

// The exchange sort of neighbours, on keys, two passes at a time: the
// second pass follows one place behind the first, taking each key as the
// first lets it go. In each pass the later of a pair goes on to the next
// comparison in a register, and the exchange is a choice the compiler makes
// without a branch; the two passes' chains of comparisons run side by side.
// Equal keys are never exchanged.
// Before each round p (two passes), the last p keys are the largest, in
// order; the round puts the next two in place before them. A round whose
// second pass exchanges nothing found k[0, end - 1) in order, with the
// largest of k[0, end) beyond it: all is in order, and the sort ends.
static void
sortKeys(Key *k, size_t n, Passes passes)
{
    for (size_t p = 0; p + 1 < n; p += 2) {
        size_t end = n - p; // the first pass's; the second's is end - 1
        bool swap = k[0] > k[1];
        Key lead = swap ? k[0] : k[1];  // the first pass's, the largest yet
        Key trail = swap ? k[1] : k[0]; // the second pass's, one behind
        bool exchanged = false;         // by the second pass
        for (size_t j = 2; j < end; j++) {
            Key next = k[j];
            swap = lead > next;
            Key left = swap ? next : lead; // what the first leaves at j - 1
            lead = swap ? lead : next;
            bool trailSwap = trail > left;
            k[j - 2] = trailSwap ? left : trail;
            trail = trailSwap ? trail : left;
            exchanged |= trailSwap;
        }
        k[end - 2] = trail;
        k[end - 1] = lead;
        if (!exchanged)
            break;
        passes(p + 2 < n ? p + 2 : n - 1, n - 1);
    }
}

// Equal dates are written alike, so when equal keys stand for them, which
// one comes first can't be told: the order of the file is kept either way.
// Dates without keys, or keys without the memory for them, are sorted
// plainly.
void
sortDates(Dates *t, Passes passes)
{
    size_t n = t->n;
    bool keyed = n > 1 && n <= SIZE_MAX / sizeof(Key);

    for (size_t i = 0; keyed && i < n; i++)
        keyed = hasKey(t->date[i]);
    Key *k = keyed ? (Key *)malloc(n * sizeof *k) : nullptr;
    if (k == nullptr) {
        sortPlain(t, passes);
        return;
    }
    for (size_t i = 0; i < n; i++)
        k[i] = keyOf(t->date[i]);
    sortKeys(k, n, passes);
    for (size_t i = 0; i < n; i++)
        t->date[i] = dateOf(k[i]);
    free(k);
}
