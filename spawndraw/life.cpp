#include "life.h"

#include "calls.h"

#include "events.h"
#include "run.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sched.h>

#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

void
restart(Tracer &tr, pid_t tid, int sig)
{
    Task &t = tr.tasks[tid];
    long request =
        tr.mode == EVERY_CALL || t.inCall ? PTRACE_SYSCALL : PTRACE_CONT;
    ptrace((enum __ptrace_request)request, tid, 0, (void *)(long)sig);
}

void
sayTries(Tracer &tr, pid_t pid)
{
    Process &p = tr.procs[pid];
    if (p.tries == 0)
        return;
    if (event(tr, pid, "execfail")) {
        field(tr.w, p.triedPath);
        field(tr.w, errnoName(p.triedErrno));
        field(tr.w, p.tries);
        field(tr.w, p.tried.argc);
        for (const std::string &a : p.tried.argv)
            field(tr.w, a);
        endEvent(tr.w);
    }
    p.tries = 0;
}

void
reaped(Tracer &tr, pid_t child, pid_t by, const char *why)
{
    Process &c = tr.procs[child];
    if (c.reaped)
        return;
    c.reaped = true;
    if (event(tr, child, "reaped", child == tr.command)) {
        field(tr.w, by);
        if (why != nullptr)
            field(tr.w, why);
        endEvent(tr.w);
    }
}

bool
traced(const Tracer &tr, pid_t pid)
{
    auto p = tr.procs.find(pid);
    return p != tr.procs.end() && !p->second.ended;
}

// The making of child by parent, recorded: a thread of parent's, or a
// process of its own, the child of ppid.
static void
made(Tracer &tr, pid_t parent, pid_t child, int kind, bool thread, pid_t ppid)
{
    Task &c = tr.tasks[child];
    sayTries(tr, parent);
    if (thread) {
        c.tgid = parent;
        if (event(tr, parent, "thread")) {
            field(tr.w, child);
            endEvent(tr.w);
        }
        return;
    }
    c.tgid = child;
    Process &p = tr.procs[child];
    const Process &maker = tr.procs[parent];
    p.parent = ppid;
    p.noChildWait = maker.noChildWait; // a copy's
    p.ignoresChildren = maker.ignoresChildren;
    p.readsUpTo = maker.readsUpTo; // the filters are inherited
    p.readsAfterExec = maker.readsAfterExec;
    p.readFilters = maker.readFilters;
    p.pipeEnds = maker.pipeEnds;
    for (int fd = 0; fd <= 2; fd++)
        p.streams[fd] = maker.streams[fd];
    if (traced(tr, ppid))
        tr.procs[ppid].children.push_back(child);
    if (event(tr, parent, "fork")) {
        field(tr.w, child);
        if (kind != PTRACE_EVENT_FORK)
            field(tr.w, kind == PTRACE_EVENT_VFORK ? "vfork" : "clone");
        if (ppid != parent)
            field(tr.w, ppid);
        endEvent(tr.w);
    }
}

static void ended(Tracer &tr, pid_t pid, int status);

void
forked(Tracer &tr, pid_t parentTid, int kind)
{
    unsigned long msg = 0;
    // Killed since it stopped, it can't say whom it made: the child, held
    // at its first stop, is placed as /proc says.
    if (ptrace(PTRACE_GETEVENTMSG, parentTid, 0, &msg) != 0 || msg == 0)
        return;
    pid_t child = (pid_t)msg;
    if (tr.placed.erase(child) != 0)
        return; // made and said already, by what /proc told
    pid_t parent = tr.tasks[parentTid].tgid;
    // With CLONE_PARENT, the child is its maker's parent's.
    Making m = readMaking(parentTid);
    pid_t ppid = (m.flags & CLONE_PARENT) ? tr.procs[parent].parent : parent;
    auto gone = tr.endedUnmade.find(child);
    if (gone != tr.endedUnmade.end()) {
        // It ended before it ever stopped: made, and ended at once.
        int status = gone->second;
        tr.endedUnmade.erase(gone);
        bool thread = kind == PTRACE_EVENT_CLONE; // most clones are
        made(tr, parent, child, kind, thread, ppid);
        tr.tasks.erase(child);
        if (!thread)
            ended(tr, child, status);
        return;
    }
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task/%d", (int)parent, (int)child);
    bool thread = kind == PTRACE_EVENT_CLONE && access(path, F_OK) == 0;
    auto c = tr.tasks.find(child);
    bool wasHeld = c != tr.tasks.end() && c->second.held;
    made(tr, parent, child, kind, thread, ppid);
    if (thread && m.idWord != 0)
        tr.procs[parent].idWords[m.idWord] = child;
    // A child may stop before its parent's fork is reported; it waited for
    // it, so that nothing of it is recorded before its making.
    if (wasHeld) {
        tr.tasks[child].held = false;
        restart(tr, child, 0);
    }
}

