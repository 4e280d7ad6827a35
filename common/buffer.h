// Arrays and text that grow as they are filled, for the programs that make
// what they write in memory first. Running out of memory ends the program.
#pragma once

#include "memory.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Makes room in the array p, of cap items, for need items in all: the room
// doubles, from `first` items.
template <typename T>
inline void
makeRoom(T *&p, size_t &cap, size_t need, size_t first = 16)
{
    if (need <= cap)
        return;
    size_t c = cap != 0 ? cap : first;
    while (c < need)
        c *= 2;
    T *more = (T *)realloc((void *)p, c * sizeof *more);
    if (more == nullptr)
        outOfMemory();
    p = more;
    cap = c;
}

// Text of any length. addText keeps it ended by a zero; putText doesn't.
struct Text {
    char *s;
    size_t len;
    size_t cap;
};

inline void
putText(Text *t, const char *s, size_t n)
{
    if (n == 0) // text not yet grown has no place to copy nothing to
        return;
    makeRoom(t->s, t->cap, t->len + n, 64);
    memcpy(t->s + t->len, s, n);
    t->len += n;
}

__attribute__((format(printf, 2, 3))) inline void
addText(Text *t, const char *fmt, ...)
{
    va_list ap;

    va_start(ap, fmt);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    makeRoom(t->s, t->cap, t->len + (size_t)n + 1, 64);
    va_start(ap, fmt);
    vsnprintf(t->s + t->len, t->cap - t->len, fmt, ap);
    va_end(ap);
    t->len += (size_t)n;
}
