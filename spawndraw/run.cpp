// Reading a run's record back into its processes.

#include "run.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

std::string
baseName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos || slash + 1 == path.size()
                           ? path
                           : path.substr(slash + 1);
    return base.empty() ? "?" : base;
}

int
signalNumber(const std::string &name)
{
    if (name.compare(0, 3, "SIG") != 0)
        return 0;
    for (int sig = 1; sig < 65; sig++) {
        const char *abbrev = sigabbrev_np(sig);
        if (abbrev != nullptr &&
            name.compare(3, std::string::npos, abbrev) == 0)
            return sig;
    }
    if (name.compare(0, 9, "SIGRTMIN+") == 0)
        return SIGRTMIN + atoi(name.c_str() + 9);
    return 0;
}

std::string
signalName(int sig)
{
    const char *abbrev = sigabbrev_np(sig);
    if (abbrev != nullptr)
        return std::string("SIG") + abbrev;
    if (sig >= SIGRTMIN && sig <= SIGRTMAX)
        return "SIGRTMIN+" + std::to_string(sig - SIGRTMIN);
    return std::to_string(sig);
}

std::string
errnoMessage(const std::string &name)
{
    for (int e = 1; e < 200; e++) {
        const char *n = strerrorname_np(e);
        if (n != nullptr && name == n)
            return strerror(e);
    }
    return name;
}

// Whether process a is process d or one d descends from by forks alone.
static bool
forkedFrom(const Run &run, int d, int a)
{
    for (int i = d; i >= 0; i = run.procs[(size_t)i].parent)
        if (i == a)
            return true;
    return false;
}

std::vector<CopiedLine>
copiedLines(const Run &run)
{
    // The first line of each write, by its text; and where each process
    // ran a new program, which leaves no buffer of the old one.
    std::vector<CopiedLine> found;
    if (run.events.size() > 200000)
        return found;
    std::vector<int> firstExec(run.procs.size(), -1);
    // A buffer flushed is flushed where its stream goes, so the copies go
    // to one place: the same line in a pipe and at the terminal was passed
    // on, not copied.
    std::unordered_map<std::string, std::vector<int>> byLine;
    for (size_t e = 0; e < run.events.size(); e++) {
        const Event &ev = run.events[e];
        int i = run.procOf[e];
        if (ev.kind == "exec" && firstExec[(size_t)i] < 0)
            firstExec[(size_t)i] = (int)e;
        bool into = ev.kind == "writeinto";
        if (ev.kind != "write" && !into)
            continue;
        const std::string &bytes = ev.f[into ? 3 : 2];
        size_t nl = bytes.find('\n');
        if (nl != std::string::npos && nl > 0)
            byLine[(into ? ev.f[1] : std::string()) + '\0' +
                   bytes.substr(0, nl + 1)]
                .push_back((int)e);
    }
    for (auto &l : byLine) {
        std::vector<int> &writes = l.second;
        if (writes.size() < 2)
            continue;
        // The origin: a writer that every other descends from by forks,
        // none of which ran a new program before it wrote.
        for (int w : writes) {
            int origin = run.procOf[(size_t)w];
            bool all = true, other = false;
            for (int x : writes) {
                int i = run.procOf[(size_t)x];
                if (i == origin)
                    continue;
                other = true;
                all = all && forkedFrom(run, i, origin) &&
                      (firstExec[(size_t)i] < 0 || firstExec[(size_t)i] > x);
            }
            if (all && other) {
                std::sort(writes.begin(), writes.end());
                found.push_back(
                    {l.first.substr(l.first.find('\0') + 1), origin, writes});
                break;
            }
        }
    }
    std::sort(found.begin(), found.end(),
              [](const CopiedLine &a, const CopiedLine &b) {
                  return a.writes[0] < b.writes[0];
              });
    return found;
}

bool
followed(const Run &run, int pid)
{
    for (const Proc &p : run.procs)
        if (p.pid == pid)
            return true;
    return false;
}

