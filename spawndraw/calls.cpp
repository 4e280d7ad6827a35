#include "calls.h"

#include "events.h"
#include "life.h"
#include "run.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <sched.h>

#include <linux/audit.h>
#include <linux/futex.h>
#include <linux/seccomp.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

static void
describeWait(Tracer &tr, pid_t tid, long call, const unsigned long long *a)
{
    Task &t = tr.tasks[tid];
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
    sayTries(tr, t.tgid);
    if (event(tr, t.tgid, "wait")) {
        field(tr.w, target);
        if (options & WNOHANG)
            field(tr.w, "nohang");
        // What else it may return: a stop (WUNTRACED is waitid's
        // WSTOPPED), a continue, an end it leaves to be collected later.
        if (options & WUNTRACED)
            field(tr.w, "stops");
        if (options & WCONTINUED)
            field(tr.w, "continues");
        if (call == SYS_waitid && (options & WNOWAIT))
            field(tr.w, "nowait");
        endEvent(tr.w);
    }
}

// A signal that would end the tracer, sent to it: said before it goes, for
// with the tracer ends every process it follows, and the record with it.
static void
saySentToUs(Tracer &tr, pid_t tid, long call, const unsigned long long *a)
{
    int target = (int)a[0];
    int sig = (int)(call == SYS_tgkill ? a[2] : a[1]);
    bool us = call != SYS_kill ? target == (int)tr.self
              : target > 0     ? target == (int)tr.self
              : target == -1   ? true
              : target == 0    ? getpgid(tid) == getpgid(0)
                               : -target == (int)getpgid(0);
    static const int fatal[] = {SIGKILL, SIGSEGV, SIGBUS,  SIGILL,
                                SIGFPE,  SIGABRT, SIGTRAP, SIGSYS};
    if (!us ||
        std::find(std::begin(fatal), std::end(fatal), sig) == std::end(fatal))
        return;
    pid_t pid = tr.tasks[tid].tgid;
    sayTries(tr, pid);
    if (event(tr, pid, "killtracer")) {
        field(tr.w, signalName(sig));
        endEvent(tr.w);
    }
}

Making
readMaking(pid_t tid)
{
    struct user_regs_struct r;
    unsigned long long args[3]; // clone3's: flags, pidfd, child_tid
    Making m = {0, 0};
    if (ptrace(PTRACE_GETREGS, tid, 0, &r) != 0)
        return m;
    if (r.orig_rax == SYS_clone)
        m = {r.rdi, r.r10};
    else if (r.orig_rax == SYS_clone3 &&
             readMemory(tid, r.rdi, (char *)args, sizeof args) == sizeof args)
        m = {args[0], args[2]};
    if (!(m.flags & CLONE_CHILD_CLEARTID))
        m.idWord = 0;
    return m;
}

// The run's own input and output, as a stream's last word has them.
static std::string
streamWord(const Target &to)
{
    bool own = to.kind == Target::OTHER &&
               (to.name == "the run's output" || to.name == "the run's input");
    return own ? "" : to.name;
}

// A standard stream that refers elsewhere than it was last said to, by
// what the filter lets by (a close, then an open that took its number, or
// an fcntl): said as it is used, before what moves through it.
static void
noticeStream(Tracer &tr, pid_t tid, long fd, const Target &to)
{
    pid_t pid = tr.tasks[tid].tgid;
    std::string now = streamWord(to);
    if (fd < 0 || fd > 2 || to.kind == Target::CLOSED ||
        tr.procs[pid].streams[fd] == now)
        return;
    tr.procs[pid].streams[fd] = now;
    if (event(tr, pid, "fd")) {
        field(tr.w, fd);
        field(tr.w, to.name);
        endEvent(tr.w);
    }
}

