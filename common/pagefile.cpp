// Where a page, or another file written whole, goes. The name is opened as the
// shell's > opens it, at the start, so that a page that can't be written is
// said before any work: the same permission checks, links followed by the
// kernel (a loop of them refused), and the same file, with its links, owner and
// mode. A regular file is written only once the page is whole: the page is made
// in memory, and then written over the file's old text with every signal held,
// as chronsort rewrites a file. A device, a FIFO or a pipe is written to as the
// page is made. A file that the run made for the page, and that holds no whole
// page, is removed on every way out but SIGKILL. Messages go by the program's
// name.

#include "pagefile.h"
#include "rewrite.h"
#include "safeio.h"
#include "signals.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <errno.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A program may write two such files (spawndraw's page and its record):
// each is one of these, found again by its stream.
struct Target {
    FILE *stream; // what the program writes, or null: the slot is free
    int fd;       // the file the text replaces, or -1: written as made
    char *text;   // the text so far, for a regular file
    size_t len;   //
    char *made;   // the path of the file made for it, until it is whole
    volatile sig_atomic_t unfinished;
};
static Target targets[2] = {{nullptr, -1, nullptr, 0, nullptr, 0},
                            {nullptr, -1, nullptr, 0, nullptr, 0}};

static void
removeUnfinished(Target *t)
{
    if (t->unfinished)
        unlink(t->made);
    t->unfinished = 0;
}

static void
removeAllUnfinished()
{
    for (Target &t : targets)
        removeUnfinished(&t);
}

// A signal that ends the run takes the files made for it with it.
static void
onEnd(int sig)
{
    removeAllUnfinished();
    signal(sig, SIG_DFL);
    raise(sig);
}

static Target *
targetOf(FILE *stream)
{
    for (Target &t : targets)
        if (t.stream == stream)
            return &t;
    return nullptr;
}

// A page written over standard input would empty the answers before they
// are read, and one written to standard output or error would be mixed
// with the drawings or the messages. A device such as /dev/null may be
// both.
static const char *
streamNamed(const char *name)
{
    struct stat page;

    return stat(name, &page) == 0 && !S_ISCHR(page.st_mode) ? streamOf(&page, 0)
                                                            : nullptr;
}

// Opens the name for writing, without emptying it, making it if it is not
// there. A file made here is known by its own path (the name may be a link
// to it), so that it can be removed if the page is never whole; a signal
// that comes as it is made waits until then.
static int
openTarget(Target *target, const char *name)
{
    int fd = open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    static bool caught;
    if (!caught) {
        catchEndings(onEnd);
        atexit(removeAllUnfinished); // out of memory, or an end without one
        caught = true;
    }
    sigset_t was;
    holdSignals(&was);
    fd = open(name, O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    int e = errno;
    if (fd >= 0) {
        char self[32];
        snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        target->made = realpath(self, nullptr);
        if (target->made == nullptr)
            target->made = realpath(name, nullptr);
        target->unfinished = target->made != nullptr;
    }
    sigprocmask(SIG_SETMASK, &was, nullptr);
    errno = e;
    return fd;
}

FILE *
openPage(const char *name)
{
    const char *stream = streamNamed(name);
    if (stream != nullptr) {
        fprintf(stderr, "%s: %s: is %s; nothing written\n",
                program_invocation_short_name, shown(name).s, stream);
        return nullptr;
    }
    Target *target = targetOf(nullptr);
    if (target == nullptr) {
        fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name,
                shown(name).s, strerror(EMFILE));
        return nullptr;
    }
    int fd = openTarget(target, name);
    FILE *page = nullptr;
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0) {
        if (S_ISREG(st.st_mode)) {
            page = open_memstream(&target->text, &target->len);
            if (page != nullptr)
                target->fd = fd;
        } else {
            page = fdopen(fd, "w");
        }
    }
    if (page == nullptr) {
        int e = errno;
        if (fd >= 0)
            close(fd);
        removeUnfinished(target);
        free(target->made);
        target->made = nullptr;
        fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name,
                shown(name).s, strerror(e));
        return nullptr;
    }
    target->stream = page;
    return page;
}

// The slot given back, once its file is whole or given up.
static void
release(Target *t)
{
    free(t->text);
    t->text = nullptr;
    t->len = 0;
    t->fd = -1;
    removeUnfinished(t);
    free(t->made);
    t->made = nullptr;
    t->stream = nullptr;
}

bool
closePage(FILE *page, const char *name)
{
    Target *target = targetOf(page);
    int saved = ferror(page) ? errno : 0;
    bool ok = fclose(page) == 0 && saved == 0;
    if (!ok && saved == 0)
        saved = errno;
    if (target != nullptr && target->fd >= 0) {
        if (ok && !rewrite(target->fd, target->text, target->len)) {
            ok = false;
            saved = errno;
        }
        if (close(target->fd) != 0 && ok) {
            ok = false;
            saved = errno;
        }
    }
    if (target != nullptr) {
        if (ok)
            target->unfinished = 0;
        release(target);
    }
    if (!ok)
        fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name,
                shown(name).s, strerror(saved));
    return ok;
}

void
abandonPage(FILE *page)
{
    Target *target = targetOf(page);
    fclose(page);
    if (target == nullptr)
        return;
    if (target->fd >= 0)
        close(target->fd);
    release(target);
}

bool
samePageFile(FILE *a, FILE *b)
{
    Target *ta = targetOf(a), *tb = targetOf(b);
    struct stat sa, sb;
    int fa = ta != nullptr && ta->fd >= 0 ? ta->fd : fileno(a);
    int fb = tb != nullptr && tb->fd >= 0 ? tb->fd : fileno(b);
    return fa >= 0 && fb >= 0 && fstat(fa, &sa) == 0 && fstat(fb, &sb) == 0 &&
           S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
