// What the traced processes' descriptors refer to: the run's own output
// (the drawing's stdout or stderr), which is what makes a write output; a
// pipe, named for the run by the order it was first seen in; a file, a
// terminal, a socket. What may change descriptors 0 to 2 is followed; the
// others are looked at in /proc each time they matter.
#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

// What descriptors 1 and 2 of a process were found to be, until a call
// that can change them: a dup2, dup3, close or close_range of them
// anywhere (a table may be shared), or the process's exec.
struct Outputs {
    unsigned long generation;
    signed char ours[3]; // -1 not yet looked at, else whether it is ours
};

struct Descriptors {
    pid_t drawing = 0; // the tracer's parent, which holds the run's output
    struct stat inFile = {}, outFile = {}, errFile = {};
    bool inOpen = false;
    bool outOpen = false, errOpen = false;
    bool outDevice = false, errDevice = false; // a device that is no terminal
    std::unordered_map<pid_t, Outputs> known;  // by process
    unsigned long generation = 1;
    std::unordered_map<unsigned long long, int> pipes; // inode: its number
};

// What a descriptor refers to.
struct Target {
    enum Kind { CLOSED, PIPE, FILE, TERMINAL, NULLDEV, SOCKET, OTHER } kind;
    std::string name; // "pipe 1", a file's path, "terminal", ...
    unsigned long long inode;
};

// What descriptor fd of tid refers to now. The run's own input, which
// came from outside it, is OTHER.
Target targetOf(Descriptors &d, pid_t tid, long fd);

// A holder of a pipe's end: a process, and its descriptor.
struct Holder {
    pid_t pid;
    int fd;
};

// Which of pids hold pipe inode open for writing (or, without writing,
// for reading), as /proc says now.
std::vector<Holder> holders(const std::vector<pid_t> &pids,
                            unsigned long long inode, bool writing);

// Whether descriptor fd of pid is open for reading only, as a pipe's read
// end is.
bool readsOnly(pid_t pid, long fd);

// Takes the run's output as the tracer's own descriptors 1 and 2 are now,
// before the command is made; drawing holds the same.
void openOutputs(Descriptors &d, pid_t drawing);

// Whether descriptor fd of tid, a thread of process pid, is the run's
// output.
bool toOurOutput(Descriptors &d, pid_t pid, pid_t tid, long fd);

// A call that may change descriptor fd of some process, which may share
// its table with others: what was known of 1 and 2 is looked at again.
void mayChange(Descriptors &d, unsigned long long fd);

// A process whose descriptors are gone or closed at exec.
void forget(Descriptors &d, pid_t pid);
