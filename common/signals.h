// For the programs that must tidy up before a signal ends them.
#pragma once

#include <csignal>
#include <cstring>

// Sets `handler` for sig; an interrupted call is restarted.
inline void
catchSignal(int sig, void (*handler)(int))
{
    struct sigaction sa;

    memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = handler;
    sigaction(sig, &sa, nullptr);
}

// Sets `handler` (or SIG_DFL) for every signal that ends a run from outside
// by default: Ctrl-C and Ctrl-\ at a terminal, a hang-up, kill's default,
// the timers, the limits of CPU time and of a file's size, and the signals
// left to users and to real-time use. A fault of the program's own (SIGSEGV
// and the like) is not one: it is better seen as it is. A signal that was
// ignored when the program started (as a shell does for a command in the
// background), or that the program ignores itself, stays ignored.
inline void
catchEndings(void (*handler)(int))
{
    static const int endings[] = {SIGHUP,  SIGINT,    SIGQUIT,  SIGTERM,
                                  SIGPIPE, SIGALRM,   SIGUSR1,  SIGUSR2,
                                  SIGPROF, SIGVTALRM, SIGXCPU,  SIGXFSZ,
                                  SIGIO,   SIGPWR,    SIGSTKFLT};
    struct sigaction was;

    for (int sig : endings)
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
            catchSignal(sig, handler);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
            catchSignal(sig, handler);
}

// Holds off every signal that can be held (all but SIGKILL and SIGSTOP),
// until the mask in `was` is set again.
inline void
holdSignals(sigset_t *was)
{
    sigset_t all;

    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, was);
}