// A traced call's entry: what it is about is read now, while the arguments
// are as the process passed them; what it did is read at its exit.
bool
enterCall(Tracer &tr, pid_t tid, const struct user_regs_struct &r)
{
    Task &t = tr.tasks[tid];
    long call = (long)r.orig_rax;
    unsigned long long a[6] = {r.rdi, r.rsi, r.rdx, r.r10, r.r8, r.r9};
    switch (call) {
    case SYS_copy_file_range:
    case SYS_splice:
    case SYS_sendfile: {
        // A copy into the run's output or a pipe, by the kernel: what it
        // moved is read from where it came, at the offset it starts from.
        bool send = call == SYS_sendfile;
        long out = (long)(send ? a[0] : a[2]), in = (long)(send ? a[1] : a[0]);
        unsigned long long at = send ? a[2] : a[1];
        t.target.clear();
        if (!toOurOutput(tr.fds, t.tgid, tid, out)) {
            Target to = targetOf(tr.fds, tid, out);
            if (to.kind != Target::PIPE && (to.kind != Target::FILE || out > 2))
                return false;
            t.target = to.name;
        }
        long long pos = -1;
        if (at == 0
                ? !readPosition(tid, in, &pos)
                : readMemory(tid, at, (char *)&pos, sizeof pos) != sizeof pos)
            pos = -1;
        t.copyFrom = pos >= 0 ? in : -1;
        t.copyAt = pos;
        break;
    }
    case SYS_write:
    case SYS_writev:
    case SYS_pwrite64:
    case SYS_read:
    case SYS_readv: {
        // Output, or what goes through a pipe, or through a file that is a
        // process's standard stream, as a redirection makes it.
        t.target.clear();
        t.copyFrom = -1;
        bool writes = call != SYS_read && call != SYS_readv;
        if (writes && toOurOutput(tr.fds, t.tgid, tid, (long)a[0])) {
            noticeStream(tr, tid, (long)a[0],
                         {Target::OTHER, "the run's output", 0});
            break;
        }
        Target to = targetOf(tr.fds, tid, (long)a[0]);
        noticeStream(tr, tid, (long)a[0], to);
        if (to.kind != Target::PIPE && (to.kind != Target::FILE || a[0] > 2))
            return false;
        t.target = to.name;
        break;
    }
    case SYS_pipe:
    case SYS_pipe2:
        break;
    case SYS_execve:
        t.path = readString(tid, a[0], PATH_MAX);
        t.exec = readArgv(tid, a[1]);
        t.execRead = true;
        break;
    case SYS_execveat:
        t.path = readString(tid, a[1], PATH_MAX);
        t.exec = readArgv(tid, a[2]);
        t.execRead = true;
        break;
    case SYS_ptrace:
        t.request = (long)a[0];
        break;
    case SYS_dup2:
    case SYS_dup3:
        mayChange(tr.fds, a[1]);
        if (a[1] > 2)
            return false;
        break;
    case SYS_close: {
        // A program closes its streams as it ends: not worth a line. A
        // pipe's end above 2 is, where it is followed: its last write
        // end's close is what its reader's end of file waits for. It is
        // said at once: a close of an open descriptor always frees it,
        // whatever it returns, so its exit need not stop.
        mayChange(tr.fds, a[0]);
        auto &ends = tr.procs[t.tgid].pipeEnds;
        auto end = a[0] > 2 ? ends.find((int)a[0]) : ends.end();
        if (end != ends.end()) {
            sayClosed(tr, t.tgid, end->first, end->second, false);
            ends.erase(end);
        }
        return false;
    }
    case SYS_close_range:
        mayChange(tr.fds, a[0]);
        return false;
    case SYS_rt_sigaction:
        // SIGCHLD's: whether it asks the kernel to collect the children.
        if (a[0] != SIGCHLD || a[1] == 0 ||
            readMemory(tid, a[1], (char *)t.action, sizeof t.action) !=
                sizeof t.action)
            return false;
        break;
    case SYS_kill:
    case SYS_tkill:
    case SYS_tgkill:
        saySentToUs(tr, tid, call, a);
        return false;
    case SYS_futex: {
        // A wait on a thread's id word: a join, once the word is cleared.
        const auto &words = tr.procs[t.tgid].idWords;
        if (words.find(a[0]) == words.end())
            return false;
        break;
    }
    case SYS_wait4:
    case SYS_waitid:
        // A wait that a signal interrupted and the kernel restarts is the
        // same wait, said once.
        if (!t.waiting || memcmp(t.waitArgs, a, sizeof t.waitArgs) != 0)
            describeWait(tr, tid, call, a);
        break;
    default:
        return false;
    }
    t.call = call;
    memcpy(t.args, a, sizeof a);
    return true;
}

