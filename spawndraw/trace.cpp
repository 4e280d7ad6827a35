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

#include "trace.h"

#include "events.h"
#include "run.h"
#include "signals.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/kcmp.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#if !defined(__x86_64__)
#error "spawndraw reads the registers of x86-64 only"
#endif

enum Mode { FILTERED, EVERY_CALL };

// How long the tracer looks for the next stop before it sleeps.
enum { SPIN_US = 1000 };

// What the filter says of a call of the 32-bit ABI that it stops.
enum { THIRTY_TWO = 1 };

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
    bool execRead = false;             // path and argv are the coming exec's
    long request = 0;                  // a ptrace's
    std::vector<std::string> argv;
    long argc = 0;
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
    bool thirtyTwo = false; // said to make 32-bit calls
    std::vector<pid_t> children;
    // Exec tries that failed and have not been said: a PATH search's are
    // folded into the exec that succeeds, or said as one at the next event.
    int tries = 0;
    int triedErrno = 0;
    std::string triedPath;
    std::vector<std::string> triedArgv;
    long triedArgc = 0;
};

// The record: each event written whole to the drawing the moment it ends,
// so that a tracer killed at any point has lost none of what it saw.
static int record = -1;
static std::string pending; // the event being made
static long seq;
static long long startUs;
static bool silent;  // no longer recording: only keeping the run going
static bool bounded; // past MAX_EVENTS
static long long outputKept;
static Mode mode;
static pid_t self, command;
static struct stat outFile, errFile;
static bool outOpen, errOpen;
static std::unordered_map<pid_t, Task> tasks;
static std::unordered_map<pid_t, Process> procs;
// Every stop counts, so that a child held for its fork's event can be
// let go once every thread that may have made it has stopped since: the
// event of a fork comes before any later stop of the thread that forked,
// or never, where a SIGKILL took that thread in its fork.
static long stops;
static std::vector<pid_t> heldTids;
// Made and said before their fork's event came (held too long, or ended
// while held): the event, if it comes, is not said again.
static std::unordered_map<pid_t, bool> placed;
// Ended before any stop, and before the fork that made them was seen.
static std::unordered_map<pid_t, int> endedUnmade;
// How long a child is held before the threads that may have made it are
// asked to stop, so that it is placed.
enum { HOLD_US = 10000, HOLD_LIMIT_US = 200000 };
static pid_t drawing; // our parent, which holds our stdout and stderr
static bool outDevice, errDevice; // a device that is no terminal

static long long
nowUs()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000 - startUs;
}

static SharedRecord *shared;
static pid_t actor; // the thread whose stop is being handled, or 0

SharedRecord *
shareRecord()
{
    // Room for the largest record the bounds allow, taken from memory only
    // as it is written.
    const size_t room = (size_t)16 << 30;
    void *m = mmap(nullptr, room, PROT_READ | PROT_WRITE,
                   MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED)
        return nullptr;
    SharedRecord *r = (SharedRecord *)m;
    r->size = 0;
    r->room = room - sizeof *r;
    return r;
}

// Writes the line made so far: into the shared memory, its size set once
// the line is whole, or to the drawing through the descriptor. A drawing
// that is gone ends the recording, not the run.
static void
putLine()
{
    if (shared != nullptr && record >= 0 &&
        shared->room - shared->size >= pending.size()) {
        memcpy(textOf(shared) + shared->size, pending.data(), pending.size());
        __atomic_store_n(&shared->size, shared->size + pending.size(),
                         __ATOMIC_RELEASE);
        pending.clear();
        return;
    }
    shared = nullptr; // full: what follows goes by the descriptor
    for (size_t at = 0; record >= 0 && at < pending.size();) {
        ssize_t n = write(record, pending.data() + at, pending.size() - at);
        if (n > 0) {
            at += (size_t)n;
        } else if (errno != EINTR) {
            close(record);
            record = -1;
            silent = true;
        }
    }
    pending.clear();
}

// Starts an event's line; false when it isn't recorded. What decides the
// command's status is recorded past the bound too.
static bool
event(pid_t pid, const char *kind, bool always = false)
{
    if (silent || record < 0)
        return false;
    char head[128];
    if (seq >= MAX_EVENTS && !always) {
        if (!bounded) {
            bounded = true;
            snprintf(head, sizeof head,
                     "%ld\t%lld\t%d\tnote\tdetails past %d events are not "
                     "recorded\n",
                     ++seq, nowUs(), (int)self, MAX_EVENTS);
            pending = head;
            putLine();
        }
        return false;
    }
    // What a thread other than the first does is its own line of events.
    auto by = actor != 0 && actor != pid ? tasks.find(actor) : tasks.end();
    if (by != tasks.end() && by->second.tgid == pid)
        snprintf(head, sizeof head, "%ld\t%lld\t%d/%d\t%s", ++seq, nowUs(),
                 (int)pid, (int)actor, kind);
    else
        snprintf(head, sizeof head, "%ld\t%lld\t%d\t%s", ++seq, nowUs(),
                 (int)pid, kind);
    pending = head;
    return true;
}

static void
field(const std::string &s)
{
    pending.push_back('\t');
    appendEscaped(&pending, s.data(), s.size());
}

static void
field(long long n)
{
    char text[24];
    snprintf(text, sizeof text, "\t%lld", n);
    pending += text;
}

static void
endEvent()
{
    pending.push_back('\n');
    putLine();
}

// A line of the record that no event makes: its header, a refusal.
static void
putRaw(const std::string &text)
{
    pending = text;
    putLine();
}

static std::string
errnoName(int e)
{
    const char *name = strerrorname_np(e);
    return name != nullptr ? name : std::to_string(e);
}

