// The system calls the record needs, decoded: which ones stop the run (the
// seccomp filter), what each is about at its entry, and what it did at its
// exit.
#pragma once

#include "tracer.h"

#include <linux/filter.h>
#include <sys/user.h>
#include <vector>

// What the filter says of a call of the 32-bit ABI that it stops.
enum { THIRTY_TWO = 1 };

// The filter's program, for a run traced by tracer.
std::vector<sock_filter> filterCode(pid_t tracer);

// A traced call's entry: what it is about is read now, while the arguments
// are as the process passed them. False for a call of no interest, whose
// exit need not stop.
bool enterCall(Tracer &tr, pid_t tid, const struct user_regs_struct &r);

// The call by which tid made a task, read at its stop for the making: its
// clone flags, and where the task made has its id, which the kernel clears
// at a thread's end (0 where it isn't cleared).
struct Making {
    unsigned long long flags, idWord;
};
Making readMaking(pid_t tid);

// At the entry of a pipe whose read end lies above the descriptors that
// tid's process has its reads followed on: a filter that follows them up
// to there is added to it, and the pipe is made again. True where the
// tracer made a call of tid's of its own (it stopped since: restarted, it
// makes the pipe again), false where nothing was done.
bool followReads(Tracer &tr, pid_t tid, long call);

// That process pid closed descriptor fd, above 2, its end of pipe: by a
// close, or at its exec, as close-on-exec.
void sayClosed(Tracer &tr, pid_t pid, int fd, const std::string &pipe,
               bool atExec);

// A traced call's exit.
void leaveCall(Tracer &tr, pid_t tid, const struct user_regs_struct &r);