// The first bytes that a read or write of n bytes moved, as far as the
// bound on the record's output bytes allows.
static std::string
movedBytes(Tracer &tr, pid_t tid, const Task &t, long long n)
{
    std::string bytes;
    long long &kept = t.target.empty() ? tr.outputKept : tr.throughKept;
    long long room = MAX_OUTPUT - kept;
    long long keep = n < room ? n : room;
    if (keep > 0) {
        bytes.resize((size_t)keep);
        size_t got = 0;
        bool copies = t.call == SYS_copy_file_range || t.call == SYS_splice ||
                      t.call == SYS_sendfile;
        if (copies) {
            got = t.copyFrom >= 0 ? readFile(tid, t.copyFrom, t.copyAt,
                                             &bytes[0], (size_t)keep)
                                  : 0;
        } else if (t.call == SYS_write || t.call == SYS_read ||
                   t.call == SYS_pwrite64) {
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
        kept += (long long)got;
    }
    return bytes;
}

// A write to the run's output, or a write into or a read from a pipe or
// a file: its descriptor, what it leads to, and the bytes moved, or -1 and
// why it failed.
static void
sayMoved(Tracer &tr, pid_t tid, const Task &t, long long n)
{
    bool reads = t.call == SYS_read || t.call == SYS_readv;
    std::string bytes = n > 0 ? movedBytes(tr, tid, t, n) : "";
    sayTries(tr, t.tgid);
    if (event(tr, t.tgid,
              reads              ? "readfrom"
              : t.target.empty() ? "write"
                                 : "writeinto")) {
        // A copy's descriptor is where it copies to.
        bool into = t.call == SYS_copy_file_range || t.call == SYS_splice;
        field(tr.w, (long long)t.args[into ? 2 : 0]);
        if (!t.target.empty())
            field(tr.w, t.target);
        field(tr.w, n < 0 ? -1 : n);
        field(tr.w, n < 0 ? errnoName((int)-n) : bytes);
        endEvent(tr.w);
    }
}

// What descriptor fd (0, 1 or 2) of tid is now, said after a call changed
// it.
static void
sayDescriptor(Tracer &tr, pid_t tid, long fd)
{
    Target to = targetOf(tr.fds, tid, fd);
    pid_t pid = tr.tasks[tid].tgid;
    if (fd <= 2)
        tr.procs[pid].streams[fd] = streamWord(to);
    if (event(tr, pid, "fd")) {
        field(tr.w, fd);
        field(tr.w, to.name);
        endEvent(tr.w);
    }
}

void
sayClosed(Tracer &tr, pid_t pid, int fd, const std::string &pipe, bool atExec)
{
    if (event(tr, pid, "fd")) {
        field(tr.w, fd);
        field(tr.w, "closed");
        field(tr.w, pipe);
        if (atExec)
            field(tr.w, "exec");
        endEvent(tr.w);
    }
}

// What a wait that was given nowhere to put the status returned, as the
// tracer saw it: the child's end, or else its last stop or continue.
// The parent may learn of a stop before the tracer does; a wait that can't
// return a continue returned a stop, by the last signal that stops it.
static int
seenStatus(Tracer &tr, pid_t child, int options)
{
    auto p = tr.procs.find(child);
    if (p == tr.procs.end())
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
sayWaited(Tracer &tr, pid_t tid, Task &t, long long ret)
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
            status = seenStatus(tr, child, (int)t.args[2]);
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
    if (event(tr, t.tgid, "waited")) {
        if (ret < 0) {
            field(tr.w, -1);
            field(tr.w, errnoName((int)-ret));
        } else if (child == 0) {
            field(tr.w, 0);
        } else {
            field(tr.w, child);
            endingFields(tr.w, status);
        }
        endEvent(tr.w);
    }
    if (reaps)
        reaped(tr, child, t.tgid);
}

// A traced call's exit.
void
leaveCall(Tracer &tr, pid_t tid, const struct user_regs_struct &r)
{
    Task &t = tr.tasks[tid];
    long long ret = (long long)r.rax;
    switch (t.call) {
    case SYS_write:
    case SYS_writev:
    case SYS_pwrite64:
    case SYS_copy_file_range:
    case SYS_splice:
    case SYS_sendfile:
    case SYS_read:
    case SYS_readv: {
        // Output that moved nothing is nothing; a read of 0 is an end of
        // file, and a failed write into a pipe (EPIPE) is said.
        bool reads = t.call == SYS_read || t.call == SYS_readv;
        if (ret > 0 || (!t.target.empty() && reads && ret == 0) ||
            (!t.target.empty() && !reads && ret == -EPIPE))
            sayMoved(tr, tid, t, ret);
        break;
    }
    case SYS_pipe:
    case SYS_pipe2: {
        int ends[2];
        if (ret != 0 || readMemory(tid, t.args[0], (char *)ends, sizeof ends) !=
                            sizeof ends)
            break;
        Target to = targetOf(tr.fds, tid, ends[0]);
        Process &p = tr.procs[t.tgid];
        auto followed = [&](int fd) {
            return tr.mode == EVERY_CALL || fd <= p.readsUpTo;
        };
        if (event(tr, t.tgid, "pipe")) {
            field(tr.w, to.name);
            field(tr.w, ends[0]);
            field(tr.w, ends[1]);
            field(tr.w, followed(ends[0]) ? "followed" : "unfollowed");
            endEvent(tr.w);
        }
        // Its ends above 2 are followed where its reads are, to their
        // close.
        for (int end : ends)
            if (end > 2 && followed(end))
                p.pipeEnds[end] = to.name;
        break;
    }
    case SYS_dup2:
    case SYS_dup3:
        if (ret >= 0)
            sayDescriptor(tr, tid, (long)t.args[1]);
        break;
    case SYS_execve:
    case SYS_execveat:
        if (ret < 0) {
            Process &p = tr.procs[t.tgid];
            p.tries++;
            p.triedErrno = (int)-ret;
            p.triedPath = t.path;
            p.tried = t.exec;
        }
        break;
    case SYS_wait4:
    case SYS_waitid:
        sayWaited(tr, tid, t, ret);
        break;
    case SYS_ptrace:
        // One tracer a process: ours. Said, since the program behaves
        // as it would under a debugger.
        if (ret == -EPERM &&
            (t.request == PTRACE_TRACEME || t.request == PTRACE_ATTACH ||
             t.request == PTRACE_SEIZE) &&
            event(tr, t.tgid, "ptracedenied")) {
            field(tr.w, t.request == PTRACE_TRACEME  ? "PTRACE_TRACEME"
                        : t.request == PTRACE_ATTACH ? "PTRACE_ATTACH"
                                                     : "PTRACE_SEIZE");
            endEvent(tr.w);
        }
        break;
    case SYS_futex: {
        // However the wait ended, a cleared word says the thread is done.
        auto &words = tr.procs[t.tgid].idWords;
        auto w = words.find(t.args[0]);
        unsigned id = 1;
        if (w == words.end() ||
            readMemory(tid, t.args[0], (char *)&id, sizeof id) != sizeof id ||
            id != 0)
            break;
        if (event(tr, t.tgid, "joined")) {
            field(tr.w, w->second);
            endEvent(tr.w);
        }
        words.erase(w);
        break;
    }
    case SYS_rt_sigaction:
        if (ret == 0) {
            Process &p = tr.procs[t.tgid];
            p.noChildWait = (t.action[1] & SA_NOCLDWAIT) != 0;
            p.ignoresChildren = t.action[0] == (unsigned long long)SIG_IGN;
        }
        break;
    }
    t.call = -1;
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
    FUTEX,
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

// The program of steps, each jump to a label made a count of steps.
static std::vector<sock_filter>
resolved(const std::vector<Step> &steps)
{
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

// Stops at: exec and wait of every kind; write, writev and pwrite, and the
// copies of copy_file_range, splice and sendfile, which may be output or go
// into a pipe; read and readv from 0 to 2, where a shell puts
// the pipes and files it redirects (not above, which every program's
// loader reads its libraries by: a stop at each would cost every exec a
// tenth; a process that makes a pipe is given a filter of its own for
// them, by followReads); pipe and pipe2; what may
// change 0 to 2 (dup2 and dup3 to them, close of them, close_range from 2
// or below); a sigaction of SIGCHLD, which may have the kernel
// collect the children; a signal that may be sent to the tracer, whose
// death ends the run, so that the record says who sent it; and a futex
// wait, which may be a join of a thread.
std::vector<sock_filter>
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
        jumpIf(SYS_write, TRACE),
        jumpIf(SYS_writev, TRACE),
        jumpIf(SYS_pwrite64, TRACE),
        jumpIf(SYS_copy_file_range, TRACE),
        jumpIf(SYS_splice, TRACE),
        jumpIf(SYS_sendfile, TRACE),
        jumpIf(SYS_read, OUT_FD),
        jumpIf(SYS_readv, OUT_FD),
        jumpIf(SYS_pipe, TRACE),
        jumpIf(SYS_pipe2, TRACE),
        jumpIf(SYS_close, OUT_FD),
        jumpIf(SYS_dup2, NEW_FD),
        jumpIf(SYS_dup3, NEW_FD),
        jumpIf(SYS_close_range, RANGE),
        jumpIf(SYS_rt_sigaction, ACTION),
        jumpIf(SYS_ptrace, TRACE),
        jumpIf(SYS_kill, KILL),
        jumpIf(SYS_tkill, KILL_TASK),
        jumpIf(SYS_tgkill, KILL_TASK),
        jumpIf(SYS_futex, FUTEX),
        give(SECCOMP_RET_ALLOW),
        load(arg0, OUT_FD),
        {BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, 2, 0, 0), ALLOW, TRACE, NEXT},
        load(arg1, NEW_FD),
        {BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, 2, 0, 0), ALLOW, TRACE, NEXT},
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
        // futex: FUTEX_WAIT and FUTEX_WAIT_BITSET, whatever their flags
        load(arg1, FUTEX),
        {BPF_STMT(BPF_ALU | BPF_AND | BPF_K, (unsigned)FUTEX_CMD_MASK), NEXT,
         NEXT, NEXT},
        jumpIf(FUTEX_WAIT, TRACE),
        jumpIf(FUTEX_WAIT_BITSET, TRACE, ALLOW),
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
    return resolved(steps);
}

