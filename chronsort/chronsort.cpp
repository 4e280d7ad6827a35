// chronsort: asks for a file of dates written day/month/year and for an
// output file, orders the dates from earliest to latest with an exchange sort
// and writes them to the output file.

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

struct Date {
    int day;
    int year;
    int month;
};

static void
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

// A file name is one word, as "%s" reads it, but of any length.
static bool
readWord(std::string &word)
{
    int c;

    while ((c = getchar()) != EOF && isspace(c))
        ;
    if (c == EOF)
        return false;
    word.clear();
    do
        word.push_back((char)c);
    while ((c = getchar()) != EOF && !isspace(c));
    if (c != EOF)
        ungetc(c, stdin);
    return true;
}

// Numbers are read as long so that one beyond 32 bits is seen, and saturate
// rather than wrap: a huge year still sorts after every ordinary one.
static int
narrow(long v, bool *clipped)
{
    if (v > INT_MAX) {
        *clipped = true;
        return INT_MAX;
    }
    if (v < INT_MIN) {
        *clipped = true;
        return INT_MIN;
    }
    return (int)v;
}

// Reading has stopped at text that is not a date. Say where, so that the
// text left unread is never a silent loss. A sign that scanf has consumed
// belongs to that text too.
static void
reportStop(FILE *in, const char *name, long line, int first)
{
    std::string text;
    int c;

    if (first == '+' || first == '-')
        text.push_back((char)first);
    while (text.size() < 20 && (c = getc(in)) != EOF && !isspace(c))
        text.push_back((char)c);
    complain("%s:%ld: \"%s\": not a date; the rest of the file is ignored",
             name, line, text.c_str());
}

// Reads dates until the end of the file or the first text that is not a
// number. White space is skipped here rather than by fscanf, to count lines
// for the messages. A date cut short still counts; the fields it lacks are 0.
// Sets *complete when the whole file was read. Returns false on a read error.
static bool
readDates(FILE *in, const char *name, std::vector<Date> &dates, bool *complete)
{
    long line = 1;
    int c;

    *complete = false;
    for (;;) {
        while ((c = getc(in)) != EOF && isspace(c))
            if (c == '\n')
                line++;
        if (c == EOF)
            break;
        ungetc(c, in);

        long v[3] = {0, 0, 0};
        int r = fscanf(in, "%ld/%ld/%ld", &v[0], &v[1], &v[2]);
        if (r == EOF && ferror(in))
            return false;
        if (r < 1) {
            reportStop(in, name, line, c);
            return !ferror(in);
        }

        bool clipped = false;
        Date d;
        d.day = narrow(v[0], &clipped);
        d.month = narrow(v[1], &clipped);
        d.year = narrow(v[2], &clipped);
        if (clipped)
            complain("%s:%ld: number out of range, read as %d/%d/%d", name,
                     line, d.day, d.month, d.year);
        else if (r < 3)
            complain("%s:%ld: incomplete date, read as %d/%d/%d", name, line,
                     d.day, d.month, d.year);
        dates.push_back(d);
    }
    *complete = !ferror(in);
    return *complete;
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

// Neighbours that compare equal are never exchanged, so equal dates keep
// their order from the file.
static void
sortDates(std::vector<Date> &dates)
{
    size_t n = dates.size();
    Date temp;

    for (size_t p = 0; p < n; p++)
        for (size_t j = 0; j < n - p - 1; j++)
            if (later(dates[j], dates[j + 1])) {
                temp = dates[j];
                dates[j] = dates[j + 1];
                dates[j + 1] = temp;
            }
}

// A write error may show only when the buffer is flushed, so the file
// counts as written once fclose has succeeded.
static bool
writeDates(FILE *out, const std::vector<Date> &dates)
{
    bool ok = true;

    for (const Date &d : dates)
        if (fprintf(out, "%d/%d/%d ", d.day, d.month, d.year) < 0) {
            ok = false;
            break;
        }
    int saved = errno;
    if (fclose(out) != 0)
        return false;
    errno = saved;
    return ok;
}

static bool
sameFile(FILE *in, const char *name)
{
    struct stat a, b;

    return fstat(fileno(in), &a) == 0 && stat(name, &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int
main()
{
    std::string inName, outName;
    std::vector<Date> dates;
    bool complete;

    printf("Enter input file name containing Dates in format dd/mm/yyyy, "
           "Space or new line seperated: ");
    fflush(stdout);
    if (!readWord(inName)) {
        complain("input file name: end of input");
        return 1;
    }
    FILE *in = fopen(inName.c_str(), "r+");
    if (in == nullptr) {
        complain("%s: %s", inName.c_str(), strerror(errno));
        return 1;
    }

    printf("Enter output file name: ");
    fflush(stdout);
    if (!readWord(outName)) {
        complain("output file name: end of input");
        return 1;
    }

    // Every date is read before the output is opened: opening it truncates,
    // and it may be the input file itself, under the same name or a link.
    if (!readDates(in, inName.c_str(), dates, &complete)) {
        complain("%s: %s", inName.c_str(), strerror(errno));
        return 1;
    }
    if (!complete && sameFile(in, outName.c_str())) {
        complain("%s: is the input file, whose unread text would be lost; "
                 "nothing written",
                 outName.c_str());
        return 1;
    }
    fclose(in);

    FILE *out = fopen(outName.c_str(), "w");
    if (out == nullptr) {
        complain("%s: %s", outName.c_str(), strerror(errno));
        return 1;
    }
    sortDates(dates);
    if (!writeDates(out, dates)) {
        complain("%s: %s", outName.c_str(), strerror(errno));
        return 1;
    }

    printf("Done!! Output saved in file: %s\n", outName.c_str());
    return fflush(stdout) == 0 ? 0 : 1;
}
