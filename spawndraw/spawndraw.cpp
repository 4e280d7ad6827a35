// spawndraw: runs a command as a shell would and shows the processes it
// made: who forked whom, what each ran, when each waited, ended and was
// collected, and who wrote which line. Or draws a run recorded before.

#include "pagefile.h"
#include "run.h"
#include "safeio.h"
#include "signals.h"
#include "trace.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

static const char usage[] =
    "usage: spawndraw [OPTION]... [--] COMMAND [ARG]...\n"
    "       spawndraw [OPTION]... --from EVENTS\n";

static const char help[] =
    "Runs COMMAND as a shell would, following every process it makes, and\n"
    "once all have ended draws on standard error the tree of processes, a\n"
    "timeline of their forks, execs, writes, waits and ends, and the output\n"
    "each wrote. The command's input, output and status are its own.\n"
    "\n"
    "  --explain          also say every event in words, in order\n"
    "  --events FILE      write the run's record to FILE, an event a line\n"
    "  --html FILE        also write the run to FILE as a web page that\n"
    "                     replays it, event by event\n"
    "  --predict          make the page ask its reader to predict the run\n"
    "                     (how many processes, who made each, who wrote\n"
    "                     what, the orders, who collected whom) before it\n"
    "                     shows it\n"
    "  --source FILE      show FILE, the program's source, on the page\n"
    "  --from EVENTS      draw a recorded run on standard output, running\n"
    "                     nothing\n"
    "  --timeout SECONDS  end the command after SECONDS as timeout(1) does\n"
    "                     (SIGTERM, then SIGKILL for what is left a second\n"
    "                     later), saying what each process waited for;\n"
    "                     the status is then 124\n"
    "  --no-wait-orphans  report once the command has ended, without\n"
    "                     waiting for processes that outlive it (a second\n"
    "                     Ctrl-C does the same at any time)\n"
    "  --color=WHEN       colour the drawings: auto (the default) on a\n"
    "                     terminal that shows it, unless NO_COLOR is set;\n"
    "                     always; or never\n"
    "  --help             print this and exit\n";

enum Colour { AUTO, ALWAYS, NEVER };

struct Options {
    bool explain = false;
    bool waitOrphans = true;
    long long timeoutMs = 0; // 0 for none
    const char *eventsName = nullptr;
    const char *fromName = nullptr;
    const char *pageName = nullptr;
    const char *sourceName = nullptr;
    Exercise exercise;
    Colour colour = AUTO;
    char **command = nullptr;
};

static volatile sig_atomic_t interrupts;
static volatile sig_atomic_t passOn; // a signal for the command, or 0
static volatile sig_atomic_t terms;  // SIGTERMs: a second stops waiting
static int timedOut;                 // the command's time ran out

static void
onInterrupt(int)
{
    interrupts++;
}

// A signal sent to spawndraw by pid is meant for the command it stands
// for, as with kill or timeout: passed on, through the tracer.
static void
onPassOn(int sig)
{
    passOn = sig;
    if (sig == SIGTERM)
        terms++;
}

static int
misused(const char *what, const char *o)
{
    fprintf(stderr, "spawndraw: %s '%s'\n", what, o);
    fputs(usage, stderr);
    return 2;
}

