// For the programs whose work stops when memory runs out.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>

// Ends the program with "<program>: out of memory" and status 1, after
// what stdout holds. Named as the program was run, so that every program
// that links the tree module reports as itself.
[[noreturn]] inline void
outOfMemory()
{
    fflush(stdout);
    fprintf(stderr, "%s: out of memory\n", program_invocation_short_name);
    exit(1);
}