// How a process ended, as fields: exited N, or killed SIGNAME [core].
static void
endingFields(int status)
{
    if (WIFEXITED(status)) {
        field("exited");
        field(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        field("killed");
        field(signalName(WTERMSIG(status)));
        if (WCOREDUMP(status))
            field("core");
    } else if (WIFSTOPPED(status)) {
        field("stopped");
        field(signalName(WSTOPSIG(status)));
    } else {
        field("continued");
    }
}

// --- the tracee's memory

// Reads up to n bytes at addr, a page at a time, so that a string that ends
// just before an unmapped page is still read. Returns the bytes read.
static size_t
readMemory(pid_t tid, unsigned long long addr, char *to, size_t n)
{
    size_t got = 0;
    while (got < n) {
        size_t page = 4096 - (size_t)((addr + got) % 4096);
        size_t want = n - got < page ? n - got : page;
        struct iovec local = {to + got, want};
        struct iovec remote = {(void *)(uintptr_t)(addr + got), want};
        ssize_t r = process_vm_readv(tid, &local, 1, &remote, 1, 0);
        if (r <= 0)
            break;
        got += (size_t)r;
    }
    return got;
}

// A NUL-ended string of at most max bytes.
static std::string
readString(pid_t tid, unsigned long long addr, size_t max)
{
    std::string s;
    char chunk[256];
    while (addr != 0 && s.size() < max) {
        size_t got = readMemory(tid, addr, chunk, sizeof chunk);
        if (got == 0)
            break;
        size_t len = strnlen(chunk, got);
        s.append(chunk, len);
        if (len < got)
            break;
        addr += got;
    }
    if (s.size() > max)
        s.resize(max);
    return s;
}

// An exec's argument vector: its count, and as many arguments as fit.
static void
readArgv(pid_t tid, unsigned long long addr, Task *t)
{
    t->argv.clear();
    t->argc = 0;
    size_t kept = 0;
    for (; addr != 0; addr += sizeof(unsigned long long)) {
        unsigned long long p;
        if (readMemory(tid, addr, (char *)&p, sizeof p) != sizeof p || p == 0)
            break;
        t->argc++;
        if (kept < MAX_ARG_BYTES) {
            t->argv.push_back(readString(tid, p, MAX_ARG_BYTES - kept));
            kept += t->argv.back().size() + 1;
        }
        if (t->argc >= INT_MAX)
            break;
    }
}

// --- what a process does

static void
restart(pid_t tid, int sig)
{
    Task &t = tasks[tid];
    long request =
        mode == EVERY_CALL || t.inCall ? PTRACE_SYSCALL : PTRACE_CONT;
    ptrace((enum __ptrace_request)request, tid, 0, (void *)(long)sig);
}

static void
sayTries(pid_t pid)
{
    Process &p = procs[pid];
    if (p.tries == 0)
        return;
    if (event(pid, "execfail")) {
        field(p.triedPath);
        field(errnoName(p.triedErrno));
        field(p.tries);
        field(p.triedArgc);
        for (const std::string &a : p.triedArgv)
            field(a);
        endEvent();
    }
    p.tries = 0;
}

// What descriptors 1 and 2 of a process were found to be, until a call
// that can change them: a dup2, dup3, close or close_range of them
// anywhere (a table may be shared), or the process's exec.
struct Outputs {
    unsigned long generation;
    signed char ours[3]; // -1 not yet looked at, else whether it is ours
};
static std::unordered_map<pid_t, Outputs> outputs;
static unsigned long fdGeneration = 1;

// Whether tid's descriptor fd, which is the file st, is our descriptor
// ours, which is the file we. A device that is no terminal, such as
// /dev/null, is shared by every process that opens it: there, only the
// same open file counts, as the drawing still holds it.
static bool
sameFile(const struct stat &st, const struct stat &we, bool device, int ours,
         pid_t tid, long fd)
{
    if (st.st_dev != we.st_dev || st.st_ino != we.st_ino)
        return false;
    if (!device)
        return true;
    long same = syscall(SYS_kcmp, drawing, tid, KCMP_FILE, ours, fd);
    return same == 0 || same < 0; // where kcmp can't tell, as the file says
}

// The descriptor fd of tid is the file of our own stdout or stderr.
static bool
toOurOutput(pid_t tid, long fd)
{
    Outputs &known = outputs[tasks[tid].tgid];
    if (known.generation != fdGeneration)
        known = {fdGeneration, {-1, -1, -1}};
    if (known.ours[fd] >= 0)
        return known.ours[fd] != 0;
    char path[64];
    struct stat st;
    snprintf(path, sizeof path, "/proc/%d/fd/%ld", (int)tid, fd);
    bool found = stat(path, &st) == 0;
    bool ours =
        (found && outOpen && sameFile(st, outFile, outDevice, 1, tid, fd)) ||
        (found && errOpen && sameFile(st, errFile, errDevice, 2, tid, fd));
    known.ours[fd] = ours;
    return ours;
}

static void
describeWait(pid_t tid, long call, const unsigned long long *a)
{
    Task &t = tasks[tid];
    long long who;
    int options;
    std::string target;
    if (call == SYS_wait4) {
        who = (int)a[0];
        options = (int)a[2];
        target = who == -1  ? "any"
                 : who == 0 ? "group"
                 : who < -1 ? "group=" + std::to_string(-who)
                            : std::to_string(who);
    } else {
        int idtype = (int)a[0];
        who = (int)a[1];
        options = (int)a[3];
        target = idtype == P_ALL   ? "any"
                 : idtype == P_PID ? std::to_string(who)
                 : idtype == P_PGID
                     ? (who == 0 ? "group" : "group=" + std::to_string(who))
                     : "pidfd=" + std::to_string(who);
    }
    t.waiting = true;
    memcpy(t.waitArgs, a, sizeof t.waitArgs);
    sayTries(t.tgid);
    if (event(t.tgid, "wait")) {
        field(target);
        if (options & WNOHANG)
            field("nohang");
        // What else it may return: a stop (WUNTRACED is waitid's
        // WSTOPPED), a continue, an end it leaves to be collected later.
        if (options & WUNTRACED)
            field("stops");
        if (options & WCONTINUED)
            field("continues");
        if (call == SYS_waitid && (options & WNOWAIT))
            field("nowait");
        endEvent();
    }
}

// A signal that would end the tracer, sent to it: said before it goes, for
// with the tracer ends every process it follows, and the record with it.
static void
saySentToUs(pid_t tid, long call, const unsigned long long *a)
{
    int target = (int)a[0];
    int sig = (int)(call == SYS_tgkill ? a[2] : a[1]);
    bool us = call != SYS_kill ? target == (int)self
              : target > 0     ? target == (int)self
              : target == -1   ? true
              : target == 0    ? getpgid(tid) == getpgid(0)
                               : -target == (int)getpgid(0);
    static const int fatal[] = {SIGKILL, SIGSEGV, SIGBUS,  SIGILL,
                                SIGFPE,  SIGABRT, SIGTRAP, SIGSYS};
    if (!us ||
        std::find(std::begin(fatal), std::end(fatal), sig) == std::end(fatal))
        return;
    pid_t pid = tasks[tid].tgid;
    sayTries(pid);
    if (event(pid, "killtracer")) {
        field(signalName(sig));
        endEvent();
    }
}

// A traced call's entry: what it is about is read now, while the arguments
// are as the process passed them; what it did is read at its exit.
static bool
enterCall(pid_t tid, const struct user_regs_struct &r)
{
    Task &t = tasks[tid];
    long call = (long)r.orig_rax;
    unsigned long long a[6] = {r.rdi, r.rsi, r.rdx, r.r10, r.r8, r.r9};
    switch (call) {
    case SYS_write:
    case SYS_writev:
        if ((a[0] != 1 && a[0] != 2) || !toOurOutput(tid, (long)a[0]))
            return false;
        break;
    case SYS_execve:
        t.path = readString(tid, a[0], PATH_MAX);
        readArgv(tid, a[1], &t);
        t.execRead = true;
        break;
    case SYS_execveat:
        t.path = readString(tid, a[1], PATH_MAX);
        readArgv(tid, a[2], &t);
        t.execRead = true;
        break;
    case SYS_ptrace:
        t.request = (long)a[0];
        break;
    case SYS_dup2:
    case SYS_dup3:
        if (a[1] == 1 || a[1] == 2)
            fdGeneration++;
        return false;
    case SYS_close:
        if (a[0] == 1 || a[0] == 2)
            fdGeneration++;
        return false;
    case SYS_close_range:
        if (a[0] <= 2)
            fdGeneration++;
        return false;
    case SYS_rt_sigaction:
        // SIGCHLD's: whether it asks the kernel to collect the children.
        if (a[1] == 0 || readMemory(tid, a[1], (char *)t.action,
                                    sizeof t.action) != sizeof t.action)
            return false;
        break;
    case SYS_kill:
    case SYS_tkill:
    case SYS_tgkill:
        saySentToUs(tid, call, a);
        return false;
    case SYS_wait4:
    case SYS_waitid:
        // A wait that a signal interrupted and the kernel restarts is the
        // same wait, said once.
        if (!t.waiting || memcmp(t.waitArgs, a, sizeof t.waitArgs) != 0)
            describeWait(tid, call, a);
        break;
    default:
        return false;
    }
    t.call = call;
    memcpy(t.args, a, sizeof a);
    return true;
}

static void
sayWrite(pid_t tid, const Task &t, long long n)
{
    std::string bytes;
    long long room = MAX_OUTPUT - outputKept;
    long long keep = n < room ? n : room;
    if (keep > 0) {
        bytes.resize((size_t)keep);
        size_t got = 0;
        if (t.call == SYS_write) {
            got = readMemory(tid, t.args[1], &bytes[0], (size_t)keep);
        } else {
            for (unsigned long long i = 0; i < t.args[2] && got < (size_t)keep;
                 i++) {
                unsigned long long iov[2];
                if (readMemory(tid, t.args[1] + i * sizeof iov, (char *)iov,
                               sizeof iov) != sizeof iov)
                    break;
                size_t want = (size_t)keep - got;
                if (iov[1] < want)
                    want = (size_t)iov[1];
                got += readMemory(tid, iov[0], &bytes[got], want);
            }
        }
        bytes.resize(got);
        outputKept += (long long)got;
    }
    sayTries(t.tgid);
    if (event(t.tgid, "write")) {
        field((long long)t.args[0]);
        field(n);
        field(bytes);
        endEvent();
    }
}

// The child collected by by, or by the kernel (0) for why.
static void
reaped(pid_t child, pid_t by, const char *why = nullptr)
{
    Process &c = procs[child];
    if (c.reaped)
        return;
    c.reaped = true;
    if (event(child, "reaped", child == command)) {
        field(by);
        if (why != nullptr)
            field(why);
        endEvent();
    }
}

// What a wait that was given nowhere to put the status returned, as the
// tracer saw it: the child's end, or else its last stop or continue.
// The parent may learn of a stop before the tracer does; a wait that can't
// return a continue returned a stop, by the last signal that stops it.
static int
seenStatus(pid_t child, int options)
{
    auto p = procs.find(child);
    if (p == procs.end())
        return 0xffff;
    const Process &c = p->second;
    if (c.ended)
        return c.status;
    int stop = W_STOPCODE(c.stopSignal != 0 ? c.stopSignal : SIGSTOP);
    if (!(options & WCONTINUED))
        return stop;
    return c.changed != 0 ? c.changed : stop;
}

static void
sayWaited(pid_t tid, Task &t, long long ret)
{
    if (ret >= -516 && ret <= -512)
        return; // to be restarted: still the same wait
    t.waiting = false;
    int status = 0;
    pid_t child = 0;
    bool reaps = false;
    if (t.call == SYS_wait4 && ret > 0) {
        child = (pid_t)ret;
        int st;
        if (t.args[1] != 0 &&
            readMemory(tid, t.args[1], (char *)&st, sizeof st) == sizeof st)
            status = st;
        else
            status = seenStatus(child, (int)t.args[2]);
        reaps = WIFEXITED(status) || WIFSIGNALED(status);
    } else if (t.call == SYS_waitid && ret == 0) {
        siginfo_t si;
        memset(&si, 0, sizeof si);
        if (t.args[2] != 0)
            readMemory(tid, t.args[2], (char *)&si, sizeof si);
        child = si.si_pid;
        switch (si.si_code) {
        case CLD_EXITED:
            status = W_EXITCODE(si.si_status, 0);
            break;
        case CLD_KILLED:
        case CLD_DUMPED:
            status = si.si_status | (si.si_code == CLD_DUMPED ? 0x80 : 0);
            break;
        case CLD_STOPPED:
        case CLD_TRAPPED:
            status = W_STOPCODE(si.si_status);
            break;
        default:
            status = 0xffff;
        }
        reaps = (si.si_code == CLD_EXITED || si.si_code == CLD_KILLED ||
                 si.si_code == CLD_DUMPED) &&
                !(t.args[3] & WNOWAIT);
    }
    if (event(t.tgid, "waited")) {
        if (ret < 0) {
            field(-1);
            field(errnoName((int)-ret));
        } else if (child == 0) {
            field(0);
        } else {
            field(child);
            endingFields(status);
        }
        endEvent();
    }
    if (reaps)
        reaped(child, t.tgid);
}

// A traced call's exit.
static void
leaveCall(pid_t tid, const struct user_regs_struct &r)
{
    Task &t = tasks[tid];
    long long ret = (long long)r.rax;
    switch (t.call) {
    case SYS_write:
    case SYS_writev:
        if (ret > 0)
            sayWrite(tid, t, ret);
        break;
    case SYS_execve:
    case SYS_execveat:
        if (ret < 0) {
            Process &p = procs[t.tgid];
            p.tries++;
            p.triedErrno = (int)-ret;
            p.triedPath = t.path;
            p.triedArgv = t.argv;
            p.triedArgc = t.argc;
        }
        break;
    case SYS_wait4:
    case SYS_waitid:
        sayWaited(tid, t, ret);
        break;
    case SYS_ptrace:
        // One tracer a process: ours. Said, since the program behaves
        // as it would under a debugger.
        if (ret == -EPERM &&
            (t.request == PTRACE_TRACEME || t.request == PTRACE_ATTACH ||
             t.request == PTRACE_SEIZE) &&
            event(t.tgid, "ptracedenied")) {
            field(t.request == PTRACE_TRACEME  ? "PTRACE_TRACEME"
                  : t.request == PTRACE_ATTACH ? "PTRACE_ATTACH"
                                               : "PTRACE_SEIZE");
            endEvent();
        }
        break;
    case SYS_rt_sigaction:
        if (ret == 0)
            procs[t.tgid].noChildWait = (t.action[1] & SA_NOCLDWAIT) != 0;
        break;
    }
    t.call = -1;
}

static void ended(pid_t pid, int status);
static pid_t readParent(pid_t pid);
static bool traced(pid_t pid);

// The making of child by parent, recorded: a thread of parent's, or a
// process of its own.
static void
made(pid_t parent, pid_t child, int kind, bool thread)
{
    Task &c = tasks[child];
    sayTries(parent);
    if (thread) {
        c.tgid = parent;
        if (event(parent, "thread")) {
            field(child);
            endEvent();
        }
        return;
    }
    c.tgid = child;
    // With CLONE_PARENT, the child is its maker's parent's.
    pid_t ppid = kind != PTRACE_EVENT_VFORK ? readParent(child) : parent;
    if (ppid == 0)
        ppid = parent;
    procs[child].parent = ppid;
    procs[child].noChildWait = procs[parent].noChildWait; // a copy's
    if (traced(ppid))
        procs[ppid].children.push_back(child);
    if (event(parent, "fork")) {
        field(child);
        if (kind != PTRACE_EVENT_FORK)
            field(kind == PTRACE_EVENT_VFORK ? "vfork" : "clone");
        if (ppid != parent)
            field(ppid);
        endEvent();
    }
}

static void
forked(pid_t parentTid, int kind)
{
    unsigned long msg = 0;
    ptrace(PTRACE_GETEVENTMSG, parentTid, 0, &msg);
    pid_t child = (pid_t)msg;
    if (placed.erase(child) != 0)
        return; // made and said already, by what /proc told
    pid_t parent = tasks[parentTid].tgid;
    auto gone = endedUnmade.find(child);
    if (gone != endedUnmade.end()) {
        // It ended before it ever stopped: made, and ended at once.
        int status = gone->second;
        endedUnmade.erase(gone);
        bool thread = kind == PTRACE_EVENT_CLONE; // most clones are
        made(parent, child, kind, thread);
        tasks.erase(child);
        if (!thread)
            ended(child, status);
        return;
    }
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task/%d", (int)parent, (int)child);
    bool thread = kind == PTRACE_EVENT_CLONE && access(path, F_OK) == 0;
    bool wasHeld = tasks.count(child) != 0 && tasks[child].held;
    made(parent, child, kind, thread);
    // A child may stop before its parent's fork is reported; it waited for
    // it, so that nothing of it is recorded before its making.
    if (wasHeld) {
        tasks[child].held = false;
        restart(child, 0);
    }
}

// Who made a task that stopped before its making was seen, as /proc tells
// it: its process, for a thread, or its parent.
static void
readMaker(pid_t tid, Task *t)
{
    char path[64], text[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)tid);
    FILE *f = fopen(path, "re");
    pid_t tgid = tid, ppid = 0;
    while (f != nullptr && fgets(text, sizeof text, f) != nullptr) {
        if (strncmp(text, "Tgid:", 5) == 0)
            tgid = (pid_t)atoi(text + 5);
        else if (strncmp(text, "PPid:", 5) == 0)
            ppid = (pid_t)atoi(text + 5);
    }
    if (f != nullptr)
        fclose(f);
    t->isThread = tgid != tid;
    t->maker = t->isThread ? tgid : ppid;
}