int
commandStatus(const Run &run)
{
    if (run.command < 0)
        return -1;
    const Proc &c = run.procs[(size_t)run.command];
    if (c.ended < 0)
        return -1;
    const std::vector<std::string> &f = run.events[(size_t)c.ended].f;
    if (f.size() >= 2 && f[0] == "exited")
        return atoi(f[1].c_str());
    if (f.size() >= 2 && f[0] == "killed")
        return 128 + signalNumber(f[1]);
    return -1;
}

// Splits a line at its tabs and unescapes each field after the fourth.
static bool
parseLine(char *line, Event *e)
{
    std::vector<const char *> parts;
    std::vector<size_t> lens;
    char *p = line;
    for (;;) {
        char *tab = strchr(p, '\t');
        parts.push_back(p);
        lens.push_back(tab != nullptr ? (size_t)(tab - p) : strlen(p));
        if (tab == nullptr)
            break;
        p = tab + 1;
    }
    if (parts.size() < 4)
        return false;
    char *end;
    errno = 0;
    e->seq = strtol(parts[0], &end, 10);
    if (end != parts[0] + lens[0] || lens[0] == 0 || errno != 0 || e->seq < 0)
        return false;
    // Microseconds since the run began: within a lifetime, so that no
    // difference of two overflows, and exact where the page reads them.
    e->us = strtoll(parts[1], &end, 10);
    if (end != parts[1] + lens[1] || lens[1] == 0 || errno != 0 || e->us < 0 ||
        e->us > MAX_US)
        return false;
    long pid = strtol(parts[2], &end, 10), tid = 0;
    if (*end == '/' && end < parts[2] + lens[2]) {
        const char *t = end + 1;
        tid = strtol(t, &end, 10);
        if (end == t || tid <= 0 || tid > INT_MAX)
            return false;
    }
    if (end != parts[2] + lens[2] || lens[2] == 0 || pid < 0 || pid > INT_MAX)
        return false;
    e->pid = (int)pid;
    e->tid = (int)tid;
    e->kind.assign(parts[3], lens[3]);
    e->f.resize(parts.size() - 4);
    for (size_t i = 4; i < parts.size(); i++)
        if (!unescape(parts[i], lens[i], &e->f[i - 4]))
            return false;
    return true;
}

// The fields an event of each kind has at least, and which of them are
// numbers, with their bounds; unknown kinds are kept and drawn as they
// are, so that a newer record still reads.
struct Shape {
    const char *kind;
    size_t fields;
    struct {
        int at; // a field's place, or -1 for none
        long long least, most;
    } numbers[2];
};

static const long long PID_MAX = INT_MAX;
static const long long COUNT_MAX = INT_MAX;
// What one write may move: Linux moves at most 2 GiB less a page.
static const long long BYTES_MAX = INT_MAX;

static const Shape shapes[] = {
    {"fork", 1, {{0, 1, PID_MAX}, {2, 1, PID_MAX}}},
    {"thread", 1, {{0, 1, PID_MAX}, {-1, 0, 0}}},
    {"exec", 3, {{1, 0, COUNT_MAX}, {2, 0, COUNT_MAX}}},
    {"execfail", 4, {{2, 0, COUNT_MAX}, {3, 0, COUNT_MAX}}},
    {"write", 3, {{0, 0, INT_MAX}, {1, 0, BYTES_MAX}}},
    {"wait", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"waited", 1, {{0, -1, PID_MAX}, {-1, 0, 0}}},
    {"signal", 1, {{1, 0, PID_MAX}, {-1, 0, 0}}},
    {"exit", 2, {{-1, 0, 0}, {-1, 0, 0}}},
    {"reaped", 1, {{0, 0, PID_MAX}, {-1, 0, 0}}},
    {"adopted", 2, {{0, 0, PID_MAX}, {-1, 0, 0}}},
    {"refused", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"begin", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"killtracer", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"ptracedenied", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"joined", 1, {{0, 1, PID_MAX}, {-1, 0, 0}}},
    {"pipe", 3, {{1, 0, INT_MAX}, {2, 0, INT_MAX}}},
    {"fd", 2, {{0, 0, INT_MAX}, {-1, 0, 0}}},
    {"writeinto", 4, {{0, 0, INT_MAX}, {2, -1, BYTES_MAX}}},
    {"readfrom", 4, {{0, 0, INT_MAX}, {2, -1, BYTES_MAX}}},
    {"blocked", 1, {{-1, 0, 0}, {-1, 0, 0}}},
    {"unfollowed", 2, {{0, 3, INT_MAX}, {-1, 0, 0}}},
};