void
hold(Tracer &tr, pid_t tid)
{
    Task &t = tr.tasks[tid];
    t.tgid = tid;
    t.lastStop = tr.stops;
    t.held = true;
    t.heldSince = tr.stops;
    t.heldUs = nowUs(tr);
    pid_t tgid, ppid;
    readIds(tid, &tgid, &ppid);
    t.isThread = tgid != tid;
    t.maker = t.isThread ? tgid : ppid;
    tr.heldTids.push_back(tid);
}

// A held child whose fork's event can no longer come is made as /proc
// says, and goes on.
static void
place(Tracer &tr, pid_t tid)
{
    Task &t = tr.tasks[tid];
    t.held = false;
    tr.placed[tid] = true;
    if (!t.isThread && tr.procs.count(t.maker) == 0 &&
        event(tr, t.maker, "note")) {
        field(tr.w, std::to_string(tid) +
                        " was made by a process that ended "
                        "before its fork was seen; " +
                        std::to_string(t.maker) + " is its parent now");
        endEvent(tr.w);
    }
    pid_t ppid = t.isThread ? t.maker : readParent(tid);
    made(tr, t.maker, tid, PTRACE_EVENT_FORK, t.isThread,
         ppid != 0 ? ppid : t.maker);
}

void
releaseHeld(Tracer &tr)
{
    for (size_t k = 0; k < tr.heldTids.size();) {
        auto h = tr.tasks.find(tr.heldTids[k]);
        if (h == tr.tasks.end() || !h->second.held) {
            tr.heldTids.erase(tr.heldTids.begin() + (long)k);
            continue;
        }
        // One held for long is placed whatever else may still come: no
        // run waits for good on an event.
        bool overdue = nowUs(tr) - h->second.heldUs > HOLD_LIMIT_US;
        bool maybe = false; // some thread may still be making it
        for (const auto &t : tr.tasks)
            maybe = maybe || (t.first != h->first && !t.second.held &&
                              !t.second.listening &&
                              t.second.lastStop <= h->second.heldSince);
        if (maybe && !overdue) {
            k++;
            continue;
        }
        pid_t tid = h->first;
        tr.heldTids.erase(tr.heldTids.begin() + (long)k);
        place(tr, tid);
        restart(tr, tid, 0);
    }
}

void
askMakers(Tracer &tr, bool now)
{
    long since = -1;
    for (pid_t h : tr.heldTids) {
        auto t = tr.tasks.find(h);
        if (t != tr.tasks.end() &&
            (now || nowUs(tr) - t->second.heldUs > HOLD_US))
            since = std::max(since, t->second.heldSince);
    }
    if (since < 0)
        return;
    for (auto &t : tr.tasks)
        if (!t.second.held && !t.second.listening && !t.second.interrupted &&
            t.second.lastStop <= since) {
            ptrace(PTRACE_INTERRUPT, t.first, 0, 0);
            t.second.interrupted = true;
        }
}

// After an exec: the pipes' ends that it closed (opened close-on-exec)
// are said closed. The filters that followed reads above 2 let the new
// program's reads go by, and its closes: a read end it still holds there
// is said to be followed no more, and no end is followed after.
static void
pipeEndsAtExec(Tracer &tr, pid_t pid)
{
    Process &p = tr.procs[pid];
    for (const auto &end : p.pipeEnds) {
        Target to = targetOf(tr.fds, pid, end.first);
        if (to.kind != Target::PIPE || to.name != end.second) {
            sayClosed(tr, pid, end.first, end.second, true);
        } else if (end.first > p.readsAfterExec && readsOnly(pid, end.first) &&
                   event(tr, pid, "unfollowed")) {
            field(tr.w, end.first);
            field(tr.w, to.name);
            endEvent(tr.w);
        }
    }
    p.pipeEnds.clear();
    p.readsUpTo = p.readsAfterExec;
}

