// chronsort: asks for a file of dates written day/month/year and for an
// output file, orders the dates from earliest to latest with an exchange sort
// and writes them to the output file. The dialogue and the run are here;
// reading, ordering and the files have rooms of their own.

#include "chronsort.h"
#include "rewrite.h"
#include "safeio.h"
#include "stdout.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <sys/file.h>
#include <unistd.h>

// The run's state lives until the program ends.
static Dates table;
static char *inName, *outName;
// Reading stopped at text that is not a date, or a date was cut short or
// out of range: the dates read are sorted and written, but the run says by
// its status that the file was not read whole.
static bool notWhole;

// Whether the terminal's cursor stands after a prompt whose answer moved
// it nowhere: a message or the progress then starts on the line below, and
// the prompt stays whole.
static bool promptOpen;

void
complain(const char *fmt, ...)
{
    va_list ap;

    fflush(stdout);
    if (promptOpen)
        fputc('\n', stderr);
    promptOpen = false;
    fputs("chronsort: ", stderr);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}

// Whether the last word read came from the line of the word before, read
// without waiting: at a terminal, the cursor then stays after its prompt.
static bool sameLine;

// A file name is one word, as "%s" reads it, but of any length. Returns
// null at the end of the input, with errno 0, or when memory runs out.
static char *
readWord()
{
    char *w = nullptr;
    size_t n = 0, cap = 0;
    int c;

    static int words;
    sameLine = words++ > 0;
    while ((c = getchar()) != EOF && isspace(c))
        sameLine = sameLine && c != '\n';
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
    notWhole = got == STOPPED || table.partial != 0;
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

// The output emptied would take with it what the program and others wrote
// to its standard output or error, when either is that same file (a log
// appended to). A terminal or a pipe named as the output is written.
static const char *
streamFile(const char *name)
{
    struct stat st;

    return stat(name, &st) == 0 && S_ISREG(st.st_mode) ? streamOf(&st, 1)
                                                       : nullptr;
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
    const char *stream = streamFile(outName);
    if (stream != nullptr) {
        complain("%s: is %s; nothing written", shown(outName).s, stream);
        return false;
    }
    bool inPlace = isFile(&st, outName);
    if (inPlace && !S_ISREG(st.st_mode)) {
        complain("%s: is the input file, and not a regular file that can be "
                 "rewritten in place; nothing written",
                 shown(outName).s);
        return false;
    }
    startProgress(&promptOpen);
    if (!readInput(in, inPlace, &st))
        return false;
    sortDates(&table, showProgress);
    endProgress();
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
    // Answers that were not echoed (from a pipe), or typed on the line of
    // the one before, leave the cursor after the prompt.
    promptOpen =
        name != nullptr && isatty(1) && isatty(2) && (!isatty(0) || sameLine);
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
    return notWhole ? 1 : 0;
}
