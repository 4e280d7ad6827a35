// Where the page goes. A page that replaces a file is written beside it
// under a name of its own and put in its place only once it is whole: a
// failure, Ctrl-C or another signal leaves the old page as it was. A
// symbolic link is followed, and stays. A device or a FIFO is written as
// it is.

#include "draw.h"
#include "safeio.h"
#include "signals.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

// The page being written beside the file it will replace, and that file.
static char temp[PATH_MAX + 16];
static volatile sig_atomic_t writing;
static char *target;

// A signal that ends the run takes the unfinished page with it.
static void
onEnd(int sig)
{
    if (writing)
        unlink(temp);
    signal(sig, SIG_DFL);
    raise(sig);
}

// The file a name's links lead to, which the page replaces.
static char *
followLinks(const char *name)
{
    char *path = strdup(name);
    for (int hops = 0; path != nullptr && hops < 40; hops++) {
        struct stat st;
        char link[PATH_MAX];
        ssize_t n;
        if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode) ||
            (n = readlink(path, link, sizeof link - 1)) < 0)
            return path;
        link[n] = '\0';
        const char *slash = strrchr(path, '/');
        int dir = link[0] == '/' || slash == nullptr ? 0 : (int)(slash - path);
        char *next = (char *)malloc((size_t)dir + (size_t)n + 2);
        if (next != nullptr)
            snprintf(next, (size_t)dir + (size_t)n + 2, "%.*s%s%s", dir, path,
                     dir != 0 ? "/" : "", link);
        free(path);
        path = next;
    }
    return path;
}

// A file of a name of its own in the target's directory, with the mode the
// target has or would be made with.
static FILE *
openBeside(const struct stat *old)
{
    const char *slash = strrchr(target, '/');
    int dir = slash == nullptr ? 0 : (int)(slash - target) + 1;
    if (snprintf(temp, sizeof temp, "%.*s.%s.XXXXXX", dir, target,
                 target + dir) >= (int)sizeof temp) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    // A signal that comes as the file is made waits until it is known, so
    // that the handler removes it.
    catchEndings(onEnd);
    sigset_t was;
    holdSignals(&was);
    int fd = mkstemp(temp);
    writing = fd >= 0;
    int made = errno;
    sigprocmask(SIG_SETMASK, &was, nullptr);
    errno = made;
    if (fd < 0)
        return nullptr;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, old != nullptr ? old->st_mode & 07777 : 0666 & ~mask);
    FILE *page = fdopen(fd, "w");
    if (page == nullptr) {
        int e = errno;
        close(fd);
        unlink(temp);
        writing = 0;
        errno = e;
    }
    return page;
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

FILE *
openPage(const char *name)
{
    const char *stream = streamNamed(name);
    if (stream != nullptr) {
        fprintf(stderr, "rotadraw: %s: is %s; nothing written\n", shown(name).s,
                stream);
        return nullptr;
    }
    // What the name leads to decides: a device, a FIFO or a pipe (as
    // /dev/fd/N may be) is written to as it is; only a regular file's
    // links, or a new file's, are followed to where the page will stand.
    struct stat st;
    bool exists = stat(name, &st) == 0;
    FILE *page;
    if (exists && !S_ISREG(st.st_mode)) {
        page = fopen(name, "w");
    } else {
        target = followLinks(name);
        if (target == nullptr)
            outOfMemory();
        page = openBeside(exists ? &st : nullptr);
    }
    if (page == nullptr)
        fprintf(stderr, "rotadraw: %s: %s\n", shown(name).s, strerror(errno));
    return page;
}

bool
closePage(FILE *page, const char *name)
{
    pageEnd(page);
    int saved = ferror(page) ? errno : 0;
    bool ok = fclose(page) == 0 && saved == 0;
    if (!ok && saved == 0)
        saved = errno;
    if (ok && writing && rename(temp, target) != 0) {
        ok = false;
        saved = errno;
    }
    if (writing && !ok)
        unlink(temp);
    writing = 0;
    if (!ok)
        fprintf(stderr, "rotadraw: %s: %s\n", shown(name).s, strerror(saved));
    return ok;
}