// A filter that stops read, readv and close on descriptors 3 to upTo,
// made from the code from lo up to hi: added to a process at its pipe, so
// that its reads of the pipe, and the closes of its ends, are followed
// where the main filter lets those above 2 go by. A process forked from it
// after carries the filter, as it carries the pipe, and runs the same code;
// once it runs a new program, its loader's and the program's reads come from
// code elsewhere, and don't stop. Where the code's place can't be told (lo is
// hi), the reads stop whatever makes them.
static std::vector<sock_filter>
readsCode(unsigned upTo, unsigned long long lo, unsigned long long hi)
{
    const unsigned ip = offsetof(seccomp_data, instruction_pointer);
    std::vector<Step> steps = {
        load(offsetof(seccomp_data, arch)),
        jumpIf(AUDIT_ARCH_X86_64, NEXT, ALLOW),
        load(offsetof(seccomp_data, nr)),
        jumpIf(SYS_read, OUT_FD),
        jumpIf(SYS_readv, OUT_FD),
        jumpIf(SYS_close, OUT_FD, ALLOW),
        load(offsetof(seccomp_data, args[0]), OUT_FD),
        {BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, upTo, 0, 0), ALLOW, NEXT, NEXT},
        {BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, 2, 0, 0), NEXT, ALLOW, NEXT},
    };
    if (lo != hi) {
        // The call's address: its high half, then its low half in range.
        steps.push_back(load(ip + 4));
        steps.push_back(jumpIf((unsigned)(lo >> 32), NEXT, ALLOW));
        steps.push_back(load(ip));
        steps.push_back(
            {BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, (unsigned)lo, 0, 0), NEXT,
             ALLOW, NEXT});
        steps.push_back(
            {BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, (unsigned)hi, 0, 0), ALLOW,
             TRACE, NEXT});
    }
    steps.push_back(give(SECCOMP_RET_TRACE, TRACE));
    steps.push_back(give(SECCOMP_RET_ALLOW, ALLOW));
    return resolved(steps);
}

