// rotadraw: reads the answers rotatree reads (a count, that many values,
// and one more to look up) and draws the tree that rotatree builds from
// them at every step: after the first value, after each level's
// rebalancing of each insertion, and the lookup's way down. As text on
// stdout, and with --html FILE as a web page that replays the run.

#include "answers.h"
#include "draw.h"
#include "pagefile.h"
#include "safeio.h"
#include "tree.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

static const char usage[] = "usage: rotadraw [--rotations] [--last] "
                            "[--summary] [--explain] [--sideways]\n"
                            "                [--color=WHEN] [--html FILE]\n";

static const char help[] =
    "Reads a count, that many integers and one more to look up, as rotatree\n"
    "does, and draws the search tree they make at every step of every\n"
    "insertion, then the lookup's way down. A step is one level of an\n"
    "insertion's way back up, the deepest level first: where rotatree\n"
    "rebalances the subtree that the new value passed through, and traces.\n"
    "\n"
    "  --rotations  draw only the first value, the steps that rotate and\n"
    "               the lookup\n"
    "  --last       draw only the tree after the last insertion, and the\n"
    "               lookup\n"
    "  --summary    end with the run's values, rotations and heights\n"
    "  --explain    under each heading, say what the balancing checked,\n"
    "               with the heights it took, and why it turned:\n"
    "                 == insert 3 (step 2 of 2): rotated left at 1\n"
    "                 -- 1: left 0, right 2: turned left; nothing below it "
    "is checked;\n"
    "                    the subtree's height 3 → 2\n"
    "                 -- checked 1 node\n"
    "  --sideways   draw each tree on its side, the root at the left, the\n"
    "               largest value at the top, a value a line: as wide as the\n"
    "               tree is deep, so that any tree fits a terminal\n"
    "  --color=WHEN mark the drawings with the terminal's colours: auto\n"
    "               (the default) on a terminal that shows them, unless\n"
    "               NO_COLOR is set; always, as through less -R; or never\n"
    "  --html FILE  also write the whole run to FILE as a web page that\n"
    "               replays it, step by step\n"
    "  --help       print this and exit\n";

static bool interactive; // prompts, on stderr, for a terminal

// Says why the answers fell short, here and in the page.
static void
fail(const char *what, const char *why)
{
    fflush(stdout);
    fprintf(stderr, "rotadraw: %s: %s\n", what, why);
    char said[96];
    snprintf(said, sizeof said, "%s: %s", what, why);
    noteFailure(said);
}

// As rotatree reads a number. The end of the input is for the caller to
// judge; any other failure is reported here.
static Got
readNumber(const char *prompt, const char *what, int *a)
{
    const char *why;

    if (prompt != nullptr && interactive)
        fputs(prompt, stderr);
    Got got = readAnswer(a, &why);
    if (got == FAILED)
        fail(what, why);
    return got;
}

static bool
ended(Got got, const char *what)
{
    if (got == ENDED)
        fail(what, "end of input");
    return got != GOT;
}

// rotatree reads no further than the value to look up, and nor does
// rotadraw; but answers left after it are said, so that a count typed
// wrong doesn't pass unseen. A terminal is not read further: that would
// wait for more.
static void
countUnread()
{
    if (interactive)
        return;
    long words = 0, numbers = 0;
    int c = getchar();
    for (;;) {
        while (c != EOF && isspace(c))
            c = getchar();
        if (c == EOF)
            break;
        // A number is a sign or none, then digits, to the word's end.
        bool number = true;
        long len = 0, digits = 0;
        for (; c != EOF && !isspace(c); c = getchar(), len++) {
            bool sign = len == 0 && (c == '+' || c == '-');
            digits += isdigit(c) != 0;
            number = number && (isdigit(c) || sign);
        }
        words++;
        numbers += number && digits > 0;
    }
    if (words == 0)
        return;
    const char *what = numbers == words ? "number" : "answer";
    fprintf(stderr,
            "rotadraw: %ld %s%s after the element to search %s not read\n",
            words, what, words == 1 ? "" : "s", words == 1 ? "was" : "were");
}

// Reads and draws; false when the answers fall short. The lookup's value
// may be left out. Once the text is lost, the answers are still read for
// the page; without one, there is nothing left to do.
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
        if (ended(readNumber(nullptr, what, &a), what)) {
            endInsertions();
            return false;
        }
        insertValue(a);
        if (drawing.text == nullptr && drawing.page == nullptr)
            return false;
    }
    endInsertions();
    Got got = readNumber("Enter element to search: ", "element to search", &a);
    if (got == GOT) {
        lookUp(a);
        countUnread();
    }
    return got != FAILED;
}

