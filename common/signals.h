// For the programs that must tidy up before a signal ends them.
#pragma once

#include <csignal>
#include <cstring>

// The signals that end a run from outside: Ctrl-C and Ctrl-\ at a
// terminal, a hang-up, and kill's default.
static const int endings[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Sets `handler` (or SIG_DFL) for them. One that was ignored when the
// program started (as a shell does for a command in the background) stays
// ignored. The handler restarts interrupted calls.
inline void
catchEndings(void (*handler)(int))
{
    struct sigaction sa, was;

    memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = handler;
    for (int sig : endings)
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
            sigaction(sig, &sa, nullptr);
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