void
execed(Tracer &tr, pid_t tid)
{
    unsigned long former = 0;
    ptrace(PTRACE_GETEVENTMSG, tid, 0, &former);
    // An exec from a thread other than the first takes the process's pid:
    // the thread that made it is gone, and the process goes on.
    if ((pid_t)former != tid && tr.tasks.count((pid_t)former) != 0) {
        Task was = tr.tasks[(pid_t)former];
        tr.tasks.erase((pid_t)former);
        Task &t = tr.tasks[tid];
        t.path = was.path;
        t.exec = was.exec;
        t.execRead = was.execRead;
    }
    Task &t = tr.tasks[tid];
    if (!t.execRead)
        t.path = readProgram(tid, &t.exec); // its entry went unseen
    t.execRead = false;
    t.tgid = tid;
    t.waiting = false;
    forget(tr.fds, tid); // descriptors closed at exec
    Process &p = tr.procs[tid];
    p.noChildWait = false; // an exec clears every signal's flags
    p.idWords.clear();     // and ends every other thread
    if (event(tr, tid, "exec")) {
        field(tr.w, t.path);
        field(tr.w, p.tries);
        field(tr.w, t.exec.argc);
        for (const std::string &a : t.exec.argv)
            field(tr.w, a);
        endEvent(tr.w);
    }
    p.tries = 0;
    t.call = -1;
    if (tr.mode == FILTERED)
        t.inCall = false;
    pipeEndsAtExec(tr, tid);
}

void
signalled(Tracer &tr, pid_t tid, int sig)
{
    siginfo_t si;
    memset(&si, 0, sizeof si);
    ptrace(PTRACE_GETSIGINFO, tid, 0, &si);
    pid_t pid = tr.tasks[tid].tgid;
    // Ctrl-C, which reaches the processes from the terminal, not through
    // us: what the run hung in is said before it ends it.
    if ((sig == SIGINT || sig == SIGQUIT) && si.si_code == SI_KERNEL)
        sayBlocked(tr);
    if (event(tr, pid, "signal")) {
        field(tr.w, signalName(sig));
        // Sent by a process, with kill and the like; not by the kernel.
        if (si.si_code <= 0 && si.si_pid > 0)
            field(tr.w, si.si_pid);
        else if (sig == SIGCHLD && si.si_pid > 0)
            field(tr.w, si.si_pid);
        endEvent(tr.w);
    }
    Process &p = tr.procs[pid];
    if (sig == SIGCONT)
        p.changed = 0xffff; // continued, as wait says it
    else if (sig == SIGSTOP || sig == SIGTSTP || sig == SIGTTIN ||
             sig == SIGTTOU)
        p.stopSignal = sig;
}

// An orphan's new parent: init, where /proc can't tell.
static pid_t
parentNow(pid_t pid)
{
    pid_t ppid = readParent(pid);
    return ppid != 0 ? ppid : 1;
}

// A process has ended: said, and its children, now orphans, adopted.
static void
ended(Tracer &tr, pid_t pid, int status)
{
    Process &p = tr.procs[pid];
    sayTries(tr, pid);
    p.ended = true;
    p.status = status;
    if (event(tr, pid, "exit", pid == tr.command)) {
        endingFields(tr.w, status);
        endEvent(tr.w);
    }
    if (pid == tr.command)
        reaped(tr, pid, tr.self); // our own child: waitpid just collected it
    else if (!traced(tr, p.parent))
        reaped(tr, pid, p.parent); // one we don't follow collects it
    else if (tr.procs[p.parent].thirtyTwo ? ignoresChildren(p.parent)
                                          : tr.procs[p.parent].ignoresChildren)
        reaped(tr, pid, 0, "SIG_IGN"); // the kernel, for a parent that said so
    else if (tr.procs[p.parent].noChildWait)
        reaped(tr, pid, 0, "SA_NOCLDWAIT");
    std::vector<pid_t> children;
    children.swap(p.children);
    for (pid_t c : children) {
        Process &child = tr.procs[c];
        if (child.reaped || child.parent != pid)
            continue;
        pid_t now = parentNow(c);
        child.parent = now;
        if (event(tr, c, "adopted")) {
            field(tr.w, now);
            field(tr.w, now == 1 ? "init" : "subreaper");
            endEvent(tr.w);
        }
        if (traced(tr, now))
            tr.procs[now].children.push_back(c);
        else if (child.ended)
            reaped(tr, c, now); // at once, by one we don't follow
    }
}

