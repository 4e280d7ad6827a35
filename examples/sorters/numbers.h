// What the four example sorting programs share: the integers among their
// arguments in (anything else, such as the program's own name, is passed
// over), the sorted integers out on one line.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

static std::vector<int>
numbers(int argc, char *argv[])
{
    std::vector<int> a;
    for (int i = 0; i < argc; i++) {
        char *end;
        errno = 0;
        long v = strtol(argv[i], &end, 10);
        if (end != argv[i] && *end == '\0' && errno == 0 && v >= INT_MIN &&
            v <= INT_MAX)
            a.push_back((int)v);
    }
    return a;
}

static int
show(const char *what, const std::vector<int> &a)
{
    printf("%s:", what);
    for (int v : a)
        printf(" %d", v);
    printf("\n");
    return 0;
}
