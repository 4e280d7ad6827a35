// The launch sequence that p2spawn and p3spawn share: announce this process,
// then start two sorting programs one after the other, each in a child that
// announces itself and becomes the program, with this process's arguments.
//
// It is included, not linked, so that each launcher's whole code compiles
// into one object file of its own, which is delivered as it is.
#pragma once

#include "stdout.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// Where the sorting programs stand; a build may point elsewhere.
#ifndef SORT_DIR
#define SORT_DIR "/home/user/korvadin"
#endif

struct Step {
    const char *announcement; // the child's pid, then its parent's
    const char *path;
};

struct Launcher {
    const char *name;         // for messages on stderr
    const char *announcement; // this process's pid, then its parent's
    Step steps[2];
    const char *lastLine; // or nullptr
};

static void (*pipeDisposition)(int); // SIGPIPE as this process found it

static void
reportOut(const Launcher &l)
{
    fprintf(stderr, "%s: standard output: %s\n", l.name, strerror(outError));
}

// Never returns. A child whose program could not start must not go on as a
// second launcher, and _exit leaves the stdio buffers it inherited alone.
[[noreturn]] static void
becomeProgram(const Launcher &l, const Step &s, char *argv[])
{
    bool lost = outError != 0; // then the launcher reports it, once
    printf(s.announcement, (int)getpid(), (int)getppid());
    flushOut();
    if (!lost && outError != 0)
        reportOut(l);
    // The program gets SIGPIPE as the launcher was given it.
    signal(SIGPIPE, pipeDisposition);
    int r = execv(s.path, argv);
    int saved = errno;
    printf("%d\n", r);
    fflush(stdout);
    fprintf(stderr, "%s: %s: %s\n", l.name, s.path, strerror(saved));
    _exit(127);
}

// Returns true when the program ran and ended with status 0. A child that
// can't be made is reported and its step skipped.
static bool
runStep(const Launcher &l, const Step &s, char *argv[])
{
    // Unflushed lines would otherwise be copied into the child and printed
    // twice when stdout is a file or a pipe.
    flushOut();
    pid_t pid = fork();
    if (pid < 0) {
        fprintf(stderr, "%s: fork: %s\n", l.name, strerror(errno));
        return false;
    }
    if (pid == 0)
        becomeProgram(l, s, argv);

    // This very child: one inherited from whoever started us may end first.
    int status;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Both steps always run; the status says whether both programs ran and
// succeeded, and whether everything written reached stdout.
static int
launch(const Launcher &l, char *argv[])
{
    // A reader that has gone is reported as a failed write, not by a signal.
    pipeDisposition = signal(SIGPIPE, SIG_IGN);
    printf("\n\n");
    printf(l.announcement, (int)getpid(), (int)getppid());
    bool ok = runStep(l, l.steps[0], argv);
    ok = runStep(l, l.steps[1], argv) && ok;
    if (l.lastLine != nullptr)
        fputs(l.lastLine, stdout);
    flushOut();
    if (outError != 0) {
        reportOut(l);
        ok = false;
    }
    return ok ? 0 : 1;
}