// A held child whose fork's event can no longer come is made as /proc
// says, and goes on.
static void
place(pid_t tid)
{
    Task &t = tasks[tid];
    t.held = false;
    placed[tid] = true;
    if (!t.isThread && procs.count(t.maker) == 0 && event(t.maker, "note")) {
        field(std::to_string(tid) +
              " was made by a process that ended "
              "before its fork was seen; " +
              std::to_string(t.maker) + " is its parent now");
        endEvent();
    }
    made(t.maker, tid, PTRACE_EVENT_FORK, t.isThread);
}

// Lets go of each held child that no thread can still be making: every
// other thread has stopped since it was held, or is stopped for good.
static void
releaseHeld()
{
    for (size_t k = 0; k < heldTids.size();) {
        auto h = tasks.find(heldTids[k]);
        if (h == tasks.end() || !h->second.held) {
            heldTids.erase(heldTids.begin() + (long)k);
            continue;
        }
        bool maybe = false;
        for (const auto &t : tasks)
            maybe = maybe || (t.first != h->first && !t.second.held &&
                              !t.second.listening &&
                              t.second.lastStop <= h->second.heldSince);
        if (maybe) {
            k++;
            continue;
        }
        pid_t tid = h->first;
        heldTids.erase(heldTids.begin() + (long)k);
        place(tid);
        restart(tid, 0);
    }
}

