// The tracer: runs the command in a child of its own and follows every
// process of the run with ptrace, writing what happens to the record as it
// happens. A seccomp filter stops the processes only at the calls that the
// record needs (exec, wait, and writes to descriptors 1 and 2), so that the
// run goes at nearly its own speed; where the filter can't be set, every
// system call stops instead, and the run is slower but the same.
//
// It runs in a process apart from the one that draws: a process that carries
// the filter must keep a tracer for as long as it lives (without one, the
// filtered calls fail), so when the drawing stops waiting for processes that
// outlive the command, this process stays with them, silently, until they end.
//
// This file is the loop of stops; what each stop means is in calls.cpp and
// life.cpp, the record's lines in writer.cpp.

#include "trace.h"

#include "calls.h"
#include "events.h"
#include "life.h"
#include "signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if !defined(__x86_64__)
#error "spawndraw reads the registers of x86-64 only"
#endif

// How long the tracer looks for the next stop before it sleeps.
enum { SPIN_US = 200 };

// The call a thread stopped at by the filter, with its arguments, and the
// filter's word for it: asked in one go where the kernel can, since each
// question costs as much as a small call, and a busy run stops at
// thousands.
static bool
readSeccompStop(pid_t tid, struct user_regs_struct *r, unsigned long *data)
{
    struct __ptrace_syscall_info info;
    if (ptrace(PTRACE_GET_SYSCALL_INFO, tid, sizeof info, &info) > 0 &&
        info.op == PTRACE_SYSCALL_INFO_SECCOMP) {
        memset(r, 0, sizeof *r);
        r->orig_rax = info.seccomp.nr;
        const __uint64_t *a = info.seccomp.args;
        r->rdi = a[0], r->rsi = a[1], r->rdx = a[2];
        r->r10 = a[3], r->r8 = a[4], r->r9 = a[5];
        r->rip = info.instruction_pointer;
        r->rsp = info.stack_pointer;
        *data = info.seccomp.ret_data;
        return true;
    }
    return ptrace(PTRACE_GETEVENTMSG, tid, 0, data) == 0 &&
           ptrace(PTRACE_GETREGS, tid, 0, r) == 0;
}

static void
onStop(Tracer &tr, pid_t tid, int status)
{
    int sig = WSTOPSIG(status);
    int ev = status >> 16;
    auto found = tr.tasks.find(tid);
    tr.stops++;
    if (found == tr.tasks.end()) {
        hold(tr, tid); // before the event of the fork that made it
        return;
    }
    found->second.lastStop = tr.stops;
    found->second.listening = false;
    found->second.interrupted = false;
    Task &t = found->second;
    if (sig == (SIGTRAP | 0x80)) {
        // A thread killed since it stopped has no registers to read.
        struct user_regs_struct r;
        if (ptrace(PTRACE_GETREGS, tid, 0, &r) != 0)
            return;
        if (tr.mode == EVERY_CALL && !t.inCall) {
            t.inCall = true;
            if (!enterCall(tr, tid, r))
                t.call = -1;
        } else {
            t.inCall = false;
            if (t.call >= 0)
                leaveCall(tr, tid, r);
        }
        restart(tr, tid, 0);
        return;
    }
    switch (ev) {
    case PTRACE_EVENT_SECCOMP: {
        // A thread killed since it stopped has no call to read.
        struct user_regs_struct r;
        unsigned long data = 0;
        if (!readSeccompStop(tid, &r, &data))
            return;
        if (data == THIRTY_TWO) {
            sayThirtyTwo(tr, t.tgid);
            restart(tr, tid, 0);
            return;
        }
        if (followReads(tr, tid, (long)r.orig_rax)) {
            if (tr.tasks.count(tid) != 0)
                restart(tr, tid, 0);
            return;
        }
        t.inCall = enterCall(tr, tid, r);
        restart(tr, tid, 0);
        return;
    }
    case PTRACE_EVENT_FORK:
    case PTRACE_EVENT_VFORK:
    case PTRACE_EVENT_CLONE:
        forked(tr, tid, ev);
        restart(tr, tid, 0);
        return;
    case PTRACE_EVENT_EXEC:
        execed(tr, tid);
        restart(tr, tid, 0);
        return;
    case PTRACE_EVENT_STOP:
        // A job stopped (kill -STOP, Ctrl-Z) is left stopped, and still
        // followed; anything else is a stop of our own asking.
        if (sig == SIGSTOP || sig == SIGTSTP || sig == SIGTTIN ||
            sig == SIGTTOU) {
            ptrace(PTRACE_LISTEN, tid, 0, 0);
            t.listening = true;
            tr.procs[t.tgid].changed = W_STOPCODE(sig);
        } else {
            restart(tr, tid, 0);
        }
        return;
    case 0:
        // A signal on its way: said, and passed on as it came, SIGCHLD too.
        signalled(tr, tid, sig);
        restart(tr, tid, sig);
        return;
    default:
        restart(tr, tid, 0);
    }
}

