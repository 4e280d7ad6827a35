// Each event of a run in words: what the process did, what the kernel did
// for it, and what can happen next.

#include "run.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

std::string argumentsText(const std::vector<std::string> &argv, long argc);
std::string duration(long long us);

static std::string
who(const Run &run, int proc, const std::vector<std::string> &names)
{
    return std::to_string(run.procs[(size_t)proc].pid) + " (" +
           names[(size_t)proc] + ")";
}

static std::string
stream(const std::string &fd)
{
    return fd == "1"   ? "standard output"
           : fd == "2" ? "standard error"
                       : "descriptor " + fd;
}

// A wait's result, as "exited 0" or "killed by SIGTERM (core dumped)".
static std::string
statusText(const std::vector<std::string> &f, size_t at)
{
    if (f.size() <= at + 1)
        return f.size() > at ? f[at] : "";
    std::string s = f[at] == "killed"    ? "killed by " + f[at + 1]
                    : f[at] == "stopped" ? "stopped by " + f[at + 1]
                                         : f[at] + " " + f[at + 1];
    if (f.size() > at + 2 && f[at + 2] == "core")
        s += " (core dumped)";
    return s;
}

// Output as a C string would write it, its first 60 bytes or so.
static std::string
shownBytes(const std::string &bytes)
{
    std::string s, run;
    size_t n = bytes.size() > 60 ? 60 : bytes.size();
    for (size_t i = 0; i <= n; i++) {
        char c = i < n ? bytes[i] : '\0';
        const char *escape = c == '\n'   ? "\\n"
                             : c == '\t' ? "\\t"
                             : c == '"'  ? "\\\""
                             : c == '\\' ? "\\\\"
                                         : nullptr;
        if (escape == nullptr && i < n) {
            run += c;
            continue;
        }
        s += printable(run, false);
        run.clear();
        if (escape != nullptr)
            s += escape;
    }
    return "\"" + s + (bytes.size() > n ? "\"…" : "\"");
}

// Whom a wait is for, and what it sleeps until: an end, and where it asked
// for them a stop or a continue.
static std::string
waitTarget(const std::vector<std::string> &f)
{
    bool stops = false, continues = false;
    for (size_t k = 1; k < f.size(); k++) {
        stops = stops || f[k] == "stops";
        continues = continues || f[k] == "continues";
    }
    const std::string &t = f[0];
    bool one = t.compare(0, 6, "pidfd=") == 0 ||
               (t != "any" && t.compare(0, 5, "group") != 0);
    std::string until = std::string(one ? "that child ends" : "one ends") +
                        (stops && continues ? ", stops or is continued"
                         : stops            ? " or stops"
                         : continues        ? " or is continued"
                                            : "");
    if (t == "any")
        return "any child: it sleeps until " + until;
    if (t == "group")
        return "any child in its process group: it sleeps until " + until;
    if (t.compare(0, 6, "group=") == 0)
        return "any child in process group " + t.substr(6) +
               ": it sleeps until " + until;
    if (t.compare(0, 6, "pidfd=") == 0)
        return "the child of pidfd " + t.substr(6) + ": it sleeps until " +
               until;
    return t + ": it sleeps until " + until;
}

// The descriptors of a pipe's other end, "8005 (sh, descriptor 4)", from
// a blocked event's fields from `from` on.
static std::string
holdersText(const Run &run, const std::vector<std::string> &f, size_t from)
{
    std::string s;
    for (size_t k = from; k < f.size(); k++) {
        size_t colon = f[k].find(':');
        int pid = atoi(f[k].c_str());
        std::string name = "?";
        for (const Proc &p : run.procs)
            if (p.pid == pid)
                name = printable(p.programs.back(), false);
        s += (k == from           ? ""
              : k + 1 == f.size() ? " and "
                                  : ", ") +
             std::to_string(pid) + " (" + name + ", descriptor " +
             (colon == std::string::npos ? "?" : f[k].substr(colon + 1)) + ")";
    }
    return s;
}

std::string
copiedWords(const Run &run, int e)
{
    for (const CopiedLine &c : copiedLines(run)) {
        auto at = std::find(c.writes.begin(), c.writes.end(), e);
        if (at == c.writes.end())
            continue;
        std::string line = shownBytes(c.line.substr(0, c.line.size() - 1));
        std::string origin = std::to_string(run.procs[(size_t)c.origin].pid);
        // The record can't tell a line each process printed from one that
        // a fork copied out of a buffer: both are said.
        if (at != c.writes.begin() && run.procOf[(size_t)e] == c.origin)
            return ". Its line " + line + " again: printed again, or " +
                   origin + "'s own buffer written out at last";
        if (at != c.writes.begin())
            return ". Its line " + line +
                   " again: printed again, or a copy "
                   "of " +
                   origin + "'s stdio buffer, made by a fork";
        return ". Its line " + line + " is written " +
               std::to_string(c.writes.size()) +
               " times in all, by one family that ran no new program: each "
               "printed it, or " +
               origin +
               " printed it once and it was "
               "still in stdio's buffer when a fork copied it. Into a pipe or "
               "a file stdio writes in blocks, at a terminal at each line "
               "end; fflush(stdout) before fork prints such a line once";
    }
    return "";
}