// A child held for long: the threads that may have made it are asked to
// stop, which they do at once, so that their next stop tells.
static void
askMakers(bool now)
{
    long since = -1;
    for (pid_t h : heldTids) {
        auto t = tasks.find(h);
        if (t != tasks.end() && (now || nowUs() - t->second.heldUs > HOLD_US))
            since = std::max(since, t->second.heldSince);
    }
    if (since < 0)
        return;
    for (auto &t : tasks)
        if (!t.second.held && !t.second.listening && !t.second.interrupted &&
            t.second.lastStop <= since) {
            ptrace(PTRACE_INTERRUPT, t.first, 0, 0);
            t.second.interrupted = true;
        }
}

// What a process now runs, as /proc says after its exec: its program's
// path, and its arguments as far as they fit.
static void
readExeced(pid_t tid, Task *t)
{
    char path[64], exe[PATH_MAX];
    snprintf(path, sizeof path, "/proc/%d/exe", (int)tid);
    ssize_t n = readlink(path, exe, sizeof exe - 1);
    t->path = n > 0 ? std::string(exe, (size_t)n) : "?";
    t->argv.clear();
    t->argc = 0;
    snprintf(path, sizeof path, "/proc/%d/cmdline", (int)tid);
    FILE *f = fopen(path, "re");
    std::string all;
    char chunk[4096];
    size_t got;
    while (f != nullptr && all.size() < MAX_ARG_BYTES &&
           (got = fread(chunk, 1, sizeof chunk, f)) > 0)
        all.append(chunk, got);
    if (f != nullptr)
        fclose(f);
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find('\0', at);
        if (end == std::string::npos)
            end = all.size();
        t->argv.push_back(all.substr(at, end - at));
        t->argc++;
        at = end + 1;
    }
}