void
taskEnded(Tracer &tr, pid_t tid, int status)
{
    auto found = tr.tasks.find(tid);
    if (found == tr.tasks.end() && tr.procs.count(tid) == 0) {
        // Ended before it ever stopped or its making was seen.
        tr.endedUnmade[tid] = status;
        return;
    }
    if (found != tr.tasks.end() && found->second.held) {
        // Its making is said as /proc told it, before its end.
        place(tr, tid);
        found = tr.tasks.find(tid);
    }
    pid_t tgid = found != tr.tasks.end() ? found->second.tgid : tid;
    if (found != tr.tasks.end())
        tr.tasks.erase(found);
    if (tgid != tid || tr.procs.count(tid) == 0)
        return;
    // The fork of a child held for it can't be seen now.
    for (pid_t h : std::vector<pid_t>(tr.heldTids)) {
        auto t = tr.tasks.find(h);
        if (t != tr.tasks.end() && t->second.held && t->second.maker == tid) {
            place(tr, h);
            restart(tr, h, 0);
        }
    }
    forget(tr.fds, tid);
    ended(tr, tid, status);
}

void
sayThirtyTwo(Tracer &tr, pid_t pid)
{
    Process &p = tr.procs[pid];
    if (p.thirtyTwo)
        return;
    p.thirtyTwo = true;
    if (event(tr, pid, "note")) {
        field(tr.w, std::to_string(pid) +
                        " makes system calls of the 32-bit ABI, which "
                        "spawndraw does not decode: their writes and waits "
                        "are not in the record");
        endEvent(tr.w);
    }
}

// A call a process may sleep in for good, by its name.
static const char *
callName(long call)
{
    static const struct {
        long call;
        const char *name;
    } names[] = {{SYS_read, "read"},
                 {SYS_readv, "read"},
                 {SYS_write, "write"},
                 {SYS_writev, "write"},
                 {SYS_wait4, "wait"},
                 {SYS_waitid, "wait"},
                 {SYS_poll, "poll"},
                 {SYS_ppoll, "poll"},
                 {SYS_select, "select"},
                 {SYS_pselect6, "select"},
                 {SYS_epoll_wait, "epoll_wait"},
                 {SYS_pause, "pause"},
                 {SYS_rt_sigsuspend, "sigsuspend"},
                 {SYS_nanosleep, "sleep"},
                 {SYS_clock_nanosleep, "sleep"},
                 {SYS_futex, "futex"},
                 {SYS_accept, "accept"},
                 {SYS_accept4, "accept"},
                 {SYS_recvfrom, "recv"},
                 {SYS_recvmsg, "recv"},
                 {SYS_connect, "connect"},
                 {SYS_flock, "flock"},
                 {SYS_openat, "open"}};
    for (const auto &n : names)
        if (n.call == call)
            return n.name;
    return nullptr;
}

void
sayBlocked(Tracer &tr)
{
    if (tr.w.silent || tr.saidBlocked)
        return;
    tr.saidBlocked = true;
    std::vector<pid_t> live;
    for (const auto &t : tr.tasks)
        if (t.first == t.second.tgid && !tr.procs[t.first].ended)
            live.push_back(t.first);
    std::sort(live.begin(), live.end());
    for (pid_t pid : live) {
        long call;
        unsigned long long arg;
        if (!readBlocked(pid, &call, &arg))
            continue;
        const char *name = callName(call);
        std::string number = std::to_string(call);
        bool reads = call == SYS_read || call == SYS_readv;
        bool writes = call == SYS_write || call == SYS_writev;
        Target to = {Target::OTHER, "", 0};
        if (reads || writes)
            to = targetOf(tr.fds, pid, (long)arg);
        if (!event(tr, pid, "blocked", true))
            return;
        field(tr.w, name != nullptr ? name : "call " + number);
        if (reads || writes) {
            field(tr.w, (long long)arg);
            field(tr.w, to.name);
        }
        // Who holds the other end: the writers a reader waits for, the
        // readers a writer waits for.
        if (to.kind == Target::PIPE)
            for (const Holder &h : holders(live, to.inode, reads))
                field(tr.w, std::to_string(h.pid) + ":" + std::to_string(h.fd));
        endEvent(tr.w);
    }
}

void
killAll(Tracer &tr)
{
    for (const auto &t : tr.tasks)
        if (t.first == t.second.tgid && !tr.procs[t.first].ended)
            kill(t.first, SIGKILL);
}

void
leave(Tracer &tr)
{
    if (tr.w.silent)
        return;
    sayBlocked(tr);
    for (auto &t : tr.tasks)
        if (t.first == t.second.tgid && !tr.procs[t.first].ended &&
            event(tr, t.first, "running", true))
            endEvent(tr.w);
    stopWriting(tr.w);
}