enum Colour { AUTO, ALWAYS, NEVER };

// Colour as asked, or else only for a terminal that shows it and a user who
// hasn't said no; rows are cut to a terminal's width.
static void
setUpText(Colour asked)
{
    const char *term = getenv("TERM"), *noColour = getenv("NO_COLOR");
    bool tty = isatty(1);
    drawing.text = stdout;
    drawing.colour =
        asked == ALWAYS || (asked == AUTO && tty &&
                            (term == nullptr || strcmp(term, "dumb") != 0) &&
                            (noColour == nullptr || noColour[0] == '\0'));
    struct winsize ws;
    drawing.width = tty && ioctl(1, TIOCGWINSZ, &ws) == 0 ? ws.ws_col : 0;
}

// The page is written whole even when the text is lost. A reader that has
// gone (| head) was done reading: that ends the text quietly.
static int
finish(int status, const char *pageName, bool outClosed)
{
    if (drawing.page != nullptr) {
        pageEnd(drawing.page);
        if (!closePage(drawing.page, pageName))
            status = 1;
    }
    if (drawing.textError == 0 && (fflush(stdout) != 0 || ferror(stdout)))
        drawing.textError = errno;
    if (outClosed && drawing.textError == 0)
        drawing.textError = EBADF;
    if (drawing.textError != 0) {
        if (drawing.textError != EPIPE)
            fprintf(stderr, "rotadraw: standard output: %s\n",
                    strerror(drawing.textError));
        status = 1;
    }
    return status;
}

// Says what was wrong with the argument o, then the usage; status 2.
static int
misused(const char *o, const char *next)
{
    if (strcmp(o, "--html") == 0 || strcmp(o, "--html=") == 0)
        fprintf(stderr, "rotadraw: option '--html' needs a file name\n");
    else if (o[0] != '-' || strcmp(o, "--") == 0)
        fprintf(stderr, "rotadraw: unexpected operand '%s'\n",
                shown(o[0] != '-' || next == nullptr ? o : next).s);
    else
        fprintf(stderr, "rotadraw: unknown option '%s'\n", shown(o).s);
    fputs(usage, stderr);
    return 2;
}

// Options come first; there are no operands, and after "--" nothing
// more. Returns -1 to go on, or the status to end with.
static int
parseOptions(int argc, char *argv[], const char **pageName, bool *summary,
             Colour *colour)
{
    for (int i = 1; i < argc; i++) {
        const char *o = argv[i];
        if (strcmp(o, "--") == 0 && i + 1 == argc)
            return -1;
        if (strcmp(o, "--help") == 0) {
            fputs(usage, stdout);
            fputs(help, stdout);
            return fflush(stdout) == 0 ? 0 : 1;
        }
        if (strcmp(o, "--html") == 0 && i + 1 < argc)
            *pageName = argv[++i];
        else if (strncmp(o, "--html=", 7) == 0 && o[7] != '\0')
            *pageName = o + 7;
        else if (strcmp(o, "--rotations") == 0)
            drawing.show |= SHOW_ROTATIONS;
        else if (strcmp(o, "--last") == 0)
            drawing.show |= SHOW_LAST;
        else if (strcmp(o, "--summary") == 0)
            *summary = true;
        else if (strcmp(o, "--explain") == 0)
            drawing.explain = true;
        else if (strcmp(o, "--sideways") == 0)
            drawing.sideways = true;
        else if (strcmp(o, "--color=auto") == 0)
            *colour = AUTO;
        else if (strcmp(o, "--color=always") == 0 || strcmp(o, "--color") == 0)
            *colour = ALWAYS;
        else if (strcmp(o, "--color=never") == 0)
            *colour = NEVER;
        else
            return misused(o, i + 1 < argc ? argv[i + 1] : nullptr);
    }
    return -1;
}

int
main(int argc, char *argv[])
{
    const char *pageName = nullptr;
    bool summary = false;
    Colour colour = AUTO;

    int status = parseOptions(argc, argv, &pageName, &summary, &colour);
    if (status >= 0)
        return status;
    int outClosed = openStdStreams();
    if (outClosed < 0)
        return 1;
    // A reader that has gone, or a file grown past the limit of its size,
    // is reported as a failed write, not by a signal.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    if (pageName != nullptr && (drawing.page = openPage(pageName)) == nullptr)
        return 1;
    setUpText(colour);
    interactive = isatty(0);
    startRun();
    if (drawing.page != nullptr)
        pageStart(drawing.page);

    // What was drawn before the answers fell short stays, on both.
    status = drawAnswers() ? 0 : 1;
    if (status == 0 && summary && drawing.text != nullptr)
        writeSummary(stdout);
    return finish(status, pageName, outClosed);
}