// Whether s is a whole number from least to most.
static bool
inRange(const std::string &s, long long least, long long most)
{
    char *end;
    errno = 0;
    long long n = strtoll(s.c_str(), &end, 10);
    return !s.empty() && *end == '\0' && errno == 0 && n >= least && n <= most;
}

// Whether the event has its kind's fields, each number within bounds.
static bool
wellShaped(const Event &e)
{
    for (const Shape &k : shapes) {
        if (e.kind != k.kind)
            continue;
        if (e.f.size() < k.fields)
            return false;
        for (const auto &n : k.numbers)
            if (n.at >= 0 && (size_t)n.at < e.f.size() &&
                !inRange(e.f[(size_t)n.at], n.least, n.most))
                return false;
        // An exit, and a wait's result, say a status of 0 to 255.
        size_t status = e.kind == "exit" ? 0 : e.kind == "waited" ? 1 : 99;
        if (status + 1 < e.f.size() && e.f[status] == "exited" &&
            !inRange(e.f[status + 1], 0, 255))
            return false;
        return true;
    }
    return true;
}

static int
number(const std::string &s)
{
    return atoi(s.c_str());
}

// The process an event is about, made if the record hadn't named it yet.
static int
processOf(Run *run, std::unordered_map<int, int> *current, int pid)
{
    auto found = current->find(pid);
    if (found != current->end())
        return found->second;
    Proc p;
    p.pid = pid;
    p.parent = run->root;
    p.programs.push_back("?");
    int index = (int)run->procs.size();
    if (run->root >= 0)
        run->procs[(size_t)run->root].children.push_back(index);
    run->procs.push_back(p);
    (*current)[pid] = index;
    return index;
}

