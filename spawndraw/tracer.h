// What the tracer knows of a run while it follows it: its tasks and
// processes, the record it writes, and the descriptors. One of these is
// passed to each part of the tracer (calls.cpp decodes the calls, life.cpp
// makes and ends tasks and processes, trace.cpp is the loop of stops).
#pragma once

#include "fds.h"
#include "tracee.h"
#include "writer.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

enum Mode { FILTERED, EVERY_CALL };

// How long a child is held before the threads that may have made it are
// asked to stop, so that it is placed, and at most.
enum { HOLD_US = 10000, HOLD_LIMIT_US = 200000 };

// A thread being traced.
struct Task {
    pid_t tgid = 0;
    long lastStop = 0;        // the count of stops at its last
    bool listening = false;   // a job left stopped
    bool interrupted = false; // asked to stop, to learn that it forks nothing
    // Stopped until the fork that made it is seen: since which stop and
    // when, and who made it as /proc says.
    bool held = false;
    long heldSince = 0;
    long long heldUs = 0;
    pid_t maker = 0;
    bool isThread = false;
    bool inCall = false; // between a traced call's entry and its exit
    long call = -1;      // that call
    unsigned long long args[6] = {};
    bool waiting = false; // a wait begun and not yet returned
    unsigned long long waitArgs[4] = {};
    unsigned long long action[2] = {}; // a sigaction's handler and flags
    std::string path;                  // an exec's, read at its entry
    Arguments exec;                    // and its arguments
    bool execRead = false;             // path and exec are the coming exec's
    long request = 0;                  // a ptrace's
    // A read or write's: where its descriptor leads, where that isn't the
    // run's output ("pipe 1", a file's path), else empty.
    std::string target;
    // A copy's (copy_file_range, sendfile, splice): the descriptor it
    // copies from, and from where, to read what it moved; -1 for none.
    long copyFrom = -1;
    long long copyAt = 0;
};

// A process being traced.
struct Process {
    pid_t parent = 0;
    bool ended = false;
    bool reaped = false;
    int status = 0; // as waitpid gave it, once ended
    // Its last stop or continue as the tracer saw it, as a wait status; 0
    // for none: what a wait that can't give the status returned.
    int changed = 0;
    int stopSignal = 0; // the last signal that stops it, as it came
    // It set SA_NOCLDWAIT for SIGCHLD: the kernel collects its children.
    bool noChildWait = false;
    // It ignores SIGCHLD, which has the kernel collect them too; kept
    // across exec, as an ignored signal is.
    bool ignoresChildren = false;
    bool thirtyTwo = false; // said to make 32-bit calls
    // Its reads are followed on descriptors 0 to readsUpTo: above 2, by
    // filters added to it, or to a process it was forked from, at a pipe
    // (readFilters of them). They follow the reads of the program that
    // made the pipe: after an exec, only to readsAfterExec.
    int readsUpTo = 2;
    int readsAfterExec = 2;
    int readFilters = 0;
    // The pipes' ends it holds above 2, as far as they are followed:
    // descriptor, pipe. Made by its pipes, inherited at fork, and gone at
    // a close that the filters stop, or at an exec that closes them.
    std::map<int, std::string> pipeEnds;
    // What its descriptors 0 to 2 were last said to refer to: "" for what
    // the run gave them, the run's own input and output.
    std::string streams[3];
    std::vector<pid_t> children;
    // Its threads' id words, which the kernel clears at a thread's end and
    // a join waits on: by address, the thread.
    std::unordered_map<unsigned long long, pid_t> idWords;
    // Exec tries that failed and have not been said: a PATH search's are
    // folded into the exec that succeeds, or said as one at the next event.
    int tries = 0;
    int triedErrno = 0;
    std::string triedPath;
    Arguments tried;
};

struct Tracer {
    Writer w;
    Descriptors fds;
    Mode mode = FILTERED;
    pid_t self = 0, command = 0;
    pid_t actor = 0; // the thread whose stop is being handled, or 0
    std::unordered_map<pid_t, Task> tasks;
    std::unordered_map<pid_t, Process> procs;
    // Bytes kept in the record: of output, and apart, of what went through
    // pipes and files, so that a pipeline's traffic leaves the output whole.
    long long outputKept = 0, throughKept = 0;
    // Every stop counts, so that a child held for its fork's event can be
    // let go once every thread that may have made it has stopped since:
    // the event of a fork comes before any later stop of the thread that
    // forked, or never, where a SIGKILL took that thread in its fork.
    long stops = 0;
    std::vector<pid_t> heldTids;
    // Made and said before their fork's event came (held too long, or
    // ended while held): the event, if it comes, is not said again.
    std::unordered_map<pid_t, bool> placed;
    // Ended before any stop, and before the fork that made them was seen.
    std::unordered_map<pid_t, int> endedUnmade;
    // Asked to end the command when its time is up: when to kill what is
    // left, in microseconds since the start, or 0.
    long long killAt = 0;
    bool saidBlocked = false; // what each was blocked in, said once
};

// Starts an event of pid's: by the thread whose stop is being handled,
// where that is a thread of pid's other than its first.
inline bool
event(Tracer &tr, pid_t pid, const char *kind, bool always = false)
{
    pid_t by = 0;
    if (tr.actor != 0 && tr.actor != pid) {
        auto t = tr.tasks.find(tr.actor);
        if (t != tr.tasks.end() && t->second.tgid == pid)
            by = tr.actor;
    }
    return startEvent(tr.w, pid, by, kind, always);
}

inline long long
nowUs(const Tracer &tr)
{
    return nowUs(tr.w);
}
