// The launch sequence that p2spawn and p3spawn share: announce this process,
// then start two sorting programs one after the other, each in a child that
// announces itself and becomes the program, with this process's arguments.
//
// It is included, not linked, so that each launcher's whole code compiles
// into one object file of its own, which is delivered as it is.
#pragma once

#include <cerrno>
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

// Never returns. A child whose program could not start must not go on as a
// second launcher, and _exit leaves the stdio buffers it inherited alone.
[[noreturn]] static void
becomeProgram(const Launcher &l, const Step &s, char *argv[])
{
    printf(s.announcement, (int)getpid(), (int)getppid());
    fflush(stdout);
    int r = execv(s.path, argv);
    int saved = errno;
    printf("%d\n", r);
    fflush(stdout);
    fprintf(stderr, "%s: %s: %s\n", l.name, s.path, strerror(saved));
    _exit(127);
}

// Returns false when no child could be made; the step is then skipped.
static bool
runStep(const Launcher &l, const Step &s, char *argv[])
{
    // Unflushed lines would otherwise be copied into the child and printed
    // twice when stdout is a file or a pipe.
    fflush(stdout);
    pid_t pid = fork();
    if (pid < 0) {
        fprintf(stderr, "%s: fork: %s\n", l.name, strerror(errno));
        return false;
    }
    if (pid == 0)
        becomeProgram(l, s, argv);

    // This very child: one inherited from whoever started us may end first.
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        ;
    return true;
}

static int
launch(const Launcher &l, char *argv[])
{
    printf("\n\n");
    printf(l.announcement, (int)getpid(), (int)getppid());
    bool ok = runStep(l, l.steps[0], argv);
    ok = runStep(l, l.steps[1], argv) && ok;
    if (l.lastLine != nullptr)
        fputs(l.lastLine, stdout);
    return fflush(stdout) == 0 && ok ? 0 : 1;
}