static volatile sig_atomic_t stopWaiting;
static volatile sig_atomic_t passOn; // a signal for the command, or 0

// Sleeps until a traced thread stops or ends, or the drawing asks
// something (SIGUSR1, SIGUSR2: -1, EINTR). Each stop sends us SIGCHLD:
// with it and the asking signals held from before the last look, none can
// come between the look and the sleep unseen.
static pid_t
sleepUntilStop(const Tracer &tr, int *status)
{
    sigset_t wake, was;
    sigemptyset(&wake);
    for (int sig : {SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&wake, sig);
    sigprocmask(SIG_BLOCK, &wake, &was);
    pid_t tid = 0;
    while (tid == 0 && !stopWaiting && passOn == 0) {
        tid = waitpid(-1, status, __WALL | WNOHANG);
        siginfo_t si;
        // With processes to kill at a time, no later than that.
        long long left = tr.killAt - nowUs(tr);
        struct timespec until = {(time_t)(left / 1000000),
                                 (long)(left % 1000000) * 1000};
        int sig = tid != 0         ? 0
                  : tr.killAt == 0 ? sigwaitinfo(&wake, &si)
                  : left > 0       ? sigtimedwait(&wake, &si, &until)
                                   : -1;
        if (sig < 0 && tr.killAt != 0 && nowUs(tr) >= tr.killAt)
            break;
        if (sig == SIGUSR1)
            stopWaiting = 1;
        else if (sig == SIGUSR2)
            passOn = si.si_value.sival_int;
    }
    sigprocmask(SIG_SETMASK, &was, nullptr);
    if (tid == 0)
        errno = EINTR;
    return tid != 0 ? tid : -1;
}

// The next stop or end of a traced thread. While a run is busy, a stop
// comes a few microseconds after the last, and waking a sleeping tracer
// from another processor costs more than the call it reports (a write that
// stops costs three times as much): so the next is looked for, for a
// fifth of a millisecond, before sleeping.
static pid_t
nextStop(Tracer &tr, int *status)
{
    long long until = nowUs(tr) + SPIN_US;
    do {
        pid_t tid = waitpid(-1, status, __WALL | WNOHANG);
        if (tid != 0)
            return tid;
        // The thread it restarted may be waiting for this processor.
        sched_yield();
    } while (nowUs(tr) < until);
    // Nothing stops now: a held child's makers, if any, are asked to, and
    // the tracer doesn't sleep until it is placed. One held for long is
    // placed as /proc says, whatever else may still come: no run waits
    // for good on an event.
    while (!tr.heldTids.empty()) {
        askMakers(tr, true);
        pid_t tid = waitpid(-1, status, __WALL | WNOHANG);
        if (tid != 0)
            return tid;
        releaseHeld(tr);
        usleep(1000);
    }
    return sleepUntilStop(tr, status);
}

static void
onStopWaiting(int)
{
    stopWaiting = 1;
}

static void
onPassOn(int, siginfo_t *si, void *)
{
    passOn = si->si_value.sival_int;
}

// The child's part: waits to be seized, sets the filter, and becomes the
// command. Never returns.
[[noreturn]] static void
becomeCommand(char *argv[], int go, int report)
{
    char byte;
    while (read(go, &byte, 1) < 0 && errno == EINTR) {
    }
    if (byte != 'g')
        _exit(127);
    std::vector<sock_filter> code = filterCode(getppid());
    struct sock_fprog prog = {(unsigned short)code.size(), code.data()};
    int failed = 0;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog, 0, 0) != 0) {
        // Without the privilege to set it as it is, a filter needs the
        // promise that exec grants no more privilege.
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog, 0, 0) != 0)
            failed = errno;
    }
    // Sent, not written: the filter, set now, stops every write, and the
    // tracer waits for this before it follows any stop.
    (void)!send(report, &failed, sizeof failed, 0);
    close(report);
    raise(SIGSTOP);
    execvp(argv[0], argv);
    int e = errno;
    fprintf(stderr, "spawndraw: %s: %s\n", argv[0], strerror(e));
    _exit(e == ENOENT ? 127 : 126);
}

