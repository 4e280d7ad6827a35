// chronsort: asks for a file of dates written day/month/year and for an
// output file, orders the dates from earliest to latest with an exchange sort
// and writes them to the output file. The dialogue and the run are here;
// reading, ordering and the files have rooms of their own.

#include "chronsort.h"
#include "safeio.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/file.h>
#include <unistd.h>

// The run's state lives until the program ends.
static Dates table;
static char *inName, *outName;
static int outError; // errno of the first failed write to stdout, or 0

void
complain(const char *fmt, ...)
{
    va_list ap;

    fflush(stdout);
    fputs("chronsort: ", stderr);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}

static void
flushOut()
{
    if (fflush(stdout) != 0 && outError == 0)
        outError = errno;
}

// A file name is one word, as "%s" reads it, but of any length. Returns
// null at the end of the input, with errno 0, or when memory runs out.
static char *
readWord()
{
    char *w = nullptr;
    size_t n = 0, cap = 0;
    int c;

    while ((c = getchar()) != EOF && isspace(c))
        ;
    if (c == EOF) {
        errno = 0;
        return nullptr;
    }
    do {
        if (n + 1 >= cap) {
            char *more = (char *)grow(w, &cap, 1);
            if (more == nullptr) {
                free(w);
                errno = ENOMEM;
                return nullptr;
            }
            w = more;
        }
        w[n++] = (char)c;
    } while ((c = getchar()) != EOF && !isspace(c));
    if (c != EOF)
        ungetc(c, stdin);
    w[n] = '\0';
    return w;
}

// A long sort shows how far it has come, on one line of stderr kept up to
// date in place: only on a terminal, only once a second has passed since
// the run set out to read its dates (waiting for a lock counts), and a few
// times a second at most, since the clock is read once a pass.
static struct {
    bool on;        // stderr is a terminal
    bool below;     // stdout's prompts left the cursor mid-line
    timespec start; // when the run set out to read
    double next;    // seconds after the start when to show it again
    int width;      // of the line shown, or 0
} progress;

static double
since(const timespec &t)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - t.tv_sec) + (now.tv_nsec - t.tv_nsec) / 1e9;
}

// Pass p costs n - 1 - p comparisons: the share of the work is that of the
// comparisons made, of the most the sort can make.
static void
showProgress(size_t done, size_t most)
{
    if (!progress.on)
        return;
    double t = since(progress.start);
    if (t < progress.next)
        return;
    progress.next = t + 0.25;
    double share = 1 - (double)(most - done) * (most - done + 1) /
                           ((double)most * (most + 1));
    const char *lead = progress.width == 0 && progress.below ? "\n" : "\r";
    int w = fprintf(stderr,
                    "%schronsort: sorting %zu dates: pass %zu of at most "
                    "%zu (%.0f%%)",
                    lead, most + 1, done, most, 100 * share);
    progress.width = w - 1;
    fflush(stderr);
}

static void
clearProgress()
{
    if (progress.width > 0)
        fprintf(stderr, "\r%*s\r", progress.width, "");
    progress.width = 0;
}

static void
startProgress()
{
    progress.on = isatty(2);
    // Answers that came from a pipe were not echoed: the cursor stands
    // after the last prompt, and the line below is the progress's own.
    progress.below = isatty(1) && !isatty(0);
    progress.next = 1;
    clock_gettime(CLOCK_MONOTONIC, &progress.start);
}

