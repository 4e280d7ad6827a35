// The date reader: numbers and dates as "%d/%d/%d" reads them, with the
// line each stands on, so that every stop and oddity can be reported where
// it is.

#include "chronsort.h"
#include "safeio.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>

// A file being read, and where reading stands in it.
struct Reader {
    FILE *in;
    long line;     // line ends read so far, plus 1
    long at;       // line of the last number, or of the text that was not one
    long dateLine; // line of the last date's first number
    int sign;      // a sign read before text that is not a number, or 0
};

void *
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

// A date not read whole is reported, but a file of thousands of them
// would bury the terminal: the first few are, then how many more there
// were.
enum { SHOWN_PARTIAL = 10 };

static void
reportPartial(const Reader *r, const Date &d, bool clipped, const char *name)
{
    const char *what = clipped ? "number out of range" : "incomplete date";
    complain("%s:%ld: %s, read as %d/%d/%d", shown(name).s, r->dateLine, what,
             d.day, d.month, d.year);
}

static void
reportMore(const Dates *t, const char *name)
{
    if (t->partial > SHOWN_PARTIAL)
        complain("%s: %zu more dates not read whole", shown(name).s,
                 t->partial - SHOWN_PARTIAL);
}

// Skips the byte-order mark that Notepad and others put at the start of a
// UTF-8 file: it says how the text is encoded, and is no part of it.
// Anything else is left to be read, put back where the stream can.
static void
skipByteOrderMark(FILE *in)
{
    static const int mark[] = {0xef, 0xbb, 0xbf};
    long start = ftell(in);
    int k = 0, c = 0;
    while (k < 3 && (c = getc(in)) == mark[k])
        k++;
    if (k == 3)
        return;
    if (k > 0 && start >= 0 && fseek(in, start, SEEK_SET) == 0)
        return;
    if (c != EOF)
        ungetc(c, in);
}

// Reads dates until the end of the file or the first text that is not a
// number. A date cut short still counts.
Outcome
readDates(FILE *in, const char *name, Dates *t)
{
    Reader r = {in, 1, 1, 1, 0};

    skipByteOrderMark(in);

    for (;;) {
        Date d;
        bool clipped = false;
        int got = readDate(&r, &d, &clipped);
        if (ferror(in))
            return READ_ERROR;
        if (got == 0) {
            reportMore(t, name);
            if (feof(in) && r.sign == 0 && t->n == 0)
                complain("%s: no dates in it: the output is empty",
                         shown(name).s);
            if (feof(in) && r.sign == 0)
                return WHOLE_FILE;
            reportStop(&r, name);
            return ferror(in) ? READ_ERROR : STOPPED;
        }
        if ((clipped || got < 3) && ++t->partial <= SHOWN_PARTIAL)
            reportPartial(&r, d, clipped, name);
        if (t->n == t->cap) {
            Date *more = (Date *)grow(t->date, &t->cap, sizeof *t->date);
            if (more == nullptr)
                return NO_MEMORY;
            t->date = more;
        }
        t->date[t->n++] = d;
    }
}
