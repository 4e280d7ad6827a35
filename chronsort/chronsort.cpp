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

#include <sys/file.h>

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

// Reads, sorts and writes the dates. The input is locked for the whole run
// so that two runs on one file take turns: shared while it is only read,
// exclusive when it will be rewritten, from before the first date is read.
static bool
sortFile(FILE *in)
{
    struct stat st;

    if (fstat(fileno(in), &st) != 0) {
        complain("%s: %s", shown(inName).s, strerror(errno));
        return false;
    }
    bool inPlace = isInput(&st, outName);
    if (S_ISREG(st.st_mode) && !lock(fileno(in), inPlace ? LOCK_EX : LOCK_SH)) {
        complain("%s: cannot lock: %s", shown(inName).s, strerror(errno));
        return false;
    }

    // Every date is read before the output is opened: opening it empties
    // it, and it may be the input file itself.
    switch (readDates(in, inName, &table)) {
    case READ_ERROR:
        complain("%s: %s", shown(inName).s, strerror(errno));
        return false;
    case NO_MEMORY:
        complain("out of memory");
        return false;
    case STOPPED:
        if (inPlace) {
            complain("%s: is the input file, whose unread text would be "
                     "lost; nothing written",
                     shown(outName).s);
            return false;
        }
        break;
    case WHOLE_FILE:
        break;
    }
    sortDates(&table);

    if (!inPlace) {
        if (writeFile(outName, &table))
            return true;
        complain("%s: %s", shown(outName).s, strerror(errno));
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
