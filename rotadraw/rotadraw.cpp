// rotadraw: reads the answers rotatree reads (a count, that many values,
// and one more to look up) and draws the tree that rotatree builds from
// them at every step: after the first value, after each level's
// rebalancing of each insertion, and the lookup's way down. As text on
// stdout, and with --html FILE as a web page too.

#include "draw.h"
#include "safeio.h"
#include "tree.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

static const char usage[] = "usage: rotadraw [--html FILE]\n";

static const char help[] =
    "Reads a count, that many integers and one more to look up, as rotatree\n"
    "does, and draws the search tree they make at every step of every\n"
    "insertion, then the lookup's way down.\n"
    "\n"
    "  --html FILE  also write the drawings as a web page to FILE\n"
    "  --help       print this and exit\n";

static FILE *page;
static const char *pageName;
static bool colour;      // marks as colours, for a terminal
static bool interactive; // prompts, on stderr, for a terminal
static Layout now, before;

// A line of text of any length.
struct Line {
    char *s;
    size_t len;
    size_t cap;
};

// The insertion under way: its value, the levels insert will trace, the
// last that has, and the rotations since.
static int value, levels, level;
static Line turns;
static Line heading;

__attribute__((format(printf, 2, 3))) static void
add(Line *l, const char *fmt, ...)
{
    va_list ap;

    va_start(ap, fmt);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    if (l->len + (size_t)n + 1 > l->cap) {
        size_t cap = (l->len + (size_t)n + 1) * 2;
        char *s = (char *)realloc(l->s, cap);
        if (s == nullptr)
            outOfMemory();
        l->s = s;
        l->cap = cap;
    }
    va_start(ap, fmt);
    vsnprintf(l->s + l->len, l->cap - l->len, fmt, ap);
    va_end(ap);
    l->len += (size_t)n;
}

// Draws the layout in `now` under the heading, and keeps it as the one the
// next picture is compared with.
static void
show()
{
    writeText(stdout, heading.s, &now, colour);
    if (page != nullptr)
        pageStep(page, heading.s, &now);
    Layout last = before;
    before = now;
    now = last;
    heading.len = 0;
}

static void
noteRotation(const Tree *top, bool right)
{
    add(&turns, "%s%s at %d", turns.len != 0 ? ", " : "rotated ",
        right ? "right" : "left", top->a);
}

// Where insert would print a trace block.
static void
drawStep()
{
    layOut(root, &now);
    markMoved(&now, &before);
    add(&heading, "== insert %d (step %d of %d): %s", value, ++level, levels,
        turns.len != 0 ? turns.s : "no rotation");
    turns.len = 0;
    show();
}

// The levels insert will trace: one per node on its way down.
static int
levelsFor(int a)
{
    int k = 0;
    for (const Tree *t = root; t != nullptr; t = t->a < a ? t->right : t->left)
        k++;
    return k;
}

static void
drawInsert(int a)
{
    if (root == nullptr) {
        root = newNode(a);
        layOut(root, &now);
        markMoved(&now, &before);
        add(&heading, "== insert %d: the first value, the root", a);
        show();
        return;
    }
    value = a;
    levels = levelsFor(a);
    level = 0;
    insert(a, root);
}

// The way search takes down to a, marked, and what it found.
static void
drawSearch(int a)
{
    const Tree *found = search(a, root);
    layOut(root, &now);
    for (const Tree *t = root; t != nullptr; t = t == found ? nullptr
                                                 : t->a < a ? t->right
                                                            : t->left)
        for (size_t i = 0; i < now.n; i++)
            if (now.place[i].node == t)
                now.place[i].mark = PATH;
    add(&heading, "== search %d: %s", a, found ? "found" : "not found");
    show();
}

enum Got { GOT, ENDED, FAILED };

// As rotatree reads a number: as long, so that one beyond 32 bits is
// refused rather than wrapped. The end of the input is for the caller to
// judge; any other failure is reported here.
static Got
readNumber(const char *prompt, const char *what, int *a)
{
    long v;

    if (prompt != nullptr && interactive)
        fputs(prompt, stderr);
    int r = scanf("%ld", &v);
    if (r == 1 && v >= INT_MIN && v <= INT_MAX) {
        *a = (int)v;
        return GOT;
    }
    if (r == EOF && !ferror(stdin))
        return ENDED;
    const char *why = r == 1   ? "out of range"
                      : r == 0 ? "not a number"
                               : strerror(errno);
    fflush(stdout);
    fprintf(stderr, "rotadraw: %s: %s\n", what, why);
    return FAILED;
}

static bool
ended(Got got, const char *what)
{
    if (got == ENDED) {
        fflush(stdout);
        fprintf(stderr, "rotadraw: %s: end of input\n", what);
    }
    return got != GOT;
}

// Reads and draws; false when the answers fall short. The lookup's value
// may be left out.
static bool
drawAnswers()
{
    int n, a;
    char what[32];

    if (ended(
            readNumber("Enter number of elements: ", "number of elements", &n),
            "number of elements"))
        return false;
    for (int i = 0; i < n; i++) {
        snprintf(what, sizeof what, "element %d", i + 1);
        if (ended(readNumber(nullptr, what, &a), what))
            return false;
        drawInsert(a);
        if (ferror(stdout))
            return false; // said in main
    }
    Got got = readNumber("Enter element to search: ", "element to search", &a);
    if (got == GOT)
        drawSearch(a);
    return got != FAILED;
}

int
main(int argc, char *argv[])
{
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0) {
            fputs(usage, stdout);
            fputs(help, stdout);
            return fflush(stdout) == 0 ? 0 : 1;
        }
        if (strcmp(argv[i], "--html") == 0 && i + 1 < argc)
            pageName = argv[++i];
        else if (strncmp(argv[i], "--html=", 7) == 0)
            pageName = argv[i] + 7;
        else {
            fputs(usage, stderr);
            return 2;
        }
    }
    int outClosed = openStdStreams();
    if (outClosed < 0)
        return 1;
    // A reader that has gone is reported as a failed write, not by a signal.
    signal(SIGPIPE, SIG_IGN);
    if (pageName != nullptr && (page = fopen(pageName, "w")) == nullptr) {
        fprintf(stderr, "rotadraw: %s: %s\n", shown(pageName).s,
                strerror(errno));
        return 1;
    }
    colour = isatty(1) && getenv("NO_COLOR") == nullptr;
    interactive = isatty(0);
    onTrace = drawStep;
    onRotate = noteRotation;
    if (page != nullptr)
        pageStart(page);

    // What was drawn before the answers fell short stays, on both.
    int status = drawAnswers() ? 0 : 1;
    if (page != nullptr) {
        pageEnd(page);
        int saved = ferror(page) ? errno : 0;
        if (fclose(page) != 0 || saved != 0) {
            fprintf(stderr, "rotadraw: %s: %s\n", shown(pageName).s,
                    strerror(saved != 0 ? saved : errno));
            status = 1;
        }
    }
    if (fflush(stdout) != 0 || ferror(stdout) || outClosed) {
        fprintf(stderr, "rotadraw: standard output: %s\n",
                strerror(outClosed ? EBADF : errno));
        status = 1;
    }
    return status;
}
