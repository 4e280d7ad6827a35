// For the programs that read rotatree's answers: a count, values and a
// value to look up, each a number as "%ld" reads it.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

enum Got { GOT, ENDED, FAILED };

// Reads one number as long, so that one beyond 32 bits is refused rather
// than wrapped, and stores it in *a. Otherwise *why says why not: "end of
// input" (ENDED), or "out of range", "not a number" or the read's error
// (FAILED).
inline Got
readAnswer(int *a, const char **why)
{
    long v;
    int r = scanf("%ld", &v);
    if (r == 1 && v >= INT_MIN && v <= INT_MAX) {
        *a = (int)v;
        return GOT;
    }
    if (r == EOF && !ferror(stdin)) {
        *why = "end of input";
        return ENDED;
    }
    *why = r == 1 ? "out of range" : r == 0 ? "not a number" : strerror(errno);
    return FAILED;
}
