// The tracer's side of spawndraw.
#pragma once

#include <cstddef>

// Memory that the tracer and the drawing share, where the tracer puts the
// record a whole line at a time: what it holds is the drawing's even if
// the tracer is killed, and nothing wakes the drawing at each event.
struct SharedRecord {
    size_t size; // the bytes of its text that hold whole lines
    size_t room; // the bytes its text has
};

// The text, just after the sizes.
inline char *
textOf(SharedRecord *r)
{
    return (char *)(r + 1);
}

// Memory for a record, or null where it can't be had.
SharedRecord *shareRecord();

// What the drawing passes on, in place of a signal, when the command's
// time is up.
enum { TIME_UP = -1 };

// Runs argv as a traced child and writes the run's record, until every
// traced process has ended, or, without waitOrphans, until the command
// has; into shared where it is given and has room, and to the descriptor
// out otherwise, which is closed at the end. Then it follows what is left
// without recording, until that ends too. Never returns.
[[noreturn]] void traceRun(char *argv[], bool waitOrphans, int out,
                           SharedRecord *shared);