// Filters a process may be given this way: each one more costs every call
// it makes a little, and one that keeps making pipes higher up has the
// last cover every descriptor.
enum { READ_FILTERS = 16, READS_ALL = 0x7fffffff };

bool
followReads(Tracer &tr, pid_t tid, long call)
{
    Task &t = tr.tasks[tid];
    Process &p = tr.procs[t.tgid];
    if (tr.mode != FILTERED || p.readFilters >= READ_FILTERS ||
        (call != SYS_pipe && call != SYS_pipe2))
        return false;
    int end = nextPipeEnd(tid);
    struct user_regs_struct r;
    if (end <= p.readsUpTo || ptrace(PTRACE_GETREGS, tid, 0, &r) != 0)
        return false;
    unsigned upTo =
        p.readFilters + 1 == READ_FILTERS ? (unsigned)READS_ALL : (unsigned)end;
    // The code that made the pipe's call, its C library's most often,
    // makes its reads too. Where the range straddles 4 GiB, the filter
    // doesn't look at where a read comes from.
    unsigned long long lo = 0, hi = 0;
    if (!readMapping(tid, r.rip, &lo, &hi) || lo >> 32 != (hi - 1) >> 32 ||
        (unsigned)hi == 0)
        lo = hi = 0;
    std::vector<sock_filter> code = readsCode(upTo, lo, hi);

    // The program goes below the stack's red zone, which the process
    // doesn't count on, and what was there is put back after.
    struct sock_fprog prog = {(unsigned short)code.size(), nullptr};
    size_t words = (sizeof prog + code.size() * sizeof code[0] + 7) / 8;
    unsigned long long at = (r.rsp - 128 - words * 8) & ~15ULL;
    prog.filter = (sock_filter *)(uintptr_t)(at + sizeof prog);
    std::vector<long> mine(words, 0), theirs(words);
    memcpy(mine.data(), &prog, sizeof prog);
    memcpy((char *)mine.data() + sizeof prog, code.data(),
           code.size() * sizeof code[0]);
    size_t put = 0;
    for (; put < words; put++) {
        errno = 0;
        theirs[put] = ptrace(PTRACE_PEEKDATA, tid, at + put * 8, 0);
        if ((errno != 0 && theirs[put] == -1) ||
            ptrace(PTRACE_POKEDATA, tid, at + put * 8, mine[put]) != 0)
            break;
    }
    bool done = false;
    struct user_regs_struct made = r;
    made.orig_rax = SYS_seccomp;
    made.rdi = SECCOMP_SET_MODE_FILTER;
    made.rsi = SECCOMP_FILTER_FLAG_TSYNC; // its threads hold the pipe too
    made.rdx = at;
    if (put == words && ptrace(PTRACE_SETREGS, tid, 0, &made) == 0 &&
        ptrace(PTRACE_SYSCALL, tid, 0, 0) == 0) {
        // Nothing comes between a call's entry and its exit but its end:
        // a SIGKILL's.
        int status;
        while (waitpid(tid, &status, __WALL) < 0 && errno == EINTR) {
        }
        if (!WIFSTOPPED(status)) {
            tr.stops++;
            taskEnded(tr, tid, status);
            return true;
        }
        struct user_regs_struct after;
        done = ptrace(PTRACE_GETREGS, tid, 0, &after) == 0 && after.rax == 0;
    }
    for (size_t i = 0; i < put; i++)
        ptrace(PTRACE_POKEDATA, tid, at + i * 8, theirs[i]);
    if (done) {
        p.readsUpTo = (int)upTo;
        if (lo == hi)
            p.readsAfterExec = (int)upTo;
        p.readFilters++;
    } else {
        p.readFilters = READ_FILTERS; // not tried again
    }
    // Back to the pipe's call, made again: rax holds a call's number as
    // the instruction that makes it finds it. A signal that comes first
    // finds the call to be made, as if it had come before it.
    struct user_regs_struct again = r;
    again.rip -= 2;
    again.rax = r.orig_rax;
    ptrace(PTRACE_SETREGS, tid, 0, &again);
    t.inCall = false;
    return true;
}