std::string
blockedWords(const Run &run, int e)
{
    const Event &ev = run.events[(size_t)e];
    const Proc &p = run.procs[(size_t)run.procOf[(size_t)e]];
    std::vector<std::string> f = ev.f;
    for (std::string &x : f)
        x = printable(x, false);
    std::string name = printable(p.programs.back(), false);
    std::string pn = std::to_string(p.pid) + " (" + name + ")";
    bool pipe = f.size() > 2 && f[2].compare(0, 5, "pipe ") == 0;
    if (f[0] == "read" && pipe && f.size() > 3)
        return pn + " waits to read " + f[2] +
               "; its write end is still open " + "in " +
               holdersText(run, f, 3) + ": until that closes, " + name +
               " will see no end of file";
    if (f[0] == "read" && pipe)
        return pn + " waits to read " + f[2] + ", which nothing has written " +
               "into yet";
    if (f[0] == "write" && pipe && f.size() > 3)
        return pn + " waits to write into " + f[2] +
               ", which is full: " + holdersText(run, f, 3) +
               " holds its read end, but doesn't " + "read";
    if (f[0] == "read" || f[0] == "write")
        return pn + " waits to " + f[0] + " " + (f.size() > 2 ? f[2] : "");
    if (f[0] == "wait") {
        std::string running;
        for (int c : p.children) {
            const Proc &k = run.procs[(size_t)c];
            if (k.ended < 0 || k.ended > e)
                running += (running.empty() ? "" : ", ") +
                           std::to_string(k.pid) + " (" +
                           printable(k.programs.back(), false) + ")";
        }
        return pn + " waits for a child to end" +
               (running.empty() ? "" : "; still running: " + running);
    }
    if (f[0] == "sleep")
        return pn + " is asleep, in a sleep of its own";
    return pn + " waits in " + f[0];
}

// Which end of the pipe descriptor fd is, as the pipe was made.
static std::string
pipeEnd(const Run &run, const std::string &pipe, const std::string &fd)
{
    auto made = run.readEnds.find(pipe);
    if (made == run.readEnds.end())
        return "its end of " + pipe;
    return pipe + (made->second == fd ? "'s read end" : "'s write end");
}

