// Reading a traced process: its memory, while it is stopped, and what /proc
// tells of it. Nothing here writes the record or keeps state.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// An exec's arguments: their count, and as many as fit the bound.
struct Arguments {
    std::vector<std::string> argv;
    long argc = 0;
};

// Reads up to n bytes at addr; returns how many it could.
size_t readMemory(pid_t tid, unsigned long long addr, char *to, size_t n);

// A NUL-ended string of at most max bytes.
std::string readString(pid_t tid, unsigned long long addr, size_t max);

// The argument vector at addr.
Arguments readArgv(pid_t tid, unsigned long long addr);

// What a process runs since its exec, as /proc says: its program's path
// ("?" where it can't tell), and its arguments.
std::string readProgram(pid_t tid, Arguments *args);

// The offset of tid's descriptor fd, as /proc says; false where it has none.
bool readPosition(pid_t tid, long fd, long long *pos);

// Up to n bytes of what tid's descriptor fd reads at offset at, read by
// us, without moving its offset; returns how many.
size_t readFile(pid_t tid, long fd, long long at, char *to, size_t n);

// The parent /proc names for pid; 0 where it can't tell (pid is gone).
pid_t readParent(pid_t pid);

// A task's process (its thread group) and that process's parent.
void readIds(pid_t tid, pid_t *tgid, pid_t *ppid);

// The call tid sleeps in, as /proc says: its number and first argument;
// false where it isn't in one (it runs, or is gone).
bool readBlocked(pid_t tid, long *call, unsigned long long *arg);

// The descriptor that tid's next pipe will have as its write end: the
// second lowest that is free now, as /proc says; -1 where it can't tell.
int nextPipeEnd(pid_t tid);

// The mapping of tid's that holds address at, as /proc says: from lo up
// to hi; false where it can't tell.
bool readMapping(pid_t tid, unsigned long long at, unsigned long long *lo,
                 unsigned long long *hi);

// Whether pid ignores SIGCHLD.
bool ignoresChildren(pid_t pid);
