// chronsort: asks for a file of dates written day/month/year and for an
// output file, orders the dates from earliest to latest with an exchange sort
// and writes them to the output file.

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "safeio.h"

struct Date {
    int day;
    int year;
    int month;
};

// The dates as read, in the order of the file.
struct Dates {
    Date *date;
    size_t n;
    size_t cap;
};

// A file being read, and where reading stands in it.
struct Reader {
    FILE *in;
    long line;     // line ends read so far, plus 1
    long at;       // line of the last number, or of the text that was not one
    long dateLine; // line of the last date's first number
    int sign;      // a sign read before text that is not a number, or 0
};

enum Outcome { WHOLE_FILE, STOPPED, READ_ERROR, NO_MEMORY };

// The run's state lives until the program ends.
static Dates table;
static char *inName, *outName;
static int outError; // errno of the first failed write to stdout, or 0

__attribute__((format(printf, 1, 2))) static void
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

// Doubles an array's capacity. Returns the array, or null when memory has
// run out, the old array being left as it was.
static void *
grow(void *p, size_t *cap, size_t size)
{
    size_t n = *cap != 0 ? *cap * 2 : 64;
    if (n > SIZE_MAX / size)
        return nullptr;
    p = realloc(p, n * size);
    if (p != nullptr)
        *cap = n;
    return p;
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

// One number as "%d" reads it: white space, then an optional sign and
// decimal digits. Beyond 32 bits it saturates rather than wraps, so that a
// huge year still sorts after every ordinary one. Returns false when no
// digit comes; a sign read before that is kept in r->sign.
static bool
readNumber(Reader *r, int *v, bool *clipped)
{
    int c;

    while ((c = getc(r->in)) != EOF && isspace(c))
        if (c == '\n')
            r->line++;
    r->at = r->line;
    r->sign = 0;
    if (c == '+' || c == '-') {
        r->sign = c;
        c = getc(r->in);
    }
    if (c == EOF || !isdigit(c)) {
        if (c != EOF)
            ungetc(c, r->in);
        return false;
    }
    long long x = 0;
    do
        if (x <= INT_MAX + 1LL)
            x = x * 10 + (c - '0');
    while ((c = getc(r->in)) != EOF && isdigit(c));
    if (c != EOF)
        ungetc(c, r->in);
    if (r->sign == '-')
        x = -x;
    if (x < INT_MIN || x > INT_MAX)
        *clipped = true;
    *v = x < INT_MIN ? INT_MIN : x > INT_MAX ? INT_MAX : (int)x;
    return true;
}

// One date as "%d/%d/%d" reads it, each slash directly after the number
// before it. Returns how many numbers it read; the fields it didn't read are
// 0, so a date cut short is written with 0 for what it lacks.
static int
readDate(Reader *r, Date *d, bool *clipped)
{
    int *field[3] = {&d->day, &d->month, &d->year};

    *d = Date{0, 0, 0};
    for (int k = 0; k < 3; k++) {
        if (k > 0) {
            int c = getc(r->in);
            if (c != '/') {
                if (c != EOF)
                    ungetc(c, r->in);
                return k;
            }
        }
        if (!readNumber(r, field[k], clipped))
            return k;
        if (k == 0)
            r->dateLine = r->at;
    }
    return 3;
}

// Reading has stopped at text that is not a date. Say where, so that the
// text left unread is never a silent loss. A sign already read belongs to
// that text too.
static void
reportStop(Reader *r, const char *name)
{
    char text[sizeof(Shown)]; // more than can be shown, so a cut is marked
    size_t n = 0;
    int c;

    if (r->sign != 0)
        text[n++] = (char)r->sign;
    while (n < sizeof text && (c = getc(r->in)) != EOF && !isspace(c))
        text[n++] = (char)c;
    complain("%s:%ld: \"%s\": not a date; the rest of the file is ignored",
             shown(name).s, r->at, shown(text, n).s);
}

// Reads dates until the end of the file or the first text that is not a
// number. A date cut short still counts.
static Outcome
readDates(FILE *in, const char *name, Dates *t)
{
    Reader r = {in, 1, 1, 1, 0};

    for (;;) {
        Date d;
        bool clipped = false;
        int got = readDate(&r, &d, &clipped);
        if (ferror(in))
            return READ_ERROR;
        if (got == 0) {
            if (feof(in) && r.sign == 0)
                return WHOLE_FILE;
            reportStop(&r, name);
            return ferror(in) ? READ_ERROR : STOPPED;
        }
        if (clipped)
            complain("%s:%ld: number out of range, read as %d/%d/%d",
                     shown(name).s, r.dateLine, d.day, d.month, d.year);
        else if (got < 3)
            complain("%s:%ld: incomplete date, read as %d/%d/%d", shown(name).s,
                     r.dateLine, d.day, d.month, d.year);
        if (t->n == t->cap) {
            Date *more = (Date *)grow(t->date, &t->cap, sizeof *t->date);
            if (more == nullptr)
                return NO_MEMORY;
            t->date = more;
        }
        t->date[t->n++] = d;
    }
}

static bool
later(const Date &x, const Date &y)
{
    if (x.year != y.year)
        return x.year > y.year;
    if (x.month != y.month)
        return x.month > y.month;
    return x.day > y.day;
}

// The exchange sort of neighbours as plainly as it can be written, for the
// dates that have no key. Neighbours that compare equal are never
// exchanged, so equal dates keep their order from the file; a pass that
// exchanges nothing finds the dates in order, and ends the sort.
static void
sortPlain(Dates *t)
{
    size_t n = t->n;
    Date temp;

    for (size_t p = 0; p < n; p++) {
        bool exchanged = false;
        for (size_t j = 0; j < n - p - 1; j++)
            if (later(t->date[j], t->date[j + 1])) {
                temp = t->date[j];
                t->date[j] = t->date[j + 1];
                t->date[j + 1] = temp;
                exchanged = true;
            }
        if (!exchanged)
            break;
    }
}

// A date as one number that orders as the dates do: the year in the high
// 32 bits, then the month and the day in 16 each, all offset so that
// unsigned order is signed order. Every date whose month and day fit in 16
// bits has one (any real date, and most that are not); equal dates have
// equal keys, and a key gives back its date.
typedef uint64_t Key;

static bool
hasKey(const Date &d)
{
    return d.month >= INT16_MIN && d.month <= INT16_MAX && d.day >= INT16_MIN &&
           d.day <= INT16_MAX;
}

static Key
keyOf(const Date &d)
{
    return (Key)((int64_t)d.year - INT32_MIN) << 32 |
           (Key)(d.month - INT16_MIN) << 16 | (Key)(d.day - INT16_MIN);
}

static Date
dateOf(Key k)
{
    Date d;
    d.day = (int)(k & 0xffff) + INT16_MIN;
    d.month = (int)(k >> 16 & 0xffff) + INT16_MIN;
    d.year = (int)((int64_t)(k >> 32) + INT32_MIN);
    return d;
}

// The exchange sort of neighbours, on keys, two passes at a time: the
// second pass follows one place behind the first, taking each key as the
// first lets it go. In each pass the later of a pair goes on to the next
// comparison in a register, and the exchange is a choice the compiler makes
// without a branch; the two passes' chains of comparisons run side by side.
// Equal keys are never exchanged. A pass that exchanges nothing finds the
// keys in order, and ends the sort.
static void
sortKeys(Key *k, size_t n)
{
    for (size_t p = 0; p + 1 < n; p += 2) {
        size_t end = n - p; // the first pass's; the second's is end - 1
        Key a = k[0], b = k[1];
        bool x = a > b;
        Key c = x ? b : a; // the second pass's, as a is the first's
        a = x ? a : b;
        bool exchanged = false;
        for (size_t j = 2; j < end; j++) {
            b = k[j];
            x = a > b;
            Key m = x ? b : a; // what the first pass leaves at j - 1
            a = x ? a : b;
            bool y = c > m;
            k[j - 2] = y ? m : c;
            c = y ? c : m;
            exchanged |= y;
        }
        k[end - 2] = c;
        k[end - 1] = a;
        if (!exchanged)
            break;
    }
}

// Equal dates are written alike, so when equal keys stand for them, which
// one comes first can't be told: the order of the file is kept either way.
// Dates without keys, or keys without the memory for them, are sorted
// plainly.
static void
sortDates(Dates *t)
{
    size_t n = t->n;
    bool keyed = n > 1 && n <= SIZE_MAX / sizeof(Key);

    for (size_t i = 0; keyed && i < n; i++)
        keyed = hasKey(t->date[i]);
    Key *k = keyed ? (Key *)malloc(n * sizeof *k) : nullptr;
    if (k == nullptr) {
        sortPlain(t);
        return;
    }
    for (size_t i = 0; i < n; i++)
        k[i] = keyOf(t->date[i]);
    sortKeys(k, n);
    for (size_t i = 0; i < n; i++)
        t->date[i] = dateOf(k[i]);
    free(k);
}

static bool
writeDates(FILE *out, const Dates *t)
{
    for (size_t i = 0; i < t->n; i++) {
        const Date &d = t->date[i];
        if (fprintf(out, "%d/%d/%d ", d.day, d.month, d.year) < 0)
            return false;
    }
    return true;
}

// A write error may show only when the buffer is flushed, so the file
// counts as written once fclose has succeeded.
static bool
writeFile(const char *name, const Dates *t)
{
    FILE *out = fopen(name, "w");
    if (out == nullptr)
        return false;
    bool ok = writeDates(out, t);
    int saved = errno;
    if (fclose(out) != 0)
        return false;
    errno = saved;
    return ok;
}

// The new text, in memory, for rewriting the input file in place.
static char *
render(const Dates *t, size_t *len)
{
    char *text = nullptr;
    FILE *mem = open_memstream(&text, len);
    if (mem == nullptr)
        return nullptr;
    bool ok = writeDates(mem, t);
    if (fclose(mem) != 0 || !ok) {
        free(text);
        return nullptr;
    }
    return text;
}

// Reserves the file's first len bytes on the disk. A reservation that fails
// may still have made the file longer, so its old length is put back.
static bool
reserve(int fd, size_t len)
{
    struct stat before, after;

    if (len == 0)
        return true;
    if (fstat(fd, &before) != 0)
        return false;
    int e = posix_fallocate(fd, 0, (off_t)len);
    if (e != 0 && fstat(fd, &after) == 0 && after.st_size > before.st_size)
        e = ftruncate(fd, before.st_size) == 0 ? e : errno;
    errno = e;
    return e == 0;
}

// The output is the input file itself. Its new text may be longer than the
// old (a date cut short gains the numbers it lacks), so the space for all of
// it is had before the first old byte is overwritten: on a full disk the
// file keeps its text. Written over the old text, it stays the same file,
// with its links, owner and mode.
static bool
rewrite(int fd, const char *text, size_t len)
{
    if (!reserve(fd, len))
        return false;
    for (size_t at = 0; at < len;) {
        ssize_t w = pwrite(fd, text + at, len - at, (off_t)at);
        if (w < 0 && errno != EINTR)
            return false;
        if (w > 0)
            at += (size_t)w;
    }
    return ftruncate(fd, (off_t)len) == 0;
}

// A FIFO is read to its end: opened for update as well, this program would
// itself be a writer, and the end would never come. Any other file is
// opened for update, so it must be writable although it is only read.
static FILE *
openInput(const char *name)
{
    struct stat st;

    bool fifo = stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
    return fopen(name, fifo ? "r" : "r+");
}

// Whether name is the input file: under its own name, through a link, or as
// /dev/fd/N of its open descriptor.
static bool
isInput(const struct stat *in, const char *name)
{
    struct stat st;

    return S_ISREG(in->st_mode) && stat(name, &st) == 0 &&
           st.st_dev == in->st_dev && st.st_ino == in->st_ino;
}

static bool
lock(int fd, int how)
{
    while (flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
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
