// What the traced processes' descriptors refer to. For now, whether a
// descriptor is the run's own output (the drawing's stdout or stderr),
// which is what makes a write output; what may change that is followed.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>

// What descriptors 1 and 2 of a process were found to be, until a call
// that can change them: a dup2, dup3, close or close_range of them
// anywhere (a table may be shared), or the process's exec.
struct Outputs {
    unsigned long generation;
    signed char ours[3]; // -1 not yet looked at, else whether it is ours
};

struct Descriptors {
    pid_t drawing = 0; // the tracer's parent, which holds the run's output
    struct stat outFile = {}, errFile = {};
    bool outOpen = false, errOpen = false;
    bool outDevice = false, errDevice = false; // a device that is no terminal
    std::unordered_map<pid_t, Outputs> known;  // by process
    unsigned long generation = 1;
};

// Takes the run's output as the tracer's own descriptors 1 and 2 are now,
// before the command is made; drawing holds the same.
void openOutputs(Descriptors &d, pid_t drawing);

// Whether descriptor fd (1 or 2) of tid, a thread of process pid, is the
// run's output.
bool toOurOutput(Descriptors &d, pid_t pid, pid_t tid, long fd);

// A call that may change descriptor fd of some process, which may share
// its table with others: what was known of 1 and 2 is looked at again.
void mayChange(Descriptors &d, unsigned long long fd);

// A process whose descriptors are gone or closed at exec.
void forget(Descriptors &d, pid_t pid);