static void
execed(pid_t tid)
{
    unsigned long former = 0;
    ptrace(PTRACE_GETEVENTMSG, tid, 0, &former);
    // An exec from a thread other than the first takes the process's pid:
    // the thread that made it is gone, and the process goes on.
    if ((pid_t)former != tid && tasks.count((pid_t)former) != 0) {
        Task was = tasks[(pid_t)former];
        tasks.erase((pid_t)former);
        Task &t = tasks[tid];
        t.path = was.path;
        t.argv = was.argv;
        t.argc = was.argc;
        t.execRead = was.execRead;
    }
    Task &t = tasks[tid];
    if (!t.execRead)
        readExeced(tid, &t); // an exec whose entry the filter didn't show
    t.execRead = false;
    t.tgid = tid;
    t.waiting = false;
    outputs.erase(tid); // descriptors closed at exec
    Process &p = procs[tid];
    p.noChildWait = false; // an exec clears every signal's flags
    if (event(tid, "exec")) {
        field(t.path);
        field(p.tries);
        field(t.argc);
        for (const std::string &a : t.argv)
            field(a);
        endEvent();
    }
    p.tries = 0;
    t.call = -1;
    if (mode == FILTERED)
        t.inCall = false;
}

static void
signalled(pid_t tid, int sig)
{
    siginfo_t si;
    memset(&si, 0, sizeof si);
    ptrace(PTRACE_GETSIGINFO, tid, 0, &si);
    pid_t pid = tasks[tid].tgid;
    if (event(pid, "signal")) {
        field(signalName(sig));
        // Sent by a process, with kill and the like; not by the kernel.
        if (si.si_code <= 0 && si.si_pid > 0)
            field(si.si_pid);
        else if (sig == SIGCHLD && si.si_pid > 0)
            field(si.si_pid);
        endEvent();
    }
}