void
traceRun(char *argv[], bool waitOrphans, int out, SharedRecord *into)
{
    Tracer tr;
    tr.w.shared = into;
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    tr.w.startUs = (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
    tr.self = getpid();
    tr.w.self = tr.self;
    openOutputs(tr.fds, getppid());
    tr.w.fd = out;
    putRaw(tr.w, std::string(eventsHeader) + "\n");

    int go[2], report[2];
    if (pipe2(go, O_CLOEXEC) != 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, report) != 0) {
        putRaw(tr.w, "0\t0\t" + std::to_string(tr.self) + "\trefused\t" +
                         errnoName(errno) + "\n");
        _exit(1);
    }
    tr.command = fork();
    if (tr.command == 0) {
        close(tr.w.fd);
        close(go[1]);
        close(report[0]);
        becomeCommand(argv, go[0], report[1]);
    }
    close(go[0]);
    close(report[1]);
    if (tr.command < 0 ||
        ptrace(PTRACE_SEIZE, tr.command, 0,
               PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEFORK |
                   PTRACE_O_TRACEVFORK | PTRACE_O_TRACECLONE |
                   PTRACE_O_TRACEEXEC | PTRACE_O_TRACESECCOMP |
                   PTRACE_O_EXITKILL) != 0) {
        // The command is not run untraced behind the reader's back.
        putRaw(tr.w, "0\t0\t" + std::to_string(tr.self) + "\trefused\t" +
                         errnoName(errno) + "\n");
        close(tr.w.fd);
        if (tr.command > 0) {
            close(go[1]);
            waitpid(tr.command, nullptr, 0);
        }
        _exit(1);
    }
    (void)!write(go[1], "g", 1);
    close(go[1]);
    int failed = 0;
    if (read(report[0], &failed, sizeof failed) != sizeof failed)
        failed = EIO;
    close(report[0]);
    tr.mode = failed == 0 ? FILTERED : EVERY_CALL;
    if (failed != 0)
        fprintf(stderr,
                "spawndraw: every system call stops the run, which "
                "is slower: the filter that stops only the calls it records "
                "could not be set: %s\n",
                strerror(failed));

    if (event(tr, tr.self, "begin")) {
        field(tr.w, tr.mode == FILTERED ? "filtered" : "every-call");
        if (failed != 0)
            field(tr.w, errnoName(failed));
        for (char **a = argv; *a != nullptr; a++)
            field(tr.w, *a);
        endEvent(tr.w);
    }
    tr.tasks[tr.command].tgid = tr.command;
    tr.procs[tr.command].parent = tr.self;
    // Ignored here, SIGCHLD stays ignored in the command, through its exec.
    struct sigaction chld;
    tr.procs[tr.command].ignoresChildren =
        sigaction(SIGCHLD, nullptr, &chld) == 0 && chld.sa_handler == SIG_IGN;
    if (event(tr, tr.self, "fork")) {
        field(tr.w, tr.command);
        endEvent(tr.w);
    }
    // The stop the child raised before its exec: swallowed, not passed on.
    int status;
    while (waitpid(tr.command, &status, __WALL) < 0 && errno == EINTR) {
    }
    if (WIFSTOPPED(status))
        restart(tr, tr.command, 0);
    else
        taskEnded(tr, tr.command, status);
    // Nothing of ours holds the command's streams open past its own use.
    for (int fd = 0; fd <= 2; fd++)
        close(fd);

    // The signals that end a process are the command's to answer: were
    // this one ended by a hang-up or a kill of the whole group, every
    // process it follows would be killed with it.
    catchEndings(SIG_IGN);
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = onStopWaiting;
    sigaction(SIGUSR1, &sa, nullptr); // from the drawing, at a second Ctrl-C
    sa.sa_flags = SA_SIGINFO;
    sa.sa_sigaction = onPassOn;
    sigaction(SIGUSR2, &sa, nullptr); // a signal for the command
    for (;;) {
        if (stopWaiting || (!waitOrphans && tr.procs[tr.command].ended))
            leave(tr);
        if (passOn == TIME_UP) {
            // As timeout(1) ends a command: SIGTERM, and a second later
            // SIGKILL for all that is left. What each was waiting for is
            // said before.
            sayBlocked(tr);
            if (!tr.procs[tr.command].ended)
                kill(tr.command, SIGTERM);
            tr.killAt = nowUs(tr) + 1000000;
        } else if (passOn != 0 && !tr.procs[tr.command].ended) {
            // What may end a run that hangs: what it hung in is said first.
            if (passOn == SIGTERM || passOn == SIGINT || passOn == SIGHUP ||
                passOn == SIGALRM)
                sayBlocked(tr);
            kill(tr.command, passOn);
        }
        passOn = 0;
        if (tr.killAt != 0 && nowUs(tr) >= tr.killAt) {
            killAll(tr);
            tr.killAt = 0;
        }
        pid_t tid = nextStop(tr, &status);
        if (tid < 0) {
            if (errno == EINTR)
                continue;
            break; // ECHILD: nothing left to follow
        }
        if (WIFSTOPPED(status)) {
            tr.actor = tid;
            onStop(tr, tid, status);
            tr.actor = 0;
        } else if (WIFEXITED(status) || WIFSIGNALED(status)) {
            tr.stops++;
            taskEnded(tr, tid, status);
        }
        if (!tr.heldTids.empty()) {
            releaseHeld(tr);
            askMakers(tr, false);
        }
    }
    if (tr.w.fd >= 0)
        close(tr.w.fd);
    _exit(0);
}