// Returns -1 to go on, or the status to end with.
static int
parseOptions(int argc, char *argv[], Options *o)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i++) {
        const char *a = argv[i];
        if (strcmp(a, "--") == 0) {
            i++;
            break;
        }
        if (strcmp(a, "--help") == 0) {
            fputs(usage, stdout);
            fputs(help, stdout);
            return fflush(stdout) == 0 ? 0 : 1;
        }
        if (strcmp(a, "--explain") == 0)
            o->explain = true;
        else if (strcmp(a, "--no-wait-orphans") == 0)
            o->waitOrphans = false;
        else if (strcmp(a, "--predict") == 0)
            o->exercise.predict = true;
        else if (strcmp(a, "--source") == 0 && i + 1 < argc)
            o->sourceName = argv[++i];
        else if (strncmp(a, "--source=", 9) == 0 && a[9] != '\0')
            o->sourceName = a + 9;
        else if ((strcmp(a, "--events") == 0 || strcmp(a, "--from") == 0 ||
                  strcmp(a, "--html") == 0) &&
                 i + 1 < argc)
            (a[2] == 'e'   ? o->eventsName
             : a[2] == 'f' ? o->fromName
                           : o->pageName) = argv[++i];
        else if (strncmp(a, "--html=", 7) == 0 && a[7] != '\0')
            o->pageName = a + 7;
        else if (strncmp(a, "--events=", 9) == 0 && a[9] != '\0')
            o->eventsName = a + 9;
        else if (strncmp(a, "--from=", 7) == 0 && a[7] != '\0')
            o->fromName = a + 7;
        else if (strcmp(a, "--timeout") == 0 ||
                 strncmp(a, "--timeout=", 10) == 0) {
            const char *n = a[9] == '='    ? a + 10
                            : i + 1 < argc ? argv[++i]
                                           : "";
            char *end;
            errno = 0;
            double s = strtod(n, &end);
            if (*n == '\0' || *end != '\0' || errno != 0 || !(s > 0) || s > 1e9)
                return misused("--timeout needs a number of seconds above 0:",
                               n);
            o->timeoutMs = (long long)(s * 1000 + 0.5);
            if (o->timeoutMs == 0)
                o->timeoutMs = 1;
        } else if (strcmp(a, "--color=auto") == 0)
            o->colour = AUTO;
        else if (strcmp(a, "--color=always") == 0 || strcmp(a, "--color") == 0)
            o->colour = ALWAYS;
        else if (strcmp(a, "--color=never") == 0)
            o->colour = NEVER;
        else if (strcmp(a, "--events") == 0 || strcmp(a, "--from") == 0 ||
                 strcmp(a, "--html") == 0 || strcmp(a, "--source") == 0)
            return misused("option needs a file name:", a);
        else
            return misused("unknown option", a);
    }
    if (o->fromName != nullptr && i < argc)
        return misused("--from runs nothing, but was given", argv[i]);
    if (o->fromName != nullptr && o->eventsName != nullptr)
        return misused("--from records nothing, but was given", "--events");
    if (o->pageName == nullptr && (o->exercise.predict || o->sourceName))
        return misused("there is no page to put it on, without --html:",
                       o->exercise.predict ? "--predict" : "--source");
    if (o->fromName == nullptr && i == argc) {
        fputs("spawndraw: no command to run\n", stderr);
        fputs(usage, stderr);
        return 2;
    }
    o->command = argv + i;
    return -1;
}