std::string
explainEvent(const Run &run, int e, const std::vector<std::string> &names)
{
    const Event &ev = run.events[(size_t)e];
    // Every field is the command's or the record's choice, fit to show; a
    // write's bytes are shown as a string, escaped there.
    std::vector<std::string> f = ev.f;
    bool moves = ev.kind == "writeinto" || ev.kind == "readfrom";
    for (size_t k = 0; k < f.size(); k++)
        if ((ev.kind != "write" || k != 2) && (!moves || k != 3))
            f[k] = printable(f[k], false);
    int i = run.procOf[(size_t)e];
    std::string p = std::to_string(ev.pid), pn = who(run, i, names);
    if (ev.tid != 0) // one of its threads
        pn.insert(pn.size() - 1, ", thread " + std::to_string(ev.tid));
    if (ev.kind == "begin") {
        std::string s = "spawndraw (" + p + ") follows every process of " +
                        argumentsText(run.argv, (long)run.argv.size());
        if (f[0] == "every-call")
            s += "; every system call stops it, since the filter that stops "
                 "only the calls it records could not be set" +
                 (f.size() > 1 ? ": " + errnoMessage(f[1]) : "");
        return s;
    }
    if (ev.kind == "fork") {
        const std::string &c = f[0];
        if (i == run.root)
            return pn + " forks " + c + " to run the command: a copy of " +
                   "itself, that becomes the command at its exec";
        if (f.size() > 1 && f[1] == "vfork")
            return pn + " vforks " + c + ": a copy that shares its memory; " +
                   p + " sleeps until " + c + " runs a program or ends";
        if (f.size() > 2)
            return pn + " makes " + c + " with clone(CLONE_PARENT): a copy " +
                   "of itself with a pid of its own, but the child of " + f[2] +
                   ", " + p + "'s parent, which collects it";
        return pn + " forks " + c + ": a copy of itself with a pid of its " +
               "own; both go on from the fork" +
               (f.size() > 1 ? " (made with clone)" : "");
    }
    if (ev.kind == "thread")
        return pn + " starts a thread, " + f[0] +
               ": the same process, with one more line of execution";
    if (ev.kind == "exec") {
        std::string s =
            p + " runs " + f[0] + " with exec: the pid stays " + p +
            ", the program is now " + baseName(f[0]) + "; arguments " +
            argumentsText(std::vector<std::string>(f.begin() + 3, f.end()),
                          atol(f[2].c_str()));
        int tries = atoi(f[1].c_str());
        if (tries > 0)
            s += " (found after " + std::to_string(tries) + " tr" +
                 (tries == 1 ? "y" : "ies") + " along PATH that failed)";
        return s;
    }
    if (ev.kind == "execfail") {
        int tries = atoi(f[2].c_str());
        std::string s = pn + " tries to run " + f[0] + ": " +
                        errnoMessage(f[1]) + " (" + f[1] + "); exec returns " +
                        "-1, and " + p + " is still " + names[(size_t)i] +
                        " and goes on";
        if (tries > 1)
            s += " (" + std::to_string(tries) +
                 " tries along PATH, the last shown)";
        return s;
    }
    if (ev.kind == "write") {
        long long n = atoll(f[1].c_str());
        std::string s = pn + " writes " + std::to_string(n) + " byte" +
                        (n == 1 ? "" : "s") + " to " + stream(f[0]);
        return (f[2].empty() ? s + " (not kept)"
                             : s + ": " + shownBytes(f[2])) +
               copiedWords(run, e);
    }
    if (ev.kind == "pipe")
        return pn + " made " + f[0] + ": its read end is descriptor " + f[1] +
               ", its write end " + f[2] + "; a child it forks holds both";
    if (ev.kind == "unfollowed")
        return pn + " keeps " + f[1] + "'s read end as descriptor " + f[0] +
               " past its exec: its reads from there are not followed, " +
               "since reads above descriptor 2 are followed only in the " +
               "program that made the pipe";
    if (ev.kind == "fd") {
        if (f[1] == "closed" && f.size() > 2)
            return pn + " closes " + stream(f[0]) + ", " +
                   pipeEnd(run, f[2], f[0]) +
                   (f.size() > 3 && f[3] == "exec"
                        ? ", at its exec: it was opened close-on-exec"
                        : "");
        if (f[1] == "closed")
            return pn + " closes " + stream(f[0]);
        return pn + "'s " + stream(f[0]) + " is now " + f[1] +
               (f[0] == "0" ? ": it reads from there" : ": it writes there");
    }
    if (ev.kind == "writeinto" || ev.kind == "readfrom") {
        long long n = atoll(f[2].c_str());
        bool reads = ev.kind == "readfrom";
        std::string via = " (" + stream(f[0]) + ")";
        if (n < 0)
            return pn + " writes into " + f[1] + via + " and fails, " +
                   errnoMessage(f[3]) +
                   ": no process holds its read end any more, and the " +
                   "kernel sends SIGPIPE with the failure";
        if (n == 0 && f[1].compare(0, 5, "pipe ") == 0)
            return pn + " reads 0 bytes from " + f[1] + via +
                   ": end of file, since no process holds its write end any " +
                   "more";
        if (n == 0)
            return pn + " reads 0 bytes from " + f[1] + via +
                   ": end of file, all it holds read";
        std::string s = pn + (reads ? " reads " : " writes ") +
                        std::to_string(n) + " byte" + (n == 1 ? "" : "s") +
                        (reads ? " from " : " into ") + f[1] + via;
        return (f[3].empty() ? s : s + ": " + shownBytes(f[3])) +
               (reads ? "" : copiedWords(run, e));
    }
    if (ev.kind == "blocked")
        return blockedWords(run, e);
    if (ev.kind == "wait") {
        if (f.size() > 1 && f[1] == "nohang")
            return pn + " checks, without sleeping, whether a child has " +
                   "ended (WNOHANG)";
        return pn + " waits for " + waitTarget(f);
    }
    if (ev.kind == "waited") {
        if (f[0] == "0")
            return p + "'s wait returns 0: no child has ended yet";
        if (f[0] == "-1" && f.size() > 1 && f[1] == "ECHILD")
            return p + "'s wait returns -1" +
                   (e > 0 && run.events[(size_t)e - 1].kind == "wait" &&
                            run.events[(size_t)e - 1].pid == ev.pid
                        ? " at once"
                        : "") +
                   " (ECHILD): it has no child left to wait for";
        if (f[0] == "-1" && f.size() > 1 && f[1] == "EINTR")
            return p + "'s wait is cut short by a signal: it returns -1 " +
                   "(EINTR)";
        if (f[0] == "-1")
            return p + "'s wait fails: -1 (" +
                   (f.size() > 1 ? f[1] : std::string("?")) + ")";
        return p + "'s wait returns " + f[0] + ", " + statusText(f, 1);
    }
    if (ev.kind == "signal") {
        if (f[0] == "SIGCHLD" && f.size() > 1)
            return pn + " is sent SIGCHLD by the kernel: its child " + f[1] +
                   " has ended or stopped";
        if (f.size() > 1 && f[1] == p)
            return pn + " receives " + f[0] + ", sent by itself";
        if (f.size() > 1)
            return pn + " receives " + f[0] + " from " + f[1];
        return pn + " receives " + f[0] + " from the kernel";
    }
    if (ev.kind == "exit") {
        const Proc &c = run.procs[(size_t)i];
        // A write into a pipe with no reader left: why SIGPIPE came.
        std::string why;
        for (int k = e;
             k-- > 0 && why.empty() && f[0] == "killed" && f[1] == "SIGPIPE";)
            if (run.procOf[(size_t)k] == i &&
                run.events[(size_t)k].kind == "writeinto" &&
                run.events[(size_t)k].f[2] == "-1")
                why = " (it wrote into " +
                      printable(run.events[(size_t)k].f[1], false) +
                      ", whose read end no process holds any more)";
        f[1] += why;
        if (!c.zombie && c.parent >= 0)
            return pn + " ends: " + statusText(f, 0) + ". Its parent is " +
                   "waiting for it, and collects it at once";
        return pn + " ends: " + statusText(f, 0) +
               ". Until its parent collects it, it is a zombie";
    }
    if (ev.kind == "reaped") {
        const Proc &c = run.procs[(size_t)i];
        std::string after =
            c.ended >= 0 && c.zombie && followed(run, atoi(f[0].c_str()))
                ? ", after " +
                      duration(ev.us - run.events[(size_t)c.ended].us) +
                      " as a zombie"
                : "";
        if (f[0] == "0" && f.size() > 1 && f[1] == "SA_NOCLDWAIT")
            return "the kernel removes " + p + " at once: its parent " +
                   "set SA_NOCLDWAIT for SIGCHLD, so it leaves no zombie";
        if (f[0] == "0")
            return "the kernel removes " + p + " at once: its parent " +
                   "ignores SIGCHLD, so it leaves no zombie";
        std::string by = f[0];
        if (run.root >= 0 &&
            by == std::to_string(run.procs[(size_t)run.root].pid))
            by += " (spawndraw)";
        else if (by == "1")
            by += " (init)";
        return by + " collects " + p + "'s exit status: " + p + " is gone" +
               after;
    }
    if (ev.kind == "adopted")
        return p + "'s parent has ended: " + p + " is an orphan, adopted by " +
               f[0] + (f[1] == "init" ? " (init)" : ", the nearest subreaper") +
               ", which collects it when it ends";
    if (ev.kind == "joined")
        return pn + " joins its thread " + f[0] + ", which has ended: all " +
               "that " + f[0] + " did comes before what " + p +
               " does from now on";
    if (ev.kind == "ptracedenied")
        return pn + " asks for ptrace (" + f[0] + ") and is refused " +
               "(EPERM): spawndraw traces it already, and a process has one "
               "tracer " +
               "at most, so a debugger inside the run can't work, and a " +
               "program that looks for one behaves as if it were debugged";
    if (ev.kind == "killtracer")
        return pn + " sends " + f[0] + " to spawndraw's tracer, which " +
               "follows every process of the run: were the tracer to end, " +
               "every one of them would be killed with it";
    if (ev.kind == "running")
        return pn + " is still running when spawndraw stops waiting: it " +
               "goes on, no longer recorded";
    if (ev.kind == "note")
        return f.empty() ? "note" : f[0];
    return pn + ": " + printable(ev.kind, false);
}

std::vector<std::string>
explainAll(const Run &run)
{
    std::vector<std::string> said, names;
    std::unordered_map<int, size_t> made; // a fork's event -> its child
    for (size_t k = 0; k < run.procs.size(); k++)
        if (run.procs[k].born >= 0)
            made[run.procs[k].born] = k;
    for (size_t e = 0; e < run.events.size(); e++) {
        names.resize(run.procs.size());
        const Event &ev = run.events[e];
        int i = run.procOf[e];
        if (names[(size_t)i].empty())
            names[(size_t)i] =
                printable(run.procs[(size_t)i].programs[0], false);
        // The child that a fork makes starts as its parent's program.
        auto child = made.find((int)e);
        if (child != made.end())
            names[child->second] = names[(size_t)i];
        said.push_back(explainEvent(run, (int)e, names));
        if (ev.kind == "exec")
            names[(size_t)i] = printable(baseName(ev.f[0]), false);
    }
    return said;
}

void
explainRun(FILE *out, const Run &run)
{
    std::vector<std::string> said = explainAll(run);
    for (size_t e = 0; e < said.size(); e++)
        fprintf(out, "%5ld. %s\n", run.events[e].seq, said[e].c_str());
}
