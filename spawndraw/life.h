// The life of the traced tasks and processes: their making (held until
// the event of the fork that made them, where they stop before it), their
// execs, the signals they get, their ends, and who collects them.
#pragma once

#include "tracer.h"

// Lets tid go on, passing sig.
void restart(Tracer &tr, pid_t tid, int sig);

// Says the failed exec tries of pid not yet said.
void sayTries(Tracer &tr, pid_t pid);

// Child is collected by by, or by the kernel (0) for why.
void reaped(Tracer &tr, pid_t child, pid_t by, const char *why = nullptr);

// Whether pid is a process followed and not yet ended.
bool traced(const Tracer &tr, pid_t pid);

// The first stop of a task not yet known: held until its making is seen.
void hold(Tracer &tr, pid_t tid);

// What the stop of parentTid for a fork, vfork or clone tells.
void forked(Tracer &tr, pid_t parentTid, int kind);

// Lets go of each held child that no thread can still be making, and
// places, as /proc says, any held past the limit.
void releaseHeld(Tracer &tr);

// Asks the threads that may have made a held child to stop: those held
// for long, or, with now, every one.
void askMakers(Tracer &tr, bool now);

// The stop of tid after a successful exec.
void execed(Tracer &tr, pid_t tid);

// A signal on its way to tid.
void signalled(Tracer &tr, pid_t tid, int sig);

// The end of tid, as waitpid gave it.
void taskEnded(Tracer &tr, pid_t tid, int status);

// A process that makes calls of the 32-bit ABI: said once.
void sayThirtyTwo(Tracer &tr, pid_t pid);

// Says what each process still running is blocked in, and, for a pipe,
// who holds its other end.
void sayBlocked(Tracer &tr);

// Says which processes are still running, and stops recording.
void leave(Tracer &tr);

// Kills every process still followed.
void killAll(Tracer &tr);