// A descriptor above the standard streams, closed at exec: what the
// command inherits of ours is its streams and nothing else.
static int
aboveStreams(int fd)
{
    if (fd < 0 || fd > 2)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

static Look
lookOf(int fd, Colour asked)
{
    const char *term = getenv("TERM"), *noColour = getenv("NO_COLOR");
    bool tty = isatty(fd);
    Look look;
    look.colour =
        asked == ALWAYS || (asked == AUTO && tty &&
                            (term == nullptr || strcmp(term, "dumb") != 0) &&
                            (noColour == nullptr || noColour[0] == '\0'));
    struct winsize ws;
    look.width = tty && ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0
                     ? ws.ws_col
                     : 80;
    return look;
}

static void
draw(FILE *out, const Run &run, const Options &o, const Look &look)
{
    // Whatever colour the command left the terminal in is not ours.
    if (look.colour)
        fputs("\033[m", out);
    if (o.explain) {
        fputs(look.colour ? "\033[1m== what happened, event by event\033[m\n"
                          : "== what happened, event by event\n",
              out);
        explainRun(out, run);
        fputc('\n', out);
    }
    drawTree(out, run, look);
    fputc('\n', out);
    bool through = false, blocked = false, wrote = false;
    for (const Event &e : run.events) {
        through = through || e.kind == "pipe" || e.kind == "writeinto" ||
                  e.kind == "readfrom";
        blocked = blocked || e.kind == "blocked";
        wrote = wrote || e.kind == "write" || e.kind == "writeinto";
    }
    if (through) {
        drawPipes(out, run, look);
        fputc('\n', out);
    }
    if (blocked) {
        drawBlocked(out, run, look);
        fputc('\n', out);
    }
    drawTimeline(out, run, look);
    if (wrote) {
        fputc('\n', out);
        drawOutput(out, run, look);
    }
}

static int
refused(const Run &run, const char *command)
{
    fprintf(stderr, "spawndraw: cannot trace %s: %s\n", command,
            errnoMessage(run.refused).c_str());
    fputs("spawndraw: hint: the command was not run. ptrace is refused in a "
          "container that\n  forbids it (docker run --cap-add=SYS_PTRACE "
          "allows it), where\n  /proc/sys/kernel/yama/ptrace_scope is 3, and "
          "for a command that is\n  already traced (under strace or gdb)\n",
          stderr);
    return 1;
}

// Writes the page, when one was asked for; false when it failed.
static bool
finishPage(FILE *page, const Options &o, const std::string &record,
           const Run &run)
{
    if (page == nullptr)
        return true;
    writePage(page, record, run, o.exercise);
    return closePage(page, o.pageName);
}

// The most of a program's source that a page shows.
static const size_t SOURCE_MOST = 256 * 1024;

// Reads the source that --source names, before anything runs; false, having
// said why, when it can't be.
static bool
readSource(Options *o)
{
    if (o->sourceName == nullptr)
        return true;
    FILE *in = fopen(o->sourceName, "re");
    std::string &text = o->exercise.source;
    char chunk[65536];
    size_t n = 0;
    while (in != nullptr && text.size() <= SOURCE_MOST &&
           (n = fread(chunk, 1, sizeof chunk, in)) > 0)
        text.append(chunk, n);
    int why = in == nullptr || ferror(in) ? errno : 0;
    if (in != nullptr)
        fclose(in);
    if (why != 0 || text.size() > SOURCE_MOST) {
        fprintf(stderr, "spawndraw: --source %s: %s\n", shown(o->sourceName).s,
                why != 0 ? strerror(why)
                         : "longer than 256 KiB, too long to show");
        return false;
    }
    return true;
}

// Reads the record that --from names into record and run; -1, or the
// status to end with, having said why.
static int
readRecorded(const Options &o, std::string *record, Run *run)
{
    FILE *in = fopen(o.fromName, "re");
    if (in == nullptr) {
        fprintf(stderr, "spawndraw: %s: %s\n", o.fromName, strerror(errno));
        return 1;
    }
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, in)) > 0)
        record->append(chunk, n);
    bool ok = !ferror(in);
    fclose(in);
    if (!ok) {
        fprintf(stderr, "spawndraw: %s: %s\n", o.fromName, strerror(errno));
        return 1;
    }
    if (record->empty()) {
        fprintf(stderr, "spawndraw: %s: empty\n", o.fromName);
        return 1;
    }
    FILE *text = fmemopen(&(*record)[0], record->size(), "r");
    if (text == nullptr) {
        fprintf(stderr, "spawndraw: %s: %s\n", o.fromName, strerror(errno));
        return 1;
    }
    ok = readRun(text, o.fromName, run);
    fclose(text);
    if (!ok)
        return 1;
    if (!run->refused.empty())
        return refused(*run, run->argv.empty() ? "the command"
                                               : run->argv[0].c_str());
    return -1;
}

static int
drawRecorded(const Options &o)
{
    FILE *page = nullptr;
    if (o.pageName != nullptr && (page = openPage(o.pageName)) == nullptr)
        return 1;
    std::string record;
    Run run;
    int failed = readRecorded(o, &record, &run);
    if (failed >= 0) {
        if (page != nullptr)
            abandonPage(page); // nothing to show: the file as it was
        return failed;
    }
    draw(stdout, run, o, lookOf(1, o.colour));
    int status = finishPage(page, o, record, run) ? 0 : 1;
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "spawndraw: standard output: %s\n", strerror(errno));
        return 1;
    }
    return status;
}

static long long
monotonicMs()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