// Reads the dates. A regular input is locked while it is read, so that runs
// on one file take turns: shared when it is only read, and then released
// at once, so that no run waits for another's output while it holds its own
// input; exclusive until the run ends when it is also the output, and then
// `st` is what it must still be when the dates go back into it.
static bool
readInput(FILE *in, bool inPlace, struct stat *st)
{
    int fd = fileno(in);
    bool regular = S_ISREG(st->st_mode);

    if (regular && !lock(fd, inPlace ? LOCK_EX : LOCK_SH, inName)) {
        complain("%s: cannot lock: %s", shown(inName).s, strerror(errno));
        return false;
    }
    if (inPlace && fstat(fd, st) != 0) {
        complain("%s: %s", shown(inName).s, strerror(errno));
        return false;
    }
    Outcome got = readDates(in, inName, &table);
    if (regular && !inPlace)
        flock(fd, LOCK_UN);
    switch (got) {
    case READ_ERROR:
        complain("%s: %s", shown(inName).s, strerror(errno));
        return false;
    case NO_MEMORY:
        complain("out of memory");
        return false;
    case STOPPED:
    case WHOLE_FILE:
        break;
    }
    // Rewritten, the text after the dates, or what a date cut short or out
    // of range really said, would be lost.
    const char *loss = got == STOPPED ? "whose unread text would be lost"
                       : table.partial
                           ? "and dates in it could not be read whole"
                           : nullptr;
    if (inPlace && loss != nullptr) {
        complain("%s: is the input file, %s; nothing written", shown(outName).s,
                 loss);
        return false;
    }
    return true;
}

// The input rewritten with its dates sorted, unless something else wrote
// to it since it was read: that text would be lost.
static bool
rewriteInput(FILE *in, const struct stat *asRead)
{
    if (!unchanged(fileno(in), asRead)) {
        if (errno != 0)
            complain("%s: %s", shown(outName).s, strerror(errno));
        else
            complain("%s: changed by another program while it was sorted; "
                     "nothing written",
                     shown(outName).s);
        return false;
    }
    size_t len;
    char *text = render(&table, &len);
    if (text == nullptr) {
        complain("out of memory");
        return false;
    }
    bool ok = rewrite(fileno(in), text, len);
    if (!ok)
        complain("%s: %s", shown(outName).s, strerror(errno));
    free(text);
    return ok;
}

// Every date is read before the output is opened: it may be the input file
// itself, and then it is rewritten in place. Only a regular file can be: a
// FIFO or a device would take in its own dates, or block for ever.
static bool
sortFile(FILE *in)
{
    struct stat st;

    if (fstat(fileno(in), &st) != 0) {
        complain("%s: %s", shown(inName).s, strerror(errno));
        return false;
    }
    bool inPlace = isFile(&st, outName);
    if (inPlace && !S_ISREG(st.st_mode)) {
        complain("%s: is the input file, and not a regular file that can be "
                 "rewritten in place; nothing written",
                 shown(outName).s);
        return false;
    }
    startProgress();
    if (!readInput(in, inPlace, &st))
        return false;
    sortDates(&table, showProgress);
    clearProgress();
    if (inPlace)
        return rewriteInput(in, &st);
    if (writeFile(outName, &table))
        return true;
    complain("%s: %s", shown(outName).s, strerror(errno));
    return false;
}

// A name that can't be read ends the run before anything is written.
static char *
askName(const char *prompt, const char *what)
{
    fputs(prompt, stdout);
    flushOut();
    char *name = readWord();
    if (name == nullptr)
        complain(errno == ENOMEM ? "out of memory" : "%s: end of input", what);
    return name;
}

int
main()
{
    int outClosed = openStdStreams();
    if (outClosed < 0)
        return 1;
    // A message to a reader that has gone must not end the run before the
    // output file is written; failed writes are seen where they return.
    signal(SIGPIPE, SIG_IGN);

    inName = askName("Enter input file name containing Dates in format "
                     "dd/mm/yyyy, Space or new line seperated: ",
                     "input file name");
    if (inName == nullptr)
        return 1;
    FILE *in = openInput(inName);
    if (in == nullptr) {
        complain("%s: %s", shown(inName).s, strerror(errno));
        return 1;
    }
    outName = askName("Enter output file name: ", "output file name");
    if (outName == nullptr)
        return 1;

    // The input stays open, and locked, until the program ends.
    if (!sortFile(in))
        return 1;

    printf("Done!! Output saved in file: %s\n", outName);
    flushOut();
    if (outClosed && outError == 0)
        outError = EBADF;
    if (outError != 0) {
        complain("standard output: %s", strerror(outError));
        return 1;
    }
    return 0;
}