static bool
ignoresChildren(pid_t pid)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *f = fopen(path, "r");
    if (f == nullptr)
        return false;
    bool ignores = false;
    while (fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, "SigIgn:", 7) == 0)
            ignores = (strtoull(line + 7, nullptr, 16) >> (SIGCHLD - 1)) & 1;
    fclose(f);
    return ignores;
}

// The parent /proc names for pid; 0 where it can't tell (pid is gone).
static pid_t
readParent(pid_t pid)
{
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    // pid (comm) state ppid: the name may hold anything, even ") ".
    const char *close = strrchr(text, ')');
    int ppid;
    if (close == nullptr || sscanf(close + 1, " %*c %d", &ppid) != 1)
        return 0;
    return ppid;
}

// An orphan's new parent: init, where /proc can't tell.
static pid_t
parentNow(pid_t pid)
{
    pid_t ppid = readParent(pid);
    return ppid != 0 ? ppid : 1;
}

static bool
traced(pid_t pid)
{
    auto p = procs.find(pid);
    return p != procs.end() && !p->second.ended;
}

// A process has ended: said, and its children, now orphans, adopted.
static void
ended(pid_t pid, int status)
{
    Process &p = procs[pid];
    sayTries(pid);
    p.ended = true;
    p.status = status;
    if (event(pid, "exit", pid == command)) {
        endingFields(status);
        endEvent();
    }
    if (pid == command)
        reaped(pid, self); // our own child: waitpid just collected it
    else if (!traced(p.parent))
        reaped(pid, p.parent); // one we don't follow collects it
    else if (ignoresChildren(p.parent))
        reaped(pid, 0, "SIG_IGN"); // the kernel, for a parent that said so
    else if (procs[p.parent].noChildWait)
        reaped(pid, 0, "SA_NOCLDWAIT");
    for (pid_t c : p.children) {
        Process &child = procs[c];
        if (child.reaped || child.parent != pid)
            continue;
        pid_t now = parentNow(c);
        child.parent = now;
        if (event(c, "adopted")) {
            field(now);
            field(now == 1 ? "init" : "subreaper");
            endEvent();
        }
        if (traced(now))
            procs[now].children.push_back(c);
        else if (child.ended)
            reaped(c, now); // at once, by one we don't follow
    }
    p.children.clear();
    p.children.shrink_to_fit();
}

// Says which processes are still running, and stops recording.
static void
leave()
{
    if (silent)
        return;
    for (auto &t : tasks)
        if (t.first == t.second.tgid && !procs[t.first].ended &&
            event(t.first, "running", true))
            endEvent();
    close(record);
    record = -1;
    silent = true;
}

// A call of the 32-bit ABI (int $0x80), whose numbers and registers are
// not the 64-bit ones: said once a process, never decoded as one of ours.
// An exec made so is still recorded, from /proc.
static void
sayThirtyTwo(pid_t pid)
{
    Process &p = procs[pid];
    if (p.thirtyTwo)
        return;
    p.thirtyTwo = true;
    if (event(pid, "note")) {
        field(std::to_string(pid) +
              " makes system calls of the 32-bit ABI, which spawndraw does "
              "not decode: their writes and waits are not in the record");
        endEvent();
    }
}

static void
onStop(pid_t tid, int status)
{
    int sig = WSTOPSIG(status);
    int ev = status >> 16;
    auto found = tasks.find(tid);
    stops++;
    if (found == tasks.end()) {
        // Before the event of the fork that made it: held until then.
        Task &t = tasks[tid];
        t.tgid = tid;
        t.lastStop = stops;
        t.held = true;
        t.heldSince = stops;
        t.heldUs = nowUs();
        readMaker(tid, &t);
        heldTids.push_back(tid);
        return;
    }
    found->second.lastStop = stops;
    found->second.listening = false;
    found->second.interrupted = false;
    Task &t = found->second;
    if (sig == (SIGTRAP | 0x80)) {
        struct user_regs_struct r;
        ptrace(PTRACE_GETREGS, tid, 0, &r);
        if (mode == EVERY_CALL && !t.inCall) {
            t.inCall = true;
            if (!enterCall(tid, r))
                t.call = -1;
        } else {
            t.inCall = false;
            if (t.call >= 0)
                leaveCall(tid, r);
        }
        restart(tid, 0);
        return;
    }
    switch (ev) {
    case PTRACE_EVENT_SECCOMP: {
        unsigned long data = 0;
        ptrace(PTRACE_GETEVENTMSG, tid, 0, &data);
        if (data == THIRTY_TWO) {
            sayThirtyTwo(t.tgid);
            restart(tid, 0);
            return;
        }
        struct user_regs_struct r;
        ptrace(PTRACE_GETREGS, tid, 0, &r);
        t.inCall = enterCall(tid, r);
        restart(tid, 0);
        return;
    }
    case PTRACE_EVENT_FORK:
    case PTRACE_EVENT_VFORK:
    case PTRACE_EVENT_CLONE:
        forked(tid, ev);
        restart(tid, 0);
        return;
    case PTRACE_EVENT_EXEC:
        execed(tid);
        restart(tid, 0);
        return;
    case PTRACE_EVENT_STOP:
        // A job stopped (kill -STOP, Ctrl-Z) is left stopped, and still
        // followed; anything else is a stop of our own asking.
        if (sig == SIGSTOP || sig == SIGTSTP || sig == SIGTTIN ||
            sig == SIGTTOU) {
            ptrace(PTRACE_LISTEN, tid, 0, 0);
            t.listening = true;
            procs[t.tgid].changed = W_STOPCODE(sig);
        } else {
            restart(tid, 0);
        }
        return;
    case 0:
        // A signal on its way: said, and passed on as it came, SIGCHLD too.
        signalled(tid, sig);
        if (sig == SIGCONT)
            procs[t.tgid].changed = 0xffff; // continued, as wait says it
        else if (sig == SIGSTOP || sig == SIGTSTP || sig == SIGTTIN ||
                 sig == SIGTTOU)
            procs[t.tgid].stopSignal = sig;
        restart(tid, sig);
        return;
    default:
        restart(tid, 0);
    }
}