// Reads the tracer's record to its end. A second Ctrl-C or SIGTERM asks it
// to stop waiting for what is left; a signal to pass on goes to the
// tracer. Once asked, the tracer has a second to answer: then what it has
// written is the record, up to its last whole line.
static bool
readRecord(int in, pid_t tracer, long long timeoutMs, std::string *text)
{
    char chunk[65536];
    long long askedAt = -1;
    long long upAt = timeoutMs > 0 ? monotonicMs() + timeoutMs : -1;
    // The signals that ask something are held but while the read waits,
    // so that one that comes just before the wait wakes it: the record
    // itself comes through shared memory, and wakes nothing.
    sigset_t asking, open;
    sigemptyset(&asking);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM})
        sigaddset(&asking, sig);
    sigprocmask(SIG_BLOCK, &asking, &open);
    for (;;) {
        if ((interrupts >= 2 || terms >= 2) && askedAt < 0) {
            kill(tracer, SIGUSR1);
            askedAt = monotonicMs();
        }
        if (upAt >= 0 && monotonicMs() >= upAt) {
            union sigval which;
            which.sival_int = TIME_UP;
            sigqueue(tracer, SIGUSR2, which);
            upAt = -1;
            timedOut = 1;
        }
        if (passOn != 0) {
            union sigval which;
            which.sival_int = passOn;
            passOn = 0;
            sigqueue(tracer, SIGUSR2, which);
        }
        if (askedAt >= 0 && monotonicMs() - askedAt > 1000) {
            text->resize(text->rfind('\n') + 1);
            break;
        }
        struct pollfd p = {in, POLLIN, 0};
        struct timespec tenth = {0, 100000000};
        long long left = upAt >= 0 ? upAt - monotonicMs() : 0;
        struct timespec up = {(time_t)(left / 1000),
                              (long)(left % 1000) * 1000000};
        int ready = ppoll(&p, 1,
                          askedAt >= 0 ? &tenth
                          : upAt >= 0  ? &up
                                       : nullptr,
                          &open);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        ssize_t n = read(in, chunk, sizeof chunk);
        if (n > 0) {
            text->append(chunk, (size_t)n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            sigprocmask(SIG_SETMASK, &open, nullptr);
            return false;
        }
    }
    sigprocmask(SIG_SETMASK, &open, nullptr);
    return true;
}

// How the tracer ended, once the record has: -1 while it goes on, following
// what was left running. It ends at once when all has ended; a tracer that
// closed a record without saying what was left was killed, and is waited
// for, a second at most.
static int
tracerEnd(pid_t tracer, const Run &run)
{
    bool left = false;
    for (const Event &e : run.events)
        left = left || e.kind == "running";
    int status;
    for (long long until = monotonicMs() + 1000;;) {
        pid_t got = waitpid(tracer, &status, WNOHANG);
        if (got == tracer)
            return status;
        if (got < 0 && errno != EINTR)
            return -1;
        if (left || monotonicMs() > until)
            return -1;
        usleep(1000);
    }
}

// Where the tracer was killed, every process it followed was killed with
// it: said in one line, with the process that sent the signal where the
// record saw it sent.
static void
sayTracerKilled(pid_t tracer, int status, const Run &run)
{
    std::string sig = signalName(WTERMSIG(status)), by;
    for (size_t e = run.events.size(); e-- > 0 && by.empty();) {
        const Event &ev = run.events[e];
        if (ev.kind == "killtracer" && ev.f[0] == sig) {
            std::string name = run.procs[(size_t)run.procOf[e]].programs.back();
            by = ", sent by " + std::to_string(ev.pid) + " (" +
                 printable(name, false) + ")";
        }
    }
    fprintf(stderr,
            "spawndraw: the tracer (%d) was killed by %s%s: the run ended "
            "with it\n",
            (int)tracer, sig.c_str(), by.c_str());
}

// A file opened for the record or the page, in the tracer: closed, so that
// a FIFO's reader isn't kept waiting by a tracer that outlives the drawing.
static void
closeIn(FILE *f)
{
    int fd = f != nullptr ? fileno(f) : -1;
    if (fd >= 0)
        close(fd);
}

static void
abandonBoth(FILE *events, FILE *page)
{
    if (page != nullptr)
        abandonPage(page); // nothing to show: the file as it was
    if (events != nullptr)
        abandonPage(events);
}

