// The progress of a long sort, on one line of standard error when that is a
// terminal: shown once a second has passed since the run set out to read
// its dates (waiting for a lock counts), a few times a second at most since
// the clock is read once a pass, fitted to the terminal's width (read again
// when it changes), and cleared at the end, or before a signal ends the run.

#include "chronsort.h"
#include "signals.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <sys/ioctl.h>
#include <unistd.h>

static struct {
    bool on;        // stderr is a terminal
    bool *below;    // the cursor stands after a prompt, mid-line
    bool shown;     // a line has been shown, and the handlers are set
    timespec start; // when the run set out to read
    double next;    // seconds after the start when to show it again
    int width;      // of the line shown, or 0
    int columns;    // of the terminal, or 0 when it doesn't say
    // What clears the line shown, ready for a signal handler to write.
    char clear[512];
    volatile sig_atomic_t clearLength;
} progress;

static volatile sig_atomic_t resized;

static void
onResize(int)
{
    resized = 1;
}

// The line goes first, then the signal ends the run as it would have.
static void
onEnd(int sig)
{
    if (progress.clearLength > 0)
        (void)!write(2, progress.clear, (size_t)progress.clearLength);
    signal(sig, SIG_DFL);
    raise(sig);
}

static void
setHandlers(void (*end)(int), void (*resize)(int))
{
    catchEndings(end);
    catchSignal(SIGWINCH, resize);
}

static int
terminalColumns()
{
    struct winsize ws;
    return ioctl(2, TIOCGWINSZ, &ws) == 0 ? ws.ws_col : 0;
}

static double
since(const timespec &t)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - t.tv_sec) + (now.tv_nsec - t.tv_nsec) / 1e9;
}

void
startProgress(bool *below)
{
    progress.on = isatty(2);
    progress.below = below;
    progress.next = 1;
    clock_gettime(CLOCK_MONOTONIC, &progress.start);
}

// The longest of the line's forms that fits before the terminal's last
// column, where a character would wrap; 0 when none does.
static int
fit(char *s, size_t size, size_t done, size_t most, double share)
{
    int room = progress.columns > 1 ? progress.columns - 1 : INT_MAX;
    // The share is of the comparisons, which later passes make fewer of:
    // said so, lest it seem to disagree with the count of passes.
    int w = snprintf(s, size,
                     "chronsort: sorting %zu dates: pass %zu of at most %zu, "
                     "%.0f%% of the comparisons",
                     most + 1, done, most, 100 * share);
    if (w > room)
        w = snprintf(s, size,
                     "chronsort: pass %zu of at most %zu, %.0f%% of the work",
                     done, most, 100 * share);
    if (w > room)
        w = snprintf(s, size, "chronsort: %.0f%% of the work", 100 * share);
    if (w > room)
        w = snprintf(s, size, "%.0f%%", 100 * share);
    return w > room ? 0 : w;
}

// Pass p costs n - 1 - p comparisons: the share of the work is that of the
// comparisons made, of the most the sort can make.
void
showProgress(size_t done, size_t most)
{
    if (!progress.on)
        return;
    double t = since(progress.start);
    if (t < progress.next)
        return;
    progress.next = t + 0.25;
    if (!progress.shown || resized) {
        resized = 0;
        progress.columns = terminalColumns();
    }
    if (!progress.shown)
        setHandlers(onEnd, onResize);
    double share = 1 - (double)(most - done) * (most - done + 1) /
                           ((double)most * (most + 1));
    char line[200];
    int w = fit(line, sizeof line, done, most, share);
    // A shorter line covers what is left of the longer one with blanks.
    int pad = progress.width;
    if (progress.columns > 1 && pad > progress.columns - 1)
        pad = progress.columns - 1;
    fprintf(stderr, "%s%-*s", *progress.below ? "\n" : "\r", pad, line);
    *progress.below = false;
    progress.shown = true;
    progress.width = w > pad ? w : pad;
    progress.clearLength = 0;
    int n = snprintf(progress.clear, sizeof progress.clear, "\r%*s\r",
                     progress.width, "");
    progress.clearLength = n < (int)sizeof progress.clear ? n : 0;
    fflush(stderr);
}

// Clears the line, and leaves signals to end the run as they would have.
void
endProgress()
{
    if (!progress.shown)
        return;
    fputs(progress.clear, stderr);
    fflush(stderr);
    progress.clearLength = 0;
    progress.width = 0;
    progress.shown = false;
    setHandlers(SIG_DFL, SIG_DFL);
}