static void
onEnd(pid_t tid, int status)
{
    stops++;
    auto found = tasks.find(tid);
    if (found == tasks.end() && procs.count(tid) == 0) {
        // Ended before it ever stopped or its making was seen.
        endedUnmade[tid] = status;
        return;
    }
    if (found != tasks.end() && found->second.held) {
        // Its making is said as /proc told it, before its end.
        place(tid);
        found = tasks.find(tid);
    }
    pid_t tgid = found != tasks.end() ? found->second.tgid : tid;
    if (found != tasks.end())
        tasks.erase(found);
    if (tgid == tid && procs.count(tid) != 0) {
        // The fork of a child held for it can't be seen now.
        for (pid_t h : std::vector<pid_t>(heldTids)) {
            auto t = tasks.find(h);
            if (t != tasks.end() && t->second.held && t->second.maker == tid) {
                place(h);
                restart(h, 0);
            }
        }
        outputs.erase(tid);
        ended(tid, status);
    }
}

static volatile sig_atomic_t stopWaiting;
static volatile sig_atomic_t passOn; // a signal for the command, or 0

// Sleeps until a traced thread stops or ends, or the drawing asks
// something (SIGUSR1, SIGUSR2: -1, EINTR). Each stop sends us SIGCHLD:
// with it and the asking signals held from before the last look, none can
// come between the look and the sleep unseen.
static pid_t
sleepUntilStop(int *status)
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
        int sig = tid == 0 ? sigwaitinfo(&wake, &si) : 0;
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
// millisecond, before sleeping.
static pid_t
nextStop(int *status)
{
    long long until = nowUs() + SPIN_US;
    do {
        pid_t tid = waitpid(-1, status, __WALL | WNOHANG);
        if (tid != 0)
            return tid;
    } while (nowUs() < until);
    // Nothing stops now: a held child's makers, if any, are asked to, and
    // the tracer doesn't sleep until it is placed. One held for long is
    // placed as /proc says, whatever else may still come: no run waits
    // for good on an event.
    while (!heldTids.empty()) {
        askMakers(true);
        pid_t tid = waitpid(-1, status, __WALL | WNOHANG);
        if (tid != 0)
            return tid;
        for (pid_t h : std::vector<pid_t>(heldTids)) {
            auto t = tasks.find(h);
            if (t != tasks.end() && t->second.held &&
                nowUs() - t->second.heldUs > HOLD_LIMIT_US) {
                place(h);
                restart(h, 0);
            }
        }
        releaseHeld();
        usleep(1000);
    }
    return sleepUntilStop(status);
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

// A filter's program, written with names for where it jumps: each step
// goes on to the next, or to a label when its test holds (or fails).
enum Label {
    NEXT,
    TRACE,
    ALLOW,
    OUT_FD,
    NEW_FD,
    RANGE,
    ACTION,
    KILL,
    KILL_TASK,
    I386,
    SAY_I386,
    LABELS
};

struct Step {
    sock_filter op;
    Label yes, no;
    Label here; // a label that names this step, or NEXT
};

static Step
load(unsigned offset, Label here = NEXT)
{
    return {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset), NEXT, NEXT, here};
}

static Step
jumpIf(unsigned value, Label yes, Label no = NEXT, Label here = NEXT)
{
    return {BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 0), yes, no, here};
}

static Step
give(unsigned action, Label here = NEXT)
{
    return {BPF_STMT(BPF_RET | BPF_K, action), NEXT, NEXT, here};
}

