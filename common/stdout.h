// For the programs that go on when standard output fails, and say so once.
#pragma once

#include <cerrno>
#include <cstdio>

// errno of the first failed write to stdout, or 0.
inline int outError;

// Flushes stdout, keeping why it first failed.
inline void
flushOut()
{
    if (fflush(stdout) != 0 && outError == 0)
        outError = errno;
}