static int
traceAndDraw(const Options &o)
{
    // The record, like the page, is written whole or not at all: a record
    // that was there stays as it was until the new one is complete.
    FILE *events = nullptr, *page = nullptr;
    if (o.eventsName != nullptr && (events = openPage(o.eventsName)) == nullptr)
        return 1;
    if (o.pageName != nullptr && (page = openPage(o.pageName)) == nullptr) {
        abandonBoth(events, nullptr);
        return 1;
    }
    if (events != nullptr && page != nullptr && samePageFile(events, page)) {
        fprintf(stderr,
                "spawndraw: --events %s and --html %s are the same file: the "
                "page would write over the record; nothing run\n",
                shown(o.eventsName).s, shown(o.pageName).s);
        abandonBoth(events, page);
        return 2;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0 || (fds[0] = aboveStreams(fds[0])) < 0 ||
        (fds[1] = aboveStreams(fds[1])) < 0) {
        fprintf(stderr, "spawndraw: pipe: %s\n", strerror(errno));
        abandonBoth(events, page);
        return 1;
    }
    // Ctrl-C is the command's to answer; we wait, then report. A command
    // started with it ignored gets it ignored, as from a shell.
    // Without SA_RESTART, so that the read of the record returns to act.
    struct sigaction was, sa;
    memset(&sa, 0, sizeof sa);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM})
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN) {
            sa.sa_handler = sig == SIGINT ? onInterrupt : onPassOn;
            sigaction(sig, &sa, nullptr);
        }
    SharedRecord *shared = shareRecord();
    fflush(nullptr);
    pid_t tracer = fork();
    if (tracer < 0) {
        fprintf(stderr, "spawndraw: fork: %s\n", strerror(errno));
        abandonBoth(events, page);
        return 1;
    }
    if (tracer == 0) {
        close(fds[0]);
        closeIn(events);
        closeIn(page);
        // The files are the drawing's to finish or remove.
        catchEndings(SIG_DFL);
        traceRun(o.command, o.waitOrphans, fds[1], shared);
    }
    close(fds[1]);
    std::string piped;
    bool read = readRecord(fds[0], tracer, o.timeoutMs, &piped);
    close(fds[0]);
    // The record is what the shared memory holds, then what came through
    // the pipe once that was full.
    std::string text;
    if (shared != nullptr)
        text.assign(textOf(shared),
                    __atomic_load_n(&shared->size, __ATOMIC_ACQUIRE));
    text += piped;
    if (!read) {
        fprintf(stderr, "spawndraw: reading the record: %s\n", strerror(errno));
        abandonBoth(events, page);
        return 1;
    }
    Run run;
    FILE *in = fmemopen(&text[0], text.size(), "r");
    bool got = in != nullptr && readRun(in, "the record", &run);
    if (in != nullptr)
        fclose(in);
    int end = got ? tracerEnd(tracer, run) : -1;
    bool killed = end >= 0 && WIFSIGNALED(end);
    if (killed)
        sayTracerKilled(tracer, end, run);
    int status = 0;
    if (events != nullptr) {
        fwrite(text.data(), 1, text.size(), events);
        if (!closePage(events, o.eventsName))
            status = 1;
    }
    if (!got || !run.refused.empty()) {
        abandonBoth(nullptr, page);
        return got ? refused(run, o.command[0]) : 1;
    }
    draw(stderr, run, o, lookOf(2, o.colour));
    if (!finishPage(page, o, text, run))
        status = 1;
    int ended = commandStatus(run);
    if (timedOut) {
        fprintf(stderr,
                "spawndraw: the command ran past its %.3g second%s and was "
                "ended\n",
                (double)o.timeoutMs / 1000, o.timeoutMs == 1000 ? "" : "s");
        return status != 0 ? status : 124;
    }
    if (ended < 0) // still running when we stopped waiting, or killed
        ended = killed ? 128 + WTERMSIG(end)
                : interrupts > 0 || terms > 0
                    ? 128 + (interrupts > 0 ? SIGINT : SIGTERM)
                    : 1;
    return status != 0 ? status : ended;
}

int
main(int argc, char *argv[])
{
    Options o;
    int status = parseOptions(argc, argv, &o);
    if (status >= 0)
        return status;
    if (!readSource(&o))
        return 1;
    return o.fromName != nullptr ? drawRecorded(o) : traceAndDraw(o);
}