// Stops at: exec and wait of every kind; write and writev to 1 or 2; what
// may change 1 or 2 (dup2 and dup3 to them, close of them, close_range
// from 2 or below); a sigaction of SIGCHLD, which may have the kernel
// collect the children; and a signal that may be sent to the tracer, whose
// death ends the run, so that the record says who sent it.
static std::vector<sock_filter>
filterCode(pid_t tracer)
{
    const unsigned nr = offsetof(seccomp_data, nr),
                   arg0 = offsetof(seccomp_data, args[0]),
                   arg1 = offsetof(seccomp_data, args[1]);
    const unsigned us = (unsigned)tracer,
                   group = (unsigned)-(int)getpgid(tracer);
    std::vector<Step> steps = {
        load(offsetof(seccomp_data, arch)),
        jumpIf(AUDIT_ARCH_X86_64, NEXT, I386),
        load(nr),
        jumpIf(SYS_execve, TRACE),
        jumpIf(SYS_execveat, TRACE),
        jumpIf(SYS_wait4, TRACE),
        jumpIf(SYS_waitid, TRACE),
        jumpIf(SYS_write, OUT_FD),
        jumpIf(SYS_writev, OUT_FD),
        jumpIf(SYS_close, OUT_FD),
        jumpIf(SYS_dup2, NEW_FD),
        jumpIf(SYS_dup3, NEW_FD),
        jumpIf(SYS_close_range, RANGE),
        jumpIf(SYS_rt_sigaction, ACTION),
        jumpIf(SYS_ptrace, TRACE),
        jumpIf(SYS_kill, KILL),
        jumpIf(SYS_tkill, KILL_TASK),
        jumpIf(SYS_tgkill, KILL_TASK),
        give(SECCOMP_RET_ALLOW),
        load(arg0, OUT_FD),
        jumpIf(1, TRACE),
        jumpIf(2, TRACE, ALLOW),
        load(arg1, NEW_FD),
        jumpIf(1, TRACE),
        jumpIf(2, TRACE, ALLOW),
        load(arg0, RANGE),
        {BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, 2, 0, 0), ALLOW, TRACE, NEXT},
        load(arg0, ACTION),
        jumpIf(SIGCHLD, TRACE, ALLOW),
        // kill: to the tracer, its group, the caller's group, or all
        load(arg0, KILL),
        jumpIf(us, TRACE),
        jumpIf(group, TRACE),
        jumpIf(0, TRACE),
        jumpIf((unsigned)-1, TRACE, ALLOW),
        load(arg0, KILL_TASK),
        jumpIf(us, TRACE, ALLOW),
        // The 32-bit ABI's exec, write, writev, waitpid, wait4, waitid
        jumpIf(AUDIT_ARCH_I386, NEXT, ALLOW, I386),
        load(nr),
        jumpIf(11, SAY_I386),
        jumpIf(358, SAY_I386),
        jumpIf(4, SAY_I386),
        jumpIf(146, SAY_I386),
        jumpIf(7, SAY_I386),
        jumpIf(114, SAY_I386),
        jumpIf(284, SAY_I386, ALLOW),
        give(SECCOMP_RET_TRACE | THIRTY_TWO, SAY_I386),
        give(SECCOMP_RET_TRACE, TRACE),
        give(SECCOMP_RET_ALLOW, ALLOW),
    };
    size_t at[LABELS] = {};
    for (size_t i = 0; i < steps.size(); i++)
        if (steps[i].here != NEXT)
            at[steps[i].here] = i;
    std::vector<sock_filter> code;
    for (size_t i = 0; i < steps.size(); i++) {
        sock_filter op = steps[i].op;
        if (BPF_CLASS(op.code) == BPF_JMP) {
            op.jt = steps[i].yes == NEXT
                        ? 0
                        : (unsigned char)(at[steps[i].yes] - i - 1);
            op.jf = steps[i].no == NEXT
                        ? 0
                        : (unsigned char)(at[steps[i].no] - i - 1);
        }
        code.push_back(op);
    }
    return code;
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
    (void)!write(report, &failed, sizeof failed);
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
    shared = into;
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    startUs = (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
    self = getpid();
    drawing = getppid();
    outOpen = fstat(1, &outFile) == 0;
    errOpen = fstat(2, &errFile) == 0;
    outDevice = outOpen && S_ISCHR(outFile.st_mode) && !isatty(1);
    errDevice = errOpen && S_ISCHR(errFile.st_mode) && !isatty(2);
    record = out;
    putRaw(std::string(eventsHeader) + "\n");

    int go[2], report[2];
    if (pipe2(go, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
        putRaw("0\t0\t" + std::to_string(self) + "\trefused\t" +
               errnoName(errno) + "\n");
        _exit(1);
    }
    command = fork();
    if (command == 0) {
        close(record);
        close(go[1]);
        close(report[0]);
        becomeCommand(argv, go[0], report[1]);
    }
    close(go[0]);
    close(report[1]);
    if (command < 0 || ptrace(PTRACE_SEIZE, command, 0,
                              PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEFORK |
                                  PTRACE_O_TRACEVFORK | PTRACE_O_TRACECLONE |
                                  PTRACE_O_TRACEEXEC | PTRACE_O_TRACESECCOMP |
                                  PTRACE_O_EXITKILL) != 0) {
        // The command is not run untraced behind the reader's back.
        putRaw("0\t0\t" + std::to_string(self) + "\trefused\t" +
               errnoName(errno) + "\n");
        close(record);
        if (command > 0) {
            close(go[1]);
            waitpid(command, nullptr, 0);
        }
        _exit(1);
    }
    (void)!write(go[1], "g", 1);
    close(go[1]);
    int failed = 0;
    if (read(report[0], &failed, sizeof failed) != sizeof failed)
        failed = EIO;
    close(report[0]);
    mode = failed == 0 ? FILTERED : EVERY_CALL;
    if (failed != 0)
        fprintf(stderr,
                "spawndraw: every system call stops the run, which "
                "is slower: the filter that stops only the calls it records "
                "could not be set: %s\n",
                strerror(failed));

    if (event(self, "begin")) {
        field(mode == FILTERED ? "filtered" : "every-call");
        if (failed != 0)
            field(errnoName(failed));
        for (char **a = argv; *a != nullptr; a++)
            field(*a);
        endEvent();
    }
    tasks[command].tgid = command;
    procs[command].parent = self;
    if (event(self, "fork")) {
        field(command);
        endEvent();
    }
    // The stop the child raised before its exec: swallowed, not passed on.
    int status;
    while (waitpid(command, &status, __WALL) < 0 && errno == EINTR) {
    }
    if (WIFSTOPPED(status))
        restart(command, 0);
    else
        onEnd(command, status);
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
        if (stopWaiting || (!waitOrphans && procs[command].ended))
            leave();
        if (passOn != 0) {
            if (!procs[command].ended)
                kill(command, passOn);
            passOn = 0;
        }
        pid_t tid = nextStop(&status);
        if (tid < 0) {
            if (errno == EINTR)
                continue;
            break; // ECHILD: nothing left to follow
        }
        if (WIFSTOPPED(status)) {
            actor = tid;
            onStop(tid, status);
            actor = 0;
        } else if (WIFEXITED(status) || WIFSIGNALED(status)) {
            onEnd(tid, status);
        }
        if (!heldTids.empty()) {
            releaseHeld();
            askMakers(false);
        }
    }
    if (record >= 0)
        close(record);
    _exit(0);
}