static void
apply(Run *run, std::unordered_map<int, int> *current, int e)
{
    const Event &ev = run->events[(size_t)e];
    const std::vector<std::string> &f = ev.f;
    if (ev.kind == "begin" && run->root < 0) {
        Proc root;
        root.pid = ev.pid;
        root.programs.push_back("spawndraw");
        run->root = (int)run->procs.size();
        run->procs.push_back(root);
        (*current)[ev.pid] = run->root;
        run->mode = f[0];
        size_t from = f[0] == "every-call" && f.size() > 1 ? 2 : 1;
        run->argv.assign(f.begin() + (long)from, f.end());
        run->procOf.push_back(run->root);
        return;
    }
    int i = processOf(run, current, ev.pid);
    run->procOf.push_back(i);
    Proc *p = &run->procs[(size_t)i];
    if (ev.kind == "fork") {
        Proc child;
        child.pid = number(f[0]);
        // Made with CLONE_PARENT, it is the child of its maker's parent.
        int parent = f.size() > 2 ? processOf(run, current, number(f[2])) : i;
        p = &run->procs[(size_t)i];
        child.parent = parent;
        child.maker = parent != i ? i : -1;
        child.programs.push_back(p->programs.back());
        child.argv = p->argv;
        child.argc = p->argc;
        child.born = e;
        for (int fd = 0; fd <= 2; fd++)
            child.now[fd] = child.fds[fd] = p->now[fd];
        int index = (int)run->procs.size();
        run->procs[(size_t)parent].children.push_back(index);
        run->procs.push_back(child);
        (*current)[child.pid] = index;
        if (i == run->root && run->command < 0)
            run->command = index;
    } else if (ev.kind == "pipe") {
        run->readEnds.emplace(f[0], f[1]);
    } else if (ev.kind == "thread") {
        p->threads++;
    } else if (ev.kind == "fd") {
        long fd = atol(f[0].c_str());
        // Back to the run's own streams, as it began, is no redirection.
        bool own = f[1] == "the run's input" || f[1] == "the run's output";
        if (fd >= 0 && fd <= 2) {
            p->now[fd] = own ? "" : f[1];
            if (p->programs.size() == 1)
                p->fds[fd] = p->now[fd];
        }
    } else if (ev.kind == "exec") {
        p->programs.push_back(baseName(f[0]));
        for (int fd = 0; fd <= 2; fd++)
            p->fds[fd] = p->now[fd];
        p->argc = atol(f[2].c_str());
        p->argv.assign(f.begin() + 3, f.end());
    } else if (ev.kind == "execfail") {
        p->failedExecs++;
    } else if (ev.kind == "wait") {
        bool polls = f.size() > 1 && f[1] == "nohang";
        p->waitingFor = polls ? "" : f[0];
    } else if (ev.kind == "waited") {
        p->waitingFor.clear();
    } else if (ev.kind == "exit") {
        p->ended = e;
        // spawndraw's own process waits for the command all along.
        const std::string &w = p->parent >= 0
                                   ? run->procs[(size_t)p->parent].waitingFor
                                   : std::string();
        p->zombie = p->parent != run->root && w != "any" &&
                    w.compare(0, 5, "group") != 0 &&
                    w != std::to_string(p->pid);
        p->ending = (f[0] == "killed" ? "killed by " : f[0] + " ") + f[1];
        if (f.size() > 2)
            p->ending += " (core dumped)";
    } else if (ev.kind == "reaped") {
        p->reaped = e;
        p->reaper = number(f[0]);
        p->reapedWhy = f.size() > 1 ? f[1] : "";
    } else if (ev.kind == "adopted") {
        p->adopted = e;
        p->adopter = number(f[0]);
        p->adopterIsInit = f[1] == "init";
    } else if (ev.kind == "ptracedenied") {
        p->ptraceDenied = true;
    } else if (ev.kind == "running") {
        p->running = true;
    }
}

bool
readRun(FILE *in, const char *name, Run *run)
{
    char *line = nullptr;
    size_t size = 0;
    ssize_t n;
    long lineNo = 0;
    std::unordered_map<int, int> current;
    bool ok = true;
    while ((n = getline(&line, &size, in)) > 0) {
        lineNo++;
        if (line[n - 1] == '\n')
            line[--n] = '\0';
        if (lineNo == 1) {
            if (strcmp(line, eventsHeader) != 0 &&
                strcmp(line, eventsHeaderOne) != 0 &&
                strcmp(line, eventsHeaderTwo) != 0 &&
                strcmp(line, eventsHeaderThree) != 0) {
                fprintf(stderr,
                        "spawndraw: %s: not a record of spawndraw's "
                        "(its first line is not \"spawndraw-events\" and "
                        "version 1 to 4)\n",
                        name);
                ok = false;
                break;
            }
            continue;
        }
        Event e;
        // A refusal is a record of its own, before any run.
        if (strlen(line) != (size_t)n || !parseLine(line, &e) ||
            !wellShaped(e) || (e.kind == "refused" && run->root >= 0)) {
            fprintf(stderr, "spawndraw: %s: line %ld: not an event\n", name,
                    lineNo);
            ok = false;
            break;
        }
        if (e.kind == "refused") {
            run->refused = e.f[0];
            continue;
        }
        if (run->root < 0 && e.kind != "begin") {
            fprintf(stderr,
                    "spawndraw: %s: line %ld: the record doesn't "
                    "begin with its command\n",
                    name, lineNo);
            ok = false;
            break;
        }
        run->events.push_back(std::move(e));
        apply(run, &current, (int)run->events.size() - 1);
    }
    if (ok && ferror(in)) {
        fprintf(stderr, "spawndraw: %s: %s\n", name, strerror(errno));
        ok = false;
    }
    if (ok && lineNo == 0) {
        fprintf(stderr, "spawndraw: %s: empty\n", name);
        ok = false;
    }
    free(line);
    return ok;
}
